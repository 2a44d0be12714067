#include "platform/forms/Accessible.h"

#include "platform/forms/Controls.h"
#include "platform/forms/Form.h"
#include "platform/forms/qt/AccessibleForm.h"
#include "platform/forms/qt/ControlWidgets.h"
#include "platform/forms/qt/FormWindow.h"
#include "platform/forms/qt/Native.h"

#include <QAccessibleWidget>
#include <QLabel>
#include <QLatin1StringView>

namespace platform::forms {

namespace qt {

namespace {

constexpr const char* RoleProperty = "AccessibleRole";
constexpr const char* PictureNameProperty = "AccessiblePictureName";

bool Is(const QString& className, const QMetaObject& type) {
    return className == QLatin1StringView(type.className());
}

// Qt asks once per class of the object's ancestry, most derived first; the
// first interface made is the object's.
QAccessibleInterface* MakeInterface(const QString& className, QObject* object) {
    if (!object || !object->isWidgetType()) {
        return nullptr;
    }
    auto* widget = static_cast<QWidget*>(object);
    if (Is(className, FormWindow::staticMetaObject)) {
        return new FormAccessible(static_cast<FormWindow*>(widget));
    }
    // An option frame draws neither border nor caption: it is a group, named
    // by its title label, not a frame window.
    if (Is(className, FrameWidget::staticMetaObject)) {
        return new QAccessibleWidget(widget, QAccessible::Grouping);
    }
    // A picture, also while it shows none.
    if (Is(className, ImageWidget::staticMetaObject)) {
        return new QAccessibleWidget(widget, QAccessible::Graphic);
    }
    if (Is(className, QWidget::staticMetaObject)) {
        auto* form = qobject_cast<FormWindow*>(widget->parentWidget());
        if (form && form->Client() == widget) {
            return new ClientAccessible(widget, form);
        }
    }
    return nullptr;
}

FormWindow* WindowOf(const Form* form) {
    return static_cast<FormWindow*>(ToQt(form->Native()));
}

} // namespace

void InstallAccessibility() {
    static const bool installed = [] {
        QAccessible::installFactory(&MakeInterface);
        return true;
    }();
    (void)installed;
}

QAccessible::Role QtRole(const FormWindow* form) {
    const QVariant role = form->property(RoleProperty);
    return role.isValid() ? static_cast<QAccessible::Role>(role.toInt()) : QAccessible::Window;
}

QString PictureNameOf(const FormWindow* form) {
    return form->property(PictureNameProperty).toString();
}

} // namespace qt

void SetAccessibleRole(Form* form, AccessibleRole role) {
    QAccessible::Role qtRole = QAccessible::Window;
    if (role == AccessibleRole::Dialog) {
        qtRole = QAccessible::Dialog;
    } else if (role == AccessibleRole::Alert) {
        qtRole = QAccessible::AlertMessage;
    }
    qt::WindowOf(form)->setProperty(qt::RoleProperty, static_cast<int>(qtRole));
}

AccessibleRole RoleOf(const Form* form) {
    switch (qt::QtRole(qt::WindowOf(form))) {
    case QAccessible::Dialog:
        return AccessibleRole::Dialog;
    case QAccessible::AlertMessage:
        return AccessibleRole::Alert;
    default:
        return AccessibleRole::Window;
    }
}

void SetTitle(Label* title, Control* control) {
    auto* label = qt::WidgetOf<QLabel>(title);
    // Titles have no access key, so the buddy adds no shortcut.
    label->setBuddy(qt::ToQt(control->Native()));
    qt::ToQt(control->Native())->setAccessibleName(label->text());
}

void SetPictureName(Form* form, const std::string& name) {
    qt::WindowOf(form)->setProperty(qt::PictureNameProperty, QString::fromStdString(name));
}

std::string PictureName(const Form* form) {
    return qt::PictureNameOf(qt::WindowOf(form)).toStdString();
}

} // namespace platform::forms
