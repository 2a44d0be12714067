#include "platform/system/file_path.h"

#include "platform/system/last_error.h"

#include <cerrno>
#include <cstdlib>
#include <sys/stat.h>

namespace platform {

SaveTarget FollowToSaveTarget(const std::string& path) {
    SaveTarget target;
    target.file = path;
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
        char* real = ::realpath(path.c_str(), nullptr);
        if (!real) {
            target.systemError = errno;
            target.error = errno == ENOENT ? ERROR_FILE_NOT_FOUND : ErrorFromErrno(errno);
            return target;
        }
        target.file = real;
        std::free(real);
    }
    target.parts = SplitPath(target.file);
    return target;
}

} // namespace platform
