// The results tree's navigation: update brackets, the expand buttons, the right-click menu,
// and the quick help window.
#include "ui/UfrmMain.h"

#include "ui/UResultTreeModel.h"
#include "ui/UfrmRegExHelp.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QToolButton>
#include <QTreeView>

namespace ui {

void TfrmMain::tvLogBeginUpdate() {
    if (treeUpdateCount_++ == 0) {
        tvLog->setUpdatesEnabled(false);
    }
}

void TfrmMain::tvLogEndUpdate() {
    if (treeUpdateCount_ > 0 && --treeUpdateCount_ == 0) {
        tvLog->setUpdatesEnabled(true);
    }
}

QModelIndex TfrmMain::FirstRoot() const {
    return model_->index(0, 0);
}

model::TTreeNode* TfrmMain::SelectedNode() const {
    const QModelIndexList selected = tvLog->selectionModel()->selectedIndexes();
    return selected.isEmpty() ? nullptr : model_->NodeOf(selected.front());
}

void TfrmMain::BeginTreeUpdate() {
    tvLogBeginUpdate();
    QApplication::setOverrideCursor(Qt::WaitCursor);
}

void TfrmMain::EndTreeUpdate() {
    QApplication::restoreOverrideCursor();
    tvLogEndUpdate();
    tvLog->setCurrentIndex(FirstRoot());
    tvLog->setFocus();
}

void TfrmMain::btnExpandFullClick() {
    const QModelIndex root = FirstRoot();
    if (!root.isValid()) {
        return;
    }
    BeginTreeUpdate();
    // Closed while its descendants open, so the rows below are laid out once, at the end.
    tvLog->collapse(root);
    ExpandSubtree(root);
    EndTreeUpdate();
}

void TfrmMain::ExpandSubtree(const QModelIndex& node) {
    // Children first, for the same reason as in ExpandToLevel; leaves are not expanded at all.
    const model::TTreeNode* n = model_->NodeOf(node);
    if (n == nullptr || n->Count() == 0) {
        return;
    }
    for (int i = 0; i < n->Count(); ++i) {
        if (n->Item(i)->Count() > 0) {
            ExpandSubtree(model_->index(i, 0, node));
        }
    }
    tvLog->expand(node);
}

void TfrmMain::btnExpandSelectedClick(int tag) {
    const QModelIndex root = FirstRoot();
    if (!root.isValid()) {
        return;
    }
    BeginTreeUpdate();
    // The tree has one root, so collapsing everything collapses it with all its descendants.
    tvLog->collapseAll();
    ExpandToLevel(root, tag);
    EndTreeUpdate();
}

void TfrmMain::ExpandToLevel(const QModelIndex& node, int level) {
    const model::TTreeNode* n = model_->NodeOf(node);
    if (n == nullptr) {
        return;
    }
    const bool folderWithFinds = n->Kind() == model::TNodeKind::FolderWithFinds;
    const bool openFile = level == 2 && n->IsFile();
    if (!folderWithFinds && !openFile) {
        return;
    }
    // Children first: expanding a node whose parent is still closed is only recorded, while
    // expanding a visible one lays out the rows below it. The expanded set is the same.
    const int count = model_->rowCount(node);
    for (int i = 0; i < count; ++i) {
        ExpandToLevel(model_->index(i, 0, node), level);
    }
    tvLog->expand(node);
}

void TfrmMain::btnExpandOneLevelClick() {
    const QModelIndex root = FirstRoot();
    if (!root.isValid()) {
        return;
    }
    BeginTreeUpdate();
    tvLog->collapseAll();
    tvLog->expand(root);
    tvLog->setCurrentIndex(root);
    EndTreeUpdate();
}

void TfrmMain::btnFileOpsClick() {
    pmFileOps->popup(btnFileOps->mapToGlobal(QPoint(btnFileOps->width(), 0)));
}

void TfrmMain::tvLogMouseDown(Qt::MouseButton button, const QPoint& pos) {
    if (button != Qt::RightButton) {
        return;
    }
    const QModelIndex under = tvLog->indexAt(pos);
    if (under.isValid()) {
        tvLog->setCurrentIndex(under);
    }
    PopupLogMenu(tvLog->viewport()->mapToGlobal(pos + QPoint(4, 4)));
}

bool TfrmMain::PopupLogMenu(const QPoint& global) {
    const model::TTreeNode* node = SelectedNode();
    if (node == nullptr) {
        return false;
    }
    const bool fileOrOccurence = node->IsFile() || node->IsOccurence();
    cmOpenAtLine->setEnabled(fileOrOccurence);
    cmShellOpenFile->setEnabled(fileOrOccurence);
    cmView->setEnabled(fileOrOccurence);
    pmLog->popup(global);
    return true;
}

void TfrmMain::tvLogContextKey() {
    QModelIndex current = tvLog->currentIndex();
    if (!current.isValid()) {
        return;
    }
    // Where the node's text begins, just below it, so the menu does not cover the node.
    tvLog->scrollTo(current);
    const QRect row = tvLog->visualRect(current);
    const QPoint at(std::max(row.left(), 0) + 16, row.bottom() + 1);
    PopupLogMenu(tvLog->viewport()->mapToGlobal(at));
}

bool TfrmMain::eventFilter(QObject* watched, QEvent* event) {
    if (watched == tvLog->viewport() && event->type() == QEvent::MouseButtonDblClick) {
        auto* mouse = static_cast<QMouseEvent*>(event);
        const QModelIndex under = tvLog->indexAt(mouse->position().toPoint());
        // Folders keep the tree's own double click (open or close).
        return mouse->button() == Qt::LeftButton && tvLogOpenNode(under);
    }
    if (watched == tvLog && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Menu ||
            (key->key() == Qt::Key_F10 && key->modifiers() == Qt::ShiftModifier)) {
            tvLogContextKey();
            return true;
        }
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            const QModelIndex current = tvLog->currentIndex();
            if (!tvLogOpenNode(current) && current.isValid()) {
                tvLog->setExpanded(current, !tvLog->isExpanded(current));
            }
            return true;
        }
        return false;
    }
    if (watched == tvLog && event->type() == QEvent::ContextMenu) {
        // A menu asked for from the keyboard by other means than the keys above.
        if (static_cast<QContextMenuEvent*>(event)->reason() != QContextMenuEvent::Mouse) {
            tvLogContextKey();
            return true;
        }
        return false;
    }
    if (watched == tvLog->viewport() && event->type() == QEvent::MouseButtonPress) {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::RightButton) {
            tvLogMouseDown(mouse->button(), mouse->position().toPoint());
            return true;
        }
        return false;
    }
    if (event->type() == QEvent::KeyPress && watched != tvLog->viewport() && watched != tvLog) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            if (btnGo->isEnabled()) {
                btnGo->click();
            }
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void TfrmMain::mmRegularExpressionHelpClick() {
    if (help_) {
        help_->show();
        help_->raise();
        help_->activateWindow();
        return;
    }
    // A window of its own, not a child of this one, so it can also lie behind it.
    help_ = std::make_unique<TfrmRegExHelp>(*shell_);
    help_->SetLineByLine(options_.LineByLine());
    connect(help_.get(), &TfrmRegExHelp::formClosed, this,
            [this] { help_.release()->deleteLater(); });
    help_->show();
}

} // namespace ui
