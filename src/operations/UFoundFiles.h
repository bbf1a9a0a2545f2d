// Copying, moving and deleting every found file of the result tree. Copy and move keep the
// files' folder structure relative to the searched folder.
#pragma once

#include "operations/UTUserInterface.h"

#include <cstdint>
#include <string>

namespace model {
class TResultTree;
}

namespace operations {

// The Browse for Folder dialog as the copy and move commands need it.
class TFolderChooser {
public:
    virtual ~TFolderChooser() = default;
    // Shows the dialog modally with its stored placement, `initialFolder` preselected (a folder
    // that cannot be selected is ignored). False when cancelled. On OK `folder` receives the
    // selected folder, empty when none is selected, and the dialog's placement is stored.
    virtual bool ChooseFolder(const std::string& initialFolder, std::string& folder) = 0;
};

// Copies (move false) or moves (move true) the found files from below `sourceRoot` to the same
// relative places below `destinationRoot`, one message per failure, then a summary. Moving
// leaves hidden and system files alone; copying takes them too. Returns the number done.
std::int32_t TransferFoundFiles(const model::TResultTree& tree, const std::string& sourceRoot,
                                const std::string& destinationRoot, bool move, TUserInterface& ui);

// Deletes the found files permanently, leaving hidden and system files alone; one message per
// failure, then a summary. Returns the number deleted.
std::int32_t DeleteFoundFiles(const model::TResultTree& tree, TUserInterface& ui);

// One file: `path` must lie below `sourceRoot` (compared without regard to letter case, Greek
// included); it goes to the same relative place below `destinationRoot`, whose missing folders
// are created. A copy replaces an existing target; a move never does.
bool CopyPreservingStructure(const std::string& path, const std::string& sourceRoot,
                             const std::string& destinationRoot);
bool MovePreservingStructure(const std::string& path, const std::string& sourceRoot,
                             const std::string& destinationRoot);

// The Operations menu's commands. `sourceRoot` is the folder selected in the main folder tree
// now; `folderPath` is the remembered destination, replaced by the folder chosen on OK.
void CopyFoundFilesToFolder(const model::TResultTree& tree, const std::string& sourceRoot,
                            std::string& folderPath, TUserInterface& ui, TFolderChooser& chooser);
void MoveFoundFilesToFolder(const model::TResultTree& tree, const std::string& sourceRoot,
                            std::string& folderPath, TUserInterface& ui, TFolderChooser& chooser);
void DeleteFoundFilesPermanently(const model::TResultTree& tree, TUserInterface& ui);

} // namespace operations
