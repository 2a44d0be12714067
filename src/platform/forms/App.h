// The running program's own facts, as the forms runtime reports them.
#pragma once

#include <QByteArray>
#include <QString>

namespace platform::forms {

class App {
public:
    // The directory of the path the program was started by, without a
    // trailing separator (see ProgramDirectory). Worked out once, at the
    // first call.
    static QString Path();
    // What Path() will be, worked out from the program's argv[0] before the
    // application exists.
    static QString PathBeforeStart(const char* argv0);
};

// The directory of the path a program was started by. Symbolic links are not
// resolved: a link to the program placed in an emulator directory makes that
// directory the program's. `argv0` is made absolute against `cwd`; a bare name
// is looked up on `searchPath` (a PATH value) as the shell looked it up. When
// argv0 is empty, is not found, or names another file than `executable` (a
// parent may set argv[0] to anything), the directory of `executable` is used.
// The result has no trailing separator, except for "/" itself.
QString ProgramDirectory(const QString& argv0, const QString& cwd, const QByteArray& searchPath,
                         const QString& executable);

} // namespace platform::forms
