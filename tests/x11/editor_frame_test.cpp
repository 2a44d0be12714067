// The driver editor on a real X server, bare and under openbox: it opens from
// the main window, grows when its sizable border is dragged, a double-click
// on its caption maximizes and restores it, and closing the main window while
// its text cannot be saved leaves both windows and the text where they were.
#include "support/EmulatorDir.h"
#include "support/X11Session.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>
#include <memory>
#include <optional>
#include <string>

using tavro::test::EmulatorDir;
using tavro::test::X11Options;
using tavro::test::X11Program;
using tavro::test::X11Session;

namespace {

constexpr int MainFrame = 3;
constexpr int Caption = 19;

// Tavro started on its own X server in an emulator directory whose one
// driver, "alpha.drv", it has opened in the editor from the main window.
struct EditorOpen {
    EmulatorDir dir;
    std::unique_ptr<X11Session> session;
    X11Program* tavro = nullptr;
    QRect main;         // the main window
    quint64 editor = 0; // the editor's window
    double scale = 1;   // QT_SCALE_FACTOR

    // Empty when all went well, otherwise what did not.
    std::string start(bool windowManager, const QByteArray& driver) {
        dir.write("drv/alpha.drv", driver);
        const QString program = dir.installProgram();
        if (program.isEmpty()) {
            return "the program could not be installed";
        }
        X11Options options;
        options.windowManager = windowManager;
        options.environment << QStringLiteral("QT_SCALE_FACTOR=%1").arg(scale);
        session = std::make_unique<X11Session>(options);
        if (!session->ok()) {
            return session->error().toStdString();
        }
        tavro = session->start(program, {}, dir.path());
        if (!tavro) {
            return session->error().toStdString();
        }
        const auto window = session->waitForWindow("Tavro 0.1.5", 20000);
        const auto rect = window ? session->geometry(*window) : std::nullopt;
        if (!rect) {
            return "no main window; program output:\n" + tavro->log().toStdString();
        }
        main = *rect;
        // The first driver in the list, then "Edit This Driver".
        const QPoint client = main.topLeft() + QPoint(MainFrame, MainFrame + Caption) * scale;
        session->click(client + QPoint(40, 79) * scale);
        session->click(client + QPoint(104, 364) * scale);
        const auto opened = session->waitForWindow("Tavro Driver Editor - [alpha.drv]", 10000);
        if (!opened) {
            return "no editor; program output:\n" + tavro->log().toStdString();
        }
        editor = *opened;
        return {};
    }
};

bool DoubleClick(X11Session& session, QPoint at) {
    return session
        .run("xdotool", {"mousemove", QString::number(at.x()), QString::number(at.y()), "click",
                         "--repeat", "2", "--delay", "80", "1"})
        .has_value();
}

class EditorSizingX11 : public ::testing::TestWithParam<bool> {};

TEST_P(EditorSizingX11, SizableBorderResizesAndCaptionDoubleClickMaximizes) {
    const QStringList missing = X11Session::MissingTools(GetParam());
    if (!missing.isEmpty()) {
        GTEST_SKIP() << "needs " << missing.join(", ").toStdString();
    }
    EditorOpen run;
    const std::string failed = run.start(GetParam(), "[driver]\nname=Alpha\n");
    ASSERT_TRUE(failed.empty()) << failed;
    X11Session& session = *run.session;
    X11Program* tavro = run.tavro;
    const std::optional<quint64> editor = run.editor;
    const auto before = session.geometry(*editor);
    ASSERT_TRUE(before.has_value());

    // Drag the bottom-right corner of the sizing border: out, or in where a
    // window manager placed the editor in the screen's corner.
    const QPoint corner = before->topLeft() + QPoint(before->width() - 2, before->height() - 2);
    const QPoint by =
        corner.x() + 80 < 1280 && corner.y() + 60 < 1024 ? QPoint(80, 60) : QPoint(-80, -60);
    session.drag(corner, corner + by);
    QRect after;
    EXPECT_TRUE(X11Session::waitFor(
        [&] {
            after = session.geometry(*editor).value_or(QRect());
            return after.size() == before->size() + QSize(by.x(), by.y());
        },
        5000, 100))
        << "editor is " << after.width() << " x " << after.height() << ", was " << before->width()
        << " x " << before->height();
    EXPECT_EQ(after.topLeft(), before->topLeft());

    // A double-click on the caption fills the screen; another gives the size back.
    ASSERT_TRUE(DoubleClick(session, after.topLeft() + QPoint(after.width() / 2, 4 + Caption / 2)));
    QRect maximized;
    EXPECT_TRUE(X11Session::waitFor(
        [&] {
            maximized = session.geometry(*editor).value_or(QRect());
            return maximized == QRect(0, 0, 1280, 1024);
        },
        5000, 100))
        << "maximized to " << maximized.x() << ", " << maximized.y() << " " << maximized.width()
        << " x " << maximized.height();
    ASSERT_TRUE(DoubleClick(session, QPoint(640, 4 + Caption / 2)));
    EXPECT_TRUE(X11Session::waitFor(
        [&] { return session.geometry(*editor).value_or(QRect()) == after; }, 5000, 100))
        << "not restored";
    EXPECT_TRUE(tavro->running());
}

INSTANTIATE_TEST_SUITE_P(Desktops, EditorSizingX11, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Openbox" : "BareX"; });

// At 150 % the screen is 853.3 x 682.7 logical pixels: maximized, the editor
// is 853 x 682 (1280 x 1023 device pixels), never a pixel past the screen.
TEST(EditorFrameX11, MaximizedAtOneAndAHalfStaysOnTheScreen) {
    if (!X11Session::MissingTools().isEmpty()) {
        GTEST_SKIP() << "needs " << X11Session::MissingTools().join(", ").toStdString();
    }
    EditorOpen run;
    run.scale = 1.5;
    const std::string failed = run.start(false, "[driver]\nname=Alpha\n");
    ASSERT_TRUE(failed.empty()) << failed;
    const QRect before = run.session->geometry(run.editor).value_or(QRect());
    ASSERT_TRUE(DoubleClick(*run.session, before.topLeft() + QPoint(before.width() / 2, 20)));
    EXPECT_TRUE(X11Session::waitFor(
        [&] { return run.session->geometry(run.editor) == QRect(0, 0, 1280, 1023); }, 5000, 100));
}

// Focuses a window and presses keys in it, as the user would.
bool KeysTo(X11Session& session, quint64 window, const QStringList& keys) {
    return session.run("xdotool", QStringList{"windowfocus", QString::number(window), "key"} + keys)
        .has_value();
}

// Whether the editor's caption looks active (blue at x = 200) or inactive
// (from light grey towards white).
bool CaptionLooks(bool active, X11Session& session, quint64 window) {
    const auto rect = session.geometry(window);
    const QImage shot = session.screenshot();
    const QColor c =
        rect && !shot.isNull() ? QColor(shot.pixel(rect->x() + 200, rect->y() + 5)) : QColor();
    return active ? c.blue() >= 250 && c.red() < 150 : c.red() == c.blue() && c.red() >= 192;
}

TEST(EditorFrameX11, ClosingTheMainWindowWithAFailingSaveKeepsTheText) {
    const QStringList missing = X11Session::MissingTools();
    if (!missing.isEmpty()) {
        GTEST_SKIP() << "needs " << missing.join(", ").toStdString();
    }
    EditorOpen run;
    const std::string failed = run.start(false, "name=Alpha\n");
    ASSERT_TRUE(failed.empty()) << failed;
    X11Session& session = *run.session;
    X11Program* tavro = run.tavro;
    EmulatorDir& dir = run.dir;
    const std::optional<quint64> editor = run.editor;
    const QPoint closeBox = run.main.topLeft() + QPoint(run.main.width() - MainFrame - 10, 12);

    ASSERT_TRUE(KeysTo(session, *editor, {"o", "k", "space"}));

    // drv/ becomes a plain file: the save must fail.
    ASSERT_TRUE(QDir(dir.path()).rename("drv", "drv.moved"));
    dir.write("drv", "not a directory");
    ASSERT_TRUE(session.click(closeBox));
    // Yes, then OK on the failure that follows at once: each box is centred over
    // the editor, whose caption looks inactive beside it and active once it closes.
    const QRect over = session.geometry(*editor).value_or(QRect());
    for (const char* title : {"Question", "Tavro Driver Editor"}) {
        const auto box = session.waitForWindow(title, 10000);
        ASSERT_TRUE(box.has_value()) << tavro->log().toStdString();
        const QRect rect = session.geometry(*box).value_or(QRect());
        EXPECT_LE((rect.center() - over.center()).manhattanLength(), 2) << title;
        EXPECT_TRUE(
            X11Session::waitFor([&] { return CaptionLooks(false, session, *editor); }, 3000, 100))
            << title;
        ASSERT_TRUE(KeysTo(session, *box, {"Return"}));
    }
    EXPECT_TRUE(
        X11Session::waitFor([&] { return CaptionLooks(true, session, *editor); }, 3000, 100));

    EXPECT_FALSE(tavro->waitForExit(1500)) << "the program ended";
    EXPECT_TRUE(session.waitForWindow("Tavro 0.1.5", 2000).has_value());
    EXPECT_TRUE(session.waitForWindow("Tavro Driver Editor - [alpha.drv]", 2000).has_value());

    // With drv/ back, the same close saves the text that was kept, then ends.
    ASSERT_TRUE(QFile::remove(dir.file("drv")));
    ASSERT_TRUE(QDir(dir.path()).rename("drv.moved", "drv"));
    ASSERT_TRUE(session.click(closeBox));
    const auto again = session.waitForWindow("Question", 10000);
    ASSERT_TRUE(again.has_value()) << tavro->log().toStdString();
    ASSERT_TRUE(KeysTo(session, *again, {"Return"}));
    const auto saved = session.waitForWindow("Tavro Driver Editor", 10000);
    ASSERT_TRUE(saved.has_value()) << tavro->log().toStdString();
    ASSERT_TRUE(KeysTo(session, *saved, {"Return"}));
    EXPECT_TRUE(tavro->waitForExit(5000));
    EXPECT_EQ(dir.read("drv/alpha.drv"), "ok name=Alpha\n");
}

} // namespace
