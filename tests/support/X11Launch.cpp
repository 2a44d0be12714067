#include "support/X11Launch.h"

namespace tavro::test {

namespace {
// The main window's frame (fixed single border and caption) and, in its client
// area, the first row of the driver list and the "Run This Game" button.
const QPoint ClientOrigin(3, 3 + 19);
const QPoint FirstDriver(40, 79);
const QPoint RunThisGame(104, 284);
} // namespace

QString ShellQuoted(const QString& text) {
    QString quoted = text;
    quoted.replace(u'\'', QStringLiteral("'\\''"));
    return u'\'' + quoted + u'\'';
}

QString ShellWord(const QByteArray& bytes) {
    if (QString::fromUtf8(bytes).toUtf8() == bytes)
        return ShellQuoted(QString::fromUtf8(bytes));
    // The command line reaches sh as UTF-8; printf makes the bytes from octal.
    QString format;
    for (const char c : bytes)
        format +=
            QStringLiteral("\\%1").arg(uint(static_cast<unsigned char>(c)), 3, 8, QChar(u'0'));
    return "\"$(printf '" + format + "')\"";
}

QString RunFirstDriver(X11Session& session, const QString& command,
                       const QString& workingDirectory) {
    if (!session.ok())
        return session.error();
    X11Program* program =
        session.start(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), command}, workingDirectory);
    if (program == nullptr)
        return session.error();
    const auto window = session.waitForWindow(QStringLiteral("Tavro 0.1.5"), 20000);
    const auto rect = window ? session.geometry(*window) : std::nullopt;
    if (!rect)
        return QStringLiteral("no main window; program output:\n") + program->log();
    const QPoint client = rect->topLeft() + ClientOrigin;
    if (!session.click(client + FirstDriver) || !session.click(client + RunThisGame))
        return QStringLiteral("xdotool could not click");
    return {};
}

} // namespace tavro::test
