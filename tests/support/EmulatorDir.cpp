#include "support/EmulatorDir.h"

#include "about/Form2.h"
#include "editor/edit.h"
#include "launcher/Form1.h"
#include "platform/forms/App.h"
#include "platform/forms/Form.h"

#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImage>

namespace tavro::test {

EmulatorDir::EmulatorDir() {
    makeDir("drv");
    makeDir("preview");
    platform::forms::App::SetPathForTesting(dir_.path());
}

EmulatorDir::~EmulatorDir() {
    DestroyForms();
    platform::forms::App::SetPathForTesting(QString());
}

void EmulatorDir::write(const QString& relative, const QByteArray& content) const {
    QFile f(file(relative));
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        f.write(content);
    }
}

void EmulatorDir::writePicture(const QString& relative, int width, int height) const {
    write(relative, Picture(width, height));
}

QByteArray EmulatorDir::read(const QString& relative) const {
    QFile f(file(relative));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool EmulatorDir::exists(const QString& relative) const {
    return QFile::exists(file(relative));
}

void EmulatorDir::makeDir(const QString& relative) const {
    QDir(dir_.path()).mkpath(relative);
}

QString EmulatorDir::installProgram() const {
    const QString program = file("tavro");
    if (!QFile::copy(QStringLiteral(TAVRO_EXE), program) ||
        !QFile::setPermissions(program, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner)) {
        return {};
    }
    return program;
}

QString EmulatorDir::linkProgram(const QString& target, const QString& relative) const {
    const QString link = file(relative);
    return QFile::link(target, link) ? link : QString();
}

QByteArray Picture(int width, int height, const char* format) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(QColor(40, 90, 160));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes;
}

void DestroyForms() {
    delete edit::Existing();
    delete Form2::Existing();
    delete Form1::Existing();
    // Forms unloaded during the test are deleted later; let that happen now.
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    platform::forms::ResetEndForTesting();
}

} // namespace tavro::test
