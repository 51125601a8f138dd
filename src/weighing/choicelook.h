#pragma once
// The look the windows that offer trucks share (the pending trucks, the
// trucks with a stored tare): blue texts, " Выбрать" and "Отмена" below the
// grid at the left.

class QDialog;
class QHeaderView;
class QPushButton;

namespace ChoiceLook {

struct Buttons
{
    QPushButton *choose;   // "ChooseButton", the default
    QPushButton *cancel;   // "CancelButton"
};

// Blue window and button texts.
void paintBlue(QDialog *window);
void paintBlue(QHeaderView *header);
// The two buttons, placed and hinted; their clicks are the caller's.
Buttons makeButtons(QDialog *window);

}
