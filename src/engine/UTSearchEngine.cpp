// The engine object itself and what it does with one examined file: its nodes, and its new
// content written back. The run lives in URunSearch, the walk in USearchFolder, the in-file
// search in TFileSearcher.
#include "engine/UTSearchEngine.h"

#include "engine/UReplaceJournal.h"
#include "text/UContentHash.h"

#include "engine/UFileWorkers.h"
#include "engine/UTFileSearcher.h"
#include "model/UTFile.h"
#include "model/UTOccurence.h"
#include "model/UTResultTree.h"
#include "platform/UFolderHandle.h"
#include "platform/UPlatform.h"
#include "platform/UReplaceFile.h"
#include "text/UTextHelpers.h"

#include <algorithm>

namespace engine {

namespace {

platform::TFileId IdOf(const platform::TFileIdentity& identity) {
    return platform::TFileId{identity.Device, identity.Inode};
}

} // namespace

TSearchEngine::TSearchEngine(TSearchHooks hooks, model::TResultTree& tree)
    : hooks_(std::move(hooks)), tree_(tree), searcher_(std::make_unique<TFileSearcher>()) {}

TSearchEngine::~TSearchEngine() = default;

void TSearchEngine::UpdateProgress() {
    if (hooks_.ShowProgress) {
        hooks_.ShowProgress(DoneFraction);
    }
}

void TSearchEngine::Message(const std::string& text) {
    if (hooks_.ShowMessage) {
        hooks_.ShowMessage(text);
    }
}

// Often enough for a window to take Abort and repaint well within a tenth of a second.
constexpr std::chrono::milliseconds kBreathEvery(25);

void TSearchEngine::Breathe() {
    if (!hooks_.KeepResponsive) {
        return;
    }
    const auto now = std::chrono::steady_clock::now();
    if (now - lastBreath_ >= kBreathEvery) {
        hooks_.KeepResponsive();
        lastBreath_ = std::chrono::steady_clock::now();
    }
}

void TSearchEngine::FileDone(model::TTreeNode& fileNode) {
    if (hooks_.FileDone) {
        hooks_.FileDone(fileNode);
    }
}

void TSearchEngine::BeginRun() {
    searcher_->BeginRun();
    const int wanted =
        Threads > 0 ? Threads : static_cast<int>(std::thread::hardware_concurrency());
    // The calling thread is one of them: it examines files too while it would wait; unless
    // it must not, then the workers read every file.
    const int workers = !CallingThreadReads ? std::max(wanted, 1) : wanted > 1 ? wanted - 1 : 0;
    if (workers != workerCount_) {
        workers_.reset();
        if (workers > 0) {
            workers_ = std::make_unique<TFileWorkers>(workers);
        }
        workerCount_ = workers;
    }
    if (workers_) {
        workers_->BeginRun();
    }
    seen_.Clear();
    cleanedFolder_.clear();
    writes_ = TWriteCounts{};
    account_.Clear();
    lastBreath_ = std::chrono::steady_clock::now();
    listingMeanwhile_ = hooks_.KeepResponsive ? std::function<void()>([this] { Breathe(); })
                                              : std::function<void()>();
}

int TSearchEngine::SearchFile(const TSearchRequest& request, const std::string& fullPath,
                              model::TTreeNode* folderNode) {
    std::string folder = text::ExtractFilePath(fullPath);
    const platform::TFolderHandle dir =
        platform::TFolderHandle::OpenPath(folder.empty() ? std::string(".") : folder);
    const std::string name = text::ExtractFileName(fullPath);
    const TFileTask task{&dir, &name, fullPath};
    if (!dir.Valid()) {
        throw platform::EPlatformError("Cannot open file \"" + fullPath + "\". " +
                                       platform::LastErrorText());
    }
    TFileFacts facts = searcher_->Examine(request, task);
    // A file handed over by itself is searched each time; only a walk knows its other names.
    seen_.Clear();
    return CommitFile(request, task, facts, folderNode);
}

// The same file, not merely the same inode number: a number freed by a file deleted during the
// run may come back for a new file, which is not written at the same moment. The change time
// is left out: making a backup as a hard link changes it.
const TSeenFiles::TEntry* TSearchEngine::SeenBefore(const platform::TFileIdentity& id) const {
    const TSeenFiles::TEntry* was = seen_.Find(IdOf(id));
    return was != nullptr && was->SameState(id.Size, id.ModifiedNs) ? was : nullptr;
}

void TSearchEngine::Remember(const platform::TFileIdentity& id, const TFileTask* found) {
    if (found == nullptr) {
        seen_.Set(id);
    } else {
        // Kept as folder and name, so that a folder's path is kept once for all its files.
        const std::string_view path = found->FullPath;
        const std::string_view name =
            path.ends_with(*found->Name) ? std::string_view(*found->Name) : std::string_view();
        seen_.SetFound(id, path.substr(0, path.size() - name.size()), name);
    }
}

void TSearchEngine::NoteFailure(const std::string& text) {
    account_.Failures.push_back(text);
    if (hooks_.ReportFailure) {
        hooks_.ReportFailure(text);
    }
}

int TSearchEngine::CommitFile(const TSearchRequest& request, const TFileTask& task,
                              TFileFacts& facts, model::TTreeNode* folderNode) {
    if (facts.Error) {
        std::rethrow_exception(facts.Error);
    }
    // --- accounting: a selected file left out after all, and why
    account_.Add(facts.Outcome);
    if (facts.Outcome == TEntryOutcome::Unreadable) {
        NoteFailure(facts.Failure);
    }
    if (facts.Outcome != TEntryOutcome::Searched) {
        return 0;
    }
    auto file = std::make_unique<model::TFile>();
    file->FullPath = task.FullPath;
    file->Attributes = facts.Attributes;
    if (!request.DoSearch) {
        model::TTreeNode* const node = tree_.AddFile(folderNode, std::move(file));
        FileDone(*node);
        return 1;
    }
    if (!facts.Searched) {
        return 0;
    }
    if (const TSeenFiles::TEntry* seen = SeenBefore(facts.Identity)) {
        // Another name of a file already searched in this run.
        if (seen->HasFound()) {
            file->SameFileAs = seen_.FoundPath(*seen);
            FileDone(*tree_.AddFile(folderNode, std::move(file)));
        }
        return 0;
    }
    Remember(facts.Identity, nullptr);
    if (facts.Occurences.empty()) {
        return 0;
    }
    // A file whose new content was not written keeps its node and occurrences, but adds
    // nothing to the totals.
    bool counted = true;
    if (request.DoReplace && request.Preview) {
        file->Change = std::move(facts.Change);
    } else if (request.DoReplace) {
        // What was read ahead is written only when the name still leads to that file,
        // unchanged; else the file is read and searched again now.
        if (!(platform::IdentityAt(*task.Folder, *task.Name) == facts.Identity)) {
            seen_.Erase(IdOf(facts.Identity));
            facts = searcher_->Examine(request, task);
            if (facts.Error) {
                std::rethrow_exception(facts.Error);
            }
            if (facts.Outcome == TEntryOutcome::Unreadable) {
                NoteFailure(facts.Failure);
            }
            if (!facts.Searched || SeenBefore(facts.Identity) != nullptr) {
                return 0;
            }
            Remember(facts.Identity, nullptr);
            if (facts.Occurences.empty()) {
                return 0;
            }
            file->Attributes = facts.Attributes;
        }
        counted = WriteBack(request, task, facts);
        if (counted) {
            // The name now leads to a new file: it is the same one for the rest of the run.
            const platform::TFileIdentity now = platform::IdentityAt(*task.Folder, *task.Name);
            if (now.Known()) {
                Remember(now, &task);
            }
        }
        facts.NewContent.clear();
    }
    Remember(facts.Identity, &task);

    const auto count = static_cast<std::int32_t>(facts.Occurences.size());
    file->OccurenceCount = count;
    model::TTreeNode* const node = tree_.AddFile(folderNode, std::move(file));
    tree_.AddOccurences(node, facts.Occurences);
    facts.Occurences.clear();
    FileDone(*node);
    return counted ? count : 0;
}

bool TSearchEngine::WriteBack(const TSearchRequest& request, const TFileTask& task,
                              const TFileFacts& facts) {
    const std::string folderPath = text::ExtractFilePath(task.FullPath);
    if (folderPath != cleanedFolder_) {
        // Temporary files of replacements that were killed are cleared away once per folder.
        platform::CleanStaleReplaceTemps(platform::PathThrough(*task.Folder, "."));
        cleanedFolder_ = folderPath;
    }
    std::string backupThrough;
    if (request.MakeBackups) {
        backupThrough = text::BackupFileName(platform::PathThrough(*task.Folder, *task.Name));
    }
    const platform::TReplaceCheck check = WriteBackCheck(request, facts);
    const std::string* const backup = request.MakeBackups ? &backupThrough : nullptr;
    const std::string* const keep = facts.KeepPath.empty() ? nullptr : &facts.KeepPath;
    const std::string path = WriteBackPath(task);
    platform::TReplaceOutcome result;
    std::string newHash = facts.NewHash;
    if (facts.Prepared) {
        result = platform::PlaceReplacement(*facts.Prepared, backup, keep);
    } else if (facts.Streamed) {
        // A big file: its new content is made from the original while it is written.
        const auto make = [&](const platform::TReadBytes& read,
                              const platform::TWriteBytes& write) {
            return searcher_->MakeNewContent(request, facts.Identity.Size, facts.Occurences.size(),
                                             read, write);
        };
        // Hashed as it is made, for the journal; made again from the start when retried.
        std::unique_ptr<text::TContentHasher> hasher;
        const auto makeHashed = [&](const platform::TReadBytes& read,
                                    const platform::TWriteBytes& write) {
            hasher = std::make_unique<text::TContentHasher>();
            return make(read, [&](std::string_view data) {
                hasher->Update(data);
                return write(data);
            });
        };
        result = platform::ReplaceFileContent(path, makeHashed, backup, check, keep);
        if (result.Written && hasher) {
            newHash = hasher->Finish();
        }
    } else {
        result = platform::ReplaceFileContent(path, facts.NewContent, backup, check, keep);
    }
    if (result.KeepFailed) {
        request.Journal->KeepFailed(platform::TIoResult{result.Error}.Reason());
    }
    if (result.BackupFailed) {
        Message("Unable to create backup file " + folderPath +
                text::ExtractFileName(backupThrough));
    }
    if (!result.Written) {
        const std::string message =
            result.Changed ? "Unable to replace in file " + task.FullPath +
                                 "\r\nThe file was changed by another program after it was read"
                           : "Unable to create file " + task.FullPath + "\r\nFile may be read/only";
        if (hooks_.ShowWriteFailure) {
            std::string reason;
            if (result.OutsideLink) {
                reason = "a link to a file outside the start folder";
            } else if (!result.Changed) {
                reason = platform::TIoResult{result.Error}.Reason();
            }
            hooks_.ShowWriteFailure(message, reason);
        } else {
            Message(message);
        }
        ++writes_.Failed;
        return false;
    }
    if (result.SplitLinks) {
        ++writes_.SplitLinks;
    }
    if (request.Journal != nullptr) {
        request.Journal->Written(TWrittenFile{task.FullPath, facts.OldHash, newHash,
                                              facts.Identity.Size, facts.Identity.Meta});
    }
    return true;
}

} // namespace engine
