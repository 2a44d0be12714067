// Another launcher holding a directory's profile lock, as it does while it
// writes there (no hold when the directory is empty). While this lives a
// write waits 20 ms for the lock, not the full 2 s.
#pragma once

#include <string>

namespace tavro::test {

class HeldLock {
public:
    explicit HeldLock(const std::string& dir);
    ~HeldLock();
    HeldLock(const HeldLock&) = delete;
    HeldLock& operator=(const HeldLock&) = delete;

    void release();
    // How many times a write has begun to wait for the lock since this began.
    unsigned waits() const;

private:
    int fd_ = -1;
    unsigned start_;
};

} // namespace tavro::test
