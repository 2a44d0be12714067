// A private X server for tests that run the real program: starts Xvfb on a
// display of its own, starts programs on it, drives the pointer and keyboard
// with xdotool and takes screenshots with ImageMagick's import. Every wait is
// bounded, and the destructor stops everything the session started.
#pragma once

#include <QByteArray>
#include <QImage>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <functional>
#include <memory>
#include <optional>
#include <sys/types.h>
#include <vector>

namespace tavro::test {

// A program started by the session, in a process group of its own so that
// whatever it starts in turn can be stopped with it. The session keeps the
// finished process unreaped until it ends, so the group id stays ours.
class X11Program {
public:
    X11Program(pid_t pid, QString logPath) : pid_(pid), logPath_(std::move(logPath)) {}
    X11Program(const X11Program&) = delete;
    X11Program& operator=(const X11Program&) = delete;

    pid_t pid() const { return pid_; }
    bool running();
    // True when the program ended within the time.
    bool waitForExit(int timeoutMs);
    // The exit code of a program that ended normally; nothing while it runs
    // or when a signal ended it.
    std::optional<int> exitCode();
    std::optional<int> exitSignal();
    // What the program wrote on stdout and stderr so far.
    QByteArray log() const;

    // Freezes and thaws the whole process group, to play a program that is
    // too busy to read its input: what happens meanwhile waits in its queue.
    bool pause();
    bool resume();

    // Ends the whole process group (TERM, then KILL) and reaps the program.
    void stop();

private:
    bool poll();

    pid_t pid_;
    QString logPath_;
    bool exited_ = false;
    bool reaped_ = false;
    int code_ = 0; // si_code from waitid: CLD_EXITED, CLD_KILLED, ...
    int status_ = 0;
};

// How a session's desktop is set up.
struct X11Options {
    QSize screen{1280, 1024};
    // Runs openbox on the display before any program, as a desktop would.
    bool windowManager = false;
    // NAME=value pairs added to every program's environment.
    QStringList environment;
};

// The server is the session's own: it picks a free display itself
// (-displayfd), claims the display's lock file as `Xvfb :N` does so that
// servers started by number (xvfb-run -a) keep off it, admits only clients
// holding the session's own cookie, and the session checks that the sockets
// of that display belong to its server before using it; otherwise it starts
// another server. The server never resets, so no client is turned away
// while it would.
class X11Session {
public:
    explicit X11Session(const X11Options& options = X11Options());
    ~X11Session();
    X11Session(const X11Session&) = delete;
    X11Session& operator=(const X11Session&) = delete;

    // The names of the tools a session cannot work without that are not
    // installed ("Xvfb", "xdotool"; "openbox" with a window manager); empty
    // when all are there.
    static QStringList MissingTools(bool windowManager = false);

    // True once the server runs and has named its display.
    bool ok() const { return server_ != nullptr && !display_.isEmpty(); }
    // Why the server or the last program could not be started.
    QString error() const { return error_; }
    // ":N", as Xvfb chose it.
    QString display() const { return display_; }
    QByteArray serverLog() const;

    // Starts a program on this display in the given directory. The program
    // gets the test's environment with DISPLAY and XAUTHORITY pointing here,
    // without QT_QPA_PLATFORM or WAYLAND_DISPLAY (so it opens real X
    // windows), and with the session's extra environment.
    // Returns nullptr (and sets error()) when it cannot be started.
    X11Program* start(const QString& program, const QStringList& args,
                      const QString& workingDirectory);

    // The first viewable window whose name is exactly `name`, waiting for it
    // up to the time given.
    std::optional<quint64> waitForWindow(const QString& name, int timeoutMs);
    // The window's outer rectangle in screen coordinates.
    std::optional<QRect> geometry(quint64 window);

    // Pointer and keyboard, as a person would use them (buttons: 1 left,
    // 2 middle, 3 right). Each returns false when xdotool failed.
    bool mouseMove(QPoint screen);
    bool mouseDown(int button = 1);
    bool mouseUp(int button = 1);
    bool click(QPoint screen, int button = 1);
    // Press at `from`, move to `to` in `steps` moves a little apart, release.
    bool drag(QPoint from, QPoint to, int steps = 5, int button = 1);
    // Key names as xdotool knows them: "Return", "ctrl+s", "Down".
    bool key(const QStringList& keys);

    // The whole screen, or a null image when it could not be taken.
    QImage screenshot();
    // One window as the screen shows it (no window manager draws around it).
    QImage screenshot(quint64 window);

    // Runs an X tool on this display, with the session's extra environment; its output, or nothing
    // when it failed, timed out or could not be started.
    std::optional<QByteArray> run(const QString& tool, const QStringList& args,
                                  int timeoutMs = 10000);

    // Polls `condition` until it holds or the time is up; true when it held.
    static bool waitFor(const std::function<bool()>& condition, int timeoutMs, int intervalMs = 50);

private:
    bool startServer();
    bool claimDisplay(int display);
    bool startWindowManager();
    void stopServer();
    pid_t spawn(const QString& program, const QStringList& args, const QString& workingDirectory,
                const QString& logPath, int keepFd);

    X11Options options_;
    QTemporaryDir dir_;
    QString error_;
    QString display_;
    QString lockFile_; // the display's lock file while we hold it
    std::unique_ptr<X11Program> server_;
    std::vector<std::unique_ptr<X11Program>> programs_;
};

} // namespace tavro::test
