#include "platform/forms/Controls.h"

#include "platform/forms/Design.h"

#include <QKeyEvent>
#include <QStyleOptionButton>
#include <algorithm>

namespace platform::forms {

Label::Label(QWidget* parent, const QString& caption) : QLabel(caption, parent) {
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
    setWordWrap(true);
    setTextFormat(Qt::PlainText);
}

void Label::setTransparent(bool transparent) {
    setAutoFillBackground(!transparent);
    setAttribute(Qt::WA_TranslucentBackground, transparent);
}

Frame::Frame(QWidget* parent, const QString& caption) : QFrame(parent), caption_(caption) {
    setFrameShape(QFrame::NoFrame);
}

CommandButton::CommandButton(QWidget* parent, const QString& caption)
    : QPushButton(caption, parent) {
    setAutoDefault(false);
    connect(this, &QPushButton::clicked, this, &CommandButton::Click);
}

void CommandButton::keyPressEvent(QKeyEvent* event) {
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (enter && (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
        // A held key clicks once: one press must not start the emulator twice.
        if (!event->isAutoRepeat()) {
            click();
        }
        return;
    }
    QPushButton::keyPressEvent(event);
}

bool CommandButton::ShowsDefaultFrame() const {
    // The window's focus widget, kept while another window is active.
    const QWidget* focused = window()->focusWidget();
    if (focused == this) {
        return true;
    }
    return isDefault() && !qobject_cast<const CommandButton*>(focused);
}

void CommandButton::initStyleOption(QStyleOptionButton* option) const {
    QPushButton::initStyleOption(option);
    option->features.setFlag(QStyleOptionButton::DefaultButton, ShowsDefaultFrame());
}

void CommandButton::focusInEvent(QFocusEvent* event) {
    QPushButton::focusInEvent(event);
    updateDefaultFrames();
}

void CommandButton::focusOutEvent(QFocusEvent* event) {
    QPushButton::focusOutEvent(event);
    updateDefaultFrames();
}

// The window's default button gives its frame up to a focused push button
// and takes it back when the focus goes elsewhere.
void CommandButton::updateDefaultFrames() {
    for (CommandButton* button : window()->findChildren<CommandButton*>()) {
        if (button != this && button->isDefault()) {
            button->update();
        }
    }
}

OptionButton::OptionButton(QWidget* parent, const QString& caption)
    : QRadioButton(caption, parent) {
    setAutoExclusive(true);
}

std::vector<OptionButton*> OptionButton::Group() const {
    std::vector<OptionButton*> group;
    if (QWidget* container = parentWidget()) {
        const auto options = container->findChildren<OptionButton*>(Qt::FindDirectChildrenOnly);
        group.assign(options.begin(), options.end());
    }
    std::stable_sort(group.begin(), group.end(), [](const OptionButton* a, const OptionButton* b) {
        return TabIndex(a) < TabIndex(b);
    });
    return group;
}

bool OptionButton::IsTabStop() const {
    if (isChecked()) {
        return true;
    }
    const std::vector<OptionButton*> group = Group();
    if (std::any_of(group.begin(), group.end(),
                    [](const OptionButton* o) { return o->isChecked(); })) {
        return false;
    }
    const auto first = std::find_if(group.begin(), group.end(), [](const OptionButton* o) {
        return o->isEnabled() && !o->isHidden();
    });
    return first != group.end() && *first == this;
}

void OptionButton::keyPressEvent(QKeyEvent* event) {
    int step = 0;
    switch (event->key()) {
    case Qt::Key_Down:
    case Qt::Key_Right:
        step = 1;
        break;
    case Qt::Key_Up:
    case Qt::Key_Left:
        step = -1;
        break;
    default:
        QRadioButton::keyPressEvent(event);
        return;
    }
    const std::vector<OptionButton*> group = Group();
    const auto n = static_cast<int>(group.size());
    const auto self = static_cast<int>(std::find(group.begin(), group.end(), this) - group.begin());
    // Round the group, past the options that cannot take the focus.
    for (int i = 1; i < n; ++i) {
        OptionButton* next = group[static_cast<std::size_t>(((self + step * i) % n + n) % n)];
        if (next->isEnabled() && !next->isHidden()) {
            next->setFocus(Qt::OtherFocusReason);
            next->click();
            return;
        }
    }
}

CheckBox::CheckBox(QWidget* parent, const QString& caption) : QCheckBox(caption, parent) {}

int CheckBox::Value() const {
    switch (checkState()) {
    case Qt::Checked:
        return Checked;
    case Qt::PartiallyChecked:
        return Grayed;
    default:
        return Unchecked;
    }
}

void CheckBox::setValue(int value) {
    if (value == Grayed) {
        setTristate(true);
        setCheckState(Qt::PartiallyChecked);
    } else {
        setCheckState(value == Checked ? Qt::Checked : Qt::Unchecked);
    }
}

void CheckBox::nextCheckState() {
    setCheckState(checkState() == Qt::Unchecked ? Qt::Checked : Qt::Unchecked);
}

Image::Image(QWidget* parent) : QLabel(parent) {
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
    setAttribute(Qt::WA_TranslucentBackground, true);
}

void Image::setPicture(const QPixmap& picture) {
    picture_ = picture;
    setPixmap(picture);
    if (!picture.isNull()) {
        resize(picture.size());
    }
}

} // namespace platform::forms
