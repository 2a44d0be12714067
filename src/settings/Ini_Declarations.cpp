#include "settings/Ini_Declarations.h"

#include "platform/forms/App.h"
#include "platform/profile.h"

#include <QByteArray>
#include <cstdint>

namespace tavro {

namespace {

// Worked out at every call, so a change of program directory is followed.
QByteArray ConfigPath() {
    return platform::forms::App::Path() + "/tavro.cfg";
}

} // namespace

QString ReadIniValue(const QString& section, const QString& key) {
    constexpr platform::DWORD BufferSize = 80;
    QByteArray buffer(BufferSize, ' ');
    const std::int16_t count = static_cast<std::int16_t>(platform::GetPrivateProfileStringA(
        section.toUtf8().constData(), key.toUtf8().constData(), "", buffer.data(), BufferSize,
        ConfigPath().constData()));
    return QString::fromUtf8(buffer.constData(), count);
}

void WriteIniValue(const QString& section, const QString& key, const QString& value) {
    // A failed write keeps the old file whole; the launcher goes on regardless.
    platform::WritePrivateProfileStringA(section.toUtf8().constData(), key.toUtf8().constData(),
                                         value.toUtf8().constData(), ConfigPath().constData());
}

} // namespace tavro
