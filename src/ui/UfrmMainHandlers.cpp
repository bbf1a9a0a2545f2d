// The main window's handlers for the run, the enabling rules, the tester and the menus.
#include "ui/UfrmMain.h"

#include "engine/UTSearchEngine.h"
#include "engine/vtStringTokenizer.h"
#include "operations/UResultsFile.h"
#include "operations/UShellCommands.h"
#include "operations/vtShortcuts.h"
#include "platform/UPlatform.h"
#include "regex/URegexTester.h"
#include "text/UTextHelpers.h"
#include "ui/UAppearance.h"
#include "ui/UFolderTree.h"
#include "ui/UResultTreeModel.h"
#include "ui/UfrmAbout.h"
#include "ui/UfrmAdvancedOptions.h"
#include "ui/UfrmRegExHelp.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <optional>

using regex::RegexTesterOutput;

namespace ui {
namespace {

constexpr const char* kBackupsQuestion =
    "Replacing characters in files can be a quite dangerous operation.\r\n"
    "Do you want to create backups of changed files?\r\n"
    "(This is HIGHLY recommended)";

// How often a run's results so far are shown in the tree.
constexpr qint64 kTreeGrowthEveryMs = 300;

// The mask box splits at semicolons and blanks.
constexpr const char* kMaskDelimiters = "; ";

} // namespace

void TfrmMain::btnGoClick() {
    RunSearch(false);
}

bool TfrmMain::AskBackups(bool& makeBackups) {
    const operations::TAnswer answer = userInterface_->AskYesNoCancel(kBackupsQuestion);
    makeBackups = answer == operations::TAnswer::Yes;
    return answer != operations::TAnswer::Cancel;
}

void TfrmMain::RunSearch(bool preview) {
    // Abort enables "Go" at once; a click queued behind it in the same pump must still not
    // start a second run inside the first.
    if (running_) {
        return;
    }
    const bool replacing = chkSearch->isChecked() && chkReplace->isChecked();
    if (preview && !replacing) {
        return;
    }
    bool makeBackups = false;
    if (replacing && !preview && !AskBackups(makeBackups)) {
        return;
    }
    AddToHistory(cmbFileMask);
    if (chkSearch->isChecked()) {
        AddToHistory(edtSearch);
    }
    if (chkReplace->isChecked()) {
        AddToHistory(edtReplace);
    }

    LeavePreview();
    running_ = true;
    btnAbort->setEnabled(true);
    btnGo->setEnabled(false);
    EnableReplaceButtons();
    gauProgress->setVisible(true);
    tvLogBeginUpdate();
    // The run clears and refills the tree; the views must not hold on to its nodes meanwhile.
    model_->Freeze();
    growthClock_.start();
    growthEveryMs_ = kTreeGrowthEveryMs;

    std::optional<std::string> error;
    const engine::TStringTokenizer masks(FromQ(cmbFileMask->currentText()), kMaskDelimiters);
    engine::TSearchRequest request = MakeRequest(makeBackups);
    request.Masks = masks.Tokens;
    request.Preview = preview;
    try {
        if (replacing && !preview) {
            // Every replacement that writes can be undone.
            RecordReplacement(request, [&] { engine_->StartRun(request); });
        } else {
            engine_->StartRun(request);
        }
    } catch (const std::exception& e) {
        error = e.what();
    } catch (...) {
        error = "Unknown error";
    }
    FinishRun();

    if (error) {
        userInterface_->ShowError(*error);
    } else if (preview) {
        EnterPreview(request);
    } else {
        btnExpandOneLevelClick();
    }
    ShowRunAccount();
    if (closeRequested_) {
        // Closed during the run: close now that the run is off the stack.
        QTimer::singleShot(0, this, &QWidget::close);
    }
}

engine::TSearchHooks TfrmMain::Hooks() {
    return engine::TSearchHooks{
        [this](const std::string& text) { ShowStatus(text); },
        [this](double fraction) { ShowProgress(fraction); },
        [this](const std::string& text) { userInterface_->ShowMessage(text); },
        [this] { PumpMessages(); },
        [this] { KeepResponsive(); },
        {}, // failures are shown together when the run ends
        {}, // failed writes are shown as messages
        {},
        {}, // the tree shows its growth from KeepResponsive
    };
}

engine::TSearchRequest TfrmMain::MakeRequest(bool makeBackups) const {
    engine::TSearchRequest request;
    request.SearchText = FromQ(edtSearch->currentText());
    request.ReplaceText = FromQ(edtReplace->currentText());
    request.DoSearch = chkSearch->isChecked();
    request.DoReplace = chkReplace->isChecked();
    request.MatchCase = chkMatchCase->isChecked();
    request.UseRegex = chkRegex->isChecked();
    request.LineByLine = options_.LineByLine();
    request.Recurse = chkRecurseDirs->isChecked();
    request.MakeBackups = makeBackups;
    request.Options = &options_;
    request.StartFolder = stv->SelectedPath();
    return request;
}

void TfrmMain::ShowRunAccount() {
    // The summary line keeps its text; why entries were left out is one hover away.
    const engine::TRunAccount& account = engine_->Account();
    sbStatus->setToolTip(ToQ(engine::DescribeAccount(account)));
    if (!account.Failures.empty()) {
        const auto n = static_cast<std::int32_t>(account.Failures.size());
        userInterface_->ShowFailures(text::PluralCount(n, "failure") + ": " +
                                         (n == 1 ? "this could not be read and was skipped."
                                                 : "these could not be read and were skipped."),
                                     account.Failures);
    }
}

void TfrmMain::FinishRun() {
    growthClock_.invalidate();
    const bool grew = model_->Growing(); // the tree is painted already
    model_->Thaw();
    if (!grew) {
        tvLogEndUpdate();
    }
    gauProgress->setVisible(false);
    btnAbort->setEnabled(false);
    running_ = false;
    btnGo->setEnabled(true);
    EnableReplaceButtons();
}

void TfrmMain::btnAbortClick() {
    engine_->Aborted = true;
    btnAbort->setEnabled(false);
    btnGo->setEnabled(true);
    EnableReplaceButtons();
}

void TfrmMain::btnAdvancedClick() {
    TfrmAdvancedOptions dialog(this);
    dialog.ShowOptions(options_);
    if (dialog.exec() == QDialog::Accepted) {
        dialog.ReadOptions(options_);
        lblOptions->setText(ToQ(options_.Description()));
        ShowRegexMode();
        UpdateRegexTester();
        if (help_) {
            help_->SetLineByLine(options_.LineByLine());
        }
    }
}

void TfrmMain::ShowStatus(const std::string& text) {
    const QString shown = ToQ(text);
    sbStatus->setText(shown);
    emit statusChanged(shown);
}

void TfrmMain::ShowProgress(double fraction) {
    // Halves go to the even neighbour, as the default rounding mode does.
    gauProgress->setValue(static_cast<int>(std::nearbyint(fraction * 100.0)));
}

void TfrmMain::PumpMessages() {
    if (context_.PumpMessages) {
        context_.PumpMessages();
    } else {
        QCoreApplication::processEvents();
    }
}

void TfrmMain::KeepResponsive() {
    // Driven by the clock, not by the walk: never the scripted pump, whose calls tests count.
    QCoreApplication::processEvents();
    // A few times a second the tree shows what the run has found so far; less often when
    // showing it costs much (a folder of many thousand rows open), so the run goes on.
    if (running_ && growthClock_.isValid() && growthClock_.elapsed() >= growthEveryMs_) {
        QElapsedTimer cost;
        cost.start();
        if (!model_->Growing()) {
            model_->ShowGrowth();
            tvLogEndUpdate(); // closed: the user opens what he wants to watch
        } else {
            model_->ShowGrowth();
        }
        QCoreApplication::processEvents(); // the views lay out the new rows now
        growthEveryMs_ = std::max(kTreeGrowthEveryMs, 10 * cost.elapsed());
        growthClock_.restart();
    }
}

void TfrmMain::chkSearchClick() {
    const bool on = chkSearch->isChecked();
    edtSearch->setEnabled(on);
    chkMatchCase->setEnabled(on);
    chkRegex->setEnabled(on);
    chkReplace->setEnabled(on);
    edtReplace->setEnabled(on && chkReplace->isChecked());
    edtSearchChange();
}

void TfrmMain::chkReplaceClick() {
    edtReplace->setEnabled(chkReplace->isChecked());
    EnableReplaceButtons();
}

void TfrmMain::edtSearchChange() {
    const bool allowed = !chkSearch->isChecked() || !edtSearch->currentText().isEmpty();
    // Typing during a run must not offer a second one.
    btnGo->setEnabled(allowed && !running_);
    EnableReplaceButtons();
    UpdateRegexTester();
}

void TfrmMain::edtReplaceChange() {
    UpdateRegexTester();
}

void TfrmMain::edtInputChange() {
    UpdateRegexTester();
}

void TfrmMain::chkRegexClick() {
    ShowRegexTester();
}

void TfrmMain::UpdateRegexTester() {
    ShowRegexMode();
    const QString pattern = edtSearch->currentText();
    if (!chkRegex->isChecked() || pattern.isEmpty()) {
        lblOutput->clear();
        return;
    }
    lblOutput->setText(
        ToQ(RegexTesterOutput(FromQ(edtInput->text()), FromQ(pattern),
                              FromQ(edtReplace->currentText()), options_.LineByLine())));
}

void TfrmMain::cmExitClick() {
    close();
}

// The commands below hand their work to the result operations and the shell.
void TfrmMain::cmShortcutonDesktopClick() {
    operations::ShortcutOnDesktop(*userInterface_, platform::ExecutablePath());
}

void TfrmMain::cmShortcutOnSendToClick() {
    operations::ShortcutOnSendTo(*userInterface_, platform::ExecutablePath());
}

void TfrmMain::cmShortcutonTaskbarClick() {
    operations::ShortcutOnTaskbar(*userInterface_, platform::ExecutablePath());
}

void TfrmMain::cmGenerateResultsTextFileClick() {
    // The report reads the tree without touching the view: expansion and selection stay.
    operations::GenerateResultsTextFile(tree_, *userInterface_, SaveFolder, {});
}

// Copy and move take the folder selected now as the source root, not the one searched.
void TfrmMain::cmCopyFoundFilesToFolderClick() {
    operations::CopyFoundFilesToFolder(tree_, stv->SelectedPath(), FolderPath, *userInterface_,
                                       *folderChooser_);
}

void TfrmMain::cmMoveFoundFilestoFolderClick() {
    operations::MoveFoundFilesToFolder(tree_, stv->SelectedPath(), FolderPath, *userInterface_,
                                       *folderChooser_);
}

void TfrmMain::cmDeleteFoundFilesPermanentlyClick() {
    operations::DeleteFoundFilesPermanently(tree_, *userInterface_);
}

void TfrmMain::mmQuickHelpHTMLClick() {
    operations::OpenQuickHelp(*shell_, *userInterface_, ProgramFolder());
}

void TfrmMain::mmVantrelSoftwareHomepageClick() {
    operations::OpenHomepage(*shell_);
}

void TfrmMain::cmCheckforUpdatesClick() {
    operations::CheckForUpdates(*shell_);
}

void TfrmMain::mmAboutClick() {
    TfrmAbout about(*shell_, this);
    about.exec();
}

void TfrmMain::cmExploreFolderClick() {
    operations::ExploreFolder(SelectedNode(), *shell_);
}

void TfrmMain::cmShellOpenFileClick() {
    operations::ShellOpenFile(SelectedNode(), *shell_);
}

void TfrmMain::cmViewClick() {
    operations::ViewInTextEditor(SelectedNode(), *shell_);
}

} // namespace ui
