#include "platform/forms/App.h"

#include "platform/forms/Testing.h"

#include <QFile>
#include <QList>
#include <climits>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

namespace platform::forms {

namespace {

QByteArray& TestPath() {
    static QByteArray path;
    return path;
}

// Drops empty and "." segments and the trailing separator. ".." stays: only
// the system knows where it leads when a directory on the way is a link.
QByteArray Tidy(const QByteArray& absolute) {
    QList<QByteArray> kept;
    for (const QByteArray& segment : absolute.split('/')) {
        if (!segment.isEmpty() && segment != ".")
            kept.append(segment);
    }
    return '/' + kept.join('/');
}

QByteArray Absolute(const QByteArray& path, const QByteArray& cwd) {
    return Tidy(path.startsWith('/') ? path : cwd + '/' + path);
}

QByteArray DirectoryOf(const QByteArray& absoluteFile) {
    const qsizetype slash = absoluteFile.lastIndexOf('/');
    return slash <= 0 ? QByteArray("/") : absoluteFile.left(slash);
}

bool IsExecutableFile(const QByteArray& path) {
    struct stat st {};
    return ::stat(path.constData(), &st) == 0 && S_ISREG(st.st_mode) &&
           ::access(path.constData(), X_OK) == 0;
}

bool SameFile(const QByteArray& a, const QByteArray& b) {
    struct stat sa {
    }, sb{};
    return ::stat(a.constData(), &sa) == 0 && ::stat(b.constData(), &sb) == 0 &&
           sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

// The file a bare program name was found as: the first executable regular
// file of that name in the search path's directories, as execvp() finds it
// (an empty entry is the current directory).
QByteArray FindOnSearchPath(const QByteArray& name, const QByteArray& cwd,
                            const QByteArray& searchPath) {
    for (const QByteArray& entry : searchPath.split(':')) {
        const QByteArray file = Absolute((entry.isEmpty() ? cwd : entry) + '/' + name, cwd);
        if (IsExecutableFile(file))
            return file;
    }
    return {};
}

// The program's own facts as the system has them, in bytes: Qt's
// arguments(), currentPath() and applicationFilePath() are text, and lose
// (or, for the executable, drop) a name that is not UTF-8.
QByteArray StartedAs() {
    QFile cmdline(QStringLiteral("/proc/self/cmdline"));
    if (!cmdline.open(QIODevice::ReadOnly))
        return {};
    const QByteArray all = cmdline.readAll();
    return all.left(all.indexOf('\0'));
}

QByteArray CurrentDirectory() {
    char* cwd = ::getcwd(nullptr, 0);
    const QByteArray path(cwd);
    std::free(cwd);
    return path;
}

QByteArray ExecutableFile() {
    QByteArray target(PATH_MAX, '\0');
    const ssize_t length = ::readlink("/proc/self/exe", target.data(), target.size());
    return length > 0 && length < target.size() ? target.left(length) : QByteArray();
}

} // namespace

QByteArray ProgramDirectory(const QByteArray& argv0, const QByteArray& cwd,
                            const QByteArray& searchPath, const QByteArray& executable) {
    QByteArray started;
    if (argv0.contains('/')) {
        started = Absolute(argv0, cwd);
    } else if (!argv0.isEmpty()) {
        started = FindOnSearchPath(argv0, cwd, searchPath);
    }
    if (executable.isEmpty()) {
        // Nothing to check argv[0] against: it is all there is.
        return IsExecutableFile(started) ? DirectoryOf(started) : Tidy(cwd);
    }
    if (!started.isEmpty() && SameFile(started, executable)) {
        return DirectoryOf(started);
    }
    return DirectoryOf(Absolute(executable, cwd));
}

QByteArray App::Path() {
    if (!TestPath().isEmpty()) {
        return TestPath();
    }
    // The working directory never changes while Tavro runs, and argv[0] is
    // only meaningful against the one it was started in: work it out once.
    static const QByteArray path =
        ProgramDirectory(StartedAs(), CurrentDirectory(), qgetenv("PATH"), ExecutableFile());
    return path;
}

void SetAppPathForTesting(const QString& path) {
    TestPath() = QFile::encodeName(path);
}

} // namespace platform::forms
