// The main window's controls: creation, design-time states, menus and the search panel's
// layout arithmetic.
#include "ui/UfrmMain.h"

#include "engine/UTSearchEngine.h"
#include "settings/UMainSettings.h"
#include "ui/UAppearance.h"
#include "ui/UChangesPane.h"
#include "ui/UFolderPathEdit.h"
#include "ui/UFolderTree.h"
#include "ui/UPreviewPane.h"
#include "ui/UQtPlacement.h"
#include "ui/UQtUserInterface.h"
#include "ui/UResultItemDelegate.h"
#include "ui/UResultTreeModel.h"
#include "ui/UTreeImages.h"
#include "ui/UfrmBrowseFolder.h"
#include "ui/UfrmRegExHelp.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QShortcut>
#include <QSplitter>
#include <QStatusBar>
#include <QToolButton>
#include <QTreeView>
#include <QVBoxLayout>

using settings::ConfigureMainStore;

namespace ui {
namespace {

// Heights of the search panel with and without the tester.
constexpr int kSearchPanelHeight = 244;
constexpr int kSearchPanelHeightNoTester = 176;
// Where the left of the search fields, and the tester's sample field, begin.
constexpr int kFieldLeft = 96;
constexpr int kFieldHeight = 22;
// "Go", "Preview" and "Abort" keep this distance from the panel's bottom edge, and the next
// from each other.
constexpr int kButtonBottomGap = 4;
constexpr int kButtonGap = 8;
// The narrowest search panel in which no control covers another.
constexpr int kMinSearchPanelWidth = 340;

QComboBox* MakeHistoryField(QWidget* parent, int top) {
    auto* field = new QComboBox(parent);
    field->setEditable(true);
    // The history lists are kept by the run, not by Enter in the field; and completion would
    // rewrite a search text as it is typed.
    field->setInsertPolicy(QComboBox::NoInsert);
    field->setDuplicatesEnabled(true);
    field->setCompleter(nullptr);
    field->setGeometry(kFieldLeft, top, 252, kFieldHeight);
    return field;
}

QCheckBox* MakeCheckBox(const QString& caption, QWidget* parent, const QRect& geometry,
                        bool checked) {
    auto* box = new QCheckBox(caption, parent);
    box->setGeometry(geometry);
    box->setChecked(checked);
    return box;
}

QLabel* MakeLabel(const QString& caption, QWidget* parent, const QRect& geometry) {
    auto* label = new QLabel(caption, parent);
    label->setTextFormat(Qt::PlainText);
    label->setGeometry(geometry);
    return label;
}

QToolButton* MakeToolButton(TToolPicture picture, const QString& hint, int top, int tag,
                            QWidget* parent) {
    auto* button = new QToolButton(parent);
    button->setAutoRaise(true);
    button->setIcon(ToolPicture(picture));
    button->setIconSize(QSize(18, 18));
    button->setToolTip(hint);
    button->setGeometry(4, top, 23, 23);
    button->setProperty("tag", tag);
    // Reached with Tab; Space presses it.
    button->setFocusPolicy(Qt::TabFocus);
    return button;
}

} // namespace

void TResizePanel::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    emit resized();
}

TfrmMain::TfrmMain(TfrmMainContext context)
    : context_(std::move(context)), userInterface_(std::move(context_.UserInterface)),
      shell_(std::move(context_.Shell)), folderChooser_(std::move(context_.FolderChooser)) {
    if (!userInterface_) {
        userInterface_ = std::make_unique<TQtUserInterface>(this);
    }
    if (!shell_) {
        shell_ = platform::CreateDesktopShell();
    }
    if (!folderChooser_) {
        // The dialog keeps its placement in the window's own store.
        folderChooser_ = std::make_unique<TBrowseFolderChooser>(this, ini_);
    }
    setObjectName(QStringLiteral("frmMain"));
    setFont(WindowFont());
    engine_ = std::make_unique<engine::TSearchEngine>(Hooks(), tree_);
    engine_->CallingThreadReads = false; // no big file may hold the window still
    model_ = new TResultTreeModel(tree_, this);

    ConfigureMainStore(ini_);
    if (context_.StoreLocation) {
        ini_.SetLocationProvider(context_.StoreLocation);
    }
    ini_.SetMessageHook([this](const std::string& text) { userInterface_->ShowMessage(text); });
    placement_ = std::make_unique<TWidgetPlacement>(*this, "frmMain");

    BuildMenus();
    BuildLeftColumn();
    BuildRightColumn();
    Splitter1 = new QSplitter(Qt::Horizontal, this);
    Splitter1->setHandleWidth(8);
    Splitter1->setChildrenCollapsible(false);
    Splitter1->addWidget(pnlLeft);
    Splitter1->addWidget(pnlRight);
    // The left column keeps its width when the window is resized.
    Splitter1->setStretchFactor(1, 1);
    setCentralWidget(Splitter1);
    auto* status = new QStatusBar(this);
    sbStatus = new QLabel(status);
    sbStatus->setTextFormat(Qt::PlainText);
    status->addWidget(sbStatus, 1);
    setStatusBar(status);
    ConnectHandlers();

    setGeometry(328, 115, 731, 484);
    SetPnlLeftWidth(350);
    SetPnlLeftTopHeight(kSearchPanelHeight);

    // A failed load leaves the window as far as it came; the error is shown like any other.
    try {
        FormCreate();
    } catch (const std::exception& e) {
        userInterface_->ShowError(e.what());
    }
}

TfrmMain::~TfrmMain() {
    // The views let go of the nodes before the tree goes.
    model_->Freeze();
}

void TfrmMain::BuildMenus() {
    auto add = [this](QMenu* menu, const char* caption) {
        return menu->addAction(QString::fromLatin1(caption));
    };
    QMenuBar* mmMain = menuBar();
    mmFile = mmMain->addMenu(QStringLiteral("&File"));
    // An accelerator letter where the caption has none; the shown text stays as it was.
    cmShortcutonDesktop = add(mmFile, "Shortcut on &Desktop");
    cmShortcutOnSendTo = add(mmFile, "Shortcut on &Send To menu");
    cmShortcutonTaskbar = add(mmFile, "Shortcut on &Taskbar");
    mmFile->addSeparator();
    cmExit = add(mmFile, "E&xit");
    mmOperations = mmMain->addMenu(QStringLiteral("&Operations"));
    cmGenerateResultsTextFile = add(mmOperations, "&Generate Results Text File...");
    mmOperations->addSeparator();
    cmCopyFoundFilesToFolder = add(mmOperations, "&Copy Found Files to Folder...");
    cmMoveFoundFilestoFolder = add(mmOperations, "&Move Found Files to Folder...");
    cmDeleteFoundFilesPermanently = add(mmOperations, "&Delete Found Files Permanently");
    mmOperations->addSeparator();
    cmUndoLastReplacement = add(mmOperations, "&Undo last replacement");
    mmHelp = mmMain->addMenu(QStringLiteral("&Help"));
    mmQuickHelpHTML = add(mmHelp, "&Quick Help (HTML)");
    mmRegularExpressionHelp = add(mmHelp, "&Regular Expressions Help");
    mmVantrelSoftwareHomepage = add(mmHelp, "&Vantrel Software Homepage...");
    cmCheckforUpdates = add(mmHelp, "Check for &Updates...");
    mmHelp->addSeparator();
    mmAbout = add(mmHelp, "&About");

    pmLog = new QMenu(this);
    cmOpenAtLine = add(pmLog, "Open at &Line");
    pmLog->setDefaultAction(cmOpenAtLine);
    pmLog->addSeparator();
    cmExploreFolder = add(pmLog, "&Explore Folder...");
    pmLog->addSeparator();
    cmShellOpenFile = add(pmLog, "Shell &Open file...");
    pmLog->addSeparator();
    cmView = add(pmLog, "View in default &Text Editor...");

    pmFileOps = new QMenu(this);
    pmGenerateResultsTextFile = add(pmFileOps, "&Generate Results Text File...");
    pmFileOps->addSeparator();
    pmCopyFoundFilestoFolder = add(pmFileOps, "&Copy Found Files to Folder...");
    pmMoveFoundFilestoFolder = add(pmFileOps, "&Move Found Files to Folder...");
    pmDeleteFoundFilesPermanently = add(pmFileOps, "&Delete Found Files Permanently");
}

void TfrmMain::BuildSearchPanel() {
    pnlLeftTop = new TResizePanel;
    pnlLeftTop->setObjectName(QStringLiteral("pnlLeftTop"));
    pnlLabelSearchAndReplace =
        MakeTitleBar(QStringLiteral(" Search & Replace:"), SearchTitleColour(), pnlLeftTop);
    pnlLabelSearchAndReplace->setGeometry(0, 0, 348, 16);
    gauProgress = new QProgressBar(pnlLabelSearchAndReplace);
    gauProgress->setRange(0, 100);
    gauProgress->setTextVisible(false);
    gauProgress->setGeometry(kFieldLeft, 2, 245, 12);
    gauProgress->setStyleSheet(
        QStringLiteral("QProgressBar { border: 1px solid #404040; background: white; }"
                       "QProgressBar::chunk { background: red; }"));
    gauProgress->hide();

    lblFileMask = MakeLabel(QStringLiteral("Match File&names:"), pnlLeftTop, QRect(8, 23, 86, 17));
    lblFileMask->setTextFormat(Qt::AutoText);
    cmbFileMask = MakeHistoryField(pnlLeftTop, 20);
    lblFileMask->setBuddy(cmbFileMask);
    cmbFileMask->setEditText(QStringLiteral("*.*"));

    lblOptions =
        MakeLabel(QStringLiteral("No advanced options set."), pnlLeftTop, QRect(24, 44, 197, 29));
    lblOptions->setWordWrap(true);
    lblOptions->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    QPalette navy = lblOptions->palette();
    navy.setColor(QPalette::WindowText, QColor(0, 0, 128));
    lblOptions->setPalette(navy);
    btnAdvanced = new QPushButton(QStringLiteral("Ad&vanced"), pnlLeftTop);
    btnAdvanced->setGeometry(276, 44, 65, 25);
    btnAdvanced->setFlat(true);
    // Reached with Tab like every other control; a click does not take the focus from a field.
    btnAdvanced->setFocusPolicy(Qt::TabFocus);
    btnAdvanced->setAutoDefault(false);

    chkSearch =
        MakeCheckBox(QStringLiteral("&Search for text:"), pnlLeftTop, QRect(6, 76, 89, 20), false);
    edtSearch = MakeHistoryField(pnlLeftTop, 75);
    chkMatchCase =
        MakeCheckBox(QStringLiteral("Match &case"), pnlLeftTop, QRect(24, 99, 90, 18), true);
    chkRegex = MakeCheckBox(QStringLiteral("Use Regular E&xpressions"), pnlLeftTop,
                            QRect(120, 99, 180, 18), false);
    chkReplace =
        MakeCheckBox(QStringLiteral("Re&place with:"), pnlLeftTop, QRect(6, 120, 89, 20), false);
    edtReplace = MakeHistoryField(pnlLeftTop, 119);

    gbRegEx = new QGroupBox(QStringLiteral(" Regular Expression Tester "), pnlLeftTop);
    gbRegEx->setGeometry(4, 144, 340, 68);
    lblInput = MakeLabel(QStringLiteral("&Input"), gbRegEx, QRect(8, 21, 38, 17));
    lblInput->setTextFormat(Qt::AutoText);
    edtInput = new QLineEdit(gbRegEx);
    edtInput->setGeometry(48, 19, 284, 21);
    lblInput->setBuddy(edtInput);
    lblOutputCaption = MakeLabel(QStringLiteral("Output"), gbRegEx, QRect(8, 45, 38, 17));
    lblOutput = MakeLabel(QStringLiteral("lblOutput"), gbRegEx, QRect(48, 45, 284, 17));
    QFont bold = lblOutput->font();
    bold.setBold(true);
    lblOutput->setFont(bold);
    // On the group's frame line, at its right end.
    lblRegexMode = MakeLabel(QString(), gbRegEx, QRect(234, 0, 90, 15));
    lblRegexMode->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    lblRegexMode->setAutoFillBackground(true);
    QPalette modeColours = lblRegexMode->palette();
    modeColours.setColor(QPalette::WindowText, QColor(0, 0, 128));
    lblRegexMode->setPalette(modeColours);

    btnAbort = new QPushButton(QStringLiteral("&Abort"), pnlLeftTop);
    btnAbort->setGeometry(101, 215, 75, 25);
    btnAbort->setEnabled(false);
    btnPreviewReplace = new QPushButton(QStringLiteral("P&review"), pnlLeftTop);
    btnPreviewReplace->setObjectName(QStringLiteral("btnPreviewReplace"));
    btnPreviewReplace->setGeometry(184, 215, 75, 25);
    btnPreviewReplace->setToolTip(
        QStringLiteral("Find the replacements and show them for review; nothing is written"));
    btnPreviewReplace->setAutoDefault(false);
    btnPreviewReplace->setEnabled(false);
    btnGo = new QPushButton(QStringLiteral("&Go"), pnlLeftTop);
    btnGo->setGeometry(267, 215, 77, 25);
    btnGo->setDefault(true);
    // Below this the fields and check boxes would run under "Go" and "Abort".
    pnlLeftTop->setMinimumWidth(kMinSearchPanelWidth);
}

void TfrmMain::BuildLeftColumn() {
    BuildSearchPanel();

    pnlDirectory = new QWidget;
    auto* dirLayout = new QVBoxLayout(pnlDirectory);
    dirLayout->setContentsMargins(0, 0, 0, 0);
    dirLayout->setSpacing(0);
    pnlLabelDirectory =
        MakeTitleBar(QStringLiteral(" Directory:"), SearchTitleColour(), pnlDirectory);
    dirLayout->addWidget(pnlLabelDirectory);
    stv = new TFolderTree(pnlDirectory);
    // Where the tree stands until the saved or the given folder is selected.
    stv->SelectPath(QFile::encodeName(QDir::homePath()).toStdString());
    edtDirectory = new TFolderPathEdit(stv, pnlDirectory);
    edtDirectory->setObjectName(QStringLiteral("edtDirectory"));
    dirLayout->addWidget(edtDirectory);
    dirLayout->addWidget(stv, 1);
    // The tree keeps a few rows when the search panel is at its tallest.
    stv->setMinimumHeight(60);
    pnlOption = new QWidget(pnlDirectory);
    auto* optionLayout = new QHBoxLayout(pnlOption);
    optionLayout->setContentsMargins(6, 3, 4, 3);
    chkRecurseDirs = new QCheckBox(QStringLiteral("Recurse into sub-&directories"), pnlOption);
    chkRecurseDirs->setChecked(true);
    optionLayout->addWidget(chkRecurseDirs);
    optionLayout->addStretch(1);
    dirLayout->addWidget(pnlOption);

    Splitter2 = new QSplitter(Qt::Vertical);
    Splitter2->setHandleWidth(8);
    Splitter2->setChildrenCollapsible(false);
    Splitter2->addWidget(pnlLeftTop);
    Splitter2->addWidget(pnlDirectory);
    // The search panel keeps its height; the folder tree takes what is left.
    Splitter2->setStretchFactor(1, 1);

    pnlLeft = new QWidget;
    pnlLeft->setObjectName(QStringLiteral("pnlLeft"));
    auto* leftLayout = new QVBoxLayout(pnlLeft);
    leftLayout->setContentsMargins(1, 1, 1, 1);
    leftLayout->addWidget(Splitter2);
}

void TfrmMain::BuildRightColumn() {
    pnlRight = new QWidget;
    auto* rightLayout = new QVBoxLayout(pnlRight);
    rightLayout->setContentsMargins(1, 1, 1, 1);
    rightLayout->setSpacing(0);
    pnlLabelResults = MakeTitleBar(QStringLiteral(" Results:"), ResultsTitleColour(), pnlRight);
    rightLayout->addWidget(pnlLabelResults);

    auto* body = new QHBoxLayout;
    body->setSpacing(0);
    pnlToolBar = new QWidget(pnlRight);
    pnlToolBar->setFixedWidth(31);
    btnExpandFull = MakeToolButton(TToolPicture::ExpandFull, QStringLiteral("Expand full tree"), 4,
                                   0, pnlToolBar);
    btnExpandSelected = MakeToolButton(TToolPicture::ExpandFiles,
                                       QStringLiteral("Expand to File level"), 28, 1, pnlToolBar);
    btnExpandOccurence =
        MakeToolButton(TToolPicture::ExpandOccurences, QStringLiteral("Expand to Occurence level"),
                       52, 2, pnlToolBar);
    btnExpandOneLevel = MakeToolButton(
        TToolPicture::ExpandOneLevel, QStringLiteral("Expand first level only"), 76, 0, pnlToolBar);
    btnFileOps = MakeToolButton(TToolPicture::FileOps, QStringLiteral("File Operations"), 112, 0,
                                pnlToolBar);
    // Not the replacement's preview: the found lines among the lines around them.
    btnPreview = MakeToolButton(TToolPicture::Preview,
                                QStringLiteral("Show found lines in context"), 148, 0, pnlToolBar);
    btnPreview->setCheckable(true);
    body->addWidget(pnlToolBar);

    tvLog = new QTreeView;
    tvLog->setModel(model_);
    tvLog->setHeaderHidden(true);
    tvLog->setIndentation(20);
    tvLog->setIconSize(QSize(kTreeImageSize, kTreeImageSize));
    tvLog->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tvLog->setSelectionMode(QAbstractItemView::SingleSelection);
    // One row height for all rows: a tree of a million nodes is laid out without measuring.
    tvLog->setUniformRowHeights(true);
    tvLog->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    tvLog->header()->setStretchLastSection(false);
    tvLog->setItemDelegate(new TResultItemDelegate(tvLog));
    tvLog->setMinimumSize(160, 120);

    pnlPreview = new TPreviewPane;
    pnlPreview->setVisible(false);
    Splitter3 = new QSplitter(Qt::Vertical, pnlRight);
    Splitter3->setHandleWidth(8);
    Splitter3->setChildrenCollapsible(false);
    Splitter3->addWidget(tvLog);
    Splitter3->addWidget(pnlPreview);
    pnlChanges = new TChangesPane;
    pnlChanges->setVisible(false);
    btnApply = pnlChanges->btnApply;
    Splitter3->addWidget(pnlChanges);
    Splitter3->setStretchFactor(0, 2);
    Splitter3->setStretchFactor(1, 1);
    Splitter3->setStretchFactor(2, 2);
    body->addWidget(Splitter3, 1);
    rightLayout->addLayout(body, 1);
}

void TfrmMain::ConnectHandlers() {
    connect(btnGo, &QPushButton::clicked, this, &TfrmMain::btnGoClick);
    connect(btnAbort, &QPushButton::clicked, this, &TfrmMain::btnAbortClick);
    connect(btnPreviewReplace, &QPushButton::clicked, this, &TfrmMain::btnPreviewReplaceClick);
    connect(btnApply, &QPushButton::clicked, this, &TfrmMain::btnApplyClick);
    connect(model_, &TResultTreeModel::choicesChanged, this, &TfrmMain::UpdateChanges);
    connect(mmOperations, &QMenu::aboutToShow, this, &TfrmMain::UpdateUndoCommand);
    connect(btnAdvanced, &QPushButton::clicked, this, &TfrmMain::btnAdvancedClick);
    connect(chkSearch, &QCheckBox::clicked, this, &TfrmMain::chkSearchClick);
    connect(chkReplace, &QCheckBox::clicked, this, &TfrmMain::chkReplaceClick);
    connect(chkRegex, &QCheckBox::clicked, this, &TfrmMain::chkRegexClick);
    connect(edtSearch, &QComboBox::editTextChanged, this, &TfrmMain::edtSearchChange);
    connect(edtReplace, &QComboBox::editTextChanged, this, &TfrmMain::edtReplaceChange);
    connect(edtInput, &QLineEdit::textChanged, this, &TfrmMain::edtInputChange);
    connect(pnlLeftTop, &TResizePanel::resized, this, &TfrmMain::pnlLeftTopResize);

    connect(btnExpandFull, &QToolButton::clicked, this, &TfrmMain::btnExpandFullClick);
    for (QToolButton* b : {btnExpandSelected, btnExpandOccurence}) {
        connect(b, &QToolButton::clicked, this,
                [this, b] { btnExpandSelectedClick(b->property("tag").toInt()); });
    }
    connect(btnExpandOneLevel, &QToolButton::clicked, this, &TfrmMain::btnExpandOneLevelClick);
    connect(btnFileOps, &QToolButton::clicked, this, &TfrmMain::btnFileOpsClick);
    connect(btnPreview, &QToolButton::clicked, this, &TfrmMain::btnPreviewClick);
    // The panes show the selected node: a click makes a row current before it selects it.
    connect(tvLog->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &TfrmMain::UpdatePreview);
    connect(tvLog->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &TfrmMain::UpdateChanges);
    tvLog->viewport()->installEventFilter(this);
    tvLog->installEventFilter(this);
    // Escape stops a run; when idle it does nothing here.
    connect(new QShortcut(QKeySequence(Qt::Key_Escape), this), &QShortcut::activated, this, [this] {
        if (running_ && btnAbort->isEnabled()) {
            btnAbort->click();
        }
    });
    connect(new QShortcut(QKeySequence(Qt::Key_F1), this), &QShortcut::activated, this,
            &TfrmMain::mmRegularExpressionHelpClick);
    SetTabOrder();

    // Enter in a field of the search panel presses "Go", the window's default button.
    for (QWidget* w : std::initializer_list<QWidget*>{
             cmbFileMask, cmbFileMask->lineEdit(), edtSearch, edtSearch->lineEdit(), edtReplace,
             edtReplace->lineEdit(), edtInput, chkSearch, chkMatchCase, chkRegex, chkReplace,
             chkRecurseDirs}) {
        w->installEventFilter(this);
    }

    const std::pair<QAction*, void (TfrmMain::*)()> commands[] = {
        {cmShortcutonDesktop, &TfrmMain::cmShortcutonDesktopClick},
        {cmShortcutOnSendTo, &TfrmMain::cmShortcutOnSendToClick},
        {cmShortcutonTaskbar, &TfrmMain::cmShortcutonTaskbarClick},
        {cmExit, &TfrmMain::cmExitClick},
        {cmGenerateResultsTextFile, &TfrmMain::cmGenerateResultsTextFileClick},
        {cmCopyFoundFilesToFolder, &TfrmMain::cmCopyFoundFilesToFolderClick},
        {cmMoveFoundFilestoFolder, &TfrmMain::cmMoveFoundFilestoFolderClick},
        {cmDeleteFoundFilesPermanently, &TfrmMain::cmDeleteFoundFilesPermanentlyClick},
        {cmUndoLastReplacement, &TfrmMain::cmUndoLastReplacementClick},
        {mmQuickHelpHTML, &TfrmMain::mmQuickHelpHTMLClick},
        {mmRegularExpressionHelp, &TfrmMain::mmRegularExpressionHelpClick},
        {mmVantrelSoftwareHomepage, &TfrmMain::mmVantrelSoftwareHomepageClick},
        {cmCheckforUpdates, &TfrmMain::cmCheckforUpdatesClick},
        {mmAbout, &TfrmMain::mmAboutClick},
        {cmExploreFolder, &TfrmMain::cmExploreFolderClick},
        {cmShellOpenFile, &TfrmMain::cmShellOpenFileClick},
        {cmView, &TfrmMain::cmViewClick},
        {cmOpenAtLine, &TfrmMain::cmOpenAtLineClick},
        {pmGenerateResultsTextFile, &TfrmMain::cmGenerateResultsTextFileClick},
        {pmCopyFoundFilestoFolder, &TfrmMain::cmCopyFoundFilesToFolderClick},
        {pmMoveFoundFilestoFolder, &TfrmMain::cmMoveFoundFilestoFolderClick},
        {pmDeleteFoundFilesPermanently, &TfrmMain::cmDeleteFoundFilesPermanentlyClick},
    };
    for (const auto& [action, handler] : commands) {
        connect(action, &QAction::triggered, this, handler);
    }
}

void TfrmMain::pnlLeftTopResize() {
    const int w = pnlLeftTop->width();
    const int h = pnlLeftTop->height();
    pnlLabelSearchAndReplace->resize(w, pnlLabelSearchAndReplace->height());
    gauProgress->resize(w - 103, gauProgress->height());
    cmbFileMask->resize(w - 99, cmbFileMask->height());
    edtSearch->resize(w - 99, edtSearch->height());
    edtReplace->resize(w - 99, edtReplace->height());
    btnAdvanced->move(w - btnAdvanced->width() - 4, btnAdvanced->y());
    // "Go", "Preview" and "Abort" are anchored to the bottom and right edges.
    const int buttonTop = h - btnGo->height() - kButtonBottomGap;
    btnGo->move(w - btnGo->width() - 4, buttonTop);
    btnPreviewReplace->move(btnGo->x() - kButtonGap - btnPreviewReplace->width(), buttonTop);
    btnAbort->move(btnPreviewReplace->x() - kButtonGap - btnAbort->width(), buttonTop);
    gbRegEx->resize(w - 8, gbRegEx->height());
    edtInput->resize(w - 64, edtInput->height());
    lblOutput->resize(w - 64, lblOutput->height());
    lblRegexMode->move(gbRegEx->width() - lblRegexMode->width() - 8, lblRegexMode->y());
}

void TfrmMain::ShowRegexTester() {
    const bool on = chkRegex->isChecked();
    gbRegEx->setVisible(on);
    const int height = on ? kSearchPanelHeight : kSearchPanelHeightNoTester;
    // Never lower than its controls: "Go" and "Abort" follow the bottom edge.
    pnlLeftTop->setMinimumHeight(height);
    SetPnlLeftTopHeight(height);
}

void TfrmMain::ShowRegexMode() {
    lblRegexMode->setText(options_.LineByLine() ? QStringLiteral(" line by line ")
                                                : QStringLiteral(" whole text "));
    lblRegexMode->setToolTip(options_.LineByLine()
                                 ? QStringLiteral("^ and $ match at line breaks; . stops at them")
                                 : QStringLiteral("^ and $ match at the text's start and end; . "
                                                  "matches line breaks"));
}

void TfrmMain::SetTabOrder() {
    // Reading order: the search panel, the folder, then the results' buttons and tree.
    QWidget* const order[] = {cmbFileMask,        btnAdvanced,
                              chkSearch,          edtSearch,
                              chkMatchCase,       chkRegex,
                              chkReplace,         edtReplace,
                              edtInput,           btnAbort,
                              btnPreviewReplace,  btnGo,
                              edtDirectory,       stv,
                              chkRecurseDirs,     btnExpandFull,
                              btnExpandSelected,  btnExpandOccurence,
                              btnExpandOneLevel,  btnFileOps,
                              btnPreview,         tvLog,
                              pnlPreview,         btnApply,
                              pnlChanges->pnlDiff};
    for (size_t i = 1; i < std::size(order); ++i) {
        setTabOrder(order[i - 1], order[i]);
    }
}

// Until the window is first shown the splitters have no size of their own to divide, so the
// wanted sizes are remembered; the splitters apply them when they are laid out.
int TfrmMain::PnlLeftWidth() const {
    return shown_ ? Splitter1->sizes().value(0) : pendingLeftWidth_;
}

void TfrmMain::SetPnlLeftWidth(int width) {
    pendingLeftWidth_ = width;
    const QList<int> sizes = Splitter1->sizes();
    const int total = std::max(sizes.value(0) + sizes.value(1), width + 1);
    Splitter1->setSizes({width, total - width});
}

int TfrmMain::PnlLeftTopHeight() const {
    return shown_ ? Splitter2->sizes().value(0) : pendingLeftTopHeight_;
}

void TfrmMain::SetPnlLeftTopHeight(int height) {
    pendingLeftTopHeight_ = height;
    const QList<int> sizes = Splitter2->sizes();
    const int total = std::max(sizes.value(0) + sizes.value(1), height + 1);
    Splitter2->setSizes({height, total - height});
}

} // namespace ui
