// The system metrics, the non-client metrics and the system colours: the
// classic sizes of the frame our layer draws, and its colours.
#include "platform/window.h"

#include "platform/frame.h"

#include <QByteArray>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QScreen>
#include <cstring>

namespace platform {

int GetSystemMetrics(int index) {
    switch (index) {
    case SM_CXSCREEN:
    case SM_CYSCREEN: {
        const QScreen* screen = QGuiApplication::primaryScreen();
        if (!screen) {
            return index == SM_CXSCREEN ? 1024 : 768;
        }
        return index == SM_CXSCREEN ? screen->geometry().width() : screen->geometry().height();
    }
    case SM_CYCAPTION:
        return frame::CaptionHeight;
    case SM_CXBORDER:
    case SM_CYBORDER:
        return 1;
    case SM_CXDLGFRAME:
    case SM_CYDLGFRAME:
        return frame::DialogFrameWidth;
    case SM_CXFRAME:
    case SM_CYFRAME:
        return frame::SizingFrameWidth;
    case SM_CXICON:
    case SM_CYICON:
        return 32;
    case SM_CXSMICON:
    case SM_CYSMICON:
        return 16;
    case SM_CYMENU:
        return frame::MenuHeight;
    case SM_CXSIZE:
    case SM_CYSIZE:
        return frame::CaptionButtonWidth;
    default:
        return 0;
    }
}

namespace {

void FillLogFont(LOGFONTA& font, const QString& family, LONG height, LONG weight) {
    std::memset(&font, 0, sizeof font);
    font.lfHeight = height;
    font.lfWeight = weight;
    const QByteArray face = family.toUtf8().left(LF_FACESIZE - 1);
    std::memcpy(font.lfFaceName, face.constData(), static_cast<std::size_t>(face.size()));
}

// The desktop's title and general font families. Looked up once: the look-up
// asks the desktop's theme each time, and a frame is painted often.
struct DesktopFontFamilies {
    QString title = QFontDatabase::systemFont(QFontDatabase::TitleFont).family();
    QString general = QFontDatabase::systemFont(QFontDatabase::GeneralFont).family();
};

const DesktopFontFamilies& DesktopFonts() {
    static const DesktopFontFamilies fonts;
    return fonts;
}

} // namespace

BOOL SystemParametersInfoA(UINT action, UINT param, void* data, UINT winIni) {
    (void)param;
    (void)winIni;
    if (action != SPI_GETNONCLIENTMETRICS || !data) {
        return FALSE;
    }
    auto* metrics = static_cast<NONCLIENTMETRICSA*>(data);
    if (metrics->cbSize != sizeof(NONCLIENTMETRICSA)) {
        return FALSE;
    }
    // The caption font follows the desktop's title font; sizes are the classic ones.
    const QString& title = DesktopFonts().title;
    const QString& general = DesktopFonts().general;
    metrics->iBorderWidth = 1;
    metrics->iScrollWidth = 16;
    metrics->iScrollHeight = 16;
    metrics->iCaptionWidth = frame::CaptionButtonWidth;
    metrics->iCaptionHeight = frame::CaptionButtonWidth;
    FillLogFont(metrics->lfCaptionFont, title, -11, 700);
    metrics->iSmCaptionWidth = 12;
    metrics->iSmCaptionHeight = 15;
    FillLogFont(metrics->lfSmCaptionFont, title, -11, 700);
    metrics->iMenuWidth = frame::CaptionButtonWidth;
    metrics->iMenuHeight = frame::MenuHeight - 1;
    FillLogFont(metrics->lfMenuFont, general, -11, 400);
    FillLogFont(metrics->lfStatusFont, general, -11, 400);
    FillLogFont(metrics->lfMessageFont, general, -11, 400);
    return TRUE;
}

COLORREF GetSysColor(int index) {
    switch (index) {
    case COLOR_ACTIVECAPTION:
        return RGB(0, 0, 128);
    case COLOR_INACTIVECAPTION:
        return RGB(128, 128, 128);
    case COLOR_WINDOW:
        return RGB(255, 255, 255);
    case COLOR_WINDOWTEXT:
    case COLOR_BTNTEXT:
    case COLOR_3DDKSHADOW:
        return RGB(0, 0, 0);
    case COLOR_CAPTIONTEXT:
    case COLOR_HIGHLIGHTTEXT:
    case COLOR_BTNHIGHLIGHT:
        return RGB(255, 255, 255);
    case COLOR_HIGHLIGHT:
        return RGB(0, 0, 128);
    case COLOR_BTNFACE:
        return RGB(192, 192, 192);
    case COLOR_BTNSHADOW:
        return RGB(128, 128, 128);
    case COLOR_INACTIVECAPTIONTEXT:
        return RGB(192, 192, 192);
    case COLOR_3DLIGHT:
        return RGB(223, 223, 223);
    default:
        return RGB(192, 192, 192);
    }
}

} // namespace platform
