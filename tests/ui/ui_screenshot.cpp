// Takes the pictures of the windows for the documentation and for looking them over: the main
// window after a search with the tester shown, the Advanced Options dialog, the quick help, the
// backups question, the Browse for Folder dialog, the About box and the two pop-up menus (each
// menu also as the whole screen shows it, when ImageMagick's import is there). Run under a
// display (xvfb-run); writes PNG files into the folder given.
#include "model/UTResultTree.h"
#include "settings/UTSearchOptions.h"
#include "ui/UAppearance.h"
#include "ui/UFolderPathEdit.h"
#include "ui/UFolderTree.h"
#include "ui/UResultTreeModel.h"
#include "ui/UfrmAbout.h"
#include "ui/UfrmAdvancedOptions.h"
#include "ui/UfrmBrowseFolder.h"
#include "ui/UfrmMain.h"
#include "ui/UfrmRegExHelp.h"
#include "ui/UfrmRunFailures.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QCompleter>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <QTreeView>

#include <cstdio>

using settings::ParseLocalTime;
using settings::TSearchOptions;
using settings::TStoreLocation;

namespace {

void Write(const QString& path, const QByteArray& content) {
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    if (f.open(QIODevice::WriteOnly)) {
        f.write(content);
    }
}

void Settle() {
    for (int i = 0; i < 20; ++i) {
        QCoreApplication::processEvents();
    }
}

void Save(QWidget* w, const QString& file) {
    Settle();
    if (!w->grab().save(file)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(file));
    }
}

// The whole screen, with whatever is open on it.
void SaveScreen(const QString& file) {
    Settle();
    const QString import = QStandardPaths::findExecutable(QStringLiteral("import"));
    if (!import.isEmpty()) {
        QProcess::execute(import, {QStringLiteral("-window"), QStringLiteral("root"), file});
    }
}

} // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setFont(ui::WindowFont());
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
    QTemporaryDir scratch;
    // A fixed, readable place for the demo folder, since its path is the tree's first caption:
    // in the home folder, where a user keeps projects, unless something of that name is there.
    QString demo = QDir::home().filePath(QStringLiteral("fernsweep-demo"));
    if (QFileInfo::exists(demo)) {
        demo = scratch.filePath(QStringLiteral("fernsweep-demo"));
    }
    const QString project = demo + QStringLiteral("/website");
    Write(project + "/index.html", "<body class=\"colour-dark\">\n<p>Pick a colour.</p>\n");
    Write(project + "/css/site.css",
          "/* colour scheme */\nh1 { color: navy; }\n.colour-dark { background: #222; }\n");
    Write(project + "/css/print.css", "body { margin: 0; }\n");
    Write(project + "/docs/guide.txt", "Choose a colour.\nThe colour picker opens.\n");
    Write(project + "/docs/licence.txt", "Free to use.\n");
    Write(project + "/images/readme.txt", "PNG files only.\n");
    Write(project + "/js/app.txt",
          "function pick() {\n\t\tconst chosen = 'dark';\n\t\t// the colour the user picked, kept "
          "for the next visit of the page and every page after it\n\t\treturn chosen;\n}\n");

    ui::TfrmMainContext context;
    context.StoreLocation = [dir = scratch.path().toStdString() + "/"] {
        TStoreLocation loc;
        loc.ExeDirectory = dir;
        loc.ExeDirectoryWritable = true;
        return loc;
    };
    context.Arguments = {project};
    ui::TfrmMain frm(std::move(context));
    frm.resize(860, 560);
    frm.show();
    Settle();
    frm.cmbFileMask->setEditText(QStringLiteral("*.html;*.css;*.txt"));
    frm.chkSearch->setChecked(true);
    frm.chkRegex->setChecked(true);
    frm.chkSearchClick();
    frm.chkRegexClick();
    frm.edtSearch->setEditText(QStringLiteral("colou?r"));
    frm.edtReplace->setEditText(QStringLiteral("hue"));
    frm.edtInput->setText(QStringLiteral("Pick a colour, any color."));
    frm.btnGo->click();
    frm.btnExpandOccurence->click();
    Save(&frm, out + "/screenshot-main.png");

    // Reading the results: the match highlighted in each row, and the preview pane below with
    // the selected occurrence in its context.
    frm.btnPreview->click();
    for (int i = 0; i < frm.ResultTree().Count(); ++i) {
        const model::TTreeNode* node = frm.ResultTree().Item(i);
        if (node->IsOccurence() &&
            ui::FromQ(frm.ResultModel().data(frm.ResultModel().IndexOf(node)).toString())
                    .find("user picked") != std::string::npos) {
            frm.tvLog->setCurrentIndex(frm.ResultModel().IndexOf(node));
        }
    }
    Save(&frm, out + "/screenshot-results-preview.png");
    // A folder that does not exist: marked, and the tree keeps its selection.
    frm.edtDirectory->setText(project + "/nowhere");
    frm.edtDirectory->Accept();
    Save(frm.pnlLeft, out + "/look-path-field-missing.png");
    frm.edtDirectory->setText(project);
    frm.edtDirectory->Accept();
    frm.btnPreview->click();

    ui::TfrmAdvancedOptions options(&frm);
    options.show();
    Save(&options, out + "/look-advanced-options.png");
    {
        TSearchOptions filters;
        filters.ModifiedFrom = ParseLocalTime("2024-01-01");
        filters.MaxSize = std::int64_t{1} << 20;
        filters.ExcludeDirs = ".git;node_modules;build";
        filters.SkipBinary = true;
        options.ShowOptions(filters);
        Save(&options, out + "/look-advanced-options-filters.png");
    }
    options.hide();
    {
        const std::string home = QFile::encodeName(QDir::homePath()).toStdString();
        ui::TfrmRunFailures failures(
            "3 failures: these could not be read and were skipped.",
            {"Cannot change to directory: " + home + "/shared/private (Permission denied)",
             "Cannot open file \"" + home + "/shared/notes/salaries.txt\". Permission denied",
             "Cannot open file \"" + home + "/shared/.cache/lock.db\". Permission denied"},
            &frm);
        failures.show();
        Save(&failures, out + "/look-run-failures.png");
    }

    frm.mmRegularExpressionHelp->trigger();
    Save(frm.RegExHelp(), out + "/look-quick-help.png");
    std::printf("quick help %dx%d\n", frm.RegExHelp()->width(), frm.RegExHelp()->height());
    frm.RegExHelp()->close();

    QMessageBox question(QMessageBox::Warning, QCoreApplication::applicationName(),
                         QStringLiteral("Replacing characters in files can be a quite dangerous "
                                        "operation.\r\nDo you want to create backups of changed "
                                        "files?\r\n(This is HIGHLY recommended)"),
                         QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, &frm);
    question.show();
    Save(&question, out + "/look-backups-question.png");
    question.hide();

    {
        ui::TfrmBrowseFolder browse(&frm);
        browse.SetSelectedFolder(QFile::encodeName(project + "/css").toStdString());
        browse.show();
        Save(&browse, out + "/look-browse-folder.png");
    }
    {
        ui::TfrmAbout about(frm.Shell(), &frm);
        about.show();
        Save(&about, out + "/look-about.png");
    }

    // The results menu as a right click on an occurrence opens it, then on a folder.
    const QModelIndex rootNode = frm.ResultModel().index(0, 0);
    QModelIndex occurrence;
    for (int i = 0; i < frm.ResultTree().Count() && !occurrence.isValid(); ++i) {
        if (frm.ResultTree().Item(i)->IsOccurence()) {
            occurrence = frm.ResultModel().IndexOf(frm.ResultTree().Item(i));
        }
    }
    for (const auto& [node, name] : {std::pair{occurrence, QStringLiteral("occurrence")},
                                     std::pair{rootNode, QStringLiteral("folder")}}) {
        const QPoint at(40, frm.tvLog->visualRect(node).center().y());
        frm.tvLogMouseDown(Qt::RightButton, at);
        Save(frm.pmLog, out + "/look-pmlog-" + name + ".png");
        SaveScreen(out + "/look-screen-pmlog-" + name + ".png");
        frm.pmLog->hide();
    }
    frm.btnFileOpsClick();
    Save(frm.pmFileOps, out + "/look-pmfileops.png");
    SaveScreen(out + "/look-screen-pmfileops.png");
    frm.pmFileOps->hide();

    frm.chkRegex->click();
    Save(&frm, out + "/look-main-no-tester.png");
    frm.close();
    QDir(demo).removeRecursively(); // made by this program, above

    return 0;
}
