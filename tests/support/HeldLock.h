// Another launcher holding a directory's profile lock, as it does while it
// writes there (no hold for an empty path). While this lives a write waits
// 20 ms for the lock, not 2 s; waits() counts the waits since it began.
#pragma once

#include "platform/testing.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <string>
#include <sys/file.h>
#include <unistd.h>
#include <utility>

namespace tavro::test {

class HeldLock {
public:
    explicit HeldLock(const std::string& dir) {
        platform::profile_testing::SetLockWait(20);
        if (dir.empty())
            return;
        fd_ = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY);
        EXPECT_EQ(::flock(fd_, LOCK_EX | LOCK_NB), 0) << dir;
    }
    HeldLock(const HeldLock&) = delete;
    ~HeldLock() {
        release();
        platform::profile_testing::SetLockWait(2000);
    }

    void release() {
        if (fd_ >= 0)
            ::close(std::exchange(fd_, -1));
    }
    unsigned waits() const { return platform::profile_testing::LockWaits() - start_; }

private:
    int fd_ = -1;
    const unsigned start_ = platform::profile_testing::LockWaits();
};

} // namespace tavro::test
