// Starting a program on Windows: CreateProcessW, with nothing waited for.
#include "platform/system/spawn.h"

#include "platform/system/command_line.h"
#include "platform/system/win32/wide_names.h"
#include "platform/win32.h"

namespace platform {
namespace {

// The program's name as the first word of a line: quotes group there and
// backslashes are plain, so a name with a blank is simply quoted.
std::string QuoteProgram(const std::string& name) {
    return name.find_first_of(" \t") == std::string::npos ? name : '"' + name + '"';
}

} // namespace

SpawnResult SpawnCommandLine(const std::string& application, const std::string& commandLine,
                             int windowStyle, std::string* startedFile) {
    SpawnResult result;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = static_cast<WORD>(windowStyle);
    PROCESS_INFORMATION process{};
    const std::wstring program = WidePath(application);
    std::wstring line = WideName(commandLine); // CreateProcessW may write into it
    if (!::CreateProcessW(application.empty() ? nullptr : program.c_str(), line.data(), nullptr,
                          nullptr, FALSE, CREATE_NEW_PROCESS_GROUP, nullptr, nullptr, &startup,
                          &process)) {
        result.error = static_cast<int>(::GetLastError());
        return result;
    }
    result.processId = process.dwProcessId;
    if (startedFile) {
        std::wstring file(32768, L'\0');
        DWORD length = static_cast<DWORD>(file.size());
        if (::QueryFullProcessImageNameW(process.hProcess, 0, file.data(), &length)) {
            file.resize(length);
            *startedFile = NarrowName(file);
        }
    }
    // Nothing is kept of the program: it ends on its own, with no one to wait.
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    return result;
}

SpawnResult Spawn(const std::string& path, const std::vector<std::string>& args) {
    std::string line = args.empty() ? QuoteProgram(path) : QuoteProgram(args.front());
    for (std::size_t i = 1; i < args.size(); ++i)
        line += ' ' + QuoteArgument(args[i]);
    return SpawnCommandLine(path, line, SW_SHOWNORMAL, nullptr);
}

} // namespace platform
