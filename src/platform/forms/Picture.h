// Pictures and mouse pointers as the program hands them to forms and
// controls: values that share their pixels, empty when there is none.
#pragma once

#include <cstddef>
#include <memory>

namespace platform::forms {

// How ready pixels are laid out: 32 bits a pixel, 0xAARRGGBB in the
// machine's byte order (alpha ignored for Rgb32; colours already multiplied
// by alpha for Argb32Premultiplied).
enum class PixelFormat { Rgb32 = 4, Argb32 = 5, Argb32Premultiplied = 6 };

// Pixels kept by the caller for as long as the program runs (compiled-in
// art): a picture made from them points at them without a copy.
struct PixelData {
    int width = 0;
    int height = 0;
    std::ptrdiff_t bytesPerLine = 0;
    PixelFormat format = PixelFormat::Argb32;
    const unsigned char* bits = nullptr;
};

class Picture {
public:
    struct Data; // the platform's own picture
    Picture() = default;
    explicit Picture(std::shared_ptr<const Data> data) : data_(std::move(data)) {}
    static Picture FromPixels(const PixelData& pixels);

    bool IsEmpty() const;
    int Width() const; // in pixels
    int Height() const;
    const Data* data() const { return data_.get(); }

private:
    std::shared_ptr<const Data> data_;
};

// A black-and-white pointer: rows of (width + 7) / 8 bytes, the first pixel in
// the lowest bit. A set bit in `mask` draws the pixel, black where the bit in
// `bits` is set, white where it is clear.
struct MonochromePointer {
    int width = 0;
    int height = 0;
    const unsigned char* bits = nullptr;
    const unsigned char* mask = nullptr;
    int hotX = 0;
    int hotY = 0;
};

class MousePointer {
public:
    struct Data; // the platform's own pointer
    // The system's standard arrow.
    MousePointer() = default;
    explicit MousePointer(std::shared_ptr<const Data> data) : data_(std::move(data)) {}
    static MousePointer FromMonochrome(const MonochromePointer& pointer);

    bool IsStandard() const { return !data_; }
    const Data* data() const { return data_.get(); }

private:
    std::shared_ptr<const Data> data_;
};

} // namespace platform::forms
