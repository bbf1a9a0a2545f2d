// Replacements reviewed before they are written and taken back after: the preview run, the
// choice of edits in the results tree, the changes pane, Apply, and the undo journal's last
// replacement.
#include "ui/UfrmMain.h"

#include "engine/UApplyChanges.h"
#include "engine/UTSearchEngine.h"
#include "model/UUnifiedDiff.h"
#include "operations/UUndoJournal.h"
#include "text/UTextHelpers.h"
#include "ui/UAppearance.h"
#include "ui/UChangesPane.h"
#include "ui/UResultTreeModel.h"

#include <QAction>
#include <QCheckBox>
#include <QDateTime>
#include <QPushButton>
#include <QSplitter>
#include <QTimer>
#include <QTreeView>

#include <optional>

namespace ui {
namespace {

// Files longer than this are not read for a diff.
constexpr std::int64_t kDiffMaxBytes = 32 * 1024 * 1024;
// Trees up to this many nodes open fully after a preview, every occurrence in view.
constexpr int kPreviewExpandAll = 5000;
// Paths listed by name in the undo report, for each kind of outcome.
constexpr size_t kListedPaths = 12;

// What a preview found, and how much of it is chosen.
struct TChoices {
    int Chosen = 0;
    int Total = 0;
    int ChosenFiles = 0;
    int Files = 0;
    model::TTreeNode* First = nullptr; // the first file with changes
};

TChoices CountChoices(const model::TResultTree& tree) {
    TChoices c;
    tree.ForEach([&c](model::TTreeNode& node) {
        const model::TFile* file = node.File();
        if (file == nullptr || !file->Change || file->Change->Edits.empty()) {
            return;
        }
        const auto chosen = static_cast<int>(file->Change->ChosenCount());
        c.First = c.First != nullptr ? c.First : &node;
        ++c.Files;
        c.Total += static_cast<int>(file->Change->Edits.size());
        c.Chosen += chosen;
        c.ChosenFiles += chosen > 0 ? 1 : 0;
    });
    return c;
}

std::string ApplySummary(const engine::TApplyTotals& totals) {
    std::string text = text::PluralCount(totals.Files, "file") + " written (" +
                       text::PluralCount(totals.Occurences, "replacement") + ")";
    if (totals.Changed > 0) {
        text += ", " + text::PluralCount(totals.Changed, "file") +
                " changed since the preview and left alone";
    }
    if (totals.Failed > 0) {
        text += ", " + std::to_string(totals.Failed) + " could not be written";
    }
    return text;
}

std::string When(std::int64_t secondsSince1970) {
    return FromQ(QDateTime::fromSecsSinceEpoch(secondsSince1970)
                     .toString(QStringLiteral("ddd d MMM yyyy, HH:mm")));
}

std::string UndoQuestion(const operations::TJournalEntry& entry) {
    return "Undo the replacement of " + When(entry.When) + "?\r\n\r\n" + entry.Request + "\r\n" +
           text::PluralCount(static_cast<std::int32_t>(entry.Files.size()), "file") +
           " written.\r\n\r\nEvery file that still holds what the replacement wrote gets its "
           "old content back; files edited since are left alone.";
}

void ListPaths(std::string& text, const std::string& heading,
               const std::vector<std::string>& paths) {
    if (paths.empty()) {
        return;
    }
    text += (text.empty() ? "" : "\r\n\r\n") + heading;
    for (size_t i = 0; i < paths.size() && i < kListedPaths; ++i) {
        text += "\r\n    " + paths[i];
    }
    if (paths.size() > kListedPaths) {
        text += "\r\n    and " + std::to_string(paths.size() - kListedPaths) + " more";
    }
}

std::string UndoReport(const operations::TUndoResult& result) {
    const auto count = [](const std::vector<std::string>& v) {
        return text::PluralCount(static_cast<std::int32_t>(v.size()), "file");
    };
    std::string text;
    ListPaths(text, "Restored " + count(result.Restored) + ":", result.Restored);
    ListPaths(text, "Left alone, edited since the replacement: " + count(result.LeftAlone) + ":",
              result.LeftAlone);
    ListPaths(text, "Could not be restored: " + count(result.Failed) + ":", result.Failed);
    return text.empty() ? "Nothing was restored: the replacement wrote no file." : text;
}

} // namespace

void TfrmMain::btnPreviewReplaceClick() {
    RunSearch(true);
}

void TfrmMain::RecordReplacement(engine::TSearchRequest& request,
                                 const std::function<void()>& write) {
    operations::TUndoJournal journal;
    operations::TJournalRecorder recorder(journal, operations::DescribeRequest(request));
    request.Journal = &recorder;
    try {
        write();
    } catch (...) {
        request.Journal = nullptr;
        recorder.Commit(); // the files written before the failure
        throw;
    }
    request.Journal = nullptr;
    recorder.Commit();
}

void TfrmMain::EnterPreview(const engine::TSearchRequest& request) {
    previewRequest_ = std::make_unique<engine::TSearchRequest>(request);
    previewRequest_->Journal = nullptr;
    model_->SetChoosing(true);
    if (!pnlChanges->isVisible()) {
        // The tree gives two fifths of its height to the changes.
        QList<int> sizes = Splitter3->sizes();
        pnlChanges->setVisible(true);
        const int shared = sizes.value(0) + sizes.value(2);
        sizes[2] = shared * 2 / 5;
        sizes[0] = shared - sizes[2];
        Splitter3->setSizes(sizes);
    }
    if (tree_.Count() <= kPreviewExpandAll) {
        btnExpandFullClick();
    } else {
        btnExpandOneLevelClick();
    }
    // The first file's changes are in the pane at once.
    const TChoices found = CountChoices(tree_);
    if (found.First != nullptr) {
        tvLog->setCurrentIndex(model_->IndexOf(found.First));
    }
    UpdateChanges();
    EnableReplaceButtons();
    // The run's own summary would say the replacements were made.
    ShowStatus("Preview: " + text::PluralCount(found.Total, "replacement") + " in " +
               text::PluralCount(found.Files, "file") +
               ", nothing written. Untick what to keep, then Apply.");
}

void TfrmMain::LeavePreview() {
    previewRequest_.reset();
    diffNode_ = nullptr;
    diffContent_.clear();
    diffWhy_.clear();
    model_->SetChoosing(false);
    pnlChanges->setVisible(false);
    EnableReplaceButtons();
}

void TfrmMain::EnableReplaceButtons() {
    btnPreviewReplace->setEnabled(chkSearch->isChecked() && chkReplace->isChecked() &&
                                  btnGo->isEnabled() && !running_);
    if (!previewRequest_) {
        btnApply->setEnabled(false);
    } else {
        ShowChosenCount();
    }
}

void TfrmMain::ShowChosenCount() {
    const TChoices c = CountChoices(tree_);
    pnlChanges->ShowChosen(c.Chosen, c.Total, c.ChosenFiles, c.Files, !running_);
}

void TfrmMain::UpdateChanges() {
    if (!previewRequest_) {
        return;
    }
    ShowChosenCount();

    const model::TTreeNode* node = SelectedNode();
    const model::TTreeNode* fileNode =
        node != nullptr && node->IsOccurence() ? node->Parent() : node;
    const model::TFile* file = fileNode != nullptr ? fileNode->File() : nullptr;
    if (file == nullptr || !file->Change) {
        diffNode_ = nullptr;
        pnlChanges->ShowWarning({});
        pnlChanges->ShowNote(QStringLiteral("Select a file or an occurence to see its changes."));
        return;
    }
    if (file->Change->OldSize > kDiffMaxBytes) {
        pnlChanges->ShowWarning({});
        pnlChanges->ShowNote(ToQ(file->FullPath) + QStringLiteral(" is too large to show."));
        return;
    }
    if (fileNode != diffNode_) {
        // Read once for each file selected; ticking boxes only redraws.
        diffNode_ = fileNode;
        diffContent_.clear();
        diffWhy_.clear();
        if (!engine::ReadPreviewedContent(file->FullPath, *file->Change, diffContent_, diffWhy_) &&
            diffWhy_.empty()) {
            diffWhy_ = file->FullPath + " has changed since the preview.";
        }
    }
    // One line, whatever the reason says: the file is not written.
    std::string warning = diffWhy_.substr(0, diffWhy_.find_first_of("\r\n"));
    if (!warning.empty()) {
        while (!warning.empty() && warning.back() == '.') {
            warning.pop_back();
        }
        warning += ": Apply leaves this file alone.";
    }
    pnlChanges->ShowWarning(ToQ(warning));
    if (!diffWhy_.empty()) {
        pnlChanges->ShowNote({});
        return;
    }
    const std::string diff =
        model::UnifiedDiff(diffContent_, *file->Change, file->FullPath, file->FullPath);
    if (diff.empty()) {
        pnlChanges->ShowNote(QStringLiteral("No replacement is ticked in this file."));
        return;
    }
    pnlChanges->ShowDiff(diff, node->IsOccurence() ? node->Line() + 1 : 0);
}

void TfrmMain::btnApplyClick() {
    if (running_ || !previewRequest_) {
        return;
    }
    bool makeBackups = false;
    if (!AskBackups(makeBackups)) {
        return;
    }
    engine::TSearchRequest request = *previewRequest_;
    request.Preview = false;
    request.MakeBackups = makeBackups;
    engine::TSearchHooks hooks = Hooks();
    // The files not written are listed together below, not one box each.
    hooks.ShowWriteFailure = [](const std::string&, const std::string&) {};
    engine::TApplyTotals totals;
    std::optional<std::string> error;
    running_ = true;
    btnGo->setEnabled(false);
    EnableReplaceButtons();
    // The choices stay as they are while the files are written.
    model_->SetChoosing(false);
    try {
        RecordReplacement(request, [&] { totals = engine::ApplyChanges(request, tree_, hooks); });
    } catch (const std::exception& e) {
        error = e.what();
    }
    running_ = false;
    LeavePreview();
    edtSearchChange();
    if (error) {
        userInterface_->ShowError(*error);
    }
    ShowStatus(ApplySummary(totals));
    if (!totals.NotWritten.empty()) {
        const auto n = static_cast<std::int32_t>(totals.NotWritten.size());
        userInterface_->ShowFailures(text::PluralCount(n, "file") + " not written:",
                                     totals.NotWritten);
    }
    if (closeRequested_) {
        // Closed from a message box during the writes: close now that they are done.
        QTimer::singleShot(0, this, &QWidget::close);
    }
}

void TfrmMain::UpdateUndoCommand() {
    bool any = true; // a journal that cannot be read explains itself when asked
    try {
        any = operations::TUndoJournal().Last().has_value();
    } catch (const std::exception&) {
    }
    cmUndoLastReplacement->setEnabled(any && !running_);
}

void TfrmMain::cmUndoLastReplacementClick() {
    if (running_) {
        return;
    }
    try {
        operations::TUndoJournal journal;
        const std::optional<operations::TJournalEntry> last = journal.Last();
        if (!last) {
            userInterface_->ShowMessage(
                "There is no replacement to undo: no replacement has written files since the "
                "last one was undone, or the record of them was cleared.");
            return;
        }
        if (userInterface_->AskQuestion(UndoQuestion(*last)) != operations::TAnswer::Yes) {
            return;
        }
        const operations::TUndoResult result = journal.Undo(last->Id);
        if (Previewing() && !result.Restored.empty()) {
            LeavePreview(); // what it found may no longer be what the files hold
        }
        const auto count = [](const std::vector<std::string>& v) {
            return static_cast<std::int32_t>(v.size());
        };
        std::string status =
            "Undone: " + text::PluralCount(count(result.Restored), "file") + " restored";
        if (!result.LeftAlone.empty()) {
            status += ", " + std::to_string(count(result.LeftAlone)) + " left alone";
        }
        ShowStatus(status);
        userInterface_->ShowMessage(UndoReport(result));
    } catch (const std::exception& e) {
        userInterface_->ShowError(e.what());
    }
}

} // namespace ui
