#include "resources/Art.h"

#include <QCoreApplication>

#include <future>
#include <system_error>

namespace tavro::art {

namespace {

// Decoding the GIF is the costliest step of building the main window; a
// QImage may be made on any thread (a QPixmap only on the GUI thread). The
// pixels come out in the layout the window's pixmap uses, so turning the
// image into a pixmap afterwards is a cheap hand-over.
QImage decodeBackground() {
    QImage image(QStringLiteral(":/art/background.gif"));
    if (!image.isNull()) {
        image.convertTo(image.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied
                                                : QImage::Format_RGB32);
    }
    return image;
}

// Only the GUI thread starts and takes the decoding, so this needs no lock.
std::future<QImage>& pendingBackground() {
    static std::future<QImage> pending;
    return pending;
}

// The decoder must not outlive the application it loads its image plug-in
// through, so the application waits for it when it ends.
void waitForBackground() {
    std::future<QImage>& pending = pendingBackground();
    if (pending.valid()) {
        pending.get();
    }
}

QCursor makeCustomPointer() {
    const QPixmap pointer(QStringLiteral(":/art/pointer.ico"));
    if (pointer.isNull()) {
        return QCursor(Qt::ArrowCursor);
    }
    // The arrow's tip is the picture's centre, and so is the hot spot.
    return QCursor(pointer, pointer.width() / 2, pointer.height() / 2);
}

QCursor*& cachedPointer() {
    static QCursor* pointer = nullptr;
    return pointer;
}

void dropPointer() {
    delete cachedPointer();
    cachedPointer() = nullptr;
}

} // namespace

void PrepareBackground() {
    std::future<QImage>& pending = pendingBackground();
    if (pending.valid()) {
        return;
    }
    if (!QCoreApplication::instance()) {
        return; // no application yet to tie the worker's life to
    }
    try {
        pending = std::async(std::launch::async, decodeBackground);
    } catch (const std::system_error&) {
        return; // no thread to be had: Background() decodes the picture itself
    }
    qRemovePostRoutine(waitForBackground);
    qAddPostRoutine(waitForBackground);
}

QPixmap Background() {
    std::future<QImage>& pending = pendingBackground();
    QImage image = pending.valid() ? pending.get() : decodeBackground();
    return QPixmap::fromImage(std::move(image));
}

QImage WindowIcon() {
    return QImage(QStringLiteral(":/art/tavro.cur"));
}

QCursor CustomPointer() {
    // Nearly every control of the main window shows this pointer: decode the
    // picture once, and let the application drop it (a pixmap must not
    // outlive it).
    if (!cachedPointer()) {
        cachedPointer() = new QCursor(makeCustomPointer());
        qAddPostRoutine(dropPointer);
    }
    return *cachedPointer();
}

QPixmap AboutPicture1() {
    return QPixmap(QStringLiteral(":/art/about_big.gif"));
}

QPixmap AboutPicture2() {
    return QPixmap(QStringLiteral(":/art/about_small.gif"));
}

} // namespace tavro::art
