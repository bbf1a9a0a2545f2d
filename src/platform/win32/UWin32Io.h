// Small Win32 helpers shared by the platform layer's Windows sources; not part of its API.
// windows.h names macros after Win32 calls (DeleteFile, CopyFile, MoveFile) that the platform
// API has as functions: they are undefined here, and the sources call the A forms by name.
#pragma once

#include "platform/UPlatform.h"
#include "platform/UReplaceFile.h"

#include <windows.h>

#undef DeleteFile
#undef CopyFile
#undef MoveFile

#include <cstdint>
#include <string>
#include <string_view>

namespace platform::win32 {

// FILETIME counts 100 ns from 1601; the rest of the program counts from 1970.
constexpr std::int64_t kFileTimeEpochDelta = 116444736000000000LL;

// The errno value nearest to a Win32 error, so TIoResult and the replacement outcome carry the
// same kind of number on every platform.
int ErrnoOf(DWORD error);
inline int LastErrno() {
    return ErrnoOf(::GetLastError());
}

// The system's text for a Win32 error, without the trailing line break.
std::string MessageOf(DWORD error);

// Closes a handle on every path out.
class THandle {
public:
    explicit THandle(HANDLE h = INVALID_HANDLE_VALUE) : h_(h) {}
    ~THandle() { Reset(); }
    THandle(const THandle&) = delete;
    THandle& operator=(const THandle&) = delete;
    HANDLE Get() const { return h_; }
    bool Valid() const { return h_ != INVALID_HANDLE_VALUE && h_ != nullptr; }
    void Reset(HANDLE h = INVALID_HANDLE_VALUE) {
        if (Valid()) {
            ::CloseHandle(h_);
        }
        h_ = h;
    }
    // Gives the handle up to the caller, who closes it.
    HANDLE Release() {
        const HANDLE h = h_;
        h_ = INVALID_HANDLE_VALUE;
        return h;
    }

private:
    HANDLE h_;
};

// The attribute bits of the platform API from Win32 attributes (the same values).
inline int AttributesFrom(DWORD attributes) {
    return static_cast<int>(attributes) & (faAnyFile | faDevice | faReparsePoint);
}

// Opens a file for reading with every kind of sharing, so neither the walk nor a reader stops
// another program.
HANDLE OpenForReading(const std::string& path);

// The identity of the open file; false when the system cannot tell it.
bool IdentityOf(HANDLE file, TFileIdentity& identity);

// Reads the open file to its end into `storage` (grown as needed, never cleared); the byte
// count in `got`. False with the thread's last error set when a read fails.
bool ReadAllInto(HANDLE file, std::string& storage, size_t expected, size_t& got);

// `folder` and `name` joined by one separator.
std::string Join(const std::string& folder, const std::string& name);

// Splits a path into its folder (as written, "." when there is none) and last component.
void SplitPath(const std::string& path, std::string& folder, std::string& name);

// The errno a test wants `step` to fail with, or 0.
int Injected(TReplaceStep step);

// A temporary file beside a target, named as every write of the layer names them; removed by
// its destructor unless placed.
class TSiblingTemp {
public:
    TSiblingTemp(std::string folder, std::string targetName);
    ~TSiblingTemp();
    TSiblingTemp(const TSiblingTemp&) = delete;
    TSiblingTemp& operator=(const TSiblingTemp&) = delete;

    // Each gives 0 or the errno of the failure.
    int Create();
    int Write(std::string_view data);
    // Appends the content of the file `from`.
    int CopyFrom(const std::string& from);
    int Sync();
    // Puts the file in place under `name` with `attributes`; replacing what is there or only
    // into a free name.
    int Place(const std::string& name, DWORD attributes, bool replace);
    void Discard();
    const std::string& TempPath() const { return path_; }

private:
    std::string folder_;
    std::string target_;
    std::string path_;
    THandle file_;
    bool exists_ = false;
};

} // namespace platform::win32
