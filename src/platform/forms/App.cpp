#include "platform/forms/App.h"

#include "platform/forms/Testing.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QStringList>
#include <sys/stat.h>
#include <unistd.h>

namespace platform::forms {

namespace {

QString& TestPath() {
    static QString path;
    return path;
}

// Drops empty and "." segments and the trailing separator. ".." stays: only
// the system knows where it leads when a directory on the way is a link.
QString Tidy(const QString& absolute) {
    QStringList kept;
    for (const QString& segment : absolute.split(u'/', Qt::SkipEmptyParts)) {
        if (segment != QStringLiteral("."))
            kept.append(segment);
    }
    return u'/' + kept.join(u'/');
}

QString Absolute(const QString& path, const QString& cwd) {
    return Tidy(path.startsWith(u'/') ? path : cwd + u'/' + path);
}

QString DirectoryOf(const QString& absoluteFile) {
    const qsizetype slash = absoluteFile.lastIndexOf(u'/');
    return slash <= 0 ? QStringLiteral("/") : absoluteFile.left(slash);
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
QString FindOnSearchPath(const QString& name, const QString& cwd, const QByteArray& searchPath) {
    for (const QByteArray& entry : searchPath.split(':')) {
        const QString dir = entry.isEmpty() ? cwd : QFile::decodeName(entry);
        const QString file = Absolute(dir + u'/' + name, cwd);
        if (IsExecutableFile(QFile::encodeName(file)))
            return file;
    }
    return {};
}

} // namespace

QString ProgramDirectory(const QString& argv0, const QString& cwd, const QByteArray& searchPath,
                         const QString& executable) {
    QString started;
    if (argv0.contains(u'/')) {
        started = Absolute(argv0, cwd);
    } else if (!argv0.isEmpty()) {
        started = FindOnSearchPath(argv0, cwd, searchPath);
    }
    if (!started.isEmpty() && SameFile(QFile::encodeName(started), QFile::encodeName(executable))) {
        return DirectoryOf(started);
    }
    return DirectoryOf(Absolute(executable, cwd));
}

QString App::Path() {
    if (!TestPath().isEmpty()) {
        return TestPath();
    }
    // The working directory never changes while Tavro runs, and argv[0] is
    // only meaningful against the one it was started in: work it out once.
    static const QString path =
        ProgramDirectory(QCoreApplication::arguments().value(0), QDir::currentPath(),
                         qgetenv("PATH"), QCoreApplication::applicationFilePath());
    return path;
}

QString App::PathBeforeStart(const char* argv0) {
    // What QCoreApplication reads for arguments() and applicationFilePath().
    return ProgramDirectory(QString::fromLocal8Bit(argv0), QDir::currentPath(), qgetenv("PATH"),
                            QFile::symLinkTarget(QStringLiteral("/proc/self/exe")));
}

void SetAppPathForTesting(const QString& path) {
    TestPath() = path;
}

} // namespace platform::forms
