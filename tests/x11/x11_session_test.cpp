// The private X server sessions the real-window tests stand on: displays of
// their own, the environment handed to programs, and nothing left running.
#include "support/X11Session.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <csignal>
#include <gtest/gtest.h>
#include <memory>

using tavro::test::X11Program;
using tavro::test::X11Session;

namespace {

class X11SessionTest : public ::testing::Test {
protected:
    void SetUp() override {
        const QStringList missing = X11Session::MissingTools();
        if (!missing.isEmpty()) {
            GTEST_SKIP() << "needs " << missing.join(", ").toStdString()
                         << " (installed by scripts/bootstrap)";
        }
        ASSERT_TRUE(dir.isValid());
    }

    QByteArray read(const QString& name) const {
        QFile f(dir.filePath(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll().trimmed() : QByteArray();
    }

    // Gone, or a zombie nobody has collected yet: either way no longer running.
    static bool Ended(pid_t pid) {
        QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
        if (!stat.open(QIODevice::ReadOnly)) {
            return true;
        }
        const QByteArray line = stat.readAll();
        const int close = line.lastIndexOf(')');
        return close >= 0 && line.mid(close + 2, 1) == "Z";
    }

    QTemporaryDir dir;
};

TEST_F(X11SessionTest, SessionsGetDisplaysOfTheirOwn) {
    X11Session first;
    X11Session second;
    ASSERT_TRUE(first.ok()) << first.error().toStdString();
    ASSERT_TRUE(second.ok()) << second.error().toStdString();
    EXPECT_NE(first.display(), second.display());
    for (X11Session* s : {&first, &second}) {
        const auto size = s->run("xdotool", {"getdisplaygeometry"});
        ASSERT_TRUE(size.has_value()) << s->display().toStdString();
        EXPECT_EQ(size->trimmed(), "1280 1024");
    }
    const QImage screen = first.screenshot();
    EXPECT_EQ(screen.size(), QSize(1280, 1024));
}

TEST_F(X11SessionTest, TheServerIsTheSessionsAlone) {
    QString lock;
    pid_t holder = 0;
    {
        X11Session session;
        ASSERT_TRUE(session.ok()) << session.error().toStdString();
        // Its display is locked as `Xvfb :N` locks it, so servers started by
        // number (xvfb-run -a) pass it by.
        lock = QStringLiteral("/tmp/.X%1-lock").arg(session.display().mid(1));
        QFile lockFile(lock);
        ASSERT_TRUE(lockFile.open(QIODevice::ReadOnly));
        holder = static_cast<pid_t>(lockFile.readAll().trimmed().toInt());
        EXPECT_FALSE(Ended(holder));
        // Programs hold the session's cookie; a client without it is turned away.
        X11Program* with = session.start("/bin/sh", {"-c", "xdpyinfo >/dev/null"}, dir.path());
        X11Program* without = session.start(
            "/bin/sh", {"-c", "XAUTHORITY=/nonexistent xdpyinfo >/dev/null 2>&1"}, dir.path());
        ASSERT_NE(with, nullptr);
        ASSERT_NE(without, nullptr);
        ASSERT_TRUE(with->waitForExit(10000));
        ASSERT_TRUE(without->waitForExit(10000));
        EXPECT_EQ(with->exitCode(), std::optional<int>(0)) << with->log().toStdString();
        EXPECT_NE(without->exitCode(), std::optional<int>(0));
    }
    // The lock goes with the session (another session may hold it anew).
    QFile after(lock);
    EXPECT_FALSE(after.open(QIODevice::ReadOnly) &&
                 static_cast<pid_t>(after.readAll().trimmed().toInt()) == holder);
}

TEST_F(X11SessionTest, ProgramsRunOnTheDisplayNotOffscreen) {
    // The test program itself runs offscreen; its children must not.
    ASSERT_EQ(qgetenv("QT_QPA_PLATFORM"), "offscreen");
    X11Session session;
    ASSERT_TRUE(session.ok()) << session.error().toStdString();
    X11Program* p = session.start(
        "/bin/sh", {"-c", "printf '[%s][%s][%s]' \"$QT_QPA_PLATFORM\" \"$DISPLAY\" \"$PWD\" > env"},
        dir.path());
    ASSERT_NE(p, nullptr) << session.error().toStdString();
    ASSERT_TRUE(p->waitForExit(5000));
    EXPECT_EQ(p->exitCode(), std::optional<int>(0));
    EXPECT_EQ(QString::fromUtf8(read("env")),
              QStringLiteral("[][%1][%2]").arg(session.display(), dir.path()));
}

TEST_F(X11SessionTest, ReportsHowProgramsEnded) {
    X11Session session;
    ASSERT_TRUE(session.ok()) << session.error().toStdString();
    X11Program* code = session.start("/bin/sh", {"-c", "echo said; exit 3"}, dir.path());
    X11Program* killed = session.start("/bin/sh", {"-c", "kill -9 $$"}, dir.path());
    ASSERT_NE(code, nullptr);
    ASSERT_NE(killed, nullptr);
    ASSERT_TRUE(code->waitForExit(5000));
    ASSERT_TRUE(killed->waitForExit(5000));
    EXPECT_EQ(code->exitCode(), std::optional<int>(3));
    EXPECT_EQ(code->exitSignal(), std::nullopt);
    EXPECT_EQ(code->log().trimmed(), "said");
    EXPECT_EQ(killed->exitCode(), std::nullopt);
    EXPECT_EQ(killed->exitSignal(), std::optional<int>(SIGKILL));

    EXPECT_EQ(session.start(dir.filePath("no-such-program"), {}, dir.path()), nullptr);
    EXPECT_FALSE(session.error().isEmpty());
    EXPECT_EQ(session.start("/bin/sh", {}, dir.filePath("no-such-directory")), nullptr);
    EXPECT_TRUE(session.ok()) << "a failed start must not end the session";
}

TEST_F(X11SessionTest, EndingTheSessionStopsProgramsAndWhatTheyStarted) {
    pid_t program = 0;
    pid_t child = 0;
    QString socket;
    {
        X11Session session;
        ASSERT_TRUE(session.ok()) << session.error().toStdString();
        socket = QStringLiteral("/tmp/.X11-unix/X%1").arg(session.display().mid(1));
        ASSERT_TRUE(QFile::exists(socket));
        // A program that starts another and ignores the polite request to end.
        X11Program* p = session.start(
            "/bin/sh", {"-c", "trap '' TERM; sleep 300 & echo $! > child; wait"}, dir.path());
        ASSERT_NE(p, nullptr);
        ASSERT_TRUE(X11Session::waitFor([&] { return !read("child").isEmpty(); }, 5000));
        program = p->pid();
        child = static_cast<pid_t>(read("child").toInt());
        ASSERT_GT(child, 0);
        EXPECT_TRUE(p->running());
        // Frozen as well: ending the session must not wait on it for ever.
        EXPECT_TRUE(p->pause());
    }
    EXPECT_TRUE(Ended(program));
    EXPECT_TRUE(X11Session::waitFor([&] { return Ended(child); }, 5000));
    // The server is gone too: it removes its socket when it ends.
    EXPECT_FALSE(QFile::exists(socket));
}

TEST_F(X11SessionTest, WaitsAreBounded) {
    X11Session session;
    ASSERT_TRUE(session.ok()) << session.error().toStdString();
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(session.waitForWindow("No Such Window", 500), std::nullopt);
    EXPECT_FALSE(session.run("/bin/sh", {"-c", "sleep 30"}, 300).has_value());
    EXPECT_FALSE(X11Session::waitFor([] { return false; }, 200));
    EXPECT_LT(clock.elapsed(), 5000);
}

} // namespace
