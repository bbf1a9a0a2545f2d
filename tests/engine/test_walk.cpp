// The folder walk: nodes, order, selection, totals, shares, abort points, status line.
#include "walk_test_support.h"

#include "model/UTFile.h"
#include "model/UTFolder.h"

#include <algorithm>
#include <cmath>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using walktest::WalkTest;
namespace fs = std::filesystem;

namespace {

const model::TFolder* FolderOf(const model::TTreeNode* n) {
    return n->Folder();
}

int FileNodes(const model::TTreeNode* n) {
    int files = 0;
    for (int i = 0; i < n->Count(); ++i) {
        files += n->Item(i)->IsFile() ? 1 : 0;
    }
    return files;
}

} // namespace

// --- nodes, captions and images ---------------------------------------------------------

TEST_F(WalkTest, FolderWithoutSelectedFilesStillGetsItsNode) {
    request.DoSearch = true;
    request.SearchText = "needle";
    Dir("empty");
    File("hit/a.txt", "a needle here\n");
    File("miss/b.txt", "nothing\n");

    const engine::TSearchTotals t = Walk();

    EXPECT_EQ(t.OccurenceCount, 1);
    EXPECT_EQ(t.FileCount, 1);
    ASSERT_EQ(tree.RootCount(), 1);
    model::TTreeNode* root = tree.First();
    // The start folder has no files of its own, yet shows the finds below it.
    EXPECT_EQ(root->Caption(), root_ + " - 1 occurence in 1 file");
    EXPECT_EQ(root->ImageIndex(), 2);
    EXPECT_EQ(root->SelectedIndex(), 3);
    EXPECT_EQ(FolderOf(root)->OccurenceCount, 1);
    EXPECT_EQ(FolderOf(root)->FileCount, 1);

    for (const char* bare : {"empty", "miss"}) {
        model::TTreeNode* n = Child(root, bare);
        ASSERT_NE(n, nullptr) << bare;
        EXPECT_EQ(n->Caption(), bare);
        EXPECT_EQ(n->ImageIndex(), 0);
        EXPECT_EQ(n->SelectedIndex(), 1);
        EXPECT_EQ(n->Count(), 0);
        EXPECT_EQ(FolderOf(n)->OccurenceCount, 0);
        EXPECT_EQ(FolderOf(n)->FileCount, 0);
    }
    model::TTreeNode* hit = Child(root, "hit");
    ASSERT_NE(hit, nullptr);
    EXPECT_EQ(hit->Caption(), "hit - 1 occurence in 1 file");
    EXPECT_EQ(hit->ImageIndex(), 2);
}

TEST_F(WalkTest, CaptionsCountFilesOnlyWithoutContentSearch) {
    File("a.txt");
    File("b.txt");
    File("sub/c.txt");

    const engine::TSearchTotals t = Walk();

    // Each selected file counts as one occurrence when content is not searched.
    EXPECT_EQ(t.OccurenceCount, 3);
    EXPECT_EQ(t.FileCount, 3);
    EXPECT_EQ(tree.First()->Caption(), root_ + " - 3 files");
    EXPECT_EQ(Child(tree.First(), "sub")->Caption(), "sub - 1 file");
}

TEST_F(WalkTest, FolderObjectsRecordNameAndDirectory) {
    Dir("sub/deeper");

    Walk();

    const model::TFolder* start = FolderOf(tree.First());
    EXPECT_EQ(start->FolderName, root_);
    EXPECT_EQ(start->Directory(), root_ + "/");
    const model::TTreeNode* sub = Child(tree.First(), "sub");
    ASSERT_NE(sub, nullptr);
    EXPECT_EQ(FolderOf(sub)->FolderName, "sub");
    EXPECT_EQ(FolderOf(sub)->Directory(), root_ + "/sub/");
    const model::TTreeNode* deeper = Child(sub, "deeper");
    ASSERT_NE(deeper, nullptr);
    EXPECT_EQ(FolderOf(deeper)->Directory(), root_ + "/sub/deeper/");
}

// --- order ------------------------------------------------------------------------------

TEST_F(WalkTest, SubFolderNodesComeBeforeFileNodesEachInEnumerationOrder) {
    for (const char* f : {"f1.txt", "f2.txt", "f3.txt", "f4.txt"}) {
        File(f);
    }
    for (const char* d : {"s1", "s2", "s3"}) {
        File(std::string(d) + "/inner.txt");
    }

    Walk();

    std::vector<std::string> dirs, files;
    for (const std::string& name : Listing("")) {
        (fs::is_directory(P(name)) ? dirs : files).push_back(name);
    }
    const model::TTreeNode* root = tree.First();
    ASSERT_EQ(root->Count(), 7);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(root->Item(i)->Caption(), dirs[static_cast<size_t>(i)] + " - 1 file");
        EXPECT_EQ(root->Item(i)->ImageIndex(), 2);
        // Each sub-folder's whole subtree comes with it.
        ASSERT_EQ(root->Item(i)->Count(), 1);
        EXPECT_EQ(root->Item(i)->Item(0)->Caption(), "inner.txt");
    }
    for (int i = 0; i < 4; ++i) {
        const model::TTreeNode* n = root->Item(3 + i);
        EXPECT_EQ(n->Caption(), files[static_cast<size_t>(i)]);
        EXPECT_EQ(n->ImageIndex(), 4);
        const auto* f = n->File();
        ASSERT_NE(f, nullptr);
        EXPECT_EQ(f->FullPath, P(files[static_cast<size_t>(i)]));
    }
}

// --- recursion and selection ------------------------------------------------------------

TEST_F(WalkTest, RecurseOffGivesOnlyTheStartFolderANode) {
    request.Recurse = false;
    File("top.txt");
    File("sub/below.txt");
    Dir("other");

    const engine::TSearchTotals t = Walk();

    EXPECT_EQ(t.FileCount, 1);
    EXPECT_EQ(tree.Count(), 2);
    ASSERT_EQ(tree.First()->Count(), 1);
    EXPECT_EQ(tree.First()->Item(0)->Caption(), "top.txt");
    EXPECT_EQ(statuses.size(), 1u);
    EXPECT_EQ(pumps, 1);
    // The whole share went to the folder's own file.
    ASSERT_FALSE(progress.empty());
    EXPECT_DOUBLE_EQ(progress.back(), 1.0);
}

TEST_F(WalkTest, EmptyMaskListWalksEveryFolderButFindsNothing) {
    request.Masks.clear();
    File("a.txt");
    File("sub/b.txt");
    Dir("sub/deep");

    const engine::TSearchTotals t = Walk();

    EXPECT_EQ(t.FileCount, 0);
    EXPECT_EQ(t.OccurenceCount, 0);
    EXPECT_EQ(tree.Count(), 3); // start, sub, deep: folders only
    EXPECT_EQ(tree.First()->Caption(), root_);
    EXPECT_EQ(tree.First()->ImageIndex(), 0);
    ASSERT_FALSE(progress.empty());
    EXPECT_DOUBLE_EQ(progress.back(), 1.0);
}

TEST_F(WalkTest, SelectionByMaskNeedsTheDotOfStarDotStar) {
    File("Makefile");
    File("main.c");
    File("UPPER.TXT");

    Walk();

    EXPECT_EQ(Children(tree.First()).size(), 2u);
    EXPECT_EQ(Child(tree.First(), "Makefile"), nullptr);
    EXPECT_NE(Child(tree.First(), "main.c"), nullptr);
    EXPECT_NE(Child(tree.First(), "UPPER.TXT"), nullptr);
}

TEST_F(WalkTest, SeveralMasksSelectAFileOnce) {
    request.Masks = {"*.txt", "a*", "*.*"};
    File("a.txt");
    File("b.doc");

    const engine::TSearchTotals t = Walk();

    EXPECT_EQ(t.FileCount, 2);
    EXPECT_EQ(tree.First()->Count(), 2);
}

TEST_F(WalkTest, AttributeFiltersApplyToFilesNotToFolders) {
    options.SetHidden(walktest::kUnset);
    File(".hidden.txt");
    File("plain.txt");
    File(".hiddendir/inside.txt");

    const engine::TSearchTotals t = Walk();

    EXPECT_EQ(t.FileCount, 2);
    EXPECT_EQ(Child(tree.First(), ".hidden.txt"), nullptr);
    EXPECT_NE(Child(tree.First(), "plain.txt"), nullptr);
    // The hidden folder is walked like any other.
    model::TTreeNode* hidden = Child(tree.First(), ".hiddendir");
    ASSERT_NE(hidden, nullptr);
    EXPECT_NE(Child(hidden, "inside.txt"), nullptr);
}

TEST_F(WalkTest, ReadOnlyFilterSelectsByTheEntrysBits) {
    File("ro.txt");
    File("rw.txt");
    ::chmod(P("ro.txt").c_str(), 0444);

    options.SetReadOnly(walktest::kSet);
    Walk();
    EXPECT_EQ(Children(tree.First()), std::vector<std::string>{"ro.txt"});

    tree.Clear();
    options.SetReadOnly(walktest::kUnset);
    Walk();
    EXPECT_EQ(Children(tree.First()), std::vector<std::string>{"rw.txt"});
}

TEST_F(WalkTest, AFilterValueOutsideItsRangeLetsNoFileThrough) {
    options.SetSystem(3);
    File("a.txt");
    File("sub/b.txt");

    const engine::TSearchTotals t = Walk();

    EXPECT_EQ(t.FileCount, 0);
    EXPECT_EQ(tree.Count(), 2); // both folders walked
}

TEST_F(WalkTest, LinksToFoldersAreNeitherWalkedNorSelected) {
    File("real/inside.txt");
    fs::create_directory_symlink(P("real"), P("link.d"));
    fs::create_directory_symlink(root_, P("loop.d")); // would walk in circles if followed
    File("target.txt");
    fs::create_symlink(P("target.txt"), P("alias.txt"));

    const engine::TSearchTotals t = Walk();

    EXPECT_EQ(Child(tree.First(), "link.d"), nullptr);
    EXPECT_EQ(Child(tree.First(), "loop.d"), nullptr);
    // A link to a file is a file.
    EXPECT_NE(Child(tree.First(), "alias.txt"), nullptr);
    EXPECT_EQ(t.FileCount, 3); // inside.txt, target.txt, alias.txt
    EXPECT_EQ(tree.Count(), 5);
}

TEST_F(WalkTest, TemporaryFilesOfReplacementsAreNeverSelected) {
    File("notes.txt");
    File(".notes.txt.4242.fstmp"); // what a replacement killed mid-write leaves behind
    File("sub/.x.c." + std::to_string(::getpid()) + ".fstmp");

    const engine::TSearchTotals t = Walk();

    EXPECT_EQ(t.FileCount, 1);
    EXPECT_EQ(Children(tree.First()), (std::vector<std::string>{"sub", "notes.txt"}));
}

// --- failures ---------------------------------------------------------------------------

TEST_F(WalkTest, SubFolderThatCannotBeEnteredAddsNothing) {
    options.StopOnError = true; // one message per event, an open error ends the run
    for (const char* d : {"d1", "d2", "d3"}) {
        File(std::string(d) + "/a.txt");
        File(std::string(d) + "/b.txt");
    }
    File("own.txt");
    const std::vector<std::string> order = Listing("");
    std::vector<std::string> dirs;
    std::copy_if(order.begin(), order.end(), std::back_inserter(dirs),
                 [&](const std::string& n) { return fs::is_directory(P(n)); });
    ASSERT_EQ(dirs.size(), 3u);
    // The middle sub-folder vanishes after the list was taken: entering it fails, which no
    // permission bit can arrange for root.
    const std::string gone = dirs[1];
    onPump = [&, done = false]() mutable {
        if (!done && statuses.back() == " " + P(dirs[0]) + "/*.*") {
            fs::remove_all(P(gone));
            done = true;
        }
    };

    const engine::TSearchTotals t = Walk();

    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0], "Cannot change to directory: " + gone);
    EXPECT_EQ(t.FileCount, 5); // two in each walked sub-folder, one of its own
    EXPECT_EQ(t.OccurenceCount, 5);
    EXPECT_EQ(tree.First()->Caption(), root_ + " - 5 files");
    EXPECT_EQ(Child(tree.First(), gone), nullptr);
    EXPECT_EQ(tree.First()->Count(), 3); // two sub-folders and the own file
    // The vanished folder's quarter is never added.
    EXPECT_NEAR(engine_->DoneFraction, 0.75, 1e-12);
    // The process's current directory is never the walk's.
    EXPECT_EQ(platform::GetCurrentDir(), oldCwd_);
}

TEST_F(WalkTest, StartFolderThatCannotBeEnteredLeavesTheTreeEmpty) {
    options.StopOnError = true; // one message per event, an open error ends the run
    request.StartFolder = root_ + "/missing";

    const engine::TSearchTotals t = Walk();

    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0], "Cannot change to directory: " + root_ + "/missing");
    EXPECT_EQ(tree.Count(), 0);
    EXPECT_EQ(t.FileCount, 0);
    EXPECT_TRUE(statuses.empty());
    EXPECT_EQ(pumps, 0);
    EXPECT_EQ(engine_->DoneFraction, 0.0);
}

TEST_F(WalkTest, NoStartFolderGivesTheMessageEndingAfterTheColon) {
    request.StartFolder.clear();

    Walk();

    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0], "Cannot change to directory: ");
    EXPECT_EQ(tree.Count(), 0);
}

TEST_F(WalkTest, AFileThatCannotBeOpenedEndsTheWalkWithItsError) {
    options.StopOnError = true; // one message per event, an open error ends the run
    request.DoSearch = true;
    request.SearchText = "x";
    File("a.txt");
    File("far.txt");
    File("sub/b.txt");
    // Gone after the listing, before it is read: whoever runs the test cannot open it.
    engine_->OnEnterFolder = [&](const std::string&) { fs::remove(P("far.txt")); };

    try {
        Walk();
        FAIL() << "no error";
    } catch (const std::exception& e) {
        EXPECT_NE(std::string(e.what()).find(P("far.txt")), std::string::npos) << e.what();
    }
    EXPECT_TRUE(messages.empty());
}

TEST_F(WalkTest, AFileDeeperThanTheLongestPathIsFoundAndReplaced) {
    request.DoSearch = true;
    request.DoReplace = true;
    request.MakeBackups = true;
    request.SearchText = "x";
    request.ReplaceText = "y";
    DeepChain("deep", 17, "far.txt");

    const engine::TSearchTotals t = Walk();

    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(t.FileCount, 1);
    std::string rel = "deep";
    for (int i = 0; i < 17; ++i) {
        rel += "/" + std::string(250, 'd');
    }
    const model::TTreeNode* n = tree.Item(tree.Count() - 2);
    ASSERT_EQ(n->Caption(), "far.txt - 1 occurence");
    EXPECT_EQ(n->File()->FullPath, P(rel + "/far.txt"));
    EXPECT_EQ(statuses.back(), " " + P(rel) + "/*.*");
    const auto readDeep = [&](const char* name) {
        int fd = ::open(P("deep").c_str(), O_RDONLY | O_DIRECTORY);
        for (int i = 0; i < 17; ++i) {
            const int next = ::openat(fd, std::string(250, 'd').c_str(), O_RDONLY | O_DIRECTORY);
            ::close(fd);
            fd = next;
        }
        const int f = ::openat(fd, name, O_RDONLY);
        ::close(fd);
        char buf[16] = {};
        const ssize_t n = ::read(f, buf, sizeof buf);
        ::close(f);
        return std::string(buf, n > 0 ? static_cast<size_t>(n) : 0);
    };
    EXPECT_EQ(readDeep("far.txt"), "y\n");
    EXPECT_EQ(readDeep("far.~txt"), "x\n");
}

TEST_F(WalkTest, EntriesThatAreNeitherFileNorFolderAreSelectedByTheFilters) {
    fs::create_symlink(P("nowhere"), P("dangling.txt"));
    ASSERT_EQ(::mkfifo(P("pipe.txt").c_str(), 0644), 0);

    // Both carry the system bit: selected while System is "any", left out while "unset".
    EXPECT_EQ(Walk().FileCount, 2);
    tree.Clear();
    options.SetSystem(walktest::kUnset);
    EXPECT_EQ(Walk().FileCount, 0);
}

// --- progress ---------------------------------------------------------------------------

TEST_F(WalkTest, SharesOfThreeSubFoldersAndFourFiles) {
    Dir("a");
    Dir("b");
    Dir("c");
    for (const char* f : {"1.txt", "2.txt", "3.txt", "4.txt"}) {
        File(f);
    }

    Walk();

    // Each empty sub-folder adds its quarter at once, then each file a sixteenth.
    const std::vector<double> expected = {0.25, 0.5, 0.75, 0.8125, 0.875, 0.9375, 1.0};
    ASSERT_EQ(progress.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_NEAR(progress[i], expected[i], 1e-12) << i;
    }
}

TEST_F(WalkTest, SharesSplitDownTheTree) {
    File("a/x.txt");
    File("a/y.txt");
    Dir("a/inner");

    Walk();

    // start: 1/2 to a, 1/2 to its own (no) files; a: 1/4 to inner, 1/4 shared by x and y.
    const std::vector<double> expected = {0.25, 0.375, 0.5, 1.0};
    ASSERT_EQ(progress.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_NEAR(progress[i], expected[i], 1e-12) << i;
    }
}

// --- abort ------------------------------------------------------------------------------

TEST_F(WalkTest, AbortWhileADeepFolderIsEnteredWindsBackUp) {
    // start/l1/l2/l3/l4, three files on every level, and one more sub-folder beside l1.
    std::string rel;
    for (const char* level : {"l1", "l2", "l3", "l4"}) {
        rel += std::string(rel.empty() ? "" : "/") + level;
        for (const char* f : {"a.txt", "b.txt", "c.txt"}) {
            File(rel + "/" + f);
        }
    }
    for (const char* f : {"a.txt", "b.txt", "c.txt"}) {
        File(f);
    }
    Dir("side");
    const std::vector<std::string> top = Listing("");
    const bool sideFirst =
        std::find(top.begin(), top.end(), "side") < std::find(top.begin(), top.end(), "l1");
    const std::string deep = " " + P("l1/l2/l3") + "/*.*";
    onPump = [&]() {
        if (statuses.back() == deep) {
            engine_->Aborted = true;
        }
    };

    const engine::TSearchTotals t = Walk();

    // No folder after l3 is entered: l4 not, nor "side" when it comes after l1.
    EXPECT_EQ(statuses.back(), deep);
    EXPECT_EQ(pumps, sideFirst ? 5 : 4);
    // Every folder on the way back searches the first of its own files, then stops.
    EXPECT_EQ(t.FileCount, 4);
    const model::TTreeNode* n = tree.First();
    for (const char* level : {"l1", "l2", "l3"}) {
        EXPECT_EQ(FileNodes(n), 1) << "above " << level;
        n = Child(n, level);
        ASSERT_NE(n, nullptr) << level;
    }
    EXPECT_EQ(n->Count(), 1); // l3: one file node, no l4
    EXPECT_EQ(n->Item(0)->ImageIndex(), 4);
    EXPECT_EQ(n->Caption(), "l3 - 1 file");
    EXPECT_EQ(tree.First()->Caption(), root_ + " - 4 files");
    EXPECT_EQ(platform::GetCurrentDir(), oldCwd_);
}

TEST_F(WalkTest, AbortBeforeTheWalkDoesNothing) {
    File("a.txt");
    engine_->Aborted = true;

    const engine::TSearchTotals t =
        engine_->SearchFolder(request, request.StartFolder, nullptr, 1.0);

    EXPECT_EQ(t.FileCount, 0);
    EXPECT_EQ(tree.Count(), 0);
    EXPECT_TRUE(statuses.empty());
    EXPECT_EQ(platform::GetCurrentDir(), oldCwd_);
}

// --- status line and current directory --------------------------------------------------

TEST_F(WalkTest, StatusLineShowsEachFolderAsAPattern) {
    Dir("sub/deeper");
    Dir("other");

    Walk();

    ASSERT_EQ(statuses.size(), 4u);
    EXPECT_EQ(statuses[0], " " + root_ + "/*.*");
    std::vector<std::string> rest(statuses.begin() + 1, statuses.end());
    std::sort(rest.begin(), rest.end());
    EXPECT_EQ(rest, (std::vector<std::string>{" " + root_ + "/other/*.*", " " + root_ + "/sub/*.*",
                                              " " + root_ + "/sub/deeper/*.*"}));
    EXPECT_EQ(pumps, 4);
}

TEST_F(WalkTest, CurrentDirectoryIsLeftAlone) {
    File("sub/a.txt");

    Walk();

    EXPECT_EQ(platform::GetCurrentDir(), oldCwd_);
}
