// Shared by the result-operation tests: a scripted user, a recording shell, temporary folders
// and builders for result trees as the search leaves them.
#pragma once

#include "ScratchFolder.h"
#include "model/UTFile.h"
#include "model/UTFolder.h"
#include "model/UTOccurence.h"
#include "model/UTResultTree.h"
#include "operations/UTUserInterface.h"
#include "platform/UPlatform.h"
#include "platform/UShell.h"

#include <cstdlib>
#include <deque>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace opstest {

// Answers questions from a script and records everything it was shown, in order.
class TScriptedUi : public operations::TUserInterface {
public:
    std::vector<std::string> Messages;  // information boxes
    std::vector<std::string> Questions; // Yes/No and Yes/No/Cancel boxes
    std::deque<operations::TAnswer> Answers;
    // The save dialog: each entry is one answer; an empty optional-like flag means cancel.
    std::deque<std::pair<bool, std::string>> SaveChoices;
    std::vector<std::string> SaveDialogFolders; // the folder each save dialog opened in

    void ShowMessage(const std::string& text) override { Messages.push_back(text); }
    void ShowError(const std::string& text) override { Messages.push_back("ERROR: " + text); }
    operations::TAnswer AskYesNo(const std::string& text) override { return Answer(text); }
    operations::TAnswer AskYesNoCancel(const std::string& text) override { return Answer(text); }
    bool ChooseSaveFile(const std::string& initialFolder, std::string& fileName) override {
        SaveDialogFolders.push_back(initialFolder);
        if (SaveChoices.empty()) {
            throw std::logic_error("unexpected save dialog");
        }
        auto [ok, name] = SaveChoices.front();
        SaveChoices.pop_front();
        if (ok) {
            fileName = name;
        }
        return ok;
    }

private:
    operations::TAnswer Answer(const std::string& text) {
        Questions.push_back(text);
        if (Answers.empty()) {
            throw std::logic_error("unexpected question: " + text);
        }
        const operations::TAnswer a = Answers.front();
        Answers.pop_front();
        return a;
    }
};

// Records every shell request; answers with `Result`.
class TRecordingShell : public platform::TShell {
public:
    std::vector<std::string> Calls;
    bool Result = true;

    bool OpenDocument(const std::string& path) override { return Record("document|" + path); }
    bool OpenFolder(const std::string& folder, const std::string& file) override {
        return Record("folder|" + folder + "|" + file);
    }
    bool OpenInTextEditor(const std::string& path) override { return Record("editor|" + path); }
    bool OpenUrl(const std::string& url) override { return Record("url|" + url); }

private:
    bool Record(std::string call) {
        Calls.push_back(std::move(call));
        return Result;
    }
};

// A fresh temporary folder, removed with everything in it at the end of the test.
class TTempDir {
public:
    TTempDir() : path_(MakeScratchFolder("fs-ops-")) {}
    ~TTempDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    TTempDir(const TTempDir&) = delete;
    TTempDir& operator=(const TTempDir&) = delete;

    const std::string& Path() const { return path_; }
    // The folder path with its trailing separator.
    std::string Dir() const { return path_ + platform::PathDelim; }
    std::string operator/(const std::string& rel) const {
        return path_ + platform::PathDelim + rel;
    }

private:
    std::string path_;
};

inline void WriteFile(const std::string& path, const std::string& data) {
    const size_t s = path.rfind('/');
    if (s != std::string::npos) {
        platform::ForceDirectories(path.substr(0, s));
    }
    if (!platform::WriteWholeFile(path, data)) {
        throw std::runtime_error("cannot write " + path);
    }
}

inline std::string ReadFile(const std::string& path) {
    std::string data;
    platform::ReadWholeFile(path, data);
    return data;
}

// Builds a result tree the way the search does.
class TTreeBuilder {
public:
    explicit TTreeBuilder(model::TResultTree& tree) : tree_(tree) {}

    model::TTreeNode* Folder(model::TTreeNode* parent, const std::string& name,
                             const std::string& directory, bool found = true) {
        auto f = std::make_unique<model::TFolder>();
        f->FolderName = name;
        f->SetDirectory(directory);
        model::TTreeNode* n = tree_.AddFolder(parent, std::move(f));
        if (found) {
            tree_.MarkFound(n);
        }
        return n;
    }

    model::TTreeNode* File(model::TTreeNode* parent, const std::string& fullPath,
                           int attributes = platform::faArchive) {
        auto f = std::make_unique<model::TFile>();
        f->FullPath = fullPath;
        f->Attributes = attributes;
        return tree_.AddFile(parent, std::move(f));
    }

    model::TTreeNode* Occurence(model::TTreeNode* file, int line, int column,
                                const std::string& text, int length = 1) {
        model::TTreeNode* n =
            tree_.AddOccurence(file, model::TOccurence(std::make_shared<const std::string>(text),
                                                       line, column, length));
        file->File()->OccurenceCount++;
        return n;
    }

private:
    model::TResultTree& tree_;
};

} // namespace opstest
