// The file list box over a real LISTBOX: the reader's names in its order, an
// unreadable directory reported at once, and a selection that moves but never
// empties, with Click raised once a change.
#include "platform/forms/FileListBox.h"
#include "platform/forms/Form.h"
#include "platform/forms/win32/FileListWindow.h"
#include "platform/forms/win32/Native.h"
#include "platform/system/win32/wide_names.h"
#include "system/FileFixture.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

using namespace platform;
using namespace platform::forms;

class WinFileListBoxTest : public tavro::test::FileFixture {
protected:
    WinFileListBoxTest() : form(Form::Design{}), box(*new FileListBox(form.Client())) {
        box.Click = [this] { ++clicks; };
        SetWindowPos(List(), nullptr, 0, 0, 160, 200, SWP_NOZORDER);
    }
    HWND List() const { return win32::ToHwnd(box.Native()); }
    void touch(const std::string& name) { Put(PathOf(name), "x"); }
    std::vector<std::string> names() {
        std::vector<std::string> shown;
        for (int i = 0; i < box.ListCount(); ++i) {
            wchar_t text[300] = {};
            SendMessageW(List(), LB_GETTEXT, static_cast<WPARAM>(i),
                         reinterpret_cast<LPARAM>(text));
            EXPECT_EQ(NarrowName(text), box.List(i));
            shown.push_back(box.List(i));
        }
        return shown;
    }
    void key(WPARAM k) { SendMessageW(List(), WM_KEYDOWN, k, 0); }
    // A click at a height in the list's client area.
    void click(int y, WPARAM keys = 0) {
        SendMessageW(List(), WM_LBUTTONDOWN, MK_LBUTTON | keys, MAKELPARAM(10, y));
        SendMessageW(List(), WM_LBUTTONUP, keys, MAKELPARAM(10, y));
    }
    int rowY(int row) {
        RECT r{};
        SendMessageW(List(), LB_GETITEMRECT, static_cast<WPARAM>(row),
                     reinterpret_cast<LPARAM>(&r));
        return (r.top + r.bottom) / 2;
    }
    void fiveNames() {
        for (const char* name : {"alpha.drv", "beta.drv", "delta.drv", "gamma.drv", "omega.drv"}) {
            touch(name);
        }
        box.setPattern("*.drv");
        ASSERT_TRUE(box.setPath(Dir()));
        ASSERT_EQ(box.ListCount(), 5);
    }

    Form form;
    FileListBox& box;
    int clicks = 0;
};

TEST_F(WinFileListBoxTest, ListsTheMatchingFilesInTheReadersOrder) {
    for (const char* name :
         {"b.DRV", "A.drv", "c.drv", "readme.txt", "Caf\xC3\xA9.drv", "a.drvx"}) {
        touch(name);
    }
    std::filesystem::create_directory(dir_ / "sub.drv");
    box.setPattern("*.drv");
    ASSERT_TRUE(box.setPath(Dir()));
    EXPECT_EQ(names(), (std::vector<std::string>{"A.drv", "b.DRV", "c.drv", "Caf\xC3\xA9.drv"}));
    EXPECT_EQ(SendMessageW(List(), LB_GETCOUNT, 0, 0), 4);
    EXPECT_EQ(box.ListIndex(), -1);
    EXPECT_EQ(box.FileName(), "");
    box.setPattern("?.d[!q]v");
    EXPECT_EQ(names(), (std::vector<std::string>{"A.drv", "b.DRV", "c.drv"}));
}

TEST_F(WinFileListBoxTest, ADirectoryThatCannotBeOpenedIsReportedAtOnce) {
    touch("a.drv");
    ASSERT_TRUE(box.setPath(Dir()));
    ASSERT_EQ(box.ListCount(), 1);
    std::string error;
    EXPECT_FALSE(box.setPath(PathOf("missing"), &error));
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(box.Path(), PathOf("missing"));
    EXPECT_EQ(box.ListCount(), 0);
    EXPECT_EQ(SendMessageW(List(), LB_GETCOUNT, 0, 0), 0);
}

TEST_F(WinFileListBoxTest, NamesReadAheadAreTakenOverOnlyForTheSameSetting) {
    touch("a.drv");
    FileListBox::ReadAhead(Dir(), "*.drv");
    touch("b.drv"); // read ahead or not, the list is the directory's
    box.setPattern("*.drv");
    ASSERT_TRUE(box.setPath(Dir()));
    EXPECT_GE(box.ListCount(), 1);
    EXPECT_EQ(box.List(0), "a.drv");
    FileListBox::ReadAhead(Dir(), "*.txt");
    ASSERT_TRUE(box.Refresh());
    EXPECT_EQ(box.ListCount(), 2);
}

TEST_F(WinFileListBoxTest, CodeSettingTheIndexClicksOnceAChange) {
    fiveNames();
    box.setListIndex(1);
    EXPECT_EQ(box.FileName(), "beta.drv");
    EXPECT_EQ(clicks, 1);
    box.setListIndex(1);
    EXPECT_EQ(clicks, 1);
    box.setListIndex(9);
    EXPECT_EQ(box.ListIndex(), -1);
    EXPECT_EQ(box.FileName(), "");
    EXPECT_EQ(clicks, 1);
}

TEST_F(WinFileListBoxTest, TheUserMovesTheSelectionButNeverEmptiesIt) {
    fiveNames();
    box.setListIndex(1);
    clicks = 0;
    click(195); // below the last name
    click(195, MK_CONTROL);
    click(rowY(1), MK_CONTROL); // on the selected name
    EXPECT_EQ(box.FileName(), "beta.drv");
    EXPECT_EQ(clicks, 0);
    key(VK_SPACE);
    EXPECT_EQ(clicks, 0);
    key(VK_DOWN);
    EXPECT_EQ(box.FileName(), "delta.drv");
    key(VK_END);
    EXPECT_EQ(box.FileName(), "omega.drv");
    key(VK_HOME);
    EXPECT_EQ(box.FileName(), "alpha.drv");
    click(rowY(3), MK_CONTROL);
    EXPECT_EQ(box.FileName(), "gamma.drv");
    SendMessageW(List(), WM_CHAR, 'o', 0); // type-ahead
    EXPECT_EQ(box.FileName(), "omega.drv");
    EXPECT_EQ(clicks, 5);
}

TEST_F(WinFileListBoxTest, EndReachesTheLastNameBeforeAnyWasChosen) {
    for (int i = 0; i < 1000; ++i) {
        touch("d" + std::to_string(1000 + i) + ".drv");
    }
    box.setPattern("*.drv");
    ASSERT_TRUE(box.setPath(Dir()));
    ASSERT_EQ(box.ListCount(), 1000);
    key(VK_END);
    EXPECT_EQ(box.ListIndex(), 999);
    EXPECT_EQ(box.FileName(), "d1999.drv");
    EXPECT_EQ(clicks, 1);
}

TEST(WinWildcard, MatchesAsTheListReadsPatterns) {
    using platform::forms::win32::WildcardMatches;
    EXPECT_TRUE(WildcardMatches(L"*.DRV", L"game.drv"));
    EXPECT_TRUE(WildcardMatches(L"g?me*", L"GAME.drv"));
    EXPECT_TRUE(WildcardMatches(L"[a-c]*", L"Beta"));
    EXPECT_FALSE(WildcardMatches(L"[!a-c]*", L"beta"));
    EXPECT_TRUE(WildcardMatches(L"caf\u00c9?", L"caf\u00e9s"));
    EXPECT_TRUE(WildcardMatches(L"?.x", L"\U0001F600.x")); // one character, two units
    EXPECT_FALSE(WildcardMatches(L"a*b", L"a.bc"));
    EXPECT_TRUE(WildcardMatches(L"[", L"["));
}

} // namespace
