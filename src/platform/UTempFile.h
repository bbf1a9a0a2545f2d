// The one way the platform layer writes a file: a temporary file beside the target, written,
// flushed, then put in place. Not part of the layer's API; its sources share it.
//
// Where the file system allows it the temporary file is created without a name (O_TMPFILE)
// and gets one only when complete, so a process killed while writing leaves nothing behind.
// Every named temporary file carries a marker (an extended attribute) that records the host,
// the PID namespace, the boot, the process and its start time: a later run removes only files
// whose marker proves they are its own kind and that their writer is dead.
#pragma once

#include "platform/UPlatform.h"
#include "platform/UReplaceFile.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <sys/stat.h>

namespace platform::posix {

// The errno a test wants `step` to fail with (errno is set to it), or 0.
int Injected(TReplaceStep step);

// What a temporary file is for, as its marker records it.
enum class TTempRole {
    NewContent, // a file's new content: safe to remove once its writer is dead
    Recovery    // the new content of a file being rewritten in place: kept for the user
};

class TSiblingTemp {
public:
    // The temporary file for `targetName` in the folder open as `dirfd` (not taken over).
    TSiblingTemp(int dirfd, std::string targetName, TTempRole role = TTempRole::NewContent);
    ~TSiblingTemp(); // removes the file unless it was placed
    TSiblingTemp(const TSiblingTemp&) = delete;
    TSiblingTemp& operator=(const TSiblingTemp&) = delete;

    // Each gives 0 or the errno of the failure.
    int Create(mode_t mode);
    // Records another purpose in the marker.
    void SetRole(TTempRole role);
    int Write(std::string_view data);
    // Write without the test hook's step: for content written in many pieces.
    int Append(std::string_view data);
    // Appends the bytes of `fd` from its offset 0 on.
    int CopyFrom(int fd);
    // Gives the file `st`'s mode, and optionally its owner and group (ownerKept tells whether
    // that worked), the extended attributes of `source` (when >= 0) and its times.
    int CopyMetadata(const struct stat& st, int source, bool owner, bool* ownerKept, bool times);
    int Sync();
    // Gives the file a name in its folder (a no-op when it has one).
    int Name();
    // Puts the file at `name` in the folder, replacing what is there.
    int PlaceOver(const std::string& name);
    // Puts the file at `name` in the folder only when the name is free (EEXIST otherwise).
    int PlaceNew(const std::string& name);
    // Leaves the file under its temporary name for good.
    void Keep() { placed_ = true; }
    // Removes the file (named or not) and forgets it.
    void Discard();

    int Fd() const { return fd_; }
    const std::string& TempPath() const { return tempName_; }

private:
    int LinkAs(const std::string& name);

    int dirfd_;
    std::string target_;
    TTempRole role_;
    int fd_ = -1;
    bool anonymous_ = false;
    bool marked_ = false;  // carries the marker, to be removed once placed
    std::string tempName_; // empty while it has no name
    bool placed_ = false;
};

// Opens the folder that `path` names an entry of (O_PATH, so a folder that may not be listed
// still serves) and gives the entry's last component in `name`; -1 with errno on failure.
int OpenFolderOf(const std::string& path, std::string& name);

// A file's identity from its status.
TFileIdentity IdentityOf(const struct stat& st);

// Closes a descriptor on every path out.
class TFd {
public:
    explicit TFd(int fd = -1) : fd_(fd) {}
    ~TFd() { Reset(); }
    TFd(const TFd&) = delete;
    TFd& operator=(const TFd&) = delete;
    int Get() const { return fd_; }
    bool Valid() const { return fd_ >= 0; }
    void Reset(int fd = -1);
    bool Close(); // false when closing reported an error
    // Gives the descriptor up without closing it.
    int Release() {
        const int fd = fd_;
        fd_ = -1;
        return fd;
    }

private:
    int fd_;
};

// Whether `name` in `dirfd` is a temporary file whose marker proves that a dead writer of this
// host and PID namespace left it, at least `minAgeSeconds` ago, holding content that may go.
bool IsStaleTemp(int dirfd, const std::string& name, std::int64_t minAgeSeconds);

} // namespace platform::posix
