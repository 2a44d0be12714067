#include "platform/forms/RichTextBox.h"

#include <QFile>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QPlainTextDocumentLayout>
#include <QStringDecoder>
#include <QStringEncoder>
#include <QTextDocument>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform::forms {

namespace {

// Larger files would not fit the text's string; nobody edits such a driver.
constexpr qint64 MaxFileSize = qint64(256) * 1024 * 1024;

const QByteArray Utf8Bom("\xEF\xBB\xBF", 3);

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
// Both are single bytes in UTF-8 and in Latin-1, so this works on the bytes.
QByteArray withLfBreaks(const QByteArray& bytes) {
    if (!bytes.contains('\r')) {
        return bytes;
    }
    QByteArray out(bytes.size(), Qt::Uninitialized);
    const char* in = bytes.constData();
    char* o = out.data();
    const qsizetype size = bytes.size();
    qsizetype n = 0;
    for (qsizetype i = 0; i < size; ++i) {
        if (in[i] == '\r') {
            o[n++] = '\n';
            if (i + 1 < size && in[i + 1] == '\n') {
                ++i;
            }
        } else {
            o[n++] = in[i];
        }
    }
    out.truncate(n);
    return out;
}

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

} // namespace

RichTextBox::RichTextBox(QWidget* parent) : QPlainTextEdit(parent) {
    setLineWrapMode(QPlainTextEdit::NoWrap);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
}

QString RichTextBox::DecodeText(const QByteArray& bytes, FileFormat* format) {
    FileFormat f;
    f.lineBreak = firstLineBreak(bytes);
    const QByteArray lf = withLfBreaks(bytes);

    // UTF-8 when the whole file is valid UTF-8 (an initial byte-order mark
    // kept aside); otherwise every byte is one character.
    const bool bom = lf.startsWith(Utf8Bom);
    const QByteArrayView body =
        bom ? QByteArrayView(lf).sliced(Utf8Bom.size()) : QByteArrayView(lf);
    QStringDecoder decoder(QStringDecoder::Utf8, QStringConverter::Flag::ConvertInitialBom |
                                                     QStringConverter::Flag::Stateless);
    QString text = decoder.decode(body);
    if (decoder.hasError()) {
        f.encoding = Encoding::Latin1;
        f.byteOrderMark = false;
        text = QString::fromLatin1(lf);
    } else {
        f.encoding = Encoding::Utf8;
        f.byteOrderMark = bom;
    }
    if (format) {
        *format = f;
    }
    return text;
}

bool RichTextBox::EncodeText(const QString& text, const FileFormat& format, QByteArray* bytes,
                             QString* error) {
    QString broken = text;
    switch (format.lineBreak) {
    case LineBreak::LF:
        break;
    case LineBreak::CR:
        broken.replace(QChar(u'\n'), QChar(u'\r'));
        break;
    case LineBreak::CRLF:
        broken.replace(QChar(u'\n'), QStringLiteral("\r\n"));
        break;
    }

    if (format.encoding == Encoding::Latin1) {
        const QChar* data = broken.constData();
        for (qsizetype i = 0; i < broken.size(); ++i) {
            if (data[i].unicode() > 0xFF) {
                // Writing it would silently turn it into another character.
                const bool pair = data[i].isHighSurrogate() && i + 1 < broken.size() &&
                                  data[i + 1].isLowSurrogate();
                const char32_t code =
                    pair ? QChar::surrogateToUcs4(data[i], data[i + 1]) : data[i].unicode();
                setError(error, QStringLiteral("the text holds the character \"%1\" (U+%2), which "
                                               "this file's single-byte encoding cannot store")
                                    .arg(broken.mid(i, pair ? 2 : 1))
                                    .arg(QString::number(static_cast<uint>(code), 16)
                                             .toUpper()
                                             .rightJustified(4, u'0')));
                return false;
            }
        }
        *bytes = broken.toLatin1();
        return true;
    }

    QStringEncoder encoder(QStringEncoder::Utf8, QStringConverter::Flag::Stateless);
    QByteArray out = encoder.encode(broken);
    if (encoder.hasError()) {
        setError(error,
                 QStringLiteral("the text holds a broken character that UTF-8 cannot store"));
        return false;
    }
    if (format.byteOrderMark) {
        out.prepend(Utf8Bom);
    }
    *bytes = std::move(out);
    return true;
}

bool RichTextBox::WriteFileAtomically(const QString& path, const QByteArray& bytes,
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

    if (!writeAll(fd, bytes.constData(), bytes.size())) {
        return fail(QStringLiteral("the new content could not be written"), errno, true);
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

bool RichTextBox::LoadFile(const QString& path, QString* error) {
    QByteArray bytes;
    if (!readWholeFile(path, &bytes, error)) {
        return false;
    }
    FileFormat format;
    const QString text = DecodeText(bytes, &format);
    bytes.clear();
    setText(text);
    format_ = format;
    return true;
}

bool RichTextBox::SaveFile(const QString& path, int fileType, QString* error) const {
    if (fileType != rtfText) {
        setError(error, QStringLiteral("only plain text can be saved"));
        return false;
    }
    QByteArray bytes;
    if (!EncodeText(Text(), format_, &bytes, error)) {
        return false;
    }
    return WriteFileAtomically(path, bytes, error);
}

QString RichTextBox::Text() const {
    // The raw text keeps no-break spaces; only the block separators change.
    QString text = document()->toRawText();
    text.replace(QChar::ParagraphSeparator, QChar(u'\n'));
    return text;
}

void RichTextBox::setText(const QString& text) {
    // A fresh document filled before it is shown is far quicker for a large
    // text than filling the one on screen, and starts with an empty undo list.
    auto* doc = new QTextDocument(this);
    doc->setDocumentLayout(new QPlainTextDocumentLayout(doc));
    doc->setDefaultFont(font());
    doc->setUndoRedoEnabled(false);
    doc->setPlainText(text);
    doc->setUndoRedoEnabled(true);
    setDocument(doc); // deletes the previous document, a child of this control
}

void RichTextBox::keyPressEvent(QKeyEvent* event) {
    if (const int c = characterOf(event)) {
        emit KeyPress(c);
    }
    QPlainTextEdit::keyPressEvent(event);
}

void RichTextBox::inputMethodEvent(QInputMethodEvent* event) {
    // Characters composed by an input method are typed characters too.
    if (!event->commitString().isEmpty()) {
        emit KeyPress(event->commitString().at(0).unicode());
    }
    QPlainTextEdit::inputMethodEvent(event);
}

} // namespace platform::forms
