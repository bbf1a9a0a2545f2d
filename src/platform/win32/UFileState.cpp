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

bool RemoveFolder(const std::string& path) {
    return RemoveDirectoryA(path.c_str()) != 0;
}

struct TNewFile::Impl {
    std::string Folder;
    std::string TempPath;
    HANDLE File = INVALID_HANDLE_VALUE;
    int Error = 0;
    bool Placed = false;
    ~Impl() {
        if (File != INVALID_HANDLE_VALUE) {
            CloseHandle(File);
        }
        if (!Placed && !TempPath.empty()) {
            DeleteFileA(TempPath.c_str());
        }
    }
};

TNewFile::TNewFile(const std::string& folder) : impl_(std::make_unique<Impl>()) {
    impl_->Folder = folder;
    if (!impl_->Folder.empty() && impl_->Folder.back() != '\\' && impl_->Folder.back() != '/') {
        impl_->Folder += '\\';
    }
    static unsigned counter = 0;
    impl_->TempPath = impl_->Folder + ".kept-" + std::to_string(GetCurrentProcessId()) + "-" +
                      std::to_string(GetTickCount64()) + "-" + std::to_string(++counter) + ".tmp";
    impl_->File = CreateFileA(impl_->TempPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_HIDDEN, nullptr);
    if (impl_->File == INVALID_HANDLE_VALUE) {
        impl_->Error = win32::ErrnoOf(GetLastError());
        impl_->TempPath.clear();
    }
}

TNewFile::~TNewFile() = default;

TIoResult TNewFile::Append(std::string_view data) {
    while (impl_->Error == 0 && !data.empty()) {
        const DWORD n = data.size() > 0x40000000 ? 0x40000000 : static_cast<DWORD>(data.size());
        DWORD written = 0;
        if (!WriteFile(impl_->File, data.data(), n, &written, nullptr)) {
            impl_->Error = win32::ErrnoOf(GetLastError());
        }
        data.remove_prefix(written);
    }
    return {impl_->Error};
}

TIoResult TNewFile::Place(const std::string& name, bool replace, bool /*flush*/) {
    if (impl_->Error != 0) {
        return {impl_->Error};
    }
    if (!FlushFileBuffers(impl_->File)) {
        return {win32::ErrnoOf(GetLastError())};
    }
    CloseHandle(impl_->File);
    impl_->File = INVALID_HANDLE_VALUE;
    SetFileAttributesA(impl_->TempPath.c_str(), FILE_ATTRIBUTE_NORMAL);
    const std::string target = impl_->Folder + name;
    const DWORD flags = MOVEFILE_WRITE_THROUGH | (replace ? MOVEFILE_REPLACE_EXISTING : 0);
    if (!MoveFileExA(impl_->TempPath.c_str(), target.c_str(), flags)) {
        return {win32::ErrnoOf(GetLastError())};
    }
    impl_->Placed = true;
    return {};
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
