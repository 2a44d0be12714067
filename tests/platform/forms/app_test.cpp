// The program directory: the directory of the path Tavro was started by, with
// symbolic links left as they are, so that a link in an emulator directory
// makes that directory the program's. And the fonts set up ahead of the
// application.
#include "platform/forms/App.h"
#include "platform/forms/Design.h"
#include "platform/forms/FontsAhead.h"
#include "support/EmulatorDir.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFontMetrics>
#include <gtest/gtest.h>
#include <vector>

using platform::forms::ProgramDirectory;
using tavro::test::EmulatorDir;

namespace {

// An emulator directory "emu" holding a link to the built program, beside
// "other" with a different program of the same name and "plain" with a
// non-executable file of that name.
class ProgramDirectoryTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir.makeDir("emu/drv");
        dir.makeDir("other");
        dir.makeDir("plain");
        dir.makeDir("empty");
        ASSERT_FALSE(dir.linkProgram(exe, "emu/tavro").isEmpty());
        dir.write("other/tavro", "#!/bin/sh\n");
        ASSERT_TRUE(
            QFile::setPermissions(dir.file("other/tavro"), QFile::ReadOwner | QFile::ExeOwner));
        dir.write("plain/tavro", "");
    }

    QString at(const QString& relative) const { return dir.file(relative); }
    QByteArray searchPath(const QStringList& relatives) const {
        QStringList dirs;
        for (const QString& r : relatives)
            dirs.append(r.isEmpty() ? QString() : at(r));
        return QFile::encodeName(dirs.join(u':'));
    }

    EmulatorDir dir;
    const QString exe = QStringLiteral(TAVRO_EXE);
    const QString exeDir = QFileInfo(exe).absolutePath();
};

TEST_F(ProgramDirectoryTest, ThePathStartedByCountsWithoutResolvingTheLink) {
    struct Row {
        const char* what;
        QString argv0, cwd;
        QString expected;
    };
    const std::vector<Row> rows{
        {"absolute path of the link", at("emu/tavro"), at("other"), at("emu")},
        {"relative to the working directory", "emu/tavro", dir.path(), at("emu")},
        {"from the emulator directory", "./tavro", at("emu"), at("emu")},
        {"doubled separators and dots are tidied", "emu//./tavro", dir.path(), at("emu")},
        // The system decides where ".." leads; it is kept for it to do so.
        {"a parent step is kept", "../emu/tavro", at("other"), at("other/../emu")},
        {"the built program itself", exe, at("other"), exeDir},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(ProgramDirectory(row.argv0, row.cwd, "/usr/bin:/bin", exe), row.expected)
            << row.what;
    }
    // The directory found is where the emulator's files are looked for.
    EXPECT_TRUE(QDir(ProgramDirectory("../emu/tavro", at("other"), "", exe) + "/drv").exists());
}

TEST_F(ProgramDirectoryTest, ABareNameIsFoundOnTheSearchPathAsTheShellFoundIt) {
    struct Row {
        const char* what;
        QStringList path;
        QString expected;
    };
    const std::vector<Row> rows{
        {"first directory that has it", {"empty", "emu", "other"}, at("emu")},
        {"non-executable files are passed over", {"plain", "emu"}, at("emu")},
        {"an empty entry is the working directory", {"empty", "", "other"}, at("emu")},
        // The shell would have started that other program, so argv[0] says
        // nothing about how this one was started.
        {"another program comes first", {"other", "emu"}, exeDir},
        {"not on the search path", {"empty", "plain"}, exeDir},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(ProgramDirectory("tavro", at("emu"), searchPath(row.path), exe), row.expected)
            << row.what;
    }
}

TEST_F(ProgramDirectoryTest, AnUnusableArgv0FallsBackToTheExecutablesDirectory) {
    for (const QString& argv0 : {QString(), at("other/tavro"), at("emu/missing"), at("plain/tavro"),
                                 QStringLiteral("-tavro")}) {
        EXPECT_EQ(ProgramDirectory(argv0, at("emu"), searchPath({"emu"}), exe), exeDir)
            << argv0.toStdString();
    }
}

// The font set-up starts once however often it is asked for (this program
// has Qt's GUI, and with it the system's font configuration), and the fonts
// resolve as before.
TEST(FontsAheadTest, StartsOnceAndLeavesFontsAsTheyWere) {
    const int before = QFontMetrics(platform::forms::DefaultDialogFont()).height();
    EXPECT_TRUE(platform::forms::PrepareFontsAhead());
    EXPECT_FALSE(platform::forms::PrepareFontsAhead());
    EXPECT_EQ(QFontMetrics(platform::forms::DefaultDialogFont()).height(), before);
}

} // namespace
