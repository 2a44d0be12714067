// The text control of the driver editor: a plain-text edit control that loads
// a file's content as text, saves its text back to a file, and raises a
// character event for the keys that type into it.
//
// A file keeps its bytes: text not changed since it was loaded is saved as the
// very bytes it came from; changed text keeps the file's encoding and each
// line's own line break, and new lines take the style of the file's first one.
#pragma once

#include "platform/system/regular_file.h"
#include "platform/system/text_codec.h"

#include <QByteArray>
#include <QPlainTextEdit>
#include <QString>
#include <memory>
#include <optional>
#include <vector>

struct stat;

namespace platform::forms {

class RichTextBox : public QPlainTextEdit {
    Q_OBJECT
public:
    // SaveFile's file types: rich text is not offered, only plain text.
    static constexpr int rtfRTF = 0;
    static constexpr int rtfText = 1;

    using LineBreak = platform::LineBreak;
    using Encoding = platform::TextEncoding;
    // How the last loaded file wrote its text; the next save writes it so.
    using FileFormat = platform::TextFormat;

    explicit RichTextBox(QWidget* parent);

    // Paths are the exact bytes of the file's name, which need not be UTF-8.

    // Shows the file's content as the control's text. A file with valid UTF-8
    // is read as UTF-8, any other as single-byte text (Latin-1). CR LF and CR
    // breaks are shown as LF, and U+2029, U+FDD0 and U+FDD1, which the control
    // would turn into line breaks, as the stand-ins U+E000, U+E001 and U+E002.
    // A file that holds both is shown read-only (ReadOnlyReason says why).
    // On failure the text is left as it was, the reason goes to *error and
    // false comes back.
    bool LoadFile(const QByteArray& path, QString* error = nullptr);

    // Replaces the file with the control's text, in the loaded file's format,
    // through the program's safe save (platform/system/atomic_file.h): a read-only
    // file is refused, and a failure leaves the old file whole and no
    // temporary file behind, puts the reason in *error and returns false.
    // Only fileType rtfText is supported.
    bool SaveFile(const QByteArray& path, int fileType, QString* error = nullptr);

    // Whether the file last loaded or saved has been replaced or rewritten
    // since (its device, inode, size, modification time or change time
    // differ; a rewrite that keeps the size and sets the old modification
    // time back still moves the change time). A file that is gone counts as
    // unchanged: there is nothing to overwrite.
    bool FileChangedOnDisk() const;

    // The whole text, lines separated by '\n'.
    QString Text();
    // A large text is shown from its first part at once; the rest follows in
    // slices from the event loop, while the control is read-only. A key
    // pressed meanwhile raises its event at once and acts after the last
    // slice; Text() and SaveFile() fill in the rest first. The replaced
    // document is freed.
    void setText(const QString& text);
    // True while the rest of a large text is still being filled in.
    bool Filling() const { return !pending_.isEmpty(); }
    // Fills in the rest of a large text now.
    void FinishFilling();

    const FileFormat& Format() const { return format_; }
    // Why the loaded file can only be read, or empty.
    const QString& ReadOnlyReason() const { return readOnlyReason_; }

signals:
    // The character event: a key that types a character, Enter, Backspace or
    // Ctrl+letter, raised before the control handles the key. Delete, the
    // cursor keys and changes made with the mouse do not raise it.
    void KeyPress(int keyAscii);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;

private:
    // What one edit did to the line breaks, kept so that undo and redo give
    // back the breaks the text had.
    struct BreakEdit {
        int undoSteps; // the document's undo steps once the edit was made
        int line;      // the first line whose break changed
        QByteArray taken;
        QByteArray made;
    };

    void showText(const QString& text);
    void noteContentsChange(int position, int removed, int added);
    bool replayBreakEdits(int fromSteps, int toSteps);
    void rememberFile(const QByteArray& path, const FileIdentity& identity);
    void queueNextSlice();
    void fillNextSlice();
    void fillSlice(qsizetype size);

    FileFormat format_;
    QByteArray lineBreaks_; // the break after each line, when the file mixes them
    int blocksKnown_ = 0;   // the document's lines when lineBreaks_ last matched it
    bool standIns_ = false; // separators are shown as stand-ins

    std::vector<BreakEdit> breakEdits_; // in the order of the undo list
    int undoSteps_ = 0;                 // the document's undo steps when lineBreaks_ matched it
    bool newUndoStep_ = false;          // an edit, not an undo or redo, added to the undo list

    QString readOnlyReason_;
    QByteArray loadedBytes_; // the file as loaded, while the text is as loaded
    QByteArray identityPath_;
    std::optional<FileIdentity> identity_;
    QString pending_;                                   // the text being filled in
    qsizetype pendingFrom_ = 0;                         // how much of it the document holds
    std::vector<std::unique_ptr<QEvent>> pendingInput_; // keys pressed meanwhile
    bool sliceQueued_ = false;
};

} // namespace platform::forms
