// A stand-in for the emulator: a sh script that records how it was started,
// so tests can see the arguments, working directory and process it got.
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

namespace tavro::test {

// What the stand-in saw.
struct EmulatorRecord {
    bool present = false;
    qint64 pid = 0, ppid = 0, sid = 0;
    QString cwd;
    QStringList fds;
    QStringList args;
    QList<QByteArray> rawArgs; // the same, as the exact bytes received
};

// Writes the stand-in at `path`. It records its pid, parent, session, working
// directory, open descriptors and arguments (one per line) into `record`,
// then, when `release` is given, waits until that file appears.
void WriteFakeEmulator(const QString& path, const QString& record, const QString& release = {});

// Waits (up to a generous deadline) for the stand-in's record and reads it.
EmulatorRecord WaitForRecord(const QString& record);

} // namespace tavro::test
