// The built program started the ways a user starts it - through a link in an
// emulator directory, by name from PATH, by a relative path, from a directory
// whose name is not UTF-8 - lists that directory's drivers, keeps its
// tavro.cfg there and finds the emulator there.
#include "support/EmulatorDir.h"
#include "support/FakeEmulator.h"
#include "support/X11Launch.h"
#include "support/X11Session.h"

#include <QFile>
#include <QTemporaryDir>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <gtest/gtest.h>
#include <ostream>
#include <string>

using namespace tavro::test;

namespace {

// The sh command line that starts the program and the directory it runs in,
// for an emulator directory `emu` holding the link "tavro" (or a copy of the
// program) and a working directory `work` elsewhere. The emulator directory is
// `inside` the temporary one; its name need not be UTF-8.
struct Row {
    const char* name; // the test's name
    const char* how;
    std::function<QString(const QByteArray& emu)> command;
    std::function<QByteArray(const QByteArray& emu, const QByteArray& work)> cwd;
    QByteArray inside = "emu";
    bool copy = false;
};

void PrintTo(const Row& row, std::ostream* os) {
    *os << row.how;
}

QByteArray Elsewhere(const QByteArray&, const QByteArray& work) {
    return work;
}
QByteArray InIt(const QByteArray& emu, const QByteArray&) {
    return emu;
}

const Row Rows[] = {
    {"ThroughTheLinksFullPath", "through the link's full path",
     [](const QByteArray& emu) { return "exec " + ShellWord(emu + "/tavro"); }, Elsewhere},
    {"ByNameFromPath", "by name from PATH",
     [](const QByteArray& emu) {
         return "PATH=" + ShellWord(emu) + ":$PATH; export PATH; exec tavro";
     },
     Elsewhere},
    {"ByAPathRelativeToTheWorkingDirectory", "by a path relative to the working directory",
     [](const QByteArray& emu) {
         return "exec ./" + ShellWord(emu.mid(emu.lastIndexOf('/') + 1)) + "/tavro";
     },
     [](const QByteArray& emu, const QByteArray&) { return emu.left(emu.lastIndexOf('/')); }},
    {"FromItsOwnDirectoryNotUtf8", "as ./tavro, a copy in its own directory named not in UTF-8",
     [](const QByteArray&) { return QStringLiteral("exec ./tavro"); }, InIt, "g\xe9mes", true},
    {"ThroughTheFullPathNotUtf8", "through the full path of a directory named not in UTF-8",
     [](const QByteArray& emu) { return "exec " + ShellWord(emu + "/tavro"); }, Elsewhere,
     "g\xe9mes"},
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
    const QByteArray at = row.inside + "/";
    dir.makeRawDir(row.inside);
    dir.makeRawDir(at + "drv");
    dir.writeRaw(at + "drv/alpha.drv", "[driver]\nname=Alpha\n");
    WriteFakeEmulator(out.path() + "/morvel", out.path() + "/record");
    ASSERT_TRUE(dir.linkRaw(QFile::encodeName(out.path() + "/morvel"), at + "morvel"));
    if (row.copy) {
        ASSERT_FALSE(dir.installProgram().isEmpty());
        ASSERT_EQ(::rename(dir.rawFile("tavro").constData(), dir.rawFile(at + "tavro").constData()),
                  0);
    } else {
        ASSERT_TRUE(dir.linkRaw(TAVRO_EXE, at + "tavro"));
    }
    const QByteArray emu = dir.rawFile(row.inside);
    const QByteArray cwd = row.cwd(emu, QFile::encodeName(work.path()));

    X11Session session;
    const QString failed =
        RunFirstDriver(session, "cd " + ShellWord(cwd) + " && " + row.command(emu), "/");
    ASSERT_TRUE(failed.isEmpty()) << failed.toStdString();

    const EmulatorRecord record = WaitForRecord(out.path() + "/record");
    ASSERT_TRUE(record.present) << "the emulator beside the link was not started";
    EXPECT_EQ(record.args.mid(record.args.size() - 2), QStringList({"-driver", "alpha.drv"}));
    char real[PATH_MAX];
    ASSERT_NE(::realpath(cwd.constData(), real), nullptr);
    EXPECT_EQ(record.cwd, QString::fromUtf8(real));
    EXPECT_NE(dir.readRaw(at + "tavro.cfg"), "<missing>")
        << "the settings were not kept beside the link";
}

INSTANTIATE_TEST_SUITE_P(Starts, ProgramDirX11, ::testing::ValuesIn(Rows),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
