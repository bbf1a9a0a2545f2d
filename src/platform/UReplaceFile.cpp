// POSIX implementation of the safe replacement.
#include "platform/UReplaceFile.h"

#include "platform/UPosixIo.h"
#include "platform/UTempFile.h"
#include "platform/UWriteBehind.h"

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace platform {

using posix::IdentityOf;
using posix::Injected;
using posix::TFd;
using posix::TPendingFlush;
using posix::TSiblingTemp;

namespace {

// How long a replacement waits for another one to finish placing the same file.
constexpr auto kLockWait = std::chrono::seconds(10);

// Whether the file could have been rewritten in place: a replacement never does through the
// rename what the file's own protection would refuse. A file without any write bit counts as
// read-only even for a process that may override permissions.
int WritableInPlace(int dirfd, const std::string& name, const struct stat& st) {
    if ((st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) {
        return EACCES;
    }
    return ::faccessat(dirfd, name.c_str(), W_OK, AT_EACCESS) == 0 ? 0 : errno;
}

bool NameIdentity(int dirfd, const std::string& name, TFileIdentity& id) {
    struct stat st;
    if (::fstatat(dirfd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(st.st_mode)) {
        return false;
    }
    id = IdentityOf(st);
    return true;
}

bool FdIdentity(int fd, TFileIdentity& id) {
    struct stat st;
    if (::fstat(fd, &st) != 0) {
        return false;
    }
    id = IdentityOf(st);
    return true;
}

// Whether the name and the open file both still are the file `want` describes.
bool StillTheSame(int dirfd, const std::string& name, int fd, const TFileIdentity& want) {
    TFileIdentity atName;
    TFileIdentity open;
    return NameIdentity(dirfd, name, atName) && atName == want && FdIdentity(fd, open) &&
           open == want;
}

// Locks the file against other replacements of it, waiting a while for one in progress.
bool LockFile(int fd) {
    const auto until = std::chrono::steady_clock::now() + kLockWait;
    for (;;) {
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
            return true;
        }
        if (errno != EWOULDBLOCK && errno != EINTR) {
            return errno == ENOLCK || errno == EINVAL; // no locks on this file system
        }
        if (std::chrono::steady_clock::now() > until) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

int PwriteAll(int fd, std::string_view data, off_t at) {
    size_t done = 0;
    while (done < data.size()) {
        const ssize_t n =
            ::pwrite(fd, data.data() + done, data.size() - done, at + static_cast<off_t>(done));
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return errno;
        }
        done += static_cast<size_t>(n);
    }
    return 0;
}

// Writes `data` over the file open as `fd`, from its start, and cuts it to that length.
int Overwrite(int fd, std::string_view data) {
    if (const int err = PwriteAll(fd, data, 0); err != 0) {
        return err;
    }
    if (::ftruncate(fd, static_cast<off_t>(data.size())) != 0 || ::fdatasync(fd) != 0) {
        return errno;
    }
    return 0;
}

// The same with the content of the file open as `from`, copied a piece at a time.
int OverwriteFrom(int fd, int from) {
    std::vector<char> buf(1 << 18);
    off_t at = 0;
    for (;;) {
        const ssize_t n = ::pread(from, buf.data(), buf.size(), at);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            return errno;
        }
        if (n == 0) {
            break;
        }
        if (const int err = PwriteAll(fd, std::string_view(buf.data(), static_cast<size_t>(n)), at);
            err != 0) {
            return err;
        }
        at += n;
    }
    if (::ftruncate(fd, at) != 0 || ::fdatasync(fd) != 0) {
        return errno;
    }
    return 0;
}

std::int64_t FileSize(int fd) {
    struct stat st;
    return ::fstat(fd, &st) == 0 ? static_cast<std::int64_t>(st.st_size) : -1;
}

// The whole content of the file open as `fd`.
bool ReadAllOf(int fd, std::string& out) {
    out.clear();
    std::vector<char> buf(1 << 16);
    off_t at = 0;
    for (;;) {
        const ssize_t n = ::pread(fd, buf.data(), buf.size(), at);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            return false;
        }
        if (n == 0) {
            return true;
        }
        out.append(buf.data(), static_cast<size_t>(n));
        at += n;
    }
}

enum class TBackup { None, Linked, Copied };

// Keeps the old content under the backup name: a hard link where possible, else a flushed copy
// placed without ever replacing anything (and never a link where the file is to be rewritten
// in place, since the link would change with it).
TBackup MakeBackup(int dirfd, const std::string& name, int fd, const struct stat& st,
                   int backupDirfd, const std::string& backupName, bool allowLink) {
    if (allowLink) {
        if (Injected(TReplaceStep::LinkBackup) == 0 &&
            ::linkat(dirfd, name.c_str(), backupDirfd, backupName.c_str(), 0) == 0) {
            return TBackup::Linked;
        }
        if (errno == EEXIST) {
            return TBackup::None;
        }
    }
    TSiblingTemp copy(backupDirfd, backupName);
    int err = copy.Create(0600);
    err = err != 0 ? err : copy.CopyFrom(fd);
    err = err != 0 ? err : copy.CopyMetadata(st, fd, true, nullptr, true);
    err = err != 0 ? err : copy.Sync();
    if (err == 0 && Injected(TReplaceStep::RenameBackup) == 0 && copy.PlaceNew(backupName) == 0) {
        return TBackup::Copied;
    }
    return TBackup::None;
}

void UndoBackup(TBackup backup, int backupDirfd, const std::string* backupName) {
    if (backup != TBackup::None && backupName != nullptr) {
        ::unlinkat(backupDirfd, backupName->c_str(), 0);
    }
}

// Where the old content goes besides the file: the backup and the kept copy, each a name in a
// folder open as a descriptor (names not asked for are null).
struct TOldContent {
    int BackupDir = -1;
    const std::string* Backup = nullptr;
    int KeepDir = -1;
    const std::string* Keep = nullptr;
};

enum class TKept { None, Linked, Copied, There };

// Keeps the content of the file open as `fd` under the keep name: the file itself, linked
// there, when `mayLink` and it has no other name (it is about to lose its own, so nothing can
// change it any more), else a copy, left for the caller to flush with its folder's file system.
// A file already under that name holds the same content. Gives 0 or the errno of the failure.
int KeepOld(int fd, const struct stat& st, int dirfd, const std::string& name, bool mayLink,
            TKept& kept) {
    if (mayLink && st.st_nlink == 1) {
        // Through the descriptor: what is linked is the file that was checked.
        const std::string self = "/proc/self/fd/" + std::to_string(fd);
        if (::linkat(AT_FDCWD, self.c_str(), dirfd, name.c_str(), AT_SYMLINK_FOLLOW) == 0) {
            kept = TKept::Linked;
            return 0;
        }
        if (errno == EEXIST) {
            kept = TKept::There;
            return 0;
        }
        // Another file system, or links refused: a copy.
    }
    TSiblingTemp copy(dirfd, name);
    int err = copy.Create(0600);
    err = err != 0 ? err : copy.CopyFrom(fd);
    err = err != 0 ? err : copy.PlaceNew(name);
    kept = err == 0 ? TKept::Copied : err == EEXIST ? TKept::There : TKept::None;
    return kept != TKept::None ? 0 : err;
}

} // namespace

struct TPreparedReplace::TPrepared {
    int Dir = -1; // the folder
    TFd OwnedDir; // when the folder was opened for this replacement
    std::string Name;
    TFd Original;
    struct stat St {};
    TFileIdentity Read;
    std::unique_ptr<TSiblingTemp> Temp;
    // The temporary file's flush, when it was left to a background thread; it ends before the
    // temporary file is placed or dropped.
    std::unique_ptr<TPendingFlush> Flushing;
    bool OwnerKept = true;
    bool Ready = false;
    bool Freed = false; // the original lost its last name to the new content
    TReplaceOutcome Out;

    TPrepared() = default;
    TPrepared(const TPrepared&) = delete;
    TPrepared& operator=(const TPrepared&) = delete;
    ~TPrepared() {
        Flushing.reset();
        // Its last close frees the old content's blocks: that wait is not the caller's.
        if (Freed && Original.Valid()) {
            posix::CloseLater(Original.Release());
        }
    }
};

namespace {

using TPrepared = TPreparedReplace::TPrepared;

// The first half of a replacement: the file opened and checked, its new content written and
// flushed to a temporary file beside it; with `flushBehind` the flush is only started, and
// PlaceAt waits for it. Fills `p`; false with p.Out set when it failed.
bool PrepareAt(TPrepared& p, const TMakeContent& make, const TFileIdentity* expected,
               bool flushBehind) {
    const int dirfd = p.Dir;
    const std::string& name = p.Name;
    TReplaceOutcome& out = p.Out;
    const auto fail = [&out](int err) {
        out.Error = err != 0 ? err : EIO;
        return false;
    };
    p.Original.Reset(::openat(dirfd, name.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK));
    const TFd& original = p.Original;
    if (!original.Valid()) {
        // Gone, or a link or something else put in its place since it was read.
        out.Changed = expected != nullptr && (errno == ENOENT || errno == ELOOP);
        return fail(errno);
    }
    struct stat& st = p.St;
    if (::fstat(original.Get(), &st) != 0) {
        return fail(errno);
    }
    if (!S_ISREG(st.st_mode)) {
        out.Changed = expected != nullptr;
        return fail(EINVAL);
    }
    p.Read = expected != nullptr ? *expected : IdentityOf(st);
    if (!(IdentityOf(st) == p.Read)) {
        out.Changed = true;
        return fail(EAGAIN);
    }
    if (const int err = WritableInPlace(dirfd, name, st); err != 0) {
        return fail(err);
    }
    out.SplitLinks = st.st_nlink > 1;

    p.Temp = std::make_unique<TSiblingTemp>(dirfd, name);
    TSiblingTemp& temp = *p.Temp;
    int err = temp.Create(0600);
    if (err == 0) {
        err = Injected(TReplaceStep::WriteTemp) != 0 ? errno : 0;
    }
    if (err == 0) {
        const TReadBytes read = [&original](std::int64_t at, char* into, size_t n) -> std::int64_t {
            size_t done = 0;
            while (done < n) {
                const ssize_t got = ::pread(original.Get(), into + done, n - done,
                                            static_cast<off_t>(at) + static_cast<off_t>(done));
                if (got == 0) {
                    break;
                }
                if (got > 0) {
                    done += static_cast<size_t>(got);
                } else if (errno != EINTR) {
                    return -static_cast<std::int64_t>(errno);
                }
            }
            return static_cast<std::int64_t>(done);
        };
        const TWriteBytes write = [&temp](std::string_view data) { return temp.Append(data); };
        err = make(read, write);
        if (err == kContentChanged) {
            out.Changed = true;
            return fail(EAGAIN);
        }
    }
    err = err != 0 ? err : temp.CopyMetadata(st, original.Get(), true, &p.OwnerKept, false);
    if (err == 0 && flushBehind) {
        // The data starts for the disk now; the background flush then mostly waits for it.
        ::sync_file_range(temp.Fd(), 0, 0, SYNC_FILE_RANGE_WRITE);
        p.Flushing = std::make_unique<TPendingFlush>([&temp] { return temp.Sync(); });
    } else {
        err = err != 0 ? err : temp.Sync();
    }
    if (err != 0) {
        return fail(err);
    }
    p.Ready = true;
    return true;
}

// The second half: under the lock, checked again, backed up, the old content kept, and put in
// place.
TReplaceOutcome PlaceAt(TPrepared& p, const TOldContent& old) {
    const int dirfd = p.Dir;
    const std::string& name = p.Name;
    TReplaceOutcome out = p.Out;
    const auto fail = [&out](int err) {
        out.Error = err != 0 ? err : EIO;
        return out;
    };
    const TFd& original = p.Original;
    const struct stat& st = p.St;
    const TFileIdentity& read = p.Read;
    TSiblingTemp& temp = *p.Temp;
    const bool inPlace = !p.OwnerKept;
    int err = 0;

    // The new content is on disk before anything else happens.
    if (p.Flushing) {
        err = p.Flushing->Wait();
        p.Flushing.reset();
        if (err != 0) {
            return fail(err);
        }
    }
    Injected(TReplaceStep::CheckUnchanged);
    // Another replacement of this file waits here until this one has placed its content, and
    // then finds the file changed.
    if (!LockFile(original.Get())) {
        out.Changed = true;
        return fail(EBUSY);
    }
    if (!StillTheSame(dirfd, name, original.Get(), read)) {
        out.Changed = true;
        return fail(EAGAIN);
    }

    const int backupDirfd = old.BackupDir;
    const std::string* const backupName = old.Backup;
    TBackup backup = TBackup::None;
    if (backupName != nullptr) {
        backup = MakeBackup(dirfd, name, original.Get(), st, backupDirfd, *backupName, !inPlace);
        out.BackupFailed = backup == TBackup::None;
    }
    TKept kept = TKept::None;
    const auto undo = [&] {
        UndoBackup(backup, backupDirfd, backupName);
        if (kept == TKept::Linked || kept == TKept::Copied) {
            ::unlinkat(old.KeepDir, old.Keep->c_str(), 0);
        }
    };
    // Not a link where the file goes on being the user's: rewritten in place, or as the backup.
    if (old.Keep != nullptr && (err = KeepOld(original.Get(), st, old.KeepDir, *old.Keep,
                                              !inPlace && backup != TBackup::Linked, kept)) != 0) {
        undo();
        out.KeepFailed = true;
        return fail(err);
    }
    // A new link changed the file's change time; nothing else may have changed.
    TFileIdentity now;
    if (!FdIdentity(original.Get(), now) || now.Device != read.Device || now.Inode != read.Inode ||
        now.Size != read.Size || now.ModifiedNs != read.ModifiedNs) {
        undo();
        out.Changed = true;
        return fail(EAGAIN);
    }

    if (inPlace) {
        // The temporary file keeps the new content until the file itself holds it.
        temp.SetRole(posix::TTempRole::Recovery);
        std::string was;
        const TFd writer(::openat(dirfd, name.c_str(), O_WRONLY | O_NOFOLLOW | O_CLOEXEC));
        TFileIdentity target;
        if ((err = temp.Name()) != 0 || !ReadAllOf(original.Get(), was) || !writer.Valid() ||
            !FdIdentity(writer.Get(), target) || target.Inode != now.Inode ||
            target.Device != now.Device) {
            undo();
            return fail(err != 0 ? err : errno);
        }
        if (!StillTheSame(dirfd, name, original.Get(), now)) {
            undo();
            out.Changed = true;
            return fail(EAGAIN);
        }
        const std::int64_t newSize = FileSize(temp.Fd());
        if (newSize > static_cast<std::int64_t>(was.size()) &&
            ::fallocate(writer.Get(), 0, 0, static_cast<off_t>(newSize)) != 0 &&
            errno != EOPNOTSUPP) {
            undo();
            return fail(errno);
        }
        if (Injected(TReplaceStep::WriteInPlace) != 0 ||
            (err = OverwriteFrom(writer.Get(), temp.Fd())) != 0) {
            err = err != 0 ? err : errno;
            // Put the old content back; should that fail too, the new one waits beside it.
            if (Overwrite(writer.Get(), was) == 0) {
                undo();
                temp.Discard();
            } else {
                temp.Keep();
            }
            return fail(err);
        }
        temp.Discard();
        out.InPlace = true;
        out.Written = true;
        return out;
    }

    if (!StillTheSame(dirfd, name, original.Get(), now)) {
        undo();
        out.Changed = true;
        return fail(EAGAIN);
    }
    if ((err = temp.PlaceOver(name)) != 0) {
        undo();
        return fail(err);
    }
    p.Freed = st.st_nlink == 1 && kept != TKept::Linked;
    out.Written = true;
    return out;
}

TReplaceOutcome ReplaceAt(int dirfd, const std::string& name, const TMakeContent& make,
                          const TOldContent& old, const TFileIdentity* expected) {
    TPrepared p;
    p.Dir = dirfd;
    p.Name = name;
    if (!PrepareAt(p, make, expected, false)) {
        return p.Out;
    }
    return PlaceAt(p, old);
}

// Whether `target` (an absolute path without "." or "..") lies in the folder `root`.
bool Inside(const std::string& target, std::string root) {
    while (root.size() > 1 && root.back() == '/') {
        root.pop_back();
    }
    if (root == "/") {
        return true;
    }
    return target.size() > root.size() && target.compare(0, root.size(), root) == 0 &&
           target[root.size()] == '/';
}

std::string RealPath(const std::string& path) {
    struct TFree {
        void operator()(char* p) const { std::free(p); }
    };
    const std::unique_ptr<char, TFree> real(::realpath(path.c_str(), nullptr));
    return real ? std::string(real.get()) : std::string();
}

} // namespace

bool RemoveStaleReplaceTemp(const std::string& path, std::int64_t minAgeSeconds) {
    std::string name;
    const TFd folder(posix::OpenFolderOf(path, name));
    return folder.Valid() && IsReplaceTempName(name) &&
           posix::IsStaleTemp(folder.Get(), name, minAgeSeconds) &&
           ::unlinkat(folder.Get(), name.c_str(), 0) == 0;
}

int CleanStaleReplaceTemps(const std::string& folder, std::int64_t minAgeSeconds) {
    const int fd =
        ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        return 0;
    }
    struct TCloseDir {
        void operator()(DIR* d) const { ::closedir(d); }
    };
    const std::unique_ptr<DIR, TCloseDir> dir(::fdopendir(fd));
    if (!dir) {
        ::close(fd);
        return 0;
    }
    std::vector<std::string> candidates;
    while (const dirent* e = ::readdir(dir.get())) {
        if (IsReplaceTempName(e->d_name)) {
            candidates.emplace_back(e->d_name);
        }
    }
    int removed = 0;
    for (const std::string& name : candidates) {
        if (posix::IsStaleTemp(fd, name, minAgeSeconds) && ::unlinkat(fd, name.c_str(), 0) == 0) {
            ++removed;
        }
    }
    return removed;
}

namespace {

TMakeContent Whole(std::string_view content) {
    return [content](const TReadBytes&, const TWriteBytes& write) { return write(content); };
}

} // namespace

TReplaceOutcome ReplaceFileContent(const std::string& path, std::string_view content,
                                   const std::string* backupPath, const TReplaceCheck& check,
                                   const std::string* keepPath) {
    return ReplaceFileContent(path, Whole(content), backupPath, check, keepPath);
}

namespace {

// Opens the folder of the file that `path` leads to (a link's target, which must lie inside
// check.Within); false with `out` set when it cannot.
bool OpenTarget(const std::string& path, const TReplaceCheck& check, TFd& folder, std::string& name,
                TReplaceOutcome& out) {
    struct stat lst;
    if (path.empty() || ::lstat(path.c_str(), &lst) != 0) {
        out.Error = path.empty() ? ENOENT : errno;
        out.Changed = check.Expected != nullptr && out.Error == ENOENT;
        return false;
    }
    // A link is written at its target, which must lie inside the allowed folder.
    std::string target = path;
    if (S_ISLNK(lst.st_mode)) {
        target = RealPath(path);
        if (target.empty()) {
            out.Error = errno;
            return false;
        }
        if (!check.Within.empty()) {
            const std::string root = RealPath(check.Within);
            if (root.empty() || !Inside(target, root)) {
                out.OutsideLink = true;
                out.Error = EXDEV;
                return false;
            }
        }
    }
    folder.Reset(posix::OpenFolderOf(target, name));
    if (!folder.Valid()) {
        out.Error = errno;
        return false;
    }
    return true;
}

// Opens the folders of the backup and the kept copy that were asked for; false with `out` set
// when one cannot be opened.
struct TOldContentFolders {
    TFd Backup, Keep;
    std::string BackupName, KeepName;
    TOldContent To;
};
bool OpenOldContent(const std::string* backupPath, const std::string* keepPath,
                    TOldContentFolders& f, TReplaceOutcome& out) {
    if (backupPath != nullptr) {
        f.Backup.Reset(posix::OpenFolderOf(*backupPath, f.BackupName));
        f.To.BackupDir = f.Backup.Get();
        f.To.Backup = &f.BackupName;
    }
    if (keepPath != nullptr) {
        f.Keep.Reset(posix::OpenFolderOf(*keepPath, f.KeepName));
        f.To.KeepDir = f.Keep.Get();
        f.To.Keep = &f.KeepName;
    }
    if ((backupPath != nullptr && !f.Backup.Valid()) || (keepPath != nullptr && !f.Keep.Valid())) {
        out.Error = errno;
        out.KeepFailed = keepPath != nullptr && !f.Keep.Valid();
        return false;
    }
    return true;
}

} // namespace

TReplaceOutcome ReplaceFileContent(const std::string& path, const TMakeContent& make,
                                   const std::string* backupPath, const TReplaceCheck& check,
                                   const std::string* keepPath) {
    TReplaceOutcome out;
    TFd folder;
    std::string name;
    TOldContentFolders old;
    if (!OpenTarget(path, check, folder, name, out) ||
        !OpenOldContent(backupPath, keepPath, old, out)) {
        return out;
    }
    return ReplaceAt(folder.Get(), name, make, old.To, check.Expected);
}

TPreparedReplace::TPreparedReplace() : p_(std::make_unique<TPrepared>()) {}
TPreparedReplace::~TPreparedReplace() = default;

std::unique_ptr<TPreparedReplace> PrepareReplace(const std::string& path, std::string_view content,
                                                 const TReplaceCheck& check) {
    auto prepared = std::make_unique<TPreparedReplace>();
    TPrepared& p = *prepared->p_;
    if (OpenTarget(path, check, p.OwnedDir, p.Name, p.Out)) {
        p.Dir = p.OwnedDir.Get();
        if (!PrepareAt(p, Whole(content), check.Expected, true)) {
            p.Temp.reset(); // nothing of a failed preparation stays behind
        }
    }
    return prepared;
}

TReplaceOutcome PlaceReplacement(TPreparedReplace& prepared, const std::string* backupPath,
                                 const std::string* keepPath) {
    TPrepared& p = *prepared.p_;
    if (!p.Ready) {
        return p.Out;
    }
    p.Ready = false; // placed at most once
    TOldContentFolders old;
    if (!OpenOldContent(backupPath, keepPath, old, p.Out)) {
        return p.Out;
    }
    return PlaceAt(p, old.To);
}

TReplaceOutcome ReplaceFileContentAt(int folderFd, const std::string& name,
                                     std::string_view content, const std::string* backupName,
                                     const TFileIdentity* expected) {
    TOldContent old;
    old.BackupDir = folderFd;
    old.Backup = backupName;
    return ReplaceAt(folderFd, name, Whole(content), old, expected);
}

} // namespace platform
