// The file list's order: names compared without regard to the case of ASCII
// letters, every other byte as it is, a shorter name before a longer one it
// begins, and the exact bytes breaking ties. Names are sorted as keys that
// hold their first bytes, so that most comparisons need no name at all.
#pragma once

#include "platform/system/directory_reader.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace platform::name_order {

// A name's sort key: the first sixteen bytes of its case-folded form packed
// big-endian into two integers (zero-padded; names hold no zero byte), and
// where the name lies. Most names differ within those bytes, so the keys can
// be sorted a byte at a time and only ties need the names themselves. Left
// uninitialised on purpose: the sort's scratch space is written before read.
struct Key {
    std::uint64_t head0;
    std::uint64_t head1;
    FileNames::Span span;
};

// An ASCII capital in lower case; every other byte as it is.
inline unsigned char FoldAscii(unsigned char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<unsigned char>(c + ('a' - 'A')) : c;
}

// The key of the name of `length` bytes found at `offset` in a list's bytes.
Key MakeKey(const char* name, std::size_t length, std::uint32_t offset);

// Puts keys in the list's order; `bytes` holds the names they point into.
void SortKeys(std::vector<Key>& keys, const char* bytes);

// Merges two runs of keys in the list's order into the spans at `out`,
// as many as both runs hold. A long merge is cut in two at the middle of the
// output and the halves merged side by side, the second on a thread of its
// own (when one can be had).
void MergeKeys(const Key* a, std::size_t aLength, const Key* b, std::size_t bLength,
               const char* bytes, FileNames::Span* out);

} // namespace platform::name_order
