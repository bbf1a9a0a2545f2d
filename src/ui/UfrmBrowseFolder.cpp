#include "UfrmBrowseFolder.h"

#include "UFolderTree.h"
#include "UQtPlacement.h"
#include "vtRegVal.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

namespace ui {

TfrmBrowseFolder::TfrmBrowseFolder(QWidget* parent) : QDialog(parent) {
    setObjectName("frmBrowseFolder");
    setWindowTitle("Browse for Folder...");
    setModal(true);
    resize(360, 420);

    stv = new TFolderTree(this);
    stv->setObjectName("stv");
    btnOk = new QPushButton("OK", this);
    btnOk->setObjectName("btnOk");
    btnOk->setDefault(true);
    btnCancel = new QPushButton("Cancel", this);
    btnCancel->setObjectName("btnCancel");
    connect(btnOk, &QPushButton::clicked, this, &QDialog::accept);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(btnOk);
    buttons->addWidget(btnCancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(stv, 1);
    layout->addLayout(buttons);
}

void TfrmBrowseFolder::SetSelectedFolder(const std::string& path) {
    // A remembered folder may be gone; the tree then keeps its first selection.
    stv->SelectPath(path);
}

std::string TfrmBrowseFolder::GetSelectedFolder() const {
    return stv->SelectedPath();
}

bool TBrowseFolderChooser::ChooseFolder(const std::string& initialFolder, std::string& folder) {
    TfrmBrowseFolder dialog(owner_);
    dialog.SetSelectedFolder(initialFolder);
    TWidgetPlacement placement(dialog, "frmBrowseFolder");
    store_.RestoreFormPlacement(placement);
    if (dialog.exec() != QDialog::Accepted) {
        return false;
    }
    folder = dialog.GetSelectedFolder();
    store_.SaveFormPlacement(placement);
    return true;
}

} // namespace ui
