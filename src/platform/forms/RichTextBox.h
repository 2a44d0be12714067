// The text control of the driver editor: a plain-text edit control that loads
// a file's content as text, saves its text back to a file, and raises a
// character event for the keys that type into it.
//
// A file keeps its bytes: the control remembers how the loaded file wrote its
// line breaks and which encoding it used, and a save writes the text the same
// way, so saving an unchanged text gives back the identical file.
#pragma once

#include <QPlainTextEdit>
#include <QString>

namespace platform::forms {

class RichTextBox : public QPlainTextEdit {
    Q_OBJECT
public:
    // SaveFile's file types: rich text is not offered, only plain text.
    static constexpr int rtfRTF = 0;
    static constexpr int rtfText = 1;

    enum class LineBreak { LF, CRLF, CR };
    enum class Encoding { Utf8, Latin1 };
    // How the last loaded file wrote its text; the next save writes it so.
    struct FileFormat {
        LineBreak lineBreak = LineBreak::LF;
        Encoding encoding = Encoding::Utf8;
        bool byteOrderMark = false;
    };

    explicit RichTextBox(QWidget* parent);

    // Shows the file's content as the control's text. A file with valid UTF-8
    // is read as UTF-8, any other as single-byte text (Latin-1). Line breaks
    // take the style of the file's first one. On failure the text is left as
    // it was, the reason goes to *error and false comes back.
    bool LoadFile(const QString& path, QString* error = nullptr);

    // Replaces the file with the control's text, in the loaded file's format.
    // The new content is written to a temporary file beside it, flushed to
    // disk and renamed over the old one, which keeps its permission bits; a
    // failure leaves the old file whole and no temporary file behind, puts the
    // reason in *error and returns false. Only fileType rtfText is supported.
    bool SaveFile(const QString& path, int fileType, QString* error = nullptr);

    // The whole text, lines separated by '\n'.
    QString Text();
    // A large text is shown from its first part at once; the rest follows in
    // slices from the event loop, while the control is read-only. A key press,
    // Text() and SaveFile() complete it first.
    void setText(const QString& text);
    // True while the rest of a large text is still being filled in.
    bool Filling() const { return !pending_.isEmpty(); }
    // Fills in the rest of a large text now.
    void FinishFilling();

    const FileFormat& Format() const { return format_; }

signals:
    // The character event: a key that types a character, Enter, Backspace or
    // Ctrl+letter, raised before the control handles the key. Delete, the
    // cursor keys and changes made with the mouse do not raise it.
    void KeyPress(int keyAscii);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;

private:
    void queueNextSlice();
    void fillNextSlice();
    void fillSlice(qsizetype size);

    FileFormat format_;
    QString pending_;           // the text being filled in
    qsizetype pendingFrom_ = 0; // how much of it the document holds
    bool sliceQueued_ = false;
};

} // namespace platform::forms
