// The main window's settings and histories through a real settings file.
#include "UiTestSupport.h"

#include "settings/UTSearchOptions.h"
#include "ui/UFolderTree.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QSettings>
#include <QSignalSpy>

using uitest::TWindow;

namespace {

QStringList Items(const QComboBox* box) {
    QStringList items;
    for (int i = 0; i < box->count(); ++i) {
        items << box->itemText(i);
    }
    return items;
}

QString Ini(const QTemporaryDir& dir) {
    return dir.filePath(QStringLiteral("Fernsweep.ini"));
}

void History(ui::TfrmMain& f, QComboBox* field, const QStringList& texts) {
    for (const QString& t : texts) {
        field->setEditText(t);
        f.AddToHistory(field);
    }
}

} // namespace

class TestUiSettings : public QObject {
    Q_OBJECT
private slots:
    void firstRunDefaultsAndTheFileClosingWrites() {
        QTemporaryDir dir;
        {
            TWindow w(dir.path());
            w.Show();
            QVERIFY(w->chkRecurseDirs->isChecked());
            QVERIFY(w->chkSearch->isChecked());
            QVERIFY(!w->chkMatchCase->isChecked());
            QVERIFY(!w->chkRegex->isChecked());
            QVERIFY(!w->chkReplace->isChecked());
            QCOMPARE(w->cmbFileMask->currentText(), QStringLiteral("*.*"));
            QCOMPARE(Items(w->cmbFileMask), QStringList{"*.*"});
            QCOMPARE(w->edtSearch->count(), 0);
            QCOMPARE(w->edtReplace->count(), 0);
            QCOMPARE(w->PnlLeftWidth(), 350);
            QCOMPARE(w->SaveFolder, uitest::Bytes(dir.path()) + "/");
            QVERIFY(!(w->windowState() & Qt::WindowMaximized));
            QVERIFY(w.Ui->Messages.empty() && w.Ui->Errors.empty());
            QVERIFY(!QFile::exists(Ini(dir)));
            QSignalSpy closed(w.Frm.get(), &ui::TfrmMain::formClosed);
            w->cmExit->trigger(); // the ordinary close path
            QCOMPARE(closed.count(), 1);
            QVERIFY(!w->isVisible());
        }
        const QByteArray text = uitest::ReadFile(Ini(dir));
        for (const char* section : {"[Booleans]", "[Integers]", "[Strings]", "[frmMain]"}) {
            QVERIFY2(text.contains(section), section);
        }
    }

    void roundTripThroughTheFile() {
        QTemporaryDir dir;
        QTemporaryDir folders;
        QDir().mkpath(folders.filePath("start/inner"));
        const QString start = folders.filePath("start/inner");
        {
            TWindow w(dir.path());
            w.Show();
            QVERIFY(w->stv->SelectPath(uitest::Bytes(start)));
            w->chkRecurseDirs->setChecked(false);
            w->chkMatchCase->setChecked(true);
            w->chkRegex->setChecked(true);
            w->chkReplace->setChecked(true);
            History(*w, w->cmbFileMask, {"*.txt", "*.doc"});
            History(*w, w->edtSearch, {"abc", "def"});
            History(*w, w->edtReplace, {"x"});
            w->cmbFileMask->setEditText("*.c");
            w->edtSearch->setEditText("typed");
            w->edtReplace->setEditText("repl");
            w->SaveFolder = uitest::Bytes(folders.path()) + "/";
            w->FolderPath = "/nowhere/at/all/";
            w->Options().SetArchive(1);
            w->Options().SetHidden(2);
            w->SetPnlLeftWidth(420);
            QTRY_COMPARE(w->PnlLeftWidth(), 420);
            w->close();
        }
        TWindow w(dir.path());
        w.Show();
        QVERIFY(w.Ui->Messages.empty() && w.Ui->Errors.empty());
        QCOMPARE(w->stv->SelectedPath(), uitest::Bytes(start));
        QVERIFY(!w->chkRecurseDirs->isChecked());
        QVERIFY(w->chkSearch->isChecked());
        QVERIFY(w->chkMatchCase->isChecked());
        QVERIFY(w->chkRegex->isChecked());
        QVERIFY(w->chkReplace->isChecked());
        QCOMPARE(Items(w->cmbFileMask), (QStringList{"*.doc", "*.txt", "*.*"}));
        QCOMPARE(Items(w->edtSearch), (QStringList{"def", "abc"}));
        QCOMPARE(Items(w->edtReplace), QStringList{"x"});
        QCOMPARE(w->cmbFileMask->currentText(), QStringLiteral("*.c"));
        QCOMPARE(w->edtSearch->currentText(), QStringLiteral("typed"));
        QCOMPARE(w->edtReplace->currentText(), QStringLiteral("repl"));
        QCOMPARE(w->SaveFolder, uitest::Bytes(folders.path()) + "/");
        QCOMPARE(w->FolderPath, std::string("/nowhere/at/all/"));
        QCOMPARE(w->Options().Archive(), 1);
        QCOMPARE(w->Options().Hidden(), 2);
        QCOMPARE(w->lblOptions->text(), QStringLiteral("Archive attribute set, not a Hidden file"));
        QCOMPARE(w->PnlLeftWidth(), 420);
        QCOMPARE(w->PnlLeftTopHeight(), 244); // the tester is shown
    }

    void historyOrdering() {
        QTemporaryDir dir;
        TWindow w(dir.path());
        History(*w, w->edtSearch, {"abc", "def", "abc"});
        QCOMPARE(Items(w->edtSearch), (QStringList{"abc", "def"}));
        QCOMPARE(w->edtSearch->currentText(), QStringLiteral("abc"));
        History(*w, w->edtSearch, {"ABC"});
        QCOMPARE(Items(w->edtSearch), (QStringList{"ABC", "abc", "def"}));
        QStringList masks;
        for (int i = 0; i < 11; ++i) {
            masks << QStringLiteral("*.%1").arg(i);
        }
        History(*w, w->cmbFileMask, masks);
        QCOMPARE(w->cmbFileMask->count(), 10);
        QCOMPARE(w->cmbFileMask->itemText(0), QStringLiteral("*.10"));
        QCOMPARE(w->cmbFileMask->itemText(9), QStringLiteral("*.1"));
    }

    void eachHistoryIsSavedOverItsOwnLength() {
        QTemporaryDir dir;
        uitest::WriteFile(Ini(dir), "[Strings]\r\nSearchText0=\r\nSearchText1=abc\r\n"
                                    "SearchText2=old\r\nReplaceWith3=kept\r\n");
        {
            TWindow w(dir.path());
            QCOMPARE(Items(w->edtSearch), (QStringList{"abc", "old"})); // no gaps
            History(*w, w->edtSearch, {"new"});
            History(*w, w->edtReplace, {QString()});
            w->close();
        }
        QSettings file(Ini(dir), QSettings::IniFormat);
        QCOMPARE(file.value("Strings/SearchText0").toString(), QStringLiteral("new"));
        QCOMPARE(file.value("Strings/SearchText1").toString(), QStringLiteral("abc"));
        QCOMPARE(file.value("Strings/SearchText2").toString(), QStringLiteral("old"));
        QCOMPARE(file.value("Strings/ReplaceWith0").toString(), QString());
        QCOMPARE(file.value("Strings/ReplaceWith3").toString(), QStringLiteral("kept"));
        QCOMPARE(file.value("Strings/Match0").toString(), QStringLiteral("*.*"));
    }

    void unreadableNumberGoesThroughTheMessageHook() {
        QTemporaryDir dir;
        uitest::WriteFile(Ini(dir), "[Integers]\r\npnlLeftWidth=abc\r\n[Strings]\r\n"
                                    "SaveDir=/this/folder/is/gone/\r\n");
        TWindow w(dir.path());
        QCOMPARE(w.Ui->Messages,
                 std::vector<std::string>{"Error reading Integer value \"Integers\\pnlLeftWidth\". "
                                          "Value = \"abc\". Value set to 350"});
        QCOMPARE(w->PnlLeftWidth(), 350);
        QCOMPARE(w->SaveFolder, uitest::Bytes(dir.path()) + "/");
    }

    void badBooleanEndsTheLoadWithAnError() {
        QTemporaryDir dir;
        uitest::WriteFile(Ini(dir), "[Booleans]\r\nRecurseDirs=yes\r\n");
        TWindow w(dir.path());
        QCOMPARE(w.Ui->Errors, std::vector<std::string>{"'yes' is not a valid boolean value"});
        w.Show(); // the window opens all the same
        QVERIFY(w->isVisible());
    }

    void maximizedAndPlacement() {
        QTemporaryDir dir;
        uitest::WriteFile(Ini(dir), "[Booleans]\r\nMaximized=1\r\n[frmMain]\r\nLeft=40\r\n"
                                    "Top=50\r\nWidth=800\r\nHeight=600\r\nWinState=1\r\n");
        {
            TWindow w(dir.path());
            QVERIFY(w->windowState() & Qt::WindowMaximized);
            QVERIFY(!(w->windowState() & Qt::WindowMinimized));
        }
        uitest::WriteFile(Ini(dir), "[Booleans]\r\nMaximized=0\r\n[frmMain]\r\nLeft=40\r\n"
                                    "Top=50\r\nWidth=800\r\nHeight=600\r\nWinState=1\r\n");
        TWindow w(dir.path());
        QCOMPARE(w->windowState() & (Qt::WindowMaximized | Qt::WindowMinimized), Qt::WindowNoState);
        QCOMPARE(w->geometry(), QRect(40, 50, 800, 600));
        w->setGeometry(60, 70, 700, 500);
        w->close();
        QSettings file(Ini(dir), QSettings::IniFormat);
        QCOMPARE(file.value("frmMain/Left").toInt(), 60);
        QCOMPARE(file.value("frmMain/Width").toInt(), 700);
        QCOMPARE(file.value("frmMain/WinState").toInt(), 0);
    }

    void commandLineFolder() {
        QTemporaryDir dir;
        QTemporaryDir folders;
        QDir().mkpath(folders.filePath("saved"));
        QDir().mkpath(folders.filePath("argument"));
        uitest::WriteFile(Ini(dir), "[Strings]\r\nDirectory=" +
                                        QFile::encodeName(folders.filePath("saved")) + "\r\n");
        {
            TWindow w(dir.path(), {folders.filePath("argument")});
            w.Show();
            QCOMPARE(w->stv->SelectedPath(), uitest::Bytes(folders.filePath("argument")));
        }
        for (const QStringList& args :
             {QStringList{folders.filePath("missing")},
              QStringList{folders.filePath("argument"), folders.filePath("argument")},
              QStringList{}}) {
            TWindow w(dir.path(), args);
            w.Show();
            QCOMPARE(w->stv->SelectedPath(), uitest::Bytes(folders.filePath("saved")));
            QVERIFY(w.Ui->Messages.empty() && w.Ui->Errors.empty());
        }
        // A saved folder that is gone keeps the tree's initial selection, silently.
        uitest::WriteFile(Ini(dir), "[Strings]\r\nDirectory=/no/such/folder/\r\n");
        TWindow w(dir.path());
        QCOMPARE(w->stv->SelectedPath(), uitest::Bytes(QDir::homePath()));
        QVERIFY(w.Ui->Messages.empty() && w.Ui->Errors.empty());
    }
};

QTEST_MAIN(TestUiSettings)
#include "test_ui_settings.moc"
