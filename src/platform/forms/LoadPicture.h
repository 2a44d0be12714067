// Loading a picture file by its content, whatever its name says. Only the
// formats the forms runtime's picture loader reads are taken: JPEG, GIF, BMP,
// and icons and cursors (ICO, CUR).
#pragma once

#include <QByteArray>
#include <QPixmap>
#include <QString>

namespace platform::forms {

// The path is the file's name as the system has it, byte for byte. A null
// pixmap when the file cannot be opened (the system's reason goes to *error)
// or is not one of those formats, cannot be decoded, is not a regular file or
// is over 256 MiB ("not a readable picture").
QPixmap LoadPicture(const QByteArray& path, QString* error = nullptr);

} // namespace platform::forms
