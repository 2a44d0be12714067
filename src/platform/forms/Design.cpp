#include "platform/forms/Design.h"

#include "platform/forms/Twips.h"

#include <QWidget>
#include <algorithm>
#include <cmath>
#include <vector>

namespace platform::forms {

namespace {
constexpr const char* TabIndexProperty = "TabIndex";
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

QFont DesignFont(const QString& family, double points, bool bold, bool italic) {
    QFont font(family);
    font.setPixelSize(static_cast<int>(std::lround(points * 96.0 / 72.0)));
    font.setBold(bold);
    font.setItalic(italic);
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

QFont DefaultDialogFont() {
    return DesignFont("Liberation Sans", 8.0);
}

void SetMousePointer(QWidget* widget, const QCursor& pointer) {
    widget->setCursor(pointer);
}

QCursor StandardPointer() {
    return QCursor(Qt::ArrowCursor);
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

} // namespace platform::forms
