// The Operations commands through the window, on the menu bar and on the File Operations menu:
// the results report, copying, moving and deleting the found files, and the Browse for Folder
// dialog that copy and move ask for their destination.
#include "UiTestSupport.h"

#include "ui/UResultTreeModel.h"
#include "ui/UfrmBrowseFolder.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFileSystemModel>
#include <QPushButton>
#include <QScopeGuard>
#include <QTimer>
#include <QToolButton>
#include <QTreeView>

#include <functional>

using operations::TAnswer;
using uitest::TWindow;

namespace {

const char* const kMoveWarning =
    "WARNING! This operation will move all (non-Hidden, non-System) files found in the previous "
    "search operation,to a new folder of your choice. It will preserve the original folder "
    "structure.\r\nContinue with the selection of the destination folder?";
const char* const kDeleteWarning =
    "WARNING! This operation is not reversible.\r\nIt will  permanently remove all (non-Hidden, "
    "non-System) files found in the previous search operation\r\nAre you ABSOLUTELY sure you "
    "want to continue?";
const char* const kNothingToDo = "Nothing to do. Please perform a search to get some results";

using TStrings = std::vector<std::string>;

// root/a.txt and root/sub1/b.txt hold the needle; root/sub2/c.txt does not. The line of a.txt
// has the quotes and brackets a report must not escape.
void MakeTree(const QString& root) {
    uitest::WriteFile(root + "/a.txt", "one \"needle\" [x]\n");
    uitest::WriteFile(root + "/sub1/b.txt", "needle\n");
    uitest::WriteFile(root + "/sub2/c.txt", "nothing here\n");
}

void Search(ui::TfrmMain& f, const QString& text = QStringLiteral("needle")) {
    f.cmbFileMask->setEditText(QStringLiteral("*.txt"));
    f.chkSearch->setChecked(true);
    f.edtSearch->setEditText(text);
    f.chkSearchClick();
    f.btnGo->click();
}

std::string B(const QString& s) {
    return uitest::Bytes(s);
}

// Runs `act` on the Browse for Folder dialog as soon as it is shown modally.
void WhenBrowsing(std::function<void(ui::TfrmBrowseFolder&)> act) {
    QTimer::singleShot(0, [act] {
        auto* dialog = qobject_cast<ui::TfrmBrowseFolder*>(QApplication::activeModalWidget());
        QVERIFY(dialog != nullptr);
        // A failed check inside `act` must not leave the dialog waiting for the user.
        const auto closer = qScopeGuard([dialog] {
            if (dialog->isVisible()) {
                dialog->reject();
            }
        });
        act(*dialog);
    });
}

} // namespace

class TestUiOperations : public QObject {
    Q_OBJECT
private:
    QTemporaryDir settings_;
    QTemporaryDir data_;
    QString root_;
    QString out_;

private slots:
    void init() {
        // A blank in the start folder's name: paths go on as they are, never quoted.
        root_ = data_.filePath(QStringLiteral("start %1").arg(QTest::currentTestFunction()));
        out_ = data_.filePath(QStringLiteral("out-%1").arg(QTest::currentTestFunction()));
        MakeTree(root_);
        QVERIFY(QDir().mkpath(out_));
    }

    void reportWrittenCollapsedAndSaveDirMoved() {
        TWindow w(settings_.path(), {root_});
        w.Show();
        Search(*w);
        w->btnExpandFull->click();
        const QModelIndex root = w->ResultModel().index(0, 0);
        QVERIFY(w->tvLog->isExpanded(root));
        const std::string before = w->SaveFolder;
        const QString report = out_ + "/found.log";
        w.Ui->SaveFileAnswer = B(report);
        w->cmGenerateResultsTextFile->trigger();

        QCOMPARE(w.Ui->SaveDialogFolders, TStrings{before});
        QVERIFY(w.Ui->Questions.empty());
        QCOMPARE(w.Ui->Messages, TStrings{"Generated file \"" + B(report) + "\" (4 lines)"});
        // A sub-folder's files come before the start folder's own; nothing is escaped.
        QCOMPARE(uitest::ReadFile(report),
                 QByteArray(B(root_ + "/sub1/b.txt").c_str()) +
                     "\r\n    Line: 0, Char: 1, [\"needle\"]\r\n" +
                     QByteArray(B(root_ + "/a.txt").c_str()) +
                     "\r\n    Line: 0, Char: 6, [\"one \"needle\" [x]\"]\r\n");
        QCOMPARE(w->SaveFolder, B(out_) + "/");
        // The tree keeps its expansion.
        QVERIFY(w->tvLog->isExpanded(root));
    }

    void reportOverwriteAskedThroughTheFileOperationsMenu() {
        TWindow w(settings_.path(), {root_});
        w.Show();
        Search(*w);
        const QString report = out_ + "/found.log";
        uitest::WriteFile(report, "older report\r\n");
        w->SaveFolder = "/somewhere/else/";
        w.Ui->SaveFileAnswer = B(report);

        // No: the old file and the remembered folder stay as they were.
        w.Ui->Answers = {TAnswer::No};
        w->pmGenerateResultsTextFile->trigger();
        QCOMPARE(w.Ui->Questions, TStrings{"File exists. Overwrite?"});
        QVERIFY(w.Ui->Messages.empty());
        QCOMPARE(uitest::ReadFile(report), QByteArray("older report\r\n"));
        QCOMPARE(w->SaveFolder, std::string("/somewhere/else/"));

        // Yes: replaced, and the next dialog opens where this one ended.
        w.Ui->Answers = {TAnswer::Yes};
        w->pmGenerateResultsTextFile->trigger();
        QCOMPARE(w.Ui->Messages, TStrings{"Generated file \"" + B(report) + "\" (4 lines)"});
        QVERIFY(uitest::ReadFile(report).endsWith("[x]\"]\r\n"));
        QCOMPARE(w->SaveFolder, B(out_) + "/");
        w.Ui->SaveFileAnswer.clear(); // cancelled
        w->cmGenerateResultsTextFile->trigger();
        QCOMPARE(w.Ui->SaveDialogFolders,
                 (TStrings{"/somewhere/else/", "/somewhere/else/", B(out_) + "/"}));
        QCOMPARE(w.Ui->Messages.size(), size_t(1));
        QCOMPARE(w->SaveFolder, B(out_) + "/");
    }

    void reportThatCannotBeWrittenStillMovesSaveDir() {
        TWindow w(settings_.path(), {root_});
        w.Show();
        Search(*w);
        const QString report = out_ + "/missing/found.log";
        w.Ui->SaveFileAnswer = B(report);
        w->cmGenerateResultsTextFile->trigger();
        QCOMPARE(w.Ui->Messages, TStrings{"Cannot generate file \"" + B(report) + "\""});
        QCOMPARE(w->SaveFolder, B(out_) + "/missing/");
        QVERIFY(w->tvLog->isExpanded(w->ResultModel().index(0, 0)));
    }

    void reportNeedsMoreThanTheStartFolder() {
        TWindow w(settings_.path(), {root_});
        w.Show();
        const std::string before = w->SaveFolder;
        w.Ui->SaveFileAnswer = B(out_ + "/never.log");
        const std::string nothing = "Nothing to Save. Please perform a search to get some results";
        w->cmGenerateResultsTextFile->trigger(); // no search yet
        QCOMPARE(w.Ui->Messages, TStrings{nothing});
        // A search that leaves only the start folder's node is no better.
        w->chkRecurseDirs->setChecked(false);
        Search(*w, QStringLiteral("absent"));
        QCOMPARE(w->ResultTree().Count(), 1);
        w->pmGenerateResultsTextFile->trigger();
        QCOMPARE(w.Ui->Messages, (TStrings{nothing, nothing}));
        QVERIFY(w.Ui->SaveDialogFolders.empty());
        QVERIFY(!QFile::exists(out_ + "/never.log"));
        QCOMPARE(w->SaveFolder, before);

        // Sub-folders but no finds: two nodes or more, an empty report of 0 lines.
        w->chkRecurseDirs->setChecked(true);
        Search(*w, QStringLiteral("absent"));
        QVERIFY(w->ResultTree().Count() >= 2);
        w->cmGenerateResultsTextFile->trigger();
        QCOMPARE(w.Ui->Messages.back(),
                 "Generated file \"" + B(out_ + "/never.log") + "\" (0 lines)");
        QCOMPARE(uitest::ReadFile(out_ + "/never.log"), QByteArray());
    }

    void copyToAScriptedFolder() {
        TWindow w(settings_.path(), {root_});
        w.Show();
        Search(*w);
        w->FolderPath = "/remembered/destination";
        w.Chooser->Confirm = true;
        w.Chooser->Answer = B(out_);
        w->cmCopyFoundFilesToFolder->trigger();
        QCOMPARE(w.Chooser->InitialFolders, TStrings{"/remembered/destination"});
        QVERIFY(w.Ui->Questions.empty());
        QCOMPARE(w.Ui->Messages, TStrings{"2 files copied to Folder \"" + B(out_) +
                                          "\", preserving folder structure."});
        QCOMPARE(uitest::ReadFile(out_ + "/a.txt"), QByteArray("one \"needle\" [x]\n"));
        QCOMPARE(uitest::ReadFile(out_ + "/sub1/b.txt"), QByteArray("needle\n"));
        QVERIFY(!QFile::exists(out_ + "/sub2"));
        QVERIFY(QFile::exists(root_ + "/a.txt"));
        QCOMPARE(w->FolderPath, B(out_));

        // Again from the File Operations menu: the copies are replaced and counted again.
        uitest::WriteFile(out_ + "/a.txt", "changed");
        w->pmCopyFoundFilestoFolder->trigger();
        QCOMPARE(w.Chooser->InitialFolders.back(), B(out_));
        QCOMPARE(w.Ui->Messages.back(),
                 "2 files copied to Folder \"" + B(out_) + "\", preserving folder structure.");
        QCOMPARE(uitest::ReadFile(out_ + "/a.txt"), QByteArray("one \"needle\" [x]\n"));
    }

    void copyTakesTheFolderSelectedNowAsTheSource() {
        TWindow w(settings_.path(), {root_});
        w.Show();
        Search(*w);
        // Another folder selected after the search: files outside it fail one by one.
        QVERIFY(w->stv->SelectPath(B(root_ + "/sub1")));
        w.Chooser->Confirm = true;
        w.Chooser->Answer = B(out_);
        w->cmCopyFoundFilesToFolder->trigger();
        QCOMPARE(w.Ui->Messages, (TStrings{"Cannot copy file \"" + B(root_ + "/a.txt") +
                                               "\"\r\nto folder \"" + B(out_) + "\"",
                                           "1 file copied to Folder \"" + B(out_) +
                                               "\", preserving folder structure."}));
        QCOMPARE(uitest::ReadFile(out_ + "/b.txt"), QByteArray("needle\n"));
        QVERIFY(!QFile::exists(out_ + "/a.txt"));
    }

    void cancelledOrEmptyCopyAndMoveDoNothing() {
        TWindow w(settings_.path(), {root_});
        w.Show();
        // No results: the message, and no dialog or question at all.
        w->cmCopyFoundFilesToFolder->trigger();
        w->pmMoveFoundFilestoFolder->trigger();
        w->cmDeleteFoundFilesPermanently->trigger();
        QCOMPARE(w.Ui->Messages, (TStrings{kNothingToDo, kNothingToDo, kNothingToDo}));
        QVERIFY(w.Ui->Questions.empty());
        QVERIFY(w.Chooser->InitialFolders.empty());

        Search(*w);
        w.Ui->Messages.clear();
        w->FolderPath = "/kept";
        w.Chooser->Confirm = false; // Cancel in the dialog
        w->cmCopyFoundFilesToFolder->trigger();
        w.Ui->Answers = {TAnswer::Yes};
        w->cmMoveFoundFilestoFolder->trigger();
        QCOMPARE(w.Chooser->InitialFolders, (TStrings{"/kept", "/kept"}));
        QVERIFY(w.Ui->Messages.empty());
        QCOMPARE(w->FolderPath, std::string("/kept"));
        QVERIFY(QFile::exists(root_ + "/a.txt") && QFile::exists(root_ + "/sub1/b.txt"));
    }

    void moveWarningNoThenYesThenDeleteOfTheMovedFiles() {
        TWindow w(settings_.path(), {root_});
        w.Show();
        Search(*w);
        w.Chooser->Confirm = true;
        w.Chooser->Answer = B(out_);
        w.Ui->Answers = {TAnswer::No};
        w->cmMoveFoundFilestoFolder->trigger();
        QCOMPARE(w.Ui->Questions, TStrings{kMoveWarning});
        QVERIFY(w.Chooser->InitialFolders.empty()); // stopped before the dialog
        QVERIFY(w.Ui->Messages.empty());
        QVERIFY(QFile::exists(root_ + "/a.txt"));

        // A target that exists already is never replaced by a move.
        uitest::WriteFile(out_ + "/a.txt", "already there");
        w.Ui->Answers = {TAnswer::Yes};
        w->pmMoveFoundFilestoFolder->trigger();
        QCOMPARE(w.Ui->Messages, (TStrings{"Cannot move file \"" + B(root_ + "/a.txt") +
                                               "\"\r\nto folder \"" + B(out_) + "\"",
                                           "1 file moved to Folder \"" + B(out_) +
                                               "\", preserving folder structure."}));
        QCOMPARE(uitest::ReadFile(out_ + "/a.txt"), QByteArray("already there"));
        QVERIFY(QFile::exists(root_ + "/a.txt"));
        QVERIFY(!QFile::exists(root_ + "/sub1/b.txt"));
        QCOMPARE(uitest::ReadFile(out_ + "/sub1/b.txt"), QByteArray("needle\n"));
        QCOMPARE(w->FolderPath, B(out_));

        // The tree still lists the old paths: the moved file cannot be deleted there.
        w.Ui->Messages.clear();
        w.Ui->Questions.clear();
        w.Ui->Answers = {TAnswer::Yes};
        w->cmDeleteFoundFilesPermanently->trigger();
        QCOMPARE(w.Ui->Questions, TStrings{kDeleteWarning});
        QCOMPARE(w.Ui->Messages,
                 (TStrings{"Cannot delete file \"" + B(root_ + "/sub1/b.txt") + "\"",
                           "1 file have been succesfully deleted."}));
        QVERIFY(!QFile::exists(root_ + "/a.txt"));
    }

    void deleteWarningYesThenSummary() {
        TWindow w(settings_.path(), {root_});
        w.Show();
        Search(*w);
        w.Ui->Answers = {TAnswer::No};
        w->pmDeleteFoundFilesPermanently->trigger();
        QCOMPARE(w.Ui->Questions, TStrings{kDeleteWarning});
        QVERIFY(w.Ui->Messages.empty());
        QVERIFY(QFile::exists(root_ + "/a.txt"));

        w.Ui->Answers = {TAnswer::Yes};
        w->cmDeleteFoundFilesPermanently->trigger();
        QCOMPARE(w.Ui->Messages, TStrings{"2 files have been succesfully deleted."});
        QVERIFY(!QFile::exists(root_ + "/a.txt"));
        QVERIFY(!QFile::exists(root_ + "/sub1/b.txt"));
        QVERIFY(QFile::exists(root_ + "/sub2/c.txt")); // not found, not touched
        // Deleting the same results again: one failure per file, then 0 files.
        w.Ui->Answers = {TAnswer::Yes};
        w->cmDeleteFoundFilesPermanently->trigger();
        QCOMPARE(w.Ui->Messages,
                 (TStrings{"2 files have been succesfully deleted.",
                           "Cannot delete file \"" + B(root_ + "/sub1/b.txt") + "\"",
                           "Cannot delete file \"" + B(root_ + "/a.txt") + "\"",
                           "0 files have been succesfully deleted."}));
    }

    void browseForFolderDialog() {
        ui::TfrmBrowseFolder d;
        QCOMPARE(d.objectName(), QStringLiteral("frmBrowseFolder"));
        QCOMPARE(d.windowTitle(), QStringLiteral("Browse for Folder..."));
        QVERIFY(d.isModal());
        QCOMPARE(d.btnOk->text(), QStringLiteral("OK"));
        QCOMPARE(d.btnCancel->text(), QStringLiteral("Cancel"));
        QVERIFY(d.btnOk->isDefault());
        QVERIFY(!(d.stv->FileSystemModel()->filter() & QDir::Files)); // folders only
        QCOMPARE(d.stv->FileSystemModel()->rootPath(), QStringLiteral("/"));
        QCOMPARE(d.GetSelectedFolder(), std::string());
        // A folder that is gone, or none, leaves the selection as it was.
        d.SetSelectedFolder("");
        d.SetSelectedFolder("/nowhere/at/all");
        QCOMPARE(d.GetSelectedFolder(), std::string());
        d.SetSelectedFolder(B(out_));
        QCOMPARE(d.GetSelectedFolder(), B(out_));
        d.SetSelectedFolder(B(root_ + "/sub1/b.txt")); // a file is no folder
        QCOMPARE(d.GetSelectedFolder(), B(out_));
        d.SetSelectedFolder("/");
        QCOMPARE(d.GetSelectedFolder(), std::string("/"));
    }

    void realDialogPlacementKeptOnlyAfterOk() {
        QTemporaryDir settings;
        const QString ini = settings.filePath(QStringLiteral("Fernsweep.ini"));
        auto scripted = std::make_unique<uitest::TScriptedUserInterface>();
        uitest::TScriptedUserInterface* answers = scripted.get();
        ui::TfrmMainContext context;
        context.UserInterface = std::move(scripted);
        context.Shell = std::make_unique<uitest::TRecordingShell>();
        context.StoreLocation = uitest::StoreIn(settings.path());
        context.Arguments = {root_};
        ui::TfrmMain frm(std::move(context)); // the Browse for Folder dialog itself
        frm.show();
        QVERIFY(QTest::qWaitForWindowExposed(&frm));
        Search(frm);
        frm.FolderPath = B(out_);

        // Cancel: nothing copied, nothing remembered, no placement written.
        WhenBrowsing([this](ui::TfrmBrowseFolder& d) {
            QCOMPARE(d.GetSelectedFolder(), B(out_)); // opens on the remembered folder
            d.setGeometry(40, 50, 400, 300);
            d.btnCancel->click();
        });
        frm.cmCopyFoundFilesToFolder->trigger();
        QVERIFY(answers->Messages.empty());
        QVERIFY(!uitest::ReadFile(ini).contains("[frmBrowseFolder]"));

        // OK: copied to the folder chosen, the placement written at once.
        const QString chosen = out_ + "/chosen";
        QVERIFY(QDir().mkpath(chosen));
        WhenBrowsing([&chosen](ui::TfrmBrowseFolder& d) {
            d.SetSelectedFolder(B(chosen));
            d.setGeometry(40, 50, 400, 300);
            d.btnOk->click();
        });
        frm.pmCopyFoundFilestoFolder->trigger();
        QCOMPARE(answers->Messages, TStrings{"2 files copied to Folder \"" + B(chosen) +
                                             "\", preserving folder structure."});
        QCOMPARE(frm.FolderPath, B(chosen));
        const QByteArray stored = uitest::ReadFile(ini);
        QVERIFY(stored.contains("[frmBrowseFolder]"));
        QVERIFY(stored.contains("Width=400"));
        QVERIFY(stored.contains("Height=300"));

        // The next dialog comes back there; a folder that cannot be selected is passed on as
        // nothing, and the destination message says so.
        frm.FolderPath = "/nowhere/at/all";
        QRect seen;
        WhenBrowsing([&seen](ui::TfrmBrowseFolder& d) {
            seen = d.geometry();
            d.stv->clearSelection();
            d.stv->setCurrentIndex({});
            d.btnOk->click();
        });
        frm.cmCopyFoundFilesToFolder->trigger();
        QCOMPARE(seen, QRect(40, 50, 400, 300));
        QCOMPARE(answers->Messages.back(), std::string("Destination Folder \"\" does not exist."));
        QCOMPARE(frm.FolderPath, std::string());
        QVERIFY(QApplication::activeModalWidget() == nullptr);
    }
};

QTEST_MAIN(TestUiOperations)
#include "test_ui_operations.moc"
