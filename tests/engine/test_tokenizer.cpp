// Splitting the mask text into masks.
#include "engine/vtStringTokenizer.h"

#include <gtest/gtest.h>

using engine::TStringTokenizer;
using V = std::vector<std::string>;

TEST(StringTokenizer, SplitsAtEveryDelimiterCharacter) {
    EXPECT_EQ(TStringTokenizer("*.txt; *.doc", "; ").Tokens, (V{"*.txt", "*.doc"}));
    EXPECT_EQ(TStringTokenizer("~*.*;*.tmp;*.~*", "; ").Tokens, (V{"~*.*", "*.tmp", "*.~*"}));
    EXPECT_EQ(TStringTokenizer("a b;c", "; ").Tokens, (V{"a", "b", "c"}));
}

TEST(StringTokenizer, RunsAndEndsOfDelimitersGiveNoEmptyTokens) {
    EXPECT_EQ(TStringTokenizer(";;*.txt;;", "; ").Tokens, (V{"*.txt"}));
    EXPECT_EQ(TStringTokenizer("  ; a ;; b  ", "; ").Tokens, (V{"a", "b"}));
}

TEST(StringTokenizer, EmptyOrAllDelimiterTextGivesNoTokens) {
    EXPECT_TRUE(TStringTokenizer("", "; ").Tokens.empty());
    EXPECT_TRUE(TStringTokenizer(" ;; ; ", "; ").Tokens.empty());
}

TEST(StringTokenizer, OnlyTheGivenDelimitersSplit) {
    // A TAB is not a delimiter of the mask box, and bytes above 127 are ordinary characters.
    EXPECT_EQ(TStringTokenizer("a\tb;caf\xe9", "; ").Tokens, (V{"a\tb", "caf\xe9"}));
    EXPECT_EQ(TStringTokenizer("a,b;c", ",").Tokens, (V{"a", "b;c"}));
    EXPECT_EQ(TStringTokenizer("abc", "").Tokens, (V{"abc"}));
}

TEST(StringTokenizer, ANulByteIsACharacterLikeAnyOther) {
    const std::string text("a\0b;c", 5);
    EXPECT_EQ(TStringTokenizer(text, "; ").Tokens, (V{std::string("a\0b", 3), "c"}));
}
