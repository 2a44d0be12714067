// The one window of a form class that the program shows, as a form's default
// instance is to its program: Existing() until the window is destroyed, or
// until its unload step forgets it so that the next use makes a fresh window
// while the old one is still being torn down.
#pragma once

#include <QPointer>

namespace platform::forms {

template <typename F> class SingleInstance {
public:
    // The window, or nullptr when there is none.
    static F* Existing() { return slot().data(); }
    // Makes `form`, a window just built, the one; returns it.
    static F& Adopt(F* form) {
        slot() = form;
        return *form;
    }
    // Forgets `form` if it is the one.
    static void Forget(const F* form) {
        if (slot() == form) {
            slot() = nullptr;
        }
    }

private:
    static QPointer<F>& slot() {
        static QPointer<F> form;
        return form;
    }
};

} // namespace platform::forms
