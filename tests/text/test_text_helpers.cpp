#include "text/UTextHelpers.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <unistd.h>

using namespace text;

TEST(PosFrom, StartBoundaries) {
    EXPECT_EQ(PosFrom("a", "banana", 0), 2);
    EXPECT_EQ(PosFrom("a", "banana", -5), 2);
    EXPECT_EQ(PosFrom("a", "banana", 3), 4);
    EXPECT_EQ(PosFrom("a", "banana", 6), 6);
    EXPECT_EQ(PosFrom("a", "banana", 7), 0);
    EXPECT_EQ(PosFrom("", "banana", 1), 0);
    EXPECT_EQ(PosFrom("nan", "banana", 1), 3);
    EXPECT_EQ(PosFrom("x", std::string("a\0x", 3), 1), 3);
}

TEST(ReplaceAll, NeverRescansInsertedText) {
    EXPECT_EQ(ReplaceAll("aaa", "a", "aa"), "aaaaaa");
    EXPECT_EQ(ReplaceAll("aaa", "a", ""), "");
    EXPECT_EQ(ReplaceAll("abc", "", "x"), "abc");
    EXPECT_EQ(ReplaceAll("aaaa", "aa", "a"), "aa");
    EXPECT_EQ(ReplaceAll(".txt", ".", ".~"), ".~txt");
}

TEST(PluralCount, OnlyOneIsSingular) {
    EXPECT_EQ(PluralCount(1, "file"), "1 file");
    EXPECT_EQ(PluralCount(0, "file"), "0 files");
    EXPECT_EQ(PluralCount(3, "occurence"), "3 occurences");
    EXPECT_EQ(PluralCount(-1, "file"), "-1 files");
}

TEST(UnescapeReplacement, PassOrder) {
    EXPECT_EQ(UnescapeReplacement("plain text"), "plain text");
    EXPECT_EQ(UnescapeReplacement("a\\tb"), "a\tb");
    EXPECT_EQ(UnescapeReplacement("\\r\\n\\f"), "\r\n\f");
    // The "\n" pass runs before the "\\" pass.
    EXPECT_EQ(UnescapeReplacement("\\\\n"), "\\\n");
    EXPECT_EQ(UnescapeReplacement("a\\\\b"), "a\\b");
    EXPECT_EQ(UnescapeReplacement("a\\\\\\\\b"), "a\\\\b");
    EXPECT_EQ(UnescapeReplacement("\\x"), "\\x");
}

TEST(UpperCaseGreek, FoldsExactlySixtySevenBytes) {
    int changed = 0;
    for (int b = 0; b < 256; ++b) {
        const std::string in(1, static_cast<char>(b));
        if (UpperCaseGreek(in) != in) {
            ++changed;
        }
    }
    EXPECT_EQ(changed, 67);
    EXPECT_EQ(UpperCaseGreek("abz"), "ABZ");
    EXPECT_EQ(UpperCaseGreek("\xe1\xf9"), "\xc1\xd9");
    EXPECT_EQ(UpperCaseGreek("\xf2"), "\xd3");
    EXPECT_EQ(UpperCaseGreek("\xdc\xdd\xde\xdf"), "\xc1\xc5\xc7\xc9");
    EXPECT_EQ(UpperCaseGreek("\xfc\xfd\xfe\xfa\xfb"), "\xcf\xd5\xd9\xc9\xd5");
    EXPECT_EQ(UpperCaseGreek("\xa2\xb8\xb9\xba\xbc\xbe\xbf"), "\xc1\xc5\xc7\xc9\xcf\xd5\xd9");
    EXPECT_EQ(UpperCaseGreek("\xc0\xe0\xda\xdb"), "\xc0\xe0\xda\xdb");
    EXPECT_EQ(UpperCaseGreek(std::string("a\0b", 3)), std::string("A\0B", 3));
}

TEST(WithTrailingSeparator, AddsAtMostOne) {
    EXPECT_EQ(WithTrailingSeparator(""), "");
    EXPECT_EQ(WithTrailingSeparator("/"), "/");
    EXPECT_EQ(WithTrailingSeparator("/home/u/Desktop"), "/home/u/Desktop/");
    EXPECT_EQ(WithTrailingSeparator("/home/u/Desktop/"), "/home/u/Desktop/");
}

TEST(PathParts, FolderAndName) {
    EXPECT_EQ(ExtractFilePath("/a/b/c.txt"), "/a/b/");
    EXPECT_EQ(ExtractFileName("/a/b/c.txt"), "c.txt");
    EXPECT_EQ(ExtractFilePath("c.txt"), "");
    EXPECT_EQ(ExtractFileName("c.txt"), "c.txt");
}

TEST(DisplayUtf8, ReplacesOnlyInvalidBytes) {
    EXPECT_EQ(DisplayUtf8("caf\xc3\xa9"), "caf\xc3\xa9");
    EXPECT_EQ(DisplayUtf8("caf\xe9.txt"), "caf\xef\xbf\xbd.txt");
    EXPECT_EQ(DisplayUtf8("\xed\xa0\x80"), "\xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd");
}

class BackupName : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = std::filesystem::temp_directory_path() /
               ("fs-backup-" + std::to_string(::getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(dir_);
        std::filesystem::create_directories(dir_);
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }
    std::string P(const std::string& name) const { return (dir_ / name).string(); }
    void Touch(const std::string& name) const { std::ofstream(P(name)) << "x"; }
    std::filesystem::path dir_;
};

TEST_F(BackupName, CountsUpPastExistingBackups) {
    EXPECT_EQ(BackupFileName(P("notes.txt")), P("notes.~txt"));
    Touch("notes.~txt");
    EXPECT_EQ(BackupFileName(P("notes.txt")), P("notes.~txt1"));
    Touch("notes.~txt1");
    EXPECT_EQ(BackupFileName(P("notes.txt")), P("notes.~txt2"));
}

TEST_F(BackupName, NamesWithoutOrEndingInADot) {
    EXPECT_EQ(BackupFileName(P("Makefile")), P("Makefile.~"));
    Touch("Makefile.~");
    EXPECT_EQ(BackupFileName(P("Makefile")), P("Makefile.~1"));
    EXPECT_EQ(BackupFileName(P("file.")), P("file.~"));
    EXPECT_EQ(BackupFileName(P("a.b.c")), P("a.b.~c"));
}

TEST_F(BackupName, DotInFolderNameIsNotAnExtension) {
    std::filesystem::create_directories(dir_ / "v1.2");
    EXPECT_EQ(BackupFileName(P("v1.2/README")), P("v1.2/README.~"));
}

TEST(LineBreakLength, CrLfIsOneBreakLoneCrAndLfAreOneEach) {
    const std::string t = "a\r\nb\rc\n\n\r";
    EXPECT_EQ(text::LineBreakLength(t, 0), 0u);
    EXPECT_EQ(text::LineBreakLength(t, 1), 2u);
    EXPECT_EQ(text::LineBreakLength(t, 2), 1u); // the LF of a CR LF, looked at on its own
    EXPECT_EQ(text::LineBreakLength(t, 4), 1u);
    EXPECT_EQ(text::LineBreakLength(t, 6), 1u);
    EXPECT_EQ(text::LineBreakLength(t, 7), 1u);
    EXPECT_EQ(text::LineBreakLength(t, 8), 1u); // a CR at the very end
    EXPECT_EQ(text::LineBreakLength(t, 9), 0u);
}
