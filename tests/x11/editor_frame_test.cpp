// The driver editor's sizable frame on a real X server: it opens from the
// main window, grows when its border is dragged and keeps its text control
// inside the client area.
#include "support/EmulatorDir.h"
#include "support/X11Session.h"

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

} // namespace
