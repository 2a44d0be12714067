// Tavro starts by loading and showing its main window; closing it ends the program.
#include "launcher/Form1.h"
#include "platform/forms/Design.h"
#include "platform/forms/Termination.h"

#include <QApplication>
#include <QStyleFactory>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setStyle(QStyleFactory::create("Fusion"));
    QApplication::setFont(platform::forms::DefaultDialogFont());
    QApplication::setQuitOnLastWindowClosed(false);
    tavro::Form1::Instance().Show();
    platform::forms::CloseOnTermination(&tavro::Form1::Instance());
    return QApplication::exec();
}
