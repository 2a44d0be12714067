// The painted parts of a form that are no widgets of their own, as nodes of
// the accessibility tree: the form's picture, its menu bar and the menu bar's
// items. Each node lives as long as the interface that made it.
#pragma once

#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QPointer>
#include <QString>
#include <vector>

namespace platform::forms::qt {

class FormWindow;

// A node without an object: what it is, where it lies and what it says come
// from its form, which may be gone before the node.
class PaintedPart : public QAccessibleInterface {
public:
    PaintedPart(FormWindow* form, QAccessibleInterface* parent, QAccessible::Role role);

    bool isValid() const override { return !form_.isNull(); }
    QObject* object() const override { return nullptr; }
    QWindow* window() const override;
    QAccessibleInterface* childAt(int x, int y) const override;
    QAccessibleInterface* parent() const override { return parent_; }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QString text(QAccessible::Text t) const override;
    void setText(QAccessible::Text, const QString&) override {}
    QAccessible::Role role() const override { return role_; }
    QAccessible::State state() const override;

protected:
    FormWindow* form() const { return form_.data(); }

private:
    QPointer<FormWindow> form_;
    QAccessibleInterface* parent_;
    QAccessible::Role role_;
};

// The picture a form shows behind its controls, under the name it was given.
class PicturePart final : public PaintedPart {
public:
    PicturePart(FormWindow* form, QAccessibleInterface* parent);
    QRect rect() const override;
    QString text(QAccessible::Text t) const override;
};

// The menu bar drawn in the form's frame; its items are its children.
class MenuBarPart final : public PaintedPart {
public:
    MenuBarPart(FormWindow* form, QAccessibleInterface* parent);
    ~MenuBarPart() override;

    QRect rect() const override;
    QAccessibleInterface* child(int index) const override;
    int childCount() const override;
    int indexOfChild(const QAccessibleInterface* child) const override;
    // The item's rectangle, in screen coordinates.
    QRect itemRect(int index) const;

private:
    mutable std::vector<QAccessible::Id> items_;
};

// One item of the menu bar: pressing it runs the form's menu command, as a
// click or its access key (Alt + the letter after &) does.
class MenuItemPart final : public PaintedPart, public QAccessibleActionInterface {
public:
    MenuItemPart(FormWindow* form, MenuBarPart* bar, int index);

    QRect rect() const override;
    QString text(QAccessible::Text t) const override;
    void* interface_cast(QAccessible::InterfaceType type) override;

    QStringList actionNames() const override;
    void doAction(const QString& actionName) override;
    QStringList keyBindingsForAction(const QString& actionName) const override;

private:
    QString caption() const;

    MenuBarPart* bar_;
    int index_;
};

} // namespace platform::forms::qt
