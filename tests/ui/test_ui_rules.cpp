// The main window's enabling rules, tester, layout arithmetic and default button.
#include "UiTestSupport.h"

#include "engine/UTSearchEngine.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QSplitter>
#include <QToolButton>

using uitest::TWindow;

namespace {

void Click(QCheckBox* box) {
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(6, box->height() / 2));
}

} // namespace

class TestUiRules : public QObject {
    Q_OBJECT
private:
    QTemporaryDir settings_;

private slots:
    void searchOffDisablesItsControlsAndKeepsTheirStates() {
        TWindow w(settings_.path());
        w.Show();
        QVERIFY(w->chkSearch->isChecked()); // the store's default overrides the design state
        w->chkMatchCase->setChecked(true);
        w->chkReplace->setChecked(true);
        Click(w->chkSearch);
        QVERIFY(!w->chkSearch->isChecked());
        for (QWidget* c :
             {static_cast<QWidget*>(w->edtSearch), static_cast<QWidget*>(w->chkMatchCase),
              static_cast<QWidget*>(w->chkRegex), static_cast<QWidget*>(w->chkReplace),
              static_cast<QWidget*>(w->edtReplace)}) {
            QVERIFY2(!c->isEnabled(), qPrintable(c->objectName()));
        }
        QVERIFY(w->chkMatchCase->isChecked());
        QVERIFY(w->chkReplace->isChecked());
        QVERIFY(w->btnGo->isEnabled()); // whatever the empty search field holds
        Click(w->chkSearch);
        QVERIFY(w->edtSearch->isEnabled());
        QVERIFY(w->edtReplace->isEnabled());
    }

    void goFollowsTheSearchText() {
        TWindow w(settings_.path());
        w.Show();
        QVERIFY(w->edtSearch->currentText().isEmpty());
        QVERIFY(!w->btnGo->isEnabled());
        QTest::keyClick(w->edtSearch->lineEdit(), Qt::Key_X);
        QVERIFY(w->btnGo->isEnabled());
        QTest::keyClick(w->edtSearch->lineEdit(), Qt::Key_Backspace);
        QVERIFY(!w->btnGo->isEnabled());
        QVERIFY(!w->btnAbort->isEnabled());
        QVERIFY(w->gauProgress->isHidden());
    }

    void replaceRuleDoesNotLookAtSearch() {
        TWindow w(settings_.path());
        w->chkSearch->setChecked(false);
        w->chkReplace->setChecked(true);
        w.Show(); // as restored with Search off and Replace on
        QVERIFY(!w->chkReplace->isEnabled());
        QVERIFY(w->edtReplace->isEnabled()); // the last rule run is chkReplaceClick
        Click(w->chkSearch);
        Click(w->chkSearch);
        QVERIFY(!w->edtReplace->isEnabled());
    }

    void testerFollowsTheThreeFields() {
        TWindow w(settings_.path());
        w.Show();
        QVERIFY(w->gbRegEx->isHidden());
        QCOMPARE(w->PnlLeftTopHeight(), 176);
        Click(w->chkRegex);
        QVERIFY(!w->gbRegEx->isHidden());
        QCOMPARE(w->PnlLeftTopHeight(), 244);
        struct Case {
            const char* sample;
            const char* pattern;
            const char* templ;
            const char* output;
        };
        const Case cases[] = {
            {"abbbc", "b+", "[$0]", "a[bbb]c"},
            {"abcb", "b", "", "ac"},
            {"abab", "(a)(b)", "$2$1", "baba"},
            {"xyz", "q", "r", "xyz"},
            {"A", "a", "b", "A"}, // Match case plays no part
            {"a", "(", "", "TRegExpr(comp): ParseReg Unmatched () (pos 1)"},
            {"abc", "", "x", ""},
        };
        for (const Case& c : cases) {
            w->edtInput->setText(QString::fromUtf8(c.sample));
            w->edtReplace->setEditText(QString::fromUtf8(c.templ));
            w->edtSearch->setEditText(QString::fromUtf8(c.pattern));
            QCOMPARE(w->lblOutput->text(), QString::fromUtf8(c.output));
        }
        // The template applies even while "Replace with:" is off and its field disabled.
        QVERIFY(!w->chkReplace->isChecked());
        w->edtSearch->setEditText(QStringLiteral("b"));
        w->edtReplace->setEditText(QStringLiteral("-"));
        w->edtInput->setText(QStringLiteral("abc"));
        QCOMPARE(w->lblOutput->text(), QStringLiteral("a-c"));
        // Hiding keeps the label; the next change empties it.
        Click(w->chkRegex);
        QVERIFY(w->gbRegEx->isHidden());
        QCOMPARE(w->lblOutput->text(), QStringLiteral("a-c"));
        w->edtInput->setText(QStringLiteral("abcd"));
        QCOMPARE(w->lblOutput->text(), QString());
    }

    void searchPanelArithmetic() {
        TWindow w(settings_.path());
        w.Show();
        QCOMPARE(w->pnlLeftTop->width(), 348);
        QCOMPARE(w->btnGo->x(), 267);
        QCOMPARE(w->btnPreviewReplace->x(), 184);
        QCOMPARE(w->btnAbort->x(), 101);
        QCOMPARE(w->btnAdvanced->x(), 279);
        QCOMPARE(w->cmbFileMask->width(), 249);
        QCOMPARE(w->gauProgress->width(), 245);
        QCOMPARE(w->gbRegEx->width(), 340);
        QCOMPARE(w->edtInput->width(), 284);
        QCOMPARE(w->cmbFileMask->x(), 96);
        QCOMPARE(w->btnGo->y() + w->btnGo->height(), w->pnlLeftTop->height() - 4);

        w->SetPnlLeftWidth(450);
        QTRY_COMPARE(w->pnlLeftTop->width(), 448);
        QCOMPARE(w->btnGo->x(), 367);
        QCOMPARE(w->btnPreviewReplace->x(), 284);
        QCOMPARE(w->btnAbort->x(), 201);
        QCOMPARE(w->btnAdvanced->x(), 379);
        for (QComboBox* f : {w->cmbFileMask, w->edtSearch, w->edtReplace}) {
            QCOMPARE(f->width(), 349);
        }
        QCOMPARE(w->gauProgress->width(), 345);
        QCOMPARE(w->gbRegEx->width(), 440);
        QCOMPARE(w->edtInput->width(), 384);
        // Showing the tester moves the anchored buttons down with the panel's bottom edge.
        Click(w->chkRegex);
        QTRY_COMPARE(w->pnlLeftTop->height(), 244);
        QCOMPARE(w->btnGo->y(), 244 - 25 - 4);
    }

    void enterInAFieldPressesGo() {
        QTemporaryDir folder;
        uitest::WriteFile(folder.filePath("a.txt"), "needle\n");
        TWindow w(settings_.path(), {folder.path()});
        w.Show();
        w->edtSearch->setEditText(QStringLiteral("needle"));
        QTest::keyClick(w->edtSearch->lineEdit(), Qt::Key_Return);
        QCOMPARE(w->sbStatus->text(), QStringLiteral("Found 1 occurence in 1 file."));
        // Not while "Go" is disabled.
        w->edtSearch->setEditText(QString());
        w->sbStatus->clear();
        QTest::keyClick(w->edtSearch->lineEdit(), Qt::Key_Return);
        QCOMPARE(w->sbStatus->text(), QString());
    }

    void gaugeRoundsHalvesToEven() {
        TWindow w(settings_.path());
        // Fractions whose hundredfold is exactly a half, and the ends.
        const std::pair<double, int> cases[] = {{0.125, 12}, {0.375, 38}, {0.625, 62},
                                                {0.875, 88}, {1.0, 100},  {0.0, 0}};
        for (auto [fraction, position] : cases) {
            w->Engine().DoneFraction = fraction;
            w->Engine().UpdateProgress();
            QCOMPARE(w->gauProgress->value(), position);
        }
    }

    void designAndMenus() {
        TWindow w(settings_.path());
        QCOMPARE(w->windowTitle().left(15), QStringLiteral("Fernsweep v0.95"));
        QCOMPARE(QCoreApplication::applicationName(), QStringLiteral("Fernsweep v0.95"));
        QCOMPARE(w->pnlLabelSearchAndReplace->text(), QStringLiteral(" Search & Replace:"));
        QCOMPARE(w->pnlLabelSearchAndReplace->palette().color(QPalette::Window),
                 QColor(128, 128, 192));
        QCOMPARE(w->pnlLabelResults->palette().color(QPalette::Window), QColor(0, 128, 192));
        QCOMPARE(w->gauProgress->parentWidget(), w->pnlLabelSearchAndReplace);
        QCOMPARE(w->gauProgress->x(), 96);
        QCOMPARE(w->lblOptions->text(), QStringLiteral("No advanced options set."));
        QCOMPARE(w->btnAdvanced->focusPolicy(), Qt::TabFocus);
        QCOMPARE(w->PnlLeftWidth(), 350);
        QCOMPARE(w->Splitter1->handleWidth(), 8);
        QCOMPARE(w->Splitter2->handleWidth(), 8);
        QCOMPARE(w->cmExit->text(), QStringLiteral("E&xit"));
        QCOMPARE(w->mmFile->actions().size(), 5);
        QCOMPARE(w->mmOperations->actions().size(), 7);
        QCOMPARE(w->mmHelp->actions().size(), 6);
        QCOMPARE(w->pmLog->actions().size(), 7);
        QCOMPARE(w->pmFileOps->actions().size(), 5);
        QCOMPARE(w->btnExpandSelected->property("tag").toInt(), 1);
        QCOMPARE(w->btnExpandOccurence->property("tag").toInt(), 2);
        QCOMPARE(w->btnExpandOccurence->toolTip(), QStringLiteral("Expand to Occurence level"));
        QCOMPARE(w->btnExpandFull->size(), QSize(23, 23));
    }
};

QTEST_MAIN(TestUiRules)
#include "test_ui_rules.moc"
