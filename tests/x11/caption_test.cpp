// The main window's painted caption on a real X server, bare and under
// openbox: a gradient from blue towards white while the window is active,
// from light grey towards white while About is active, and blue again once
// About is closed. And at twice the pixel density, drawn at device resolution.
#include "support/EmulatorDir.h"
#include "support/X11Session.h"

#include <QDir>
#include <QImage>
#include <gtest/gtest.h>
#include <memory>

using tavro::test::EmulatorDir;
using tavro::test::X11Options;
using tavro::test::X11Program;
using tavro::test::X11Session;

namespace {

constexpr int Frame = 3;
constexpr int CaptionTop = Frame + 1; // a caption row above the text's glyphs
constexpr int Covered = 300;          // main caption x beyond the About window

// A bare X server (false) or openbox (true), unless a test sets up its own.
class CaptionX11 : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override {
        X11Options options;
        options.windowManager = GetParam();
        startOn(options);
    }
    void startOn(const X11Options& options) {
        const QStringList missing = X11Session::MissingTools(options.windowManager);
        if (!missing.isEmpty()) {
            GTEST_SKIP() << "needs " << missing.join(", ").toStdString();
        }
        dir.write("drv/game.drv", "[driver]\nname=Game\n");
        const QString program = dir.installProgram();
        ASSERT_FALSE(program.isEmpty());
        session = std::make_unique<X11Session>(options);
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
        return session->screenshot().copy(rect->x(), rect->y() + CaptionTop, rect->width(), 14);
    }

    EmulatorDir dir;
    std::unique_ptr<X11Session> session;
    X11Program* tavro = nullptr;
    quint64 window = 0;
};

// A gradient from blue (or grey) towards white along the caption, sampled
// from x = from on (the About window may cover the part left of it).
void ExpectGradient(const QImage& caption, int startGrey, bool blue, int from) {
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
    const QColor right(caption.pixel(width - Frame - 40, 0));
    EXPECT_LT(left.red(), blue ? from / 2 : 230);
    EXPECT_GT(right.red(), 225);
}

bool IsBlueAt(const QImage& caption, int x) {
    return !caption.isNull() && QColor(caption.pixel(x, 0)).blue() >= 250 &&
           QColor(caption.pixel(x, 0)).red() < 150;
}

TEST_P(CaptionX11, ActiveCaptionRunsFromBlueAndInactiveFromGreyTowardsWhite) {
    ASSERT_TRUE(X11Session::waitFor([&] { return IsBlueAt(captionOf(window), 200); }, 5000, 100))
        << "the main window's caption never turned blue";
    ExpectGradient(captionOf(window), 0, true, 200);

    // The caption text is drawn in white over the blue end.
    const QImage text = captionOf(window).copy(Frame + 20, 2, 80, 10);
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
    session->click(rect->topLeft() + QPoint(Frame + 720, Frame + 19 + 428));
    const auto about = session->waitForWindow("About Tavro...", 10000);
    ASSERT_TRUE(about.has_value()) << tavro->log().toStdString();
    ASSERT_TRUE(X11Session::waitFor(
        [&] {
            const QColor c(captionOf(window).pixel(Covered, 0));
            return c.red() == c.blue() && c.red() >= 192;
        },
        5000, 100))
        << "the main window's caption never turned grey";
    ExpectGradient(captionOf(window), 192, false, Covered);

    // OK closes About; the main window is active again, on a bare server too.
    const auto aboutRect = session->geometry(*about);
    ASSERT_TRUE(aboutRect.has_value());
    session->click(aboutRect->topLeft() + QPoint(Frame + 8 + 240, Frame + 19 + 280 + 20));
    ASSERT_TRUE(X11Session::waitFor(
        [&] { return !session->waitForWindow("About Tavro...", 0).has_value(); }, 5000, 100))
        << "About did not close";
    EXPECT_TRUE(X11Session::waitFor([&] { return IsBlueAt(captionOf(window), 200); }, 5000, 100))
        << "the main window's caption stayed grey after About closed";
    ExpectGradient(captionOf(window), 0, true, 200);
}

INSTANTIATE_TEST_SUITE_P(Desktops, CaptionX11, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Openbox" : "BareX"; });

// Twice the pixel density on a screen smaller than the window: the window
// opens with its caption on the screen, and the caption's text is drawn at
// device resolution, not drawn at half size and doubled (or blurred) after.
class CaptionHighDpiX11 : public CaptionX11 {
protected:
    void SetUp() override {
        X11Options options;
        options.screen = QSize(1280, 900);
        options.environment << "QT_SCALE_FACTOR=2";
        startOn(options);
    }
};

TEST_F(CaptionHighDpiX11, CaptionIsOnScreenAndItsTextSharp) {
    const auto rect = session->geometry(window);
    ASSERT_TRUE(rect.has_value());
    // 765 x 442 logical pixels of client area: 1542 x 934 device pixels in all.
    EXPECT_EQ(rect->size(), QSize(2 * (765 + 6), 2 * (442 + 6 + 19)));
    EXPECT_EQ(rect->topLeft(), QPoint(0, 0)) << "the window must open with its caption on screen";

    QImage text;
    ASSERT_TRUE(X11Session::waitFor(
        [&] {
            // Device rows 2 * (3 .. 21) of the caption, where its text stands.
            const QImage shot = session->screenshot();
            text = shot.isNull()
                       ? QImage()
                       : shot.copy(rect->x() + 2 * 24, rect->y() + 2 * 4, 2 * 120, 2 * 14);
            return IsBlueAt(shot.copy(rect->x(), rect->y() + 2 * 4, rect->width(), 1), 400);
        },
        5000, 100))
        << "the caption never turned blue";
    // Ink: near white; ground: the blue end of the gradient. Along every row,
    // an edge from ground to ink passes at most one pixel in between.
    auto ink = [](QRgb c) { return qRed(c) > 225 && qBlue(c) > 225; };
    auto ground = [](QRgb c) { return qRed(c) < 90 && qBlue(c) > 200; };
    int edges = 0, soft = 0, oddSteps = 0;
    for (int y = 0; y < text.height(); ++y) {
        int between = 0;
        bool fromGround = false;
        for (int x = 0; x < text.width(); ++x) {
            const QRgb c = text.pixel(x, y);
            if (x > 0 && (x % 2) == 1 && ink(c) != ink(text.pixel(x - 1, y))) {
                ++oddSteps; // an edge inside a pair of device pixels
            }
            if (ground(c)) {
                fromGround = true;
                between = 0;
            } else if (ink(c)) {
                if (fromGround) {
                    ++edges;
                    soft += between > 1 ? 1 : 0;
                }
                fromGround = false;
                between = 0;
            } else {
                ++between;
            }
        }
    }
    ASSERT_GT(edges, 20) << "no caption text found";
    EXPECT_LE(soft * 10, edges) << soft << " of " << edges << " edges are blurred over two pixels";
    EXPECT_GT(oddSteps, 5) << "the text is drawn at half resolution and doubled";
}

} // namespace
