// The running program's own facts, as the forms runtime reports them.
#pragma once

#include <string>

namespace platform::forms {

class App {
public:
    // The directory of the path the program was started by, without a
    // trailing separator (see ProgramDirectory), as the exact bytes of its
    // name: a directory name need not be UTF-8, so every path built on it
    // stays in bytes. Worked out once, at the first call, which must come
    // before the current directory changes.
    static std::string Path();
};

// The directory of the path a program was started by. Symbolic links are not
// resolved: a link to the program placed in an emulator directory makes that
// directory the program's. `argv0` is made absolute against `cwd`; a bare name
// is looked up on `searchPath` (a PATH value) as the shell looked it up. When
// argv0 is empty, is not found, or names another file than `executable` (a
// parent may set argv[0] to anything), the directory of `executable` is used.
// With the executable unknown (empty), argv0 counts when it names an
// executable file, and otherwise `cwd` is the answer: never the directory
// above it. The result has no trailing separator, except for "/" itself.
std::string ProgramDirectory(const std::string& argv0, const std::string& cwd,
                             const std::string& searchPath, const std::string& executable);

} // namespace platform::forms
