#include "platform/forms/Accessible.h"

#include "platform/forms/AccessibleForm.h"
#include "platform/forms/Controls.h"
#include "platform/forms/Form.h"

#include <QAccessibleWidget>
#include <QLabel>
#include <QLatin1StringView>

namespace platform::forms {

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
    if (Is(className, Form::staticMetaObject)) {
        return new FormAccessible(static_cast<Form*>(widget));
    }
    // An option frame draws neither border nor caption: it is a group, named
    // by its title label, not a frame window.
    if (Is(className, Frame::staticMetaObject)) {
        return new QAccessibleWidget(widget, QAccessible::Grouping);
    }
    // A picture, also while it shows none.
    if (Is(className, Image::staticMetaObject)) {
        return new QAccessibleWidget(widget, QAccessible::Graphic);
    }
    if (Is(className, QWidget::staticMetaObject)) {
        auto* form = qobject_cast<Form*>(widget->parentWidget());
        if (form && form->Client() == widget) {
            return new ClientAccessible(widget, form);
        }
    }
    return nullptr;
}

} // namespace

void InstallAccessibility() {
    static const bool installed = [] {
        QAccessible::installFactory(&MakeInterface);
        return true;
    }();
    (void)installed;
}

void SetAccessibleRole(Form* form, QAccessible::Role role) {
    form->setProperty(RoleProperty, static_cast<int>(role));
}

QAccessible::Role AccessibleRole(const Form* form) {
    const QVariant role = form->property(RoleProperty);
    return role.isValid() ? static_cast<QAccessible::Role>(role.toInt()) : QAccessible::Window;
}

void SetTitle(QLabel* title, QWidget* control) {
    // Titles have no access key, so the buddy adds no shortcut.
    title->setBuddy(control);
    control->setAccessibleName(title->text());
}

void SetPictureName(Form* form, const QString& name) {
    form->setProperty(PictureNameProperty, name);
}

QString PictureName(const Form* form) {
    return form->property(PictureNameProperty).toString();
}

} // namespace platform::forms
