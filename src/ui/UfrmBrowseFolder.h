// The Browse for Folder dialog of the copy and move commands: a path field, a folders-only
// tree, "New Folder", OK and Cancel. TBrowseFolderChooser puts it behind the result operations'
// folder choice, with its placement kept in the settings store under "frmBrowseFolder".
#pragma once

#include "operations/UFoundFiles.h"

#include <QDialog>

#include <string>

class QPushButton;
namespace settings {
class TvtRegVal;
}

namespace ui {

class TFolderPathEdit;
class TFolderTree;

class TfrmBrowseFolder : public QDialog {
    Q_OBJECT
public:
    explicit TfrmBrowseFolder(QWidget* parent = nullptr);

    // Selects `path` in the tree; a path that names no folder leaves the tree as it opened.
    void SetSelectedFolder(const std::string& path);
    // The selected folder's full path, like the main folder tree's; empty when none is selected.
    std::string GetSelectedFolder() const;

    // Creates `name` in the selected folder and selects it; false, with the reason shown
    // unless `quiet`, when it cannot.
    bool CreateFolder(const QString& name, bool quiet = true);
    void btnNewFolderClick();

    TFolderPathEdit* edtPath;
    TFolderTree* stv;
    QPushButton* btnNewFolder;
    QPushButton* btnOk;
    QPushButton* btnCancel;
};

class TBrowseFolderChooser : public operations::TFolderChooser {
public:
    // `owner` and `store` must outlive this object.
    TBrowseFolderChooser(QWidget* owner, settings::TvtRegVal& store)
        : owner_(owner), store_(store) {}

    bool ChooseFolder(const std::string& initialFolder, std::string& folder) override;

private:
    QWidget* owner_;
    settings::TvtRegVal& store_;
};

} // namespace ui
