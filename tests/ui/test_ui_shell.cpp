// The commands that hand something to the desktop: the result tree's pop-up commands through a
// recording shell, the three shortcuts in a home folder of the test's own, the help file, the
// web pages and the About box.
#include "UiTestSupport.h"

#include "operations/UShellCommands.h"
#include "operations/vtShortcuts.h"
#include "ui/UResultTreeModel.h"
#include "ui/UfrmAbout.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QMenu>
#include <QProcess>
#include <QPushButton>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QTimer>
#include <QToolButton>
#include <QTreeView>

#include <functional>

using uitest::TShellRequest;
using uitest::TWindow;

namespace {

using TRequests = std::vector<TShellRequest>;
using TStrings = std::vector<std::string>;

std::string B(const QString& s) {
    return uitest::Bytes(s);
}

QModelIndex Child(const QAbstractItemModel& m, const QModelIndex& parent, const QString& prefix) {
    for (int i = 0; i < m.rowCount(parent); ++i) {
        const QModelIndex c = m.index(i, 0, parent);
        if (c.data().toString().startsWith(prefix)) {
            return c;
        }
    }
    return {};
}

// What desktop-file-validate says of a launcher; empty when it is valid.
QString Validate(const QString& path) {
    QProcess p;
    p.start(QStringLiteral("desktop-file-validate"), {path});
    if (!p.waitForFinished(20000)) {
        return QStringLiteral("desktop-file-validate did not finish");
    }
    const QString said = QString::fromUtf8(p.readAllStandardOutput() + p.readAllStandardError());
    return p.exitCode() == 0 && said.trimmed().isEmpty() ? QString() : said;
}

} // namespace

class TestUiShell : public QObject {
    Q_OBJECT
private:
    QTemporaryDir settings_;
    QTemporaryDir data_;
    QTemporaryDir home_;
    QString root_;

    // Shortcuts go below a home of the test's own; the data home is given with a trailing
    // separator, which must not double where "applications" is joined on.
    void UseHome() {
        qputenv("HOME", home_.path().toLocal8Bit());
        qputenv("XDG_CONFIG_HOME", home_.filePath(QStringLiteral("config")).toLocal8Bit());
        qputenv("XDG_DATA_HOME", (home_.filePath(QStringLiteral("data")) + "/").toLocal8Bit());
        uitest::WriteFile(home_.filePath(QStringLiteral("config/user-dirs.dirs")),
                          "# written by the test\nXDG_DESKTOP_DIR=\"$HOME/My Desk\"\n");
    }

private slots:
    void initTestCase() {
        // A blank in the start folder: paths reach the shell unquoted, as one argument.
        root_ = data_.filePath(QStringLiteral("start dir"));
        uitest::WriteFile(root_ + "/a.txt", "one needle\nneedle\n");
        uitest::WriteFile(root_ + "/sub1/b.log", "nothing\n");
        UseHome();
    }

    void resultTreeCommandsPerNodeKind() {
        TWindow w(settings_.path(), {root_});
        w.Show();
        // Nothing selected: nothing asked of the shell.
        w->cmExploreFolder->trigger();
        w->cmShellOpenFile->trigger();
        w->cmView->trigger();
        QVERIFY(w.Shell->Requests.empty());

        w->cmbFileMask->setEditText(QStringLiteral("*.txt"));
        w->chkSearch->setChecked(true);
        w->edtSearch->setEditText(QStringLiteral("needle"));
        w->chkSearchClick();
        w->btnGo->click();
        w->btnExpandFull->click();
        const auto& m = w->ResultModel();
        const QModelIndex root = m.index(0, 0);
        const QModelIndex sub1 = Child(m, root, "sub1");
        const QModelIndex a = Child(m, root, "a.txt");
        const QModelIndex occ = m.index(1, 0, a);
        QVERIFY(sub1.isValid() && a.isValid() && occ.isValid());
        const std::string file = B(root_ + "/a.txt");
        auto run = [&](const QModelIndex& node) {
            w.Shell->Requests.clear();
            w->tvLog->setCurrentIndex(node);
            // The handlers themselves: the menu's enabling is a separate matter, below.
            w->cmExploreFolderClick();
            w->cmShellOpenFileClick();
            w->cmViewClick();
            return w.Shell->Requests;
        };
        // A folder: its own directory, trailing separator and all; it has no document.
        QCOMPARE(run(root), (TRequests{{"folder", B(root_) + "/", ""}}));
        QCOMPARE(run(sub1), (TRequests{{"folder", B(root_) + "/sub1/", ""}}));
        // A file, and an occurrence standing for its file.
        const TRequests forFile{
            {"folder", B(root_) + "/", file}, {"document", file, ""}, {"editor", file, ""}};
        QCOMPARE(run(a), forFile);
        QCOMPARE(run(occ), forFile);

        // Through the pop-up menu as the user sees it.
        w->move(0, 0);
        QTreeView* tv = w->tvLog;
        // Right click on the node, then every item of the menu as it stands.
        auto rightClick = [&](const QModelIndex& node) -> TRequests {
            const QPoint at(10, tv->visualRect(node).center().y());
            QTest::mouseClick(tv->viewport(), Qt::RightButton, {}, at);
            if (!QTest::qWaitFor([&] { return w->pmLog->isVisible(); })) {
                return {{"no menu", "", ""}};
            }
            w->pmLog->hide();
            w.Shell->Requests.clear();
            w->cmExploreFolder->trigger();
            w->cmShellOpenFile->trigger();
            w->cmView->trigger();
            return w.Shell->Requests;
        };
        QCOMPARE(rightClick(occ), forFile);
        QCOMPARE(tv->currentIndex(), occ);
        // On a folder the two file items are disabled: only Explore asks anything.
        QCOMPARE(rightClick(sub1), (TRequests{{"folder", B(root_) + "/sub1/", ""}}));
        QVERIFY(!w->cmShellOpenFile->isEnabled() && !w->cmView->isEnabled());
        QCOMPARE(rightClick(a), forFile);
        QVERIFY(w->cmShellOpenFile->isEnabled() && w->cmView->isEnabled());
    }

    void shortcutsWriteThreeLaunchers() {
        TWindow w(settings_.path());
        w.Show();
        const QString desk = home_.filePath(QStringLiteral("My Desk"));
        const QString apps = home_.filePath(QStringLiteral("data/applications"));
        QDir(desk).removeRecursively();

        // The desktop folder named by user-dirs.dirs does not exist: a failure, with the path.
        w->cmShortcutonDesktop->trigger();
        QCOMPARE(w.Ui->Messages, TStrings{"Cannot create shortcut to Fernsweep\r\nfilename = " +
                                          B(desk) + "/Fernsweep.desktop"});
        QVERIFY(QDir().mkpath(desk));
        const std::string created = "A shortcut to Fernsweep has been successfully created in\r\n";
        w->cmShortcutonDesktop->trigger();
        QCOMPARE(w.Ui->Messages.back(), created + B(desk) + "/");
        const QString onDesk = desk + "/Fernsweep.desktop";
        QVERIFY(QFileInfo(onDesk).isExecutable());
        // A second one replaces the first and reports success again.
        uitest::WriteFile(onDesk, "junk");
        w->cmShortcutonDesktop->trigger();
        QCOMPARE(w.Ui->Messages.back(), created + B(desk) + "/");
        const QByteArray entry = uitest::ReadFile(onDesk);
        QVERIFY(entry.startsWith("[Desktop Entry]\n"));
        QVERIFY(entry.contains("\nName=Fernsweep\n"));
        QVERIFY(entry.contains("\nComment=Fern Sweep\n"));
        QVERIFY(entry.contains(
            ("\nExec=\"" + QCoreApplication::applicationFilePath() + "\"\n").toUtf8()));

        // The taskbar's launcher goes to the applications folder, made when missing; the
        // Send To one beside it under a name of its own, as a folder handler.
        QDir(apps).removeRecursively();
        w->cmShortcutonTaskbar->trigger();
        QCOMPARE(w.Ui->Messages.back(), created + B(apps) + "/");
        w->cmShortcutOnSendTo->trigger();
        QCOMPARE(w.Ui->Messages.back(), created + B(apps) + "/");
        QCOMPARE(w.Ui->Messages.size(), size_t(5));
        const QString taskbar = apps + "/Fernsweep.desktop";
        const QString sendTo = apps + "/Fernsweep-SendTo.desktop";
        QVERIFY(QFileInfo(taskbar).isExecutable());
        QVERIFY(QFileInfo(sendTo).isExecutable());
        const QByteArray handler = uitest::ReadFile(sendTo);
        QVERIFY(handler.contains("\" %f\n"));
        QVERIFY(handler.contains("\nMimeType=inode/directory;\n"));
        QVERIFY(!uitest::ReadFile(taskbar).contains("MimeType"));

        QVERIFY2(!QStandardPaths::findExecutable(QStringLiteral("desktop-file-validate")).isEmpty(),
                 "desktop-file-validate (desktop-file-utils) is needed");
        for (const QString& launcher : {onDesk, taskbar, sendTo}) {
            const QString said = Validate(launcher);
            QVERIFY2(said.isEmpty(), qPrintable(launcher + ": " + said));
        }
    }

    void quickHelpFoundOrMissing() {
        QTemporaryDir program; // stands for the program's folder
        TWindow w(program.path());
        w.Show();
        const std::string expected = B(program.path()) + "/help/index.html";
        w->mmQuickHelpHTML->trigger();
        QCOMPARE(w.Shell->Requests, (TRequests{{"document", expected, ""}}));
        QCOMPARE(w.Ui->Messages, TStrings{"Help file not found at:\r\n" + expected});

        uitest::WriteFile(program.filePath(QStringLiteral("help/index.html")), "<html></html>");
        w->mmQuickHelpHTML->trigger();
        QCOMPARE(w.Shell->Requests.size(), size_t(2));
        QCOMPARE(w.Ui->Messages.size(), size_t(1)); // nothing more to say
    }

    void webPages() {
        TWindow w(settings_.path());
        w.Show();
        w->mmVantrelSoftwareHomepage->trigger();
        w->cmCheckforUpdates->trigger();
        const std::string home = operations::kHomepageUrl;
        QCOMPARE(w.Shell->Requests,
                 (TRequests{{"url", home, ""}, {"url", operations::UpdateCheckUrl(), ""}}));
        // The update page is on the homepage's site, one separator between host and path.
        QCOMPARE(operations::UpdateCheckUrl(),
                 home.substr(0, home.size() - 1) + "/utils_6.asp?version=v0.95");
        QVERIFY(w.Ui->Messages.empty());
    }

    void aboutBox() {
        TWindow w(settings_.path());
        w.Show();
        bool checked = false;
        QTimer::singleShot(0, [&] {
            auto* about = qobject_cast<ui::TfrmAbout*>(QApplication::activeModalWidget());
            QVERIFY(about != nullptr);
            // A failed check must not leave the box waiting for the user.
            const auto closer = qScopeGuard([about] {
                if (about->isVisible()) {
                    about->reject();
                }
            });
            QCOMPARE(about->parentWidget(), w.Frm.get());
            QCOMPARE(about->lblName->text(), QStringLiteral("Fernsweep v0.95"));
            QCOMPARE(about->btnOk->text(), QStringLiteral("OK"));
            QVERIFY(about->btnOk->isDefault());
            QCOMPARE(about->Label11->text(), QString::fromUtf8(operations::kHomepageUrl));
            // Every text fits its label.
            for (const QLabel* l : about->findChildren<QLabel*>()) {
                QVERIFY2(l->width() >= l->minimumSizeHint().width(), qPrintable(l->text()));
            }
            // The link label opens its own text.
            QTest::mouseClick(about->Label11, Qt::LeftButton);
            QCOMPARE(w.Shell->Requests,
                     (TRequests{{"url", about->Label11->text().toStdString(), ""}}));
            checked = true;
            about->btnOk->click();
        });
        w->mmAbout->trigger();
        QVERIFY(checked);
        // Gone once closed.
        QVERIFY(w->findChildren<ui::TfrmAbout*>().isEmpty());
        QVERIFY(QApplication::activeModalWidget() == nullptr);
    }
};

QTEST_MAIN(TestUiShell)
#include "test_ui_shell.moc"
