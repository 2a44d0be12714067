#include "platform/forms/win32/TextConversion.h"

#include "platform/win32.h"

#include <algorithm>
#include <cstddef>

namespace platform::forms::win32 {

namespace {

std::string Narrow(std::wstring_view wide, DWORD flags, bool* ok) {
    *ok = true;
    if (wide.empty()) {
        return {};
    }
    const int size = WideCharToMultiByte(CP_UTF8, flags, wide.data(), static_cast<int>(wide.size()),
                                         nullptr, 0, nullptr, nullptr);
    if (size <= 0) {
        *ok = false;
        return {};
    }
    std::string utf8(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, flags, wide.data(), static_cast<int>(wide.size()), utf8.data(),
                        size, nullptr, nullptr);
    return utf8;
}

} // namespace

std::wstring Utf16(std::string_view utf8) {
    if (utf8.empty()) {
        return {};
    }
    const int size =
        MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(std::max(size, 0)), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), size);
    return wide;
}

std::string Utf8(std::wstring_view wide) {
    bool ok = false;
    return Narrow(wide, 0, &ok);
}

bool StrictUtf8(std::wstring_view wide, std::string& utf8) {
    bool ok = false;
    utf8 = Narrow(wide, WC_ERR_INVALID_CHARS, &ok);
    return ok;
}

void SwapStandIns(std::wstring& text, const char32_t (&of)[3], const char32_t (&by)[3]) {
    for (std::size_t k = 0; k < std::size(of); ++k) {
        std::replace(text.begin(), text.end(), static_cast<wchar_t>(of[k]),
                     static_cast<wchar_t>(by[k]));
    }
}

} // namespace platform::forms::win32
