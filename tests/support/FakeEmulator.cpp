#include "support/FakeEmulator.h"

#include <QElapsedTimer>
#include <QFile>
#include <QThread>
#include <gtest/gtest.h>

namespace tavro::test {

void WriteFakeEmulator(const QString& path, const QString& record, const QString& release) {
    const auto quoted = [](const QString& s) {
        QString q = s;
        q.replace("'", "'\\''");
        return "'" + q + "'";
    };
    QString script = "#!/bin/sh\n"
                     "out=" +
                     quoted(record) +
                     "\n"
                     "{\n"
                     "  echo \"pid=$$\"\n"
                     "  echo \"ppid=$PPID\"\n"
                     "  echo \"sid=$(cut -d' ' -f6 /proc/$$/stat)\"\n"
                     "  echo \"cwd=$(pwd)\"\n"
                     "  echo \"fds=\" $(ls /proc/$$/fd)\n"
                     "  for a in \"$@\"; do printf 'arg=%s\\n' \"$a\"; done\n"
                     "} > \"$out.tmp\" && mv \"$out.tmp\" \"$out\"\n";
    if (!release.isEmpty()) {
        script += "while [ ! -e " + quoted(release) + " ]; do sleep 0.02; done\n";
    }
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(script.toUtf8());
    f.close();
    ASSERT_TRUE(
        f.setPermissions(f.permissions() | QFile::ExeOwner | QFile::ExeGroup | QFile::ExeOther));
}

EmulatorRecord WaitForRecord(const QString& record) {
    QElapsedTimer clock;
    clock.start();
    while (!QFile::exists(record) && clock.elapsed() < 10000) {
        QThread::msleep(5);
    }
    EmulatorRecord r;
    QFile f(record);
    if (!f.open(QIODevice::ReadOnly)) {
        return r;
    }
    r.present = true;
    for (const QByteArray& raw : f.readAll().split('\n')) {
        const qsizetype equals = raw.indexOf('=');
        if (equals < 0) {
            continue;
        }
        const QString key = QString::fromUtf8(raw.left(equals));
        const QString value = QString::fromUtf8(raw.mid(equals + 1));
        if (key == "pid") {
            r.pid = value.toLongLong();
        } else if (key == "ppid") {
            r.ppid = value.toLongLong();
        } else if (key == "sid") {
            r.sid = value.toLongLong();
        } else if (key == "cwd") {
            r.cwd = value;
        } else if (key == "fds") {
            r.fds = value.split(' ', Qt::SkipEmptyParts);
        } else if (key == "arg") {
            r.args.append(value);
            r.rawArgs.append(raw.mid(equals + 1));
        }
    }
    return r;
}

} // namespace tavro::test
