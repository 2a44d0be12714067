#include "platform/forms/App.h"

#include "platform/forms/Testing.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
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

// The program's own facts as the system has them, in bytes: a name that is
// not UTF-8 stays as it is.
std::string StartedAs() {
    std::FILE* cmdline = std::fopen("/proc/self/cmdline", "rb");
    if (!cmdline)
        return {};
    std::string all;
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, cmdline)) > 0;) {
        all.append(buffer, n);
    }
    std::fclose(cmdline);
    const std::string::size_type end = all.find('\0');
    return end == std::string::npos ? std::string() : all.substr(0, end);
}

std::string CurrentDirectory() {
    char* cwd = ::getcwd(nullptr, 0);
    const std::string path = cwd ? cwd : "";
    std::free(cwd);
    return path;
}

std::string ExecutableFile() {
    std::string target(PATH_MAX, '\0');
    const ssize_t length = ::readlink("/proc/self/exe", target.data(), target.size());
    return length > 0 && static_cast<std::size_t>(length) < target.size()
               ? target.substr(0, static_cast<std::size_t>(length))
               : std::string();
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

std::string App::Path() {
    if (!TestPath().empty()) {
        return TestPath();
    }
    // The working directory never changes while Tavro runs, and argv[0] is
    // only meaningful against the one it was started in: work it out once.
    static const std::string path = [] {
        const char* searchPath = std::getenv("PATH");
        return ProgramDirectory(StartedAs(), CurrentDirectory(), searchPath ? searchPath : "",
                                ExecutableFile());
    }();
    return path;
}

void SetAppPathForTesting(const std::string& path) {
    TestPath() = path;
}

} // namespace platform::forms
