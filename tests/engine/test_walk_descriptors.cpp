// The walk by folder descriptors: sorted names, folders changed under the walk, one file met
// under several names.
#include "walk_test_support.h"

#include "model/UTFile.h"

#include <fstream>
#include <sstream>

using walktest::WalkTest;
namespace fs = std::filesystem;

namespace {

std::string Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

} // namespace

TEST_F(WalkTest, NamesComeInUpperCasedOrderThenByBytes) {
    for (const char* f : {"b.txt", "_x.txt", "B.txt", "a.txt", "Z.txt", "\xe9.txt", "[.txt"}) {
        File(f);
    }
    File("b/in.txt");
    File("A/in.txt");

    Walk();

    EXPECT_EQ(Children(tree.First()),
              (std::vector<std::string>{"A - 1 file", "b - 1 file", "a.txt", "B.txt", "b.txt",
                                        "Z.txt", "[.txt", "_x.txt", "\xe9.txt"}));
}

// A sub-folder changed at the moment the walk enters it: moved out of the tree, swapped for a
// link to a folder outside it, or for another folder. None of them is entered.
TEST_F(WalkTest, AFolderChangedAsTheWalkEntersItIsReportedAndNotEntered) {
    options.StopOnError = true; // one message per event
    request.DoSearch = true;
    request.DoReplace = true;
    request.SearchText = "old";
    request.ReplaceText = "new";
    const std::string outside = (base_ / "outside").string();
    for (int how = 0; how < 3; ++how) {
        fs::remove_all(root_);
        fs::remove_all(outside);
        fs::create_directories(outside);
        std::ofstream(outside + "/o.txt") << "old\n";
        File("sub/s.txt", "old\n");
        File("z.txt", "old\n");
        engine_->OnEnterFolder = [&](const std::string& path) {
            ASSERT_EQ(path, P("sub"));
            fs::rename(P("sub"), how == 0 ? outside + "/moved" : P("sub.was"));
            if (how == 1) {
                fs::create_directory_symlink(outside, P("sub"));
            } else if (how == 2) {
                fs::create_directory(P("sub"));
                std::ofstream(P("sub/t.txt")) << "old\n";
            }
        };
        messages.clear();
        tree.Clear();

        const engine::TSearchTotals t = Walk();

        EXPECT_EQ(messages, std::vector<std::string>{"Cannot change to directory: sub"}) << how;
        EXPECT_EQ(t.FileCount, 1) << how;
        EXPECT_EQ(Slurp(P("z.txt")), "new\n");
        EXPECT_EQ(Slurp(outside + "/o.txt"), "old\n") << how;
        if (how == 0) {
            EXPECT_EQ(Slurp(outside + "/moved/s.txt"), "old\n");
        } else {
            EXPECT_EQ(Slurp(P("sub.was/s.txt")), "old\n") << how;
        }
        if (how == 2) {
            EXPECT_EQ(Slurp(P("sub/t.txt")), "old\n");
        }
    }
}

TEST_F(WalkTest, OneFileUnderThreeNamesIsReplacedOnceUnderTheFirst) {
    request.DoSearch = true;
    request.DoReplace = true;
    request.MakeBackups = true;
    request.SearchText = "foo";
    request.ReplaceText = "foo2";
    for (int threads : {1, 4}) {
        fs::remove_all(root_);
        fs::create_directories(root_);
        File("a.txt", "foo\n");
        fs::create_hard_link(P("a.txt"), P("b.txt"));
        fs::create_symlink("a.txt", P("0link.txt"));
        engine_->Threads = threads;
        tree.Clear();

        const engine::TSearchTotals t = Walk();

        EXPECT_EQ(t.FileCount, 1);
        EXPECT_EQ(t.OccurenceCount, 1);
        EXPECT_EQ(Slurp(P("a.txt")), "foo2\n");
        // The link came first: the file was replaced through it, backed up under its name,
        // and keeps its old text under its other hard link, which is only listed.
        EXPECT_EQ(Slurp(P("0link.~txt")), "foo\n");
        EXPECT_EQ(Slurp(P("b.txt")), "foo\n");
        EXPECT_FALSE(fs::exists(P("a.~txt")));
        EXPECT_FALSE(fs::exists(P("b.~txt")));
        EXPECT_EQ(Children(tree.First()),
                  (std::vector<std::string>{"0link.txt - 1 occurence",
                                            "a.txt - same file as " + P("0link.txt"),
                                            "b.txt - same file as " + P("0link.txt")}));
    }
}
