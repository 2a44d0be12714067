// Ending the program from outside: a session manager or `kill` sends SIGTERM,
// a closing terminal SIGHUP. The program then closes its main window as the
// user would, so its unload step runs and unsaved work is asked about,
// instead of vanishing at once.
#pragma once

class QWidget;

namespace platform::forms::qt {

// From now on SIGTERM and SIGHUP close `window` (from the event loop, not the
// signal handler). Call once, with the window that ends the program.
void CloseOnTermination(QWidget* window);

} // namespace platform::forms::qt
