// Starting a program on Windows: the command line goes to CreateProcessW as
// it was built, and Windows finds the program by its own rules. What is
// looked for where is worked out here only to say it when the start fails.
#include "platform/system/program_start.h"

#include "platform/system/command_line.h"
#include "platform/system/last_error.h"
#include "platform/system/shown_name.h"
#include "platform/system/spawn.h"
#include "platform/system/win32/wide_names.h"
#include "platform/win32.h"

#include <algorithm>
#include <exception>
#include <string>
#include <string_view>
#include <vector>

namespace platform {
namespace {

// A directory the system names through a call that fills a buffer.
template <typename Call> std::string SystemDirectory(Call call) {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const UINT length = call(path.data(), static_cast<UINT>(path.size()));
        if (length == 0)
            return {};
        if (length < path.size()) {
            path.resize(length);
            return NarrowName(path);
        }
        path.resize(length);
    }
}

std::string CurrentDirectory() {
    return SystemDirectory([](wchar_t* into, UINT size) {
        return static_cast<UINT>(::GetCurrentDirectoryW(size, into));
    });
}

std::string Environment(const wchar_t* name) {
    const DWORD length = ::GetEnvironmentVariableW(name, nullptr, 0);
    if (length == 0)
        return {};
    std::wstring value(length, L'\0');
    value.resize(::GetEnvironmentVariableW(name, value.data(), length));
    return NarrowName(value);
}

bool IsSeparator(char c) {
    return c == '\\' || c == '/';
}

std::string JoinPath(const std::string& dir, const std::string& name) {
    return !dir.empty() && (IsSeparator(dir.back()) || dir.back() == ':') ? dir + name
                                                                          : dir + '\\' + name;
}

std::string Joined(const std::vector<std::string>& paths, std::string_view separator) {
    std::string text;
    for (const std::string& path : paths) {
        if (!text.empty())
            text += separator;
        text += ShownName(path);
    }
    return text;
}

// The names Windows tries for a program: as written, and with ".exe" when
// the name has no extension.
std::vector<std::string> CandidateNames(const std::string& name) {
    std::vector<std::string> names{name};
    const std::size_t slash = name.find_last_of("\\/:");
    const std::string base = slash == std::string::npos ? name : name.substr(slash + 1);
    if (base.find('.') == std::string::npos)
        names.push_back(name + ".exe");
    return names;
}

bool IsFile(const std::string& path) {
    const DWORD attributes = ::GetFileAttributesW(WidePath(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::string FullPath(const std::string& path) {
    const std::wstring wide = WideName(path);
    std::wstring full(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length =
            ::GetFullPathNameW(wide.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
        if (length == 0)
            return path;
        if (length < full.size()) {
            full.resize(length);
            return NarrowName(full);
        }
        full.resize(length);
    }
}

} // namespace

std::vector<std::string> ProgramSearchDirectories(const std::string& ownDirectory) {
    std::vector<std::string> dirs;
    const auto add = [&dirs](const std::string& dir) {
        if (!dir.empty() && std::find(dirs.begin(), dirs.end(), dir) == dirs.end())
            dirs.push_back(dir);
    };
    add(ownDirectory);
    add(CurrentDirectory());
    add(SystemDirectory(::GetSystemDirectoryW));
    const std::string windows = SystemDirectory(::GetWindowsDirectoryW);
    if (!windows.empty())
        add(JoinPath(windows, "System")); // the 16-bit system directory
    add(windows);
    const std::string path = Environment(L"PATH");
    std::string_view entries = path;
    for (;;) {
        const std::size_t semicolon = entries.find(';');
        std::string entry(entries.substr(0, semicolon));
        entry.erase(std::remove(entry.begin(), entry.end(), '"'), entry.end());
        add(entry);
        if (semicolon == std::string_view::npos)
            break;
        entries.remove_prefix(semicolon + 1);
    }
    return dirs;
}

ShellResult Shell(const std::string& commandLine, int windowStyle,
                  const std::string& ownDirectory) {
    ShellResult result;
    try {
        const std::vector<std::string> args = SplitCommandLine(commandLine);
        if (args.empty() || args.front().empty()) {
            result.error = ERROR_FILE_NOT_FOUND;
            result.reason = "The command line names no program.";
            return result;
        }
        const std::string& program = args.front();
        result.program = ShownName(program);
        const std::vector<std::string> names = CandidateNames(program);
        const bool isPath = program.find_first_of("\\/:") != std::string::npos;

        // The places Windows looks in, in its order, and the first file there.
        std::vector<std::string> files;
        if (isPath) {
            for (const std::string& name : names)
                files.push_back(FullPath(name));
            result.searched = files;
        } else {
            const std::vector<std::string> dirs = ProgramSearchDirectories(ownDirectory);
            result.searched = dirs;
            for (const std::string& dir : dirs)
                for (const std::string& name : names)
                    files.push_back(JoinPath(dir, name));
        }
        for (std::string& place : result.searched)
            place = ShownName(place);
        const auto found = std::find_if(files.begin(), files.end(), IsFile);

        // A program in our own directory is started from there: that is the
        // directory Windows searches first, and the caller's own may be
        // another than the one the running program was loaded from.
        std::string application;
        if (!isPath && !ownDirectory.empty() && found != files.end() &&
            found->starts_with(JoinPath(ownDirectory, "")))
            application = *found;

        std::string started;
        const SpawnResult spawned =
            SpawnCommandLine(application, commandLine, windowStyle, &started);
        if (spawned.error != 0) {
            result.error = spawned.error;
            const auto error = static_cast<DWORD>(spawned.error);
            if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) {
                result.reason = "No file named " + Joined(names, " or ") + " was found.";
            } else {
                const std::string file = found != files.end() ? *found : program;
                result.path = ShownName(file);
                result.reason =
                    ShownName(file) + " could not be started: " + SystemMessage(error) + ".";
            }
            return result;
        }
        result.ok = true;
        result.pid = static_cast<pid_t>(spawned.processId);
        result.path = ShownName(started.empty() && found != files.end() ? *found : started);
    } catch (const std::exception& e) {
        result.ok = false;
        result.error = 0;
        result.reason = "The program could not be started: " + ShownName(e.what()) + ".";
    }
    return result;
}

} // namespace platform
