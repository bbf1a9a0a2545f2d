// The folder walk. Each folder is held by a descriptor and reached from its parent's, so the
// walk never depends on the process's current directory, never follows a link into another
// folder and never leaves the start folder, whatever is moved about during the run.
#include "engine/UTSearchEngine.h"

#include "engine/UFileSelection.h"
#include "engine/UFileWorkers.h"
#include "engine/UTFileSearcher.h"
#include "model/UTFolder.h"
#include "model/UTResultTree.h"
#include "platform/UFolderHandle.h"
#include "platform/UPlatform.h"
#include "platform/UReplaceFile.h"
#include "platform/UTempName.h"
#include "settings/UTSearchOptions.h"
#include "text/UMasks.h"
#include "text/UTextHelpers.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

namespace engine {

namespace {

// Counts are 32-bit and wrap like the platform integers they stand for, never trapping.
std::int32_t WrapAdd(std::int32_t a, std::int32_t b) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) + static_cast<std::uint32_t>(b));
}

void Add(TSearchTotals& totals, const TSearchTotals& more) {
    totals.OccurenceCount = WrapAdd(totals.OccurenceCount, more.OccurenceCount);
    totals.FileCount = WrapAdd(totals.FileCount, more.FileCount);
}

// The absolute form of the start folder, as the folder paths below it are built from.
std::string StartDirectory(const std::string& folderName) {
    const std::string abs = !folderName.empty() && folderName[0] == platform::PathDelim
                                ? folderName
                                : platform::ExpandFileName(folderName);
    return text::WithTrailingSeparator(abs);
}

// Whether two listings of a folder hold the same entries; a replacement's own temporary files,
// made beside the files it writes, left out when `ownTemps`.
bool SameEntries(const std::vector<platform::TFolderEntry>& a,
                 const std::vector<platform::TFolderEntry>& b, bool ownTemps) {
    const auto counted = [ownTemps](const platform::TFolderEntry& e) {
        return !ownTemps || !platform::IsReplaceTempName(e.Name);
    };
    auto i = a.begin();
    auto j = b.begin();
    for (;;) {
        while (i != a.end() && !counted(*i)) {
            ++i;
        }
        while (j != b.end() && !counted(*j)) {
            ++j;
        }
        if (i == a.end() || j == b.end()) {
            return i == a.end() && j == b.end();
        }
        if (i->Name != j->Name || i->Kind != j->Kind || !(i->Id == j->Id)) {
            return false;
        }
        ++i;
        ++j;
    }
}

bool StopsOnError(const TSearchRequest& request) {
    return request.Options != nullptr && request.Options->StopOnError;
}

} // namespace

// A folder that cannot be entered: one message at once, by the name the walk has for it, or one
// line of the failures the run goes on after, by its full path with the system's reason.
void TSearchEngine::CannotEnter(const TSearchRequest& request, const std::string& folderName,
                                const std::string& path, const std::string& reason) {
    account_.Add(TEntryOutcome::CannotEnter);
    if (folderName.empty() || StopsOnError(request)) {
        Message("Cannot change to directory: " + folderName);
    } else {
        NoteFailure("Cannot change to directory: " + path + " (" + reason + ")");
    }
}

TSearchTotals TSearchEngine::SearchFolder(const TSearchRequest& request,
                                          const std::string& folderName, model::TTreeNode* parent,
                                          double share) {
    if (Aborted) {
        return TSearchTotals();
    }
    seen_.Clear();
    const platform::TFolderHandle dir = platform::TFolderHandle::OpenPath(folderName);
    if (!dir.Valid()) {
        CannotEnter(request, folderName, folderName, platform::LastErrorText());
        return TSearchTotals();
    }
    const std::string directory = StartDirectory(folderName);
    // Folders are listed and files read ahead of the walk, across folders, by other threads;
    // whatever they made that the walk did not take is dropped when it ends, however it ends.
    struct TStopAhead {
        TFileWorkers* Workers = nullptr;
        ~TStopAhead() {
            if (Workers != nullptr) {
                Workers->Stop();
            }
        }
    } stopAhead;
    if (workers_) {
        workers_->WalkAhead(request, folderName, directory);
        stopAhead.Workers = workers_.get();
    }
    auto start = std::make_unique<model::TFolder>();
    start->FolderName = folderName;
    start->SetDirectory(directory);
    return WalkFolder(request, dir, std::move(start), parent, share);
}

TSearchTotals TSearchEngine::WalkFolder(const TSearchRequest& request,
                                        const platform::TFolderHandle& dir,
                                        std::unique_ptr<model::TFolder> folder,
                                        model::TTreeNode* parent, double share) {
    // No copy of the folder's path is held while the walk is below it: a walk thousands of
    // folders deep would hold them all.
    model::TFolder* const folderObj = folder.get();
    folder->FilesOnly = !request.DoSearch;
    model::TTreeNode* const node = tree_.AddFolder(parent, std::move(folder));

    if (hooks_.ShowStatus) {
        hooks_.ShowStatus(" " + folderObj->Directory() + "*.*");
    }
    // The one point of a run where the user's input, Abort among it, is handled.
    if (hooks_.PumpMessages) {
        hooks_.PumpMessages();
    }

    // One listing serves the sub-folders and the files: the one made ahead when it is of this
    // folder as it is now, else the walk's own.
    const bool writes = request.DoReplace && !request.Preview;
    std::shared_ptr<const TListingAhead> ahead;
    if (workers_ && workers_->WalkingAhead()) {
        const std::function<void()> breathe = [this] { Breathe(); };
        ahead =
            workers_->TakeListing(dir.Id(), *searcher_, CallingThreadReads ? nullptr : &breathe);
    }
    std::string ownError;
    std::vector<platform::TFolderEntry> ownEntries;
    bool listed = false;
    if (ahead && dir.Stamp() != ahead->Folder->Stamp()) {
        ownEntries = platform::ListFolder(dir, &ownError, listingMeanwhile_);
        listed = true;
        if (!SameEntries(ownEntries, ahead->Entries, writes)) {
            workers_->Stop(); // the tree changes under the run: no more walking ahead
            ahead.reset();
        }
    }
    if (!ahead && !listed) {
        ownEntries = platform::ListFolder(dir, &ownError, listingMeanwhile_);
    }
    const std::vector<platform::TFolderEntry>& entries = ahead ? ahead->Entries : ownEntries;
    const std::string& listError = ahead ? ahead->Error : ownError;
    // --- accounting: the folder itself, and a listing that failed, reported once
    account_.Add(TEntryOutcome::FolderWalked);
    if (!listError.empty() && !StopsOnError(request)) {
        NoteFailure("Cannot list directory: " + folderObj->Directory() + " (" + listError + ")");
    }
    const TFileSelection selection(request);
    TSearchTotals totals;
    double ownShare = share;
    if (request.Recurse) {
        size_t subCount = 0;
        for (const platform::TFolderEntry& e : entries) {
            subCount += e.Kind == platform::TEntryKind::Folder && !selection.ExcludesFolder(e.Name);
        }
        ownShare = share / static_cast<double>(subCount + 1);
        for (const platform::TFolderEntry& e : entries) {
            if (e.Kind != platform::TEntryKind::Folder) {
                continue;
            }
            // --- folders left out by name, and those Abort leaves undone
            if (selection.ExcludesFolder(e.Name)) {
                account_.Add(TEntryOutcome::ExcludedFolder);
                continue;
            }
            if (Aborted) {
                account_.Add(TEntryOutcome::NotReached);
                if (workers_) {
                    workers_->Stop(); // nothing made ahead is needed any more
                }
                continue;
            }
            if (OnEnterFolder) {
                OnEnterFolder(folderObj->Directory() + e.Name);
            }
            // A folder moved, or swapped for a link or another folder, since the listing is
            // not entered: it is no longer where the walk was.
            const platform::TFolderHandle sub = dir.OpenSub(e.Name, e.Id);
            if (!sub.Valid()) {
                CannotEnter(request, e.Name, folderObj->Directory() + e.Name,
                            platform::LastErrorText());
                continue;
            }
            auto subFolder = std::make_unique<model::TFolder>();
            subFolder->FolderName = e.Name;
            subFolder->SetDirectoryBelow(*folderObj, e.Name);
            Add(totals, WalkFolder(request, sub, std::move(subFolder), node, ownShare));
        }
    }

    const std::string directory = folderObj->Directory();
    std::vector<TFileTask> files;
    size_t looked = 0;
    for (const platform::TFolderEntry& e : entries) {
        if (e.Kind == platform::TEntryKind::Folder) {
            if (!request.Recurse) {
                account_.Add(TEntryOutcome::NotRecursed);
            }
            continue;
        }
        if ((++looked & 1023) == 0) {
            Breathe(); // a listing of many thousands of files takes a while to sort out
        }
        TListedEntry listed(dir, e);
        const TEntryOutcome outcome = selection.Classify(e.Name, listed);
        if (outcome == TEntryOutcome::Selected) {
            files.push_back(TFileTask{&dir, &e.Name, directory + e.Name,
                                      e.Kind == platform::TEntryKind::PlainFile});
        } else {
            account_.Add(outcome);
        }
    }
    // Files read ahead are taken only while their folder is as it was listed: when its entries
    // changed meanwhile its files are read again, now, as a walk without threads would.
    if (ahead && !files.empty() && workers_->WalkingAhead() &&
        dir.ReadStamp() != ahead->Folder->Stamp() &&
        !SameEntries(platform::ListFolder(dir), ahead->Entries, writes)) {
        workers_->Stop();
    }
    if (files.empty()) {
        DoneFraction += ownShare;
        UpdateProgress();
    } else {
        Add(totals, SearchFiles(request, files, node, ownShare));
    }

    if (totals.OccurenceCount > 0) {
        folderObj->OccurenceCount = totals.OccurenceCount;
        folderObj->FileCount = totals.FileCount;
        tree_.MarkFound(node);
    }
    return totals;
}

TSearchTotals TSearchEngine::SearchFiles(const TSearchRequest& request,
                                         std::vector<TFileTask>& tasks, model::TTreeNode* node,
                                         double share) {
    TSearchTotals totals;
    const double fileShare = share / static_cast<double>(tasks.size());
    // Files listed ahead were looked up ahead. Otherwise, without content to read there is
    // nothing worth handing to another thread; unless the calling thread must not read, one
    // file is read by itself.
    const bool responsive = !CallingThreadReads;
    TFileWorkers* const workers =
        workers_ &&
                (workers_->WalkingAhead() || (request.DoSearch && (tasks.size() > 1 || responsive)))
            ? workers_.get()
            : nullptr;
    const std::function<void()> breathe = [this] { Breathe(); };
    // Files this folder queued itself (not read ahead across folders) are dropped when it is
    // done, as are the results of those the walk does not reach.
    struct TStop {
        TFileWorkers* Workers = nullptr;
        ~TStop() {
            if (Workers != nullptr) {
                Workers->Stop();
            }
        }
    } stop;
    const auto queue = [&](size_t first) {
        workers->Queue(request, tasks, first);
        stop.Workers = workers;
    };
    if (workers != nullptr && !workers->WalkingAhead()) {
        queue(0);
    }
    for (size_t i = 0; i < tasks.size(); ++i) {
        TFileFacts own;
        std::unique_ptr<TFileFacts> ready;
        int count = 0;
        const int nodesBefore = node->Count();
        try {
            if (workers != nullptr) {
                const std::function<void()>* idle = responsive ? &breathe : nullptr;
                ready = workers->Take(tasks[i], *searcher_, idle);
                if (!ready) {
                    // Not what was read ahead (the tree changed under the run): from here on
                    // the folder's files are queued by the walk.
                    queue(i);
                    ready = workers->Take(tasks[i], *searcher_, idle);
                }
            } else {
                own = searcher_->Examine(request, tasks[i]);
            }
            count = CommitFile(request, tasks[i], ready ? *ready : own, node);
        } catch (const std::bad_alloc&) {
            // The bare "std::bad_alloc" would not say which file was too much.
            throw std::runtime_error("Not enough memory to search " + tasks[i].FullPath);
        }
        if (count > 0) {
            Add(totals, TSearchTotals{count, 1});
        }
        if (hooks_.FileFound && node->Count() > nodesBefore) {
            hooks_.FileFound(*node->Item(node->Count() - 1), count);
        }
        DoneFraction += fileShare;
        UpdateProgress();
        Breathe();
        if (Aborted) {
            account_.Add(TEntryOutcome::NotReached,
                         static_cast<std::int64_t>(tasks.size() - i - 1));
            if (workers != nullptr) {
                workers->Stop(); // nothing read ahead is needed any more
            }
            break;
        }
    }
    return totals;
}

} // namespace engine
