#include "platform/forms/RichTextBox.h"

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
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <sys/stat.h>
#include <unistd.h>

namespace platform::forms {

namespace {

// Larger files would not fit the text's string; nobody edits such a driver.
constexpr qint64 MaxFileSize = qint64(256) * 1024 * 1024;

const QByteArray Utf8Bom("\xEF\xBB\xBF", 3);

// A large text is shown from this many characters at once, and filled in by
// slices of the second size: each costs tens of milliseconds, so the window
// stays responsive while a 10 MB driver fills in.
constexpr qsizetype FirstSlice = 256 * 1024;
constexpr qsizetype Slice = 1024 * 1024;

QString systemError(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

void setError(QString* error, const QString& text) {
    if (error) {
        *error = text;
    }
}

// The file's first line break decides the style of all of them.
RichTextBox::LineBreak firstLineBreak(const QByteArray& bytes) {
    const char* data = bytes.constData();
    const qsizetype size = bytes.size();
    for (qsizetype i = 0; i < size; ++i) {
        if (data[i] == '\n') {
            return RichTextBox::LineBreak::LF;
        }
        if (data[i] == '\r') {
            return i + 1 < size && data[i + 1] == '\n' ? RichTextBox::LineBreak::CRLF
                                                       : RichTextBox::LineBreak::CR;
        }
    }
    return RichTextBox::LineBreak::LF;
}

// CR LF and a lone CR become LF, the one break the edit control keeps.
// Both are single bytes in UTF-8 and in Latin-1, so this works on the bytes,
// in place: a large file is not copied once more.
void toLfBreaks(QByteArray& bytes) {
    const qsizetype first = bytes.indexOf('\r');
    if (first < 0) {
        return;
    }
    char* data = bytes.data();
    const qsizetype size = bytes.size();
    qsizetype n = first;
    for (qsizetype i = first; i < size; ++i) {
        if (data[i] == '\r') {
            data[n++] = '\n';
            if (i + 1 < size && data[i + 1] == '\n') {
                ++i;
            }
        } else {
            data[n++] = data[i];
        }
    }
    bytes.truncate(n);
}

// Where a slice of at most `size` characters from `from` ends: after a line
// break when there is one, never between the halves of a surrogate pair.
qsizetype sliceEnd(const QString& text, qsizetype from, qsizetype size) {
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

QString unencodable(QStringView line, qsizetype i) {
    const bool pair =
        line[i].isHighSurrogate() && i + 1 < line.size() && line[i + 1].isLowSurrogate();
    const char32_t code = pair ? QChar::surrogateToUcs4(line[i], line[i + 1]) : line[i].unicode();
    return QStringLiteral("the text holds the character \"%1\" (U+%2), which this file's "
                          "single-byte encoding cannot store")
        .arg(line.sliced(i, pair ? 2 : 1).toString())
        .arg(QString::number(static_cast<uint>(code), 16).toUpper().rightJustified(4, u'0'));
}

// Where a file's bytes go, piece by piece; false (errno set) when they
// cannot be written.
using ByteSink = std::function<bool(const char* data, qsizetype size)>;

// Turns lines of text into a file's bytes, in the file's encoding and line
// breaks, through one small buffer: a large text is never copied whole.
class FileWriter {
public:
    FileWriter(const RichTextBox::FileFormat& format, ByteSink sink)
        : format_(format), sink_(std::move(sink)), buffer_(BufferSize, Qt::Uninitialized) {
        if (format.byteOrderMark) {
            put(Utf8Bom.constData(), Utf8Bom.size());
        }
    }

    // Adds one line and, unless it is the last, a line break.
    bool addLine(QStringView line, bool lineBreak, QString* error) {
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
        switch (format_.lineBreak) {
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
                    setError(error, unencodable(piece, i));
                    return false;
                }
                *end++ = static_cast<char>(c);
            }
        } else {
            end = encoder_.appendToBuffer(end, piece);
            if (encoder_.hasError()) {
                setError(error, QStringLiteral(
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
            setError(error, QStringLiteral("the new content could not be written (%1)")
                                .arg(systemError(errno)));
            return false;
        }
        used_ = 0;
        return true;
    }

    RichTextBox::FileFormat format_;
    ByteSink sink_;
    QStringEncoder encoder_{QStringEncoder::Utf8, QStringConverter::Flag::Stateless};
    QByteArray buffer_;
    qsizetype used_ = 0;
};

bool readWholeFile(const QString& path, QByteArray* bytes, QString* error) {
    const QByteArray name = QFile::encodeName(path);
    // Non-blocking, so that opening a pipe does not wait for a writer.
    const int fd = ::open(name.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        setError(error, systemError(errno));
        return false;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        setError(error, systemError(errno));
        ::close(fd);
        return false;
    }
    if (S_ISDIR(info.st_mode)) {
        setError(error, QStringLiteral("it is a directory, not a file"));
        ::close(fd);
        return false;
    }
    if (!S_ISREG(info.st_mode)) {
        // A pipe or a device could block or never end.
        setError(error, QStringLiteral("it is not a regular file"));
        ::close(fd);
        return false;
    }
    if (info.st_size > MaxFileSize) {
        setError(error, QStringLiteral("the file is too large to edit (%1 MB)")
                            .arg(info.st_size / (1024 * 1024)));
        ::close(fd);
        return false;
    }
    QByteArray data(static_cast<qsizetype>(info.st_size), Qt::Uninitialized);
    qsizetype filled = 0;
    for (;;) {
        if (filled == data.size()) {
            if (data.size() >= MaxFileSize) {
                setError(error, QStringLiteral("the file is too large to edit"));
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
            setError(error, systemError(errno));
            ::close(fd);
            return false;
        }
        if (got == 0) {
            break;
        }
        filled += got;
    }
    ::close(fd);
    data.truncate(filled);
    *bytes = std::move(data);
    return true;
}

mode_t defaultFileMode() {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

bool writeAll(int fd, const char* data, qsizetype size) {
    while (size > 0) {
        const ssize_t written = ::write(fd, data, static_cast<size_t>(size));
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        data += written;
        size -= written;
    }
    return true;
}

// The character a key types, as the character event reports it; 0 for keys
// that type none (Delete, cursor and function keys, Alt combinations).
int characterOf(const QKeyEvent* event) {
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
// given: a temporary file beside it, flushed to disk and renamed over it.
bool replaceFile(const QString& path,
                 const std::function<bool(const ByteSink& sink, QString* error)>& produce,
                 QString* error) {
    QByteArray target = QFile::encodeName(path);
    if (target.isEmpty()) {
        setError(error, QStringLiteral("no file name was given"));
        return false;
    }
    // Through a symbolic link the link stays and the file it names is replaced.
    if (char* resolved = ::realpath(target.constData(), nullptr)) {
        target = resolved;
        std::free(resolved);
    }

    struct stat old {};
    const bool exists = ::stat(target.constData(), &old) == 0;
    if (exists && S_ISDIR(old.st_mode)) {
        setError(error, QStringLiteral("it is a directory, not a file"));
        return false;
    }
    if (exists && !S_ISREG(old.st_mode)) {
        setError(error, QStringLiteral("it is not a regular file"));
        return false;
    }

    const qsizetype slash = target.lastIndexOf('/');
    const QByteArray dir = slash < 0    ? QByteArray(".")
                           : slash == 0 ? QByteArray("/")
                                        : target.left(slash);
    const QByteArray base = slash < 0 ? target : target.mid(slash + 1);
    QByteArray temp = dir + (dir.endsWith('/') ? "." : "/.") + base + ".tavro-XXXXXX";
    const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0) {
        setError(error, QStringLiteral("no temporary file could be made beside it (%1)")
                            .arg(systemError(errno)));
        return false;
    }

    auto fail = [&](const QString& step, int code, bool open) {
        if (open) {
            ::close(fd);
        }
        ::unlink(temp.constData());
        setError(error, QStringLiteral("%1 (%2)").arg(step, systemError(code)));
        return false;
    };

    const ByteSink sink = [fd](const char* data, qsizetype size) {
        return writeAll(fd, data, size);
    };
    if (!produce(sink, error)) {
        ::close(fd);
        ::unlink(temp.constData());
        return false;
    }
    const mode_t mode = exists ? (old.st_mode & 07777) : defaultFileMode();
    if (::fchmod(fd, mode) != 0) {
        return fail(QStringLiteral("the file's permissions could not be kept"), errno, true);
    }
    if (exists && (old.st_uid != ::geteuid() || old.st_gid != ::getegid())) {
        // Keeping the owner needs rights we may not have; the content matters more.
        if (::fchown(fd, old.st_uid, old.st_gid) != 0) {
            errno = 0;
        }
    }
    if (::fsync(fd) != 0) {
        return fail(QStringLiteral("the new content could not be flushed to disk"), errno, true);
    }
    if (::close(fd) != 0) {
        return fail(QStringLiteral("the new content could not be written"), errno, false);
    }
    if (::rename(temp.constData(), target.constData()) != 0) {
        return fail(QStringLiteral("the old file could not be replaced"), errno, false);
    }
    // The rename itself reaches the disk with the directory.
    const int dirFd = ::open(dir.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        ::fsync(dirFd);
        ::close(dirFd);
    }
    return true;
}

// The text and format read from a file's bytes.
QString decodeText(QByteArray bytes, RichTextBox::FileFormat* format) {
    RichTextBox::FileFormat f;
    f.lineBreak = firstLineBreak(bytes);
    toLfBreaks(bytes);

    // UTF-8 when the whole file is valid UTF-8 (an initial byte-order mark
    // kept aside); otherwise every byte is one character.
    const bool bom = bytes.startsWith(Utf8Bom);
    const QByteArrayView body =
        bom ? QByteArrayView(bytes).sliced(Utf8Bom.size()) : QByteArrayView(bytes);
    QStringDecoder decoder(QStringDecoder::Utf8, QStringConverter::Flag::ConvertInitialBom |
                                                     QStringConverter::Flag::Stateless);
    QString text = decoder.decode(body);
    if (decoder.hasError()) {
        f.encoding = RichTextBox::Encoding::Latin1;
        f.byteOrderMark = false;
        text = QString::fromLatin1(bytes);
    } else {
        f.encoding = RichTextBox::Encoding::Utf8;
        f.byteOrderMark = bom;
    }
    if (format) {
        *format = f;
    }
    return text;
}

} // namespace

RichTextBox::RichTextBox(QWidget* parent) : QPlainTextEdit(parent) {
    setLineWrapMode(QPlainTextEdit::NoWrap);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
}

bool RichTextBox::LoadFile(const QString& path, QString* error) {
    QByteArray bytes;
    if (!readWholeFile(path, &bytes, error)) {
        return false;
    }
    FileFormat format;
    const QString text = decodeText(std::move(bytes), &format);
    setText(text);
    format_ = format;
    return true;
}

bool RichTextBox::SaveFile(const QString& path, int fileType, QString* error) {
    if (fileType != rtfText) {
        setError(error, QStringLiteral("only plain text can be saved"));
        return false;
    }
    FinishFilling();
    // Block by block: the document's text is never gathered in one string.
    const QTextDocument* doc = document();
    return replaceFile(
        path,
        [this, doc](const ByteSink& sink, QString* why) {
            FileWriter writer(format_, sink);
            for (QTextBlock block = doc->begin(); block.isValid();) {
                const QTextBlock next = block.next();
                if (!writer.addLine(block.text(), next.isValid(), why)) {
                    return false;
                }
                block = next;
            }
            return writer.finish(why);
        },
        error);
}

QString RichTextBox::Text() {
    FinishFilling();
    // The raw text keeps no-break spaces; only the block separators change.
    QString text = document()->toRawText();
    text.replace(QChar::ParagraphSeparator, QChar(u'\n'));
    return text;
}

void RichTextBox::setText(const QString& text) {
    const bool wasFilling = Filling();
    pending_.clear();
    pendingFrom_ = 0;
    // A fresh document filled before it is shown is far quicker for a large
    // text than filling the one on screen, and starts with an empty undo list.
    auto* doc = new QTextDocument(this);
    doc->setDocumentLayout(new QPlainTextDocumentLayout(doc));
    doc->setDefaultFont(font());
    doc->setUndoRedoEnabled(false);
    const qsizetype first = sliceEnd(text, 0, FirstSlice);
    doc->setPlainText(first == text.size() ? text : text.left(first));
    setDocument(doc); // deletes the previous document, a child of this control
    if (first == text.size()) {
        doc->setUndoRedoEnabled(true);
        if (wasFilling) {
            setReadOnly(false);
        }
        return;
    }
    // The rest is filled in while nothing can be changed, so that the undo
    // list never holds part of the file.
    pending_ = text;
    pendingFrom_ = first;
    setReadOnly(true);
    queueNextSlice();
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
    const qsizetype end = sliceEnd(pending_, pendingFrom_, size);
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
    setReadOnly(false);
}

void RichTextBox::FinishFilling() {
    fillSlice(pending_.size() - pendingFrom_);
}

void RichTextBox::keyPressEvent(QKeyEvent* event) {
    FinishFilling(); // the key acts on the whole text
    if (const int c = characterOf(event)) {
        emit KeyPress(c);
    }
    QPlainTextEdit::keyPressEvent(event);
}

void RichTextBox::inputMethodEvent(QInputMethodEvent* event) {
    FinishFilling();
    // Characters composed by an input method are typed characters too.
    if (!event->commitString().isEmpty()) {
        emit KeyPress(event->commitString().at(0).unicode());
    }
    QPlainTextEdit::inputMethodEvent(event);
}

} // namespace platform::forms
