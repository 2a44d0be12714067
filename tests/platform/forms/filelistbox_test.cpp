// The file list box: which files it lists and in what order, the error for a
// directory it cannot open, and that reading the directory in the background
// never shows through to its callers.
#include "platform/forms/FileListBox.h"
#include "platform/forms/qt/Widgets.h"
#include "platform/system/directory_reader.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <memory>
#include <ostream>
#include <random>
#include <set>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

using platform::DirectoryReader, platform::FileNames, platform::NameFilter, platform::OpenDirectory;
using platform::forms::FileListBox, platform::forms::Form;
using platform::forms::qt::FileListView, platform::forms::qt::Widget;
using platform::forms::qt::ListMatchingFiles, platform::forms::qt::NameText;

namespace {

const Form::Design Sized{.caption = "", .clientWidth = 3000, .clientHeight = 3300}; // 200 x 220

class FileListBoxTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }

    QString path(const QString& name) const { return dir.path() + "/" + name; }
    static std::string S(const QString& path) { return QFile::encodeName(path).toStdString(); }
    static int Rows(const FileListBox& box) { return Widget(&box)->model()->rowCount(); }

    void touch(const QString& name) const {
        QFile file(path(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << name.toStdString();
    }

    // The n-th of makeDrivers' files, which is also its place in the list (from 1).
    static QString driverName(int n) {
        static const char* const formats[] = {"game %05d.drv", "Game %05d.DRV", "GAME %05d.Drv"};
        return QString::asprintf(formats[n % 3], n);
    }

    // Many empty files, quickly: "Game 00001.DRV", "GAME 00002.Drv", "game 00003.drv", ...
    // All but the first are links to it, as a new name costs the file system
    // far less than a new file.
    void makeDrivers(const QString& subdir, int count) const {
        ASSERT_TRUE(QDir(dir.path()).mkpath(subdir));
        const QByteArray first = QFile::encodeName(path(subdir) + "/" + driverName(1));
        const int fd = ::open(first.constData(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
        ASSERT_GE(fd, 0) << first.constData() << ": " << std::strerror(errno);
        ::close(fd);
        for (int i = 2; i <= count; ++i) {
            const QByteArray name = QFile::encodeName(path(subdir) + "/" + driverName(i));
            ASSERT_EQ(::link(first.constData(), name.constData()), 0)
                << name.constData() << ": " << std::strerror(errno);
        }
    }

    static QStringList listed(const FileListBox& box) {
        QStringList names;
        for (int i = 0; i < box.ListCount(); ++i) {
            names << QString::fromStdString(box.List(i));
        }
        return names;
    }

    QTemporaryDir dir;
    Form parent{Sized}; // owns the boxes made on it with new
    int clicks = 0;     // raised by the boxes that count them
};

TEST_F(FileListBoxTest, ListsMatchingRegularFilesOnly) {
    touch("b.drv");
    touch("A.DRV");
    touch("c.Drv");
    touch("notes.txt");
    touch("x.drvx");
    touch("drv");
    touch(".hidden.drv");
    ASSERT_TRUE(QDir(dir.path()).mkdir("folder.drv"));
    ASSERT_TRUE(QFile::link(path("b.drv"), path("link.drv")));
    ASSERT_TRUE(QFile::link(path("missing"), path("dangling.drv")));
    ASSERT_TRUE(QFile::link(path("folder.drv"), path("dirlink.drv")));
    ASSERT_EQ(::mkfifo(QFile::encodeName(path("pipe.drv")).constData(), 0644), 0);

    FileListBox& box = *new FileListBox(parent.Client());
    box.setPattern("*.drv");
    std::string error;
    ASSERT_TRUE(box.setPath(S(dir.path()), &error));
    EXPECT_TRUE(error.empty());
    EXPECT_EQ(listed(box), QStringList({"A.DRV", "b.drv", "c.Drv", "link.drv"}));

    // "*.*" is every file, with a dot or without, but still no hidden ones.
    box.setPattern("*.*");
    EXPECT_EQ(listed(box),
              QStringList({"A.DRV", "b.drv", "c.Drv", "drv", "link.drv", "notes.txt", "x.drvx"}));

    // Other wildcards go through the general matcher, also without regard to case.
    box.setPattern("?.DRV");
    EXPECT_EQ(listed(box), QStringList({"A.DRV", "b.drv", "c.Drv"}));
    box.setPattern("*.drv?");
    EXPECT_EQ(listed(box), QStringList({"x.drvx"}));
}

TEST_F(FileListBoxTest, SuffixBeyondAsciiMatchesWithoutRegardToCase) {
    touch("one.élan");
    touch("two.ÉLAN");
    touch("three.elan");
    QStringList names;
    QString error;
    ASSERT_TRUE(ListMatchingFiles(dir.path(), "*.Élan", &names, &error));
    EXPECT_EQ(names, QStringList({"one.élan", "two.ÉLAN"}));
}

TEST_F(FileListBoxTest, SortsWithoutRegardToCaseAndKeepsExactNames) {
    // Deliberately created out of order; the directory's own order is random anyway.
    const QStringList names = {"zebra",
                               "Zed",
                               "élan",
                               "Élan",
                               "banana",
                               "Banana",
                               "BANANA",
                               "Apple Pie",
                               "apple",
                               "aab",
                               "a_b",
                               "long name sharing a prefix 2",
                               "Long Name Sharing A Prefix 10",
                               "long name sharing a prefix 1"};
    for (const QString& name : names) {
        touch(name);
    }
    FileListBox& box = *new FileListBox(parent.Client());
    box.setPattern("*");
    ASSERT_TRUE(box.setPath(S(dir.path())));
    // ASCII letters fold to lower case, so '_' sorts before 'a'; a name sorts
    // before a longer one it begins; names equal but for case go by their
    // exact bytes (capitals first); other characters compare as their bytes.
    EXPECT_EQ(listed(box),
              QStringList({"a_b", "aab", "apple", "Apple Pie", "BANANA", "Banana", "banana",
                           "long name sharing a prefix 1", "Long Name Sharing A Prefix 10",
                           "long name sharing a prefix 2", "zebra", "Zed", "Élan", "élan"}));
}

TEST_F(FileListBoxTest, NamesThatAreNotUtf8KeepTheirBytesAndShowDecoded) {
    const QByteArray latin1 = "caf\xE9.drv";
    const QByteArray broken = "X\xC3\x28\xA0\xFF.drv";
    for (const QByteArray& name : {latin1, broken}) {
        const int fd =
            ::open((QFile::encodeName(path("")) + name).constData(), O_WRONLY | O_CREAT, 0644);
        ASSERT_GE(fd, 0);
        ::close(fd);
    }
    FileListBox& box = *new FileListBox(parent.Client());
    box.setPattern("*.drv");
    ASSERT_TRUE(box.setPath(S(dir.path())));
    ASSERT_EQ(box.ListCount(), 2);
    EXPECT_EQ(box.List(0), latin1.toStdString());
    EXPECT_EQ(box.List(1), broken.toStdString());
    const auto shown = [&box](int row) { return Widget(&box)->model()->index(row, 0).data(); };
    EXPECT_EQ(shown(0), QString::fromUtf8("caf\uFFFD.drv"));
    EXPECT_TRUE(shown(1).toString().startsWith("X\uFFFD(")) << shown(1).toString().toStdString();
    box.setListIndex(1);
    EXPECT_EQ(box.FileName(), broken.toStdString());
    for (const QByteArray& name : {latin1, broken}) { // Qt cannot remove them
        ::unlink((QFile::encodeName(path("")) + name).constData());
    }
}

TEST_F(FileListBoxTest, DirectoryThatCannotBeOpenedIsReportedAtOnce) {
    touch("a.drv");
    FileListBox& box = *new FileListBox(parent.Client());
    box.setPattern("*.drv");
    ASSERT_TRUE(box.setPath(S(dir.path())));
    ASSERT_EQ(box.ListCount(), 1);

    const QString missing = path("no such dir");
    std::string error;
    EXPECT_FALSE(box.setPath(S(missing), &error));
    EXPECT_EQ(error, std::strerror(ENOENT));
    EXPECT_EQ(box.Path(), S(missing));
    EXPECT_EQ(box.ListCount(), 0);
    EXPECT_EQ(Rows(box), 0);

    QStringList names = {"stale"};
    QString text;
    EXPECT_FALSE(ListMatchingFiles(missing, "*", &names, &text));
    EXPECT_TRUE(names.isEmpty());
    EXPECT_FALSE(text.isEmpty());

    // A file is not a directory.
    EXPECT_FALSE(box.setPath(S(path("a.drv")), &error));
    EXPECT_EQ(error, std::strerror(ENOTDIR));

    if (::geteuid() != 0) { // root reads any directory
        ASSERT_TRUE(QDir(dir.path()).mkdir("locked"));
        ASSERT_EQ(::chmod(QFile::encodeName(path("locked")).constData(), 0), 0);
        EXPECT_FALSE(box.setPath(S(path("locked")), &error));
        EXPECT_EQ(error, std::strerror(EACCES));
        ::chmod(QFile::encodeName(path("locked")).constData(), 0755);
    }
}

TEST_F(FileListBoxTest, AccessorsRightAfterSetPathSeeTheWholeList) {
    makeDrivers("drv", 3000);
    {
        FileListBox& box = *new FileListBox(parent.Client());
        box.setPattern("*.drv");
        ASSERT_TRUE(box.setPath(S(path("drv"))));
        EXPECT_EQ(box.ListCount(), 3000);
        EXPECT_EQ(box.List(0), "Game 00001.DRV");
        EXPECT_EQ(box.List(1), "GAME 00002.Drv");
        EXPECT_EQ(box.List(2999), "game 03000.drv");
        EXPECT_EQ(Rows(box), 3000);
    }
    {
        FileListBox& box = *new FileListBox(parent.Client());
        box.setPattern("*.drv");
        ASSERT_TRUE(box.setPath(S(path("drv"))));
        EXPECT_EQ(box.List(2999), "game 03000.drv");
    }
    {
        FileListBox& box = *new FileListBox(parent.Client());
        box.setPattern("*.drv");
        box.Click = [this] { ++clicks; };
        ASSERT_TRUE(box.setPath(S(path("drv"))));
        // Nothing is selected while the names come in, nor once they are in.
        EXPECT_EQ(box.FileName(), "");
        EXPECT_EQ(box.ListIndex(), -1);
        box.setListIndex(2);
        EXPECT_EQ(box.ListIndex(), 2);
        EXPECT_EQ(box.FileName(), "game 00003.drv");
        EXPECT_EQ(clicks, 1);

        // Reading again drops the selection without a click.
        ASSERT_TRUE(box.Refresh());
        EXPECT_EQ(box.ListIndex(), -1);
        EXPECT_EQ(box.FileName(), "");
        EXPECT_EQ(box.ListCount(), 3000);
        EXPECT_EQ(box.ListIndex(), -1);
        EXPECT_EQ(clicks, 1);
    }
}

TEST_F(FileListBoxTest, ViewFillsOnItsOwnOnceTheDirectoryIsRead) {
    makeDrivers("drv", 500);
    FileListBox& box = *new FileListBox(parent.Client());
    box.setPattern("*.drv");
    ASSERT_TRUE(box.setPath(S(path("drv"))));
    EXPECT_TRUE(QTest::qWaitFor([&] { return Rows(box) == 500; }, 10000));
    EXPECT_EQ(Widget(&box)->model()->index(0, 0).data().toString(), "Game 00001.DRV");
}

TEST_F(FileListBoxTest, LatestPathWins) {
    makeDrivers("many", 5000);
    touch("one.drv");
    FileListBox& box = *new FileListBox(parent.Client());
    box.setPattern("*.drv");
    ASSERT_TRUE(box.setPath(S(path("many"))));
    ASSERT_TRUE(box.setPath(S(dir.path())));
    EXPECT_EQ(listed(box), QStringList({"one.drv"}));
    // A late notice from the abandoned reading changes nothing.
    QTest::qWait(50);
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(Rows(box), 1);
    EXPECT_EQ(box.Path(), S(dir.path()));
}

TEST_F(FileListBoxTest, DestroyedWhileReadingABigDirectory) {
    makeDrivers("drv", 20000);
    // At once, and at a few moments into the reading and sorting; a box on
    // screen hurries its reading once drawn.
    for (const int waitMs : {0, 0, 1, 3, 10, 30}) {
        for (const bool shown : {false, true}) {
            auto form = std::make_unique<Form>(Sized);
            FileListBox& box = *new FileListBox(form->Client());
            box.setPattern("*.drv");
            ASSERT_TRUE(box.setPath(S(path("drv"))));
            if (shown) {
                form->Show();
                QTest::qWait(waitMs);
            } else {
                std::this_thread::sleep_for(std::chrono::milliseconds(waitMs));
            }
            form.reset();
            // A notice posted by the reading must not reach the box that is gone.
            QCoreApplication::sendPostedEvents();
            QCoreApplication::processEvents();
        }
    }
    FileListBox& box = *new FileListBox(parent.Client());
    box.setPattern("*.drv");
    ASSERT_TRUE(box.setPath(S(path("drv"))));
    EXPECT_EQ(box.ListCount(), 20000);
}

// Once the window is up, what is left of a big directory is read at full
// priority, in two parts side by side where the file system allows it. Every
// name must come out once and in order however far the slow reading got, and
// whether the names are waited for or taken early.
TEST_F(FileListBoxTest, HurriedReadingOfABigDirectoryKeepsEveryNameInOrder) {
    constexpr int Count = 40000;
    makeDrivers("drv", Count);
    for (const int waitMs : {0, 2, 10}) {
        for (const bool waitForNames : {true, false}) {
            std::atomic<bool> done{false};
            DirectoryReader reader(OpenDirectory(path("drv").toStdString(), nullptr),
                                   NameFilter("*.drv"), [&done] { done = true; });
            std::this_thread::sleep_for(std::chrono::milliseconds(waitMs));
            reader.hurry();
            reader.hurry(); // a second time changes nothing
            if (waitForNames) {
                ASSERT_TRUE(QTest::qWaitFor([&] { return done.load(); }, 20000));
            }
            const FileNames names = reader.take();
            ASSERT_EQ(names.size(), Count) << waitMs << " ms";
            for (int i = 0; i < Count; ++i) {
                ASSERT_EQ(NameText(names, i), driverName(i + 1))
                    << "at " << i << ", " << waitMs << " ms";
            }
        }
    }
    // Dropped at once, and at a few moments into the hurried reading.
    for (const int waitMs : {0, 1, 3, 10}) {
        DirectoryReader reader(OpenDirectory(path("drv").toStdString(), nullptr),
                               NameFilter("*.drv"));
        reader.hurry();
        std::this_thread::sleep_for(std::chrono::milliseconds(waitMs));
    }
}

TEST_F(FileListBoxTest, NamesReadAheadGoOnlyToTheFirstBoxSetToTheirDirectoryAndPattern) {
    makeDrivers("drv", 300);
    touch("other.drv");

    // Taken over: what was read ahead is what the box lists, even once the
    // directory changed, and the view fills without anyone asking for it.
    FileListBox::ReadAhead(S(path("drv")), "*.drv");
    QTest::qWait(300); // long enough for 300 names
    ASSERT_TRUE(QFile::remove(path("drv/game 00003.drv")));
    {
        FileListBox& box = *new FileListBox(parent.Client());
        box.setPattern("*.drv");
        ASSERT_TRUE(box.setPath(S(path("drv"))));
        EXPECT_TRUE(QTest::qWaitFor([&] { return Rows(box) == 300; }, 10000));
        EXPECT_EQ(box.List(2), "game 00003.drv");
    }
    // Taken over while still being read.
    for (const char* pattern : {"*.drv", "*.DRV"}) {
        FileListBox::ReadAhead(S(path("drv")), pattern);
        FileListBox& box = *new FileListBox(parent.Client());
        box.setPattern(pattern);
        ASSERT_TRUE(box.setPath(S(path("drv"))));
        EXPECT_TRUE(QTest::qWaitFor([&] { return Rows(box) == 299; }, 10000));
    }
    // Dropped by a box set to another directory or pattern, and by the next
    // read-ahead: each box reads its own.
    FileListBox::ReadAhead(S(path("drv")), "*.drv");
    FileListBox::ReadAhead(S(path("drv")), "*.drv");
    FileListBox& elsewhere = *new FileListBox(parent.Client());
    elsewhere.setPattern("*.drv");
    ASSERT_TRUE(elsewhere.setPath(S(dir.path())));
    EXPECT_EQ(listed(elsewhere), QStringList({"other.drv"}));
    FileListBox::ReadAhead(S(path("drv")), "*.drv");
    FileListBox& otherPattern = *new FileListBox(parent.Client());
    otherPattern.setPattern("game 0000?.drv");
    ASSERT_TRUE(otherPattern.setPath(S(path("drv"))));
    EXPECT_EQ(otherPattern.ListCount(), 8);
    // A directory that cannot be opened is still reported by the box.
    FileListBox::ReadAhead(S(path("missing")), "*.drv");
    FileListBox& missing = *new FileListBox(parent.Client());
    missing.setPattern("*.drv");
    std::string error;
    EXPECT_FALSE(missing.setPath(S(path("missing")), &error));
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(missing.ListCount(), 0);
}

TEST_F(FileListBoxTest, RefreshSeesNewAndRemovedFiles) {
    touch("b.drv");
    FileListBox& box = *new FileListBox(parent.Client());
    box.setPattern("*.drv");
    ASSERT_TRUE(box.setPath(S(dir.path())));
    ASSERT_EQ(listed(box), QStringList({"b.drv"}));

    touch("A.drv");
    EXPECT_EQ(listed(box), QStringList({"b.drv"})); // not until asked
    ASSERT_TRUE(box.Refresh());
    EXPECT_EQ(listed(box), QStringList({"A.drv", "b.drv"}));

    ASSERT_TRUE(QFile::remove(path("b.drv")));
    ASSERT_TRUE(box.Refresh());
    EXPECT_EQ(listed(box), QStringList({"A.drv"}));
}

// Once a file is selected, nothing the user does empties the selection; the
// keys that move it select and raise one click, as a click on a name does.
struct SelectionRow {
    const char* name; // the test's name
    const char* action;
    std::function<void(FileListView&)> act;
    std::string selected; // after the action; beta.drv was selected before
    int clicks;
};

void PrintTo(const SelectionRow& row, std::ostream* os) {
    *os << row.action;
}

// A click on the name in `row`, or below the last name when `row` is -1.
void ClickAt(FileListView& box, int row, Qt::KeyboardModifiers modifiers) {
    const QPoint at = row < 0 ? QPoint(20, box.viewport()->height() - 4)
                              : box.visualRect(box.model()->index(row, 0)).center();
    QTest::mouseClick(box.viewport(), Qt::LeftButton, modifiers, at);
}

std::function<void(FileListView&)> Key(Qt::Key k, Qt::KeyboardModifiers m = Qt::NoModifier) {
    return [k, m](FileListView& box) { QTest::keyClick(&box, k, m); };
}

const SelectionRow SelectionRows[] = {
    {"ClickBelowTheLastName", "click below the last name",
     [](FileListView& b) { ClickAt(b, -1, {}); }, "beta.drv", 0},
    {"CtrlClickBelowTheLastName", "Ctrl+click below the last name",
     [](FileListView& b) { ClickAt(b, -1, Qt::ControlModifier); }, "beta.drv", 0},
    {"CtrlClickOnTheSelectedName", "Ctrl+click on the selected name",
     [](FileListView& b) { ClickAt(b, 1, Qt::ControlModifier); }, "beta.drv", 0},
    {"CtrlClickOnAnotherName", "Ctrl+click on another name",
     [](FileListView& b) { ClickAt(b, 3, Qt::ControlModifier); }, "gamma.drv", 1},
    {"ClickOnAName", "click on a name", [](FileListView& b) { ClickAt(b, 2, {}); }, "delta.drv", 1},
    {"CtrlSpace", "Ctrl+Space", Key(Qt::Key_Space, Qt::ControlModifier), "beta.drv", 0},
    {"Down", "Down", Key(Qt::Key_Down), "delta.drv", 1},
    {"Up", "Up", Key(Qt::Key_Up), "alpha.drv", 1},
    {"Home", "Home", Key(Qt::Key_Home), "alpha.drv", 1},
    {"End", "End", Key(Qt::Key_End), "omega.drv", 1},
    {"PageDown", "Page Down", Key(Qt::Key_PageDown), "omega.drv", 1},
    {"PageUp", "Page Up", Key(Qt::Key_PageUp), "alpha.drv", 1},
    {"TypeAhead", "type-ahead", [](FileListView& b) { QTest::keyClicks(&b, "g"); }, "gamma.drv", 1},
};

class FileListBoxSelection : public FileListBoxTest,
                             public ::testing::WithParamInterface<SelectionRow> {};

TEST_P(FileListBoxSelection, UserCanMoveButNeverEmptyTheSelection) {
    const SelectionRow& row = GetParam();
    for (const char* name : {"alpha.drv", "beta.drv", "delta.drv", "gamma.drv", "omega.drv"}) {
        touch(name);
    }
    parent.Show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(Widget(&parent)));
    FileListBox& box = *new FileListBox(parent.Client());
    Widget(&box)->setGeometry(10, 10, 161, 188);
    Widget(&box)->show();
    box.setPattern("*.drv");
    ASSERT_TRUE(box.setPath(S(dir.path())));
    box.setListIndex(1);
    box.setFocus();
    box.Click = [this] { ++clicks; };
    row.act(*Widget(&box));
    EXPECT_EQ(box.FileName(), row.selected) << row.action;
    EXPECT_EQ(Widget(&box)->selectionModel()->selectedIndexes().size(), 1) << row.action;
    EXPECT_EQ(clicks, row.clicks) << row.action;
}

INSTANTIATE_TEST_SUITE_P(Actions, FileListBoxSelection, ::testing::ValuesIn(SelectionRows),
                         [](const ::testing::TestParamInfo<SelectionRow>& info) {
                             return std::string(info.param.name);
                         });

// With nothing chosen yet, End goes to the last name at once, as it does once
// a name is chosen (not first to the first name), whether the box took the
// focus before or after its names came in.
TEST_F(FileListBoxTest, EndReachesTheLastNameBeforeAnyWasChosen) {
    makeDrivers("drv", 1000);
    parent.Show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(Widget(&parent)));
    for (const bool focusFirst : {true, false}) {
        FileListBox& box = *new FileListBox(parent.Client());
        Widget(&box)->setGeometry(10, 10, 161, 188);
        Widget(&box)->show();
        box.setPattern("*.drv");
        if (focusFirst) {
            box.setFocus();
        }
        ASSERT_TRUE(box.setPath(S(path("drv"))));
        ASSERT_TRUE(QTest::qWaitFor([&] { return Rows(box) == 1000; }, 10000));
        if (!focusFirst) {
            box.setFocus();
        }
        clicks = 0;
        box.Click = [this] { ++clicks; };
        QTest::keyClick(Widget(&box), Qt::Key_End);
        EXPECT_EQ(box.ListIndex(), 999) << "focus first: " << focusFirst;
        EXPECT_EQ(box.FileName(), box.List(999)) << "focus first: " << focusFirst;
        EXPECT_EQ(clicks, 1) << "focus first: " << focusFirst;
    }
}

} // namespace
