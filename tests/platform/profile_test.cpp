// The profile-file functions: Win32 reading rules, writes that touch one line
// only, and failed writes that leave the old file whole.
#include "platform/system/profile.h"

#include "support/HeldLock.h"
#include "system/SaveFixtures.h"

#include <QTemporaryDir>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <iterator>
#include <ostream>
#include <random>
#include <set>
#include <signal.h>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;
using platform::GetLastError;
using platform::GetPrivateProfileStringA;
using platform::WritePrivateProfileStringA;

using tavro::test::ProfileTest;

// --- writing -------------------------------------------------------------

TEST_F(ProfileTest, PermissionBitsAreKept) {
    Put(Cfg(), "[S]\nk=v\n");
    ASSERT_EQ(::chmod(Cfg().c_str(), 0640), 0);
    ASSERT_TRUE(Write("S", "k", "w"));
    struct stat st {};
    ASSERT_EQ(::stat(Cfg().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
}

TEST_F(ProfileTest, ASymbolicLinkIsFollowedNotReplaced) {
    Put(PathOf("real.cfg"), "[S]\nk=v\n");
    fs::create_symlink(PathOf("real.cfg"), Cfg());
    ASSERT_TRUE(Write("S", "k", "w"));
    EXPECT_TRUE(fs::is_symlink(Cfg()));
    EXPECT_EQ(Get(PathOf("real.cfg")), "[S]\nk=w\n");
}

// --- failed writes -------------------------------------------------------

TEST_F(ProfileTest, DiskFullLeavesTheOldFileWhole) {
    const std::string before = "; keep me\n[S]\nk=" + std::string(4000, 'o') + "\n";
    Put(Cfg(), before);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // Files may not grow past 1 KB in the child: the new copy cannot be written.
        ::signal(SIGXFSZ, SIG_IGN);
        struct rlimit limit {
            1024, 1024
        };
        ::setrlimit(RLIMIT_FSIZE, &limit);
        const platform::BOOL ok = WritePrivateProfileStringA("S", "new", "v", Cfg().c_str());
        ::_exit(ok == platform::FALSE && GetLastError() == platform::ERROR_FILE_TOO_LARGE ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the write reported success, or no reason";
    EXPECT_EQ(Get(Cfg()), before);
    EXPECT_EQ(Entries(Dir()), (std::set<std::string>{"tavro.cfg"}));
}

TEST_F(ProfileTest, AReadOnlyFileIsNeverReplaced) {
    // Like the Windows read-only attribute, for root too.
    const std::string before = "[S]\r\nk=v\r\n";
    for (const unsigned mode : {0444u, 0400u, 0u}) {
        Put(Cfg(), before);
        ASSERT_EQ(::chmod(Cfg().c_str(), mode), 0);
        EXPECT_FALSE(Write("S", "k", "changed")) << std::oct << mode;
        EXPECT_FALSE(Write("S", "new", "1")) << std::oct << mode;
        EXPECT_TRUE(Write("S", "k", "v")) << "a value already stored needs no write";
        ::chmod(Cfg().c_str(), 0600);
        EXPECT_EQ(Get(Cfg()), before);
        EXPECT_EQ(Entries(Dir()), std::set<std::string>{"tavro.cfg"});
    }
}

// A write that cannot be made: FALSE, the reason in the last error, and the
// file (or what stands at its path) as it was.
struct RefusedCase {
    const char* name;
    const char* file; // tavro.cfg's content to begin with, or null for none
    bool locked;      // another launcher holds the directory's lock
    std::function<void(const std::string& cfg, const std::string& dir)> arrange;
    platform::DWORD error;
};

void PrintTo(const RefusedCase& c, std::ostream* os) {
    *os << c.name;
}

const std::size_t Cap = std::size_t(1) << 20;
const std::string NearTheCap = "[General]\n;" + std::string(Cap - 5 - 12, 'f') + "\n";
const auto MakeReadOnly = [](const std::string& cfg, const std::string&) {
    ::chmod(cfg.c_str(), 0444);
};

const RefusedCase RefusedCases[] = {
    {"ReadOnly", "[General]\n", false, MakeReadOnly, platform::ERROR_FILE_READ_ONLY},
    // Pinned is pinned: no wait for a lock that could not make it writable.
    {"ReadOnlyWhileLocked", "[General]\n", true, MakeReadOnly, platform::ERROR_FILE_READ_ONLY},
    {"Locked", "[General]\n", true, {}, platform::ERROR_LOCK_VIOLATION},
    {"HardLinked", "[General]\n", false,
     [](auto& cfg, auto& dir) { ::link(cfg.c_str(), (dir + "/other").c_str()); },
     platform::ERROR_NOT_SUPPORTED},
    {"LinkToAMissingFile", nullptr, false,
     [](auto& cfg, auto&) { ::symlink("missing.cfg", cfg.c_str()); },
     platform::ERROR_FILE_NOT_FOUND},
    {"LinkLoop", nullptr, false, [](auto& cfg, auto&) { ::symlink("tavro.cfg", cfg.c_str()); },
     platform::ERROR_CANT_RESOLVE_FILENAME},
    // 5 bytes under 1 MiB: "profile=1" would take it past, where it reads as empty.
    {"GrowingPastTheCap", NearTheCap.c_str(), false, {}, platform::ERROR_FILE_TOO_LARGE},
    {"OverTheCap", "[General]\n", false, [](auto& cfg, auto&) { fs::resize_file(cfg, Cap + 1); },
     platform::ERROR_FILE_TOO_LARGE},
};

class RefusedWrites : public ProfileTest, public ::testing::WithParamInterface<RefusedCase> {};

TEST_P(RefusedWrites, SayWhyAndChangeNothing) {
    const RefusedCase& c = GetParam();
    if (c.file)
        Put(Cfg(), c.file);
    if (c.arrange)
        c.arrange(Cfg(), Dir());
    const tavro::test::HeldLock lock(c.locked ? Dir() : "");
    const std::string before = Get(Cfg());
    platform::SetLastError(platform::ERROR_SUCCESS);
    EXPECT_FALSE(Write("General", "profile", "1"));
    EXPECT_EQ(GetLastError(), c.error);
    EXPECT_EQ(Get(Cfg()), before);
    EXPECT_EQ(lock.waits(), c.error == platform::ERROR_LOCK_VIOLATION ? 1u : 0u);
}

INSTANTIATE_TEST_SUITE_P(Profile, RefusedWrites, ::testing::ValuesIn(RefusedCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(ProfileTest, ARowOfWritesWaitsOnceForALockHeldThroughout) {
    // One Run press stores up to seven values while another launcher holds
    // the lock: one wait for them all, not one each.
    Put(Cfg(), "[General]\n");
    tavro::test::HeldLock lock(Dir());
    {
        const platform::ProfileWriteRow row;
        for (const char* key : {"res", "number", "sync", "debug", "nocheck", "sound", "profile"}) {
            EXPECT_FALSE(Write("General", key, "1")) << key;
            EXPECT_EQ(GetLastError(), platform::ERROR_LOCK_VIOLATION) << key;
        }
    }
    EXPECT_EQ(lock.waits(), 1u);
    lock.release();
    // Free again, a row takes the lock once and keeps it for its writes.
    {
        const platform::ProfileWriteRow row;
        for (const char* key : {"sync", "sound"})
            EXPECT_TRUE(Write("General", key, "1")) << key;
    }
    EXPECT_EQ(Get(Cfg()), "[General]\nsync=1\nsound=1\n");
    EXPECT_EQ(lock.waits(), 1u);
}

// Runs `work` in `count` child processes at once and waits for all of them.
void InChildren(int count, const std::function<void(int child)>& work) {
    std::vector<pid_t> children;
    for (int i = 0; i < count; ++i) {
        const pid_t pid = ::fork();
        if (pid == 0) {
            work(i);
            ::_exit(0);
        }
        children.push_back(pid);
    }
    for (const pid_t pid : children)
        ::waitpid(pid, nullptr, 0);
}

TEST_F(ProfileTest, KilledWritersLeaveNoDebrisPastTheNextSave) {
    Put(Cfg(), "[S]\nk=0\n");
    for (int round = 0; round < 6; ++round) {
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            for (int i = 0;; ++i)
                WritePrivateProfileStringA("S", "k", std::to_string(i).c_str(), Cfg().c_str());
        }
        ::usleep(15000 + round * 4000);
        ::kill(child, SIGKILL);
        ::waitpid(child, nullptr, 0);
        EXPECT_NE(Read("S", "k", "torn"), "torn");
        // A kill in the instant between naming the new file and putting it in
        // place leaves it under its temporary name, and the next save clears it.
        const std::string leftover = ".tavro-" + std::to_string(child) + "-";
        for (const std::string& entry : Entries(Dir())) {
            EXPECT_TRUE(entry == "tavro.cfg" || entry.rfind(leftover, 0) == 0) << entry;
        }
        EXPECT_TRUE(
            WritePrivateProfileStringA("S", "after", std::to_string(round).c_str(), Cfg().c_str()));
        EXPECT_EQ(Entries(Dir()), std::set<std::string>{"tavro.cfg"}) << round;
    }
}

TEST_F(ProfileTest, ConcurrentWritersLoseNoWrite) {
    // Two launchers storing their settings at the same moment.
    constexpr int Keys = 40;
    Put(Cfg(), "[S]\n");
    InChildren(2, [this](int child) {
        for (int i = 0; i < Keys; ++i) {
            const std::string key = "c" + std::to_string(child) + "k" + std::to_string(i);
            if (!WritePrivateProfileStringA("S", key.c_str(), "1", Cfg().c_str()))
                ::_exit(1);
        }
    });
    for (int child = 0; child < 2; ++child) {
        for (int i = 0; i < Keys; ++i) {
            const std::string key = "c" + std::to_string(child) + "k" + std::to_string(i);
            EXPECT_EQ(Read("S", key.c_str(), "lost"), "1") << key;
        }
    }
    EXPECT_EQ(Entries(Dir()), std::set<std::string>{"tavro.cfg"});
}

} // namespace
