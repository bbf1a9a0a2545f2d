#include "SettingsTestUtil.h"
#include "settings/vtIniFile.h"

#include <sys/stat.h>

using settings::ESettingsError;
using settings::IniLookup;
using settings::IniStoredForm;
using settings::IniWrite;
using settings::TvtIniFile;

namespace {

std::optional<std::string> Get(const std::string& text, const char* section, const char* key) {
    return IniLookup(text, section, key);
}

} // namespace

TEST(IniLookup, MatchesSectionsAndKeysIgnoringCaseAndBlanks) {
    const std::string text = "[Strings]\nFileMask=*.*\n[ Other Section ]\n  Key  =  v a l  \n";
    EXPECT_EQ(Get(text, "strings", "FILEMASK"), "*.*");
    EXPECT_EQ(Get(text, "other section", "key"), "v a l");
    EXPECT_EQ(Get(text, "Strings", "Missing"), std::nullopt);
    EXPECT_EQ(Get(text, "Missing", "FileMask"), std::nullopt);
    // Only ASCII letters fold: bytes above 127 must match exactly.
    EXPECT_EQ(Get("[\xC4]\nk=1\n", "\xE4", "k"), std::nullopt);
}

TEST(IniLookup, FirstSectionAndFirstKeyWin) {
    const std::string text = "[S]\nk=first\nk=second\nonly=1\n[s]\nk=third\nlater=2\n";
    EXPECT_EQ(Get(text, "S", "k"), "first");
    EXPECT_EQ(Get(text, "S", "later"), std::nullopt);
}

TEST(IniLookup, CommentsStrayLinesAndKeysBeforeAnySectionAreNotKeys) {
    const std::string text = "top=1\n[S]\n; c=1\n  ;d=2\n[unclosed=3\nplain\n";
    EXPECT_EQ(Get(text, "", "top"), std::nullopt);
    EXPECT_EQ(Get(text, "S", "; c"), std::nullopt);
    EXPECT_EQ(Get(text, "S", "c"), std::nullopt);
    EXPECT_EQ(Get(text, "S", "[unclosed"), "3"); // a '[' without ']' does not open a section
    EXPECT_EQ(Get(text, "S", "plain"), std::nullopt);
}

TEST(IniLookup, EmptyValueIsFoundAndQuotesAreRemoved) {
    const std::string text = "[S]\ne=\nq=\"  x  \"\nsq='y'\nhalf=\"z\nmixed=\"w'\n";
    EXPECT_EQ(Get(text, "S", "e"), "");
    EXPECT_EQ(Get(text, "S", "q"), "  x  ");
    EXPECT_EQ(Get(text, "S", "sq"), "y");
    EXPECT_EQ(Get(text, "S", "half"), "\"z");
    EXPECT_EQ(Get(text, "S", "mixed"), "\"w'");
}

TEST(IniLookup, CrLfAndLfFilesReadAlike) {
    const std::string lf = "[S]\na=1\nb=two\n";
    const std::string crlf = "[S]\r\na=1\r\nb=two\r\n";
    for (const char* key : {"a", "b"}) {
        EXPECT_EQ(Get(lf, "S", key), Get(crlf, "S", key));
    }
    EXPECT_EQ(Get(crlf, "S", "b"), "two");
    EXPECT_EQ(Get("[S]\r\nlast=no eol", "S", "last"), "no eol");
}

TEST(IniWrite, GoldenEditKeepsEveryOtherLine) {
    std::string text = DataFile("edit.input.ini");
    EXPECT_EQ(Get(text, "Strings", "SearchText"), "  padded  ");
    const struct {
        const char *section, *key, *value;
    } writes[] = {
        {"strings", "filemask", "*.cpp;*.h"},
        {"Booleans", "chkRegex", "1"},
        {"Booleans", "recursedirs", "0"},
        {"Strings", "SearchText", " lead"},
        {"frmMain", "Top", "20"},
        {"Integers", "pnlLeftWidth", "350"},
        {"Strings", "Directory", ""},
    };
    for (const auto& w : writes) {
        text = IniWrite(text, w.section, w.key, w.value);
    }
    EXPECT_EQ(text, DataFile("edit.expected.ini"));
    for (const auto& w : writes) {
        EXPECT_EQ(Get(text, w.section, w.key), w.value) << w.key;
    }
}

TEST(IniWrite, NewFileUsesCrLfAndLfFileKeepsLf) {
    EXPECT_EQ(IniWrite("", "A", "k", "v"), "[A]\r\nk=v\r\n");
    EXPECT_EQ(IniWrite("[A]\nx=1\n", "A", "k", "v"), "[A]\nx=1\nk=v\n");
    EXPECT_EQ(IniWrite("[A]\nx=1", "B", "k", "v"), "[A]\nx=1\n[B]\nk=v\n");
    EXPECT_EQ(IniWrite("[A]", "A", "k", "v"), "[A]\r\nk=v\r\n");
}

TEST(IniWrite, RewriteKeepsTheLinesOwnEnding) {
    EXPECT_EQ(IniWrite("[A]\r\nk=1\nz=2\r\n", "a", "K", "22"), "[A]\r\nk=22\nz=2\r\n");
}

TEST(IniWrite, AwkwardValuesReadBackExactly) {
    const std::string longValue(5000, 'x');
    for (const std::string& value :
         {std::string(" lead"), std::string("trail\t"), std::string("\"quoted\""),
          std::string("'single'"), std::string("\""), std::string("a=b;c"), std::string("[x]"),
          std::string("\"mixed'"), longValue}) {
        const std::string text = IniWrite("[S]\nk=old\n", "S", "k", value);
        EXPECT_EQ(Get(text, "S", "k"), value) << value;
    }
    // A value is one line: line breaks inside it must not create new keys.
    const std::string text = IniWrite("[S]\n", "S", "k", "a\r\n[S]\nx=1");
    EXPECT_EQ(Get(text, "S", "k"), "a  [S] x=1");
    EXPECT_EQ(Get(text, "S", "x"), std::nullopt);
    EXPECT_EQ(IniStoredForm("a\r\nb"), "a  b");
}

TEST(TvtIniFile, MissingFileReadsDefaultsAndFirstWriteCreatesIt) {
    TScratchDir dir;
    TvtIniFile ini(dir / "a.ini");
    EXPECT_EQ(ini.ReadString("S", "k", "def"), "def");
    ini.WriteString("S", "k", "v");
    EXPECT_EQ(ReadFile(dir / "a.ini"), "[S]\r\nk=v\r\n");
    EXPECT_EQ(ini.ReadString("S", "k", "def"), "v");
}

TEST(TvtIniFile, RefusedWritesReportThePathAndKeepTheFile) {
    TScratchDir dir;
    WriteFile(dir / "plain", "[S]\nk=old\n");
    std::filesystem::create_directory(dir / "folder.ini");
    WriteFile(dir / "ro.ini", "[S]\nk=old\n");
    ::chmod((dir / "ro.ini").c_str(), 0444);
    // Paths that refuse a write even to root: a folder, a path below a regular file, and a file
    // without write permission (treated as read-only, as the attribute would be).
    for (const std::string& path : {dir / "folder.ini", dir / "plain/sub.ini", dir / "ro.ini"}) {
        TvtIniFile ini(path);
        EXPECT_EQ(ini.ReadString("S", "k", "def"), path == dir / "ro.ini" ? "old" : "def");
        try {
            ini.WriteString("S", "k", "new");
            ADD_FAILURE() << "no error for " << path;
        } catch (const ESettingsError& e) {
            EXPECT_EQ(std::string(e.what()), "Unable to write to " + path);
        }
    }
    EXPECT_EQ(ReadFile(dir / "ro.ini"), "[S]\nk=old\n");
    EXPECT_EQ(ReadFile(dir / "plain"), "[S]\nk=old\n");
}

TEST(TvtIniFile, CreatesItsFolderOnlyWhenAsked) {
    TScratchDir dir;
    TvtIniFile plain(dir / "a/b/c.ini");
    EXPECT_THROW(plain.WriteString("S", "k", "v"), ESettingsError);
    TvtIniFile creating(dir / "a/b/c.ini", true);
    creating.WriteString("S", "k", "v");
    EXPECT_EQ(creating.ReadString("S", "k", ""), "v");
}
