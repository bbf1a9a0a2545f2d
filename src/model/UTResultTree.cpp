#include "model/UTResultTree.h"

#include "model/UTOccurence.h"

#include <stdexcept>

namespace model {

std::string TTreeNode::Caption() const {
    if (derivedCaption_) {
        return static_cast<const TOccurence*>(data_.get())->Caption();
    }
    return caption_;
}

int TTreeNode::Level() const {
    int level = 0;
    for (const TTreeNode* p = parent_; p != nullptr; p = p->parent_) {
        ++level;
    }
    return level;
}

TResultTree::~TResultTree() {
    Clear();
}

void TResultTree::Clear() {
    // Iterative, so a very deep tree cannot exhaust the stack.
    std::vector<std::unique_ptr<TTreeNode>> pending = std::move(roots_);
    roots_.clear();
    while (!pending.empty()) {
        std::unique_ptr<TTreeNode> n = std::move(pending.back());
        pending.pop_back();
        for (auto& k : n->children_) {
            pending.push_back(std::move(k));
        }
    }
    count_ = 0;
    flat_.clear();
    flatValid_ = true;
}

TTreeNode* TResultTree::AddChild(TTreeNode* parent, std::string caption,
                                 std::unique_ptr<TResultObject> obj) {
    std::unique_ptr<TTreeNode> node(new TTreeNode());
    node->caption_ = std::move(caption);
    node->data_ = std::move(obj);
    node->parent_ = parent;
    auto& list = parent ? parent->children_ : roots_;
    node->index_ = static_cast<std::int32_t>(list.size());
    list.push_back(std::move(node));
    ++count_;
    flatValid_ = false;
    return list.back().get();
}

void TResultTree::DropChildren(TTreeNode* node) {
    // A stack of its own, so no depth can exhaust the call stack.
    std::vector<std::unique_ptr<TTreeNode>> pending = std::move(node->children_);
    node->children_.clear();
    while (!pending.empty()) {
        std::unique_ptr<TTreeNode> n = std::move(pending.back());
        pending.pop_back();
        --count_;
        for (auto& k : n->children_) {
            pending.push_back(std::move(k));
        }
    }
    flatValid_ = false;
}

TTreeNode* TResultTree::AddOccurence(TTreeNode* parent, std::unique_ptr<TOccurence> occ) {
    TTreeNode* n = AddChild(parent, std::string(), std::move(occ));
    n->derivedCaption_ = true;
    return n;
}

void TResultTree::SetCaption(TTreeNode* node, std::string caption) {
    node->caption_ = std::move(caption);
    node->derivedCaption_ = false;
}

void TResultTree::SetImages(TTreeNode* node, int image, int selected) {
    node->image_ = static_cast<std::uint8_t>(image);
    node->selected_ = static_cast<std::uint8_t>(selected);
}

void TResultTree::ForEach(const std::function<void(TTreeNode&)>& visit) const {
    // Explicit stack: pre-order without recursion.
    std::vector<TTreeNode*> stack;
    for (auto it = roots_.rbegin(); it != roots_.rend(); ++it) {
        stack.push_back(it->get());
    }
    while (!stack.empty()) {
        TTreeNode* n = stack.back();
        stack.pop_back();
        visit(*n);
        for (int i = n->Count() - 1; i >= 0; --i) {
            stack.push_back(n->Item(i));
        }
    }
}

TTreeNode* TResultTree::Item(int flatIndex) const {
    if (flatIndex < 0 || flatIndex >= count_) {
        throw std::out_of_range("Tree node index out of range: " + std::to_string(flatIndex));
    }
    if (!flatValid_) {
        flat_.clear();
        flat_.reserve(static_cast<size_t>(count_));
        ForEach([this](TTreeNode& n) { flat_.push_back(&n); });
        flatValid_ = true;
    }
    return flat_[static_cast<size_t>(flatIndex)];
}

} // namespace model
