#include "cli/UCliReport.h"

#include "model/UTResultTree.h"
#include "operations/UResultsFile.h"
#include "text/UTextHelpers.h"

namespace cli {

void NodeReportLines(const model::TTreeNode& node, const TLineSink& sink) {
    std::string out;
    operations::ForEachResultLine(&node, [&](std::string_view indent, const std::string& line) {
        out.assign(indent);
        out += line;
        sink(out);
    });
}

void ReportLines(const model::TResultTree& tree, const TLineSink& sink) {
    for (int r = 0; r < tree.RootCount(); ++r) {
        NodeReportLines(*tree.Root(r), sink);
    }
}

void TreeLines(const model::TResultTree& tree, const TLineSink& sink) {
    std::string line;
    tree.ForEach([&](model::TTreeNode& node) {
        line = std::to_string(node.ImageIndex());
        line += '\t';
        line.append(2 * static_cast<size_t>(node.Level()), ' ');
        line += node.Caption();
        sink(line);
    });
}

std::string MessageLine(std::string_view message) {
    std::string out;
    out.reserve(message.size());
    for (size_t i = 0; i < message.size(); ++i) {
        if (const size_t brk = text::LineBreakLength(message, i); brk != 0) {
            i += brk - 1;
            out += ' ';
        } else {
            out += message[i];
        }
    }
    return out;
}

} // namespace cli
