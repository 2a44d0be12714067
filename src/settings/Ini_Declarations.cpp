#include "settings/Ini_Declarations.h"

#include "platform/forms/App.h"
#include "platform/system/profile.h"

#include <QByteArray>
#include <QFile>
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

platform::DWORD WriteIniValue(const QString& section, const QString& key, const QString& value) {
    // A failed write keeps the old file whole; the caller learns why.
    if (platform::WritePrivateProfileStringA(section.toUtf8().constData(), key.toUtf8().constData(),
                                             value.toUtf8().constData(), ConfigPath().constData()))
        return platform::ERROR_SUCCESS;
    return platform::GetLastError();
}

void IniWriteRow::Note(platform::DWORD error) {
    if (failure_ == platform::ERROR_SUCCESS && error != platform::ERROR_FILE_READ_ONLY)
        failure_ = error;
}

QString ConfigFileName() {
    return QFile::decodeName(ConfigPath());
}

QString StoreFailureReason(platform::DWORD error) {
    switch (error) {
    case platform::ERROR_LOCK_VIOLATION:
        return QStringLiteral("another Tavro window kept it locked for more than 2 seconds");
    case platform::ERROR_DISK_FULL:
        return QStringLiteral("the disk is full");
    case platform::ERROR_FILE_TOO_LARGE:
        return QStringLiteral("it would be larger than 1 MiB, the most Tavro reads");
    case platform::ERROR_ACCESS_DENIED:
        return QStringLiteral("you may not write it or its folder");
    case platform::ERROR_WRITE_PROTECT:
        return QStringLiteral("it is on a read-only disk");
    case platform::ERROR_NOT_SUPPORTED:
        return QStringLiteral("it has other names (hard links) that saving would part from it");
    case platform::ERROR_FILE_NOT_FOUND:
        return QStringLiteral("it is a symbolic link to a file that does not exist");
    case platform::ERROR_CANT_RESOLVE_FILENAME:
        return QStringLiteral("its symbolic links go round in a loop");
    case platform::ERROR_PATH_NOT_FOUND:
        return QStringLiteral("its folder does not exist");
    case platform::ERROR_DIRECTORY_NOT_SUPPORTED:
        return QStringLiteral("it is a folder, not a file");
    case platform::ERROR_BAD_FILE_TYPE:
        return QStringLiteral("it is not a regular file");
    case platform::ERROR_FILENAME_EXCED_RANGE:
        return QStringLiteral("its path is too long");
    case platform::ERROR_NOT_ENOUGH_MEMORY:
        return QStringLiteral("there was not enough memory");
    case platform::ERROR_READ_FAULT:
        return QStringLiteral("it could not be read");
    default:
        return QStringLiteral("it could not be written (system error %1)").arg(error);
    }
}

} // namespace tavro
