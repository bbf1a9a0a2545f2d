#include "platform/UFileState.h"

#include "platform/win32/UWin32Io.h"

#include <windows.h>

#include <string>

namespace platform {

namespace {

FILETIME FromNs(std::int64_t ns) {
    const std::int64_t ticks = ns / 100 + win32::kFileTimeEpochDelta;
    FILETIME ft;
    ft.dwLowDateTime = static_cast<DWORD>(ticks & 0xFFFFFFFF);
    ft.dwHighDateTime = static_cast<DWORD>(ticks >> 32);
    return ft;
}

} // namespace

TIoResult RestoreFileMeta(const std::string& path, const TFileMeta& meta) {
    const DWORD attrs = GetFileAttributesA(path.c_str());
    if (attrs == INVALID_FILE_ATTRIBUTES) {
        return {win32::ErrnoOf(GetLastError())};
    }
    // Times first: a read-only file cannot be opened for writing its attributes' times.
    if ((attrs & FILE_ATTRIBUTE_READONLY) != 0) {
        SetFileAttributesA(path.c_str(), attrs & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
    }
    HANDLE h = CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    int err = 0;
    if (h == INVALID_HANDLE_VALUE) {
        err = win32::ErrnoOf(GetLastError());
    } else {
        const FILETIME atime = FromNs(meta.AccessedNs);
        const FILETIME mtime = FromNs(meta.ModifiedNs);
        if (!SetFileTime(h, nullptr, &atime, &mtime)) {
            err = win32::ErrnoOf(GetLastError());
        }
        CloseHandle(h);
    }
    DWORD want = attrs & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY);
    if ((meta.Mode & 0222) == 0) {
        want |= FILE_ATTRIBUTE_READONLY;
    }
    if (!SetFileAttributesA(path.c_str(), want) && err == 0) {
        err = win32::ErrnoOf(GetLastError());
    }
    return {err};
}

std::string StateFolder() {
    std::string base = EnvironmentVariable("LOCALAPPDATA");
    if (base.empty()) {
        return {};
    }
    if (base.back() != '\\') {
        base += '\\';
    }
    return base + "fernsweep\\";
}

TIoResult FlushFileSystem(const std::string& /*folder*/) {
    return {}; // each file was flushed as it was placed
}

// The folders under the local application data are the user's own already.
bool CreatePrivateFolder(const std::string& path) {
    return CreateDirectoryA(path.c_str(), nullptr) != 0;
}

bool RemoveFolder(const std::string& path) {
    return RemoveDirectoryA(path.c_str()) != 0;
}

TFileLock::TFileLock(const std::string& path, bool wait) {
    HANDLE h = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        return;
    }
    handle_ = h;
    OVERLAPPED ov{};
    held_ = LockFileEx(h, LOCKFILE_EXCLUSIVE_LOCK | (wait ? 0 : LOCKFILE_FAIL_IMMEDIATELY), 0, 1, 0,
                       &ov) != 0;
}

TFileLock::~TFileLock() {
    if (handle_ != nullptr) {
        CloseHandle(static_cast<HANDLE>(handle_)); // lets go of the lock
    }
}

} // namespace platform
