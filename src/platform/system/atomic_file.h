// Saving a file so that it is always either wholly old or wholly new: the one
// safe save that the profile writer and the driver editor share. Plain
// standard C++, no Qt, so the profile fuzz target builds it too; each system
// saves its own way (posix/, win32/).
#pragma once

#include "platform/win32.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace platform {

struct SaveTarget;

// Replaces the file at a path with new content, written block by block:
//
//     AtomicFile file(path);
//     bool ok = file.Open();
//     while (ok && more) ok = file.Write(block);
//     ok = ok && file.Commit();          // file.Reason() says why not
//
// The new content goes to a temporary file in the target's directory, is
// flushed to disk, takes the old file's mode and owner, and is renamed over
// the target; then the directory is flushed, so after a crash the path holds
// the old content or the new, never a mix. Until Commit succeeds the old file
// is untouched; a failure, Abandon or the destructor removes the temporary
// file.
//
// - A symbolic link is followed: the file it names is replaced and the link
//   stays. A link to a missing file is refused.
// - Read-only means read-only, as the Windows read-only attribute does: a
//   file with no write bit at all, or that the effective user may not write
//   (faccessat W_OK, AT_EACCESS), is refused by Open. Root is refused too.
// - A file with more than one hard link is refused with a reason: replacing it
//   would part it from its other names, and writing through it in place could
//   leave it torn. The user can copy it to a file of its own and save that.
// - Temporary files leave no debris: where the file system allows it the new
//   content is an unnamed file (O_TMPFILE) that gets a name only for the
//   instant before the rename; elsewhere it has a short name of its own,
//   ".tavro-<pid>-<n>", so a target name of 255 bytes still works. A named
//   temporary file that an interrupted save left behind (its process gone, or
//   its lock free and the file older than a minute) is removed by the next
//   save in that directory.
// - A file that did not exist is created with mode 0666 less the umask.
// - Keeping the owner needs rights only root has; a save by another user that
//   may write the file leaves it owned by that user, as any editor does.
//
// On Windows the temporary file is always named, is flushed with
// FlushFileBuffers and takes the target's place through ReplaceFileW, which
// keeps the old file's attributes and security (MoveFileExW, writing through,
// where there was no old file). Read-only is the read-only attribute. A named
// temporary file is removed by a later save once its process is gone or it
// is a minute old and no longer open.
//
// Reasons are short lower-case phrases that fit after "could not be saved: ",
// e.g. "the file is read-only" or "the new content could not be written (No
// space left on device)". Error() gives the same as a Win32 code: among them
// ERROR_FILE_READ_ONLY for a read-only file, ERROR_NOT_SUPPORTED for one with
// other hard links, ERROR_FILE_NOT_FOUND for a link to a missing file,
// ERROR_DIRECTORY_NOT_SUPPORTED and ERROR_BAD_FILE_TYPE for a target that is a
// directory or another kind of non-regular file, and the code of the failed
// system call otherwise (ErrorFromErrno, last_error.h).
class AtomicFile {
public:
    explicit AtomicFile(std::string path);
    ~AtomicFile();
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    // Checks the target and makes the temporary file. False with a reason
    // when the target cannot be replaced.
    bool Open();
    // Appends bytes to the new content. False with a reason on failure; the
    // save is then abandoned.
    bool Write(std::string_view bytes);
    // Flushes the new content and puts it in place of the target.
    bool Commit();
    // Drops the new content; the target stays as it was.
    void Abandon();

    // Why the last step failed; empty while all went well.
    const std::string& Reason() const { return reason_; }
    // The same as a Win32 code; ERROR_SUCCESS while all went well.
    DWORD Error() const { return code_; }

private:
    // `error`: the failed call's errno, or on Windows its Win32 code.
    bool Fail(std::string reason, int error = 0);
    bool Refuse(std::string reason, DWORD code);
    // Open's part that differs by system: checks the target a link led to
    // and makes the temporary file beside it.
    bool OpenTarget(const SaveTarget& target);
    bool NotOpen();
    bool MakeTemporary();
    bool NameTemporary();

    std::string path_;
    std::string dir_;      // the target's directory, after following links
    std::string base_;     // the target's own name in it
    std::string tempName_; // the temporary file's name in dir_, once it has one
    std::string reason_;
    DWORD code_ = ERROR_SUCCESS;
    // The target directory's descriptor and the temporary file's (on Windows
    // the temporary file's handle alone); -1 for none.
    std::intptr_t dirHandle_ = -1;
    std::intptr_t handle_ = -1;
    bool exists_ = false;
    unsigned mode_ = 0; // the old file's mode (Windows: attributes), owner and group
    unsigned uid_ = 0;
    unsigned gid_ = 0;
};

// Whether Open would refuse an existing file as read-only: no write bit at
// all, or no right to write it for the effective user; on Windows, the
// read-only attribute.
bool IsReadOnlyFile(const char* path);

// The whole of `bytes` as the new content of `path`, with AtomicFile. False
// and `*reason` (when given) on failure; the thread's last error (last_error.h)
// then says the same as a Win32 code.
bool WriteFileAtomically(const std::string& path, std::string_view bytes, std::string* reason);

} // namespace platform
