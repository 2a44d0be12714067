#include "platform/system/program_start.h"

#include "platform/system/command_line.h"
#include "platform/system/shown_name.h"
#include "platform/system/spawn.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace platform {

namespace {

// The current directory as the exact bytes of its path.
std::string CurrentDirectory() {
    char* cwd = ::getcwd(nullptr, 0);
    const std::string path = cwd ? cwd : "";
    std::free(cwd);
    return path;
}

std::string Joined(const std::vector<std::string>& paths, std::string_view separator) {
    std::string text;
    for (const std::string& path : paths) {
        if (!text.empty()) {
            text += separator;
        }
        text += ShownName(path);
    }
    return text;
}

bool EndsWith(std::string_view text, char c) {
    return !text.empty() && text.back() == c;
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
    const char* path = std::getenv("PATH");
    std::string_view entries = path ? path : "";
    for (;;) {
        const std::size_t colon = entries.find(':');
        add(std::string(entries.substr(0, colon)));
        if (colon == std::string_view::npos)
            break;
        entries.remove_prefix(colon + 1);
    }
    return dirs;
}

namespace {

// The file names a program name stands for, in the order they are tried.
std::vector<std::string> CandidateNames(const std::string& name) {
    std::vector<std::string> names{name};
    const std::size_t slash = name.rfind('/');
    const std::string base = slash == std::string::npos ? name : name.substr(slash + 1);
    std::string lower = base;
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; });
    if (lower.ends_with(".exe")) {
        if (base.size() > 4)
            names.push_back(name.substr(0, name.size() - 4));
    } else {
        const std::size_t dot = base.rfind('.');
        if (dot == std::string::npos || dot == 0)
            names.push_back(name + ".exe");
    }
    return names;
}

enum class FileKind { Missing, NotExecutable, Executable };

FileKind Examine(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return FileKind::Missing;
    if (!S_ISREG(st.st_mode))
        return FileKind::NotExecutable;
    return ::access(path.c_str(), X_OK) == 0 ? FileKind::Executable : FileKind::NotExecutable;
}

std::string JoinPath(const std::string& dir, const std::string& name) {
    return EndsWith(dir, '/') ? dir + name : dir + '/' + name;
}

// Looks for the program (by the exact bytes of its name and of every place
// looked in); returns the file found, and fills the result's path and
// searched, and on failure reason, as text to show.
std::string FindProgram(ShellResult& result, const std::string& program,
                        const std::string& ownDirectory) {
    const std::vector<std::string> names = CandidateNames(program);
    std::vector<std::string> refused;
    const auto tryFile = [&](const std::string& file) {
        switch (Examine(file)) {
        case FileKind::Executable:
            result.path = ShownName(file);
            return true;
        case FileKind::NotExecutable:
            refused.push_back(file);
            return false;
        case FileKind::Missing:
            return false;
        }
        return false;
    };

    if (program.find('/') != std::string::npos) {
        const std::string current = CurrentDirectory();
        for (const std::string& name : names) {
            const std::string file = name.starts_with('/') ? name : JoinPath(current, name);
            result.searched.push_back(ShownName(file));
            if (tryFile(file))
                return file;
        }
    } else {
        const std::vector<std::string> dirs = ProgramSearchDirectories(ownDirectory);
        for (const std::string& dir : dirs)
            result.searched.push_back(ShownName(dir));
        for (const std::string& dir : dirs) {
            for (const std::string& name : names) {
                const std::string file = JoinPath(dir, name);
                if (tryFile(file))
                    return file;
            }
        }
    }

    result.error = refused.empty() ? ENOENT : EACCES;
    if (!refused.empty()) {
        result.path = ShownName(refused.front());
        result.reason = Joined(refused, ", ") + " is not an executable file.";
    } else {
        result.reason = "No file named " + Joined(names, " or ") + " was found.";
    }
    return {};
}

// Why a program that was found could not be started.
std::string StartFailure(const std::string& file, const SpawnResult& spawned) {
    const std::string path = ShownName(file);
    if (!spawned.missingInterpreter.empty())
        return path + " could not be started: its interpreter " +
               ShownName(spawned.missingInterpreter) + " was not found.";
    return path + " could not be started: " + ShownName(std::strerror(spawned.error)) + ".";
}

} // namespace

ShellResult Shell(const std::string& commandLine, int windowStyle,
                  const std::string& ownDirectory) {
    // Nothing on X11 or Wayland lets us ask an arbitrary program to open its
    // first window minimized, so the style is accepted and not acted on.
    static_cast<void>(windowStyle);
    ShellResult result;
    try {
        const std::vector<std::string> args = SplitCommandLine(commandLine);
        if (args.empty() || args.front().empty()) {
            result.error = ENOENT;
            result.reason = "The command line names no program.";
            return result;
        }
        const std::string& program = args.front();
        result.program = ShownName(program);
        const std::string file = FindProgram(result, program, ownDirectory);
        if (file.empty())
            return result;

        // The program sees the name it was found under as its own.
        std::vector<std::string> argv = args;
        argv.front() =
            program.find('/') != std::string::npos ? file : file.substr(file.rfind('/') + 1);
        const SpawnResult spawned = Spawn(file, argv);
        if (spawned.error != 0) {
            result.error = spawned.error;
            result.reason = StartFailure(file, spawned);
            return result;
        }
        result.ok = true;
        result.pid = static_cast<pid_t>(spawned.processId);
    } catch (const std::exception& e) {
        result.ok = false;
        result.error = 0;
        result.reason = "The program could not be started: " + ShownName(e.what()) + ".";
    }
    return result;
}

} // namespace platform
