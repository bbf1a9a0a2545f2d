#include "operations/UShellCommands.h"

#include "model/UTFile.h"
#include "model/UTFolder.h"
#include "model/UTResultTree.h"
#include "platform/UEditorCommand.h"
#include "platform/UShell.h"
#include "text/UTextHelpers.h"

namespace operations {

namespace {

// The file a node stands for: its own for a file node, its parent's for an occurrence node.
const model::TFile* FileOf(const model::TTreeNode* node) {
    if (node == nullptr) {
        return nullptr;
    }
    if (node->IsOccurence()) {
        return node->Parent()->File();
    }
    return node->File();
}

} // namespace

std::string SiteUrl(const std::string& pathAndQuery) {
    std::string base = kHomepageUrl;
    if (!base.empty() && base.back() == '/' && !pathAndQuery.empty() && pathAndQuery[0] == '/') {
        base.pop_back();
    }
    return base + pathAndQuery;
}

std::string UpdateCheckUrl() {
    return SiteUrl(std::string(kUpdatePath) + "?version=" + kVersionText);
}

std::string RegExSyntaxUrl() {
    return SiteUrl(kRegExSyntaxPath);
}

bool ExploreTarget(const model::TTreeNode* node, std::string& folder, std::string& fileToSelect) {
    folder.clear();
    fileToSelect.clear();
    if (node == nullptr) {
        return false;
    }
    if (const model::TFolder* d = node->Folder()) {
        folder = d->Directory();
        return !folder.empty();
    }
    if (const model::TFile* f = FileOf(node)) {
        folder = text::ExtractFilePath(f->FullPath);
        fileToSelect = f->FullPath;
        return !folder.empty();
    }
    return false;
}

bool DocumentTarget(const model::TTreeNode* node, std::string& path) {
    const model::TFile* f = FileOf(node);
    path = f != nullptr ? f->FullPath : std::string();
    return !path.empty();
}

bool LineTarget(const model::TTreeNode* node, std::string& path, int& line, int& column) {
    line = 1;
    column = 1;
    if (!DocumentTarget(node, path)) {
        return false;
    }
    const model::TTreeNode* occurence = node;
    if (!occurence->IsOccurence() && node->Count() > 0) {
        occurence = node->Item(0);
    }
    if (occurence->IsOccurence()) {
        line = occurence->Line() + 1;
        column = platform::CharacterColumn(std::string(occurence->LineText()), occurence->Column());
    }
    return true;
}

void OpenAtLine(const model::TTreeNode* selected, platform::TShell& shell, TUserInterface& ui,
                const std::string& editorCommand) {
    std::string path;
    int line = 1;
    int column = 1;
    if (!LineTarget(selected, path, line, column)) {
        return;
    }
    if (!shell.OpenInTextEditorAt(path, line, column, editorCommand)) {
        ui.ShowMessage(
            "Cannot open a text editor at line " + std::to_string(line) + " of\r\n" + path +
            (editorCommand.empty() ? std::string() : "\r\nEditor command: " + editorCommand));
    }
}

void ExploreFolder(const model::TTreeNode* selected, platform::TShell& shell) {
    std::string folder;
    std::string file;
    if (ExploreTarget(selected, folder, file)) {
        shell.OpenFolder(folder, file);
    }
}

void ShellOpenFile(const model::TTreeNode* selected, platform::TShell& shell) {
    std::string path;
    if (DocumentTarget(selected, path)) {
        shell.OpenDocument(path);
    }
}

void ViewInTextEditor(const model::TTreeNode* selected, platform::TShell& shell) {
    std::string path;
    if (DocumentTarget(selected, path)) {
        shell.OpenInTextEditor(path);
    }
}

std::string HelpFilePath(const std::string& exeDirectory) {
    return text::WithTrailingSeparator(exeDirectory) + "help/index.html";
}

void OpenQuickHelp(platform::TShell& shell, TUserInterface& ui, const std::string& exeDirectory) {
    const std::string path = HelpFilePath(exeDirectory);
    if (!shell.OpenDocument(path)) {
        ui.ShowMessage("Help file not found at:\r\n" + path);
    }
}

void OpenHomepage(platform::TShell& shell) {
    shell.OpenUrl(kHomepageUrl);
}

void CheckForUpdates(platform::TShell& shell) {
    shell.OpenUrl(UpdateCheckUrl());
}

void OpenRegExSyntaxPage(platform::TShell& shell) {
    shell.OpenUrl(RegExSyntaxUrl());
}

} // namespace operations
