// Loading a picture file (JPEG, GIF, ...) by its content, whatever its name says.
#pragma once

#include <QPixmap>
#include <QString>

namespace platform::forms {

// A null pixmap when the file cannot be read as a picture; the reason goes to
// *error.
QPixmap LoadPicture(const QString& path, QString* error = nullptr);

} // namespace platform::forms
