#include "operations/UResultsFile.h"

#include "model/UTFile.h"
#include "model/UTResultTree.h"
#include "platform/UPlatform.h"
#include "text/UTextHelpers.h"

#include <exception>

namespace operations {

namespace {

// Visits the found files and occurrences below `node` in pre-order. An explicit stack, so no
// folder depth can exhaust the call stack.
template <typename OnFile, typename OnOccurence>
void VisitResults(const model::TTreeNode* node, OnFile&& onFile, OnOccurence&& onOccurence) {
    if (node == nullptr) {
        return;
    }
    std::vector<const model::TTreeNode*> stack{node};
    while (!stack.empty()) {
        const model::TTreeNode* n = stack.back();
        stack.pop_back();
        if (n->IsFile()) {
            onFile(*n->File());
        } else if (n->IsOccurence()) {
            onOccurence(*n);
        }
        for (int i = n->Count() - 1; i >= 0; --i) {
            stack.push_back(n->Item(i));
        }
    }
}

template <typename Sink> void VisitReportLines(const model::TTreeNode* node, Sink&& sink) {
    VisitResults(
        node, [&](const model::TFile& f) { sink(std::string_view(), f.ReportLine()); },
        [&](const model::TTreeNode& o) { sink(std::string_view("    "), o.ReportLine()); });
}

} // namespace

void ForEachResultLinePieces(const model::TTreeNode* node, const TReportLinePieces& sink) {
    VisitResults(
        node,
        [&](const model::TFile& f) {
            sink.Piece(f.ReportLine());
            sink.End();
        },
        [&](const model::TTreeNode& o) {
            // The occurrence's report line, without a copy of the line.
            sink.Piece("    Line: " + std::to_string(o.Line()) +
                       ", Char: " + std::to_string(o.Column()) + ", [\"");
            sink.Piece(o.LineText());
            sink.Piece("\"]");
            sink.End();
        });
}

void ForEachResultLine(const model::TTreeNode* node, const TReportLineSink& sink) {
    VisitReportLines(node, sink);
}

void CollectResultLines(const model::TTreeNode* node, std::vector<std::string>& lines) {
    VisitReportLines(node, [&lines](std::string_view indent, const std::string& line) {
        std::string s;
        s.reserve(indent.size() + line.size());
        s.append(indent);
        s.append(line);
        lines.push_back(std::move(s));
    });
}

bool WriteResultsFile(const model::TResultTree& tree, const std::string& fileName,
                      TUserInterface& ui, const std::function<void()>& collapseTree) {
    bool written = false;
    try {
        if (collapseTree) {
            collapseTree();
        }
        // The report is built in memory and written in one go: a temporary file renamed over
        // the name, so an old report is never left truncated by a failure.
        std::string data;
        std::int64_t lines = 0;
        VisitReportLines(tree.First(), [&](std::string_view indent, const std::string& line) {
            data.append(indent);
            data.append(line);
            data.append("\r\n");
            ++lines;
        });
        if (platform::WriteWholeFile(fileName, data)) {
            written = true;
            ui.ShowMessage("Generated file \"" + fileName + "\" (" + std::to_string(lines) +
                           " lines)");
        }
    } catch (const std::exception&) {
        written = false;
    }
    if (!written) {
        ui.ShowMessage("Cannot generate file \"" + fileName + "\"");
    }
    return written;
}

void GenerateResultsTextFile(const model::TResultTree& tree, TUserInterface& ui,
                             std::string& saveDir, const std::function<void()>& collapseTree) {
    if (tree.Count() < 2) {
        ui.ShowMessage("Nothing to Save. Please perform a search to get some results");
        return;
    }
    std::string fileName;
    if (!ui.ChooseSaveFile(saveDir, fileName)) {
        return;
    }
    if (platform::FileExists(fileName) && ui.AskYesNo("File exists. Overwrite?") != TAnswer::Yes) {
        return;
    }
    WriteResultsFile(tree, fileName, ui, collapseTree);
    saveDir = text::ExtractFilePath(fileName);
}

} // namespace operations
