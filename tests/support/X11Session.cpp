#include "support/X11Session.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <QThread>
#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace tavro::test {

namespace {

// ImageMagick's import by its full path: another `import` may come first on PATH.
const QString kImport = QStringLiteral("/usr/bin/import");

constexpr int kServerStartMs = 15000;
constexpr int kStopGraceMs = 3000;

QString FindTool(const QString& name) {
    return QStandardPaths::findExecutable(name);
}

// xdotool matches window names as POSIX extended regular expressions.
QString ExactNamePattern(const QString& name) {
    static const QString special = QStringLiteral(".[]{}()\\*+?^$|");
    QString pattern = QStringLiteral("^");
    for (QChar c : name) {
        if (special.contains(c)) {
            pattern += QLatin1Char('\\');
        }
        pattern += c;
    }
    return pattern + QLatin1Char('$');
}

// The test binary runs offscreen; programs on our display must not inherit that.
bool KeptForChild(const char* entry) {
    for (const char* drop : {"QT_QPA_PLATFORM=", "WAYLAND_DISPLAY=", "DISPLAY="}) {
        if (std::strncmp(entry, drop, std::strlen(drop)) == 0) {
            return false;
        }
    }
    return true;
}

void SleepMs(int ms) {
    QThread::msleep(static_cast<unsigned long>(ms));
}

} // namespace

// --- X11Program -------------------------------------------------------------------------------

bool X11Program::poll() {
    if (exited_) {
        return true;
    }
    siginfo_t info{};
    // WNOWAIT leaves the finished process a zombie: its pid, and with it the
    // process group id, cannot be handed to anybody else before stop().
    if (waitid(P_PID, static_cast<id_t>(pid_), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
        info.si_pid == pid_) {
        exited_ = true;
        code_ = info.si_code;
        status_ = info.si_status;
    }
    return exited_;
}

bool X11Program::running() {
    return !poll();
}

bool X11Program::waitForExit(int timeoutMs) {
    return X11Session::waitFor([this] { return poll(); }, timeoutMs, 20);
}

std::optional<int> X11Program::exitCode() {
    if (poll() && code_ == CLD_EXITED) {
        return status_;
    }
    return std::nullopt;
}

std::optional<int> X11Program::exitSignal() {
    if (poll() && (code_ == CLD_KILLED || code_ == CLD_DUMPED)) {
        return status_;
    }
    return std::nullopt;
}

QByteArray X11Program::log() const {
    QFile f(logPath_);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool X11Program::pause() {
    return !reaped_ && kill(-pid_, SIGSTOP) == 0;
}

bool X11Program::resume() {
    return !reaped_ && kill(-pid_, SIGCONT) == 0;
}

void X11Program::stop() {
    if (reaped_) {
        return;
    }
    // The group outlives its leader when the program started others; the
    // unreaped leader keeps the group id ours while we signal it.
    kill(-pid_, SIGTERM);
    kill(-pid_, SIGCONT); // a paused program cannot act on TERM
    if (!waitForExit(kStopGraceMs)) {
        kill(-pid_, SIGKILL);
        waitForExit(kStopGraceMs);
    }
    kill(-pid_, SIGKILL); // whatever of the group ignored TERM
    if (poll()) {
        waitpid(pid_, nullptr, WNOHANG);
        reaped_ = true;
    }
}

// --- X11Session -------------------------------------------------------------------------------

X11Session::X11Session() {
    if (!dir_.isValid()) {
        error_ = QStringLiteral("cannot make a temporary directory: ") + dir_.errorString();
        return;
    }
    const QStringList missing = MissingTools();
    if (!missing.isEmpty()) {
        error_ = QStringLiteral("not installed: ") + missing.join(QStringLiteral(", "));
        return;
    }
    startServer();
}

X11Session::~X11Session() {
    // Programs first: they would otherwise see their display vanish under them.
    for (auto it = programs_.rbegin(); it != programs_.rend(); ++it) {
        (*it)->stop();
    }
    if (server_) {
        server_->stop();
    }
}

QStringList X11Session::MissingTools() {
    QStringList missing;
    for (const char* tool : {"Xvfb", "xdotool"}) {
        if (FindTool(QString::fromLatin1(tool)).isEmpty()) {
            missing << QString::fromLatin1(tool);
        }
    }
    return missing;
}

QByteArray X11Session::serverLog() const {
    return server_ ? server_->log() : QByteArray();
}

pid_t X11Session::spawn(const QString& program, const QStringList& args,
                        const QString& workingDirectory, const QString& logPath, int keepFd) {
    const QString path = program.contains(QLatin1Char('/')) ? QFileInfo(program).absoluteFilePath()
                                                            : FindTool(program);
    if (path.isEmpty()) {
        error_ = QStringLiteral("no program ") + program;
        return -1;
    }

    // Everything the child needs is made before fork(): between fork() and
    // exec() only async-signal-safe calls are allowed.
    std::vector<QByteArray> argStore{QFile::encodeName(path)};
    for (const QString& a : args) {
        argStore.push_back(a.toLocal8Bit());
    }
    std::vector<char*> argv;
    for (QByteArray& a : argStore) {
        argv.push_back(a.data());
    }
    argv.push_back(nullptr);

    std::vector<QByteArray> envStore;
    for (char** e = environ; *e != nullptr; ++e) {
        if (KeptForChild(*e)) {
            envStore.emplace_back(*e);
        }
    }
    if (!display_.isEmpty()) {
        envStore.push_back("DISPLAY=" + display_.toLatin1());
    }
    std::vector<char*> envp;
    for (QByteArray& e : envStore) {
        envp.push_back(e.data());
    }
    envp.push_back(nullptr);

    const QByteArray pathBytes = QFile::encodeName(path);
    const QByteArray dirBytes = QFile::encodeName(workingDirectory);
    const int logFd = open(QFile::encodeName(logPath).constData(),
                           O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    const int nullFd = open("/dev/null", O_RDONLY | O_CLOEXEC);
    // exec() closes this pipe; anything read from it is the errno of a failed start.
    int status[2] = {-1, -1};
    if (logFd < 0 || nullFd < 0 || pipe2(status, O_CLOEXEC) != 0) {
        error_ = QStringLiteral("cannot prepare to start ") + program;
        for (int fd : {logFd, nullFd}) {
            if (fd >= 0) {
                close(fd);
            }
        }
        return -1;
    }

    const pid_t pid = fork();
    if (pid == 0) {
        setpgid(0, 0);
        sigset_t none;
        sigemptyset(&none);
        sigprocmask(SIG_SETMASK, &none, nullptr);
        signal(SIGPIPE, SIG_DFL);
        int err = 0;
        if (!dirBytes.isEmpty() && chdir(dirBytes.constData()) != 0) {
            err = errno;
        } else if (dup2(nullFd, 0) < 0 || dup2(logFd, 1) < 0 || dup2(logFd, 2) < 0 ||
                   (keepFd >= 0 && fcntl(keepFd, F_SETFD, 0) != 0)) {
            err = errno;
        } else {
            execve(pathBytes.constData(), argv.data(), envp.data());
            err = errno;
        }
        ssize_t ignored = write(status[1], &err, sizeof err);
        (void)ignored;
        _exit(127);
    }
    close(status[1]);
    close(logFd);
    close(nullFd);
    if (pid < 0) {
        error_ = QStringLiteral("fork failed for ") + program;
        close(status[0]);
        return -1;
    }
    // Also from this side, so the group exists before we might signal it.
    setpgid(pid, pid);

    int err = 0;
    ssize_t got;
    do {
        got = read(status[0], &err, sizeof err);
    } while (got < 0 && errno == EINTR);
    close(status[0]);
    if (got > 0) {
        error_ = QStringLiteral("cannot start %1: %2")
                     .arg(program, QString::fromLocal8Bit(strerror(err)));
        waitpid(pid, nullptr, 0);
        return -1;
    }
    return pid;
}

bool X11Session::startServer() {
    int ready[2];
    if (pipe2(ready, O_CLOEXEC) != 0) {
        error_ = QStringLiteral("cannot make a pipe for Xvfb");
        return false;
    }
    // Xvfb picks a free display itself and writes its number to the pipe once
    // it accepts connections: no fixed display, no guessing when it is ready.
    const pid_t pid =
        spawn(QStringLiteral("Xvfb"),
              {QStringLiteral("-displayfd"), QString::number(ready[1]), QStringLiteral("-screen"),
               QStringLiteral("0"), QStringLiteral("1280x1024x24"), QStringLiteral("-nolisten"),
               QStringLiteral("tcp")},
              dir_.path(), dir_.filePath(QStringLiteral("Xvfb.log")), ready[1]);
    close(ready[1]);
    if (pid < 0) {
        close(ready[0]);
        return false;
    }
    server_ = std::make_unique<X11Program>(pid, dir_.filePath(QStringLiteral("Xvfb.log")));

    QByteArray number;
    QElapsedTimer clock;
    clock.start();
    while (!number.endsWith('\n')) {
        const qint64 left = kServerStartMs - clock.elapsed();
        if (left <= 0) {
            break;
        }
        pollfd p{ready[0], POLLIN, 0};
        const int n = ::poll(&p, 1, static_cast<int>(left));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            break;
        }
        char buf[32];
        const ssize_t got = read(ready[0], buf, sizeof buf);
        if (got <= 0) {
            break; // Xvfb ended without naming a display
        }
        number.append(buf, got);
    }
    close(ready[0]);

    bool isNumber = false;
    const int display = number.trimmed().toInt(&isNumber);
    if (!number.endsWith('\n') || !isNumber || display < 0) {
        error_ = QStringLiteral("Xvfb did not report a display: ") +
                 QString::fromLocal8Bit(server_->log());
        return false;
    }
    display_ = QStringLiteral(":%1").arg(display);
    return true;
}

X11Program* X11Session::start(const QString& program, const QStringList& args,
                              const QString& workingDirectory) {
    if (!ok()) {
        return nullptr;
    }
    const QString log = dir_.filePath(QStringLiteral("program-%1.log").arg(programs_.size() + 1));
    const pid_t pid = spawn(program, args, workingDirectory, log, -1);
    if (pid < 0) {
        return nullptr;
    }
    programs_.push_back(std::make_unique<X11Program>(pid, log));
    return programs_.back().get();
}

std::optional<QByteArray> X11Session::run(const QString& tool, const QStringList& args,
                                          int timeoutMs) {
    if (!ok()) {
        return std::nullopt;
    }
    const QString path = tool.contains(QLatin1Char('/')) ? tool : FindTool(tool);
    if (path.isEmpty()) {
        return std::nullopt;
    }
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("QT_QPA_PLATFORM"));
    env.insert(QStringLiteral("DISPLAY"), display_);
    process.setProcessEnvironment(env);
    process.setStandardInputFile(QProcess::nullDevice());
    process.start(path, args);
    if (!process.waitForStarted(timeoutMs)) {
        return std::nullopt;
    }
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished(1000);
        return std::nullopt;
    }
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        return std::nullopt;
    }
    return process.readAllStandardOutput();
}

std::optional<quint64> X11Session::waitForWindow(const QString& name, int timeoutMs) {
    std::optional<quint64> found;
    const QStringList args{QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                           QStringLiteral("--name"), ExactNamePattern(name)};
    waitFor(
        [&] {
            // xdotool exits with 1 while nothing matches.
            const auto out = run(QStringLiteral("xdotool"), args, 5000);
            if (!out) {
                return false;
            }
            bool isNumber = false;
            const quint64 id = out->split('\n').value(0).trimmed().toULongLong(&isNumber);
            if (isNumber && id != 0) {
                found = id;
            }
            return found.has_value();
        },
        timeoutMs, 100);
    return found;
}

std::optional<QRect> X11Session::geometry(quint64 window) {
    const auto out =
        run(QStringLiteral("xdotool"), {QStringLiteral("getwindowgeometry"),
                                        QStringLiteral("--shell"), QString::number(window)});
    if (!out) {
        return std::nullopt;
    }
    int x = 0, y = 0, width = -1, height = -1;
    int seen = 0;
    for (const QByteArray& line : out->split('\n')) {
        const int eq = line.indexOf('=');
        if (eq < 0) {
            continue;
        }
        const QByteArray key = line.left(eq);
        bool isNumber = false;
        const int value = line.mid(eq + 1).trimmed().toInt(&isNumber);
        if (!isNumber) {
            continue;
        }
        int* field = key == "X"        ? &x
                     : key == "Y"      ? &y
                     : key == "WIDTH"  ? &width
                     : key == "HEIGHT" ? &height
                                       : nullptr;
        if (field != nullptr) {
            *field = value;
            ++seen;
        }
    }
    if (seen != 4 || width < 0 || height < 0) {
        return std::nullopt;
    }
    return QRect(x, y, width, height);
}

bool X11Session::mouseMove(QPoint screen) {
    return run(QStringLiteral("xdotool"), {QStringLiteral("mousemove"), QString::number(screen.x()),
                                           QString::number(screen.y())})
        .has_value();
}

bool X11Session::mouseDown(int button) {
    return run(QStringLiteral("xdotool"), {QStringLiteral("mousedown"), QString::number(button)})
        .has_value();
}

bool X11Session::mouseUp(int button) {
    return run(QStringLiteral("xdotool"), {QStringLiteral("mouseup"), QString::number(button)})
        .has_value();
}

bool X11Session::click(QPoint screen, int button) {
    return run(QStringLiteral("xdotool"),
               {QStringLiteral("mousemove"), QString::number(screen.x()),
                QString::number(screen.y()), QStringLiteral("click"), QString::number(button)})
        .has_value();
}

bool X11Session::drag(QPoint from, QPoint to, int steps, int button) {
    steps = std::max(steps, 1);
    // One xdotool run with short pauses, so the program sees separate moves
    // with the button held, as from a hand.
    const QString pause = QStringLiteral("0.05");
    QStringList args{QStringLiteral("mousemove"), QString::number(from.x()),
                     QString::number(from.y()), QStringLiteral("mousedown"),
                     QString::number(button)};
    for (int i = 1; i <= steps; ++i) {
        const QPoint p = from + (to - from) * i / steps;
        args << QStringLiteral("sleep") << pause << QStringLiteral("mousemove")
             << QString::number(p.x()) << QString::number(p.y());
    }
    args << QStringLiteral("sleep") << pause << QStringLiteral("mouseup")
         << QString::number(button);
    return run(QStringLiteral("xdotool"), args).has_value();
}

bool X11Session::key(const QStringList& keys) {
    return run(QStringLiteral("xdotool"), QStringList{QStringLiteral("key")} + keys).has_value();
}

QImage X11Session::screenshot() {
    const auto png =
        run(kImport, {QStringLiteral("-window"), QStringLiteral("root"), QStringLiteral("png:-")},
            20000);
    if (!png) {
        return QImage();
    }
    return QImage::fromData(*png, "PNG").convertToFormat(QImage::Format_RGB32);
}

QImage X11Session::screenshot(quint64 window) {
    const auto rect = geometry(window);
    if (!rect) {
        return QImage();
    }
    const QImage screen = screenshot();
    return screen.isNull() ? QImage() : screen.copy(*rect);
}

bool X11Session::waitFor(const std::function<bool()>& condition, int timeoutMs, int intervalMs) {
    QElapsedTimer clock;
    clock.start();
    for (;;) {
        if (condition()) {
            return true;
        }
        if (clock.elapsed() >= timeoutMs) {
            return false;
        }
        SleepMs(intervalMs);
    }
}

} // namespace tavro::test
