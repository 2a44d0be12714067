// The editor's text codec: what a file's bytes are read as, and that they
// are written back byte for byte.
#include "platform/system/shown_name.h"
#include "platform/system/text_codec.h"

#include <gtest/gtest.h>
#include <string>
#include <utility>
#include <vector>

using namespace platform;
using enum LineBreak;

namespace {

using Breaks = std::vector<LineBreak>;

// The file's bytes again from its text: each line in the file's encoding and
// with its own break, or the first style when the breaks are all alike.
std::string Encoded(const DecodedText& d) {
    std::string bytes(d.format.byteOrderMark ? Utf8ByteOrderMark : "");
    std::size_t line = 0;
    for (std::size_t from = 0;; ++line) {
        const std::size_t end = std::min(d.text.find('\n', from), d.text.size());
        EXPECT_TRUE(EncodeText(std::string_view(d.text).substr(from, end - from), d.format,
                               d.standIns, bytes, nullptr));
        if (end == d.text.size()) {
            return bytes;
        }
        bytes += LineBreakBytes(d.lineBreaks.empty() ? d.format.lineBreak
                                                     : LineBreak(d.lineBreaks.at(line)));
        from = end + 1;
    }
}

TEST(TextCodec, DecodesAndWritesBackTheSameBytes) {
    const TextEncoding U = TextEncoding::Utf8, L = TextEncoding::Latin1;
    const struct {
        std::string bytes;
        std::string text;
        TextEncoding encoding;
        bool bom;
        LineBreak first;
        Breaks each; // empty when all alike
        bool standIns = false, clash = false;
    } cases[] = {
        {"", "", U, false, LF, {}},
        {std::string("nul\0in\n", 7), std::string("nul\0in\n", 7), U, false, LF, {}},
        // Each kind of line break, and mixes of them.
        {"a\nb\n", "a\nb\n", U, false, LF, {}},
        {"a\r\nb\r\n", "a\nb\n", U, false, CRLF, {}},
        {"a\rb", "a\nb", U, false, CR, {}},
        {"a\nb\r\nc\rd", "a\nb\nc\nd", U, false, LF, {LF, CRLF, CR}},
        {"\r\n\n\r\r\n", "\n\n\n\n", U, false, CRLF, {CRLF, LF, CR, CRLF}},
        {"a\rb\r\n\r", "a\nb\n\n", U, false, CR, {CR, CRLF, CR}},
        // UTF-8 with and without a byte-order mark; a second mark is text.
        {"caf\xC3\xA9 \xF0\x9F\x98\x80", "caf\xC3\xA9 \xF0\x9F\x98\x80", U, false, LF, {}},
        {"\xEF\xBB\xBF\xC3\xA9t\xC3\xA9\n", "\xC3\xA9t\xC3\xA9\n", U, true, LF, {}},
        {"\xEF\xBB\xBF\xEF\xBB\xBFx", "\xEF\xBB\xBFx", U, true, LF, {}},
        // Anything not UTF-8 is single-byte text, a byte-order mark included.
        {"caf\xE9\r\n", "caf\xC3\xA9\n", L, false, CRLF, {}},
        {"\xEF\xBB\xBF\xE9", "\xC3\xAF\xC2\xBB\xC2\xBF\xC3\xA9", L, false, LF, {}},
        {"0123456\xFF", "0123456\xC3\xBF", L, false, LF, {}},           // among eight bytes
        {"\xC0\xAF", "\xC3\x80\xC2\xAF", L, false, LF, {}},             // overlong
        {"\xED\xA0\x80", "\xC3\xAD\xC2\xA0\xC2\x80", L, false, LF, {}}, // surrogate
        {"\xF4\x90\x80\x80", "\xC3\xB4\xC2\x90\xC2\x80\xC2\x80", L, false, LF, {}}, // > U+10FFFF
        {"\xE2\x82", "\xC3\xA2\xC2\x82", L, false, LF, {}},                         // cut short
        // Separators shown as stand-ins; a file holding both is left alone.
        {"\xE2\x80\xA9|\xEF\xB7\x90|\xEF\xB7\x91\r\n",
         "\xEE\x80\x80|\xEE\x80\x81|\xEE\x80\x82\n",
         U,
         false,
         CRLF,
         {},
         true},
        {"\xEE\x80\x80", "\xEE\x80\x80", U, false, LF, {}},
        {"\xE2\x80\xA9\xEE\x80\x82", "\xE2\x80\xA9\xEE\x80\x82", U, false, LF, {}, false, true},
    };
    for (const auto& c : cases) {
        const DecodedText d = DecodeText(c.bytes);
        EXPECT_EQ(d.text, c.text) << c.bytes;
        EXPECT_EQ(d.format.encoding, c.encoding) << c.bytes;
        EXPECT_EQ(d.format.byteOrderMark, c.bom) << c.bytes;
        EXPECT_EQ(d.format.lineBreak, c.first) << c.bytes;
        Breaks each;
        for (const char b : d.lineBreaks) {
            each.push_back(LineBreak(b));
        }
        EXPECT_EQ(each, c.each) << c.bytes;
        EXPECT_EQ(d.standIns, c.standIns) << c.bytes;
        EXPECT_EQ(d.standInsClash, c.clash) << c.bytes;
        EXPECT_EQ(Encoded(d), c.bytes);
    }
}

TEST(TextCodec, SingleByteFileRefusesWiderCharacters) {
    const TextFormat latin1{LF, TextEncoding::Latin1, false};
    for (const auto& [text, wide] :
         {std::pair{"\xC3\xBF\xE2\x82\xAC", U'\u20AC'},
          std::pair{"x\xF0\x9F\x98\x80", U'\U0001F600'}, std::pair{"\xEE\x80\x80", U'\uE000'}}) {
        std::string bytes = "kept";
        char32_t refused = 0;
        EXPECT_FALSE(EncodeText(text, latin1, false, bytes, &refused));
        EXPECT_EQ(refused, wide);
        EXPECT_EQ(bytes, "kept");
    }
}

// A name as messages show it: one replacement mark for each byte that is not
// part of a well-formed UTF-8 character.
TEST(ShownName, MarksEveryByteOutsideAWellFormedCharacter) {
    const std::pair<std::string, std::string> rows[] = {
        {"Élan Racer.drv", "Élan Racer.drv"},
        {"g\xe9mes", "g\uFFFDmes"},                         // Latin-1
        {"\xc3", "\uFFFD"},                                 // cut short at the end
        {"\xc0\xaf", "\uFFFD\uFFFD"},                       // overlong
        {"\xed\xa0\x80", "\uFFFD\uFFFD\uFFFD"},             // a surrogate
        {"\xf4\x90\x80\x80.", "\uFFFD\uFFFD\uFFFD\uFFFD."}, // above U+10FFFF
        {"\xf0\x9f\x8e\xae", "\xf0\x9f\x8e\xae"},           // outside the BMP
        {"\xef\xbb\xbfgame.drv", "game.drv"}, // a leading byte-order mark is not shown
    };
    for (const auto& [bytes, shown] : rows) {
        EXPECT_EQ(ShownName(bytes), shown) << bytes;
    }
}

} // namespace
