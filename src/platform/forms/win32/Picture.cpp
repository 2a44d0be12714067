#include "platform/forms/win32/Picture.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <map>
#include <vector>

namespace platform::forms {

namespace {

// One pixel of a DIB section: BGRA bytes, 0xAARRGGBB read as a number.
using Pixel = std::uint32_t;

Pixel Premultiplied(Pixel p) {
    const std::uint32_t a = p >> 24;
    if (a == 255) {
        return p;
    }
    const auto scale = [a](std::uint32_t c) { return (c * a + 127) / 255; };
    return (a << 24) | (scale((p >> 16) & 0xFF) << 16) | (scale((p >> 8) & 0xFF) << 8) |
           scale(p & 0xFF);
}

Pixel Straight(Pixel p) {
    const std::uint32_t a = p >> 24;
    if (a == 0 || a == 255) {
        return a == 0 ? 0 : p;
    }
    const auto unscale = [a](std::uint32_t c) {
        return std::min<std::uint32_t>(255, (c * 255 + a / 2) / a);
    };
    return (a << 24) | (unscale((p >> 16) & 0xFF) << 16) | (unscale((p >> 8) & 0xFF) << 8) |
           unscale(p & 0xFF);
}

const Pixel* PixelsOf(HBITMAP bitmap) {
    DIBSECTION section{};
    if (GetObjectW(bitmap, sizeof section, &section) != sizeof section) {
        return nullptr;
    }
    return static_cast<const Pixel*>(section.dsBm.bmBits);
}

// Win32 draws a monochrome cursor from an AND plane (set: the screen stays)
// and an XOR plane (set: white where AND is clear), rows of whole 16-bit
// words with the first pixel in the highest bit.
HCURSOR MakeCursor(const MonochromePointer& p) {
    const int ourStride = (p.width + 7) / 8;
    const int stride = (p.width + 15) / 16 * 2;
    std::vector<BYTE> andPlane(static_cast<std::size_t>(stride * p.height), 0xFF);
    std::vector<BYTE> xorPlane(static_cast<std::size_t>(stride * p.height), 0);
    for (int y = 0; y < p.height; ++y) {
        for (int x = 0; x < p.width; ++x) {
            const int ours = y * ourStride + x / 8;
            const int bit = 1 << (x % 8);
            if (!(p.mask[ours] & bit)) {
                continue;
            }
            const std::size_t theirs = static_cast<std::size_t>(y * stride + x / 8);
            const BYTE theirBit = static_cast<BYTE>(0x80 >> (x % 8));
            andPlane[theirs] &= static_cast<BYTE>(~theirBit);
            if (!(p.bits[ours] & bit)) {
                xorPlane[theirs] |= theirBit;
            }
        }
    }
    return CreateCursor(GetModuleHandleW(nullptr), p.hotX, p.hotY, p.width, p.height,
                        andPlane.data(), xorPlane.data());
}

} // namespace

namespace win32 {

HBITMAP MakeDibSection(int width, int height, void** bits) {
    if (width <= 0 || height <= 0) {
        return nullptr;
    }
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height; // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    return CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, bits, nullptr, 0);
}

Picture PictureOfBitmap(HBITMAP bitmap, int width, int height) {
    if (!bitmap) {
        return Picture();
    }
    const Pixel* pixels = PixelsOf(bitmap);
    const std::size_t count = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    const bool opaque =
        pixels && std::all_of(pixels, pixels + count, [](Pixel p) { return (p >> 24) == 255; });
    return Picture(std::make_shared<const Picture::Data>(bitmap, width, height, opaque));
}

void DrawPicture(HDC dc, int x, int y, const Picture& picture) {
    const Picture::Data* data = picture.data();
    if (!data) {
        return;
    }
    HDC memory = CreateCompatibleDC(dc);
    const HGDIOBJ kept = SelectObject(memory, data->bitmap);
    if (data->opaque) {
        BitBlt(dc, x, y, data->width, data->height, memory, 0, 0, SRCCOPY);
    } else {
        BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
        GdiAlphaBlend(dc, x, y, data->width, data->height, memory, 0, 0, data->width, data->height,
                      blend);
    }
    SelectObject(memory, kept);
    DeleteDC(memory);
}

HICON IconOf(const Picture& picture, int size) {
    const Picture::Data* data = picture.data();
    const Pixel* source = data ? PixelsOf(data->bitmap) : nullptr;
    if (!source || size <= 0) {
        return nullptr;
    }
    void* bits = nullptr;
    HBITMAP colour = MakeDibSection(size, size, &bits);
    if (!colour) {
        return nullptr;
    }
    // Each icon pixel is the average of the picture's pixels under it
    // (premultiplied, so that clear pixels add no colour); icons take their
    // alpha straight.
    auto* target = static_cast<Pixel*>(bits);
    for (int ty = 0; ty < size; ++ty) {
        const int y0 = ty * data->height / size;
        const int y1 = std::max(y0 + 1, (ty + 1) * data->height / size);
        for (int tx = 0; tx < size; ++tx) {
            const int x0 = tx * data->width / size;
            const int x1 = std::max(x0 + 1, (tx + 1) * data->width / size);
            std::uint32_t sum[4] = {0, 0, 0, 0};
            for (int y = y0; y < y1; ++y) {
                for (int x = x0; x < x1; ++x) {
                    const Pixel p = source[y * data->width + x];
                    for (int c = 0; c < 4; ++c) {
                        sum[c] += (p >> (8 * c)) & 0xFF;
                    }
                }
            }
            const std::uint32_t n = static_cast<std::uint32_t>((y1 - y0) * (x1 - x0));
            Pixel average = 0;
            for (int c = 0; c < 4; ++c) {
                average |= ((sum[c] + n / 2) / n) << (8 * c);
            }
            target[ty * size + tx] = Straight(average);
        }
    }
    const std::vector<BYTE> clear(static_cast<std::size_t>((size + 15) / 16 * 2 * size), 0);
    HBITMAP mask = CreateBitmap(size, size, 1, 1, clear.data());
    ICONINFO info{};
    info.fIcon = TRUE;
    info.hbmColor = colour;
    info.hbmMask = mask;
    HICON icon = CreateIconIndirect(&info);
    DeleteObject(mask);
    DeleteObject(colour);
    return icon;
}

HCURSOR CursorOf(const MousePointer& pointer) {
    return pointer.data() ? pointer.data()->cursor : LoadCursorA(nullptr, IDC_ARROW);
}

} // namespace win32

Picture Picture::FromPixels(const PixelData& p) {
    if (!p.bits || p.width <= 0 || p.height <= 0) {
        return Picture();
    }
    void* bits = nullptr;
    HBITMAP bitmap = win32::MakeDibSection(p.width, p.height, &bits);
    if (!bitmap) {
        return Picture();
    }
    // GDI draws from its own section: the one copy, made ready for blending.
    auto* target = static_cast<Pixel*>(bits);
    for (int y = 0; y < p.height; ++y) {
        const unsigned char* row = p.bits + y * p.bytesPerLine;
        Pixel* out = target + static_cast<std::ptrdiff_t>(y) * p.width;
        std::memcpy(out, row, static_cast<std::size_t>(p.width) * sizeof(Pixel));
        if (p.format == PixelFormat::Rgb32) {
            for (int x = 0; x < p.width; ++x) {
                out[x] |= 0xFF000000u;
            }
        } else if (p.format == PixelFormat::Argb32) {
            for (int x = 0; x < p.width; ++x) {
                out[x] = Premultiplied(out[x]);
            }
        }
    }
    return win32::PictureOfBitmap(bitmap, p.width, p.height);
}

bool Picture::IsEmpty() const {
    return !data_ || !data_->bitmap;
}

int Picture::Width() const {
    return data_ ? data_->width : 0;
}

int Picture::Height() const {
    return data_ ? data_->height : 0;
}

MousePointer MousePointer::FromMonochrome(const MonochromePointer& pointer) {
    // A pointer is shown by nearly every control of a window: make it once.
    static std::map<const unsigned char*, MousePointer> made;
    const auto found = made.find(pointer.bits);
    if (found != made.end()) {
        return found->second;
    }
    HCURSOR cursor = MakeCursor(pointer);
    if (!cursor) {
        return MousePointer();
    }
    const MousePointer result(std::make_shared<const Data>(cursor));
    made.emplace(pointer.bits, result);
    return result;
}

} // namespace platform::forms
