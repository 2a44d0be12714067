// File names as messages and captions show them.
#pragma once

#include <string>
#include <string_view>

namespace platform {

// A name's exact bytes as UTF-8 text to show: valid UTF-8 as it is, and every
// byte that is not part of a well-formed character as U+FFFD, the
// replacement mark, one mark a byte; a leading byte-order mark is dropped (as
// Qt decodes file names).
std::string ShownName(std::string_view bytes);

} // namespace platform
