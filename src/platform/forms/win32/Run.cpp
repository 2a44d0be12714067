#include "platform/forms/Run.h"

#include "platform/forms/Form.h"
#include "platform/forms/win32/ControlWindows.h"
#include "platform/forms/win32/FormWindow.h"

#include <objbase.h>

namespace platform::forms {

namespace {

// Per-monitor resolution, where the system has it (the manifest asks too).
void BecomeDpiAware() {
    using SetContext = BOOL(WINAPI*)(DPI_AWARENESS_CONTEXT);
    HMODULE user32 = GetModuleHandleW(L"user32.dll");
    const auto set = user32 ? reinterpret_cast<SetContext>(reinterpret_cast<void*>(
                                  GetProcAddress(user32, "SetProcessDpiAwarenessContext")))
                            : nullptr;
    if (set) {
        set(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2);
    }
}

} // namespace

int Run(int, char*[], const StartUp& startUp) {
    // COM, for the picture decoders, starts with the first picture file
    // (LoadPicture), not here: it would hold up the first paint.
    BecomeDpiAware();
    if (startUp.ahead) {
        startUp.ahead();
    }
    Form& mainForm = startUp.mainForm();
    // The system's request to end the program closes the main form.
    win32::SetMainWindow(mainForm.hWnd());
    MSG msg{};
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        // A control made since the last message takes its place before the
        // system looks at the order (tab order, painting, the pointer).
        win32::RaiseMadeControls();
        // Tab, the arrow keys in option groups and access keys, as in a dialog.
        HWND root = msg.hwnd ? GetAncestor(msg.hwnd, GA_ROOT) : nullptr;
        if (root && win32::IsFormWindow(root) && IsDialogMessageW(root, &msg)) {
            continue;
        }
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return static_cast<int>(msg.wParam);
}

} // namespace platform::forms
