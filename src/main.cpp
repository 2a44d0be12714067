// Tavro starts by loading and showing its main window; closing it ends the program.
#include "launcher/Form1.h"
#include "platform/forms/App.h"
#include "platform/forms/Run.h"

int main(int argc, char* argv[]) {
    platform::forms::StartUp startUp;
    // A big driver directory takes a while to read: start before the runtime does.
    startUp.ahead = [] { tavro::Form1::ReadDriversAhead(platform::forms::App::Path()); };
    startUp.mainForm = []() -> platform::forms::Form& {
        tavro::Form1& form = tavro::Form1::Instance();
        form.Show();
        return form;
    };
    return platform::forms::Run(argc, argv, startUp);
}
