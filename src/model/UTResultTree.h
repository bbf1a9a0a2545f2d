// The result tree of a run: folder, file and occurrence nodes, each owning one result object.
// A model of its own, free of any GUI type; a view mirrors it.
#pragma once

#include "model/UTResultObject.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace model {

class TOccurence;

// Picture indices; the normal picture also tells the node's kind.
enum TNodeImage : std::uint8_t {
    imgFolder = 0,
    imgFolderSelected = 1,
    imgFolderFound = 2,
    imgFolderFoundSelected = 3,
    imgFile = 4,
    imgFileSelected = 5,
    imgOccurence = 6,
    imgOccurenceSelected = 7,
};

class TTreeNode {
public:
    TTreeNode(const TTreeNode&) = delete;
    TTreeNode& operator=(const TTreeNode&) = delete;

    // An occurrence node built by AddOccurence forms its caption from its object on demand.
    std::string Caption() const;
    int ImageIndex() const { return image_; }
    int SelectedIndex() const { return selected_; }
    TResultObject* Data() const { return data_.get(); }
    TTreeNode* Parent() const { return parent_; }
    int Count() const { return static_cast<int>(children_.size()); }
    TTreeNode* Item(int i) const { return children_[static_cast<size_t>(i)].get(); }
    // Position among its parent's children (or among the roots).
    int Index() const { return index_; }
    int Level() const;

private:
    friend class TResultTree;
    TTreeNode() = default;

    std::string caption_;
    std::unique_ptr<TResultObject> data_;
    TTreeNode* parent_ = nullptr;
    std::vector<std::unique_ptr<TTreeNode>> children_;
    std::int32_t index_ = 0;
    std::uint8_t image_ = 0;
    std::uint8_t selected_ = 0;
    bool derivedCaption_ = false;
};

class TResultTree {
public:
    TResultTree() = default;
    ~TResultTree();
    TResultTree(const TResultTree&) = delete;
    TResultTree& operator=(const TResultTree&) = delete;

    // Deletes every node, freeing every object once.
    void Clear();
    // Appends a child to `parent` (a root when parent is null); the node owns `obj`.
    TTreeNode* AddChild(TTreeNode* parent, std::string caption, std::unique_ptr<TResultObject> obj);
    // Appends an occurrence node whose caption is formed from the occurrence itself.
    TTreeNode* AddOccurence(TTreeNode* parent, std::unique_ptr<TOccurence> occ);
    void SetCaption(TTreeNode* node, std::string caption);
    // Deletes the children of `node` (and their subtrees), freeing their objects: for a front
    // end that has shown them and needs them no more.
    void DropChildren(TTreeNode* node);
    void SetImages(TTreeNode* node, int image, int selected);

    // Number of nodes in all.
    int Count() const { return count_; }
    // Node by flat depth-first pre-order index, 0 to Count() - 1.
    TTreeNode* Item(int flatIndex) const;
    TTreeNode* First() const { return roots_.empty() ? nullptr : roots_.front().get(); }
    int RootCount() const { return static_cast<int>(roots_.size()); }
    TTreeNode* Root(int i) const { return roots_[static_cast<size_t>(i)].get(); }

    // Visits every node in flat order.
    void ForEach(const std::function<void(TTreeNode&)>& visit) const;

private:
    std::vector<std::unique_ptr<TTreeNode>> roots_;
    int count_ = 0;
    mutable std::vector<TTreeNode*> flat_;
    mutable bool flatValid_ = true;
};

} // namespace model
