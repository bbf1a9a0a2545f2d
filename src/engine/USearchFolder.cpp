// The folder walk. Each folder is held by a descriptor and reached from its parent's, so the
// walk never depends on the process's current directory, never follows a link into another
// folder and never leaves the start folder, whatever is moved about during the run.
#include "UTSearchEngine.h"

#include "UFileWorkers.h"
#include "UFolderHandle.h"
#include "UMasks.h"
#include "UPlatform.h"
#include "UReplaceFile.h"
#include "UTFileSearcher.h"
#include "UTFolder.h"
#include "UTResultTree.h"
#include "UTSearchOptions.h"
#include "UTextHelpers.h"

#include <cstdint>
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

// True when the options let every attribute word through. A filter set to "set" refuses the
// empty word, one set to "unset" refuses the full word, and any other value refuses both; so
// passing both means no filter is active, and the attribute lookup per entry can be saved.
bool AcceptsEverything(const ::TSearchOptions* options) {
    return options == nullptr || (options->Accepts(0) && options->Accepts(platform::faAnyFile));
}

// Whether the walk takes the folder entry `entry` as a file to search. Each test is a pure
// function of the entry, so the cheap ones (no stat) run first; the outcome is that of testing
// the directory bit, the filters and the masks in turn. The temporary files of replacements in
// progress, or of killed ones, are never taken.
bool SelectsFile(const TSearchRequest& request, bool filterAll, const platform::TFolderHandle& dir,
                 const platform::TFolderEntry& entry) {
    if (entry.Kind == platform::TEntryKind::Folder || platform::IsReplaceTempName(entry.Name) ||
        !text::MatchesAnyMask(entry.Name, request.Masks)) {
        return false;
    }
    if (filterAll && entry.Kind == platform::TEntryKind::PlainFile) {
        return true; // no filter to apply and no link to look through
    }
    int attr = platform::EntryAttributes(dir, entry.Name);
    if (attr < 0) {
        attr = platform::faSysFile; // gone since the listing: neither file nor folder
    }
    if ((attr & platform::faDirectory) != 0) {
        return false; // a link to a folder is neither walked nor taken for a file
    }
    return filterAll || request.Options->Accepts(attr);
}

// The absolute form of the start folder, as the folder paths below it are built from.
std::string StartDirectory(const std::string& folderName) {
    const std::string abs = !folderName.empty() && folderName[0] == platform::PathDelim
                                ? folderName
                                : platform::ExpandFileName(folderName);
    return text::WithTrailingSeparator(abs);
}

} // namespace

TSearchTotals TSearchEngine::SearchFolder(const TSearchRequest& request,
                                          const std::string& folderName, model::TTreeNode* parent,
                                          double share) {
    if (Aborted) {
        return TSearchTotals();
    }
    seen_.clear();
    const platform::TFolderHandle dir = platform::TFolderHandle::OpenPath(folderName);
    if (!dir.Valid()) {
        Message("Cannot change to directory: " + folderName);
        return TSearchTotals();
    }
    return WalkFolder(request, dir, folderName, StartDirectory(folderName), parent, share);
}

TSearchTotals TSearchEngine::WalkFolder(const TSearchRequest& request,
                                        const platform::TFolderHandle& dir,
                                        const std::string& folderName, const std::string& directory,
                                        model::TTreeNode* parent, double share) {
    auto folder = std::make_unique<model::TFolder>();
    folder->FolderName = folderName;
    folder->Directory = directory;
    model::TFolder* const folderObj = folder.get();
    model::TTreeNode* const node = tree_.AddChild(parent, folderName, std::move(folder));
    tree_.SetImages(node, model::imgFolder, model::imgFolderSelected);

    if (hooks_.ShowStatus) {
        hooks_.ShowStatus(" " + directory + "*.*");
    }
    // The one point of a run where the user's input, Abort among it, is handled.
    if (hooks_.PumpMessages) {
        hooks_.PumpMessages();
    }

    // One listing serves the sub-folders and the files.
    const std::vector<platform::TFolderEntry> entries = platform::ListFolder(dir);
    TSearchTotals totals;
    double ownShare = share;
    if (request.Recurse) {
        size_t subCount = 0;
        for (const platform::TFolderEntry& e : entries) {
            subCount += e.Kind == platform::TEntryKind::Folder ? 1 : 0;
        }
        ownShare = share / static_cast<double>(subCount + 1);
        std::string subDirectory;
        for (const platform::TFolderEntry& e : entries) {
            if (e.Kind != platform::TEntryKind::Folder || Aborted) {
                continue;
            }
            subDirectory = directory + e.Name;
            if (OnEnterFolder) {
                OnEnterFolder(subDirectory);
            }
            // A folder moved, or swapped for a link or another folder, since the listing is
            // not entered: it is no longer where the walk was.
            const platform::TFolderHandle sub = dir.OpenSub(e.Name, e.Id);
            if (!sub.Valid()) {
                Message("Cannot change to directory: " + e.Name);
                continue;
            }
            subDirectory += platform::PathDelim;
            Add(totals, WalkFolder(request, sub, e.Name, subDirectory, node, ownShare));
        }
    }

    std::vector<TFileTask> files;
    if (!request.Masks.empty()) {
        const bool filterAll = AcceptsEverything(request.Options);
        for (const platform::TFolderEntry& e : entries) {
            if (SelectsFile(request, filterAll, dir, e)) {
                files.push_back(TFileTask{&dir, &e.Name, directory + e.Name});
            }
        }
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
        std::string caption = node->Caption();
        caption += " - ";
        if (request.DoSearch) {
            caption += text::PluralCount(totals.OccurenceCount, "occurence");
            caption += " in ";
        }
        caption += text::PluralCount(totals.FileCount, "file");
        tree_.SetCaption(node, std::move(caption));
        tree_.SetImages(node, model::imgFolderFound, model::imgFolderFoundSelected);
    }
    return totals;
}

TSearchTotals TSearchEngine::SearchFiles(const TSearchRequest& request,
                                         std::vector<TFileTask>& tasks, model::TTreeNode* node,
                                         double share) {
    TSearchTotals totals;
    const double fileShare = share / static_cast<double>(tasks.size());
    // Without content to read there is nothing worth handing to another thread.
    TFileWorkers* const workers =
        workers_ && request.DoSearch && tasks.size() > 1 ? workers_.get() : nullptr;
    std::vector<TFileFacts> facts(workers != nullptr ? tasks.size() : 0);
    struct TStop {
        TFileWorkers* w;
        ~TStop() {
            if (w != nullptr) {
                w->Stop(); // results of files the walk does not reach are dropped unused
            }
        }
    } stop{workers};
    if (workers != nullptr) {
        workers->Start(request, tasks, facts);
    }
    for (size_t i = 0; i < tasks.size(); ++i) {
        TFileFacts own;
        int count = 0;
        const int nodesBefore = node->Count();
        try {
            if (workers != nullptr) {
                workers->WaitFor(i, *searcher_);
            } else {
                own = searcher_->Examine(request, tasks[i]);
            }
            count = CommitFile(request, tasks[i], workers != nullptr ? facts[i] : own, node);
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
        if (Aborted) {
            break;
        }
    }
    return totals;
}

} // namespace engine
