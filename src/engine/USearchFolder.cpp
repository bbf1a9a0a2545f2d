// The folder walk: one call per folder, working through the process's current directory.
#include "UTSearchEngine.h"

#include "UMasks.h"
#include "UPlatform.h"
#include "UReplaceFile.h"
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

bool IsDotEntry(const std::string& name) {
    return name == "." || name == "..";
}

// True when the options let every attribute word through. A filter set to "set" refuses the
// empty word, one set to "unset" refuses the full word, and any other value refuses both; so
// passing both means no filter is active, and the attribute lookup per entry can be saved.
bool AcceptsEverything(const ::TSearchOptions* options) {
    return options == nullptr || (options->Accepts(0) && options->Accepts(platform::faAnyFile));
}

// The names of the real sub-folders of the current directory, in enumeration order. Links to
// folders are left out: following them could walk in circles and would list files twice.
std::vector<std::string> CollectSubFolders() {
    std::vector<std::string> names;
    platform::TDirEnumerator e("");
    while (e.Next()) {
        if (e.IsDirectory() && !IsDotEntry(e.Name())) {
            names.push_back(e.Name());
        }
    }
    return names;
}

// The names of the current directory's files that pass the attribute filters and the masks, in
// enumeration order. Each test is a pure function of the entry, so the cheap ones (no stat)
// run first; the outcome is that of testing the directory bit, the filters and the masks in
// turn. The temporary files of replacements in progress, or of killed ones, are never taken.
std::vector<std::string> CollectFiles(const TSearchRequest& request) {
    std::vector<std::string> names;
    if (request.Masks.empty()) {
        return names; // nothing can match; the folder still counts as walked
    }
    const ::TSearchOptions* const options = request.Options;
    const bool filterAll = AcceptsEverything(options);
    platform::TDirEnumerator e("");
    while (e.Next()) {
        const std::string& name = e.Name();
        if (e.IsDirectory() || platform::IsReplaceTempName(name) ||
            !text::MatchesAnyMask(name, request.Masks)) {
            continue;
        }
        if (filterAll && e.IsPlainFile()) {
            names.push_back(name); // no filter to apply and no link to look through
            continue;
        }
        const int attr = e.Attributes();
        if ((attr & platform::faDirectory) != 0) {
            continue; // a link to a folder is neither walked nor taken for a file
        }
        if (!filterAll && !options->Accepts(attr)) {
            continue;
        }
        names.push_back(name);
    }
    return names;
}

} // namespace

TSearchTotals TSearchEngine::SearchFolder(const TSearchRequest& request,
                                          const std::string& folderName, model::TTreeNode* parent,
                                          double share) {
    TSearchTotals totals;
    if (Aborted) {
        return totals;
    }
    const auto cannotEnter = [&]() {
        if (hooks_.ShowMessage) {
            hooks_.ShowMessage("Cannot change to directory: " + folderName);
        }
        return totals;
    };
    if (!platform::SetCurrentDir(folderName)) {
        return cannotEnter();
    }
    // The absolute form of the current directory, as the folder part of a dummy name's would
    // be. Should it be unknown (the folder was removed once entered), file paths could not be
    // formed and might name files elsewhere: the folder is treated as not entered.
    const std::string cwd = platform::GetCurrentDir();
    if (cwd.empty()) {
        platform::SetCurrentDir("..");
        return cannotEnter();
    }

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

    double ownShare = share;
    if (request.Recurse) {
        // The list is complete and its enumeration closed before any sub-folder is entered, so
        // no more than one enumeration is open at a time however deep the walk goes.
        const std::vector<std::string> subFolders = CollectSubFolders();
        ownShare = share / static_cast<double>(subFolders.size() + 1);
        for (const std::string& sub : subFolders) {
            const TSearchTotals t = SearchFolder(request, sub, node, ownShare);
            totals.OccurenceCount = WrapAdd(totals.OccurenceCount, t.OccurenceCount);
            totals.FileCount = WrapAdd(totals.FileCount, t.FileCount);
        }
    }

    const std::vector<std::string> files = CollectFiles(request);
    if (files.empty()) {
        DoneFraction += ownShare;
        UpdateProgress();
    } else {
        const double fileShare = ownShare / static_cast<double>(files.size());
        std::string path = folderObj->Directory;
        const size_t dirLen = path.size();
        for (const std::string& name : files) {
            path.resize(dirLen);
            path += name;
            int count = 0;
            const int nodesBefore = node->Count();
            try {
                count = SearchFile(request, path, node);
            } catch (const std::bad_alloc&) {
                // The bare "std::bad_alloc" would not say which file was too much.
                throw std::runtime_error("Not enough memory to search " + path);
            }
            if (count > 0) {
                totals.OccurenceCount = WrapAdd(totals.OccurenceCount, count);
                totals.FileCount = WrapAdd(totals.FileCount, 1);
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
