#include "platform/forms/MsgBox.h"

#include "platform/win32.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <utility>
#include <vector>

namespace platform::forms {

namespace {

MsgBoxHook& hook() {
    static MsgBoxHook h;
    return h;
}

struct ButtonChoice {
    QMessageBox::StandardButton button;
    int answer;
};

std::vector<ButtonChoice> buttonsFor(int style) {
    switch (style & 0x0F) {
    case MB_OKCANCEL:
        return {{QMessageBox::Ok, IDOK}, {QMessageBox::Cancel, IDCANCEL}};
    case MB_ABORTRETRYIGNORE:
        return {{QMessageBox::Abort, IDABORT},
                {QMessageBox::Retry, IDRETRY},
                {QMessageBox::Ignore, IDIGNORE}};
    case MB_YESNOCANCEL:
        return {
            {QMessageBox::Yes, IDYES}, {QMessageBox::No, IDNO}, {QMessageBox::Cancel, IDCANCEL}};
    case MB_YESNO:
        return {{QMessageBox::Yes, IDYES}, {QMessageBox::No, IDNO}};
    case MB_RETRYCANCEL:
        return {{QMessageBox::Retry, IDRETRY}, {QMessageBox::Cancel, IDCANCEL}};
    default:
        return {{QMessageBox::Ok, IDOK}};
    }
}

QMessageBox::Icon iconFor(int style) {
    switch (style & 0xF0) {
    case MB_ICONHAND:
        return QMessageBox::Critical;
    case MB_ICONQUESTION:
        return QMessageBox::Question;
    case MB_ICONEXCLAMATION:
        return QMessageBox::Warning;
    case MB_ICONASTERISK:
        return QMessageBox::Information;
    default:
        return QMessageBox::NoIcon;
    }
}

} // namespace

int MsgBox(const QString& prompt, int style, const QString& title) {
    if (hook()) {
        return hook()(prompt, style, title);
    }
    QMessageBox box(iconFor(style), title, prompt, QMessageBox::NoButton,
                    QApplication::activeWindow());
    const std::vector<ButtonChoice> choices = buttonsFor(style);
    for (const ButtonChoice& choice : choices) {
        box.addButton(choice.button);
    }
    const std::size_t defaultIndex = static_cast<std::size_t>((style & 0xF00) >> 8);
    if (defaultIndex < choices.size()) {
        box.setDefaultButton(choices[defaultIndex].button);
    }
    box.exec();
    const auto clicked = box.standardButton(box.clickedButton());
    for (const ButtonChoice& choice : choices) {
        if (choice.button == clicked) {
            return choice.answer;
        }
    }
    // Closed without a button: Cancel where there is one, else the last button.
    for (const ButtonChoice& choice : choices) {
        if (choice.answer == IDCANCEL) {
            return IDCANCEL;
        }
    }
    return choices.back().answer;
}

void SetMsgBoxHook(MsgBoxHook h) {
    hook() = std::move(h);
}

} // namespace platform::forms
