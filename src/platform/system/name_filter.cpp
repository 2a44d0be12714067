#include "platform/system/name_filter.h"

#include "platform/system/name_order.h"

#include <algorithm>

namespace platform {

NameFilter::NameFilter(std::string_view pattern, const std::function<Test()>& makeTest) {
    const std::string_view p = pattern.empty() ? std::string_view("*") : pattern;
    const std::string_view rest = p.substr(1);
    const bool ascii = std::all_of(rest.begin(), rest.end(),
                                   [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    if (p == "*" || p == "*.*") {
        all_ = true;
    } else if (p.starts_with("*.") && rest.find_first_of("*?") == std::string_view::npos && ascii) {
        for (const char c : rest) {
            suffix_ += static_cast<char>(name_order::FoldAscii(static_cast<unsigned char>(c)));
        }
    } else if (makeTest) {
        general_ = makeTest();
    }
}

bool NameFilter::EndsWithFolded(const char* name, std::size_t length) const {
    const std::size_t n = suffix_.size();
    if (length <= n) {
        return false;
    }
    const auto* tail = reinterpret_cast<const unsigned char*>(name + length - n);
    for (std::size_t i = 0; i < n; ++i) {
        if (name_order::FoldAscii(tail[i]) != static_cast<unsigned char>(suffix_[i])) {
            return false;
        }
    }
    return true;
}

} // namespace platform
