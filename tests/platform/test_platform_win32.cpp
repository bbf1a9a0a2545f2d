// The Win32 platform layer on real files (under Wine in the cross build): attribute bits,
// folders held by handle, and replacements that leave every file old or new whatever step
// fails.
#include "ScratchFolder.h"
#include "platform/UFolderHandle.h"
#include "platform/UPlatform.h"
#include "platform/UReplaceFile.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <windows.h>

#undef DeleteFile
#undef CopyFile
#undef MoveFile

namespace {

using namespace platform;

class Win32Files : public ::testing::Test {
protected:
    void TearDown() override {
        SetReplaceFaultHook(nullptr);
        for (const auto& e : std::filesystem::recursive_directory_iterator(dir_)) {
            ::SetFileAttributesA(e.path().string().c_str(), FILE_ATTRIBUTE_NORMAL);
        }
        std::filesystem::remove_all(dir_);
    }
    std::string P(const std::string& name) const { return dir_ + PathDelim + name; }
    void Write(const std::string& name, const std::string& content) const {
        std::ofstream(P(name), std::ios::binary) << content;
    }
    std::string Read(const std::string& name) const {
        std::string out;
        ReadWholeFile(P(name), out);
        return out;
    }
    std::vector<std::string> Names() const {
        std::vector<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(dir_)) {
            names.push_back(e.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }
    const std::string dir_ = MakeScratchFolder("fs-win32-");
};

TEST_F(Win32Files, AttributeBitsAreTheFilesOwn) {
    Write("plain.txt", "x");
    Write("hidden.txt", "x");
    Write("readonly.txt", "x");
    Write("system.txt", "x");
    std::filesystem::create_directory(P("sub"));
    ASSERT_TRUE(::SetFileAttributesA(P("hidden.txt").c_str(), FILE_ATTRIBUTE_HIDDEN));
    ASSERT_TRUE(::SetFileAttributesA(P("readonly.txt").c_str(), FILE_ATTRIBUTE_READONLY));
    ASSERT_TRUE(::SetFileAttributesA(P("system.txt").c_str(), FILE_ATTRIBUTE_SYSTEM));
    const int mask = faReadOnly | faHidden | faSysFile | faDirectory;
    EXPECT_EQ(AttributesOf(P("plain.txt")) & mask, 0);
    EXPECT_EQ(AttributesOf(P("hidden.txt")) & mask, faHidden);
    EXPECT_EQ(AttributesOf(P("readonly.txt")) & mask, faReadOnly);
    EXPECT_EQ(AttributesOf(P("system.txt")) & mask, faSysFile);
    EXPECT_EQ(AttributesOf(P("sub")) & mask, faDirectory);
    EXPECT_EQ(AttributesOf(P("missing")), -1);

    // The folder listing and the enumerator see the same bits.
    const TFolderHandle folder = TFolderHandle::OpenPath(dir_);
    ASSERT_TRUE(folder.Valid());
    std::vector<std::string> listed;
    for (const TFolderEntry& e : ListFolder(folder)) {
        listed.push_back(e.Name);
        EXPECT_EQ(e.Kind == TEntryKind::Folder, e.Name == "sub") << e.Name;
        EXPECT_EQ(EntryAttributes(folder, e.Name), AttributesOf(P(e.Name))) << e.Name;
    }
    EXPECT_EQ(listed, (std::vector<std::string>{"hidden.txt", "plain.txt", "readonly.txt", "sub",
                                                "system.txt"}));
    TDirEnumerator en(dir_);
    int seen = 0;
    while (en.Next()) {
        if (en.Name() != "." && en.Name() != "..") {
            EXPECT_EQ(en.Attributes(), AttributesOf(P(en.Name()))) << en.Name();
            EXPECT_EQ(en.IsDirectory(), en.Name() == "sub");
            ++seen;
        }
    }
    EXPECT_EQ(seen, 5);

    // A sub-folder opens through its parent only as the folder the listing saw.
    const TFolderEntry sub = ListFolder(folder)[3];
    EXPECT_TRUE(folder.OpenSub("sub", sub.Id).Valid());
    EXPECT_FALSE(folder.OpenSub("sub", TFileId{sub.Id.Device, sub.Id.Inode + 1}).Valid());
    EXPECT_EQ(PathThrough(folder, "plain.txt"), ExpandFileName(P("plain.txt")));
}

TEST_F(Win32Files, PathsUseBackslashes) {
    EXPECT_EQ(PathDelim, '\\');
    const std::string exe = ExeDirectory();
    ASSERT_FALSE(exe.empty());
    EXPECT_EQ(exe.back(), '\\');
    EXPECT_EQ(ExpandFileName(P("a\\..\\b\\.\\c.txt")), ExpandFileName(P("b\\c.txt")));
    EXPECT_TRUE(ForceDirectories(P("x\\y\\z")));
    EXPECT_TRUE(DirectoryExists(P("x\\y\\z")));
}

// Every step of a replacement made to fail in turn: the file holds its old content or its new
// one, whole, the backup is complete when made, and no temporary file stays.
TEST_F(Win32Files, ReplacementLeavesEveryFileOldOrNew) {
    const TReplaceStep steps[] = {TReplaceStep::CreateTemp,   TReplaceStep::WriteTemp,
                                  TReplaceStep::SyncTemp,     TReplaceStep::LinkBackup,
                                  TReplaceStep::RenameBackup, TReplaceStep::RenameOver};
    for (const TReplaceStep failing : steps) {
        for (const bool backup : {false, true}) {
            SCOPED_TRACE(static_cast<int>(failing) * 2 + backup);
            Write("f.txt", "old content");
            ::SetFileAttributesA(P("f.txt").c_str(), FILE_ATTRIBUTE_HIDDEN);
            // The backup step fails only when the copy after the link fails too.
            SetReplaceFaultHook([failing](TReplaceStep s) {
                return s == failing || (failing == TReplaceStep::RenameBackup &&
                                        s == TReplaceStep::LinkBackup)
                           ? EIO
                           : 0;
            });
            const std::string backupPath = P("f.~txt");
            const TReplaceOutcome out =
                ReplaceFileContent(P("f.txt"), "new content", backup ? &backupPath : nullptr);
            SetReplaceFaultHook(nullptr);
            const std::string now = Read("f.txt");
            EXPECT_TRUE(now == "old content" || now == "new content") << now;
            EXPECT_EQ(out.Written, now == "new content");
            if (out.Written) {
                EXPECT_EQ(AttributesOf(P("f.txt")) & faHidden, faHidden);
            }
            if (backup && !out.BackupFailed && out.Written) {
                EXPECT_EQ(Read("f.~txt"), "old content");
            }
            for (const std::string& n : Names()) {
                EXPECT_FALSE(IsReplaceTempName(n)) << n;
            }
            ::SetFileAttributesA(P("f.txt").c_str(), FILE_ATTRIBUTE_NORMAL);
            DeleteFile(P("f.txt"));
            DeleteFile(backupPath);
        }
    }
}

TEST_F(Win32Files, ReplacementRefusesChangedAndReadOnlyFiles) {
    Write("f.txt", "old");
    TFileIdentity read;
    std::string buf;
    ReadWholeFileInto(P("f.txt"), buf, -1, &read);
    SetReplaceFaultHook([this](TReplaceStep s) {
        if (s == TReplaceStep::CheckUnchanged) {
            Write("f.txt", "changed meanwhile");
        }
        return 0;
    });
    TReplaceCheck check;
    check.Expected = &read;
    TReplaceOutcome out = ReplaceFileContent(P("f.txt"), "new", nullptr, check);
    SetReplaceFaultHook(nullptr);
    EXPECT_TRUE(out.Changed);
    EXPECT_FALSE(out.Written);
    EXPECT_EQ(Read("f.txt"), "changed meanwhile");

    ::SetFileAttributesA(P("f.txt").c_str(), FILE_ATTRIBUTE_READONLY);
    out = ReplaceFileContent(P("f.txt"), "new", nullptr);
    EXPECT_FALSE(out.Written);
    EXPECT_EQ(out.Error, EACCES);
    EXPECT_EQ(Read("f.txt"), "changed meanwhile");
    EXPECT_EQ(Names(), std::vector<std::string>{"f.txt"});
}

TEST_F(Win32Files, CopyMoveAndRenameNeverLoseATarget) {
    Write("a.txt", "A");
    Write("b.txt", "B");
    EXPECT_FALSE(RenameFile(P("a.txt"), P("b.txt")));
    EXPECT_EQ(MoveFile(P("a.txt"), P("b.txt")).Error, EEXIST);
    EXPECT_EQ(Read("b.txt"), "B");
    EXPECT_TRUE(CopyFile(P("a.txt"), P("b.txt")));
    EXPECT_EQ(Read("b.txt"), "A");
    EXPECT_EQ(CopyFile(P("a.txt"), P("a.txt")).Error, EINVAL);
    EXPECT_TRUE(MoveFile(P("a.txt"), P("c.txt")));
    EXPECT_TRUE(WriteWholeFile(P("c.txt"), "C2"));
    EXPECT_EQ(Read("c.txt"), "C2");
    EXPECT_EQ(Names(), (std::vector<std::string>{"b.txt", "c.txt"}));
}

} // namespace
