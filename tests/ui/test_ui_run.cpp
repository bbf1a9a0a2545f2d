// "Go" and "Abort" end to end on a generated folder tree, and the results tree's navigation.
#include "UiTestSupport.h"

#include "engine/UTSearchEngine.h"
#include "ui/UResultTreeModel.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QToolButton>
#include <QTreeView>

using operations::TAnswer;
using uitest::TWindow;

namespace {

// start/a.txt (3 finds), start/sub1/b.txt (1), start/sub2/c.txt (none), start/sub2/deeper/d.log.
void MakeTree(const QString& root) {
    uitest::WriteFile(root + "/a.txt", "one needle\nneedle needle\n");
    uitest::WriteFile(root + "/sub1/b.txt", "needle\n");
    uitest::WriteFile(root + "/sub2/c.txt", "nothing here\n");
    uitest::WriteFile(root + "/sub2/deeper/d.log", "needle\n");
}

QStringList Items(const QComboBox* box) {
    QStringList items;
    for (int i = 0; i < box->count(); ++i) {
        items << box->itemText(i);
    }
    return items;
}

// The child of `parent` whose caption begins with `prefix`.
QModelIndex Child(const QAbstractItemModel& m, const QModelIndex& parent, const QString& prefix) {
    for (int i = 0; i < m.rowCount(parent); ++i) {
        const QModelIndex c = m.index(i, 0, parent);
        if (c.data().toString().startsWith(prefix)) {
            return c;
        }
    }
    return {};
}

void SetUpSearch(ui::TfrmMain& f, const QString& text) {
    f.cmbFileMask->setEditText(QStringLiteral("*.txt"));
    f.chkSearch->setChecked(true);
    f.edtSearch->setEditText(text);
    f.chkSearchClick();
}

} // namespace

class TestUiRun : public QObject {
    Q_OBJECT
private:
    QTemporaryDir settings_;
    QTemporaryDir data_;
    QString root_;

private slots:
    void init() {
        root_ = data_.filePath(QStringLiteral("start%1").arg(QTest::currentTestFunction()));
        MakeTree(root_);
    }

    void searchEndToEnd() {
        TWindow w(settings_.path(), {root_});
        w.Show();
        QCOMPARE(w->stv->SelectedPath(), uitest::Bytes(root_));
        SetUpSearch(*w, QStringLiteral("needle"));
        w->btnGo->click();

        QVERIFY(w.Ui->Questions.empty());
        QVERIFY(w.Ui->Errors.empty());
        QCOMPARE(w->sbStatus->text(), QStringLiteral("Found 4 occurences in 2 files."));
        QVERIFY(w->btnGo->isEnabled());
        QVERIFY(!w->btnAbort->isEnabled());
        QVERIFY(w->gauProgress->isHidden());
        QVERIFY(w->tvLog->updatesEnabled());
        QVERIFY(!w->ResultModel().Frozen());
        QCOMPARE(Items(w->cmbFileMask), (QStringList{"*.txt", "*.*"}));
        QCOMPARE(Items(w->edtSearch), QStringList{"needle"});
        QCOMPARE(w->edtReplace->count(), 0);

        // Shown one level deep, the root selected and focused.
        const auto& m = w->ResultModel();
        const QModelIndex root = m.index(0, 0);
        QVERIFY(root.data().toString().endsWith(" - 4 occurences in 2 files"));
        QCOMPARE(m.rowCount(root), 3);
        QVERIFY(w->tvLog->isExpanded(root));
        QVERIFY(!w->tvLog->isExpanded(Child(m, root, "sub1")));
        QCOMPARE(w->tvLog->currentIndex(), root);
        QCOMPARE(w->focusWidget(), w->tvLog);
        // root; sub1, sub2, a.txt; b.txt and deeper; four occurrences
        QCOMPARE(w->ResultTree().Count(), 1 + 3 + 2 + 4);
    }

    void cancelAtTheBackupsQuestionChangesNothing() {
        TWindow w(settings_.path(), {root_});
        w.Show();
        SetUpSearch(*w, QStringLiteral("needle"));
        w->chkReplace->setChecked(true);
        w->edtReplace->setEditText(QStringLiteral("pin"));
        w->sbStatus->setText(QStringLiteral("before"));
        w.Ui->Answers = {TAnswer::Cancel};
        w->btnGo->click();
        QCOMPARE(w.Ui->Questions.size(), size_t(1));
        QCOMPARE(w.Ui->Questions[0],
                 std::string("Replacing characters in files can be a quite dangerous "
                             "operation.\r\nDo you want to create backups of changed files?\r\n"
                             "(This is HIGHLY recommended)"));
        QCOMPARE(w->sbStatus->text(), QStringLiteral("before"));
        QCOMPARE(w->cmbFileMask->count(), 1);
        QCOMPARE(w->edtSearch->count(), 0);
        QCOMPARE(w->edtReplace->count(), 0);
        QCOMPARE(w->ResultTree().Count(), 0);
        QCOMPARE(uitest::ReadFile(root_ + "/a.txt"), QByteArray("one needle\nneedle needle\n"));
    }

    void replaceWithAndWithoutBackups() {
        TWindow w(settings_.path(), {root_});
        w.Show();
        SetUpSearch(*w, QStringLiteral("needle"));
        w->chkReplace->setChecked(true);
        w->edtReplace->setEditText(QStringLiteral("pin"));
        w.Ui->Answers = {TAnswer::Yes};
        w->btnGo->click();
        QCOMPARE(w->sbStatus->text(), QStringLiteral("Made 4 replacements in 2 files."));
        QVERIFY(uitest::ReadFile(root_ + "/a.txt").contains("one pin"));
        QCOMPARE(uitest::ReadFile(root_ + "/a.~txt"), QByteArray("one needle\nneedle needle\n"));
        QCOMPARE(Items(w->edtReplace), QStringList{"pin"});

        w->edtSearch->setEditText(QStringLiteral("pin"));
        w->edtReplace->setEditText(QStringLiteral("nail"));
        w.Ui->Answers = {TAnswer::No};
        w->btnGo->click();
        QVERIFY(uitest::ReadFile(root_ + "/sub1/b.txt").contains("nail"));
        QVERIFY(!QFile::exists(root_ + "/sub1/b.~txt1"));
        QCOMPARE(uitest::ReadFile(root_ + "/sub1/b.~txt"), QByteArray("needle\n"));
        QCOMPARE(Items(w->edtSearch), (QStringList{"pin", "needle"}));
    }

    void withoutSearchNoQuestionAndNoFileRead() {
        TWindow w(settings_.path(), {root_});
        w.Show();
        w->cmbFileMask->setEditText(QStringLiteral(";;*.txt;;"));
        w->chkSearch->setChecked(false);
        w->chkReplace->setChecked(true);
        w->chkSearchClick();
        w->btnGo->click();
        QVERIFY(w.Ui->Questions.empty());
        QCOMPARE(w->sbStatus->text(), QStringLiteral("3 files found."));
        QCOMPARE(w->edtSearch->count(), 0);
        QCOMPARE(Items(w->edtReplace), QStringList{QString()});

        w->cmbFileMask->setEditText(QString());
        w->btnGo->click();
        QCOMPARE(w->sbStatus->text(), QStringLiteral("0 files found."));
        QCOMPARE(w->ResultTree().Count(), 4); // every folder walked, no file found
    }

    void abortThroughThePump() {
        std::vector<bool> goEnabled;
        bool frozenDuringRun = false;
        int pumps = 0;
        ui::TfrmMain* frm = nullptr;
        TWindow w(settings_.path(), {root_}, [&] {
            ++pumps;
            if (pumps == 1) {
                // The tree is frozen for the whole run: no rows, no painting, and the
                // navigation buttons find nothing to open.
                frozenDuringRun = frm->ResultModel().rowCount() == 0 &&
                                  frm->ResultModel().Frozen() && !frm->tvLog->updatesEnabled();
                frm->btnExpandFull->click();
                frm->btnExpandOneLevel->click();
                frozenDuringRun = frozenDuringRun && !frm->tvLog->updatesEnabled() &&
                                  !frm->gauProgress->isHidden();
                // The enabling rules run during the run but never offer "Go".
                frm->edtSearch->setEditText(QStringLiteral("needle2"));
                frm->chkSearch->click();
                frm->chkSearch->click();
                goEnabled.push_back(frm->btnGo->isEnabled());
                frm->btnAbort->click();
                goEnabled.push_back(frm->btnGo->isEnabled());
                goEnabled.push_back(frm->btnAbort->isEnabled());
                // A click queued behind Abort must not start a run inside the run.
                frm->btnGo->click();
            }
            QCoreApplication::processEvents();
        });
        frm = w.Frm.get();
        w.Show();
        SetUpSearch(*w, QStringLiteral("needle"));
        QSignalSpy status(frm, &ui::TfrmMain::statusChanged);
        w->btnGo->click();
        QCOMPARE(goEnabled, (std::vector<bool>{false, true, false}));
        QVERIFY(frozenDuringRun);
        QVERIFY(w->Engine().Aborted);
        QCOMPARE(pumps, 1); // no folder is entered after the abort
        int summaries = 0;
        for (const auto& args : status) {
            summaries += args.at(0).toString().startsWith("Found ") ? 1 : 0;
        }
        QCOMPARE(summaries, 1);
        QVERIFY(w->sbStatus->text().startsWith("Found "));
        QVERIFY(w->btnGo->isEnabled());
        QVERIFY(!w->btnAbort->isEnabled());
        QVERIFY(w->gauProgress->isHidden());
        QVERIFY(!w->Running());
    }

    void badPatternEndsTheRunAndRestoresTheWindow() {
        TWindow w(settings_.path(), {root_});
        w.Show();
        SetUpSearch(*w, QStringLiteral("("));
        w->chkRegex->setChecked(true);
        w->btnGo->click();
        QCOMPARE(w.Ui->Errors.size(), size_t(1));
        QCOMPARE(w.Ui->Errors[0], std::string("TRegExpr(comp): ParseReg Unmatched () (pos 1)"));
        QVERIFY(!w->sbStatus->text().startsWith("Found"));
        QVERIFY(w->btnGo->isEnabled());
        QVERIFY(!w->btnAbort->isEnabled());
        QVERIFY(w->gauProgress->isHidden());
        QVERIFY(w->tvLog->updatesEnabled());
        QVERIFY(!w->ResultModel().Frozen());
        QVERIFY(w->ResultTree().Count() >= 1); // the nodes added so far stay
        // The window is usable again: a good pattern runs.
        w->edtSearch->setEditText(QStringLiteral("ne+dle"));
        w->btnGo->click();
        QCOMPARE(w->sbStatus->text(), QStringLiteral("Found 4 occurences in 2 files."));
    }

    void unreadableFilesComeInOneBoxAtTheEnd() {
        // Once sub1 is entered, sub2 (not yet entered) and a.txt (not yet read) vanish: one
        // folder that cannot be entered and one file that cannot be read, whoever runs the test.
        ui::TfrmMain* frm = nullptr;
        TWindow w(settings_.path(), {root_}, [&] {
            if (frm != nullptr && frm->sbStatus->text().contains(QStringLiteral("/sub1/"))) {
                QDir(root_ + "/sub2").removeRecursively();
                QFile::remove(root_ + "/a.txt");
            }
        });
        frm = &*w;
        w.Show();
        SetUpSearch(*w, QStringLiteral("needle"));
        w->btnGo->click();
        QVERIFY(w.Ui->Errors.empty());
        QCOMPARE(w.Ui->Messages.size(), size_t(1));
        const std::string& box = w.Ui->Messages[0];
        const std::string root = uitest::Bytes(root_);
        QCOMPARE(box, "2 failures: these could not be read and were skipped.\r\n"
                      "Cannot change to directory: " +
                          root +
                          "/sub2 (No such file or directory)\r\n"
                          "Cannot open file \"" +
                          root + "/a.txt\". No such file or directory");
        QCOMPARE(w->sbStatus->text(), QStringLiteral("Found 1 occurence in 1 file."));
        QVERIFY(w->sbStatus->toolTip().contains(QStringLiteral("files that could not be read: 1")));

        // Stopping at the first: the folder is told at once, the file ends the run as an error.
        MakeTree(root_);
        w->Options().StopOnError = true;
        w->btnGo->click();
        QCOMPARE(w.Ui->Messages.size(), size_t(2));
        QCOMPARE(w.Ui->Messages[1], std::string("Cannot change to directory: sub2"));
        QCOMPARE(w.Ui->Errors.size(), size_t(1));
        QVERIFY(w.Ui->Errors[0].find("a.txt") != std::string::npos);
    }

    void closingDuringARunClosesAfterIt() {
        QTemporaryDir settings;
        ui::TfrmMain* frm = nullptr;
        bool visibleAfterClose = false;
        TWindow w(settings.path(), {root_}, [&] {
            if (frm->isVisible() && !visibleAfterClose) {
                frm->close();
                visibleAfterClose = frm->isVisible();
            }
            QCoreApplication::processEvents();
        });
        frm = w.Frm.get();
        w.Show();
        SetUpSearch(*w, QStringLiteral("needle"));
        QSignalSpy closed(frm, &ui::TfrmMain::formClosed);
        w->btnGo->click();
        QVERIFY(visibleAfterClose);
        QVERIFY(w->Engine().Aborted);
        QCOMPARE(closed.count(), 0);
        QTRY_COMPARE(closed.count(), 1);
        QVERIFY(!frm->isVisible());
        QVERIFY(QFile::exists(settings.filePath("Fernsweep.ini")));
    }

    void navigationButtons() {
        TWindow w(settings_.path(), {root_});
        w.Show();
        // On an empty tree they do nothing at all.
        w->edtSearch->setFocus();
        for (QToolButton* b : {w->btnExpandFull, w->btnExpandSelected, w->btnExpandOccurence,
                               w->btnExpandOneLevel}) {
            b->click();
            QVERIFY(QApplication::overrideCursor() == nullptr);
            QCOMPARE(w->focusWidget(), w->edtSearch);
        }
        SetUpSearch(*w, QStringLiteral("needle"));
        w->btnGo->click();
        const auto& m = w->ResultModel();
        QTreeView* tv = w->tvLog;
        const QModelIndex root = m.index(0, 0);
        const QModelIndex sub1 = Child(m, root, "sub1");
        const QModelIndex sub2 = Child(m, root, "sub2");
        const QModelIndex a = Child(m, root, "a.txt");
        const QModelIndex b = Child(m, sub1, "b.txt");
        QVERIFY(sub1.isValid() && sub2.isValid() && a.isValid() && b.isValid());
        auto afterButton = [&] {
            QCOMPARE(tv->currentIndex(), root);
            QCOMPARE(w->focusWidget(), tv);
            QVERIFY(QApplication::overrideCursor() == nullptr);
            QVERIFY(tv->updatesEnabled());
        };

        w->btnExpandSelected->click(); // file level
        QVERIFY(tv->isExpanded(root) && tv->isExpanded(sub1));
        QVERIFY(!tv->isExpanded(sub2) && !tv->isExpanded(a) && !tv->isExpanded(b));
        afterButton();
        w->btnExpandOccurence->click();
        QVERIFY(tv->isExpanded(root) && tv->isExpanded(sub1) && tv->isExpanded(a) &&
                tv->isExpanded(b));
        QVERIFY(!tv->isExpanded(sub2));
        afterButton();
        w->btnExpandFull->click();
        QVERIFY(tv->isExpanded(sub2));
        QVERIFY(tv->visualRect(Child(m, sub2, "deeper")).isValid()); // a leaf, now in view
        afterButton();
        w->btnExpandOneLevel->click();
        QVERIFY(tv->isExpanded(root));
        QVERIFY(!tv->isExpanded(sub1) && !tv->isExpanded(a) && !tv->isExpanded(sub2));
        afterButton();

        // A start folder without finds: "Expand to File level" leaves everything closed.
        w->edtSearch->setEditText(QStringLiteral("absent"));
        w->btnGo->click();
        QCOMPARE(w->sbStatus->text(), QStringLiteral("Found 0 occurences in 0 files."));
        w->btnExpandSelected->click();
        QVERIFY(!tv->isExpanded(m.index(0, 0)));
        QCOMPARE(tv->currentIndex(), m.index(0, 0));
    }

    void rightClickMenu() {
        TWindow w(settings_.path(), {root_});
        w.Show();
        w->move(0, 0); // the menu fits the small offscreen screen where it was asked to open
        QTreeView* tv = w->tvLog;
        // Nothing under the mouse and nothing selected: no menu.
        QTest::mouseClick(tv->viewport(), Qt::RightButton, {}, QPoint(50, 50));
        QVERIFY(!w->pmLog->isVisible());

        SetUpSearch(*w, QStringLiteral("needle"));
        w->btnGo->click();
        w->btnExpandOccurence->click();
        const auto& m = w->ResultModel();
        const QModelIndex root = m.index(0, 0);
        const QModelIndex a = Child(m, root, "a.txt");
        const QModelIndex occ = m.index(0, 0, a);
        auto rightClick = [&](const QPoint& at) {
            QTest::mouseClick(tv->viewport(), Qt::RightButton, {}, at);
            QTRY_VERIFY(w->pmLog->isVisible());
            QCOMPARE(w->pmLog->pos(), tv->viewport()->mapToGlobal(at + QPoint(4, 4)));
            w->pmLog->hide();
        };
        rightClick(QPoint(10, tv->visualRect(occ).center().y()));
        QCOMPARE(tv->currentIndex(), occ);
        QVERIFY(w->SelectedNode()->ImageIndex() == 6);
        QVERIFY(w->cmExploreFolder->isEnabled() && w->cmShellOpenFile->isEnabled() &&
                w->cmView->isEnabled());
        rightClick(QPoint(10, tv->visualRect(Child(m, root, "sub1")).center().y()));
        QVERIFY(w->cmExploreFolder->isEnabled());
        QVERIFY(!w->cmShellOpenFile->isEnabled() && !w->cmView->isEnabled());
        // Empty space below the nodes: the menu is for the node already selected.
        rightClick(QPoint(10, tv->viewport()->height() - 120));
        QCOMPARE(tv->currentIndex(), Child(m, root, "sub1"));
    }
};

QTEST_MAIN(TestUiRun)
#include "test_ui_run.moc"
