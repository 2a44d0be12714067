// The text box's text between the program's UTF-8 and the control's UTF-16.
#pragma once

#include <string>
#include <string_view>

namespace platform::forms::win32 {

// UTF-8 to UTF-16; a byte that is not part of a well-formed sequence becomes
// U+FFFD.
std::wstring Utf16(std::string_view utf8);

// UTF-16 to UTF-8; an unpaired surrogate becomes U+FFFD.
std::string Utf8(std::wstring_view wide);

// UTF-16 to UTF-8 for a file: false when the text holds an unpaired
// surrogate, which UTF-8 cannot store.
bool StrictUtf8(std::wstring_view wide, std::string& utf8);

// Replaces each character of `of` in the text by the one at the same place in
// `by` (all of them in the Basic Multilingual Plane).
void SwapStandIns(std::wstring& text, const char32_t (&of)[3], const char32_t (&by)[3]);

} // namespace platform::forms::win32
