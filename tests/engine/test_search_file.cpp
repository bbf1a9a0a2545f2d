// What SearchFile finds and records: plain and pattern search, lines, columns, captions,
// nodes, and what a replacement makes of a file's bytes.
#include "search_file_test_support.h"
#include "settings/UTSearchOptions.h"

#include <random>

using regex::ERegExpr;
using settings::TSearchOptions;

using namespace searchtest;

namespace {

class PlainSearchTest : public SearchFileTest {
protected:
    fs::path BaseDir() const override { return MemoryDir(); }
};
class RegexSearchTest : public SearchFileTest {
protected:
    fs::path BaseDir() const override { return MemoryDir(); }
    void SetUp() override {
        SearchFileTest::SetUp();
        request.UseRegex = true;
    }
};

} // namespace

TEST_F(PlainSearchTest, OverlappingFindsAllCountWithoutReplacing) {
    Write("a.txt", "aaaa\n");
    request.SearchText = "aa";
    EXPECT_EQ(Search("a.txt"), 3);
    const auto* node = LastFileNode();
    ASSERT_NE(node, nullptr);
    EXPECT_EQ(node->Caption(), "a.txt - 3 occurences");
    EXPECT_EQ(node->ImageIndex(), 4);
    EXPECT_EQ(node->SelectedIndex(), 5);
    EXPECT_EQ(Occurences(node),
              (std::vector<TOcc>{{0, 1, 2, "aaaa"}, {0, 2, 2, "aaaa"}, {0, 3, 2, "aaaa"}}));
    EXPECT_EQ(node->Item(0)->Caption(), "Line: 1, Pos: 1, \"aaaa\"");
    EXPECT_EQ(node->Item(0)->ImageIndex(), 6);
    EXPECT_EQ(node->Item(0)->SelectedIndex(), 7);
    const auto* file = node->File();
    EXPECT_EQ(file->FileName(), "a.txt");
    EXPECT_EQ(file->FullPath, P("a.txt"));
    EXPECT_EQ(file->OccurenceCount, 3);
    EXPECT_EQ(Read("a.txt"), "aaaa\n");
}

TEST_F(PlainSearchTest, ReplacingGoesOnAfterTheInsertedText) {
    Write("a.txt", "aaaa\n");
    request.SearchText = "aa";
    request.DoReplace = true;
    request.ReplaceText = "b";
    EXPECT_EQ(Search("a.txt"), 2);
    EXPECT_EQ(Occurences(LastFileNode()),
              (std::vector<TOcc>{{0, 1, 2, "aaaa"}, {0, 2, 2, "aaaa"}}));
    EXPECT_EQ(Read("a.txt"), "bb\n");
    EXPECT_TRUE(messages.empty());
}

TEST_F(PlainSearchTest, LaterColumnsCountInTheLineAsAlreadyChanged) {
    Write("a.txt", "xaxa\nab");
    request.SearchText = "a";
    request.DoReplace = true;
    request.ReplaceText = "ZZZ";
    EXPECT_EQ(Search("a.txt"), 3);
    // Text shows each line as read; the second find's column is in "xZZZxa".
    EXPECT_EQ(Occurences(LastFileNode()),
              (std::vector<TOcc>{{0, 2, 1, "xaxa"}, {0, 6, 1, "xaxa"}, {1, 1, 1, "ab"}}));
    EXPECT_EQ(Read("a.txt"), "xZZZxZZZ\nZZZb");

    // A replacement that shrinks the line moves later columns left.
    Write("b.txt", "abcabcabc");
    request.SearchText = "bc";
    request.ReplaceText = "";
    EXPECT_EQ(Search("b.txt"), 3);
    EXPECT_EQ(Occurences(LastFileNode()),
              (std::vector<TOcc>{
                  {0, 2, 2, "abcabcabc"}, {0, 3, 2, "abcabcabc"}, {0, 4, 2, "abcabcabc"}}));
    EXPECT_EQ(Read("b.txt"), "aaa");
}

TEST_F(PlainSearchTest, IgnoringCaseFoldsOnlyAsciiLetters) {
    // Latin-1 A umlaut, B, C in the file; a umlaut, b, c searched.
    Write("a.txt", "\xC4"
                   "BC\n");
    request.MatchCase = false;
    request.SearchText = "\xE4"
                         "bc";
    EXPECT_EQ(Search("a.txt"), 0);
    EXPECT_EQ(folder_->Count(), 0);

    // Bytes that differ from a letter only in bit 5 are not letters' other cases.
    Write("b.txt", "@[\\]^ `{|}~ xAbCx\n");
    request.SearchText = "`{|}~";
    EXPECT_EQ(Search("b.txt"), 1);
    EXPECT_EQ(Occurences(LastFileNode())[0].Column, 7);
    request.SearchText = "aBc";
    EXPECT_EQ(Search("b.txt"), 1);
    EXPECT_EQ(Occurences(LastFileNode())[0].Column, 14);

    request.MatchCase = true;
    request.SearchText = "abc";
    EXPECT_EQ(Search("b.txt"), 0);
}

TEST_F(PlainSearchTest, LinesEndAtCrLfLoneCrAndLoneLf) {
    Write("a.txt", "x1\r\nx2\rx3\nx4\n\rx6\r\n\r\nx8");
    request.SearchText = "x";
    EXPECT_EQ(Search("a.txt"), 6);
    EXPECT_EQ(Occurences(LastFileNode()), (std::vector<TOcc>{{0, 1, 1, "x1"},
                                                             {1, 1, 1, "x2"},
                                                             {2, 1, 1, "x3"},
                                                             {3, 1, 1, "x4"},
                                                             {5, 1, 1, "x6"},
                                                             {7, 1, 1, "x8"}}));
}

TEST_F(PlainSearchTest, NeverAcrossALineBreak) {
    Write("a.txt", "ab\ncd\r\nef");
    request.SearchText = "b\nc";
    EXPECT_EQ(Search("a.txt"), 0);
    request.SearchText = "d\r\ne";
    EXPECT_EQ(Search("a.txt"), 0);
    request.SearchText = "\n";
    EXPECT_EQ(Search("a.txt"), 0);
}

TEST_F(PlainSearchTest, NulBytesAreOrdinaryBytes) {
    Write("a.txt", Bytes("a\0b\0ab\n\0ab"));
    request.SearchText = "ab";
    EXPECT_EQ(Search("a.txt"), 2);
    EXPECT_EQ(Occurences(LastFileNode()),
              (std::vector<TOcc>{{0, 5, 2, Bytes("a\0b\0ab")}, {1, 2, 2, Bytes("\0ab")}}));
    request.SearchText = std::string("\0a", 2);
    EXPECT_EQ(Search("a.txt"), 2);
}

TEST_F(PlainSearchTest, EmptySearchTextAndEmptyFileFindNothing) {
    Write("a.txt", "abc\n");
    Write("empty.txt", "");
    request.SearchText = "";
    EXPECT_EQ(Search("a.txt"), 0);
    request.SearchText = "a";
    EXPECT_EQ(Search("empty.txt"), 0);
    EXPECT_EQ(folder_->Count(), 0);
}

TEST_F(PlainSearchTest, ContentNotSearchedCountsAsOneAndIsNotRead) {
    Write("a.txt", "abc\n");
    ASSERT_EQ(::mkfifo(P("pipe").c_str(), 0644), 0);
    request.DoSearch = false;
    request.DoReplace = true;
    request.SearchText = "abc";
    request.ReplaceText = "x";
    EXPECT_EQ(Search("a.txt"), 1);
    EXPECT_EQ(Search("pipe"), 1); // would block if it were opened
    ASSERT_EQ(folder_->Count(), 2);
    const auto* node = folder_->Item(0);
    EXPECT_EQ(node->Caption(), "a.txt");
    EXPECT_EQ(node->Count(), 0);
    EXPECT_EQ(node->ImageIndex(), 4);
    EXPECT_EQ(node->File()->OccurenceCount, 0);
    EXPECT_EQ(folder_->Item(1)->Caption(), "pipe");
    EXPECT_EQ(Read("a.txt"), "abc\n");
}

TEST_F(PlainSearchTest, EntriesThatAreNoRegularFilesAreNeverOpened) {
    ASSERT_EQ(::mkfifo(P("pipe.txt").c_str(), 0644), 0);
    ASSERT_EQ(::symlink("nowhere", P("dangling.txt").c_str()), 0);
    request.SearchText = "a";
    alarm(60); // a FIFO that is opened blocks for good; this ends the program instead
    EXPECT_EQ(Search("pipe.txt"), 0);
    EXPECT_EQ(Search("dangling.txt"), 0);
    request.DoReplace = true;
    EXPECT_EQ(Search("pipe.txt"), 0);
    alarm(0);
    EXPECT_EQ(folder_->Count(), 0);
    EXPECT_TRUE(messages.empty());
}

TEST_F(PlainSearchTest, AFileThatCannotBeOpenedIsNotedOrEndsTheRunWithoutANode) {
    request.SearchText = "a";
    EXPECT_EQ(Search("missing.txt"), 0);
    ASSERT_EQ(engine_->Account().Failures.size(), 1u);
    EXPECT_EQ(
        engine_->Account().Failures[0].rfind("Cannot open file \"" + P("missing.txt") + "\". ", 0),
        0u);
    EXPECT_EQ(engine_->Account().Count(engine::TEntryOutcome::Unreadable), 1);

    TSearchOptions stopOnError;
    stopOnError.StopOnError = true;
    request.Options = &stopOnError;
    try {
        Search("missing.txt");
        FAIL() << "no error";
    } catch (const platform::EPlatformError& e) {
        EXPECT_EQ(std::string(e.what()).rfind("Cannot open file \"" + P("missing.txt") + "\". ", 0),
                  0u)
            << e.what();
    }
    EXPECT_EQ(folder_->Count(), 0);
}

TEST_F(PlainSearchTest, NothingFoundMeansNoBackupAndNoWrite) {
    Write("a.txt", "abc\n");
    struct stat before;
    ASSERT_EQ(::stat(P("a.txt").c_str(), &before), 0);
    request.SearchText = "zz";
    request.DoReplace = true;
    request.MakeBackups = true;
    request.ReplaceText = "y";
    ::usleep(20000);
    EXPECT_EQ(Search("a.txt"), 0);
    struct stat after;
    ASSERT_EQ(::stat(P("a.txt").c_str(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_EQ(after.st_mtim.tv_nsec, before.st_mtim.tv_nsec);
    EXPECT_EQ(after.st_ctim.tv_nsec, before.st_ctim.tv_nsec);
    EXPECT_EQ(Names(), (std::vector<std::string>{"a.txt"}));
}

TEST_F(PlainSearchTest, BackupTakesTheFirstFreeName) {
    Write("notes.txt", "old text\n");
    Write("notes.~txt", "an older backup\n");
    request.SearchText = "old";
    request.DoReplace = true;
    request.MakeBackups = true;
    request.ReplaceText = "new";
    EXPECT_EQ(Search("notes.txt"), 1);
    EXPECT_EQ(Read("notes.txt"), "new text\n");
    EXPECT_EQ(Read("notes.~txt"), "an older backup\n");
    EXPECT_EQ(Read("notes.~txt1"), "old text\n");
    EXPECT_EQ(Names(), (std::vector<std::string>{"notes.txt", "notes.~txt", "notes.~txt1"}));
    EXPECT_TRUE(messages.empty());
}

TEST_F(PlainSearchTest, ReplacementChangesOnlyTheReplacedBytes) {
    const std::string before = Bytes("a1\r\nb1\ra1\n\0a1\r\r\n\n a1");
    Write("a.txt", before);
    request.SearchText = "a1";
    request.DoReplace = true;
    request.ReplaceText = "\r\nX";
    EXPECT_EQ(Search("a.txt"), 4);
    EXPECT_EQ(Read("a.txt"), Bytes("\r\nX\r\nb1\r\r\nX\n\0\r\nX\r\r\n\n \r\nX"));
}

TEST_F(PlainSearchTest, ChangingTheSearchWithoutANewRunIsHonoured) {
    Write("a.txt", "abc ABC\n");
    request.SearchText = "abc";
    EXPECT_EQ(Search("a.txt"), 1);
    request.MatchCase = false;
    EXPECT_EQ(Search("a.txt"), 2);
    request.SearchText = "bc";
    request.MatchCase = true;
    EXPECT_EQ(Search("a.txt"), 1);
}

// The whole-buffer search against the slow line-by-line search, over random files full of line
// breaks, NULs, and letters of both cases.
TEST_F(PlainSearchTest, SameAsTheLineByLineRuleOnRandomFiles) {
    std::mt19937 rng(12345);
    const std::string alphabet = Bytes("aAbB\r\n\0\xC4\xE4 ");
    const auto randomText = [&](size_t maxLen) {
        std::string s(rng() % (maxLen + 1), ' ');
        for (char& c : s) {
            // Mostly a's, so that finds overlap and crowd.
            c = rng() % 3 == 0 ? alphabet[rng() % alphabet.size()] : "aA"[rng() % 2];
        }
        return s;
    };
    for (int round = 0; round < 3000; ++round) {
        // A few files long enough to cross the slices the scan works in.
        const std::string content = randomText(round < 2990 ? 60 : 300000);
        std::string needle = randomText(4);
        // Needles without breaks mostly, or there is nothing to compare.
        if (rng() % 4 != 0) {
            std::erase_if(needle, [](char c) { return c == '\r' || c == '\n'; });
        }
        request.SearchText = needle;
        request.MatchCase = rng() % 2 == 0;
        request.DoReplace = rng() % 2 == 0;
        request.ReplaceText = randomText(3);
        Write("r.txt", content);

        std::vector<std::string> lines = SplitLines(content);
        const std::vector<std::string> breaks = SplitBreaks(content);
        const auto want = ReferencePlain(lines, needle, request.MatchCase,
                                         request.DoReplace ? &request.ReplaceText : nullptr);
        folder_ = tree.AddFolder(nullptr, nullptr);
        const int got = Search("r.txt");
        ASSERT_EQ(got, static_cast<int>(want.size())) << "round " << round;
        if (got > 0) {
            ASSERT_EQ(Occurences(LastFileNode()), want) << "round " << round;
        }
        if (request.DoReplace && got > 0) {
            std::string rebuilt;
            for (size_t i = 0; i < lines.size(); ++i) {
                rebuilt += lines[i] + breaks[i];
            }
            ASSERT_EQ(Read("r.txt"), rebuilt) << "round " << round;
        } else {
            ASSERT_EQ(Read("r.txt"), content);
        }
        tree.Clear();
    }
}

TEST_F(PlainSearchTest, LinesOfOneFileShareOneTextCopy) {
    Write("a.txt", "a a a\nb a\n");
    request.SearchText = "a";
    EXPECT_EQ(Search("a.txt"), 4);
    const auto* node = LastFileNode();
    const auto text = [&](int i) { return node->Item(i)->LineText().data(); };
    EXPECT_EQ(text(0), text(1));
    EXPECT_EQ(text(0), text(2));
    EXPECT_NE(text(2), text(3));
}

TEST_F(RegexSearchTest, MatchInTheThirdLineAtItsFifthCharacter) {
    Write("a.txt", "first\nsecond\nabcdXfg\n");
    request.SearchText = "X";
    EXPECT_EQ(Search("a.txt"), 1);
    const auto* node = LastFileNode();
    EXPECT_EQ(node->Item(0)->Caption(), "Line: 3, Pos: 5, \"abcdXfg\"");
    EXPECT_EQ(Occurences(node), (std::vector<TOcc>{{2, 5, 1, "abcdXfg"}}));
}

TEST_F(RegexSearchTest, EmptyMatchesAreRecordedOneEach) {
    Write("a.txt", "ab\n");
    request.SearchText = "x*";
    // Joined "ab" CR LF: empty matches before a, b, the CR, the LF and at the end.
    EXPECT_EQ(Search("a.txt"), 5);
    EXPECT_EQ(
        Occurences(LastFileNode()),
        (std::vector<TOcc>{
            {0, 1, 0, "ab"}, {0, 2, 0, "ab"}, {1, 3, 0, "ab"}, {1, 1, 0, ""}, {1, 1, 0, ""}}));
    Write("empty.txt", "");
    EXPECT_EQ(Search("empty.txt"), 1);
    EXPECT_EQ(Occurences(LastFileNode()), (std::vector<TOcc>{{0, 1, 0, ""}}));
}

TEST_F(RegexSearchTest, MatchesSpanLineBreaksAndReplaceTheFilesOwnBreak) {
    Write("a.txt", "ab\ncd\r\nef\rgh");
    request.SearchText = "b\\r\\nc";
    request.DoReplace = true;
    request.ReplaceText = "-";
    EXPECT_EQ(Search("a.txt"), 1);
    EXPECT_EQ(Read("a.txt"), "a-d\r\nef\rgh");

    request.SearchText = "f\\r\\ng";
    EXPECT_EQ(Search("a.txt"), 1);
    EXPECT_EQ(Read("a.txt"), "a-d\r\ne-h");

    // The missing final break takes part in matching as CR LF, and nothing is added for it.
    request.SearchText = "h\\r\\n";
    request.ReplaceText = "H";
    EXPECT_EQ(Search("a.txt"), 1);
    EXPECT_EQ(Read("a.txt"), "a-d\r\ne-H");
}

TEST_F(RegexSearchTest, HalfABreakMatchedTakesTheWholeOneByteBreak) {
    Write("a.txt", "a\nb\rc");
    request.SearchText = "\\n";
    request.DoReplace = true;
    request.ReplaceText = "|";
    // The last line's missing break is matched as well; its replacement is added at the end.
    EXPECT_EQ(Search("a.txt"), 3);
    EXPECT_EQ(Read("a.txt"), "a|b|c|");
    Write("b.txt", "a\nb\rc\r\n");
    request.SearchText = "\\r";
    EXPECT_EQ(Search("b.txt"), 3);
    EXPECT_EQ(Read("b.txt"), "a|b|c|\n");
}

TEST_F(RegexSearchTest, ReplacementKeepsEveryOtherByte) {
    const std::string before = Bytes("k=1\r\nk=2\nx\rk=3\0k=4\n\n\rk=5");
    Write("a.txt", before);
    request.SearchText = "k=(\\d)";
    request.DoReplace = true;
    request.ReplaceText = "v$1";
    EXPECT_EQ(Search("a.txt"), 5);
    EXPECT_EQ(Read("a.txt"), Bytes("v1\r\nv2\nx\rv3\0v4\n\n\rv5"));
}

TEST_F(RegexSearchTest, CaseIgnoredUnlessMatchCase) {
    Write("a.txt", "Abc aBC\n");
    request.SearchText = "abc";
    request.MatchCase = false;
    EXPECT_EQ(Search("a.txt"), 2);
    request.MatchCase = true;
    EXPECT_EQ(Search("a.txt"), 0);
    request.SearchText = "(?i)abc";
    EXPECT_EQ(Search("a.txt"), 2);
}

TEST_F(RegexSearchTest, ABadPatternFailsAtTheFirstFileSearched) {
    Write("empty.txt", "");
    request.SearchText = "(";
    try {
        Search("empty.txt");
        FAIL() << "no error";
    } catch (const ERegExpr& e) {
        EXPECT_EQ(std::string(e.what()), "TRegExpr(comp): ParseReg Unmatched () (pos 1)");
    }
    // And at the next one too: nothing half-prepared is kept.
    EXPECT_THROW(Search("empty.txt"), ERegExpr);
    EXPECT_EQ(folder_->Count(), 0);
    request.DoSearch = false;
    EXPECT_EQ(Search("empty.txt"), 1);
}

TEST_F(RegexSearchTest, TheRequiredLiteralNeverHidesAMatch) {
    // Literal "a" CR LF "b": the file has a lone LF, which joining turns into CR LF.
    Write("a.txt", "xa\nbx\n");
    request.SearchText = "a\\r\\nb";
    EXPECT_EQ(Search("a.txt"), 1);
    request.SearchText = "A\\r\\nB";
    request.MatchCase = false;
    EXPECT_EQ(Search("a.txt"), 1);
    request.SearchText = "XA";
    EXPECT_EQ(Search("a.txt"), 1);
    request.SearchText = "zz+";
    EXPECT_EQ(Search("a.txt"), 0);
}

// Against the pattern search done on the joined text: the same occurrences always; for a file
// with CR LF breaks throughout and a final one, the very bytes Replace gives.
TEST_F(RegexSearchTest, SameAsMatchingTheJoinedTextOnRandomFiles) {
    std::mt19937 rng(777);
    const std::vector<std::string> patterns = {
        "a",      "ab*",  "b+",  "x*",     "a|\\r",  "\\n", "a\\r\\nb", "^a",   "b$",    "\\s+",
        "(a)(b)", "[^a]", "a.b", "(?m)^b", "(?m)a$", "\\Z", "\\bab",    "B{2}", "\\x00a"};
    const std::vector<std::string> templates = {"", "-", "$0$0", "[$1]", "\\$"};
    const std::string alphabet = Bytes("abAB\r\n\0 ");
    for (int round = 0; round < 2000; ++round) {
        std::string lines;
        const size_t n = rng() % 40;
        for (size_t i = 0; i < n; ++i) {
            lines += alphabet[rng() % alphabet.size()];
        }
        const bool crlfOnly = round % 2 == 0;
        std::string content;
        if (crlfOnly) {
            content = JoinCrLf(SplitLines(lines));
        } else {
            content = lines;
        }
        request.SearchText = patterns[rng() % patterns.size()];
        request.MatchCase = rng() % 2 == 0;
        request.DoReplace = crlfOnly && rng() % 2 == 0;
        request.ReplaceText = templates[rng() % templates.size()];
        Write("r.txt", content);
        const std::string joined = JoinCrLf(SplitLines(content));
        std::string replaced;
        const auto want =
            ReferenceRegex(joined, request.SearchText, request.MatchCase,
                           request.DoReplace ? &request.ReplaceText : nullptr, &replaced);
        folder_ = tree.AddFolder(nullptr, nullptr);
        const int got = Search("r.txt");
        ASSERT_EQ(got, static_cast<int>(want.size()))
            << "round " << round << " " << request.SearchText;
        if (got > 0) {
            ASSERT_EQ(Occurences(LastFileNode()), want)
                << "round " << round << " " << request.SearchText;
        }
        if (request.DoReplace && got > 0) {
            ASSERT_EQ(Read("r.txt"), replaced) << "round " << round << " " << request.SearchText;
        }
        tree.Clear();
    }
}
