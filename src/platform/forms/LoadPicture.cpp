#include "platform/forms/LoadPicture.h"

#include "platform/forms/DecodePicture.h"
#include "platform/system/regular_file.h"

#include <new>
#include <optional>
#include <string_view>

namespace platform::forms {

namespace {

const char* const NotAPicture = "not a readable picture";

// Previews are a few hundred kilobytes; a file larger than this is not taken
// for a picture, so a wrong file cannot exhaust the memory.
constexpr std::size_t MaxPictureSize = std::size_t(256) << 20;

// The format a file's first bytes announce; none for a format the loader
// does not read, so that no other decoder ever sees it.
std::optional<PictureFormat> FormatOf(std::string_view bytes) {
    using namespace std::string_view_literals;
    if (bytes.starts_with("\xFF\xD8\xFF"sv)) {
        return PictureFormat::Jpeg;
    }
    if (bytes.starts_with("GIF87a"sv) || bytes.starts_with("GIF89a"sv)) {
        return PictureFormat::Gif;
    }
    if (bytes.starts_with("BM"sv)) {
        return PictureFormat::Bmp;
    }
    if (bytes.starts_with("\0\0\1\0"sv)) {
        return PictureFormat::Ico;
    }
    if (bytes.starts_with("\0\0\2\0"sv)) {
        return PictureFormat::Cur;
    }
    return std::nullopt;
}

Picture Fail(std::string* error, const std::string& reason) {
    if (error) {
        *error = reason;
    }
    return {};
}

} // namespace

Picture LoadPicture(const std::string& path, std::string* error) {
    // A pipe in place of a picture cannot hang the window: it is refused.
    platform::RegularFile file;
    try {
        file = platform::ReadRegularFile(path.c_str(), MaxPictureSize);
    } catch (const std::bad_alloc&) {
        return Fail(error, NotAPicture);
    }
    using Status = platform::RegularFile::Status;
    if (file.status == Status::Missing || file.status == Status::NotOpened) {
        // It could not be opened: the system says why.
        return Fail(error, platform::SystemErrorText(file.systemError));
    }
    const std::optional<PictureFormat> format =
        file.status == Status::Read ? FormatOf(file.bytes) : std::nullopt;
    if (!format) {
        return Fail(error, NotAPicture);
    }
    Picture picture = DecodePicture(file.bytes, *format);
    if (picture.IsEmpty()) {
        return Fail(error, NotAPicture);
    }
    return picture;
}

} // namespace platform::forms
