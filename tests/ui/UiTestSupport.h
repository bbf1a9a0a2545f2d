// Shared by the window tests: scripted answers for every dialog, a settings folder of the
// test's own, and small file-tree builders.
#pragma once

#include "operations/UTUserInterface.h"
#include "settings/vtRegVal.h"
#include "ui/UFolderTree.h"
#include "ui/UfrmMain.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <deque>
#include <memory>
#include <string>
#include <vector>

namespace uitest {

// Records every message and answers questions from a queue (Cancel when it runs dry).
// The save dialog answers SaveFileAnswer (empty: cancelled) and notes the folder it opened in.
class TScriptedUserInterface : public operations::TUserInterface {
public:
    std::vector<std::string> Messages;
    std::vector<std::string> Errors;
    std::vector<std::string> Questions;
    std::deque<operations::TAnswer> Answers;
    std::string SaveFileAnswer;
    std::vector<std::string> SaveDialogFolders;

    void ShowMessage(const std::string& text) override { Messages.push_back(text); }
    void ShowError(const std::string& text) override { Errors.push_back(text); }
    operations::TAnswer AskYesNo(const std::string& text) override { return Answer(text); }
    operations::TAnswer AskYesNoCancel(const std::string& text) override { return Answer(text); }
    bool ChooseSaveFile(const std::string& initialFolder, std::string& fileName) override {
        SaveDialogFolders.push_back(initialFolder);
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

// One request made of the desktop shell.
struct TShellRequest {
    std::string
        Kind; // "document", "folder", "editor", "editor-at" (Path is path:line:column) or "url"
    std::string Path;
    std::string Select; // the file to show selected in a folder; an editor command
    bool operator==(const TShellRequest&) const = default;
};

// Records what the window asks of the desktop instead of starting any program. A document
// counts as opened when it exists, as with the real shell; everything else always succeeds.
class TRecordingShell : public platform::TShell {
public:
    std::vector<TShellRequest> Requests;

    bool OpenDocument(const std::string& path) override {
        Requests.push_back({"document", path, {}});
        return QFileInfo::exists(QFile::decodeName(QByteArray::fromStdString(path)));
    }
    bool OpenFolder(const std::string& folder, const std::string& fileToSelect) override {
        Requests.push_back({"folder", folder, fileToSelect});
        return true;
    }
    bool OpenInTextEditor(const std::string& path) override {
        Requests.push_back({"editor", path, {}});
        return true;
    }
    bool OpenInTextEditorAt(const std::string& path, int line, int column,
                            const std::string& editorCommand) override {
        Requests.push_back({"editor-at",
                            path + ":" + std::to_string(line) + ":" + std::to_string(column),
                            editorCommand});
        return !EditorFails;
    }
    bool OpenUrl(const std::string& url) override {
        Requests.push_back({"url", url, {}});
        return true;
    }
    // When set, no editor can be started.
    bool EditorFails = false;
};

// The Browse for Folder dialog answered from a script: Cancel, or OK with Answer. Notes the
// folder each dialog would have opened in.
class TScriptedFolderChooser : public operations::TFolderChooser {
public:
    bool Confirm = false;
    std::string Answer;
    std::vector<std::string> InitialFolders;

    bool ChooseFolder(const std::string& initialFolder, std::string& folder) override {
        InitialFolders.push_back(initialFolder);
        if (!Confirm) {
            return false;
        }
        folder = Answer;
        return true;
    }
};

// The store of a test: its settings file in `folder`, no user configuration folder.
inline std::function<settings::TStoreLocation()> StoreIn(const QString& folder) {
    const std::string dir = QDir(folder).absolutePath().toStdString() + "/";
    return [dir] {
        settings::TStoreLocation loc;
        loc.ExeDirectory = dir;
        loc.ExeDirectoryWritable = true;
        return loc;
    };
}

// Replacements record themselves in the undo journal, in the platform's state folder: for the
// tests, one temporary folder for the whole program, never the user's.
inline void KeepJournalInTestFolder() {
    static QTemporaryDir state;
    static const bool set = qputenv("XDG_STATE_HOME", QFile::encodeName(state.path()));
    (void)set;
}

// A main window with scripted dialogs, a recording shell and its settings in `settingsFolder`.
struct TWindow {
    TScriptedUserInterface* Ui = nullptr;
    TRecordingShell* Shell = nullptr;
    TScriptedFolderChooser* Chooser = nullptr;
    std::unique_ptr<ui::TfrmMain> Frm;

    explicit TWindow(const QString& settingsFolder, QStringList arguments = {},
                     std::function<void()> pump = {}) {
        KeepJournalInTestFolder();
        auto scripted = std::make_unique<TScriptedUserInterface>();
        Ui = scripted.get();
        ui::TfrmMainContext context;
        context.UserInterface = std::move(scripted);
        auto shell = std::make_unique<TRecordingShell>();
        Shell = shell.get();
        context.Shell = std::move(shell);
        auto chooser = std::make_unique<TScriptedFolderChooser>();
        Chooser = chooser.get();
        context.FolderChooser = std::move(chooser);
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
