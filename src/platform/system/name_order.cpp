#include "platform/system/name_order.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <iterator>
#include <memory>
#include <system_error>
#include <thread>

namespace platform::name_order {

namespace {

constexpr std::uint32_t HeadBytes = 16;
constexpr std::uint64_t EveryByte = 0x0101010101010101ULL;
constexpr std::uint64_t HighBits = EveryByte * 0x80;

// Lower-cases the ASCII capitals among eight bytes at once, leaving every
// other byte as it is.
std::uint64_t FoldAscii8(std::uint64_t bytes) {
    const std::uint64_t low = bytes & ~HighBits;
    const std::uint64_t fromA = (low + EveryByte * (0x80 - 'A')) & HighBits;
    const std::uint64_t pastZ = (low + EveryByte * (0x80 - 'Z' - 1)) & HighBits;
    const std::uint64_t capitals = fromA & ~pastZ & ~bytes;
    return bytes | (capitals >> 2); // 0x80 >> 2 is the case bit, 0x20
}

// Eight bytes as a number that orders like them.
std::uint64_t BigEndian(const unsigned char* bytes) {
    std::uint64_t word = 0;
    std::memcpy(&word, bytes, sizeof word);
    if constexpr (std::endian::native == std::endian::little) {
        word = __builtin_bswap64(word);
    }
    return word;
}

} // namespace

Key MakeKey(const char* name, std::size_t length, std::uint32_t offset) {
    unsigned char head[HeadBytes] = {};
    std::memcpy(head, name, std::min<std::size_t>(length, HeadBytes));
    const std::uint64_t word0 = BigEndian(head);
    const std::uint64_t word1 = BigEndian(head + 8);
    unsigned char rest = 0;
    for (std::size_t i = HeadBytes; i < length; ++i) {
        rest |= static_cast<unsigned char>(name[i]);
    }
    const bool ascii = ((word0 | word1) & HighBits) == 0 && rest < 0x80;
    return Key{FoldAscii8(word0), FoldAscii8(word1),
               FileNames::Span{offset, static_cast<std::uint16_t>(length), ascii}};
}

namespace {

// Case-insensitive order: ASCII letters folded, every other byte as it is,
// a shorter name before a longer one it begins, and the exact bytes breaking
// ties so that the order never depends on the directory's.
struct ByFoldedName {
    const char* bytes;

    bool operator()(const Key& a, const Key& b) const {
        if (a.head0 != b.head0) {
            return a.head0 < b.head0;
        }
        if (a.head1 != b.head1) {
            return a.head1 < b.head1;
        }
        const auto* pa = reinterpret_cast<const unsigned char*>(bytes + a.span.offset);
        const auto* pb = reinterpret_cast<const unsigned char*>(bytes + b.span.offset);
        const std::uint32_t common = std::min(a.span.length, b.span.length);
        for (std::uint32_t i = HeadBytes; i < common; ++i) {
            const unsigned char fa = FoldAscii(pa[i]);
            const unsigned char fb = FoldAscii(pb[i]);
            if (fa != fb) {
                return fa < fb;
            }
        }
        if (a.span.length != b.span.length) {
            return a.span.length < b.span.length;
        }
        return std::memcmp(pa, pb, a.span.length) < 0;
    }
};

// The byte of a key's head at `position` (0 to 15).
unsigned HeadByte(const Key& key, std::uint32_t position) {
    const std::uint64_t word = position < 8 ? key.head0 : key.head1;
    return static_cast<unsigned>(word >> (56 - 8 * (position % 8))) & 0xFFu;
}

// Runs this short are put in order by comparing the names.
constexpr std::size_t ShortRun = 32;

// The first head position, from `position` on, at which the keys differ;
// HeadBytes when their heads are all the same.
std::uint32_t FirstDifference(const Key* keys, std::size_t n, std::uint32_t position) {
    std::uint64_t differ0 = 0;
    std::uint64_t differ1 = 0;
    for (const Key* key = keys; key != keys + n; ++key) {
        differ0 |= key->head0 ^ keys->head0;
        differ1 |= key->head1 ^ keys->head1;
    }
    const std::uint32_t first =
        differ0 != 0   ? static_cast<std::uint32_t>(std::countl_zero(differ0)) / 8
        : differ1 != 0 ? 8 + static_cast<std::uint32_t>(std::countl_zero(differ1)) / 8
                       : HeadBytes;
    return std::max(first, position);
}

// Sorts the n keys at `from` on their heads from byte `position` on, most
// significant byte first: a pass puts them in buckets by their first byte
// that differs, into `to` (room as long), and each bucket is sorted from
// there on the next byte, the two arrays trading places at each level.
// Names that lead to the same heads, and short runs, are put in order by
// the whole names. The result ends in `from` when `resultInFrom`, else in
// `to`.
void SortKeysFrom(Key* from, Key* to, std::size_t n, std::uint32_t position, bool resultInFrom,
                  const ByFoldedName& less) {
    if (n > ShortRun) {
        position = FirstDifference(from, n, position);
    }
    if (n <= ShortRun || position >= HeadBytes) {
        std::sort(from, from + n, less);
        if (!resultInFrom) {
            std::copy(from, from + n, to);
        }
        return;
    }
    std::array<std::size_t, 256> counts{};
    for (const Key* key = from; key != from + n; ++key) {
        ++counts[HeadByte(*key, position)];
    }
    std::array<std::size_t, 256> starts{};
    std::size_t next = 0;
    for (unsigned b = 0; b < 256; ++b) {
        starts[b] = next;
        next += counts[b];
    }
    for (const Key* key = from; key != from + n; ++key) {
        to[starts[HeadByte(*key, position)]++] = *key;
    }
    std::size_t first = 0;
    for (const std::size_t count : counts) {
        if (count > 0) {
            SortKeysFrom(to + first, from + first, count, position + 1, !resultInFrom, less);
        }
        first += count;
    }
}

} // namespace

void SortKeys(std::vector<Key>& keys, const char* bytes) {
    const auto scratch = std::make_unique_for_overwrite<Key[]>(keys.size());
    SortKeysFrom(keys.data(), scratch.get(), keys.size(), 0, true, ByFoldedName{bytes});
}

namespace {

// Writes where each merged key's name lies, which is all the list keeps.
struct SpanWriter {
    using iterator_category = std::output_iterator_tag;
    using value_type = void;
    using difference_type = std::ptrdiff_t;
    using pointer = void;
    using reference = void;

    FileNames::Span* next;
    SpanWriter& operator=(const Key& key) {
        *next++ = key.span;
        return *this;
    }
    SpanWriter& operator*() { return *this; }
    SpanWriter& operator++() { return *this; }
    SpanWriter& operator++(int) { return *this; }
};

} // namespace

void MergeKeys(const Key* a, std::size_t aLength, const Key* b, std::size_t bLength,
               const char* bytes, FileNames::Span* out) {
    const ByFoldedName less{bytes};
    constexpr std::size_t SideBySideFrom = 32768;
    const std::size_t half = (aLength + bLength) / 2;
    std::thread second;
    if (aLength + bLength >= SideBySideFrom) {
        // The first `half` keys of the merge are a[0, i) and b[0, half - i)
        // for the i at which the two runs cross.
        std::size_t low = half > bLength ? half - bLength : 0;
        std::size_t high = std::min(half, aLength);
        while (low < high) {
            const std::size_t i = low + (high - low) / 2;
            if (less(b[half - i - 1], a[i])) {
                high = i;
            } else {
                low = i + 1;
            }
        }
        const std::size_t i = low;
        const std::size_t j = half - i;
        try {
            second = std::thread([=] {
                std::merge(a + i, a + aLength, b + j, b + bLength, SpanWriter{out + half}, less);
            });
            aLength = i;
            bLength = j;
        } catch (const std::system_error&) {
            // Merged here in one go.
        }
    }
    std::merge(a, a + aLength, b, b + bLength, SpanWriter{out}, less);
    if (second.joinable()) {
        second.join();
    }
}

} // namespace platform::name_order
