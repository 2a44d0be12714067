// Layout units: designs give positions and sizes in twips, 15 to a pixel at 96 dpi.
#pragma once

namespace platform::forms {

inline constexpr int TwipsPerPixel = 15;

inline constexpr int TwipsToPixels(int twips) {
    return twips >= 0 ? (twips + TwipsPerPixel / 2) / TwipsPerPixel
                      : -((-twips + TwipsPerPixel / 2) / TwipsPerPixel);
}

inline constexpr int PixelsToTwips(int pixels) {
    return pixels * TwipsPerPixel;
}

} // namespace platform::forms
