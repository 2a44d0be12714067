// The accessibility interfaces of a form and of its client area.
#pragma once

#include <QAccessibleWidget>

namespace platform::forms::qt {

class FormWindow;

// Installs the runtime's accessibility interfaces; every form calls it as it
// is made, so it is in place before any form is asked about.
void InstallAccessibility();

// The role a form's window reports (SetAccessibleRole), and the name of its
// picture (SetPictureName), empty when it has none.
QAccessible::Role QtRole(const FormWindow* form);
QString PictureNameOf(const FormWindow* form);

// A form: a window, dialog or alert named by its caption, with its menu bar
// (when it has one) as the first child. An alert's description is its
// message, which can also be read as its text.
class FormAccessible final : public QAccessibleWidget, public QAccessibleTextInterface {
public:
    explicit FormAccessible(FormWindow* form);
    ~FormAccessible() override;

    QAccessible::Role role() const override;
    QAccessible::State state() const override;
    QString text(QAccessible::Text t) const override;
    int childCount() const override;
    QAccessibleInterface* child(int index) const override;
    int indexOfChild(const QAccessibleInterface* child) const override;
    void* interface_cast(QAccessible::InterfaceType type) override;

    // The message, read-only.
    void selection(int selectionIndex, int* startOffset, int* endOffset) const override;
    int selectionCount() const override { return 0; }
    void addSelection(int, int) override {}
    void removeSelection(int) override {}
    void setSelection(int, int, int) override {}
    int cursorPosition() const override { return 0; }
    void setCursorPosition(int) override {}
    QString text(int startOffset, int endOffset) const override;
    int characterCount() const override;
    QRect characterRect(int) const override { return {}; }
    int offsetAtPoint(const QPoint&) const override { return -1; }
    void scrollToSubstring(int, int) override {}
    QString attributes(int offset, int* startOffset, int* endOffset) const override;

private:
    FormWindow* form() const;
    bool hasMenu() const;
    QString message() const;

    mutable QAccessible::Id menuBar_ = 0;
};

// A form's client area, which holds the controls; a named picture of the
// form is its first child, under the controls.
class ClientAccessible final : public QAccessibleWidget {
public:
    ClientAccessible(QWidget* client, FormWindow* form);
    ~ClientAccessible() override;

    int childCount() const override;
    QAccessibleInterface* child(int index) const override;
    int indexOfChild(const QAccessibleInterface* child) const override;

private:
    QAccessibleInterface* picture() const;

    FormWindow* form_;
    mutable QAccessible::Id picture_ = 0;
};

} // namespace platform::forms::qt
