// Pictures and pointers as Qt holds them.
#pragma once

#include "platform/forms/Picture.h"

#include <QCursor>
#include <QImage>
#include <QPixmap>

namespace platform::forms {

struct Picture::Data {
    QPixmap pixmap;
    // The pixels a picture made from ready pixels points at (null otherwise):
    // a window icon is taken from them as they are.
    QImage image;
};

struct MousePointer::Data {
    QCursor cursor;
};

namespace qt {

// An empty picture for a null pixmap.
Picture PictureOf(const QPixmap& pixmap);
// A null pixmap for an empty picture.
QPixmap PixmapOf(const Picture& picture);
// The picture's pixels as an image: those it was made from, when it was.
QImage ImageOf(const Picture& picture);
// The standard arrow for the standard pointer.
QCursor CursorOf(const MousePointer& pointer);

} // namespace qt

} // namespace platform::forms
