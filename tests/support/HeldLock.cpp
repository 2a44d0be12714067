#include "support/HeldLock.h"

#include "platform/testing.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

namespace tavro::test {

HeldLock::HeldLock(const std::string& dir) : start_(platform::profile_testing::LockWaits()) {
    platform::profile_testing::SetLockWait(20);
    if (dir.empty())
        return;
    fd_ = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY);
    EXPECT_EQ(::flock(fd_, LOCK_EX | LOCK_NB), 0) << dir;
}

HeldLock::~HeldLock() {
    release();
    platform::profile_testing::SetLockWait(2000);
}

void HeldLock::release() {
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
}

unsigned HeldLock::waits() const {
    return platform::profile_testing::LockWaits() - start_;
}

} // namespace tavro::test
