// The editor's text control: files come back byte for byte, saves replace
// files atomically, and the character event fires for typing keys only.
#include "platform/forms/RichTextBox.h"
#include "platform/forms/qt/Widgets.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <csignal>
#include <gtest/gtest.h>
#include <ostream>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using platform::forms::Form, platform::forms::RichTextBox, platform::forms::qt::Widget;

namespace {

class RichTextBoxTest : public ::testing::Test {
protected:
    void SetUp() override {
        box.KeyPress = [this](int key) { typed.push_back(key); };
    }
    QString path(const QString& name) const { return dir.path() + "/" + name; }
    std::string bytePath(const QString& name) const { return path(name).toStdString(); }
    void write(const QString& name, const QByteArray& bytes) const {
        QFile f(path(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(bytes);
    }
    QByteArray read(const QString& name) const {
        QFile f(path(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }
    QStringList entries() const {
        return QDir(dir.path())
            .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    }
    // Loads the bytes from a file and saves them back unchanged.
    QByteArray roundTrip(const QByteArray& bytes) {
        write("driver.drv", bytes);
        std::string error;
        EXPECT_TRUE(box.LoadFile(bytePath("driver.drv"), &error)) << error;
        EXPECT_TRUE(box.SaveFile(bytePath("driver.drv"), RichTextBox::rtfText, &error)) << error;
        return read("driver.drv");
    }

    // The number of character events one key raises.
    int eventsFor(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        typed.clear();
        QTest::keyClick(&edit, key, modifiers);
        return static_cast<int>(typed.size());
    }

    QTemporaryDir dir;
    Form form{Form::Design{}};
    RichTextBox& box = *new RichTextBox(form.Client()); // the form's
    platform::forms::qt::TextEdit& edit = *Widget(&box);
    std::vector<int> typed; // the character events raised
};

TEST_F(RichTextBoxTest, UnchangedTextSavesTheIdenticalFile) {
    const QList<QByteArray> files = {
        QByteArray("ROM_START\r\n  ROM_LOAD( \"a.bin\" )\r\nROM_END\r\n"), // CRLF
        QByteArray("ROM_START\n  ROM_LOAD\nROM_END"),                      // LF, no final break
        QByteArray("one\rtwo\r"),                                          // CR
        QByteArray("caf\xE9 \xA0na\xEFve\r\n\xFF\xFE\r\n"),                // Latin-1, nbsp kept
        QByteArray("\xEF\xBB\xBF"
                   "caf\xC3\xA9\n"),                       // UTF-8 with BOM
        QByteArray("\xEF\xBB\xBF\xEF\xBB\xBFtwo marks\n"), // a second BOM is text
        QByteArray("nul\0in\0the\nmiddle\0", 19),
        QByteArray("overlong \xC0\xAF\n"),      // not UTF-8: single bytes
        QByteArray("surrogate \xED\xA0\x80\n"), // not UTF-8 either
        QByteArray("cut short \xE2\x82"),
        QByteArray("\xEF\xBB\xBF"
                   "bom then \xE9\n"), // BOM kept as three Latin-1 characters
        QByteArray("line sep \xE2\x80\xA8 stays\n"),
        QByteArray("a\nb\r\nc\rd\r\n\re"), // mixed line breaks
        QByteArray("\r\n\n\r\r\n"),
        QByteArray("para \xE2\x80\xA9 sep\r\n"),                         // U+2029
        QByteArray("frames \xEF\xB7\x90\xEF\xB7\x91 x\n"),               // U+FDD0, U+FDD1
        QByteArray("object \xEF\xBF\xBC, \xEF\xBF\xBE, \xEE\x80\x80\n"), // U+FFFC, U+FFFE, U+E000
        QByteArray("\n\n\n"),
        QByteArray(),
    };
    for (const QByteArray& bytes : files) {
        EXPECT_EQ(roundTrip(bytes), bytes) << bytes.toHex(' ').toStdString();
    }
}

TEST_F(RichTextBoxTest, TextShowsCharactersAndOneKindOfLineBreak) {
    write("a.drv", "caf\xE9\r\nsecond\r\n");
    ASSERT_TRUE(box.LoadFile(bytePath("a.drv")));
    EXPECT_EQ(box.Text(), "café\nsecond\n");
    EXPECT_EQ(box.Format().encoding, RichTextBox::Encoding::Latin1);
    EXPECT_EQ(box.Format().lineBreak, RichTextBox::LineBreak::CRLF);
    EXPECT_EQ(edit.document()->blockCount(), 3);

    write("b.drv", "\xEF\xBB\xBF"
                   "caf\xC3\xA9\n");
    ASSERT_TRUE(box.LoadFile(bytePath("b.drv")));
    EXPECT_EQ(box.Text(), "café\n");
    EXPECT_TRUE(box.Format().byteOrderMark);
    EXPECT_EQ(box.Format().encoding, RichTextBox::Encoding::Utf8);
}

TEST_F(RichTextBoxTest, EditsAreSavedInTheFilesOwnFormat) {
    write("a.drv", "caf\xE9\r\nend");
    ASSERT_TRUE(box.LoadFile(bytePath("a.drv")));
    QTextCursor cursor(edit.document());
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(QString::fromUtf8("\nnaïve\n"));
    ASSERT_TRUE(box.SaveFile(bytePath("a.drv"), RichTextBox::rtfText));
    EXPECT_EQ(read("a.drv"), QByteArray("caf\xE9\r\nend\r\nna\xEFve\r\n"));

    // Each line keeps its own break; a new line takes the file's first style.
    write("mixed.drv", "a\nb\r\nc\rd");
    ASSERT_TRUE(box.LoadFile(bytePath("mixed.drv")));
    cursor = QTextCursor(edit.document()->findBlockByNumber(1));
    cursor.insertText("B");
    cursor.movePosition(QTextCursor::EndOfBlock);
    cursor.insertText("\nnew");
    ASSERT_TRUE(box.SaveFile(bytePath("mixed.drv"), RichTextBox::rtfText));
    EXPECT_EQ(read("mixed.drv"), QByteArray("a\nBb\nnew\r\nc\rd"));
}

// Joining lines or deleting whole lines takes away the deleted break; every
// other line keeps its own. Undo and redo give back the breaks the text had.
struct JoinCase {
    const char* name; // the test's name
    const char* what;
    const char* file;
    void (*edit)(QTextDocument*);
    const char* saved;
};

void PrintTo(const JoinCase& c, std::ostream* os) {
    *os << c.what;
}

const char* const FiveLines = "line1\r\nline2\nline3\rline4\r\nline5\n";
const char* const FiveLinesChanged = "xline1\r\nline2\nline3\rline4\r\nline5\n";

// The first line changed, so that the text is saved as changed; then the
// second and third lines deleted, or the second line's break.
void ChangeAndDelete(QTextDocument* doc, bool wholeLines) {
    QTextCursor(doc).insertText("x");
    QTextCursor cursor(doc->findBlockByNumber(1));
    if (wholeLines) {
        cursor.setPosition(doc->findBlockByNumber(3).position(), QTextCursor::KeepAnchor);
    } else {
        cursor.movePosition(QTextCursor::EndOfBlock);
    }
    cursor.deleteChar(); // the selection, when there is one
}

const JoinCase JoinCases[] = {
    {"BackspaceAtALinesStart", "Backspace at a line's start", "l0\r\nl1\nl2\r\n",
     [](QTextDocument* doc) { QTextCursor(doc->findBlockByNumber(2)).deletePreviousChar(); },
     "l0\r\nl1l2\r\n"},
    {"DeleteAtALinesEnd", "Delete at a line's end", "l0\r\nl1\nl2\r\nl3\n",
     [](QTextDocument* doc) {
         QTextCursor cursor(doc->findBlockByNumber(2));
         cursor.movePosition(QTextCursor::EndOfBlock);
         cursor.deleteChar();
     },
     "l0\r\nl1\nl2l3\n"},
    {"WholeLineSelectedAndDeleted", "a whole line selected and deleted", "l0\r\nl1\nl2\r\n",
     [](QTextDocument* doc) {
         QTextCursor cursor(doc->findBlockByNumber(1));
         cursor.setPosition(doc->findBlockByNumber(2).position(), QTextCursor::KeepAnchor);
         cursor.removeSelectedText();
     },
     "l0\r\nl2\r\n"},
    {"LinesTypedOver", "lines typed over", "l0\r\nl1\nl2\rl3\r\n",
     [](QTextDocument* doc) {
         QTextCursor cursor(doc->findBlockByNumber(1));
         cursor.setPosition(doc->findBlockByNumber(2).position() + 1, QTextCursor::KeepAnchor);
         cursor.insertText("x\ny");
     },
     "l0\r\nx\r\ny2\rl3\r\n"},
    {"DeletedLinesUndone", "lines deleted, then undone", FiveLines,
     [](QTextDocument* doc) { ChangeAndDelete(doc, true), doc->undo(); }, FiveLinesChanged},
    {"DeletedLinesRedone", "lines deleted, undone and redone", FiveLines,
     [](QTextDocument* doc) { ChangeAndDelete(doc, true), doc->undo(), doc->redo(); },
     "xline1\r\nline4\r\nline5\n"},
    {"DeletedLinesRedoneAndUndone", "lines deleted, undone, redone and undone", FiveLines,
     [](QTextDocument* doc) { ChangeAndDelete(doc, true), doc->undo(), doc->redo(), doc->undo(); },
     FiveLinesChanged},
    {"LineEndDeletedAndUndone", "Delete at a line's end, then undone", FiveLines,
     [](QTextDocument* doc) { ChangeAndDelete(doc, false), doc->undo(); }, FiveLinesChanged},
    {"NewLineAfterAnUndo", "a line typed after an undo", FiveLines,
     [](QTextDocument* doc) {
         ChangeAndDelete(doc, true), doc->undo();
         QTextCursor(doc->findBlockByNumber(3)).insertText("new\n");
     },
     "xline1\r\nline2\nline3\rnew\r\nline4\r\nline5\n"},
};

class RichTextBoxJoins : public RichTextBoxTest, public ::testing::WithParamInterface<JoinCase> {};

TEST_P(RichTextBoxJoins, KeepTheOtherLinesBreaks) {
    const JoinCase& c = GetParam();
    write("mixed.drv", c.file);
    ASSERT_TRUE(box.LoadFile(bytePath("mixed.drv"))) << c.what;
    c.edit(edit.document());
    ASSERT_TRUE(box.SaveFile(bytePath("mixed.drv"), RichTextBox::rtfText)) << c.what;
    EXPECT_EQ(read("mixed.drv"), QByteArray(c.saved)) << c.what;
}

INSTANTIATE_TEST_SUITE_P(Edits, RichTextBoxJoins, ::testing::ValuesIn(JoinCases),
                         [](const ::testing::TestParamInfo<JoinCase>& info) {
                             return std::string(info.param.name);
                         });

// Characters the text control would turn into line breaks come back as they were.
TEST_F(RichTextBoxTest, SeparatorCharactersSurviveAnEdit) {
    const QByteArray file("one\xE2\x80\xA9two\xEF\xB7\x90three\xEF\xB7\x91\r\n");
    write("a.drv", file);
    ASSERT_TRUE(box.LoadFile(bytePath("a.drv")));
    EXPECT_EQ(edit.document()->blockCount(), 2);
    EXPECT_EQ(box.Text(), QString::fromUtf8(file).replace("\r\n", "\n").toStdString());
    EXPECT_FALSE(edit.isReadOnly());
    QTextCursor(edit.document()).insertText("0 ");
    ASSERT_TRUE(box.SaveFile(bytePath("a.drv"), RichTextBox::rtfText));
    EXPECT_EQ(read("a.drv"), "0 " + file);

    // A file that also holds the stand-ins cannot be carried through: read-only.
    write("b.drv", "two\xE2\x80\xA9\xEE\x80\x80\n");
    ASSERT_TRUE(box.LoadFile(bytePath("b.drv")));
    EXPECT_TRUE(edit.isReadOnly());
    EXPECT_NE(box.ReadOnlyReason().find("U+2029"), std::string::npos) << box.ReadOnlyReason();
    write("c.drv", "plain\n");
    ASSERT_TRUE(box.LoadFile(bytePath("c.drv")));
    EXPECT_FALSE(edit.isReadOnly());
    EXPECT_TRUE(box.ReadOnlyReason().empty());
}

TEST_F(RichTextBoxTest, CharacterTheSingleByteFileCannotHoldIsRefused) {
    write("a.drv", "caf\xE9\n");
    ASSERT_TRUE(box.LoadFile(bytePath("a.drv")));
    QTextCursor cursor(edit.document());
    cursor.insertText(QString::fromUtf8("€ "));
    std::string error;
    EXPECT_FALSE(box.SaveFile(bytePath("a.drv"), RichTextBox::rtfText, &error));
    EXPECT_NE(error.find("U+20AC"), std::string::npos) << error;
    EXPECT_EQ(read("a.drv"), QByteArray("caf\xE9\n"));

    box.setText("x 😀");
    EXPECT_FALSE(box.SaveFile(bytePath("a.drv"), RichTextBox::rtfText, &error));
    EXPECT_NE(error.find("U+1F600"), std::string::npos) << error;
    EXPECT_EQ(entries(), QStringList({"a.drv"})); // no temporary file left
}

TEST_F(RichTextBoxTest, LongLinesAndLargeFilesComeBackWhole) {
    // One line far longer than the save's buffer, a surrogate pair on its seam.
    const QString line = QString(65535, QChar(0xE9)) + QString::fromUtf8("😀") +
                         QString(70000, QChar(0xE9)) + QString::fromUtf8("😀end");
    EXPECT_EQ(roundTrip(line.toUtf8()), line.toUtf8());

    // A file large enough to be filled in slices, saved before it is filled
    // in, and again after an edit: every line keeps its own break.
    QByteArray large;
    for (int i = 0; large.size() < 3 * 1024 * 1024; ++i) {
        large += "  ROM_LOAD( \"part" + QByteArray::number(i) + ".bin\", 0x0000, 0x8000 )" +
                 (i % 3 ? "\r\n" : "\n");
    }
    write("large.drv", large);
    ASSERT_TRUE(box.LoadFile(bytePath("large.drv")));
    EXPECT_TRUE(box.Filling());
    ASSERT_TRUE(box.SaveFile(bytePath("copy.drv"), RichTextBox::rtfText));
    EXPECT_FALSE(box.Filling());
    EXPECT_EQ(read("copy.drv"), large);
    QTextCursor(edit.document()).insertText("x");
    ASSERT_TRUE(box.SaveFile(bytePath("copy.drv"), RichTextBox::rtfText));
    EXPECT_EQ(read("copy.drv"), "x" + large);
}

TEST_F(RichTextBoxTest, LargeTextFillsInWithoutEnteringTheUndoList) {
    std::string text;
    for (int i = 0; text.size() < 1500000; ++i) {
        text += "line " + std::to_string(i) + "\n";
    }
    box.setText(text);
    EXPECT_TRUE(box.Filling());
    EXPECT_TRUE(edit.isReadOnly()); // no change can slip in between the slices
    EXPECT_LT(edit.document()->characterCount(), static_cast<int>(text.size()));
    while (box.Filling()) {
        QCoreApplication::processEvents();
    }
    EXPECT_FALSE(edit.isReadOnly());
    EXPECT_FALSE(edit.document()->isUndoAvailable());
    EXPECT_EQ(box.Text(), text);

    // A key pressed while the text fills in neither blocks nor is lost: it
    // raises its event at once and acts once the text is whole.
    box.setText(text);
    ASSERT_TRUE(box.Filling());
    QTest::keyClicks(&edit, "zy");
    EXPECT_TRUE(box.Filling());
    EXPECT_EQ(typed.size(), 2u);
    while (box.Filling()) {
        QCoreApplication::processEvents();
    }
    EXPECT_EQ(box.Text(), "zy" + text);
    QTest::keyClick(&edit, Qt::Key_Z, Qt::ControlModifier); // undoes the keys, nothing more
    EXPECT_EQ(box.Text(), text);
    EXPECT_FALSE(box.Modified());

    // A replaced document is freed, not kept until the control goes.
    for (int i = 0; i < 3; ++i) {
        box.setText("short");
    }
    EXPECT_EQ(edit.findChildren<QTextDocument*>().size(), 1);
}

TEST_F(RichTextBoxTest, LoadFailuresGiveAReasonAndKeepTheText) {
    box.setText("kept");
    std::string error;
    EXPECT_FALSE(box.LoadFile(bytePath("missing.drv"), &error));
    EXPECT_EQ(error, "No such file or directory");
    QDir(dir.path()).mkdir("folder.drv");
    EXPECT_FALSE(box.LoadFile(bytePath("folder.drv"), &error));
    EXPECT_NE(error.find("directory"), std::string::npos) << error;
    ASSERT_EQ(::mkfifo(QFile::encodeName(path("pipe.drv")).constData(), 0600), 0);
    EXPECT_FALSE(box.LoadFile(bytePath("pipe.drv"), &error)); // would block for ever if opened
    EXPECT_EQ(box.Text(), "kept");
}

TEST_F(RichTextBoxTest, SaveKeepsPermissionsAndSymbolicLinks) {
    write("real.drv", "old\n");
    ::chmod(QFile::encodeName(path("real.drv")).constData(), 0751);
    ASSERT_TRUE(QFile::link(path("real.drv"), path("link.drv")));
    ASSERT_TRUE(box.LoadFile(bytePath("link.drv")));
    box.setText("new\n");
    ASSERT_TRUE(box.SaveFile(bytePath("link.drv"), RichTextBox::rtfText));
    EXPECT_EQ(read("real.drv"), "new\n");
    EXPECT_TRUE(QFileInfo(path("link.drv")).isSymLink());
    struct stat info {};
    ASSERT_EQ(::stat(QFile::encodeName(path("real.drv")).constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0751u);
    EXPECT_EQ(entries(), QStringList({"link.drv", "real.drv"}));

    // A file that vanished meanwhile is written anew, with the usual permissions.
    QFile::remove(path("real.drv"));
    QFile::remove(path("link.drv"));
    const mode_t mask = ::umask(022);
    ASSERT_TRUE(box.SaveFile(bytePath("fresh.drv"), RichTextBox::rtfText));
    ::umask(mask);
    ASSERT_EQ(::stat(QFile::encodeName(path("fresh.drv")).constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0644u);
}

TEST_F(RichTextBoxTest, FailedWriteLeavesTheOldFileWholeAndNoTemporary) {
    write("a.drv", "old content\n");
    ASSERT_TRUE(box.LoadFile(bytePath("a.drv")));
    box.setText(std::string(100000, 'x'));

    // A file-size limit makes the write fail part-way, as a full disk would.
    struct rlimit old {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    const auto previous = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = old;
    small.rlim_cur = 4096;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    std::string error;
    const bool saved = box.SaveFile(bytePath("a.drv"), RichTextBox::rtfText, &error);
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, previous);

    EXPECT_FALSE(saved);
    EXPECT_NE(error.find("File too large"), std::string::npos) << error;
    EXPECT_EQ(read("a.drv"), "old content\n");
    EXPECT_EQ(entries(), QStringList({"a.drv"}));

    // The longest name a file may have can be saved, and nothing is left beside it.
    const QString longest = QString(251, u'n') + ".drv";
    write(longest, "old\n");
    ASSERT_TRUE(box.LoadFile(bytePath(longest)));
    box.setText("new\n");
    EXPECT_TRUE(box.SaveFile(bytePath(longest), RichTextBox::rtfText, &error)) << error;
    EXPECT_EQ(read(longest), "new\n");
    ASSERT_TRUE(QFile::remove(path(longest)));

    // Neither a directory nor a missing directory is ever written to.
    QDir(dir.path()).mkdir("folder.drv");
    EXPECT_FALSE(box.SaveFile(bytePath("folder.drv"), RichTextBox::rtfText, &error));
    EXPECT_NE(error.find("directory"), std::string::npos) << error;
    EXPECT_FALSE(box.SaveFile(bytePath("nowhere/a.drv"), RichTextBox::rtfText, &error));
    EXPECT_NE(error.find("No such file or directory"), std::string::npos) << error;
    EXPECT_FALSE(box.SaveFile(bytePath("a.drv"), RichTextBox::rtfRTF, &error));
    EXPECT_EQ(read("a.drv"), "old content\n");
    EXPECT_EQ(entries(), QStringList({"a.drv", "folder.drv"}));
}

TEST_F(RichTextBoxTest, CharacterEventFiresForTypingKeysOnly) {
    box.setText("first line\nsecond line\n");
    form.Show();
    QTest::keyClick(&edit, Qt::Key_Q);
    ASSERT_EQ(typed, std::vector<int>({'q'}));
    EXPECT_EQ(box.Text(), "qfirst line\nsecond line\n"); // the key still types

    EXPECT_EQ(eventsFor(Qt::Key_Return), 1);
    EXPECT_EQ(eventsFor(Qt::Key_Backspace), 1);
    EXPECT_EQ(eventsFor(Qt::Key_A, Qt::ShiftModifier), 1);
    EXPECT_EQ(eventsFor(Qt::Key_Space), 1);
    EXPECT_EQ(eventsFor(Qt::Key_A, Qt::ControlModifier), 1);
    EXPECT_EQ(eventsFor(Qt::Key_X, Qt::ControlModifier), 1);
    EXPECT_EQ(eventsFor(Qt::Key_V, Qt::ControlModifier), 1);

    box.setText("some text");
    EXPECT_EQ(eventsFor(Qt::Key_Delete), 0);
    EXPECT_EQ(box.Text(), "ome text"); // Delete still deletes
    for (Qt::Key key : {Qt::Key_Left, Qt::Key_Right, Qt::Key_Up, Qt::Key_Down, Qt::Key_Home,
                        Qt::Key_End, Qt::Key_PageUp, Qt::Key_PageDown, Qt::Key_Insert, Qt::Key_F5,
                        Qt::Key_Shift, Qt::Key_Control}) {
        EXPECT_EQ(eventsFor(key), 0) << key;
    }
    EXPECT_EQ(eventsFor(Qt::Key_Left, Qt::ShiftModifier), 0);
    EXPECT_EQ(eventsFor(Qt::Key_X, Qt::AltModifier), 0); // a menu access key

    // The mouse moves, selects, and pastes from the context menu without the event.
    typed.clear();
    QTest::mouseClick(edit.viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
    QTest::mouseDClick(edit.viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
    edit.paste();
    EXPECT_TRUE(typed.empty());
}

} // namespace
