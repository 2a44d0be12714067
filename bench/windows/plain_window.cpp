// The floor for the first paint of Tavro's main window on Windows: a plain
// Win32 program that makes a window of the same size with the same controls,
// each a real control made directly with CreateWindowExW, as Tavro's forms
// make them: five labels (one the preview panel), a picture, a list box
// filled from drv\*.drv, two frames of option buttons (six and ten), four
// owner-drawn buttons and five check boxes, over a background picture of the
// client area's size. Run in the emulator's directory, like tavro.exe.
#include <windows.h>

#include <string>
#include <vector>

namespace {

constexpr COLORREF LightGreen = RGB(192, 255, 192);
constexpr COLORREF LightYellow = RGB(255, 255, 192);
constexpr COLORREF Cyan = RGB(0, 255, 255);
constexpr COLORREF Blue = RGB(0, 0, 255);
constexpr COLORREF White = RGB(255, 255, 255);

// Sizes and places are the design's twips, at 96 dots per inch.
int Px(int twips) {
    return twips / 15;
}

HFONT TitleFont = nullptr;
HFONT ControlFont = nullptr;
HBITMAP Background = nullptr;

// A picture of the given size painted in a few bands, as a decoded image
// would arrive: a device-independent bitmap.
HBITMAP MakePicture(int width, int height, COLORREF top, COLORREF bottom) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!bitmap) {
        return nullptr;
    }
    auto* pixels = static_cast<DWORD*>(bits);
    for (int y = 0; y < height; ++y) {
        const int a = height > 1 ? y * 255 / (height - 1) : 0;
        const auto mix = [a](int from, int to) { return (from * (255 - a) + to * a) / 255; };
        const DWORD pixel = static_cast<DWORD>((mix(GetRValue(top), GetRValue(bottom)) << 16) |
                                               (mix(GetGValue(top), GetGValue(bottom)) << 8) |
                                               mix(GetBValue(top), GetBValue(bottom)));
        for (int x = 0; x < width; ++x) {
            pixels[y * width + x] = pixel;
        }
    }
    return bitmap;
}

struct Colours {
    COLORREF back;
    COLORREF fore;
    bool transparent;
};

// Each control's colours, kept in its window's property list.
void SetColours(HWND window, COLORREF back, COLORREF fore = RGB(0, 0, 0),
                bool transparent = false) {
    SetPropW(window, L"Colours", new Colours{back, fore, transparent});
}

HBRUSH BrushFor(COLORREF colour) {
    // A few colours only: a brush each, made once.
    static std::vector<std::pair<COLORREF, HBRUSH>> brushes;
    for (const auto& [c, brush] : brushes) {
        if (c == colour) {
            return brush;
        }
    }
    brushes.emplace_back(colour, CreateSolidBrush(colour));
    return brushes.back().second;
}

HWND Make(HWND parent, const wchar_t* cls, const wchar_t* text, DWORD style, int left, int top,
          int width, int height, DWORD exStyle = 0, HFONT font = nullptr) {
    HWND window =
        CreateWindowExW(exStyle, cls, text, style | WS_CHILD | WS_VISIBLE, Px(left), Px(top),
                        Px(width), Px(height), parent, nullptr, GetModuleHandleW(nullptr), nullptr);
    SendMessageW(window, WM_SETFONT, reinterpret_cast<WPARAM>(font ? font : ControlFont), FALSE);
    return window;
}

LRESULT ColourReply(HDC dc, HWND control) {
    const auto* c = static_cast<const Colours*>(GetPropW(control, L"Colours"));
    if (!c) {
        return 0;
    }
    SetTextColor(dc, c->fore);
    if (c->transparent) {
        SetBkMode(dc, TRANSPARENT);
        return reinterpret_cast<LRESULT>(GetStockObject(NULL_BRUSH));
    }
    SetBkColor(dc, c->back);
    return reinterpret_cast<LRESULT>(BrushFor(c->back));
}

void DrawButton(const DRAWITEMSTRUCT& item) {
    const auto* c = static_cast<const Colours*>(GetPropW(item.hwndItem, L"Colours"));
    RECT r = item.rcItem;
    FillRect(item.hDC, &r, BrushFor(c ? c->back : Cyan));
    DrawEdge(item.hDC, &r, (item.itemState & ODS_SELECTED) ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT);
    wchar_t text[64];
    GetWindowTextW(item.hwndItem, text, 64);
    SetBkMode(item.hDC, TRANSPARENT);
    DrawTextW(item.hDC, text, -1, &r, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
}

// Container windows (the main window and the frames) colour their controls
// and draw the owner-drawn buttons.
LRESULT ContainerMessage(HWND window, UINT msg, WPARAM wp, LPARAM lp, bool* handled) {
    *handled = true;
    switch (msg) {
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORLISTBOX:
        if (const LRESULT brush =
                ColourReply(reinterpret_cast<HDC>(wp), reinterpret_cast<HWND>(lp))) {
            return brush;
        }
        break;
    case WM_DRAWITEM:
        DrawButton(*reinterpret_cast<const DRAWITEMSTRUCT*>(lp));
        return TRUE;
    default:
        break;
    }
    *handled = false;
    return DefWindowProcW(window, msg, wp, lp);
}

LRESULT CALLBACK FrameProc(HWND window, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_ERASEBKGND) {
        RECT r;
        GetClientRect(window, &r);
        const auto* c = static_cast<const Colours*>(GetPropW(window, L"Colours"));
        FillRect(reinterpret_cast<HDC>(wp), &r, BrushFor(c ? c->back : White));
        return 1;
    }
    bool handled = false;
    return ContainerMessage(window, msg, wp, lp, &handled);
}

LRESULT CALLBACK MainProc(HWND window, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(window, &ps);
        HDC memory = CreateCompatibleDC(dc);
        HGDIOBJ old = SelectObject(memory, Background);
        BITMAP info{};
        GetObjectW(Background, sizeof info, &info);
        BitBlt(dc, 0, 0, info.bmWidth, info.bmHeight, memory, 0, 0, SRCCOPY);
        SelectObject(memory, old);
        DeleteDC(memory);
        EndPaint(window, &ps);
        return 0;
    }
    case WM_ERASEBKGND:
        return 1;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default: {
        bool handled = false;
        return ContainerMessage(window, msg, wp, lp, &handled);
    }
    }
}

void FillDrivers(HWND list) {
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(L"drv\\*.drv", &found);
    if (search == INVALID_HANDLE_VALUE) {
        return;
    }
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
            SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(found.cFileName));
        }
    } while (FindNextFileW(search, &found));
    FindClose(search);
}

void CreateControls(HWND client) {
    // Under everything else: the preview panel and the picture.
    SetColours(Make(client, L"STATIC", L"", SS_LEFT, 3000, 1080, 3615, 2175), LightGreen);
    HWND picture = Make(client, L"STATIC", L"", SS_BITMAP, 2880, 1080, 3495, 2535);
    SendMessageW(picture, STM_SETIMAGE, IMAGE_BITMAP,
                 reinterpret_cast<LPARAM>(MakePicture(224, 160, Blue, White)));

    const struct {
        const wchar_t* text;
        int left, width, height;
    } titles[] = {{L"Drivers Found", 360, 2415, 255},
                  {L"Preview", 3360, 2415, 375},
                  {L"Resolution", 6840, 2775, 375},
                  {L"Frameskip", 9360, 1935, 255}};
    for (const auto& t : titles) {
        SetColours(Make(client, L"STATIC", t.text, SS_LEFT | SS_NOPREFIX, t.left, 840, t.width,
                        t.height, 0, TitleFont),
                   0, White, true);
    }

    HWND list =
        Make(client, L"LISTBOX", L"", WS_TABSTOP | WS_VSCROLL | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT,
             360, 1080, 2415, 2820, WS_EX_CLIENTEDGE);
    SetColours(list, LightYellow);
    FillDrivers(list);

    const auto frame = [client](int left, int width, int height, COLORREF back) {
        HWND f = Make(client, L"PlainFrame", L"", WS_CLIPCHILDREN, left, 1080, width, height,
                      WS_EX_CONTROLPARENT);
        SetColours(f, back);
        return f;
    };
    HWND resolution = frame(6840, 2175, 3975, LightYellow);
    const struct {
        const wchar_t* text;
        int top, width;
    } modes[] = {{L"256x256 Linear", 120, 2775},  {L"320x200 Linear", 840, 2775},
                 {L"400x256 Mode X", 1560, 2775}, {L"640x400 Banked", 2280, 2775},
                 {L"400x300 Vesa 2", 2880, 2175}, {L"800x600 Vesa 2 ", 3360, 2175}};
    for (const auto& m : modes) {
        SetColours(Make(resolution, L"BUTTON", m.text, BS_AUTORADIOBUTTON, 0, m.top, m.width, 375),
                   LightYellow);
    }
    HWND frameskip = frame(9360, 2055, 3855, LightGreen);
    const wchar_t* skips[] = {L"0   (zero)",  L"1   (one)",  L"2   (two)", L"3   (three)",
                              L"4   (four)",  L"5   (five)", L"6   (six)", L"7   (seven)",
                              L"8   (eight)", L"9   (nine)"};
    for (int i = 0; i < 10; ++i) {
        SetColours(
            Make(frameskip, L"BUTTON", skips[i], BS_AUTORADIOBUTTON, 0, 120 + i * 360, 2055, 375),
            LightGreen);
    }

    const struct {
        const wchar_t* text;
        int left, top, width;
        COLORREF face;
    } commands[] = {{L"Run This Game", 360, 4080, 2415, Cyan},
                    {L"Write Game List", 360, 4680, 2415, Cyan},
                    {L"Edit This Driver", 360, 5280, 2415, Cyan},
                    {L"About", 10200, 6240, 1215, Blue}};
    for (const auto& c : commands) {
        SetColours(Make(client, L"BUTTON", c.text, BS_OWNERDRAW | BS_NOTIFY | WS_TABSTOP, c.left,
                        c.top, c.width, 375),
                   c.face);
    }

    const struct {
        const wchar_t* text;
        int top;
    } checks[] = {{L"Profile Mode", 4440},
                  {L"Sound Enabled", 4800},
                  {L"Synchronise the vbl (limit the fps to 60)", 5160},
                  {L"Debug Mode", 5520},
                  {L"Do NOT Check ROM's", 5880}};
    for (const auto& c : checks) {
        SetColours(Make(client, L"BUTTON", c.text, BS_3STATE | WS_TABSTOP, 3240, c.top, 3495, 375),
                   LightGreen);
    }
}

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show) {
    TitleFont = CreateFontW(-16, 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, DEFAULT_CHARSET, 0, 0, 0, 0,
                            L"Courier New");
    ControlFont = CreateFontW(-11, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, 0, 0,
                              0, 0, L"MS Sans Serif");
    Background = MakePicture(Px(11475), Px(6630), RGB(16, 16, 64), RGB(48, 16, 64));

    WNDCLASSEXW main{};
    main.cbSize = sizeof main;
    main.lpfnWndProc = MainProc;
    main.hInstance = instance;
    main.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    main.lpszClassName = L"PlainWindow";
    WNDCLASSEXW frame = main;
    frame.lpfnWndProc = FrameProc;
    frame.lpszClassName = L"PlainFrame";
    if (!RegisterClassExW(&main) || !RegisterClassExW(&frame)) {
        return 1;
    }

    // The main window's style and client size; centred on the screen.
    const DWORD style = WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN | DS_MODALFRAME;
    RECT r{0, 0, Px(11475), Px(6630)};
    AdjustWindowRectEx(&r, style, FALSE, 0);
    const int width = r.right - r.left;
    const int height = r.bottom - r.top;
    HWND window = CreateWindowExW(0, L"PlainWindow", L"Plain 0.1.5", style,
                                  (GetSystemMetrics(SM_CXSCREEN) - width) / 2,
                                  (GetSystemMetrics(SM_CYSCREEN) - height) / 2, width, height,
                                  nullptr, nullptr, instance, nullptr);
    if (!window) {
        return 1;
    }
    CreateControls(window);
    ShowWindow(window, show);
    UpdateWindow(window);

    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (!IsDialogMessageW(window, &msg)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    return static_cast<int>(msg.wParam);
}
