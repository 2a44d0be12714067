// Access to the launcher's configuration file, tavro.cfg in the program
// directory. Each call goes to the file afresh: nothing is cached.
#pragma once

#include "platform/system/profile.h"
#include "platform/win32.h"

#include <string>

namespace tavro {

// The value stored under section/key, at most 79 characters; the empty string
// when the file, the section or the key is missing.
std::string ReadIniValue(const std::string& section, const std::string& key);

// Stores value under section/key, creating the file, section and key as needed.
// Returns ERROR_SUCCESS, or the Win32 code of why the write failed; the file is
// then as it was. Nothing is shown here: the caller decides what to tell.
platform::DWORD WriteIniValue(const std::string& section, const std::string& key,
                              const std::string& value);

// The writes of one task as a row: while it lives, the WriteIniValue calls
// share one wait for another launcher's lock on tavro.cfg (at most 2 s in
// all), and the first failure worth telling the user is kept.
class IniWriteRow {
public:
    // Keeps `error` when it is the row's first such failure. A read-only
    // tavro.cfg is not one: it is how a user pins the settings.
    void Note(platform::DWORD error);
    // ERROR_SUCCESS when every value was stored or the file is pinned.
    platform::DWORD Failure() const { return failure_; }

private:
    platform::ProfileWriteRow row_;
    platform::DWORD failure_ = 0; // ERROR_SUCCESS
};

// The full path of tavro.cfg, as messages name it.
std::string ConfigFileName();

// Why a write failed, as a phrase that follows "could not be stored in ...: ".
std::string StoreFailureReason(platform::DWORD error);

} // namespace tavro
