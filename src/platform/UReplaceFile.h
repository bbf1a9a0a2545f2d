// Replacing a file's content so that nothing is ever lost or half-written.
//
// The new content is written in full to a temporary file beside the target and flushed to
// disk. Then, holding a lock on the file that other replacements take too, the name is checked
// to still lead to the file that was read (device, inode, size, modification and change time):
// a file changed meanwhile is not written. Then the backup is made, when asked: a hard link to
// the original, or where there are no hard links a flushed copy of it put in place under the
// backup name; the original never stands under a temporary name. After a last check under the
// folder's descriptor the temporary file is renamed over the original. At every instant the
// name holds either its old or its new content, whole. The new file keeps the original's
// permission bits, owner, group and extended attributes. Where the process may not give the
// new file the original's owner or group, the file is instead rewritten in place through its
// descriptor (its owner, group and access lists stay as they are), the new content first
// written and flushed to a temporary file beside it that stays should the rewrite be cut off.
// A link is followed: its target is rewritten and the link stays; the last step never follows
// a link, so a file swapped for one after the check is not written.
#pragma once

#include "platform/UPlatform.h"
#include "platform/UTempName.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace platform {

// A temporary file is removed only when its marker proves that this program wrote it on this
// host and in this PID namespace, that its writer is dead, and that it is older than this.
constexpr std::int64_t kStaleTempAgeSeconds = 24 * 60 * 60;

// Deletes `path` when it is such a stale temporary file. True when it was deleted.
bool RemoveStaleReplaceTemp(const std::string& path,
                            std::int64_t minAgeSeconds = kStaleTempAgeSeconds);
// Does the same for every entry of `folder`; gives the number deleted.
int CleanStaleReplaceTemps(const std::string& folder,
                           std::int64_t minAgeSeconds = kStaleTempAgeSeconds);

struct TReplaceOutcome {
    bool Written = false;      // the name now holds the new content
    bool BackupFailed = false; // a backup was asked for and could not be made
    bool Changed = false;      // the file changed after it was read: not written
    bool OutsideLink = false;  // a link leading out of the allowed folder: not written
    bool InPlace = false;      // written through the file's own descriptor, keeping its owner
    bool SplitLinks = false;   // the file has other names, which keep the old content
    bool KeepFailed = false;   // the old content could not be kept as asked: not written
    int Error = 0;             // the system's reason when not written
};

// What a replacement checks before it writes.
struct TReplaceCheck {
    // The file as it was read; a file that no longer has this identity is not written.
    const TFileIdentity* Expected = nullptr;
    // When not empty: a link whose target lies outside this folder is not written through.
    std::string Within;
};

// New content made while it is written, so that it is never held whole: `read` gives the
// original's bytes from `offset` on (the count, short only at its end, or -errno), `write`
// appends to the new content (0 or the errno of the failure). The maker gives 0, the errno that
// ends the replacement, or kContentChanged when what it read is not what it expected to find.
using TReadBytes = std::function<std::int64_t(std::int64_t offset, char* into, size_t n)>;
using TWriteBytes = std::function<int(std::string_view data)>;
using TMakeContent = std::function<int(const TReadBytes& read, const TWriteBytes& write)>;
constexpr int kContentChanged = -1;

// Replaces the content of the file at `path` by `content`. With `backupPath` set, the old
// content is also kept under that name (which must be free). A file that could not be written
// in place (no write permission for this process, a read-only file system, an immutable file)
// is refused. On failure the original is left exactly as it was and no temporary file stays.
// With `keepPath` set, the old content is kept there as well, for undoing the replacement,
// once the file is checked and before it is written (a file that cannot be kept is not
// written): where it can be, that is the replaced file itself, linked there as it loses its
// name, else a copy; neither is flushed (FlushFileSystem on the keep folder does that). A file
// already under that name is taken to hold the same content.
TReplaceOutcome ReplaceFileContent(const std::string& path, std::string_view content,
                                   const std::string* backupPath, const TReplaceCheck& check = {},
                                   const std::string* keepPath = nullptr);

// The same with the new content made from the original while it is written. The original is
// read through the descriptor that the checks are made on, so it is the file that was checked.
TReplaceOutcome ReplaceFileContent(const std::string& path, const TMakeContent& make,
                                   const std::string* backupPath, const TReplaceCheck& check = {},
                                   const std::string* keepPath = nullptr);

// A replacement in two halves, for a caller that makes new content ahead of its turn to be
// written: first the new content is written and flushed to the temporary file beside the file
// (PrepareReplace, which checks the file as ReplaceFileContent does), later the file is checked
// again under the lock, backed up and the new content put in place (PlaceReplacement), exactly
// as ReplaceFileContent does it in one go. A prepared replacement dropped unplaced leaves
// nothing behind; one whose preparation failed gives that outcome when placed.
class TPreparedReplace {
public:
    TPreparedReplace();
    ~TPreparedReplace();
    TPreparedReplace(const TPreparedReplace&) = delete;
    TPreparedReplace& operator=(const TPreparedReplace&) = delete;

    struct TPrepared;

private:
    std::unique_ptr<TPrepared> p_;
    friend std::unique_ptr<TPreparedReplace>
    PrepareReplace(const std::string& path, std::string_view content, const TReplaceCheck& check);
    friend TReplaceOutcome PlaceReplacement(TPreparedReplace& prepared,
                                            const std::string* backupPath,
                                            const std::string* keepPath);
};
std::unique_ptr<TPreparedReplace> PrepareReplace(const std::string& path, std::string_view content,
                                                 const TReplaceCheck& check);
TReplaceOutcome PlaceReplacement(TPreparedReplace& prepared, const std::string* backupPath,
                                 const std::string* keepPath = nullptr);

#ifndef _WIN32
// The same for a walk that holds its folders open: the regular file `name` (a link there is
// never followed) in the folder open as `folderFd` (a POSIX descriptor; any open mode, O_PATH
// included), with the backup, when asked, as `*backupName` in the same folder.
TReplaceOutcome ReplaceFileContentAt(int folderFd, const std::string& name,
                                     std::string_view content, const std::string* backupName,
                                     const TFileIdentity* expected);
#endif

// For tests: the steps at which a replacement can be made to fail. The hook gives the errno
// with which the step fails, or 0 to let it run.
// CheckUnchanged is the moment just before the file is checked for changes made since it was
// read: a hook may change the file there.
enum class TReplaceStep {
    CreateTemp,
    WriteTemp,
    SyncTemp,
    CheckUnchanged,
    LinkBackup,
    RenameBackup,
    RenameOver,
    WriteInPlace
};
void SetReplaceFaultHook(std::function<int(TReplaceStep)> hook);

} // namespace platform
