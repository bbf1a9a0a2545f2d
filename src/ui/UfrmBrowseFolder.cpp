#include "ui/UfrmBrowseFolder.h"

#include "settings/vtRegVal.h"
#include "ui/UFolderPathEdit.h"
#include "ui/UFolderTree.h"
#include "ui/UQtPlacement.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
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
    edtPath = new TFolderPathEdit(stv, this);
    edtPath->setObjectName("edtPath");
    btnNewFolder = new QPushButton("&New Folder", this);
    btnNewFolder->setObjectName("btnNewFolder");
    btnNewFolder->setAutoDefault(false);
    connect(btnNewFolder, &QPushButton::clicked, this, &TfrmBrowseFolder::btnNewFolderClick);
    btnOk = new QPushButton("OK", this);
    btnOk->setObjectName("btnOk");
    btnOk->setDefault(true);
    btnCancel = new QPushButton("Cancel", this);
    btnCancel->setObjectName("btnCancel");
    connect(btnOk, &QPushButton::clicked, this, &QDialog::accept);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(btnNewFolder);
    buttons->addStretch(1);
    buttons->addWidget(btnOk);
    buttons->addWidget(btnCancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(edtPath);
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

bool TfrmBrowseFolder::CreateFolder(const QString& name, bool quiet) {
    const QString parent = QFile::decodeName(QByteArray::fromStdString(stv->SelectedPath()));
    QString problem;
    const QString trimmed = name.trimmed();
    if (parent.isEmpty()) {
        problem = QStringLiteral("Select the folder to create it in first.");
    } else if (trimmed.isEmpty() || trimmed == "." || trimmed == ".." || trimmed.contains('/')) {
        problem = QStringLiteral("\"%1\" is not a folder name.").arg(name);
    } else if (QFileInfo::exists(QDir(parent).filePath(trimmed))) {
        problem = QStringLiteral("\"%1\" already exists.").arg(trimmed);
    } else if (!QDir(parent).mkdir(trimmed)) {
        problem = QStringLiteral("Cannot create the folder \"%1\" in\n%2").arg(trimmed, parent);
    }
    if (!problem.isEmpty()) {
        if (!quiet) {
            QMessageBox::warning(this, windowTitle(), problem);
        }
        return false;
    }
    stv->SelectPath(QFile::encodeName(QDir(parent).filePath(trimmed)).toStdString());
    return true;
}

void TfrmBrowseFolder::btnNewFolderClick() {
    bool ok = false;
    const QString name = QInputDialog::getText(
        this, QStringLiteral("New Folder"), QStringLiteral("Name of the new folder:"),
        QLineEdit::Normal, QStringLiteral("New Folder"), &ok);
    if (ok) {
        CreateFolder(name, false);
    }
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
