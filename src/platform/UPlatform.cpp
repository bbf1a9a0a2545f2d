// POSIX implementation of the platform layer.
#include "platform/UPlatform.h"

#include "platform/UPosixIo.h"
#include "platform/UTempFile.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/time.h>
#include <unistd.h>
#include <vector>

namespace platform {

namespace {

using posix::TFd;

std::string BaseName(const std::string& path) {
    std::string p = path;
    while (p.size() > 1 && p.back() == PathDelim) {
        p.pop_back();
    }
    const size_t s = p.rfind(PathDelim);
    return s == std::string::npos ? p : p.substr(s + 1);
}

bool IsHiddenName(const std::string& name) {
    return !name.empty() && name[0] == '.' && name != "." && name != "..";
}

// Whether the current user may write a file that has at least one write bit. The superuser may
// write anything that does not lie on a read-only file system, which is known per device, so
// the common case of a walk run as root costs no call per file; anyone else asks the system,
// which also weighs access control lists.
bool MayWrite(const struct stat& st, int dirfd, const char* rel) {
    static const bool superuser = ::geteuid() == 0;
    if (!superuser) {
        return ::faccessat(dirfd, rel, W_OK, AT_EACCESS) == 0;
    }
    thread_local dev_t lastDev = 0;
    thread_local int lastReadOnly = -1;
    if (lastReadOnly < 0 || lastDev != st.st_dev) {
        // The folder's file system is the file's (a file is no mount point, bar bind mounts).
        struct statvfs vfs;
        const int rc = dirfd == AT_FDCWD ? ::statvfs(rel, &vfs) : ::fstatvfs(dirfd, &vfs);
        lastReadOnly = rc == 0 && (vfs.f_flag & ST_RDONLY) != 0;
        lastDev = st.st_dev;
    }
    return lastReadOnly == 0;
}

// Attribute bits for an entry named `name` whose lstat is `lst`; `dirfd`/`rel` locate it for the
// stat of a link's target and for the write-access test.
int AttributesFrom(const struct stat& lst, int dirfd, const char* rel, const std::string& name) {
    int attr = 0;
    struct stat st = lst;
    bool isLink = S_ISLNK(lst.st_mode);
    if (isLink) {
        if (::fstatat(dirfd, rel, &st, 0) != 0) {
            // A dangling link is neither a file nor a folder.
            attr |= faSysFile;
            if (IsHiddenName(name)) {
                attr |= faHidden;
            }
            return attr;
        }
    }
    if (S_ISDIR(st.st_mode)) {
        attr |= faDirectory;
        if (isLink) {
            attr |= faReparsePoint;
        }
    } else if (S_ISREG(st.st_mode)) {
        attr |= faArchive;
    } else {
        attr |= faSysFile;
    }
    if (IsHiddenName(name)) {
        attr |= faHidden;
    }
    const bool noWriteBits = (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0;
    if (noWriteBits || !MayWrite(st, dirfd, rel)) {
        attr |= faReadOnly;
    }
    return attr;
}

} // namespace

int posix::EntryAttributes(const struct stat& lst, int dirfd, const char* rel,
                           const std::string& name) {
    return AttributesFrom(lst, dirfd, rel, name);
}

std::string LastErrorText() {
    return std::strerror(errno);
}

std::string EnvironmentVariable(const char* name) {
    const char* v = std::getenv(name);
    return v != nullptr ? std::string(v) : std::string();
}

std::string HomeFolder() {
    const std::string home = EnvironmentVariable("HOME");
    if (!home.empty() && home[0] == PathDelim) {
        return home;
    }
    const passwd* pw = ::getpwuid(::getuid());
    return pw != nullptr && pw->pw_dir != nullptr ? std::string(pw->pw_dir) : std::string();
}

bool FolderWritable(const std::string& folder) {
    return !folder.empty() && ::access(folder.c_str(), W_OK) == 0;
}

TIoResult MakeExecutable(const std::string& path) {
    struct stat st;
    if (::stat(path.c_str(), &st) != 0) {
        return TIoResult{errno};
    }
    mode_t mode = st.st_mode & 07777;
    mode |= S_IXUSR;
    mode |= (mode & S_IRGRP) ? S_IXGRP : 0;
    mode |= (mode & S_IROTH) ? S_IXOTH : 0;
    return ::chmod(path.c_str(), mode) == 0 ? TIoResult{} : TIoResult{errno};
}

bool WriteStdStream(TStdStream stream, std::string_view data) {
    return posix::WriteAll(stream == TStdStream::Output ? STDOUT_FILENO : STDERR_FILENO, data);
}

bool IsTerminal(TStdStream stream) {
    return ::isatty(stream == TStdStream::Output ? STDOUT_FILENO : STDERR_FILENO) == 1;
}

namespace {

volatile std::sig_atomic_t gInterrupted = 0;

extern "C" void OnInterrupt(int sig) {
    if (gInterrupted != 0) {
        // A second interrupt means "now": the default action ends the process.
        std::signal(sig, SIG_DFL);
        std::raise(sig);
        return;
    }
    gInterrupted = 1;
}

} // namespace

void WatchInterrupt() {
    struct sigaction sa {};
    sa.sa_handler = OnInterrupt;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    sigaction(SIGINT, &sa, nullptr);
}

bool InterruptRequested() {
    return gInterrupted != 0;
}

std::string TIoResult::Reason() const {
    return Error == 0 ? std::string() : std::string(std::strerror(Error));
}

int AttributesOf(const std::string& path) {
    struct stat lst;
    if (path.empty() || ::lstat(path.c_str(), &lst) != 0) {
        return -1;
    }
    return AttributesFrom(lst, AT_FDCWD, path.c_str(), BaseName(path));
}

bool FindFileInfo(const std::string& path, TSearchRec& rec) {
    struct stat lst;
    if (path.empty() || ::lstat(path.c_str(), &lst) != 0) {
        return false;
    }
    rec.Name = BaseName(path);
    rec.Attr = AttributesFrom(lst, AT_FDCWD, path.c_str(), rec.Name);
    rec.Size = static_cast<std::int64_t>(lst.st_size);
    struct stat st;
    if (S_ISLNK(lst.st_mode)) {
        rec.Size = ::stat(path.c_str(), &st) == 0 ? static_cast<std::int64_t>(st.st_size) : 0;
    }
    return true;
}

struct TDirEnumerator::Impl {
    DIR* dir = nullptr;
    unsigned char type = DT_UNKNOWN;
    int attr = -1;
    ~Impl() {
        if (dir != nullptr) {
            ::closedir(dir);
        }
    }
};

TDirEnumerator::TDirEnumerator(const std::string& folder) : impl_(std::make_unique<Impl>()) {
    impl_->dir = ::opendir(folder.empty() ? "." : folder.c_str());
}

TDirEnumerator::~TDirEnumerator() = default;

bool TDirEnumerator::Next() {
    if (impl_->dir == nullptr) {
        return false;
    }
    errno = 0;
    const dirent* e = ::readdir(impl_->dir);
    if (e == nullptr) {
        return false;
    }
    name_ = e->d_name;
    impl_->type = e->d_type;
    impl_->attr = -1;
    return true;
}

bool TDirEnumerator::IsDirectory() {
    if (impl_->type == DT_DIR) {
        return true;
    }
    if (impl_->type == DT_REG || impl_->type == DT_FIFO || impl_->type == DT_SOCK ||
        impl_->type == DT_CHR || impl_->type == DT_BLK) {
        return false;
    }
    // Links and unknown types need a look at the entry itself.
    const int a = Attributes();
    return (a & faDirectory) != 0 && (a & faReparsePoint) == 0;
}

bool TDirEnumerator::IsPlainFile() const {
    return impl_->type == DT_REG;
}

int TDirEnumerator::Attributes() {
    if (impl_->attr < 0) {
        struct stat lst;
        const int dfd = ::dirfd(impl_->dir);
        if (::fstatat(dfd, name_.c_str(), &lst, AT_SYMLINK_NOFOLLOW) != 0) {
            impl_->attr = faSysFile;
        } else {
            impl_->attr = AttributesFrom(lst, dfd, name_.c_str(), name_);
        }
    }
    return impl_->attr;
}

bool SetCurrentDir(const std::string& path) {
    return !path.empty() && ::chdir(path.c_str()) == 0;
}

std::string GetCurrentDir() {
    std::vector<char> buf(PATH_MAX);
    for (;;) {
        if (::getcwd(buf.data(), buf.size()) != nullptr) {
            return std::string(buf.data());
        }
        if (errno != ERANGE) {
            return std::string();
        }
        buf.resize(buf.size() * 2);
    }
}

std::string ExpandFileName(const std::string& name) {
    std::string full;
    if (!name.empty() && name[0] == PathDelim) {
        full = name;
    } else {
        full = GetCurrentDir();
        if (full.empty() || full.back() != PathDelim) {
            full += PathDelim;
        }
        full += name;
    }
    // Resolve "." and ".." lexically; keep a trailing separator.
    const bool trailing = !full.empty() && full.back() == PathDelim;
    std::vector<std::string> parts;
    size_t i = 0;
    while (i < full.size()) {
        size_t j = full.find(PathDelim, i);
        if (j == std::string::npos) {
            j = full.size();
        }
        std::string part = full.substr(i, j - i);
        if (part == "..") {
            if (!parts.empty()) {
                parts.pop_back();
            }
        } else if (!part.empty() && part != ".") {
            parts.push_back(std::move(part));
        }
        i = j + 1;
    }
    std::string out;
    for (const std::string& p : parts) {
        out += PathDelim;
        out += p;
    }
    if (out.empty() || trailing) {
        out += PathDelim;
    }
    return out;
}

bool FileExists(const std::string& path) {
    struct stat st;
    if (path.empty() || ::stat(path.c_str(), &st) != 0) {
        struct stat lst;
        // A dangling link is still an entry of that name.
        return !path.empty() && ::lstat(path.c_str(), &lst) == 0 && S_ISLNK(lst.st_mode);
    }
    return !S_ISDIR(st.st_mode);
}

bool DirectoryExists(const std::string& path) {
    struct stat st;
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool RenameFile(const std::string& from, const std::string& to) {
    if (from.empty() || to.empty()) {
        return false;
    }
    // A hard link then an unlink never replaces an existing target; folders and file systems
    // without hard links fall back to a checked rename.
    if (::link(from.c_str(), to.c_str()) == 0) {
        if (::unlink(from.c_str()) == 0) {
            return true;
        }
        ::unlink(to.c_str());
        return false;
    }
    if (errno == EEXIST) {
        return false;
    }
    struct stat st;
    if (::lstat(to.c_str(), &st) == 0) {
        return false;
    }
    return ::rename(from.c_str(), to.c_str()) == 0;
}

bool DeleteFile(const std::string& path) {
    struct stat st;
    if (path.empty() || ::lstat(path.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) {
        return false;
    }
    return ::unlink(path.c_str()) == 0;
}

bool ForceDirectories(const std::string& pathIn) {
    std::string path = pathIn;
    while (path.size() > 1 && path.back() == PathDelim) {
        path.pop_back();
    }
    if (path.empty()) {
        return false;
    }
    if (DirectoryExists(path)) {
        return true;
    }
    const size_t s = path.rfind(PathDelim);
    if (s != std::string::npos && s > 0 && !ForceDirectories(path.substr(0, s))) {
        return false;
    }
    return ::mkdir(path.c_str(), 0777) == 0 || (errno == EEXIST && DirectoryExists(path));
}

size_t ReadWholeFileInto(const std::string& path, std::string& storage, std::int64_t expectedSize,
                         TFileIdentity* identity) {
    // O_NONBLOCK: should a FIFO appear under the name after the caller checked it, the open
    // and the read fail instead of waiting for a writer. Regular files ignore the flag.
    TFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    const auto fail = [&]() {
        throw EPlatformError("Cannot open file \"" + path + "\". " + LastErrorText());
    };
    if (!fd.Valid()) {
        fail();
    }
    bool regular = true;
    if (expectedSize < 0 || identity != nullptr) {
        struct stat st;
        if (::fstat(fd.Get(), &st) != 0) {
            fail();
        }
        regular = S_ISREG(st.st_mode);
        expectedSize = regular ? static_cast<std::int64_t>(st.st_size) : 0;
        if (identity != nullptr) {
            *identity = posix::IdentityOf(st);
        }
    }
    const size_t expected = static_cast<size_t>(expectedSize);
    size_t got = 0;
    if (!posix::ReadAllInto(fd.Get(), storage, expected, regular, got)) {
        fail();
    }
    return got;
}

void ReadWholeFile(const std::string& path, std::string& buffer) {
    const size_t n = ReadWholeFileInto(path, buffer);
    buffer.resize(n);
}

namespace {

TIoResult Fail(int err) {
    return TIoResult{err != 0 ? err : EIO};
}

// Copies the regular file open as `in` (status `st`) to a temporary file beside `to` and puts
// it in place, replacing what is there or only into a free name, so `to` never holds a partial
// copy. `flush` makes the data durable before the copy appears (a move deletes its source
// right after).
TIoResult CopyContents(int in, const struct stat& st, const std::string& to, bool replace,
                       bool flush) {
    std::string name;
    const TFd folder(posix::OpenFolderOf(to, name));
    if (!folder.Valid()) {
        return Fail(errno);
    }
    posix::TSiblingTemp temp(folder.Get(), name);
    int err = temp.Create(0600);
    err = err != 0 ? err : temp.CopyFrom(in);
    err = err != 0 ? err : temp.CopyMetadata(st, -1, false, nullptr, true);
    err = err != 0 || !flush ? err : temp.Sync();
    err = err != 0 ? err : replace ? temp.PlaceOver(name) : temp.PlaceNew(name);
    return err == 0 ? TIoResult{} : Fail(err);
}

} // namespace

TIoResult WriteWholeFile(const std::string& path, std::string_view data) {
    if (path.empty()) {
        return Fail(ENOENT);
    }
    std::string name;
    const TFd folder(posix::OpenFolderOf(path, name));
    if (!folder.Valid()) {
        return Fail(errno);
    }
    struct stat st {};
    st.st_mode = 0666 & ~[] {
        const mode_t m = ::umask(0);
        ::umask(m);
        return m;
    }();
    struct stat existing;
    if (::fstatat(folder.Get(), name.c_str(), &existing, 0) == 0) {
        if (!S_ISREG(existing.st_mode)) {
            return Fail(S_ISDIR(existing.st_mode) ? EISDIR : EINVAL);
        }
        st.st_mode = existing.st_mode;
    }
    posix::TSiblingTemp temp(folder.Get(), name);
    int err = temp.Create(0600);
    err = err != 0 ? err : temp.Write(data);
    err = err != 0 ? err : temp.CopyMetadata(st, -1, false, nullptr, false);
    err = err != 0 ? err : temp.Sync();
    err = err != 0 ? err : temp.PlaceOver(name);
    return err == 0 ? TIoResult{} : Fail(err);
}

TIoResult CopyFile(const std::string& from, const std::string& to) {
    if (from.empty() || to.empty()) {
        return Fail(ENOENT);
    }
    const TFd in(::open(from.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK)); // a FIFO must not block
    struct stat st;
    if (!in.Valid() || ::fstat(in.Get(), &st) != 0) {
        return Fail(errno);
    }
    if (!S_ISREG(st.st_mode)) {
        return Fail(EINVAL);
    }
    struct stat b;
    if (::stat(to.c_str(), &b) == 0) {
        if (st.st_dev == b.st_dev && st.st_ino == b.st_ino) {
            return Fail(EINVAL); // copying a file onto itself would destroy it
        }
        if (!S_ISREG(b.st_mode)) {
            return Fail(S_ISDIR(b.st_mode) ? EISDIR : EINVAL);
        }
    }
    return CopyContents(in.Get(), st, to, true, false);
}

TIoResult MoveFile(const std::string& from, const std::string& to) {
    if (from.empty() || to.empty()) {
        return Fail(ENOENT);
    }
    struct stat lst;
    if (::lstat(to.c_str(), &lst) == 0) {
        return Fail(EEXIST);
    }
    if (::link(from.c_str(), to.c_str()) == 0) {
        if (::unlink(from.c_str()) == 0) {
            return TIoResult{};
        }
        const int err = errno;
        ::unlink(to.c_str());
        return Fail(err);
    }
    const int linkErr = errno;
    if (linkErr != EXDEV && linkErr != EPERM && linkErr != ENOTSUP && linkErr != EMLINK) {
        return Fail(linkErr);
    }
    // Another file system (or no hard links there): a complete, flushed copy first, then the
    // source goes.
    const TFd in(::open(from.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOFOLLOW));
    struct stat st;
    if (!in.Valid() || ::fstat(in.Get(), &st) != 0) {
        return Fail(errno);
    }
    if (!S_ISREG(st.st_mode)) {
        return Fail(EINVAL);
    }
    if (const TIoResult copied = CopyContents(in.Get(), st, to, false, true); !copied) {
        return copied;
    }
    if (::unlink(from.c_str()) != 0) {
        const int err = errno;
        ::unlink(to.c_str());
        return Fail(err);
    }
    return TIoResult{};
}

std::string ExecutablePath() {
    std::vector<char> buf(PATH_MAX);
    for (;;) {
        const ssize_t n = ::readlink("/proc/self/exe", buf.data(), buf.size());
        if (n < 0) {
            return std::string();
        }
        if (static_cast<size_t>(n) < buf.size()) {
            return std::string(buf.data(), static_cast<size_t>(n));
        }
        buf.resize(buf.size() * 2);
    }
}

std::string ExeDirectory() {
    const std::string exe = ExecutablePath();
    const size_t s = exe.rfind(PathDelim);
    return s == std::string::npos ? std::string() : exe.substr(0, s + 1);
}

} // namespace platform
