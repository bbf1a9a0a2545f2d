// Shared by the window tests: scripted answers for every dialog, a settings folder of the
// test's own, and small file-tree builders.
#pragma once

#include "UFolderTree.h"
#include "UTUserInterface.h"
#include "UfrmMain.h"
#include "vtRegVal.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <deque>
#include <memory>
#include <string>
#include <vector>

namespace uitest {

// Records every message and answers questions from a queue (Cancel when it runs dry).
class TScriptedUserInterface : public operations::TUserInterface {
public:
    std::vector<std::string> Messages;
    std::vector<std::string> Errors;
    std::vector<std::string> Questions;
    std::deque<operations::TAnswer> Answers;
    std::string SaveFileAnswer;

    void ShowMessage(const std::string& text) override { Messages.push_back(text); }
    void ShowError(const std::string& text) override { Errors.push_back(text); }
    operations::TAnswer AskYesNo(const std::string& text) override { return Answer(text); }
    operations::TAnswer AskYesNoCancel(const std::string& text) override { return Answer(text); }
    bool ChooseSaveFile(const std::string&, std::string& fileName) override {
        if (SaveFileAnswer.empty()) {
            return false;
        }
        fileName = SaveFileAnswer;
        return true;
    }

private:
    operations::TAnswer Answer(const std::string& text) {
        Questions.push_back(text);
        if (Answers.empty()) {
            return operations::TAnswer::Cancel;
        }
        const operations::TAnswer a = Answers.front();
        Answers.pop_front();
        return a;
    }
};

// The store of a test: its settings file in `folder`, no user configuration folder.
inline std::function<TStoreLocation()> StoreIn(const QString& folder) {
    const std::string dir = QDir(folder).absolutePath().toStdString() + "/";
    return [dir] {
        TStoreLocation loc;
        loc.ExeDirectory = dir;
        loc.ExeDirectoryWritable = true;
        return loc;
    };
}

// A main window with scripted dialogs and its settings in `settingsFolder`.
struct TWindow {
    TScriptedUserInterface* Ui = nullptr;
    std::unique_ptr<ui::TfrmMain> Frm;

    explicit TWindow(const QString& settingsFolder, QStringList arguments = {},
                     std::function<void()> pump = {}) {
        auto scripted = std::make_unique<TScriptedUserInterface>();
        Ui = scripted.get();
        ui::TfrmMainContext context;
        context.UserInterface = std::move(scripted);
        context.StoreLocation = StoreIn(settingsFolder);
        context.Arguments = std::move(arguments);
        context.PumpMessages = std::move(pump);
        Frm = std::make_unique<ui::TfrmMain>(std::move(context));
    }

    ui::TfrmMain* operator->() const { return Frm.get(); }
    ui::TfrmMain& operator*() const { return *Frm; }

    void Show() {
        Frm->show();
        QVERIFY(QTest::qWaitForWindowExposed(Frm.get()));
    }
};

inline void WriteFile(const QString& path, const QByteArray& content) {
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(content);
}

inline QByteArray ReadFile(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        return {};
    }
    return f.readAll();
}

inline std::string Bytes(const QString& s) {
    return QFile::encodeName(s).toStdString();
}

} // namespace uitest
