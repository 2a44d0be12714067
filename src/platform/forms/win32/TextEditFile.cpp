// The text box's file: loaded through the byte codec, saved back in its own
// encoding and line breaks through the program's safe save.
#include "platform/forms/win32/TextEditWindow.h"

#include "platform/forms/RichTextBox.h"
#include "platform/forms/win32/TextConversion.h"
#include "platform/system/atomic_file.h"

#include <algorithm>
#include <cstdio>
#include <utility>

namespace platform::forms::win32 {

namespace {

// Larger files would not fit the control; nobody edits such a driver.
constexpr std::size_t MaxFileSize = std::size_t(256) * 1024 * 1024;

// The bytes of a save go to the file in pieces of about this size.
constexpr std::size_t WriteSize = 256 * 1024;

void SetError(std::string* error, const std::string& text) {
    if (error) {
        *error = text;
    }
}

std::string Unencodable(char32_t code) {
    const bool surrogate = code >= 0xD800 && code < 0xE000;
    std::wstring character;
    if (code > 0xFFFF) {
        character = {static_cast<wchar_t>(0xD800 + ((code - 0x10000) >> 10)),
                     static_cast<wchar_t>(0xDC00 + ((code - 0x10000) & 0x3FF))};
    } else {
        character = {static_cast<wchar_t>(surrogate ? 0xFFFD : code)};
    }
    char hex[16];
    std::snprintf(hex, sizeof hex, "%04X", static_cast<unsigned>(code));
    return "the text holds the character \"" + Utf8(character) + "\" (U+" + hex +
           "), which this file's single-byte encoding cannot store";
}

// The first character above U+00FF, as a single-byte file cannot store it.
char32_t FirstWide(std::wstring_view text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char32_t c = text[i];
        if (c > 0xFF) {
            const bool pair = c >= 0xD800 && c < 0xDC00 && i + 1 < text.size() &&
                              text[i + 1] >= 0xDC00 && text[i + 1] < 0xE000;
            return pair ? 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00) : c;
        }
    }
    return U'\uFFFD';
}

// The driver's bytes, and the file as read, to tell at the next save whether
// it was replaced; false with `*error` set when it cannot be edited.
bool ReadWholeFile(const std::string& path, std::string* bytes, FileIdentity* identity,
                   std::string* error) {
    RegularFile file = ReadRegularFile(path.c_str(), MaxFileSize);
    switch (file.status) {
    case RegularFile::Status::Read:
        *bytes = std::move(file.bytes);
        *identity = file.identity;
        return true;
    case RegularFile::Status::Directory:
        SetError(error, "it is a directory, not a file");
        return false;
    case RegularFile::Status::NotRegular:
        // A pipe or a device could block or never end.
        SetError(error, "it is not a regular file");
        return false;
    case RegularFile::Status::TooLarge:
        SetError(error, file.identity.size > static_cast<std::int64_t>(MaxFileSize)
                            ? "the file is too large to edit (" +
                                  std::to_string(file.identity.size / (1024 * 1024)) + " MB)"
                            : std::string("the file is too large to edit"));
        return false;
    default:
        SetError(error, SystemErrorText(file.systemError));
        return false;
    }
}

// The file's name without its directory.
std::string BaseName(const std::string& path) {
    const std::size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

} // namespace

bool TextEditWindow::LoadFile(const std::string& path, std::string* error) {
    std::string bytes;
    FileIdentity identity;
    if (!ReadWholeFile(path, &bytes, &identity, error)) {
        return false;
    }
    const DecodedText decoded = DecodeText(bytes);
    format_ = decoded.format;
    lineBreaks_ = decoded.lineBreaks;
    standIns_ = decoded.standIns;
    readOnlyReason_ =
        decoded.standInsClash
            ? "the file holds characters that the editor can only show through stand-ins "
              "(U+2029, U+FDD0 and U+FDD1, shown as U+E000, U+E001 and U+E002) and also "
              "holds those stand-ins, so a change could not be saved exactly"
            : std::string();
    // A second byte-order mark is text, kept as U+FEFF.
    showText(Utf16(decoded.text));
    loadedBytes_ = std::move(bytes);
    loadedText_ = wideText();
    rememberFile(path, identity);
    applyReadOnly();
    // A screen reader names the text after its file.
    if (control_) {
        control_->setAccessibleName(BaseName(path));
    }
    return true;
}

bool TextEditWindow::SaveFile(const std::string& path, int fileType, std::string* error) {
    if (fileType != RichTextBox::rtfText) {
        SetError(error, "only plain text can be saved");
        return false;
    }
    const std::wstring text = wideText();
    // Text not changed since it was loaded goes back as the very bytes it
    // came from. The control keeps no mark of the loaded state in its undo
    // list, so a text undone back to it is told by comparing.
    const bool unchanged = loadedBytes_ && (!Modified() || text == loadedText_);
    AtomicFile file(path);
    if (!file.Open()) {
        SetError(error, file.Reason());
        return false;
    }
    std::string why;
    const bool written = unchanged ? file.Write(*loadedBytes_) : writeText(text, file, &why);
    if (!written) {
        // A write that failed has the safe save's own reason.
        SetError(error, file.Reason().empty() ? why : file.Reason());
        file.Abandon();
        return false;
    }
    if (!file.Commit()) {
        SetError(error, file.Reason());
        return false;
    }
    if (!unchanged) {
        loadedBytes_.reset();
        loadedText_.clear();
    }
    if (window_) {
        SendMessageW(window_, EM_SETMODIFY, FALSE, 0);
    }
    if (const std::optional<FileIdentity> saved = FileIdentityOf(path.c_str())) {
        rememberFile(path, *saved);
    } else {
        identity_.reset();
    }
    return true;
}

// Line by line, in the file's encoding; a line read from the file keeps its
// own break, a new one takes the file's first style.
bool TextEditWindow::writeText(const std::wstring& text, AtomicFile& file,
                               std::string* error) const {
    const std::size_t lines =
        static_cast<std::size_t>(std::count(text.begin(), text.end(), L'\r')) + 1;
    const bool ownBreaks = lineBreaks_.size() == lines - 1;
    std::string bytes;
    if (format_.byteOrderMark) {
        bytes.append(Utf8ByteOrderMark);
    }
    std::string utf8;
    std::size_t from = 0;
    for (std::size_t line = 0; line < lines; ++line) {
        const std::size_t end = std::min(text.find(L'\r', from), text.size());
        const std::wstring_view piece(text.data() + from, end - from);
        if (!StrictUtf8(piece, utf8)) {
            SetError(error, format_.encoding == TextEncoding::Latin1
                                ? Unencodable(FirstWide(piece))
                                : "the text holds a broken character that UTF-8 cannot store");
            return false;
        }
        char32_t refused = 0;
        if (!EncodeText(utf8, format_, standIns_, bytes, &refused)) {
            SetError(error, Unencodable(refused));
            return false;
        }
        if (line + 1 < lines) {
            const int style = ownBreaks ? lineBreaks_[line] : -1;
            bytes.append(LineBreakBytes(style >= 0 && style <= 2 ? static_cast<LineBreak>(style)
                                                                 : format_.lineBreak));
        }
        if (bytes.size() >= WriteSize) {
            if (!file.Write(bytes)) {
                return false;
            }
            bytes.clear();
        }
        from = end + 1;
    }
    return bytes.empty() || file.Write(bytes);
}

void TextEditWindow::rememberFile(const std::string& path, const FileIdentity& identity) {
    identityPath_ = path;
    identity_ = identity;
}

bool TextEditWindow::FileChangedOnDisk() const {
    if (!identity_) {
        return false;
    }
    const std::optional<FileIdentity> now = FileIdentityOf(identityPath_.c_str());
    if (!now) {
        return false; // nothing there to overwrite
    }
    return !(*now == *identity_);
}

} // namespace platform::forms::win32
