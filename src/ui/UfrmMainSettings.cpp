// The main window's life cycle: settings and histories in at creation, out at closing.
#include "ui/UfrmMain.h"

#include "engine/UTSearchEngine.h"
#include "operations/UShellCommands.h"
#include "platform/UPlatform.h"
#include "settings/UMainSettings.h"
#include "ui/UAppearance.h"
#include "ui/UFolderTree.h"
#include "ui/UPreviewPane.h"
#include "ui/UQtPlacement.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QFile>
#include <QLabel>
#include <QSignalBlocker>
#include <QToolButton>

#include <vector>

using namespace settings;

namespace ui {
namespace {

constexpr const char* kProgramTitle = operations::kProductNameVersion;
constexpr const char* kMakerNotice = " - Freeware by Vantrel Software";

std::vector<std::string> Items(const QComboBox* field) {
    std::vector<std::string> items;
    items.reserve(static_cast<size_t>(field->count()));
    for (int i = 0; i < field->count(); ++i) {
        items.push_back(FromQ(field->itemText(i)));
    }
    return items;
}

// Replaces the list and then sets the text; only the text change is reported.
void SetHistory(QComboBox* field, const std::vector<std::string>& items, const std::string& text) {
    {
        const QSignalBlocker quiet(field);
        field->clear();
        for (const std::string& item : items) {
            field->addItem(ToQ(item));
        }
    }
    field->setEditText(ToQ(text));
}

} // namespace

void TfrmMain::FormCreate() {
    setWindowTitle(QString::fromLatin1(kProgramTitle) + QString::fromLatin1(kMakerNotice));
    // The application's title: what message and error boxes carry.
    QCoreApplication::setApplicationName(QString::fromLatin1(kProgramTitle));
    options_ = TSearchOptions();
    ini_.Load();
    ini_.RestoreFormPlacement(*placement_);
    LoadWindowSettings();
}

void TfrmMain::LoadWindowSettings() {
    // A folder that is gone leaves the tree's selection as it was, without a word.
    stv->SelectPath(ini_.GetString("Directory"));
    chkRecurseDirs->setChecked(ini_.GetBoolean("RecurseDirs"));
    chkSearch->setChecked(ini_.GetBoolean("SearchForText"));
    chkReplace->setChecked(ini_.GetBoolean("ReplaceWith"));
    chkMatchCase->setChecked(ini_.GetBoolean("MatchCase"));
    chkRegex->setChecked(ini_.GetBoolean("chkRegex"));

    SaveFolder = ini_.GetString("SaveDir");
    if (SaveFolder.empty() || !platform::DirectoryExists(SaveFolder)) {
        SaveFolder = ProgramFolder();
    }
    FolderPath = ini_.GetString("FolderPath");

    SetHistory(cmbFileMask, LoadHistory(ini_, kMaskHistoryPrefix), ini_.GetString("FileMask"));
    SetHistory(edtSearch, LoadHistory(ini_, kSearchHistoryPrefix), ini_.GetString("SearchText"));
    SetHistory(edtReplace, LoadHistory(ini_, kReplaceHistoryPrefix), ini_.GetString("ReplaceWith"));

    SetPnlLeftWidth(static_cast<int>(LowInt32(ini_.GetInteger("pnlLeftWidth"))));
    // Never starts minimized, whatever the stored placement says.
    placement_->SetWindowState(ini_.GetBoolean("Maximized") ? wsMaximized : wsNormal);

    LoadSearchOptions(ini_, options_);
    lblOptions->setText(ToQ(options_.Description()));
    ShowRegexMode();
    EditorCommand = ini_.GetString("EditorCommand");
    btnPreview->setChecked(ini_.GetBoolean("ShowPreview"));
    pnlPreview->setVisible(btnPreview->isChecked());
}

std::string TfrmMain::ProgramFolder() const {
    return context_.StoreLocation ? context_.StoreLocation().ExeDirectory
                                  : platform::ExeDirectory();
}

void TfrmMain::FormShow() {
    chkSearchClick();
    chkReplaceClick();
    edtSearchChange();
    ShowRegexTester();
    // One argument names the start folder; anything it names that is no folder is ignored.
    if (context_.Arguments.size() == 1) {
        stv->SelectPath(QFile::encodeName(context_.Arguments.front()).toStdString());
    }
}

void TfrmMain::FormClose() {
    SaveWindowSettings();
    ini_.Save();
    ini_.SaveFormPlacement(*placement_);
}

void TfrmMain::SaveWindowSettings() {
    ini_.SetString("Directory", stv->SelectedPath());
    ini_.SetString("FileMask", FromQ(cmbFileMask->currentText()));
    ini_.SetString("SearchText", FromQ(edtSearch->currentText()));
    ini_.SetString("ReplaceWith", FromQ(edtReplace->currentText()));
    ini_.SetString("SaveDir", SaveFolder);
    ini_.SetString("FolderPath", FolderPath);
    ini_.SetBoolean("RecurseDirs", chkRecurseDirs->isChecked());
    ini_.SetBoolean("SearchForText", chkSearch->isChecked());
    ini_.SetBoolean("ReplaceWith", chkReplace->isChecked());
    ini_.SetBoolean("MatchCase", chkMatchCase->isChecked());
    ini_.SetBoolean("chkRegex", chkRegex->isChecked());
    SaveHistory(ini_, kMaskHistoryPrefix, Items(cmbFileMask));
    SaveHistory(ini_, kSearchHistoryPrefix, Items(edtSearch));
    SaveHistory(ini_, kReplaceHistoryPrefix, Items(edtReplace));
    ini_.SetInteger("pnlLeftWidth", PnlLeftWidth());
    ini_.SetBoolean("Maximized", placement_->WindowState() == wsMaximized);
    SaveSearchOptions(ini_, options_);
    ini_.SetString("EditorCommand", EditorCommand);
    ini_.SetBoolean("ShowPreview", btnPreview->isChecked());
}

void TfrmMain::AddToHistory(QComboBox* field) {
    const std::string text = FromQ(field->currentText());
    std::vector<std::string> items = Items(field);
    ::AddToHistory(items, text);
    SetHistory(field, items, text);
}

void TfrmMain::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (!shown_) {
        shown_ = true;
        FormShow();
    }
}

void TfrmMain::closeEvent(QCloseEvent* event) {
    if (running_) {
        // The run's frames are still below us: stop it, and close once it has returned.
        engine_->Aborted = true;
        closeRequested_ = true;
        event->ignore();
        return;
    }
    if (!closed_) {
        closed_ = true;
        // A failed save ends the saving there; the window closes all the same.
        try {
            FormClose();
        } catch (const std::exception& e) {
            userInterface_->ShowError(e.what());
        }
        emit formClosed();
    }
    event->accept();
}

} // namespace ui
