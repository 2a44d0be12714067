#include "settings/Ini_Declarations.h"

#include "platform/forms/App.h"
#include "platform/system/profile.h"
#include "platform/system/shown_name.h"

#include <cstdint>
#include <string>

namespace tavro {

using namespace platform;

namespace {

// Worked out at every call, so a change of program directory is followed.
std::string ConfigPath() {
    return platform::forms::App::Path() + "/tavro.cfg";
}

} // namespace

std::string ReadIniValue(const std::string& section, const std::string& key) {
    constexpr platform::DWORD BufferSize = 80;
    std::string buffer(BufferSize, ' ');
    const std::int16_t count = static_cast<std::int16_t>(platform::GetPrivateProfileStringA(
        section.c_str(), key.c_str(), "", buffer.data(), BufferSize, ConfigPath().c_str()));
    buffer.resize(static_cast<std::size_t>(count));
    return buffer;
}

platform::DWORD WriteIniValue(const std::string& section, const std::string& key,
                              const std::string& value) {
    // A failed write keeps the old file whole; the caller learns why.
    if (platform::WritePrivateProfileStringA(section.c_str(), key.c_str(), value.c_str(),
                                             ConfigPath().c_str()))
        return ERROR_SUCCESS;
    return platform::GetLastError();
}

void IniWriteRow::Note(platform::DWORD error) {
    if (failure_ == ERROR_SUCCESS && error != ERROR_FILE_READ_ONLY)
        failure_ = error;
}

std::string ConfigFileName() {
    return platform::ShownName(ConfigPath());
}

std::string StoreFailureReason(platform::DWORD error) {
    switch (error) {
    case ERROR_LOCK_VIOLATION:
        return "another Tavro window kept it locked for more than 2 seconds";
    case ERROR_DISK_FULL:
        return "the disk is full";
    case ERROR_FILE_TOO_LARGE:
        return "it would be larger than 1 MiB, the most Tavro reads";
    case ERROR_ACCESS_DENIED:
        return "you may not write it or its folder";
    case ERROR_WRITE_PROTECT:
        return "it is on a read-only disk";
    case ERROR_NOT_SUPPORTED:
        return "it has other names (hard links) that saving would part from it";
    case ERROR_FILE_NOT_FOUND:
        return "it is a symbolic link to a file that does not exist";
    case ERROR_CANT_RESOLVE_FILENAME:
        return "its symbolic links go round in a loop";
    case ERROR_PATH_NOT_FOUND:
        return "its folder does not exist";
    case ERROR_DIRECTORY_NOT_SUPPORTED:
        return "it is a folder, not a file";
    case ERROR_BAD_FILE_TYPE:
        return "it is not a regular file";
    case ERROR_FILENAME_EXCED_RANGE:
        return "its path is too long";
    case ERROR_NOT_ENOUGH_MEMORY:
        return "there was not enough memory";
    case ERROR_READ_FAULT:
        return "it could not be read";
    default:
        return "it could not be written (system error " + std::to_string(error) + ")";
    }
}

} // namespace tavro
