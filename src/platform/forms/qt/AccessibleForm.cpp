#include "platform/forms/qt/AccessibleForm.h"

#include "platform/forms/qt/AccessibleParts.h"
#include "platform/forms/qt/FormWindow.h"
#include "platform/window_host.h"

namespace platform::forms::qt {

namespace {

// The interface registered under `id`, made first when there is none yet.
template <typename Make> QAccessibleInterface* Registered(QAccessible::Id& id, Make make) {
    if (id == 0) {
        id = QAccessible::registerAccessibleInterface(make());
    }
    return QAccessible::accessibleInterface(id);
}

} // namespace

FormAccessible::FormAccessible(FormWindow* form) : QAccessibleWidget(form, QAccessible::Window) {}

FormAccessible::~FormAccessible() {
    if (menuBar_ != 0) {
        QAccessible::deleteAccessibleInterface(menuBar_);
    }
}

FormWindow* FormAccessible::form() const {
    return static_cast<FormWindow*>(widget());
}

bool FormAccessible::hasMenu() const {
    return platform::HasMenuRecord(form()->hWnd()) != 0;
}

QString FormAccessible::message() const {
    return widget()->accessibleDescription();
}

QAccessible::Role FormAccessible::role() const {
    return QtRole(form());
}

QAccessible::State FormAccessible::state() const {
    QAccessible::State s = QAccessibleWidget::state();
    s.modal = widget()->isModal();
    return s;
}

QString FormAccessible::text(QAccessible::Text t) const {
    if (t == QAccessible::Name && widget()->accessibleName().isEmpty()) {
        return form()->Caption();
    }
    return QAccessibleWidget::text(t);
}

int FormAccessible::childCount() const {
    return QAccessibleWidget::childCount() + (hasMenu() ? 1 : 0);
}

QAccessibleInterface* FormAccessible::child(int index) const {
    if (!hasMenu()) {
        return QAccessibleWidget::child(index);
    }
    if (index == 0) {
        return Registered(menuBar_, [this] {
            return new MenuBarPart(form(), const_cast<FormAccessible*>(this));
        });
    }
    return QAccessibleWidget::child(index - 1);
}

int FormAccessible::indexOfChild(const QAccessibleInterface* child) const {
    if (!hasMenu()) {
        return QAccessibleWidget::indexOfChild(child);
    }
    if (menuBar_ != 0 && child == QAccessible::accessibleInterface(menuBar_)) {
        return 0;
    }
    const int index = QAccessibleWidget::indexOfChild(child);
    return index < 0 ? index : index + 1;
}

void* FormAccessible::interface_cast(QAccessible::InterfaceType type) {
    if (type == QAccessible::TextInterface && role() == QAccessible::AlertMessage) {
        return static_cast<QAccessibleTextInterface*>(this);
    }
    return QAccessibleWidget::interface_cast(type);
}

void FormAccessible::selection(int, int* startOffset, int* endOffset) const {
    *startOffset = 0;
    *endOffset = 0;
}

QString FormAccessible::text(int startOffset, int endOffset) const {
    return message().mid(startOffset, endOffset - startOffset);
}

int FormAccessible::characterCount() const {
    return static_cast<int>(message().size());
}

QString FormAccessible::attributes(int, int* startOffset, int* endOffset) const {
    *startOffset = 0;
    *endOffset = characterCount();
    return {};
}

ClientAccessible::ClientAccessible(QWidget* client, FormWindow* form)
    : QAccessibleWidget(client, QAccessible::Client), form_(form) {}

ClientAccessible::~ClientAccessible() {
    if (picture_ != 0) {
        QAccessible::deleteAccessibleInterface(picture_);
    }
}

QAccessibleInterface* ClientAccessible::picture() const {
    if (PictureNameOf(form_).isEmpty()) {
        return nullptr;
    }
    return Registered(
        picture_, [this] { return new PicturePart(form_, const_cast<ClientAccessible*>(this)); });
}

int ClientAccessible::childCount() const {
    return QAccessibleWidget::childCount() + (picture() ? 1 : 0);
}

QAccessibleInterface* ClientAccessible::child(int index) const {
    QAccessibleInterface* named = picture();
    if (!named) {
        return QAccessibleWidget::child(index);
    }
    return index == 0 ? named : QAccessibleWidget::child(index - 1);
}

int ClientAccessible::indexOfChild(const QAccessibleInterface* child) const {
    QAccessibleInterface* named = picture();
    if (!named) {
        return QAccessibleWidget::indexOfChild(child);
    }
    if (child == named) {
        return 0;
    }
    const int index = QAccessibleWidget::indexOfChild(child);
    return index < 0 ? index : index + 1;
}

} // namespace platform::forms::qt
