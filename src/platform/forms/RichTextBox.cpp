#include "platform/forms/RichTextBox.h"

#include "platform/atomic_file.h"

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
#include <fcntl.h>
#include <functional>
#include <memory>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace platform::forms {

namespace {

// Larger files would not fit the text's string; nobody edits such a driver.
constexpr qint64 MaxFileSize = qint64(256) * 1024 * 1024;

const QByteArray Utf8Bom("\xEF\xBB\xBF", 3);

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

// How a file breaks its lines: the first break's style, and each break's
// own style when they are not all alike (empty when they are).
struct LineBreaks {
    RichTextBox::LineBreak first = RichTextBox::LineBreak::LF;
    QByteArray each; // a RichTextBox::LineBreak per break, in order
};

// CR LF and a lone CR become LF, the one break the edit control keeps; what
// each break was is noted so that a save can write it back. Works in place
// on the decoded text, so the file's bytes are neither copied nor changed.
LineBreaks ToLfBreaks(QString& text) {
    LineBreaks breaks;
    const qsizetype firstCr = text.indexOf(u'\r');
    if (firstCr < 0) {
        return breaks; // all LF, or none at all
    }
    using LB = RichTextBox::LineBreak;
    const qsizetype firstLf = text.indexOf(u'\n');
    const bool crlf = firstCr + 1 < text.size() && text.at(firstCr + 1) == u'\n';
    breaks.first = firstLf >= 0 && firstLf < firstCr ? LB::LF : crlf ? LB::CRLF : LB::CR;

    char16_t* data = reinterpret_cast<char16_t*>(text.data());
    const qsizetype size = text.size();
    qsizetype count = 0; // breaks seen so far
    auto note = [&](LB style) {
        if (style != breaks.first && breaks.each.isEmpty()) {
            breaks.each = QByteArray(count, static_cast<char>(breaks.first));
        }
        if (!breaks.each.isEmpty()) {
            breaks.each.append(static_cast<char>(style));
        }
        ++count;
    };
    // Line by line with the library's fast searches: a large file is mostly
    // moved, not looked at character by character.
    qsizetype in = 0;
    qsizetype out = 0;
    for (;;) {
        const qsizetype cr = QStringView(data + in, size - in).indexOf(u'\r');
        const qsizetype end = cr < 0 ? size : in + cr;
        for (qsizetype at = in;;) {
            const qsizetype lf = QStringView(data + at, end - at).indexOf(u'\n');
            if (lf < 0) {
                break;
            }
            note(LB::LF);
            at += lf + 1;
        }
        if (out != in) {
            std::memmove(data + out, data + in, static_cast<std::size_t>(end - in) * 2);
        }
        out += end - in;
        if (end == size) {
            break;
        }
        const bool pair = end + 1 < size && data[end + 1] == u'\n';
        note(pair ? LB::CRLF : LB::CR);
        data[out++] = u'\n';
        in = end + (pair ? 2 : 1);
    }
    text.truncate(out);
    return breaks;
}

// Characters the text control would turn into line breaks (a paragraph
// separator, and the marks it uses for frames) are shown through stand-ins
// from the private use area, and turned back when the text is written.
constexpr char16_t Separators[] = {u'\u2029', u'\uFDD0', u'\uFDD1'};
constexpr char16_t StandIns[] = {u'\uE000', u'\uE001', u'\uE002'};

bool HoldsAny(QStringView text, const char16_t (&chars)[3]) {
    for (char16_t c : chars) {
        if (text.contains(QChar(c))) {
            return true;
        }
    }
    return false;
}

// Whether UTF-8 bytes hold one of the separators (E2 80 A9, EF B7 90, EF B7 91).
// memchr finds the lead bytes quickly, and most files have none of them.
bool HoldsSeparator(QByteArrayView utf8) {
    const char* data = utf8.data();
    const char* end = data + utf8.size();
    for (const char lead : {'\xE2', '\xEF'}) {
        for (const char* at = data; (at = static_cast<const char*>(std::memchr(
                                         at, lead, static_cast<std::size_t>(end - at))));
             ++at) {
            if (end - at >= 3 &&
                (lead == '\xE2' ? at[1] == '\x80' && at[2] == '\xA9'
                                : at[1] == '\xB7' && (at[2] == '\x90' || at[2] == '\x91'))) {
                return true;
            }
        }
    }
    return false;
}

// Replaces each character of `from` by the one at the same place in `to`.
void SwapCharacters(QChar* data, qsizetype size, const char16_t (&from)[3],
                    const char16_t (&to)[3]) {
    for (qsizetype i = 0; i < size; ++i) {
        for (std::size_t k = 0; k < std::size(from); ++k) {
            if (data[i].unicode() == from[k]) {
                data[i] = QChar(to[k]);
            }
        }
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

QString Unencodable(QStringView line, qsizetype i) {
    const bool pair =
        line[i].isHighSurrogate() && i + 1 < line.size() && line[i + 1].isLowSurrogate();
    const char32_t code = pair ? QChar::surrogateToUcs4(line[i], line[i + 1]) : line[i].unicode();
    return QStringLiteral("the text holds the character \"%1\" (U+%2), which this file's "
                          "single-byte encoding cannot store")
        .arg(line.sliced(i, pair ? 2 : 1).toString())
        .arg(QString::number(static_cast<uint>(code), 16).toUpper().rightJustified(4, u'0'));
}

// Where a file's bytes go, piece by piece; false when they cannot be written.
using ByteSink = std::function<bool(const char* data, qsizetype size)>;

// Turns lines of text into a file's bytes, in the file's encoding and line
// breaks, through one small buffer: a large text is never copied whole.
class FileWriter {
public:
    FileWriter(const RichTextBox::FileFormat& format, bool standIns, ByteSink sink)
        : format_(format), standIns_(standIns), sink_(std::move(sink)),
          buffer_(BufferSize, Qt::Uninitialized) {
        if (format.byteOrderMark) {
            put(Utf8Bom.constData(), Utf8Bom.size());
        }
    }

    // Adds one line and, unless it is the last, its line break.
    bool addLine(QStringView line, std::optional<RichTextBox::LineBreak> lineBreak,
                 QString* error) {
        // A piece takes at most three bytes a character, and fits the buffer.
        constexpr qsizetype Piece = BufferSize / 4;
        for (qsizetype from = 0; from < line.size();) {
            qsizetype size = std::min(Piece, line.size() - from);
            if (from + size < line.size() && line[from + size - 1].isHighSurrogate()) {
                --size; // keep a surrogate pair together
            }
            if (!room(3 * size, error) || !encode(line.sliced(from, size), error)) {
                return false;
            }
            from += size;
        }
        if (!lineBreak) {
            return true;
        }
        switch (*lineBreak) {
        case RichTextBox::LineBreak::LF:
            return put("\n", 1, error);
        case RichTextBox::LineBreak::CR:
            return put("\r", 1, error);
        case RichTextBox::LineBreak::CRLF:
            return put("\r\n", 2, error);
        }
        return true;
    }

    // Hands over what is still in the buffer.
    bool finish(QString* error) { return flush(error); }

private:
    static constexpr qsizetype BufferSize = 256 * 1024;

    bool encode(QStringView piece, QString* error) {
        char* end = buffer_.data() + used_;
        if (format_.encoding == RichTextBox::Encoding::Latin1) {
            for (qsizetype i = 0; i < piece.size(); ++i) {
                const char16_t c = piece[i].unicode();
                if (c > 0xFF) {
                    // Writing it would silently turn it into another character.
                    SetError(error, Unencodable(piece, i));
                    return false;
                }
                *end++ = static_cast<char>(c);
            }
        } else if (standIns_ && HoldsAny(piece, StandIns)) {
            QString text = piece.toString();
            SwapCharacters(text.data(), text.size(), StandIns, Separators);
            end = encoder_.appendToBuffer(end, text);
        } else {
            end = encoder_.appendToBuffer(end, piece);
            if (encoder_.hasError()) {
                SetError(error, QStringLiteral(
                                    "the text holds a broken character that UTF-8 cannot store"));
                return false;
            }
        }
        used_ = end - buffer_.data();
        return true;
    }

    bool put(const char* data, qsizetype size, QString* error = nullptr) {
        if (!room(size, error)) {
            return false;
        }
        std::memcpy(buffer_.data() + used_, data, size);
        used_ += size;
        return true;
    }

    bool room(qsizetype size, QString* error) {
        return used_ + size <= buffer_.size() || flush(error);
    }

    bool flush(QString* error) {
        if (used_ > 0 && !sink_(buffer_.constData(), used_)) {
            SetError(error, QStringLiteral("the new content could not be written (%1)")
                                .arg(SystemError(errno)));
            return false;
        }
        used_ = 0;
        return true;
    }

    RichTextBox::FileFormat format_;
    bool standIns_;
    ByteSink sink_;
    QStringEncoder encoder_{QStringEncoder::Utf8, QStringConverter::Flag::Stateless};
    QByteArray buffer_;
    qsizetype used_ = 0;
};

bool ReadWholeFile(const QByteArray& path, QByteArray* bytes, struct stat* identity,
                   QString* error) {
    // Non-blocking, so that opening a pipe does not wait for a writer.
    const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        SetError(error, SystemError(errno));
        return false;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        SetError(error, SystemError(errno));
        ::close(fd);
        return false;
    }
    if (S_ISDIR(info.st_mode)) {
        SetError(error, QStringLiteral("it is a directory, not a file"));
        ::close(fd);
        return false;
    }
    if (!S_ISREG(info.st_mode)) {
        // A pipe or a device could block or never end.
        SetError(error, QStringLiteral("it is not a regular file"));
        ::close(fd);
        return false;
    }
    if (info.st_size > MaxFileSize) {
        SetError(error, QStringLiteral("the file is too large to edit (%1 MB)")
                            .arg(info.st_size / (1024 * 1024)));
        ::close(fd);
        return false;
    }
    QByteArray data(static_cast<qsizetype>(info.st_size), Qt::Uninitialized);
    qsizetype filled = 0;
    for (;;) {
        if (filled == data.size()) {
            if (data.size() >= MaxFileSize) {
                SetError(error, QStringLiteral("the file is too large to edit"));
                ::close(fd);
                return false;
            }
            // The file grew since fstat: read on in larger steps.
            data.resize(data.size() + 64 * 1024);
        }
        const ssize_t got =
            ::read(fd, data.data() + filled, static_cast<size_t>(data.size() - filled));
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            SetError(error, SystemError(errno));
            ::close(fd);
            return false;
        }
        if (got == 0) {
            break;
        }
        filled += got;
    }
    // What the file is now, to tell at the next save whether it was replaced.
    if (::fstat(fd, identity) != 0) {
        *identity = info;
    }
    ::close(fd);
    data.truncate(filled);
    *bytes = std::move(data);
    return true;
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

// The text read from a file's bytes, and how the file wrote it.
struct DecodedText {
    QString text;
    RichTextBox::FileFormat format;
    QByteArray lineBreaks; // each break's style, when they are mixed
    bool standIns = false;
    QString readOnlyReason;
};

DecodedText DecodeText(const QByteArray& bytes) {
    DecodedText d;
    // UTF-8 when the whole file is valid UTF-8 (an initial byte-order mark
    // kept aside); otherwise every byte is one character.
    const bool bom = bytes.startsWith(Utf8Bom);
    const QByteArrayView body =
        bom ? QByteArrayView(bytes).sliced(Utf8Bom.size()) : QByteArrayView(bytes);
    QStringDecoder decoder(QStringDecoder::Utf8, QStringConverter::Flag::ConvertInitialBom |
                                                     QStringConverter::Flag::Stateless);
    d.text = decoder.decode(body);
    if (decoder.hasError()) {
        d.format.encoding = RichTextBox::Encoding::Latin1;
        d.format.byteOrderMark = false;
        d.text = QString::fromLatin1(bytes);
    } else {
        d.format.encoding = RichTextBox::Encoding::Utf8;
        d.format.byteOrderMark = bom;
    }
    const LineBreaks breaks = ToLfBreaks(d.text);
    d.format.lineBreak = breaks.first;
    d.lineBreaks = breaks.each;

    if (d.format.encoding == RichTextBox::Encoding::Utf8 && HoldsSeparator(body)) {
        if (HoldsAny(d.text, StandIns)) {
            d.readOnlyReason = QStringLiteral(
                "the file holds characters that the editor can only show through stand-ins "
                "(U+2029, U+FDD0 and U+FDD1, shown as U+E000, U+E001 and U+E002) and also "
                "holds those stand-ins, so a change could not be saved exactly");
        } else {
            SwapCharacters(d.text.data(), d.text.size(), Separators, StandIns);
            d.standIns = true;
        }
    }
    return d;
}

struct stat StatOf(const QByteArray& path, bool* found) {
    struct stat info {};
    *found = ::stat(path.constData(), &info) == 0;
    return info;
}

} // namespace

RichTextBox::RichTextBox(QWidget* parent) : QPlainTextEdit(parent) {
    setLineWrapMode(QPlainTextEdit::NoWrap);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
}

bool RichTextBox::LoadFile(const QByteArray& path, QString* error) {
    QByteArray bytes;
    struct stat info {};
    if (!ReadWholeFile(path, &bytes, &info, error)) {
        return false;
    }
    DecodedText decoded = DecodeText(bytes);
    showText(decoded.text);
    format_ = decoded.format;
    lineBreaks_ = std::move(decoded.lineBreaks);
    standIns_ = decoded.standIns;
    readOnlyReason_ = std::move(decoded.readOnlyReason);
    loadedBytes_ = std::move(bytes);
    rememberFile(path, info);
    setReadOnly(Filling() || !readOnlyReason_.isEmpty());
    // A screen reader names the text after its file.
    setAccessibleName(QFile::decodeName(path.mid(path.lastIndexOf('/') + 1)));
    return true;
}

bool RichTextBox::SaveFile(const QByteArray& path, int fileType, QString* error) {
    if (fileType != rtfText) {
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
    bool found = false;
    const struct stat info = StatOf(path, &found);
    if (found) {
        rememberFile(path, info);
    } else {
        identity_.reset();
    }
    return true;
}

RichTextBox::FileIdentity RichTextBox::identityOf(const struct stat& info) {
    const auto ns = [](const struct timespec& t) {
        return static_cast<qint64>(t.tv_sec) * 1000000000 + t.tv_nsec;
    };
    return FileIdentity{static_cast<quint64>(info.st_dev), static_cast<quint64>(info.st_ino),
                        static_cast<qint64>(info.st_size), ns(info.st_mtim), ns(info.st_ctim)};
}

void RichTextBox::rememberFile(const QByteArray& path, const struct stat& info) {
    identityPath_ = path;
    identity_ = identityOf(info);
}

bool RichTextBox::FileChangedOnDisk() const {
    if (!identity_) {
        return false;
    }
    bool found = false;
    const struct stat info = StatOf(identityPath_, &found);
    if (!found) {
        return false; // nothing there to overwrite
    }
    return !(identityOf(info) == *identity_);
}

QString RichTextBox::Text() {
    FinishFilling();
    // The raw text keeps no-break spaces; only the block separators change.
    QString text = document()->toRawText();
    text.replace(QChar::ParagraphSeparator, QChar(u'\n'));
    if (standIns_) {
        SwapCharacters(text.data(), text.size(), StandIns, Separators);
    }
    return text;
}

void RichTextBox::setText(const QString& text) {
    // Text set from outside is no file's: it is written in the file's
    // format, with the first style of line break.
    lineBreaks_.clear();
    standIns_ = false;
    loadedBytes_.clear();
    showText(text);
    setReadOnly(Filling() || !readOnlyReason_.isEmpty());
}

void RichTextBox::showText(const QString& text) {
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
    connect(doc, &QTextDocument::contentsChange, this, &RichTextBox::noteContentsChange);
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

// Keeps the list of line breaks in step with the lines: the breaks an edit
// took away go, and the ones it made take the file's first style, so every
// other line keeps the break it had in the file. An undo or a redo gives back
// the breaks from the record of the edits it took back or made again. The
// fill only adds lines that the list already holds.
void RichTextBox::noteContentsChange(int position, int removed, int added) {
    Q_UNUSED(removed);
    QTextDocument* doc = document();
    if (sender() != doc) {
        return;
    }
    const int blocks = doc->blockCount();
    // An edit adds a step to the undo list; an undo or a redo only moves along it.
    const bool edit = std::exchange(newUndoStep_, false);
    const int stepsBefore = std::exchange(undoSteps_, doc->availableUndoSteps());
    if (Filling() || lineBreaks_.isEmpty()) {
        blocksKnown_ = blocks;
        return;
    }
    const auto lostStep = [this] {
        lineBreaks_.clear(); // every line takes the file's first style
        breakEdits_.clear();
    };
    if (!edit && undoSteps_ != stepsBefore) {
        blocksKnown_ = blocks;
        if (!replayBreakEdits(stepsBefore, undoSteps_) || lineBreaks_.size() != blocks - 1) {
            lostStep();
        }
        return;
    }
    const int line = doc->findBlock(position).blockNumber();
    const int made = doc->findBlock(position + added).blockNumber() - line;
    const int taken = blocksKnown_ - blocks + made;
    blocksKnown_ = blocks;
    if (line < 0 || made < 0 || taken < 0 || line + taken > lineBreaks_.size()) {
        lostStep();
        return;
    }
    // A new edit ends what could be redone, in the document and here.
    while (edit && !breakEdits_.empty() && breakEdits_.back().undoSteps > stepsBefore) {
        breakEdits_.pop_back();
    }
    if (taken == 0 && made == 0) {
        return;
    }
    BreakEdit change{undoSteps_, line, lineBreaks_.mid(line, taken),
                     QByteArray(made, static_cast<char>(format_.lineBreak))};
    lineBreaks_.replace(line, taken, change.made);
    if (edit) {
        breakEdits_.push_back(std::move(change));
    }
}

// Moves the line breaks from one place in the undo list to another: back
// over the edits an undo took back, or on over those a redo made again.
// False when the record does not fit the list.
bool RichTextBox::replayBreakEdits(int fromSteps, int toSteps) {
    const auto replace = [this](const BreakEdit& e, const QByteArray& now, const QByteArray& then) {
        if (e.line + now.size() > lineBreaks_.size()) {
            return false;
        }
        lineBreaks_.replace(e.line, now.size(), then);
        return true;
    };
    if (toSteps < fromSteps) {
        for (auto e = breakEdits_.rbegin(); e != breakEdits_.rend(); ++e) {
            if (e->undoSteps > toSteps && e->undoSteps <= fromSteps &&
                !replace(*e, e->made, e->taken)) {
                return false;
            }
        }
        return true;
    }
    for (const BreakEdit& e : breakEdits_) {
        if (e.undoSteps > fromSteps && e.undoSteps <= toSteps && !replace(e, e.taken, e.made)) {
            return false;
        }
    }
    return true;
}

void RichTextBox::queueNextSlice() {
    if (!sliceQueued_) {
        sliceQueued_ = true;
        QMetaObject::invokeMethod(this, &RichTextBox::fillNextSlice, Qt::QueuedConnection);
    }
}

void RichTextBox::fillNextSlice() {
    sliceQueued_ = false;
    fillSlice(Slice);
}

void RichTextBox::fillSlice(qsizetype size) {
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

void RichTextBox::FinishFilling() {
    fillSlice(pending_.size() - pendingFrom_);
}

void RichTextBox::keyPressEvent(QKeyEvent* event) {
    const int c = CharacterOf(event);
    if (Filling()) {
        // Filling the rest at once could take seconds: the key waits for
        // the last slice instead, and the window stays responsive.
        if (c) {
            emit KeyPress(c);
        }
        pendingInput_.emplace_back(event->clone());
        event->accept();
        return;
    }
    if (c) {
        emit KeyPress(c);
    }
    QPlainTextEdit::keyPressEvent(event);
}

void RichTextBox::inputMethodEvent(QInputMethodEvent* event) {
    // Characters composed by an input method are typed characters too.
    if (!event->commitString().isEmpty()) {
        emit KeyPress(event->commitString().at(0).unicode());
    }
    if (Filling()) {
        pendingInput_.emplace_back(event->clone());
        event->accept();
        return;
    }
    QPlainTextEdit::inputMethodEvent(event);
}

} // namespace platform::forms
