#include "platform/UFileState.h"

#include "platform/UTempFile.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

TIoResult RestoreFileMeta(const std::string& path, const TFileMeta& meta) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        return {errno};
    }
    if ((st.st_uid != meta.Owner || st.st_gid != meta.Group) &&
        ::chown(path.c_str(), meta.Owner, meta.Group) != 0 && errno != EPERM) {
        return {errno};
    }
    // After chown, which may clear the set-id bits.
    if (::chmod(path.c_str(), meta.Mode & 07777) != 0) {
        return {errno};
    }
    timespec times[2];
    times[0].tv_sec = meta.AccessedNs / 1'000'000'000;
    times[0].tv_nsec = meta.AccessedNs % 1'000'000'000;
    times[1].tv_sec = meta.ModifiedNs / 1'000'000'000;
    times[1].tv_nsec = meta.ModifiedNs % 1'000'000'000;
    if (::utimensat(AT_FDCWD, path.c_str(), times, 0) != 0) {
        return {errno};
    }
    return {};
}

std::string StateFolder() {
    std::string base = EnvironmentVariable("XDG_STATE_HOME");
    if (base.empty() || base[0] != '/') {
        const std::string home = HomeFolder();
        if (home.empty()) {
            return {};
        }
        base = home + (home.back() == '/' ? "" : "/") + ".local/state";
    }
    if (base.back() != '/') {
        base += '/';
    }
    return base + "fernsweep/";
}

TIoResult FlushFileSystem(const std::string& folder) {
    const posix::TFd fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!fd.Valid() || ::syncfs(fd.Get()) != 0) {
        return {errno};
    }
    return {};
}

bool CreatePrivateFolder(const std::string& path) {
    return ::mkdir(path.c_str(), 0700) == 0;
}

bool RemoveFolder(const std::string& path) {
    return ::rmdir(path.c_str()) == 0;
}

TFileLock::TFileLock(const std::string& path, bool wait) {
    fd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd_ < 0) {
        return;
    }
    int rc;
    do {
        rc = ::flock(fd_, wait ? LOCK_EX : LOCK_EX | LOCK_NB);
    } while (rc != 0 && errno == EINTR);
    held_ = rc == 0;
}

TFileLock::~TFileLock() {
    if (fd_ >= 0) {
        ::close(fd_); // lets go of the lock
    }
}

} // namespace platform
