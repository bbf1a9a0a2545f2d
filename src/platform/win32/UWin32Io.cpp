// Win32 helpers of the platform layer, and the temporary file every write goes through.
#include "platform/win32/UWin32Io.h"

#include "platform/UTempName.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <functional>
#include <mutex>

namespace platform {

namespace {

std::mutex gHookMutex;

std::function<int(TReplaceStep)>& FaultHook() {
    static std::function<int(TReplaceStep)> hook;
    return hook;
}

std::atomic<unsigned> gSerial{0};

} // namespace

void SetReplaceFaultHook(std::function<int(TReplaceStep)> hook) {
    const std::lock_guard<std::mutex> lock(gHookMutex);
    FaultHook() = std::move(hook);
}

namespace win32 {

int Injected(TReplaceStep step) {
    const std::lock_guard<std::mutex> lock(gHookMutex);
    return FaultHook() ? FaultHook()(step) : 0;
}

int ErrnoOf(DWORD error) {
    switch (error) {
    case ERROR_SUCCESS:
        return 0;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_PATHNAME:
        return ENOENT;
    case ERROR_ACCESS_DENIED:
    case ERROR_PRIVILEGE_NOT_HELD:
        return EACCES;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_BUSY:
        return EBUSY;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
        return EEXIST;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        return ENOSPC;
    case ERROR_WRITE_PROTECT:
        return EROFS;
    case ERROR_NOT_SAME_DEVICE:
        return EXDEV;
    case ERROR_DIRECTORY:
        return ENOTDIR;
    case ERROR_FILENAME_EXCED_RANGE:
        return ENAMETOOLONG;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY:
        return ENOMEM;
    case ERROR_INVALID_NAME:
    case ERROR_INVALID_PARAMETER:
        return EINVAL;
    case ERROR_NOT_SUPPORTED:
    case ERROR_INVALID_FUNCTION:
        return ENOSYS;
    case ERROR_TOO_MANY_OPEN_FILES:
        return EMFILE;
    default:
        return EIO;
    }
}

std::string MessageOf(DWORD error) {
    char* text = nullptr;
    const DWORD n = ::FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                         FORMAT_MESSAGE_IGNORE_INSERTS,
                                     nullptr, error, 0, reinterpret_cast<char*>(&text), 0, nullptr);
    std::string out =
        n > 0 && text != nullptr ? std::string(text, n) : "System error " + std::to_string(error);
    if (text != nullptr) {
        ::LocalFree(text);
    }
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r' || out.back() == ' ')) {
        out.pop_back();
    }
    return out;
}

HANDLE OpenForReading(const std::string& path) {
    return ::CreateFileA(path.c_str(), GENERIC_READ,
                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
}

bool IdentityOf(HANDLE file, TFileIdentity& identity) {
    BY_HANDLE_FILE_INFORMATION info;
    if (!::GetFileInformationByHandle(file, &info)) {
        return false;
    }
    const auto join = [](DWORD high, DWORD low) {
        return (static_cast<std::uint64_t>(high) << 32) | low;
    };
    identity.Device = info.dwVolumeSerialNumber;
    identity.Inode = join(info.nFileIndexHigh, info.nFileIndexLow);
    identity.Size = static_cast<std::int64_t>(join(info.nFileSizeHigh, info.nFileSizeLow));
    identity.ModifiedNs = static_cast<std::int64_t>(
        join(info.ftLastWriteTime.dwHighDateTime, info.ftLastWriteTime.dwLowDateTime) * 100);
    identity.Links = info.nNumberOfLinks;
    // Times as the rest of the program counts them, from 1970.
    const auto unixNs = [&join](const FILETIME& ft) {
        return (static_cast<std::int64_t>(join(ft.dwHighDateTime, ft.dwLowDateTime)) -
                kFileTimeEpochDelta) *
               100;
    };
    identity.Meta.Mode = (info.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0 ? 0444 : 0644;
    identity.Meta.AccessedNs = unixNs(info.ftLastAccessTime);
    identity.Meta.ModifiedNs = unixNs(info.ftLastWriteTime);
    // The change time also moves on a rename or an attribute change, as on POSIX.
    FILE_BASIC_INFO basic;
    identity.ChangedNs = ::GetFileInformationByHandleEx(file, FileBasicInfo, &basic, sizeof basic)
                             ? basic.ChangeTime.QuadPart * 100
                             : identity.ModifiedNs;
    return true;
}

bool ReadAllInto(HANDLE file, std::string& storage, size_t expected, size_t& got) {
    const size_t want = expected + 1;
    if (storage.size() < want) {
        storage.resize(std::max(want, storage.size() + storage.size() / 2));
    }
    got = 0;
    for (;;) {
        if (got == storage.size()) {
            storage.resize(storage.size() * 2 + 4096);
        }
        const size_t room = std::min<size_t>(storage.size() - got, 1u << 30);
        DWORD n = 0;
        if (!::ReadFile(file, storage.data() + got, static_cast<DWORD>(room), &n, nullptr)) {
            return ::GetLastError() == ERROR_BROKEN_PIPE;
        }
        if (n == 0) {
            return true;
        }
        got += n;
    }
}

std::string Join(const std::string& folder, const std::string& name) {
    if (folder.empty()) {
        return name;
    }
    const char last = folder.back();
    return last == '\\' || last == '/' || last == ':' ? folder + name : folder + '\\' + name;
}

void SplitPath(const std::string& path, std::string& folder, std::string& name) {
    const size_t s = path.find_last_of("\\/:");
    if (s == std::string::npos) {
        folder = ".";
        name = path;
        return;
    }
    folder = path.substr(0, s + 1);
    name = path.substr(s + 1);
}

TSiblingTemp::TSiblingTemp(std::string folder, std::string targetName)
    : folder_(std::move(folder)), target_(std::move(targetName)) {}

TSiblingTemp::~TSiblingTemp() {
    Discard();
}

void TSiblingTemp::Discard() {
    file_.Reset();
    if (exists_) {
        ::SetFileAttributesA(path_.c_str(), FILE_ATTRIBUTE_NORMAL);
        ::DeleteFileA(path_.c_str());
        exists_ = false;
    }
}

int TSiblingTemp::Create() {
    if (const int e = Injected(TReplaceStep::CreateTemp); e != 0) {
        return e;
    }
    const DWORD pid = ::GetCurrentProcessId();
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::uint64_t serial = (static_cast<std::uint64_t>(pid) << 20) + ++gSerial;
        path_ = Join(folder_, TempName(target_, serial));
        // Hidden, as the dot names are on POSIX; sharing for reading only while it is written.
        file_.Reset(::CreateFileA(path_.c_str(), GENERIC_READ | GENERIC_WRITE | DELETE,
                                  FILE_SHARE_READ, nullptr, CREATE_NEW, FILE_ATTRIBUTE_HIDDEN,
                                  nullptr));
        if (file_.Valid()) {
            exists_ = true;
            return 0;
        }
        if (::GetLastError() != ERROR_FILE_EXISTS && ::GetLastError() != ERROR_ALREADY_EXISTS) {
            return LastErrno();
        }
    }
    return EEXIST;
}

int TSiblingTemp::Write(std::string_view data) {
    if (const int e = Injected(TReplaceStep::WriteTemp); e != 0) {
        return e;
    }
    size_t done = 0;
    while (done < data.size()) {
        const DWORD chunk = static_cast<DWORD>(std::min<size_t>(data.size() - done, 1u << 30));
        DWORD n = 0;
        if (!::WriteFile(file_.Get(), data.data() + done, chunk, &n, nullptr)) {
            return LastErrno();
        }
        done += n;
    }
    return 0;
}

int TSiblingTemp::CopyFrom(const std::string& from) {
    const THandle in(OpenForReading(from));
    if (!in.Valid()) {
        return LastErrno();
    }
    std::string buffer(1 << 16, '\0');
    for (;;) {
        DWORD n = 0;
        if (!::ReadFile(in.Get(), buffer.data(), static_cast<DWORD>(buffer.size()), &n, nullptr)) {
            return LastErrno();
        }
        if (n == 0) {
            return 0;
        }
        if (const int e = Write(std::string_view(buffer.data(), n)); e != 0) {
            return e;
        }
    }
}

int TSiblingTemp::Sync() {
    if (const int e = Injected(TReplaceStep::SyncTemp); e != 0) {
        return e;
    }
    return ::FlushFileBuffers(file_.Get()) ? 0 : LastErrno();
}

int TSiblingTemp::Place(const std::string& name, DWORD attributes, bool replace) {
    // Closed first: a file cannot be renamed while a handle without delete sharing is open.
    file_.Reset();
    const DWORD wanted = attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                       FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED);
    if (!::SetFileAttributesA(path_.c_str(), wanted != 0 ? wanted : FILE_ATTRIBUTE_NORMAL)) {
        return LastErrno();
    }
    if (const int e = replace ? Injected(TReplaceStep::RenameOver) : 0; e != 0) {
        return e;
    }
    const DWORD flags = MOVEFILE_WRITE_THROUGH | (replace ? MOVEFILE_REPLACE_EXISTING : 0);
    if (!::MoveFileExA(path_.c_str(), Join(folder_, name).c_str(), flags)) {
        return LastErrno();
    }
    exists_ = false;
    return 0;
}

} // namespace win32

} // namespace platform
