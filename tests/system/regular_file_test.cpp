// The regular-file reader's refusals, and the split of a path into its
// directory and name.
#include "platform/system/file_path.h"
#include "platform/system/last_error.h"
#include "platform/system/regular_file.h"
#include "system/FileFixture.h"

#include <cerrno>
#include <filesystem>
#include <gtest/gtest.h>

namespace {

namespace fs = std::filesystem;
using namespace platform;
using Status = RegularFile::Status;

#ifdef _WIN32
constexpr const char* NullDevice = "NUL";
constexpr int NoSuchFile = ERROR_FILE_NOT_FOUND;
#else
constexpr const char* NullDevice = "/dev/null";
constexpr int NoSuchFile = ENOENT;
#endif

struct ReadCase {
    const char* name;
    const char* path; // in the scratch directory, or absolute
    std::size_t cap;
    Status status;
    DWORD error;
    const char* starts; // the content's start when Read
};

const ReadCase ReadCases[] = {
    {"Regular", "plain", 16, Status::Read, ERROR_SUCCESS, "0123456789"},
    {"AtTheCap", "plain", 10, Status::Read, ERROR_SUCCESS, "0123456789"},
    {"OverTheCap", "plain", 9, Status::TooLarge, ERROR_FILE_TOO_LARGE, ""},
    {"Empty", "empty", 0, Status::Read, ERROR_SUCCESS, ""},
    {"Missing", "missing", 16, Status::Missing, ERROR_PATH_NOT_FOUND, ""},
    {"Directory", "dir", 16, Status::Directory, ERROR_DIRECTORY_NOT_SUPPORTED, ""},
    {"Device", NullDevice, 16, Status::NotRegular, ERROR_BAD_FILE_TYPE, ""},
};

class ReadRegularFile : public tavro::test::FileFixture,
                        public ::testing::WithParamInterface<ReadCase> {};

TEST_P(ReadRegularFile, ReadsOrRefuses) {
    const ReadCase& c = GetParam();
    Put(PathOf("plain"), "0123456789");
    Put(PathOf("empty"), "");
    fs::create_directory(Native(PathOf("dir")));

    const std::string path = c.path == NullDevice ? c.path : PathOf(c.path);
    const RegularFile file = platform::ReadRegularFile(path.c_str(), c.cap);
    EXPECT_EQ(file.status, c.status);
    EXPECT_EQ(file.error, c.error);
    EXPECT_EQ(file.systemError, c.status == Status::Missing ? NoSuchFile : 0);
    if (c.status == Status::Read) {
        EXPECT_TRUE(file.bytes.starts_with(c.starts)) << file.bytes;
        EXPECT_EQ(file.identity, FileIdentityOf(path.c_str()));
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
#ifdef _WIN32
        {"C:\\tavro.cfg", "C:\\", "tavro.cfg"},
        {"C:tavro.cfg", "C:", "tavro.cfg"},
        {"C:\\games\\morvel/tavro.cfg", "C:\\games\\morvel", "tavro.cfg"},
#endif
    };
    for (const auto& c : cases) {
        const platform::PathParts parts = platform::SplitPath(c.path);
        EXPECT_EQ(parts.directory, c.directory) << c.path;
        EXPECT_EQ(parts.name, c.name) << c.path;
    }
}

} // namespace
