#include "support/X11Session.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QSet>
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
const QString Import = QStringLiteral("/usr/bin/import");

constexpr int ServerStartMs = 15000;
constexpr int StopGraceMs = 3000;
constexpr int ServerAttempts = 4;
constexpr int WindowManagerStartMs = 15000;

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
    for (const char* drop : {"QT_QPA_PLATFORM=", "WAYLAND_DISPLAY=", "DISPLAY=", "XAUTHORITY="}) {
        if (std::strncmp(entry, drop, std::strlen(drop)) == 0) {
            return false;
        }
    }
    return true;
}

void SleepMs(int ms) {
    QThread::msleep(static_cast<unsigned long>(ms));
}

// An authority file with one MIT-MAGIC-COOKIE-1 for any host and display, in
// the layout libXau reads: family, address, display number, name, data, each
// but the family preceded by its 16-bit big-endian length.
bool WriteAuthority(const QString& path) {
    QByteArray cookie(16, '\0');
    QFile random(QStringLiteral("/dev/urandom"));
    if (!random.open(QIODevice::ReadOnly) || random.read(cookie.data(), 16) != 16) {
        return false;
    }
    auto counted = [](const QByteArray& field) {
        const auto n = static_cast<quint16>(field.size());
        return QByteArray(1, static_cast<char>(n >> 8)) + static_cast<char>(n & 0xFF) + field;
    };
    const QByteArray wild("\xFF\xFF", 2); // FamilyWild
    const QByteArray entry =
        wild + counted({}) + counted({}) + counted("MIT-MAGIC-COOKIE-1") + counted(cookie);
    QFile file(path);
    return file.open(QIODevice::WriteOnly) &&
           file.setPermissions(QFile::ReadOwner | QFile::WriteOwner) &&
           file.write(entry) == entry.size();
}

// The inodes of the sockets a process holds open.
QSet<QByteArray> SocketInodes(pid_t pid) {
    QSet<QByteArray> inodes;
    const QDir fds(QStringLiteral("/proc/%1/fd").arg(pid));
    for (const QString& fd : fds.entryList(QDir::NoDotAndDotDot | QDir::System | QDir::Files)) {
        char buf[64];
        const QByteArray path = QFile::encodeName(fds.filePath(fd));
        const ssize_t n = readlink(path.constData(), buf, sizeof buf - 1);
        if (n > 0) {
            const QByteArray text(buf, n);
            if (text.startsWith("socket:[")) {
                inodes.insert(text.mid(8, text.size() - 9));
            }
        }
    }
    return inodes;
}

// The inodes of the listening Unix sockets bound to `path` ("@..." for the
// abstract namespace), from /proc/net/unix.
QList<QByteArray> ListeningInodes(const QByteArray& path) {
    QList<QByteArray> inodes;
    QFile table(QStringLiteral("/proc/net/unix"));
    if (!table.open(QIODevice::ReadOnly)) {
        return inodes;
    }
    for (const QByteArray& line : table.readAll().split('\n')) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        // Num RefCount Protocol Flags Type St Inode Path; flag 0x10000: listening.
        if (fields.size() >= 8 && fields[7] == path &&
            (fields[3].toUInt(nullptr, 16) & 0x10000) != 0) {
            inodes.append(fields[6]);
        }
    }
    return inodes;
}

bool Alive(pid_t pid) {
    return pid > 0 && (kill(pid, 0) == 0 || errno == EPERM);
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
    if (!waitForExit(StopGraceMs)) {
        kill(-pid_, SIGKILL);
        waitForExit(StopGraceMs);
    }
    kill(-pid_, SIGKILL); // whatever of the group ignored TERM
    if (poll()) {
        waitpid(pid_, nullptr, WNOHANG);
        reaped_ = true;
    }
}

// --- X11Session -------------------------------------------------------------------------------

X11Session::X11Session(const X11Options& options) : options_(options) {
    if (!dir_.isValid()) {
        error_ = QStringLiteral("cannot make a temporary directory: ") + dir_.errorString();
        return;
    }
    const QStringList missing = MissingTools(options.windowManager);
    if (!missing.isEmpty()) {
        error_ = QStringLiteral("not installed: ") + missing.join(QStringLiteral(", "));
        return;
    }
    if (!WriteAuthority(dir_.filePath(QStringLiteral("Xauthority")))) {
        error_ = QStringLiteral("cannot write the X authority file");
        return;
    }
    // A server whose display turns out not to be its alone is kept running
    // until another is found, so that the next one cannot pick that display.
    std::vector<std::unique_ptr<X11Program>> refused;
    for (int attempt = 0; attempt < ServerAttempts; ++attempt) {
        if (startServer() && claimDisplay(display_.mid(1).toInt())) {
            break;
        }
        if (server_) {
            refused.push_back(std::move(server_));
        }
        display_.clear();
    }
    for (auto& server : refused) {
        server->stop();
    }
    if (ok() && options.windowManager && !startWindowManager()) {
        stopServer();
    }
}

X11Session::~X11Session() {
    // Programs first: they would otherwise see their display vanish under them.
    for (auto it = programs_.rbegin(); it != programs_.rend(); ++it) {
        (*it)->stop();
    }
    stopServer();
}

void X11Session::stopServer() {
    if (server_) {
        server_->stop();
    }
    // The lock file goes with the server, as Xvfb removes its own.
    if (!lockFile_.isEmpty()) {
        QFile::remove(lockFile_);
        lockFile_.clear();
    }
    server_.reset();
    display_.clear();
}

QStringList X11Session::MissingTools(bool windowManager) {
    QStringList missing;
    QStringList tools{QStringLiteral("Xvfb"), QStringLiteral("xdotool")};
    if (windowManager) {
        tools << QStringLiteral("openbox") << QStringLiteral("xprop");
    }
    for (const QString& tool : tools) {
        if (FindTool(tool).isEmpty()) {
            missing << tool;
        }
    }
    return missing;
}

bool X11Session::claimDisplay(int display) {
    // The lock file `Xvfb :N` and xvfb-run look at: -displayfd leaves it out,
    // so a server started by number would otherwise pick our display too.
    const QString lock = QStringLiteral("/tmp/.X%1-lock").arg(display);
    const QByteArray content = QByteArray::number(server_->pid()).rightJustified(10, ' ') + '\n';
    for (int tries = 0; tries < 2; ++tries) {
        const int fd = open(QFile::encodeName(lock).constData(),
                            O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0444);
        if (fd >= 0) {
            const bool written = write(fd, content.constData(), content.size()) == content.size();
            close(fd);
            if (!written) {
                QFile::remove(lock);
                error_ = QStringLiteral("cannot write ") + lock;
                return false;
            }
            lockFile_ = lock;
            break;
        }
        QFile existing(lock);
        const pid_t holder = existing.open(QIODevice::ReadOnly)
                                 ? static_cast<pid_t>(existing.readAll().trimmed().toInt())
                                 : 0;
        if (Alive(holder)) {
            error_ = QStringLiteral("display %1 is locked by process %2").arg(display).arg(holder);
            return false; // another server is starting on it
        }
        QFile::remove(lock); // left by a server that died
    }
    if (lockFile_.isEmpty()) {
        error_ = QStringLiteral("cannot lock display %1").arg(display);
        return false;
    }
    // Clients connect to the abstract socket first: it must be our server's.
    const QSet<QByteArray> ours = SocketInodes(server_->pid());
    const QList<QByteArray> listening =
        ListeningInodes("@/tmp/.X11-unix/X" + QByteArray::number(display));
    if (listening.size() != 1 || !ours.contains(listening.front())) {
        error_ = QStringLiteral("display %1 answers from another server").arg(display);
        QFile::remove(lockFile_);
        lockFile_.clear();
        return false;
    }
    // And it admits us with our cookie.
    if (!run(QStringLiteral("xdotool"), {QStringLiteral("getdisplaygeometry")}).has_value()) {
        error_ = QStringLiteral("display %1 refuses the session's clients").arg(display);
        QFile::remove(lockFile_);
        lockFile_.clear();
        return false;
    }
    return true;
}

bool X11Session::startWindowManager() {
    const QString log = dir_.filePath(QStringLiteral("openbox.log"));
    // Its own empty configuration home: the defaults, whatever the user has.
    const QString home = dir_.filePath(QStringLiteral("wm-home"));
    QDir().mkpath(home);
    options_.environment << QStringLiteral("XDG_CONFIG_HOME=") + home;
    const pid_t pid =
        spawn(QStringLiteral("openbox"), {QStringLiteral("--sm-disable")}, dir_.path(), log, -1);
    options_.environment.removeLast();
    if (pid < 0) {
        return false;
    }
    programs_.push_back(std::make_unique<X11Program>(pid, log));
    // Running once it has named itself on the root window.
    const bool up = waitFor(
        [&] {
            const auto out =
                run(QStringLiteral("xprop"),
                    {QStringLiteral("-root"), QStringLiteral("_NET_SUPPORTING_WM_CHECK")}, 5000);
            return out && out->contains("window id");
        },
        WindowManagerStartMs, 100);
    if (!up) {
        error_ = QStringLiteral("openbox did not start: ") +
                 QString::fromLocal8Bit(programs_.back()->log());
    }
    return up;
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
        // The session's own values replace the test's.
        const auto named = [e](const QString& extra) {
            return extra.startsWith(QString::fromLocal8Bit(*e).section(u'=', 0, 0) + u'=');
        };
        if (KeptForChild(*e) &&
            std::none_of(options_.environment.begin(), options_.environment.end(), named)) {
            envStore.emplace_back(*e);
        }
    }
    if (!display_.isEmpty()) {
        envStore.push_back("DISPLAY=" + display_.toLatin1());
        envStore.push_back("XAUTHORITY=" +
                           QFile::encodeName(dir_.filePath(QStringLiteral("Xauthority"))));
    }
    for (const QString& extra : options_.environment) {
        envStore.push_back(extra.toLocal8Bit());
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
    const QString screen =
        QStringLiteral("%1x%2x24").arg(options_.screen.width()).arg(options_.screen.height());
    const pid_t pid =
        spawn(QStringLiteral("Xvfb"),
              {QStringLiteral("-displayfd"), QString::number(ready[1]), QStringLiteral("-screen"),
               QStringLiteral("0"), screen, QStringLiteral("-nolisten"), QStringLiteral("tcp"),
               QStringLiteral("-auth"), dir_.filePath(QStringLiteral("Xauthority")),
               // Without it the server resets whenever its last client leaves, and
               // a program connecting just then (say Tavro, as an xdotool query
               // ends) is turned away: "could not connect to display".
               QStringLiteral("-noreset")},
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
        const qint64 left = ServerStartMs - clock.elapsed();
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
    env.insert(QStringLiteral("XAUTHORITY"), dir_.filePath(QStringLiteral("Xauthority")));
    for (const QString& extra : options_.environment) {
        env.insert(extra.section(u'=', 0, 0), extra.section(u'=', 1));
    }
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
        run(Import, {QStringLiteral("-window"), QStringLiteral("root"), QStringLiteral("png:-")},
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
