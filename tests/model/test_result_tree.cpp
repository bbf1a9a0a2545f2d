#include "model/UTFile.h"
#include "model/UTFolder.h"
#include "model/UTOccurence.h"
#include "model/UTResultTree.h"
#include "platform/UPlatform.h"

#include <gtest/gtest.h>
#include <random>
#include <vector>

using namespace model;

namespace {

TTreeNode* AddFolder(TResultTree& t, TTreeNode* parent, const std::string& name) {
    auto f = std::make_unique<TFolder>();
    f->FolderName = name;
    return t.AddFolder(parent, std::move(f));
}

TTreeNode* AddFile(TResultTree& t, TTreeNode* parent, const std::string& name) {
    auto f = std::make_unique<TFile>();
    f->FullPath = "/w/" + name;
    return t.AddFile(parent, std::move(f));
}

} // namespace

TEST(ResultTree, FlatOrderIsPreOrderAndChildrenAppend) {
    TResultTree t;
    TTreeNode* root = AddFolder(t, nullptr, "/w");
    TTreeNode* sub = AddFolder(t, root, "sub");
    TTreeNode* file = AddFile(t, root, "a.txt");
    AddFile(t, sub, "b.txt"); // added after a.txt, but sits inside sub
    ASSERT_EQ(t.Count(), 4);
    EXPECT_EQ(t.First(), root);
    EXPECT_EQ(t.Item(0)->Caption(), "/w");
    EXPECT_EQ(t.Item(1)->Caption(), "sub");
    EXPECT_EQ(t.Item(2)->Caption(), "b.txt");
    EXPECT_EQ(t.Item(3), file);
    EXPECT_EQ(file->Parent(), root);
    EXPECT_EQ(file->Index(), 1);
    EXPECT_EQ(t.Item(2)->Level(), 2);
    EXPECT_THROW(t.Item(4), std::out_of_range);
    // Adding after a flat lookup refreshes the order.
    AddFile(t, root, "c.txt");
    EXPECT_EQ(t.Item(4)->Caption(), "c.txt");
}

TEST(ResultTree, ClearFreesEveryObjectOnce) {
    const auto before = TResultObject::LiveCount();
    {
        TResultTree t;
        TTreeNode* root = AddFolder(t, nullptr, "/w");
        for (int i = 0; i < 50; ++i) {
            TTreeNode* f = AddFile(t, AddFolder(t, root, "d" + std::to_string(i)), "f.txt");
            auto line = std::make_shared<const std::string>("x x x");
            for (int k = 0; k < 3; ++k) {
                t.AddOccurence(f, TOccurence(line, 0, 1 + 2 * k, 1));
            }
        }
        EXPECT_EQ(TResultObject::LiveCount() - before, 1 + 50 * 2);
        EXPECT_EQ(t.Count(), 1 + 50 * 5);
        t.Clear();
        EXPECT_EQ(TResultObject::LiveCount(), before);
        EXPECT_EQ(t.Count(), 0);
        EXPECT_EQ(t.First(), nullptr);
        AddFolder(t, nullptr, "/again");
        EXPECT_EQ(TResultObject::LiveCount() - before, 1);
    }
    // Destroying the tree frees what it still holds.
    EXPECT_EQ(TResultObject::LiveCount(), before);
}

TEST(ResultTree, DeepTreeClearsWithoutRecursion) {
    TResultTree t;
    TTreeNode* n = nullptr;
    for (int i = 0; i < 200000; ++i) {
        n = t.AddFolder(n, nullptr);
    }
    t.Clear();
    EXPECT_EQ(t.Count(), 0);
}

// A random depth-first walk that prunes after some of its additions keeps exactly the chain of
// folders it is in, however deep the chain and wherever the last addition was.
TEST(ResultTree, KeepOnlyWalkPathLeavesTheFoldersTheWalkIsIn) {
    std::mt19937 rng(3);
    TResultTree t;
    std::vector<TTreeNode*> path;
    for (int step = 0; step < 20000; ++step) {
        const unsigned what = rng() % 10;
        if (path.empty() || what < 3) {
            path.push_back(AddFolder(t, path.empty() ? nullptr : path.back(), "d"));
        } else if (what < 6) {
            AddFile(t, path.back(), "f");
        } else {
            path.pop_back();
            continue; // the walk prunes as it adds a node, never between
        }
        if (rng() % 3 != 0) {
            continue;
        }
        t.KeepOnlyWalkPath();
        ASSERT_EQ(t.RootCount(), 1) << "step " << step;
        const TTreeNode* n = t.Root(0);
        for (size_t level = 0; level < path.size(); ++level) {
            ASSERT_EQ(n, path[level]) << "step " << step << " level " << level;
            ASSERT_EQ(n->Count(), level + 1 < path.size() ? 1 : 0) << "step " << step;
            n = n->Count() > 0 ? n->Item(0) : nullptr;
        }
        ASSERT_EQ(t.Count(), static_cast<int>(path.size())) << "step " << step;
    }
}

// Paths that share their text down a chain of first sub-folders stay each folder's own when
// siblings follow at any level.
TEST(Folder, DirectoriesBelowSharedPathsStayApart) {
    const std::string d(1, platform::PathDelim);
    TFolder root;
    root.SetDirectory("w" + d);
    TFolder a, ax, axy, b, ay;
    a.SetDirectoryBelow(root, "a");
    ax.SetDirectoryBelow(a, "x");
    axy.SetDirectoryBelow(ax, "y");
    ay.SetDirectoryBelow(a, "y");
    b.SetDirectoryBelow(root, "b");
    EXPECT_EQ(root.Directory(), "w" + d);
    EXPECT_EQ(a.Directory(), "w" + d + "a" + d);
    EXPECT_EQ(ax.Directory(), "w" + d + "a" + d + "x" + d);
    EXPECT_EQ(axy.Directory(), "w" + d + "a" + d + "x" + d + "y" + d);
    EXPECT_EQ(ay.Directory(), "w" + d + "a" + d + "y" + d);
    EXPECT_EQ(b.Directory(), "w" + d + "b" + d);
    EXPECT_EQ(TFolder().Directory(), "");
}

// Pictures and captions follow from a node's kind and object alone.
TEST(ResultTree, KindGivesPicturesAndCaption) {
    TResultTree t;
    TTreeNode* root = AddFolder(t, nullptr, "/w");
    TTreeNode* f = AddFile(t, root, "a.txt");
    auto text = std::make_shared<const std::string>("say \"hi\" [x]");
    std::vector<std::unique_ptr<TOccurence>> found;
    found.push_back(std::make_unique<TOccurence>(text, 0, 5, 4));
    found.push_back(std::make_unique<TOccurence>(text, 0, 10, 1));
    found.push_back(std::make_unique<TOccurence>(
        std::make_shared<const std::string>("say \"hi\" [x]"), 1, 1, 3));
    t.AddOccurences(f, found);
    const struct {
        const TTreeNode* node;
        TNodeKind kind;
        int image;
    } kinds[] = {{root, TNodeKind::Folder, 0},
                 {f, TNodeKind::File, 4},
                 {f->Item(0), TNodeKind::Occurence, 6}};
    for (const auto& k : kinds) {
        EXPECT_EQ(k.node->Kind(), k.kind);
        EXPECT_EQ(k.node->ImageIndex(), k.image);
        EXPECT_EQ(k.node->SelectedIndex(), k.image + 1);
    }
    EXPECT_EQ(root->Caption(), "/w");
    EXPECT_EQ(f->Caption(), "a.txt");
    f->File()->OccurenceCount = 1;
    EXPECT_EQ(f->Caption(), "a.txt - 1 occurence");
    f->File()->SameFileAs = "/w/b.txt";
    EXPECT_EQ(f->Caption(), "a.txt - same file as /w/b.txt");
    root->Folder()->OccurenceCount = 3;
    root->Folder()->FileCount = 1;
    t.MarkFound(root);
    EXPECT_EQ(root->Kind(), TNodeKind::FolderWithFinds);
    EXPECT_EQ(root->ImageIndex(), 2);
    EXPECT_EQ(root->Caption(), "/w - 3 occurences in 1 file");
    root->Folder()->FilesOnly = true;
    EXPECT_EQ(root->Caption(), "/w - 1 file");
    t.MarkFound(f); // a file stays a file
    EXPECT_EQ(f->Kind(), TNodeKind::File);
    EXPECT_THROW(t.AddFile(f, nullptr), std::logic_error);
    EXPECT_THROW(t.AddOccurence(root, TOccurence()), std::logic_error);

    ASSERT_EQ(f->Count(), 3);
    const TTreeNode* o = f->Item(0);
    EXPECT_EQ(o->Caption(), "Line: 1, Pos: 5, \"say \"hi\" [x]\"");
    EXPECT_EQ(o->ReportLine(), "Line: 0, Char: 5, [\"say \"hi\" [x]\"]");
    EXPECT_EQ(f->Item(2)->Caption(), "Line: 2, Pos: 1, \"say \"hi\" [x]\"");
    EXPECT_EQ(f->Item(1)->Column(), 10);
    EXPECT_EQ(f->Item(2)->MatchLength(), 3);
    EXPECT_EQ(o->Parent(), f);
    EXPECT_EQ(f->Item(2)->Index(), 2);
    // One copy of a line its occurrences share; another line has its own, even if equal.
    EXPECT_EQ(o->LineText().data(), f->Item(1)->LineText().data());
    EXPECT_NE(o->LineText().data(), f->Item(2)->LineText().data());
    EXPECT_EQ(f->ReportLine(), "/w/a.txt");
    EXPECT_EQ(root->ReportLine(), "");
    EXPECT_EQ(t.Count(), 5);
    t.DropChildren(f);
    EXPECT_EQ(f->Count(), 0);
    EXPECT_EQ(t.Count(), 2);
}

TEST(Occurence, OccurrencesOfOneLineShareOneCopy) {
    auto text = std::make_shared<const std::string>(std::string(1000, 'a'));
    TOccurence a(text, 3, 1, 1), b(text, 3, 2, 1);
    EXPECT_EQ(&a.Text(), &b.Text());
    EXPECT_EQ(a.Text().size(), 1000u);
    TOccurence empty;
    EXPECT_EQ(empty.Text(), "");
    EXPECT_EQ(empty.Line, 0);
}

// A file's one long line is kept as the search handed it over, not copied; a line added after
// it turns the file back to copied lines, the long one still read right.
TEST(ResultTree, OneLongLineIsKeptNotCopied) {
    auto line = std::make_shared<const std::string>(std::string(1 << 20, 'a') + "PM");
    std::vector<std::unique_ptr<TOccurence>> list;
    list.push_back(std::make_unique<TOccurence>(line, 0, 3, 2));
    list.push_back(std::make_unique<TOccurence>(line, 0, 1 << 20, 2));
    TResultTree t;
    TTreeNode* file = AddFile(t, AddFolder(t, nullptr, "w"), "f");
    t.AddOccurences(file, list);
    ASSERT_EQ(file->Count(), 2);
    EXPECT_EQ(file->Item(0)->LineText().data(), line->data());
    EXPECT_EQ(file->Item(1)->LineText().data(), line->data());
    EXPECT_EQ(t.Count(), 4);
    t.AddOccurence(file, TOccurence(std::make_shared<const std::string>("next"), 1, 1, 4));
    EXPECT_EQ(file->Item(0)->LineText(), *line);
    EXPECT_EQ(file->Item(1)->LineText(), *line);
    EXPECT_EQ(file->Item(2)->LineText(), "next");
}

TEST(File, AttributeQueries) {
    TFile f;
    EXPECT_FALSE(f.IsHidden());
    f.Attributes = 0x22;
    EXPECT_TRUE(f.IsHidden());
    EXPECT_FALSE(f.IsSystem());
    f.Attributes = 0x04;
    EXPECT_TRUE(f.IsSystem());
    f.FullPath = "/w/a.txt";
    EXPECT_EQ(f.ReportLine(), "/w/a.txt");
}
