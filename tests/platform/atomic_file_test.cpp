// The safe save shared by the profile writer and the driver editor: the old
// file stays whole until the new one is complete, read-only files are never
// replaced, and interrupted saves leave nothing behind.
#include "platform/system/atomic_file.h"
#include "platform/testing.h"

#include "system/SaveFixtures.h"

#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <signal.h>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using platform::AtomicFile;
using platform::WriteFileAtomically;

class AtomicFileTest : public tavro::test::SaveTest {
protected:
    pid_t lastChild_ = 0;
    static unsigned ModeOf(const std::string& path) {
        struct stat st {};
        EXPECT_EQ(::stat(path.c_str(), &st), 0);
        return st.st_mode & 07777;
    }
    // Runs `save` in a child process and gives its wait status.
    int InChild(const std::function<void()>& save) {
        const pid_t child = ::fork();
        if (child == 0) {
            save();
            ::_exit(0);
        }
        int status = 0;
        EXPECT_EQ(::waitpid(child, &status, 0), child);
        lastChild_ = child; // gone now: its temporary files are debris
        return status;
    }
};

TEST_P(AtomicFileTest, ReplacesContentAndKeepsMode) {
    for (const unsigned mode : {0644u, 0600u, 0640u, 0755u, 0200u}) {
        Put(Cfg(), "old content\n");
        ASSERT_EQ(::chmod(Cfg().c_str(), mode), 0);
        EXPECT_EQ(Save(Cfg(), "new\n"), "ok") << std::oct << mode;
        EXPECT_EQ(Get(Cfg()), "new\n");
        EXPECT_EQ(ModeOf(Cfg()), mode);
    }
    // A new file takes the umask's mode.
    const mode_t umask = ::umask(022);
    EXPECT_EQ(Save(PathOf("fresh"), "x"), "ok");
    ::umask(umask);
    EXPECT_EQ(ModeOf(PathOf("fresh")), 0644u);
    EXPECT_EQ(Entries(Dir()), (std::set<std::string>{"tavro.cfg", "fresh"}));
}

// Targets that must not be replaced: each keeps its exact bytes, the
// directory holds nothing new, and the reason says why (root included).
TEST_P(AtomicFileTest, RefusedTargetsStayByteIdentical) {
    struct Case {
        const char* what;
        std::function<void(const std::string& path)> make;
        const char* reason;
    };
    const Case cases[] = {
        {"mode 0444", [](const std::string& p) { ::chmod(p.c_str(), 0444); },
         "the file is read-only"},
        {"mode 0400", [](const std::string& p) { ::chmod(p.c_str(), 0400); },
         "the file is read-only"},
        {"mode 0", [](const std::string& p) { ::chmod(p.c_str(), 0); }, "the file is read-only"},
        {"a second hard link",
         [this](const std::string& p) { fs::create_hard_link(p, PathOf("other name")); },
         "hard links"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all(Dir());
        fs::create_directory(Dir());
        const std::string bytes = "[S]\r\nkeep=me\r\n";
        Put(Cfg(), bytes);
        c.make(Cfg());
        const auto before = Entries(Dir());
        const unsigned mode = ModeOf(Cfg());
        EXPECT_NE(Save(Cfg(), "replaced").find(c.reason), std::string::npos);
        EXPECT_EQ(ModeOf(Cfg()), mode);
        ::chmod(Cfg().c_str(), 0600);
        EXPECT_EQ(Get(Cfg()), bytes);
        EXPECT_EQ(Entries(Dir()), before);
    }

    // Not files at all.
    fs::create_directory(PathOf("adir"));
    EXPECT_EQ(Save(PathOf("adir"), "x"), "it is a directory, not a file");
    EXPECT_EQ(Save("/dev/null", "x"), "it is not a regular file");
    fs::create_symlink(PathOf("missing"), PathOf("dangling"));
    EXPECT_EQ(Save(PathOf("dangling"), "x"), "it is a symbolic link to a missing file");
    EXPECT_FALSE(fs::exists(PathOf("missing")));
    EXPECT_NE(Save(PathOf("nodir/file"), "x").find("could not be opened"), std::string::npos);
}

TEST_P(AtomicFileTest, ASymbolicLinkIsFollowed) {
    fs::create_directory(PathOf("real"));
    Put(PathOf("real/target"), "old");
    ASSERT_EQ(::chmod(PathOf("real/target").c_str(), 0604), 0);
    fs::create_symlink("real/target", Cfg());
    EXPECT_EQ(Save(Cfg(), "new"), "ok");
    EXPECT_TRUE(fs::is_symlink(Cfg()));
    EXPECT_EQ(Get(PathOf("real/target")), "new");
    EXPECT_EQ(ModeOf(PathOf("real/target")), 0604u);
    EXPECT_EQ(Entries(PathOf("real")), std::set<std::string>{"target"});
}

TEST_P(AtomicFileTest, FailuresLeaveTheOldFileWholeAndNoDebris) {
    const std::string before = "old " + std::string(4000, 'o');
    Put(Cfg(), before);
    // The disk fills up: files may not grow past 1 KB in the child.
    const int status = InChild([this] {
        ::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{1024, 1024};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        std::string reason;
        const bool ok = WriteFileAtomically(Cfg(), std::string(8000, 'n'), &reason);
        ::_exit(!ok && reason.starts_with("the new content could not be written") ? 0 : 1);
    });
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "no honest failure";
    EXPECT_EQ(Get(Cfg()), before);
    EXPECT_EQ(Entries(Dir()), std::set<std::string>{"tavro.cfg"});
}

TEST_P(AtomicFileTest, AnInterruptedSaveLeavesNothingALaterSaveKeeps) {
    Put(Cfg(), "old");
    const int status = InChild([this] {
        AtomicFile file(Cfg());
        if (file.Open() && file.Write(std::string(100000, 'x')))
            ::raise(SIGKILL);
    });
    ASSERT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(Get(Cfg()), "old");
    // A named temporary file may stay until the next save in the directory,
    // as may one killed in the instant an unnamed file has a name. Files of
    // that form that are not ours stay.
    EXPECT_EQ(Entries(Dir()).size(), GetParam() ? 2u : 1u);
    Put(PathOf(".tavro-" + std::to_string(lastChild_) + "-7"), "named at the rename");
    Put(PathOf(".tavro-notours"), "x");
    EXPECT_EQ(Save(PathOf("other"), "y"), "ok");
    EXPECT_EQ(Entries(Dir()), (std::set<std::string>{"tavro.cfg", "other", ".tavro-notours"}));
}

INSTANTIATE_TEST_SUITE_P(Temporaries, AtomicFileTest, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Named" : "Unnamed"; });

} // namespace
