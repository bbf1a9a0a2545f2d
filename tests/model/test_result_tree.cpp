#include "model/UTFile.h"
#include "model/UTFolder.h"
#include "model/UTOccurence.h"
#include "model/UTResultTree.h"

#include <gtest/gtest.h>

using namespace model;

namespace {

TTreeNode* AddFolder(TResultTree& t, TTreeNode* parent, const std::string& name) {
    auto f = std::make_unique<TFolder>();
    f->FolderName = name;
    TTreeNode* n = t.AddChild(parent, name, std::move(f));
    t.SetImages(n, imgFolder, imgFolderSelected);
    return n;
}

TTreeNode* AddFile(TResultTree& t, TTreeNode* parent, const std::string& name) {
    auto f = std::make_unique<TFile>();
    f->FileName = name;
    f->FullPath = "/w/" + name;
    TTreeNode* n = t.AddChild(parent, name, std::move(f));
    t.SetImages(n, imgFile, imgFileSelected);
    return n;
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
                t.AddOccurence(f, std::make_unique<TOccurence>(line, 0, 1 + 2 * k, 1));
            }
        }
        EXPECT_EQ(TResultObject::LiveCount() - before, 1 + 50 * 5);
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
        n = t.AddChild(n, "d", std::make_unique<TFolder>());
    }
    t.Clear();
    EXPECT_EQ(t.Count(), 0);
}

TEST(Occurence, CaptionAndReportLine) {
    TResultTree t;
    TTreeNode* f = AddFile(t, nullptr, "a.txt");
    auto text = std::make_shared<const std::string>("say \"hi\" [x]");
    TTreeNode* o = t.AddOccurence(f, std::make_unique<TOccurence>(text, 0, 5, 4));
    t.SetImages(o, imgOccurence, imgOccurenceSelected);
    EXPECT_EQ(o->Caption(), "Line: 1, Pos: 5, \"say \"hi\" [x]\"");
    auto* occ = static_cast<TOccurence*>(o->Data());
    EXPECT_EQ(occ->ReportLine(), "Line: 0, Char: 5, [\"say \"hi\" [x]\"]");
    EXPECT_EQ(o->ImageIndex(), 6);
    EXPECT_EQ(o->SelectedIndex(), 7);
    // An explicit caption wins over the derived one.
    t.SetCaption(o, "other");
    EXPECT_EQ(o->Caption(), "other");
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
