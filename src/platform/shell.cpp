#include "platform/shell.h"

#include "platform/system/command_line.h"
#include "platform/system/spawn.h"

#include <QFile>
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
QByteArray CurrentDirectory() {
    char* cwd = ::getcwd(nullptr, 0);
    const QByteArray path(cwd);
    std::free(cwd);
    return path;
}

} // namespace

QList<QByteArray> ProgramSearchDirectories(const QByteArray& ownDirectory) {
    QList<QByteArray> dirs;
    const auto add = [&dirs](const QByteArray& dir) {
        if (!dir.isEmpty() && !dirs.contains(dir))
            dirs.append(dir);
    };
    add(ownDirectory);
    add(CurrentDirectory());
    for (const QByteArray& entry : qgetenv("PATH").split(':'))
        add(entry);
    return dirs;
}

namespace {

// The file names a program name stands for, in the order they are tried.
QList<QByteArray> CandidateNames(const QByteArray& name) {
    QList<QByteArray> names{name};
    const QByteArray base = name.mid(name.lastIndexOf('/') + 1);
    if (base.toLower().endsWith(".exe")) {
        if (base.size() > 4)
            names.append(name.chopped(4));
    } else if (base.lastIndexOf('.') <= 0) {
        names.append(name + ".exe");
    }
    return names;
}

enum class FileKind { Missing, NotExecutable, Executable };

FileKind Examine(const QByteArray& path) {
    struct stat st {};
    if (::stat(path.constData(), &st) != 0)
        return FileKind::Missing;
    if (!S_ISREG(st.st_mode))
        return FileKind::NotExecutable;
    return ::access(path.constData(), X_OK) == 0 ? FileKind::Executable : FileKind::NotExecutable;
}

QByteArray JoinPath(const QByteArray& dir, const QByteArray& name) {
    return dir.endsWith('/') ? dir + name : dir + '/' + name;
}

QStringList Decoded(const QList<QByteArray>& paths) {
    QStringList texts;
    for (const QByteArray& path : paths)
        texts.append(QFile::decodeName(path));
    return texts;
}

// Looks for the program (by the exact bytes of its name and of every place
// looked in); returns the file found, and fills the result's path and
// searched, and on failure reason, as text to show.
QByteArray FindProgram(ShellResult& result, const QByteArray& program,
                       const QByteArray& ownDirectory) {
    const QList<QByteArray> names = CandidateNames(program);
    QList<QByteArray> refused;
    const auto tryFile = [&](const QByteArray& file) {
        switch (Examine(file)) {
        case FileKind::Executable:
            result.path = QFile::decodeName(file);
            return true;
        case FileKind::NotExecutable:
            refused.append(file);
            return false;
        case FileKind::Missing:
            return false;
        }
        return false;
    };

    if (program.contains('/')) {
        const QByteArray current = CurrentDirectory();
        for (const QByteArray& name : names) {
            const QByteArray file = name.startsWith('/') ? name : JoinPath(current, name);
            result.searched.append(QFile::decodeName(file));
            if (tryFile(file))
                return file;
        }
    } else {
        const QList<QByteArray> dirs = ProgramSearchDirectories(ownDirectory);
        result.searched = Decoded(dirs);
        for (const QByteArray& dir : dirs) {
            for (const QByteArray& name : names) {
                const QByteArray file = JoinPath(dir, name);
                if (tryFile(file))
                    return file;
            }
        }
    }

    result.error = refused.isEmpty() ? ENOENT : EACCES;
    if (!refused.isEmpty()) {
        result.path = QFile::decodeName(refused.first());
        result.reason = QStringLiteral("%1 is not an executable file.")
                            .arg(Decoded(refused).join(QStringLiteral(", ")));
    } else {
        result.reason = QStringLiteral("No file named %1 was found.")
                            .arg(Decoded(names).join(QStringLiteral(" or ")));
    }
    return {};
}

// Why a program that was found could not be started.
QString StartFailure(const QByteArray& file, const SpawnResult& spawned) {
    const QString path = QFile::decodeName(file);
    if (!spawned.missingInterpreter.empty())
        return QStringLiteral("%1 could not be started: its interpreter %2 was not found.")
            .arg(path, QFile::decodeName(QByteArray::fromStdString(spawned.missingInterpreter)));
    return QStringLiteral("%1 could not be started: %2.")
        .arg(path, QString::fromLocal8Bit(std::strerror(spawned.error)));
}

} // namespace

ShellResult Shell(const QByteArray& commandLine, int windowStyle, const QByteArray& ownDirectory) {
    // Nothing on X11 or Wayland lets us ask an arbitrary program to open its
    // first window minimized, so the style is accepted and not acted on.
    static_cast<void>(windowStyle);
    ShellResult result;
    try {
        const std::vector<std::string> args =
            SplitCommandLine(std::string_view(commandLine.constData(), commandLine.size()));
        if (args.empty() || args.front().empty()) {
            result.error = ENOENT;
            result.reason = QStringLiteral("The command line names no program.");
            return result;
        }
        const QByteArray program = QByteArray::fromStdString(args.front());
        result.program = QFile::decodeName(program);
        const QByteArray file = FindProgram(result, program, ownDirectory);
        if (file.isEmpty())
            return result;

        // The program sees the name it was found under as its own.
        std::vector<std::string> argv = args;
        argv.front() =
            (program.contains('/') ? file : file.mid(file.lastIndexOf('/') + 1)).toStdString();
        const SpawnResult spawned = Spawn(file.toStdString(), argv);
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
        result.reason = QStringLiteral("The program could not be started: %1.")
                            .arg(QString::fromLocal8Bit(e.what()));
    }
    return result;
}

} // namespace platform
