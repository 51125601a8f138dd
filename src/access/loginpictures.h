#pragma once
// The pictures of the login window, drawn at run time so that the program
// carries no image files. They need a QGuiApplication (captions use fonts).

#include <QImage>
#include <QSize>

inline constexpr QSize LoginHeaderSize{316, 64};
inline constexpr QSize PersonPictureSize{72, 92};
inline constexpr QSize AccountsPictureSize{312, 276};

// The banner over the login and sign-in layouts; drawn for any width.
QImage drawLoginHeader(QSize size = LoginHeaderSize);
// An operator at the weighbridge: cap, work jacket, a weighing slip.
QImage drawOperatorPicture();
// An administrator: jacket and tie, a key on the badge.
QImage drawAdministratorPicture();
// The large picture of the editing layout: a card index of accounts with a
// key and a pencil.
QImage drawAccountsPicture();
