#include "platform/forms/qt/Picture.h"

#include <QBitmap>
#include <QCoreApplication>
#include <map>

namespace platform::forms {

namespace {

using PointerCache = std::map<const unsigned char*, MousePointer>;

PointerCache*& CachedPointers() {
    static PointerCache* pointers = nullptr;
    return pointers;
}

void DropPointers() {
    delete CachedPointers();
    CachedPointers() = nullptr;
}

QCursor MakePointer(const MonochromePointer& p) {
    const QSize size(p.width, p.height);
    // A black-and-white pointer is a core X cursor, made without the colour
    // pointer's extra round trip.
    return QCursor(QBitmap::fromData(size, p.bits, QImage::Format_MonoLSB),
                   QBitmap::fromData(size, p.mask, QImage::Format_MonoLSB), p.hotX, p.hotY);
}

// The pixel formats are named after the image formats they are.
static_assert(int(PixelFormat::Rgb32) == QImage::Format_RGB32);
static_assert(int(PixelFormat::Argb32) == QImage::Format_ARGB32);
static_assert(int(PixelFormat::Argb32Premultiplied) == QImage::Format_ARGB32_Premultiplied);

} // namespace

Picture Picture::FromPixels(const PixelData& p) {
    // The pixels stay where the program keeps them: the image only points at
    // them, and a pixmap made from it takes them over without a copy.
    const QImage image(p.bits, p.width, p.height, static_cast<qsizetype>(p.bytesPerLine),
                       static_cast<QImage::Format>(p.format));
    if (image.isNull()) {
        return Picture();
    }
    return Picture(std::make_shared<const Data>(Data{QPixmap::fromImage(QImage(image)), image}));
}

bool Picture::IsEmpty() const {
    return !data_ || data_->pixmap.isNull();
}

int Picture::Width() const {
    return data_ ? data_->pixmap.width() : 0;
}

int Picture::Height() const {
    return data_ ? data_->pixmap.height() : 0;
}

MousePointer MousePointer::FromMonochrome(const MonochromePointer& pointer) {
    // A pointer is shown by nearly every control of a window: make it once,
    // and let the application drop it (a pixmap must not outlive it).
    if (!CachedPointers()) {
        CachedPointers() = new PointerCache;
        qAddPostRoutine(DropPointers);
    }
    PointerCache& cache = *CachedPointers();
    const auto found = cache.find(pointer.bits);
    if (found != cache.end()) {
        return found->second;
    }
    const MousePointer made(std::make_shared<const Data>(Data{MakePointer(pointer)}));
    cache.emplace(pointer.bits, made);
    return made;
}

namespace qt {

Picture PictureOf(const QPixmap& pixmap) {
    if (pixmap.isNull()) {
        return Picture();
    }
    return Picture(std::make_shared<const Picture::Data>(Picture::Data{pixmap, QImage()}));
}

QPixmap PixmapOf(const Picture& picture) {
    return picture.data() ? picture.data()->pixmap : QPixmap();
}

QImage ImageOf(const Picture& picture) {
    if (!picture.data()) {
        return QImage();
    }
    const Picture::Data& data = *picture.data();
    return data.image.isNull() ? data.pixmap.toImage() : data.image;
}

QCursor CursorOf(const MousePointer& pointer) {
    return pointer.data() ? pointer.data()->cursor : QCursor(Qt::ArrowCursor);
}

} // namespace qt

} // namespace platform::forms
