#include "platform/forms/qt/ControlWidgets.h"

#include "platform/forms/Controls.h"
#include "platform/forms/qt/Design.h"

#include <QKeyEvent>
#include <QStyleOptionButton>
#include <algorithm>

namespace platform::forms::qt {

LabelWidget::LabelWidget(QWidget* parent, const QString& caption) : QLabel(caption, parent) {
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
    setWordWrap(true);
    setTextFormat(Qt::PlainText);
}

void LabelWidget::setTransparent(bool transparent) {
    setAutoFillBackground(!transparent);
    setAttribute(Qt::WA_TranslucentBackground, transparent);
}

FrameWidget::FrameWidget(QWidget* parent) : QFrame(parent) {
    setFrameShape(QFrame::NoFrame);
}

CommandButtonWidget::CommandButtonWidget(QWidget* parent, const QString& caption,
                                         CommandButton* control)
    : QPushButton(caption, parent), control_(control) {
    setAutoDefault(false);
    connect(this, &QPushButton::clicked, this, [this] {
        if (control_->Click) {
            control_->Click();
        }
    });
}

void CommandButtonWidget::keyPressEvent(QKeyEvent* event) {
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

bool CommandButtonWidget::ShowsDefaultFrame() const {
    // The window's focus widget, kept while another window is active.
    const QWidget* focused = window()->focusWidget();
    if (focused == this) {
        return true;
    }
    return isDefault() && !qobject_cast<const CommandButtonWidget*>(focused);
}

void CommandButtonWidget::initStyleOption(QStyleOptionButton* option) const {
    QPushButton::initStyleOption(option);
    option->features.setFlag(QStyleOptionButton::DefaultButton, ShowsDefaultFrame());
}

void CommandButtonWidget::focusInEvent(QFocusEvent* event) {
    QPushButton::focusInEvent(event);
    updateDefaultFrames();
}

void CommandButtonWidget::focusOutEvent(QFocusEvent* event) {
    QPushButton::focusOutEvent(event);
    updateDefaultFrames();
}

// The window's default button gives its frame up to a focused push button
// and takes it back when the focus goes elsewhere.
void CommandButtonWidget::updateDefaultFrames() {
    for (CommandButtonWidget* button : window()->findChildren<CommandButtonWidget*>()) {
        if (button != this && button->isDefault()) {
            button->update();
        }
    }
}

OptionButtonWidget::OptionButtonWidget(QWidget* parent, const QString& caption,
                                       OptionButton* control)
    : QRadioButton(caption, parent), control_(control) {
    setAutoExclusive(true);
}

std::vector<OptionButtonWidget*> OptionButtonWidget::Group() const {
    std::vector<OptionButtonWidget*> group;
    if (QWidget* container = parentWidget()) {
        const auto options =
            container->findChildren<OptionButtonWidget*>(Qt::FindDirectChildrenOnly);
        group.assign(options.begin(), options.end());
    }
    std::stable_sort(group.begin(), group.end(),
                     [](const OptionButtonWidget* a, const OptionButtonWidget* b) {
                         return TabIndex(a) < TabIndex(b);
                     });
    return group;
}

bool OptionButtonWidget::IsTabStop() const {
    if (isChecked()) {
        return true;
    }
    const std::vector<OptionButtonWidget*> group = Group();
    if (std::any_of(group.begin(), group.end(),
                    [](const OptionButtonWidget* o) { return o->isChecked(); })) {
        return false;
    }
    const auto first = std::find_if(group.begin(), group.end(), [](const OptionButtonWidget* o) {
        return o->isEnabled() && !o->isHidden();
    });
    return first != group.end() && *first == this;
}

void OptionButtonWidget::keyPressEvent(QKeyEvent* event) {
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
    const std::vector<OptionButtonWidget*> group = Group();
    const auto n = static_cast<int>(group.size());
    const auto self = static_cast<int>(std::find(group.begin(), group.end(), this) - group.begin());
    // Round the group, past the options that cannot take the focus.
    for (int i = 1; i < n; ++i) {
        OptionButtonWidget* next = group[static_cast<std::size_t>(((self + step * i) % n + n) % n)];
        if (next->isEnabled() && !next->isHidden()) {
            next->setFocus(Qt::OtherFocusReason);
            next->click();
            return;
        }
    }
}

CheckBoxWidget::CheckBoxWidget(QWidget* parent, const QString& caption)
    : QCheckBox(caption, parent) {}

int CheckBoxWidget::Value() const {
    switch (checkState()) {
    case Qt::Checked:
        return CheckBox::Checked;
    case Qt::PartiallyChecked:
        return CheckBox::Grayed;
    default:
        return CheckBox::Unchecked;
    }
}

void CheckBoxWidget::setValue(int value) {
    if (value == CheckBox::Grayed) {
        setTristate(true);
        setCheckState(Qt::PartiallyChecked);
    } else {
        setCheckState(value == CheckBox::Checked ? Qt::Checked : Qt::Unchecked);
    }
}

void CheckBoxWidget::nextCheckState() {
    setCheckState(checkState() == Qt::Unchecked ? Qt::Checked : Qt::Unchecked);
}

ImageWidget::ImageWidget(QWidget* parent) : QLabel(parent) {
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
    setAttribute(Qt::WA_TranslucentBackground, true);
}

void ImageWidget::setPicture(const QPixmap& picture) {
    setPixmap(picture);
    if (!picture.isNull()) {
        resize(picture.size());
    }
}

} // namespace platform::forms::qt
