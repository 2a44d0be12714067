#include "platform/forms/qt/TextEdit.h"

#include "platform/forms/RichTextBox.h"
#include "platform/system/atomic_file.h"

#include <QFile>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QPlainTextDocumentLayout>
#include <QStringDecoder>
#include <QStringEncoder>
#include <QTextBlock>
#include <QTextDocument>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <functional>
#include <memory>
#include <optional>
#include <utility>

namespace platform::forms::qt {

namespace {

// Larger files would not fit the text's string; nobody edits such a driver.
constexpr qint64 MaxFileSize = qint64(256) * 1024 * 1024;

// A large text is shown from this many characters at once, and filled in by
// slices of the second size: each costs about 25 ms, so the window stays
// responsive (well under 100 ms a step, even on a busy machine) while a
// large driver fills in.
constexpr qsizetype FirstSlice = 256 * 1024;
constexpr qsizetype Slice = 512 * 1024;

QString SystemError(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

void SetError(QString* error, const QString& text) {
    if (error) {
        *error = text;
    }
}

// Where a slice of at most `size` characters from `from` ends: after a line
// break when there is one, never between the halves of a surrogate pair.
qsizetype SliceEnd(const QString& text, qsizetype from, qsizetype size) {
    if (text.size() - from <= size) {
        return text.size();
    }
    const qsizetype lastBreak = text.lastIndexOf(QChar(u'\n'), from + size - 1);
    if (lastBreak >= from) {
        return lastBreak + 1;
    }
    qsizetype end = from + size;
    if (text.at(end - 1).isHighSurrogate()) {
        --end;
    }
    return end;
}

// Replaces each character of `of` in the text by the one at the same place in `by`.
void SwapCharacters(QString& text, const char32_t (&of)[3], const char32_t (&by)[3]) {
    for (std::size_t k = 0; k < std::size(of); ++k) {
        text.replace(QChar(static_cast<char16_t>(of[k])), QChar(static_cast<char16_t>(by[k])));
    }
}

QString Unencodable(char32_t code) {
    const QString character =
        code > 0xFFFF ? QString::fromUcs4(&code, 1) : QString(QChar(static_cast<char16_t>(code)));
    return QStringLiteral("the text holds the character \"%1\" (U+%2), which this file's "
                          "single-byte encoding cannot store")
        .arg(character)
        .arg(QString::number(static_cast<uint>(code), 16).toUpper().rightJustified(4, u'0'));
}

// The first character above U+00FF, as a single-byte file cannot store it.
char32_t FirstWide(QStringView text) {
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i].unicode() > 0xFF) {
            const bool pair =
                text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate();
            return pair ? QChar::surrogateToUcs4(text[i], text[i + 1]) : text[i].unicode();
        }
    }
    return U'\uFFFD';
}

// Where a file's bytes go, piece by piece; false when they cannot be written.
using ByteSink = std::function<bool(const char* data, qsizetype size)>;

// Turns lines of text into a file's bytes, in the file's encoding and line
// breaks (platform/system/text_codec.h), through one small buffer: a large
// text is never copied whole.
class FileWriter {
public:
    FileWriter(const TextEdit::FileFormat& format, bool standIns, ByteSink sink)
        : format_(format), standIns_(standIns), sink_(std::move(sink)) {
        if (format.byteOrderMark) {
            buffer_.append(platform::Utf8ByteOrderMark);
        }
    }

    // Adds one line and, unless it is the last, its line break.
    bool addLine(QStringView line, std::optional<TextEdit::LineBreak> lineBreak, QString* error) {
        // A piece takes at most three bytes a character.
        constexpr qsizetype Piece = BufferSize / 4;
        for (qsizetype from = 0; from < line.size();) {
            qsizetype size = std::min(Piece, line.size() - from);
            if (from + size < line.size() && line[from + size - 1].isHighSurrogate()) {
                --size; // keep a surrogate pair together
            }
            if (!encode(line.sliced(from, size), error) || !room(error)) {
                return false;
            }
            from += size;
        }
        if (lineBreak) {
            buffer_.append(platform::LineBreakBytes(*lineBreak));
        }
        return room(error);
    }

    // Hands over what is still in the buffer.
    bool finish(QString* error) { return flush(error); }

private:
    static constexpr qsizetype BufferSize = 256 * 1024;

    bool encode(QStringView piece, QString* error) {
        // Grown once to the largest piece, never cleared: no bytes are zeroed.
        utf8_.resize(std::max(utf8_.size(), static_cast<std::size_t>(3 * piece.size())));
        const std::string_view utf8(
            utf8_.data(),
            static_cast<std::size_t>(encoder_.appendToBuffer(utf8_.data(), piece) - utf8_.data()));
        if (encoder_.hasError()) {
            SetError(error, format_.encoding == TextEdit::Encoding::Latin1
                                ? Unencodable(FirstWide(piece))
                                : QStringLiteral("the text holds a broken character that UTF-8 "
                                                 "cannot store"));
            return false;
        }
        char32_t refused = 0;
        if (!platform::EncodeText(utf8, format_, standIns_, buffer_, &refused)) {
            SetError(error, Unencodable(refused));
            return false;
        }
        return true;
    }

    // Flushes a full buffer.
    bool room(QString* error) {
        return buffer_.size() < static_cast<std::size_t>(BufferSize) || flush(error);
    }

    bool flush(QString* error) {
        if (!buffer_.empty() && !sink_(buffer_.data(), static_cast<qsizetype>(buffer_.size()))) {
            SetError(error, QStringLiteral("the new content could not be written (%1)")
                                .arg(SystemError(errno)));
            return false;
        }
        buffer_.clear();
        return true;
    }

    TextEdit::FileFormat format_;
    bool standIns_;
    ByteSink sink_;
    QStringEncoder encoder_{QStringEncoder::Utf8, QStringConverter::Flag::Stateless};
    std::string utf8_;   // room for the piece being encoded, as UTF-8
    std::string buffer_; // the file's bytes not yet handed over
};

// The driver's bytes, and the file as read, to tell at the next save whether
// it was replaced; false with `*error` set when it cannot be edited.
bool ReadWholeFile(const QByteArray& path, QByteArray* bytes, FileIdentity* identity,
                   QString* error) {
    RegularFile file = ReadRegularFile(path.constData(), MaxFileSize);
    switch (file.status) {
    case RegularFile::Status::Read:
        *bytes = QByteArray::fromStdString(file.bytes);
        *identity = file.identity;
        return true;
    case RegularFile::Status::Directory:
        SetError(error, QStringLiteral("it is a directory, not a file"));
        return false;
    case RegularFile::Status::NotRegular:
        // A pipe or a device could block or never end.
        SetError(error, QStringLiteral("it is not a regular file"));
        return false;
    case RegularFile::Status::TooLarge:
        SetError(error, file.identity.size > MaxFileSize
                            ? QStringLiteral("the file is too large to edit (%1 MB)")
                                  .arg(file.identity.size / (1024 * 1024))
                            : QStringLiteral("the file is too large to edit"));
        return false;
    default:
        SetError(error, SystemError(file.systemError));
        return false;
    }
}

// The character a key types, as the character event reports it; 0 for keys
// that type none (Delete, cursor and function keys, Alt combinations).
int CharacterOf(const QKeyEvent* event) {
    const Qt::KeyboardModifiers modifiers = event->modifiers();
    const bool ctrl = modifiers & Qt::ControlModifier;
    const bool alt = modifiers & Qt::AltModifier;
    if ((alt && !ctrl) || (modifiers & Qt::MetaModifier)) {
        return 0; // menu access keys and system shortcuts
    }
    const int key = event->key();
    switch (key) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return ctrl ? 10 : 13;
    case Qt::Key_Backspace:
        return 8;
    case Qt::Key_Tab:
        return ctrl ? 0 : 9;
    case Qt::Key_Escape:
        return 27;
    case Qt::Key_Delete:
        return 0;
    default:
        break;
    }
    if (ctrl && !alt) {
        return key >= Qt::Key_A && key <= Qt::Key_Z ? key - Qt::Key_A + 1 : 0;
    }
    const QString text = event->text();
    if (text.isEmpty()) {
        return 0;
    }
    const char16_t c = text.at(0).unicode();
    if (c < 0x20 || (c >= 0x7F && c < 0xA0)) {
        return 0;
    }
    return c;
}

// Replaces the file at path with what `produce` writes into the sink it is
// given, through the program's one safe save.
bool ReplaceFile(const QByteArray& path,
                 const std::function<bool(const ByteSink& sink, QString* error)>& produce,
                 QString* error) {
    platform::AtomicFile file(path.toStdString());
    const auto reason = [&file] { return QString::fromStdString(file.Reason()); };
    if (!file.Open()) {
        SetError(error, reason());
        return false;
    }
    const ByteSink sink = [&file](const char* data, qsizetype size) {
        return file.Write(std::string_view(data, static_cast<std::size_t>(size)));
    };
    QString why;
    if (!produce(sink, &why)) {
        // A write that failed has the safe save's own reason.
        SetError(error, file.Reason().empty() ? why : reason());
        file.Abandon();
        return false;
    }
    if (!file.Commit()) {
        SetError(error, reason());
        return false;
    }
    return true;
}

} // namespace

TextEdit::TextEdit(QWidget* parent, RichTextBox* control)
    : QPlainTextEdit(parent), control_(control) {
    setLineWrapMode(QPlainTextEdit::NoWrap);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
}

TextEdit::~TextEdit() {
    // The control may be on its way out too: it hears of nothing from here on.
    control_ = nullptr;
}

void TextEdit::keyPress(int keyAscii) {
    if (control_ && control_->KeyPress) {
        control_->KeyPress(keyAscii);
    }
}

bool TextEdit::LoadFile(const QByteArray& path, QString* error) {
    QByteArray bytes;
    FileIdentity identity;
    if (!ReadWholeFile(path, &bytes, &identity, error)) {
        return false;
    }
    platform::DecodedText decoded =
        platform::DecodeText(std::string_view(bytes.constData(), bytes.size()));
    // A second byte-order mark is text, kept as U+FEFF.
    QStringDecoder decoder(QStringDecoder::Utf8, QStringConverter::Flag::ConvertInitialBom |
                                                     QStringConverter::Flag::Stateless);
    showText(decoder.decode(QByteArrayView(decoded.text)));
    format_ = decoded.format;
    lineBreaks_ = QByteArray::fromStdString(decoded.lineBreaks);
    standIns_ = decoded.standIns;
    readOnlyReason_ =
        decoded.standInsClash
            ? QStringLiteral(
                  "the file holds characters that the editor can only show through stand-ins "
                  "(U+2029, U+FDD0 and U+FDD1, shown as U+E000, U+E001 and U+E002) and also "
                  "holds those stand-ins, so a change could not be saved exactly")
            : QString();
    loadedBytes_ = std::move(bytes);
    rememberFile(path, identity);
    setReadOnly(Filling() || !readOnlyReason_.isEmpty());
    // A screen reader names the text after its file.
    setAccessibleName(QFile::decodeName(path.mid(path.lastIndexOf('/') + 1)));
    return true;
}

bool TextEdit::SaveFile(const QByteArray& path, int fileType, QString* error) {
    if (fileType != RichTextBox::rtfText) {
        SetError(error, QStringLiteral("only plain text can be saved"));
        return false;
    }
    FinishFilling();
    // Text not changed since it was loaded goes back as the very bytes it
    // came from.
    const bool unchanged = !loadedBytes_.isNull() && !document()->isModified();
    // Block by block: the document's text is never gathered in one string.
    const QTextDocument* doc = document();
    const bool saved = ReplaceFile(
        path,
        [this, doc, unchanged](const ByteSink& sink, QString* why) {
            if (unchanged) {
                if (!sink(loadedBytes_.constData(), loadedBytes_.size())) {
                    SetError(why, QStringLiteral("the new content could not be written (%1)")
                                      .arg(SystemError(errno)));
                    return false;
                }
                return true;
            }
            FileWriter writer(format_, standIns_, sink);
            // A line read from the file keeps its own break; a new one takes
            // the file's first style.
            const bool ownBreaks = lineBreaks_.size() == doc->blockCount() - 1;
            for (QTextBlock block = doc->begin(); block.isValid();) {
                const QTextBlock next = block.next();
                const int style =
                    ownBreaks && next.isValid() ? lineBreaks_.at(block.blockNumber()) : -1;
                const LineBreak lineBreak =
                    style >= 0 && style <= 2 ? static_cast<LineBreak>(style) : format_.lineBreak;
                if (!writer.addLine(block.text(),
                                    next.isValid() ? std::optional(lineBreak) : std::nullopt,
                                    why)) {
                    return false;
                }
                block = next;
            }
            return writer.finish(why);
        },
        error);
    if (!saved) {
        return false;
    }
    if (!unchanged) {
        loadedBytes_.clear();
    }
    document()->setModified(false);
    if (const std::optional<FileIdentity> saved = FileIdentityOf(path.constData())) {
        rememberFile(path, *saved);
    } else {
        identity_.reset();
    }
    return true;
}

void TextEdit::rememberFile(const QByteArray& path, const FileIdentity& identity) {
    identityPath_ = path;
    identity_ = identity;
}

bool TextEdit::FileChangedOnDisk() const {
    if (!identity_) {
        return false;
    }
    const std::optional<FileIdentity> now = FileIdentityOf(identityPath_.constData());
    if (!now) {
        return false; // nothing there to overwrite
    }
    return !(*now == *identity_);
}

QString TextEdit::Text() {
    FinishFilling();
    // The raw text keeps no-break spaces; only the block separators change.
    QString text = document()->toRawText();
    text.replace(QChar::ParagraphSeparator, QChar(u'\n'));
    if (standIns_) {
        SwapCharacters(text, platform::StandInCharacters, platform::SeparatorCharacters);
    }
    return text;
}

void TextEdit::setText(const QString& text) {
    // Text set from outside is no file's: it is written in the file's
    // format, with the first style of line break.
    lineBreaks_.clear();
    standIns_ = false;
    loadedBytes_.clear();
    showText(text);
    setReadOnly(Filling() || !readOnlyReason_.isEmpty());
}

void TextEdit::showText(const QString& text) {
    pending_.clear();
    pendingFrom_ = 0;
    pendingInput_.clear();
    // A fresh document filled before it is shown is far quicker for a large
    // text than filling the one on screen, and starts with an empty undo list.
    auto* doc = new QTextDocument(this);
    doc->setDocumentLayout(new QPlainTextDocumentLayout(doc));
    doc->setDefaultFont(font());
    doc->setUndoRedoEnabled(false);
    const qsizetype first = SliceEnd(text, 0, FirstSlice);
    doc->setPlainText(first == text.size() ? text : text.left(first));
    // The control frees only the document it made itself; ours go here.
    QTextDocument* old = document();
    const bool ours = old && old->parent() == this;
    setDocument(doc);
    if (ours) {
        delete old;
    }
    connect(doc, &QTextDocument::contentsChange, this, &TextEdit::noteContentsChange);
    connect(doc, &QTextDocument::undoCommandAdded, this, [this] { newUndoStep_ = true; });
    blocksKnown_ = doc->blockCount();
    breakEdits_.clear();
    undoSteps_ = 0;
    newUndoStep_ = false;
    if (first == text.size()) {
        doc->setUndoRedoEnabled(true);
        doc->setModified(false);
        return;
    }
    // The rest is filled in while nothing can be changed, so that the undo
    // list never holds part of the file.
    pending_ = text;
    pendingFrom_ = first;
    queueNextSlice();
}

void TextEdit::queueNextSlice() {
    if (!sliceQueued_) {
        sliceQueued_ = true;
        QMetaObject::invokeMethod(this, &TextEdit::fillNextSlice, Qt::QueuedConnection);
    }
}

void TextEdit::fillNextSlice() {
    sliceQueued_ = false;
    fillSlice(Slice);
}

void TextEdit::fillSlice(qsizetype size) {
    if (pending_.isEmpty()) {
        return;
    }
    const qsizetype end = SliceEnd(pending_, pendingFrom_, size);
    QTextCursor cursor(document());
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(pending_.mid(pendingFrom_, end - pendingFrom_));
    pendingFrom_ = end;
    if (pendingFrom_ < pending_.size()) {
        queueNextSlice();
        return;
    }
    pending_.clear();
    pendingFrom_ = 0;
    document()->setUndoRedoEnabled(true);
    document()->setModified(false);
    setReadOnly(!readOnlyReason_.isEmpty());
    // Keys pressed meanwhile act now, in the order they came.
    const std::vector<std::unique_ptr<QEvent>> input = std::move(pendingInput_);
    pendingInput_.clear();
    for (const std::unique_ptr<QEvent>& event : input) {
        if (event->type() == QEvent::InputMethod) {
            QPlainTextEdit::inputMethodEvent(static_cast<QInputMethodEvent*>(event.get()));
        } else {
            QPlainTextEdit::keyPressEvent(static_cast<QKeyEvent*>(event.get()));
        }
    }
}

void TextEdit::FinishFilling() {
    fillSlice(pending_.size() - pendingFrom_);
}

void TextEdit::keyPressEvent(QKeyEvent* event) {
    const int c = CharacterOf(event);
    if (Filling()) {
        // Filling the rest at once could take seconds: the key waits for
        // the last slice instead, and the window stays responsive.
        if (c) {
            keyPress(c);
        }
        pendingInput_.emplace_back(event->clone());
        event->accept();
        return;
    }
    if (c) {
        keyPress(c);
    }
    QPlainTextEdit::keyPressEvent(event);
}

void TextEdit::inputMethodEvent(QInputMethodEvent* event) {
    // Characters composed by an input method are typed characters too.
    if (!event->commitString().isEmpty()) {
        keyPress(event->commitString().at(0).unicode());
    }
    if (Filling()) {
        pendingInput_.emplace_back(event->clone());
        event->accept();
        return;
    }
    QPlainTextEdit::inputMethodEvent(event);
}

} // namespace platform::forms::qt
