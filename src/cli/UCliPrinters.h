// What fernsweep-cli prints for each found file, in each output form. A printer is fed one file
// at a time, as soon as the run has put the file into the result tree, and once at the end.
#pragma once

#include "cli/UCliOptions.h"

#include <functional>
#include <memory>
#include <string>

namespace model {
class TResultTree;
class TTreeNode;
} // namespace model

namespace engine {
struct TSearchHooks;
}

namespace cli {

struct TPrintSettings {
    TOutputKind Kind = TOutputKind::Report;
    bool Color = false;
    // The start folder as the user gave it; empty when none was given, so that paths are
    // printed relative to the current folder, as grep -r prints them.
    std::string ShownRoot;
};

// How the run ended.
struct TRunEnd {
    std::string Summary; // the summary line, also for a run that did not complete
    int FileCount = 0;
    int OccurenceCount = 0;
    bool Replaced = false;
    bool Complete = true; // false after Ctrl-C or an error
    std::string Error;    // the error that ended the run, if one did
};

class TPrinter {
public:
    virtual ~TPrinter() = default;
    // One found file: its node, with its occurrence nodes below it.
    virtual void File(const model::TTreeNode& fileNode) = 0;
    // The end of the run.
    virtual void Finish(const TRunEnd& end) = 0;
};

// A printer that appends its text to `out`; the caller writes `out` where it belongs. With
// `flush`, which writes `out` and empties it, a long line text is handed over a piece at a time.
std::unique_ptr<TPrinter> MakePrinter(const TPrintSettings& settings, std::string& out,
                                      std::function<void()> flush = {});

// Hooks a run up to `printer` (none: nothing is printed as the run goes): each found file is
// printed as soon as it is in the tree, then handed to `afterFile` with what it adds to the
// totals. Unless the tree is kept whole, a printed file is let go of at once, and every folder
// the walk has left when it enters the next one: the tree holds the folders the walk is in and
// no more, however much is found. Sets FileFound and wraps PumpMessages.
void StreamFiles(engine::TSearchHooks& hooks, model::TResultTree& tree, TPrinter* printer,
                 bool keepTree, std::function<void(model::TTreeNode& file, int counted)> afterFile);

// The path of a found file as grep -r prints it: the start folder as given, a separator and the
// path below the start folder (only the latter when no folder was given).
std::string ShownPath(const model::TTreeNode& fileNode, const std::string& shownRoot);

// Appends `bytes` as a JSON string. Bytes that are not UTF-8 become U+FFFD; false then.
bool AppendJsonString(std::string& out, std::string_view bytes);

} // namespace cli
