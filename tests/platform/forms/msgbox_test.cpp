// The real message box (no test hook): a window of ours with the plain frame,
// owned by the window that asked, answering the keys of the classic one.
#include "platform/forms/MsgBox.h"
#include "platform/forms/qt/Widgets.h"
#include "platform/window.h"

#include <QApplication>
#include <QTest>
#include <QTimer>
#include <functional>
#include <gtest/gtest.h>
#include <ostream>
#include <string>
#include <vector>

using platform::forms::Form;
using platform::forms::MsgBox, platform::forms::qt::FormWindow, platform::forms::qt::Widget;

namespace {

struct Row {
    const char* name; // the test's name
    const char* what;
    int style;
    std::vector<std::pair<Qt::Key, Qt::KeyboardModifiers>> keys;
    int answer;
};

using platform::IDCANCEL, platform::IDNO, platform::IDOK, platform::IDYES;
const Qt::KeyboardModifiers None = Qt::NoModifier;

const Row Rows[] = {
    {"EnterOnOk", "Enter on OK", platform::MB_ICONASTERISK, {{Qt::Key_Return, None}}, IDOK},
    {"EscapeOnOkAlone", "Escape on OK alone", platform::MB_OK, {{Qt::Key_Escape, None}}, IDOK},
    {"EnterOnTheDefaultYes", "Enter on the default Yes", 36, {{Qt::Key_Return, None}}, IDYES},
    {"EnterOnTheSecondDefault",
     "Enter on the second default",
     36 | platform::MB_DEFBUTTON2,
     {{Qt::Key_Return, None}},
     IDNO},
    {"TabToNoThenSpace",
     "Tab to No, Space",
     36,
     {{Qt::Key_Tab, None}, {Qt::Key_Space, None}},
     IDNO},
    {"EscapeIsCancel",
     "Escape is Cancel",
     platform::MB_OKCANCEL,
     {{Qt::Key_Escape, None}},
     IDCANCEL},
    {"EscapeWithoutCancelThenClosed",
     "Escape without Cancel does nothing; closed, the last button",
     36,
     {{Qt::Key_Escape, None}},
     IDNO},
};

void PrintTo(const Row& row, std::ostream* os) {
    *os << row.what;
}

class MsgBoxTest : public ::testing::TestWithParam<Row> {};

TEST_P(MsgBoxTest, IsAnOwnedDialogOfOursAndAnswersTheKeys) {
    const Row& row = GetParam();
    Form::Design design;
    design.caption = "Owner";
    design.clientWidth = 6000;
    design.clientHeight = 4000;
    Form owner(design);
    owner.Show();

    ASSERT_TRUE(QTest::qWaitForWindowActive(Widget(&owner))) << "the owner is active again";
    bool checked = false;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<FormWindow*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr) << row.what;
        checked = true;
        EXPECT_EQ(box->Caption(), "Title") << row.what;
        EXPECT_EQ(box->windowType(), Qt::Dialog) << row.what;
        EXPECT_EQ(box->parentWidget(), Widget(&owner)) << row.what;
        EXPECT_EQ(platform::GetParent(box->hWnd()), owner.hWnd()) << row.what;
        const auto style = platform::GetWindowLongPtrA(box->hWnd(), platform::GWL_STYLE);
        EXPECT_TRUE(style & platform::WS_SYSMENU) << row.what;
        EXPECT_FALSE(style & (platform::WS_MINIMIZEBOX | platform::WS_MAXIMIZEBOX)) << row.what;
        for (const auto& [key, modifiers] : row.keys) {
            QTest::keyClick(box->focusWidget(), key, modifiers);
        }
        if (QApplication::activeModalWidget() == box) {
            box->close();
        }
    });
    EXPECT_EQ(MsgBox("Text of the message", row.style, "Title"), row.answer) << row.what;
    EXPECT_TRUE(checked) << row.what;
}

INSTANTIATE_TEST_SUITE_P(Keys, MsgBoxTest, ::testing::ValuesIn(Rows),
                         [](const ::testing::TestParamInfo<Row>& info) {
                             return std::string(info.param.name);
                         });

} // namespace
