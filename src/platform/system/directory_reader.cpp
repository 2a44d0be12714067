#include "platform/system/directory_reader.h"

#include "platform/system/name_collector.h"
#include "platform/system/name_order.h"

#include <cstdint>
#include <memory>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

namespace platform {

FileNames NameCollector::finish() {
    sort();
    std::vector<FileNames::Span> spans;
    spans.reserve(keys_.size());
    for (const name_order::Key& key : keys_) {
        spans.push_back(key.span);
    }
    return FileNames(std::move(bytes_), std::move(spans));
}

FileNames NameCollector::finishWith(NameCollector& other) {
    sort();
    other.sort();
    if (bytes_.size() + other.bytes_.size() > UINT32_MAX) {
        return finish(); // 4 GiB of names: far beyond any real directory
    }
    const auto shift = static_cast<std::uint32_t>(bytes_.size());
    bytes_.append(other.bytes_);
    for (name_order::Key& key : other.keys_) {
        key.span.offset += shift;
    }
    std::vector<FileNames::Span> spans(keys_.size() + other.keys_.size());
    name_order::MergeKeys(keys_.data(), keys_.size(), other.keys_.data(), other.keys_.size(),
                          bytes_.data(), spans.data());
    return FileNames(std::move(bytes_), std::move(spans));
}

void NameCollector::sort() {
    if (!sorted_) {
        name_order::SortKeys(keys_, bytes_.data());
        sorted_ = true;
    }
}

bool NameCollector::keep(const char* name, std::size_t length) {
    if (bytes_.size() + length > UINT32_MAX) {
        return false; // 4 GiB of names: far beyond any real directory
    }
    keys_.push_back(name_order::MakeKey(name, length, static_cast<std::uint32_t>(bytes_.size())));
    bytes_.append(name, length);
    return true;
}

FileNames ReadMatchingNames(Directory* directory, const NameFilter& filter,
                            const std::atomic<bool>* stop) {
    NameCollector names(directory, filter);
    if (!names.read(stop) || (stop && stop->load(std::memory_order_relaxed))) {
        return {};
    }
    return names.finish();
}

DirectoryReader::DirectoryReader(Directory* directory, NameFilter filter,
                                 std::function<void()> finished)
    : directory_(directory), finished_(std::move(finished)) {
    worker_ = std::thread([this, filter = std::move(filter)] {
        // The window being built and drawn comes first: the reading yields
        // its core to it, and to the X server, whenever they want it. Once
        // the window is up, hurry() moves the rest to a thread at the
        // program's own priority; whoever has to wait for the names takes
        // the reading over instead (take()).
        LowerThreadPriority();
        collector_ = std::make_unique<NameCollector>(directory_, filter);
        if (collector_->read(&pause_)) {
            publish();
        }
    });
}

DirectoryReader::~DirectoryReader() {
    if (worker_.joinable()) {
        stop_.store(true);
        pause_.store(true);
        worker_.join();
    }
    if (directory_) {
        CloseDirectory(directory_);
    }
}

void DirectoryReader::publish() {
    FileNames names = collectNames();
    const std::lock_guard<std::mutex> guard(lock_);
    names_ = std::move(names);
    done_ = true;
    if (finished_) {
        finished_();
    }
}

FileNames DirectoryReader::collectNames() {
    FileNames names = upper_ ? collector_->finishWith(*upper_) : collector_->finish();
    upper_.reset();
    collector_.reset();
    CloseDirectory(directory_);
    directory_ = nullptr;
    return names;
}

bool DirectoryReader::notifyWhenDone(std::function<void()> finished) {
    const std::lock_guard<std::mutex> guard(lock_);
    if (done_) {
        return false;
    }
    finished_ = std::move(finished);
    return true;
}

void DirectoryReader::hurry() {
    if (hurried_ || !worker_.joinable()) {
        return;
    }
    {
        const std::lock_guard<std::mutex> guard(lock_);
        if (done_) {
            return;
        }
    }
    hurried_ = true;
    // A thread started here has the program's priority, which the
    // low-priority worker cannot take back. It waits for the worker's next
    // batch, so this thread never does.
    slowWorker_ = std::move(worker_);
    try {
        worker_ = std::thread([this] { readOnHurried(); });
    } catch (const std::system_error&) {
        // No thread to be had: the worker reads on at its own pace.
        worker_ = std::move(slowWorker_);
    }
}

void DirectoryReader::readOnHurried() {
    pause_.store(true);
    slowWorker_.join();
    // Stopped or taken over meanwhile, or read to the end already.
    if (stop_.load() || !collector_) {
        return;
    }
    // What is left of a big directory is read in two parts side by side.
    std::thread upperReader;
    upper_ = collector_->splitOff();
    if (upper_) {
        try {
            upperReader = std::thread([this] { upper_->read(&stop_); });
        } catch (const std::system_error&) {
            // This thread reads that part too, after its own.
        }
    }
    const bool lowerRead = collector_->read(&stop_);
    if (upperReader.joinable()) {
        upperReader.join();
    }
    if (lowerRead && (!upper_ || upper_->read(&stop_))) {
        publish();
    }
}

FileNames DirectoryReader::take() {
    if (worker_.joinable()) {
        // The readers stop at their next batch and this thread reads on.
        stop_.store(true);
        pause_.store(true);
        worker_.join();
    }
    if (!done_ && collector_) {
        collector_->read(nullptr);
        if (upper_) {
            upper_->read(nullptr);
        }
        names_ = collectNames();
        done_ = true;
    }
    return std::move(names_);
}

} // namespace platform
