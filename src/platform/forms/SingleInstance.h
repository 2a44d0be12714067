// The one window of a form class that the program shows, as a form's default
// instance is to its program: Existing() until the window is destroyed, or
// until its unload step forgets it so that the next use makes a fresh window
// while the old one is still being torn down.
#pragma once

namespace platform::forms {

template <typename F> class SingleInstance {
public:
    // The window, or nullptr when there is none.
    static F* Existing() { return slot(); }
    // Makes `form`, a window just built, the one; returns it.
    static F& Adopt(F* form) {
        slot() = form;
        form->WhenDestroyed([form] { Forget(form); });
        return *form;
    }
    // Forgets `form` if it is the one.
    static void Forget(const F* form) {
        if (slot() == form) {
            slot() = nullptr;
        }
    }

private:
    static F*& slot() {
        static F* form = nullptr;
        return form;
    }
};

} // namespace platform::forms
