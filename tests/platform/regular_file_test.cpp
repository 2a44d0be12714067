// The regular-file reader through links, of pipes, and of files that grow
// while they are read. (The portable cases are in tests/system.)
#include "platform/system/regular_file.h"
#include "system/FileFixture.h"

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
    {"LinkToAFile", "link", 16, Status::Read, platform::ERROR_SUCCESS, "0123456789"},
    {"LinkToNothing", "dangling", 16, Status::Missing, platform::ERROR_PATH_NOT_FOUND, ""},
    // A pipe without a writer: opening it must not wait for one.
    {"Pipe", "fifo", 16, Status::NotRegular, platform::ERROR_BAD_FILE_TYPE, ""},
    // Says it is empty but is not, as a file that grows while it is read.
    {"GrowsWithin", "/proc/self/status", 1 << 20, Status::Read, platform::ERROR_SUCCESS, "Name:"},
    {"GrowsPast", "/proc/self/status", 64, Status::TooLarge, platform::ERROR_FILE_TOO_LARGE, ""},
};

class ReadRegularFile : public tavro::test::FileFixture,
                        public ::testing::WithParamInterface<ReadCase> {};

TEST_P(ReadRegularFile, ReadsOrRefuses) {
    const ReadCase& c = GetParam();
    Put(PathOf("plain"), "0123456789");
    fs::create_symlink("plain", PathOf("link"));
    fs::create_symlink("missing", PathOf("dangling"));
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

} // namespace
