// Starting programs: the program search, detached starts that leave no
// zombie, and failures reported with their reason. (The command line's rules
// are tested with the system services, in tests/system.)
#include "platform/forms/Shell.h"
#include "platform/forms/Testing.h"
#include "platform/system/command_line.h"
#include "platform/win32.h"
#include "support/FakeEmulator.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>
#include <cerrno>
#include <csignal>
#include <elf.h>
#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

using platform::QuoteArgument;
// Shell as the launcher calls it, with the launcher's own directory first.
using platform::ShellResult;
using Strings = std::vector<std::string>;
using platform::forms::Shell;
using tavro::test::EmulatorRecord;
using tavro::test::WaitForRecord;
using tavro::test::WriteFakeEmulator;
using ::testing::HasSubstr;

namespace {

// ---------------------------------------------------------------- starting

// The state letter of a process from /proc, or 0 when it is gone.
char ProcessState(qint64 pid) {
    QFile f(QString("/proc/%1/stat").arg(pid));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray stat = f.readAll();
    const qsizetype close = stat.lastIndexOf(')');
    return close >= 0 && close + 2 < stat.size() ? stat[close + 2] : 0;
}

// Waits for a process to disappear entirely (reaped); returns its last state.
char WaitUntilGone(qint64 pid) {
    QElapsedTimer clock;
    clock.start();
    char state = ProcessState(pid);
    while (state != 0 && clock.elapsed() < 10000) {
        QThread::msleep(10);
        state = ProcessState(pid);
    }
    return state;
}

// Three places a program can be found: the launcher's own directory, the
// current directory and a directory on PATH. Restores all three afterwards.
class ShellTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(own.isValid() && cwd.isValid() && onPath.isValid() && out.isValid());
        savedCwd = QDir::currentPath();
        savedPath = qgetenv("PATH");
        platform::forms::SetAppPathForTesting(S(own.path()));
        ASSERT_TRUE(QDir::setCurrent(cwd.path()));
        qputenv("PATH", QFile::encodeName(onPath.path()) + ":" + savedPath);
    }
    void TearDown() override {
        QDir::setCurrent(savedCwd);
        qputenv("PATH", savedPath);
        platform::forms::SetAppPathForTesting({});
    }

    QString record(const QString& name = "record") const { return out.path() + "/" + name; }
    // Results hold UTF-8 text; the first `count` entries of a list (all when fewer).
    static std::string S(const QString& text) { return text.toStdString(); }
    static Strings First(std::size_t count, Strings all) {
        all.resize(std::min(count, all.size()));
        return all;
    }

    QTemporaryDir own, cwd, onPath, out;
    QString savedCwd;
    QByteArray savedPath;
};

TEST_F(ShellTest, StartsDetachedWithoutWaitingAndLeavesNoZombie) {
    WriteFakeEmulator(own.path() + "/morvel", record(), record("release"));
    // A descriptor the launcher holds open must not reach the program.
    const int devNull = ::open("/dev/null", O_RDONLY);
    const int leaked = ::dup2(devNull, 57);
    ::close(devNull);
    ASSERT_EQ(leaked, 57);

    const ShellResult r = Shell("morvel -640x400 -driver game.drv", platform::SW_SHOWMINIMIZED);
    ::close(leaked);
    ASSERT_TRUE(r.ok) << r.reason;
    EXPECT_TRUE(r.reason.empty());
    EXPECT_EQ(r.program, "morvel");
    EXPECT_EQ(r.path, S(own.path() + "/morvel"));

    const EmulatorRecord rec = WaitForRecord(record());
    ASSERT_TRUE(rec.present);
    EXPECT_EQ(rec.pid, r.pid);
    EXPECT_EQ(rec.args, QStringList({"-640x400", "-driver", "game.drv"}));
    EXPECT_EQ(rec.cwd, cwd.path());
    EXPECT_EQ(rec.sid, r.pid) << "the program leads a session of its own";
    EXPECT_EQ(rec.ppid, ::getpid());
    EXPECT_FALSE(rec.fds.contains("57")) << rec.fds.join(' ').toStdString();
    EXPECT_TRUE(rec.fds.contains("0") && rec.fds.contains("1") && rec.fds.contains("2"));

    // Shell has returned while the program still runs.
    const char running = ProcessState(r.pid);
    EXPECT_TRUE(running != 0 && running != 'Z') << running;

    QFile release(record("release"));
    ASSERT_TRUE(release.open(QIODevice::WriteOnly));
    release.close();
    EXPECT_EQ(WaitUntilGone(r.pid), 0) << "the finished program was not reaped";
}

TEST_F(ShellTest, ArgumentsArriveExactlyAsSplit) {
    WriteFakeEmulator(own.path() + "/morvel", record());
    // Valid UTF-8 or not, the bytes arrive as they were.
    const QByteArray name = "my \"best\" game; rm -rf ~ | $(id) `id` *.drv ñ日本 \xE9\xC3(\xA0\x85";
    const ShellResult r =
        Shell("morvel -driver " + QuoteArgument(name.toStdString()) + " \"\" tail\\",
              platform::SW_SHOWMINIMIZED);
    ASSERT_TRUE(r.ok) << r.reason;
    const EmulatorRecord rec = WaitForRecord(record());
    ASSERT_TRUE(rec.present);
    EXPECT_EQ(rec.rawArgs, QList<QByteArray>({"-driver", name, "", "tail\\"}));
    WaitUntilGone(r.pid);
}

TEST_F(ShellTest, SearchOrderOwnDirectoryThenCurrentThenPath) {
    const std::string ownDir = S(own.path()), cwdDir = S(cwd.path()), pathDir = S(onPath.path());
    EXPECT_EQ(First(3, platform::forms::ProgramSearchDirectories()),
              Strings({ownDir, cwdDir, pathDir}));
    // The system's search takes the own directory as given; none skips it.
    EXPECT_EQ(First(2, platform::ProgramSearchDirectories({})), Strings({cwdDir, pathDir}));

    WriteFakeEmulator(own.path() + "/morvel", record("own"));
    WriteFakeEmulator(cwd.path() + "/morvel", record("cwd"));
    WriteFakeEmulator(onPath.path() + "/morvel", record("path"));

    ShellResult r = Shell("morvel", platform::SW_SHOWMINIMIZED);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.path, S(own.path() + "/morvel"));
    EXPECT_TRUE(WaitForRecord(record("own")).present);

    QFile::remove(own.path() + "/morvel");
    r = Shell("morvel", platform::SW_SHOWMINIMIZED);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.path, S(cwd.path() + "/morvel"));
    EXPECT_TRUE(WaitForRecord(record("cwd")).present);

    QFile::remove(cwd.path() + "/morvel");
    r = Shell("morvel", platform::SW_SHOWMINIMIZED);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.path, S(onPath.path() + "/morvel"));
    EXPECT_TRUE(WaitForRecord(record("path")).present);
}

TEST_F(ShellTest, OnlyExecutableRegularFilesCount) {
    // A plain file and a directory by that name in earlier places are passed over.
    QFile plain(own.path() + "/morvel");
    ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
    plain.write("#!/bin/sh\n");
    plain.close();
    ASSERT_TRUE(QDir(cwd.path()).mkdir("morvel"));
    WriteFakeEmulator(onPath.path() + "/morvel", record());

    const ShellResult r = Shell("morvel", platform::SW_SHOWMINIMIZED);
    ASSERT_TRUE(r.ok) << r.reason;
    EXPECT_EQ(r.path, S(onPath.path() + "/morvel"));
    EXPECT_TRUE(WaitForRecord(record()).present);
}

TEST_F(ShellTest, ExeNamesFindNativePrograms) {
    // "morvel.exe" finds a native morvel, in the first directory that has either.
    WriteFakeEmulator(own.path() + "/morvel", record("native"));
    WriteFakeEmulator(cwd.path() + "/morvel.exe", record("exe-in-cwd"));
    ShellResult r = Shell("morvel.exe -gamelist", platform::SW_SHOWMINIMIZED);
    ASSERT_TRUE(r.ok) << r.reason;
    EXPECT_EQ(r.path, S(own.path() + "/morvel"));
    EXPECT_EQ(WaitForRecord(record("native")).args, QStringList({"-gamelist"}));

    // Within one directory the name as written comes first.
    WriteFakeEmulator(own.path() + "/morvel.exe", record("exact"));
    r = Shell("morvel.exe", platform::SW_SHOWMINIMIZED);
    EXPECT_EQ(r.path, S(own.path() + "/morvel.exe"));
    EXPECT_TRUE(WaitForRecord(record("exact")).present);

    // The suffix is recognised in any case.
    QFile::remove(own.path() + "/morvel.exe");
    QFile::remove(record("native"));
    r = Shell("morvel.EXE", platform::SW_SHOWMINIMIZED);
    EXPECT_EQ(r.path, S(own.path() + "/morvel"));
    EXPECT_TRUE(WaitForRecord(record("native")).present);

    // A name without an extension also finds name.exe.
    QFile::remove(own.path() + "/morvel");
    r = Shell("morvel", platform::SW_SHOWMINIMIZED);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.path, S(cwd.path() + "/morvel.exe"));
    EXPECT_TRUE(WaitForRecord(record("exe-in-cwd")).present);
}

TEST_F(ShellTest, NameWithSlashIsAPathFromTheCurrentDirectory) {
    ASSERT_TRUE(QDir(cwd.path()).mkdir("bin"));
    WriteFakeEmulator(cwd.path() + "/bin/morvel", record());
    WriteFakeEmulator(own.path() + "/morvel", record("own"));

    const ShellResult r = Shell("bin/morvel.exe -x", platform::SW_SHOWMINIMIZED);
    ASSERT_TRUE(r.ok) << r.reason;
    EXPECT_EQ(r.path, S(cwd.path() + "/bin/morvel"));
    EXPECT_EQ(WaitForRecord(record()).args, QStringList({"-x"}));
    EXPECT_FALSE(QFile::exists(record("own")));
}

TEST_F(ShellTest, FailuresSayWhatWasLookedForWhereAndWhy) {
    ShellResult r = Shell("morvel.exe -gamelist", platform::SW_SHOWMINIMIZED);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.pid, -1);
    EXPECT_EQ(r.error, ENOENT);
    EXPECT_EQ(r.program, "morvel.exe");
    EXPECT_EQ(First(3, r.searched), Strings({S(own.path()), S(cwd.path()), S(onPath.path())}));
    EXPECT_THAT(r.reason, AllOf(HasSubstr("morvel.exe"), HasSubstr("morvel")));

    // Found, but not allowed to run.
    QFile plain(cwd.path() + "/morvel");
    ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
    plain.write("#!/bin/sh\n");
    plain.close();
    r = Shell("morvel.exe", platform::SW_SHOWMINIMIZED);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.error, EACCES);
    EXPECT_THAT(r.reason, HasSubstr(S(cwd.path() + "/morvel")));
    EXPECT_THAT(r.reason, HasSubstr("not an executable"));

    // Executable, but the system cannot run it: the exec's own error comes back.
    ASSERT_TRUE(plain.open(QIODevice::WriteOnly | QIODevice::Truncate));
    plain.write(QByteArray("\x01\x02garbage", 9));
    plain.close();
    ASSERT_TRUE(plain.setPermissions(plain.permissions() | QFile::ExeOwner));
    r = Shell("morvel", platform::SW_SHOWMINIMIZED);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.error, ENOEXEC);
    EXPECT_EQ(r.path, S(cwd.path() + "/morvel"));
    EXPECT_THAT(r.reason, HasSubstr(strerror(ENOEXEC)));

    // A script whose interpreter is missing: the exec says "No such file",
    // but the file is there; the interpreter is what was not found.
    for (const QByteArray& firstLine :
         {QByteArray("#!/nonexistent/tavro-sh\n"), QByteArray("#! \t/nonexistent/tavro-sh -e\n"),
          QByteArray("#!/nonexistent/tavro-sh")}) {
        ASSERT_TRUE(plain.open(QIODevice::WriteOnly | QIODevice::Truncate));
        plain.write(firstLine.endsWith('\n') ? firstLine + "echo hi\n" : firstLine);
        plain.close();
        r = Shell("morvel", platform::SW_SHOWMINIMIZED);
        EXPECT_FALSE(r.ok);
        EXPECT_EQ(r.error, ENOENT);
        EXPECT_EQ(r.reason, S(cwd.path()) + "/morvel could not be started: its interpreter "
                                            "/nonexistent/tavro-sh was not found.");
    }

    // An executable whose loader is missing (a 32-bit program without the
    // 32-bit libraries, say) fails the same way. Made for this machine from
    // the test's own header.
    QFile self("/proc/self/exe");
    ASSERT_TRUE(self.open(QIODevice::ReadOnly));
    Elf64_Ehdr header{};
    ASSERT_EQ(self.read(reinterpret_cast<char*>(&header), sizeof header), qint64(sizeof header));
    if (header.e_ident[EI_CLASS] == ELFCLASS64) {
        const QByteArray loader = "/nonexistent/ld-tavro.so";
        header.e_type = ET_EXEC;
        header.e_phoff = sizeof header;
        header.e_phentsize = sizeof(Elf64_Phdr);
        header.e_phnum = 1;
        header.e_shoff = header.e_shnum = header.e_shstrndx = 0;
        Elf64_Phdr interp{};
        interp.p_type = PT_INTERP;
        interp.p_offset = sizeof header + sizeof interp;
        interp.p_filesz = static_cast<Elf64_Xword>(loader.size() + 1);
        ASSERT_TRUE(plain.open(QIODevice::WriteOnly | QIODevice::Truncate));
        plain.write(reinterpret_cast<const char*>(&header), sizeof header);
        plain.write(reinterpret_cast<const char*>(&interp), sizeof interp);
        plain.write(loader + '\0');
        plain.close();
        r = Shell("morvel", platform::SW_SHOWMINIMIZED);
        EXPECT_FALSE(r.ok);
        EXPECT_EQ(r.reason, S(cwd.path()) + "/morvel could not be started: its interpreter "
                                            "/nonexistent/ld-tavro.so was not found.");
    }

    // Nothing to start at all.
    for (const std::string line : {"", "   ", "\"\" -x"}) {
        r = Shell(line, platform::SW_SHOWMINIMIZED);
        EXPECT_FALSE(r.ok);
        EXPECT_FALSE(r.reason.empty());
    }
}

TEST_F(ShellTest, IgnoredSignalsAreNotPassedOn) {
    // The program starts with default signal handling whatever the launcher ignores.
    WriteFakeEmulator(own.path() + "/morvel", record(), record("release"));
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    struct sigaction previous {};
    ASSERT_EQ(::sigaction(SIGTERM, &ignore, &previous), 0);
    const ShellResult r = Shell("morvel", platform::SW_SHOWMINIMIZED);
    ::sigaction(SIGTERM, &previous, nullptr);
    ASSERT_TRUE(r.ok);
    ASSERT_TRUE(WaitForRecord(record()).present);
    ASSERT_EQ(::kill(static_cast<pid_t>(r.pid), SIGTERM), 0);
    EXPECT_EQ(WaitUntilGone(r.pid), 0) << "SIGTERM was still ignored";
    QFile release(record("release")); // lets a survivor finish all the same
    ASSERT_TRUE(release.open(QIODevice::WriteOnly));
}

} // namespace
