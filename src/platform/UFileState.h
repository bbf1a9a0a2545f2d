// What a file keeps beside its content, so that a file given back its old content can be given
// back the rest too; the folder where the program keeps state between runs; and a lock that
// makes the program's own processes take turns with a shared file.
#pragma once

#include "platform/UPlatform.h"

#include <cstdint>
#include <string>

namespace platform {

// Gives the file these permission bits and times, and this owner and group where it has others
// and the process may change them.
TIoResult RestoreFileMeta(const std::string& path, const TFileMeta& meta);

// Where the program keeps what outlives a run, with a trailing separator: $XDG_STATE_HOME (when
// absolute) or ~/.local/state, then "fernsweep/"; %LOCALAPPDATA%\fernsweep\ on Windows. Empty
// when there is no home.
std::string StateFolder();

// Writes to disk everything written so far to the file system that holds `folder`: one call
// instead of a flush per file, for many files written together. A no-op on Windows.
TIoResult FlushFileSystem(const std::string& folder);

// Creates the folder `path` (its parent must exist) that only its owner may enter.
bool CreatePrivateFolder(const std::string& path);

// Removes an empty folder.
bool RemoveFolder(const std::string& path);

// An exclusive lock on the file `path` (created when missing), held until destruction. With
// `wait` it waits for another holder to let go; without, Held() tells whether it was free.
class TFileLock {
public:
    explicit TFileLock(const std::string& path, bool wait = true);
    ~TFileLock();
    TFileLock(const TFileLock&) = delete;
    TFileLock& operator=(const TFileLock&) = delete;
    bool Held() const { return held_; }

private:
#ifdef _WIN32
    void* handle_ = nullptr;
#else
    int fd_ = -1;
#endif
    bool held_ = false;
};

} // namespace platform
