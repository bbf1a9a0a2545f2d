#include "ui/UResultTreeModel.h"

#include "model/UTOccurence.h"
#include "model/UTResultTree.h"
#include "ui/UAppearance.h"
#include "ui/UTreeImages.h"

#include <algorithm>

namespace ui {

TResultTreeModel::TResultTreeModel(model::TResultTree& tree, QObject* parent)
    : QAbstractItemModel(parent), tree_(tree) {}

void TResultTreeModel::Freeze() {
    if (frozen_) {
        return;
    }
    beginResetModel();
    frozen_ = true;
    endResetModel();
}

void TResultTreeModel::Thaw() {
    if (!frozen_) {
        return;
    }
    beginResetModel();
    frozen_ = false;
    endResetModel();
}

void TResultTreeModel::Reset() {
    beginResetModel();
    endResetModel();
}

model::TTreeNode* TResultTreeModel::NodeOf(const QModelIndex& index) const {
    if (!index.isValid() || index.model() != this) {
        return nullptr;
    }
    return static_cast<model::TTreeNode*>(index.internalPointer());
}

QModelIndex TResultTreeModel::IndexOf(const model::TTreeNode* node) const {
    if (node == nullptr || frozen_) {
        return {};
    }
    return createIndex(node->Index(), 0, const_cast<model::TTreeNode*>(node));
}

QModelIndex TResultTreeModel::index(int row, int column, const QModelIndex& parent) const {
    if (frozen_ || column != 0 || row < 0) {
        return {};
    }
    model::TTreeNode* p = NodeOf(parent);
    if (parent.isValid() && p == nullptr) {
        return {};
    }
    if (p == nullptr) {
        return row < tree_.RootCount() ? createIndex(row, 0, tree_.Root(row)) : QModelIndex();
    }
    return row < p->Count() ? createIndex(row, 0, p->Item(row)) : QModelIndex();
}

QModelIndex TResultTreeModel::parent(const QModelIndex& child) const {
    const model::TTreeNode* node = NodeOf(child);
    if (node == nullptr || frozen_) {
        return {};
    }
    return IndexOf(node->Parent());
}

int TResultTreeModel::rowCount(const QModelIndex& parent) const {
    if (frozen_) {
        return 0;
    }
    if (!parent.isValid()) {
        return tree_.RootCount();
    }
    if (parent.column() != 0) {
        return 0;
    }
    const model::TTreeNode* node = NodeOf(parent);
    return node ? node->Count() : 0;
}

int TResultTreeModel::columnCount(const QModelIndex&) const {
    return 1;
}

bool TResultTreeModel::hasChildren(const QModelIndex& parent) const {
    return rowCount(parent) > 0;
}

QVariant TResultTreeModel::data(const QModelIndex& index, int role) const {
    const model::TTreeNode* node = NodeOf(index);
    if (node == nullptr || frozen_) {
        return {};
    }
    switch (role) {
    case Qt::DisplayRole:
        return ToQ(node->Caption());
    case Qt::DecorationRole:
        return Icon(node->ImageIndex(), node->SelectedIndex());
    case MatchRole:
        return MatchRange(*node);
    default:
        return {};
    }
}

Qt::ItemFlags TResultTreeModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) {
        return Qt::NoItemFlags;
    }
    // Not editable: captions are the run's record, never the user's to change.
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable;
}

QVariant TResultTreeModel::MatchRange(const model::TTreeNode& node) {
    const auto* occurence = dynamic_cast<const model::TOccurence*>(node.Data());
    if (occurence == nullptr) {
        return {};
    }
    // The caption ends with the line in double quotes; the match starts Column bytes into it.
    const std::string caption = node.Caption();
    const std::string& line = occurence->Text();
    const size_t column = static_cast<size_t>(std::max(occurence->Column, 1)) - 1;
    if (caption.size() < line.size() + 1 || column > line.size()) {
        return {};
    }
    const size_t lineStart = caption.size() - line.size() - 1;
    const size_t length =
        std::min(static_cast<size_t>(std::max(occurence->Length, 0)), line.size() - column);
    const auto start = ToQ(caption.substr(0, lineStart + column)).size();
    const auto matched = ToQ(line.substr(column, length)).size();
    return QPoint(static_cast<int>(start), static_cast<int>(matched));
}

const QIcon& TResultTreeModel::Icon(int image, int selected) const {
    auto [it, added] = icons_.try_emplace({image, selected});
    if (added) {
        it->second = TreeIcon(image, selected);
    }
    return it->second;
}

} // namespace ui
