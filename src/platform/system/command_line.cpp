#include "platform/system/command_line.h"

namespace platform {

std::vector<std::string> SplitCommandLine(std::string_view commandLine) {
    std::vector<std::string> args;
    const std::size_t n = commandLine.size();
    const auto isBlank = [](char c) { return c == ' ' || c == '\t'; };
    std::size_t i = 0;
    while (i < n && isBlank(commandLine[i]))
        ++i;
    if (i == n)
        return args;

    // The program's name: quotes group and are dropped, nothing else is special.
    std::string current;
    bool quoted = false;
    for (; i < n && (quoted || !isBlank(commandLine[i])); ++i) {
        if (commandLine[i] == '"')
            quoted = !quoted;
        else
            current.push_back(commandLine[i]);
    }
    args.push_back(current);

    // The arguments.
    for (;;) {
        while (i < n && isBlank(commandLine[i]))
            ++i;
        if (i == n)
            return args;
        current.clear();
        quoted = false;
        while (i < n && (quoted || !isBlank(commandLine[i]))) {
            std::size_t backslashes = 0;
            while (i < n && commandLine[i] == '\\') {
                ++backslashes;
                ++i;
            }
            if (i == n || commandLine[i] != '"') {
                current.append(backslashes, '\\');
                if (i < n && (quoted || !isBlank(commandLine[i])))
                    current.push_back(commandLine[i++]);
                continue;
            }
            // Backslashes before a quote: each pair gives one; an odd one
            // left over makes the quote a literal one.
            current.append(backslashes / 2, '\\');
            if (backslashes % 2 == 1) {
                current.push_back('"');
            } else if (quoted && i + 1 < n && commandLine[i + 1] == '"') {
                current.push_back('"'); // "" inside quotes: one quote, still quoted
                ++i;
            } else {
                quoted = !quoted;
            }
            ++i;
        }
        args.push_back(current);
    }
}

std::string QuoteArgument(std::string_view argument) {
    if (!argument.empty() && argument.find_first_of(" \t\"") == std::string_view::npos)
        return std::string(argument);
    std::string out;
    out.reserve(argument.size() + 2);
    out.push_back('"');
    std::size_t backslashes = 0;
    for (const char c : argument) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        if (c == '"') {
            // Each backslash before a quote doubles, and the quote is escaped.
            out.append(backslashes * 2 + 1, '\\');
        } else {
            out.append(backslashes, '\\');
        }
        backslashes = 0;
        out.push_back(c);
    }
    // Backslashes before the closing quote double so that it still closes.
    out.append(backslashes * 2, '\\');
    out.push_back('"');
    return out;
}

} // namespace platform
