#include "regex/URegExpr.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

using regex::TRegExpr;

namespace {

bool WithinLines(const std::string& pattern, bool caseless = false) {
    TRegExpr r;
    r.SetExpression(pattern);
    r.SetModifierI(caseless);
    return r.MatchesStayWithinLines();
}

TEST(MatchesStayWithinLines, PatternsThatTakeNoBreakAndHaveNoAnchor) {
    EXPECT_TRUE(WithinLines("\\w+_lock\\("));
    EXPECT_TRUE(WithinLines("foo\\d+"));
    EXPECT_TRUE(WithinLines("(?-s)a.b"));
    EXPECT_TRUE(WithinLines("(?i)LOCK\\("));
    EXPECT_TRUE(WithinLines("LOCK\\(", true));
    EXPECT_TRUE(WithinLines("\\bfoo\\B"));
    EXPECT_TRUE(WithinLines("[^\\r\\n]+x"));
    EXPECT_TRUE(WithinLines("[^\\x0a\\x0d]y"));
    EXPECT_TRUE(WithinLines("[\\x00-\\x09]z"));
    EXPECT_TRUE(WithinLines("[\\x0e-\\xff]z"));
    EXPECT_TRUE(WithinLines("(ab|cd)+\\1"));
    EXPECT_TRUE(WithinLines("a\\tb"));
    EXPECT_TRUE(WithinLines("a\\Sb")); // \S leaves the breaks out
    EXPECT_TRUE(WithinLines("(?x) a b # comment"));
    EXPECT_TRUE(WithinLines("(?m-s)x.y"));
    EXPECT_TRUE(WithinLines("\\d\\w[a-z]x"));
}

TEST(MatchesStayWithinLines, PatternsThatCanTakeABreak) {
    EXPECT_FALSE(WithinLines("a.b")); // s is on by default: "." takes CR and LF
    EXPECT_FALSE(WithinLines("(?s)a.b"));
    EXPECT_FALSE(WithinLines("(?-s)a(?s).b"));
    EXPECT_FALSE(WithinLines("[^x]y"));
    EXPECT_FALSE(WithinLines("[^\\r]y")); // takes LF
    EXPECT_FALSE(WithinLines("[^\\n]y")); // takes CR
    EXPECT_FALSE(WithinLines("a\\sb"));
    EXPECT_FALSE(WithinLines("a\\Db"));
    EXPECT_FALSE(WithinLines("a\\Wb"));
    EXPECT_FALSE(WithinLines("x\\ny"));
    EXPECT_FALSE(WithinLines("x\\ry"));
    EXPECT_FALSE(WithinLines("x\\x0ay"));
    EXPECT_FALSE(WithinLines("x\\x{0d}y"));
    EXPECT_FALSE(WithinLines("[\\x00-\\x7f]z"));
    EXPECT_FALSE(WithinLines("[\\x0a]z"));
    EXPECT_FALSE(WithinLines("[\\x09-\\x0b]z"));
    EXPECT_FALSE(WithinLines("[\\x0c-\\x0e]z"));
    EXPECT_FALSE(WithinLines("[\\s]z"));
    EXPECT_FALSE(WithinLines("(?i)a\\sLOCK"));
    EXPECT_FALSE(WithinLines("foo|x\\ny"));
    EXPECT_FALSE(WithinLines("(?-s)a.b(x\\n)?"));
}

TEST(MatchesStayWithinLines, PatternsWithAnchors) {
    EXPECT_FALSE(WithinLines("^foo"));
    EXPECT_FALSE(WithinLines("foo$"));
    EXPECT_FALSE(WithinLines("(?m)^foo"));
    EXPECT_FALSE(WithinLines("(?m)foo$"));
    EXPECT_FALSE(WithinLines("\\Afoo"));
    EXPECT_FALSE(WithinLines("foo\\Z"));
    EXPECT_FALSE(WithinLines("(a|^)foo"));
    EXPECT_FALSE(WithinLines("foo(x$)?"));
}

TEST(MatchesStayWithinLines, FollowsTheExpressionAndItsCaseRule) {
    TRegExpr r;
    r.SetExpression("a.b");
    EXPECT_FALSE(r.MatchesStayWithinLines());
    r.SetExpression("a\\.b");
    EXPECT_TRUE(r.MatchesStayWithinLines());
    r.SetModifierI(true);
    EXPECT_TRUE(r.MatchesStayWithinLines());
}

// The search by lines hands PCRE2 one line as the whole subject. Word boundaries there must
// see the slice's edges as non-word, never the bytes around the slice in memory.
TEST(MatchesStayWithinLines, ASliceShowsNothingOutsideItToTheEngine) {
    const std::string buffer = "ab_lock(cd";
    const std::string_view slice = std::string_view(buffer).substr(1, 7); // "b_lock("
    TRegExpr r;
    r.SetExpression("\\bb_lock\\(");
    ASSERT_TRUE(r.ExecView(slice));
    EXPECT_EQ(r.MatchPos(0), 1);
    EXPECT_EQ(r.MatchLen(0), 7);
    r.SetExpression("\\Bb_lock");
    EXPECT_FALSE(r.ExecView(slice));
    r.SetExpression("_lock\\(\\B");
    EXPECT_TRUE(r.ExecView(slice)); // "(" then the edge: both non-word, so no boundary
    r.SetExpression("_lock\\(\\b");
    EXPECT_FALSE(r.ExecView(slice)); // the "c" after the slice is not seen
    const std::string_view words = std::string_view(buffer).substr(2, 4); // "_loc"
    r.SetExpression("\\b_loc\\b");
    ASSERT_TRUE(r.ExecView(words));
    EXPECT_EQ(r.MatchPos(0), 1);
    EXPECT_EQ(r.MatchLen(0), 4);
    // The slice's end hides "k(cd": the match may not run on into it.
    r.SetExpression("_loc\\w+");
    EXPECT_FALSE(r.ExecView(words));
    EXPECT_TRUE(r.ExecView(buffer));
}

} // namespace
