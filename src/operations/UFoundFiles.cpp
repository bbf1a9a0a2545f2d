#include "operations/UFoundFiles.h"

#include "model/UTFile.h"
#include "model/UTResultTree.h"
#include "platform/UPlatform.h"
#include "text/UTextHelpers.h"

namespace operations {

namespace {

const char* const kNothingToDo = "Nothing to do. Please perform a search to get some results";

const char* const kMoveWarning =
    "WARNING! This operation will move all (non-Hidden, non-System) files found in the previous "
    "search operation,to a new folder of your choice. It will preserve the original folder "
    "structure.\r\nContinue with the selection of the destination folder?";

const char* const kDeleteWarning =
    "WARNING! This operation is not reversible.\r\nIt will  permanently remove all (non-Hidden, "
    "non-System) files found in the previous search operation\r\nAre you ABSOLUTELY sure you "
    "want to continue?";

// The found file of a node; null for any other node.
const model::TFile* FoundFile(const model::TTreeNode* node) {
    return node->File();
}

// Where `path` goes below `destinationRoot`; false when it does not lie below `sourceRoot`.
// A prefix test rather than a search anywhere in the path: with '/' paths a root such as
// "/a/" also occurs inside "/x/a/b", which is not below it.
bool TargetPath(const std::string& path, const std::string& sourceRoot,
                const std::string& destinationRoot, std::string& newPath) {
    const std::string root = text::WithTrailingSeparator(sourceRoot);
    const std::string target = text::WithTrailingSeparator(destinationRoot);
    if (root.empty() || path.size() < root.size() ||
        text::UpperCaseGreek(std::string_view(path).substr(0, root.size())) !=
            text::UpperCaseGreek(root)) {
        return false;
    }
    newPath = target + path.substr(root.size());
    return true;
}

template <typename Op>
bool Transfer(const std::string& path, const std::string& sourceRoot,
              const std::string& destinationRoot, Op op) {
    std::string newPath;
    if (!TargetPath(path, sourceRoot, destinationRoot, newPath)) {
        return false;
    }
    const std::string folder = text::ExtractFilePath(newPath);
    if (!folder.empty() && !platform::ForceDirectories(folder)) {
        return false;
    }
    return op(path, newPath);
}

void TransferCommand(const model::TResultTree& tree, const std::string& sourceRoot,
                     std::string& folderPath, TUserInterface& ui, TFolderChooser& chooser,
                     bool move) {
    if (tree.Count() < 2) {
        ui.ShowMessage(kNothingToDo);
        return;
    }
    if (move && ui.AskYesNo(kMoveWarning) != TAnswer::Yes) {
        return;
    }
    std::string chosen;
    if (!chooser.ChooseFolder(folderPath, chosen)) {
        return;
    }
    TransferFoundFiles(tree, sourceRoot, chosen, move, ui);
    // Remembered whatever the transfer made of it, also when nothing could be done.
    folderPath = chosen;
}

} // namespace

bool CopyPreservingStructure(const std::string& path, const std::string& sourceRoot,
                             const std::string& destinationRoot) {
    return Transfer(path, sourceRoot, destinationRoot,
                    [](const std::string& from, const std::string& to) {
                        return static_cast<bool>(platform::CopyFile(from, to));
                    });
}

bool MovePreservingStructure(const std::string& path, const std::string& sourceRoot,
                             const std::string& destinationRoot) {
    return Transfer(path, sourceRoot, destinationRoot,
                    [](const std::string& from, const std::string& to) {
                        return static_cast<bool>(platform::MoveFile(from, to));
                    });
}

std::int32_t TransferFoundFiles(const model::TResultTree& tree, const std::string& sourceRoot,
                                const std::string& destinationRoot, bool move, TUserInterface& ui) {
    if (!platform::DirectoryExists(sourceRoot)) {
        ui.ShowMessage("Source Folder \"" + sourceRoot + "\" does not exist.");
        return 0;
    }
    if (!platform::DirectoryExists(destinationRoot)) {
        ui.ShowMessage("Destination Folder \"" + destinationRoot + "\" does not exist.");
        return 0;
    }
    std::int32_t done = 0;
    for (int i = 0; i < tree.Count(); ++i) {
        const model::TFile* file = FoundFile(tree.Item(i));
        if (file == nullptr) {
            continue;
        }
        if (move && (file->IsHidden() || file->IsSystem())) {
            continue;
        }
        const bool ok = move ? MovePreservingStructure(file->FullPath, sourceRoot, destinationRoot)
                             : CopyPreservingStructure(file->FullPath, sourceRoot, destinationRoot);
        if (ok) {
            ++done;
        } else {
            ui.ShowMessage(std::string(move ? "Cannot move file \"" : "Cannot copy file \"") +
                           file->FullPath + "\"\r\nto folder \"" + destinationRoot + "\"");
        }
    }
    ui.ShowMessage(text::PluralCount(done, "file") + (move ? " moved" : " copied") +
                   " to Folder \"" + destinationRoot + "\", preserving folder structure.");
    return done;
}

std::int32_t DeleteFoundFiles(const model::TResultTree& tree, TUserInterface& ui) {
    std::int32_t done = 0;
    for (int i = 0; i < tree.Count(); ++i) {
        const model::TFile* file = FoundFile(tree.Item(i));
        if (file == nullptr || file->IsHidden() || file->IsSystem()) {
            continue;
        }
        if (platform::DeleteFile(file->FullPath)) {
            ++done;
        } else {
            ui.ShowMessage("Cannot delete file \"" + file->FullPath + "\"");
        }
    }
    ui.ShowMessage(text::PluralCount(done, "file") + " have been succesfully deleted.");
    return done;
}

void CopyFoundFilesToFolder(const model::TResultTree& tree, const std::string& sourceRoot,
                            std::string& folderPath, TUserInterface& ui, TFolderChooser& chooser) {
    TransferCommand(tree, sourceRoot, folderPath, ui, chooser, false);
}

void MoveFoundFilesToFolder(const model::TResultTree& tree, const std::string& sourceRoot,
                            std::string& folderPath, TUserInterface& ui, TFolderChooser& chooser) {
    TransferCommand(tree, sourceRoot, folderPath, ui, chooser, true);
}

void DeleteFoundFilesPermanently(const model::TResultTree& tree, TUserInterface& ui) {
    if (tree.Count() < 2) {
        ui.ShowMessage(kNothingToDo);
        return;
    }
    if (ui.AskYesNo(kDeleteWarning) != TAnswer::Yes) {
        return;
    }
    DeleteFoundFiles(tree, ui);
}

} // namespace operations
