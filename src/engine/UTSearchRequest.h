// The frozen choices of one search run, and the callbacks through which the engine reaches
// whoever shows its results.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace settings {
class TSearchOptions;
}

namespace model {
class TTreeNode;
}

namespace engine {

class TReplaceJournal;

struct TSearchRequest {
    std::string StartFolder; // absolute; empty when no folder is selected
    std::vector<std::string> Masks;
    std::string SearchText;
    std::string ReplaceText;
    bool DoSearch = false;
    bool DoReplace = false;
    bool MatchCase = false;
    bool UseRegex = false;
    // Regular expressions start with m on and s off: "^" and "$" at line breaks, "." not
    // across them.
    bool LineByLine = false;
    bool Recurse = false;
    bool MakeBackups = false;
    // With DoReplace: every file's changes are found and kept on its node (model::TFileChange),
    // nothing is backed up or written.
    bool Preview = false;
    // With Preview: each file's unified diff is made as it is searched (TFileChange::Diff),
    // headed a/PATH and b/PATH, PATH below the start folder with '/' between names. For a front
    // end that prints every diff; big files read a window at a time get none.
    bool PreviewDiffs = false;
    // When set, a replacement that writes keeps each file's old content there first and
    // reports each file written, so the run can be undone.
    TReplaceJournal* Journal = nullptr;
    // Shared, not copied: a change made while a run pumps messages applies to later entries.
    const settings::TSearchOptions* Options = nullptr;
};

// Called synchronously; each returns only when its work is done.
struct TSearchHooks {
    std::function<void(const std::string&)> ShowStatus;
    std::function<void(double)> ShowProgress;
    std::function<void(const std::string&)> ShowMessage;
    std::function<void()> PumpMessages;
    // Optional: called now and then while the run is busy (between files, while it waits for
    // the threads reading ahead, while it sorts out a long listing), a few tens of
    // milliseconds apart, so a window repaints and takes Abort. Unlike PumpMessages its calls
    // follow the clock, not the walk's steps.
    std::function<void()> KeepResponsive;
    // A failure the run goes on after (a file that cannot be read, a folder that cannot be
    // entered), as it happens; the run also keeps them all in its account.
    std::function<void(const std::string&)> ReportFailure;
    // When set, a file that could not be written is reported here, with the system's reason,
    // instead of through ShowMessage.
    std::function<void(const std::string& message, const std::string& reason)> ShowWriteFailure;
    // Optional: a file's node, its occurrences below it, as soon as it is in the tree, with
    // what it adds to the totals (0 for a file whose new content could not be written).
    std::function<void(model::TTreeNode&, int counted)> FileFound;
    // When set, called with each file's node once it and its occurrence nodes are in the tree
    // and its new content is written: in walk order, which is the tree's order of file nodes.
    std::function<void(model::TTreeNode& fileNode)> FileDone;
};

// What became of the run's writes, beyond the totals: files whose new content could not be
// written (the totals leave them out), and files written that had other names (hard links),
// which keep the old content.
struct TWriteCounts {
    int Failed = 0;
    int SplitLinks = 0;
};

// Totals of a folder (and everything below it) or of a whole run.
struct TSearchTotals {
    int OccurenceCount = 0;
    int FileCount = 0;
};

} // namespace engine
