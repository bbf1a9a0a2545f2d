#include "platform/UPlatform.h"

#include <algorithm>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <sys/stat.h>
#include <unistd.h>

using namespace platform;
namespace fs = std::filesystem;

namespace {

class PlatformTest : public ::testing::Test {
protected:
    void SetUp() override {
        oldCwd_ = GetCurrentDir();
        dir_ = fs::temp_directory_path() /
               ("fs-platform-" + std::to_string(::getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override {
        SetCurrentDir(oldCwd_);
        std::error_code ec;
        fs::permissions(dir_, fs::perms::all, ec);
        fs::remove_all(dir_, ec);
    }
    std::string P(const std::string& name) const { return dir_.string() + "/" + name; }
    void Write(const std::string& name, const std::string& content) const {
        std::ofstream(P(name), std::ios::binary) << content;
    }
    static std::string Read(const std::string& path) {
        std::string s;
        ReadWholeFile(path, s);
        return s;
    }
    std::map<std::string, int> List() const {
        std::map<std::string, int> out;
        TDirEnumerator e(dir_.string());
        while (e.Next()) {
            out[e.Name()] = e.Attributes();
        }
        return out;
    }
    fs::path dir_;
    std::string oldCwd_;
};

} // namespace

TEST_F(PlatformTest, EnumerationKeepsBytesAndMapsAttributes) {
    Write("caf\xe9.txt", "x");
    Write(".hidden", "x");
    Write("ro.txt", "x");
    ::chmod(P("ro.txt").c_str(), 0444);
    fs::create_directory(dir_ / "sub");
    ASSERT_EQ(::mkfifo(P("pipe").c_str(), 0644), 0);
    fs::create_symlink(dir_ / "sub", dir_ / "linkdir");
    fs::create_symlink(dir_ / "ro.txt", dir_ / "linkfile");
    fs::create_symlink(dir_ / "missing", dir_ / "dangling");

    const auto l = List();
    ASSERT_TRUE(l.count("caf\xe9.txt"));
    EXPECT_EQ(l.at("caf\xe9.txt"), faArchive);
    EXPECT_EQ(l.at(".hidden"), faArchive | faHidden);
    EXPECT_EQ(l.at("ro.txt"), faArchive | faReadOnly);
    EXPECT_EQ(l.at("sub"), faDirectory);
    EXPECT_EQ(l.at("pipe") & (faSysFile | faArchive | faDirectory), faSysFile);
    EXPECT_EQ(l.at("linkdir") & (faDirectory | faReparsePoint), faDirectory | faReparsePoint);
    EXPECT_EQ(l.at("linkfile"), faArchive | faReadOnly); // the target's attributes
    EXPECT_EQ(l.at("dangling"), faSysFile);
    EXPECT_TRUE(l.count(".") && l.count(".."));
    EXPECT_EQ(l.at(".") & faHidden, 0);
}

TEST_F(PlatformTest, IsDirectoryExcludesLinksToFolders) {
    fs::create_directory(dir_ / "sub");
    fs::create_symlink(dir_ / "sub", dir_ / "linkdir");
    Write("f", "");
    std::map<std::string, bool> isDir;
    TDirEnumerator e(dir_.string());
    while (e.Next()) {
        isDir[e.Name()] = e.IsDirectory();
    }
    EXPECT_TRUE(isDir["sub"]);
    EXPECT_FALSE(isDir["linkdir"]);
    EXPECT_FALSE(isDir["f"]);
}

TEST_F(PlatformTest, MissingFolderEnumeratesNothing) {
    TDirEnumerator e(P("nope"));
    EXPECT_FALSE(e.Next());
}

TEST_F(PlatformTest, CurrentDirectoryAndExpandFileName) {
    fs::create_directories(dir_ / "a" / "b");
    ASSERT_TRUE(SetCurrentDir(dir_.string()));
    ASSERT_TRUE(SetCurrentDir("a"));
    ASSERT_TRUE(SetCurrentDir("b"));
    EXPECT_EQ(GetCurrentDir(), fs::canonical(dir_ / "a" / "b").string());
    ASSERT_TRUE(SetCurrentDir(".."));
    EXPECT_EQ(GetCurrentDir(), fs::canonical(dir_ / "a").string());
    EXPECT_EQ(ExpandFileName("a.a"), fs::canonical(dir_ / "a").string() + "/a.a");
    EXPECT_EQ(ExpandFileName("x/../y/./z"), fs::canonical(dir_ / "a").string() + "/y/z");
    EXPECT_EQ(ExpandFileName("/p/q/"), "/p/q/");
    EXPECT_FALSE(SetCurrentDir(""));
    EXPECT_FALSE(SetCurrentDir(P("missing")));
}

TEST_F(PlatformTest, FindFileInfoAndExistence) {
    Write("f.txt", "abc");
    TSearchRec r;
    ASSERT_TRUE(FindFileInfo(P("f.txt"), r));
    EXPECT_EQ(r.Name, "f.txt");
    EXPECT_EQ(r.Attr, faArchive);
    EXPECT_EQ(r.Size, 3);
    EXPECT_FALSE(FindFileInfo(P("none"), r));
    EXPECT_TRUE(FileExists(P("f.txt")));
    EXPECT_FALSE(FileExists(dir_.string()));
    EXPECT_TRUE(DirectoryExists(dir_.string()));
    EXPECT_FALSE(DirectoryExists(P("f.txt")));
    EXPECT_EQ(AttributesOf(P("none")), -1);
}

TEST_F(PlatformTest, RenameAndMoveNeverReplace) {
    Write("a", "A");
    Write("b", "B");
    EXPECT_FALSE(RenameFile(P("a"), P("b")));
    EXPECT_FALSE(MoveFile(P("a"), P("b")));
    EXPECT_EQ(Read(P("b")), "B");
    EXPECT_TRUE(RenameFile(P("a"), P("c")));
    EXPECT_FALSE(FileExists(P("a")));
    EXPECT_TRUE(MoveFile(P("c"), P("d")));
    EXPECT_EQ(Read(P("d")), "A");
    EXPECT_FALSE(MoveFile(P("gone"), P("e")));
}

TEST_F(PlatformTest, CopyOverwritesAndKeepsModeAndTime) {
    Write("src", "new content");
    Write("dst", "old");
    ::chmod(P("src").c_str(), 0750);
    struct timespec times[2] = {{1000000000, 0}, {1000000000, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, P("src").c_str(), times, 0), 0);
    ASSERT_TRUE(CopyFile(P("src"), P("dst")));
    EXPECT_EQ(Read(P("dst")), "new content");
    struct stat st;
    ASSERT_EQ(::stat(P("dst").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0750u);
    EXPECT_EQ(st.st_mtim.tv_sec, 1000000000);
    EXPECT_FALSE(CopyFile(P("src"), P("src")));
    EXPECT_EQ(Read(P("src")), "new content");
    EXPECT_FALSE(CopyFile(P("missing"), P("x")));
    EXPECT_FALSE(FileExists(P("x")));
    // No temporary file is left beside the target.
    for (const auto& e : fs::directory_iterator(dir_)) {
        EXPECT_EQ(e.path().string().find(".fstmp"), std::string::npos) << e.path();
    }
}

TEST_F(PlatformTest, CopyIntoMissingFolderFailsWithoutLeftovers) {
    Write("src", "x");
    EXPECT_FALSE(CopyFile(P("src"), P("no/dst")));
}

TEST_F(PlatformTest, ForceDirectoriesAndDelete) {
    EXPECT_TRUE(ForceDirectories(P("x/y/z/")));
    EXPECT_TRUE(DirectoryExists(P("x/y/z")));
    EXPECT_TRUE(ForceDirectories(P("x/y")));
    Write("file", "");
    EXPECT_FALSE(ForceDirectories(P("file/sub")));
    EXPECT_TRUE(DeleteFile(P("file")));
    EXPECT_FALSE(DeleteFile(P("file")));
    EXPECT_FALSE(DeleteFile(P("x")));
}

TEST_F(PlatformTest, ReadAndWriteWholeFiles) {
    const std::string data("a\0b\r\nc", 6);
    ASSERT_TRUE(WriteWholeFile(P("w"), data));
    EXPECT_EQ(Read(P("w")), data);
    ::chmod(P("w").c_str(), 0640);
    ASSERT_TRUE(WriteWholeFile(P("w"), "second"));
    struct stat st;
    ASSERT_EQ(::stat(P("w").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(Read(P("w")), "second");
    // Reusing one buffer for a smaller file leaves nothing of the larger one.
    std::string buf;
    ReadWholeFile(P("w"), buf);
    Write("small", "xy");
    ReadWholeFile(P("small"), buf);
    EXPECT_EQ(buf, "xy");
    EXPECT_FALSE(WriteWholeFile(P("nodir/w"), "x"));
    EXPECT_FALSE(WriteWholeFile(dir_.string(), "x"));
    try {
        ReadWholeFile(P("missing"), buf);
        FAIL();
    } catch (const EPlatformError& e) {
        EXPECT_NE(std::string(e.what()).find("Cannot open file \"" + P("missing") + "\""),
                  std::string::npos);
    }
}

TEST_F(PlatformTest, ReadIntoGrowingStorageReportsTheLength) {
    Write("big", std::string(10000, 'b'));
    Write("small", "xy");
    Write("empty", "");
    std::string storage;
    EXPECT_EQ(ReadWholeFileInto(P("big"), storage), 10000u);
    const size_t cap = storage.size();
    EXPECT_EQ(ReadWholeFileInto(P("small"), storage), 2u);
    EXPECT_EQ(storage.substr(0, 2), "xy");
    EXPECT_EQ(storage.size(), cap); // the storage never shrinks
    EXPECT_EQ(ReadWholeFileInto(P("empty"), storage), 0u);
    ASSERT_EQ(::mkfifo(P("fifo").c_str(), 0644), 0);
    // Nobody writes to the FIFO: the read must not wait for a writer.
    EXPECT_EQ(ReadWholeFileInto(P("fifo"), storage), 0u);
}

TEST_F(PlatformTest, PlainFilesAreKnownWithoutAStat) {
    Write("f", "");
    fs::create_symlink(dir_ / "f", dir_ / "link");
    std::map<std::string, bool> plain;
    TDirEnumerator e(dir_.string());
    while (e.Next()) {
        plain[e.Name()] = e.IsPlainFile();
    }
    EXPECT_FALSE(plain["link"]);
    EXPECT_FALSE(plain["."]);
    // tmpfs and ext4 report the type; where the system cannot tell, false is the safe answer.
    SUCCEED();
}

TEST(Platform, ExecutableFolder) {
    const std::string exe = ExecutablePath();
    ASSERT_FALSE(exe.empty());
    EXPECT_EQ(exe.find("test_platform"), exe.size() - std::string("test_platform").size());
    const std::string dir = ExeDirectory();
    ASSERT_FALSE(dir.empty());
    EXPECT_EQ(dir.back(), '/');
    EXPECT_EQ(exe.rfind(dir, 0), 0u);
}
