// Tavro started on a private X server the way a user starts it, then used:
// the first driver in its list chosen and "Run This Game" pressed.
#pragma once

#include "support/X11Session.h"

#include <QByteArray>
#include <QString>

namespace tavro::test {

// Runs `command` with /bin/sh in `workingDirectory` on the session, so that
// the program gets argv[0] exactly as typed there ("./tavro", "tavro" found
// on PATH, a link). Waits for the main window, clicks the first driver and
// "Run This Game". Returns what went wrong, or an empty string.
QString RunFirstDriver(X11Session& session, const QString& command,
                       const QString& workingDirectory);

// `text` in single quotes for a sh command line.
QString ShellQuoted(const QString& text);
// A sh word that gives exactly `bytes`, which need not be UTF-8.
QString ShellWord(const QByteArray& bytes);

} // namespace tavro::test
