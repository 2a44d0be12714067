// The profile-file functions: Win32 reading rules, writes that touch one line
// only, and failed writes that leave the old file whole.
#include "platform/system/profile.h"

#include "support/FileFixture.h"
#include "support/HeldLock.h"

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

class ProfileTest : public tavro::test::FileFixture {
protected:
    std::string Read(const char* section, const char* key, const char* def = "",
                     unsigned size = 256) const {
        std::string buf(size, '#');
        const platform::DWORD n =
            GetPrivateProfileStringA(section, key, def, buf.data(), size, Cfg().c_str());
        EXPECT_LT(n, size);
        EXPECT_EQ(buf[n], '\0') << "result not NUL-terminated";
        return buf.substr(0, n);
    }
    bool Write(const char* section, const char* key, const char* value) const {
        return WritePrivateProfileStringA(section, key, value, Cfg().c_str()) == platform::TRUE;
    }
};

// --- reading -------------------------------------------------------------

TEST_F(ProfileTest, MissingFileSectionOrKeyGivesTheDefault) {
    EXPECT_EQ(Read("General", "debug", "dflt"), "dflt");
    Put(Cfg(), "[General]\ndebug=1\n");
    EXPECT_EQ(Read("Other", "debug", "dflt"), "dflt");
    EXPECT_EQ(Read("General", "sync", "dflt"), "dflt");
    EXPECT_EQ(Read("General", "sync", nullptr), "");
    EXPECT_EQ(Read("General", "debug", "dflt"), "1");
}

TEST_F(ProfileTest, NamesAreTrimmedAndCaseInsensitiveValuesTrimmed) {
    Put(Cfg(), "  [ geNERal ]  \n\t Debug \t=  on  \n");
    EXPECT_EQ(Read("General", "DEBUG"), "on");
    EXPECT_EQ(Read(" general", "debug "), "on");
}

TEST_F(ProfileTest, FirstSectionAndFirstKeyWin) {
    Put(Cfg(), "[A]\nk=first\nk=second\nonly2=x\n[B]\nk=b\n[a]\nk=third\nlater=y\n");
    EXPECT_EQ(Read("A", "k"), "first");
    EXPECT_EQ(Read("B", "k"), "b");
    // A key that only a later duplicate section holds is not found.
    EXPECT_EQ(Read("A", "later", "none"), "none");
}

// How Windows reads a profile file, one group of rows per rule.
struct ReadCase {
    const char* name; // the test's name
    const char* file;
    const char* section;
    const char* key;
    const char* def;
    const char* expected;
};

// By name: the file and names hold control characters.
void PrintTo(const ReadCase& c, std::ostream* os) {
    *os << c.name;
}

const ReadCase ReadCases[] = {
    // `key=` with nothing after it is the empty string; a bare key is absent.
    {"EmptyValueIsEmpty", "[S]\nempty=\n", "S", "empty", "d", ""},
    {"BlankValueIsEmpty", "[S]\nblank= \t\v\n", "S", "blank", "d", ""},
    {"EmptyQuotesAreEmpty", "[S]\nquoted=\"\"\n", "S", "quoted", "d", ""},
    {"BareKeyIsAbsent", "[S]\nbare\n", "S", "bare", "d", "d"},
    {"BareKeyHidesALaterOne", "[S]\nbare\nbare=later\n", "S", "bare", "d", "d"},
    // The default loses its trailing spaces, and only those.
    {"DefaultLosesTrailingSpaces", "", "S", "k", "default  ", "default"},
    {"DefaultKeepsInnerSpaces", "", "S", "k", "one two  ", "one two"},
    {"DefaultKeepsLeadingSpaces", "", "S", "k", "  lead", "  lead"},
    {"DefaultKeepsATrailingTab", "", "S", "k", "tab\t", "tab\t"},
    {"DefaultOfSpacesIsEmpty", "", "S", "k", "   ", ""},
    // Names passed in lose their spaces, not tabs or vertical tabs.
    {"PassedNamesLoseSpaces", "[S]\nk=v\n", "  S  ", " k ", "d", "v"},
    {"PassedSectionKeepsATab", "[S]\nk=v\n", "\tS", "k", "d", "d"},
    {"PassedKeyKeepsATab", "[S]\nk=v\n", "S", "k\t", "d", "d"},
    {"PassedSectionKeepsAVerticalTab", "[S]\nk=v\n", "S\v", "k", "d", "d"},
    // In the file, spaces, tabs and vertical tabs around names and values go.
    {"BlanksAroundNamesAndValuesGo", " \t[ \tS\v ]\n\t k \v=\v v \t\n", "S", "k", "d", "v"},
    {"QuotesKeepTheBlanksInside", "[S]\n\tk\t=\t\"\tq\t\"\t\n", "S", "k", "d", "\tq\t"},
    // A section line without `]` names a section to its end; the first `]`
    // ends a name.
    {"UnclosedSectionRunsToTheLineEnd", "[General\nk=v\n", "General", "k", "d", "v"},
    {"UnclosedSectionLosesItsBlanks", "[ General \t\nk=v\n", "General", "k", "d", "v"},
    {"KeyBeforeAnUnclosedSection", "[Top]\nk=top\n[broken\nk=b\n", "Top", "k", "d", "top"},
    {"UnclosedSectionEndsThePreviousOne", "[Top]\nk=top\n[broken\nafter=1\n", "Top", "after", "d",
     "d"},
    {"FirstBracketEndsAName", "[a]b]\nk=v\n", "a", "k", "d", "v"},
    {"NameWithABracketIsNotFound", "[a]b]\nk=v\n", "a]b", "k", "d", "d"},
    {"NamelessSection", "[]\nk=nameless\n", "", "k", "d", "nameless"},
};

class WindowsReadingRules : public ProfileTest, public ::testing::WithParamInterface<ReadCase> {};

TEST_P(WindowsReadingRules, Apply) {
    const ReadCase& c = GetParam();
    Put(Cfg(), c.file);
    EXPECT_EQ(Read(c.section, c.key, c.def), c.expected)
        << "file \"" << c.file << "\" [" << c.section << "] " << c.key;
}

INSTANTIATE_TEST_SUITE_P(Profile, WindowsReadingRules, ::testing::ValuesIn(ReadCases),
                         [](const ::testing::TestParamInfo<ReadCase>& info) {
                             return std::string(info.param.name);
                         });

TEST_F(ProfileTest, MatchingQuotesAreRemovedOthersKept) {
    Put(Cfg(), "[S]\na=\"x y\"\nb='z'\nc=\"mixed'\nd=\"\ne= \" pad \" \nf=a\"b\"\n");
    EXPECT_EQ(Read("S", "a"), "x y");
    EXPECT_EQ(Read("S", "b"), "z");
    EXPECT_EQ(Read("S", "c"), "\"mixed'");
    EXPECT_EQ(Read("S", "d"), "\"");
    EXPECT_EQ(Read("S", "e"), " pad ");
    EXPECT_EQ(Read("S", "f"), "a\"b\"");
}

TEST_F(ProfileTest, ValueIsCutToTheBufferAndCountMatches) {
    Put(Cfg(), "[S]\nk=" + std::string(100, 'v') + "\n");
    EXPECT_EQ(Read("S", "k", "", 80), std::string(79, 'v'));
    EXPECT_EQ(Read("S", "k", "", 1), "");
    EXPECT_EQ(Read("Nope", "k", "defaultvalue", 4), "def");
    char buf[4] = {'x', 'x', 'x', 'x'};
    EXPECT_EQ(GetPrivateProfileStringA("S", "k", "", nullptr, 80, Cfg().c_str()), 0u);
    EXPECT_EQ(GetPrivateProfileStringA("S", "k", "", buf, 0, Cfg().c_str()), 0u);
    EXPECT_EQ(buf[0], 'x') << "a zero-sized buffer must not be written";
}

TEST_F(ProfileTest, NullNamesGiveTheDefault) {
    Put(Cfg(), "[S]\nk=v\n");
    EXPECT_EQ(Read(nullptr, "k", "d"), "d");
    EXPECT_EQ(Read("S", nullptr, "d"), "d");
    char buf[8];
    EXPECT_EQ(GetPrivateProfileStringA("S", "k", "d", buf, 8, nullptr), 1u);
    EXPECT_STREQ(buf, "d");
}

TEST_F(ProfileTest, AnyLineBreakSplitsLines) {
    Put(Cfg(), "[A]\r\na=1\rb=2\nc=3\r\n\r\n\n\r[B]\rd=4");
    EXPECT_EQ(Read("A", "a"), "1");
    EXPECT_EQ(Read("A", "b"), "2");
    EXPECT_EQ(Read("A", "c"), "3");
    EXPECT_EQ(Read("B", "d"), "4");
}

TEST_F(ProfileTest, OddLinesAreNotSectionsOrKeys) {
    // A byte order mark, comments and lines before any section: none of them
    // may open a section or be taken for a key.
    Put(Cfg(), "\xEF\xBB\xBF[Top]\nk=top\n;k=comment\n[S]\n;x=1\n");
    EXPECT_EQ(Read("Top", "k"), "top");
    EXPECT_EQ(Read("S", ";x", "d"), "d");
    Put(Cfg(), "orphan=1\n[S]\n");
    EXPECT_EQ(Read("S", "orphan", "d"), "d");
}

TEST_F(ProfileTest, NulBytesEndTheValue) {
    Put(Cfg(), std::string("[S]\nk=ab\0cd\nk2\0=x\nn=1\n", 22));
    EXPECT_EQ(Read("S", "k"), "ab");
    EXPECT_EQ(Read("S", "n"), "1");
}

TEST_F(ProfileTest, GarbageAndHugeLinesAreReadSafely) {
    std::mt19937 rng(7);
    std::string junk(64 * 1024, '\0');
    for (char& c : junk)
        c = static_cast<char>(rng());
    Put(Cfg(), junk + "\n[S]\nk=found\n");
    EXPECT_EQ(Read("S", "k"), "found");

    const std::string longLine = "big=" + std::string(1000 * 1000, 'x');
    Put(Cfg(), "[S]\n" + longLine + "\nk=v");
    EXPECT_EQ(Read("S", "big", "", 80), std::string(79, 'x'));
    EXPECT_EQ(Read("S", "k"), "v");
    ASSERT_TRUE(Write("S", "k", "w"));
    EXPECT_EQ(Get(Cfg()), "[S]\n" + longLine + "\nk=w");

    Put(Cfg(), "[S]\nk=" + std::string(1000 * 1000, '[') + "]\n");
    EXPECT_EQ(Read("S", "k", "", 3), "[[");
}

TEST_F(ProfileTest, LinesFarIntoALargeFileAreWhole) {
    // The wanted lines, and a CRLF, on and around the 64 KiB mark, past long
    // lines.
    for (std::size_t shift = 0; shift < 12; ++shift) {
        const std::size_t fill = 65536 - 8 + shift;
        std::string text = "[S]\r\npad=" + std::string(fill - 11, 'p') + "\r\n";
        text += "k=value\r\n[T]\r\nlast=" + std::string(70000, 'z') + "\r\nend=1";
        Put(Cfg(), text);
        EXPECT_EQ(Read("S", "k"), "value") << shift;
        EXPECT_EQ(Read("T", "end"), "1") << shift;
        EXPECT_EQ(Read("T", "last", "", 4), "zzz") << shift;
    }
}

TEST_F(ProfileTest, AFileOverOneMebibyteIsUnreadable) {
    // Up to 1 MiB the file is read to its end; past it, reads give the
    // default and writes are refused, so a corrupt file cannot stall a start.
    const std::string head = "[S]\nk=v\n[Filler]\n";
    const std::string tail = "\n[T]\nend=1\n";
    const std::size_t limit = std::size_t(1) << 20;
    Put(Cfg(), head + std::string(limit - head.size() - tail.size(), 'f') + tail);
    ASSERT_EQ(fs::file_size(Cfg()), limit);
    EXPECT_EQ(Read("T", "end", "d"), "1");
    EXPECT_EQ(Read("S", "k", "d"), "v");

    for (const std::uintmax_t size : {std::uintmax_t(limit + 1), std::uintmax_t(600) << 20}) {
        Put(Cfg(), head);
        fs::resize_file(Cfg(), size); // sparse: no line break after the head
        EXPECT_EQ(Read("S", "k", "d"), "d") << size;
        EXPECT_FALSE(Write("S", "k", "w")) << size;
        EXPECT_EQ(fs::file_size(Cfg()), size);
        std::string start(head.size(), '\0');
        std::ifstream(Cfg(), std::ios::binary).read(start.data(), std::streamsize(start.size()));
        EXPECT_EQ(start, head);
    }
}

TEST_F(ProfileTest, EachReadSeesTheFileAsItIsNow) {
    Put(Cfg(), "[S]\nk=one\n");
    EXPECT_EQ(Read("S", "k"), "one");
    Put(Cfg(), "[S]\nk=two\n");
    EXPECT_EQ(Read("S", "k"), "two");
}

TEST_F(ProfileTest, DirectoriesAndDevicesReadAsMissing) {
    char buf[8];
    EXPECT_EQ(GetPrivateProfileStringA("S", "k", "d", buf, 8, Dir().c_str()), 1u);
    EXPECT_EQ(GetPrivateProfileStringA("S", "k", "d", buf, 8, "/dev/zero"), 1u);
    EXPECT_STREQ(buf, "d");
}

// --- writing -------------------------------------------------------------

TEST_F(ProfileTest, WriteCreatesTheFileWithLf) {
    ASSERT_TRUE(Write("Resolution", "res", "640x400"));
    EXPECT_EQ(Get(Cfg()), "[Resolution]\nres=640x400\n");
    EXPECT_EQ(Read("resolution", "RES"), "640x400");
}

TEST_F(ProfileTest, ReplacingAValueKeepsEveryOtherByte) {
    const std::string before = "; tavro settings\r\n[Resolution]\r\n  Res = 640x400 ; old\r\n"
                               "# odd line\r\n[General]\r\ndebug=1\r\n";
    Put(Cfg(), before);
    ASSERT_TRUE(Write("RESOLUTION", "res", "800x600"));
    EXPECT_EQ(Get(Cfg()), "; tavro settings\r\n[Resolution]\r\n  Res = 800x600\r\n"
                          "# odd line\r\n[General]\r\ndebug=1\r\n");
    EXPECT_EQ(Read("Resolution", "res"), "800x600");

    Put(Cfg(), "[S]\nbare  \nnext=1\n");
    ASSERT_TRUE(Write("S", "bare", "v"));
    EXPECT_EQ(Get(Cfg()), "[S]\nbare=v\nnext=1\n");
}

TEST_F(ProfileTest, NewKeyGoesAfterTheLastKeyOfItsSection) {
    Put(Cfg(), "[General]\ndebug=1\n; sound comes later\n\n[Other]\nx=1\n");
    ASSERT_TRUE(Write("general", "sound", "0"));
    EXPECT_EQ(Get(Cfg()), "[General]\ndebug=1\nsound=0\n; sound comes later\n\n[Other]\nx=1\n");

    Put(Cfg(), "[Empty]\n\n[Other]\n");
    ASSERT_TRUE(Write("Empty", "k", "v"));
    EXPECT_EQ(Get(Cfg()), "[Empty]\nk=v\n\n[Other]\n");

    // In a CR file, a CR put before an LF that ends a blank line would join
    // with it and the blank line would be lost.
    Put(Cfg(), "[S]\rk=1\n\n[T]\r");
    ASSERT_TRUE(Write("S", "new", "v"));
    EXPECT_EQ(Get(Cfg()), "[S]\rk=1\nnew=v\r\n\n[T]\r");
}

TEST_F(ProfileTest, OnlyTheFirstOfDuplicateSectionsIsWritten) {
    Put(Cfg(), "[S]\na=1\n[S]\nk=old\n");
    ASSERT_TRUE(Write("S", "k", "new"));
    EXPECT_EQ(Get(Cfg()), "[S]\na=1\nk=new\n[S]\nk=old\n");
    EXPECT_EQ(Read("S", "k"), "new");
}

TEST_F(ProfileTest, NewSectionGoesAtTheEndInTheFilesLineStyle) {
    Put(Cfg(), "[A]\r\nx=1\r\n");
    ASSERT_TRUE(Write("B", "k", "v"));
    EXPECT_EQ(Get(Cfg()), "[A]\r\nx=1\r\n[B]\r\nk=v\r\n");

    Put(Cfg(), "[A]\rx=1\r");
    ASSERT_TRUE(Write("A", "y", "2"));
    EXPECT_EQ(Get(Cfg()), "[A]\rx=1\ry=2\r");
}

TEST_F(ProfileTest, AMissingFinalLineBreakIsAddedBeforeAnAppendedLine) {
    Put(Cfg(), "[A]\r\nx=1");
    ASSERT_TRUE(Write("A", "y", "2"));
    EXPECT_EQ(Get(Cfg()), "[A]\r\nx=1\r\ny=2\r\n");

    Put(Cfg(), "; no newline");
    ASSERT_TRUE(Write("B", "k", "v"));
    EXPECT_EQ(Get(Cfg()), "; no newline\n[B]\nk=v\n");

    Put(Cfg(), "[A]\nx=1");
    ASSERT_TRUE(Write("A", "x", "2"));
    EXPECT_EQ(Get(Cfg()), "[A]\nx=2");
}

TEST_F(ProfileTest, ByteOrderMarkStaysAndFirstSectionIsFound) {
    Put(Cfg(), "\xEF\xBB\xBF[General]\ndebug=1\n");
    ASSERT_TRUE(Write("General", "debug", "0"));
    EXPECT_EQ(Get(Cfg()), "\xEF\xBB\xBF[General]\ndebug=0\n");
}

TEST_F(ProfileTest, ValuesThatReadingWouldAlterRoundTrip) {
    for (const char* value : {" lead", "trail\t", "\"q\"", "'s'", "\"", "a=b", "[x]", ";c"}) {
        ASSERT_TRUE(Write("S", "k", value)) << value;
        EXPECT_EQ(Read("S", "k"), value);
    }
}

TEST_F(ProfileTest, UnicodeLineSeparatorsStayInsideTheirValue) {
    // Only CR and LF end a line: U+2028, U+2029 and U+0085 are a value's bytes.
    for (const char* value : {"a\xE2\x80\xA9"
                              "b",
                              "\xE2\x80\xA8", "x\xC2\x85y"}) {
        Put(Cfg(), "[S]\nk=old\nnext=1\n");
        ASSERT_TRUE(Write("S", "k", value));
        EXPECT_EQ(Get(Cfg()), std::string("[S]\nk=") + value + "\nnext=1\n");
        EXPECT_EQ(Read("S", "k"), value);
        EXPECT_EQ(Read("S", "next"), "1");
    }
}

TEST_F(ProfileTest, WindowsWritingRules) {
    // Spaces around the names passed in are not written.
    ASSERT_TRUE(Write("  Video ", " mode  ", "x"));
    EXPECT_EQ(Get(Cfg()), "[Video]\nmode=x\n");
    // An empty value is stored as `key=` and reads back as "".
    ASSERT_TRUE(Write("Video", "mode", ""));
    EXPECT_EQ(Get(Cfg()), "[Video]\nmode=\n");
    EXPECT_EQ(Read("Video", "mode", "d"), "");
    // A section line without `]` is the section a write goes to.
    Put(Cfg(), "[General\r\nk=v\r\n");
    ASSERT_TRUE(Write("General", "k", "w"));
    ASSERT_TRUE(Write("General", "n", "1"));
    EXPECT_EQ(Get(Cfg()), "[General\r\nk=w\r\nn=1\r\n");
}

TEST_F(ProfileTest, NamesAndValuesAFileCannotHoldAreRefused) {
    Put(Cfg(), "[S]\nk=v\n");
    const std::string before = Get(Cfg());
    EXPECT_FALSE(Write("S", "k", "two\nlines"));
    EXPECT_FALSE(Write("S", "k", "cr\r"));
    EXPECT_FALSE(Write("S]", "k", "v"));
    EXPECT_FALSE(Write("S\n[T", "k", "v"));
    EXPECT_FALSE(Write("S", "a=b", "v"));
    EXPECT_FALSE(Write("S", "  ", "v"));
    EXPECT_FALSE(Write("S", "[k", "v"));
    EXPECT_FALSE(Write("S", ";k", "v"));
    // Tabs at a name's ends would be lost on reading, so such names are refused.
    EXPECT_FALSE(Write("\tS", "k", "v"));
    EXPECT_FALSE(Write("S", "k\v", "v"));
    EXPECT_FALSE(Write(nullptr, "k", "v"));
    EXPECT_FALSE(Write("S", nullptr, "v"));
    EXPECT_FALSE(Write("S", "k", nullptr));
    EXPECT_EQ(Get(Cfg()), before);
}

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

TEST_F(ProfileTest, UnchangedValueLeavesTheFileAlone) {
    Put(Cfg(), "[S]\nk=v\n");
    struct stat before {};
    ASSERT_EQ(::stat(Cfg().c_str(), &before), 0);
    ASSERT_TRUE(Write("S", "k", "v"));
    struct stat after {};
    ASSERT_EQ(::stat(Cfg().c_str(), &after), 0);
    EXPECT_EQ(before.st_ino, after.st_ino);
}

// --- failed writes -------------------------------------------------------

TEST_F(ProfileTest, FailedWritesReturnFalseAndLeaveNothingBehind) {
    // The directory part is a regular file.
    Put(PathOf("plain"), "not a directory");
    EXPECT_EQ(WritePrivateProfileStringA("S", "k", "v", (PathOf("plain") + "/tavro.cfg").c_str()),
              platform::FALSE);
    // The path is a directory.
    fs::create_directory(PathOf("adir"));
    EXPECT_EQ(WritePrivateProfileStringA("S", "k", "v", PathOf("adir").c_str()), platform::FALSE);
    EXPECT_TRUE(fs::is_empty(PathOf("adir")));
    // The directory is missing.
    EXPECT_EQ(WritePrivateProfileStringA("S", "k", "v", PathOf("gone/tavro.cfg").c_str()),
              platform::FALSE);
    EXPECT_FALSE(fs::exists(PathOf("gone")));
    EXPECT_EQ(Get(PathOf("plain")), "not a directory");
    EXPECT_EQ(Entries(Dir()), (std::set<std::string>{"plain", "adir"}));
}

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

TEST_F(ProfileTest, UnreadableTargetIsNeverOverwritten) {
    // A path that is a directory must not be replaced by a fresh file.
    fs::create_directory(Cfg());
    EXPECT_FALSE(Write("S", "k", "v"));
    EXPECT_EQ(GetLastError(), platform::ERROR_DIRECTORY_NOT_SUPPORTED);
    EXPECT_TRUE(fs::is_directory(Cfg()));
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
