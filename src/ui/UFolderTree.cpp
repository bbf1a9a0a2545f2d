#include "ui/UFolderTree.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWheelEvent>

namespace ui {

TFolderTree::TFolderTree(QWidget* parent) : QTreeView(parent), model_(new QFileSystemModel(this)) {
    model_->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot | QDir::Drives);
    model_->setReadOnly(true);
    // Folders never change their look by what lies in them: no per-entry icon lookups, and no
    // watcher refreshing the tree behind the user's back.
    model_->setOption(QFileSystemModel::DontWatchForChanges, true);
    model_->setOption(QFileSystemModel::DontUseCustomDirectoryIcons, true);
    model_->setRootPath(QStringLiteral("/"));
    setModel(model_);
    for (int c = 1; c < model_->columnCount(); ++c) {
        hideColumn(c);
    }
    setHeaderHidden(true);
    setRootIsDecorated(false);
    setEditTriggers(NoEditTriggers);
    setSelectionMode(SingleSelection);
    setUniformRowHeights(true);
    // The selection stays as visible as with focus: it is the start folder of the next run.
    QPalette pal = palette();
    pal.setColor(QPalette::Inactive, QPalette::Highlight,
                 pal.color(QPalette::Active, QPalette::Highlight));
    pal.setColor(QPalette::Inactive, QPalette::HighlightedText,
                 pal.color(QPalette::Active, QPalette::HighlightedText));
    setPalette(pal);
    expand(model_->index(QStringLiteral("/")));
    connect(model_, &QFileSystemModel::directoryLoaded, this, &TFolderTree::KeepSelectionInView);
    connect(model_, &QFileSystemModel::layoutChanged, this, &TFolderTree::KeepSelectionInView);
    connect(model_, &QFileSystemModel::rowsInserted, this, &TFolderTree::KeepSelectionInView);
}

std::string TFolderTree::SelectedPath() const {
    const QModelIndex current = currentIndex();
    if (!current.isValid()) {
        return {};
    }
    return QFile::encodeName(model_->filePath(current)).toStdString();
}

bool TFolderTree::SelectPath(const std::string& path) {
    if (path.empty()) {
        return false;
    }
    const QString name = QFile::decodeName(QByteArray::fromStdString(path));
    const QFileInfo info(name);
    if (!info.isDir()) {
        return false;
    }
    // index() builds the nodes down to the folder at once; their siblings arrive later.
    const QModelIndex target = model_->index(QDir::cleanPath(info.absoluteFilePath()));
    if (!target.isValid()) {
        return false;
    }
    for (QModelIndex p = target.parent(); p.isValid(); p = p.parent()) {
        expand(p);
    }
    setCurrentIndex(target);
    scrollTo(target);
    following_ = true;
    followingSince_.start();
    return true;
}

void TFolderTree::KeepSelectionInView() {
    // Loading a few folders takes well under this; later changes are the user's business.
    constexpr qint64 kFollowMs = 3000;
    if (!following_ || followingSince_.elapsed() > kFollowMs) {
        following_ = false;
        return;
    }
    const QModelIndex current = currentIndex();
    if (current.isValid()) {
        scrollTo(current);
    }
}

void TFolderTree::resizeEvent(QResizeEvent* event) {
    QTreeView::resizeEvent(event);
    // Selected before the window was laid out: the first real size decides what is in view.
    KeepSelectionInView();
}

void TFolderTree::keyPressEvent(QKeyEvent* event) {
    following_ = false;
    QTreeView::keyPressEvent(event);
}

void TFolderTree::wheelEvent(QWheelEvent* event) {
    following_ = false;
    QTreeView::wheelEvent(event);
}

void TFolderTree::mousePressEvent(QMouseEvent* event) {
    following_ = false;
    if (event->button() == Qt::RightButton) {
        const QModelIndex under = indexAt(event->position().toPoint());
        if (under.isValid()) {
            setCurrentIndex(under);
        }
        event->accept();
        return;
    }
    QTreeView::mousePressEvent(event);
}

} // namespace ui
