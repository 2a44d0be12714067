// App::Path() on Linux: the program's start as /proc tells it.
#include "platform/forms/App.h"

#include "platform/forms/Testing.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace platform::forms {

namespace {

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

std::string App::Path() {
    if (const std::string testPath = AppPathForTesting(); !testPath.empty()) {
        return testPath;
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

} // namespace platform::forms
