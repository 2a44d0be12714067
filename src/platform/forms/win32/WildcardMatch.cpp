// The file list's own wildcard test, for the patterns the system's NameFilter
// leaves to the list: *, ? and [...] sets (a leading ! negates), as the Linux
// list reads them, compared on code points folded to lower case.
#include "platform/forms/win32/FileListWindow.h"

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

namespace platform::forms::win32 {

namespace {

// Folds to lower case (Windows' invariant mapping, which is Unicode's simple
// one) and splits into code points; an unpaired surrogate stays one unit.
std::u32string Folded(const std::wstring& text) {
    std::wstring lower = text;
    if (!text.empty()) {
        const int size =
            LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_LOWERCASE, text.data(),
                          static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr, 0);
        if (size > 0) {
            lower.resize(static_cast<std::size_t>(size));
            LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_LOWERCASE, text.data(),
                          static_cast<int>(text.size()), lower.data(), size, nullptr, nullptr, 0);
        }
    }
    std::u32string points;
    points.reserve(lower.size());
    for (std::size_t i = 0; i < lower.size(); ++i) {
        const char32_t unit = lower[i];
        if (unit >= 0xD800 && unit < 0xDC00 && i + 1 < lower.size() && lower[i + 1] >= 0xDC00 &&
            lower[i + 1] < 0xE000) {
            points.push_back(0x10000 + ((unit - 0xD800) << 10) + (lower[i + 1] - 0xDC00));
            ++i;
        } else {
            points.push_back(unit);
        }
    }
    return points;
}

struct Token {
    enum Kind { Literal, Any, Star, Set };
    explicit Token(Kind k, char32_t c = 0) : kind(k), literal(c) {}
    Kind kind;
    char32_t literal;
    bool negated = false;
    std::vector<std::pair<char32_t, char32_t>> ranges;

    bool matches(char32_t c) const {
        switch (kind) {
        case Literal:
            return c == literal;
        case Any:
            return true;
        case Set:
            for (const auto& [low, high] : ranges) {
                if (c >= low && c <= high) {
                    return !negated;
                }
            }
            return negated;
        default:
            return false;
        }
    }
};

std::vector<Token> Parse(const std::u32string& pattern) {
    std::vector<Token> tokens;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        const char32_t c = pattern[i];
        if (c == U'*') {
            if (tokens.empty() || tokens.back().kind != Token::Star) {
                tokens.emplace_back(Token::Star);
            }
            continue;
        }
        if (c == U'?') {
            tokens.emplace_back(Token::Any);
            continue;
        }
        if (c == U'[') {
            std::size_t j = i + 1;
            const bool negated = j < pattern.size() && pattern[j] == U'!';
            if (negated) {
                ++j;
            }
            // A ']' first in the set is one of its characters.
            const std::size_t first = j;
            std::size_t close =
                j < pattern.size() ? pattern.find(U']', j + 1) : std::u32string::npos;
            if (close != std::u32string::npos) {
                Token set(Token::Set);
                set.negated = negated;
                for (std::size_t k = first; k < close; ++k) {
                    if (k + 2 < close && pattern[k + 1] == U'-') {
                        set.ranges.emplace_back(pattern[k], pattern[k + 2]);
                        k += 2;
                    } else {
                        set.ranges.emplace_back(pattern[k], pattern[k]);
                    }
                }
                tokens.push_back(std::move(set));
                i = close;
                continue;
            }
            // An unclosed '[' is itself.
        }
        tokens.emplace_back(Token::Literal, c);
    }
    return tokens;
}

} // namespace

bool WildcardMatches(const std::wstring& pattern, const std::wstring& name) {
    const std::vector<Token> tokens = Parse(Folded(pattern));
    const std::u32string text = Folded(name);
    // The classic walk: on a mismatch, the last star takes one more character.
    std::size_t t = 0;
    std::size_t n = 0;
    std::size_t starToken = std::u32string::npos;
    std::size_t starText = 0;
    while (n < text.size()) {
        if (t < tokens.size() && tokens[t].kind == Token::Star) {
            starToken = t++;
            starText = n;
        } else if (t < tokens.size() && tokens[t].matches(text[n])) {
            ++t;
            ++n;
        } else if (starToken != std::u32string::npos) {
            t = starToken + 1;
            n = ++starText;
        } else {
            return false;
        }
    }
    while (t < tokens.size() && tokens[t].kind == Token::Star) {
        ++t;
    }
    return t == tokens.size();
}

} // namespace platform::forms::win32
