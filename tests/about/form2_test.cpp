// The About window: its design, opening it once, OK and Enter, and the
// painted caption on every showing.
#include "about/Form2.h"
#include "caption/GradForm.h"
#include "platform/forms/Design.h"
#include "platform/forms/Twips.h"
#include "platform/forms/qt/Picture.h"
#include "platform/forms/qt/Widgets.h"
#include "platform/window_host.h"
#include "resources/Art.h"

#include <QApplication>
#include <QFontInfo>
#include <QFontMetrics>
#include <QTest>
#include <gtest/gtest.h>

using namespace tavro;
using platform::forms::TabIndex;
using namespace platform::forms::qt;

namespace {

class Form2Test : public ::testing::Test {
protected:
    void TearDown() override {
        if (Form2* form = Form2::Existing()) {
            form->Unload();
        }
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    // "About", as the main window's button does it; waits until it is active.
    static Form2& openActive() {
        Form2& form = Form2::Open();
        EXPECT_TRUE(QTest::qWaitForWindowActive(Widget(&form)));
        return form;
    }
};

QRect Twips(int left, int top, int width, int height) {
    using platform::forms::TwipsToPixels;
    return QRect(TwipsToPixels(left), TwipsToPixels(top), TwipsToPixels(width),
                 TwipsToPixels(height));
}

platform::LONG_PTR ProcOf(platform::HWND hwnd) {
    return platform::GetWindowLongPtrA(hwnd, platform::GWLP_WNDPROC);
}

platform::LONG_PTR CaptionProc() {
    return reinterpret_cast<platform::LONG_PTR>(&CaptionWndProc);
}

// The caption's top row on the window's non-client surface, from the frame's
// inner left edge to the end of the caption (icon and buttons start lower).
std::vector<QColor> CaptionRow(platform::HWND hwnd) {
    std::vector<QColor> row;
    const QImage* surface = platform::WindowSurface(hwnd);
    platform::RECT r{};
    if (!surface || !platform::GetWindowRect(hwnd, &r)) {
        return row;
    }
    const int frame = platform::GetSystemMetrics(platform::SM_CXDLGFRAME);
    const int width = r.right - r.left;
    // The last band ends one pixel short of the right frame.
    for (int x = frame; x < width - frame - 1; ++x) {
        row.push_back(surface->pixelColor(x, frame));
    }
    return row;
}

// Blue one step towards white on the left, white on the right, and never
// darker further right: the active gradient, not a plain caption.
void ExpectActiveGradient(platform::HWND hwnd) {
    const std::vector<QColor> row = CaptionRow(hwnd);
    ASSERT_GT(row.size(), 400u);
    const QColor left = row.front();
    EXPECT_EQ(left.blue(), 255);
    EXPECT_EQ(left.red(), left.green());
    EXPECT_GT(left.red(), 0) << "the gradient starts one step from pure blue";
    EXPECT_LT(left.red(), 16);
    const QColor right = row.back();
    EXPECT_GE(std::min({right.red(), right.green(), right.blue()}), 245);
    for (std::size_t i = 1; i < row.size(); ++i) {
        ASSERT_GE(row[i].red(), row[i - 1].red()) << "at x offset " << i;
    }
}

TEST_F(Form2Test, WindowFollowsTheDesign) {
    Form2& form = Form2::Open();
    EXPECT_EQ(form.Caption(), "About Tavro...");
    EXPECT_EQ(Widget(form.Client())->size(), QSize(495, 327));
    EXPECT_EQ(form.ScaleWidth(), 7425);
    EXPECT_EQ(form.ScaleHeight(), 4905);

    // Fixed frame, Close box only; modeless, with no owner.
    const platform::LONG_PTR style = platform::GetWindowLongPtrA(form.hWnd(), platform::GWL_STYLE);
    EXPECT_TRUE(style & platform::WS_SYSMENU);
    EXPECT_TRUE(style & platform::DS_MODALFRAME);
    EXPECT_FALSE(style & platform::WS_THICKFRAME);
    EXPECT_FALSE(style & platform::WS_MINIMIZEBOX);
    EXPECT_FALSE(style & platform::WS_MAXIMIZEBOX);
    EXPECT_EQ(Widget(&form)->minimumSize(), Widget(&form)->maximumSize());
    EXPECT_EQ(Widget(&form)->parentWidget(), nullptr);
    EXPECT_EQ(Widget(&form)->windowModality(), Qt::NonModal);

    // The shared window icon is the caption's small icon.
    const platform::HICON icon = platform::WindowSmallIconRecord(form.hWnd());
    ASSERT_NE(icon, nullptr);
    EXPECT_EQ(platform::IconImage(icon)->convertToFormat(QImage::Format_ARGB32),
              PixmapOf(art::WindowIcon()).toImage().convertToFormat(QImage::Format_ARGB32));

    // Black background, custom pointer over it.
    EXPECT_EQ(Widget(form.Client())->grab().toImage().pixelColor(2, 2), QColor(0, 0, 0));
    EXPECT_EQ(Widget(form.Client())->cursor().shape(), Qt::BitmapCursor);
    EXPECT_EQ(Widget(form.Client())->cursor().hotSpot(), CursorOf(art::CustomPointer()).hotSpot());
}

TEST_F(Form2Test, ControlsFollowTheDesign) {
    Form2& form = Form2::Open();
    // Pictures at their natural size from their Left and Top.
    EXPECT_EQ(Widget(form.Image2)->geometry(), QRect(8, 8, 249, 132));
    EXPECT_EQ(Widget(form.Image1)->geometry(), QRect(256, 40, 209, 81));
    EXPECT_EQ(PixmapOf(form.Image2->Picture()).toImage(), PixmapOf(art::AboutPicture1()).toImage());
    EXPECT_EQ(PixmapOf(form.Image1->Picture()).toImage(), PixmapOf(art::AboutPicture2()).toImage());

    EXPECT_EQ(Widget(form.Label1)->geometry(), Twips(0, 2400, 7455, 1215));
    EXPECT_EQ(Widget(form.Label2)->geometry(), Twips(120, 3000, 6975, 495));
    EXPECT_EQ(Widget(form.Command1)->geometry(), Twips(120, 4200, 7215, 615));
    EXPECT_TRUE(Widget(form.Label1)->geometry().intersects(Widget(form.Label2)->geometry()));
    // Label2 lies over Label1 where their boxes overlap.
    const QObjectList& children = Widget(form.Client())->children();
    EXPECT_LT(children.indexOf(Widget(form.Label1)), children.indexOf(Widget(form.Label2)));

    EXPECT_EQ(Widget(form.Command1)->text(), "OK");
    EXPECT_TRUE(Widget(form.Label1)->text().contains("Tavro"));
    EXPECT_TRUE(Widget(form.Label1)->text().endsWith("@example.org"));
    EXPECT_TRUE(Widget(form.Label2)->text().startsWith("http://www.example.org/"));

    // Colours: yellow and red on black, a cyan button face.
    EXPECT_EQ(Widget(form.Label1)->palette().color(QPalette::WindowText), QColor(255, 255, 0));
    EXPECT_EQ(Widget(form.Label2)->palette().color(QPalette::WindowText), QColor(255, 0, 0));
    for (QWidget* label :
         std::initializer_list<QWidget*>{Widget(form.Label1), Widget(form.Label2)}) {
        EXPECT_TRUE(label->autoFillBackground());
        EXPECT_EQ(label->palette().color(QPalette::Window), QColor(0, 0, 0));
    }
    EXPECT_EQ(Widget(form.Command1)->palette().color(QPalette::Button), QColor(0, 255, 255));

    // The standard pointer over every control.
    for (QWidget* w : std::initializer_list<QWidget*>{Widget(form.Image1), Widget(form.Image2),
                                                      Widget(form.Label1), Widget(form.Label2),
                                                      Widget(form.Command1)}) {
        EXPECT_TRUE(w->testAttribute(Qt::WA_SetCursor));
        EXPECT_EQ(w->cursor().shape(), Qt::ArrowCursor);
    }
}

TEST_F(Form2Test, FontsKeepSizeAndStyleWhateverFamilyIsInstalled) {
    Form2& form = Form2::Open();
    struct Expected {
        QWidget* widget;
        const char* family;
        int pixels; // points at 96 dpi
        bool bold;
        bool italic;
    };
    for (const Expected& e : {Expected{Widget(form.Label1), "Arial", 24, false, true},
                              Expected{Widget(form.Label2), "Comic Sans MS", 19, false, false},
                              Expected{Widget(form.Command1), "Courier New", 15, true, false}}) {
        const QFont font = e.widget->font();
        EXPECT_EQ(font.family(), e.family);
        EXPECT_EQ(font.pixelSize(), e.pixels) << e.family;
        EXPECT_EQ(font.bold(), e.bold) << e.family;
        EXPECT_EQ(font.italic(), e.italic) << e.family;
        // What the machine actually draws with keeps the size and slant.
        const QFontInfo actual(font);
        EXPECT_EQ(actual.pixelSize(), e.pixels)
            << e.family << " -> " << actual.family().toStdString();
        EXPECT_EQ(actual.italic(), e.italic) << e.family << " -> " << actual.family().toStdString();
    }
    // The credit line stays on one line and clear of Label2's box, which
    // would otherwise hide its lower part.
    const QFontMetrics metrics(Widget(form.Label1)->font());
    EXPECT_LE(metrics.horizontalAdvance(Widget(form.Label1)->text()), Widget(form.Label1)->width());
    EXPECT_LE(Widget(form.Label1)->y() + metrics.height(), Widget(form.Label2)->y());
    const QFontMetrics address(Widget(form.Label2)->font());
    EXPECT_LE(address.horizontalAdvance(Widget(form.Label2)->text()), Widget(form.Label2)->width());
}

TEST_F(Form2Test, OnlyTheButtonTakesTheFocus) {
    Form2& form = openActive();
    EXPECT_EQ(TabIndex(form.Label1), 0);
    EXPECT_EQ(TabIndex(form.Label2), 1);
    EXPECT_EQ(TabIndex(form.Command1), 2);
    EXPECT_EQ(TabIndex(form.Image1), -1);
    EXPECT_EQ(TabIndex(form.Image2), -1);
    std::vector<QWidget*> focusable;
    for (QWidget* w : Widget(&form)->findChildren<QWidget*>()) {
        if (w->focusPolicy() != Qt::NoFocus) {
            focusable.push_back(w);
        }
    }
    EXPECT_EQ(focusable, std::vector<QWidget*>{Widget(form.Command1)});
    EXPECT_EQ(QApplication::focusWidget(), Widget(form.Command1));
    EXPECT_TRUE(Widget(form.Command1)->isDefault());
    // Tab goes nowhere else.
    QTest::keyClick(Widget(form.Command1), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), Widget(form.Command1));
}

TEST_F(Form2Test, SecondAboutWhileShownKeepsTheOneWindowAndLoadsOnce) {
    Form2& first = openActive();
    const platform::HWND hwnd = first.hWnd();
    EXPECT_EQ(ProcOf(hwnd), CaptionProc());
    Widget(&first)->showMinimized();

    Form2& second = Form2::Open();
    EXPECT_EQ(&second, &first);
    EXPECT_EQ(second.hWnd(), hwnd);
    EXPECT_EQ(Form2::Existing(), &first);
    EXPECT_TRUE(QTest::qWaitForWindowActive(Widget(&second)));
    EXPECT_EQ(QApplication::topLevelWidgets().count(Widget(&second)), 1);
    // A second load would have recorded the painter itself as the procedure it replaced.
    EXPECT_EQ(ProcOf(hwnd), CaptionProc());
    const auto kept = reinterpret_cast<platform::LONG_PTR>(platform::GetPropA(hwnd, "OldMeProc"));
    EXPECT_NE(kept, 0);
    EXPECT_NE(kept, CaptionProc());
    int forms = 0;
    for (QWidget* w : QApplication::topLevelWidgets()) {
        const auto* window = qobject_cast<FormWindow*>(w);
        forms += window && dynamic_cast<Form2*>(window->form()) && w->isVisible() ? 1 : 0;
    }
    EXPECT_EQ(forms, 1);
}

TEST_F(Form2Test, EveryShowingHasThePaintedCaption) {
    Form2& first = openActive();
    const platform::HWND firstWindow = first.hWnd();
    ExpectActiveGradient(firstWindow);

    QTest::mouseClick(Widget(first.Command1), Qt::LeftButton);
    EXPECT_EQ(Form2::Existing(), nullptr);
    EXPECT_FALSE(first.Visible());
    // OK took the painter off: the window's own procedure is back, and it
    // paints a plain caption, which the gradient check tells apart.
    EXPECT_EQ(ProcOf(firstWindow),
              reinterpret_cast<platform::LONG_PTR>(&platform::forms::FormWndProc));
    EXPECT_EQ(platform::GetPropA(firstWindow, "OldMeProc"), nullptr);
    // Painted as it would be if it were shown (a hidden window paints no frame).
    platform::SetWindowVisibleRecord(firstWindow, true);
    platform::SendMessageA(firstWindow, platform::WM_NCACTIVATE, 1, 0);
    const std::vector<QColor> plain = CaptionRow(firstWindow);
    ASSERT_FALSE(plain.empty());
    EXPECT_EQ(plain.front(), plain.back());
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

    Form2& second = openActive();
    EXPECT_EQ(ProcOf(second.hWnd()), CaptionProc());
    ExpectActiveGradient(second.hWnd());
}

TEST_F(Form2Test, EnterAndSpaceActAsOk) {
    for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Space}) {
        Form2& form = openActive();
        const platform::HWND hwnd = form.hWnd();
        QTest::keyClick(QApplication::focusWidget(), key);
        EXPECT_EQ(Form2::Existing(), nullptr) << "key " << key;
        EXPECT_EQ(platform::GetPropA(hwnd, "OldMeProc"), nullptr) << "key " << key;
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}

TEST_F(Form2Test, CloseBoxClosesAndTheNextAboutLoadsAgain) {
    Form2& first = openActive();
    const platform::HWND firstWindow = first.hWnd();
    platform::SendMessageA(firstWindow, platform::WM_SYSCOMMAND, platform::SC_CLOSE, 0);
    EXPECT_EQ(Form2::Existing(), nullptr);
    EXPECT_FALSE(first.Visible());
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(platform::IsWindow(firstWindow));

    Form2& second = openActive();
    EXPECT_EQ(ProcOf(second.hWnd()), CaptionProc());
    ExpectActiveGradient(second.hWnd());
}

// The art compiled in as ready pixels is what the picture files decode to, so
// the windows look exactly as if the program decoded them itself.
TEST(Art, ReadyPixelsAreThePictureFiles) {
    const QString dir = QStringLiteral(TAVRO_SOURCE_DIR "/src/resources/");
    const auto argb = [](const QImage& image) {
        return image.convertToFormat(QImage::Format_ARGB32);
    };
    const struct {
        const char* file;
        QImage compiled;
    } pictures[] = {
        {"background.gif", PixmapOf(art::Background()).toImage()},
        {"tavro.cur", PixmapOf(art::WindowIcon()).toImage()},
        {"about_big.gif", PixmapOf(art::AboutPicture1()).toImage()},
        {"about_small.gif", PixmapOf(art::AboutPicture2()).toImage()},
    };
    for (const auto& picture : pictures) {
        const QImage decoded(dir + picture.file);
        ASSERT_FALSE(decoded.isNull()) << picture.file;
        EXPECT_EQ(argb(picture.compiled), argb(decoded)) << picture.file;
    }

    // The black-and-white pointer: the same pixels, the hot spot at the
    // arrow's tip, the picture's centre.
    const QImage arrow = argb(QImage(dir + "pointer.ico"));
    const QCursor pointer = CursorOf(art::CustomPointer());
    ASSERT_EQ(pointer.shape(), Qt::BitmapCursor);
    EXPECT_EQ(pointer.hotSpot(), QPoint(arrow.width() / 2, arrow.height() / 2));
    const QImage black = pointer.bitmap().toImage();
    const QImage drawn = pointer.mask().toImage();
    ASSERT_EQ(black.size(), arrow.size());
    ASSERT_EQ(drawn.size(), arrow.size());
    int opaque = 0;
    for (int y = 0; y < arrow.height(); ++y) {
        for (int x = 0; x < arrow.width(); ++x) {
            const QRgb want = arrow.pixel(x, y);
            const bool isDrawn = drawn.pixelIndex(x, y) == 1;
            ASSERT_EQ(isDrawn, qAlpha(want) != 0) << x << "," << y;
            if (isDrawn) {
                ++opaque;
                EXPECT_EQ(black.pixelIndex(x, y) == 1, (want & 0xffffff) == 0) << x << "," << y;
            }
        }
    }
    EXPECT_GT(opaque, 30);
}

} // namespace
