#include "model/UTResultTree.h"

#include "text/UTextHelpers.h"

#include <iterator>
#include <stdexcept>

namespace model {

int KindImage(TNodeKind kind) {
    switch (kind) {
    case TNodeKind::Folder:
        return imgFolder;
    case TNodeKind::FolderWithFinds:
        return imgFolderFound;
    case TNodeKind::File:
        return imgFile;
    case TNodeKind::Occurence:
        break;
    }
    return imgOccurence;
}

int KindSelectedImage(TNodeKind kind) {
    return KindImage(kind) + 1;
}

TTreeNode::~TTreeNode() = default;

std::string TTreeNode::Caption() const {
    switch (kind_) {
    case TNodeKind::Folder:
        return Folder()->FolderName;
    case TNodeKind::FolderWithFinds: {
        const TFolder* f = Folder();
        std::string caption = f->FolderName + " - ";
        if (!f->FilesOnly) {
            caption += text::PluralCount(f->OccurenceCount, "occurence");
            caption += " in ";
        }
        caption += text::PluralCount(f->FileCount, "file");
        return caption;
    }
    case TNodeKind::File: {
        const TFile* f = File();
        if (!f->SameFileAs.empty()) {
            return std::string(f->FileName()) + " - same file as " + f->SameFileAs;
        }
        if (f->OccurenceCount > 0) {
            return std::string(f->FileName()) + " - " +
                   text::PluralCount(f->OccurenceCount, "occurence");
        }
        return std::string(f->FileName());
    }
    case TNodeKind::Occurence:
        break;
    }
    return TOccurence::OccurenceCaption(LineText(), line_, column_);
}

const TFolder* TTreeNode::Folder() const {
    return IsFolder() ? static_cast<const TFolder*>(branch_->Object.get()) : nullptr;
}

TFolder* TTreeNode::Folder() {
    return IsFolder() ? static_cast<TFolder*>(branch_->Object.get()) : nullptr;
}

const TFile* TTreeNode::File() const {
    return IsFile() ? static_cast<const TFile*>(branch_->Object.get()) : nullptr;
}

TFile* TTreeNode::File() {
    return IsFile() ? static_cast<TFile*>(branch_->Object.get()) : nullptr;
}

std::string_view TTreeNode::LineText() const {
    if (!IsOccurence()) {
        return {};
    }
    const TNodeBranch& b = *parent_->branch_;
    const std::string_view lines = b.SharedLine ? *b.SharedLine : std::string_view(b.Lines);
    return lines.substr(textStart_, textLength_);
}

std::string TTreeNode::ReportLine() const {
    if (IsFile()) {
        return File()->ReportLine();
    }
    if (IsOccurence()) {
        return TOccurence::OccurenceReportLine(LineText(), line_, column_);
    }
    return {};
}

int TTreeNode::Count() const {
    if (!branch_) {
        return 0;
    }
    return static_cast<int>(IsFile() ? branch_->Occurences.size() : branch_->Children.size());
}

TTreeNode* TTreeNode::Item(int i) const {
    const auto at = static_cast<size_t>(i);
    return IsFile() ? &branch_->Occurences[at] : branch_->Children[at].get();
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
    Delete(std::move(roots_));
    roots_.clear();
    count_ = 0;
    flat_.clear();
    flatValid_ = true;
    pruneFromRoots_ = true;
    shallowestAdded_ = nullptr;
}

void TResultTree::Delete(std::vector<std::unique_ptr<TTreeNode>> nodes) {
    // A stack of its own, so no depth can exhaust the call stack.
    while (!nodes.empty()) {
        std::unique_ptr<TTreeNode> n = std::move(nodes.back());
        nodes.pop_back();
        --count_;
        if (n->branch_) {
            count_ -= static_cast<int>(n->branch_->Occurences.size());
            for (auto& k : n->branch_->Children) {
                nodes.push_back(std::move(k));
            }
        }
    }
    flatValid_ = false;
}

TTreeNode* TResultTree::AddBranch(TTreeNode* parent, TNodeKind kind,
                                  std::unique_ptr<TResultObject> obj) {
    if (parent != nullptr && !parent->IsFolder()) {
        throw std::logic_error("Only a folder node has folders and files below it");
    }
    std::unique_ptr<TTreeNode> node(new TTreeNode(kind));
    node->branch_ = std::make_unique<TNodeBranch>();
    node->branch_->Object = std::move(obj);
    node->parent_ = parent;
    node->branch_->Level = parent != nullptr ? parent->branch_->Level + 1 : 0;
    Added(parent);
    auto& list = parent ? parent->branch_->Children : roots_;
    node->index_ = static_cast<std::int32_t>(list.size());
    list.push_back(std::move(node));
    ++count_;
    flatValid_ = false;
    return list.back().get();
}

TTreeNode* TResultTree::AddFolder(TTreeNode* parent, std::unique_ptr<TFolder> folder) {
    if (!folder) {
        folder = std::make_unique<TFolder>();
    }
    return AddBranch(parent, TNodeKind::Folder, std::move(folder));
}

TTreeNode* TResultTree::AddFile(TTreeNode* parent, std::unique_ptr<TFile> file) {
    if (!file) {
        file = std::make_unique<TFile>();
    }
    return AddBranch(parent, TNodeKind::File, std::move(file));
}

void TResultTree::AppendOccurence(TTreeNode* file, std::string_view text, bool sameLine,
                                  const TOccurence& occurence) {
    TNodeBranch& b = *file->branch_;
    TTreeNode n(TNodeKind::Occurence);
    n.parent_ = file;
    n.index_ = static_cast<std::int32_t>(b.Occurences.size());
    if (sameLine) {
        const TTreeNode& last = b.Occurences.back();
        n.textStart_ = last.textStart_;
        n.textLength_ = last.textLength_;
    } else {
        if (b.SharedLine) {
            // A line after the one kept as it was: from now on the file's lines are copied.
            b.Lines.assign(*b.SharedLine);
            b.SharedLine.reset();
        }
        n.textStart_ = b.Lines.size();
        n.textLength_ = static_cast<std::uint32_t>(text.size());
        b.Lines.append(text);
    }
    n.line_ = occurence.Line;
    n.column_ = occurence.Column;
    n.length_ = occurence.Length;
    b.Occurences.push_back(std::move(n));
}

void TResultTree::AddOccurences(TTreeNode* file,
                                const std::vector<std::unique_ptr<TOccurence>>& list) {
    if (file == nullptr || !file->IsFile()) {
        throw std::logic_error("Occurrences belong below a file node");
    }
    TNodeBranch& b = *file->branch_;
    // Sized once: no slack, and the nodes never move once the list is filled.
    size_t textBytes = 0;
    const std::string* previous = nullptr;
    for (const auto& o : list) {
        const std::string* text = &o->Text();
        if (text != previous) {
            textBytes += text->size();
        }
        previous = text;
    }
    b.Occurences.reserve(b.Occurences.size() + list.size());
    previous = nullptr;
    // A file whose finds are all on one long line keeps that line as it is.
    constexpr size_t kLongLine = 1u << 20;
    std::shared_ptr<const std::string> first;
    if (!list.empty() && b.Occurences.empty() && b.Lines.empty() && !b.SharedLine) {
        first = list.front()->SharedText();
        for (const auto& o : list) {
            if (o->SharedText() != first) {
                first.reset();
                break;
            }
        }
    }
    if (first && first->size() >= kLongLine) {
        b.SharedLine = first;
        TTreeNode n(TNodeKind::Occurence);
        n.parent_ = file;
        n.textLength_ = static_cast<std::uint32_t>(first->size());
        n.line_ = list.front()->Line;
        n.column_ = list.front()->Column;
        n.length_ = list.front()->Length;
        b.Occurences.push_back(std::move(n));
        previous = first.get();
        for (size_t i = 1; i < list.size(); ++i) {
            AppendOccurence(file, *first, true, *list[i]);
        }
        count_ += static_cast<int>(list.size());
        flatValid_ = false;
        return;
    }
    b.Lines.reserve(b.Lines.size() + textBytes);
    for (const auto& o : list) {
        const std::string* text = &o->Text();
        AppendOccurence(file, *text, text == previous && !b.Occurences.empty(), *o);
        previous = text;
    }
    count_ += static_cast<int>(list.size());
    flatValid_ = false;
}

TTreeNode* TResultTree::AddOccurence(TTreeNode* file, const TOccurence& occurence) {
    if (file == nullptr || !file->IsFile()) {
        throw std::logic_error("Occurrences belong below a file node");
    }
    TNodeBranch& b = *file->branch_;
    const bool sameLine = !b.Occurences.empty() &&
                          b.Occurences.back().LineText() == std::string_view(occurence.Text());
    AppendOccurence(file, occurence.Text(), sameLine, occurence);
    ++count_;
    flatValid_ = false;
    return &b.Occurences.back();
}

void TResultTree::MarkFound(TTreeNode* folder) {
    if (folder->IsFolder()) {
        folder->kind_ = TNodeKind::FolderWithFinds;
    }
}

void TResultTree::DropChildren(TTreeNode* node) {
    if (!node->branch_) {
        return;
    }
    TNodeBranch& b = *node->branch_;
    count_ -= static_cast<int>(b.Occurences.size());
    std::vector<TTreeNode>().swap(b.Occurences);
    std::string().swap(b.Lines);
    b.SharedLine.reset();
    Delete(std::move(b.Children));
    b.Children.clear();
    pruneFromRoots_ = true;
    shallowestAdded_ = nullptr;
}

void TResultTree::Added(TTreeNode* parent) {
    if (parent == nullptr) {
        pruneFromRoots_ = true;
    } else if (shallowestAdded_ == nullptr ||
               parent->branch_->Level < shallowestAdded_->branch_->Level) {
        shallowestAdded_ = parent;
    }
}

void TResultTree::KeepOnlyWalkPath() {
    if (shallowestAdded_ == nullptr && !pruneFromRoots_) {
        return;
    }
    // Above the shallowest folder that got a node, each level holds only the walk's folder.
    std::vector<std::unique_ptr<TTreeNode>>* list =
        pruneFromRoots_ ? &roots_ : &shallowestAdded_->branch_->Children;
    pruneFromRoots_ = false;
    shallowestAdded_ = nullptr;
    // Once a folder's node has a later sibling, or a file after it, its walk is over.
    while (!list->empty()) {
        const bool descend = list->back()->IsFolder();
        const auto done = list->end() - (descend ? 1 : 0);
        if (done != list->begin()) {
            std::vector<std::unique_ptr<TTreeNode>> dropped(std::make_move_iterator(list->begin()),
                                                            std::make_move_iterator(done));
            list->erase(list->begin(), done);
            Delete(std::move(dropped));
        }
        if (!descend) {
            break;
        }
        list->front()->index_ = 0;
        list = &list->front()->branch_->Children;
    }
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
