#include "resources/Art.h"

#include "resources/ArtPixels.h"

#include <QBitmap>
#include <QCoreApplication>

namespace tavro::art {

namespace {

// The pixels stay where the program keeps them: the image only points at
// them, and a pixmap made from it takes them over without a copy.
QImage ImageOf(const pixels::Picture& p) {
    return QImage(p.bits, p.width, p.height, p.bytesPerLine, static_cast<QImage::Format>(p.format));
}

QCursor MakeCustomPointer() {
    const pixels::Pointer& p = pixels::ArrowPointer;
    const QSize size(p.width, p.height);
    // A black-and-white pointer is a core X cursor, made without the colour
    // pointer's extra round trip. The arrow's tip is the picture's centre,
    // and so is the hot spot.
    return QCursor(QBitmap::fromData(size, p.bits, QImage::Format_MonoLSB),
                   QBitmap::fromData(size, p.mask, QImage::Format_MonoLSB), p.width / 2,
                   p.height / 2);
}

QCursor*& CachedPointer() {
    static QCursor* pointer = nullptr;
    return pointer;
}

void DropPointer() {
    delete CachedPointer();
    CachedPointer() = nullptr;
}

} // namespace

QPixmap Background() {
    return QPixmap::fromImage(ImageOf(pixels::Background));
}

QImage WindowIcon() {
    return ImageOf(pixels::WindowIcon);
}

QCursor CustomPointer() {
    // Nearly every control of the main window shows this pointer: make it
    // once, and let the application drop it (a pixmap must not outlive it).
    if (!CachedPointer()) {
        CachedPointer() = new QCursor(MakeCustomPointer());
        qAddPostRoutine(DropPointer);
    }
    return *CachedPointer();
}

QPixmap AboutPicture1() {
    return QPixmap::fromImage(ImageOf(pixels::AboutBig));
}

QPixmap AboutPicture2() {
    return QPixmap::fromImage(ImageOf(pixels::AboutSmall));
}

} // namespace tavro::art
