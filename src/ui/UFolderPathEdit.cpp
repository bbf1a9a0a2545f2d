#include "ui/UFolderPathEdit.h"

#include "ui/UFolderTree.h"

#include <QCompleter>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QItemSelectionModel>

namespace ui {

TFolderPathEdit::TFolderPathEdit(TFolderTree* tree, QWidget* parent)
    : QLineEdit(parent), tree_(tree) {
    // A model of its own: the tree's is rooted and sorted for display, and completion must
    // not expand or load the tree's nodes behind the user's back.
    folders_ = new QFileSystemModel(this);
    folders_->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot | QDir::Drives);
    folders_->setOption(QFileSystemModel::DontWatchForChanges, true);
    folders_->setRootPath(QString());
    completer_ = new QCompleter(folders_, this);
    completer_->setCaseSensitivity(Qt::CaseSensitive);
    completer_->setCompletionMode(QCompleter::PopupCompletion);
    setCompleter(completer_);
    setClearButtonEnabled(false);
    setPlaceholderText(QStringLiteral("Type or paste a folder"));

    connect(tree_->selectionModel(), &QItemSelectionModel::currentChanged, this,
            &TFolderPathEdit::FollowTree);
    connect(this, &QLineEdit::textEdited, this, &TFolderPathEdit::TextEdited);
    connect(this, &QLineEdit::returnPressed, this, &TFolderPathEdit::Accept);
    // A completion picked from the list is taken like Enter.
    connect(completer_, qOverload<const QString&>(&QCompleter::activated), this,
            [this](const QString&) { Accept(); });
    FollowTree();
}

QString TFolderPathEdit::TypedPath() const {
    QString path = text().trimmed();
    if (path == QLatin1String("~") || path.startsWith(QLatin1String("~/"))) {
        path.replace(0, 1, QDir::homePath());
    }
    return path;
}

void TFolderPathEdit::FollowTree() {
    if (selecting_) {
        return;
    }
    setText(QFile::decodeName(QByteArray::fromStdString(tree_->SelectedPath())));
    SetMarked(false);
}

void TFolderPathEdit::TextEdited(const QString&) {
    // Each folder typed is selected at once; anything else waits for Enter.
    const QString path = TypedPath();
    SetMarked(false);
    // The folder being typed in is read now, so its sub-folders can be offered.
    const int slash = static_cast<int>(path.lastIndexOf(QLatin1Char('/')));
    if (slash >= 0) {
        const QModelIndex parent =
            folders_->index(slash == 0 ? QStringLiteral("/") : path.left(slash));
        if (parent.isValid() && folders_->canFetchMore(parent)) {
            folders_->fetchMore(parent);
        }
    }
    if (!path.isEmpty() && QFileInfo(path).isDir()) {
        selecting_ = true;
        tree_->SelectPath(QFile::encodeName(path).toStdString());
        selecting_ = false;
    }
}

bool TFolderPathEdit::Accept() {
    const QString path = TypedPath();
    const bool isFolder = !path.isEmpty() && QFileInfo(path).isDir();
    if (isFolder) {
        selecting_ = true;
        tree_->SelectPath(QFile::encodeName(path).toStdString());
        selecting_ = false;
    }
    SetMarked(!isFolder);
    return isFolder;
}

void TFolderPathEdit::focusOutEvent(QFocusEvent* event) {
    QLineEdit::focusOutEvent(event);
    // Left with a path that is no folder: say so, and leave the tree as it is.
    if (!text().isEmpty() && !QFileInfo(TypedPath()).isDir()) {
        SetMarked(true);
    }
}

void TFolderPathEdit::SetMarked(bool marked) {
    if (marked_ == marked) {
        return;
    }
    marked_ = marked;
    setStyleSheet(marked ? QStringLiteral("QLineEdit { background: #ffd7d7; color: #800000; }")
                         : QString());
    setToolTip(marked ? QStringLiteral("No such folder") : QString());
}

} // namespace ui
