// The safe save shared by the profile writer and the driver editor: the old
// file stays whole until the new one is complete, and a save given up or in
// progress leaves nothing behind. (What only POSIX has, modes, links and
// killed saves, is tested in tests/platform.)
#include "platform/system/atomic_file.h"
#include "platform/testing.h"
#include "system/SaveFixtures.h"

#include <gtest/gtest.h>
#include <set>
#include <string>

namespace {

using platform::AtomicFile;
using platform::WriteFileAtomically;

class AtomicFileTest : public tavro::test::SaveTest {};

TEST_P(AtomicFileTest, BlocksWrittenInTurnMakeTheFile) {
    Put(Cfg(), "old");
    AtomicFile file(Cfg());
    ASSERT_TRUE(file.Open()) << file.Reason();
    std::string expected;
    for (int i = 0; i < 200; ++i) {
        const std::string block(1000 + i, static_cast<char>('a' + i % 26));
        ASSERT_TRUE(file.Write(block));
        expected += block;
    }
    EXPECT_EQ(Get(Cfg()), "old") << "the old file must stay until the commit";
    ASSERT_TRUE(file.Commit()) << file.Reason();
    EXPECT_EQ(Get(Cfg()), expected);
    EXPECT_EQ(Entries(Dir()), std::set<std::string>{"tavro.cfg"});
}

TEST_P(AtomicFileTest, ALongestNameCanBeSaved) {
    const std::string name = std::string(251, 'n') + ".drv";
    ASSERT_EQ(name.size(), 255u);
    Put(PathOf(name), "old");
    EXPECT_EQ(Save(PathOf(name), "new"), "ok");
    EXPECT_EQ(Get(PathOf(name)), "new");
    EXPECT_EQ(Entries(Dir()), std::set<std::string>{name});
}

TEST_P(AtomicFileTest, AnAbandonedSaveLeavesTheOldFileWholeAndNoDebris) {
    const std::string before = "old " + std::string(4000, 'o');
    Put(Cfg(), before);
    // The save is given up half way.
    {
        AtomicFile file(Cfg());
        ASSERT_TRUE(file.Open());
        ASSERT_TRUE(file.Write("half"));
    }
    EXPECT_EQ(Get(Cfg()), before);
    EXPECT_EQ(Entries(Dir()), std::set<std::string>{"tavro.cfg"});
}

TEST_P(AtomicFileTest, ASaveInProgressIsNotTakenForDebris) {
    Put(Cfg(), "old");
    AtomicFile first(Cfg());
    ASSERT_TRUE(first.Open());
    ASSERT_TRUE(first.Write("first"));
    EXPECT_EQ(Save(PathOf("other"), "second"), "ok");
    ASSERT_TRUE(first.Commit()) << first.Reason();
    EXPECT_EQ(Get(Cfg()), "first");
    EXPECT_EQ(Entries(Dir()), (std::set<std::string>{"tavro.cfg", "other"}));
}

INSTANTIATE_TEST_SUITE_P(Temporaries, AtomicFileTest, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Named" : "Unnamed"; });

} // namespace
