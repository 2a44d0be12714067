#include "platform/shell.h"

#include <QFile>
#include <bit>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <elf.h>
#include <exception>
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <utility>
#include <vector>

extern char** environ;

namespace platform {

QStringList SplitCommandLine(const QString& commandLine) {
    QStringList args;
    const qsizetype n = commandLine.size();
    const auto isBlank = [](QChar c) { return c == u' ' || c == u'\t'; };
    qsizetype i = 0;
    while (i < n && isBlank(commandLine[i]))
        ++i;
    if (i == n)
        return args;

    // The program's name: quotes group and are dropped, nothing else is special.
    QString current;
    bool quoted = false;
    for (; i < n && (quoted || !isBlank(commandLine[i])); ++i) {
        if (commandLine[i] == u'"')
            quoted = !quoted;
        else
            current.append(commandLine[i]);
    }
    args.append(current);

    // The arguments.
    for (;;) {
        while (i < n && isBlank(commandLine[i]))
            ++i;
        if (i == n)
            return args;
        current.clear();
        quoted = false;
        while (i < n && (quoted || !isBlank(commandLine[i]))) {
            qsizetype backslashes = 0;
            while (i < n && commandLine[i] == u'\\') {
                ++backslashes;
                ++i;
            }
            if (i == n || commandLine[i] != u'"') {
                current.append(QString(backslashes, u'\\'));
                if (i < n && (quoted || !isBlank(commandLine[i])))
                    current.append(commandLine[i++]);
                continue;
            }
            // Backslashes before a quote: each pair gives one; an odd one
            // left over makes the quote a literal one.
            current.append(QString(backslashes / 2, u'\\'));
            if (backslashes % 2 == 1) {
                current.append(u'"');
            } else if (quoted && i + 1 < n && commandLine[i + 1] == u'"') {
                current.append(u'"'); // "" inside quotes: one quote, still quoted
                ++i;
            } else {
                quoted = !quoted;
            }
            ++i;
        }
        args.append(current);
    }
}

QString QuoteArgument(const QString& argument) {
    if (!argument.isEmpty() && !argument.contains(u' ') && !argument.contains(u'\t') &&
        !argument.contains(u'"'))
        return argument;
    QString out;
    out.reserve(argument.size() + 2);
    out.append(u'"');
    qsizetype backslashes = 0;
    for (const QChar c : argument) {
        if (c == u'\\') {
            ++backslashes;
            continue;
        }
        if (c == u'"') {
            // Each backslash before a quote doubles, and the quote is escaped.
            out.append(QString(backslashes * 2 + 1, u'\\'));
        } else {
            out.append(QString(backslashes, u'\\'));
        }
        backslashes = 0;
        out.append(c);
    }
    // Backslashes before the closing quote double so that it still closes.
    out.append(QString(backslashes * 2, u'\\'));
    out.append(u'"');
    return out;
}

// Latin-1 gives every byte a character of its own and back, so the rules
// above, which look at ASCII characters only, split and quote bytes exactly.
QList<QByteArray> SplitCommandLineBytes(const QByteArray& commandLine) {
    QList<QByteArray> args;
    for (const QString& arg : SplitCommandLine(QString::fromLatin1(commandLine)))
        args.append(arg.toLatin1());
    return args;
}

QByteArray QuoteArgumentBytes(const QByteArray& argument) {
    return QuoteArgument(QString::fromLatin1(argument)).toLatin1();
}

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

// Waits for the started program in the background so that it never lingers
// as a zombie. Waiting for this one pid leaves every other child (Qt's own
// included) to whoever started it.
void ReapLater(pid_t pid) {
    try {
        std::thread([pid] {
            int status = 0;
            while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
            }
        }).detach();
    } catch (const std::exception&) {
        // No thread to spare: the program still runs; it is reaped by init
        // once the launcher ends.
    }
}

// The interpreter a script names on its "#!" line, as the system reads it:
// after the "#!" and any blanks, up to the next blank or line end.
QByteArray ScriptInterpreter(QByteArrayView head) {
    const QByteArrayView line = head.sliced(2);
    qsizetype start = 0;
    while (start < line.size() && (line[start] == ' ' || line[start] == '\t'))
        ++start;
    qsizetype end = start;
    while (end < line.size() && line[end] != ' ' && line[end] != '\t' && line[end] != '\n' &&
           line[end] != '\0')
        ++end;
    return line.sliced(start, end - start).toByteArray();
}

// The program interpreter (the dynamic loader) an ELF executable of this
// machine's byte order names, such as a 32-bit loader that is not installed.
template <typename Ehdr, typename Phdr> QByteArray ElfInterpreter(int fd) {
    Ehdr header;
    if (::pread(fd, &header, sizeof header, 0) != static_cast<ssize_t>(sizeof header) ||
        header.e_phentsize != sizeof(Phdr))
        return {};
    for (unsigned i = 0; i < header.e_phnum; ++i) {
        Phdr entry;
        const off_t at = static_cast<off_t>(header.e_phoff + i * sizeof(Phdr));
        if (::pread(fd, &entry, sizeof entry, at) != static_cast<ssize_t>(sizeof entry))
            return {};
        if (entry.p_type != PT_INTERP)
            continue;
        if (entry.p_filesz < 2 || entry.p_filesz > PATH_MAX)
            return {};
        QByteArray name(static_cast<qsizetype>(entry.p_filesz), '\0');
        if (::pread(fd, name.data(), static_cast<size_t>(name.size()),
                    static_cast<off_t>(entry.p_offset)) != name.size())
            return {};
        return name.left(name.indexOf('\0'));
    }
    return {};
}

// The interpreter the system must start to run a file: a script's "#!"
// interpreter or an executable's loader. Empty when it names none.
QByteArray Interpreter(const QByteArray& path) {
    const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return {};
    char head[256];
    const ssize_t got = ::read(fd, head, sizeof head);
    QByteArray interpreter;
    if (got >= 2 && head[0] == '#' && head[1] == '!') {
        interpreter = ScriptInterpreter(QByteArrayView(head, got));
    } else if (got >= EI_NIDENT && std::memcmp(head, ELFMAG, SELFMAG) == 0 &&
               head[EI_DATA] ==
                   (std::endian::native == std::endian::little ? ELFDATA2LSB : ELFDATA2MSB)) {
        if (head[EI_CLASS] == ELFCLASS64)
            interpreter = ElfInterpreter<Elf64_Ehdr, Elf64_Phdr>(fd);
        else if (head[EI_CLASS] == ELFCLASS32)
            interpreter = ElfInterpreter<Elf32_Ehdr, Elf32_Phdr>(fd);
    }
    ::close(fd);
    return interpreter;
}

// Why a program that was found could not be started. The exec's "No such
// file or directory" for a file that is there means its interpreter is not.
QString StartFailure(const QByteArray& file, int err) {
    const QString path = QFile::decodeName(file);
    if (err == ENOENT) {
        const QByteArray interpreter = Interpreter(file);
        struct stat st {};
        if (!interpreter.isEmpty() && ::stat(interpreter.constData(), &st) != 0 &&
            (errno == ENOENT || errno == ENOTDIR))
            return QStringLiteral("%1 could not be started: its interpreter %2 was not found.")
                .arg(path, QFile::decodeName(interpreter));
    }
    return QStringLiteral("%1 could not be started: %2.")
        .arg(path, QString::fromLocal8Bit(std::strerror(err)));
}

// Starts path with args, detached from the launcher's session, with stdio
// kept, every other descriptor closed and the signal state reset. Returns 0
// or the errno of the failure, the exec's included.
int Spawn(const QByteArray& path, const std::vector<QByteArray>& args, pid_t& pid) {
    std::vector<char*> argv;
    argv.reserve(args.size() + 1);
    for (const QByteArray& arg : args)
        argv.push_back(const_cast<char*>(arg.constData()));
    argv.push_back(nullptr);

    posix_spawnattr_t attr;
    posix_spawn_file_actions_t actions;
    if (int err = posix_spawnattr_init(&attr); err != 0)
        return err;
    if (int err = posix_spawn_file_actions_init(&actions); err != 0) {
        posix_spawnattr_destroy(&attr);
        return err;
    }

    sigset_t none;
    sigemptyset(&none);
    // Signals the launcher ignores would stay ignored in the program; put the
    // standard ones back to their defaults (SIGKILL and SIGSTOP cannot change).
    sigset_t standard;
    sigemptyset(&standard);
    for (int sig = 1; sig < 32; ++sig) {
        if (sig != SIGKILL && sig != SIGSTOP)
            sigaddset(&standard, sig);
    }
    int err = posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGMASK |
                                                  POSIX_SPAWN_SETSIGDEF);
    if (err == 0)
        err = posix_spawnattr_setsigmask(&attr, &none);
    if (err == 0)
        err = posix_spawnattr_setsigdefault(&attr, &standard);
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 34))
    if (err == 0)
        err = posix_spawn_file_actions_addclosefrom_np(&actions, 3);
#endif
    // glibc's posix_spawn reports a failed exec through its return value.
    if (err == 0)
        err = posix_spawn(&pid, path.constData(), &actions, &attr, argv.data(), environ);

    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attr);
    return err;
}

} // namespace

ShellResult Shell(const QByteArray& commandLine, int windowStyle, const QByteArray& ownDirectory) {
    // Nothing on X11 or Wayland lets us ask an arbitrary program to open its
    // first window minimized, so the style is accepted and not acted on.
    static_cast<void>(windowStyle);
    ShellResult result;
    try {
        const QList<QByteArray> args = SplitCommandLineBytes(commandLine);
        if (args.isEmpty() || args.first().isEmpty()) {
            result.error = ENOENT;
            result.reason = QStringLiteral("The command line names no program.");
            return result;
        }
        const QByteArray& program = args.first();
        result.program = QFile::decodeName(program);
        const QByteArray file = FindProgram(result, program, ownDirectory);
        if (file.isEmpty())
            return result;

        // The program sees the name it was found under as its own.
        std::vector<QByteArray> argv;
        argv.reserve(static_cast<std::size_t>(args.size()));
        argv.push_back(program.contains('/') ? file : file.mid(file.lastIndexOf('/') + 1));
        for (qsizetype i = 1; i < args.size(); ++i)
            argv.push_back(args[i]);

        pid_t pid = -1;
        if (int err = Spawn(file, argv, pid); err != 0) {
            result.error = err;
            result.reason = StartFailure(file, err);
            return result;
        }
        ReapLater(pid);
        result.ok = true;
        result.pid = pid;
    } catch (const std::exception& e) {
        result.ok = false;
        result.error = 0;
        result.reason = QStringLiteral("The program could not be started: %1.")
                            .arg(QString::fromLocal8Bit(e.what()));
    }
    return result;
}

} // namespace platform
