// The standard controls of a form, as thin wrappers over Qt widgets with the
// properties and events the program uses.
#pragma once

#include <QCheckBox>
#include <QFrame>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QRadioButton>
#include <vector>

namespace platform::forms {

// A text label; transparent ones show their container's picture through.
class Label : public QLabel {
    Q_OBJECT
public:
    explicit Label(QWidget* parent, const QString& caption = QString());
    void setTransparent(bool transparent);
};

// A container that groups option buttons; drawn without border or caption.
class Frame : public QFrame {
    Q_OBJECT
public:
    Frame(QWidget* parent, const QString& caption);
    QString Caption() const { return caption_; }

private:
    QString caption_;
};

// A push button; in the graphical style its face shows its back colour.
// Enter clicks it while it has the focus; Space clicks when let go. The
// focused push button of a window has the default button's black frame; the
// window's default button (setDefault) has it while no other one is focused.
class CommandButton : public QPushButton {
    Q_OBJECT
public:
    CommandButton(QWidget* parent, const QString& caption);
    bool ShowsDefaultFrame() const;
signals:
    void Click();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void initStyleOption(QStyleOptionButton* option) const override;

private:
    void updateDefaultFrames();
};

// An option button; the buttons of one container form a group. The arrow
// keys move to the next or previous option of the group and select it, and
// the group is one stop for Tab: its selected option (its first while none is).
class OptionButton : public QRadioButton {
    Q_OBJECT
public:
    OptionButton(QWidget* parent, const QString& caption);
    bool Value() const { return isChecked(); }
    // Setting True clears the other buttons of the group.
    void setValue(bool value) { setChecked(value); }

    // The options of this one's group, in tab order.
    std::vector<OptionButton*> Group() const;
    // Whether Tab stops here.
    bool IsTabStop() const;

protected:
    void keyPressEvent(QKeyEvent* event) override;
};

// A check box with the values 0 (unchecked), 1 (checked) and 2 (grayed).
class CheckBox : public QCheckBox {
    Q_OBJECT
public:
    static constexpr int Unchecked = 0;
    static constexpr int Checked = 1;
    static constexpr int Grayed = 2;

    CheckBox(QWidget* parent, const QString& caption);
    int Value() const;
    void setValue(int value);

protected:
    // A click toggles between checked and unchecked; only code sets grayed.
    void nextCheckState() override;
};

// An image control: without stretching it takes the natural size of its
// picture, anchored at its Left and Top.
class Image : public QLabel {
    Q_OBJECT
public:
    explicit Image(QWidget* parent);
    const QPixmap& Picture() const { return picture_; }
    void setPicture(const QPixmap& picture);

private:
    QPixmap picture_;
};

} // namespace platform::forms
