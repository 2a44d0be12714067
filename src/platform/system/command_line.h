// A Windows-style command line: split into a program's arguments and quoted
// back, on bytes. Plain standard C++, portable: the launcher builds one line
// for every platform, and a Windows build hands it to the system as it is.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace platform {

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
// ; | $( ) ` * ~ stay literal. Only blanks, tabs, double quotes and
// backslashes mean anything to the rules, so every other byte, valid UTF-8
// or not, goes through exactly.
// Differences from Windows: blanks before the program's name are skipped,
// where the C runtime would give an empty name.
std::vector<std::string> SplitCommandLine(std::string_view commandLine);

// The inverse for one argument after the program's name: an argument that is
// empty or holds a blank, a tab or a double quote is wrapped in double quotes
// with its inner quotes (and the backslashes before them and before the
// closing quote) escaped, so that SplitCommandLine gives every string back
// unchanged, "" included. Other arguments are returned as they are.
std::string QuoteArgument(std::string_view argument);

} // namespace platform
