// Starting the forms runtime: what a program's main() calls.
#pragma once

#include <functional>

namespace platform::forms {

class Form;

struct StartUp {
    // Work that may begin before the runtime's own start-up (reading a big
    // directory ahead); runs first, on the calling thread.
    std::function<void()> ahead;
    // Shows the program's first form and returns it. Ending the program (the
    // system's termination request included) closes that form.
    std::function<Form&()> mainForm;
};

// Runs the program until it ends; returns its exit status.
int Run(int argc, char* argv[], const StartUp& startUp);

} // namespace platform::forms
