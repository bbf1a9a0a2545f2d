#include "regex/URegExpr.h"

#include <gtest/gtest.h>

using regex::TRegExpr;

namespace {

struct TLiteral {
    std::string Text;
    bool Caseless;
    bool operator==(const TLiteral&) const = default;
};

std::ostream& operator<<(std::ostream& os, const TLiteral& l) {
    return os << '"' << l.Text << '"' << (l.Caseless ? " caseless" : "");
}

TLiteral LiteralOf(const std::string& pattern, bool caseless = false) {
    TRegExpr r;
    r.SetExpression(pattern);
    r.SetModifierI(caseless);
    std::string text = r.RequiredLiteral();
    return {text, r.RequiredLiteralCaseless()};
}

TEST(RequiredLiteral, TakesTheLongestCertainRun) {
    EXPECT_EQ(LiteralOf("\\w+_lock\\("), (TLiteral{"_lock(", false}));
    EXPECT_EQ(LiteralOf("spin_lock"), (TLiteral{"spin_lock", false}));
    EXPECT_EQ(LiteralOf("ab?cdef"), (TLiteral{"cdef", false}));
    EXPECT_EQ(LiteralOf("(foo)?barx"), (TLiteral{"barx", false}));
    EXPECT_EQ(LiteralOf("(abc)\\1"), (TLiteral{"abc", false}));
    EXPECT_EQ(LiteralOf("x{3}y"), (TLiteral{"xxxy", false}));
    EXPECT_EQ(LiteralOf("(ab)+c"), (TLiteral{"ab", false}));
    EXPECT_EQ(LiteralOf("a\\bb"), (TLiteral{"ab", false}));
    EXPECT_EQ(LiteralOf("[a]bc"), (TLiteral{"bc", false}));
    EXPECT_EQ(LiteralOf("\\Qa.b"), (TLiteral{"Qa", false}));
    EXPECT_EQ(LiteralOf("(?x) f o o # bar"), (TLiteral{"foo", false}));
    EXPECT_EQ(LiteralOf("a\\x{2e}b"), (TLiteral{"a.b", false}));
}

TEST(RequiredLiteral, NothingWhenNoTextIsCertain) {
    for (const char* p : {"foo|bar", "a?", "a*", "(foo)?", "", "^", "[abc]+", ".", "\\d\\w",
                          "(?#foo)", "x{0}", "(foo|bar)\\d?"})
        EXPECT_EQ(LiteralOf(p).Text, "") << p;
    EXPECT_EQ(LiteralOf("(foo|bar)bazq").Text, "bazq");
    EXPECT_EQ(LiteralOf("(a)\\1").Text, "a");
}

TEST(RequiredLiteral, CaseFollowsTheModifierOfEachCharacter) {
    EXPECT_EQ(LiteralOf("foo", true), (TLiteral{"foo", true}));
    EXPECT_EQ(LiteralOf("(?i)foo"), (TLiteral{"foo", true}));
    EXPECT_EQ(LiteralOf("ab(?i)cd"), (TLiteral{"abcd", true}));
    EXPECT_EQ(LiteralOf("(?i)12_"), (TLiteral{"12_", false}));
    EXPECT_EQ(LiteralOf("(?-i)foo", true), (TLiteral{"foo", false}));
    EXPECT_EQ(LiteralOf("(a(?i)b)xyz"), (TLiteral{"abxyz", true}));
}

} // namespace
