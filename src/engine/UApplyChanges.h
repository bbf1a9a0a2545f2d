// Writes what a preview found, as far as the user chose it: every file node of the tree that
// carries changes (model::TFileChange) with at least one chosen edit is read again, checked to
// hold exactly the content the preview saw (its hash), given the chosen edits and written
// through the same safe write, backups and journal as a replacement run. A file that changed
// since the preview is not written; the others are.
#pragma once

#include "engine/UTSearchRequest.h"

#include <string>
#include <vector>

namespace model {
struct TFileChange;
class TResultTree;
} // namespace model

namespace engine {

struct TApplyTotals {
    int Files = 0;      // files written
    int Occurences = 0; // chosen edits written
    int Changed = 0;    // files changed since the preview: not written
    int Failed = 0;     // files that could not be written
    // One line per file not written: its path and why.
    std::vector<std::string> NotWritten;
};

// The request gives the backups choice (MakeBackups), the start folder a link may not lead out
// of, and the journal; its search fields are not used. Reports each file not written through
// hooks.ShowWriteFailure (or ShowMessage) and the summary through hooks.ShowStatus.
TApplyTotals ApplyChanges(const TSearchRequest& request, const model::TResultTree& tree,
                          const TSearchHooks& hooks);

// The file's content when it is still what the preview saw; false (and `why` set) when it
// cannot be read or has changed since. For showing a diff.
bool ReadPreviewedContent(const std::string& path, const model::TFileChange& change,
                          std::string& content, std::string& why);

// The unified diff of the file's edits (the chosen ones, or every one), made from the file read
// a piece at a time and checked on the way to hold what the preview saw: a big file is never
// held whole. False (and `why` set) when it cannot be read or has changed since.
bool PreviewedDiff(const std::string& path, const model::TFileChange& change,
                   const std::string& oldLabel, const std::string& newLabel, bool onlyChosen,
                   std::string& diff, std::string& why);

} // namespace engine
