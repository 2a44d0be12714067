// Which names a directory reading keeps, by a wildcard pattern as a file list
// takes it (* and ?, without regard to case). The patterns a driver list
// uses are matched here on the names' bytes, which keeps a directory of a
// hundred thousand drivers quick; any other pattern (and a suffix beyond
// ASCII, whose case only Unicode knows) is left to a test given by the
// caller, who knows how file names are decoded.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

namespace platform {

class NameFilter {
public:
    // Tells whether a name, given as its exact bytes, matches the pattern.
    // Called on the reading's threads, two at once in a big directory.
    using Test = std::function<bool(std::string_view name)>;

    // `pattern` in UTF-8; empty is "*". "*" and "*.*" keep every name, "*.ext"
    // with an ASCII extension and no wildcard in it keeps the names ending in
    // it; any other pattern keeps what the test made by `makeTest` says
    // (made only then; without it, nothing).
    explicit NameFilter(std::string_view pattern, const std::function<Test()>& makeTest = {});

    bool matches(const char* name, std::size_t length) const {
        if (all_) {
            return true;
        }
        if (!suffix_.empty()) {
            return EndsWithFolded(name, length);
        }
        return general_ && general_(std::string_view(name, length));
    }

private:
    bool EndsWithFolded(const char* name, std::size_t length) const;

    bool all_ = false;
    std::string suffix_; // ASCII, lower case
    Test general_;
};

} // namespace platform
