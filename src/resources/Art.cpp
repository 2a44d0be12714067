#include "resources/Art.h"

namespace tavro::art {

QPixmap Background() {
    return QPixmap(QStringLiteral(":/art/background.gif"));
}

QImage WindowIcon() {
    return QImage(QStringLiteral(":/art/tavro.cur"));
}

QCursor CustomPointer() {
    const QPixmap pointer(QStringLiteral(":/art/pointer.ico"));
    if (pointer.isNull()) {
        return QCursor(Qt::ArrowCursor);
    }
    // The arrow's tip is the picture's centre, and so is the hot spot.
    return QCursor(pointer, pointer.width() / 2, pointer.height() / 2);
}

QPixmap AboutPicture1() {
    return QPixmap(QStringLiteral(":/art/about_big.gif"));
}

QPixmap AboutPicture2() {
    return QPixmap(QStringLiteral(":/art/about_small.gif"));
}

} // namespace tavro::art
