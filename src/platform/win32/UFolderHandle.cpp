// Win32 implementation of folders held open: a directory handle without delete sharing pins
// the folder to its path, and the files are reached through that path.
#include "platform/UFolderHandle.h"

#include "platform/UFolderOrder.h"

#include "platform/win32/UWin32Io.h"

#include <algorithm>

namespace platform {

using win32::THandle;

namespace {

// Opens a folder for its identity, not following a link when `noFollow`.
HANDLE OpenFolder(const std::string& path, bool noFollow) {
    return ::CreateFileA(path.c_str(), FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES,
                         FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                         FILE_FLAG_BACKUP_SEMANTICS | (noFollow ? FILE_FLAG_OPEN_REPARSE_POINT : 0),
                         nullptr);
}

// False also for a link (a reparse point), which a walk never enters.
bool FolderId(HANDLE h, TFileId& id, std::int64_t& stamp) {
    BY_HANDLE_FILE_INFORMATION info;
    if (!::GetFileInformationByHandle(h, &info) ||
        (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 ||
        (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
        return false;
    }
    id.Device = info.dwVolumeSerialNumber;
    id.Inode = (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    stamp = static_cast<std::int64_t>(
        (static_cast<std::uint64_t>(info.ftLastWriteTime.dwHighDateTime) << 32) |
        info.ftLastWriteTime.dwLowDateTime);
    return true;
}

[[noreturn]] void CannotOpen(const std::string& displayPath) {
    throw EPlatformError("Cannot open file \"" + displayPath + "\". " + LastErrorText());
}

} // namespace

void TFolderHandle::Close() {
    if (handle_ != nullptr) {
        ::CloseHandle(static_cast<HANDLE>(handle_));
        handle_ = nullptr;
    }
    fd_ = -1;
}

const std::string& TFolderHandle::Path() const {
    return path_;
}

TFolderHandle::~TFolderHandle() {
    Close();
}

TFolderHandle::TFolderHandle(TFolderHandle&& other) noexcept
    : fd_(other.fd_), id_(other.id_), stamp_(other.stamp_), handle_(other.handle_),
      path_(std::move(other.path_)) {
    other.handle_ = nullptr;
    other.fd_ = -1;
}

TFolderHandle& TFolderHandle::operator=(TFolderHandle&& other) noexcept {
    if (this != &other) {
        Close();
        fd_ = other.fd_;
        handle_ = other.handle_;
        path_ = std::move(other.path_);
        id_ = other.id_;
        stamp_ = other.stamp_;
        other.handle_ = nullptr;
        other.fd_ = -1;
    }
    return *this;
}

TFolderHandle TFolderHandle::OpenPath(const std::string& path) {
    TFolderHandle h;
    if (path.empty()) {
        return h;
    }
    const HANDLE folder = OpenFolder(path, false);
    if (folder == INVALID_HANDLE_VALUE) {
        return h;
    }
    h.fd_ = 0;
    h.handle_ = folder;
    h.path_ = ExpandFileName(path);
    if (!FolderId(folder, h.id_, h.stamp_)) {
        h = TFolderHandle();
    }
    return h;
}

std::int64_t TFolderHandle::ReadStamp() const {
    TFileId id;
    std::int64_t stamp = -1;
    return Valid() && FolderId(static_cast<HANDLE>(handle_), id, stamp) ? stamp : -1;
}

TFolderHandle TFolderHandle::OpenSub(const std::string& name, const TFileId& expected) const {
    TFolderHandle h;
    if (!Valid()) {
        return h;
    }
    const std::string path = win32::Join(path_, name);
    const HANDLE folder = OpenFolder(path, true);
    if (folder == INVALID_HANDLE_VALUE) {
        return h;
    }
    h.fd_ = 0;
    h.handle_ = folder;
    h.path_ = path;
    TFileId id;
    if (!FolderId(folder, id, h.stamp_) || !(id == expected)) {
        return TFolderHandle();
    }
    h.id_ = id;
    return h;
}

std::vector<TFolderEntry> ListFolder(const TFolderHandle& folder, std::string* error,
                                     const std::function<void()>& meanwhile) {
    std::vector<TFolderEntry> out;
    if (!folder.Valid()) {
        return out;
    }
    WIN32_FIND_DATAA data;
    const HANDLE find = ::FindFirstFileA(win32::Join(folder.Path(), "*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) {
        if (error != nullptr && ::GetLastError() != ERROR_FILE_NOT_FOUND) {
            *error = LastErrorText();
        }
        return out;
    }
    do {
        const std::string_view n(data.cFileName);
        if (n == "." || n == "..") {
            continue;
        }
        TFolderEntry entry;
        entry.Name.assign(n);
        const DWORD a = data.dwFileAttributes;
        if ((a & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DEVICE)) != 0) {
            entry.Kind = TEntryKind::Other;
        } else if ((a & FILE_ATTRIBUTE_DIRECTORY) != 0) {
            // Folders need their identity, to be opened later as the same folder.
            const THandle sub(OpenFolder(win32::Join(folder.Path(), entry.Name), true));
            std::int64_t stamp = 0;
            if (!sub.Valid() || !FolderId(sub.Get(), entry.Id, stamp)) {
                continue; // gone since it was listed
            }
            entry.Kind = TEntryKind::Folder;
        } else {
            entry.Kind = TEntryKind::PlainFile;
        }
        out.push_back(std::move(entry));
        if (meanwhile && (out.size() & 4095) == 0) {
            meanwhile();
        }
    } while (::FindNextFileA(find, &data));
    ::FindClose(find);
    SortFolderEntries(out, meanwhile);
    return out;
}

int EntryAttributes(const TFolderHandle& folder, const std::string& name) {
    return AttributesOf(win32::Join(folder.Path(), name));
}

size_t ReadFileAt(const TFolderHandle& folder, const std::string& name,
                  const std::string& displayPath, std::string& storage, TFileIdentity& identity) {
    const THandle file(win32::OpenForReading(win32::Join(folder.Path(), name)));
    if (!file.Valid() || !win32::IdentityOf(file.Get(), identity)) {
        CannotOpen(displayPath);
    }
    size_t got = 0;
    if (!win32::ReadAllInto(file.Get(), storage, static_cast<size_t>(identity.Size), got)) {
        CannotOpen(displayPath);
    }
    return got;
}

TFileReader::~TFileReader() {
    if (handle_ != nullptr) {
        ::CloseHandle(static_cast<HANDLE>(handle_));
    }
}

int TFileReader::Attributes(const TFolderHandle& folder, const std::string& name) const {
    return EntryAttributes(folder, name);
}

void TFileReader::Open(const TFolderHandle& folder, const std::string& name,
                       const std::string& displayPath) {
    if (handle_ != nullptr) {
        ::CloseHandle(static_cast<HANDLE>(handle_));
        handle_ = nullptr;
    }
    displayPath_ = displayPath;
    THandle file(win32::OpenForReading(win32::Join(folder.Path(), name)));
    if (!file.Valid() || !win32::IdentityOf(file.Get(), identity_)) {
        CannotOpen(displayPath_);
    }
    regular_ = ::GetFileType(file.Get()) == FILE_TYPE_DISK;
    handle_ = file.Release();
}

size_t TFileReader::ReadSome(std::int64_t offset, char* into, size_t n) {
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(static_cast<std::uint64_t>(offset) & 0xFFFFFFFFu);
    at.OffsetHigh = static_cast<DWORD>(static_cast<std::uint64_t>(offset) >> 32);
    DWORD got = 0;
    const DWORD ask = static_cast<DWORD>(std::min<size_t>(n, 1u << 30));
    if (!::ReadFile(static_cast<HANDLE>(handle_), into, ask, &got, &at)) {
        if (::GetLastError() == ERROR_HANDLE_EOF) {
            return 0;
        }
        CannotOpen(displayPath_);
    }
    return got;
}

size_t TFileReader::ReadAt(std::int64_t offset, char* into, size_t n) {
    size_t done = 0;
    while (done < n) {
        const size_t got =
            ReadSome(offset + static_cast<std::int64_t>(done), into + done, n - done);
        if (got == 0) {
            break;
        }
        done += got;
    }
    return done;
}

TFileIdentity IdentityAt(const TFolderHandle& folder, const std::string& name) {
    const THandle file(win32::OpenForReading(win32::Join(folder.Path(), name)));
    TFileIdentity id;
    if (!file.Valid() || !win32::IdentityOf(file.Get(), id)) {
        return TFileIdentity();
    }
    return id;
}

std::string PathThrough(const TFolderHandle& folder, const std::string& name) {
    return win32::Join(folder.Path(), name);
}

// Windows has no per-process limit on open handles to raise.
void AllowManyOpenFolders() {}

} // namespace platform
