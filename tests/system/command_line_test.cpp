// Windows command lines: splitting as the C runtime does and quoting back,
// on bytes, the same on every system.
#include "platform/system/command_line.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

using platform::QuoteArgument;
using platform::SplitCommandLine;

namespace {

// Lines split as the C runtime gives them to a program's main, one group of
// rows per rule; the first word is the program's name.
TEST(SplitCommandLine, CRuntimeRules) {
    const struct {
        const char* line;
        std::vector<std::string> args;
    } cases[] = {
        // Blanks and tabs separate; double quotes group, also inside a word.
        {"morvel -640x400 -driver game.drv", {"morvel", "-640x400", "-driver", "game.drv"}},
        {"  p \t\t b  ", {"p", "b"}},
        {"p a\"b c\"d", {"p", "ab cd"}},
        {"p \"\" b", {"p", "", "b"}},
        {"p \"tab\there\"", {"p", "tab\there"}},
        {"p \"b c ", {"p", "b c "}}, // an unclosed quote runs to the end
        {"", {}},
        {" \t ", {}},
        // Microsoft's documented examples.
        {R"(p "a b c" d e)", {"p", "a b c", "d", "e"}},
        {R"(p "ab\"c" "\\" d)", {"p", R"(ab"c)", R"(\)", "d"}},
        {R"(p a\\\b d"e f"g h)", {"p", R"(a\\\b)", "de fg", "h"}},
        {R"(p a\\\"b c d)", {"p", R"(a\"b)", "c", "d"}},
        {R"(p a\\\\"b c" d e)", {"p", R"(a\\b c)", "d", "e"}},
        {R"(p a"b"" c d)", {"p", R"(ab" c d)"}},
        // Backslashes: literal unless before a quote; 2n give n and the quote
        // groups, 2n+1 give n and a literal quote.
        {R"(p a\\b c\)", {"p", R"(a\\b)", R"(c\)"}},
        {R"(p "a\\" b)", {"p", R"(a\)", "b"}},
        {R"(p "x \"y\" z")", {"p", R"(x "y" z)"}},
        // Inside quotes a doubled quote is one literal quote, and the quotes go on.
        {R"(p "a""b")", {"p", R"(a"b)"}},
        {R"(p "a"" b" c)", {"p", R"(a" b)", "c"}},
        {R"(p """")", {"p", R"(")"}},
        {R"(p """""" x)", {"p", R"("")", "x"}},
        {R"(p a""b)", {"p", "ab"}},
        {R"(p "a\\""b")", {"p", R"(a\"b)"}},
        // The program's name: quotes group, backslashes are plain characters.
        {R"("C:\Program Files\morvel.exe" -x)", {R"(C:\Program Files\morvel.exe)", "-x"}},
        {R"("dir\"morvel a)", {R"(dir\morvel)", "a"}},
        {R"(mor""vel a\"b)", {"morvel", R"(a"b)"}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(SplitCommandLine(c.line), c.args) << c.line;
}

TEST(SplitCommandLine, ShellCharactersStayLiteral) {
    EXPECT_EQ(SplitCommandLine("morvel a;b | $(rm -rf x) `id` * ~ $HOME"),
              std::vector<std::string>(
                  {"morvel", "a;b", "|", "$(rm", "-rf", "x)", "`id`", "*", "~", "$HOME"}));
}

TEST(QuoteArgument, PlainNamesStayUnchanged) {
    EXPECT_EQ(QuoteArgument(""), "\"\"");
    for (const std::string name : {"game.drv", R"(back\slash\)", "a;b|c$(x)`y`*~", "ñandú.drv"}) {
        EXPECT_EQ(QuoteArgument(name), name);
    }
}

TEST(QuoteArgument, QuotedNamesSplitBackToThemselves) {
    EXPECT_EQ(QuoteArgument("my game.drv"), "\"my game.drv\"");
    EXPECT_EQ(QuoteArgument(R"(say "hi")"), R"("say \"hi\"")");
    EXPECT_EQ(QuoteArgument(R"(dir\ x\)"), R"("dir\ x\\")");
    EXPECT_EQ(QuoteArgument(R"(a\"b)"), R"("a\\\"b")");

    const std::vector<std::string> nasty = {
        "my game.drv",
        "two  blanks",
        " leading",
        "trailing ",
        "tab\tname",
        "\"",
        "\"\"",
        R"(end\ )",
        R"(a b\)",
        R"(a b\\)",
        R"(q\"uote x)",
        R"(\\" \\)",
        "a;b | $(c) `d` ~",
        "* glob *.drv",
        "é ü ß 日本.drv",
        R"(\"\\"\\\" )",
        "-driver x.drv",
        "\t",
        R"(\ \ \)",
        "x\"",
        "",
        R"(a""b)",
        R"("" "")",
    };
    for (const std::string& name : nasty) {
        const std::string line = "morvel -driver " + QuoteArgument(name);
        EXPECT_EQ(SplitCommandLine(line), std::vector<std::string>({"morvel", "-driver", name}))
            << line;
    }

    // On bytes, every byte but blank, tab, quote and backslash is just a byte:
    // 0xA0 and 0x85 (blanks in Latin-1 and Unicode) do not separate.
    for (const std::string name :
         {"caf\xE9.drv", "\xA0\x85\xFF.drv", "a \xA0\"\\\xC3(.drv", "\xE9 \xE9\\"}) {
        const std::string line = "morvel -driver " + QuoteArgument(name);
        EXPECT_EQ(SplitCommandLine(line), std::vector<std::string>({"morvel", "-driver", name}))
            << line;
    }
    EXPECT_EQ(QuoteArgument("caf\xE9.drv"), "caf\xE9.drv");
}

TEST(QuoteArgument, EveryShortStringRoundTrips) {
    // Every string of up to five characters from the ones the rules treat
    // specially, each as the only argument and between two others.
    const std::string alphabet = "a \t\"\\";
    std::vector<std::string> strings{std::string()};
    for (std::size_t from = 0, length = 0; length < 5; ++length) {
        const std::size_t to = strings.size();
        for (std::size_t i = from; i < to; ++i) {
            for (const char c : alphabet)
                strings.push_back(strings[i] + c);
        }
        from = to;
    }
    for (const std::string& s : strings) {
        const std::string q = QuoteArgument(s);
        ASSERT_EQ(SplitCommandLine("p " + q), std::vector<std::string>({"p", s})) << q;
        ASSERT_EQ(SplitCommandLine("p x " + q + " y"), std::vector<std::string>({"p", "x", s, "y"}))
            << q;
    }
}

} // namespace
