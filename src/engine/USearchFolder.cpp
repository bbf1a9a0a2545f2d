// The folder walk: one call per folder, working through the process's current directory.
#include "UTSearchEngine.h"

#include "UFileSelection.h"

#include "UPlatform.h"
#include "UTFolder.h"
#include "UTResultTree.h"
#include "UTSearchOptions.h"
#include "UTextHelpers.h"

#include <cstdint>
#include <string>
#include <vector>

namespace engine {

namespace {

// Counts are 32-bit and wrap like the platform integers they stand for, never trapping.
std::int32_t WrapAdd(std::int32_t a, std::int32_t b) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) + static_cast<std::uint32_t>(b));
}

bool IsDotEntry(const std::string& name) {
    return name == "." || name == "..";
}

// The names of the real sub-folders of the current directory, in enumeration order, less those
// left out by name. Links to folders are left out: following them could walk in circles and
// would list files twice.
std::vector<std::string> CollectSubFolders(const TFileSelection& selection, TRunAccount& account,
                                           std::string& listError) {
    std::vector<std::string> names;
    platform::TDirEnumerator e("");
    listError = e.OpenError();
    while (e.Next()) {
        if (e.IsDirectory() && !IsDotEntry(e.Name())) {
            if (selection.ExcludesFolder(e.Name())) {
                account.Add(TEntryOutcome::ExcludedFolder);
                continue;
            }
            names.push_back(e.Name());
        }
    }
    return names;
}

// The names of the current directory's files that the selection takes, in enumeration order;
// every other entry is counted by why it was not taken. Sub-folders are counted here only when
// the run does not recurse (otherwise CollectSubFolders counts them).
std::vector<std::string> CollectFiles(const TSearchRequest& request,
                                      const TFileSelection& selection, TRunAccount& account,
                                      std::string& listError) {
    std::vector<std::string> names;
    platform::TDirEnumerator e("");
    listError = e.OpenError();
    while (e.Next()) {
        const std::string& name = e.Name();
        if (e.IsDirectory()) {
            if (!request.Recurse && !IsDotEntry(name)) {
                account.Add(TEntryOutcome::NotRecursed);
            }
            continue;
        }
        const TEntryOutcome outcome = selection.Classify(name, e);
        if (outcome == TEntryOutcome::Selected) {
            names.push_back(name);
        } else {
            account.Add(outcome);
        }
    }
    return names;
}

} // namespace

TSearchTotals TSearchEngine::SearchFolder(const TSearchRequest& request,
                                          const std::string& folderName, model::TTreeNode* parent,
                                          double share) {
    TSearchTotals totals;
    if (Aborted) {
        account_.Add(TEntryOutcome::NotReached); // --- accounting
        return totals;
    }
    const auto cannotEnter = [&](const std::string& reason) {
        // --- a folder that cannot be entered: one message at once, or one line of the
        // failures the run goes on after, with its full path and the system's reason
        account_.Add(TEntryOutcome::CannotEnter);
        const bool atOnce =
            folderName.empty() || (request.Options != nullptr && request.Options->StopOnError);
        if (atOnce) {
            if (hooks_.ShowMessage) {
                hooks_.ShowMessage("Cannot change to directory: " + folderName);
            }
        } else {
            const std::string path =
                folderName.front() == platform::PathDelim
                    ? folderName
                    : text::WithTrailingSeparator(platform::GetCurrentDir()) + folderName;
            NoteFailure("Cannot change to directory: " + path + " (" + reason + ")");
        }
        return totals;
    };
    if (!platform::SetCurrentDir(folderName)) {
        return cannotEnter(platform::LastErrorText());
    }
    // The absolute form of the current directory, as the folder part of a dummy name's would
    // be. Should it be unknown (the folder was removed once entered), file paths could not be
    // formed and might name files elsewhere: the folder is treated as not entered.
    const std::string cwd = platform::GetCurrentDir();
    if (cwd.empty()) {
        const std::string reason = platform::LastErrorText();
        platform::SetCurrentDir("..");
        return cannotEnter(reason);
    }
    account_.Add(TEntryOutcome::FolderWalked);
    const TFileSelection selection(request);

    auto folder = std::make_unique<model::TFolder>();
    folder->FolderName = folderName;
    folder->Directory = text::WithTrailingSeparator(cwd);
    model::TFolder* const folderObj = folder.get();
    model::TTreeNode* const node = tree_.AddChild(parent, folderName, std::move(folder));
    tree_.SetImages(node, model::imgFolder, model::imgFolderSelected);

    if (hooks_.ShowStatus) {
        hooks_.ShowStatus(" " + folderObj->Directory + "*.*");
    }
    // The one point of a run where the user's input, Abort among it, is handled.
    if (hooks_.PumpMessages) {
        hooks_.PumpMessages();
    }

    // --- a folder entered but not listed is a failure too, reported once
    std::string listError;
    const auto noteListError = [&]() {
        if (!listError.empty() && !(request.Options != nullptr && request.Options->StopOnError)) {
            NoteFailure("Cannot list directory: " + folderObj->Directory + " (" + listError + ")");
        }
    };
    double ownShare = share;
    if (request.Recurse) {
        // The list is complete and its enumeration closed before any sub-folder is entered, so
        // no more than one enumeration is open at a time however deep the walk goes.
        const std::vector<std::string> subFolders =
            CollectSubFolders(selection, account_, listError);
        noteListError();
        ownShare = share / static_cast<double>(subFolders.size() + 1);
        for (const std::string& sub : subFolders) {
            const TSearchTotals t = SearchFolder(request, sub, node, ownShare);
            totals.OccurenceCount = WrapAdd(totals.OccurenceCount, t.OccurenceCount);
            totals.FileCount = WrapAdd(totals.FileCount, t.FileCount);
        }
    }

    const std::vector<std::string> files = CollectFiles(request, selection, account_, listError);
    if (!request.Recurse) {
        noteListError();
    }
    if (files.empty()) {
        DoneFraction += ownShare;
        UpdateProgress();
    } else {
        const double fileShare = ownShare / static_cast<double>(files.size());
        std::string path = folderObj->Directory;
        const size_t dirLen = path.size();
        for (size_t i = 0; i < files.size(); ++i) {
            const std::string& name = files[i];
            path.resize(dirLen);
            path += name;
            const int count = SearchFile(request, path, node);
            if (count > 0) {
                totals.OccurenceCount = WrapAdd(totals.OccurenceCount, count);
                totals.FileCount = WrapAdd(totals.FileCount, 1);
            }
            DoneFraction += fileShare;
            UpdateProgress();
            if (Aborted) {
                account_.Add(TEntryOutcome::NotReached,
                             static_cast<std::int64_t>(files.size() - i - 1));
                break;
            }
        }
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

    platform::SetCurrentDir(".."); // a failure here is ignored: the parent goes on as it can
    return totals;
}

} // namespace engine
