// Access to the launcher's configuration file, tavro.cfg in the program
// directory. Each call goes to the file afresh: nothing is cached.
#pragma once

#include <QString>

namespace tavro {

// The value stored under section/key, at most 79 characters; the empty string
// when the file, the section or the key is missing.
QString ReadIniValue(const QString& section, const QString& key);

// Stores value under section/key, creating the file, section and key as needed.
// A write that fails leaves the file as it was and is not reported.
void WriteIniValue(const QString& section, const QString& key, const QString& value);

} // namespace tavro
