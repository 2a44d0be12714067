#include "caption/GradForm.h"

#include "platform/gdi.h"
#include "platform/window.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <new>
#include <optional>
#include <string>

namespace tavro {

using namespace platform;

namespace {

// The painter's arithmetic is 32-bit, as the window metrics are. A result that
// does not fit makes its statement fail; the painter then skips that one
// statement and goes on, so the target keeps its value.
std::optional<LONG> Fit(std::int64_t value) {
    if (value < std::numeric_limits<LONG>::min() || value > std::numeric_limits<LONG>::max()) {
        return std::nullopt;
    }
    return static_cast<LONG>(value);
}

void Assign(LONG& target, std::int64_t value) {
    if (const std::optional<LONG> fitted = Fit(value)) {
        target = *fitted;
    }
}

COLORREF Channel(double value) {
    // Rounds half to even in the default rounding mode.
    return static_cast<COLORREF>(std::nearbyint(value));
}

double Clamp255(double value) {
    return std::clamp(value, 0.0, 255.0);
}

// The frame width for a style: the dialog frame for bit 0x80, else the sizing frame.
int FrameWidth(LONG_PTR style) {
    return GetSystemMetrics((style & DS_MODALFRAME) ? SM_CXDLGFRAME : SM_CXFRAME);
}

} // namespace

// --- Style and font -----------------------------------------------------------

int OffscreenCaptionHeight(HWND window) {
    const LONG_PTR style = GetWindowLongPtrA(window, GWL_STYLE);
    const std::int64_t needed = std::int64_t{FrameWidth(style)} + GetSystemMetrics(SM_CYCAPTION);
    return static_cast<int>(std::clamp<std::int64_t>(needed, CaptionBitmapHeight, 4096));
}

void ApplyCaptionStyleDefaults() {
    ActiveTextColour = CaptionTextColour;
    InactiveTextColour = CaptionTextColour;
    LoadCaptionFont();
}

void LoadCaptionFont() {
    NONCLIENTMETRICSA metrics;
    std::memset(&metrics, 0, sizeof metrics);
    metrics.cbSize = sizeof metrics;
    // When the query fails, the zeros above make the default font.
    SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, 0, &metrics, 0);
    std::memcpy(&CaptionLogFont, &metrics.lfCaptionFont, sizeof CaptionLogFont);
}

// --- Colours ------------------------------------------------------------------

void CaptionColours(std::int16_t active, COLORREF& colour1, COLORREF& colour2) {
    colour1 = active != 0 ? ActiveCaptionColour : InactiveCaptionColour;
    colour2 = CaptionEndColour;
}

bool BuildGradientTable(std::vector<COLORREF>& table, COLORREF start, COLORREF end) {
    if (table.empty()) {
        return true;
    }
    const std::size_t upper = table.size() - 1;
    if (upper == 0) {
        return false; // the step would divide by zero
    }
    double red = start & 0xFF;
    double green = (start >> 8) & 0xFF;
    double blue = (start >> 16) & 0xFF;
    const double n = static_cast<double>(upper);
    const double redStep = (double(end & 0xFF) - red) / n;
    const double greenStep = (double((end >> 8) & 0xFF) - green) / n;
    const double blueStep = (double((end >> 16) & 0xFF) - blue) / n;
    // The step is taken before each entry is stored, the first one included.
    for (std::size_t i = 0; i <= upper; ++i) {
        red = Clamp255(red + redStep);
        green = Clamp255(green + greenStep);
        blue = Clamp255(blue + blueStep);
        table[i] = Channel(red) + 256 * Channel(green) + 65536 * Channel(blue);
    }
    return true;
}

// --- Painting -----------------------------------------------------------------

namespace {

// What PaintCaption measures first; every later step reads it.
struct CaptionMetrics {
    LONG CH = 0; // caption height
    LONG BW = 0; // caption button width
    LONG F = 0;  // frame width
    LONG CW = 0; // window width less one frame
    LONG R0 = 0; // right edge of the last band
    LONG_PTR style = 0;
    std::string text;
};

// At most 254 characters (the buffer's last place holds the NUL), leading
// spaces dropped; a failed read leaves the spaces, which come to nothing.
std::string CaptionText() {
    char buffer[256];
    std::memset(buffer, ' ', 255);
    buffer[255] = '\0';
    GetWindowTextA(CurrentWindow, buffer, 255);
    std::string text(buffer, strnlen(buffer, 255));
    const std::size_t first = text.find_first_not_of(' ');
    text.erase(0, first == std::string::npos ? text.size() : first);
    return text;
}

CaptionMetrics MeasureCaption() {
    CaptionMetrics m;
    LONG W = 0;
    RECT window{};
    GetWindowRect(CurrentWindow, &window);
    Assign(W, std::int64_t{window.right} - window.left);
    m.CH = GetSystemMetrics(SM_CYCAPTION);
    m.BW = GetSystemMetrics(SM_CXSIZE);
    m.text = CaptionText();
    m.style = GetWindowLongPtrA(CurrentWindow, GWL_STYLE);
    const bool dialogFrame = m.style & DS_MODALFRAME;
    m.F = FrameWidth(m.style);
    Assign(m.CW, std::int64_t{W} - m.F);
    Assign(m.R0, std::int64_t{m.F} + m.CW - 4 + (dialogFrame ? 1 : 0));
    return m;
}

// N bands, each CW / N wide, the last one ending at R0. `band` is left where
// the loop leaves it (right edge R0 + CW / N); the text and the copy go on
// from there.
void PaintGradient(const CaptionMetrics& m, COLORREF colour1, COLORREF colour2, RECT& band) {
    const LONG N = m.CW / 8;
    std::vector<COLORREF> table;
    if (N >= 0) {
        try {
            table.assign(static_cast<std::size_t>(N) + 1, 0);
        } catch (const std::bad_alloc&) {
            table.clear(); // no table: the bands are not filled
        }
    }
    BuildGradientTable(table, colour1, colour2); // N = 0 leaves the table at 0
    band.left = m.F;
    band.top = m.F;
    if (N != 0) {
        Assign(band.right, std::int64_t{m.F} + m.CW / N);
    }
    Assign(band.bottom, std::int64_t{m.F} + m.CH - 1);
    for (LONG i = 0; i <= N - 1; ++i) {
        if (static_cast<std::size_t>(i) < table.size()) {
            HBRUSH brush = CreateSolidBrush(table[static_cast<std::size_t>(i)]);
            FillRect(MemoryDC, &band, brush);
            DeleteObject(brush);
        }
        OffsetRect(&band, m.CW / N, 0);
        if (i == N - 2) {
            band.right = m.R0;
        }
    }
}

// The small icon, when there is one; the text starts after it.
void PaintIcon(const CaptionMetrics& m, RECT& band) {
    band.top = m.F;
    if (CaptionIcon) {
        Assign(band.left, std::int64_t{m.F} + m.BW + 2);
        DrawIconEx(MemoryDC, m.F + 1, m.F + 1, CaptionIcon, m.BW - 2, m.BW - 2, 0, nullptr,
                   DI_IMAGE);
    } else {
        band.left = m.F;
    }
}

// The text in the caption font, reaching under the buttons, which are drawn
// over it. A title marks no access key: "&" is shown as it is ("Tank &
// Turret.drv").
void PaintText(const CaptionMetrics& m, COLORREF colour1, RECT& band) {
    CaptionFont = CreateFontIndirectA(&CaptionLogFont);
    HGDIOBJ previousFont = SelectObject(MemoryDC, CaptionFont);
    SetBkMode(MemoryDC, TRANSPARENT);
    SetTextColor(MemoryDC, colour1 == ActiveCaptionColour ? ActiveTextColour : InactiveTextColour);

    Assign(band.left, std::int64_t{band.left} + 2);
    Assign(band.right, std::int64_t{band.right} - 10);
    DrawTextA(MemoryDC, m.text.c_str(), static_cast<int>(m.text.size()), &band,
              DT_SINGLELINE | DT_VCENTER | DT_END_ELLIPSIS | DT_NOPREFIX);

    SelectObject(MemoryDC, previousFont);
    DeleteObject(CaptionFont);
    CaptionFont = nullptr;
}

// Right to left: close, maximise or restore, minimise; none without a system menu.
void PaintButtons(const CaptionMetrics& m) {
    if (!(m.style & WS_SYSMENU)) {
        return;
    }
    const UINT maxSymbol = IsZoomed(CurrentWindow) ? DFCS_CAPTIONRESTORE : DFCS_CAPTIONMAX;
    RECT button{};
    Assign(button.right, std::int64_t{m.CW} - 2);
    Assign(button.left, std::int64_t{button.right} - m.BW + 2);
    Assign(button.top, std::int64_t{m.F} + 2);
    Assign(button.bottom, std::int64_t{button.top} + m.CH - 5);
    DrawFrameControl(MemoryDC, &button, DFC_CAPTION, DFCS_CAPTIONCLOSE);
    OffsetRect(&button, -m.BW, 0);
    const bool maxBox = m.style & WS_MAXIMIZEBOX;
    const bool minBox = m.style & WS_MINIMIZEBOX;
    if (maxBox || minBox) {
        DrawFrameControl(MemoryDC, &button, DFC_CAPTION,
                         maxBox ? maxSymbol : maxSymbol | DFCS_INACTIVE);
        OffsetRect(&button, -(m.BW - 2), 0);
        DrawFrameControl(MemoryDC, &button, DFC_CAPTION,
                         minBox ? DFCS_CAPTIONMIN : DFCS_CAPTIONMIN | DFCS_INACTIVE);
    }
}

// Copies the caption onto the window and keeps the frame painting off it.
void CopyToWindow(const CaptionMetrics& m, RECT& band) {
    band.left = m.F;
    Assign(band.right, std::int64_t{band.right} + 12);
    if (!WindowDC) {
        return;
    }
    const std::optional<LONG> width = Fit(std::int64_t{band.right} - band.left - 10);
    const std::optional<LONG> height = Fit(std::int64_t{band.bottom} - band.top);
    if (width && height) {
        BitBlt(WindowDC, band.left, band.top, *width, *height, MemoryDC, band.left, band.top,
               SRCCOPY);
    }
    if (const std::optional<LONG> bottom = Fit(std::int64_t{m.F} + m.CH - 1)) {
        ExcludeClipRect(WindowDC, m.F, m.F, m.CW, *bottom);
    }
}

} // namespace

void PaintCaption(COLORREF colour1, COLORREF colour2) {
    const CaptionMetrics m = MeasureCaption();
    RECT band{}; // the bands', then the text's, then the copy's rectangle
    PaintGradient(m, colour1, colour2, band);
    PaintIcon(m, band);
    PaintText(m, colour1, band);
    PaintButtons(m);
    CopyToWindow(m, band);
}

} // namespace tavro
