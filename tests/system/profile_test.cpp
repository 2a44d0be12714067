// The profile-file functions: Win32 reading rules, writes that touch one line
// only, and failed writes that leave the old file whole, the same on every
// system. (Modes, links, locks and processes are tested in tests/platform.)
#include "platform/system/profile.h"
#include "platform/system/regular_file.h"

#include "system/SaveFixtures.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <ostream>
#include <random>
#include <set>
#include <string>

namespace {

namespace fs = std::filesystem;
using namespace platform;
// Windows has functions of these names of its own.
using platform::GetPrivateProfileStringA;
using platform::WritePrivateProfileStringA;

#ifdef _WIN32
constexpr const char* EndlessDevice = "NUL";
#else
constexpr const char* EndlessDevice = "/dev/zero";
#endif

using tavro::test::ProfileTest;

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
    EXPECT_EQ(GetPrivateProfileStringA("S", "k", "d", buf, 8, EndlessDevice), 1u);
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

TEST_F(ProfileTest, UnchangedValueLeavesTheFileAlone) {
    Put(Cfg(), "[S]\nk=v\n");
    const auto before = platform::FileIdentityOf(Cfg().c_str());
    ASSERT_TRUE(before);
    ASSERT_TRUE(Write("S", "k", "v"));
    EXPECT_EQ(platform::FileIdentityOf(Cfg().c_str()), before);
}

// --- failed writes -------------------------------------------------------

TEST_F(ProfileTest, FailedWritesReturnFalseAndLeaveNothingBehind) {
    // The directory part is a regular file.
    Put(PathOf("plain"), "not a directory");
    EXPECT_EQ(WritePrivateProfileStringA("S", "k", "v", (PathOf("plain") + "/tavro.cfg").c_str()),
              FALSE);
    // The path is a directory.
    fs::create_directory(PathOf("adir"));
    EXPECT_EQ(WritePrivateProfileStringA("S", "k", "v", PathOf("adir").c_str()), FALSE);
    EXPECT_TRUE(fs::is_empty(PathOf("adir")));
    // The directory is missing.
    EXPECT_EQ(WritePrivateProfileStringA("S", "k", "v", PathOf("gone/tavro.cfg").c_str()), FALSE);
    EXPECT_FALSE(fs::exists(PathOf("gone")));
    EXPECT_EQ(Get(PathOf("plain")), "not a directory");
    EXPECT_EQ(Entries(Dir()), (std::set<std::string>{"plain", "adir"}));
}

TEST_F(ProfileTest, UnreadableTargetIsNeverOverwritten) {
    // A path that is a directory must not be replaced by a fresh file.
    fs::create_directory(Cfg());
    EXPECT_FALSE(Write("S", "k", "v"));
    EXPECT_EQ(GetLastError(), ERROR_DIRECTORY_NOT_SUPPORTED);
    EXPECT_TRUE(fs::is_directory(Cfg()));
}

} // namespace
