#include "platform/forms/LoadPicture.h"

#include <QImageReader>

namespace platform::forms {

QPixmap LoadPicture(const QString& path, QString* error) {
    QImageReader reader(path);
    reader.setDecideFormatFromContent(true);
    const QImage image = reader.read();
    if (image.isNull()) {
        if (error) {
            *error = reader.errorString();
        }
        return {};
    }
    return QPixmap::fromImage(image);
}

} // namespace platform::forms
