// The record of replacements that wrote files, kept between runs and shared by every front
// end, so that a replacement can be taken back after a restart. One folder (by default the
// platform's state folder): `objects/` holds old contents named by their hash, `runs/` one
// file per replacement listing the files it wrote. A run's file is written last and in one
// piece, after the contents it names are on disk; a run killed before that leaves no entry,
// and contents no entry names are cleared away.
#pragma once

#include "engine/UReplaceJournal.h"
#include "platform/UPlatform.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace engine {
struct TSearchRequest;
}

namespace platform {
class TFileLock;
}

namespace operations {

struct TJournalFile {
    std::string Path;
    std::string OldHash;
    std::string NewHash;
    std::int64_t OldSize = 0;
    platform::TFileMeta Meta;
};

struct TJournalEntry {
    std::string Id;        // sortable: older entries have smaller ids
    std::int64_t When = 0; // seconds since 1970
    std::string Request;   // what was replaced by what, where, in words
    std::vector<TJournalFile> Files;
    bool Undone = false;
};

struct TUndoResult {
    std::vector<std::string> Restored;  // paths given back their old content
    std::vector<std::string> LeftAlone; // paths changed since the replacement: not touched
    std::vector<std::string> Failed;    // "path: reason"
};

class TUndoJournal {
public:
    // `folder` empty: the platform's state folder.
    explicit TUndoJournal(std::string folder = {});

    const std::string& Folder() const { return folder_; }
    // The limits: the oldest entries are dropped once there are more runs, or more bytes of
    // old content, than these (the newest entry is always kept).
    std::size_t MaxRuns = 20;
    std::uint64_t MaxBytes = std::uint64_t{1} << 30;

    // Every complete entry, oldest first.
    std::vector<TJournalEntry> Entries() const;
    // The newest entry not undone yet.
    std::optional<TJournalEntry> Last() const;
    // Gives back every file of entry `id` that still holds what the run wrote, byte for byte
    // with its mode, owner and times; marks the entry undone. Throws EJournalError when there
    // is no such entry or it was undone already.
    TUndoResult Undo(const std::string& id);

    // For the recorder: a new entry's folder, created; the entry written once the contents it
    // names are kept there, then the oldest entries beyond the limits dropped; an entry given up.
    std::string BeginRun();
    std::string RunFolder(const std::string& id) const;
    std::string ObjectPath(const std::string& id, const std::string& hash) const;
    void Commit(const TJournalEntry& entry);
    void Discard(const std::string& id);
    // Drops the oldest entries beyond the limits, and what killed runs left.
    void Trim();

private:
    std::string folder_;
};

class EJournalError : public std::runtime_error {
public:
    explicit EJournalError(const std::string& msg) : std::runtime_error(msg) {}
};

// Records one replacement run: handed to the engine as TSearchRequest::Journal, then
// committed once the run is over (whether it ended, failed or was aborted: the files written
// so far are recorded).
class TJournalRecorder : public engine::TReplaceJournal {
public:
    TJournalRecorder(TUndoJournal& journal, std::string request);
    ~TJournalRecorder() override;

    std::string KeepPath(const std::string& hash) override;
    [[noreturn]] void KeepFailed(const std::string& reason) override;
    void Written(const engine::TWrittenFile& file) override;

    // Writes the entry when some file was written; gives its id, or empty.
    std::string Commit();

private:
    TUndoJournal& journal_;
    TJournalEntry entry_;
    std::mutex mutex_;
    bool committed_ = false;
    std::unique_ptr<platform::TFileLock> writerLock_;
};

// The request in words for the journal: "'old' by 'new' in /folder/ (*.txt)".
std::string DescribeRequest(const engine::TSearchRequest& request);

} // namespace operations
