#include "platform/forms/qt/ClassicStyle.h"

#include "platform/forms/qt/Design.h"
#include "platform/window.h"

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QPushButton>
#include <QStyleFactory>
#include <QStyleOption>

namespace platform::forms::qt {

namespace {

QColor SysColour(int index) {
    const COLORREF c = GetSysColor(index);
    return QColor(static_cast<int>(c & 0xFF), static_cast<int>((c >> 8) & 0xFF),
                  static_cast<int>((c >> 16) & 0xFF));
}

// One pixel wide: top and left in one colour, bottom and right in another.
void Edge(QPainter* p, const QRect& r, const QColor& topLeft, const QColor& bottomRight) {
    p->setPen(topLeft);
    p->drawLine(r.left(), r.top(), r.right() - 1, r.top());
    p->drawLine(r.left(), r.top(), r.left(), r.bottom() - 1);
    p->setPen(bottomRight);
    p->drawLine(r.left(), r.bottom(), r.right(), r.bottom());
    p->drawLine(r.right(), r.top(), r.right(), r.bottom());
}

void Outline(QPainter* p, const QRect& r, const QColor& colour) {
    Edge(p, r, colour, colour);
}

// A push button as the classic controls draw it: the face in the button's
// own colour (a graphical-style button shows its back colour there), inside a
// raised 3-D edge in the system colours; pressed, a flat face inside a dark
// frame. The default button has a black frame around it all.
void DrawPushButtonPanel(QPainter* p, const QStyleOptionButton& button, const QPalette& system) {
    QRect r = button.rect;
    p->save();
    if (button.features & QStyleOptionButton::DefaultButton) {
        Outline(p, r, system.shadow().color());
        r.adjust(1, 1, -1, -1);
    }
    if (button.state & (QStyle::State_Sunken | QStyle::State_On)) {
        if (!(button.features & QStyleOptionButton::DefaultButton)) {
            Outline(p, r, system.shadow().color());
            r.adjust(1, 1, -1, -1);
        }
        Outline(p, r, system.dark().color());
        r.adjust(1, 1, -1, -1);
    } else {
        Edge(p, r, system.light().color(), system.shadow().color());
        r.adjust(1, 1, -1, -1);
        Edge(p, r, system.midlight().color(), system.dark().color());
        r.adjust(1, 1, -1, -1);
    }
    p->fillRect(r, button.palette.brush(QPalette::Button));
    p->restore();
}

QPalette SystemPalette() {
    QPalette palette;
    const auto set = [&palette](QPalette::ColorRole role, const QColor& colour) {
        palette.setColor(QPalette::Active, role, colour);
        palette.setColor(QPalette::Inactive, role, colour);
        palette.setColor(QPalette::Disabled, role, colour);
    };
    const QColor face = SysColour(COLOR_BTNFACE);
    set(QPalette::Window, face);
    set(QPalette::Button, face);
    set(QPalette::WindowText, SysColour(COLOR_WINDOWTEXT));
    set(QPalette::Text, SysColour(COLOR_WINDOWTEXT));
    set(QPalette::ButtonText, SysColour(COLOR_BTNTEXT));
    set(QPalette::Base, SysColour(COLOR_WINDOW));
    set(QPalette::AlternateBase, SysColour(COLOR_WINDOW));
    set(QPalette::Light, SysColour(COLOR_BTNHIGHLIGHT));
    set(QPalette::Midlight, SysColour(COLOR_3DLIGHT));
    set(QPalette::Dark, SysColour(COLOR_BTNSHADOW));
    set(QPalette::Mid, SysColour(COLOR_BTNSHADOW));
    set(QPalette::Shadow, SysColour(COLOR_3DDKSHADOW));
    set(QPalette::Highlight, SysColour(COLOR_HIGHLIGHT));
    set(QPalette::HighlightedText, SysColour(COLOR_HIGHLIGHTTEXT));
    set(QPalette::ToolTipBase, QColor(255, 255, 225));
    set(QPalette::ToolTipText, SysColour(COLOR_WINDOWTEXT));
    set(QPalette::BrightText, SysColour(COLOR_BTNHIGHLIGHT));
    // Disabled text is the shadow colour, embossed by the style.
    for (const QPalette::ColorRole role :
         {QPalette::WindowText, QPalette::Text, QPalette::ButtonText, QPalette::HighlightedText}) {
        palette.setColor(QPalette::Disabled, role, SysColour(COLOR_BTNSHADOW));
    }
    palette.setColor(QPalette::Disabled, QPalette::Base, face);
    return palette;
}

// The classic 12 x 12 option-button circle, pixel by pixel: O the outer
// ring, I the inner one, w the white inside, and x the dot when selected.
constexpr const char* RadioPixels[12] = {
    "....OOOO....", "..OOIIIIOO..", ".OIIwwwwIIO.", ".OIwwwwwwIO.", "OIwwwxxwwwIO", "OIwwxxxxwwIO",
    "OIwwxxxxwwIO", "OIwwwxxwwwIO", ".OIwwwwwwIO.", ".OIIwwwwIIO.", "..OOIIIIOO..", "....OOOO....",
};

// Drawn without smoothing, as the classic circle is: the rings are dark above
// the diagonal and light below it; the inside is white (the face colour while
// pressed or disabled), the dot black.
void DrawRadioButton(QPainter* p, const QStyleOption& option, const QPalette& system) {
    const bool selected = option.state & QStyle::State_On;
    const bool faceInside =
        (option.state & QStyle::State_Sunken) || !(option.state & QStyle::State_Enabled);
    const QColor inside = faceInside ? system.button().color() : system.base().color();
    const QColor dot =
        (option.state & QStyle::State_Enabled) ? system.text().color() : system.dark().color();
    const QPoint origin(option.rect.left(), option.rect.top() + (option.rect.height() - 12) / 2);
    for (int y = 0; y < 12; ++y) {
        for (int x = 0; x < 12; ++x) {
            const bool upperLeft = x + y < 11;
            QColor colour;
            switch (RadioPixels[y][x]) {
            case 'O':
                colour = upperLeft ? system.dark().color() : system.light().color();
                break;
            case 'I':
                colour = upperLeft ? system.shadow().color() : system.midlight().color();
                break;
            case 'w':
                colour = inside;
                break;
            case 'x':
                colour = selected ? dot : inside;
                break;
            default:
                continue;
            }
            p->fillRect(origin.x() + x, origin.y() + y, 1, 1, colour);
        }
    }
}

} // namespace

ClassicStyle::ClassicStyle()
    : QProxyStyle(QStyleFactory::create(QStringLiteral("Windows"))), system_(SystemPalette()) {}

QPalette ClassicStyle::standardPalette() const {
    return system_;
}

void ClassicStyle::drawPrimitive(PrimitiveElement element, const QStyleOption* option,
                                 QPainter* painter, const QWidget* widget) const {
    switch (element) {
    case PE_PanelButtonCommand:
        if (const auto* button = qstyleoption_cast<const QStyleOptionButton*>(option)) {
            DrawPushButtonPanel(painter, *button, system_);
            return;
        }
        break;
    case PE_FrameDefaultButton:
        return; // drawn with the panel, which knows where the edge goes
    case PE_IndicatorRadioButton:
        DrawRadioButton(painter, *option, system_);
        return;
    case PE_IndicatorCheckBox: {
        // The box is white with a black mark whatever the control's own
        // colours: those are for its background and caption. Its pixels are
        // drawn one per logical pixel, then enlarged, so that its edges grow
        // with the screen's scale as the option circle's do.
        QStyleOption system = *option;
        system.palette = system_;
        system.rect = QRect(QPoint(0, 0), option->rect.size());
        QImage box(system.rect.size(), QImage::Format_ARGB32_Premultiplied);
        box.fill(Qt::transparent);
        QPainter boxPainter(&box);
        QProxyStyle::drawPrimitive(element, &system, &boxPainter, widget);
        boxPainter.end();
        painter->save();
        painter->setRenderHint(QPainter::SmoothPixmapTransform, false);
        painter->drawImage(option->rect, box);
        painter->restore();
        return;
    }
    case PE_FrameFocusRect:
        if (const auto* focus = qstyleoption_cast<const QStyleOptionFocusRect*>(option);
            focus && !focus->backgroundColor.isValid()) {
            // Dotted in the inverse of what lies under it, as an XOR pen would draw.
            QStyleOptionFocusRect onFace = *focus;
            onFace.backgroundColor = qobject_cast<const QPushButton*>(widget)
                                         ? option->palette.color(QPalette::Button)
                                         : option->palette.color(QPalette::Window);
            QProxyStyle::drawPrimitive(element, &onFace, painter, widget);
            return;
        }
        break;
    default:
        break;
    }
    QProxyStyle::drawPrimitive(element, option, painter, widget);
}

void ClassicStyle::drawComplexControl(ComplexControl control, const QStyleOptionComplex* option,
                                      QPainter* painter, const QWidget* widget) const {
    if (control == CC_ScrollBar) {
        // A scroll bar is always in the system colours, whatever its list's.
        if (const auto* bar = qstyleoption_cast<const QStyleOptionSlider*>(option)) {
            QStyleOptionSlider system = *bar;
            system.palette = system_;
            QProxyStyle::drawComplexControl(control, &system, painter, widget);
            return;
        }
    }
    QProxyStyle::drawComplexControl(control, option, painter, widget);
}

void UseClassicLook() {
    auto* style = new ClassicStyle;
    QApplication::setStyle(style);
    QApplication::setPalette(style->standardPalette());
    QApplication::setFont(DefaultDialogQFont());
}

} // namespace platform::forms::qt
