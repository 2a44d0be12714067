#include "support/MsgBoxRecorder.h"

#include "platform/forms/MsgBox.h"
#include "platform/win32.h"

namespace tavro::test {

MsgBoxRecorder::MsgBoxRecorder() : otherwise(platform::IDNO) {
    platform::forms::SetMsgBoxHook([this](const auto& text, auto style, const auto& title) {
        return answer(QString::fromStdString(text), style, QString::fromStdString(title));
    });
}

MsgBoxRecorder::~MsgBoxRecorder() {
    platform::forms::SetMsgBoxHook({});
}

int MsgBoxRecorder::answer(const QString& text, int style, const QString& title) {
    messages_.push_back({text, style, title});
    if (whileShown) {
        whileShown();
    }
    if ((style & 0x0F) == platform::MB_OK) {
        return platform::IDOK;
    }
    if (answers.empty()) {
        return otherwise;
    }
    const int next = answers.front();
    answers.pop_front();
    return next;
}

QStringList MsgBoxRecorder::texts() const {
    QStringList list;
    for (const Message& m : messages_) {
        list << m.text;
    }
    return list;
}

} // namespace tavro::test
