// POSIX implementation of folders held by descriptor.
#include "platform/UFolderHandle.h"

#include "platform/UFolderOrder.h"

#include "platform/UPlatform.h"
#include "platform/UPosixIo.h"
#include "platform/UTempFile.h"

#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

TFileId IdOf(const struct stat& st) {
    return TFileId{static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
}

std::int64_t StampOf(const struct stat& st) {
    return static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
}

[[noreturn]] void CannotOpen(const std::string& displayPath) {
    throw EPlatformError("Cannot open file \"" + displayPath + "\". " + LastErrorText());
}

} // namespace

TFolderHandle::~TFolderHandle() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

TFolderHandle::TFolderHandle(TFolderHandle&& other) noexcept
    : fd_(other.fd_), id_(other.id_), stamp_(other.stamp_) {
    other.fd_ = -1;
}

TFolderHandle& TFolderHandle::operator=(TFolderHandle&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0) {
            ::close(fd_);
        }
        fd_ = other.fd_;
        id_ = other.id_;
        stamp_ = other.stamp_;
        other.fd_ = -1;
    }
    return *this;
}

TFolderHandle TFolderHandle::OpenPath(const std::string& path) {
    TFolderHandle h;
    if (path.empty()) {
        return h;
    }
    h.fd_ = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    struct stat st;
    if (h.fd_ >= 0 && ::fstat(h.fd_, &st) == 0) {
        h.id_ = IdOf(st);
        h.stamp_ = StampOf(st);
    } else {
        h = TFolderHandle();
    }
    return h;
}

std::int64_t TFolderHandle::ReadStamp() const {
    struct stat st;
    return fd_ >= 0 && ::fstat(fd_, &st) == 0 ? StampOf(st) : -1;
}

TFolderHandle TFolderHandle::OpenSub(const std::string& name, const TFileId& expected) const {
    TFolderHandle h;
    if (fd_ < 0) {
        return h;
    }
    h.fd_ = ::openat(fd_, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    struct stat st;
    if (h.fd_ >= 0 && ::fstat(h.fd_, &st) == 0 && IdOf(st) == expected) {
        h.id_ = expected;
        h.stamp_ = StampOf(st);
    } else {
        h = TFolderHandle();
    }
    return h;
}

std::vector<TFolderEntry> ListFolder(const TFolderHandle& folder, std::string* error,
                                     const std::function<void()>& meanwhile) {
    std::vector<TFolderEntry> out;
    if (!folder.Valid()) {
        return out;
    }
    const auto failed = [&]() {
        if (error != nullptr) {
            *error = LastErrorText();
        }
        return out;
    };
    // The enumeration gets a descriptor of its own, so closing it leaves the folder's open.
    const int fd = ::openat(folder.Fd(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        return failed();
    }
    DIR* dir = ::fdopendir(fd);
    if (dir == nullptr) {
        ::close(fd);
        return failed();
    }
    while (const dirent* e = ::readdir(dir)) {
        const std::string_view n(e->d_name);
        if (n == "." || n == "..") {
            continue;
        }
        TFolderEntry entry;
        entry.Name.assign(n);
        unsigned char type = e->d_type;
        struct stat st;
        if (type == DT_DIR || type == DT_UNKNOWN) {
            // Folders need their identity, to be opened later as the same folder.
            if (::fstatat(fd, e->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) {
                continue; // gone since it was listed
            }
            type = S_ISDIR(st.st_mode) ? DT_DIR : S_ISREG(st.st_mode) ? DT_REG : DT_LNK;
            entry.Id = IdOf(st);
        }
        entry.Kind = type == DT_DIR   ? TEntryKind::Folder
                     : type == DT_REG ? TEntryKind::PlainFile
                                      : TEntryKind::Other;
        out.push_back(std::move(entry));
        if (meanwhile && (out.size() & 4095) == 0) {
            meanwhile();
        }
    }
    ::closedir(dir);
    SortFolderEntries(out, meanwhile);
    return out;
}

int EntryAttributes(const TFolderHandle& folder, const std::string& name) {
    struct stat lst;
    if (::fstatat(folder.Fd(), name.c_str(), &lst, AT_SYMLINK_NOFOLLOW) != 0) {
        return -1;
    }
    return posix::EntryAttributes(lst, folder.Fd(), name.c_str(), name);
}

size_t ReadFileAt(const TFolderHandle& folder, const std::string& name,
                  const std::string& displayPath, std::string& storage, TFileIdentity& identity) {
    // O_NONBLOCK: should a FIFO appear under the name after the caller checked it, the open
    // and the read fail instead of waiting for a writer. Regular files ignore the flag.
    const int fd = ::openat(folder.Fd(), name.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        CannotOpen(displayPath);
    }
    struct TClose {
        int fd;
        ~TClose() { ::close(fd); }
    } closer{fd};
    struct stat st;
    if (::fstat(fd, &st) != 0) {
        CannotOpen(displayPath);
    }
    identity = posix::IdentityOf(st);
    const bool regular = S_ISREG(st.st_mode);
    const size_t expected = regular ? static_cast<size_t>(st.st_size) : 0;
    size_t got = 0;
    if (!posix::ReadAllInto(fd, storage, expected, regular, got)) {
        CannotOpen(displayPath);
    }
    return got;
}

TFileReader::~TFileReader() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

void TFileReader::Open(const TFolderHandle& folder, const std::string& name,
                       const std::string& displayPath) {
    if (fd_ >= 0) {
        ::close(fd_);
    }
    displayPath_ = displayPath;
    // O_NONBLOCK: as in ReadFileAt, a FIFO put under the name fails instead of blocking.
    fd_ = ::openat(folder.Fd(), name.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd_ < 0) {
        CannotOpen(displayPath_);
    }
    struct stat st;
    if (::fstat(fd_, &st) != 0) {
        CannotOpen(displayPath_);
    }
    identity_ = posix::IdentityOf(st);
    regular_ = S_ISREG(st.st_mode);
    mode_ = st.st_mode;
}

int TFileReader::Attributes(const TFolderHandle& folder, const std::string& name) const {
    struct stat st {};
    st.st_mode = static_cast<mode_t>(mode_);
    st.st_dev = static_cast<dev_t>(identity_.Device);
    return posix::EntryAttributes(st, folder.Fd(), name.c_str(), name);
}

size_t TFileReader::ReadSome(std::int64_t offset, char* into, size_t n) {
    for (;;) {
        const ssize_t got = ::pread(fd_, into, n, static_cast<off_t>(offset));
        if (got >= 0) {
            return static_cast<size_t>(got);
        }
        if (errno != EINTR) {
            CannotOpen(displayPath_);
        }
    }
}

size_t TFileReader::ReadAt(std::int64_t offset, char* into, size_t n) {
    size_t done = 0;
    while (done < n) {
        const ssize_t got = ::pread(fd_, into + done, n - done,
                                    static_cast<off_t>(offset) + static_cast<off_t>(done));
        if (got == 0) {
            break;
        }
        if (got > 0) {
            done += static_cast<size_t>(got);
        } else if (errno != EINTR) {
            CannotOpen(displayPath_);
        }
    }
    return done;
}

TFileIdentity IdentityAt(const TFolderHandle& folder, const std::string& name) {
    struct stat st;
    if (::fstatat(folder.Fd(), name.c_str(), &st, 0) != 0) {
        return TFileIdentity();
    }
    return posix::IdentityOf(st);
}

std::string PathThrough(const TFolderHandle& folder, const std::string& name) {
    return "/proc/self/fd/" + std::to_string(folder.Fd()) + "/" + name;
}

void AllowManyOpenFolders() {
    struct rlimit rl;
    if (::getrlimit(RLIMIT_NOFILE, &rl) == 0 && rl.rlim_cur < rl.rlim_max) {
        rl.rlim_cur = rl.rlim_max;
        ::setrlimit(RLIMIT_NOFILE, &rl);
    }
}

} // namespace platform
