// The results' everyday use: opening an occurrence at its line, and the preview pane that shows
// the selected occurrence (or a file's occurrences) in its context.
#include "ui/UfrmMain.h"

#include "model/UTFile.h"
#include "model/UTResultTree.h"
#include "operations/UShellCommands.h"
#include "ui/UPreviewPane.h"
#include "ui/UResultTreeModel.h"

#include <QFile>
#include <QToolButton>
#include <QTreeView>

namespace ui {
namespace {

// Lines shown above and below an occurrence.
constexpr int kPreviewContext = 3;
// Files longer than this are not read for a preview.
constexpr qint64 kPreviewMaxBytes = 32 * 1024 * 1024;
// At most this many occurrences of one file are shown at once.
constexpr int kPreviewMaxMatches = 2000;

TPreviewMatch MatchOf(const model::TTreeNode& o) {
    return {o.Line(), o.Column(), o.MatchLength()};
}

} // namespace

void TfrmMain::cmOpenAtLineClick() {
    operations::OpenAtLine(SelectedNode(), *shell_, *userInterface_, EditorCommand);
}

bool TfrmMain::tvLogOpenNode(const QModelIndex& node) {
    const model::TTreeNode* n = model_->NodeOf(node);
    if (n == nullptr || !(n->IsFile() || n->IsOccurence())) {
        return false;
    }
    tvLog->setCurrentIndex(node);
    cmOpenAtLineClick();
    return true;
}

void TfrmMain::btnPreviewClick() {
    pnlPreview->setVisible(btnPreview->isChecked());
    UpdatePreview();
}

void TfrmMain::UpdatePreview() {
    if (!pnlPreview->isVisible()) {
        return;
    }
    const model::TTreeNode* node = SelectedNode();
    const model::TTreeNode* fileNode = node;
    std::vector<TPreviewMatch> matches;
    if (node != nullptr && node->IsOccurence()) {
        fileNode = node->Parent();
        matches.push_back(MatchOf(*node));
    }
    const model::TFile* file = fileNode != nullptr ? fileNode->File() : nullptr;
    if (file == nullptr) {
        pnlPreview->ShowNote(QStringLiteral("Select a file or an occurence to see it here."));
        return;
    }
    if (matches.empty()) {
        for (int i = 0; i < fileNode->Count() && i < kPreviewMaxMatches; ++i) {
            matches.push_back(MatchOf(*fileNode->Item(i)));
        }
    }
    QFile f(QFile::decodeName(QByteArray::fromStdString(file->FullPath)));
    if (!f.open(QIODevice::ReadOnly)) {
        pnlPreview->ShowNote(QStringLiteral("Cannot read ") + f.fileName());
        return;
    }
    if (f.size() > kPreviewMaxBytes) {
        pnlPreview->ShowNote(f.fileName() + QStringLiteral(" is too large to preview."));
        return;
    }
    const QByteArray content = f.readAll();
    if (!matches.empty()) {
        pnlPreview->ShowLines(PreviewLines(content.toStdString(), matches, kPreviewContext));
        return;
    }
    // Found by name only: the beginning of the file, nothing marked.
    QList<TPreviewPane::TLine> lines =
        PreviewLines(content.toStdString(), {{0, 1, 0}}, 2 * kPreviewContext);
    for (TPreviewPane::TLine& line : lines) {
        line.Kind = TPreviewPane::TLineKind::Context;
        line.Highlights.clear();
    }
    pnlPreview->ShowLines(lines);
}

} // namespace ui
