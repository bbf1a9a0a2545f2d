#include "ui/UResultTreeModel.h"

#include "model/UTResultTree.h"
#include "ui/UAppearance.h"
#include "ui/UTreeImages.h"

#include <algorithm>

namespace ui {

TResultTreeModel::TResultTreeModel(model::TResultTree& tree, QObject* parent)
    : QAbstractItemModel(parent), tree_(tree) {}

void TResultTreeModel::Forget() {
    growing_ = false;
    known_.clear();
    knownRoots_ = -1;
}

void TResultTreeModel::Freeze() {
    if (frozen_) {
        return;
    }
    beginResetModel();
    frozen_ = true;
    Forget();
    endResetModel();
}

void TResultTreeModel::Thaw() {
    if (!frozen_ && !growing_) {
        return;
    }
    beginResetModel();
    frozen_ = false;
    Forget();
    endResetModel();
}

void TResultTreeModel::Reset() {
    beginResetModel();
    Forget();
    endResetModel();
}

void TResultTreeModel::ShowGrowth() {
    if (frozen_) {
        beginResetModel();
        frozen_ = false;
        Forget();
        growing_ = true;
        endResetModel();
        return;
    }
    if (!growing_) {
        return;
    }
    // Gathered first: announcing rows lets the views ask about new parents meanwhile.
    struct TGrowth {
        const model::TTreeNode* Node;
        int Known;
    };
    std::vector<TGrowth> parents;
    parents.reserve(known_.size());
    for (const auto& [node, rows] : known_) {
        parents.push_back({node, rows});
    }
    if (knownRoots_ >= 0 && tree_.RootCount() > knownRoots_) {
        beginInsertRows({}, knownRoots_, tree_.RootCount() - 1);
        knownRoots_ = tree_.RootCount();
        endInsertRows();
    }
    for (const TGrowth& g : parents) {
        const int now = g.Node->Count();
        if (now > g.Known) {
            beginInsertRows(IndexOf(g.Node), g.Known, now - 1);
            known_[g.Node] = now;
            endInsertRows();
        }
    }
    // Folders finished meanwhile have their counts in their captions, and new pictures.
    if (knownRoots_ > 0) {
        emit dataChanged(index(0, 0), index(knownRoots_ - 1, 0));
    }
    for (const TGrowth& g : parents) {
        const int rows = known_[g.Node];
        if (rows > 0) {
            const QModelIndex parent = IndexOf(g.Node);
            emit dataChanged(index(0, 0, parent), index(rows - 1, 0, parent));
        }
    }
}

int TResultTreeModel::Rows(const model::TTreeNode* node) const {
    if (!growing_) {
        return node != nullptr ? node->Count() : tree_.RootCount();
    }
    if (node == nullptr) {
        if (knownRoots_ < 0) {
            knownRoots_ = tree_.RootCount();
        }
        return knownRoots_;
    }
    if (!node->IsFolder()) {
        return node->Count(); // a file's occurrences all come with it, never later
    }
    return known_.try_emplace(node, node->Count()).first->second;
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
        return row < Rows(nullptr) ? createIndex(row, 0, tree_.Root(row)) : QModelIndex();
    }
    return row < Rows(p) ? createIndex(row, 0, p->Item(row)) : QModelIndex();
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
        return Rows(nullptr);
    }
    if (parent.column() != 0) {
        return 0;
    }
    const model::TTreeNode* node = NodeOf(parent);
    return node ? Rows(node) : 0;
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
    if (!node.IsOccurence()) {
        return {};
    }
    // The caption ends with the line in double quotes; the match starts Column bytes into it.
    const std::string caption = node.Caption();
    const std::string_view line = node.LineText();
    const size_t column = static_cast<size_t>(std::max(node.Column(), 1)) - 1;
    if (caption.size() < line.size() + 1 || column > line.size()) {
        return {};
    }
    const size_t lineStart = caption.size() - line.size() - 1;
    const size_t length =
        std::min(static_cast<size_t>(std::max(node.MatchLength(), 0)), line.size() - column);
    const auto start = ToQ(caption.substr(0, lineStart + column)).size();
    const auto matched = ToQ(std::string(line.substr(column, length))).size();
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
