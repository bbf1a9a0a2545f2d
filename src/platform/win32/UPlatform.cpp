// Win32 implementation of the platform layer. Paths are byte strings in the ANSI code page,
// passed to the A forms of the calls.
#include "platform/UPlatform.h"

#include "platform/win32/UWin32Io.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

namespace platform {

using win32::LastErrno;
using win32::THandle;

namespace {

bool IsSeparator(char c) {
    return c == '\\' || c == '/';
}

std::string BaseName(const std::string& path) {
    std::string p = path;
    while (p.size() > 1 && IsSeparator(p.back())) {
        p.pop_back();
    }
    const size_t s = p.find_last_of("\\/:");
    return s == std::string::npos ? p : p.substr(s + 1);
}

DWORD AttributesRaw(const std::string& path) {
    return path.empty() ? INVALID_FILE_ATTRIBUTES : ::GetFileAttributesA(path.c_str());
}

TIoResult Fail(int err) {
    return TIoResult{err != 0 ? err : EIO};
}

} // namespace

std::string LastErrorText() {
    return win32::MessageOf(::GetLastError());
}

std::string EnvironmentVariable(const char* name) {
    const DWORD n = ::GetEnvironmentVariableA(name, nullptr, 0);
    if (n == 0) {
        return std::string();
    }
    std::string v(n, '\0');
    const DWORD got = ::GetEnvironmentVariableA(name, v.data(), n);
    v.resize(got < n ? got : 0);
    return v;
}

std::string HomeFolder() {
    const std::string profile = EnvironmentVariable("USERPROFILE");
    if (!profile.empty()) {
        return profile;
    }
    const std::string drive = EnvironmentVariable("HOMEDRIVE");
    const std::string path = EnvironmentVariable("HOMEPATH");
    return drive.empty() || path.empty() ? std::string() : drive + path;
}

// A folder's read-only attribute says nothing about its files: only creating one tells.
bool FolderWritable(const std::string& folder) {
    if (folder.empty()) {
        return false;
    }
    const std::string probe =
        win32::Join(folder, ".fernsweep-probe." + std::to_string(::GetCurrentProcessId()));
    const THandle h(::CreateFileA(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
    return h.Valid();
}

// Windows runs files by their type, not by a permission bit.
TIoResult MakeExecutable(const std::string& path) {
    return AttributesRaw(path) == INVALID_FILE_ATTRIBUTES ? Fail(LastErrno()) : TIoResult{};
}

bool WriteStdStream(TStdStream stream, std::string_view data) {
    const HANDLE h =
        ::GetStdHandle(stream == TStdStream::Output ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE);
    if (h == INVALID_HANDLE_VALUE || h == nullptr) {
        return false;
    }
    size_t done = 0;
    while (done < data.size()) {
        const DWORD chunk = static_cast<DWORD>(std::min<size_t>(data.size() - done, 1u << 20));
        DWORD n = 0;
        if (!::WriteFile(h, data.data() + done, chunk, &n, nullptr)) {
            return false;
        }
        done += n;
    }
    return true;
}

bool IsTerminal(TStdStream stream) {
    DWORD mode = 0;
    const HANDLE h =
        ::GetStdHandle(stream == TStdStream::Output ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE);
    return ::GetFileType(h) == FILE_TYPE_CHAR && ::GetConsoleMode(h, &mode) != 0;
}

namespace {

volatile LONG gInterrupted = 0;

BOOL WINAPI OnConsoleEvent(DWORD event) {
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) {
        return FALSE;
    }
    // A second interrupt means "now": the default handler ends the process.
    return ::InterlockedExchange(&gInterrupted, 1) == 0 ? TRUE : FALSE;
}

} // namespace

void WatchInterrupt() {
    ::SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
}

bool InterruptRequested() {
    return gInterrupted != 0;
}

std::string TIoResult::Reason() const {
    return Error == 0 ? std::string() : std::string(std::strerror(Error));
}

int AttributesOf(const std::string& path) {
    const DWORD a = AttributesRaw(path);
    return a == INVALID_FILE_ATTRIBUTES ? -1 : win32::AttributesFrom(a);
}

bool FindFileInfo(const std::string& path, TSearchRec& rec) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (path.empty() || !::GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) {
        return false;
    }
    rec.Name = BaseName(path);
    rec.Attr = win32::AttributesFrom(data.dwFileAttributes);
    rec.Size = static_cast<std::int64_t>((static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) |
                                         data.nFileSizeLow);
    return true;
}

struct TDirEnumerator::Impl {
    HANDLE find = INVALID_HANDLE_VALUE;
    WIN32_FIND_DATAA data{};
    bool pending = false; // FindFirstFileA's entry is still to be given
    ~Impl() {
        if (find != INVALID_HANDLE_VALUE) {
            ::FindClose(find);
        }
    }
};

TDirEnumerator::TDirEnumerator(const std::string& folder) : impl_(std::make_unique<Impl>()) {
    const std::string pattern = win32::Join(folder.empty() ? std::string(".") : folder, "*");
    impl_->find = ::FindFirstFileA(pattern.c_str(), &impl_->data);
    impl_->pending = impl_->find != INVALID_HANDLE_VALUE;
}

TDirEnumerator::~TDirEnumerator() = default;

bool TDirEnumerator::Next() {
    if (impl_->find == INVALID_HANDLE_VALUE) {
        return false;
    }
    if (!impl_->pending && !::FindNextFileA(impl_->find, &impl_->data)) {
        return false;
    }
    impl_->pending = false;
    name_ = impl_->data.cFileName;
    return true;
}

bool TDirEnumerator::IsDirectory() {
    const int a = Attributes();
    return (a & faDirectory) != 0 && (a & faReparsePoint) == 0;
}

bool TDirEnumerator::IsPlainFile() const {
    return (impl_->data.dwFileAttributes &
            (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DEVICE)) == 0;
}

int TDirEnumerator::Attributes() {
    return win32::AttributesFrom(impl_->data.dwFileAttributes);
}

bool SetCurrentDir(const std::string& path) {
    return !path.empty() && ::SetCurrentDirectoryA(path.c_str()) != 0;
}

std::string GetCurrentDir() {
    const DWORD n = ::GetCurrentDirectoryA(0, nullptr);
    std::string dir(n, '\0');
    const DWORD got = ::GetCurrentDirectoryA(n, dir.data());
    dir.resize(got < n ? got : 0);
    // "C:\" keeps its separator; any other folder has none at its end.
    if (dir.size() > 3 && dir.back() == '\\') {
        dir.pop_back();
    }
    return dir;
}

// GetFullPathNameA resolves "." and ".." lexically and keeps a trailing separator.
std::string ExpandFileName(const std::string& name) {
    const std::string in = name.empty() ? std::string(".") : name;
    const DWORD n = ::GetFullPathNameA(in.c_str(), 0, nullptr, nullptr);
    if (n == 0) {
        return name;
    }
    std::string full(n, '\0');
    const DWORD got = ::GetFullPathNameA(in.c_str(), n, full.data(), nullptr);
    full.resize(got < n ? got : 0);
    return full;
}

bool FileExists(const std::string& path) {
    const DWORD a = AttributesRaw(path);
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool DirectoryExists(const std::string& path) {
    const DWORD a = AttributesRaw(path);
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// Without MOVEFILE_REPLACE_EXISTING a rename never replaces an existing target.
bool RenameFile(const std::string& from, const std::string& to) {
    return !from.empty() && !to.empty() && ::MoveFileExA(from.c_str(), to.c_str(), 0) != 0;
}

bool DeleteFile(const std::string& path) {
    const DWORD a = AttributesRaw(path);
    if (a == INVALID_FILE_ATTRIBUTES || (a & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return false;
    }
    return ::DeleteFileA(path.c_str()) != 0;
}

bool ForceDirectories(const std::string& pathIn) {
    std::string path = pathIn;
    while (path.size() > 1 && IsSeparator(path.back()) && path[path.size() - 2] != ':') {
        path.pop_back();
    }
    if (path.empty()) {
        return false;
    }
    if (DirectoryExists(path)) {
        return true;
    }
    const size_t s = path.find_last_of("\\/");
    if (s != std::string::npos && s > 0 && !ForceDirectories(path.substr(0, s))) {
        return false;
    }
    return ::CreateDirectoryA(path.c_str(), nullptr) != 0 ||
           (::GetLastError() == ERROR_ALREADY_EXISTS && DirectoryExists(path));
}

size_t ReadWholeFileInto(const std::string& path, std::string& storage, std::int64_t expectedSize,
                         TFileIdentity* identity) {
    const THandle file(win32::OpenForReading(path));
    const auto fail = [&]() {
        throw EPlatformError("Cannot open file \"" + path + "\". " + LastErrorText());
    };
    if (!file.Valid()) {
        fail();
    }
    if (expectedSize < 0 || identity != nullptr) {
        TFileIdentity id;
        if (!win32::IdentityOf(file.Get(), id)) {
            fail();
        }
        expectedSize = id.Size;
        if (identity != nullptr) {
            *identity = id;
        }
    }
    size_t got = 0;
    if (!win32::ReadAllInto(file.Get(), storage, static_cast<size_t>(expectedSize), got)) {
        fail();
    }
    return got;
}

void ReadWholeFile(const std::string& path, std::string& buffer) {
    const size_t n = ReadWholeFileInto(path, buffer);
    buffer.resize(n);
}

TIoResult WriteWholeFile(const std::string& path, std::string_view data) {
    if (path.empty()) {
        return Fail(ENOENT);
    }
    const DWORD existing = AttributesRaw(path);
    if (existing != INVALID_FILE_ATTRIBUTES && (existing & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return Fail(EISDIR);
    }
    std::string folder;
    std::string name;
    win32::SplitPath(path, folder, name);
    win32::TSiblingTemp temp(folder, name);
    int err = temp.Create();
    err = err != 0 ? err : temp.Write(data);
    err = err != 0 ? err : temp.Sync();
    err =
        err != 0 ? err : temp.Place(name, existing != INVALID_FILE_ATTRIBUTES ? existing : 0, true);
    return err == 0 ? TIoResult{} : Fail(err);
}

TIoResult CopyFile(const std::string& from, const std::string& to) {
    if (from.empty() || to.empty()) {
        return Fail(ENOENT);
    }
    const THandle in(win32::OpenForReading(from));
    TFileIdentity source;
    if (!in.Valid() || !win32::IdentityOf(in.Get(), source)) {
        return Fail(LastErrno());
    }
    const DWORD fromAttr = AttributesRaw(from);
    if ((fromAttr & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return Fail(EINVAL);
    }
    const DWORD toAttr = AttributesRaw(to);
    if (toAttr != INVALID_FILE_ATTRIBUTES) {
        if ((toAttr & FILE_ATTRIBUTE_DIRECTORY) != 0) {
            return Fail(EISDIR);
        }
        const THandle target(win32::OpenForReading(to));
        TFileIdentity existing;
        if (target.Valid() && win32::IdentityOf(target.Get(), existing) &&
            existing.Device == source.Device && existing.Inode == source.Inode) {
            return Fail(EINVAL); // copying a file onto itself would destroy it
        }
    }
    // CopyFileA into a temporary name keeps the content, attributes and times; the copy then
    // takes the target's name whole.
    std::string folder;
    std::string name;
    win32::SplitPath(to, folder, name);
    win32::TSiblingTemp temp(folder, name);
    int err = temp.Create();
    if (err == 0) {
        const std::string tempPath = temp.TempPath();
        temp.Discard();
        if (!::CopyFileA(from.c_str(), tempPath.c_str(), TRUE)) {
            return Fail(LastErrno());
        }
        if (!::MoveFileExA(tempPath.c_str(), to.c_str(),
                           MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
            err = LastErrno();
            ::DeleteFileA(tempPath.c_str());
        }
    }
    return err == 0 ? TIoResult{} : Fail(err);
}

// MOVEFILE_COPY_ALLOWED moves across volumes by a copy and a delete; write-through makes the
// copy durable before the source goes. Without MOVEFILE_REPLACE_EXISTING nothing is replaced.
TIoResult MoveFile(const std::string& from, const std::string& to) {
    if (from.empty() || to.empty()) {
        return Fail(ENOENT);
    }
    if (AttributesRaw(to) != INVALID_FILE_ATTRIBUTES) {
        return Fail(EEXIST);
    }
    const DWORD a = AttributesRaw(from);
    if (a == INVALID_FILE_ATTRIBUTES) {
        return Fail(LastErrno());
    }
    if ((a & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return Fail(EINVAL);
    }
    if (!::MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_COPY_ALLOWED | MOVEFILE_WRITE_THROUGH)) {
        return Fail(LastErrno());
    }
    return TIoResult{};
}

std::string ExecutablePath() {
    std::vector<char> buf(MAX_PATH);
    for (;;) {
        const DWORD n = ::GetModuleFileNameA(nullptr, buf.data(), static_cast<DWORD>(buf.size()));
        if (n == 0) {
            return std::string();
        }
        if (n < buf.size()) {
            return std::string(buf.data(), n);
        }
        buf.resize(buf.size() * 2);
    }
}

std::string ExeDirectory() {
    const std::string exe = ExecutablePath();
    const size_t s = exe.find_last_of("\\/");
    return s == std::string::npos ? std::string() : exe.substr(0, s + 1);
}

} // namespace platform
