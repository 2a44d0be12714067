#include "support/WineSession.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace tavro::test {

namespace {

// Debian's wine64 and its server, which are not on PATH.
const QString Wine = QStringLiteral("/usr/lib/wine/wine64");
const QString WineServer = QStringLiteral("/usr/lib/wine/wineserver");
const QString Marlett = QStringLiteral("/usr/share/wine/fonts/marlett.ttf");

// Making a prefix takes a while on a busy machine.
constexpr int PrefixMs = 180000;

} // namespace

QStringList WineSession::MissingTools() {
    QStringList missing = X11Session::MissingTools();
    for (const QString& file : {Wine, WineServer, Marlett}) {
        if (!QFileInfo::exists(file)) {
            missing.append(file);
        }
    }
    return missing;
}

WineSession::WineSession() {
    if (!prefix_.isValid()) {
        error_ = QStringLiteral("cannot make a directory for the Wine prefix");
        return;
    }
    X11Options options;
    // No Mono or Gecko installer dialogs while the prefix is made.
    options.environment = {QStringLiteral("WINEPREFIX=") + prefix_.path(),
                           QStringLiteral("WINEDEBUG=-all"),
                           QStringLiteral("WINEDLLOVERRIDES=mscoree,mshtml=")};
    x11_ = std::make_unique<X11Session>(options);
    if (!x11_->ok()) {
        error_ = x11_->error();
        return;
    }
    ok_ = makePrefix();
}

WineSession::~WineSession() {
    // The prefix's own server, and whatever still runs in it, end with it.
    if (x11_ && x11_->ok()) {
        x11_->run(WineServer, {QStringLiteral("-k")});
    }
    x11_.reset();
}

std::optional<QByteArray> WineSession::wine(const QStringList& args, int timeoutMs) {
    return x11_->run(Wine, args, timeoutMs);
}

bool WineSession::makePrefix() {
    if (!wine({QStringLiteral("wineboot"), QStringLiteral("--init")}, PrefixMs)) {
        error_ = QStringLiteral("wineboot --init failed in ") + prefix_.path();
        return false;
    }
    if (!wine({QStringLiteral("reg"), QStringLiteral("add"),
               QStringLiteral("HKCU\\Software\\Wine\\X11 Driver"), QStringLiteral("/v"),
               QStringLiteral("Decorated"), QStringLiteral("/d"), QStringLiteral("N"),
               QStringLiteral("/f")})) {
        error_ = QStringLiteral("cannot turn off the X decorations");
        return false;
    }
    const QString fonts = prefix_.filePath(QStringLiteral("drive_c/windows/Fonts"));
    if (!QDir().mkpath(fonts) || !QFile::copy(Marlett, fonts + QStringLiteral("/marlett.ttf"))) {
        error_ = QStringLiteral("cannot put Marlett in ") + fonts;
        return false;
    }
    // Everything the set-up started has ended and written the registry.
    x11_->run(WineServer, {QStringLiteral("-w")}, PrefixMs);
    return true;
}

X11Program* WineSession::start(const QString& exe, const QStringList& args,
                               const QString& workingDirectory) {
    return x11_->start(Wine, QStringList{exe} + args, workingDirectory);
}

} // namespace tavro::test
