// File names and text between the program's UTF-8 and the UTF-16 of the
// Windows W functions. Windows keeps a name as any sequence of 16-bit units,
// unpaired surrogates included, so the UTF-8 side is WTF-8: an unpaired
// surrogate is kept as its 3-byte generalized UTF-8 form (ED A0 80 to
// ED BF BF), and every name the file system holds round-trips exactly.
#pragma once

#include <string>
#include <string_view>

namespace platform {

// UTF-8 (WTF-8) to UTF-16. A byte that is not part of a well-formed
// sequence becomes U+FFFD; a 3-byte surrogate becomes that unit, so a name
// read from the system goes back to it unchanged.
std::wstring WideName(std::string_view utf8);

// UTF-16 to UTF-8, every unpaired surrogate as its WTF-8 form.
std::string NarrowName(std::wstring_view wide);

// A path for the W file functions: WideName's, and for a full path too long
// for the classic limit (MAX_PATH) the same made whole and marked "\\?\",
// so that a name of 255 characters in a deep folder still works.
std::wstring WidePath(std::string_view utf8);

} // namespace platform
