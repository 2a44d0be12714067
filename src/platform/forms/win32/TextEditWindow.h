// The text control of the driver editor over Win32: a RichEdit control in
// plain-text mode that keeps a file's bytes, line breaks and encoding through
// edits, through the same codec as on Linux (platform/system/text_codec.h).
#pragma once

#include "platform/system/regular_file.h"
#include "platform/system/text_codec.h"
#include "platform/win32.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace platform {
class AtomicFile;
}

namespace platform::forms {

class RichTextBox;

namespace win32 {

// The control behind a RichTextBox; what its members do is told there.
// Raises the control's KeyPress.
class TextEditWindow {
public:
    using LineBreak = platform::LineBreak;
    using FileFormat = platform::TextFormat;

    TextEditWindow(HWND parent, RichTextBox* control);
    ~TextEditWindow();
    TextEditWindow(const TextEditWindow&) = delete;
    TextEditWindow& operator=(const TextEditWindow&) = delete;

    HWND Window() const { return window_; }

    // Paths are the exact bytes of the file's name (WTF-8 on Windows).
    bool LoadFile(const std::string& path, std::string* error);
    bool SaveFile(const std::string& path, int fileType, std::string* error);
    bool FileChangedOnDisk() const;

    // The whole text as UTF-8, lines separated by '\n'.
    std::string Text() const;
    void setText(const std::string& text);
    bool Modified() const;

    const FileFormat& Format() const { return format_; }
    const std::string& ReadOnlyReason() const { return readOnlyReason_; }

private:
    // The line breaks of the text as it was once: an undo or a redo that
    // brings the text back to it gives back its breaks.
    struct BreakState {
        std::uint64_t textHash;
        std::size_t lines;
        std::string lineBreaks;
    };

    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam);
    // Raises the control's character event.
    void keyPress(int keyAscii);

    // The text as the control holds it: UTF-16, each line break a '\r'.
    std::wstring wideText() const;
    // Shows a text (lines separated by '\n') with an empty undo list, unmodified.
    void showText(const std::wstring& text);
    void rememberFile(const std::string& path, const FileIdentity& identity);
    void applyReadOnly();

    // Keeps the line breaks in step with the lines after a change (TextEditBreaks.cpp).
    void noteChange();
    // Starts the record of breaks from the text as shown.
    void resetBreakRecord();
    // Writes the text in the file's encoding and line breaks.
    bool writeText(const std::wstring& text, AtomicFile& file, std::string* error) const;

    HWND window_ = nullptr;
    WNDPROC editProcedure_ = nullptr;
    RichTextBox* control_;
    bool showing_ = false; // the text is being set: no change of the user's
    bool undoing_ = false; // an undo or a redo is under way

    FileFormat format_;
    std::string lineBreaks_;                // the break after each line, when the file mixes them
    bool standIns_ = false;                 // separators are shown as stand-ins
    std::vector<std::uint64_t> lineHashes_; // the lines when lineBreaks_ last matched them
    std::uint64_t textHash_ = 0;            // the text lineHashes_ holds the lines of
    std::vector<BreakState> breakStates_;   // earlier texts, the newest last

    std::string readOnlyReason_;
    std::optional<std::string> loadedBytes_; // the file as loaded, while the text may be as loaded
    std::wstring loadedText_;                // its text as shown
    std::string identityPath_;
    std::optional<FileIdentity> identity_;

    // A character whose event was raised when its key went down, before the
    // control acted on the key; its own message then raises nothing.
    std::optional<std::pair<WPARAM, LPARAM>> raisedAhead_;
};

} // namespace win32

} // namespace platform::forms
