// Passing the public headers' strings to Qt and back.
#pragma once

#include <QByteArray>
#include <QString>
#include <string>

namespace platform::forms::qt {

// A path's exact bytes.
inline QByteArray Bytes(const std::string& path) {
    return QByteArray::fromStdString(path);
}

// Passes `ok` on; on failure the reason goes to *error as UTF-8.
inline bool Reported(bool ok, const QString& text, std::string* error) {
    if (!ok && error) {
        *error = text.toStdString();
    }
    return ok;
}

} // namespace platform::forms::qt
