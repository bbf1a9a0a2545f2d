#include "regex/URegExpr.h"

#include <gtest/gtest.h>

#include <string>

using regex::ERegExpr;
using regex::TRegExpr;

namespace {

std::string ErrorOf(const std::string& pattern) {
    TRegExpr r;
    r.SetExpression(pattern);
    try {
        r.Exec("");
    } catch (const ERegExpr& e) {
        return e.what();
    }
    return "(no error)";
}

struct TErrorCase {
    const char* Pattern;
    const char* Message;
};

void ExpectErrors(std::initializer_list<TErrorCase> cases) {
    for (const auto& c : cases)
        EXPECT_EQ(ErrorOf(c.Pattern), std::string("TRegExpr(comp): ") + c.Message)
            << "pattern " << c.Pattern;
}

TEST(RegexErrors, Parentheses) {
    ExpectErrors({
        {"(", "ParseReg Unmatched () (pos 1)"},
        {"(a", "ParseReg Unmatched () (pos 2)"},
        {"((a)", "ParseReg Unmatched () (pos 4)"},
        {"a)", "ParseReg Unmatched () (pos 2)"},
        {"(a))b", "ParseReg Unmatched () (pos 4)"},
        {"(?i", "ParseReg Unmatched () (pos 3)"},
        {"(?#abc", "Unclosed (?#Comment) (pos 6)"},
    });
    std::string fifteen;
    for (int i = 0; i < 15; ++i)
        fifteen += "(a)";
    EXPECT_EQ(ErrorOf(fifteen), "TRegExpr(comp): ParseReg Too Many () (pos 43)");
    EXPECT_EQ(ErrorOf("(((((((((((((((a)))))))))))))))"),
              "TRegExpr(comp): ParseReg Too Many () (pos 15)");
}

TEST(RegexErrors, Iterators) {
    ExpectErrors({
        {"*a", "?+*{ Follows Nothing (pos 1)"},
        {"{2}", "?+*{ Follows Nothing (pos 1)"},
        {"a|+", "?+*{ Follows Nothing (pos 3)"},
        {"(?i)*", "?+*{ Follows Nothing (pos 5)"},
        {"a(?#c)?", "?+*{ Follows Nothing (pos 7)"},
        {"(*FAIL)", "?+*{ Follows Nothing (pos 2)"},
        {"a**", "Nested *?+ (pos 3)"},
        {"a*+", "Nested *?+ (pos 3)"},
        {"a++", "Nested *?+ (pos 3)"},
        {"a*??", "Nested *?+ (pos 4)"},
        {"a{2}{3}", "Nested *?+ (pos 5)"},
        {"(?x)a* ?", "Nested *?+ (pos 8)"},
        {"(a*)*", "*+ Operand Could Be Empty (pos 5)"},
        {"()+", "*+ Operand Could Be Empty (pos 3)"},
        {"(a|)*", "*+ Operand Could Be Empty (pos 5)"},
        {"^*", "*+ Operand Could Be Empty (pos 2)"},
        {"\\b+", "*+ Operand Could Be Empty (pos 3)"},
        {"(a?)\\1*", "*+ Operand Could Be Empty (pos 7)"},
        {"(a*){2,}", "*+ Operand Could Be Empty (pos 8)"},
        {"a{3,2}", "BRACE Min Param Greater then Max (pos 6)"},
        {"a{65536}", "BRACES Argument Too Big (pos 8)"},
        {"a{1,99999999999}", "BRACES Argument Too Big (pos 16)"},
    });
    // Bounded iterators of empty-capable operands are fine.
    EXPECT_EQ(ErrorOf("(a*)?^?\\b{2}(a*){2,3}a{65535}"), "(no error)");
}

TEST(RegexErrors, Escapes) {
    ExpectErrors({
        {"ab\\", "Parse Atom Trailing \\ (pos 3)"},
        {"\\x", "No Hex Code After \\x (pos 2)"},
        {"\\x{}", "No Hex Code After \\x (pos 4)"},
        {"\\xg1", "Bad Hex Digit (pos 3)"},
        {"\\x4", "Bad Hex Digit (pos 3)"},
        {"\\x4g", "Bad Hex Digit (pos 4)"},
        {"\\x{4g}", "Bad Hex Digit (pos 5)"},
        {"\\x{41", "Bad Hex Digit (pos 5)"},
        {"\\x{100}", "Hex Code After \\x Is Too Big (pos 6)"},
        {"\\x{00000000000100}", "Hex Code After \\x Is Too Big (pos 17)"},
    });
}

TEST(RegexErrors, Classes) {
    ExpectErrors({
        {"[abc", "Unmatched [] (pos 4)"},
        {"[a-", "Unmatched [] (pos 3)"},
        {"[]", "Unmatched [] (pos 2)"},
        {"[a\\", "Trailing \\ (pos 3)"},
        {"[z-a]", "Invalid [] Range (pos 4)"},
        {"[a-\\d]", "Invalid [] Range (pos 5)"},
        {"[\\d-z]", "Invalid [] Range (pos 4)"},
        {"[a-c-e]", "Invalid [] Range (pos 5)"},
        {"(?-r)[\xe0-\xdf]", "Invalid [] Range (pos 9)"},
        {"[\\x{1g}]", "Bad Hex Digit (pos 6)"},
    });
}

TEST(RegexErrors, WhatTheDialectLacks) {
    ExpectErrors({
        {"(?q)", "Urecognized Modifier (pos 3)"},
        {"(?i-s-m)", "Urecognized Modifier (pos 6)"},
        {"(?=a)", "Urecognized Modifier (pos 3)"},
        {"(?!a)", "Urecognized Modifier (pos 3)"},
        {"(?<=a)", "Urecognized Modifier (pos 3)"},
        {"(?<name>a)", "Urecognized Modifier (pos 3)"},
        {"(?P<name>a)", "Urecognized Modifier (pos 3)"},
        {"(?:a)", "Urecognized Modifier (pos 3)"},
        {"(?i:a)", "Urecognized Modifier (pos 4)"},
        {"(?>a)", "Urecognized Modifier (pos 3)"},
    });
    EXPECT_EQ(ErrorOf("(?imsxrg-IMSXRG)(?)(?-)"), "(no error)");
}

TEST(RegexErrors, CarryCodeAndPosition) {
    TRegExpr r;
    r.SetExpression("ab(");
    try {
        r.Compile();
        FAIL();
    } catch (const ERegExpr& e) {
        EXPECT_EQ(e.CompilerErrorPos, 3);
        EXPECT_NE(e.ErrorCode, 0);
    }
}

TEST(RegexErrors, PatternTooBigForPcre2) {
    std::string big = "(";
    for (int i = 0; i < 200; ++i)
        big += "abcdefghij";
    big += "){65535}";
    EXPECT_EQ(ErrorOf(big),
              "TRegExpr(comp): Regexp Too Big (pos " + std::to_string(big.size()) + ")");
}

} // namespace
