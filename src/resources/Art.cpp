#include "resources/Art.h"

#include "resources/ArtPixels.h"

namespace tavro::art {

namespace {

// The pixels stay where the program keeps them: the picture only points at
// them, without a copy.
Picture PictureOf(const pixels::Picture& p) {
    return Picture::FromPixels({p.width, p.height, p.bytesPerLine,
                                static_cast<platform::forms::PixelFormat>(p.format), p.bits});
}

MousePointer MakeCustomPointer() {
    const pixels::Pointer& p = pixels::ArrowPointer;
    // A black-and-white pointer is a core X cursor, made without the colour
    // pointer's extra round trip. The arrow's tip is the picture's centre,
    // and so is the hot spot.
    return MousePointer::FromMonochrome(
        {p.width, p.height, p.bits, p.mask, p.width / 2, p.height / 2});
}

} // namespace

Picture Background() {
    return PictureOf(pixels::Background);
}

Picture WindowIcon() {
    return PictureOf(pixels::WindowIcon);
}

MousePointer CustomPointer() {
    // Nearly every control of the main window shows this pointer; the runtime
    // makes it once and keeps it while the windows can show it.
    return MakeCustomPointer();
}

Picture AboutPicture1() {
    return PictureOf(pixels::AboutBig);
}

Picture AboutPicture2() {
    return PictureOf(pixels::AboutSmall);
}

} // namespace tavro::art
