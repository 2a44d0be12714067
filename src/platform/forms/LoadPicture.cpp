#include "platform/forms/LoadPicture.h"

#include <QFile>
#include <QImageReader>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform::forms {

namespace {

const QString NotAPicture = QStringLiteral("not a readable picture");

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

QPixmap Fail(QString* error, const QString& reason) {
    if (error) {
        *error = reason;
    }
    return {};
}

} // namespace

QPixmap LoadPicture(const QByteArray& path, QString* error) {
    // Non-blocking, so that a pipe in place of a picture cannot hang the window.
    const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        return Fail(error, QString::fromLocal8Bit(std::strerror(errno)));
    }
    struct stat info {};
    QFile file;
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) ||
        !file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return Fail(error, NotAPicture);
    }
    const char* format = FormatOf(file.peek(6));
    if (!format) {
        return Fail(error, NotAPicture);
    }
    QImageReader reader(&file, format);
    reader.setAutoDetectImageFormat(false);
    const QImage image = reader.read();
    if (image.isNull()) {
        return Fail(error, NotAPicture);
    }
    return QPixmap::fromImage(image);
}

} // namespace platform::forms
