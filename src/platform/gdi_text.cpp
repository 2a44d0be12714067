// Fonts, a DC's text colours and background mode, and DrawTextA.
#include "platform/gdi_private.h"

#include <QFontMetrics>
#include <QGuiApplication>
#include <QPainter>
#include <QString>
#include <QStringList>
#include <cstring>
#include <utility>
#include <vector>

namespace platform {

using namespace gdi_internal;

namespace {

// An all-zero LOGFONTA asks for the system's default font: the desktop's
// general font at a classic 11 to 13 pixels.
int DefaultPixelSize() {
    const QFont base = QGuiApplication::font();
    int px = base.pixelSize();
    if (px <= 0) {
        px = static_cast<int>(std::lround(base.pointSizeF() * 96.0 / 72.0));
    }
    return std::clamp(px, 11, 13);
}

QFont FontOf(const DeviceContext& dc) {
    if (const Font* f = Get<Font>(dc.font)) {
        return f->font;
    }
    return FontFromLogFont(LOGFONTA{});
}

struct PreparedLine {
    QString text;
    int underline = -1; // index of the character the '&' prefix marks
};

// '&' marks the next character (underlined); "&&" is a plain '&'.
PreparedLine StripPrefixes(const QString& text) {
    PreparedLine out;
    out.text.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] != u'&') {
            out.text += text[i];
            continue;
        }
        if (i + 1 >= text.size()) {
            break; // a lone '&' at the end shows nothing
        }
        ++i;
        if (text[i] != u'&') {
            out.underline = static_cast<int>(out.text.size());
        }
        out.text += text[i];
    }
    return out;
}

// The longest start of `text` that fits `width` with "..." after it.
QString EndEllipsis(const QFontMetrics& metrics, const QString& text, int width) {
    if (metrics.horizontalAdvance(text) <= width) {
        return text;
    }
    static const QString dots = QStringLiteral("...");
    qsizetype low = 0, high = text.size();
    while (low < high) {
        const qsizetype mid = (low + high + 1) / 2;
        if (metrics.horizontalAdvance(text.left(mid) + dots) <= width) {
            low = mid;
        } else {
            high = mid - 1;
        }
    }
    if (low > 0 && text[low - 1].isHighSurrogate()) {
        --low;
    }
    return text.left(low) + dots;
}

QStringList SplitLines(const QString& text) {
    QString unified = text;
    unified.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    unified.replace(u'\r', u'\n');
    return unified.split(u'\n');
}

qsizetype FloorHalf(qsizetype v) {
    return v >= 0 ? v / 2 : -((-v + 1) / 2);
}

} // namespace

namespace gdi_internal {

QFont FontFromLogFont(const LOGFONTA& lf) {
    QFont font = QGuiApplication::font();
    const std::size_t faceLength = strnlen(lf.lfFaceName, LF_FACESIZE);
    if (faceLength > 0) {
        font.setFamilies({QString::fromUtf8(lf.lfFaceName, static_cast<qsizetype>(faceLength))});
    }
    // Negative: the characters' height; positive: the whole cell's height.
    constexpr std::int64_t MaxPixels = 2048;
    const std::int64_t height = lf.lfHeight;
    if (height < 0) {
        font.setPixelSize(static_cast<int>(std::min(-height, MaxPixels)));
    } else if (height > 0) {
        const int cell = static_cast<int>(std::min(height, MaxPixels));
        font.setPixelSize(cell);
        const int measured = QFontMetrics(font).height();
        if (measured > 0) {
            font.setPixelSize(std::max(
                1, static_cast<int>(std::lround(double(cell) * double(cell) / double(measured)))));
        }
    } else {
        font.setPixelSize(DefaultPixelSize());
    }
    font.setWeight(lf.lfWeight <= 0
                       ? QFont::Normal
                       : static_cast<QFont::Weight>(std::clamp<LONG>(lf.lfWeight, 1, 1000)));
    font.setItalic(lf.lfItalic != 0);
    font.setUnderline(lf.lfUnderline != 0);
    font.setStrikeOut(lf.lfStrikeOut != 0);
    return font;
}

} // namespace gdi_internal

HFONT CreateFontIndirectA(const LOGFONTA* logFont) {
    if (!logFont) {
        return nullptr;
    }
    return reinterpret_cast<HFONT>(Add(Entry{Font{FontFromLogFont(*logFont)}, false, 0}));
}

int SetBkMode(HDC hdc, int mode) {
    DeviceContext* dc = FindDc(hdc);
    if (!dc || (mode != TRANSPARENT && mode != OPAQUE)) {
        return 0;
    }
    return std::exchange(dc->bkMode, mode);
}

COLORREF SetBkColor(HDC hdc, COLORREF colour) {
    DeviceContext* dc = FindDc(hdc);
    return dc ? std::exchange(dc->bkColour, colour & 0xFFFFFF) : CLR_INVALID;
}

COLORREF SetTextColor(HDC hdc, COLORREF colour) {
    DeviceContext* dc = FindDc(hdc);
    return dc ? std::exchange(dc->textColour, colour & 0xFFFFFF) : CLR_INVALID;
}

int DrawTextA(HDC hdc, const char* text, int count, RECT* rect, UINT format) {
    const DeviceContext* dc = FindDc(hdc);
    if (!dc || !text || !rect) {
        return 0;
    }
    // A count never reaches past the string's terminating NUL.
    const std::size_t length =
        count < 0 ? std::strlen(text) : strnlen(text, static_cast<std::size_t>(count));
    const QString whole = QString::fromUtf8(text, static_cast<qsizetype>(length));
    QImage* image = Surface(*dc);
    const QFont font = FontOf(*dc);
    const QFontMetrics metrics = image ? QFontMetrics(font, image) : QFontMetrics(font);
    const int lineHeight = metrics.height();
    const bool single = format & DT_SINGLELINE;
    const bool calc = format & DT_CALCRECT;

    if (whole.isEmpty()) {
        if (calc) {
            rect->right = rect->left;
            rect->bottom = single ? Clamp(std::int64_t{rect->top} + lineHeight) : rect->top;
        }
        return 0;
    }

    const QRect box = ToQRect(rect->left, rect->top, rect->right, rect->bottom);
    const std::int64_t width = std::int64_t{rect->right} - rect->left;
    const std::int64_t height = std::int64_t{rect->bottom} - rect->top;
    const QStringList sources = single ? QStringList{whole} : SplitLines(whole);

    struct Placed {
        PreparedLine line;
        int visible = 0; // characters before any ellipsis
        std::int64_t x = 0, y = 0, width = 0;
    };
    std::vector<Placed> lines;
    std::int64_t y = rect->top;
    if (single && (format & (DT_VCENTER | DT_BOTTOM))) {
        const std::int64_t spare = height - lineHeight;
        y += (format & DT_VCENTER) ? FloorHalf(spare) : spare;
    }
    std::int64_t widest = 0;
    for (const QString& source : sources) {
        Placed placed;
        placed.line = (format & DT_NOPREFIX) ? PreparedLine{source, -1} : StripPrefixes(source);
        placed.visible = static_cast<int>(placed.line.text.size());
        if (format & DT_END_ELLIPSIS) {
            const int room = static_cast<int>(std::clamp<std::int64_t>(width, 0, Far));
            const QString cut = EndEllipsis(metrics, placed.line.text, room);
            if (cut != placed.line.text) {
                placed.visible = static_cast<int>(cut.size()) - 3;
                placed.line.text = cut;
            }
        }
        placed.width = metrics.horizontalAdvance(placed.line.text);
        placed.x = rect->left;
        if (format & DT_CENTER) {
            placed.x += FloorHalf(width - placed.width);
        } else if (format & DT_RIGHT) {
            placed.x += width - placed.width;
        }
        placed.y = y;
        y += lineHeight;
        widest = std::max(widest, placed.width);
        lines.push_back(std::move(placed));
    }
    const int result = static_cast<int>(y - rect->top);

    if (calc) {
        rect->right = Clamp(std::int64_t{rect->left} + widest);
        rect->bottom =
            Clamp(std::int64_t{rect->top} + static_cast<std::int64_t>(lines.size()) * lineHeight);
        return result;
    }
    if (!image) {
        return result;
    }
    const QRegion area = DrawableArea(*dc, *image, box); // DrawText clips to its rectangle
    if (area.isEmpty()) {
        return result;
    }
    QPainter painter(image);
    painter.setClipRegion(area);
    painter.setFont(font);
    const QColor ink(ToQRgb(dc->textColour));
    painter.setPen(ink);
    for (const Placed& placed : lines) {
        const int x = Clamp(placed.x);
        const int top = Clamp(placed.y);
        if (dc->bkMode == OPAQUE) {
            painter.fillRect(QRect(x, top, static_cast<int>(placed.width), lineHeight),
                             QColor(ToQRgb(dc->bkColour)));
        }
        painter.drawText(QPoint(x, top + metrics.ascent()), placed.line.text);
        const int mark = placed.line.underline;
        if (mark >= 0 && mark < placed.visible) {
            const int from = x + metrics.horizontalAdvance(placed.line.text.left(mark));
            const int span = metrics.horizontalAdvance(placed.line.text.mid(mark, 1));
            painter.fillRect(QRect(from, top + metrics.ascent() + 1, span, 1), ink);
        }
    }
    return result;
}

} // namespace platform
