// The main window: the search set up on the left, the results tree on the right. Its
// handlers are short; the work is done by the engine, the settings and the result model.
#pragma once

#include "model/UTResultTree.h"
#include "operations/UFoundFiles.h"
#include "operations/UTUserInterface.h"
#include "platform/UShell.h"
#include "settings/UTSearchOptions.h"
#include "settings/vtRegVal.h"

#include <QElapsedTimer>
#include <QMainWindow>
#include <QPointer>
#include <QStringList>

#include <functional>
#include <memory>
#include <string>

class QAction;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QProgressBar;
class QPushButton;
class QSplitter;
class QToolButton;
class QTreeView;

namespace engine {
class TSearchEngine;
struct TSearchHooks;
struct TSearchRequest;
} // namespace engine

namespace ui {

class TChangesPane;
class TFolderPathEdit;
class TFolderTree;
class TPreviewPane;
class TResultTreeModel;
class TWidgetPlacement;
class TfrmRegExHelp;

// What the window takes from its surroundings; tests replace each part.
struct TfrmMainContext {
    // Messages, questions and file choices; real dialogs when null.
    std::unique_ptr<operations::TUserInterface> UserInterface;
    // Where the settings file lives; beside the program when null.
    std::function<settings::TStoreLocation()> StoreLocation;
    // Lets pending window messages through during a run; QCoreApplication::processEvents
    // when null.
    std::function<void()> PumpMessages;
    // The command-line arguments after the program's name.
    QStringList Arguments;
    // Files, folders and web pages handed to the desktop; the freedesktop shell when null.
    std::unique_ptr<platform::TShell> Shell;
    // The destination of copy and move; the Browse for Folder dialog when null.
    std::unique_ptr<operations::TFolderChooser> FolderChooser;
};

// A panel that reports its size changes, so its contents can be laid out by arithmetic.
class TResizePanel : public QWidget {
    Q_OBJECT
public:
    using QWidget::QWidget;
signals:
    void resized();

protected:
    void resizeEvent(QResizeEvent* event) override;
};

class TfrmMain : public QMainWindow {
    Q_OBJECT
public:
    explicit TfrmMain(TfrmMainContext context = {});
    ~TfrmMain() override;

    // Menu bar.
    QMenu* mmFile;
    QAction* cmShortcutonDesktop;
    QAction* cmShortcutOnSendTo;
    QAction* cmShortcutonTaskbar;
    QAction* cmExit;
    QMenu* mmOperations;
    QAction* cmGenerateResultsTextFile;
    QAction* cmCopyFoundFilesToFolder;
    QAction* cmMoveFoundFilestoFolder;
    QAction* cmDeleteFoundFilesPermanently;
    QAction* cmUndoLastReplacement;
    QMenu* mmHelp;
    QAction* mmQuickHelpHTML;
    QAction* mmRegularExpressionHelp;
    QAction* mmVantrelSoftwareHomepage;
    QAction* cmCheckforUpdates;
    QAction* mmAbout;
    // Pop-up menus.
    QMenu* pmLog;
    QAction* cmOpenAtLine;
    QAction* cmExploreFolder;
    QAction* cmShellOpenFile;
    QAction* cmView;
    QMenu* pmFileOps;
    QAction* pmGenerateResultsTextFile;
    QAction* pmCopyFoundFilestoFolder;
    QAction* pmMoveFoundFilestoFolder;
    QAction* pmDeleteFoundFilesPermanently;

    // Left column.
    QSplitter* Splitter1;
    QWidget* pnlLeft;
    QSplitter* Splitter2;
    TResizePanel* pnlLeftTop;
    QLabel* pnlLabelSearchAndReplace;
    QProgressBar* gauProgress;
    QLabel* lblFileMask;
    QComboBox* cmbFileMask;
    QLabel* lblOptions;
    QPushButton* btnAdvanced;
    QCheckBox* chkSearch;
    QComboBox* edtSearch;
    QCheckBox* chkMatchCase;
    QCheckBox* chkRegex;
    QCheckBox* chkReplace;
    QComboBox* edtReplace;
    QGroupBox* gbRegEx;
    QLabel* lblInput;
    QLineEdit* edtInput;
    QLabel* lblOutputCaption;
    QLabel* lblOutput;
    // Which way patterns work: on the whole text or line by line.
    QLabel* lblRegexMode;
    QPushButton* btnAbort;
    // A replacement run that writes nothing: its changes are shown for review.
    QPushButton* btnPreviewReplace;
    QPushButton* btnGo;
    QWidget* pnlDirectory;
    QLabel* pnlLabelDirectory;
    TFolderPathEdit* edtDirectory;
    TFolderTree* stv;
    QWidget* pnlOption;
    QCheckBox* chkRecurseDirs;
    // Right column.
    QWidget* pnlRight;
    QLabel* pnlLabelResults;
    QWidget* pnlToolBar;
    QToolButton* btnExpandFull;
    QToolButton* btnExpandSelected;
    QToolButton* btnExpandOccurence;
    QToolButton* btnExpandOneLevel;
    QToolButton* btnFileOps;
    QToolButton* btnPreview;
    QSplitter* Splitter3;
    QTreeView* tvLog;
    TPreviewPane* pnlPreview;
    // After a preview: the chosen changes of the selected file and the button that writes them.
    TChangesPane* pnlChanges;
    QPushButton* btnApply;
    // Status line: one text.
    QLabel* sbStatus;

    // Life cycle.
    void FormCreate();
    void FormShow();
    void FormClose();
    void LoadWindowSettings();
    void SaveWindowSettings();
    void AddToHistory(QComboBox* field);

    // The run.
    void btnGoClick();
    void btnAbortClick();
    void btnAdvancedClick();

    // Replacements reviewed before and taken back after (UfrmMainChanges.cpp).
    void btnPreviewReplaceClick();
    void btnApplyClick();
    void cmUndoLastReplacementClick();
    // The changes pane: the totals chosen and the selected file's diff.
    void UpdateChanges();
    // After a preview, until its changes are applied or another run starts.
    bool Previewing() const { return previewRequest_ != nullptr; }

    // Enabling rules and the tester.
    void chkSearchClick();
    void chkReplaceClick();
    void edtSearchChange();
    void edtReplaceChange();
    void edtInputChange();
    void chkRegexClick();
    void ShowRegexTester();
    void UpdateRegexTester();
    void pnlLeftTopResize();

    // Results tree.
    void btnExpandFullClick();
    void btnExpandSelectedClick(int tag);
    void btnExpandOneLevelClick();
    void btnFileOpsClick();
    void tvLogMouseDown(Qt::MouseButton button, const QPoint& pos);
    // The Menu key or Shift+F10: the pop-up menu at the selected node.
    void tvLogContextKey();
    // Double click or Enter on a node: a file or an occurrence opens at its line.
    bool tvLogOpenNode(const QModelIndex& node);
    void btnPreviewClick();
    void UpdatePreview();
    void BeginTreeUpdate();
    void EndTreeUpdate();
    void ExpandToLevel(const QModelIndex& node, int level);
    // Expands `node` with all its descendants.
    void ExpandSubtree(const QModelIndex& node);

    // Menu commands.
    void cmShortcutonDesktopClick();
    void cmShortcutOnSendToClick();
    void cmShortcutonTaskbarClick();
    void cmExitClick();
    void cmGenerateResultsTextFileClick();
    void cmCopyFoundFilesToFolderClick();
    void cmMoveFoundFilestoFolderClick();
    void cmDeleteFoundFilesPermanentlyClick();
    void mmQuickHelpHTMLClick();
    void mmRegularExpressionHelpClick();
    void mmVantrelSoftwareHomepageClick();
    void cmCheckforUpdatesClick();
    void mmAboutClick();
    void cmExploreFolderClick();
    void cmShellOpenFileClick();
    void cmViewClick();
    void cmOpenAtLineClick();

    // What the commands and tests read.
    model::TResultTree& ResultTree() { return tree_; }
    TResultTreeModel& ResultModel() { return *model_; }
    settings::TvtRegVal& Ini() { return ini_; }
    settings::TSearchOptions& Options() { return options_; }
    engine::TSearchEngine& Engine() { return *engine_; }
    operations::TUserInterface& UserInterface() { return *userInterface_; }
    platform::TShell& Shell() { return *shell_; }
    bool Running() const { return running_; }
    // The selected node of the results tree, or null.
    model::TTreeNode* SelectedNode() const;
    // The folder the save dialog opens in, and the last copy or move destination.
    std::string SaveFolder;
    std::string FolderPath;
    // The user's own editor command (%f %l %c); empty: the default text editor.
    std::string EditorCommand;
    TfrmRegExHelp* RegExHelp() const { return help_.get(); }
    int PnlLeftWidth() const;
    void SetPnlLeftWidth(int width);
    int PnlLeftTopHeight() const;

signals:
    // The window closed for good; the program ends.
    void formClosed();
    // The status line took a new text.
    void statusChanged(const QString& text);

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Layout (UfrmMainLayout.cpp).
    void BuildMenus();
    void BuildSearchPanel();
    void BuildLeftColumn();
    void BuildRightColumn();
    void ConnectHandlers();
    void SetPnlLeftTopHeight(int height);
    void SetTabOrder();
    void ShowRegexMode();
    // Opens pmLog for the selected node at `global`; false when no node is selected.
    bool PopupLogMenu(const QPoint& global);

    // The engine's hooks.
    void ShowStatus(const std::string& text);
    void ShowProgress(double fraction);
    void PumpMessages();
    // Between the walk's own pumps, while a run is busy.
    void KeepResponsive();
    engine::TSearchHooks Hooks();
    engine::TSearchRequest MakeRequest(bool makeBackups) const;
    // Go's run, or with `preview` the same run writing nothing.
    void RunSearch(bool preview);
    // The backups question before anything is written; false when cancelled.
    bool AskBackups(bool& makeBackups);
    // Runs `write` with a recorder of the undo journal as request.Journal, and records what
    // it wrote, also when it throws.
    void RecordReplacement(engine::TSearchRequest& request, const std::function<void()>& write);
    void EnterPreview(const engine::TSearchRequest& request);
    void LeavePreview();
    // "Preview" is enabled with "Replace with:" and "Go"; "Apply" while a preview has an edit
    // chosen and nothing runs.
    void EnableReplaceButtons();
    // How many edits are chosen, in how many files; enables "Apply".
    void ShowChosenCount();
    // Enabled when the journal has a replacement to undo.
    void UpdateUndoCommand();
    // The status line's tooltip tells why entries were left out; the failures come in one list.
    void ShowRunAccount();
    void FinishRun();

    // Repainting of the results tree, counted so that brackets nest.
    void tvLogBeginUpdate();
    void tvLogEndUpdate();
    QModelIndex FirstRoot() const;
    // The program's folder, where help/ lies; the store's idea of it, so tests can move it.
    std::string ProgramFolder() const;

    TfrmMainContext context_;
    std::unique_ptr<operations::TUserInterface> userInterface_;
    std::unique_ptr<platform::TShell> shell_;
    std::unique_ptr<operations::TFolderChooser> folderChooser_;
    model::TResultTree tree_;
    settings::TSearchOptions options_;
    settings::TvtRegVal ini_;
    std::unique_ptr<engine::TSearchEngine> engine_;
    TResultTreeModel* model_;
    std::unique_ptr<TWidgetPlacement> placement_;
    std::unique_ptr<TfrmRegExHelp> help_;
    int treeUpdateCount_ = 0;
    int pendingLeftWidth_ = 0;
    int pendingLeftTopHeight_ = 0;
    bool running_ = false;
    bool closeRequested_ = false;
    // Since the tree last showed what the run has found.
    QElapsedTimer growthClock_;
    qint64 growthEveryMs_ = 0;
    bool closed_ = false;
    bool shown_ = false;
    // The preview's request, kept for applying its changes.
    std::unique_ptr<engine::TSearchRequest> previewRequest_;
    // The file node whose content the changes pane holds, and that content or why not.
    const model::TTreeNode* diffNode_ = nullptr;
    std::string diffContent_;
    std::string diffWhy_;
};

} // namespace ui
