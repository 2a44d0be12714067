// The directory reader's collectors: each gathers the matching names of one
// directory (or of one part of it), a batch of entries at a time, so that a
// reading can stop, or pass from one thread to another, between batches.
// Each system reads the entries its own way (posix/, win32/); keeping, sorting and
// merging the names are the same everywhere.
#ifndef TAVRO_PLATFORM_INTERNAL
#error                                                                                             \
    "platform/system/name_collector.h is the reader's own; use platform/system/directory_reader.h"
#endif
#pragma once

#include "platform/system/directory_reader.h"
#include "platform/system/name_filter.h"
#include "platform/system/name_order.h"

#include <atomic>
#include <cstddef>
#include <memory>
#include <string>
#include <vector>

namespace platform {

class NameCollector {
public:
    // Reads from `directory`, which stays the caller's. The system's own.
    NameCollector(Directory* directory, const NameFilter& filter);
    ~NameCollector();
    NameCollector(const NameCollector&) = delete;
    NameCollector& operator=(const NameCollector&) = delete;

    // Reads on to the end of the directory, or of this collector's part of
    // it (true), or until `pause` is found set between two batches (false).
    // Each part is sorted by the thread that read it. The system's own.
    bool read(const std::atomic<bool>* pause);
    // Splits what is left to read in two where the system can: this
    // collector keeps the first part, and the one returned reads the second
    // from a handle of its own; nullptr where it cannot. The system's own.
    std::unique_ptr<NameCollector> splitOff();

    // The names read, sorted.
    FileNames finish();
    // The names read by this collector and by another, which read the other
    // part of the directory, sorted together.
    FileNames finishWith(NameCollector& other);

private:
    // The system's side of a reading: its handle and where its part ends.
    struct Source;

    // Keeps a listed name; false when no more can be kept.
    bool keep(const char* name, std::size_t length);
    void sort();

    const NameFilter filter_;
    std::unique_ptr<Source> source_;
    bool finished_ = false;
    bool sorted_ = false;
    std::string bytes_;
    std::vector<name_order::Key> keys_;
};

// Lowers the calling thread's priority as far as it goes, so that it yields
// its core whenever anything else wants it. The system's own.
void LowerThreadPriority();

} // namespace platform
