// The program directory: the directory of the path Tavro was started by, with
// symbolic links left as they are, so that a link in an emulator directory
// makes that directory the program's. And the fonts set up ahead of the
// application.
#include "platform/forms/App.h"
#include "platform/forms/qt/Design.h"
#include "platform/forms/qt/FontsAhead.h"
#include "support/EmulatorDir.h"

#include <QFile>
#include <QFileInfo>
#include <QFontMetrics>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <vector>

using platform::forms::ProgramDirectory;
using tavro::test::EmulatorDir;

namespace {

// An emulator directory "emu" holding a link to the built program, beside
// "other" with a different program of the same name, "plain" with a
// non-executable file of that name and "g\xe9mes", a name that is not UTF-8,
// with another link.
class ProgramDirectoryTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir.makeDir("emu/drv");
        dir.makeDir("other");
        dir.makeDir("plain");
        dir.makeDir("empty");
        ASSERT_FALSE(dir.linkProgram(TAVRO_EXE, "emu/tavro").isEmpty());
        dir.write("other/tavro", "#!/bin/sh\n");
        ASSERT_TRUE(
            QFile::setPermissions(dir.file("other/tavro"), QFile::ReadOwner | QFile::ExeOwner));
        dir.write("plain/tavro", "");
        dir.makeRawDir(games);
        ASSERT_TRUE(dir.linkRaw(TAVRO_EXE, games + "/tavro"));
    }

    std::string at(const QByteArray& relative) const { return dir.rawFile(relative).toStdString(); }
    std::string searchPath(const QList<QByteArray>& relatives) const {
        QList<QByteArray> dirs;
        for (const QByteArray& r : relatives)
            dirs.append(r.isEmpty() ? QByteArray() : dir.rawFile(r));
        return dirs.join(':').toStdString();
    }

    EmulatorDir dir;
    const QByteArray games = "g\xe9mes";
    const std::string exe = TAVRO_EXE;
    const std::string exeDir = QFile::encodeName(QFileInfo(TAVRO_EXE).absolutePath()).toStdString();
};

TEST_F(ProgramDirectoryTest, ThePathStartedByCountsWithoutResolvingTheLink) {
    struct Row {
        const char* what;
        std::string argv0, cwd;
        std::string expected;
    };
    const std::vector<Row> rows{
        {"absolute path of the link", at("emu/tavro"), at("other"), at("emu")},
        {"relative to the working directory", "emu/tavro", at("."), at("emu")},
        {"from the emulator directory", "./tavro", at("emu"), at("emu")},
        {"doubled separators and dots are tidied", "emu//./tavro", at("."), at("emu")},
        // The system decides where ".." leads; it is kept for it to do so.
        {"a parent step is kept", "../emu/tavro", at("other"), at("other/../emu")},
        {"the built program itself", exe, at("other"), exeDir},
        // Names are bytes: a directory name that is not UTF-8 is kept exactly.
        {"absolute path, not UTF-8", at(games + "/tavro"), at("other"), at(games)},
        {"from a directory named not in UTF-8", "./tavro", at(games), at(games)},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(ProgramDirectory(row.argv0, row.cwd, "/usr/bin:/bin", exe), row.expected)
            << row.what;
    }
    // The directory found is where the emulator's files are looked for.
    EXPECT_TRUE(std::filesystem::is_directory(
        ProgramDirectory("../emu/tavro", at("other"), "", exe) + "/drv"));
}

TEST_F(ProgramDirectoryTest, ABareNameIsFoundOnTheSearchPathAsTheShellFoundIt) {
    struct Row {
        const char* what;
        QList<QByteArray> path;
        std::string expected;
    };
    const std::vector<Row> rows{
        {"first directory that has it", {"empty", "emu", "other"}, at("emu")},
        {"non-executable files are passed over", {"plain", "emu"}, at("emu")},
        {"an empty entry is the working directory", {"empty", "", "other"}, at("emu")},
        // The shell would have started that other program, so argv[0] says
        // nothing about how this one was started.
        {"another program comes first", {"other", "emu"}, exeDir},
        {"not on the search path", {"empty", "plain"}, exeDir},
        {"a directory named not in UTF-8", {"empty", games}, at(games)},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(ProgramDirectory("tavro", at("emu"), searchPath(row.path), exe), row.expected)
            << row.what;
    }
}

TEST_F(ProgramDirectoryTest, AnUnusableArgv0FallsBackToTheExecutablesDirectory) {
    for (const std::string& argv0 : {std::string(), at("other/tavro"), at("emu/missing"),
                                     at("plain/tavro"), std::string("-tavro")}) {
        EXPECT_EQ(ProgramDirectory(argv0, at("emu"), searchPath({"emu"}), exe), exeDir) << argv0;
    }
    // The executable's own name need not be UTF-8 either.
    EXPECT_EQ(ProgramDirectory({}, at("emu"), {}, at(games + "/tavro")), at(games));
    // With the executable unknown too, the program stays in the directory it
    // was started in; the one above it is never taken for its own.
    EXPECT_EQ(ProgramDirectory({}, at(games), {}, {}), at(games));
    EXPECT_EQ(ProgramDirectory("./tavro", at(games), {}, {}), at(games));
}

// The font set-up starts once however often it is asked for (this program
// has Qt's GUI, and with it the system's font configuration), and the fonts
// resolve as before.
TEST(FontsAheadTest, StartsOnceAndLeavesFontsAsTheyWere) {
    const int before = QFontMetrics(platform::forms::qt::DefaultDialogQFont()).height();
    EXPECT_TRUE(platform::forms::qt::PrepareFontsAhead());
    EXPECT_FALSE(platform::forms::qt::PrepareFontsAhead());
    EXPECT_EQ(QFontMetrics(platform::forms::qt::DefaultDialogQFont()).height(), before);
}

} // namespace
