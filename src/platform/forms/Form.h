// A form: a top-level window with a client area that holds controls, its
// load, resize and unload steps, and the window record (hWnd) through which
// the window layer sends it messages. The platform's window behind it is its
// own (forms/qt/ on Linux); the program sees only this.
#pragma once

#include "platform/forms/Control.h"
#include "platform/forms/Picture.h"
#include "platform/win32.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace platform::forms {

enum class BorderStyle { FixedSingle, Sizable };
enum class StartUpPosition { CenterScreen, WindowsDefault };

class FormEvents;

class Form {
public:
    struct Design {
        std::string caption;
        BorderStyle border = BorderStyle::FixedSingle;
        bool minButton = false;
        bool maxButton = false;
        bool hasMenu = false;
        int clientWidth = 0; // twips
        int clientHeight = 0;
        StartUpPosition position = StartUpPosition::WindowsDefault;
        // The window that owns this one: a dialog kept above its owner, as a
        // message box is. None for the program's own windows.
        Form* owner = nullptr;
    };

    explicit Form(const Design& design);
    Form(const Form&) = delete;
    Form& operator=(const Form&) = delete;
    // Destroys the window and every control on it.
    virtual ~Form();

    // Runs the load step once; Show() loads first when needed.
    void Load();
    bool IsLoaded() const { return loaded_; }
    // Shows, raises and activates the window.
    void Show();
    void Hide();
    bool Visible() const;
    // Runs the unload step and destroys the form soon after, from the event
    // loop (the form may be running one of its own handlers now).
    void Unload();

    bool IsMinimized() const;
    // Brings a minimized window back as it was before (normal or maximized).
    void Restore();

    std::string Caption() const;
    void setCaption(const std::string& caption);
    platform::HWND hWnd() const { return hwnd_; }

    // The form's own free-form text; programs use it as a flag.
    std::string Tag;

    // The client area, which holds the controls.
    Container* Client() const;
    // Client size in twips.
    int ScaleWidth() const;
    int ScaleHeight() const;

    void setIcon(const Picture& icon);
    void setPicture(const Picture& picture);
    void setBackColor(COLORREF colour);
    void setMousePointer(const MousePointer& pointer);
    // A menu bar item without submenu; & marks its access key (Alt + key).
    void addMenuItem(const std::string& caption, std::function<void()> action);

    // Called once, when the form is destroyed: its window is gone by then, and
    // its controls are about to go.
    void WhenDestroyed(std::function<void()> action);

    native::Widget* Native() const;

protected:
    virtual void Form_Load() {}
    virtual void Form_Resize() {}
    // Asked when the window is to close (its Close box, the window menu, the
    // window manager), before the unload step; setting `cancel` keeps the
    // window open and loaded. Unload() called by the program does not ask.
    virtual void Form_QueryUnload(bool& /*cancel*/) {}
    virtual void Form_Unload() {}

private:
    friend class Control;
    friend class FormEvents; // the runtime raises the events above through it
    struct Window;           // the platform's window and client area

    void adopt(Control* control);

    std::vector<std::unique_ptr<Control>> controls_;
    std::vector<std::function<void()>> whenDestroyed_;
    std::unique_ptr<Window> window_;
    platform::HWND hwnd_ = nullptr;
    bool loaded_ = false;
    bool unloading_ = false;
};

// The forms runtime's own window procedure: every form starts with it.
platform::LRESULT FormWndProc(platform::HWND hwnd, platform::UINT msg, platform::WPARAM wParam,
                              platform::LPARAM lParam);

// Ends the program at once: no other form runs its unload step.
void End();

} // namespace platform::forms
