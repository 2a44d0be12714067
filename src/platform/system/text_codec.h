// The editor's text codec: a file's bytes turned into text for an edit control
// and back into the same file's bytes. Plain standard C++, portable: text is
// UTF-8 in std::string, bytes are the file's exact bytes.
//
// A file keeps its encoding and each line its own line break. The control
// knows only LF, and turns U+2029, U+FDD0 and U+FDD1 into line breaks of its
// own, so those are shown through the stand-ins U+E000, U+E001 and U+E002
// and written back as they were.
#pragma once

#include <string>
#include <string_view>

namespace platform {

// The values are kept in DecodedText::lineBreaks, one char a break.
enum class LineBreak : char { LF, CRLF, CR };
enum class TextEncoding { Utf8, Latin1 };

// How a file writes its text.
struct TextFormat {
    LineBreak lineBreak = LineBreak::LF; // the first break's, for lines that have none of their own
    TextEncoding encoding = TextEncoding::Utf8;
    bool byteOrderMark = false;
};

inline constexpr std::string_view Utf8ByteOrderMark = "\xEF\xBB\xBF";

// The characters the control would turn into line breaks (a paragraph
// separator, and the marks it uses for frames), and their stand-ins from the
// private use area, place for place.
inline constexpr char32_t SeparatorCharacters[] = {U'\u2029', U'\uFDD0', U'\uFDD1'};
inline constexpr char32_t StandInCharacters[] = {U'\uE000', U'\uE001', U'\uE002'};

// A file's text as the control shows it.
struct DecodedText {
    std::string text; // UTF-8, every line break an LF
    TextFormat format;
    std::string lineBreaks; // each break's LineBreak in order, when they are not all alike
    bool standIns = false;  // the separators in text are shown as stand-ins
    // The file holds both separators and stand-ins: a change could not be
    // written back exactly, so the text can only be read. Its separators
    // are left as they are.
    bool standInsClash = false;
};

// A file with valid UTF-8 is read as UTF-8 (one initial byte-order mark set
// aside; a second one is text), any other as single-byte text (Latin-1).
DecodedText DecodeText(std::string_view bytes);

// Appends to `bytes` a piece of the control's text (UTF-8, without line
// breaks) in the file's encoding, the stand-ins turned back when standIns.
// A single-byte file cannot store a character above U+00FF: then false, with
// that character in *refused. Pieces must end on whole characters.
bool EncodeText(std::string_view text, const TextFormat& format, bool standIns, std::string& bytes,
                char32_t* refused);

// The bytes of a line break: "\n", "\r\n" or "\r".
std::string_view LineBreakBytes(LineBreak lineBreak);

} // namespace platform
