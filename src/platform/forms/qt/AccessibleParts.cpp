#include "platform/forms/qt/AccessibleParts.h"

#include "platform/forms/qt/AccessibleForm.h"
#include "platform/forms/qt/FormWindow.h"
#include "platform/frame.h"
#include "platform/window_host.h"

#include <QKeySequence>
#include <QMetaObject>

namespace platform::forms::qt {

namespace {

frame::Layout LayoutOf(const FormWindow& form) {
    const platform::HWND hwnd = form.hWnd();
    return frame::ComputeLayout(
        form.width(), form.height(), platform::GetWindowLongPtrA(hwnd, platform::GWL_STYLE),
        platform::HasMenuRecord(hwnd), platform::WindowSmallIconRecord(hwnd) != nullptr);
}

// A rectangle in the form's window coordinates, on the screen.
QRect OnScreen(const FormWindow& form, const platform::RECT& r) {
    return QRect(form.mapToGlobal(QPoint(r.left, r.top)),
                 QSize(r.right - r.left, r.bottom - r.top));
}

} // namespace

PaintedPart::PaintedPart(FormWindow* form, QAccessibleInterface* parent, QAccessible::Role role)
    : form_(form), parent_(parent), role_(role) {}

QWindow* PaintedPart::window() const {
    return form_ ? form_->windowHandle() : nullptr;
}

QAccessibleInterface* PaintedPart::childAt(int x, int y) const {
    for (int i = 0; i < childCount(); ++i) {
        QAccessibleInterface* c = child(i);
        if (c && c->rect().contains(x, y)) {
            return c;
        }
    }
    return nullptr;
}

QString PaintedPart::text(QAccessible::Text) const {
    return {};
}

QAccessible::State PaintedPart::state() const {
    QAccessible::State s;
    s.invisible = !form_ || !form_->isVisible();
    return s;
}

PicturePart::PicturePart(FormWindow* form, QAccessibleInterface* parent)
    : PaintedPart(form, parent, QAccessible::Graphic) {}

QString PicturePart::text(QAccessible::Text t) const {
    return t == QAccessible::Name && form() ? PictureNameOf(form()) : QString();
}

QRect PicturePart::rect() const {
    const QWidget* client = form() ? form()->Client() : nullptr;
    return client ? QRect(client->mapToGlobal(QPoint(0, 0)), client->size()) : QRect();
}

MenuBarPart::MenuBarPart(FormWindow* form, QAccessibleInterface* parent)
    : PaintedPart(form, parent, QAccessible::MenuBar) {}

MenuBarPart::~MenuBarPart() {
    for (const QAccessible::Id id : items_) {
        QAccessible::deleteAccessibleInterface(id);
    }
}

QRect MenuBarPart::rect() const {
    return form() ? OnScreen(*form(), LayoutOf(*form()).menu) : QRect();
}

int MenuBarPart::childCount() const {
    return form() ? static_cast<int>(platform::MenuItemsRecord(form()->hWnd()).size()) : 0;
}

QAccessibleInterface* MenuBarPart::child(int index) const {
    if (index < 0 || index >= childCount()) {
        return nullptr;
    }
    while (static_cast<int>(items_.size()) <= index) {
        auto* item = new MenuItemPart(form(), const_cast<MenuBarPart*>(this),
                                      static_cast<int>(items_.size()));
        items_.push_back(QAccessible::registerAccessibleInterface(item));
    }
    return QAccessible::accessibleInterface(items_[static_cast<std::size_t>(index)]);
}

int MenuBarPart::indexOfChild(const QAccessibleInterface* child) const {
    for (std::size_t i = 0; i < items_.size(); ++i) {
        if (QAccessible::accessibleInterface(items_[i]) == child) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

QRect MenuBarPart::itemRect(int index) const {
    if (!form()) {
        return {};
    }
    // Laid out as the frame paints them: a fixed width each, after a gap.
    platform::RECT r = LayoutOf(*form()).menu;
    r.left += index * (frame::MenuItemPadding + frame::MenuItemWidth) + frame::MenuItemPadding;
    r.right = r.left + frame::MenuItemWidth;
    return OnScreen(*form(), r);
}

MenuItemPart::MenuItemPart(FormWindow* form, MenuBarPart* bar, int index)
    : PaintedPart(form, bar, QAccessible::MenuItem), bar_(bar), index_(index) {}

QString MenuItemPart::caption() const {
    if (!form()) {
        return {};
    }
    const std::vector<std::string>& items = platform::MenuItemsRecord(form()->hWnd());
    return index_ < static_cast<int>(items.size())
               ? QString::fromStdString(items[static_cast<std::size_t>(index_)])
               : QString();
}

QRect MenuItemPart::rect() const {
    return bar_->itemRect(index_);
}

QString MenuItemPart::text(QAccessible::Text t) const {
    switch (t) {
    case QAccessible::Name:
        return QString(caption()).remove(u'&');
    case QAccessible::Accelerator:
        return QKeySequence::mnemonic(caption()).toString(QKeySequence::NativeText);
    default:
        return {};
    }
}

void* MenuItemPart::interface_cast(QAccessible::InterfaceType type) {
    return type == QAccessible::ActionInterface ? static_cast<QAccessibleActionInterface*>(this)
                                                : nullptr;
}

QStringList MenuItemPart::actionNames() const {
    return {pressAction()};
}

void MenuItemPart::doAction(const QString& actionName) {
    if (actionName != pressAction() || !form()) {
        return;
    }
    // Posted, as a menu command is: the command may open a message box,
    // whose loop must not run inside the screen reader's request.
    QMetaObject::invokeMethod(
        form(),
        [form = QPointer<FormWindow>(form()), index = index_] {
            if (form) {
                form->menuCommand(index);
            }
        },
        Qt::QueuedConnection);
}

QStringList MenuItemPart::keyBindingsForAction(const QString& actionName) const {
    const QString key = text(QAccessible::Accelerator);
    return actionName == pressAction() && !key.isEmpty() ? QStringList{key} : QStringList{};
}

} // namespace platform::forms::qt
