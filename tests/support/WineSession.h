// Windows programs on a private X server through Wine: a Wine prefix of the
// session's own, made at the start (wineboot) and ended with it, and an
// X11Session whose programs see it. The prefix is set up as the tests need
// it: windows without X decorations, so a program's own caption shows as it
// draws it, and the Marlett symbol font in the prefix's Fonts folder (this
// Wine does not look in its own data folder for fonts, and without Marlett
// the caption buttons show letters).
#pragma once

#include "support/X11Session.h"

#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <memory>

namespace tavro::test {

class WineSession {
public:
    WineSession();
    ~WineSession();
    WineSession(const WineSession&) = delete;
    WineSession& operator=(const WineSession&) = delete;

    // What a session cannot work without that is not installed; empty when
    // all is there.
    static QStringList MissingTools();

    bool ok() const { return ok_; }
    QString error() const { return error_; }
    X11Session& x11() { return *x11_; }

    // Starts a Windows program under Wine in the given directory.
    X11Program* start(const QString& exe, const QStringList& args, const QString& workingDirectory);

private:
    bool makePrefix();
    std::optional<QByteArray> wine(const QStringList& args, int timeoutMs = 60000);

    QTemporaryDir prefix_;
    std::unique_ptr<X11Session> x11_;
    bool ok_ = false;
    QString error_;
};

} // namespace tavro::test
