#pragma once
// The picture of the "О программе" page: a truck standing on a weighbridge,
// drawn at run time so that the program carries no image files.

#include <QImage>
#include <QSize>

inline constexpr QSize AboutPictureSize{660, 411};

// Needs a QGuiApplication (the captions are drawn with the system fonts).
QImage drawAboutPicture();
