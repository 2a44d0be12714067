// The text box over a real RichEdit control: a file keeps its bytes through
// the codec, each line its own break through edits, undo and redo, and the
// character event comes before the control acts on the key.
#include "platform/forms/Form.h"
#include "platform/forms/RichTextBox.h"
#include "platform/forms/win32/Native.h"
#include "system/FileFixture.h"

#include <gtest/gtest.h>
#include <richedit.h>
#include <string>
#include <vector>

namespace {

using namespace platform;
using namespace platform::forms;

class WinRichTextBoxTest : public tavro::test::FileFixture {
protected:
    WinRichTextBoxTest() : form(Form::Design{}), box(*new RichTextBox(form.Client())) {}
    HWND Edit() const { return win32::ToHwnd(box.Native()); }
    // Replaces the characters from `from` to `to` as typing or pasting would.
    void replace(long from, long to, const wchar_t* text) {
        CHARRANGE range{from, to};
        SendMessageW(Edit(), EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&range));
        SendMessageW(Edit(), EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(text));
    }
    std::string saved() {
        std::string error;
        EXPECT_TRUE(box.SaveFile(PathOf("d.drv"), RichTextBox::rtfText, &error)) << error;
        return Get(PathOf("d.drv"));
    }
    void load(const std::string& bytes) {
        Put(PathOf("d.drv"), bytes);
        std::string error;
        ASSERT_TRUE(box.LoadFile(PathOf("d.drv"), &error)) << error;
    }

    Form form;
    RichTextBox& box;
};

TEST_F(WinRichTextBoxTest, UnchangedTextSavesItsVeryBytes) {
    const std::string bytes = "\xEF\xBB\xBF"
                              "a\r\nb\rc\n\xEF\xBB\xBF"
                              "d";
    load(bytes);
    EXPECT_EQ(box.Text(), "a\nb\nc\n\xEF\xBB\xBF"
                          "d");
    EXPECT_FALSE(box.Modified());
    EXPECT_FALSE(box.Filling());
    EXPECT_EQ(saved(), bytes);
    replace(0, 0, L"x");
    SendMessageW(Edit(), EM_UNDO, 0, 0);
    EXPECT_EQ(saved(), bytes); // undone back to the file's text
}

TEST_F(WinRichTextBoxTest, AChangedTextKeepsEachLinesOwnBreak) {
    load("l0\nl1\r\nl2\rl3\nl4\r\nl5");
    replace(5, 6, L""); // joins l1 and l2: l1's CR LF goes
    EXPECT_TRUE(box.Modified());
    EXPECT_EQ(saved(), "l0\nl1l2\rl3\nl4\r\nl5");
    replace(0, 0, L"new\r"); // a new first line takes the file's first style
    EXPECT_EQ(saved(), "new\nl0\nl1l2\rl3\nl4\r\nl5");
    EXPECT_FALSE(box.Modified());
}

TEST_F(WinRichTextBoxTest, UndoAndRedoGiveBackTheBreaks) {
    load("l0\nl1\rl2\r\nl3");
    replace(5, 6, L""); // l1's CR goes
    SendMessageW(Edit(), EM_UNDO, 0, 0);
    replace(0, 0, L"x");
    EXPECT_EQ(saved(), "xl0\nl1\rl2\r\nl3");
    replace(3, 4, L""); // l0's LF goes
    SendMessageW(Edit(), EM_UNDO, 0, 0);
    SendMessageW(Edit(), EM_REDO, 0, 0);
    EXPECT_EQ(saved(), "xl0l1\rl2\r\nl3");
}

// Whole lines that come or go take the break beside them that the edit made
// or took: the caret tells which side of a break the edit was on.
TEST_F(WinRichTextBoxTest, WholeLinesComeAndGoOnTheCaretsSideOfTheBreak) {
    load("a\nb\r\nc\rd");
    replace(3, 3, L"\r"); // Enter at the end of b
    EXPECT_EQ(saved(), "a\nb\n\r\nc\rd");
    load("a\nb\r\nc\rd");
    replace(4, 4, L"\r"); // Enter at the start of c
    EXPECT_EQ(saved(), "a\nb\r\n\nc\rd");
    load("a\nb\r\nc\rd");
    replace(2, 4, L""); // "b" and its break
    EXPECT_EQ(saved(), "a\nc\rd");
    load("a\nb\r\nc\rd");
    replace(1, 3, L""); // a's break and "b"
    EXPECT_EQ(saved(), "a\r\nc\rd");
}

TEST_F(WinRichTextBoxTest, TextIsUtf8WithLfAndStandInsTurnedBack) {
    box.setText("one\ntwo \xE2\x82\xAC");
    EXPECT_EQ(box.Text(), "one\ntwo \xE2\x82\xAC");
    EXPECT_FALSE(box.Modified());
    const std::string separated = "a\xE2\x80\xA9"
                                  "b\r\nc";
    load(separated);
    EXPECT_EQ(box.Text(), "a\xE2\x80\xA9"
                          "b\nc");
    replace(0, 0, L"z");
    EXPECT_EQ(saved(), "z" + separated);
}

TEST_F(WinRichTextBoxTest, ASingleByteFileRefusesWhatItCannotStore) {
    load("caf\xE9\n");
    EXPECT_EQ(box.Format().encoding, TextEncoding::Latin1);
    replace(0, 0, L"\u20AC");
    std::string error;
    EXPECT_FALSE(box.SaveFile(PathOf("d.drv"), RichTextBox::rtfText, &error));
    EXPECT_NE(error.find("(U+20AC)"), std::string::npos) << error;
    EXPECT_EQ(Get(PathOf("d.drv")), "caf\xE9\n");
    EXPECT_FALSE(box.SaveFile(PathOf("d.drv"), RichTextBox::rtfRTF, &error));
}

TEST_F(WinRichTextBoxTest, AFileWithSeparatorsAndStandInsIsReadOnly) {
    load("a\xE2\x80\xA9"
         "b\xEE\x80\x80");
    EXPECT_FALSE(box.ReadOnlyReason().empty());
    EXPECT_NE(SendMessageW(Edit(), EM_GETOPTIONS, 0, 0) & ECO_READONLY, 0);
}

TEST_F(WinRichTextBoxTest, AFileRewrittenSinceLoadingIsNoticed) {
    load("a");
    EXPECT_FALSE(box.FileChangedOnDisk());
    Put(PathOf("d.drv"), "bb");
    EXPECT_TRUE(box.FileChangedOnDisk());
    std::string error;
    EXPECT_FALSE(box.LoadFile(PathOf("missing.drv"), &error));
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(box.Text(), "a");
}

TEST_F(WinRichTextBoxTest, KeysRaiseTheCharacterEventBeforeTheControlActs) {
    box.setText("ab");
    std::vector<int> keys;
    std::vector<std::string> texts;
    box.KeyPress = [&](int key) {
        keys.push_back(key);
        texts.push_back(box.Text());
    };
    SetFocus(Edit());
    const auto press = [this](WPARAM vk, wchar_t c) {
        const LPARAM key =
            1 | static_cast<LPARAM>(MapVirtualKeyW(static_cast<UINT>(vk), MAPVK_VK_TO_VSC)) << 16;
        PostMessageW(Edit(), WM_KEYDOWN, vk, key);
        if (c) {
            PostMessageW(Edit(), WM_CHAR, c, key);
        }
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            DispatchMessageW(&msg);
        }
    };
    press(VK_END, 0);
    press('X', L'x');
    press(VK_BACK, 8);
    press(VK_DELETE, 0);
    press(VK_RETURN, L'\r');
    BYTE state[256] = {};
    state[VK_CONTROL] = 0x80;
    SetKeyboardState(state);
    press('E', 5);        // Ctrl+E
    press(VK_OEM_4, 27);  // Ctrl+[ types nothing
    press(VK_BACK, 0x7F); // Ctrl+Backspace
    state[VK_CONTROL] = 0;
    SetKeyboardState(state);
    EXPECT_EQ(keys, (std::vector<int>{'x', 8, 13, 5, 8}));
    EXPECT_EQ(texts.at(0), "ab");
    EXPECT_EQ(texts.at(1), "abx");
    EXPECT_EQ(texts.at(2), "ab");
}

} // namespace
