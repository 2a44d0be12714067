// Where Windows differs: names that are not valid UTF-16, the hidden and
// read-only attributes, a replacement that Windows refuses, the lock file,
// and programs started by Windows' own search.
#ifdef _WIN32

#include "platform/system/atomic_file.h"
#include "platform/system/directory_lock.h"
#include "platform/system/directory_reader.h"
#include "platform/system/last_error.h"
#include "platform/system/profile.h"
#include "platform/system/program_start.h"
#include "platform/system/win32/wide_names.h"
#include "platform/testing.h"
#include "system/FileFixture.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

using namespace platform;
using platform::WritePrivateProfileStringA;

class WindowsTest : public tavro::test::FileFixture {
protected:
    std::wstring Wide(const std::string& name) const { return WideName(PathOf(name)); }
    static HANDLE Create(const std::wstring& path, DWORD share = FILE_SHARE_READ) {
        return ::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, share, nullptr,
                             CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    }
    static void Touch(const std::wstring& path) {
        const HANDLE file = Create(path);
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
        ::CloseHandle(file);
    }
    std::vector<std::string> Listed(const char* pattern) const {
        std::string error;
        Directory* directory = OpenDirectory(Dir(), &error);
        EXPECT_NE(directory, nullptr) << error;
        const FileNames names = ReadMatchingNames(directory, NameFilter(pattern));
        CloseDirectory(directory);
        std::vector<std::string> list;
        for (int i = 0; i < names.size(); ++i)
            list.emplace_back(names.at(i));
        return list;
    }
};

TEST(WideNames, EveryUnitSequenceRoundTrips) {
    const std::wstring names[] = {
        L"plain.drv",
        L"caf\u00E9 \u65E5\u672C.drv",
        L"\U0001F3AE game.drv",
        std::wstring{L'a', wchar_t(0xD800), L'b'},      // a high surrogate alone
        std::wstring{wchar_t(0xDC00), L'x'},            // a low one
        std::wstring{wchar_t(0xDBFF)},                  // at the end
        std::wstring{wchar_t(0xDC00), wchar_t(0xD800)}, // in the wrong order
    };
    for (const std::wstring& name : names)
        EXPECT_EQ(WideName(NarrowName(name)), name);
    EXPECT_EQ(NarrowName(std::wstring{L'a', wchar_t(0xD800), L'b'}), "a\xED\xA0\x80"
                                                                     "b");
    EXPECT_EQ(NarrowName(L"\U0001F3AE"), "\xF0\x9F\x8E\xAE");
    // Bytes that are no character at all read as the replacement mark.
    EXPECT_EQ(WideName("caf\xE9"), L"caf\uFFFD");
    EXPECT_EQ(WideName("\xC0\xAF\xF8"), L"\uFFFD\uFFFD\uFFFD");
}

TEST_F(WindowsTest, AnUnpairedSurrogateNameIsListedAndSavedByItsOwnName) {
    const std::wstring odd{L'o', L'd', L'd', wchar_t(0xD800), L'.', L'd', L'r', L'v'};
    const HANDLE file = Create(WideName(Dir() + "\\") + odd);
    // Wine keeps names as UTF-8 on the host's file system, where no such name can be.
    if (file == INVALID_HANDLE_VALUE &&
        ::GetProcAddress(::GetModuleHandleW(L"ntdll"), "wine_get_version"))
        GTEST_SKIP() << "Wine takes no such name: " << SystemMessage(GetLastError());
    ASSERT_NE(file, INVALID_HANDLE_VALUE) << SystemMessage(GetLastError());
    ::CloseHandle(file);
    const std::string name = NarrowName(odd);
    ASSERT_EQ(Listed("*.drv"), std::vector<std::string>{name});
    std::string reason;
    ASSERT_TRUE(WriteFileAtomically(PathOf(name), "saved", &reason)) << reason;
    EXPECT_EQ(Listed("*"), std::vector<std::string>{name});
    const HANDLE saved = ::CreateFileW((WideName(Dir() + "\\") + odd).c_str(), GENERIC_READ, 0,
                                       nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(saved, INVALID_HANDLE_VALUE);
    char bytes[16] = {};
    DWORD got = 0;
    EXPECT_TRUE(::ReadFile(saved, bytes, sizeof bytes, &got, nullptr));
    ::CloseHandle(saved);
    EXPECT_EQ(std::string(bytes, got), "saved");
}

TEST_F(WindowsTest, HiddenFilesAndFoldersAreNotListed) {
    for (const char* name : {"b.drv", "A.DRV", "hidden.drv", ".dot.drv", "notes.txt"})
        Touch(Wide(name));
    ASSERT_TRUE(::SetFileAttributesW(Wide("hidden.drv").c_str(), FILE_ATTRIBUTE_HIDDEN));
    ASSERT_TRUE(::CreateDirectoryW(Wide("folder.drv").c_str(), nullptr));
    EXPECT_EQ(Listed("*.drv"), (std::vector<std::string>{"A.DRV", "b.drv"}));
    std::string error;
    EXPECT_EQ(OpenDirectory(PathOf("missing"), &error), nullptr);
    EXPECT_FALSE(error.empty());
}

TEST_F(WindowsTest, TheReadOnlyAttributeRefusesEverySave) {
    const std::string before = "[S]\r\nk=v\r\n";
    Put(Cfg(), before);
    ASSERT_TRUE(::SetFileAttributesW(WideName(Cfg()).c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_TRUE(IsReadOnlyFile(Cfg().c_str()));
    AtomicFile file(Cfg());
    EXPECT_FALSE(file.Open());
    EXPECT_EQ(file.Reason(), "the file is read-only");
    EXPECT_EQ(file.Error(), static_cast<DWORD>(ERROR_FILE_READ_ONLY));
    SetLastError(ERROR_SUCCESS);
    EXPECT_EQ(WritePrivateProfileStringA("S", "k", "changed", Cfg().c_str()), FALSE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_READ_ONLY));
    EXPECT_EQ(Get(Cfg()), before);
    EXPECT_EQ(Entries(Dir()), std::set<std::string>{"tavro.cfg"});
}

TEST_F(WindowsTest, AReplacementWindowsRefusesLeavesTheOldFileWhole) {
    Put(Cfg(), "old");
    // Another program has the file open and shares no deletion.
    const HANDLE other = ::CreateFileW(WideName(Cfg()).c_str(), GENERIC_READ, FILE_SHARE_READ,
                                       nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(other, INVALID_HANDLE_VALUE);
    AtomicFile file(Cfg());
    ASSERT_TRUE(file.Open()) << file.Reason();
    ASSERT_TRUE(file.Write("new"));
    EXPECT_FALSE(file.Commit());
    EXPECT_TRUE(file.Reason().starts_with("the old file could not be replaced (")) << file.Reason();
    ::CloseHandle(other);
    EXPECT_EQ(Get(Cfg()), "old");
    EXPECT_EQ(Entries(Dir()), std::set<std::string>{"tavro.cfg"});
    // Let go of, it is replaced, and a new file keeps the old one's attributes.
    ASSERT_TRUE(::SetFileAttributesW(WideName(Cfg()).c_str(), FILE_ATTRIBUTE_HIDDEN));
    EXPECT_TRUE(WriteFileAtomically(Cfg(), "new", nullptr));
    EXPECT_EQ(Get(Cfg()), "new");
    EXPECT_TRUE(::GetFileAttributesW(WideName(Cfg()).c_str()) & FILE_ATTRIBUTE_HIDDEN);
}

TEST_F(WindowsTest, TheLockFileSerialisesWritersAndGoesAway) {
    profile_testing::SetLockWait(20);
    Put(Cfg(), "[S]\n");
    {
        const DirectoryLock held(Dir(), 20);
        EXPECT_FALSE(held.Busy() || held.Waited());
        const DirectoryLock second(Dir(), 20);
        EXPECT_TRUE(second.Busy() && second.Waited());
        SetLastError(ERROR_SUCCESS);
        EXPECT_EQ(WritePrivateProfileStringA("S", "k", "v", Cfg().c_str()), FALSE);
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_LOCK_VIOLATION));
    }
    profile_testing::SetLockWait(2000);
    {
        const DirectoryLock free(Dir(), 20);
        EXPECT_FALSE(free.Busy() || free.Waited());
        EXPECT_EQ(Entries(Dir()), (std::set<std::string>{".tavro-lock", "tavro.cfg"}));
    }
    EXPECT_EQ(WritePrivateProfileStringA("S", "k", "v", Cfg().c_str()), TRUE);
    EXPECT_EQ(Get(Cfg()), "[S]\nk=v\n");
    EXPECT_EQ(Entries(Dir()), std::set<std::string>{"tavro.cfg"});
}

TEST_F(WindowsTest, ProgramsAreFoundByWindowsAndFailuresSayWhere) {
    const ShellResult started = Shell("cmd /c exit 0", SW_SHOWMINIMIZED, Dir());
    ASSERT_TRUE(started.ok) << started.reason;
    EXPECT_GT(started.pid, 0);
    EXPECT_EQ(started.program, "cmd");
    EXPECT_TRUE(started.path.ends_with("cmd.exe")) << started.path;

    // A program in the launcher's own directory comes first, named without ".exe".
    wchar_t system[MAX_PATH];
    ASSERT_GT(::GetSystemDirectoryW(system, MAX_PATH), 0u);
    ASSERT_TRUE(::CopyFileW((std::wstring(system) + L"\\cmd.exe").c_str(),
                            Wide("morvel.exe").c_str(), TRUE));
    const ShellResult own = Shell("morvel /c exit 0", SW_SHOWMINIMIZED, Dir());
    ASSERT_TRUE(own.ok) << own.reason;
    EXPECT_EQ(WideName(own.path), WideName(Dir() + "\\morvel.exe"));

    const ShellResult failed = Shell("tavro-missing -x", SW_SHOWMINIMIZED, Dir());
    EXPECT_FALSE(failed.ok);
    EXPECT_EQ(failed.error, static_cast<int>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(failed.reason, "No file named tavro-missing or tavro-missing.exe was found.");
    ASSERT_GE(failed.searched.size(), 3u);
    EXPECT_EQ(failed.searched.front(), Dir());
    EXPECT_EQ(failed.searched, ProgramSearchDirectories(Dir()));
}

} // namespace

#endif
