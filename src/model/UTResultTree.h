// The result tree of a run: folder, file and occurrence nodes. A model of its own, free of any
// GUI type; a view mirrors it. A node's kind tells what it is; its pictures and caption follow
// from the kind and its object, here and nowhere else.
#pragma once

#include "model/UTFile.h"
#include "model/UTFolder.h"
#include "model/UTOccurence.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace model {

enum class TNodeKind : std::uint8_t {
    Folder,          // a folder the walk entered, nothing found below it
    FolderWithFinds, // a folder with found files below it
    File,
    Occurence,
};

// Picture indices of the tree's image list: each kind has a normal and a selected picture.
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

int KindImage(TNodeKind kind);
int KindSelectedImage(TNodeKind kind);

class TTreeNode;

// What a folder or file node holds beyond the node itself. Occurrence nodes have none: they
// live side by side in their file's list, their line texts in one buffer of the file.
struct TNodeBranch {
    std::unique_ptr<TResultObject> Object;
    std::vector<std::unique_ptr<TTreeNode>> Children; // a folder's sub-folders and files
    std::vector<TTreeNode> Occurences;                // a file's occurrences
    std::string Lines;                                // their line texts, each line once
    // Instead of Lines: a file's one long line, kept as the search handed it over rather than
    // copied, so that a line of a gigabyte is not held twice.
    std::shared_ptr<const std::string> SharedLine;
    std::int32_t Level = 0; // of the node: 0 for a root
};

class TTreeNode {
public:
    TTreeNode(const TTreeNode&) = delete;
    TTreeNode& operator=(const TTreeNode&) = delete;
    // Only occurrence nodes move, inside their file's list while it is filled.
    TTreeNode(TTreeNode&&) noexcept = default;
    TTreeNode& operator=(TTreeNode&&) noexcept = default;
    ~TTreeNode();

    TNodeKind Kind() const { return kind_; }
    bool IsFolder() const {
        return kind_ == TNodeKind::Folder || kind_ == TNodeKind::FolderWithFinds;
    }
    bool IsFile() const { return kind_ == TNodeKind::File; }
    bool IsOccurence() const { return kind_ == TNodeKind::Occurence; }

    std::string Caption() const;
    int ImageIndex() const { return KindImage(kind_); }
    int SelectedIndex() const { return KindSelectedImage(kind_); }

    // The node's folder or file; null for other kinds.
    const TFolder* Folder() const;
    TFolder* Folder();
    const TFile* File() const;
    TFile* File();

    // An occurrence's line text, line (from 0), column (from 1) and match length; empty and
    // 0 for other kinds.
    std::string_view LineText() const;
    std::int32_t Line() const { return line_; }
    std::int32_t Column() const { return column_; }
    std::int32_t MatchLength() const { return length_; }
    // The node's line in a results file: a file's full path, an occurrence's line and place;
    // empty for a folder.
    std::string ReportLine() const;

    TTreeNode* Parent() const { return parent_; }
    int Count() const;
    TTreeNode* Item(int i) const;
    // Position among its parent's children (or among the roots).
    int Index() const { return index_; }
    int Level() const;

private:
    friend class TResultTree;
    explicit TTreeNode(TNodeKind kind) : kind_(kind) {}

    TTreeNode* parent_ = nullptr;
    std::unique_ptr<TNodeBranch> branch_;
    std::size_t textStart_ = 0; // in the file's Lines
    std::uint32_t textLength_ = 0;
    std::int32_t index_ = 0;
    std::int32_t line_ = 0;
    std::int32_t column_ = 0;
    std::int32_t length_ = 0;
    TNodeKind kind_;
};

class TResultTree {
public:
    TResultTree() = default;
    ~TResultTree();
    TResultTree(const TResultTree&) = delete;
    TResultTree& operator=(const TResultTree&) = delete;

    // Deletes every node, freeing every object once.
    void Clear();
    // Appends a folder below `parent` (a root when parent is null); an empty folder object
    // stands in for a null one.
    TTreeNode* AddFolder(TTreeNode* parent, std::unique_ptr<TFolder> folder);
    // Appends a file below the folder `parent` (a root when parent is null).
    TTreeNode* AddFile(TTreeNode* parent, std::unique_ptr<TFile> file);
    // Appends all of a file's occurrences in one go; occurrences sharing one line text keep
    // that line once.
    void AddOccurences(TTreeNode* file, const std::vector<std::unique_ptr<TOccurence>>& list);
    // Appends one occurrence. The file's earlier occurrence nodes may move: a node pointer
    // to one of them is good only until the next is added.
    TTreeNode* AddOccurence(TTreeNode* file, const TOccurence& occurence);
    // A folder with found files below it.
    void MarkFound(TTreeNode* folder);
    // Deletes the children of `node` (and their subtrees), freeing their objects: for a front
    // end that has shown them and needs them no more.
    void DropChildren(TTreeNode* node);
    // For a front end that needs no node again once it has shown it, while a walk adds folders
    // depth first (a folder's node when the walk enters it): deletes every node but the chain
    // of folders from the last root down through last children, the folders the walk is in.
    // Every other node pointer is left dangling.
    void KeepOnlyWalkPath();

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
    // Deletes `nodes` with their subtrees, without recursion, and takes them off the count.
    void Delete(std::vector<std::unique_ptr<TTreeNode>> nodes);
    TTreeNode* AddBranch(TTreeNode* parent, TNodeKind kind, std::unique_ptr<TResultObject> obj);
    static void AppendOccurence(TTreeNode* file, std::string_view text, bool sameLine,
                                const TOccurence& occurence);
    // Notes a node added below `parent`, for KeepOnlyWalkPath.
    void Added(TTreeNode* parent);

    std::vector<std::unique_ptr<TTreeNode>> roots_;
    int count_ = 0;
    mutable std::vector<TTreeNode*> flat_;
    mutable bool flatValid_ = true;
    // What KeepOnlyWalkPath has to look at: nothing above the shallowest folder that got a node
    // since it last ran changed, so a deep walk costs it no more than a shallow one.
    bool pruneFromRoots_ = true;
    TTreeNode* shallowestAdded_ = nullptr;
};

} // namespace model
