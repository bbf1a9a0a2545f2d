#include "ui/UResultTreeModel.h"

#include "model/UTFileChange.h"
#include "model/UTResultTree.h"
#include "ui/UAppearance.h"
#include "ui/UTreeImages.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>

namespace ui {
namespace {

// The preview's changes of a file node, or of an occurrence's file; null where there are none.
model::TFileChange* ChangeOf(const model::TTreeNode& node) {
    model::TTreeNode* fileNode = node.IsOccurence() ? node.Parent() : nullptr;
    model::TFile* file =
        fileNode != nullptr ? fileNode->File() : const_cast<model::TTreeNode&>(node).File();
    model::TFileChange* change = file != nullptr ? file->Change.get() : nullptr;
    return change != nullptr && !change->Edits.empty() ? change : nullptr;
}

// The edit behind a node that has a check box: an occurrence's index, or -1 for its file.
// False for nodes without one.
bool Checkable(const model::TTreeNode& node, model::TFileChange*& change, int& edit) {
    change = ChangeOf(node);
    edit = node.IsOccurence() ? node.Index() : -1;
    return change != nullptr && static_cast<size_t>(edit + 1) <= change->Edits.size();
}

Qt::CheckState FileState(const model::TFileChange& change) {
    const size_t chosen = change.ChosenCount();
    if (chosen == change.Edits.size()) {
        return Qt::Checked;
    }
    return chosen == 0 ? Qt::Unchecked : Qt::PartiallyChecked;
}

// Occurrence `i`'s line as it will be, and where its edit's text (its matched text, when the
// edit is not chosen) lies in it, in bytes. Follows model::LineAfter's walk over the edits
// that start in the same line.
struct TAfterLine {
    std::string Text;
    size_t Start = 0;
    size_t Length = 0;
};

TAfterLine AfterLine(std::string_view line, const model::TFileChange& change, size_t i) {
    TAfterLine out{model::LineAfter(line, change, i)};
    const std::uint64_t lineStart = change.Edits[i].LineStart;
    const std::uint64_t lineEnd = lineStart + line.size();
    size_t first = i;
    while (first > 0 && change.Edits[first - 1].LineStart == lineStart) {
        --first;
    }
    std::uint64_t copied = lineStart;
    std::uint64_t written = 0;
    for (size_t j = first; j <= i; ++j) {
        const model::TEdit& e = change.Edits[j];
        if (e.From < copied || e.From > lineEnd) {
            continue;
        }
        if (j == i) {
            out.Start = static_cast<size_t>(written + (e.From - copied));
            out.Length = change.IsChosen(i) ? e.Text.size()
                                            : static_cast<size_t>(std::min(e.To, lineEnd) - e.From);
        } else if (change.IsChosen(j)) {
            written += (e.From - copied) + e.Text.size();
            copied = std::min(e.To, lineEnd);
        }
    }
    out.Start = std::min(out.Start, out.Text.size());
    out.Length = std::min(out.Length, out.Text.size() - out.Start);
    return out;
}

} // namespace

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

void TResultTreeModel::SetChoosing(bool on) {
    if (choosing_ == on) {
        return;
    }
    // Rows stay as they are; every row's flags, check state and text are asked for anew.
    emit layoutAboutToBeChanged();
    choosing_ = on;
    emit layoutChanged();
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
        break;
    }
    model::TFileChange* change = nullptr;
    int edit = -1;
    if (!choosing_ || !Checkable(*node, change, edit)) {
        return {};
    }
    if (role == Qt::CheckStateRole) {
        const Qt::CheckState state =
            edit < 0 ? FileState(*change)
                     : (change->IsChosen(static_cast<size_t>(edit)) ? Qt::Checked : Qt::Unchecked);
        return static_cast<int>(state);
    }
    if (edit < 0 || (role != AfterRole && role != AfterMatchRole)) {
        return {};
    }
    const TAfterLine after = AfterLine(node->LineText(), *change, static_cast<size_t>(edit));
    if (role == AfterRole) {
        return QString(QLatin1Char('"') + ToQ(after.Text) + QLatin1Char('"'));
    }
    const auto start = ToQ(after.Text.substr(0, after.Start)).size() + 1;
    const auto length = ToQ(after.Text.substr(after.Start, after.Length)).size();
    return QPoint(static_cast<int>(start), static_cast<int>(length));
}

bool TResultTreeModel::setData(const QModelIndex& at, const QVariant& value, int role) {
    const model::TTreeNode* node = NodeOf(at);
    model::TFileChange* change = nullptr;
    int edit = -1;
    if (role != Qt::CheckStateRole || !choosing_ || frozen_ || node == nullptr ||
        !Checkable(*node, change, edit)) {
        return false;
    }
    // A partly ticked file's box, clicked, ticks all.
    const bool chosen = static_cast<Qt::CheckState>(value.toInt()) != Qt::Unchecked;
    if (edit < 0) {
        change->ChooseAll(chosen);
    } else {
        change->Chosen.resize(change->Edits.size(), 0);
        change->Chosen[static_cast<size_t>(edit)] = chosen ? 1 : 0;
    }
    // The file's box follows its occurrences; their lines after follow each other's choices.
    const QModelIndex file = edit < 0 ? at : at.parent();
    emit dataChanged(file, file, {Qt::CheckStateRole});
    if (const int rows = rowCount(file); rows > 0) {
        emit dataChanged(index(0, 0, file), index(rows - 1, 0, file),
                         {Qt::CheckStateRole, AfterRole, AfterMatchRole});
    }
    emit choicesChanged(file);
    return true;
}

Qt::ItemFlags TResultTreeModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) {
        return Qt::NoItemFlags;
    }
    // Not editable: captions are the run's record, never the user's to change.
    Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    const model::TTreeNode* node = NodeOf(index);
    model::TFileChange* change = nullptr;
    int edit = -1;
    if (choosing_ && node != nullptr && !frozen_ && Checkable(*node, change, edit)) {
        flags |= Qt::ItemIsUserCheckable;
    }
    return flags;
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
