// The Qt widgets behind the standard controls (Controls.h): the look and the
// keyboard of each, and, where the control raises an event, a pointer back to
// the control that the widget raises it on.
#pragma once

#include <QCheckBox>
#include <QFrame>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QRadioButton>
#include <vector>

namespace platform::forms {
class CommandButton;
class OptionButton;
} // namespace platform::forms

namespace platform::forms::qt {

// A text label; transparent ones show their container's picture through.
class LabelWidget : public QLabel {
    Q_OBJECT
public:
    LabelWidget(QWidget* parent, const QString& caption);
    void setTransparent(bool transparent);
};

// A container that groups option buttons; drawn without border or caption.
class FrameWidget : public QFrame {
    Q_OBJECT
public:
    explicit FrameWidget(QWidget* parent);
};

// A push button that raises its control's Click. Enter clicks it while it
// has the focus; Space clicks when let go. The focused push button of a
// window has the default button's black frame; the window's default button
// has it while no other one is focused.
class CommandButtonWidget : public QPushButton {
    Q_OBJECT
public:
    CommandButtonWidget(QWidget* parent, const QString& caption, CommandButton* control);
    bool ShowsDefaultFrame() const;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void initStyleOption(QStyleOptionButton* option) const override;

private:
    void updateDefaultFrames();

    CommandButton* control_;
};

// An option button; the buttons of one container form a group. The arrow
// keys move to the next or previous option of the group and select it, and
// the group is one stop for Tab: its selected option (its first while none is).
class OptionButtonWidget : public QRadioButton {
    Q_OBJECT
public:
    OptionButtonWidget(QWidget* parent, const QString& caption, OptionButton* control);
    OptionButton* control() const { return control_; }

    // The options of this one's group, in tab order.
    std::vector<OptionButtonWidget*> Group() const;
    // Whether Tab stops here.
    bool IsTabStop() const;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    OptionButton* control_;
};

// A check box with the values 0 (unchecked), 1 (checked) and 2 (grayed).
class CheckBoxWidget : public QCheckBox {
    Q_OBJECT
public:
    CheckBoxWidget(QWidget* parent, const QString& caption);
    int Value() const;
    void setValue(int value);

protected:
    // A click toggles between checked and unchecked; only code sets grayed.
    void nextCheckState() override;
};

// An image control: without stretching it takes the natural size of its
// picture, anchored at its Left and Top.
class ImageWidget : public QLabel {
    Q_OBJECT
public:
    explicit ImageWidget(QWidget* parent);
    void setPicture(const QPixmap& picture);
};

} // namespace platform::forms::qt
