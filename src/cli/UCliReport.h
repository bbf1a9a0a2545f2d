// The texts fernsweep-cli prints from a finished result tree.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace model {
class TResultTree;
class TTreeNode;
} // namespace model

namespace cli {

// Receives one line, without its line end.
using TLineSink = std::function<void(std::string_view)>;

// The results report's lines, in tree order, as the report file holds them.
void ReportLines(const model::TResultTree& tree, const TLineSink& sink);

// The same for one node and the nodes below it.
void NodeReportLines(const model::TTreeNode& node, const TLineSink& sink);

// One line per node in flat pre-order: the image index, a TAB, two blanks per level of depth,
// the caption.
void TreeLines(const model::TResultTree& tree, const TLineSink& sink);

// A message box's text as one line: its CR LF, CR or LF breaks become single blanks.
std::string MessageLine(std::string_view message);

} // namespace cli
