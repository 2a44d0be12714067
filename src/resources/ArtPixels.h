// Our own art as ready pixels, made from the picture files in this directory
// at build time (tools/art_pixels.cpp), so that showing a window decodes
// nothing: no image decoder, plug-in or worker on the way to its first paint.
#pragma once

#include <cstddef>

namespace tavro::art::pixels {

// Pixels in a platform::forms::PixelFormat (the QImage format numbers the
// tool writes), rows of bytesPerLine bytes.
struct Picture {
    int width;
    int height;
    std::ptrdiff_t bytesPerLine;
    int format;
    const unsigned char* bits;
};

// A pointer in black and white: rows of (width + 7) / 8 bytes, the first
// pixel in the lowest bit. A set bit in `mask` draws the pixel, black where
// the bit in `bits` is set, white where it is clear.
struct Pointer {
    int width;
    int height;
    const unsigned char* bits;
    const unsigned char* mask;
};

extern const Picture Background;   // background.gif
extern const Picture WindowIcon;   // tavro.cur
extern const Picture AboutBig;     // about_big.gif
extern const Picture AboutSmall;   // about_small.gif
extern const Pointer ArrowPointer; // pointer.ico

} // namespace tavro::art::pixels
