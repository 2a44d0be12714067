// The text control of the driver editor: a plain-text edit control that loads
// a file's content as text, saves its text back to a file, and raises a
// character event for the keys that type into it.
//
// A file keeps its bytes: text not changed since it was loaded is saved as the
// very bytes it came from; changed text keeps the file's encoding and each
// line's own line break, and new lines take the style of the file's first one.
#pragma once

#include "platform/forms/Control.h"
#include "platform/system/text_codec.h"

#include <functional>
#include <string>

namespace platform::forms {

class RichTextBox : public Control {
public:
    // SaveFile's file types: rich text is not offered, only plain text.
    static constexpr int rtfRTF = 0;
    static constexpr int rtfText = 1;

    using LineBreak = platform::LineBreak;
    using Encoding = platform::TextEncoding;
    // How the last loaded file wrote its text; the next save writes it so.
    using FileFormat = platform::TextFormat;

    explicit RichTextBox(Container* parent);
    ~RichTextBox() override;

    // Paths are the exact bytes of the file's name, which need not be UTF-8.

    // Shows the file's content as the control's text. A file with valid UTF-8
    // is read as UTF-8, any other as single-byte text (Latin-1). CR LF and CR
    // breaks are shown as LF, and U+2029, U+FDD0 and U+FDD1, which the control
    // would turn into line breaks, as the stand-ins U+E000, U+E001 and U+E002.
    // A file that holds both is shown read-only (ReadOnlyReason says why).
    // On failure the text is left as it was, the reason goes to *error and
    // false comes back.
    bool LoadFile(const std::string& path, std::string* error = nullptr);

    // Replaces the file with the control's text, in the loaded file's format,
    // through the program's safe save (platform/system/atomic_file.h): a
    // read-only file is refused, and a failure leaves the old file whole and
    // no temporary file behind, puts the reason in *error and returns false.
    // Only fileType rtfText is supported.
    bool SaveFile(const std::string& path, int fileType, std::string* error = nullptr);

    // Whether the file last loaded or saved has been replaced or rewritten
    // since (its device, inode, size, modification time or change time
    // differ). A file that is gone counts as unchanged: there is nothing to
    // overwrite.
    bool FileChangedOnDisk() const;

    // The whole text as UTF-8, lines separated by '\n'.
    std::string Text();
    // A large text is shown from its first part at once; the rest follows in
    // slices from the event loop, while the control is read-only. A key
    // pressed meanwhile raises its event at once and acts after the last
    // slice; Text() and SaveFile() fill in the rest first.
    void setText(const std::string& text);
    // True while the rest of a large text is still being filled in.
    bool Filling() const;
    // Fills in the rest of a large text now.
    void FinishFilling();

    // The text was changed since it was last set, loaded or saved: typed,
    // deleted, pasted, undone.
    bool Modified() const;

    const FileFormat& Format() const;
    // Why the loaded file can only be read, or empty.
    std::string ReadOnlyReason() const;

    // The character event: a key that types a character, Enter, Backspace or
    // Ctrl+letter, raised before the control handles the key. Delete, the
    // cursor keys and changes made with the mouse do not raise it.
    std::function<void(int keyAscii)> KeyPress;
};

} // namespace platform::forms
