// The main window's design and its load, click and unload steps, in
// temporary emulator directories.
#include "about/Form2.h"
#include "caption/GradForm.h"
#include "editor/edit.h"
#include "launcher/Declarations.h"
#include "launcher/Form1.h"
#include "platform/forms/Design.h"
#include "platform/forms/Testing.h"
#include "platform/forms/Twips.h"
#include "platform/forms/qt/Design.h"
#include "platform/forms/qt/Picture.h"
#include "platform/forms/qt/Widgets.h"
#include "platform/window.h"
#include "support/EmulatorDir.h"
#include "support/MsgBoxRecorder.h"

#include <QDir>
#include <QTest>
#include <functional>
#include <gtest/gtest.h>
#include <ostream>
#include <set>

using namespace tavro;
using platform::forms::OptionButton;
using platform::forms::TabIndex;
using namespace platform::forms::qt;
using tavro::test::EmulatorDir;
using tavro::test::MsgBoxRecorder;

namespace {

class Form1Test : public ::testing::Test {
protected:
    Form1& load() { return Form1::Instance(); }
    // Shown and active, so that keys move the focus as they do for a user.
    Form1& shown() {
        Form1& form = load();
        form.Show();
        EXPECT_TRUE(QTest::qWaitForWindowActive(Widget(&form)));
        return form;
    }

    // The main window shown with "game.drv" open in the editor and an "x"
    // typed at its start.
    Form1& withTypedEditorText() {
        dir.write("drv/game.drv", "name=Game\n");
        Form1& form = load();
        form.Show();
        form.File1->setListIndex(0);
        Widget(form.Command3)->click();
        if (edit::Existing()) {
            QTest::keyClicks(Widget(edit::Existing()->editor), "x");
        }
        return form;
    }

    MsgBoxRecorder messages;
    EmulatorDir dir;
};

QRect Twips(int left, int top, int width, int height) {
    using platform::forms::TwipsToPixels;
    return QRect(TwipsToPixels(left), TwipsToPixels(top), TwipsToPixels(width),
                 TwipsToPixels(height));
}

TEST_F(Form1Test, WindowAndControlsFollowTheDesign) {
    Form1& form = load();
    EXPECT_EQ(form.Caption(), "Tavro 0.1.5");
    EXPECT_EQ(Widget(form.Client())->size(), QSize(765, 442));
    EXPECT_EQ(form.ScaleWidth(), 11475);
    EXPECT_EQ(form.ScaleHeight(), 6630);

    EXPECT_EQ(Widget(form.File1)->geometry(), Twips(360, 1080, 2415, 2820));
    EXPECT_EQ(form.File1->Pattern(), "*.drv");
    EXPECT_EQ(Widget(form.Image1)->geometry(), Twips(2880, 1080, 3495, 2535));
    EXPECT_EQ(Widget(form.Label5)->geometry(), Twips(3000, 1080, 3615, 2175));
    EXPECT_EQ(Widget(form.Frame1)->geometry(), Twips(6840, 1080, 2175, 3975));
    EXPECT_EQ(Widget(form.Frame2)->geometry(), Twips(9360, 1080, 2055, 3855));
    EXPECT_EQ(Widget(form.Command4)->geometry(), Twips(10200, 6240, 1215, 375));
    EXPECT_EQ(Widget(form.Check1)->geometry(), Twips(3240, 5160, 3495, 375));

    // Captions, blanks included.
    EXPECT_EQ(Widget(form.Option16)->text(), "800x600 Vesa 2 ");
    EXPECT_EQ(Widget(form.Option5)->text(), "0   (zero)");
    EXPECT_EQ(Widget(form.Option14)->text(), "9   (nine)");
    EXPECT_EQ(Widget(form.Check3)->text(), "Do NOT Check ROM's");
    EXPECT_EQ(Widget(form.Check1)->text(), "Synchronise the vbl (limit the fps to 60)");
    EXPECT_EQ(Widget(form.Command1)->text(), "Run This Game");
    EXPECT_EQ(Widget(form.Label1)->text(), "Drivers Found");

    // Containers: the options live in their frames, the rest on the window.
    EXPECT_EQ(Widget(form.Option1)->parentWidget(), Widget(form.Frame1));
    EXPECT_EQ(Widget(form.Option16)->parentWidget(), Widget(form.Frame1));
    EXPECT_EQ(Widget(form.Option5)->parentWidget(), Widget(form.Frame2));
    EXPECT_EQ(Widget(form.Option14)->parentWidget(), Widget(form.Frame2));
    EXPECT_EQ(Widget(form.Option1)->width(), 185); // wider than its frame, which clips it

    // Title labels show the picture through; the preview panel does not.
    EXPECT_FALSE(Widget(form.Label1)->autoFillBackground());
    EXPECT_TRUE(Widget(form.Label5)->autoFillBackground());
    EXPECT_TRUE(Widget(form.Label1)->font().bold());
    EXPECT_EQ(Widget(form.Label1)->font().pixelSize(), 16);
    EXPECT_EQ(Widget(form.Label4)->palette().color(QPalette::WindowText), QColor(255, 255, 255));
    EXPECT_EQ(Widget(form.Command4)->palette().color(QPalette::Button), QColor(0, 0, 255));
    EXPECT_EQ(Widget(form.File1)->palette().color(QPalette::Base), QColor(255, 255, 192));

    // The preview picture lies under every other control.
    const QObjectList& children = Widget(form.Client())->children();
    EXPECT_LT(children.indexOf(Widget(form.Label5)), children.indexOf(Widget(form.Image1)));
    EXPECT_LT(children.indexOf(Widget(form.Image1)), children.indexOf(Widget(form.File1)));
}

TEST_F(Form1Test, TabIndexesRunWithoutGapAndOnlyControlsTakeFocus) {
    Form1& form = load();
    std::set<int> indexes;
    for (QWidget* w : Widget(form.Client())->findChildren<QWidget*>()) {
        const int index = TabIndex(w);
        if (index >= 0) {
            EXPECT_TRUE(indexes.insert(index).second) << "duplicate tab index " << index;
        }
    }
    ASSERT_EQ(indexes.size(), 33u);
    EXPECT_EQ(*indexes.begin(), 0);
    EXPECT_EQ(*indexes.rbegin(), 32);
    EXPECT_EQ(TabIndex(form.File1), 0);
    EXPECT_EQ(TabIndex(form.Check5), 32);
    EXPECT_EQ(TabIndex(form.Option15), 29);
    for (QWidget* w : std::initializer_list<QWidget*>{Widget(form.Label1), Widget(form.Label5),
                                                      Widget(form.Frame1), Widget(form.Image1)}) {
        EXPECT_EQ(w->focusPolicy(), Qt::NoFocus);
    }
    // The focus chain follows the tab indexes: Check1 (24) -> Check2 (25).
    EXPECT_EQ(Widget(form.Check1)->nextInFocusChain(), Widget(form.Check2));
    EXPECT_EQ(Widget(form.Command3)->nextInFocusChain(), Widget(form.Check1));
}

TEST_F(Form1Test, OptionGroupsAreExclusiveAndIndependent) {
    Form1& form = load();
    form.Option2->setValue(true);
    form.Option7->setValue(true);
    form.Option15->setValue(true);
    EXPECT_FALSE(form.Option2->Value());
    EXPECT_TRUE(form.Option15->Value());
    EXPECT_TRUE(form.Option7->Value());
    form.Option14->setValue(true);
    EXPECT_FALSE(form.Option7->Value());
    EXPECT_TRUE(form.Option15->Value());
    QTest::mouseClick(Widget(form.Option4), Qt::LeftButton);
    EXPECT_TRUE(form.Option4->Value());
    EXPECT_FALSE(form.Option15->Value());
    EXPECT_TRUE(form.Option14->Value());
}

TEST_F(Form1Test, CheckBoxesStartUncheckedAndClicksNeverGray) {
    Form1& form = load();
    for (auto* box : {form.Check1, form.Check2, form.Check3, form.Check4, form.Check5}) {
        EXPECT_EQ(box->Value(), 0);
    }
    form.Check2->setValue(2);
    EXPECT_EQ(form.Check2->Value(), 2);
    Widget(form.Check2)->click();
    EXPECT_EQ(form.Check2->Value(), 0);
    Widget(form.Check2)->click();
    EXPECT_EQ(form.Check2->Value(), 1);
}

TEST_F(Form1Test, LoadLeavesNothingSelected) {
    dir.write("drv/game.drv", "x");
    Form1& form = load();
    EXPECT_EQ(DriverFile, "");
    EXPECT_EQ(DriverPath, dir.rawFile("drv/").toStdString());
    EXPECT_EQ(PreviewPath, dir.rawFile("preview/.jpg").toStdString());
    EXPECT_TRUE(form.Image1->Picture().IsEmpty());
    EXPECT_EQ(form.File1->ListIndex(), -1);
    EXPECT_TRUE(messages.empty());
}

TEST_F(Form1Test, ListShowsDriversCaseInsensitivelySortedWithExactNames) {
    dir.write("drv/zeta.drv", "");
    dir.write("drv/Alpha.DRV", "");
    dir.write("drv/Bob's Maze.drv", "");
    dir.write("drv/Café Racer.drv", "");
    dir.write("drv/a; rm -rf $(x) `y` *~.drv", "");
    dir.write("drv/readme.txt", "");
    dir.write("drv/.hidden.drv", "");
    dir.write("drv/game.drv.bak", "");
    dir.makeDir("drv/folder.drv");
    Form1& form = load();
    QStringList listed;
    for (int i = 0; i < form.File1->ListCount(); ++i) {
        listed << QString::fromStdString(form.File1->List(i));
    }
    EXPECT_EQ(listed, QStringList({"a; rm -rf $(x) `y` *~.drv", "Alpha.DRV", "Bob's Maze.drv",
                                   "Café Racer.drv", "zeta.drv"}));
    form.File1->setListIndex(3);
    EXPECT_EQ(DriverFile, "Café Racer.drv");
    EXPECT_EQ(PreviewPath, dir.rawFile("preview/404.jpg").toStdString());
}

TEST_F(Form1Test, MissingDriverDirectoryIsReportedAndTheWindowStillOpens) {
    QDir(dir.file("drv")).removeRecursively();
    Form1& form = load();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_TRUE(messages[0].text.contains(dir.path() + "/drv/"));
    EXPECT_EQ(form.File1->ListCount(), 0);
    EXPECT_EQ(DriverFile, "");
}

TEST_F(Form1Test, ClickShowsTheWholeNamePreviewAtItsNaturalSize) {
    dir.write("drv/game.drv", "x");
    dir.writePicture("preview/game.drv.jpg", 300, 200);
    dir.writePicture("preview/game.jpg", 10, 10);
    dir.writePicture("preview/404.jpg", 40, 30);
    Form1& form = load();
    form.File1->setListIndex(0);
    EXPECT_EQ(DriverFile, "game.drv");
    EXPECT_EQ(PreviewPath, dir.rawFile("preview/game.drv.jpg").toStdString());
    EXPECT_EQ(PixmapOf(form.Image1->Picture()).size(), QSize(300, 200));
    // Larger than the design box, anchored at its Left and Top.
    EXPECT_EQ(Widget(form.Image1)->geometry(), QRect(192, 72, 300, 200));
}

TEST_F(Form1Test, MissingPreviewShowsFallbackWithoutCreatingAFile) {
    dir.write("drv/game.drv", "x");
    dir.writePicture("preview/404.jpg", 40, 30);
    Form1& form = load();
    form.File1->setListIndex(0);
    EXPECT_FALSE(dir.exists("preview/game.drv.jpg"));
    EXPECT_EQ(PreviewPath, dir.rawFile("preview/404.jpg").toStdString());
    EXPECT_EQ(PixmapOf(form.Image1->Picture()).size(), QSize(40, 30));
    EXPECT_EQ(QDir(dir.file("preview")).entryList(QDir::Files), QStringList({"404.jpg"}));
}

TEST_F(Form1Test, EmptyPreviewIsDeletedAndFallbackShown) {
    dir.write("drv/game.drv", "x");
    dir.write("preview/game.drv.jpg", "");
    dir.writePicture("preview/404.jpg", 40, 30);
    Form1& form = load();
    form.File1->setListIndex(0);
    EXPECT_FALSE(dir.exists("preview/game.drv.jpg"));
    EXPECT_EQ(PixmapOf(form.Image1->Picture()).size(), QSize(40, 30));
}

TEST_F(Form1Test, BrokenPicturesNeverEndTheProgram) {
    dir.write("drv/a.drv", "x");
    dir.write("drv/b.drv", "x");
    dir.write("preview/a.drv.jpg", "this is not a picture");
    dir.writePicture("preview/404.jpg", 40, 30);
    Form1& form = load();
    form.File1->setListIndex(0);
    EXPECT_TRUE(dir.exists("preview/a.drv.jpg")); // unreadable, but not empty: kept
    EXPECT_EQ(PixmapOf(form.Image1->Picture()).size(), QSize(40, 30));

    dir.write("preview/404.jpg", "broken too");
    form.File1->setListIndex(1);
    EXPECT_TRUE(form.Image1->Picture().IsEmpty());
    EXPECT_EQ(DriverFile, "b.drv");
}

TEST_F(Form1Test, MissingOrReadOnlyPreviewDirectoryIsHarmless) {
    dir.write("drv/a.drv", "x");
    QDir(dir.file("preview")).removeRecursively();
    Form1& form = load();
    form.File1->setListIndex(0);
    EXPECT_EQ(DriverFile, "a.drv");
    EXPECT_TRUE(form.Image1->Picture().IsEmpty());
    EXPECT_FALSE(dir.exists("preview"));
}

TEST_F(Form1Test, ClickChangesFileAndPreviewButNotDriverPath) {
    dir.write("drv/a.drv", "x");
    dir.write("drv/b.drv", "x");
    Form1& form = load();
    form.File1->setListIndex(0);
    EXPECT_EQ(DriverPath, dir.rawFile("drv/").toStdString());
    RefreshDriverPaths();
    EXPECT_EQ(DriverPath, dir.rawFile("drv/a.drv").toStdString());
    form.File1->setListIndex(1);
    EXPECT_EQ(DriverFile, "b.drv");
    EXPECT_EQ(PreviewPath, dir.rawFile("preview/404.jpg").toStdString());
    EXPECT_EQ(DriverPath, dir.rawFile("drv/a.drv").toStdString());
}

TEST_F(Form1Test, KeyboardSelectionRaisesTheClickButFocusAloneDoesNot) {
    dir.write("drv/a.drv", "x");
    dir.write("drv/b.drv", "x");
    Form1& form = load();
    form.Show();
    form.File1->setFocus();
    QApplication::processEvents();
    EXPECT_EQ(DriverFile, "");
    form.File1->setListIndex(0);
    QTest::keyClick(Widget(form.File1), Qt::Key_Down);
    EXPECT_EQ(DriverFile, "b.drv");
}

TEST_F(Form1Test, ButtonsOpenTheEditorAndAboutWindows) {
    dir.write("drv/game.drv", "name=Game\n");
    Form1& form = load();
    form.File1->setListIndex(0);
    Widget(form.Command3)->click();
    ASSERT_NE(edit::Existing(), nullptr);
    EXPECT_EQ(edit::Existing()->Caption(), "Tavro Driver Editor - [game.drv]");
    Widget(form.Command4)->click();
    ASSERT_NE(Form2::Existing(), nullptr);
    EXPECT_EQ(Form2::Existing()->Caption(), "About Tavro...");
}

TEST_F(Form1Test, ClosingWithUnsavedEditorTextAsksFirstThenEnds) {
    Form1& form = withTypedEditorText();
    ASSERT_NE(edit::Existing(), nullptr);
    messages.clear();
    messages.otherwise = platform::IDYES;
    Widget(&form)->close();
    ASSERT_FALSE(messages.empty());
    EXPECT_EQ(messages[0].text, "This Driver has Changed, Want to save it?");
    EXPECT_TRUE(dir.read("drv/game.drv").startsWith("x"));
    EXPECT_TRUE(platform::forms::EndRequested());
}

TEST_F(Form1Test, ClosingWhileTheEditorCannotSaveKeepsTheProgram) {
    Form1& form = withTypedEditorText();
    ASSERT_NE(edit::Existing(), nullptr);
    ASSERT_TRUE(QDir(dir.path()).rename("drv", "drv.moved"));
    dir.write("drv", "not a directory");
    messages.clear();
    messages.otherwise = platform::IDYES;

    Widget(&form)->close(); // Yes, and the save fails
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_TRUE(messages[1].text.contains("your text is still in the editor"));
    EXPECT_FALSE(platform::forms::EndRequested());
    EXPECT_EQ(Form1::Existing(), &form);
    EXPECT_TRUE(form.Visible());
    EXPECT_EQ(platform::GetWindowLongPtrA(form.hWnd(), platform::GWLP_WNDPROC),
              reinterpret_cast<platform::LONG_PTR>(&CaptionWndProc));
    ASSERT_NE(edit::Existing(), nullptr);
    EXPECT_EQ(edit::Existing()->editor->Text(), "xname=Game\n");

    messages.otherwise = platform::IDNO; // No ends the program as designed
    Widget(&form)->close();
    EXPECT_TRUE(platform::forms::EndRequested());
}

TEST_F(Form1Test, UnloadEndsTheProgram) {
    Form1& form = load();
    form.Show();
    EXPECT_FALSE(platform::forms::EndRequested());
    Widget(&form)->close();
    EXPECT_TRUE(platform::forms::EndRequested());
}

// --- Keyboard --------------------------------------------------------------------

using Option = OptionButton* Form1::*;

TEST_F(Form1Test, ArrowKeysMoveWithinAnOptionGroupAndSelect) {
    Form1& form = shown();
    struct Row {
        Option from;
        Qt::Key key;
        Option to;
    };
    const std::vector<Row> rows = {
        {&Form1::Option2, Qt::Key_Down, &Form1::Option3},
        {&Form1::Option3, Qt::Key_Up, &Form1::Option2},
        {&Form1::Option4, Qt::Key_Right, &Form1::Option15}, // next by tab index
        {&Form1::Option16, Qt::Key_Down, &Form1::Option1},  // round the group
        {&Form1::Option1, Qt::Key_Left, &Form1::Option16},
        {&Form1::Option14, Qt::Key_Down, &Form1::Option5},
        {&Form1::Option9, Qt::Key_Up, &Form1::Option8},
    };
    for (const Row& row : rows) {
        (form.*row.from)->setFocus();
        QTest::keyClick(Widget(form.*row.from), row.key);
        const QString name = Widget(form.*row.to)->text();
        EXPECT_EQ(Widget(&form)->focusWidget(), Widget(form.*row.to)) << name.toStdString();
        EXPECT_TRUE((form.*row.to)->Value()) << name.toStdString();
        EXPECT_FALSE((form.*row.from)->Value()) << name.toStdString();
    }
    // Each group kept its own last choice.
    EXPECT_TRUE(form.Option16->Value());
    EXPECT_TRUE(form.Option8->Value());
}

struct TabRow {
    const char* name; // the test's name
    const char* selected;
    std::vector<Option> options;
    std::vector<const char*> stops; // Tab from File1 round to File1
};

void PrintTo(const TabRow& row, std::ostream* os) {
    *os << row.selected;
}

const TabRow TabRows[] = {
    {"FrameSkipTwoNoScreenMode",
     "frame skip 2, no screen mode",
     {&Form1::Option7},
     {"256x256 Linear", "2   (two)", "Run This Game", "Write Game List", "Edit This Driver",
      "Synchronise the vbl (limit the fps to 60)", "Debug Mode", "Do NOT Check ROM's", "About",
      "Sound Enabled", "Profile Mode", ""}},
    {"Screen800x600AndFrameSkipNine",
     "800x600 and frame skip 9",
     {&Form1::Option16, &Form1::Option14},
     {"9   (nine)", "Run This Game", "Write Game List", "Edit This Driver",
      "Synchronise the vbl (limit the fps to 60)", "Debug Mode", "Do NOT Check ROM's", "About",
      "800x600 Vesa 2 ", "Sound Enabled", "Profile Mode", ""}},
};

class Form1TabStops : public Form1Test, public ::testing::WithParamInterface<TabRow> {};

TEST_P(Form1TabStops, OnceInEachOptionGroupOnItsSelectedOption) {
    const TabRow& row = GetParam();
    const auto caption = [](QWidget* w) {
        auto* button = qobject_cast<QAbstractButton*>(w);
        return button ? button->text().toStdString() : std::string();
    };
    Form1& form = shown();
    for (Option option : row.options) {
        (form.*option)->setValue(true);
    }
    form.File1->setFocus();
    std::vector<std::string> forward;
    for (std::size_t i = 0; i < row.stops.size(); ++i) {
        QTest::keyClick(Widget(&form)->focusWidget(), Qt::Key_Tab);
        forward.push_back(caption(Widget(&form)->focusWidget()));
    }
    EXPECT_EQ(forward, std::vector<std::string>(row.stops.begin(), row.stops.end()))
        << row.selected;
    EXPECT_EQ(Widget(&form)->focusWidget(), Widget(form.File1)) << row.selected;
    std::vector<std::string> backward;
    for (std::size_t i = 0; i < row.stops.size(); ++i) {
        QTest::keyClick(Widget(&form)->focusWidget(), Qt::Key_Backtab, Qt::ShiftModifier);
        backward.push_back(caption(Widget(&form)->focusWidget()));
    }
    std::vector<std::string> expected(row.stops.rbegin() + 1, row.stops.rend());
    expected.push_back("");
    EXPECT_EQ(backward, expected) << row.selected;
    // Moving the focus selected nothing.
    for (Option option : row.options) {
        EXPECT_TRUE((form.*option)->Value()) << row.selected;
    }
}

INSTANTIATE_TEST_SUITE_P(Choices, Form1TabStops, ::testing::ValuesIn(TabRows),
                         [](const ::testing::TestParamInfo<TabRow>& info) {
                             return std::string(info.param.name);
                         });

struct ButtonKeyRow {
    const char* keys; // also the test's name
    std::function<void(QWidget*)> press;
    std::function<void(QWidget*)> release;
    int clicksAfterPress;
};

void PrintTo(const ButtonKeyRow& row, std::ostream* os) {
    *os << row.keys;
}

const ButtonKeyRow ButtonKeyRows[] = {
    {"Return", [](QWidget* w) { QTest::keyClick(w, Qt::Key_Return); }, [](QWidget*) {}, 1},
    {"Enter", [](QWidget* w) { QTest::keyClick(w, Qt::Key_Enter, Qt::KeypadModifier); },
     [](QWidget*) {}, 1},
    {"Space", [](QWidget* w) { QTest::keyPress(w, Qt::Key_Space); },
     [](QWidget* w) { QTest::keyRelease(w, Qt::Key_Space); }, 0},
};

class Form1PushButtons : public Form1Test, public ::testing::WithParamInterface<ButtonKeyRow> {};

TEST_P(Form1PushButtons, ClickOnEnterAndOnSpaceRelease) {
    const ButtonKeyRow& row = GetParam();
    Form1& form = shown();
    form.Command4->setFocus();
    int clicks = 0; // counted around the window's own handler, which still runs
    form.Command4->Click = [&, handler = form.Command4->Click] { ++clicks, handler(); };
    row.press(Widget(form.Command4));
    EXPECT_EQ(clicks, row.clicksAfterPress) << row.keys;
    row.release(Widget(form.Command4));
    EXPECT_EQ(clicks, 1) << row.keys;
}

INSTANTIATE_TEST_SUITE_P(Keys, Form1PushButtons, ::testing::ValuesIn(ButtonKeyRows),
                         [](const ::testing::TestParamInfo<ButtonKeyRow>& info) {
                             return std::string(info.param.keys);
                         });

TEST_F(Form1Test, EscapeDoesNothingOnTheMainWindow) {
    dir.write("drv/a.drv", "x");
    Form1& form = shown();
    form.File1->setListIndex(0);
    form.Option3->setValue(true);
    for (QWidget* w : std::vector<QWidget*>{Widget(form.File1), Widget(form.Option3),
                                            Widget(form.Check2), Widget(form.Command1)}) {
        w->setFocus();
        QTest::keyClick(w, Qt::Key_Escape);
        EXPECT_EQ(Widget(&form)->focusWidget(), w);
    }
    EXPECT_TRUE(form.Visible());
    EXPECT_FALSE(platform::forms::EndRequested());
    EXPECT_EQ(DriverFile, "a.drv");
    EXPECT_EQ(form.File1->FileName(), "a.drv");
    EXPECT_TRUE(form.Option3->Value());
    EXPECT_EQ(form.Check2->Value(), 0);
    EXPECT_EQ(messages.size(), 0u);
}

} // namespace
