// Tavro under a Wayland compositor: a headless Weston of the test's own (its
// own runtime directory and socket), Tavro on Qt's Wayland platform plugin.
// The main window shows (seen in the protocol and on a screenshot of the
// compositor's output) and the program ends cleanly when it is closed.
//
// Headless Weston has no input devices, so nothing can click the close
// button or take the keyboard focus: the window is closed as a session
// closes it, with SIGTERM, which closes the main window through its normal
// unload step. For the same reason the caption shows inactive (grey) here.
#include "support/EmulatorDir.h"

#include <QDir>
#include <QImage>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

using tavro::test::EmulatorDir;

namespace {

const QString Socket = QStringLiteral("tavro-test");

bool WaitFor(const std::function<bool()>& condition, int timeoutMs) {
    for (int waited = 0;; waited += 100) {
        if (condition()) {
            return true;
        }
        if (waited >= timeoutMs) {
            return false;
        }
        QThread::msleep(100);
    }
}

// A row of the caption: neutral grey rising towards white over most of the
// window's width (the desktop's background is a patterned grey, never that).
bool HasInactiveCaption(const QImage& shot) {
    for (int y = 0; y < shot.height(); ++y) {
        int run = 0, low = 256, previous = -1;
        for (int x = 0; x < shot.width(); ++x) {
            const QRgb c = shot.pixel(x, y);
            const bool grey = qRed(c) == qGreen(c) && qGreen(c) == qBlue(c) && qRed(c) >= 190;
            if (grey && qRed(c) >= previous) {
                low = run == 0 ? qRed(c) : low;
                ++run;
                if (run > 600 && low <= 200 && qRed(c) >= 250) {
                    return true;
                }
            } else {
                run = 0;
            }
            previous = grey ? qRed(c) : -1;
        }
    }
    return false;
}

class WestonTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* tool : {"weston", "weston-screenshooter"}) {
            if (QStandardPaths::findExecutable(tool).isEmpty()) {
                GTEST_SKIP() << "needs " << tool << " (installed by scripts/bootstrap)";
            }
        }
        ASSERT_TRUE(runtime.isValid());
        QFile::setPermissions(runtime.path(),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        env = QProcessEnvironment::systemEnvironment();
        env.remove("DISPLAY");
        env.insert("XDG_RUNTIME_DIR", runtime.path());
        env.insert("WAYLAND_DISPLAY", Socket);
        weston.setProcessEnvironment(env);
        weston.setWorkingDirectory(runtime.path());
        weston.setProcessChannelMode(QProcess::MergedChannels);
        // --debug lets the screenshooter take pictures; pixman renders them.
        weston.start("weston",
                     {"--backend=headless-backend.so", "--socket=" + Socket, "--use-pixman",
                      "--width=1280", "--height=1024", "--idle-time=0", "--debug"});
        ASSERT_TRUE(weston.waitForStarted(5000));
        ASSERT_TRUE(WaitFor([&] { return QFile::exists(runtime.filePath(Socket)); }, 15000))
            << weston.readAll().toStdString();
    }

    void TearDown() override {
        for (QProcess* p : {&tavro, &weston}) {
            if (p->state() != QProcess::NotRunning) {
                p->terminate();
                if (!p->waitForFinished(5000)) {
                    p->kill();
                    p->waitForFinished(5000);
                }
            }
        }
    }

    QImage screenshot() {
        QProcess shooter;
        shooter.setProcessEnvironment(env);
        shooter.setWorkingDirectory(runtime.path());
        shooter.start("weston-screenshooter", {});
        if (!shooter.waitForFinished(10000) || shooter.exitCode() != 0) {
            return {};
        }
        const QStringList shots =
            QDir(runtime.path()).entryList({"wayland-screenshot-*.png"}, QDir::Files, QDir::Time);
        return shots.isEmpty() ? QImage() : QImage(runtime.filePath(shots.first()));
    }

    QTemporaryDir runtime;
    QProcessEnvironment env;
    QProcess weston;
    QProcess tavro;
};

TEST_F(WestonTest, MainWindowShowsAndTheProgramEndsCleanlyOnClose) {
    EmulatorDir dir;
    dir.write("drv/game.drv", "[driver]\nname=Game\n");
    const QString program = dir.installProgram();
    ASSERT_FALSE(program.isEmpty());
    QProcessEnvironment programEnv = env;
    programEnv.insert("QT_QPA_PLATFORM", "wayland");
    programEnv.insert("WAYLAND_DEBUG", "1"); // the protocol, on stderr
    tavro.setProcessEnvironment(programEnv);
    tavro.setWorkingDirectory(dir.path());
    tavro.setProcessChannelMode(QProcess::MergedChannels);
    tavro.start(program, {});
    ASSERT_TRUE(tavro.waitForStarted(5000));

    // A top-level with the main window's title, configured by the compositor
    // and given its first picture.
    QByteArray log;
    const bool mapped = WaitFor(
        [&] {
            tavro.waitForReadyRead(50);
            log += tavro.readAll();
            const qsizetype titled = log.indexOf("set_title(\"Tavro 0.1.5\")");
            const qsizetype acked = log.indexOf("ack_configure", titled);
            return titled >= 0 && acked >= 0 && log.indexOf(".attach(wl_buffer@", acked) >= 0;
        },
        20000);
    ASSERT_TRUE(mapped) << log.right(4000).toStdString();
    EXPECT_FALSE(log.contains("xdg_wm_base@") && log.contains(".error(")) << "protocol error";

    QImage shot;
    EXPECT_TRUE(WaitFor(
        [&] {
            shot = screenshot();
            return !shot.isNull() && HasInactiveCaption(shot);
        },
        10000))
        << (shot.isNull() ? "no screenshot" : "no caption on the screenshot");

    tavro.terminate();
    ASSERT_TRUE(tavro.waitForFinished(10000)) << "still running after being closed";
    EXPECT_EQ(tavro.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(tavro.exitCode(), 0);
    log += tavro.readAll();
    EXPECT_FALSE(log.contains("The Wayland connection broke")) << log.right(2000).toStdString();
}

} // namespace
