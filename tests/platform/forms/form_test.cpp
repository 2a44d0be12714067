// The forms runtime's window: its frame around the client area, where it is
// centred, moving by the caption, which window is active after one hides, the
// query-unload step of a close, and the classic look of its controls.
#include "platform/forms/Controls.h"
#include "platform/forms/Form.h"
#include "platform/forms/Twips.h"
#include "platform/forms/qt/Widgets.h"
#include "platform/window.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPixmap>
#include <QScreen>
#include <QStyleHints>
#include <QTest>
#include <gtest/gtest.h>
#include <string>
#include <vector>

using namespace platform;
using platform::forms::qt::Widget;

namespace {

TEST(FormTest, ClientAreaSitsInsideOurFrame) {
    forms::Form::Design design;
    design.caption = "Sizable";
    design.border = forms::BorderStyle::Sizable;
    design.hasMenu = true;
    design.clientWidth = 7215;
    design.clientHeight = 4980;
    forms::Form form(design);
    EXPECT_EQ(Widget(form.Client())->geometry(), QRect(4, 4 + 19 + 19, 481, 332));
    EXPECT_EQ(Widget(&form)->size(), QSize(481 + 8, 332 + 8 + 38));
    EXPECT_TRUE(GetWindowLongPtrA(form.hWnd(), GWL_STYLE) & WS_THICKFRAME);
    EXPECT_FALSE(GetWindowLongPtrA(form.hWnd(), GWL_STYLE) & DS_MODALFRAME);
    form.setCaption("Changed");
    EXPECT_EQ(Widget(&form)->windowTitle(), "Changed");
    EXPECT_EQ(form.Caption(), "Changed");
}

TEST(FormTest, CentredWindowLargerThanTheScreenKeepsItsCaptionOnIt) {
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    forms::Form::Design design;
    design.position = forms::StartUpPosition::CenterScreen;
    design.clientWidth = forms::PixelsToTwips(area.width() + 200);
    design.clientHeight = forms::PixelsToTwips(area.height() / 2);
    forms::Form wide(design);
    wide.Show();
    EXPECT_EQ(Widget(&wide)->pos(),
              QPoint(area.left(), area.center().y() - Widget(&wide)->height() / 2));
    design.clientWidth = forms::PixelsToTwips(100);
    forms::Form small(design);
    small.Show();
    const QWidget* window = Widget(&small);
    EXPECT_EQ(window->pos(), area.center() - QPoint(window->width() / 2, window->height() / 2));
}

// A press on the caption arms a move; it starts only once the pointer has
// moved past the drag distance with the button down (offscreen, with no
// window manager, our own loop carries it out).
TEST(FormTest, CaptionPressMovesOnlyAfterTheDragDistance) {
    forms::Form::Design design;
    design.clientWidth = 3000;
    design.clientHeight = 2000;
    forms::Form shown(design);
    shown.Show();
    QWidget& form = *Widget(&shown);
    const QPoint start = form.pos();
    const QPoint pressed = form.mapToGlobal(QPoint(100, 10)); // on the caption
    auto send = [&](QEvent::Type type, QPoint offset, Qt::MouseButtons buttons) {
        const QPoint global = pressed + offset;
        QMouseEvent event(type, QPointF(form.mapFromGlobal(global)), QPointF(global),
                          type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton, buttons,
                          Qt::NoModifier);
        QApplication::sendEvent(&form, &event);
    };
    // A click: press and release on the spot, then motion without a button.
    send(QEvent::MouseButtonPress, {}, Qt::LeftButton);
    send(QEvent::MouseButtonRelease, {}, Qt::NoButton);
    send(QEvent::MouseMove, QPoint(50, 40), Qt::NoButton);
    EXPECT_EQ(form.pos(), start);
    // Within the drag distance nothing moves; past it the window follows
    // the pointer from where the button went down.
    const int distance = QGuiApplication::styleHints()->startDragDistance();
    send(QEvent::MouseButtonPress, {}, Qt::LeftButton);
    send(QEvent::MouseMove, QPoint(distance - 1, 0), Qt::LeftButton);
    EXPECT_EQ(form.pos(), start);
    send(QEvent::MouseMove, QPoint(30, 20), Qt::LeftButton);
    EXPECT_EQ(form.pos(), start + QPoint(30, 20));
    send(QEvent::MouseButtonRelease, QPoint(40, 25), Qt::NoButton);
    EXPECT_EQ(form.pos(), start + QPoint(40, 25));
    send(QEvent::MouseMove, QPoint(90, 90), Qt::NoButton);
    EXPECT_EQ(form.pos(), start + QPoint(40, 25));
}

TEST(FormTest, HidingTheActiveFormActivatesTheOtherOne) {
    forms::Form::Design design;
    design.clientWidth = 3000;
    design.clientHeight = 2000;
    forms::Form main(design);
    forms::Form about(design);
    main.Show();
    QApplication::processEvents();
    about.Show();
    QApplication::processEvents();
    ASSERT_EQ(GetActiveWindow(), about.hWnd());
    about.Hide();
    EXPECT_EQ(GetActiveWindow(), main.hWnd());
    QApplication::processEvents();
    EXPECT_EQ(GetActiveWindow(), main.hWnd());
    EXPECT_TRUE(Widget(&main)->isActiveWindow());
}

// A close (the Close box, the window manager) asks Form_QueryUnload first:
// cancelled, the form stays loaded and shown; allowed, its unload step runs.
// The program's own Unload() does not ask.
TEST(FormTest, CloseAsksQueryUnloadBeforeTheUnloadStep) {
    class Asking : public forms::Form {
    public:
        Asking(const Design& d, int* gone) : Form(d), gone(gone) {}
        ~Asking() override { ++*gone; }
        bool cancel = true;
        std::vector<std::string> steps;
        int* gone;

    protected:
        void Form_QueryUnload(bool& cancelled) override {
            steps.push_back("query");
            cancelled = cancel;
        }
        void Form_Unload() override { steps.push_back("unload"); }
    };
    forms::Form::Design design;
    design.clientWidth = 3000;
    design.clientHeight = 2000;
    int gone = 0;
    auto* closed = new Asking(design, &gone);
    closed->Show();
    EXPECT_FALSE(Widget(closed)->close());
    EXPECT_TRUE(closed->Visible());
    EXPECT_EQ(closed->steps, std::vector<std::string>{"query"});
    closed->cancel = false;
    EXPECT_TRUE(Widget(closed)->close());
    EXPECT_EQ(closed->steps, (std::vector<std::string>{"query", "query", "unload"}));
    auto* unloaded = new Asking(design, &gone);
    unloaded->Show();
    unloaded->Unload();
    EXPECT_EQ(unloaded->steps, std::vector<std::string>{"unload"});
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(gone, 2);
}

const QColor Black(0, 0, 0), White(255, 255, 255), Shadow(128, 128, 128);

// The focused push button has the black frame; the default button has it
// while no other push button has the focus.
TEST(FormTest, FocusedPushButtonHasTheDefaultFrame) {
    const auto Corner = [](QWidget* button) { return button->grab().toImage().pixelColor(0, 0); };
    forms::Form form(forms::Form::Design{});
    auto* first = new forms::CommandButton(form.Client(), "First");
    auto* byDefault = new forms::CommandButton(form.Client(), "Default");
    auto* check = new forms::CheckBox(form.Client(), "Check");
    byDefault->setDefault(true);
    form.Show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(Widget(&form)));
    first->setFocus();
    EXPECT_EQ(Corner(Widget(first)), Black);
    EXPECT_EQ(Corner(Widget(byDefault)), White);
    check->setFocus();
    EXPECT_EQ(Corner(Widget(first)), White);
    EXPECT_EQ(Corner(Widget(byDefault)), Black);
}

// At twice the pixel density the check box's outer edge is two device pixels
// wide, its inner edge next to it, as the option circle's are.
TEST(FormTest, CheckBoxAndOptionEdgesFollowTheScale) {
    forms::Form form(forms::Form::Design{});
    QWidget* check = Widget(new forms::CheckBox(form.Client(), "Check"));
    QWidget* option = Widget(new forms::OptionButton(form.Client(), "Option"));
    for (QWidget* control : {check, option}) {
        QPixmap pixmap(control->size() * 2);
        pixmap.setDevicePixelRatio(2);
        control->render(&pixmap);
        const QImage image = pixmap.toImage();
        const int y = image.height() / 2; // across the middle of the box or circle
        int x = 0;
        while (x + 2 < image.width() && image.pixelColor(x, y) != Shadow) {
            ++x;
        }
        EXPECT_EQ(image.pixelColor(x + 1, y), Shadow) << control->metaObject()->className();
        EXPECT_EQ(image.pixelColor(x + 2, y), Black) << control->metaObject()->className();
    }
}

} // namespace
