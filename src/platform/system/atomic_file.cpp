// The safe save's steps that are the same on every system; posix/ and win32/
// check the target and make, write and put in place the new content.
#include "platform/system/atomic_file.h"

#include "platform/system/file_path.h"

namespace platform {

AtomicFile::AtomicFile(std::string path) : path_(std::move(path)) {}

AtomicFile::~AtomicFile() {
    Abandon();
}

bool AtomicFile::Refuse(std::string reason, DWORD code) {
    reason_ = std::move(reason);
    code_ = code;
    Abandon();
    return false;
}

bool AtomicFile::Open() {
    Abandon();
    reason_.clear();
    code_ = ERROR_SUCCESS;
    if (path_.empty())
        return Refuse("no file name was given", ERROR_INVALID_NAME);

    // Through a symbolic link the link stays and the file it names is replaced.
    const SaveTarget target = FollowToSaveTarget(path_);
    if (target.error == ERROR_FILE_NOT_FOUND)
        return Refuse("it is a symbolic link to a missing file", ERROR_FILE_NOT_FOUND);
    if (target.error != ERROR_SUCCESS)
        return Fail("its symbolic link could not be followed", target.systemError);
    return OpenTarget(target);
}

} // namespace platform
