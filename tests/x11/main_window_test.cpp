// The real program on a bare X server and under a window manager (openbox):
// its main window, the frame our layer draws around it, moving it by the
// caption (a drag moves it, a click does not) and closing it with the
// caption's close button.
#include "support/EmulatorDir.h"
#include "support/FakeEmulator.h"
#include "support/X11Session.h"

#include <QDir>
#include <QImage>
#include <QThread>
#include <gtest/gtest.h>
#include <memory>
#include <ostream>

using tavro::test::EmulatorDir;
using tavro::test::X11Options;
using tavro::test::X11Program;
using tavro::test::X11Session;

using tavro::test::EmulatorRecord;

// Readable failure messages for Qt's geometry types (found through ADL).
static void PrintTo(const QPoint& p, std::ostream* os) {
    *os << "(" << p.x() << ", " << p.y() << ")";
}
static void PrintTo(const QSize& s, std::ostream* os) {
    *os << s.width() << " x " << s.height();
}

namespace {

const QString Caption = QStringLiteral("Tavro 0.1.5");
constexpr int Frame = 3;     // fixed single border
constexpr int CaptionH = 19; // caption bar including its bottom line
const QSize Client(765, 442);
const QSize Screen(1280, 1024);

// Three drivers, two of them with a preview, and the picture for the rest.
void AddDrivers(const EmulatorDir& dir) {
    for (const char* name : {"Alpha Attack.drv", "beta.drv", "Gamma.DRV"}) {
        dir.write(QStringLiteral("drv/") + QString::fromUtf8(name),
                  QByteArray("[driver]\nname=") + name + "\nyear=1984\n");
    }
    dir.writePicture("preview/Alpha Attack.drv.jpg", 224, 160, QColor(200, 60, 40));
    dir.writePicture("preview/beta.drv.jpg", 224, 160, QColor(40, 160, 90));
    dir.writePicture("preview/404.jpg", 224, 160, QColor(90, 90, 90));
}

// Where the client area lies inside a screenshot of the whole window, found
// by looking for the program's own background picture rather than trusting
// the frame sizes.
struct ClientArea {
    QPoint origin;
    QSize size;
};

bool Same(QRgb a, QRgb b) {
    constexpr int Tolerance = 3;
    return std::abs(qRed(a) - qRed(b)) <= Tolerance &&
           std::abs(qGreen(a) - qGreen(b)) <= Tolerance &&
           std::abs(qBlue(a) - qBlue(b)) <= Tolerance;
}

class BackgroundMatcher {
public:
    BackgroundMatcher(const QImage& window, const QImage& background)
        : window_(window.convertToFormat(QImage::Format_RGB32)),
          background_(background.convertToFormat(QImage::Format_RGB32)) {}

    // Client pixel (x, y) shows background pixel (x, y) when the client area
    // starts at `origin`.
    bool matches(QPoint origin, int x, int y) const {
        const QPoint at = origin + QPoint(x, y);
        return background_.valid(x, y) && window_.valid(at) &&
               Same(window_.pixel(at), background_.pixel(x, y));
    }

    std::optional<ClientArea> find() const {
        // Rows 4 to 48 hold nothing but the picture (the titles start lower);
        // columns 0 to 23 likewise all the way down (the list starts right of them).
        std::vector<QPoint> origins;
        for (int oy = 0; oy <= 60; ++oy) {
            for (int ox = 0; ox <= 20; ++ox) {
                if (topBandMatches(QPoint(ox, oy), 0, 700)) {
                    origins.push_back(QPoint(ox, oy));
                }
            }
        }
        if (origins.size() != 1) {
            return std::nullopt;
        }
        const QPoint origin = origins.front();
        int width = 0;
        while (topBandMatches(origin, width, width + 1)) {
            ++width;
        }
        int height = 0;
        while (leftBandMatches(origin, height)) {
            ++height;
        }
        return ClientArea{origin, QSize(width, height)};
    }

private:
    bool topBandMatches(QPoint origin, int x0, int x1) const {
        for (int y = 4; y <= 48; y += 2) {
            for (int x = x0; x < x1; ++x) {
                if (!matches(origin, x, y)) {
                    return false;
                }
            }
        }
        return true;
    }
    bool leftBandMatches(QPoint origin, int y) const {
        for (int x = 0; x < 24; ++x) {
            if (!matches(origin, x, y)) {
                return false;
            }
        }
        return true;
    }

    QImage window_;
    QImage background_;
};

// Keeps a screenshot where a developer can look at it when a check fails.
QString Keep(const QImage& image, const char* name) {
    const QString path = QDir::temp().filePath(QStringLiteral("tavro-x11-%1.png").arg(name));
    return image.save(path, "PNG") ? path : QStringLiteral("(not saved)");
}

// Run on a bare X server (false) and under openbox (true).
class MainWindowX11 : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override {
        const QStringList missing = X11Session::MissingTools(GetParam());
        if (!missing.isEmpty()) {
            GTEST_SKIP() << "needs " << missing.join(", ").toStdString()
                         << " (installed by scripts/bootstrap)";
        }
        X11Options options;
        options.windowManager = GetParam();
        session = std::make_unique<X11Session>(options);
        ASSERT_TRUE(session->ok()) << session->error().toStdString();
        AddDrivers(dir);
        const QString installed = dir.installProgram();
        ASSERT_FALSE(installed.isEmpty()) << "cannot put the program in the emulator directory";
        program = session->start(installed, {}, dir.path());
        ASSERT_NE(program, nullptr) << session->error().toStdString();
        const auto found = session->waitForWindow(Caption, 20000);
        ASSERT_TRUE(found.has_value())
            << "no window \"" << Caption.toStdString() << "\"; program output:\n"
            << program->log().toStdString();
        window = *found;
        const auto rect = session->geometry(window);
        ASSERT_TRUE(rect.has_value());
        start = *rect;
    }

    void TearDown() override { session.reset(); }

    // Waits for the window to stand at `expected`.
    ::testing::AssertionResult reaches(const QRect& expected) {
        QRect now;
        if (X11Session::waitFor(
                [&] {
                    now = session->geometry(window).value_or(QRect());
                    return now == expected;
                },
                5000, 100)) {
            return ::testing::AssertionSuccess();
        }
        return ::testing::AssertionFailure()
               << "window at (" << now.x() << ", " << now.y() << ") " << now.width() << " x "
               << now.height() << ", expected at (" << expected.x() << ", " << expected.y()
               << "); it started at (" << start.x() << ", " << start.y() << ")";
    }

    QPoint captionPoint(int x) const { return start.topLeft() + QPoint(x, Frame + CaptionH / 2); }

    std::unique_ptr<X11Session> session;
    EmulatorDir dir;
    X11Program* program = nullptr;
    quint64 window = 0;
    QRect start;
};

TEST_P(MainWindowX11, ShowsTheClientAreaInsideItsOwnFrame) {
    EXPECT_EQ(start.size(), Client + QSize(2 * Frame, 2 * Frame + CaptionH));
    // Centred on the screen at first.
    EXPECT_NEAR(start.x(), (Screen.width() - start.width()) / 2, 1);
    EXPECT_NEAR(start.y(), (Screen.height() - start.height()) / 2, 1);

    const QImage background(QStringLiteral(TAVRO_SOURCE_DIR "/src/resources/background.gif"));
    ASSERT_FALSE(background.isNull());
    ASSERT_GE(background.width(), Client.width());
    ASSERT_GE(background.height(), Client.height());

    // The window may be mapped before it is painted: look until the picture shows.
    QImage shot;
    std::optional<ClientArea> client;
    X11Session::waitFor(
        [&] {
            shot = session->screenshot(window);
            client = shot.isNull() ? std::nullopt : BackgroundMatcher(shot, background).find();
            return client.has_value();
        },
        10000, 200);
    ASSERT_FALSE(shot.isNull()) << "no screenshot";
    ASSERT_TRUE(client.has_value())
        << "background picture not found once in the window; screenshot: "
        << Keep(shot, "main-window").toStdString();
    EXPECT_EQ(shot.size(), start.size());
    EXPECT_EQ(client->origin, QPoint(Frame, Frame + CaptionH))
        << "screenshot: " << Keep(shot, "main-window").toStdString();
    // The picture is a pixel larger each way: the client area clips it.
    EXPECT_EQ(client->size, Client) << "screenshot: " << Keep(shot, "main-window").toStdString();
}

TEST_P(MainWindowX11, DragOnTheCaptionMovesTheWindow) {
    const QPoint from = captionPoint(300);
    ASSERT_TRUE(session->drag(from, from + QPoint(100, 60), 5));
    EXPECT_TRUE(reaches(start.translated(100, 60)));
    EXPECT_TRUE(program->running());
}

TEST_P(MainWindowX11, QuickClickOnTheCaptionDoesNotMoveTheWindow) {
    // Press and release at once, as a touchpad tap sends them; then the
    // pointer moves on with no button down. Nothing may follow it.
    const QPoint at = captionPoint(300);
    ASSERT_TRUE(session
                    ->run("xdotool", {"mousemove", QString::number(at.x()), QString::number(at.y()),
                                      "mousedown", "1", "mouseup", "1"})
                    .has_value());
    ASSERT_TRUE(session
                    ->run("xdotool", {"sleep", "0.3", "mousemove_relative", "--", "40", "30",
                                      "sleep", "0.1", "mousemove_relative", "--", "120", "90"})
                    .has_value());
    QThread::msleep(500);
    EXPECT_EQ(session->geometry(window), start);
    // A motion shorter than the drag distance with the button down is a click too.
    ASSERT_TRUE(session->drag(at, at + QPoint(2, 1), 1));
    ASSERT_TRUE(session->mouseMove(at + QPoint(150, 100)));
    QThread::msleep(500);
    EXPECT_EQ(session->geometry(window), start);
    // And a drag after the click still moves it.
    ASSERT_TRUE(session->drag(at, at + QPoint(100, 60), 5));
    EXPECT_TRUE(reaches(start.translated(100, 60)));
}

TEST_P(MainWindowX11, DragOnTheCaptionOfABusyProgramMovesTheWholeWay) {
    if (GetParam()) {
        // Under a window manager the move is its own; a release that was
        // queued before the move request reached it is out of our hands.
        GTEST_SKIP() << "our own move loop only";
    }
    // The press, the moves and the release all wait in the program's queue;
    // the move must still start where the button went down, not where the
    // pointer happens to be once the program gets to the press.
    const QPoint from = captionPoint(300);
    ASSERT_TRUE(program->pause());
    const bool dragged = session->drag(from, from + QPoint(100, 60), 5);
    ASSERT_TRUE(program->resume());
    ASSERT_TRUE(dragged);
    EXPECT_TRUE(reaches(start.translated(100, 60)));
}

TEST_P(MainWindowX11, CloseButtonEndsTheProgram) {
    // The top-right caption button spans x W-21..W-5, y 5..19 in the window.
    const QPoint button = start.topLeft() + QPoint(start.width() - Frame - 10, 12);
    ASSERT_TRUE(session->click(button));
    ASSERT_TRUE(program->waitForExit(5000)) << "still running after a click on close";
    EXPECT_EQ(program->exitCode(), std::optional<int>(0)) << "program output:\n"
                                                          << program->log().toStdString();
}

TEST_P(MainWindowX11, CloseButtonReleasedElsewhereKeepsTheProgram) {
    // As with any button: pressing it and sliding off before letting go
    // cancels the click.
    const QPoint button = start.topLeft() + QPoint(start.width() - Frame - 10, 12);
    ASSERT_TRUE(session->mouseMove(button));
    ASSERT_TRUE(session->mouseDown());
    ASSERT_TRUE(session->mouseMove(button + QPoint(0, 120)));
    ASSERT_TRUE(session->mouseUp());
    EXPECT_FALSE(program->waitForExit(1500)) << "the program ended";
    EXPECT_TRUE(session->waitForWindow(Caption, 2000).has_value());
}

// A few pixels that only the classic controls give: the About button's flat
// pure-blue face inside its raised edge, the white box of a check box, the
// list's sunken edge.
TEST_P(MainWindowX11, ControlsHaveTheClassicLook) {
    const QPoint client(Frame, Frame + CaptionH);
    const QRect about = QRect(680, 416, 81, 25).translated(client);    // Command4
    const QRect profile = QRect(216, 296, 233, 25).translated(client); // Check5
    const QRect list = QRect(24, 72, 161, 188).translated(client);     // File1
    const QRgb blue = qRgb(0, 0, 255);
    QImage shot;
    X11Session::waitFor(
        [&] {
            shot = session->screenshot(window).convertToFormat(QImage::Format_RGB32);
            return !shot.isNull() && shot.pixel(about.topLeft() + QPoint(3, 3)) == blue;
        },
        10000, 200);
    ASSERT_FALSE(shot.isNull()) << "no screenshot";
    const std::string kept = Keep(shot, "classic-look").toStdString();

    // The face's outer rows and columns (the caption sits in its middle).
    const QRect face = about.adjusted(2, 2, -2, -2);
    int notBlue = 0;
    for (int x = face.left(); x <= face.right(); ++x) {
        notBlue += (shot.pixel(x, face.top()) != blue) + (shot.pixel(x, face.bottom()) != blue);
    }
    for (int y = face.top(); y <= face.bottom(); ++y) {
        notBlue += (shot.pixel(face.left(), y) != blue) + (shot.pixel(face.right(), y) != blue);
    }
    EXPECT_EQ(notBlue, 0) << "screenshot: " << kept;
    struct Pixel {
        const char* what;
        QPoint at;
        QRgb colour;
    };
    const std::vector<Pixel> pixels = {
        {"About: raised edge, white outside top-left", about.topLeft(), qRgb(255, 255, 255)},
        {"About: raised edge, light inside top-left", about.topLeft() + QPoint(1, 1),
         qRgb(223, 223, 223)},
        {"About: raised edge, black outside bottom-right", about.bottomRight(), qRgb(0, 0, 0)},
        {"About: raised edge, grey inside bottom-right", about.bottomRight() - QPoint(1, 1),
         qRgb(128, 128, 128)},
        {"list: sunken edge, grey outside top-left", list.topLeft(), qRgb(128, 128, 128)},
        {"list: sunken edge, black inside top-left", list.topLeft() + QPoint(1, 1), qRgb(0, 0, 0)},
        {"list: sunken edge, white outside bottom-right", list.bottomRight(), qRgb(255, 255, 255)},
        {"list: light yellow inside", list.bottomLeft() + QPoint(4, -4), qRgb(255, 255, 192)},
        {"check box: light green behind the caption", profile.topRight() - QPoint(4, -2),
         qRgb(192, 255, 192)},
    };
    for (const Pixel& p : pixels) {
        EXPECT_EQ(shot.pixel(p.at), p.colour) << p.what << "; screenshot: " << kept;
    }

    // The check box: a white box of 9 x 9 pixels at its left, inside a sunken edge.
    std::optional<QPoint> box;
    for (int y = profile.top(); y + 9 <= profile.bottom() && !box; ++y) {
        for (int x = profile.left(); x < profile.left() + 12 && !box; ++x) {
            bool white = true;
            for (int dy = 0; dy < 9 && white; ++dy) {
                for (int dx = 0; dx < 9 && white; ++dx) {
                    white = shot.pixel(x + dx, y + dy) == qRgb(255, 255, 255);
                }
            }
            if (white) {
                box = QPoint(x, y);
            }
        }
    }
    ASSERT_TRUE(box.has_value()) << "no white check box; screenshot: " << kept;
    EXPECT_EQ(shot.pixel(*box - QPoint(1, 1)), qRgb(0, 0, 0)) << "screenshot: " << kept;
    EXPECT_EQ(shot.pixel(*box - QPoint(2, 2)), qRgb(128, 128, 128)) << "screenshot: " << kept;
}

// A keyboard user: a driver chosen, Tab past the two option groups (one stop
// each) to "Run This Game", and Enter starts the emulator.
TEST_P(MainWindowX11, TabToRunThisGameAndEnterStartsTheEmulator) {
    const QString record = dir.path() + "/started";
    tavro::test::WriteFakeEmulator(dir.path() + "/morvel", record);
    const QPoint client = start.topLeft() + QPoint(Frame, Frame + CaptionH);
    ASSERT_TRUE(session->click(client + QPoint(40, 79))); // the first driver
    ASSERT_TRUE(session->key({"Tab", "Tab", "Tab", "Return"}));
    const EmulatorRecord started = tavro::test::WaitForRecord(record);
    ASSERT_TRUE(started.present) << "the emulator did not start; program output:\n"
                                 << program->log().toStdString();
    EXPECT_EQ(started.args, QStringList({"-driver", "Alpha Attack.drv"}));
}

INSTANTIATE_TEST_SUITE_P(Desktops, MainWindowX11, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Openbox" : "BareX"; });

} // namespace
