// The Advanced Options dialog and the quick help window.
#include "UiTestSupport.h"

#include "operations/UShellCommands.h"
#include "settings/UTSearchOptions.h"
#include "ui/UAppearance.h"
#include "ui/UQtUserInterface.h"
#include "ui/UfrmAdvancedOptions.h"
#include "ui/UfrmRegExHelp.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QScopeGuard>
#include <QSpinBox>
#include <QTimer>

#include <functional>

using settings::ParseLocalTime;
using settings::TSearchOptions;

using uitest::TWindow;

namespace {

// Runs `act` on the modal dialog as soon as it is shown.
void WhenModal(std::function<void(ui::TfrmAdvancedOptions&)> act) {
    QTimer::singleShot(0, [act] {
        auto* dialog = qobject_cast<ui::TfrmAdvancedOptions*>(QApplication::activeModalWidget());
        QVERIFY(dialog != nullptr);
        act(*dialog);
    });
}

QStringList Texts(const QWidget& w) {
    QStringList texts;
    for (const QLabel* l : w.findChildren<QLabel*>()) {
        texts << l->text();
    }
    return texts;
}

} // namespace

class TestUiDialogs : public QObject {
    Q_OBJECT
private:
    QTemporaryDir settings_;

private slots:
    void advancedOptionsLayout() {
        ui::TfrmAdvancedOptions d;
        QCOMPARE(d.windowTitle(), QStringLiteral("Advanced Options"));
        QCOMPARE(d.size(), QSize(355, 343));
        QCOMPARE(d.minimumSize(), d.maximumSize());
        QCOMPARE(d.btnOk->geometry(), QRect(277, 315, 75, 25));
        QCOMPARE(d.btnCancel->geometry(), QRect(193, 315, 75, 25));
        QCOMPARE(d.btnClear->geometry(), QRect(4, 315, 75, 25));
        QVERIFY(d.btnOk->isDefault());
        QCOMPARE(d.cmbHidden->geometry().topLeft(), QPoint(68, 88));
        QCOMPARE(d.cmbArchive->count(), 3);
        QCOMPARE(d.cmbArchive->itemText(0), QStringLiteral("Don't care"));
        QCOMPARE(d.cmbArchive->itemText(2), QStringLiteral("Unset"));
        QVERIFY(!d.cmbArchive->isEditable());
        QCOMPARE(d.Label7->palette().color(QPalette::WindowText), QColor(128, 0, 0));
        QCOMPARE(Texts(d).count(QStringLiteral("Not implemented yet!")), 0);
        QStringList groups;
        for (const QGroupBox* g : d.findChildren<QGroupBox*>()) {
            groups << g->title();
        }
        QCOMPARE(groups,
                 (QStringList{" File Attributes ", " Date ", " Size ", " Folders and Files "}));
        // Nothing overlaps: the controls of one parent lie apart and inside it.
        QList<QWidget*> parents{&d};
        for (QGroupBox* g : d.findChildren<QGroupBox*>()) {
            parents << g;
        }
        for (QWidget* parent : parents) {
            const QList<QWidget*> kids = parent->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
            for (int i = 0; i < kids.size(); ++i) {
                if (kids[i]->isWindow() || kids[i]->geometry().isEmpty()) {
                    continue;
                }
                QVERIFY2(parent->rect().contains(kids[i]->geometry()),
                         qPrintable(kids[i]->objectName() + kids[i]->metaObject()->className()));
                for (int j = i + 1; j < kids.size(); ++j) {
                    if (!kids[j]->isWindow() && !kids[j]->geometry().isEmpty()) {
                        QVERIFY(!kids[i]->geometry().intersects(kids[j]->geometry()));
                    }
                }
            }
        }
    }

    void limitsShowAndReadAsWholeDays() {
        ui::TfrmAdvancedOptions d;
        TSearchOptions o;
        o.ModifiedFrom = ParseLocalTime("2024-05-01");
        o.ModifiedBefore = ParseLocalTime("2024-06-01"); // on or before 31 May
        o.MaxSize = 3 * 1024 * 1024;
        o.ExcludeDirs = ".git;build";
        d.ShowOptions(o);
        QCOMPARE(d.dtpOlder->date(), QDate(2024, 5, 31));
        QCOMPARE(d.edtMaxSize->value(), 3);
        QCOMPARE(d.cmbMaxSizeUnit->currentText(), QStringLiteral("MB"));
        QVERIFY(!d.chkMinSize->isChecked() && !d.edtMinSize->isEnabled());
        d.dtpOlder->setDate(QDate(2024, 6, 30));
        d.chkMinSize->setChecked(true);
        d.edtMinSize->setValue(10);
        d.cmbMinSizeUnit->setCurrentIndex(1);
        TSearchOptions read;
        d.ReadOptions(read);
        QCOMPARE(*read.ModifiedFrom, *o.ModifiedFrom);
        QCOMPARE(*read.ModifiedBefore, *ParseLocalTime("2024-07-01"));
        QCOMPARE(*read.MinSize, std::int64_t{10240});
        QCOMPARE(*read.MaxSize, *o.MaxSize);
        QCOMPARE(read.ExcludeDirs, o.ExcludeDirs);
        QCOMPARE(read.Description(), std::string("modified on or after 2024-05-01, modified on or "
                                                 "before 2024-06-30, at least 10 KB, at most 3 MB, "
                                                 "folders left out: .git;build"));
        d.btnClearClick();
        d.ReadOptions(read);
        QCOMPARE(read.Description(), std::string("No advanced options set."));
    }

    void showAndReadOptions() {
        ui::TfrmAdvancedOptions d;
        TSearchOptions o;
        o.SetArchive(1);
        o.SetReadOnly(2);
        o.SetSystem(3); // from an edited settings file
        d.ShowOptions(o);
        QCOMPARE(d.cmbArchive->currentIndex(), 1);
        QCOMPARE(d.cmbReadOnly->currentIndex(), 2);
        QCOMPARE(d.cmbSystem->currentIndex(), -1);
        QCOMPARE(d.cmbHidden->currentIndex(), 0);
        TSearchOptions read;
        d.ReadOptions(read);
        QCOMPARE(read.Archive(), 1);
        QCOMPARE(read.ReadOnly(), 2);
        QCOMPARE(read.System(), -1);
        QCOMPARE(read.Hidden(), 0);
        d.btnClearClick();
        d.ReadOptions(read);
        QCOMPARE(read.Archive() + read.ReadOnly() + read.System() + read.Hidden(), 0);
    }

    void advancedButtonOkAndCancel() {
        TWindow w(settings_.path());
        w.Show();
        WhenModal([](ui::TfrmAdvancedOptions& d) {
            d.cmbArchive->setCurrentIndex(1);
            d.cmbHidden->setCurrentIndex(2);
            d.btnOk->click();
        });
        w->btnAdvanced->click();
        QCOMPARE(w->Options().Archive(), 1);
        QCOMPARE(w->lblOptions->text(), QStringLiteral("Archive attribute set, not a Hidden file"));
        // Clear and then Cancel changes nothing.
        WhenModal([](ui::TfrmAdvancedOptions& d) {
            QCOMPARE(d.cmbArchive->currentIndex(), 1);
            d.btnClear->click();
            d.btnCancel->click();
        });
        w->btnAdvanced->click();
        QCOMPARE(w->Options().Archive(), 1);
        QCOMPARE(w->lblOptions->text(), QStringLiteral("Archive attribute set, not a Hidden file"));
        // Clear and then OK resets everything.
        WhenModal([](ui::TfrmAdvancedOptions& d) {
            d.btnClear->click();
            d.btnOk->click();
        });
        w->btnAdvanced->click();
        QCOMPARE(w->Options().Hidden(), 0);
        QCOMPARE(w->lblOptions->text(), QStringLiteral("No advanced options set."));
        QVERIFY(QApplication::activeModalWidget() == nullptr);
    }

    void quickHelpIsASingleInstance() {
        TWindow w(settings_.path());
        w.Show();
        QVERIFY(w->RegExHelp() == nullptr);
        w->mmRegularExpressionHelp->trigger();
        QPointer<ui::TfrmRegExHelp> first = w->RegExHelp();
        QVERIFY(first != nullptr);
        QVERIFY(first->isVisible());
        QCOMPARE(first->size(), QSize(615, 368)); // the content fits; nothing grows it
        QVERIFY(!first->isModal());
        QVERIFY(first->parentWidget() == nullptr);
        // Behind the main window: the command brings the same window back.
        w->activateWindow();
        w->mmRegularExpressionHelp->trigger();
        QCOMPARE(w->RegExHelp(), first.data());
        QCOMPARE(QApplication::topLevelWidgets().count(first.data()), 1);
        int helpWindows = 0;
        for (QWidget* t : QApplication::topLevelWidgets()) {
            helpWindows += qobject_cast<ui::TfrmRegExHelp*>(t) ? 1 : 0;
        }
        QCOMPARE(helpWindows, 1);

        // Escape does nothing; Enter presses OK, which destroys the window.
        QTest::keyClick(first.data(), Qt::Key_Escape);
        QVERIFY(first->isVisible());
        QTest::keyClick(first.data(), Qt::Key_Return);
        QVERIFY(w->RegExHelp() == nullptr);
        QTRY_VERIFY(first.isNull());

        // The close box destroys it as well; the next command makes a new one.
        w->mmRegularExpressionHelp->trigger();
        QPointer<ui::TfrmRegExHelp> second = w->RegExHelp();
        QVERIFY(second != nullptr);
        second->close();
        QVERIFY(w->RegExHelp() == nullptr);
        QTRY_VERIFY(second.isNull());
        w->mmRegularExpressionHelp->trigger();
        QVERIFY(w->RegExHelp() != nullptr);
    }

    void quickHelpTexts() {
        uitest::TRecordingShell shell;
        ui::TfrmRegExHelp help(shell);
        QCOMPARE(help.windowTitle(), QStringLiteral("Regular Expression Quick Help"));
        QCOMPARE(help.size(), QSize(615, 368));
        QStringList groups;
        for (const QGroupBox* g : help.findChildren<QGroupBox*>()) {
            groups << g->title();
        }
        QCOMPARE(groups,
                 (QStringList{" Escape Sequences ", " Metacharacters - Separators ",
                              " Metacharacters - Iterators", " Character Classes ",
                              " Predefined Character Classes ", " Metacharacters - Separators "}));
        const QStringList texts = Texts(help);
        for (const char* t :
             {"\\", "Escape Character", "\\x{nnnn}", "Char with hex code nnnn", "TAB (\\x09)",
              "New Line (NL/LF) (\\x0a)", "Form feed (FF) (\\x0c)", "non-(word boundary)",
              "at least n but no more than m times",
              "Add a '?' at the end for \"non-greedy\" matches, i.e. as few as possible.",
              "[a\\-z]", "Matches small caps from 'a' to 'z'",
              "If first char is '^' the class matches any character NOT in the list",
              "alphanumeric char (incl. '_')", "any space (same as \\t\\n\\r\\f)",
              "\"or\" operator, e.g. (a|b)", "sub-expr n (for replacements)",
              "Sub-expressions are numbered from the left-to-right order of their opening "
              "parenthesis. First sub-expression is $1, the whole RegEx match is $0.",
              "For more help please click:"}) {
            QVERIFY2(texts.contains(QString::fromUtf8(t)), t);
        }
        QVERIFY(help.lblURL->text().endsWith("/TRegExpr/Help/RegExp_Syntax.html"));
        QVERIFY(help.lblURL->font().underline());
        QCOMPARE(help.lblURL->cursor().shape(), Qt::PointingHandCursor);
        QVERIFY(help.btnOk->isDefault());
        // The link goes to the shell, with the address built where the site's host is named.
        help.show();
        QVERIFY(QTest::qWaitForWindowExposed(&help));
        QTest::mouseClick(help.lblURL, Qt::LeftButton);
        QCOMPARE(shell.Requests,
                 (std::vector<uitest::TShellRequest>{{"url", operations::RegExSyntaxUrl(), {}}}));
        QCOMPARE(help.lblURL->text(), ui::ToQ(operations::RegExSyntaxUrl()));
    }

    void saveDialogAddsLogAndLeavesOverwritingToTheCommand() {
        QTemporaryDir folder;
        uitest::WriteFile(folder.filePath(QStringLiteral("old.log")), "old");
        ui::TQtUserInterface boxes(nullptr);
        // A box of the dialog's own would sit on top of it; note it and close it.
        int stray = 0;
        QTimer guard;
        connect(&guard, &QTimer::timeout, [&stray] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                ++stray;
                box->reject();
            }
        });
        guard.start(200);
        auto answer = [&folder](const QString& typed) {
            QTimer::singleShot(0, [&folder, typed] {
                auto* d = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
                QVERIFY(d != nullptr);
                // A failed check must not leave the dialog waiting for the user.
                const auto closer = qScopeGuard([d] {
                    if (d->isVisible()) {
                        d->reject();
                    }
                });
                QCOMPARE(d->acceptMode(), QFileDialog::AcceptSave);
                QCOMPARE(d->defaultSuffix(), QStringLiteral("log"));
                QCOMPARE(d->nameFilters(), (QStringList{"Log Files (*.log)", "All Files (*.*)"}));
                QVERIFY(d->testOption(QFileDialog::DontConfirmOverwrite));
                QCOMPARE(d->directory().absolutePath(), QDir(folder.path()).absolutePath());
                d->selectFile(typed);
                static_cast<QDialog*>(d)->accept(); // as the Save button does
            });
        };
        std::string chosen;
        answer(QStringLiteral("report"));
        QVERIFY(boxes.ChooseSaveFile(uitest::Bytes(folder.path()), chosen));
        QCOMPARE(chosen, uitest::Bytes(folder.filePath(QStringLiteral("report.log"))));
        answer(QStringLiteral("old.log"));
        QVERIFY(boxes.ChooseSaveFile(uitest::Bytes(folder.path()), chosen));
        QCOMPARE(chosen, uitest::Bytes(folder.filePath(QStringLiteral("old.log"))));
        QCOMPARE(stray, 0);
        // Cancelled: false, and the name given before is left alone.
        QTimer::singleShot(0, [] {
            auto* d = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            QVERIFY(d != nullptr);
            d->reject();
        });
        QVERIFY(!boxes.ChooseSaveFile(uitest::Bytes(folder.path()), chosen));
        QCOMPARE(chosen, uitest::Bytes(folder.filePath(QStringLiteral("old.log"))));
    }
};

QTEST_MAIN(TestUiDialogs)
#include "test_ui_dialogs.moc"
