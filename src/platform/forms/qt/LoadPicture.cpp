#include "platform/forms/LoadPicture.h"

#include "platform/forms/qt/Picture.h"
#include "platform/system/regular_file.h"

#include <QBuffer>
#include <QImageReader>
#include <new>
#include <string>

namespace platform::forms {

namespace {

const char* const NotAPicture = "not a readable picture";

// Previews are a few hundred kilobytes; a file larger than this is not taken
// for a picture, so a wrong file cannot exhaust the memory.
constexpr std::size_t MaxPictureSize = std::size_t(256) << 20;

// The decoder for the format a file's first bytes announce; null for any
// format the loader does not read, so that no other decoder ever sees it.
const char* FormatOf(const QByteArray& head) {
    if (head.startsWith("\xFF\xD8\xFF")) {
        return "jpeg";
    }
    if (head.startsWith("GIF87a") || head.startsWith("GIF89a")) {
        return "gif";
    }
    if (head.startsWith("BM")) {
        return "bmp";
    }
    if (head.startsWith(QByteArrayView("\0\0\1\0", 4))) {
        return "ico";
    }
    if (head.startsWith(QByteArrayView("\0\0\2\0", 4))) {
        return "cur";
    }
    return nullptr;
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
    if (file.status != Status::Read) {
        return Fail(error, NotAPicture);
    }
    const QByteArray bytes =
        QByteArray::fromRawData(file.bytes.data(), qsizetype(file.bytes.size()));
    const char* format = FormatOf(bytes.left(6));
    if (!format) {
        return Fail(error, NotAPicture);
    }
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, format);
    reader.setAutoDetectImageFormat(false);
    const QImage image = reader.read();
    if (image.isNull()) {
        return Fail(error, NotAPicture);
    }
    return qt::PictureOf(QPixmap::fromImage(image));
}

} // namespace platform::forms
