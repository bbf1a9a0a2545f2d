// Replacing a file's content so that nothing is ever lost or half-written.
//
// The new content is written in full to a temporary file beside the target and flushed to
// disk; then, when asked, the backup is made (a hard link to the original); then the
// temporary file is renamed over the original. At every instant the name holds either its old
// or its new content, whole. Where the file system has no hard links, the temporary file and
// the original trade names in one step and the original moves on to the backup name; where
// it cannot do that either, the original is renamed to the backup name first. The new file keeps
// the original's permission bits, and its owner, group and extended attributes where the
// process may set them. A link is followed: its target is rewritten and the link stays.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace platform {

// The temporary files have names of the form "." + target name + "." + writer's process id +
// ".fstmp". Folder walks skip such names, so no search ever selects one.
bool IsReplaceTempName(std::string_view name);

// Deletes `path` when its name is a temporary file's and the process that wrote it is gone
// (it was killed mid-write). True when it was deleted.
bool RemoveStaleReplaceTemp(const std::string& path);
// Does the same for every entry of `folder`; gives the number deleted.
int CleanStaleReplaceTemps(const std::string& folder);

struct TReplaceOutcome {
    bool Written = false;      // the name now holds the new content
    bool BackupFailed = false; // a backup was asked for and could not be made
};

// Replaces the content of the file at `path` by `content`. With `backupPath` set, the old
// content is also kept under that name (which must be free). A file that could not be written
// in place (no write permission for this process, a read-only file system, an immutable file)
// is refused. On failure the original is left exactly as it was and no temporary file stays.
TReplaceOutcome ReplaceFileContent(const std::string& path, std::string_view content,
                                   const std::string* backupPath);

// For tests: the steps at which a replacement can be made to fail. The hook gives the errno
// with which the step fails, or 0 to let it run.
enum class TReplaceStep {
    CreateTemp,
    WriteTemp,
    SyncTemp,
    LinkBackup,
    ExchangeBackup,
    RenameBackup,
    RenameOver
};
void SetReplaceFaultHook(std::function<int(TReplaceStep)> hook);

} // namespace platform
