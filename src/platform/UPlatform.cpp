// POSIX implementation of the platform layer.
#include "UPlatform.h"

#include "UPosixIo.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/time.h>
#include <unistd.h>
#include <vector>

namespace platform {

namespace {

// Closes a file descriptor on every path out.
class TFd {
public:
    explicit TFd(int fd = -1) : fd_(fd) {}
    ~TFd() { Reset(); }
    TFd(const TFd&) = delete;
    TFd& operator=(const TFd&) = delete;
    int Get() const { return fd_; }
    bool Valid() const { return fd_ >= 0; }
    void Reset() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
        fd_ = -1;
    }
    bool Close() {
        const int fd = fd_;
        fd_ = -1;
        return fd < 0 || ::close(fd) == 0;
    }

private:
    int fd_;
};

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

std::string LastErrorText() {
    return std::strerror(errno);
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
    rec.ModifiedTime = static_cast<std::int64_t>(lst.st_mtime);
    struct stat st;
    if (S_ISLNK(lst.st_mode)) {
        const bool target = ::stat(path.c_str(), &st) == 0;
        rec.Size = target ? static_cast<std::int64_t>(st.st_size) : 0;
        rec.ModifiedTime = target ? static_cast<std::int64_t>(st.st_mtime) : 0;
    }
    return true;
}

struct TDirEnumerator::Impl {
    DIR* dir = nullptr;
    unsigned char type = DT_UNKNOWN;
    int attr = -1;
    std::int64_t size = 0;
    std::int64_t mtime = 0;
    std::string openError;
    ~Impl() {
        if (dir != nullptr) {
            ::closedir(dir);
        }
    }
};

TDirEnumerator::TDirEnumerator(const std::string& folder) : impl_(std::make_unique<Impl>()) {
    impl_->dir = ::opendir(folder.empty() ? "." : folder.c_str());
    if (impl_->dir == nullptr) {
        impl_->openError = LastErrorText();
    }
}

const std::string& TDirEnumerator::OpenError() const {
    return impl_->openError;
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
        impl_->size = 0;
        impl_->mtime = 0;
        if (::fstatat(dfd, name_.c_str(), &lst, AT_SYMLINK_NOFOLLOW) != 0) {
            impl_->attr = faSysFile;
        } else {
            impl_->attr = AttributesFrom(lst, dfd, name_.c_str(), name_);
            struct stat st = lst;
            if (S_ISLNK(lst.st_mode) && ::fstatat(dfd, name_.c_str(), &st, 0) != 0) {
                st.st_size = 0;
                st.st_mtime = 0;
            }
            impl_->size = static_cast<std::int64_t>(st.st_size);
            impl_->mtime = static_cast<std::int64_t>(st.st_mtime);
        }
    }
    return impl_->attr;
}

std::int64_t TDirEnumerator::Size() {
    Attributes();
    return impl_->size;
}

std::int64_t TDirEnumerator::ModifiedTime() {
    Attributes();
    return impl_->mtime;
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

size_t ReadWholeFileInto(const std::string& path, std::string& storage, std::int64_t expectedSize) {
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
    if (expectedSize < 0) {
        struct stat st;
        if (::fstat(fd.Get(), &st) != 0) {
            fail();
        }
        regular = S_ISREG(st.st_mode);
        expectedSize = regular ? static_cast<std::int64_t>(st.st_size) : 0;
    }
    // One read of the expected size plus one byte: a shorter answer is the file's end, so no
    // probe read is needed; a file that grew meanwhile fills the extra byte and reading goes on.
    const size_t expected = static_cast<size_t>(expectedSize);
    const size_t want = expected + 1;
    if (storage.size() < want) {
        storage.resize(std::max(want, storage.size() + storage.size() / 2));
    }
    size_t got = 0;
    for (;;) {
        if (got == storage.size()) {
            storage.resize(storage.size() * 2 + 4096);
        }
        const ssize_t n = ::read(fd.Get(), storage.data() + got, storage.size() - got);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            fail();
        }
        if (n == 0) {
            break;
        }
        got += static_cast<size_t>(n);
        if (regular && got < want && got == expected) {
            break;
        }
    }
    return got;
}

void ReadWholeFile(const std::string& path, std::string& buffer) {
    const size_t n = ReadWholeFileInto(path, buffer);
    buffer.resize(n);
}

void ReadFileHead(const std::string& path, std::string& buffer, size_t maxBytes) {
    TFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    const auto fail = [&]() {
        throw EPlatformError("Cannot open file \"" + path + "\". " + LastErrorText());
    };
    if (!fd.Valid()) {
        fail();
    }
    buffer.resize(maxBytes);
    size_t got = 0;
    while (got < maxBytes) {
        const ssize_t n = ::read(fd.Get(), buffer.data() + got, maxBytes - got);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            fail();
        }
        if (n == 0) {
            break;
        }
        got += static_cast<size_t>(n);
    }
    buffer.resize(got);
}

namespace {

using posix::WriteAll;

// A temporary name in the target's folder; the ".fstmp" marker lets a later run recognise and
// remove what a killed process left behind.
std::string TempNameFor(const std::string& path) {
    const size_t s = path.rfind(PathDelim);
    const std::string dir = s == std::string::npos ? std::string() : path.substr(0, s + 1);
    const std::string base = s == std::string::npos ? path : path.substr(s + 1);
    return dir + "." + base + "." + std::to_string(::getpid()) + ".fstmp";
}

// Creates the temporary file with `mode`, fills it, flushes it to disk.
bool WriteTemp(const std::string& tmp, std::string_view data, mode_t mode) {
    TFd fd(::open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode & 07777));
    if (!fd.Valid()) {
        return false;
    }
    if (!WriteAll(fd.Get(), data) || ::fdatasync(fd.Get()) != 0 || !fd.Close()) {
        ::unlink(tmp.c_str());
        return false;
    }
    return true;
}

} // namespace

bool WriteWholeFile(const std::string& path, std::string_view data) {
    if (path.empty()) {
        return false;
    }
    mode_t mode = 0666 & ~[] {
        const mode_t m = ::umask(0);
        ::umask(m);
        return m;
    }();
    struct stat st;
    if (::stat(path.c_str(), &st) == 0) {
        if (!S_ISREG(st.st_mode)) {
            return false;
        }
        mode = st.st_mode & 07777;
    }
    const std::string tmp = TempNameFor(path);
    ::unlink(tmp.c_str());
    if (!WriteTemp(tmp, data, mode)) {
        return false;
    }
    if (::rename(tmp.c_str(), path.c_str()) != 0) {
        ::unlink(tmp.c_str());
        return false;
    }
    return true;
}

namespace {

// Copies the bytes of `in` to `out`: in-kernel where the file systems allow, else through a
// buffer.
bool CopyBytes(int in, int out) {
    bool kernelCopy = true;
    for (;;) {
        if (kernelCopy) {
            const ssize_t n = ::copy_file_range(in, nullptr, out, nullptr, 1 << 30, 0);
            if (n > 0) {
                continue;
            }
            if (n == 0) {
                return true;
            }
            if (errno == EINTR) {
                continue;
            }
            if (errno != EXDEV && errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP &&
                errno != EPERM) {
                return false;
            }
            // Nothing was copied by the failed call; go on with plain reads from here.
            kernelCopy = false;
        }
        thread_local std::vector<char> buf(1 << 18);
        const ssize_t n = ::read(in, buf.data(), buf.size());
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return n == 0;
        }
        if (!WriteAll(out, std::string_view(buf.data(), static_cast<size_t>(n)))) {
            return false;
        }
    }
}

// Puts `tmp` at `to` without ever replacing an existing `to`.
bool PlaceNoReplace(const std::string& tmp, const std::string& to) {
    if (::renameat2(AT_FDCWD, tmp.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) {
        return true;
    }
    if (errno != EINVAL && errno != ENOSYS) {
        return false;
    }
    // File systems without the flag: link() also fails with EEXIST instead of replacing.
    const bool placed = ::link(tmp.c_str(), to.c_str()) == 0;
    ::unlink(tmp.c_str());
    return placed;
}

// Copies `from` into a temporary file beside `to` and puts it in place, so `to` never holds a
// partial copy. `flush` makes the data durable before the copy appears (a move deletes its
// source right after).
bool CopyContents(const std::string& from, const std::string& to, bool replace, bool flush) {
    TFd in(::open(from.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK)); // a FIFO must not block
    if (!in.Valid()) {
        return false;
    }
    struct stat st;
    if (::fstat(in.Get(), &st) != 0 || !S_ISREG(st.st_mode)) {
        return false;
    }
    const std::string tmp = TempNameFor(to);
    ::unlink(tmp.c_str());
    {
        TFd out(::open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, st.st_mode & 07777));
        if (!out.Valid()) {
            return false;
        }
        bool ok = CopyBytes(in.Get(), out.Get());
        // umask may have narrowed the mode at creation.
        ok = ok && ::fchmod(out.Get(), st.st_mode & 07777) == 0;
        const struct timespec times[2] = {st.st_atim, st.st_mtim};
        ok = ok && ::futimens(out.Get(), times) == 0;
        ok = ok && (!flush || ::fdatasync(out.Get()) == 0);
        ok = out.Close() && ok;
        if (!ok) {
            ::unlink(tmp.c_str());
            return false;
        }
    }
    if (!replace) {
        if (PlaceNoReplace(tmp, to)) {
            return true;
        }
        ::unlink(tmp.c_str());
        return false;
    }
    if (::rename(tmp.c_str(), to.c_str()) != 0) {
        ::unlink(tmp.c_str());
        return false;
    }
    return true;
}

} // namespace

bool CopyFile(const std::string& from, const std::string& to) {
    if (from.empty() || to.empty()) {
        return false;
    }
    struct stat a, b;
    if (::stat(from.c_str(), &a) == 0 && ::stat(to.c_str(), &b) == 0 && a.st_dev == b.st_dev &&
        a.st_ino == b.st_ino) {
        return false; // copying a file onto itself would destroy it
    }
    if (::stat(to.c_str(), &b) == 0 && !S_ISREG(b.st_mode)) {
        return false;
    }
    return CopyContents(from, to, true, false);
}

bool MoveFile(const std::string& from, const std::string& to) {
    if (from.empty() || to.empty()) {
        return false;
    }
    struct stat lst;
    if (::lstat(to.c_str(), &lst) == 0) {
        return false;
    }
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
    if (errno != EXDEV && errno != EPERM && errno != ENOTSUP && errno != EMLINK) {
        return false;
    }
    // Another file system (or no hard links there): a complete, flushed copy first, then the
    // source goes.
    if (!CopyContents(from, to, false, true)) {
        return false;
    }
    if (::unlink(from.c_str()) != 0) {
        ::unlink(to.c_str());
        return false;
    }
    return true;
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
