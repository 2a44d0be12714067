// Our own art, compiled into the program as ready pixels.
#pragma once

#include <QCursor>
#include <QImage>
#include <QPixmap>

namespace tavro::art {

QPixmap Background(); // the main window's background picture

QImage WindowIcon();     // the window icon shared by the main and About windows
QCursor CustomPointer(); // the arrow pointer whose tip is its centre
QPixmap AboutPicture1(); // the About window's large picture
QPixmap AboutPicture2(); // the About window's small picture

} // namespace tavro::art
