// The driver editor window: opening, the changed flag, the save question on
// Exit and on the Close box, failures that must not lose the user's text, and
// the question asked when the program ends.
#include "caption/GradForm.h"
#include "editor/edit.h"
#include "launcher/Declarations.h"
#include "launcher/Form1.h"
#include "platform/forms/Design.h"
#include "platform/forms/Twips.h"
#include "platform/forms/qt/Widgets.h"
#include "platform/window_host.h"
#include "support/EmulatorDir.h"
#include "support/MsgBoxRecorder.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QMimeData>
#include <QTest>
#include <ctime>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace tavro;
using platform::forms::TwipsToPixels;
using namespace platform::forms::qt;
using tavro::test::EmulatorDir;
using tavro::test::MsgBoxRecorder;

namespace {

const QString Question = "This Driver has Changed, Want to save it?";

bool PainterInstalled(const edit& form) {
    return platform::GetWindowLongPtrA(form.hWnd(), platform::GWLP_WNDPROC) ==
           reinterpret_cast<platform::LONG_PTR>(&CaptionWndProc);
}

// Drops text on the editor as a drag from another program would.
void DropText(QPlainTextEdit* editor, const QString& text) {
    QMimeData data;
    data.setText(text);
    const QPoint at(4, 4);
    QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(editor->viewport(), &enter);
    QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(editor->viewport(), &drop);
}

class EditTest : public ::testing::Test {
protected:
    void TearDown() override {
        delete edit::Existing();
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    void select(const QString& name) {
        Form1& form = Form1::Instance();
        for (int i = 0; i < form.File1->ListCount(); ++i) {
            if (form.File1->List(i) == QFile::encodeName(name).toStdString()) {
                form.File1->setListIndex(i);
                return;
            }
        }
        FAIL() << "no driver " << name.toStdString();
    }
    edit& open() {
        edit::Open();
        edit* form = edit::Existing();
        EXPECT_NE(form, nullptr);
        return *form;
    }
    static void type(edit& f, const QString& keys) { QTest::keyClicks(Widget(f.editor), keys); }
    // Lets an unloaded window go, as the event loop would.
    static void settle() { QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }
    QStringList texts() const { return messages.texts(); }

    MsgBoxRecorder messages; // outlives the directory, whose end closes the windows
    EmulatorDir dir;
};

TEST_F(EditTest, WindowFollowsTheDesign) {
    edit form;
    EXPECT_EQ(form.Caption(), "Tavro Driver Editor - [No Driver]");
    EXPECT_EQ(form.ScaleWidth(), 7215);
    EXPECT_EQ(form.ScaleHeight(), 4980);
    EXPECT_EQ(Widget(form.editor)->geometry(),
              QRect(0, 0, TwipsToPixels(6855), TwipsToPixels(4815)));
    EXPECT_EQ(Widget(form.editor)->font().family(), "Courier New");
    EXPECT_EQ(Widget(form.editor)->font().pixelSize(), 13);
    EXPECT_EQ(Widget(form.editor)->lineWrapMode(), QPlainTextEdit::NoWrap);
    EXPECT_EQ(platform::forms::TabIndex(form.editor), 0);
    const platform::LONG_PTR style = platform::GetWindowLongPtrA(form.hWnd(), platform::GWL_STYLE);
    EXPECT_TRUE(style & platform::WS_THICKFRAME);
    EXPECT_TRUE(style & platform::WS_MINIMIZEBOX);
    EXPECT_TRUE(style & platform::WS_MAXIMIZEBOX);
    EXPECT_TRUE(style & platform::WS_SYSMENU);
    EXPECT_EQ(platform::MenuItemsRecord(form.hWnd()), std::vector<std::string>{"E&xit"});
    EXPECT_EQ(platform::WindowSmallIconRecord(form.hWnd()), nullptr);
    // The editor is the only control that takes the focus.
    for (QWidget* w : Widget(&form)->findChildren<QWidget*>()) {
        if (w->focusPolicy() != Qt::NoFocus) {
            EXPECT_TRUE(w == Widget(form.editor) || w->focusProxy() == Widget(form.editor))
                << w->metaObject()->className();
        }
    }
}

TEST_F(EditTest, OpenLoadsTheSelectedDriverWithThePainter) {
    dir.write("drv/game.drv", "ROM_START\r\nROM_END\r\n");
    select("game.drv");
    edit& form = open();
    EXPECT_TRUE(form.Visible());
    EXPECT_EQ(form.Caption(), "Tavro Driver Editor - [game.drv]");
    EXPECT_EQ(form.editor->Text(), "ROM_START\nROM_END\n");
    EXPECT_EQ(form.Tag, "");
    EXPECT_EQ(DriverPath, dir.rawFile("drv/game.drv").toStdString());
    EXPECT_TRUE(PainterInstalled(form));
    EXPECT_TRUE(messages.empty());

    // At the created size the editor is 7135 x 4960 twips.
    EXPECT_EQ(Widget(form.editor)->size(), QSize(TwipsToPixels(7135), TwipsToPixels(4960)));
}

TEST_F(EditTest, NothingTypedExitAsksNothingAndKeepsTheFile) {
    dir.write("drv/game.drv", "line\n");
    select("game.drv");
    edit& form = open();
    QTest::keyClick(Widget(form.editor), Qt::Key_Down); // moving about changes nothing
    form.mnu_sair_Click();
    EXPECT_TRUE(messages.empty());
    EXPECT_FALSE(form.Visible());
    EXPECT_EQ(edit::Existing(), &form); // hidden, still loaded
    EXPECT_EQ(dir.read("drv/game.drv"), "line\n");
}

TEST_F(EditTest, TypeExitNoThenReopenShowsTheTextAndAsksAgain) {
    dir.write("drv/game.drv", "line\n");
    select("game.drv");
    edit& form = open();
    type(form, "ab");
    EXPECT_EQ(form.Tag, "1");
    form.mnu_sair_Click();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text, Question);
    EXPECT_EQ(messages[0].style, 36);
    EXPECT_EQ(messages[0].title, "Question");
    EXPECT_FALSE(form.Visible());
    EXPECT_EQ(dir.read("drv/game.drv"), "line\n");

    dir.write("drv/game.drv", "changed on disk\n");
    edit::Open();
    EXPECT_EQ(edit::Existing(), &form);
    EXPECT_TRUE(form.Visible());
    EXPECT_EQ(form.editor->Text(), "abline\n"); // not reloaded
    EXPECT_EQ(form.Tag, "1");
    form.mnu_sair_Click();
    EXPECT_EQ(texts(), QStringList({Question, Question}));
}

TEST_F(EditTest, YesSavesAndTheNextExitAsksAgain) {
    dir.write("drv/game.drv", "line\r\n");
    select("game.drv");
    edit& form = open();
    QTest::keyClick(Widget(form.editor), Qt::Key_End);
    QTest::keyClick(Widget(form.editor), Qt::Key_Return);
    type(form, "new");
    messages.answers = {platform::IDYES};
    form.mnu_sair_Click();
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[1].text, "Driver Saved!");
    EXPECT_EQ(messages[1].style, 64);
    EXPECT_EQ(messages[1].title, "Tavro Driver Editor");
    EXPECT_EQ(dir.read("drv/game.drv"), "line\r\nnew\r\n");
    EXPECT_FALSE(form.Visible());

    edit::Open();
    EXPECT_EQ(form.Tag, "1"); // a save never clears the flag
    form.mnu_sair_Click();
    EXPECT_EQ(texts(), QStringList({Question, "Driver Saved!", Question}));
}

// Every change to the text counts, not only the keys that set the flag.
TEST_F(EditTest, EveryChangeOfTheTextIsAskedAbout) {
    const QList<QPair<const char*, std::function<void(edit&)>>> edits = {
        {"Delete", [](edit& f) { QTest::keyClick(Widget(f.editor), Qt::Key_Delete); }},
        {"cut", [](edit& f) { Widget(f.editor)->selectAll(), Widget(f.editor)->cut(); }},
        {"paste",
         [](edit& f) {
             QApplication::clipboard()->setText("pasted ");
             Widget(f.editor)->paste();
         }},
        {"drop", [](edit& f) { DropText(Widget(f.editor), "dropped "); }},
    };
    for (const auto& [name, change] : edits) {
        SCOPED_TRACE(name);
        dir.write("drv/game.drv", "abcdef\n");
        select("game.drv");
        edit& form = open();
        change(form);
        EXPECT_NE(form.editor->Text(), "abcdef\n");
        EXPECT_EQ(form.Tag, ""); // no character key was pressed
        messages.answers = {platform::IDNO};
        form.mnu_sair_Click();
        edit::AskBeforeProgramEnds();
        EXPECT_EQ(texts(), QStringList({Question, Question}));
        messages.answers = {platform::IDNO};
        Widget(&form)->close();
        EXPECT_EQ(texts(), QStringList({Question, Question, Question}));
        EXPECT_EQ(dir.read("drv/game.drv"), "abcdef\n");
        messages.clear();
        settle();
    }
}

TEST_F(EditTest, UndoAndRedoAfterASaveAreChanges) {
    dir.write("drv/game.drv", "old\n");
    select("game.drv");
    edit& form = open();
    QApplication::clipboard()->setText("new ");
    Widget(form.editor)->paste();
    messages.answers = {platform::IDYES};
    form.mnu_sair_Click();
    EXPECT_EQ(dir.read("drv/game.drv"), "new old\n");
    edit::AskBeforeProgramEnds(); // saved: nothing to ask
    EXPECT_EQ(texts(), QStringList({Question, "Driver Saved!"}));

    edit::Open();
    Widget(form.editor)->undo();
    messages.answers = {platform::IDYES};
    form.mnu_sair_Click();
    EXPECT_EQ(dir.read("drv/game.drv"), "old\n");
    edit::Open();
    Widget(form.editor)->redo();
    edit::AskBeforeProgramEnds();
    EXPECT_EQ(texts(),
              QStringList({Question, "Driver Saved!", Question, "Driver Saved!", Question}));
}

TEST_F(EditTest, TypingKeysSetTheFlag) {
    dir.write("drv/game.drv", "abc\n");
    select("game.drv");
    edit& form = open();
    const QList<QPair<Qt::Key, Qt::KeyboardModifiers>> keys = {
        {Qt::Key_Z, Qt::NoModifier},         {Qt::Key_Return, Qt::NoModifier},
        {Qt::Key_Backspace, Qt::NoModifier}, {Qt::Key_V, Qt::ControlModifier},
        {Qt::Key_X, Qt::ControlModifier},
    };
    for (const auto& [key, modifiers] : keys) {
        form.Tag.clear();
        QTest::keyClick(Widget(form.editor), key, modifiers);
        EXPECT_EQ(form.Tag, "1") << key;
    }
    form.Tag.clear();
    for (Qt::Key key : {Qt::Key_Delete, Qt::Key_Left, Qt::Key_Right, Qt::Key_Up, Qt::Key_Down}) {
        QTest::keyClick(Widget(form.editor), key);
    }
    QTest::mouseClick(Widget(form.editor)->viewport(), Qt::LeftButton, {}, QPoint(4, 4));
    EXPECT_EQ(form.Tag, "");
}

TEST_F(EditTest, AltXIsExit) {
    dir.write("drv/game.drv", "abc\n");
    select("game.drv");
    edit& form = open();
    ASSERT_TRUE(QTest::qWaitForWindowActive(Widget(&form)));
    QTest::keyClick(Widget(form.editor), Qt::Key_X, Qt::AltModifier);
    EXPECT_FALSE(form.Visible());
    EXPECT_EQ(form.Tag, "");
    EXPECT_EQ(form.editor->Text(), "abc\n");
}

TEST_F(EditTest, CloseBoxWithNoUnloadsAndTheNextOpenLoadsAfresh) {
    dir.write("drv/game.drv", "first\n");
    select("game.drv");
    edit& form = open();
    type(form, "x");
    bool painterDuringQuestion = true;
    messages.whileShown = [&] { painterDuringQuestion = PainterInstalled(form); };
    platform::SendMessageA(form.hWnd(), platform::WM_SYSCOMMAND, platform::SC_CLOSE, 0);
    messages.whileShown = nullptr;
    EXPECT_EQ(texts(), QStringList({Question}));
    EXPECT_FALSE(painterDuringQuestion); // removed before the question
    EXPECT_EQ(edit::Existing(), nullptr);
    settle();

    dir.write("drv/game.drv", "second\n");
    edit& again = open();
    EXPECT_EQ(again.editor->Text(), "second\n");
    EXPECT_EQ(again.Tag, "");
    EXPECT_TRUE(PainterInstalled(again));
}

TEST_F(EditTest, CloseBoxWithYesSavesAndUnloads) {
    dir.write("drv/game.drv", "first\n");
    select("game.drv");
    edit& form = open();
    type(form, "x");
    messages.answers = {platform::IDYES};
    Widget(&form)->close();
    EXPECT_EQ(texts(), QStringList({Question, "Driver Saved!"}));
    EXPECT_EQ(dir.read("drv/game.drv"), "xfirst\n");
    EXPECT_EQ(edit::Existing(), nullptr);
}

TEST_F(EditTest, TheEditorKeepsItsDriverWhenAnotherIsChosen) {
    dir.write("drv/a.drv", "driver a\n");
    dir.write("drv/b.drv", "driver b\n");
    select("a.drv");
    edit& form = open();
    form.mnu_sair_Click();
    select("b.drv");
    EXPECT_EQ(DriverFile, "b.drv");
    edit::Open();
    EXPECT_EQ(form.Caption(), "Tavro Driver Editor - [a.drv]");
    EXPECT_EQ(form.editor->Text(), "driver a\n");
    type(form, "A: ");
    messages.answers = {platform::IDYES};
    form.mnu_sair_Click();
    EXPECT_EQ(dir.read("drv/a.drv"), "A: driver a\n");
    EXPECT_EQ(dir.read("drv/b.drv"), "driver b\n");
}

TEST_F(EditTest, ResizeFollowsTheClientAreaAndNeverGoesNegative) {
    dir.write("drv/game.drv", "x\n");
    select("game.drv");
    edit& form = open();
    Widget(&form)->resize(Widget(&form)->width() + 150, Widget(&form)->height() + 90);
    EXPECT_EQ(Widget(form.editor)->size(),
              QSize(TwipsToPixels(form.ScaleWidth() - 80), TwipsToPixels(form.ScaleHeight() - 20)));
    EXPECT_EQ(Widget(form.editor)->pos(), QPoint(0, 0));

    Widget(&form)->setMinimumSize(0, 0);
    Widget(&form)->resize(12, 12);
    EXPECT_LE(form.ScaleWidth(), 80);
    EXPECT_EQ(Widget(form.editor)->size(), QSize(0, 0));
}

TEST_F(EditTest, NoDriverSelectedSaysSoAndOpensNothing) {
    dir.write("drv/game.drv", "x\n");
    Form1::Instance();
    edit::Open();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].style, 48);
    EXPECT_TRUE(messages[0].text.contains("No driver is selected"));
    EXPECT_EQ(edit::Existing(), nullptr);
    settle();
    for (QWidget* w : QApplication::topLevelWidgets()) {
        const auto* window = qobject_cast<FormWindow*>(w);
        EXPECT_EQ(window ? dynamic_cast<edit*>(window->form()) : nullptr, nullptr);
    }
}

TEST_F(EditTest, UnreadableDriverSaysWhyAndOpensNothing) {
    dir.write("drv/game.drv", "x\n");
    select("game.drv");
    QFile::remove(dir.file("drv/game.drv")); // gone since the list was read
    edit::Open();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].style, 16);
    EXPECT_TRUE(messages[0].text.contains(dir.file("drv/game.drv")));
    EXPECT_TRUE(messages[0].text.contains("No such file or directory"));
    EXPECT_EQ(edit::Existing(), nullptr);

    // Once the file is back, the editor opens normally.
    dir.write("drv/game.drv", "back\n");
    settle();
    edit& form = open();
    EXPECT_EQ(form.editor->Text(), "back\n");
}

TEST_F(EditTest, DriverThatCannotBeCarriedThroughOpensReadOnlyAndSaysWhy) {
    dir.write("drv/game.drv", "a\xE2\x80\xA9 b\xEE\x80\x80\n"); // U+2029 and its stand-in
    select("game.drv");
    edit& form = open();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].style, 48);
    EXPECT_TRUE(messages[0].text.contains(dir.file("drv/game.drv")));
    EXPECT_TRUE(messages[0].text.contains("read-only")) << messages[0].text.toStdString();
    EXPECT_TRUE(form.Visible());
    EXPECT_TRUE(Widget(form.editor)->isReadOnly());
}

TEST_F(EditTest, FailedSaveKeepsTheOldFileAndTheText) {
    dir.write("drv/game.drv", "old\n");
    select("game.drv");
    edit& form = open();
    type(form, "new ");
    // The drv directory is moved away and a plain file takes its name.
    ASSERT_TRUE(QDir(dir.path()).rename("drv", "drv.moved"));
    dir.write("drv", "not a directory");

    messages.answers = {platform::IDYES};
    form.mnu_sair_Click();
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[1].style, 16);
    EXPECT_TRUE(messages[1].text.contains(dir.file("drv/game.drv")));
    EXPECT_TRUE(messages[1].text.contains("Not a directory")) << messages[1].text.toStdString();
    EXPECT_FALSE(texts().contains("Driver Saved!"));
    EXPECT_TRUE(form.Visible()); // still shown, with the text
    EXPECT_EQ(form.editor->Text(), "new old\n");
    EXPECT_EQ(dir.read("drv.moved/game.drv"), "old\n");

    // The Close box does not throw the text away after a failed save either.
    messages.answers = {platform::IDYES};
    Widget(&form)->close();
    EXPECT_EQ(edit::Existing(), &form);
    EXPECT_TRUE(form.Visible());
    EXPECT_TRUE(PainterInstalled(form));
    EXPECT_EQ(messages.size(), 4u);

    // With the directory back, the same text is saved.
    QFile::remove(dir.file("drv"));
    ASSERT_TRUE(QDir(dir.path()).rename("drv.moved", "drv"));
    messages.answers = {platform::IDYES};
    Widget(&form)->close();
    EXPECT_EQ(messages.back().text, "Driver Saved!");
    EXPECT_EQ(dir.read("drv/game.drv"), "new old\n");
    EXPECT_EQ(edit::Existing(), nullptr);
}

// Read-only means read-only, for root too: the file stays, the text stays.
TEST_F(EditTest, ReadOnlyDriverIsNotReplaced) {
    dir.write("drv/game.drv", "old\n");
    ASSERT_TRUE(QFile::setPermissions(dir.file("drv/game.drv"), QFile::ReadOwner));
    select("game.drv");
    edit& form = open();
    type(form, "new ");
    messages.answers = {platform::IDYES};
    form.mnu_sair_Click();
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[1].style, 16);
    EXPECT_TRUE(messages[1].text.contains(dir.file("drv/game.drv")));
    EXPECT_TRUE(messages[1].text.contains("read-only")) << messages[1].text.toStdString();
    EXPECT_FALSE(texts().contains("Driver Saved!"));
    EXPECT_TRUE(form.Visible());
    EXPECT_EQ(form.editor->Text(), "new old\n");
    EXPECT_EQ(dir.read("drv/game.drv"), "old\n");
    EXPECT_EQ(QDir(dir.file("drv")).entryList(QDir::Files | QDir::Hidden),
              QStringList({"game.drv"}));
}

TEST_F(EditTest, ProgramEndAsksAboutTextTypedSinceTheLastSave) {
    dir.write("drv/game.drv", "old\n");
    select("game.drv");
    EXPECT_TRUE(edit::AskBeforeProgramEnds()); // no editor
    edit& form = open();
    EXPECT_TRUE(edit::AskBeforeProgramEnds()); // nothing typed
    EXPECT_TRUE(messages.empty());

    type(form, "1");
    form.mnu_sair_Click(); // No: still unsaved in the hidden editor
    messages.answers = {platform::IDYES};
    EXPECT_TRUE(edit::AskBeforeProgramEnds());
    EXPECT_EQ(texts(), QStringList({Question, Question, "Driver Saved!"}));
    EXPECT_EQ(dir.read("drv/game.drv"), "1old\n");

    messages.clear();
    EXPECT_TRUE(edit::AskBeforeProgramEnds()); // saved since
    EXPECT_TRUE(messages.empty());
    type(form, "2");
    EXPECT_TRUE(edit::AskBeforeProgramEnds()); // No
    EXPECT_EQ(texts(), QStringList({Question}));
    EXPECT_EQ(dir.read("drv/game.drv"), "1old\n");

    // Yes with a save that fails: the program must not end.
    ASSERT_TRUE(QDir(dir.path()).rename("drv", "drv.moved"));
    dir.write("drv", "not a directory");
    messages.answers = {platform::IDYES};
    EXPECT_FALSE(edit::AskBeforeProgramEnds());
    EXPECT_TRUE(messages.back().text.contains("your text is still in the editor"));
    EXPECT_EQ(form.editor->Text(), "12old\n");
}

// A driver replaced on disk while it is open is not overwritten unasked.
TEST_F(EditTest, DriverChangedOnDiskIsOverwrittenOnlyOnYes) {
    const QString Replaced = "The driver file\n%1\nhas been changed on disk since the editor "
                             "last read or saved it.\n\nReplace it with the text in the editor?";
    dir.write("drv/game.drv", "old\n");
    select("game.drv");
    edit& form = open();
    type(form, "mine ");
    dir.write("drv/other.drv", "theirs\n");
    ASSERT_TRUE(QFile::remove(dir.file("drv/game.drv")));
    ASSERT_TRUE(QFile::rename(dir.file("drv/other.drv"), dir.file("drv/game.drv")));

    messages.answers = {platform::IDYES, platform::IDNO};
    Widget(&form)->close();
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[1].text, Replaced.arg(dir.file("drv/game.drv")));
    EXPECT_EQ(messages[1].style,
              platform::MB_YESNO | platform::MB_ICONEXCLAMATION | platform::MB_DEFBUTTON2);
    EXPECT_EQ(dir.read("drv/game.drv"), "theirs\n");
    EXPECT_EQ(edit::Existing(), &form); // the text is kept, unsaved
    EXPECT_TRUE(form.Visible());
    EXPECT_EQ(form.editor->Text(), "mine old\n");
    messages.answers = {platform::IDYES, platform::IDNO};
    EXPECT_FALSE(edit::AskBeforeProgramEnds()); // asked again, No again

    // Yes overwrites.
    messages.answers = {platform::IDYES, platform::IDYES};
    form.mnu_sair_Click();
    EXPECT_EQ(dir.read("drv/game.drv"), "mine old\n");
    EXPECT_EQ(texts().mid(4),
              QStringList({Question, Replaced.arg(dir.file("drv/game.drv")), "Driver Saved!"}));

    // The editor's own save is no change on disk.
    messages.clear();
    edit::Open();
    type(form, "!");
    messages.answers = {platform::IDYES};
    form.mnu_sair_Click();
    EXPECT_EQ(texts(), QStringList({Question, "Driver Saved!"}));

    // Rewritten in place with the same size and times (cp -p, touch -r): only the
    // change time tells, once the coarse clock it follows has passed the save.
    const QByteArray path = QFile::encodeName(dir.file("drv/game.drv"));
    struct stat saved {};
    ASSERT_EQ(::stat(path.constData(), &saved), 0);
    for (timespec now{}; ::clock_gettime(CLOCK_REALTIME_COARSE, &now) == 0 &&
                         std::pair(now.tv_sec, now.tv_nsec) <=
                             std::pair(saved.st_ctim.tv_sec, saved.st_ctim.tv_nsec);) {
        QTest::qSleep(1);
    }
    const QByteArray rewritten = dir.read("drv/game.drv").toUpper();
    dir.write("drv/game.drv", rewritten);
    const struct timespec kept[2] = {saved.st_atim, saved.st_mtim};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.constData(), kept, 0), 0);
    messages.clear();
    edit::Open();
    type(form, "?");
    messages.answers = {platform::IDYES, platform::IDNO};
    form.mnu_sair_Click();
    EXPECT_EQ(texts(), QStringList({Question, Replaced.arg(dir.file("drv/game.drv"))}));
    EXPECT_EQ(dir.read("drv/game.drv"), rewritten);
}

} // namespace
