// The results tree as Qt's views see it: a thin model over model::TResultTree. It holds no
// copy of the nodes; each index carries its TTreeNode. After a preview it also lets the user
// choose the edits to apply: check boxes on files and occurrences, kept in the files' changes.
#pragma once

#include <QAbstractItemModel>
#include <QIcon>

#include <map>
#include <unordered_map>
#include <utility>
#include <vector>

namespace model {
class TResultTree;
class TTreeNode;
} // namespace model

namespace ui {

class TResultTreeModel : public QAbstractItemModel {
    Q_OBJECT
public:
    explicit TResultTreeModel(model::TResultTree& tree, QObject* parent = nullptr);

    // An occurrence's match within its caption: QPoint(start, length) in the caption's QString
    // units. Invalid for other nodes.
    static constexpr int MatchRole = Qt::UserRole + 1;
    // While choosing: an occurrence's line as it will be, in double quotes, and where its
    // replacement (or its match, when not chosen) lies in that text, as QPoint(start, length).
    static constexpr int AfterRole = Qt::UserRole + 2;
    static constexpr int AfterMatchRole = Qt::UserRole + 3;

    // Choosing: the file nodes that carry a preview's changes (model::TFileChange) and their
    // occurrences show check boxes (a file's box is ticked, unticked or partly ticked from its
    // occurrences) and the occurrences their lines as they will be. Off: neither.
    void SetChoosing(bool on);
    bool Choosing() const { return choosing_; }

    // While frozen the model shows no rows, so the tree underneath may be cleared and filled
    // without the views holding on to freed nodes or repainting; thawing resets them once.
    void Freeze();
    void Thaw();
    bool Frozen() const { return frozen_; }
    // While a run fills the tree: shows it as it is so far (thawing it at the first call), and
    // at each later call announces the rows added and the captions changed since. A run only
    // ever adds rows. Thaw ends it with a reset.
    void ShowGrowth();
    bool Growing() const { return growing_; }
    // After the tree changed outside a freeze.
    void Reset();

    model::TTreeNode* NodeOf(const QModelIndex& index) const;
    QModelIndex IndexOf(const model::TTreeNode* node) const;

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    bool hasChildren(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    // Qt::CheckStateRole while choosing: ticks or unticks an occurrence's edit, or all of a
    // file's edits.
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;

signals:
    // The user chose edits of the file node at `file` or took them back.
    void choicesChanged(const QModelIndex& file);

private:
    const QIcon& Icon(int image, int selected) const;
    static QVariant MatchRange(const model::TTreeNode& node);
    // Rows of `node` (the roots for null) as the views know them.
    int Rows(const model::TTreeNode* node) const;
    void Forget();

    model::TResultTree& tree_;
    bool frozen_ = false;
    bool growing_ = false;
    bool choosing_ = false;
    // While growing: the row counts the views were given, for each folder they asked about.
    mutable std::unordered_map<const model::TTreeNode*, int> known_;
    mutable int knownRoots_ = -1;
    mutable std::map<std::pair<int, int>, QIcon> icons_;
};

} // namespace ui
