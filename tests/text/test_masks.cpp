#include "text/UMasks.h"

#include <gtest/gtest.h>

using text::MatchesAnyMask;
using text::MatchMask;
using text::WildPos;

namespace {

bool M(const char* name, const char* mask) {
    return MatchMask(name, mask, true);
}

} // namespace

TEST(MatchMask, StarDotStarNeedsADot) {
    EXPECT_FALSE(M("README", "*.*"));
    EXPECT_TRUE(M(".profile", "*.*"));
    EXPECT_TRUE(M("a.b.c", "*.*"));
    EXPECT_TRUE(M("notes.txt", "*.*"));
}

TEST(MatchMask, ExtensionMasksAndCase) {
    EXPECT_TRUE(M("A.TXT", "*.txt"));
    EXPECT_FALSE(M("a.txt.bak", "*.txt"));
    EXPECT_TRUE(M("index.htm", "*.htm*"));
    EXPECT_TRUE(M("index.html", "*.htm*"));
    EXPECT_TRUE(M("~tmp.doc", "~*.*"));
    EXPECT_FALSE(M("tmp.doc", "~*.*"));
    EXPECT_TRUE(M("notes.~txt", "*.~*"));
    // Case counts when not ignored, except for an exact match.
    EXPECT_FALSE(MatchMask("A.TXT", "*.txt", false));
    EXPECT_TRUE(MatchMask("A.TXT", "A.TXT", false));
}

TEST(MatchMask, QuestionMarksAndTrailingSegments) {
    EXPECT_TRUE(M("abc", "a?c"));
    EXPECT_FALSE(M("ac", "a?c"));
    EXPECT_FALSE(M("abcd", "a?c"));
    EXPECT_FALSE(M("a", "*??"));
    EXPECT_TRUE(M("ab", "*??"));
    EXPECT_FALSE(M("aa", "a*aa"));
    EXPECT_TRUE(M("aaa", "a*aa"));
    EXPECT_FALSE(M("ab", "abc*"));
    EXPECT_TRUE(M("ab", "ab*"));
}

TEST(MatchMask, StarsAlone) {
    for (const char* name : {"x", "README", ".hidden", "a.b"}) {
        EXPECT_TRUE(M(name, "*")) << name;
        EXPECT_TRUE(M(name, "**")) << name;
        EXPECT_TRUE(M(name, "***")) << name;
    }
    EXPECT_FALSE(M("", "a"));
    EXPECT_FALSE(M("a", ""));
}

TEST(MatchMask, MiddleSegmentsTakeTheLeftmostPlaceOnly) {
    EXPECT_FALSE(M("zabc", "z*ab*bc*"));
    EXPECT_TRUE(M("zabbc", "z*ab*bc*"));
    EXPECT_TRUE(M("xaybz", "x*a?b*z"));
    // "**" between segments collapses like a single star.
    EXPECT_TRUE(M("abXcd", "ab**cd"));
}

TEST(MatchMask, NonAsciiIsComparedAsBytes) {
    // Upper-casing is ASCII-only: a Latin-1 e-acute never matches its capital.
    EXPECT_FALSE(M("caf\xe9.txt", "CAF\xc9.TXT"));
    EXPECT_TRUE(M("caf\xe9.txt", "*.TXT"));
}

TEST(MatchesAnyMask, ListOrderAndEmptyList) {
    EXPECT_FALSE(MatchesAnyMask("a.txt", {}));
    EXPECT_TRUE(MatchesAnyMask("a.txt", {"*.doc", "*.txt"}));
    EXPECT_FALSE(MatchesAnyMask("a.txt", {"*.doc", "b*"}));
}

TEST(WildPos, PlainAndWildSegments) {
    EXPECT_EQ(WildPos("bc", "abcbc"), 2);
    EXPECT_EQ(WildPos("", "abc"), 0);
    EXPECT_EQ(WildPos("b?", "abcbc"), 2);
    EXPECT_EQ(WildPos("??", "a"), 0);
    EXPECT_EQ(WildPos("?", ""), 0);
    EXPECT_EQ(WildPos("c?", "abc"), 0);
}
