#include "platform/forms/Shell.h"

#include "platform/forms/App.h"

namespace platform::forms {

platform::ShellResult Shell(const std::string& commandLine, int windowStyle) {
    return platform::Shell(commandLine, windowStyle, App::Path());
}

std::vector<std::string> ProgramSearchDirectories() {
    return platform::ProgramSearchDirectories(App::Path());
}

} // namespace platform::forms
