#include "RegexTestUtil.h"

#include <gtest/gtest.h>

#include <chrono>

using regex::ERegExpr;
using regex::TRegExpr;

namespace {

TEST(TRegExpr, DefaultsAndLazyCompilation) {
    TRegExpr r;
    EXPECT_FALSE(r.ModifierI());
    r.SetExpression("(");
    EXPECT_EQ(r.Expression(), "(");
    // The pattern error surfaces at the first search, and again at every later one.
    EXPECT_THROW(r.Exec("x"), ERegExpr);
    EXPECT_THROW(r.ExecView("x"), ERegExpr);
    r.SetExpression("b");
    ASSERT_TRUE(r.Exec("abc"));
    EXPECT_EQ(r.MatchPos(0), 2);
    EXPECT_EQ(r.MatchLen(0), 1);
}

TEST(TRegExpr, EmptyMatchesAdvanceOneByteAndReachTheEnd) {
    EXPECT_EQ(AllMatches("x*", "ab"), (TMatchList{{1, 0}, {2, 0}, {3, 0}}));
    EXPECT_EQ(AllMatches("a*", "baa"), (TMatchList{{1, 0}, {2, 2}, {4, 0}}));
    EXPECT_EQ(AllMatches("x*", ""), (TMatchList{{1, 0}}));
    EXPECT_EQ(AllMatches("aa", "aaaaa"), (TMatchList{{1, 2}, {3, 2}}));
}

TEST(TRegExpr, GroupsAndUnsetGroups) {
    TRegExpr r;
    r.SetExpression("(a)|(b)");
    ASSERT_TRUE(r.Exec("xb"));
    EXPECT_EQ(r.MatchPos(1), -1);
    EXPECT_EQ(r.MatchLen(1), -1);
    EXPECT_EQ(r.MatchPos(2), 2);
    EXPECT_EQ(r.MatchLen(2), 1);
    EXPECT_EQ(r.MatchPos(15), -1);
    EXPECT_FALSE(r.ExecNext());
    EXPECT_EQ(r.MatchPos(0), -1);

    std::string fourteen;
    for (int i = 0; i < 14; ++i)
        fourteen += "(.)";
    r.SetExpression(fourteen);
    ASSERT_TRUE(r.Exec("abcdefghijklmn"));
    EXPECT_EQ(r.MatchPos(14), 14);
}

TEST(TRegExpr, CaseIsAsciiOnlyAndInlineModifiersAreScoped) {
    EXPECT_FALSE(Matches("a", "A"));
    EXPECT_TRUE(Matches("a", "A", true));
    EXPECT_TRUE(Matches("(?i)a", "A"));
    EXPECT_FALSE(Matches("(?-i)a", "A", true));
    EXPECT_TRUE(Matches("(?I)[a-c]x", "BX"));
    // No case outside ASCII: 0xE0 and 0xC0 are unrelated bytes.
    EXPECT_FALSE(Matches("\\xe0", "\xc0", true));
    // The switch ends with its group, and carries into later alternatives of the same group.
    EXPECT_TRUE(Matches("(a(?i)b)c", "aBc"));
    EXPECT_FALSE(Matches("(a(?i)b)c", "abC"));
    EXPECT_TRUE(Matches("a(?i)b|c", "C"));
    EXPECT_FALSE(Matches("(?i)(a(?-i)b|c)", "C"));
    EXPECT_TRUE(Matches("(?i)(a(?-i)b|c)", "Ab"));
    EXPECT_TRUE(Matches("(?i)(a)\\1", "aA"));
    EXPECT_FALSE(Matches("(a)\\1", "aA"));
    EXPECT_TRUE(Matches("(?i)[^a]", "b"));
    EXPECT_FALSE(Matches("(?i)[^a]", "A"));
}

TEST(TRegExpr, LineAnchorsOnCrLfText) {
    const std::string text = "a\r\nb\r\n";
    // m off: "$" and "\Z" only at the very end, "^" only at the start.
    EXPECT_EQ(AllMatches("$", text), (TMatchList{{7, 0}}));
    EXPECT_EQ(AllMatches("\\Z", text), (TMatchList{{7, 0}}));
    EXPECT_EQ(AllMatches("^", text), (TMatchList{{1, 0}}));
    EXPECT_FALSE(Matches("^b", text));
    EXPECT_FALSE(Matches("b$", text));
    // m on: at each separator, never between its CR and its LF.
    EXPECT_EQ(AllMatches("(?m)$", text), (TMatchList{{2, 0}, {5, 0}, {7, 0}}));
    EXPECT_EQ(AllMatches("(?m)^", text), (TMatchList{{1, 0}, {4, 0}}));
    EXPECT_EQ(AllMatches("(?m)^.", text), (TMatchList{{1, 1}, {4, 1}}));
    EXPECT_EQ(AllMatches("(?m)\\w$", text), (TMatchList{{1, 1}, {4, 1}}));
    // Lone CR and lone LF separate lines too.
    EXPECT_EQ(AllMatches("(?m)^", "a\rb\nc"), (TMatchList{{1, 0}, {3, 0}, {5, 0}}));
    EXPECT_EQ(AllMatches("(?m)$", "a\rb\nc"), (TMatchList{{2, 0}, {4, 0}, {6, 0}}));
    EXPECT_EQ(AllMatches("\\A.", text), (TMatchList{{1, 1}}));
}

TEST(TRegExpr, DotAndModifierS) {
    EXPECT_TRUE(Matches("a..b", "a\r\nb"));
    EXPECT_FALSE(Matches("(?-s)a.+b", "a\r\nb"));
    EXPECT_FALSE(Matches("(?-s)a.b", "a\nb"));
    EXPECT_FALSE(Matches("(?-s)a.b", "a\rb"));
    EXPECT_TRUE(Matches("(?-s)a.b", std::string("a\0b", 3)));
    EXPECT_EQ(AllMatches("(?-s).+", "ab\r\ncd"), (TMatchList{{1, 2}, {5, 2}}));
}

TEST(TRegExpr, PredefinedClassesAreAscii) {
    EXPECT_FALSE(Matches("\\s", "\v"));
    EXPECT_TRUE(Matches("\\S", "\v"));
    EXPECT_EQ(AllMatches("\\s", " \t\n\r\f"), (TMatchList{{1, 1}, {2, 1}, {3, 1}, {4, 1}, {5, 1}}));
    EXPECT_FALSE(Matches("\\w", "\xe0\xb5"));
    EXPECT_TRUE(Matches("\\w", "_"));
    EXPECT_FALSE(Matches("\\d", "\xb2"));
    EXPECT_TRUE(Matches("\\bx", "\xe0x"));
    EXPECT_FALSE(Matches("\\Bx", "\xe0x"));
    EXPECT_TRUE(Matches("[\\W]", "\xe0"));
    EXPECT_FALSE(Matches("[^\\W\\d]", "5"));
    EXPECT_TRUE(Matches("[^\\W\\d]", "q"));
}

TEST(TRegExpr, CyrillicRangesWithModifierR) {
    EXPECT_TRUE(Matches("[\xe0-\xff]", "\xb8"));
    EXPECT_TRUE(Matches("[\\xc0-\\xdf]", "\xa8"));
    EXPECT_FALSE(Matches("[\xe0-\xfe]", "\xb8"));
    EXPECT_FALSE(Matches("(?-r)[\xe0-\xff]", "\xb8"));
    for (const char* s : {"\xc0", "\xff", "\xa8", "\xb8"})
        EXPECT_TRUE(Matches("[\xe0-\xdf]", s)) << int(static_cast<unsigned char>(s[0]));
    EXPECT_FALSE(Matches("[\xe0-\xdf]", "\xbf"));
}

TEST(TRegExpr, ModifierGOffMakesEveryIteratorNonGreedy) {
    EXPECT_EQ(AllMatches("a+", "aaa"), (TMatchList{{1, 3}}));
    EXPECT_EQ(AllMatches("(?-g)a+", "aaa"), (TMatchList{{1, 1}, {2, 1}, {3, 1}}));
    EXPECT_EQ(AllMatches("(?-g)a{2,3}", "aaa"), (TMatchList{{1, 2}}));
    EXPECT_EQ(AllMatches("(?-g)a+?", "aaa").size(), 3u);
    EXPECT_EQ(AllMatches("a+?", "aaa").size(), 3u);
    EXPECT_EQ(AllMatches("((?-g)a+)a+", "aaaa"), (TMatchList{{1, 4}}));
    EXPECT_EQ(AllMatches("a??b", "ab"), (TMatchList{{1, 2}}));
}

TEST(TRegExpr, ExtendedModeDropsSpaceAndComments) {
    EXPECT_TRUE(Matches("(?x) a b # comment\n c", "abc"));
    EXPECT_TRUE(Matches("(?x)a\\ b", "a b"));
    EXPECT_TRUE(Matches("(?x)[ ]", " "));
    EXPECT_EQ(AllMatches("(?x)a +", "aaa"), (TMatchList{{1, 3}}));
    EXPECT_TRUE(Matches("(?x)a\\#", "a#"));
    EXPECT_TRUE(Matches("((?x) a )a b", "aa b"));
}

TEST(TRegExpr, EscapesAndLiterals) {
    EXPECT_TRUE(Matches("\\x{0041}", "A"));
    EXPECT_TRUE(Matches("\\x41\\x{42}", "AB"));
    EXPECT_TRUE(Matches("\\t\\n\\r\\f\\a\\e", "\t\n\r\f\a\x1b"));
    EXPECT_TRUE(Matches("\\x00", std::string("\0", 1)));
    EXPECT_TRUE(Matches(std::string("a\0b", 3), std::string("a\0b", 3)));
    // Everything the dialect lacks is an ordinary character after a backslash.
    EXPECT_TRUE(Matches("\\p{L}", "p{L}"));
    EXPECT_TRUE(Matches("\\Qa\\E", "QaE"));
    EXPECT_TRUE(Matches("\\z\\0\\G", "z0G"));
    EXPECT_TRUE(Matches("[\\b]", "b"));
    // A brace that starts no repeat count is an ordinary character, as are "]" and "}".
    EXPECT_TRUE(Matches("a{", "a{"));
    EXPECT_TRUE(Matches("a{,2}", "a{,2}"));
    EXPECT_TRUE(Matches("{x}]", "{x}]"));
    EXPECT_TRUE(Matches("a{2,x}", "a{2,x}"));
    EXPECT_EQ(AllMatches("a{2}", "aaaaa"), (TMatchList{{1, 2}, {3, 2}}));
    EXPECT_EQ(AllMatches("a{2,}", "aaaaa"), (TMatchList{{1, 5}}));
    EXPECT_EQ(AllMatches("a{0}b", "ab"), (TMatchList{{2, 1}}));
}

TEST(TRegExpr, Classes) {
    EXPECT_TRUE(Matches("[]a]", "]"));
    EXPECT_TRUE(Matches("[^]a]", "b"));
    EXPECT_FALSE(Matches("[^]a]", "]"));
    EXPECT_TRUE(Matches("[-az]", "-"));
    EXPECT_TRUE(Matches("[az-]", "-"));
    EXPECT_TRUE(Matches("[a\\-z]", "-"));
    EXPECT_FALSE(Matches("[a\\-z]", "b"));
    EXPECT_TRUE(Matches("[\\x41-\\x43]", "B"));
    EXPECT_TRUE(Matches("[\\]]", "]"));
    EXPECT_TRUE(Matches("[^0-9]", "\n"));
    EXPECT_TRUE(Matches("[[:a]]", ":]"));
}

TEST(TRegExpr, BackReferences) {
    EXPECT_EQ(AllMatches("(a+)b\\1", "aabaa"), (TMatchList{{1, 5}}));
    EXPECT_TRUE(Matches("(a)\\10", "aa0"));
    EXPECT_FALSE(Matches("(a)\\10", "aaaaaaaaaaa"));
    // A group that does not exist never matched, so the reference never matches.
    EXPECT_FALSE(Matches("(a)\\2", "aa"));
    EXPECT_TRUE(Matches("(a)\\2|b", "b"));
}

TEST(TRegExpr, ExecViewAndSubstitute) {
    std::string text = "key=value";
    TRegExpr r;
    r.SetExpression("(\\w+)=(\\w+)");
    ASSERT_TRUE(r.ExecView(text));
    EXPECT_EQ(r.Substitute("$2:$1 ${&} \\$1 $"), "value:key key=value $1 $");
    EXPECT_EQ(r.Substitute("${1"), "${1");
    EXPECT_EQ(r.Substitute("${}"), "${}");
    EXPECT_EQ(r.Substitute("$99999999999999999"), "");
    EXPECT_EQ(r.Substitute(""), "");
}

TEST(TRegExpr, ExecKeepsItsOwnCopy) {
    std::string text = "abc";
    TRegExpr r;
    r.SetExpression("b");
    ASSERT_TRUE(r.Exec(text));
    text = "xxx";
    EXPECT_EQ(r.Substitute("$0"), "b");
}

TEST(TRegExpr, OneCompiledEngineServesManyInputs) {
    TRegExpr r;
    r.SetExpression("(?m)^(\\w+)$");
    const std::string first = "one\r\ntwo\r\n";
    const std::string second = "x y\r\nthree\r\n";
    ASSERT_TRUE(r.ExecView(first));
    EXPECT_EQ(r.MatchPos(1), 1);
    ASSERT_TRUE(r.ExecNext());
    EXPECT_EQ(r.MatchPos(1), 6);
    EXPECT_FALSE(r.ExecNext());
    ASSERT_TRUE(r.ExecView(second));
    EXPECT_EQ(r.MatchPos(0), 6);
    EXPECT_EQ(r.Replace(second, "<$1>", true), "x y\r\n<three>\r\n");
    EXPECT_EQ(r.Replace(first, "$1$1", true), "oneone\r\ntwotwo\r\n");
}

TEST(TRegExpr, ReplaceWithAndWithoutSubstitution) {
    TRegExpr r;
    r.SetExpression("(o)");
    EXPECT_EQ(r.Replace("foo", "[$1]", true), "f[o][o]");
    EXPECT_EQ(r.Replace("foo", "[$1]", false), "f[$1][$1]");
    EXPECT_EQ(r.Replace("bar", "x", true), "bar");
    EXPECT_EQ(r.MatchPos(0), -1);
    r.SetExpression("");
    EXPECT_EQ(r.Replace("ab", "-", true), "-a-b-");
}

TEST(TRegExpr, SafetyLimitsRaiseExecErrors) {
    // Unbounded backtracking memory: JIT stack exhausted, then the interpreter's heap limit.
    std::string text;
    for (int i = 0; i < 1024 * 1024; ++i)
        text += "ab";
    TRegExpr r;
    r.SetExpression("^(a|b)*\\d");
    auto t0 = std::chrono::steady_clock::now();
    try {
        r.ExecView(text);
        FAIL() << "no limit hit";
    } catch (const ERegExpr& e) {
        EXPECT_EQ(std::string(e.what()), "TRegExpr(exec): Loop Stack Exceeded");
    }
    EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(20));

    // Exponential backtracking: the match limit.
    r.SetExpression("(a|aa)+[bc]");
    try {
        r.Exec(std::string(60, 'a'));
        FAIL() << "no limit hit";
    } catch (const ERegExpr& e) {
        EXPECT_EQ(std::string(e.what()), "TRegExpr(exec): Match Limit Exceeded");
    }
    EXPECT_EQ(r.MatchPos(0), -1);

    r.SetMatchLimit(1000);
    r.SetExpression("(a|aa)+[bc]");
    EXPECT_THROW(r.Exec(std::string(20, 'a')), ERegExpr);
}

TEST(TRegExpr, LinearBacktrackingOverALargeInputStaysWithinTheLimits) {
    std::string text(30 * 1024 * 1024, 'x');
    text += "yz";
    TRegExpr r;
    r.SetExpression(".*y");
    ASSERT_TRUE(r.ExecView(text));
    EXPECT_EQ(r.MatchLen(0), static_cast<int>(text.size()) - 1);
}

TEST(TRegExpr, TranslationResolvesModifiers) {
    TRegExpr r;
    r.SetExpression("a.b");
    EXPECT_EQ(r.TranslatedExpression(), "a.b");
    r.SetExpression("(?-s).$");
    EXPECT_EQ(r.TranslatedExpression(), "[^\\x{0a}\\x{0d}]\\z");
    r.SetExpression("a");
    r.SetModifierI(true);
    EXPECT_EQ(r.TranslatedExpression(), "(?i)a");
}

} // namespace
