#include "platform/forms/qt/Termination.h"

#include <QCoreApplication>
#include <QPointer>
#include <QSocketNotifier>
#include <QWidget>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace platform::forms::qt {

namespace {

int wakeFds[2] = {-1, -1};

// Only async-signal-safe work here: one byte down the pipe.
void OnSignal(int) {
    const char byte = 1;
    ssize_t ignored = write(wakeFds[1], &byte, 1);
    (void)ignored;
}

} // namespace

void CloseOnTermination(QWidget* window) {
    if (wakeFds[0] >= 0 || pipe2(wakeFds, O_CLOEXEC | O_NONBLOCK) != 0) {
        return;
    }
    auto* notifier =
        new QSocketNotifier(wakeFds[0], QSocketNotifier::Read, QCoreApplication::instance());
    QObject::connect(notifier, &QSocketNotifier::activated, notifier,
                     [target = QPointer<QWidget>(window)] {
                         char buffer[16];
                         while (read(wakeFds[0], buffer, sizeof buffer) > 0) {
                         }
                         if (target) {
                             target->close();
                         } else {
                             QCoreApplication::exit(0);
                         }
                     });
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGHUP, &action, nullptr);
}

} // namespace platform::forms::qt
