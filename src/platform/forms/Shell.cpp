#include "platform/forms/Shell.h"

#include "platform/forms/App.h"

namespace platform::forms {

platform::ShellResult Shell(const QByteArray& commandLine, int windowStyle) {
    return platform::Shell(commandLine, windowStyle, App::Path());
}

QList<QByteArray> ProgramSearchDirectories() {
    return platform::ProgramSearchDirectories(App::Path());
}

} // namespace platform::forms
