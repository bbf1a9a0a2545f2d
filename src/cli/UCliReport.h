// The texts fernsweep-cli prints from a finished result tree. Kept small and local: the desktop
// program's report writer can take the place of ReportLines once it exists.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace model {
class TResultTree;
}

namespace cli {

// Receives one line, without its line end.
using TLineSink = std::function<void(std::string_view)>;

// The results report, in tree order: a file node gives its full path, an occurrence node four
// blanks and its report line; folder nodes give nothing. Nodes are told apart by their image.
void ReportLines(const model::TResultTree& tree, const TLineSink& sink);

// One line per node in flat pre-order: the image index, a TAB, two blanks per level of depth,
// the caption.
void TreeLines(const model::TResultTree& tree, const TLineSink& sink);

// A message box's text as one line: its CR LF, CR or LF breaks become single blanks.
std::string MessageLine(std::string_view message);

} // namespace cli
