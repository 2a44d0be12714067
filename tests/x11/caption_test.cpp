// The main window's painted caption on a real X server: a gradient from blue
// towards white while the window is active, from light grey towards white
// once another window is active.
#include "support/EmulatorDir.h"
#include "support/X11Session.h"

#include <QDir>
#include <QImage>
#include <gtest/gtest.h>
#include <memory>

using tavro::test::EmulatorDir;
using tavro::test::X11Program;
using tavro::test::X11Session;

namespace {

constexpr int kFrame = 3;
constexpr int kCaptionTop = kFrame + 1; // a caption row above the text's glyphs
constexpr int kCovered = 300;           // main caption x beyond the About window

class CaptionX11 : public ::testing::Test {
protected:
    void SetUp() override {
        const QStringList missing = X11Session::MissingTools();
        if (!missing.isEmpty()) {
            GTEST_SKIP() << "needs " << missing.join(", ").toStdString();
        }
        dir.write("drv/game.drv", "[driver]\nname=Game\n");
        const QString program = dir.installProgram();
        ASSERT_FALSE(program.isEmpty());
        session = std::make_unique<X11Session>();
        ASSERT_TRUE(session->ok()) << session->error().toStdString();
        tavro = session->start(program, {}, dir.path());
        ASSERT_NE(tavro, nullptr);
        // Found by its exact name: the window text is "Tavro 0.1.5".
        const auto found = session->waitForWindow("Tavro 0.1.5", 20000);
        ASSERT_TRUE(found.has_value()) << tavro->log().toStdString();
        window = *found;
    }
    void TearDown() override { session.reset(); }

    // The caption row of the main window, from a screenshot of the screen.
    QImage captionOf(quint64 w) {
        const auto rect = session->geometry(w);
        if (!rect) {
            return {};
        }
        return session->screenshot().copy(rect->x(), rect->y() + kCaptionTop, rect->width(), 14);
    }

    EmulatorDir dir;
    std::unique_ptr<X11Session> session;
    X11Program* tavro = nullptr;
    quint64 window = 0;
};

// A gradient from blue (or grey) towards white along the caption, sampled
// from x = from on (the About window may cover the part left of it).
void expectGradient(const QImage& caption, int startGrey, bool blue, int from) {
    ASSERT_FALSE(caption.isNull());
    const int width = caption.width();
    int previous = -1;
    for (int x = from; x < width - 60; x += 100) {
        const QColor c(caption.pixel(x, 0));
        if (blue) {
            EXPECT_GE(c.blue(), 250) << "x " << x;
            EXPECT_LT(c.red(), 255);
        } else {
            EXPECT_EQ(c.red(), c.blue()) << "x " << x;
            EXPECT_GE(c.red(), startGrey) << "x " << x;
        }
        EXPECT_EQ(c.red(), c.green()) << "x " << x;
        EXPECT_GT(c.red(), previous) << "the caption gets whiter to the right, x " << x;
        previous = c.red();
    }
    const QColor left(caption.pixel(from, 0));
    const QColor right(caption.pixel(width - kFrame - 40, 0));
    EXPECT_LT(left.red(), blue ? from / 2 : 230);
    EXPECT_GT(right.red(), 225);
}

TEST_F(CaptionX11, ActiveCaptionRunsFromBlueAndInactiveFromGreyTowardsWhite) {
    ASSERT_TRUE(X11Session::waitFor(
        [&] {
            const QImage caption = captionOf(window);
            return !caption.isNull() && QColor(caption.pixel(200, 0)).blue() >= 250 &&
                   QColor(caption.pixel(200, 0)).red() < 150;
        },
        5000, 100))
        << "the main window's caption never turned blue";
    expectGradient(captionOf(window), 0, true, 200);

    // The caption text is drawn in white over the blue end.
    const QImage text = captionOf(window).copy(kFrame + 20, 2, 80, 10);
    int white = 0;
    for (int y = 0; y < text.height(); ++y) {
        for (int x = 0; x < text.width(); ++x) {
            white += QColor(text.pixel(x, y)).lightness() > 240 ? 1 : 0;
        }
    }
    EXPECT_GT(white, 10);

    // "About" activates another window of the program. It opens at the
    // screen's top left and may cover the left part of the main caption.
    const auto rect = session->geometry(window);
    ASSERT_TRUE(rect.has_value());
    session->click(rect->topLeft() + QPoint(kFrame + 720, kFrame + 19 + 428));
    const auto about = session->waitForWindow("About Tavro...", 10000);
    ASSERT_TRUE(about.has_value()) << tavro->log().toStdString();
    ASSERT_TRUE(X11Session::waitFor(
        [&] {
            const QColor c(captionOf(window).pixel(kCovered, 0));
            return c.red() == c.blue() && c.red() >= 192;
        },
        5000, 100))
        << "the main window's caption never turned grey";
    expectGradient(captionOf(window), 192, false, kCovered);
}

} // namespace
