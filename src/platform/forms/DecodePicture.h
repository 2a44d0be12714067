// What each platform gives LoadPicture: decoding a picture file's bytes, in
// the format their first bytes announce.
#pragma once

#include "platform/forms/Picture.h"

#include <string>

namespace platform::forms {

enum class PictureFormat { Jpeg, Gif, Bmp, Ico, Cur };

// An empty picture when the bytes cannot be decoded as that format.
Picture DecodePicture(const std::string& bytes, PictureFormat format);

} // namespace platform::forms
