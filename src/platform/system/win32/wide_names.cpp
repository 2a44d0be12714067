#include "platform/system/win32/wide_names.h"

#include "platform/win32.h"

#include <cstddef>
#include <cstdint>

namespace platform {
namespace {

constexpr char32_t Replacement = 0xFFFD;

// The code point (or lone surrogate) that starts at `at`, and its length;
// U+FFFD over one byte for a byte that starts no well-formed sequence.
char32_t Decode(std::string_view bytes, std::size_t at, std::size_t& length) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(bytes[at + i]); };
    const auto continuation = [&](std::size_t i) {
        return at + i < bytes.size() && (byte(i) & 0xC0) == 0x80;
    };
    const unsigned char lead = byte(0);
    length = 1;
    if (lead < 0x80)
        return lead;
    if (lead >= 0xC2 && lead <= 0xDF && continuation(1)) {
        length = 2;
        return (char32_t{lead} & 0x1F) << 6 | (byte(1) & 0x3F);
    }
    if (lead >= 0xE0 && lead <= 0xEF && continuation(1) && continuation(2)) {
        const char32_t c = (char32_t{lead} & 0x0F) << 12 | (byte(1) & 0x3F) << 6 | (byte(2) & 0x3F);
        if (c < 0x800)
            return Replacement; // overlong
        length = 3;
        return c; // a surrogate included: WTF-8
    }
    if (lead >= 0xF0 && lead <= 0xF4 && continuation(1) && continuation(2) && continuation(3)) {
        const char32_t c = (char32_t{lead} & 0x07) << 18 | (byte(1) & 0x3F) << 12 |
                           (byte(2) & 0x3F) << 6 | (byte(3) & 0x3F);
        if (c < 0x10000 || c > 0x10FFFF)
            return Replacement;
        length = 4;
        return c;
    }
    return Replacement;
}

bool IsHighSurrogate(char32_t c) {
    return c >= 0xD800 && c <= 0xDBFF;
}

bool IsLowSurrogate(char32_t c) {
    return c >= 0xDC00 && c <= 0xDFFF;
}

void Append(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | c >> 6);
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | c >> 12);
        out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | c >> 18);
        out += static_cast<char>(0x80 | (c >> 12 & 0x3F));
        out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

} // namespace

std::wstring WideName(std::string_view utf8) {
    std::wstring wide;
    wide.reserve(utf8.size());
    for (std::size_t at = 0; at < utf8.size();) {
        std::size_t length = 1;
        const char32_t c = Decode(utf8, at, length);
        at += length;
        if (c < 0x10000) {
            wide += static_cast<wchar_t>(c);
        } else {
            wide += static_cast<wchar_t>(0xD800 + ((c - 0x10000) >> 10));
            wide += static_cast<wchar_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
        }
    }
    return wide;
}

std::string NarrowName(std::wstring_view wide) {
    std::string out;
    out.reserve(wide.size() * 3);
    for (std::size_t at = 0; at < wide.size(); ++at) {
        const char32_t unit = static_cast<std::uint16_t>(wide[at]);
        if (IsHighSurrogate(unit) && at + 1 < wide.size() &&
            IsLowSurrogate(static_cast<std::uint16_t>(wide[at + 1]))) {
            const char32_t low = static_cast<std::uint16_t>(wide[++at]);
            Append(out, 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
        } else {
            Append(out, unit); // an unpaired surrogate as its own three bytes
        }
    }
    return out;
}

std::wstring WidePath(std::string_view utf8) {
    std::wstring path = WideName(utf8);
    // Room for a name of 8.3 characters inside a directory, as the system keeps.
    constexpr std::size_t Classic = MAX_PATH - 12;
    const bool full =
        (path.size() > 2 && path[1] == L':' && (path[2] == L'\\' || path[2] == L'/')) ||
        path.starts_with(L"\\\\") || path.starts_with(L"//");
    if (path.size() < Classic || !full || path.starts_with(L"\\\\?\\"))
        return path;
    const DWORD length = ::GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (length == 0)
        return path;
    std::wstring whole(length, L'\0');
    const DWORD written = ::GetFullPathNameW(path.c_str(), length, whole.data(), nullptr);
    if (written == 0 || written >= length)
        return path;
    whole.resize(written);
    if (whole.starts_with(L"\\\\"))
        return L"\\\\?\\UNC\\" + whole.substr(2);
    return L"\\\\?\\" + whole;
}

} // namespace platform
