// Loading a picture file by its content, whatever its name says. Only the
// formats the forms runtime's picture loader reads are taken: JPEG, GIF, BMP,
// and icons and cursors (ICO, CUR).
#pragma once

#include "platform/forms/Picture.h"

#include <string>

namespace platform::forms {

// The path is the file's name as the system has it, byte for byte. An empty
// picture when the file cannot be opened (the system's reason goes to
// *error) or is not one of those formats, cannot be decoded, is not a
// regular file or is over 256 MiB ("not a readable picture").
Picture LoadPicture(const std::string& path, std::string* error = nullptr);

} // namespace platform::forms
