// The window from the keyboard and for everyday reading: opening at the line, the drawn
// captions, the preview, the path field, the minimum size and line-by-line patterns.
#include "UiTestSupport.h"

#include "engine/UTSearchEngine.h"
#include "regex/URegexTester.h"
#include "ui/UFolderPathEdit.h"
#include "ui/UPreviewPane.h"
#include "ui/UResultItemDelegate.h"
#include "ui/UResultTreeModel.h"
#include "ui/UfrmBrowseFolder.h"
#include "ui/UfrmRegExHelp.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QCompleter>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSplitter>
#include <QToolButton>
#include <QTreeView>

using regex::RegexTesterOutput;

using uitest::TWindow;

namespace {

QModelIndex Find(const QAbstractItemModel& m, const QModelIndex& parent, const QString& prefix) {
    for (int i = 0; i < m.rowCount(parent); ++i) {
        const QModelIndex c = m.index(i, 0, parent);
        if (c.data().toString().startsWith(prefix)) {
            return c;
        }
        const QModelIndex below = Find(m, c, prefix);
        if (below.isValid()) {
            return below;
        }
    }
    return {};
}

void Search(TWindow& w, const QString& text, bool regex = false) {
    w->cmbFileMask->setEditText(QStringLiteral("*.*"));
    w->chkSearch->setChecked(true);
    w->chkRegex->setChecked(regex);
    w->edtSearch->setEditText(text);
    w->chkSearchClick();
    w->btnGo->click();
}

} // namespace

class TestUiEveryday : public QObject {
    Q_OBJECT
private:
    QTemporaryDir settings_;
    QTemporaryDir data_;
    QString root_;

private slots:
    void init() {
        root_ = data_.filePath(QStringLiteral("r%1").arg(QTest::currentTestFunction()));
        // A name with a blank and a quote; a line with two leading tabs and an "é" before the find.
        uitest::WriteFile(root_ + "/it's a b.txt", "first\n\t\t\xC3\xA9 needle;\nthird needle\n");
    }

    void openAtLine() {
        TWindow w(settings_.path(), {root_});
        w.Show();
        Search(w, QStringLiteral("needle"));
        w->btnExpandOccurence->click();
        const auto& m = w->ResultModel();
        const QModelIndex file = Find(m, {}, QStringLiteral("it's a b.txt"));
        const QModelIndex second = Find(m, file, QStringLiteral("Line: 2"));
        QVERIFY(second.isValid());
        const std::string path = uitest::Bytes(root_ + "/it's a b.txt");

        // Double click on an occurrence: its line, and the column in characters (é is one).
        const QRect row = w->tvLog->visualRect(second);
        QTest::mouseDClick(w->tvLog->viewport(), Qt::LeftButton, {}, row.center());
        // Enter on the file node: its first occurrence.
        w->tvLog->setCurrentIndex(file);
        QTest::keyClick(w->tvLog, Qt::Key_Return);
        QVERIFY(w->tvLog->isExpanded(file));
        // The menu's first item, with the user's own command.
        w->EditorCommand = "ed +%l %f";
        w->tvLog->setCurrentIndex(Find(m, file, QStringLiteral("Line: 3")));
        QCOMPARE(w->pmLog->actions().first(), w->cmOpenAtLine);
        w->cmOpenAtLine->trigger();
        using R = uitest::TShellRequest;
        QCOMPARE(w.Shell->Requests, (std::vector<R>{{"editor-at", path + ":2:5", ""},
                                                    {"editor-at", path + ":2:5", ""},
                                                    {"editor-at", path + ":3:7", "ed +%l %f"}}));
        QVERIFY(w.Ui->Messages.empty());

        // Nothing could be started: the user is told.
        w.Shell->EditorFails = true;
        w->cmOpenAtLine->trigger();
        QCOMPARE(w.Ui->Messages.size(), size_t(1));
        QVERIFY(w.Ui->Messages[0].find("line 3") != std::string::npos);
        // A folder node opens nothing; Enter opens or closes it.
        w->tvLog->setCurrentIndex(m.index(0, 0));
        const bool open = w->tvLog->isExpanded(m.index(0, 0));
        QTest::keyClick(w->tvLog, Qt::Key_Enter);
        QCOMPARE(w->tvLog->isExpanded(m.index(0, 0)), !open);
        QCOMPARE(w.Shell->Requests.size(), size_t(4));
    }

    void menuKeyAndShiftF10() {
        TWindow w(settings_.path(), {root_});
        w.Show();
        Search(w, QStringLiteral("needle"));
        w->btnExpandOccurence->click();
        const QModelIndex occurence = Find(w->ResultModel(), {}, QStringLiteral("Line: 3"));
        w->tvLog->setCurrentIndex(occurence);
        for (const auto& [key, modifiers] :
             {std::pair{Qt::Key_Menu, Qt::KeyboardModifiers()},
              std::pair{Qt::Key_F10, Qt::KeyboardModifiers(Qt::ShiftModifier)}}) {
            QTest::keyClick(w->tvLog, key, modifiers);
            QTRY_VERIFY(w->pmLog->isVisible());
            QVERIFY(w->cmOpenAtLine->isEnabled() && w->cmView->isEnabled());
            // At the node, not somewhere else on the screen.
            const QPoint at = w->tvLog->viewport()->mapFromGlobal(w->pmLog->pos());
            QVERIFY(qAbs(at.y() - w->tvLog->visualRect(occurence).bottom()) < 8);
            w->pmLog->close();
        }
        // On a folder only "Explore Folder" is offered.
        w->tvLog->setCurrentIndex(w->ResultModel().index(0, 0));
        QTest::keyClick(w->tvLog, Qt::Key_Menu);
        QTRY_VERIFY(w->pmLog->isVisible());
        QVERIFY(!w->cmOpenAtLine->isEnabled() && w->cmExploreFolder->isEnabled());
        w->pmLog->close();
    }

    void tabCycleEscapeAndF1() {
        TWindow w(settings_.path(), {root_});
        w.Show();
        w->chkRegex->setChecked(true);
        w->chkRegexClick();
        w->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w.Frm.get()));
        w->cmbFileMask->setFocus();
        QList<QWidget*> seen;
        for (int i = 0; i < 40; ++i) {
            QWidget* focus = QApplication::focusWidget();
            // The combo boxes give the focus to their line edits.
            if (focus != nullptr && qobject_cast<QComboBox*>(focus->parentWidget())) {
                focus = focus->parentWidget();
            }
            if (!seen.isEmpty() && focus == seen.first()) {
                break;
            }
            seen << focus;
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        }
        const QList<QWidget*> expected = {
            w->cmbFileMask,       w->btnAdvanced,   w->chkSearch,         w->edtSearch,
            w->chkMatchCase,      w->chkRegex,      w->chkReplace,        w->edtInput,
            w->btnPreviewReplace, w->btnGo,         w->edtDirectory,      w->stv,
            w->chkRecurseDirs,    w->btnExpandFull, w->btnExpandSelected, w->btnExpandOccurence,
            w->btnExpandOneLevel, w->btnFileOps,    w->btnPreview,        w->tvLog};
        // Disabled controls are skipped: the search field's neighbours and "Abort" while idle.
        QList<QWidget*> enabled;
        for (QWidget* x : expected) {
            if (x->isEnabled()) {
                enabled << x;
            }
        }
        QCOMPARE(seen, enabled);

        // F1: the quick help, saying which mode patterns work in.
        QTest::keyClick(w->tvLog, Qt::Key_F1);
        QVERIFY(w->RegExHelp() != nullptr);
        QVERIFY(w->RegExHelp()->lblMode->text().contains(QStringLiteral("whole text")));
        w->RegExHelp()->close();

        // Escape during a run presses "Abort".
        int pumps = 0;
        TWindow running(settings_.path(), {data_.path()}, [&] {
            if (++pumps == 1) {
                QWidget* focus = QApplication::focusWidget();
                QTest::keyClick(focus != nullptr ? focus : running->edtSearch, Qt::Key_Escape);
            }
            QCoreApplication::processEvents();
        });
        running.Show();
        running->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(running.Frm.get()));
        running->edtSearch->setFocus();
        Search(running, QStringLiteral("needle"));
        QVERIFY(pumps >= 1);
        QVERIFY(running->Engine().Aborted);
    }

    void pathField() {
        QDir(root_).mkpath(QStringLiteral("alpha/beta"));
        TWindow w(settings_.path(), {root_});
        w.Show();
        ui::TFolderPathEdit* field = w->edtDirectory;
        QCOMPARE(field->text(), root_);
        // Typing a folder selects it in the tree; the tree's selection shows in the field.
        QTest::keyClicks(field, QStringLiteral("/alpha"));
        QCOMPARE(w->stv->SelectedPath(), uitest::Bytes(root_ + "/alpha"));
        w->stv->SelectPath(uitest::Bytes(root_));
        QCOMPARE(field->text(), root_);
        // Completion offers the folders under what is typed.
        QCompleter* completer = field->PathCompleter();
        field->setText(QString());
        QTest::keyClicks(field, root_ + "/alpha/be");
        auto completion = [&] {
            completer->setCompletionPrefix(root_ + "/alpha/be");
            return completer->currentCompletion();
        };
        QTRY_COMPARE(completion(), root_ + "/alpha/beta");
        // A folder that does not exist is marked, and the tree keeps its selection.
        field->setText(root_ + "/missing");
        QVERIFY(!field->Accept());
        QVERIFY(field->Marked());
        QCOMPARE(w->stv->SelectedPath(), uitest::Bytes(root_ + "/alpha"));
        field->setText(root_);
        QVERIFY(field->Accept());
        QVERIFY(!field->Marked());

        // Browse for Folder: the same field, and "New Folder" under the selected folder.
        ui::TfrmBrowseFolder browse;
        browse.SetSelectedFolder(uitest::Bytes(root_));
        QCOMPARE(browse.edtPath->text(), root_);
        QVERIFY(browse.CreateFolder(QStringLiteral("made here")));
        QVERIFY(QFileInfo(root_ + "/made here").isDir());
        QCOMPARE(browse.GetSelectedFolder(), uitest::Bytes(root_ + "/made here"));
        QVERIFY(!browse.CreateFolder(QStringLiteral("a/b")));
    }

    void minimumSize() {
        TWindow w(settings_.path(), {root_});
        w->chkRegex->setChecked(true);
        w.Show();
        w->chkRegexClick();
        w->resize(200, 150);
        QTest::qWait(50);
        QVERIFY(w->width() >= w->minimumSizeHint().width());
        // No two controls of the search panel overlap, and all lie inside it.
        QList<QWidget*> controls;
        for (QWidget* c : w->pnlLeftTop->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
            if (c->isVisible()) {
                controls << c;
            }
        }
        for (int i = 0; i < controls.size(); ++i) {
            QVERIFY2(w->pnlLeftTop->rect().contains(controls[i]->geometry()),
                     qPrintable(controls[i]->metaObject()->className()));
            for (int j = i + 1; j < controls.size(); ++j) {
                QVERIFY2(!controls[i]->geometry().intersects(controls[j]->geometry()),
                         qPrintable(QStringLiteral("%1 / %2").arg(
                             controls[i]->objectName() + controls[i]->metaObject()->className(),
                             controls[j]->objectName() + controls[j]->metaObject()->className())));
            }
        }
    }

    void drawnCaptions() {
        const QFont font = QApplication::font();
        const QFontMetrics fm(font);
        const QString caption = QStringLiteral("Line: 2, Pos: 4, \"\t\tx needle;\"");
        // Wide enough: tabs as blanks, the match moved with them.
        const ui::TDrawnCaption wide = ui::DrawCaption(caption, 22, 6, fm, 10000);
        QCOMPARE(wide.Text, QStringLiteral("Line: 2, Pos: 4, \"        x needle;\""));
        QCOMPARE(wide.Text.mid(wide.MatchStart, wide.MatchLength), QStringLiteral("needle"));
        // A long line in a narrow row: elided around the match, which stays whole.
        const QString longLine = QStringLiteral("Line: 1, Pos: 501, \"") + QString(500, 'a') +
                                 QStringLiteral("needle") + QString(500, 'b') + '"';
        const int width = fm.horizontalAdvance(QStringLiteral("Line: 1, Pos: 501, \"")) + 200;
        const ui::TDrawnCaption narrow = ui::DrawCaption(longLine, 520, 6, fm, width);
        QVERIFY(fm.horizontalAdvance(narrow.Text) <= width);
        QVERIFY(narrow.Text.startsWith(QStringLiteral("Line: 1, Pos: 501, \"\u2026a")));
        QVERIFY(narrow.Text.endsWith(QStringLiteral("b\u2026")));
        QCOMPARE(narrow.Text.mid(narrow.MatchStart, narrow.MatchLength), QStringLiteral("needle"));

        // In the window: the row is drawn with the highlight where the match is.
        TWindow w(settings_.path(), {root_});
        w.Show();
        Search(w, QStringLiteral("needle"));
        w->btnExpandOccurence->click();
        const QModelIndex occurence = Find(w->ResultModel(), {}, QStringLiteral("Line: 2"));
        QCOMPARE(occurence.data(ui::TResultTreeModel::MatchRole).toPoint(), QPoint(22, 6));
        w->tvLog->setCurrentIndex(w->ResultModel().index(0, 0));
        const QRect row = w->tvLog->visualRect(occurence);
        const QImage image = w->tvLog->viewport()->grab(row).toImage();
        int highlighted = 0;
        int firstX = image.width();
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, 1);
            const QColor h = ui::MatchHighlightColour();
            if (qAbs(c.red() - h.red()) + qAbs(c.green() - h.green()) + qAbs(c.blue() - h.blue()) <
                12) {
                ++highlighted;
                firstX = std::min(firstX, x);
            }
        }
        QVERIFY(highlighted > fm.horizontalAdvance(QStringLiteral("need")));
        // Two tabs take eight blanks, not two 80-pixel gaps.
        QVERIFY(firstX <
                60 + fm.horizontalAdvance(QStringLiteral("Line: 2, Pos: 6, \"        \u00e9 ")));
    }

    void previewPane() {
        uitest::WriteFile(root_ + "/ctx.txt", "l1\nl2\nl3\nl4\nl5 needle\nl6\nl7\nl8\nl9\n");
        TWindow w(settings_.path(), {root_});
        w.Show();
        Search(w, QStringLiteral("needle"));
        w->btnExpandOccurence->click();
        QVERIFY(w->pnlPreview->isHidden());
        w->btnPreview->click();
        QVERIFY(w->pnlPreview->isVisible());
        const QModelIndex occurence = Find(w->ResultModel(), {}, QStringLiteral("Line: 5"));
        w->tvLog->setCurrentIndex(occurence);
        const auto& lines = w->pnlPreview->Lines();
        QCOMPARE(lines.size(), 7);
        QCOMPARE(lines[0].Gutter, QStringLiteral("2"));
        QCOMPARE(lines[3].Kind, ui::TPreviewPane::TLineKind::Match);
        QCOMPARE(lines[3].Text.mid(lines[3].Highlights[0].Start, lines[3].Highlights[0].Length),
                 QStringLiteral("needle"));
        // A file: all its occurrences, a gap between runs that do not touch.
        const QModelIndex file = Find(w->ResultModel(), {}, QStringLiteral("it's a b.txt"));
        w->tvLog->setCurrentIndex(file);
        QCOMPARE(w->pnlPreview->Lines().size(), 3);
        const auto gaps =
            ui::PreviewLines("1\r\nx\r\n3\r\n4\r\n5\r\n6\r\nx", {{1, 1, 1}, {6, 1, 1}}, 1);
        QCOMPARE(gaps.size(), 6);
        QCOMPARE(gaps[3].Kind, ui::TPreviewPane::TLineKind::Gap);
    }

    void lineByLineAndReport() {
        uitest::WriteFile(root_ + "/k.c", "int a;\r\nint b; // x\nint c;\n");
        TWindow w(settings_.path(), {root_});
        w.Show();
        Search(w, QStringLiteral(";$"), true);
        // The default: "$" is the end of the whole text only.
        QCOMPARE(w->sbStatus->text(), QStringLiteral("Found 0 occurences in 0 files."));
        QVERIFY(w->lblRegexMode->text().contains(QStringLiteral("whole text")));
        w->Options().SetLineByLine(true);
        w->UpdateRegexTester();
        w->btnGo->click();
        QCOMPARE(w->sbStatus->text(), QStringLiteral("Found 3 occurences in 2 files."));
        QVERIFY(w->lblRegexMode->text().contains(QStringLiteral("line by line")));
        // The tester works the same way.
        QCOMPARE(RegexTesterOutput("a;\nb;", ";$", "!", true), "a!\nb!");
        QCOMPARE(RegexTesterOutput("a;\nb;", ";$", "!", false), "a;\nb!");

        // A report keeps the tree's expansion and selection.
        w->btnExpandOccurence->click();
        const QModelIndex occurence = Find(w->ResultModel(), {}, QStringLiteral("Line: 3"));
        w->tvLog->setCurrentIndex(occurence);
        w.Ui->SaveFileAnswer = uitest::Bytes(data_.filePath(QStringLiteral("report.log")));
        w->cmGenerateResultsTextFileClick();
        QVERIFY(QFileInfo::exists(data_.filePath(QStringLiteral("report.log"))));
        QCOMPARE(w->tvLog->currentIndex(), occurence);
        QVERIFY(w->tvLog->isExpanded(occurence.parent()));

        // Stored with the other options.
        w->close();
        TWindow again(settings_.path(), {root_});
        QVERIFY(again->Options().LineByLine());
        QVERIFY(again->lblRegexMode->text().contains(QStringLiteral("line by line")));
    }
};

QTEST_MAIN(TestUiEveryday)
#include "test_ui_everyday.moc"
