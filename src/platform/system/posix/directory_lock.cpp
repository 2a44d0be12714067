#include "platform/system/directory_lock.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <time.h>
#include <unistd.h>

namespace platform {

DirectoryLock::DirectoryLock(const std::string& directory, long waitMs) {
    const int fd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    handle_ = fd;
    if (handle_ < 0)
        return;
    // Another launcher holds the lock for milliseconds.
    for (long waited = 0; ::flock(fd, LOCK_EX | LOCK_NB) != 0; waited += 2) {
        if (errno != EWOULDBLOCK && errno != EINTR)
            return;
        waited_ = true;
        if (waited >= waitMs) {
            busy_ = true;
            return;
        }
        const timespec pause{0, 2'000'000};
        ::nanosleep(&pause, nullptr);
    }
}

DirectoryLock::~DirectoryLock() {
    if (handle_ >= 0)
        ::close(static_cast<int>(handle_));
}

} // namespace platform
