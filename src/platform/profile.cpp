// Profile-file reading and writing. The file is parsed straight from its bytes
// on every call (no cache, so a hand edit is seen at once); writes change only
// the one line they must and replace the file atomically.
#include "platform/profile.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {
namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\v' || c == '\f';
}

bool IsLineBreak(char c) {
    return c == '\r' || c == '\n';
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && IsBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

char AsciiLower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (AsciiLower(a[i]) != AsciiLower(b[i]))
            return false;
    }
    return true;
}

// One line of the file: [begin, end) is its text, [end, next) its line break
// (CR, LF, CRLF, or nothing on a last line without one).
struct Line {
    std::size_t begin;
    std::size_t end;
    std::size_t next;
};

// Splits text into lines in one pass. The positions of the next CR and LF are
// remembered, so each byte is searched once however long the lines are.
class LineSplitter {
public:
    explicit LineSplitter(std::string_view text)
        : text_(text), nextCr_(Find('\r')), nextLf_(Find('\n')) {}

    bool Next(Line& line) {
        if (pos_ >= text_.size())
            return false;
        if (nextCr_ < pos_)
            nextCr_ = Find('\r');
        if (nextLf_ < pos_)
            nextLf_ = Find('\n');
        const std::size_t end = nextCr_ < nextLf_ ? nextCr_ : nextLf_;
        std::size_t next = end;
        if (end < text_.size())
            next = (text_[end] == '\r' && end + 1 < text_.size() && text_[end + 1] == '\n')
                       ? end + 2
                       : end + 1;
        line = {pos_, end, next};
        pos_ = next;
        return true;
    }

private:
    std::size_t Find(char c) const {
        const void* hit = std::memchr(text_.data() + pos_, c, text_.size() - pos_);
        return hit ? static_cast<std::size_t>(static_cast<const char*>(hit) - text_.data())
                   : text_.size();
    }

    std::string_view text_;
    std::size_t pos_ = 0;
    std::size_t nextCr_;
    std::size_t nextLf_;
};

enum class LineKind { Blank, Comment, Section, Key, Other };

// What one line says. `name` and `value` view the file's own bytes; `equals`
// points at the `=` of a key line, or is null for a key with no `=`.
struct LineInfo {
    LineKind kind = LineKind::Other;
    std::string_view name;
    std::string_view value;
    const char* equals = nullptr;
};

LineInfo Classify(std::string_view text) {
    LineInfo info;
    const std::string_view t = Trim(text);
    if (t.empty()) {
        info.kind = LineKind::Blank;
    } else if (t.front() == '[') {
        // A `[` without `]` opens nothing; the line is simply not understood.
        const std::size_t close = t.find(']', 1);
        if (close != std::string_view::npos) {
            info.kind = LineKind::Section;
            info.name = Trim(t.substr(1, close - 1));
        }
    } else if (t.front() == ';') {
        info.kind = LineKind::Comment;
    } else {
        info.kind = LineKind::Key;
        const std::size_t eq = text.find('=');
        if (eq == std::string_view::npos) {
            info.name = t;
        } else {
            info.name = Trim(text.substr(0, eq));
            info.value = Trim(text.substr(eq + 1));
            info.equals = text.data() + eq;
        }
    }
    return info;
}

// The text of a line as its names are read: a UTF-8 byte order mark at the
// very start of the file is not part of the first line's name.
std::string_view LineText(std::string_view file, const Line& line) {
    std::string_view text = file.substr(line.begin, line.end - line.begin);
    if (line.begin == 0 && text.starts_with(kUtf8Bom))
        text.remove_prefix(kUtf8Bom.size());
    return text;
}

std::string_view Unquote(std::string_view v) {
    if (v.size() >= 2 && v.front() == v.back() && (v.front() == '"' || v.front() == '\''))
        return v.substr(1, v.size() - 2);
    return v;
}

// Where a key stands in the first section of the wanted name.
struct KeyLookup {
    bool sectionFound = false;
    std::optional<Line> keyLine;
    LineInfo keyInfo;
    Line insertAfter{}; // the section's last key line, or its header
};

KeyLookup FindKey(std::string_view file, std::string_view section, std::string_view key) {
    KeyLookup found;
    LineSplitter lines(file);
    Line line{};
    bool inSection = false;
    while (lines.Next(line)) {
        const LineInfo info = Classify(LineText(file, line));
        if (info.kind == LineKind::Section) {
            // Only the first section of that name counts, so stop at its end.
            if (inSection)
                break;
            if (EqualsNoCase(info.name, section)) {
                inSection = true;
                found.sectionFound = true;
                found.insertAfter = line;
            }
        } else if (inSection && info.kind == LineKind::Key) {
            found.insertAfter = line;
            if (!key.empty() && EqualsNoCase(info.name, key)) {
                found.keyLine = line;
                found.keyInfo = info;
                break;
            }
        }
    }
    return found;
}

struct FileData {
    enum Status { Ok, Missing, Failed } status = Failed;
    std::string bytes;
    struct stat st {};
};

// Reads a whole regular file. Anything else (a directory, a pipe, a device)
// is a failure, so a read can neither block nor run forever.
FileData ReadWholeFile(const char* path) {
    FileData data;
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        data.status = (errno == ENOENT) ? FileData::Missing : FileData::Failed;
        return data;
    }
    if (::fstat(fd, &data.st) != 0 || !S_ISREG(data.st.st_mode)) {
        ::close(fd);
        return data;
    }
    std::size_t used = 0;
    data.bytes.resize(static_cast<std::size_t>(data.st.st_size) + 1);
    for (;;) {
        if (used == data.bytes.size())
            data.bytes.resize(data.bytes.size() * 2);
        const ssize_t n = ::read(fd, data.bytes.data() + used, data.bytes.size() - used);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            ::close(fd);
            data.bytes.clear();
            return data;
        }
        if (n == 0)
            break;
        used += static_cast<std::size_t>(n);
    }
    ::close(fd);
    data.bytes.resize(used);
    data.status = FileData::Ok;
    return data;
}

bool WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

// Writes bytes to a new file beside `target`, flushes it to disk and renames it
// over `target`. Nothing of the old file is touched until the rename, and the
// temporary file is removed on any failure.
bool ReplaceFile(const std::string& target, std::string_view bytes, const struct stat* old) {
    const std::size_t slash = target.rfind('/');
    const std::string dir = slash == std::string::npos ? "" : target.substr(0, slash + 1);
    const std::string base = slash == std::string::npos ? target : target.substr(slash + 1);
    if (base.empty())
        return false;

    static unsigned counter = 0;
    std::string temp;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        temp = dir + "." + base + ".tmp-" + std::to_string(::getpid()) + "-" +
               std::to_string(counter++);
        // 0666 lets the umask decide for a new file, as for any file created.
        fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST)
            return false;
    }
    if (fd < 0)
        return false;

    bool ok = WriteAll(fd, bytes);
    if (ok && old) {
        ok = ::fchmod(fd, old->st_mode & 07777) == 0;
        if (ok && (old->st_uid != ::geteuid() || old->st_gid != ::getegid())) {
            // Only possible for root; a file we cannot hand back stays ours.
            if (::fchown(fd, old->st_uid, old->st_gid) != 0) {
                // not fatal: the content is what matters
            }
        }
    }
    ok = ok && ::fsync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    ok = ok && ::rename(temp.c_str(), target.c_str()) == 0;
    if (!ok) {
        ::unlink(temp.c_str());
        return false;
    }
    return true;
}

// The line break the file already uses; LF for a file that has none.
std::string_view LineBreakOf(std::string_view file) {
    const std::size_t at = file.find_first_of("\r\n");
    if (at == std::string_view::npos || file[at] == '\n')
        return "\n";
    return (at + 1 < file.size() && file[at + 1] == '\n') ? "\r\n" : "\r";
}

// A value that reading would change (blanks at either end, or a pair of
// enclosing quotes) is written in double quotes, so it reads back as written.
std::string EncodeValue(std::string_view v) {
    const bool needsQuotes =
        !v.empty() && (IsBlank(v.front()) || IsBlank(v.back()) || Unquote(v).size() != v.size());
    if (!needsQuotes)
        return std::string(v);
    std::string out;
    out.reserve(v.size() + 2);
    out += '"';
    out += v;
    out += '"';
    return out;
}

std::string WithKeyStored(std::string_view file, std::string_view section, std::string_view key,
                          std::string_view value) {
    const std::string_view lineBreak = LineBreakOf(file);
    const KeyLookup found = FindKey(file, section, key);
    std::string out;
    out.reserve(file.size() + section.size() + key.size() + value.size() + 8);

    if (found.keyLine) {
        // Keep the key as the file spells it, the `=` and the blanks after it.
        const Line& line = *found.keyLine;
        std::size_t keep;
        if (found.keyInfo.equals) {
            keep = static_cast<std::size_t>(found.keyInfo.equals - file.data()) + 1;
            while (keep < line.end && IsBlank(file[keep]))
                ++keep;
        } else {
            keep = static_cast<std::size_t>(found.keyInfo.name.data() - file.data()) +
                   found.keyInfo.name.size();
        }
        out.append(file.substr(0, keep));
        if (!found.keyInfo.equals)
            out += '=';
        out.append(value);
        out.append(file.substr(line.end));
        return out;
    }

    if (found.sectionFound) {
        const Line& after = found.insertAfter;
        if (after.next == after.end) {
            // The last line of a file without a final line break.
            out.append(file.substr(0, after.end));
            out.append(lineBreak);
        } else {
            out.append(file.substr(0, after.next));
        }
        out.append(key);
        out += '=';
        out.append(value);
        // A lone CR right before an LF would join it into one CRLF break and
        // swallow the blank line that LF ends, so end with CRLF there.
        const std::string_view rest = file.substr(after.next);
        out.append(lineBreak == "\r" && rest.starts_with('\n') ? "\r\n" : lineBreak);
        out.append(rest);
        return out;
    }

    out.append(file);
    if (!file.empty() && !IsLineBreak(file.back()))
        out.append(lineBreak);
    out += '[';
    out.append(section);
    out += ']';
    out.append(lineBreak);
    out.append(key);
    out += '=';
    out.append(value);
    out.append(lineBreak);
    return out;
}

bool HasLineBreak(std::string_view s) {
    return s.find_first_of("\r\n") != std::string_view::npos;
}

// The file a write must replace: a symbolic link is followed, so the link
// itself survives the rename. Empty when a link leads nowhere.
std::string WriteTarget(const char* path) {
    struct stat st {};
    if (::lstat(path, &st) != 0 || !S_ISLNK(st.st_mode))
        return path;
    char* real = ::realpath(path, nullptr);
    if (!real)
        return {};
    std::string target(real);
    std::free(real);
    return target;
}

} // namespace

DWORD GetPrivateProfileStringA(const char* section, const char* key, const char* defaultValue,
                               char* buffer, DWORD size, const char* path) {
    if (!buffer || size == 0)
        return 0;
    std::string_view result = defaultValue ? defaultValue : "";
    FileData data;
    if (section && key && path) {
        data = ReadWholeFile(path);
        const std::string_view wantedKey = Trim(key);
        if (data.status == FileData::Ok && !wantedKey.empty()) {
            const KeyLookup found = FindKey(data.bytes, Trim(section), wantedKey);
            if (found.keyLine && !found.keyInfo.value.empty())
                result = Unquote(found.keyInfo.value);
        }
    }
    // The caller sees a C string, so a NUL in the file ends the value there.
    result = result.substr(0, std::min(result.find('\0'), result.size()));
    const std::size_t count = std::min<std::size_t>(result.size(), size - 1);
    std::memcpy(buffer, result.data(), count);
    buffer[count] = '\0';
    return static_cast<DWORD>(count);
}

BOOL WritePrivateProfileStringA(const char* section, const char* key, const char* value,
                                const char* path) {
    if (!section || !key || !value || !path || !*path)
        return FALSE;
    const std::string_view sectionName = Trim(section);
    const std::string_view keyName = Trim(key);
    const std::string_view rawValue = value;
    if (HasLineBreak(sectionName) || sectionName.find(']') != std::string_view::npos)
        return FALSE;
    if (keyName.empty() || HasLineBreak(keyName) || keyName.find('=') != std::string_view::npos ||
        keyName.front() == '[' || keyName.front() == ';')
        return FALSE;
    if (HasLineBreak(rawValue))
        return FALSE;

    const std::string target = WriteTarget(path);
    if (target.empty())
        return FALSE;
    const FileData old = ReadWholeFile(target.c_str());
    if (old.status == FileData::Failed)
        return FALSE; // never replace a file we could not read
    const std::string updated =
        WithKeyStored(old.bytes, sectionName, keyName, EncodeValue(rawValue));
    if (old.status == FileData::Ok && updated == old.bytes)
        return TRUE; // already stored: spare the disk a rewrite
    return ReplaceFile(target, updated, old.status == FileData::Ok ? &old.st : nullptr) ? TRUE
                                                                                        : FALSE;
}

} // namespace platform
