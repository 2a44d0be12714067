// Starting a program from a Windows-style command line, without waiting for
// it: our stand-in for the Windows shell operation the launcher relies on.
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <sys/types.h>

namespace platform {

// What became of one start. A failure is only ever reported here: Shell never
// throws and never ends the program.
struct ShellResult {
    bool ok = false;
    pid_t pid = -1; // the started program's process id
    // As text to show: a name that is not UTF-8 shows with replacement marks.
    QString program;      // the program as the command line names it
    QString path;         // the file that was started (or found and refused)
    QStringList searched; // every directory (or, for a path, every file) looked at, in order
    QString reason;       // why it could not be started; empty when it was
    int error = 0;        // the errno behind reason, 0 when there is none
};

// Splits a command line into its arguments as the Windows C runtime does for
// a program's main (the rules Microsoft documents as "Parsing C command-line
// arguments"). Blanks and tabs separate; double quotes group, also inside a
// word, and an unclosed quote runs to the end of the line. The first word is
// the program's name: quotes group there and every other character, the
// backslash included, is plain. In the words after it, 2n backslashes before
// a quote give n backslashes and the quote groups, 2n+1 give n backslashes
// and a literal quote, other backslashes are literal, and inside quotes a
// doubled quote "" is one literal quote and the quoted run goes on. (This is
// the C runtime's rule; CommandLineToArgvW, which ends the quoted run after
// "", is not followed.) No shell is involved, so characters such as
// ; | $( ) ` * ~ stay literal.
// Differences from Windows: blanks before the program's name are skipped,
// where the C runtime would give an empty name.
QStringList SplitCommandLine(const QString& commandLine);

// The inverse for one argument after the program's name: an argument that is
// empty or holds a blank, a tab or a double quote is wrapped in double quotes
// with its inner quotes (and the backslashes before them and before the
// closing quote) escaped, so that SplitCommandLine gives every string back
// unchanged, "" included. Other arguments are returned as they are.
QString QuoteArgument(const QString& argument);

// The same two on a command line of bytes, as the system takes it. Only
// blanks, tabs, double quotes and backslashes mean anything to the rules, so
// every other byte, valid UTF-8 or not, goes through exactly.
QList<QByteArray> SplitCommandLineBytes(const QByteArray& commandLine);
QByteArray QuoteArgumentBytes(const QByteArray& argument);

// The places a program named without a directory is looked for, in order:
// the starting program's own directory (`ownDirectory`, skipped when empty),
// the current directory, then PATH. All are the exact bytes of the paths:
// a directory's name need not be UTF-8.
QList<QByteArray> ProgramSearchDirectories(const QByteArray& ownDirectory);

// Starts the program named by the first argument of commandLine, with the
// remaining arguments (their exact bytes), detached, in the current
// directory, and returns at once. The program is looked for in
// ProgramSearchDirectories(ownDirectory); "name.exe" also finds a native "name", and a
// name without an extension also finds "name.exe". A name containing '/' is
// a path. The window style (SW_*) is accepted for the caller's sake; X11 and
// Wayland give no portable way to ask another program for a minimized first
// window, so it has no effect. A program that is there but whose interpreter
// (a script's "#!" program, an executable's loader) is missing is reported
// as such.
ShellResult Shell(const QByteArray& commandLine, int windowStyle, const QByteArray& ownDirectory);

} // namespace platform
