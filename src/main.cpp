// Tavro starts by loading and showing its main window; closing it ends the program.
#include "launcher/Form1.h"
#include "platform/forms/App.h"
#include "platform/forms/ClassicStyle.h"
#include "platform/forms/FontsAhead.h"
#include "platform/forms/Termination.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    // Fonts and a big driver directory take a while to read: start before Qt does.
    platform::forms::PrepareFontsAhead();
    tavro::Form1::ReadDriversAhead(platform::forms::App::Path());
    QApplication app(argc, argv);
    platform::forms::UseClassicLook();
    QApplication::setQuitOnLastWindowClosed(false);
    tavro::Form1::Instance().Show();
    platform::forms::CloseOnTermination(&tavro::Form1::Instance());
    return QApplication::exec();
}
