// The classic Windows look of the standard controls: Qt's own "Windows"
// style in the system colours of our window layer, with what that style does
// not draw the classic way put right (push-button edges and faces, the white
// boxes of check boxes and option buttons, scroll bars in system colours).
#pragma once

#include <QPalette>
#include <QProxyStyle>

namespace platform::forms::qt {

class ClassicStyle : public QProxyStyle {
    Q_OBJECT
public:
    ClassicStyle();

    // The system colours (GetSysColor) as a palette, the same in every group
    // but the disabled one, so a list keeps its highlight without the focus.
    QPalette standardPalette() const override;

    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget = nullptr) const override;
    void drawComplexControl(ComplexControl control, const QStyleOptionComplex* option,
                            QPainter* painter, const QWidget* widget = nullptr) const override;

private:
    QPalette system_;
};

// Every control of the program takes the classic look, the system colours and
// the default dialog font.
void UseClassicLook();

} // namespace platform::forms::qt
