// A replacement reviewed before it is written and taken back after, end to end in the real
// window: Preview writes nothing, the ticked edits are applied and the others kept, a file
// changed since the preview is left alone, and "Undo last replacement" restores what Apply and
// Go wrote. The journal lives in the tests' own state folder (UiTestSupport).
#include "UiTestSupport.h"

#include "ui/UChangesPane.h"
#include "ui/UPreviewPane.h"
#include "ui/UResultTreeModel.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QMenu>
#include <QProcess>
#include <QPushButton>
#include <QTreeView>

using operations::TAnswer;
using uitest::ReadFile;
using uitest::TWindow;
using uitest::WriteFile;

namespace {

// The node whose caption begins with `prefix`, anywhere below `parent`.
QModelIndex Find(const QAbstractItemModel& m, const QString& prefix,
                 const QModelIndex& parent = {}) {
    for (int i = 0; i < m.rowCount(parent); ++i) {
        const QModelIndex c = m.index(i, 0, parent);
        if (c.data().toString().startsWith(prefix)) {
            return c;
        }
        if (const QModelIndex below = Find(m, prefix, c); below.isValid()) {
            return below;
        }
    }
    return {};
}

Qt::CheckState Check(const QModelIndex& index) {
    return static_cast<Qt::CheckState>(index.data(Qt::CheckStateRole).toInt());
}

QString DiffText(const ui::TfrmMain& f) {
    QStringList lines;
    for (const ui::TPreviewPane::TLine& line : f.pnlChanges->pnlDiff->Lines()) {
        lines << line.Text;
    }
    return lines.join(QLatin1Char('\n'));
}

void SetUpReplacement(ui::TfrmMain& f) {
    f.cmbFileMask->setEditText(QStringLiteral("*.txt"));
    f.chkSearch->setChecked(true);
    f.chkSearchClick();
    f.edtSearch->setEditText(QStringLiteral("needle"));
    QVERIFY(!f.btnPreviewReplace->isEnabled()); // "Replace with:" is off
    f.chkReplace->click();
    f.edtReplace->setEditText(QStringLiteral("pin"));
    QVERIFY(f.btnPreviewReplace->isEnabled());
}

} // namespace

class TestUiChanges : public QObject {
    Q_OBJECT
private:
    QTemporaryDir settings_;
    QTemporaryDir data_;

private slots:
    void previewChooseApplyAndUndo() {
        const QString root = data_.filePath(QStringLiteral("preview"));
        const QByteArray a = "one needle\nneedle needle\n";
        WriteFile(root + "/a.txt", a);
        WriteFile(root + "/sub/b.txt", "needle\n");
        TWindow w(settings_.path(), {root});
        w.Show();
        SetUpReplacement(*w);
        const QStringList before = QDir(root).entryList(QDir::Files | QDir::Dirs);

        w->btnPreviewReplace->click();
        QVERIFY(w.Ui->Questions.empty()); // nothing is written, so no backups question
        QCOMPARE(ReadFile(root + "/a.txt"), a);
        QCOMPARE(QDir(root).entryList(QDir::Files | QDir::Dirs), before);
        QVERIFY(w->Previewing());
        QVERIFY(w->pnlChanges->isVisible());
        QVERIFY(w->btnApply->isEnabled());

        // Every file and occurrence is ticked and shows its line as it will be.
        const QAbstractItemModel& m = w->ResultModel();
        const QModelIndex fileA = Find(m, QStringLiteral("a.txt"));
        QCOMPARE(Check(fileA), Qt::Checked);
        QCOMPARE(m.rowCount(fileA), 3);
        const QModelIndex first = m.index(0, 0, fileA);
        const QModelIndex second = m.index(1, 0, fileA);
        const QModelIndex third = m.index(2, 0, fileA);
        QCOMPARE(first.data(ui::TResultTreeModel::AfterRole).toString(), "\"one pin\"");
        QCOMPARE(third.data(ui::TResultTreeModel::AfterRole).toString(), "\"pin pin\"");
        QCOMPARE(third.data(ui::TResultTreeModel::AfterMatchRole).toPoint(), QPoint(5, 3));

        // Space unticks the second occurrence: the file is partly ticked, the third's line
        // keeps the second's match, and the diff follows.
        w->tvLog->setCurrentIndex(second);
        QTest::keyClick(w->tvLog, Qt::Key_Space);
        QCOMPARE(Check(second), Qt::Unchecked);
        QCOMPARE(Check(fileA), Qt::PartiallyChecked);
        QCOMPARE(third.data(ui::TResultTreeModel::AfterRole).toString(), "\"needle pin\"");
        QCOMPARE(third.data(ui::TResultTreeModel::AfterMatchRole).toPoint(), QPoint(8, 3));
        QVERIFY(DiffText(*w).endsWith("-one needle\n-needle needle\n+one pin\n+needle pin"));
        // The gutter: the line's number before, then after.
        const QList<ui::TPreviewPane::TLine>& diff = w->pnlChanges->pnlDiff->Lines();
        QCOMPARE(diff[diff.size() - 3].Gutter, "2  ");
        QCOMPARE(diff.back().Gutter, "  2");
        QVERIFY(w->pnlChanges->lblChosen->text().startsWith("3 of 4 replacements"));
        // A file's box ticks and unticks all of its occurrences.
        const QModelIndex fileB = Find(m, QStringLiteral("b.txt"));
        w->tvLog->setCurrentIndex(fileB);
        QTest::keyClick(w->tvLog, Qt::Key_Space);
        QCOMPARE(Check(m.index(0, 0, fileB)), Qt::Unchecked);
        QCOMPARE(w->pnlChanges->pnlDiff->toPlainText(), "No replacement is ticked in this file.");
        QTest::keyClick(w->tvLog, Qt::Key_Space);
        QCOMPARE(Check(m.index(0, 0, fileB)), Qt::Checked);

        // b.txt changes behind the preview's back: the pane says so and Apply leaves it alone.
        WriteFile(root + "/sub/b.txt", "needle, edited\n");
        w->tvLog->setCurrentIndex(fileA);
        w->tvLog->setCurrentIndex(fileB);
        QVERIFY(w->pnlChanges->lblWarning->isVisible());
        w.Ui->Answers = {TAnswer::No}; // no backups
        w->btnApply->click();
        QCOMPARE(ReadFile(root + "/a.txt"), "one pin\nneedle pin\n");
        QCOMPARE(ReadFile(root + "/sub/b.txt"), "needle, edited\n");
        QVERIFY(w->sbStatus->text().startsWith("1 file written (2 replacements), 1 file changed"));
        QVERIFY(!w->Previewing());
        QVERIFY(!w->pnlChanges->isVisible());
        QVERIFY(!(m.flags(first) & Qt::ItemIsUserCheckable));
        QVERIFY(!first.data(Qt::CheckStateRole).isValid());

        // Undo, asked first, ends a preview made since (its findings no longer hold); then
        // nothing is left to undo.
        w->btnPreviewReplace->click();
        QVERIFY(w->Previewing());
        w.Ui->Questions.clear();
        w.Ui->Answers = {TAnswer::Yes};
        w->cmUndoLastReplacement->trigger();
        QVERIFY(!w->Previewing());
        QCOMPARE(w.Ui->Questions.size(), size_t{1});
        const std::string& question = w.Ui->Questions.front();
        QVERIFY(question.find("needle") != std::string::npos);
        QVERIFY(question.find("pin") != std::string::npos);
        QVERIFY(question.find("1 file written") != std::string::npos);
        QCOMPARE(ReadFile(root + "/a.txt"), a);
        QVERIFY(w.Ui->Messages.back().find("Restored 1 file:") == 0);
        w->mmOperations->aboutToShow();
        QVERIFY(!w->cmUndoLastReplacement->isEnabled());
        w->cmUndoLastReplacementClick(); // reached anyway: it explains
        QCOMPARE(w.Ui->Questions.size(), size_t{1});
        QVERIFY(w.Ui->Messages.back().find("There is no replacement to undo") == 0);
    }

    void goRecordsItsReplacement() {
        const QString root = data_.filePath(QStringLiteral("go"));
        WriteFile(root + "/a.txt", "needle\n");
        WriteFile(root + "/b.txt", "a needle\n");
        TWindow w(settings_.path(), {root});
        w.Show();
        SetUpReplacement(*w);
        w.Ui->Answers = {TAnswer::No};
        w->btnGo->click();
        QCOMPARE(ReadFile(root + "/b.txt"), "a pin\n");
        // Edited since: left alone and named.
        WriteFile(root + "/a.txt", "pin, edited\n");
        w.Ui->Answers = {TAnswer::Yes};
        w->cmUndoLastReplacement->trigger();
        QCOMPARE(ReadFile(root + "/b.txt"), "a needle\n");
        QCOMPARE(ReadFile(root + "/a.txt"), "pin, edited\n");
        QVERIFY(w.Ui->Messages.back().find("edited since the replacement") != std::string::npos);
        QVERIFY(w.Ui->Messages.back().find(uitest::Bytes(root + "/a.txt")) != std::string::npos);
    }

    // Another process, after the window: the record is shared.
    void theCommandLineUndoesWhatTheWindowWrote() {
        const QString root = data_.filePath(QStringLiteral("cli"));
        WriteFile(root + "/c.txt", "one needle\n");
        TWindow w(settings_.path(), {root});
        w.Show();
        SetUpReplacement(*w);
        w.Ui->Answers = {TAnswer::No};
        w->btnGo->click();
        QCOMPARE(ReadFile(root + "/c.txt"), "one pin\n");
        QProcess cli;
        cli.start(QStringLiteral(FERNSWEEP_CLI), {QStringLiteral("--undo")});
        QVERIFY(cli.waitForFinished(30000));
        QCOMPARE(cli.exitCode(), 0);
        QCOMPARE(ReadFile(root + "/c.txt"), "one needle\n");
    }
};

QTEST_MAIN(TestUiChanges)
#include "test_ui_changes.moc"
