#include "platform/forms/qt/Design.h"

#include "platform/forms/Form.h"
#include "platform/forms/Twips.h"
#include "platform/forms/qt/FileListView.h"
#include "platform/forms/qt/Native.h"
#include "platform/forms/qt/Picture.h"

#include <QWidget>
#include <algorithm>
#include <cmath>
#include <vector>

namespace platform::forms {

namespace qt {

namespace {
constexpr const char* TabIndexProperty = "TabIndex";
}

QColor ToQColor(COLORREF colour) {
    return QColor(static_cast<int>(colour & 0xFF), static_cast<int>((colour >> 8) & 0xFF),
                  static_cast<int>((colour >> 16) & 0xFF));
}

QFont ToQFont(const Font& design) {
    const QString family = QString::fromStdString(design.family);
    QFont font(family);
    font.setPixelSize(static_cast<int>(std::lround(design.points * 96.0 / 72.0)));
    font.setBold(design.bold);
    font.setItalic(design.italic);
    // Hints let the font matcher pick the nearest face of the same kind.
    const QString lower = family.toLower();
    if (lower.contains("courier") || lower.contains("mono")) {
        font.setStyleHint(QFont::TypeWriter);
    } else if (lower.contains("comic")) {
        font.setStyleHint(QFont::Cursive);
    } else {
        font.setStyleHint(QFont::SansSerif);
    }
    return font;
}

QFont DefaultDialogQFont() {
    return ToQFont(DefaultDialogFont());
}

void Place(QWidget* widget, int left, int top, int width, int height) {
    widget->setGeometry(TwipsToPixels(left), TwipsToPixels(top), TwipsToPixels(width),
                        TwipsToPixels(height));
}

void SetBackColor(QWidget* widget, const QColor& colour) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, colour);
    palette.setColor(QPalette::Button, colour);
    palette.setColor(QPalette::Base, colour);
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}

void SetForeColor(QWidget* widget, const QColor& colour) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, colour);
    palette.setColor(QPalette::ButtonText, colour);
    palette.setColor(QPalette::Text, colour);
    widget->setPalette(palette);
}

void SetTabIndex(QWidget* widget, int index) {
    widget->setProperty(TabIndexProperty, index);
}

int TabIndex(const QWidget* widget) {
    const QVariant value = widget->property(TabIndexProperty);
    return value.isValid() ? value.toInt() : -1;
}

void ApplyTabOrder(QWidget* root) {
    std::vector<QWidget*> chain;
    for (QWidget* child : root->findChildren<QWidget*>()) {
        if (TabIndex(child) >= 0 && child->focusPolicy() != Qt::NoFocus) {
            chain.push_back(child);
        }
    }
    std::stable_sort(chain.begin(), chain.end(),
                     [](QWidget* a, QWidget* b) { return TabIndex(a) < TabIndex(b); });
    for (std::size_t i = 1; i < chain.size(); ++i) {
        QWidget::setTabOrder(chain[i - 1], chain[i]);
    }
}

} // namespace qt

Font DesignFont(const std::string& family, double points, bool bold, bool italic) {
    return Font{family, points, bold, italic};
}

Font DefaultDialogFont() {
    return DesignFont("Liberation Sans", 8.0);
}

void Place(Control* control, int left, int top, int width, int height) {
    qt::Place(qt::ToQt(control->Native()), left, top, width, height);
}

void SetBackColor(Control* control, COLORREF colour) {
    qt::SetBackColor(qt::ToQt(control->Native()), qt::ToQColor(colour));
}

void SetForeColor(Control* control, COLORREF colour) {
    qt::SetForeColor(qt::ToQt(control->Native()), qt::ToQColor(colour));
}

void SetMousePointer(Control* control, const MousePointer& pointer) {
    QWidget* widget = qt::ToQt(control->Native());
    widget->setCursor(qt::CursorOf(pointer));
    // A file list's names lie on its viewport: the pointer is set there too.
    if (auto* list = qobject_cast<qt::FileListView*>(widget)) {
        list->viewport()->setCursor(qt::CursorOf(pointer));
    }
}

MousePointer StandardPointer() {
    return MousePointer();
}

void SetTabIndex(Control* control, int index) {
    qt::SetTabIndex(qt::ToQt(control->Native()), index);
}

int TabIndex(const Control* control) {
    return qt::TabIndex(qt::ToQt(control->Native()));
}

void ApplyTabOrder(Form& form) {
    qt::ApplyTabOrder(qt::ToQt(form.Native()));
}

} // namespace platform::forms
