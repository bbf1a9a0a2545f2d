#include "OpsTestSupport.h"
#include "operations/UFoundFiles.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/time.h>

using namespace opstest;
using operations::TAnswer;

namespace {

// Stands in for the Browse for Folder dialog.
class TScriptedChooser : public operations::TFolderChooser {
public:
    bool Ok = true;
    std::string Choice;
    std::vector<std::string> Opened; // the folder each dialog was opened with

    bool ChooseFolder(const std::string& initialFolder, std::string& folder) override {
        Opened.push_back(initialFolder);
        if (Ok) {
            folder = Choice;
        }
        return Ok;
    }
};

// A source tree on disk and the result tree a search of it left: src/sub/deep/c.txt,
// src/sub/b.txt, src/a.txt, in the walk's order (sub-folders first).
struct TFixture {
    TTempDir dir;
    model::TResultTree tree;
    std::string src = dir / "src";
    std::string dst = dir / "dst";

    explicit TFixture(int hiddenOrSystemOfB = platform::faArchive) {
        WriteFile(src + "/sub/deep/c.txt", "c");
        WriteFile(src + "/sub/b.txt", "b");
        WriteFile(src + "/a.txt", "a");
        platform::ForceDirectories(dst);
        TTreeBuilder t(tree);
        model::TTreeNode* root = t.Folder(nullptr, src, src + "/");
        model::TTreeNode* sub = t.Folder(root, "sub", src + "/sub/");
        model::TTreeNode* deep = t.Folder(sub, "deep", src + "/sub/deep/");
        t.File(deep, src + "/sub/deep/c.txt");
        t.File(sub, src + "/sub/b.txt", hiddenOrSystemOfB);
        t.File(root, src + "/a.txt");
    }
};

std::string CopySummary(int n, const std::string& dst) {
    return std::to_string(n) + (n == 1 ? " file" : " files") + " copied to Folder \"" + dst +
           "\", preserving folder structure.";
}

std::string MoveSummary(int n, const std::string& dst) {
    return std::to_string(n) + (n == 1 ? " file" : " files") + " moved to Folder \"" + dst +
           "\", preserving folder structure.";
}

std::string DeleteSummary(int n) {
    return std::to_string(n) + (n == 1 ? " file" : " files") + " have been succesfully deleted.";
}

std::string CannotCopy(const std::string& path, const std::string& dst) {
    return "Cannot copy file \"" + path + "\"\r\nto folder \"" + dst + "\"";
}

std::string CannotMove(const std::string& path, const std::string& dst) {
    return "Cannot move file \"" + path + "\"\r\nto folder \"" + dst + "\"";
}

const std::string kMoveWarning =
    "WARNING! This operation will move all (non-Hidden, non-System) files found in the previous "
    "search operation,to a new folder of your choice. It will preserve the original folder "
    "structure.\r\nContinue with the selection of the destination folder?";
const std::string kDeleteWarning =
    "WARNING! This operation is not reversible.\r\nIt will  permanently remove all (non-Hidden, "
    "non-System) files found in the previous search operation\r\nAre you ABSOLUTELY sure you "
    "want to continue?";
const std::string kNothingToDo = "Nothing to do. Please perform a search to get some results";

} // namespace

// Copy

TEST(TransferFoundFiles, CopyKeepsStructureModeAndTime) {
    TFixture f;
    ASSERT_EQ(::chmod((f.src + "/a.txt").c_str(), 0750), 0);
    const struct timeval times[2] = {{1000000000, 0}, {1234567890, 0}};
    ASSERT_EQ(::utimes((f.src + "/a.txt").c_str(), times), 0);
    TScriptedUi ui;
    EXPECT_EQ(operations::TransferFoundFiles(f.tree, f.src, f.dst, false, ui), 3);
    EXPECT_EQ(ui.Messages, std::vector<std::string>{CopySummary(3, f.dst)});
    EXPECT_EQ(ReadFile(f.dst + "/sub/deep/c.txt"), "c");
    EXPECT_EQ(ReadFile(f.dst + "/sub/b.txt"), "b");
    EXPECT_EQ(ReadFile(f.dst + "/a.txt"), "a");
    EXPECT_EQ(ReadFile(f.src + "/a.txt"), "a"); // the source stays
    struct stat st;
    ASSERT_EQ(::stat((f.dst + "/a.txt").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0750u);
    EXPECT_EQ(st.st_mtim.tv_sec, 1234567890);
}

TEST(TransferFoundFiles, CopyOverwritesExistingTargetAndCountsIt) {
    TFixture f;
    WriteFile(f.dst + "/sub/b.txt", "older");
    TScriptedUi ui;
    EXPECT_EQ(operations::TransferFoundFiles(f.tree, f.src, f.dst, false, ui), 3);
    EXPECT_EQ(ReadFile(f.dst + "/sub/b.txt"), "b");
    EXPECT_EQ(ui.Messages, std::vector<std::string>{CopySummary(3, f.dst)});
}

TEST(TransferFoundFiles, MoveRefusesExistingTargetWithItsMessage) {
    TFixture f;
    WriteFile(f.dst + "/sub/b.txt", "older");
    TScriptedUi ui;
    EXPECT_EQ(operations::TransferFoundFiles(f.tree, f.src, f.dst, true, ui), 2);
    EXPECT_EQ(ui.Messages, (std::vector<std::string>{CannotMove(f.src + "/sub/b.txt", f.dst),
                                                     MoveSummary(2, f.dst)}));
    EXPECT_EQ(ReadFile(f.dst + "/sub/b.txt"), "older");
    EXPECT_EQ(ReadFile(f.src + "/sub/b.txt"), "b");
    EXPECT_FALSE(platform::FileExists(f.src + "/a.txt"));
    EXPECT_EQ(ReadFile(f.dst + "/a.txt"), "a");
}

TEST(TransferFoundFiles, HiddenAndSystemFilesCopiedButNotMovedOrDeleted) {
    for (const int attr : {platform::faHidden, platform::faSysFile,
                           platform::faHidden | platform::faSysFile | platform::faArchive}) {
        {
            TFixture f(attr);
            TScriptedUi ui;
            EXPECT_EQ(operations::TransferFoundFiles(f.tree, f.src, f.dst, false, ui), 3);
            EXPECT_TRUE(platform::FileExists(f.dst + "/sub/b.txt"));
        }
        {
            TFixture f(attr);
            TScriptedUi ui;
            EXPECT_EQ(operations::TransferFoundFiles(f.tree, f.src, f.dst, true, ui), 2);
            EXPECT_EQ(ui.Messages, std::vector<std::string>{MoveSummary(2, f.dst)});
            EXPECT_TRUE(platform::FileExists(f.src + "/sub/b.txt"));
            EXPECT_FALSE(platform::FileExists(f.dst + "/sub/b.txt"));
        }
        {
            TFixture f(attr);
            TScriptedUi ui;
            EXPECT_EQ(operations::DeleteFoundFiles(f.tree, ui), 2);
            EXPECT_EQ(ui.Messages, std::vector<std::string>{DeleteSummary(2)});
            EXPECT_TRUE(platform::FileExists(f.src + "/sub/b.txt"));
            EXPECT_FALSE(platform::FileExists(f.src + "/a.txt"));
        }
    }
}

TEST(TransferFoundFiles, OnlyHiddenOrSystemFound) {
    TTempDir dir;
    WriteFile(dir / "s/.h", "h");
    WriteFile(dir / "s/sys", "s");
    platform::ForceDirectories(dir / "d");
    model::TResultTree tree;
    TTreeBuilder b(tree);
    model::TTreeNode* root = b.Folder(nullptr, dir / "s", dir / "s/");
    b.File(root, dir / "s/.h", platform::faHidden);
    b.File(root, dir / "s/sys", platform::faSysFile);
    TScriptedUi ui;
    EXPECT_EQ(operations::DeleteFoundFiles(tree, ui), 0);
    EXPECT_EQ(ui.Messages, std::vector<std::string>{DeleteSummary(0)});
    EXPECT_EQ(operations::TransferFoundFiles(tree, dir / "s", dir / "d", false, ui), 2);
    EXPECT_EQ(ui.Messages.back(), CopySummary(2, dir / "d"));
}

TEST(TransferFoundFiles, SourceRootInOtherLetterCaseIncludingGreek) {
    TTempDir dir;
    // Recorded paths in small letters; the root as selected now spelt in capitals (Greek
    // alpha-final sigma, accented alpha) - on a case-sensitive file system both folders exist.
    const std::string lower = dir / "work\xe1\xf2\xdc";
    const std::string upper = dir / "WORK\xc1\xd3\xc1";
    WriteFile(lower + "/sub/a.txt", "a");
    platform::ForceDirectories(upper);
    platform::ForceDirectories(dir / "dst");
    model::TResultTree tree;
    TTreeBuilder b(tree);
    model::TTreeNode* root = b.Folder(nullptr, lower, lower + "/");
    b.File(b.Folder(root, "sub", lower + "/sub/"), lower + "/sub/a.txt");
    TScriptedUi ui;
    EXPECT_EQ(operations::TransferFoundFiles(tree, upper, dir / "dst", false, ui), 1);
    EXPECT_EQ(ui.Messages, std::vector<std::string>{CopySummary(1, dir / "dst")});
    EXPECT_EQ(ReadFile(dir / "dst/sub/a.txt"), "a");
    // Bytes outside the fold table stay distinct: 0xC0 is no capital of anything.
    EXPECT_FALSE(operations::CopyPreservingStructure(lower + "/sub/a.txt", dir / "WORK\xc1\xd3\xc0",
                                                     dir / "dst"));
}

TEST(TransferFoundFiles, RootEndingInSeparatorAndTheFileSystemRoot) {
    TTempDir dir;
    WriteFile(dir / "src/x/a.txt", "a");
    platform::ForceDirectories(dir / "dst");
    // A root with its separator already there gets no second one.
    EXPECT_TRUE(
        operations::CopyPreservingStructure(dir / "src/x/a.txt", dir / "src/", dir / "dst/"));
    EXPECT_EQ(ReadFile(dir / "dst/x/a.txt"), "a");
    // The file-system root, like a drive root: the relative part starts after its separator.
    EXPECT_TRUE(operations::CopyPreservingStructure(dir / "src/x/a.txt", "/", dir / "dst2"));
    EXPECT_EQ(ReadFile(dir / "dst2" + dir.Path() + "/src/x/a.txt"), "a");
}

TEST(TransferFoundFiles, FilesOutsideTheSourceRootFailOneByOne) {
    TFixture f;
    // The user selected another folder after the search: only what lies below it qualifies.
    TScriptedUi ui;
    const std::string newRoot = f.src + "/sub";
    EXPECT_EQ(operations::TransferFoundFiles(f.tree, newRoot, f.dst, false, ui), 2);
    EXPECT_EQ(ui.Messages, (std::vector<std::string>{CannotCopy(f.src + "/a.txt", f.dst),
                                                     CopySummary(2, f.dst)}));
    EXPECT_EQ(ReadFile(f.dst + "/deep/c.txt"), "c");
    EXPECT_EQ(ReadFile(f.dst + "/b.txt"), "b");
}

TEST(TransferFoundFiles, RootMatchesAsPrefixOnlyAndAtAFolderBoundary) {
    TTempDir dir;
    WriteFile(dir / "x/a/b.txt", "b");
    WriteFile(dir / "work2/c.txt", "c");
    platform::ForceDirectories(dir / "a");
    platform::ForceDirectories(dir / "work");
    platform::ForceDirectories(dir / "dst");
    // "/…/a/" occurs inside "/…/x/a/b.txt" but the file does not lie below it.
    EXPECT_FALSE(operations::CopyPreservingStructure(dir / "x/a/b.txt", dir / "a", dir / "dst"));
    EXPECT_FALSE(
        operations::CopyPreservingStructure(dir / "work2/c.txt", dir / "work", dir / "dst"));
    EXPECT_FALSE(operations::CopyPreservingStructure(dir / "x/a/b.txt", "", dir / "dst"));
}

TEST(TransferFoundFiles, MissingRootsTouchNoFile) {
    TFixture f;
    TScriptedUi ui;
    EXPECT_EQ(operations::TransferFoundFiles(f.tree, f.dir / "gone", f.dst, false, ui), 0);
    EXPECT_EQ(ui.Messages, std::vector<std::string>{"Source Folder \"" + (f.dir / "gone") +
                                                    "\" does not exist."});
    ui.Messages.clear();
    EXPECT_EQ(operations::TransferFoundFiles(f.tree, f.src, f.dir / "gone", true, ui), 0);
    EXPECT_EQ(ui.Messages, std::vector<std::string>{"Destination Folder \"" + (f.dir / "gone") +
                                                    "\" does not exist."});
    ui.Messages.clear();
    // A regular file is no folder; an empty choice (no folder selected) neither.
    EXPECT_EQ(operations::TransferFoundFiles(f.tree, f.src, f.src + "/a.txt", false, ui), 0);
    EXPECT_EQ(operations::TransferFoundFiles(f.tree, f.src, "", false, ui), 0);
    EXPECT_EQ(ui.Messages, (std::vector<std::string>{"Destination Folder \"" + f.src +
                                                         "/a.txt\" does not exist.",
                                                     "Destination Folder \"\" does not exist."}));
    EXPECT_TRUE(platform::FileExists(f.src + "/a.txt"));
    EXPECT_FALSE(platform::DirectoryExists(f.dst + "/sub"));
}

TEST(TransferFoundFiles, FolderThatCannotBeCreatedFailsThatFileOnly) {
    TFixture f;
    WriteFile(f.dst + "/sub", "a regular file where a folder is needed");
    TScriptedUi ui;
    EXPECT_EQ(operations::TransferFoundFiles(f.tree, f.src, f.dst, false, ui), 1);
    EXPECT_EQ(ui.Messages, (std::vector<std::string>{CannotCopy(f.src + "/sub/deep/c.txt", f.dst),
                                                     CannotCopy(f.src + "/sub/b.txt", f.dst),
                                                     CopySummary(1, f.dst)}));
    ui.Messages.clear();
    ASSERT_EQ(::unlink((f.dst + "/a.txt").c_str()), 0);
    EXPECT_EQ(operations::TransferFoundFiles(f.tree, f.src, f.dst, true, ui), 1);
    EXPECT_EQ(ui.Messages.size(), 3u);
    EXPECT_EQ(ui.Messages[0], CannotMove(f.src + "/sub/deep/c.txt", f.dst));
    EXPECT_TRUE(platform::FileExists(f.src + "/sub/b.txt"));
}

TEST(TransferFoundFiles, CopyNeverLeavesAPartialTargetAndNeverCopiesOntoItself) {
    TFixture f;
    // A folder in the target's place: the copy fails, the folder stays, nothing else appears.
    platform::ForceDirectories(f.dst + "/a.txt");
    EXPECT_FALSE(operations::CopyPreservingStructure(f.src + "/a.txt", f.src, f.dst));
    EXPECT_TRUE(platform::DirectoryExists(f.dst + "/a.txt"));
    platform::TDirEnumerator e(f.dst);
    int entries = 0;
    while (e.Next()) {
        entries += e.Name() != "." && e.Name() != "..";
    }
    EXPECT_EQ(entries, 1);
    // Source and destination the same folder: the file must survive.
    EXPECT_FALSE(operations::CopyPreservingStructure(f.src + "/a.txt", f.src, f.src));
    EXPECT_EQ(ReadFile(f.src + "/a.txt"), "a");
}

TEST(TransferFoundFiles, OnlyFolderNodesReportZeroFiles) {
    TTempDir dir;
    platform::ForceDirectories(dir / "s/sub");
    platform::ForceDirectories(dir / "d");
    model::TResultTree tree;
    TTreeBuilder b(tree);
    b.Folder(b.Folder(nullptr, dir / "s", dir / "s/", false), "sub", dir / "s/sub/", false);
    TScriptedUi ui;
    EXPECT_EQ(operations::TransferFoundFiles(tree, dir / "s", dir / "d", false, ui), 0);
    EXPECT_EQ(operations::TransferFoundFiles(tree, dir / "s", dir / "d", true, ui), 0);
    EXPECT_EQ(ui.Messages,
              (std::vector<std::string>{CopySummary(0, dir / "d"), MoveSummary(0, dir / "d")}));
}

TEST(TransferFoundFiles, MoveAcrossFileSystemsKeepsModeAndTime) {
    struct stat a, b;
    if (::stat("/dev/shm", &b) != 0 || ::stat("/tmp", &a) != 0 || a.st_dev == b.st_dev) {
        GTEST_SKIP() << "no second file system to move to";
    }
    TFixture f;
    ASSERT_EQ(::chmod((f.src + "/a.txt").c_str(), 0604), 0);
    const struct timeval times[2] = {{1000000000, 0}, {1111111111, 0}};
    ASSERT_EQ(::utimes((f.src + "/a.txt").c_str(), times), 0);
    std::string shm = "/dev/shm/fs-ops-XXXXXX";
    ASSERT_NE(::mkdtemp(shm.data()), nullptr);
    TScriptedUi ui;
    EXPECT_TRUE(operations::MovePreservingStructure(f.src + "/a.txt", f.src, shm));
    EXPECT_FALSE(platform::FileExists(f.src + "/a.txt"));
    struct stat st;
    ASSERT_EQ(::stat((shm + "/a.txt").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0604u);
    EXPECT_EQ(st.st_mtim.tv_sec, 1111111111);
    EXPECT_EQ(ReadFile(shm + "/a.txt"), "a");
    // Never over an existing target, across file systems too.
    WriteFile(f.src + "/a.txt", "new");
    EXPECT_FALSE(operations::MovePreservingStructure(f.src + "/a.txt", f.src, shm));
    EXPECT_EQ(ReadFile(shm + "/a.txt"), "a");
    EXPECT_EQ(ReadFile(f.src + "/a.txt"), "new");
    ::unlink((shm + "/a.txt").c_str());
    ::rmdir(shm.c_str());
}

// Delete

TEST(DeleteFoundFiles, DeletesAndSummarisesSingularAndPlural) {
    TFixture f;
    TScriptedUi ui;
    EXPECT_EQ(operations::DeleteFoundFiles(f.tree, ui), 3);
    EXPECT_EQ(ui.Messages, std::vector<std::string>{DeleteSummary(3)});
    EXPECT_FALSE(platform::FileExists(f.src + "/sub/deep/c.txt"));
    EXPECT_TRUE(platform::DirectoryExists(f.src + "/sub/deep")); // folders stay

    TTempDir dir;
    WriteFile(dir / "one.txt", "1");
    model::TResultTree tree;
    TTreeBuilder b(tree);
    b.File(b.Folder(nullptr, dir.Path(), dir.Dir()), dir / "one.txt");
    TScriptedUi ui1;
    EXPECT_EQ(operations::DeleteFoundFiles(tree, ui1), 1);
    EXPECT_EQ(ui1.Messages, std::vector<std::string>{"1 file have been succesfully deleted."});
}

TEST(DeleteFoundFiles, SecondRunAfterMoveGivesOneFailurePerFile) {
    TFixture f;
    TScriptedUi ui;
    EXPECT_EQ(operations::TransferFoundFiles(f.tree, f.src, f.dst, true, ui), 3);
    ui.Messages.clear();
    EXPECT_EQ(operations::DeleteFoundFiles(f.tree, ui), 0);
    EXPECT_EQ(ui.Messages, (std::vector<std::string>{
                               "Cannot delete file \"" + f.src + "/sub/deep/c.txt\"",
                               "Cannot delete file \"" + f.src + "/sub/b.txt\"",
                               "Cannot delete file \"" + f.src + "/a.txt\"", DeleteSummary(0)}));
    // The moved files are untouched by it.
    EXPECT_EQ(ReadFile(f.dst + "/a.txt"), "a");
    // And a second move fails per file the same way.
    ui.Messages.clear();
    EXPECT_EQ(operations::TransferFoundFiles(f.tree, f.src, f.dst, true, ui), 0);
    EXPECT_EQ(ui.Messages.size(), 4u);
    EXPECT_EQ(ui.Messages[2], CannotMove(f.src + "/a.txt", f.dst));
}

TEST(DeleteFoundFiles, AFolderInAFilesPlaceCannotBeDeleted) {
    TFixture f;
    ASSERT_EQ(::unlink((f.src + "/a.txt").c_str()), 0);
    platform::ForceDirectories(f.src + "/a.txt");
    TScriptedUi ui;
    EXPECT_EQ(operations::DeleteFoundFiles(f.tree, ui), 2);
    EXPECT_EQ(ui.Messages, (std::vector<std::string>{"Cannot delete file \"" + f.src + "/a.txt\"",
                                                     DeleteSummary(2)}));
    EXPECT_TRUE(platform::DirectoryExists(f.src + "/a.txt"));
}

// The commands

TEST(FoundFileCommands, FewerThanTwoNodesHaveNothingToDo) {
    model::TResultTree tree;
    TScriptedUi ui;
    TScriptedChooser chooser;
    std::string folderPath = "/keep";
    operations::CopyFoundFilesToFolder(tree, "/", folderPath, ui, chooser);
    TTreeBuilder(tree).Folder(nullptr, "/", "/", false);
    operations::MoveFoundFilesToFolder(tree, "/", folderPath, ui, chooser);
    operations::DeleteFoundFilesPermanently(tree, ui);
    EXPECT_EQ(ui.Messages, (std::vector<std::string>{kNothingToDo, kNothingToDo, kNothingToDo}));
    EXPECT_TRUE(ui.Questions.empty());
    EXPECT_TRUE(chooser.Opened.empty());
    EXPECT_EQ(folderPath, "/keep");
}

TEST(FoundFileCommands, CopyOpensDialogAtFolderPathAndRemembersTheChoice) {
    TFixture f;
    TScriptedUi ui;
    TScriptedChooser chooser;
    chooser.Choice = f.dst;
    std::string folderPath = "/last/choice";
    operations::CopyFoundFilesToFolder(f.tree, f.src, folderPath, ui, chooser);
    EXPECT_EQ(chooser.Opened, std::vector<std::string>{"/last/choice"});
    EXPECT_TRUE(ui.Questions.empty());
    EXPECT_EQ(ui.Messages, std::vector<std::string>{CopySummary(3, f.dst)});
    EXPECT_EQ(folderPath, f.dst);
}

TEST(FoundFileCommands, CancelledDialogChangesNothing) {
    TFixture f;
    TScriptedUi ui;
    TScriptedChooser chooser;
    chooser.Ok = false;
    std::string folderPath = "/last";
    operations::CopyFoundFilesToFolder(f.tree, f.src, folderPath, ui, chooser);
    ui.Answers.push_back(TAnswer::Yes);
    operations::MoveFoundFilesToFolder(f.tree, f.src, folderPath, ui, chooser);
    EXPECT_TRUE(ui.Messages.empty());
    EXPECT_EQ(folderPath, "/last");
    EXPECT_EQ(chooser.Opened.size(), 2u);
    EXPECT_TRUE(platform::FileExists(f.src + "/a.txt"));
}

TEST(FoundFileCommands, InvalidChoiceIsStillRemembered) {
    TFixture f;
    TScriptedUi ui;
    TScriptedChooser chooser;
    chooser.Choice = ""; // nothing selectable was selected
    std::string folderPath = "/last";
    operations::CopyFoundFilesToFolder(f.tree, f.src, folderPath, ui, chooser);
    EXPECT_EQ(ui.Messages, std::vector<std::string>{"Destination Folder \"\" does not exist."});
    EXPECT_EQ(folderPath, "");
    // A source folder that went away: the choice is remembered all the same.
    chooser.Choice = f.dst;
    ui.Messages.clear();
    operations::CopyFoundFilesToFolder(f.tree, f.dir / "gone", folderPath, ui, chooser);
    EXPECT_EQ(ui.Messages, std::vector<std::string>{"Source Folder \"" + (f.dir / "gone") +
                                                    "\" does not exist."});
    EXPECT_EQ(folderPath, f.dst);
}

TEST(FoundFileCommands, MoveWarnsFirstAndNoStopsBeforeTheDialog) {
    TFixture f;
    TScriptedUi ui;
    TScriptedChooser chooser;
    chooser.Choice = f.dst;
    std::string folderPath = "/last";
    ui.Answers.push_back(TAnswer::No);
    operations::MoveFoundFilesToFolder(f.tree, f.src, folderPath, ui, chooser);
    EXPECT_EQ(ui.Questions, std::vector<std::string>{kMoveWarning});
    EXPECT_TRUE(chooser.Opened.empty());
    EXPECT_TRUE(ui.Messages.empty());

    ui.Answers.push_back(TAnswer::Yes);
    operations::MoveFoundFilesToFolder(f.tree, f.src, folderPath, ui, chooser);
    EXPECT_EQ(chooser.Opened, std::vector<std::string>{"/last"});
    EXPECT_EQ(ui.Messages, std::vector<std::string>{MoveSummary(3, f.dst)});
    EXPECT_EQ(folderPath, f.dst);
    EXPECT_FALSE(platform::FileExists(f.src + "/a.txt"));
}

TEST(FoundFileCommands, DeleteAsksAndNoDeletesNothing) {
    TFixture f;
    TScriptedUi ui;
    ui.Answers.push_back(TAnswer::No);
    operations::DeleteFoundFilesPermanently(f.tree, ui);
    EXPECT_EQ(ui.Questions, std::vector<std::string>{kDeleteWarning});
    EXPECT_TRUE(ui.Messages.empty());
    EXPECT_TRUE(platform::FileExists(f.src + "/a.txt"));
    ui.Answers.push_back(TAnswer::Yes);
    operations::DeleteFoundFilesPermanently(f.tree, ui);
    EXPECT_EQ(ui.Messages, std::vector<std::string>{DeleteSummary(3)});
    EXPECT_FALSE(platform::FileExists(f.src + "/a.txt"));
}
