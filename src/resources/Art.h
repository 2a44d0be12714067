// Our own art, compiled into the program.
#pragma once

#include <QCursor>
#include <QImage>
#include <QPixmap>

namespace tavro::art {

// Starts decoding the main window's background picture on a worker thread,
// so that Background() later finds it ready. Optional; calling it again
// before Background() has taken the picture does nothing.
void PrepareBackground();
QPixmap Background(); // the main window's background picture

QImage WindowIcon();     // the window icon shared by the main and About windows
QCursor CustomPointer(); // the arrow pointer whose tip is its centre
QPixmap AboutPicture1(); // the About window's large picture
QPixmap AboutPicture2(); // the About window's small picture

} // namespace tavro::art
