// The built program started the ways a user starts it - through a link in an
// emulator directory, by name from PATH, by a relative path - lists that
// directory's drivers, keeps its tavro.cfg there and finds the emulator there.
#include "support/EmulatorDir.h"
#include "support/FakeEmulator.h"
#include "support/X11Launch.h"
#include "support/X11Session.h"

#include <QFileInfo>
#include <QTemporaryDir>
#include <functional>
#include <gtest/gtest.h>
#include <ostream>
#include <string>

using namespace tavro::test;

namespace {

// The sh command line that starts the program and the directory it runs in,
// for an emulator directory holding the link "tavro" and a working directory
// elsewhere.
struct Row {
    const char* name; // the test's name
    const char* how;
    std::function<QString(const QString& emu)> command;
    std::function<QString(const QString& emu, const QString& work)> cwd;
};

void PrintTo(const Row& row, std::ostream* os) {
    *os << row.how;
}

QString Elsewhere(const QString&, const QString& work) {
    return work;
}

const Row Rows[] = {
    {"ThroughTheLinksFullPath", "through the link's full path",
     [](const QString& emu) { return "exec " + ShellQuoted(emu + "/tavro"); }, Elsewhere},
    {"ByNameFromPath", "by name from PATH",
     [](const QString& emu) {
         return "PATH=" + ShellQuoted(emu) + ":$PATH; export PATH; exec tavro";
     },
     Elsewhere},
    {"ByAPathRelativeToTheWorkingDirectory", "by a path relative to the working directory",
     [](const QString& emu) {
         return "exec ./" + ShellQuoted(QFileInfo(emu).fileName() + "/tavro");
     },
     [](const QString& emu, const QString&) { return QFileInfo(emu).path(); }},
};

class ProgramDirX11 : public ::testing::TestWithParam<Row> {};

TEST_P(ProgramDirX11, StartedThroughALinkTheLinksDirectoryIsTheProgramDirectory) {
    const QStringList missing = X11Session::MissingTools();
    if (!missing.isEmpty()) {
        GTEST_SKIP() << "needs " << missing.join(", ").toStdString();
    }
    const Row& row = GetParam();
    SCOPED_TRACE(row.how);
    EmulatorDir dir;
    QTemporaryDir work, out;
    dir.write("drv/alpha.drv", "[driver]\nname=Alpha\n");
    WriteFakeEmulator(dir.file("morvel"), out.path() + "/record");
    ASSERT_FALSE(dir.linkProgram().isEmpty());
    const QString cwd = row.cwd(dir.path(), work.path());

    X11Session session;
    const QString failed = RunFirstDriver(session, row.command(dir.path()), cwd);
    ASSERT_TRUE(failed.isEmpty()) << failed.toStdString();

    const EmulatorRecord record = WaitForRecord(out.path() + "/record");
    ASSERT_TRUE(record.present) << "the emulator beside the link was not started";
    EXPECT_EQ(record.args.mid(record.args.size() - 2), QStringList({"-driver", "alpha.drv"}));
    EXPECT_EQ(record.cwd, QFileInfo(cwd).canonicalFilePath());
    EXPECT_TRUE(dir.exists("tavro.cfg")) << "the settings were not kept beside the link";
}

INSTANTIATE_TEST_SUITE_P(Starts, ProgramDirX11, ::testing::ValuesIn(Rows),
                         [](const ::testing::TestParamInfo<Row>& info) {
                             return std::string(info.param.name);
                         });

} // namespace
