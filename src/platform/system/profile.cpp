// Profile-file reading and writing. The file is parsed straight from its bytes
// on every call (no cache, so a hand edit is seen at once); writes change only
// the one line they must and replace the file atomically.
#include "platform/system/profile.h"

#include "platform/system/atomic_file.h"
#include "platform/system/directory_lock.h"
#include "platform/system/file_path.h"
#include "platform/system/last_error.h"
#include "platform/system/regular_file.h"
#include "platform/testing.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace platform {
namespace {

constexpr std::string_view Utf8Bom = "\xEF\xBB\xBF";

// A settings file is a few hundred bytes. A larger one than this is taken for
// unreadable, so a corrupt or hostile file can neither stall nor exhaust us.
constexpr std::size_t MaxFileSize = std::size_t(1) << 20;

// How long a write, or a row of writes, waits for another launcher's write
// to the same file. Tests shorten it.
std::atomic<long> lockWaitMs = 2000;
// How many times a write found the lock taken and began to wait.
std::atomic<unsigned> lockWaits = 0;

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\v' || c == '\f';
}

bool IsLineBreak(char c) {
    return c == '\r' || c == '\n';
}

// Blanks around names and values in the file's lines.
std::string_view Trim(std::string_view s) {
    while (!s.empty() && IsBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

// Windows trims only spaces from the names a caller passes in.
std::string_view TrimSpaces(std::string_view s) {
    while (!s.empty() && s.front() == ' ')
        s.remove_prefix(1);
    while (!s.empty() && s.back() == ' ')
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
        // The name ends at the first `]`, or with the line when it has none.
        const std::size_t close = t.find(']', 1);
        info.kind = LineKind::Section;
        info.name = Trim(t.substr(1, close == std::string_view::npos ? close : close - 1));
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
    if (line.begin == 0 && text.starts_with(Utf8Bom))
        text.remove_prefix(Utf8Bom.size());
    return text;
}

std::string_view Unquote(std::string_view v) {
    if (v.size() >= 2 && v.front() == v.back() && (v.front() == '"' || v.front() == '\''))
        return v.substr(1, v.size() - 2);
    return v;
}

// Follows the lines of a file, one at a time, looking for a key in the first
// section of the wanted name.
class KeyMatcher {
public:
    enum class Verdict {
        Skip,         // a line that does not matter
        SectionStart, // the header of the wanted section
        OtherKey,     // another key line of the wanted section
        Found,        // the wanted key: the search is over
        SectionEnd,   // the wanted section ended without the key: over too
    };

    KeyMatcher(std::string_view section, std::string_view key) : section_(section), key_(key) {}

    // `text` is the line without its line break or a leading byte order mark.
    Verdict Feed(std::string_view text) {
        if (!inSection_) {
            // Outside the wanted section only a section header can matter.
            std::size_t first = 0;
            while (first < text.size() && IsBlank(text[first]))
                ++first;
            if (first == text.size() || text[first] != '[')
                return Verdict::Skip;
        }
        info_ = Classify(text);
        if (info_.kind == LineKind::Section) {
            if (inSection_)
                return Verdict::SectionEnd; // only the first section of that name counts
            if (!EqualsNoCase(info_.name, section_))
                return Verdict::Skip;
            inSection_ = true;
            return Verdict::SectionStart;
        }
        if (!inSection_ || info_.kind != LineKind::Key)
            return Verdict::Skip;
        return EqualsNoCase(info_.name, key_) ? Verdict::Found : Verdict::OtherKey;
    }

    // What the last line fed said; its views point into that line's text.
    const LineInfo& Info() const { return info_; }

private:
    std::string_view section_;
    std::string_view key_;
    bool inSection_ = false;
    LineInfo info_;
};

// Where a key stands in a whole file, for a write.
struct KeyLookup {
    bool sectionFound = false;
    std::optional<Line> keyLine;
    LineInfo keyInfo;
    Line insertAfter{}; // the section's last key line, or its header
};

KeyLookup FindKey(std::string_view file, std::string_view section, std::string_view key) {
    KeyLookup found;
    KeyMatcher matcher(section, key);
    LineSplitter lines(file);
    Line line{};
    while (lines.Next(line)) {
        switch (matcher.Feed(LineText(file, line))) {
        case KeyMatcher::Verdict::Skip:
            break;
        case KeyMatcher::Verdict::SectionStart:
            found.sectionFound = true;
            found.insertAfter = line;
            break;
        case KeyMatcher::Verdict::OtherKey:
            found.insertAfter = line;
            break;
        case KeyMatcher::Verdict::Found:
            found.keyLine = line;
            found.keyInfo = matcher.Info();
            return found;
        case KeyMatcher::Verdict::SectionEnd:
            return found;
        }
    }
    return found;
}

// The value of a key, as a read returns it; nothing when the default applies.
std::optional<std::string> LookUpValue(const char* path, std::string_view section,
                                       std::string_view key) {
    const RegularFile file = ReadRegularFile(path, MaxFileSize);
    if (file.status != RegularFile::Status::Read)
        return std::nullopt;
    const KeyLookup found = FindKey(file.bytes, section, key);
    // `key=` is the empty string; a key without `=` has no value.
    if (!found.keyLine || !found.keyInfo.equals)
        return std::nullopt;
    return std::string(Unquote(found.keyInfo.value));
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

// The directory lock of one write, or of the first write of a row there.
std::unique_ptr<DirectoryLock> TakeLock(const std::string& dir) {
    auto lock = std::make_unique<DirectoryLock>(dir, lockWaitMs);
    if (lock->Waited())
        ++lockWaits;
    return lock;
}

} // namespace

// The directory locks a row holds, or found busy, each taken at the row's
// first write into that directory that had to change the file.
struct ProfileWriteRow::Locks {
    std::vector<std::pair<std::string, std::unique_ptr<DirectoryLock>>> held;

    const DirectoryLock& For(const std::string& dir) {
        for (const auto& [name, lock] : held) {
            if (name == dir)
                return *lock;
        }
        held.emplace_back(dir, TakeLock(dir));
        return *held.back().second;
    }
};

namespace {

// The row of writes this thread is in, if any.
thread_local ProfileWriteRow::Locks* activeRow = nullptr;

} // namespace

ProfileWriteRow::ProfileWriteRow() {
    if (!activeRow) {
        locks_ = std::make_unique<Locks>();
        activeRow = locks_.get();
    }
}

ProfileWriteRow::~ProfileWriteRow() {
    if (locks_ && activeRow == locks_.get())
        activeRow = nullptr;
}

DWORD GetPrivateProfileStringA(const char* section, const char* key, const char* defaultValue,
                               char* buffer, DWORD size, const char* path) {
    if (!buffer || size == 0)
        return 0;
    std::optional<std::string> found;
    if (section && key && path && !TrimSpaces(key).empty()) {
        try {
            found = LookUpValue(path, TrimSpaces(section), TrimSpaces(key));
        } catch (const std::bad_alloc&) {
            // No memory for the file: the default, as for any unreadable file.
        }
    }
    std::string_view result;
    if (found) {
        result = *found;
    } else {
        // The default loses its trailing spaces, as on Windows.
        result = defaultValue ? defaultValue : "";
        while (!result.empty() && result.back() == ' ')
            result.remove_suffix(1);
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
    const auto fail = [](DWORD error) {
        SetLastError(error);
        return FALSE;
    };
    if (!section || !key || !value || !path || !*path)
        return fail(ERROR_INVALID_PARAMETER);
    const std::string_view sectionName = TrimSpaces(section);
    const std::string_view keyName = TrimSpaces(key);
    const std::string_view rawValue = value;
    // Other blanks at a name's ends would be trimmed when the file is read,
    // so the name could not be found again.
    const auto blankEnds = [](std::string_view name) {
        return !name.empty() && (IsBlank(name.front()) || IsBlank(name.back()));
    };
    if (HasLineBreak(sectionName) || sectionName.find(']') != std::string_view::npos ||
        blankEnds(sectionName))
        return fail(ERROR_INVALID_PARAMETER);
    if (keyName.empty() || HasLineBreak(keyName) || keyName.find('=') != std::string_view::npos ||
        keyName.front() == '[' || keyName.front() == ';' || blankEnds(keyName))
        return fail(ERROR_INVALID_PARAMETER);
    if (HasLineBreak(rawValue))
        return fail(ERROR_INVALID_PARAMETER);

    try {
        // A symbolic link is followed, so the link itself survives the rename.
        const SaveTarget target = FollowToSaveTarget(path);
        if (target.error != ERROR_SUCCESS)
            return fail(target.error);
        const std::string stored = EncodeValue(rawValue);
        // The file as it is now, and as this write would leave it; the reason
        // when the file cannot be read, as such a file is never replaced.
        using Status = RegularFile::Status;
        struct Change {
            RegularFile old;
            std::string updated;
            bool Readable() const {
                return old.status == Status::Read || old.status == Status::Missing;
            }
            bool Unchanged() const { return old.status == Status::Read && updated == old.bytes; }
        };
        const auto change = [&]() {
            Change c{ReadRegularFile(target.file.c_str(), MaxFileSize), {}};
            if (c.Readable())
                c.updated = WithKeyStored(c.old.bytes, sectionName, keyName, stored);
            return c;
        };
        // Why a change may not be written, before any lock is waited for:
        // a read-only file is a choice, not something another launcher ends.
        const auto refusal = [&](const Change& c) -> DWORD {
            if (!c.Readable())
                return c.old.error;
            if (c.old.status == Status::Read && IsReadOnlyFile(target.file.c_str()))
                return ERROR_FILE_READ_ONLY;
            if (c.updated.size() > MaxFileSize)
                return ERROR_FILE_TOO_LARGE; // reading it back would give nothing
            return ERROR_SUCCESS;
        };
        // A value already stored needs neither the lock nor the disk: the usual
        // case when a game is started again with the same settings.
        const Change first = change();
        if (first.Unchanged())
            return TRUE;
        if (const DWORD error = refusal(first))
            return fail(error);
        // A row's writes share its lock: one wait at most for all of them.
        const std::string& dir = target.parts.directory;
        const std::unique_ptr<DirectoryLock> own = activeRow ? nullptr : TakeLock(dir);
        const DirectoryLock& lock = own ? *own : activeRow->For(dir);
        if (lock.Busy())
            return fail(ERROR_LOCK_VIOLATION);
        const Change locked = change(); // another launcher may have written meanwhile
        if (locked.Unchanged())
            return TRUE;
        if (const DWORD error = refusal(locked))
            return fail(error);
        return WriteFileAtomically(target.file, locked.updated, nullptr) ? TRUE : FALSE;
    } catch (const std::bad_alloc&) {
        return fail(ERROR_NOT_ENOUGH_MEMORY); // a file too large to copy in memory stays as it is
    }
}

namespace profile_testing {
void SetLockWait(long milliseconds) {
    lockWaitMs = milliseconds;
}
unsigned LockWaits() {
    return lockWaits;
}
} // namespace profile_testing

} // namespace platform
