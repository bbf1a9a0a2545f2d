// What a file keeps beside its content, so that a file given back its old content can be given
// back the rest too; the folder where the program keeps state between runs; and a lock that
// makes the program's own processes take turns with a shared file.
#pragma once

#include "platform/UPlatform.h"

#include <cstdint>
#include <memory>
#include <string>

namespace platform {

// The file's (a link is followed); false when it cannot be looked up.
bool FileMetaOf(const std::string& path, TFileMeta& meta);
// Gives the file these permission bits and times, and this owner and group where it has others
// and the process may change them.
TIoResult RestoreFileMeta(const std::string& path, const TFileMeta& meta);

// Where the program keeps what outlives a run, with a trailing separator: $XDG_STATE_HOME (when
// absolute) or ~/.local/state, then "fernsweep/"; %LOCALAPPDATA%\fernsweep\ on Windows. Empty
// when there is no home.
std::string StateFolder();

// An exclusive lock on the file `path` (created when missing), held until destruction. Waits
// for another holder to let go.
class TFileLock {
public:
    explicit TFileLock(const std::string& path);
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
