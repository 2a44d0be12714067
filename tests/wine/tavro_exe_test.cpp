// The Windows build, tavro.exe, as a user meets it under Wine on a private X
// server: the main window's painted caption, the preview of a chosen driver,
// "Run This Game" starting the emulator (a stand-in that records its command
// line) and the driver editor saving what was typed.
#include "support/EmulatorDir.h"
#include "support/WineSession.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QMap>
#include <algorithm>
#include <functional>
#include <gtest/gtest.h>
#include <memory>

using tavro::test::EmulatorDir;
using tavro::test::WineSession;
using tavro::test::X11Program;
using tavro::test::X11Session;

namespace {

const QString Caption = QStringLiteral("Tavro 0.1.5");
const QSize Client(765, 442);
const QString Driver = QStringLiteral("Alpha Attack.drv");
// Mixed line breaks, as a driver edited on both systems has them.
const QByteArray DriverText = "[driver]\r\nname=Alpha Attack\nyear=1984\r\n";

// A file of the Windows build: beside $TAVRO_WINDOWS_EXE, else in
// $TAVRO_WINDOWS_BUILD_DIR (as scripts/windows takes it, from the source
// tree), else beside the tavro.exe this test was built for.
QString WindowsBuild(const QString& file) {
    const QString dir = qEnvironmentVariable("TAVRO_WINDOWS_BUILD_DIR");
    const QString exe = qEnvironmentVariable(
        "TAVRO_WINDOWS_EXE", dir.isEmpty() ? QStringLiteral(TAVRO_WINDOWS_EXE)
                                           : QDir(QStringLiteral(TAVRO_SOURCE_DIR)).filePath(dir) +
                                                 QStringLiteral("/tavro.exe"));
    return QFileInfo(exe).dir().filePath(file);
}

bool Near(QRgb a, QRgb b, int tolerance) {
    return std::abs(qRed(a) - qRed(b)) <= tolerance &&
           std::abs(qGreen(a) - qGreen(b)) <= tolerance &&
           std::abs(qBlue(a) - qBlue(b)) <= tolerance;
}

int Darkest(QRgb p) {
    return std::max({qRed(p), qGreen(p), qBlue(p)});
}

// Keeps a screenshot where a developer can look at it when a check fails.
std::string Keep(const QImage& image, const char* name) {
    const QString path = QDir::temp().filePath(QStringLiteral("tavro-wine-%1.png").arg(name));
    return (image.save(path, "PNG") ? path : QStringLiteral("(not saved)")).toStdString();
}

// Splits a Windows command line the simple way: spaces part arguments,
// double quotes group them.
QStringList Arguments(const QString& line) {
    QStringList args;
    QString current;
    bool quoted = false, any = false;
    for (QChar c : line) {
        if (c == u'"') {
            quoted = !quoted;
            any = true;
        } else if (c == u' ' && !quoted) {
            if (any) {
                args.append(current);
            }
            current.clear();
            any = false;
        } else {
            current += c;
            any = true;
        }
    }
    if (any) {
        args.append(current);
    }
    return args;
}

// "section/key" -> value, from a profile's text.
QMap<QString, QString> Profile(const QByteArray& text) {
    QMap<QString, QString> values;
    QString section;
    for (const QByteArray& raw : text.split('\n')) {
        const QString line = QString::fromUtf8(raw).trimmed();
        if (line.startsWith(u'[') && line.endsWith(u']')) {
            section = line.mid(1, line.size() - 2);
        } else if (line.contains(u'=')) {
            values.insert(section + u'/' + line.section(u'=', 0, 0), line.section(u'=', 1));
        }
    }
    return values;
}

class TavroExe : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        if (WineSession::MissingTools().isEmpty()) {
            wine = new WineSession();
        }
    }
    static void TearDownTestSuite() {
        delete wine;
        wine = nullptr;
    }

    void SetUp() override {
        const QStringList missing = WineSession::MissingTools();
        if (!missing.isEmpty()) {
            GTEST_SKIP() << "needs " << missing.join(", ").toStdString()
                         << " (installed by scripts/bootstrap)";
        }
        ASSERT_TRUE(wine->ok()) << wine->error().toStdString();
        for (const QString& file :
             {QStringLiteral("tavro.exe"), QStringLiteral("morvel_stub.exe")}) {
            ASSERT_TRUE(QFileInfo::exists(WindowsBuild(file)))
                << WindowsBuild(file).toStdString() << " is missing: build it with scripts/windows";
        }
        dir.write("drv/" + Driver, DriverText);
        dir.write("drv/beta.drv", "[driver]\r\nname=beta\r\n");
        dir.writePicture("preview/" + Driver + ".jpg", 224, 160);
        ASSERT_TRUE(QFile::copy(WindowsBuild("tavro.exe"), dir.file("tavro.exe")));
        program = wine->start(dir.file("tavro.exe"), {}, dir.path());
        ASSERT_NE(program, nullptr) << wine->x11().error().toStdString();
        const auto found = wine->x11().waitForWindow(Caption, 60000);
        ASSERT_TRUE(found.has_value()) << "no window \"" << Caption.toStdString() << "\"; output:\n"
                                       << program->log().toStdString();
        window = *found;
        const auto rect = wine->x11().geometry(window);
        ASSERT_TRUE(rect.has_value());
        frame = *rect;
        // The client area sits in the frame as a fixed single border puts it.
        const int border = (frame.width() - Client.width()) / 2;
        client = frame.topLeft() + QPoint(border, frame.height() - Client.height() - border);
    }

    void TearDown() override {
        if (program) {
            program->stop();
        }
        // The next test finds no window of this one's.
        if (wine && wine->ok()) {
            X11Session::waitFor([&] { return !wine->x11().waitForWindow(Caption, 0).has_value(); },
                                10000);
        }
    }

    X11Session& x11() { return wine->x11(); }

    // Waits until the window's screenshot passes `check`; the last one taken.
    QImage shotWhen(const std::function<bool(const QImage&)>& check, int timeoutMs = 15000) {
        QImage shot;
        X11Session::waitFor(
            [&] {
                shot = x11().screenshot(window).convertToFormat(QImage::Format_RGB32);
                return !shot.isNull() && check(shot);
            },
            timeoutMs, 200);
        return shot;
    }

    QPoint inClient(int x, int y) const { return client + QPoint(x, y); }

    static WineSession* wine;
    EmulatorDir dir;
    X11Program* program = nullptr;
    quint64 window = 0;
    QRect frame;
    QPoint client;
};

WineSession* TavroExe::wine = nullptr;

// The caption is our own painting: blue at the left fading to white at the
// right, and a close button drawn with the system's symbol font (a letter
// "r" shows where that font is missing).
TEST_F(TavroExe, CaptionIsAGradientWithADrawnCloseButton) {
    const auto captionish = [](QRgb p) { return qBlue(p) >= 240 && qRed(p) + 8 < qBlue(p); };
    const int middle = frame.width() / 2;
    const QImage shot = shotWhen([&](const QImage& s) { return captionish(s.pixel(middle, 8)); });
    const std::string kept = Keep(shot, "caption");
    ASSERT_TRUE(captionish(shot.pixel(middle, 8))) << "no caption; screenshot: " << kept;

    // The band's rows, and its first and last column on its top row, which
    // holds neither icon, text nor button.
    int top = 8, bottom = 8;
    while (top > 0 && captionish(shot.pixel(middle, top - 1))) {
        --top;
    }
    while (bottom + 1 < shot.height() && captionish(shot.pixel(middle, bottom + 1))) {
        ++bottom;
    }
    EXPECT_GE(bottom - top + 1, 16) << "screenshot: " << kept;
    int left = middle, right = middle;
    while (left > 0 && qBlue(shot.pixel(left - 1, top)) >= 250) {
        --left;
    }
    while (right + 1 < shot.width() && qBlue(shot.pixel(right + 1, top)) >= 250) {
        ++right;
    }
    EXPECT_LE(left, 4) << "screenshot: " << kept;
    EXPECT_GE(right, shot.width() - 5) << "screenshot: " << kept;
    const QRgb first = shot.pixel(left, top);
    const QRgb last = shot.pixel(right, top);
    EXPECT_TRUE(qRed(first) <= 40 && qGreen(first) <= 40)
        << "left end " << qRed(first) << "," << qGreen(first) << "," << qBlue(first)
        << " is not blue; screenshot: " << kept;
    EXPECT_TRUE(Near(last, qRgb(255, 255, 255), 20))
        << "right end " << qRed(last) << "," << qGreen(last) << "," << qBlue(last)
        << " is not white; screenshot: " << kept;
    int backwards = 0;
    for (int x = left + 1; x <= right; ++x) {
        backwards += qRed(shot.pixel(x, top)) + 2 < qRed(shot.pixel(x - 1, top));
    }
    EXPECT_EQ(backwards, 0) << "the fade is not steady; screenshot: " << kept;

    // The close button: its dark glyph pixels at the band's right end, a
    // cross, so the same mirrored left to right and top to bottom.
    QRect glyph;
    QList<QPoint> dark;
    for (int y = top; y <= bottom; ++y) {
        for (int x = right - 40; x <= right; ++x) {
            if (Darkest(shot.pixel(x, y)) < 100) {
                dark.append(QPoint(x, y));
                glyph |= QRect(x, y, 1, 1);
            }
        }
    }
    ASSERT_GE(dark.size(), 6) << "no close button; screenshot: " << kept;
    EXPECT_GE(glyph.width(), 5) << "screenshot: " << kept;
    EXPECT_GE(glyph.height(), 5) << "screenshot: " << kept;
    int unmatched = 0;
    for (const QPoint& p : dark) {
        const QPoint across(glyph.left() + glyph.right() - p.x(), p.y());
        const QPoint down(p.x(), glyph.top() + glyph.bottom() - p.y());
        unmatched += Darkest(shot.pixel(across)) >= 170;
        unmatched += Darkest(shot.pixel(down)) >= 170;
    }
    EXPECT_EQ(unmatched, 0) << "the close button's glyph is no cross; screenshot: " << kept;
}

TEST_F(TavroExe, ChoosingADriverShowsItsPreview) {
    // The picture's middle, where the picture control shows it at its size.
    const QPoint middle = inClient(192 + 112, 72 + 80) - frame.topLeft();
    const QRgb colour = tavro::test::PictureColour.rgb();
    const QImage before = shotWhen([&](const QImage& s) {
        return Near(s.pixel(middle), qRgb(192, 255, 192), 2); // the empty preview panel
    });
    ASSERT_TRUE(Near(before.pixel(middle), qRgb(192, 255, 192), 2))
        << "screenshot: " << Keep(before, "before-preview");
    ASSERT_TRUE(x11().click(inClient(40, 79))); // the first driver
    const QImage after =
        shotWhen([&](const QImage& s) { return Near(s.pixel(middle), colour, 12); });
    EXPECT_TRUE(Near(after.pixel(middle), colour, 12))
        << "no preview; screenshot: " << Keep(after, "preview");
}

TEST_F(TavroExe, RunThisGameStartsTheEmulatorWithTheChoices) {
    ASSERT_TRUE(QFile::copy(WindowsBuild("morvel_stub.exe"), dir.file("morvel.exe")));
    ASSERT_TRUE(x11().click(inClient(40, 79)));   // the first driver
    ASSERT_TRUE(x11().click(inClient(470, 140))); // 320x200 Linear
    ASSERT_TRUE(x11().click(inClient(638, 140))); // frame-skip 2
    ASSERT_TRUE(x11().click(inClient(226, 380))); // Debug Mode
    ASSERT_TRUE(x11().click(inClient(104, 284))); // Run This Game
    QByteArray log;
    X11Session::waitFor(
        [&] {
            log = dir.read("morvel.log");
            return log.endsWith('\n');
        },
        30000, 100);
    ASSERT_TRUE(log.endsWith('\n')) << "the emulator did not start; output:\n"
                                    << program->log().toStdString();
    EXPECT_EQ(log.count('\n'), 1) << log.toStdString();
    const QStringList args = Arguments(QString::fromUtf8(log.trimmed()));
    ASSERT_FALSE(args.isEmpty());
    EXPECT_TRUE(args.front().endsWith(QStringLiteral("morvel"), Qt::CaseInsensitive) ||
                args.front().endsWith(QStringLiteral("morvel.exe"), Qt::CaseInsensitive))
        << log.toStdString();
    EXPECT_EQ(args.mid(1),
              QStringList({"-320x200", "-frameskip", "2", "-debug", "-driver", Driver}))
        << log.toStdString();

    const QMap<QString, QString> profile = Profile(dir.read("tavro.cfg"));
    EXPECT_EQ(profile.value("Resolution/res"), "320x200");
    EXPECT_EQ(profile.value("Frameskip/number"), "2");
    EXPECT_EQ(profile.value("General/debug"), "1");
    for (const char* off :
         {"General/sync", "General/nocheck", "General/sound", "General/profile"}) {
        EXPECT_EQ(profile.value(off), "0") << off;
    }
}

// Typing in the editor, then closing it by its Exit menu (Alt+X) and saying
// Yes to saving: the file holds the new text, its line breaks as they were.
TEST_F(TavroExe, EditorSavesWhatWasTyped) {
    ASSERT_TRUE(x11().click(inClient(40, 79)));   // the first driver
    ASSERT_TRUE(x11().click(inClient(104, 364))); // Edit This Driver
    const QString title = QStringLiteral("Tavro Driver Editor - [%1]").arg(Driver);
    const auto editor = x11().waitForWindow(title, 20000);
    ASSERT_TRUE(editor.has_value()) << "no editor; output:\n" << program->log().toStdString();
    const auto place = x11().geometry(*editor);
    ASSERT_TRUE(place.has_value());
    // Into the text, at its start.
    ASSERT_TRUE(x11().click(place->center()));
    ASSERT_TRUE(x11().key({"ctrl+Home", "N", "e", "w", "space"}));
    ASSERT_TRUE(x11().key({"alt+x"}));
    const auto question = x11().waitForWindow(QStringLiteral("Question"), 10000);
    ASSERT_TRUE(question.has_value()) << "no question; output:\n" << program->log().toStdString();
    ASSERT_TRUE(x11().key({"y"}));
    QByteArray saved;
    X11Session::waitFor(
        [&] {
            saved = dir.read("drv/" + Driver);
            return saved != DriverText;
        },
        10000, 100);
    EXPECT_EQ(saved, "New " + DriverText);
}

} // namespace
