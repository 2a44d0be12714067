// The directory reader's order: names sorted without regard to ASCII case,
// then by their exact bytes, however many there are.
#include "platform/system/directory_reader.h"
#include "system/FileFixture.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <random>
#include <set>
#include <string>
#include <vector>

namespace {

using DirectoryOrder = tavro::test::FileFixture;

// Enough names for the quick path a big directory takes, built to share long
// prefixes and differ only in case or beyond ASCII, against a plain
// reference: ASCII folded to lower case, then the exact bytes.
TEST_F(DirectoryOrder, BigDirectorySortsLikeTheReference) {
    const char* const pieces[] = {"a", "A", "b", "B", "_", "z", "Z", "0", " ", "é", "É", "~"};
    const char* const prefixes[] = {"", "Long shared prefix of names ", "LONG SHARED PREFIX ",
                                    "game 0"};
    std::mt19937 random(2024);
    std::set<std::string> made;
    while (made.size() < 1500) {
        std::string name = prefixes[random() % 4];
        const int count = 1 + static_cast<int>(random() % 12);
        for (int i = 0; i < count; ++i) {
            name += pieces[random() % 12];
        }
        made.insert(name);
    }
    for (const std::string& name : made) {
        Put(PathOf(name), "");
    }
    // The names the directory took: Windows folds case and drops trailing blanks.
    const std::set<std::string> held = Entries(Dir());
    EXPECT_GE(held.size(), 1000u);
    const auto folded = [](std::string text) {
        for (char& c : text) {
            if (c >= 'A' && c <= 'Z') {
                c = static_cast<char>(c - 'A' + 'a');
            }
        }
        return text;
    };
    std::vector<std::string> expected(held.begin(), held.end());
    std::sort(expected.begin(), expected.end(), [&](const std::string& a, const std::string& b) {
        const std::string fa = folded(a);
        const std::string fb = folded(b);
        return fa != fb ? fa < fb : a < b; // std::string compares bytes as unsigned
    });

    platform::Directory* directory = platform::OpenDirectory(Dir(), nullptr);
    ASSERT_NE(directory, nullptr);
    const platform::FileNames names =
        platform::ReadMatchingNames(directory, platform::NameFilter("*"));
    platform::CloseDirectory(directory);
    ASSERT_EQ(names.size(), static_cast<int>(expected.size()));
    for (int i = 0; i < names.size(); ++i) {
        ASSERT_EQ(names.at(i), expected[static_cast<std::size_t>(i)]) << "at " << i;
    }
}

} // namespace
