#include "platform/forms/Run.h"

#include "platform/forms/Form.h"
#include "platform/forms/qt/ClassicStyle.h"
#include "platform/forms/qt/FontsAhead.h"
#include "platform/forms/qt/Native.h"
#include "platform/forms/qt/Termination.h"

#include <QApplication>

namespace platform::forms {

int Run(int argc, char* argv[], const StartUp& startUp) {
    // Fonts and the program's own early work take a while: start before Qt does.
    qt::PrepareFontsAhead();
    if (startUp.ahead) {
        startUp.ahead();
    }
    QApplication app(argc, argv);
    qt::UseClassicLook();
    QApplication::setQuitOnLastWindowClosed(false);
    Form& mainForm = startUp.mainForm();
    qt::CloseOnTermination(qt::ToQt(mainForm.Native()));
    return QApplication::exec();
}

} // namespace platform::forms
