// Answers the program's message boxes for a test instead of a dialog, and
// keeps each one it was shown. Installed for as long as the object lives;
// one at a time (its end puts the real dialog back).
#pragma once

#include <QString>
#include <QStringList>
#include <deque>
#include <functional>
#include <vector>

namespace tavro::test {

class MsgBoxRecorder {
public:
    struct Message {
        QString text;
        int style; // MB_* buttons + icon + default button, as the program passed it
        QString title;
    };

    MsgBoxRecorder();
    ~MsgBoxRecorder();
    MsgBoxRecorder(const MsgBoxRecorder&) = delete;
    MsgBoxRecorder& operator=(const MsgBoxRecorder&) = delete;

    // A box with buttons to choose from takes the next queued answer, or
    // `otherwise` once the queue is empty; a box with OK alone gets IDOK.
    std::deque<int> answers;
    int otherwise;
    // Runs while a box is up, as a dialog would leave the program waiting.
    std::function<void()> whileShown;

    const std::vector<Message>& messages() const { return messages_; }
    QStringList texts() const;
    // The same as a list of what was shown, so tests read like one.
    std::size_t size() const { return messages_.size(); }
    bool empty() const { return messages_.empty(); }
    const Message& operator[](std::size_t i) const { return messages_[i]; }
    const Message& front() const { return messages_.front(); }
    const Message& back() const { return messages_.back(); }
    auto begin() const { return messages_.begin(); }
    auto end() const { return messages_.end(); }
    void clear() { messages_.clear(); }

private:
    int answer(const QString& text, int style, const QString& title);

    std::vector<Message> messages_;
};

} // namespace tavro::test
