#include "UCliReport.h"

#include "UTFile.h"
#include "UTOccurence.h"
#include "UTResultTree.h"

namespace cli {

void ReportLines(const model::TResultTree& tree, const TLineSink& sink) {
    std::string line;
    tree.ForEach([&](model::TTreeNode& node) {
        if (node.ImageIndex() == model::imgFile) {
            if (const auto* f = dynamic_cast<const model::TFile*>(node.Data())) {
                sink(f->ReportLine());
            }
        } else if (node.ImageIndex() == model::imgOccurence) {
            if (const auto* o = dynamic_cast<const model::TOccurence*>(node.Data())) {
                line.assign("    ");
                line += o->ReportLine();
                sink(line);
            }
        }
    });
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
        const char c = message[i];
        if (c == '\r' || c == '\n') {
            if (c == '\r' && i + 1 < message.size() && message[i + 1] == '\n') {
                ++i;
            }
            out += ' ';
        } else {
            out += c;
        }
    }
    return out;
}

} // namespace cli
