#include "regex/URegexTester.h"

#include <gtest/gtest.h>

using regex::RegexTesterOutput;

namespace {

TEST(RegexTesterOutput, SubstitutesIntoTheSample) {
    EXPECT_EQ(RegexTesterOutput("abbbc", "b+", "[$0]"), "a[bbb]c");
    EXPECT_EQ(RegexTesterOutput("abcb", "b", ""), "ac");
    EXPECT_EQ(RegexTesterOutput("ab", "x*", "-"), "-a-b-");
    EXPECT_EQ(RegexTesterOutput("abab", "(a)(b)", "$2$1"), "baba");
    EXPECT_EQ(RegexTesterOutput("xyz", "q", "-"), "xyz");
}

TEST(RegexTesterOutput, TemplateReferences) {
    EXPECT_EQ(RegexTesterOutput("ab", "(a)(b)", "<$12>"), "<>");
    EXPECT_EQ(RegexTesterOutput("ab", "(a)(b)", "${1}2"), "a2");
    EXPECT_EQ(RegexTesterOutput("ab", "(a)(b)", "$x"), "$x");
    EXPECT_EQ(RegexTesterOutput("ab", "(a)(b)", "${&}$&"), "abab");
    EXPECT_EQ(RegexTesterOutput("ab", "(a)(b)", "\\$1"), "$1");
    EXPECT_EQ(RegexTesterOutput("ab", "(a)(b)", "a\\"), "a\\");
    EXPECT_EQ(RegexTesterOutput("ab", "(a)|(b)", "[$2]"), "[][b]");
}

TEST(RegexTesterOutput, TemplateIsTakenAsTyped) {
    EXPECT_EQ(RegexTesterOutput("q", "q", "x\\ny"), "xny");
    EXPECT_EQ(RegexTesterOutput("q", "q", "a\\\\b"), "a\\b");
}

TEST(RegexTesterOutput, CaseOnlyThroughThePattern) {
    EXPECT_EQ(RegexTesterOutput("A", "a", "b"), "A");
    EXPECT_EQ(RegexTesterOutput("A", "(?i)a", "b"), "b");
}

TEST(RegexTesterOutput, ErrorsBecomeTheOutput) {
    EXPECT_EQ(RegexTesterOutput("abc", "(", "x"), "TRegExpr(comp): ParseReg Unmatched () (pos 1)");
    std::string fifteen;
    for (int i = 0; i < 15; ++i)
        fifteen += "(a)";
    EXPECT_EQ(RegexTesterOutput("a", fifteen, ""), "TRegExpr(comp): ParseReg Too Many () (pos 43)");
    EXPECT_EQ(RegexTesterOutput("A", "\\x{0041}", "hex"), "hex");
    EXPECT_EQ(RegexTesterOutput("A", "\\x{100}", "hex"),
              "TRegExpr(comp): Hex Code After \\x Is Too Big (pos 6)");
    EXPECT_EQ(RegexTesterOutput(std::string(40, 'a'), "(a|aa)+[bc]", ""),
              "TRegExpr(exec): Match Limit Exceeded");
}

} // namespace
