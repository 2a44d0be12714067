// The running program's own facts, as the forms runtime reports them.
#pragma once

#include <QString>

namespace platform::forms {

class App {
public:
    // The directory of the running executable, without a trailing separator.
    static QString Path();
    // Tests point the program at a temporary emulator directory.
    static void SetPathForTesting(const QString& path);
};

} // namespace platform::forms
