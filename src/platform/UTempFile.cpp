// POSIX implementation of the sibling temporary file and of its marker.
#include "platform/UTempFile.h"

#include "platform/UPosixIo.h"
#include "platform/UWriteBehind.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <fstream>
#include <functional>
#include <mutex>
#include <signal.h>
#include <sstream>
#include <sys/xattr.h>
#include <unistd.h>
#include <vector>

namespace platform {

namespace {

std::mutex gHookMutex;
std::function<int(TReplaceStep)>& FaultHook() {
    static std::function<int(TReplaceStep)> hook;
    return hook;
}

} // namespace

void SetReplaceFaultHook(std::function<int(TReplaceStep)> hook) {
    const std::lock_guard<std::mutex> lock(gHookMutex);
    FaultHook() = std::move(hook);
}

namespace posix {

int Injected(TReplaceStep step) {
    std::function<int(TReplaceStep)> hook;
    {
        const std::lock_guard<std::mutex> lock(gHookMutex);
        hook = FaultHook();
    }
    const int err = hook ? hook(step) : 0;
    if (err != 0) {
        errno = err;
    }
    return err;
}

namespace {

constexpr const char* kMarkerAttr = "user.fernsweep.tmp";
constexpr std::string_view kMarkerTag = "fernsweep-tmp/1";

std::string ReadSmallFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// The start time (clock ticks after boot) of process `pid`; empty when there is none.
std::string StartTimeOf(const std::string& pid) {
    const std::string stat = ReadSmallFile("/proc/" + pid + "/stat");
    const size_t close = stat.rfind(')');
    if (close == std::string::npos) {
        return std::string();
    }
    std::istringstream fields(stat.substr(close + 1));
    std::string field;
    // The fields after the command name start with the state (field 3); the start time is 22.
    for (int i = 3; i <= 22; ++i) {
        if (!(fields >> field)) {
            return std::string();
        }
    }
    return field;
}

std::string Trimmed(std::string s) {
    while (!s.empty() && (s.back() == '\n' || s.back() == ' ')) {
        s.pop_back();
    }
    return s;
}

// What identifies this machine's running processes apart from their ids.
struct TSystemMarks {
    std::string Host;
    std::string PidNamespace;
    std::string Boot;
};

const TSystemMarks& SystemMarks() {
    static const TSystemMarks marks = [] {
        TSystemMarks m;
        char host[256] = {};
        if (::gethostname(host, sizeof host - 1) == 0) {
            m.Host = host;
        }
        char ns[128] = {};
        const ssize_t n = ::readlink("/proc/self/ns/pid", ns, sizeof ns - 1);
        if (n > 0) {
            m.PidNamespace.assign(ns, static_cast<size_t>(n));
        }
        m.Boot = Trimmed(ReadSmallFile("/proc/sys/kernel/random/boot_id"));
        return m;
    }();
    return marks;
}

std::string Field(const std::string& marker, const std::string& key) {
    std::istringstream in(marker);
    std::string word;
    while (in >> word) {
        if (word.size() > key.size() && word.compare(0, key.size(), key) == 0 &&
            word[key.size()] == '=') {
            return word.substr(key.size() + 1);
        }
    }
    return std::string();
}

std::string NoBlanks(std::string s) {
    for (char& c : s) {
        if (c == ' ' || c == '\n' || c == '=') {
            c = '_';
        }
    }
    return s;
}

const char* RoleText(TTempRole role) {
    return role == TTempRole::NewContent ? "new" : "keep";
}

// The marker of a temporary file written by this process.
std::string OwnMarker(TTempRole role) {
    const TSystemMarks& m = SystemMarks();
    // This process's start time, read once per process (a forked child reads its own).
    static std::mutex lock;
    static pid_t startOf = 0;
    static std::string start;
    const pid_t self = ::getpid();
    std::string started;
    {
        const std::lock_guard<std::mutex> guard(lock);
        if (startOf != self) {
            start = StartTimeOf("self");
            startOf = self;
        }
        started = start;
    }
    return std::string(kMarkerTag) + " host=" + NoBlanks(m.Host) +
           " pidns=" + NoBlanks(m.PidNamespace) + " boot=" + NoBlanks(m.Boot) +
           " pid=" + std::to_string(self) + " start=" + started + " role=" + RoleText(role);
}

std::atomic<unsigned> gSerial{0};

// Where a file's small extended attributes take a block of their own (ext4 with small inodes),
// marking a file allocates that block and unmarking it frees it again, and a file system that
// discards freed blocks at once then waits for the device each time. Identical attribute
// blocks are shared there: an unnamed file of this process that carries the same marker keeps
// the one block alive between files, so that marking and unmarking a file only count its
// users. One per file system, for as long as files are marked on it.
void KeepAnchor(int fd, int dirfd, const std::string& marker) {
    struct stat st;
    if (::fstat(fd, &st) != 0) {
        return;
    }
    HoldWhileUsed(static_cast<std::uint64_t>(st.st_dev), [dirfd, &marker] {
        std::function<int()> open;
        // A descriptor of its own for the folder: the caller's may be closed before it is used.
        const int folder = ::fcntl(dirfd, F_DUPFD_CLOEXEC, 0);
        if (folder >= 0) {
            open = [folder, marker] {
                const int anchor = ::openat(folder, ".", O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
                ::close(folder);
                if (anchor >= 0 &&
                    ::fsetxattr(anchor, kMarkerAttr, marker.data(), marker.size(), 0) != 0) {
                    ::close(anchor);
                    return -1;
                }
                return anchor;
            };
        }
        return open;
    });
}

} // namespace

TSiblingTemp::TSiblingTemp(int dirfd, std::string targetName, TTempRole role)
    : dirfd_(dirfd), target_(std::move(targetName)), role_(role) {}

TSiblingTemp::~TSiblingTemp() {
    if (!placed_) {
        Discard();
    }
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

void TSiblingTemp::Discard() {
    if (!tempName_.empty()) {
        ::unlinkat(dirfd_, tempName_.c_str(), 0);
        tempName_.clear();
    }
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

int TSiblingTemp::Create(mode_t mode) {
    if (Injected(TReplaceStep::CreateTemp) != 0) {
        return errno;
    }
    fd_ = ::openat(dirfd_, ".", O_TMPFILE | O_RDWR | O_CLOEXEC, mode & 0777);
    if (fd_ >= 0) {
        // Marked only if it is ever named before it is placed: unnamed, it vanishes with its
        // writer, and one that takes its final name in one step never needs the mark.
        anonymous_ = true;
        return 0;
    }
    const std::string marker = OwnMarker(role_);
    if (errno != EOPNOTSUPP && errno != EISDIR && errno != ENOENT && errno != EINVAL) {
        return errno;
    }
    // No unnamed files here: the name is taken at once and marked right after.
    const auto pid = static_cast<std::uint64_t>(::getpid());
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::uint64_t serial = attempt == 0 ? pid : pid * 1000 + (gSerial++ % 1000);
        std::string name = TempName(target_, serial);
        fd_ = ::openat(dirfd_, name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW,
                       mode & 0777);
        if (fd_ >= 0) {
            tempName_ = std::move(name);
            ::fsetxattr(fd_, kMarkerAttr, marker.data(), marker.size(), 0);
            marked_ = true;
            return 0;
        }
        if (errno != EEXIST) {
            return errno;
        }
    }
    return EEXIST;
}

void TSiblingTemp::SetRole(TTempRole role) {
    role_ = role;
    if (marked_) { // else marked with it if it is ever named
        const std::string marker = OwnMarker(role_);
        ::fsetxattr(fd_, kMarkerAttr, marker.data(), marker.size(), 0);
    }
}

int TSiblingTemp::Write(std::string_view data) {
    if (Injected(TReplaceStep::WriteTemp) != 0) {
        return errno;
    }
    return Append(data);
}

int TSiblingTemp::Append(std::string_view data) {
    return WriteAll(fd_, data) ? 0 : errno;
}

int TSiblingTemp::CopyFrom(int in) {
    if (Injected(TReplaceStep::WriteTemp) != 0) {
        return errno;
    }
    bool kernelCopy = true;
    off_t offset = 0;
    for (;;) {
        if (kernelCopy) {
            const ssize_t n = ::copy_file_range(in, &offset, fd_, nullptr, 1 << 30, 0);
            if (n > 0) {
                continue;
            }
            if (n == 0) {
                return 0;
            }
            if (errno == EINTR) {
                continue;
            }
            if (errno != EXDEV && errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP &&
                errno != EPERM) {
                return errno;
            }
            // Nothing was copied by the failed call; go on with plain reads from here.
            kernelCopy = false;
        }
        thread_local std::vector<char> buf(1 << 18);
        const ssize_t n = ::pread(in, buf.data(), buf.size(), offset);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return n == 0 ? 0 : errno;
        }
        offset += n;
        if (!WriteAll(fd_, std::string_view(buf.data(), static_cast<size_t>(n)))) {
            return errno;
        }
    }
}

int TSiblingTemp::CopyMetadata(const struct stat& st, int source, bool owner, bool* ownerKept,
                               bool times) {
    bool kept = true;
    if (owner && (st.st_uid != ::geteuid() || st.st_gid != ::getegid())) {
        // Only a privileged process may give a file away; the group alone may still be
        // settable.
        if (::fchown(fd_, st.st_uid, st.st_gid) != 0) {
            kept = false;
            [[maybe_unused]] const int ignored = ::fchown(fd_, static_cast<uid_t>(-1), st.st_gid);
        }
    }
    if (ownerKept != nullptr) {
        *ownerKept = kept;
    }
    if (source >= 0) {
        // Attributes the process may not set (another namespace's, a security label) are
        // left out.
        const ssize_t size = ::flistxattr(source, nullptr, 0);
        std::vector<char> names(size > 0 ? static_cast<size_t>(size) : 0);
        const ssize_t got = size > 0 ? ::flistxattr(source, names.data(), names.size()) : 0;
        std::vector<char> value;
        for (size_t i = 0; got > 0 && i < static_cast<size_t>(got);) {
            const char* const name = names.data() + i;
            i += std::strlen(name) + 1;
            if (std::strcmp(name, kMarkerAttr) == 0) {
                continue;
            }
            const ssize_t len = ::fgetxattr(source, name, nullptr, 0);
            if (len < 0) {
                continue;
            }
            value.resize(static_cast<size_t>(len));
            const ssize_t vlen = ::fgetxattr(source, name, value.data(), value.size());
            if (vlen >= 0) {
                ::fsetxattr(fd_, name, value.data(), static_cast<size_t>(vlen), 0);
            }
        }
    }
    // After the change of owner, which may clear the set-id bits.
    if (::fchmod(fd_, st.st_mode & 07777) != 0) {
        return errno;
    }
    if (times) {
        const struct timespec t[2] = {st.st_atim, st.st_mtim};
        if (::futimens(fd_, t) != 0) {
            return errno;
        }
    }
    return 0;
}

int TSiblingTemp::Sync() {
    if (Injected(TReplaceStep::SyncTemp) != 0 || ::fdatasync(fd_) != 0) {
        return errno;
    }
    return 0;
}

int TSiblingTemp::LinkAs(const std::string& name) {
    const std::string self = "/proc/self/fd/" + std::to_string(fd_);
    return ::linkat(AT_FDCWD, self.c_str(), dirfd_, name.c_str(), AT_SYMLINK_FOLLOW) == 0 ? 0
                                                                                          : errno;
}

int TSiblingTemp::Name() {
    if (!tempName_.empty()) {
        return 0;
    }
    if (anonymous_ && !marked_) {
        const std::string marker = OwnMarker(role_);
        if (role_ == TTempRole::NewContent) {
            KeepAnchor(fd_, dirfd_, marker);
        }
        ::fsetxattr(fd_, kMarkerAttr, marker.data(), marker.size(), 0);
        marked_ = true;
    }
    const auto pid = static_cast<std::uint64_t>(::getpid());
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::uint64_t serial = attempt == 0 ? pid : pid * 1000 + (gSerial++ % 1000);
        std::string name = TempName(target_, serial);
        const int err = LinkAs(name);
        if (err == 0) {
            tempName_ = std::move(name);
            return 0;
        }
        if (err != EEXIST) {
            return err;
        }
    }
    return EEXIST;
}

int TSiblingTemp::PlaceOver(const std::string& name) {
    if (const int err = Name(); err != 0) {
        return err;
    }
    if (Injected(TReplaceStep::RenameOver) != 0 ||
        ::renameat(dirfd_, tempName_.c_str(), dirfd_, name.c_str()) != 0) {
        return errno;
    }
    placed_ = true;
    tempName_.clear();
    if (marked_) {
        ::fremovexattr(fd_, kMarkerAttr);
    }
    return 0;
}

int TSiblingTemp::PlaceNew(const std::string& name) {
    if (tempName_.empty()) {
        // An unnamed file takes the name in one step that never replaces.
        if (const int err = LinkAs(name); err != 0) {
            return err;
        }
    } else if (::renameat2(dirfd_, tempName_.c_str(), dirfd_, name.c_str(), RENAME_NOREPLACE) !=
               0) {
        if (errno != EINVAL && errno != ENOSYS) {
            return errno;
        }
        // File systems without the flag: a check, then the rename.
        struct stat lst;
        if (::fstatat(dirfd_, name.c_str(), &lst, AT_SYMLINK_NOFOLLOW) == 0) {
            return EEXIST;
        }
        if (::renameat(dirfd_, tempName_.c_str(), dirfd_, name.c_str()) != 0) {
            return errno;
        }
    }
    placed_ = true;
    tempName_.clear();
    if (marked_) {
        ::fremovexattr(fd_, kMarkerAttr);
    }
    return 0;
}

int OpenFolderOf(const std::string& path, std::string& name) {
    std::string p = path;
    const size_t s = p.rfind('/');
    std::string folder;
    if (s == std::string::npos) {
        folder = ".";
        name = p;
    } else {
        folder = s == 0 ? "/" : p.substr(0, s);
        name = p.substr(s + 1);
    }
    if (name.empty() || name == "." || name == "..") {
        errno = EISDIR;
        return -1;
    }
    return ::open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
}

TFileIdentity IdentityOf(const struct stat& st) {
    TFileIdentity id;
    id.Device = static_cast<std::uint64_t>(st.st_dev);
    id.Inode = static_cast<std::uint64_t>(st.st_ino);
    id.Size = static_cast<std::int64_t>(st.st_size);
    id.ModifiedNs = static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    id.ChangedNs = static_cast<std::int64_t>(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec;
    id.Links = static_cast<std::uint64_t>(st.st_nlink);
    id.Meta.Mode = st.st_mode & 07777;
    id.Meta.Owner = st.st_uid;
    id.Meta.Group = st.st_gid;
    id.Meta.AccessedNs =
        static_cast<std::int64_t>(st.st_atim.tv_sec) * 1000000000 + st.st_atim.tv_nsec;
    id.Meta.ModifiedNs = id.ModifiedNs;
    return id;
}

void TFd::Reset(int fd) {
    if (fd_ >= 0) {
        ::close(fd_);
    }
    fd_ = fd;
}

bool TFd::Close() {
    const int fd = fd_;
    fd_ = -1;
    return fd < 0 || ::close(fd) == 0;
}

bool IsStaleTemp(int dirfd, const std::string& name, std::int64_t minAgeSeconds) {
    struct stat lst;
    if (::fstatat(dirfd, name.c_str(), &lst, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(lst.st_mode)) {
        return false;
    }
    const std::int64_t now = static_cast<std::int64_t>(std::time(nullptr));
    const std::int64_t last = std::max<std::int64_t>(lst.st_mtim.tv_sec, lst.st_ctim.tv_sec);
    if (now - last < minAgeSeconds) {
        return false;
    }
    // The marker is read without following links and without opening the file.
    const std::string path = "/proc/self/fd/" + std::to_string(dirfd) + "/" + name;
    char value[1024];
    const ssize_t n = ::lgetxattr(path.c_str(), kMarkerAttr, value, sizeof value - 1);
    if (n <= 0) {
        return false;
    }
    const std::string marker(value, static_cast<size_t>(n));
    if (marker.compare(0, kMarkerTag.size(), kMarkerTag) != 0 || Field(marker, "role") != "new") {
        return false;
    }
    const TSystemMarks& m = SystemMarks();
    if (m.Host.empty() || Field(marker, "host") != NoBlanks(m.Host) || m.PidNamespace.empty() ||
        Field(marker, "pidns") != NoBlanks(m.PidNamespace)) {
        return false; // another machine's or another namespace's processes cannot be seen
    }
    const std::string pid = Field(marker, "pid");
    const std::string start = Field(marker, "start");
    if (pid.empty() || pid.size() > 9 || pid.find_first_not_of("0123456789") != std::string::npos ||
        start.empty()) {
        return false;
    }
    if (pid == std::to_string(::getpid())) {
        return false; // this process's own, in use
    }
    if (!m.Boot.empty() && Field(marker, "boot") != NoBlanks(m.Boot)) {
        return true; // written before the machine last started
    }
    const std::string running = StartTimeOf(pid);
    if (!running.empty()) {
        return running != start; // the id now belongs to another process
    }
    return ::kill(static_cast<pid_t>(std::stol(pid)), 0) != 0 && errno == ESRCH;
}

} // namespace posix

} // namespace platform
