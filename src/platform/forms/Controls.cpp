#include "platform/forms/Controls.h"

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

OptionButton::OptionButton(QWidget* parent, const QString& caption)
    : QRadioButton(caption, parent) {
    setAutoExclusive(true);
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
