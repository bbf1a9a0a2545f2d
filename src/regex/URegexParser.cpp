#include "regex/URegexParser.h"

#include "regex/URegExpr.h"

#include <array>

namespace regex {

namespace {

constexpr std::array<const char*, 20> Texts = {
    "TRegExpr(comp): Regexp Too Big",
    "TRegExpr(comp): ParseReg Too Many ()",
    "TRegExpr(comp): ParseReg Unmatched ()",
    "TRegExpr(comp): ParseReg Junk On End",
    "TRegExpr(comp): *+ Operand Could Be Empty",
    "TRegExpr(comp): Nested *?+",
    "TRegExpr(comp): Bad Hex Digit",
    "TRegExpr(comp): Invalid [] Range",
    "TRegExpr(comp): Parse Atom Trailing \\",
    "TRegExpr(comp): No Hex Code After \\x",
    "TRegExpr(comp): Hex Code After \\x Is Too Big",
    "TRegExpr(comp): Unmatched []",
    "TRegExpr(comp): Internal Urp",
    "TRegExpr(comp): ?+*{ Follows Nothing",
    "TRegExpr(comp): Trailing \\",
    "TRegExpr(comp): RarseAtom Internal Disaster",
    "TRegExpr(comp): BRACES Argument Too Big",
    "TRegExpr(comp): BRACE Min Param Greater then Max",
    "TRegExpr(comp): Unclosed (?#Comment)",
    "TRegExpr(comp): Urecognized Modifier",
};

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

int HexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

bool IsExtendedSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

std::bitset<256> WordSet() {
    std::bitset<256> s;
    for (int c = '0'; c <= '9'; ++c)
        s.set(c);
    for (int c = 'A'; c <= 'Z'; ++c)
        s.set(c);
    for (int c = 'a'; c <= 'z'; ++c)
        s.set(c);
    s.set('_');
    return s;
}

std::bitset<256> DigitSet() {
    std::bitset<256> s;
    for (int c = '0'; c <= '9'; ++c)
        s.set(c);
    return s;
}

// No vertical tab: the engine's space class is exactly these five.
std::bitset<256> SpaceSet() {
    std::bitset<256> s;
    for (char c : {' ', '\t', '\n', '\r', '\f'})
        s.set(static_cast<unsigned char>(c));
    return s;
}

// The set of \w \W \d \D \s \S, or false when c names none of them.
bool PredefinedSet(char c, std::bitset<256>& out) {
    switch (c) {
    case 'w':
        out = WordSet();
        return true;
    case 'W':
        out = ~WordSet();
        return true;
    case 'd':
        out = DigitSet();
        return true;
    case 'D':
        out = ~DigitSet();
        return true;
    case 's':
        out = SpaceSet();
        return true;
    case 'S':
        out = ~SpaceSet();
        return true;
    default:
        return false;
    }
}

bool ControlEscape(char c, unsigned char& out) {
    switch (c) {
    case 't':
        out = 0x09;
        return true;
    case 'n':
        out = 0x0A;
        return true;
    case 'r':
        out = 0x0D;
        return true;
    case 'f':
        out = 0x0C;
        return true;
    case 'a':
        out = 0x07;
        return true;
    case 'e':
        out = 0x1B;
        return true;
    default:
        return false;
    }
}

std::unique_ptr<TRxNode> MakeNode(TRxKind k, bool canBeEmpty) {
    auto n = std::make_unique<TRxNode>(k);
    n->CanBeEmpty = canBeEmpty;
    return n;
}

// Recursive descent over the dialect. Nesting is bounded: only capturing groups nest, and a
// 15th group is an error, so the recursion never goes deeper than a few dozen frames.
// Error positions count the characters read so far, the offending one included (the pattern's
// length when the pattern ended too early).
class TParser {
public:
    TParser(std::string_view p, const TRxModifiers& m) : P(p), Mods(m) {}

    TRxTree Run() {
        TRxTree t;
        t.Root = ParseAlt();
        if (!AtEnd()) {
            if (P[I] == ')')
                Fail(TRxError::UnmatchedParen, I + 1);
            Fail(TRxError::JunkOnEnd, I + 1);
        }
        t.GroupCount = Groups;
        return t;
    }

private:
    struct TClassItem {
        bool IsSet = false;
        unsigned char Ch = 0;
        std::bitset<256> Set;
    };

    std::string_view P;
    std::size_t I = 0;
    TRxModifiers Mods;
    int Groups = 0;
    std::array<bool, MaxGroups + 1> GroupClosed{};
    std::array<bool, MaxGroups + 1> GroupEmpty{};

    bool AtEnd() const { return I >= P.size(); }

    [[noreturn]] static void Fail(TRxError e, std::size_t pos) {
        ThrowPatternError(e, pos > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<int>(pos));
    }

    void SkipExtended() {
        if (!Mods.X)
            return;
        while (!AtEnd()) {
            if (IsExtendedSpace(P[I])) {
                ++I;
            } else if (P[I] == '#') {
                while (!AtEnd() && P[I] != '\n' && P[I] != '\r')
                    ++I;
            } else {
                break;
            }
        }
    }

    std::unique_ptr<TRxNode> ParseAlt() {
        std::vector<std::unique_ptr<TRxNode>> branches;
        branches.push_back(ParseSeq());
        while (!AtEnd() && P[I] == '|') {
            ++I;
            branches.push_back(ParseSeq());
        }
        if (branches.size() == 1)
            return std::move(branches.front());
        auto alt = MakeNode(TRxKind::Alt, false);
        for (auto& b : branches)
            alt->CanBeEmpty = alt->CanBeEmpty || b->CanBeEmpty;
        alt->Kids = std::move(branches);
        return alt;
    }

    // The end of a well-formed count {n}, {n,} or {n,m} starting at pos, or 0 when the brace
    // there starts none (it is then an ordinary character).
    std::size_t CountEnd(std::size_t pos) const {
        std::size_t j = pos + 1;
        if (j >= P.size() || !IsDigit(P[j]))
            return 0;
        while (j < P.size() && IsDigit(P[j]))
            ++j;
        if (j < P.size() && P[j] == ',') {
            ++j;
            while (j < P.size() && IsDigit(P[j]))
                ++j;
        }
        return j < P.size() && P[j] == '}' ? j + 1 : 0;
    }

    bool AtIterator() const {
        char c = P[I];
        return c == '*' || c == '+' || c == '?' || (c == '{' && CountEnd(I) != 0);
    }

    std::unique_ptr<TRxNode> ParseSeq() {
        enum class TPrev { Nothing, Atom, Iterated };
        auto seq = MakeNode(TRxKind::Seq, true);
        TPrev prev = TPrev::Nothing;
        for (;;) {
            SkipExtended();
            if (AtEnd() || P[I] == '|' || P[I] == ')')
                break;
            if (AtIterator()) {
                if (prev == TPrev::Nothing)
                    Fail(TRxError::FollowsNothing, I + 1);
                if (prev == TPrev::Iterated)
                    Fail(TRxError::NestedIterator, I + 1);
                seq->Kids.back() = ParseIterator(std::move(seq->Kids.back()));
                prev = TPrev::Iterated;
                continue;
            }
            if (P[I] == '(' && I + 1 < P.size() && P[I + 1] == '?') {
                ParseInline();
                prev = TPrev::Nothing;
                continue;
            }
            seq->Kids.push_back(ParseAtom());
            prev = TPrev::Atom;
        }
        for (const auto& k : seq->Kids)
            seq->CanBeEmpty = seq->CanBeEmpty && k->CanBeEmpty;
        return seq;
    }

    int ReadNumber() {
        int v = 0;
        while (!AtEnd() && IsDigit(P[I])) {
            if (v <= MaxRepeat)
                v = v * 10 + (P[I] - '0');
            ++I;
        }
        return v;
    }

    std::unique_ptr<TRxNode> ParseIterator(std::unique_ptr<TRxNode> operand) {
        int min = 0;
        int max = Unbounded;
        char c = P[I++];
        if (c == '+') {
            min = 1;
        } else if (c == '?') {
            max = 1;
        } else if (c == '{') {
            min = ReadNumber();
            max = min;
            if (P[I] == ',') {
                ++I;
                max = !AtEnd() && IsDigit(P[I]) ? ReadNumber() : Unbounded;
            }
            ++I; // the closing brace, which CountEnd has seen
            if (min > MaxRepeat || max > MaxRepeat)
                Fail(TRxError::BracesTooBig, I);
            if (max != Unbounded && min > max)
                Fail(TRxError::BraceMinGreaterMax, I);
        }
        if (max == Unbounded && operand->CanBeEmpty)
            Fail(TRxError::OperandCouldBeEmpty, I);
        auto rep = MakeNode(TRxKind::Repeat, min == 0 || operand->CanBeEmpty);
        rep->Min = min;
        rep->Max = max;
        rep->Lazy = !Mods.G;
        if (!AtEnd() && P[I] == '?') {
            ++I;
            rep->Lazy = true;
        }
        rep->Kids.push_back(std::move(operand));
        return rep;
    }

    // "(?#...)" or "(?imsxrg-imsxrg)"; I stands on the "(".
    void ParseInline() {
        I += 2;
        if (!AtEnd() && P[I] == '#') {
            while (!AtEnd() && P[I] != ')')
                ++I;
            if (AtEnd())
                Fail(TRxError::UnclosedComment, P.size());
            ++I;
            return;
        }
        TRxModifiers m = Mods;
        bool on = true;
        for (;;) {
            if (AtEnd())
                Fail(TRxError::UnmatchedParen, P.size());
            char c = P[I++];
            if (c == ')')
                break;
            if (c == '-' && on) {
                on = false;
                continue;
            }
            switch (c | 0x20) {
            case 'i':
                m.I = on;
                break;
            case 'r':
                m.R = on;
                break;
            case 's':
                m.S = on;
                break;
            case 'g':
                m.G = on;
                break;
            case 'm':
                m.M = on;
                break;
            case 'x':
                m.X = on;
                break;
            default:
                Fail(TRxError::UnrecognizedModifier, I);
            }
        }
        Mods = m;
    }

    std::unique_ptr<TRxNode> ParseAtom() {
        char c = P[I++];
        switch (c) {
        case '(':
            return ParseGroup();
        case '^': {
            auto n = MakeNode(TRxKind::LineStart, true);
            n->Multi = Mods.M;
            return n;
        }
        case '$': {
            auto n = MakeNode(TRxKind::LineEnd, true);
            n->Multi = Mods.M;
            return n;
        }
        case '.': {
            auto n = MakeNode(TRxKind::Any, false);
            n->DotAll = Mods.S;
            return n;
        }
        case '[':
            return ParseClass();
        case '\\':
            return ParseEscape();
        case '|':
        case ')':
        case '*':
        case '+':
        case '?':
            Fail(TRxError::AtomInternalDisaster, I); // the callers never hand these over
        default:
            return CharNode(static_cast<unsigned char>(c));
        }
    }

    std::unique_ptr<TRxNode> CharNode(unsigned char ch) {
        auto n = MakeNode(TRxKind::Char, false);
        n->Ch = ch;
        n->Caseless = Mods.I;
        return n;
    }

    std::unique_ptr<TRxNode> SetNode(const std::bitset<256>& set) {
        auto n = MakeNode(TRxKind::Class, false);
        n->Set = set;
        n->Caseless = Mods.I;
        return n;
    }

    std::unique_ptr<TRxNode> ParseGroup() {
        if (++Groups > MaxGroups)
            Fail(TRxError::TooManyGroups, I);
        int g = Groups;
        TRxModifiers saved = Mods;
        auto inner = ParseAlt();
        if (AtEnd())
            Fail(TRxError::UnmatchedParen, P.size());
        ++I; // ")"
        Mods = saved;
        auto n = MakeNode(TRxKind::Group, inner->CanBeEmpty);
        n->Group = g;
        GroupClosed[g] = true;
        GroupEmpty[g] = inner->CanBeEmpty;
        n->Kids.push_back(std::move(inner));
        return n;
    }

    // After "\x": two hex digits, or hex digits in braces up to 0xFF.
    unsigned char ParseHex() {
        if (AtEnd())
            Fail(TRxError::NoHexCode, P.size());
        int v = 0;
        if (P[I] == '{') {
            ++I;
            int digits = 0;
            for (;;) {
                if (AtEnd())
                    Fail(TRxError::BadHexDigit, P.size());
                char c = P[I++];
                if (c == '}')
                    break;
                int h = HexValue(c);
                if (h < 0)
                    Fail(TRxError::BadHexDigit, I);
                v = v * 16 + h;
                if (v > 0xFF)
                    Fail(TRxError::HexTooBig, I);
                ++digits;
            }
            if (digits == 0)
                Fail(TRxError::NoHexCode, I);
            return static_cast<unsigned char>(v);
        }
        for (int k = 0; k < 2; ++k) {
            if (AtEnd())
                Fail(TRxError::BadHexDigit, P.size());
            int h = HexValue(P[I++]);
            if (h < 0)
                Fail(TRxError::BadHexDigit, I);
            v = v * 16 + h;
        }
        return static_cast<unsigned char>(v);
    }

    // I stands after the backslash.
    std::unique_ptr<TRxNode> ParseEscape() {
        if (AtEnd())
            Fail(TRxError::AtomTrailingBackslash, P.size());
        char c = P[I++];
        std::bitset<256> set;
        if (PredefinedSet(c, set))
            return SetNode(set);
        unsigned char ch = 0;
        if (ControlEscape(c, ch))
            return CharNode(ch);
        switch (c) {
        case 'b':
            return MakeNode(TRxKind::WordBoundary, true);
        case 'B':
            return MakeNode(TRxKind::NotWordBoundary, true);
        case 'A':
            return MakeNode(TRxKind::TextStart, true);
        case 'Z':
            return MakeNode(TRxKind::TextEnd, true);
        case 'x':
            return CharNode(ParseHex());
        default:
            break;
        }
        if (c >= '1' && c <= '9') {
            auto n = MakeNode(TRxKind::BackRef, false);
            n->Group = c - '0';
            n->Caseless = Mods.I;
            // Only a group already closed is known; a forward or enclosing reference counts as
            // non-empty, which can only let a pattern through, never reject a good one.
            n->CanBeEmpty = GroupClosed[n->Group] && GroupEmpty[n->Group];
            return n;
        }
        return CharNode(static_cast<unsigned char>(c));
    }

    TClassItem ReadClassItem() {
        TClassItem it;
        char c = P[I++];
        if (c != '\\') {
            it.Ch = static_cast<unsigned char>(c);
            return it;
        }
        if (AtEnd())
            Fail(TRxError::TrailingBackslash, P.size());
        c = P[I++];
        if (PredefinedSet(c, it.Set)) {
            it.IsSet = true;
        } else if (ControlEscape(c, it.Ch)) {
        } else if (c == 'x') {
            it.Ch = ParseHex();
        } else {
            it.Ch = static_cast<unsigned char>(c);
        }
        return it;
    }

    // With r on, the Windows Cyrillic letter ranges also take the yo letters.
    void AddRange(std::bitset<256>& set, unsigned lo, unsigned hi) {
        if (lo <= hi) {
            for (unsigned c = lo; c <= hi; ++c)
                set.set(c);
            if (Mods.R && lo == 0xE0 && hi == 0xFF)
                set.set(0xB8);
            if (Mods.R && lo == 0xC0 && hi == 0xDF)
                set.set(0xA8);
        } else if (Mods.R && lo == 0xE0 && hi == 0xDF) {
            for (unsigned c = 0xC0; c <= 0xFF; ++c)
                set.set(c);
            set.set(0xA8);
            set.set(0xB8);
        } else {
            Fail(TRxError::InvalidRange, I);
        }
    }

    // I stands after the "[".
    std::unique_ptr<TRxNode> ParseClass() {
        auto n = MakeNode(TRxKind::Class, false);
        n->Caseless = Mods.I;
        if (!AtEnd() && P[I] == '^') {
            n->Negated = true;
            ++I;
        }
        bool first = true;
        for (;;) {
            if (AtEnd())
                Fail(TRxError::UnmatchedBracket, P.size());
            char c = P[I];
            if (c == ']' && !first) {
                ++I;
                break;
            }
            if (c == '-') {
                ++I;
                if (AtEnd())
                    Fail(TRxError::UnmatchedBracket, P.size());
                if (!first && P[I] != ']')
                    Fail(TRxError::InvalidRange, I); // a range with no single character before
                n->Set.set('-');
                first = false;
                continue;
            }
            first = false;
            TClassItem it = ReadClassItem();
            bool range = !AtEnd() && P[I] == '-' && I + 1 < P.size() && P[I + 1] != ']';
            if (range && it.IsSet)
                Fail(TRxError::InvalidRange, I + 1);
            if (range) {
                ++I;
                TClassItem hi = ReadClassItem();
                if (hi.IsSet)
                    Fail(TRxError::InvalidRange, I);
                AddRange(n->Set, it.Ch, hi.Ch);
            } else if (it.IsSet) {
                n->Set |= it.Set;
            } else {
                n->Set.set(it.Ch);
            }
        }
        return n;
    }
};

} // namespace

const char* ErrorText(TRxError e) {
    auto k = static_cast<std::size_t>(e) - 1;
    return k < Texts.size() ? Texts[k] : Texts[static_cast<std::size_t>(TRxError::InternalUrp) - 1];
}

void ThrowPatternError(TRxError e, int pos) {
    throw ERegExpr(std::string(ErrorText(e)) + " (pos " + std::to_string(pos) + ")",
                   static_cast<int>(e), pos);
}

TRxTree ParseRegex(std::string_view pattern, const TRxModifiers& start) {
    return TParser(pattern, start).Run();
}

} // namespace regex
