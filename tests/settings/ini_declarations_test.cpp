// ReadIniValue and WriteIniValue against tavro.cfg in a temporary program
// directory.
#include "platform/forms/Testing.h"
#include "settings/Ini_Declarations.h"
#include "support/EmulatorDir.h"
#include "support/MsgBoxRecorder.h"

#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace tavro;
using tavro::test::EmulatorDir;
using tavro::test::MsgBoxRecorder;

namespace {

class IniDeclarationsTest : public ::testing::Test {
protected:
    MsgBoxRecorder messages;
    EmulatorDir dir;
};

TEST_F(IniDeclarationsTest, NoFileReadsEmptySilentlyAndFirstWriteCreatesIt) {
    EXPECT_EQ(ReadIniValue("Resolution", "res"), "");
    EXPECT_EQ(ReadIniValue("General", "debug"), "");
    EXPECT_FALSE(dir.exists("tavro.cfg")) << "a read must not create the file";

    WriteIniValue("Resolution", "res", "640x400");
    EXPECT_EQ(dir.read("tavro.cfg"), "[Resolution]\nres=640x400\n");
    EXPECT_EQ(ReadIniValue("Resolution", "res"), "640x400");
    EXPECT_EQ(messages.size(), 0u);
}

TEST_F(IniDeclarationsTest, EmptyAndLongValues) {
    dir.write("tavro.cfg", "[General]\ndebug=\n[Long]\nv=" + QByteArray(100, 'a') + "\n");
    EXPECT_EQ(ReadIniValue("General", "debug"), "");
    const std::string cut = ReadIniValue("Long", "v");
    EXPECT_EQ(cut.size(), 79u);
    EXPECT_EQ(cut, std::string(79, 'a'));
}

TEST_F(IniDeclarationsTest, WritesReplaceAndHandEditsAreSeen) {
    WriteIniValue("Frameskip", "number", "3");
    WriteIniValue("Frameskip", "number", "0");
    EXPECT_EQ(ReadIniValue("Frameskip", "number"), "0");
    EXPECT_EQ(dir.read("tavro.cfg"), "[Frameskip]\nnumber=0\n");

    dir.write("tavro.cfg", "[Frameskip]\r\nnumber=7\r\n");
    EXPECT_EQ(ReadIniValue("Frameskip", "number"), "7");
}

TEST_F(IniDeclarationsTest, NonAsciiTextRoundTripsAsUtf8) {
    WriteIniValue("Réglages", "k", "värde ✓");
    EXPECT_EQ(ReadIniValue("Réglages", "k"), "värde ✓");
}

TEST_F(IniDeclarationsTest, TheProgramDirectoryIsLookedUpAtEveryCall) {
    dir.write("tavro.cfg", "[General]\nsound=1\n");
    EXPECT_EQ(ReadIniValue("General", "sound"), "1");

    QTemporaryDir other;
    ASSERT_TRUE(other.isValid());
    platform::forms::SetAppPathForTesting(other.path().toStdString());
    EXPECT_EQ(ReadIniValue("General", "sound"), "");
    WriteIniValue("General", "sound", "0");
    EXPECT_TRUE(QFile::exists(other.path() + "/tavro.cfg"));
    platform::forms::SetAppPathForTesting(dir.path().toStdString());
    EXPECT_EQ(ReadIniValue("General", "sound"), "1");
}

TEST_F(IniDeclarationsTest, AFailedWriteSaysWhyShowsNothingAndKeepsTheOldFile) {
    // A file where the program directory should be: nothing can be written.
    dir.write("notadir", "[General]\nsync=1\n");
    platform::forms::SetAppPathForTesting(dir.file("notadir").toStdString());
    EXPECT_EQ(WriteIniValue("General", "sync", "0"), platform::ERROR_PATH_NOT_FOUND);
    platform::forms::SetAppPathForTesting(dir.path().toStdString());
    EXPECT_EQ(dir.read("notadir"), "[General]\nsync=1\n");

    // tavro.cfg is a directory: it stays one, and reads give nothing.
    dir.makeDir("tavro.cfg");
    EXPECT_EQ(WriteIniValue("General", "sync", "0"), platform::ERROR_DIRECTORY_NOT_SUPPORTED);
    EXPECT_TRUE(QFileInfo(dir.file("tavro.cfg")).isDir());
    EXPECT_EQ(ReadIniValue("General", "sync"), "");
    EXPECT_EQ(messages.size(), 0u);
}

} // namespace
