// Front end of the engine: parses a pattern of the engine's dialect into a syntax tree in which
// every node carries the modifier state it was written under, and reports every pattern error
// with the engine's text and position. docs/REGEX.md lists the dialect and the error decisions.
#pragma once

#include <bitset>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace regex {

constexpr int MaxGroups = 14;    // groups 1..14; a 15th is a pattern error
constexpr int MaxRepeat = 65535; // largest n or m of {n,m}
constexpr int Unbounded = -1;    // TRxNode::Max of *, + and {n,}

enum class TRxError {
    TooBig = 1,
    TooManyGroups,
    UnmatchedParen,
    JunkOnEnd,
    OperandCouldBeEmpty,
    NestedIterator,
    BadHexDigit,
    InvalidRange,
    AtomTrailingBackslash,
    NoHexCode,
    HexTooBig,
    UnmatchedBracket,
    InternalUrp,
    FollowsNothing,
    TrailingBackslash,
    AtomInternalDisaster,
    BracesTooBig,
    BraceMinGreaterMax,
    UnclosedComment,
    UnrecognizedModifier,
};

// The engine's text for a pattern error, without the position.
const char* ErrorText(TRxError e);
// Throws ERegExpr with "<text> (pos <pos>)".
[[noreturn]] void ThrowPatternError(TRxError e, int pos);

struct TRxModifiers {
    bool I = false;
    bool R = true;
    bool S = true;
    bool G = true;
    bool M = false;
    bool X = false;
};

enum class TRxKind {
    Seq,       // Kids in order (possibly none: matches empty)
    Alt,       // two or more Kids, first alternative first
    Group,     // capturing group number Group around Kids[0]
    Repeat,    // Kids[0] taken Min..Max times (Max == Unbounded), Lazy or greedy
    Char,      // the byte Ch
    Any,       // "."; DotAll tells whether it takes CR and LF
    Class,     // one byte of Set (or, Negated, one byte outside it)
    LineStart, // "^"; Multi when m was on
    LineEnd,   // "$"; Multi when m was on
    TextStart, // "\A"
    TextEnd,   // "\Z"
    WordBoundary,
    NotWordBoundary,
    BackRef, // the text group Group matched
};

struct TRxNode {
    explicit TRxNode(TRxKind k) : Kind(k) {}
    TRxKind Kind;
    std::vector<std::unique_ptr<TRxNode>> Kids;
    unsigned char Ch = 0;
    bool Caseless = false; // Char, Class, BackRef: i was on
    bool DotAll = false;
    bool Multi = false;
    bool Negated = false;
    bool Lazy = false;
    int Group = 0;
    int Min = 1;
    int Max = 1;
    std::bitset<256> Set;
    bool CanBeEmpty = false; // the node can match the empty string
};

struct TRxTree {
    std::unique_ptr<TRxNode> Root;
    int GroupCount = 0;
};

// Parses the pattern under the given starting modifiers; throws ERegExpr on a pattern error.
TRxTree ParseRegex(std::string_view pattern, const TRxModifiers& start);

} // namespace regex
