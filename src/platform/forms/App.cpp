#include "platform/forms/App.h"

#include <QCoreApplication>

namespace platform::forms {

namespace {
QString& testPath() {
    static QString path;
    return path;
}
} // namespace

QString App::Path() {
    if (!testPath().isEmpty()) {
        return testPath();
    }
    QString path = QCoreApplication::applicationDirPath();
    while (path.size() > 1 && path.endsWith('/')) {
        path.chop(1);
    }
    return path;
}

void App::SetPathForTesting(const QString& path) {
    testPath() = path;
}

} // namespace platform::forms
