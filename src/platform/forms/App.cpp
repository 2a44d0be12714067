#include "platform/forms/App.h"

#include "platform/forms/Testing.h"

#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace platform::forms {

namespace {

std::string& TestPath() {
    static std::string path;
    return path;
}

// The pieces between the separators, empty ones included: an empty text is
// one empty piece.
std::vector<std::string> Split(const std::string& text, char separator) {
    std::vector<std::string> pieces;
    std::string::size_type start = 0;
    for (std::string::size_type end; (end = text.find(separator, start)) != std::string::npos;
         start = end + 1) {
        pieces.push_back(text.substr(start, end - start));
    }
    pieces.push_back(text.substr(start));
    return pieces;
}

// Drops empty and "." segments and the trailing separator. ".." stays: only
// the system knows where it leads when a directory on the way is a link.
std::string Tidy(const std::string& absolute) {
    std::string tidy;
    for (const std::string& segment : Split(absolute, '/')) {
        if (!segment.empty() && segment != ".") {
            tidy += '/' + segment;
        }
    }
    return tidy.empty() ? std::string("/") : tidy;
}

std::string Absolute(const std::string& path, const std::string& cwd) {
    return Tidy(!path.empty() && path[0] == '/' ? path : cwd + '/' + path);
}

std::string DirectoryOf(const std::string& absoluteFile) {
    const std::string::size_type slash = absoluteFile.rfind('/');
    return slash == std::string::npos || slash == 0 ? std::string("/")
                                                    : absoluteFile.substr(0, slash);
}

bool IsExecutableFile(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
           ::access(path.c_str(), X_OK) == 0;
}

bool SameFile(const std::string& a, const std::string& b) {
    struct stat sa {
    }, sb{};
    return ::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
           sa.st_ino == sb.st_ino;
}

// The file a bare program name was found as: the first executable regular
// file of that name in the search path's directories, as execvp() finds it
// (an empty entry is the current directory).
std::string FindOnSearchPath(const std::string& name, const std::string& cwd,
                             const std::string& searchPath) {
    for (const std::string& entry : Split(searchPath, ':')) {
        const std::string file = Absolute((entry.empty() ? cwd : entry) + '/' + name, cwd);
        if (IsExecutableFile(file))
            return file;
    }
    return {};
}

} // namespace

std::string ProgramDirectory(const std::string& argv0, const std::string& cwd,
                             const std::string& searchPath, const std::string& executable) {
    std::string started;
    if (argv0.find('/') != std::string::npos) {
        started = Absolute(argv0, cwd);
    } else if (!argv0.empty()) {
        started = FindOnSearchPath(argv0, cwd, searchPath);
    }
    if (executable.empty()) {
        // Nothing to check argv[0] against: it is all there is.
        return IsExecutableFile(started) ? DirectoryOf(started) : Tidy(cwd);
    }
    if (!started.empty() && SameFile(started, executable)) {
        return DirectoryOf(started);
    }
    return DirectoryOf(Absolute(executable, cwd));
}

void SetAppPathForTesting(const std::string& path) {
    TestPath() = path;
}

std::string AppPathForTesting() {
    return TestPath();
}

} // namespace platform::forms
