#include "support/EmulatorDir.h"

#include "about/Form2.h"
#include "editor/edit.h"
#include "launcher/Form1.h"
#include "platform/forms/Form.h"
#include "platform/forms/Testing.h"

#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <algorithm>
#include <dirent.h>
#include <fcntl.h>
#include <ftw.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tavro::test {

namespace {
int RemoveEntry(const char* path, const struct stat*, int, FTW*) {
    return ::remove(path);
}
} // namespace

EmulatorDir::EmulatorDir() {
    makeDir("drv");
    makeDir("preview");
    platform::forms::SetAppPathForTesting(QFile::encodeName(dir_.path()).toStdString());
}

EmulatorDir::~EmulatorDir() {
    DestroyForms();
    for (const QByteArray& name : rawFiles_) {
        ::unlink(rawFile(name).constData());
    }
    // Whatever the program left under names that are not UTF-8 goes too.
    ::nftw(QFile::encodeName(dir_.path()).constData(), RemoveEntry, 16, FTW_DEPTH | FTW_PHYS);
    platform::forms::SetAppPathForTesting({});
}

void EmulatorDir::write(const QString& relative, const QByteArray& content) const {
    QFile f(file(relative));
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        f.write(content);
    }
}

void EmulatorDir::writePicture(const QString& relative, int width, int height,
                               const QColor& colour) const {
    write(relative, Picture(width, height, "JPG", colour));
}

QByteArray EmulatorDir::read(const QString& relative) const {
    QFile f(file(relative));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QByteArray EmulatorDir::rawFile(const QByteArray& relative) const {
    return QFile::encodeName(dir_.path()) + "/" + relative;
}

void EmulatorDir::writeRaw(const QByteArray& relative, const QByteArray& content) {
    rawFiles_.append(relative);
    const int fd =
        ::open(rawFile(relative).constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    ASSERT_GE(fd, 0) << relative.toStdString();
    ASSERT_EQ(::write(fd, content.constData(), static_cast<size_t>(content.size())),
              content.size());
    ::close(fd);
}

QByteArray EmulatorDir::readRaw(const QByteArray& relative) const {
    QFile f;
    const int fd = ::open(rawFile(relative).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0 || !f.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        return "<missing>";
    }
    return f.readAll();
}

QList<QByteArray> EmulatorDir::rawEntries(const QByteArray& relative) const {
    QList<QByteArray> names;
    if (DIR* d = ::opendir(rawFile(relative).constData())) {
        while (const dirent* entry = ::readdir(d)) {
            if (entry->d_name[0] != '.') {
                names.append(entry->d_name);
            }
        }
        ::closedir(d);
    }
    std::sort(names.begin(), names.end());
    return names;
}

void EmulatorDir::makeRawDir(const QByteArray& relative) const {
    ASSERT_EQ(::mkdir(rawFile(relative).constData(), 0755), 0) << relative.toStdString();
}

bool EmulatorDir::linkRaw(const QByteArray& target, const QByteArray& relative) const {
    return ::symlink(target.constData(), rawFile(relative).constData()) == 0;
}

QByteArray Picture(int width, int height, const char* format, const QColor& colour) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(colour);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes;
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

void DestroyForms() {
    delete edit::Existing();
    delete Form2::Existing();
    delete Form1::Existing();
    // Forms unloaded during the test are deleted later; let that happen now.
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    platform::forms::ResetEndForTesting();
}

} // namespace tavro::test
