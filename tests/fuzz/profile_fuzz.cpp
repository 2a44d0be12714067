// libFuzzer target for the profile-file functions. Each input is a file's
// bytes plus a section, key, value and buffer size. Checks: a read never
// crashes and always yields a NUL-terminated string of the count it returns;
// a write of any name and value that a profile file can hold succeeds, reads
// back as written (the empty value as ""), and changes no line of the file
// but the one it must; a default comes back without its trailing spaces.
#include "platform/system/profile.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <fuzzer/FuzzedDataProvider.h>
#include <iterator>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

using platform::DWORD;

[[noreturn]] void Fail(const char* what) {
    std::fprintf(stderr, "profile_fuzz: %s\n", what);
    std::abort();
}

void Check(bool ok, const char* what) {
    if (!ok)
        Fail(what);
}

std::string scratchDir;

void RemoveScratch() {
    ::unlink((scratchDir + "/tavro.cfg").c_str());
    ::rmdir(scratchDir.c_str());
}

// One scratch file for the whole run, in memory where possible since every
// write is flushed to disk.
const std::string& FilePath() {
    static const std::string path = [] {
        scratchDir = ::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
        scratchDir += "/profile_fuzz.XXXXXX";
        if (!::mkdtemp(scratchDir.data()))
            Fail("cannot make a scratch directory");
        std::atexit(RemoveScratch);
        return scratchDir + "/tavro.cfg";
    }();
    return path;
}

void Put(const std::string& bytes) {
    std::ofstream out(FilePath(), std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string Slurp() {
    std::ifstream in(FilePath(), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\v' || c == '\f';
}

std::string Trimmed(std::string s) {
    while (!s.empty() && IsBlank(s.back()))
        s.pop_back();
    std::size_t lead = 0;
    while (lead < s.size() && IsBlank(s[lead]))
        ++lead;
    return s.substr(lead);
}

std::string Without(std::string s, std::string_view banned) {
    std::string out;
    for (char c : s) {
        if (banned.find(c) == std::string_view::npos)
            out += c;
    }
    return out;
}

struct Line {
    std::string text;
    std::string lineBreak;
    bool operator==(const Line&) const = default;
};

std::vector<Line> Lines(const std::string& s) {
    std::vector<Line> lines;
    std::size_t pos = 0;
    while (pos < s.size()) {
        std::size_t end = s.find_first_of("\r\n", pos);
        if (end == std::string::npos)
            end = s.size();
        std::size_t next = end;
        if (end < s.size())
            next = (s[end] == '\r' && end + 1 < s.size() && s[end + 1] == '\n') ? end + 2 : end + 1;
        lines.push_back({s.substr(pos, end - pos), s.substr(end, next - end)});
        pos = next;
    }
    return lines;
}

// The new file is the old one with one line's text replaced, or with one or
// two lines (a key, or a section and its key) put in; the last old line may
// have gained a line break before lines put after it.
void CheckOnlyOneKeyChanged(const std::string& before, const std::string& after,
                            const std::string& section, const std::string& key) {
    const std::vector<Line> a = Lines(before);
    const std::vector<Line> b = Lines(after);
    std::size_t ai = 0;
    while (ai < a.size() && ai < b.size() && a[ai] == b[ai])
        ++ai;
    std::size_t bi = ai;
    if (ai + 1 == a.size() && a[ai].lineBreak.empty() && bi < b.size() &&
        b[bi].text == a[ai].text && !b[bi].lineBreak.empty()) {
        ++ai;
        ++bi;
    }
    std::size_t same = 0;
    while (same < a.size() - ai && same < b.size() - bi &&
           a[a.size() - 1 - same] == b[b.size() - 1 - same])
        ++same;
    const std::size_t removed = a.size() - ai - same;
    const std::size_t added = b.size() - bi - same;
    if (removed == 1) {
        Check(added == 1, "a write replaced more than one line");
        Check(a[ai].lineBreak == b[bi].lineBreak, "a replaced line lost its line break");
    } else {
        Check(removed == 0, "a write removed lines");
        Check(added >= 1 && added <= 2, "a write put in an unexpected number of lines");
        for (std::size_t i = bi; i < bi + added; ++i) {
            const std::string& text = b[i].text;
            Check(text == "[" + section + "]" || text.starts_with(key + "="),
                  "a write put in a line that is neither the section nor the key");
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    const std::string rawSection = in.ConsumeRandomLengthString(24);
    const std::string rawKey = in.ConsumeRandomLengthString(24);
    const std::string rawValue = in.ConsumeRandomLengthString(48);
    const DWORD bufferSize = in.ConsumeIntegralInRange<DWORD>(0, 96);
    const std::string file = in.ConsumeRemainingBytesAsString();
    const char* path = FilePath().c_str();

    // Any names, any file: the read must be safe and its count honest.
    Put(file);
    std::vector<char> buffer(bufferSize + 1, '\x55');
    DWORD n = platform::GetPrivateProfileStringA(rawSection.c_str(), rawKey.c_str(), "fallback",
                                                 buffer.data(), bufferSize, path);
    std::vector<char> missing(16, '\x55');
    Check(platform::GetPrivateProfileStringA(rawSection.c_str(), rawKey.c_str(), "  x y  ",
                                             missing.data(), 16, "/nonexistent/tavro.cfg") == 5 &&
              std::strcmp(missing.data(), "  x y") == 0,
          "a default kept its trailing spaces or lost its leading ones");
    if (bufferSize == 0) {
        Check(n == 0 && buffer[0] == '\x55', "a zero-sized buffer was written");
    } else {
        Check(n < bufferSize, "read count reaches the buffer size");
        Check(buffer[n] == '\0' && std::strlen(buffer.data()) == n, "read count is not the length");
    }

    // Names and a value that a profile file can hold.
    const std::string section = Trimmed(Without(rawSection, std::string_view("\r\n]\0", 4)));
    std::string key = Trimmed(Without(rawKey, std::string_view("\r\n=\0", 4)));
    while (!key.empty() && (key.front() == '[' || key.front() == ';'))
        key = Trimmed(key.substr(1));
    if (key.empty())
        key = "k";
    const std::string value = Without(rawValue, std::string_view("\r\n\0", 3));

    Check(platform::WritePrivateProfileStringA(section.c_str(), key.c_str(), value.c_str(), path) ==
              platform::TRUE,
          "a write of holdable names failed");
    const std::string after = Slurp();
    if (after != file)
        CheckOnlyOneKeyChanged(file, after, section, key);
    else
        Check(!file.empty(), "a write to a new file wrote nothing");

    std::vector<char> readBack(value.size() + 2, '\x55');
    n = platform::GetPrivateProfileStringA(section.c_str(), key.c_str(), "\x01", readBack.data(),
                                           static_cast<DWORD>(readBack.size()), path);
    const std::string got(readBack.data(), n);
    // `key=` reads as "", so every value, the empty one too, reads back.
    Check(got == value, "a value did not read back as written");
    return 0;
}
