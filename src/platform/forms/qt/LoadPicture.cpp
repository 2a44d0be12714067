// Decoding a picture file's bytes with Qt's image readers.
#include "platform/forms/DecodePicture.h"

#include "platform/forms/qt/Picture.h"

#include <QBuffer>
#include <QImageReader>

namespace platform::forms {

namespace {

const char* ReaderFormat(PictureFormat format) {
    switch (format) {
    case PictureFormat::Jpeg:
        return "jpeg";
    case PictureFormat::Gif:
        return "gif";
    case PictureFormat::Bmp:
        return "bmp";
    case PictureFormat::Ico:
        return "ico";
    case PictureFormat::Cur:
        return "cur";
    }
    return "";
}

} // namespace

Picture DecodePicture(const std::string& bytes, PictureFormat format) {
    QBuffer buffer;
    buffer.setData(QByteArray::fromRawData(bytes.data(), qsizetype(bytes.size())));
    buffer.open(QIODevice::ReadOnly);
    // Only the reader of the announced format sees the bytes.
    QImageReader reader(&buffer, ReaderFormat(format));
    reader.setAutoDetectImageFormat(false);
    const QImage image = reader.read();
    return image.isNull() ? Picture() : qt::PictureOf(QPixmap::fromImage(image));
}

} // namespace platform::forms
