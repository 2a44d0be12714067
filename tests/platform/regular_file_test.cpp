// The regular-file reader's refusals, and the split of a path into its
// directory and name.
#include "platform/system/file_path.h"
#include "platform/system/regular_file.h"
#include "support/FileFixture.h"

#include <cerrno>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

namespace fs = std::filesystem;
using platform::RegularFile;
using Status = RegularFile::Status;

struct ReadCase {
    const char* name;
    const char* path; // in the scratch directory, or absolute
    std::size_t cap;
    Status status;
    platform::DWORD error;
    const char* starts; // the content's start when Read
};

const ReadCase ReadCases[] = {
    {"Regular", "plain", 16, Status::Read, platform::ERROR_SUCCESS, "0123456789"},
    {"AtTheCap", "plain", 10, Status::Read, platform::ERROR_SUCCESS, "0123456789"},
    {"OverTheCap", "plain", 9, Status::TooLarge, platform::ERROR_FILE_TOO_LARGE, ""},
    {"Empty", "empty", 0, Status::Read, platform::ERROR_SUCCESS, ""},
    {"LinkToAFile", "link", 16, Status::Read, platform::ERROR_SUCCESS, "0123456789"},
    {"Missing", "missing", 16, Status::Missing, platform::ERROR_PATH_NOT_FOUND, ""},
    {"LinkToNothing", "dangling", 16, Status::Missing, platform::ERROR_PATH_NOT_FOUND, ""},
    {"Directory", "dir", 16, Status::Directory, platform::ERROR_DIRECTORY_NOT_SUPPORTED, ""},
    // A pipe without a writer: opening it must not wait for one.
    {"Pipe", "fifo", 16, Status::NotRegular, platform::ERROR_BAD_FILE_TYPE, ""},
    {"Device", "/dev/null", 16, Status::NotRegular, platform::ERROR_BAD_FILE_TYPE, ""},
    // Says it is empty but is not, as a file that grows while it is read.
    {"GrowsWithin", "/proc/self/status", 1 << 20, Status::Read, platform::ERROR_SUCCESS, "Name:"},
    {"GrowsPast", "/proc/self/status", 64, Status::TooLarge, platform::ERROR_FILE_TOO_LARGE, ""},
};

class ReadRegularFile : public tavro::test::FileFixture,
                        public ::testing::WithParamInterface<ReadCase> {};

TEST_P(ReadRegularFile, ReadsOrRefuses) {
    const ReadCase& c = GetParam();
    Put(PathOf("plain"), "0123456789");
    Put(PathOf("empty"), "");
    fs::create_symlink("plain", PathOf("link"));
    fs::create_symlink("missing", PathOf("dangling"));
    fs::create_directory(PathOf("dir"));
    ASSERT_EQ(::mkfifo(PathOf("fifo").c_str(), 0600), 0);

    const std::string path = c.path[0] == '/' ? c.path : PathOf(c.path);
    const RegularFile file = platform::ReadRegularFile(path.c_str(), c.cap);
    EXPECT_EQ(file.status, c.status);
    EXPECT_EQ(file.error, c.error);
    EXPECT_EQ(file.systemError, c.status == Status::Missing ? ENOENT : 0);
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st) == 0, c.status != Status::Missing);
    if (c.status == Status::Read) {
        EXPECT_TRUE(file.bytes.starts_with(c.starts)) << file.bytes;
        EXPECT_EQ(file.identity.inode, st.st_ino) << "the file read, not the link";
    } else {
        EXPECT_EQ(file.bytes, "");
    }
}

INSTANTIATE_TEST_SUITE_P(System, ReadRegularFile, ::testing::ValuesIn(ReadCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(SplitPath, DirectoryAndName) {
    const struct {
        const char* path;
        const char* directory;
        const char* name;
    } cases[] = {
        {"tavro.cfg", ".", "tavro.cfg"},
        {"/tavro.cfg", "/", "tavro.cfg"},
        {"/games/morvel/tavro.cfg", "/games/morvel", "tavro.cfg"},
        {"drv/", "drv", ""},
    };
    for (const auto& c : cases) {
        const platform::PathParts parts = platform::SplitPath(c.path);
        EXPECT_EQ(parts.directory, c.directory) << c.path;
        EXPECT_EQ(parts.name, c.name) << c.path;
    }
}

} // namespace
