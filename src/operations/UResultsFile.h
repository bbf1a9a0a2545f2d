// The results report: every found file of the result tree and, under each, its occurrences, as
// a plain-text file with CR LF line ends.
#pragma once

#include "operations/UTUserInterface.h"

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace model {
class TResultTree;
class TTreeNode;
} // namespace model

namespace operations {

// Appends the report lines of `node` and of everything below it, in pre-order: a file node
// (image 4) gives its path, an occurrence node (image 6) four blanks and its report line, a
// folder node nothing.
void CollectResultLines(const model::TTreeNode* node, std::vector<std::string>& lines);

// The same lines handed one by one to `sink` as an indent ("" or four blanks) and the rest,
// for callers that stream the report instead of holding it.
using TReportLineSink = std::function<void(std::string_view indent, const std::string& line)>;
void ForEachResultLine(const model::TTreeNode* node, const TReportLineSink& sink);

// The same lines again, each handed over in pieces as it is formed, so that the line of a huge
// one-line file is never built whole: `piece` is called with the line's consecutive parts,
// `end` after each line. The pieces of a line make exactly its text above.
struct TReportLinePieces {
    std::function<void(std::string_view piece)> Piece;
    std::function<void()> End;
};
void ForEachResultLinePieces(const model::TTreeNode* node, const TReportLinePieces& sink);

// Collapses the result tree (through `collapseTree`, which may be empty), writes the report of
// the whole tree to `fileName` through a temporary file, so a failed write leaves an old file
// as it was, and tells the user the outcome. Never throws; true when the file was written.
bool WriteResultsFile(const model::TResultTree& tree, const std::string& fileName,
                      TUserInterface& ui, const std::function<void()>& collapseTree);

// The "Generate Results Text File..." command: asks for the file (the save dialog opens in
// `saveDir`), asks before overwriting, writes the report, and moves `saveDir` to the chosen
// file's folder after every attempt that got as far as writing.
void GenerateResultsTextFile(const model::TResultTree& tree, TUserInterface& ui,
                             std::string& saveDir, const std::function<void()>& collapseTree);

} // namespace operations
