// The driver editor on a real X server: it opens from the main window, grows
// when its sizable border is dragged, and closing the main window while its
// text cannot be saved leaves both windows and the text where they were.
#include "support/EmulatorDir.h"
#include "support/X11Session.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>
#include <memory>

using tavro::test::EmulatorDir;
using tavro::test::X11Program;
using tavro::test::X11Session;

namespace {

constexpr int kMainFrame = 3;
constexpr int kCaption = 19;

TEST(EditorFrameX11, SizableBorderResizesTheEditor) {
    const QStringList missing = X11Session::MissingTools();
    if (!missing.isEmpty()) {
        GTEST_SKIP() << "needs " << missing.join(", ").toStdString();
    }
    EmulatorDir dir;
    dir.write("drv/alpha.drv", "[driver]\nname=Alpha\n");
    const QString program = dir.installProgram();
    ASSERT_FALSE(program.isEmpty());
    X11Session session;
    ASSERT_TRUE(session.ok()) << session.error().toStdString();
    X11Program* tavro = session.start(program, {}, dir.path());
    ASSERT_NE(tavro, nullptr);
    const auto main = session.waitForWindow("Tavro 0.1.5", 20000);
    ASSERT_TRUE(main.has_value()) << tavro->log().toStdString();
    const auto mainRect = session.geometry(*main);
    ASSERT_TRUE(mainRect.has_value());
    const QPoint client = mainRect->topLeft() + QPoint(kMainFrame, kMainFrame + kCaption);

    // The first driver in the list, then "Edit This Driver".
    session.click(client + QPoint(40, 79));
    session.click(client + QPoint(104, 364));
    const auto editor = session.waitForWindow("Tavro Driver Editor - [alpha.drv]", 10000);
    ASSERT_TRUE(editor.has_value()) << tavro->log().toStdString();
    const auto before = session.geometry(*editor);
    ASSERT_TRUE(before.has_value());

    // Drag the bottom-right corner of the sizing border.
    const QPoint corner = before->topLeft() + QPoint(before->width() - 2, before->height() - 2);
    session.drag(corner, corner + QPoint(80, 60));
    QRect after;
    EXPECT_TRUE(X11Session::waitFor(
        [&] {
            after = session.geometry(*editor).value_or(QRect());
            return after.size() == before->size() + QSize(80, 60);
        },
        5000, 100))
        << "editor is " << after.width() << " x " << after.height() << ", was " << before->width()
        << " x " << before->height();
    EXPECT_EQ(after.topLeft(), before->topLeft());
    EXPECT_TRUE(tavro->running());
}

// Focuses a window and presses keys in it, as the user would.
bool keysTo(X11Session& session, quint64 window, const QStringList& keys) {
    return session.run("xdotool", QStringList{"windowfocus", QString::number(window), "key"} + keys)
        .has_value();
}

TEST(EditorFrameX11, ClosingTheMainWindowWithAFailingSaveKeepsTheText) {
    const QStringList missing = X11Session::MissingTools();
    if (!missing.isEmpty()) {
        GTEST_SKIP() << "needs " << missing.join(", ").toStdString();
    }
    EmulatorDir dir;
    dir.write("drv/alpha.drv", "name=Alpha\n");
    const QString program = dir.installProgram();
    ASSERT_FALSE(program.isEmpty());
    X11Session session;
    ASSERT_TRUE(session.ok()) << session.error().toStdString();
    X11Program* tavro = session.start(program, {}, dir.path());
    ASSERT_NE(tavro, nullptr);
    const auto main = session.waitForWindow("Tavro 0.1.5", 20000);
    ASSERT_TRUE(main.has_value()) << tavro->log().toStdString();
    const auto mainRect = session.geometry(*main);
    ASSERT_TRUE(mainRect.has_value());
    const QPoint client = mainRect->topLeft() + QPoint(kMainFrame, kMainFrame + kCaption);
    const QPoint closeBox = mainRect->topLeft() + QPoint(mainRect->width() - kMainFrame - 10, 12);

    session.click(client + QPoint(40, 79));
    session.click(client + QPoint(104, 364));
    const auto editor = session.waitForWindow("Tavro Driver Editor - [alpha.drv]", 10000);
    ASSERT_TRUE(editor.has_value()) << tavro->log().toStdString();
    ASSERT_TRUE(keysTo(session, *editor, {"o", "k", "space"}));

    // drv/ becomes a plain file: the save must fail.
    ASSERT_TRUE(QDir(dir.path()).rename("drv", "drv.moved"));
    dir.write("drv", "not a directory");
    ASSERT_TRUE(session.click(closeBox));
    const auto question = session.waitForWindow("Question", 10000);
    ASSERT_TRUE(question.has_value()) << tavro->log().toStdString();
    ASSERT_TRUE(keysTo(session, *question, {"Return"})); // Yes
    const auto failure = session.waitForWindow("Tavro Driver Editor", 10000);
    ASSERT_TRUE(failure.has_value()) << tavro->log().toStdString();
    ASSERT_TRUE(keysTo(session, *failure, {"Return"}));

    EXPECT_FALSE(tavro->waitForExit(1500)) << "the program ended";
    EXPECT_TRUE(session.waitForWindow("Tavro 0.1.5", 2000).has_value());
    EXPECT_TRUE(session.waitForWindow("Tavro Driver Editor - [alpha.drv]", 2000).has_value());

    // With drv/ back, the same close saves the text that was kept, then ends.
    ASSERT_TRUE(QFile::remove(dir.file("drv")));
    ASSERT_TRUE(QDir(dir.path()).rename("drv.moved", "drv"));
    ASSERT_TRUE(session.click(closeBox));
    const auto again = session.waitForWindow("Question", 10000);
    ASSERT_TRUE(again.has_value()) << tavro->log().toStdString();
    ASSERT_TRUE(keysTo(session, *again, {"Return"}));
    const auto saved = session.waitForWindow("Tavro Driver Editor", 10000);
    ASSERT_TRUE(saved.has_value()) << tavro->log().toStdString();
    ASSERT_TRUE(keysTo(session, *saved, {"Return"}));
    EXPECT_TRUE(tavro->waitForExit(5000));
    EXPECT_EQ(dir.read("drv/alpha.drv"), "ok name=Alpha\n");
}

} // namespace
