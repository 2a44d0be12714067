// The text control of the driver editor over Qt: a plain-text edit control
// that keeps a file's bytes, line breaks and encoding through edits, undo and
// redo.
#pragma once

#include "platform/system/regular_file.h"
#include "platform/system/text_codec.h"

#include <QByteArray>
#include <QPlainTextEdit>
#include <QString>
#include <memory>
#include <optional>
#include <vector>

namespace platform::forms {

class RichTextBox;

namespace qt {

// The control behind a RichTextBox; what its members do is told there.
// Raises the control's KeyPress.
class TextEdit : public QPlainTextEdit {
    Q_OBJECT
public:
    using LineBreak = platform::LineBreak;
    using Encoding = platform::TextEncoding;
    using FileFormat = platform::TextFormat;

    TextEdit(QWidget* parent, RichTextBox* control);
    ~TextEdit() override;

    // Paths are the exact bytes of the file's name, which need not be UTF-8.
    bool LoadFile(const QByteArray& path, QString* error = nullptr);
    bool SaveFile(const QByteArray& path, int fileType, QString* error = nullptr);
    // A rewrite that keeps the size and sets the old modification time back
    // still moves the change time.
    bool FileChangedOnDisk() const;

    // The whole text, lines separated by '\n'.
    QString Text();
    // The replaced document is freed.
    void setText(const QString& text);
    bool Filling() const { return !pending_.isEmpty(); }
    void FinishFilling();

    const FileFormat& Format() const { return format_; }
    const QString& ReadOnlyReason() const { return readOnlyReason_; }

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

    // Raises the control's character event.
    void keyPress(int keyAscii);
    void showText(const QString& text);
    void noteContentsChange(int position, int removed, int added);
    bool replayBreakEdits(int fromSteps, int toSteps);
    void rememberFile(const QByteArray& path, const FileIdentity& identity);
    void queueNextSlice();
    void fillNextSlice();
    void fillSlice(qsizetype size);

    RichTextBox* control_;
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

} // namespace qt

} // namespace platform::forms
