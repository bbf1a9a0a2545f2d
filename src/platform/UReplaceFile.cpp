// POSIX implementation of the safe replacement.
#include "UReplaceFile.h"

#include "UPosixIo.h"

#include "UPlatform.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <signal.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>
#include <vector>

namespace platform {

namespace {

constexpr std::string_view kTempSuffix = ".fstmp";
// Long enough to tell the temporary file's origin at a glance, short enough that the marker
// and the process id always fit into a name.
constexpr size_t kTempBaseMax = 200;

std::function<int(TReplaceStep)>& FaultHook() {
    static std::function<int(TReplaceStep)> hook;
    return hook;
}

// The errno a test wants `step` to fail with, or 0.
int Injected(TReplaceStep step) {
    const auto& hook = FaultHook();
    const int err = hook ? hook(step) : 0;
    if (err != 0) {
        errno = err;
    }
    return err;
}

std::string_view NamePart(std::string_view path) {
    const size_t s = path.rfind(PathDelim);
    return s == std::string_view::npos ? path : path.substr(s + 1);
}

// The writer's process id from a temporary file's name; -1 when the name is not one.
long TempOwner(std::string_view name) {
    if (name.size() < 1 + 1 + 1 + 1 + kTempSuffix.size() || name[0] != '.' ||
        name.substr(name.size() - kTempSuffix.size()) != kTempSuffix) {
        return -1;
    }
    const std::string_view rest = name.substr(1, name.size() - 1 - kTempSuffix.size());
    const size_t dot = rest.rfind('.');
    if (dot == std::string_view::npos || dot == 0 || dot + 1 == rest.size() ||
        rest.size() - dot - 1 > 9) {
        return -1;
    }
    long pid = 0;
    for (const char c : rest.substr(dot + 1)) {
        if (c < '0' || c > '9') {
            return -1;
        }
        pid = pid * 10 + (c - '0');
    }
    return pid;
}

std::string TempNameFor(const std::string& target) {
    const size_t s = target.rfind(PathDelim);
    const std::string dir = s == std::string::npos ? std::string() : target.substr(0, s + 1);
    std::string base = s == std::string::npos ? target : target.substr(s + 1);
    if (base.size() > kTempBaseMax) {
        base.resize(kTempBaseMax);
    }
    return dir + "." + base + "." + std::to_string(::getpid()) + std::string(kTempSuffix);
}

// The file a replacement of `path` has to rewrite: the path itself, or where its links lead.
bool ResolveTarget(const std::string& path, std::string& target) {
    struct stat lst;
    if (path.empty() || ::lstat(path.c_str(), &lst) != 0) {
        return false;
    }
    if (!S_ISLNK(lst.st_mode)) {
        target = path;
        return true;
    }
    struct TFree {
        void operator()(char* p) const { std::free(p); }
    };
    const std::unique_ptr<char, TFree> real(::realpath(path.c_str(), nullptr));
    if (!real) {
        return false;
    }
    target = real.get();
    return true;
}

// Whether the file could have been rewritten in place: a replacement never does through the
// rename what the file's own protection would refuse. A file without any write bit counts as
// read-only even for a process that may override permissions.
bool WritableInPlace(const std::string& target, const struct stat& st) {
    return (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) != 0 &&
           ::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) == 0;
}

// The temporary file; removed again unless it was put in place.
class TTempFile {
public:
    explicit TTempFile(std::string path) : path_(std::move(path)) {}
    ~TTempFile() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
        if (created_ && !placed_) {
            ::unlink(path_.c_str());
        }
    }
    TTempFile(const TTempFile&) = delete;
    TTempFile& operator=(const TTempFile&) = delete;

    const std::string& Path() const { return path_; }

    bool Create() {
        if (Injected(TReplaceStep::CreateTemp) != 0) {
            return false;
        }
        for (int attempt = 0; attempt < 2; ++attempt) {
            fd_ = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
            if (fd_ >= 0) {
                created_ = true;
                return true;
            }
            // The name carries this process's id, so whatever holds it was left by an earlier
            // process that had the same id.
            if (errno != EEXIST || ::unlink(path_.c_str()) != 0) {
                return false;
            }
        }
        return false;
    }

    bool Write(std::string_view data) {
        if (Injected(TReplaceStep::WriteTemp) != 0) {
            return false;
        }
        return posix::WriteAll(fd_, data);
    }

    // Gives the file the original's owner, extended attributes and mode, flushes and closes it.
    bool Finish(const std::string& original, const struct stat& st) {
        if (st.st_uid != ::geteuid() || st.st_gid != ::getegid()) {
            // Only a privileged process may give a file away; the group alone may still be
            // settable. Either failing is no reason to give up.
            if (::fchown(fd_, st.st_uid, st.st_gid) != 0) {
                [[maybe_unused]] const int ignored =
                    ::fchown(fd_, static_cast<uid_t>(-1), st.st_gid);
            }
        }
        CopyExtendedAttributes(original);
        // After the change of owner, which may clear the set-id bits.
        if (::fchmod(fd_, st.st_mode & 07777) != 0) {
            return false;
        }
        if (Injected(TReplaceStep::SyncTemp) != 0 || ::fdatasync(fd_) != 0) {
            return false;
        }
        const int fd = fd_;
        fd_ = -1;
        return ::close(fd) == 0;
    }

    void MarkPlaced() { placed_ = true; }

private:
    // Attributes the process may not set (another namespace's, a security label) are left out.
    void CopyExtendedAttributes(const std::string& original) {
        const ssize_t size = ::listxattr(original.c_str(), nullptr, 0);
        if (size <= 0) {
            return;
        }
        std::vector<char> names(static_cast<size_t>(size));
        const ssize_t got = ::listxattr(original.c_str(), names.data(), names.size());
        if (got <= 0) {
            return;
        }
        std::vector<char> value;
        for (size_t i = 0; i < static_cast<size_t>(got);) {
            const char* const name = names.data() + i;
            i += std::char_traits<char>::length(name) + 1;
            const ssize_t len = ::getxattr(original.c_str(), name, nullptr, 0);
            if (len < 0) {
                continue;
            }
            value.resize(static_cast<size_t>(len));
            const ssize_t vlen = ::getxattr(original.c_str(), name, value.data(), value.size());
            if (vlen >= 0) {
                ::fsetxattr(fd_, name, value.data(), static_cast<size_t>(vlen), 0);
            }
        }
    }

    std::string path_;
    int fd_ = -1;
    bool created_ = false;
    bool placed_ = false;
};

// Renames without ever replacing an entry of the new name.
bool RenameNoReplace(const std::string& from, const std::string& to) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) {
        return true;
    }
    if (errno != EINVAL && errno != ENOSYS) {
        return false;
    }
    struct stat lst;
    return ::lstat(to.c_str(), &lst) != 0 && ::rename(from.c_str(), to.c_str()) == 0;
}

enum class TBackup { None, Linked, Exchanged, Renamed };

// Makes the backup of `target`, the new content being ready in `temp`. Where the file system
// has no hard links, the new content and the original trade names in one step (the name
// never goes without a file) and the original then moves on to the backup name; only where
// that is not possible either is the original renamed to the backup name first, leaving the
// name without a file until the new content follows it.
TBackup MakeBackup(const std::string& target, const std::string& temp, const std::string& backup) {
    if (Injected(TReplaceStep::LinkBackup) == 0 && ::link(target.c_str(), backup.c_str()) == 0) {
        return TBackup::Linked;
    }
    if (errno == EEXIST) {
        return TBackup::None;
    }
    struct stat lst;
    if (::lstat(backup.c_str(), &lst) == 0) {
        return TBackup::None;
    }
    if (Injected(TReplaceStep::ExchangeBackup) == 0 &&
        ::renameat2(AT_FDCWD, temp.c_str(), AT_FDCWD, target.c_str(), RENAME_EXCHANGE) == 0) {
        return TBackup::Exchanged;
    }
    if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP) {
        return TBackup::None;
    }
    if (Injected(TReplaceStep::RenameBackup) == 0 && RenameNoReplace(target, backup)) {
        return TBackup::Renamed;
    }
    return TBackup::None;
}

} // namespace

bool IsReplaceTempName(std::string_view name) {
    return TempOwner(name) >= 0;
}

bool RemoveStaleReplaceTemp(const std::string& path) {
    const long owner = TempOwner(NamePart(path));
    if (owner <= 0 || owner == static_cast<long>(::getpid())) {
        return false;
    }
    // A process that exists (or that this one may not signal) may still be writing.
    if (::kill(static_cast<pid_t>(owner), 0) == 0 || errno != ESRCH) {
        return false;
    }
    struct stat lst;
    if (::lstat(path.c_str(), &lst) != 0 || !S_ISREG(lst.st_mode)) {
        return false;
    }
    return ::unlink(path.c_str()) == 0;
}

int CleanStaleReplaceTemps(const std::string& folder) {
    struct TCloseDir {
        void operator()(DIR* d) const { ::closedir(d); }
    };
    const std::unique_ptr<DIR, TCloseDir> dir(::opendir(folder.empty() ? "." : folder.c_str()));
    if (!dir) {
        return 0;
    }
    std::vector<std::string> stale;
    while (const dirent* e = ::readdir(dir.get())) {
        if (IsReplaceTempName(e->d_name)) {
            stale.emplace_back(e->d_name);
        }
    }
    std::string prefix = folder.empty() ? std::string() : folder;
    if (!prefix.empty() && prefix.back() != PathDelim) {
        prefix += PathDelim;
    }
    int removed = 0;
    for (const std::string& name : stale) {
        removed += RemoveStaleReplaceTemp(prefix + name) ? 1 : 0;
    }
    return removed;
}

TReplaceOutcome ReplaceFileContent(const std::string& path, std::string_view content,
                                   const std::string* backupPath) {
    TReplaceOutcome out;
    std::string target;
    struct stat st;
    if (!ResolveTarget(path, target) || ::stat(target.c_str(), &st) != 0 || !S_ISREG(st.st_mode) ||
        !WritableInPlace(target, st)) {
        return out;
    }
    TTempFile temp(TempNameFor(target));
    if (!temp.Create() || !temp.Write(content) || !temp.Finish(target, st)) {
        return out;
    }
    TBackup backup = TBackup::None;
    if (backupPath != nullptr) {
        backup = MakeBackup(target, temp.Path(), *backupPath);
        out.BackupFailed = backup == TBackup::None;
    }
    if (backup == TBackup::Exchanged) {
        // The name holds the new content; the original is under the temporary name.
        if (Injected(TReplaceStep::RenameBackup) != 0 ||
            !RenameNoReplace(temp.Path(), *backupPath)) {
            out.BackupFailed = true; // the temporary file, the original now, is removed
        } else {
            temp.MarkPlaced();
        }
        out.Written = true;
        return out;
    }
    if (Injected(TReplaceStep::RenameOver) != 0 ||
        ::rename(temp.Path().c_str(), target.c_str()) != 0) {
        // Undo the backup, so that nothing at all has changed.
        if (backup == TBackup::Linked) {
            ::unlink(backupPath->c_str());
        } else if (backup == TBackup::Renamed) {
            ::rename(backupPath->c_str(), target.c_str());
        }
        return out;
    }
    temp.MarkPlaced();
    out.Written = true;
    return out;
}

void SetReplaceFaultHook(std::function<int(TReplaceStep)> hook) {
    FaultHook() = std::move(hook);
}

} // namespace platform
