#include "platform/system/text_codec.h"

#include <array>
#include <cstdint>
#include <cstring>
#include <span>

namespace platform {

namespace {

// The three bytes UTF-8 gives a character from U+0800 to U+FFFF.
using Utf8Char = std::array<char, 3>;
constexpr Utf8Char Utf8Of(char32_t c) {
    return {static_cast<char>(0xE0 | (c >> 12)), static_cast<char>(0x80 | ((c >> 6) & 0x3F)),
            static_cast<char>(0x80 | (c & 0x3F))};
}
constexpr std::array<Utf8Char, 3> Separators = {
    Utf8Of(SeparatorCharacters[0]), Utf8Of(SeparatorCharacters[1]), Utf8Of(SeparatorCharacters[2])};
constexpr std::array<Utf8Char, 3> StandIns = {
    Utf8Of(StandInCharacters[0]), Utf8Of(StandInCharacters[1]), Utf8Of(StandInCharacters[2])};

std::string_view View(const Utf8Char& c) {
    return {c.data(), c.size()};
}

// Whether the bytes are well-formed UTF-8: no overlong form, no surrogate,
// nothing above U+10FFFF and no sequence cut short.
bool IsUtf8(std::string_view bytes) {
    const auto* at = reinterpret_cast<const unsigned char*>(bytes.data());
    const auto* const end = at + bytes.size();
    while (at < end) {
        // Most of a driver is ASCII: eight bytes at a time.
        if (end - at >= 8) {
            std::uint64_t eight = 0;
            std::memcpy(&eight, at, 8);
            if ((eight & 0x8080808080808080u) == 0) {
                at += 8;
                continue;
            }
        }
        const unsigned char lead = *at;
        if (lead < 0x80) {
            ++at;
            continue;
        }
        // The bytes after the lead, and the range of the first of them.
        int more = 0;
        unsigned char low = 0x80, high = 0xBF;
        if (lead >= 0xC2 && lead <= 0xDF) {
            more = 1;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            more = 2;
            low = lead == 0xE0 ? 0xA0 : 0x80;  // no overlong form
            high = lead == 0xED ? 0x9F : 0xBF; // no surrogate
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            more = 3;
            low = lead == 0xF0 ? 0x90 : 0x80;
            high = lead == 0xF4 ? 0x8F : 0xBF; // nothing above U+10FFFF
        } else {
            return false;
        }
        if (end - at <= more || at[1] < low || at[1] > high) {
            return false;
        }
        for (int i = 2; i <= more; ++i) {
            if ((at[i] & 0xC0) != 0x80) {
                return false;
            }
        }
        at += more + 1;
    }
    return true;
}

// Every byte one character.
std::string Latin1ToUtf8(std::string_view bytes) {
    std::size_t high = 0;
    for (const char b : bytes) {
        high += static_cast<unsigned char>(b) >> 7;
    }
    std::string text;
    text.reserve(bytes.size() + high);
    for (const char b : bytes) {
        const auto c = static_cast<unsigned char>(b);
        if (c < 0x80) {
            text.push_back(b);
        } else {
            text.push_back(static_cast<char>(0xC0 | (c >> 6)));
            text.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        }
    }
    return text;
}

// The character at `at` (a lead byte); U+FFFD for a broken one.
char32_t CharacterAt(std::string_view text, std::size_t at) {
    const auto lead = static_cast<unsigned char>(text[at]);
    const int more = lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC0 ? 1 : 0;
    if (more == 0 || at + more >= text.size()) {
        return U'\uFFFD';
    }
    char32_t c = lead & (0x3F >> more);
    for (int i = 1; i <= more; ++i) {
        c = (c << 6) | (static_cast<unsigned char>(text[at + i]) & 0x3F);
    }
    return c;
}

bool HoldsAny(std::string_view text, std::span<const Utf8Char, 3> chars) {
    for (const Utf8Char& c : chars) {
        if (text.find(View(c)) != std::string_view::npos) {
            return true;
        }
    }
    return false;
}

// Replaces, from `from` on, each character of `of` by the one at the same
// place in `by`; all take three bytes, so the text keeps its length.
void SwapCharacters(std::string& text, std::size_t from, std::span<const Utf8Char, 3> of,
                    std::span<const Utf8Char, 3> by) {
    for (std::size_t k = 0; k < of.size(); ++k) {
        for (std::size_t at = from; (at = text.find(View(of[k]), at)) != std::string::npos;
             at += 3) {
            std::memcpy(text.data() + at, by[k].data(), 3);
        }
    }
}

// CR LF and a lone CR become LF, the one break the control keeps; what each
// break was is noted so that a save can write it back. Works in place, line
// by line with the library's fast searches: a large file is mostly moved,
// not looked at byte by byte.
void ToLfBreaks(std::string& text, LineBreak& first, std::string& each) {
    const std::size_t firstCr = text.find('\r');
    if (firstCr == std::string::npos) {
        return; // all LF, or none at all
    }
    const std::size_t firstLf = text.find('\n'); // npos when none: after any CR
    const bool crlf = firstCr + 1 < text.size() && text[firstCr + 1] == '\n';
    first = firstLf < firstCr ? LineBreak::LF : crlf ? LineBreak::CRLF : LineBreak::CR;

    char* const data = text.data();
    const std::size_t size = text.size();
    std::size_t count = 0; // breaks seen so far
    const auto note = [&](LineBreak style) {
        if (style != first && each.empty()) {
            each.assign(count, static_cast<char>(first));
        }
        if (!each.empty()) {
            each.push_back(static_cast<char>(style));
        }
        ++count;
    };
    const auto find = [data](std::size_t from, std::size_t to, char c) {
        const void* found = std::memchr(data + from, c, to - from);
        return found ? static_cast<std::size_t>(static_cast<const char*>(found) - data) : to;
    };
    std::size_t in = 0;
    std::size_t out = 0;
    for (;;) {
        const std::size_t end = find(in, size, '\r');
        for (std::size_t at = find(in, end, '\n'); at < end; at = find(at + 1, end, '\n')) {
            note(LineBreak::LF);
        }
        if (out != in) {
            std::memmove(data + out, data + in, end - in);
        }
        out += end - in;
        if (end == size) {
            break;
        }
        const bool pair = end + 1 < size && data[end + 1] == '\n';
        note(pair ? LineBreak::CRLF : LineBreak::CR);
        data[out++] = '\n';
        in = end + (pair ? 2 : 1);
    }
    text.resize(out);
}

} // namespace

DecodedText DecodeText(std::string_view bytes) {
    DecodedText d;
    const bool bom = bytes.starts_with(Utf8ByteOrderMark);
    const std::string_view body = bom ? bytes.substr(Utf8ByteOrderMark.size()) : bytes;
    if (IsUtf8(body)) {
        d.text.assign(body);
        d.format.byteOrderMark = bom;
    } else {
        d.format.encoding = TextEncoding::Latin1;
        d.text = Latin1ToUtf8(bytes);
    }
    ToLfBreaks(d.text, d.format.lineBreak, d.lineBreaks);
    // Single-byte text holds no separator: they are all above U+00FF.
    if (HoldsAny(d.text, Separators)) {
        if (HoldsAny(d.text, StandIns)) {
            d.standInsClash = true;
        } else {
            SwapCharacters(d.text, 0, Separators, StandIns);
            d.standIns = true;
        }
    }
    return d;
}

bool EncodeText(std::string_view text, const TextFormat& format, bool standIns, std::string& bytes,
                char32_t* refused) {
    const std::size_t from = bytes.size();
    if (format.encoding == TextEncoding::Utf8) {
        bytes.append(text);
        if (standIns) {
            SwapCharacters(bytes, from, StandIns, Separators);
        }
        return true;
    }
    bytes.reserve(from + text.size());
    for (std::size_t at = 0; at < text.size();) {
        const auto c = static_cast<unsigned char>(text[at]);
        if (c < 0x80) {
            bytes.push_back(static_cast<char>(c));
            ++at;
        } else if ((c == 0xC2 || c == 0xC3) && at + 1 < text.size() &&
                   (text[at + 1] & 0xC0) == 0x80) {
            bytes.push_back(static_cast<char>((c << 6) | (text[at + 1] & 0x3F)));
            at += 2;
        } else {
            // Writing it would silently turn it into another character.
            if (refused) {
                *refused = CharacterAt(text, at);
            }
            bytes.resize(from);
            return false;
        }
    }
    return true;
}

std::string_view LineBreakBytes(LineBreak lineBreak) {
    switch (lineBreak) {
    case LineBreak::CRLF:
        return "\r\n";
    case LineBreak::CR:
        return "\r";
    case LineBreak::LF:
        break;
    }
    return "\n";
}

} // namespace platform
