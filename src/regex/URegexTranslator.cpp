#include "regex/URegexTranslator.h"

#include <cstdio>

namespace regex {

namespace {

bool IsAsciiLetter(unsigned c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}
bool IsAsciiAlnum(unsigned c) {
    return IsAsciiLetter(c) || (c >= '0' && c <= '9');
}

bool IsZeroWidth(TRxKind k) {
    switch (k) {
    case TRxKind::LineStart:
    case TRxKind::LineEnd:
    case TRxKind::TextStart:
    case TRxKind::TextEnd:
    case TRxKind::WordBoundary:
    case TRxKind::NotWordBoundary:
        return true;
    default:
        return false;
    }
}

// PCRE2's own "^", "$" and "\Z" are not used: with m on they would match between the CR and the
// LF of a CR LF, and "$" and "\Z" would also match before a final line break.
constexpr const char* MultiLineStart = "(?:\\A|(?<=\\n)(?!\\z)|(?<=\\r)(?!\\n|\\z))";
constexpr const char* MultiLineEnd = "(?:\\z|(?=\\r)|(?<!\\r)(?=\\n))";

class TEmitter {
public:
    explicit TEmitter(int groups) : Groups(groups) {}

    std::string Out;

    void Emit(const TRxNode& n) {
        switch (n.Kind) {
        case TRxKind::Seq:
            for (const auto& k : n.Kids)
                Emit(*k);
            break;
        case TRxKind::Alt:
            for (std::size_t i = 0; i < n.Kids.size(); ++i) {
                // PCRE2 carries an option change on into the following branches, as the
                // dialect does, so Case simply runs on.
                if (i > 0)
                    Out += '|';
                Emit(*n.Kids[i]);
            }
            break;
        case TRxKind::Group: {
            int saved = Case;
            Out += '(';
            Emit(*n.Kids[0]);
            Out += ')';
            Case = saved;
            break;
        }
        case TRxKind::Repeat:
            EmitRepeat(n);
            break;
        case TRxKind::Char:
            if (IsAsciiLetter(n.Ch))
                SetCase(n.Caseless);
            EmitByte(n.Ch);
            break;
        case TRxKind::Any:
            Out += n.DotAll ? "." : "[^\\x{0a}\\x{0d}]";
            break;
        case TRxKind::Class:
            EmitClass(n);
            break;
        case TRxKind::LineStart:
            Out += n.Multi ? MultiLineStart : "\\A";
            break;
        case TRxKind::LineEnd:
            Out += n.Multi ? MultiLineEnd : "\\z";
            break;
        case TRxKind::TextStart:
            Out += "\\A";
            break;
        case TRxKind::TextEnd:
            Out += "\\z";
            break;
        case TRxKind::WordBoundary:
            Out += "\\b";
            break;
        case TRxKind::NotWordBoundary:
            Out += "\\B";
            break;
        case TRxKind::BackRef:
            if (n.Group > Groups) {
                // A group that does not exist never matched anything, like an unset one.
                Out += "(?:(*FAIL))";
            } else {
                SetCase(n.Caseless);
                Out += "\\g{";
                Out += std::to_string(n.Group);
                Out += '}';
            }
            break;
        }
    }

private:
    int Groups;
    int Case = 0; // PCRE2's caseless option at the end of Out: 0 off, 1 on

    void SetCase(bool on) {
        int want = on ? 1 : 0;
        if (Case == want)
            return;
        Out += on ? "(?i)" : "(?-i)";
        Case = want;
    }

    void EmitByte(unsigned c) {
        if (IsAsciiAlnum(c)) {
            Out += static_cast<char>(c);
            return;
        }
        char buf[8];
        std::snprintf(buf, sizeof buf, "\\x{%02x}", c);
        Out += buf;
    }

    void EmitClass(const TRxNode& n) {
        bool letters = false;
        for (unsigned c = 'A'; c <= 'z' && !letters; ++c)
            letters = IsAsciiLetter(c) && n.Set.test(c);
        if (letters)
            SetCase(n.Caseless);
        Out += n.Negated ? "[^" : "[";
        for (unsigned c = 0; c < 256;) {
            if (!n.Set.test(c)) {
                ++c;
                continue;
            }
            unsigned e = c;
            while (e + 1 < 256 && n.Set.test(e + 1))
                ++e;
            EmitByte(c);
            if (e > c) {
                if (e > c + 1)
                    Out += '-';
                EmitByte(e);
            }
            c = e + 1;
        }
        Out += ']';
    }

    // Appended piece by piece: GCC 12 at -O3 misreads "{" + std::to_string(...) as overlapping.
    void EmitCount(int min, int max) {
        Out += '{';
        Out += std::to_string(min);
        if (max != min) {
            Out += ',';
            if (max != Unbounded)
                Out += std::to_string(max);
        }
        Out += '}';
    }

    void EmitRepeat(const TRxNode& n) {
        const TRxNode& op = *n.Kids[0];
        // PCRE2 does not repeat an assertion on its own; a group around it keeps the meaning.
        bool wrap = IsZeroWidth(op.Kind);
        int saved = Case;
        if (wrap)
            Out += "(?:";
        Emit(op);
        if (wrap) {
            Out += ')';
            Case = saved;
        }
        if (n.Min == 0 && n.Max == Unbounded)
            Out += '*';
        else if (n.Min == 1 && n.Max == Unbounded)
            Out += '+';
        else if (n.Min == 0 && n.Max == 1)
            Out += '?';
        else
            EmitCount(n.Min, n.Max);
        if (n.Lazy)
            Out += '?';
    }
};

// A literal with a caseless flag per byte.
struct TPiece {
    std::string S;
    std::string Fold;
    void Append(const TPiece& p) {
        S += p.S;
        Fold += p.Fold;
    }
    void Clear() {
        S.clear();
        Fold.clear();
    }
};

struct TLiteralInfo {
    bool Exact = false; // the node matches exactly the text Whole
    TPiece Whole;
    TPiece Required; // a text every match of the node contains
};

constexpr std::size_t MaxExactRepeat = 256;

void KeepLonger(TPiece& best, const TPiece& p) {
    if (p.S.size() > best.S.size())
        best = p;
}

TLiteralInfo LiteralInfo(const TRxNode& n) {
    TLiteralInfo r;
    switch (n.Kind) {
    case TRxKind::Char:
        r.Exact = true;
        r.Whole.S.assign(1, static_cast<char>(n.Ch));
        r.Whole.Fold.assign(1, n.Caseless && IsAsciiLetter(n.Ch) ? '1' : '0');
        r.Required = r.Whole;
        break;
    case TRxKind::Group:
        r = LiteralInfo(*n.Kids[0]);
        break;
    case TRxKind::Repeat: {
        TLiteralInfo k = LiteralInfo(*n.Kids[0]);
        if (k.Exact && n.Min == n.Max && k.Whole.S.size() * n.Min <= MaxExactRepeat) {
            r.Exact = true;
            for (int i = 0; i < n.Min; ++i)
                r.Whole.Append(k.Whole);
            r.Required = r.Whole;
        } else if (n.Min >= 1) {
            r.Required = k.Required;
        }
        break;
    }
    case TRxKind::Seq: {
        // Zero-width items stay exact (with no text), so the literals on both sides of an
        // anchor still join: nothing can come between them in a match.
        TPiece run;
        TPiece best;
        bool exact = true;
        for (const auto& kid : n.Kids) {
            TLiteralInfo k = LiteralInfo(*kid);
            if (k.Exact) {
                run.Append(k.Whole);
                continue;
            }
            exact = false;
            KeepLonger(best, run);
            KeepLonger(best, k.Required);
            run.Clear();
        }
        KeepLonger(best, run);
        r.Exact = exact;
        if (exact)
            r.Whole = run;
        r.Required = best;
        break;
    }
    default:
        // An alternation, a class, ".", a back-reference: no literal is certain. Anchors and
        // boundaries match exactly the empty text.
        r.Exact = IsZeroWidth(n.Kind);
        break;
    }
    return r;
}

} // namespace

std::string EmitPcre2(const TRxTree& tree) {
    TEmitter e(tree.GroupCount);
    e.Emit(*tree.Root);
    return std::move(e.Out);
}

void RequiredLiteral(const TRxTree& tree, std::string& literal, bool& caseless) {
    literal.clear();
    caseless = false;
    if (tree.Root->CanBeEmpty)
        return;
    TLiteralInfo info = LiteralInfo(*tree.Root);
    literal = info.Required.S;
    caseless = info.Required.Fold.find('1') != std::string::npos;
}

bool StaysWithinLines(const TRxNode& n) {
    switch (n.Kind) {
    case TRxKind::Seq:
    case TRxKind::Alt:
    case TRxKind::Group:
    case TRxKind::Repeat:
        for (const auto& k : n.Kids)
            if (!StaysWithinLines(*k))
                return false;
        return true;
    case TRxKind::Char:
        // Case folding pairs ASCII letters only, so a caseless byte never becomes a break.
        return n.Ch != '\r' && n.Ch != '\n';
    case TRxKind::Any:
        return !n.DotAll;
    case TRxKind::Class: {
        // The set holds \s, \D, \W, \S and ranges already expanded; folding adds letters only.
        const bool cr = n.Set.test('\r');
        const bool lf = n.Set.test('\n');
        return n.Negated ? cr && lf : !cr && !lf;
    }
    case TRxKind::WordBoundary:
    case TRxKind::NotWordBoundary:
        return true;
    case TRxKind::BackRef:
        // It repeats text a group took, and every group is checked as part of the tree.
        return true;
    case TRxKind::LineStart:
    case TRxKind::LineEnd:
    case TRxKind::TextStart:
    case TRxKind::TextEnd:
        return false;
    }
    return false;
}

TRxTranslation TranslateRegex(std::string_view pattern, const TRxModifiers& start) {
    TRxTree tree = ParseRegex(pattern, start);
    TRxTranslation t;
    t.Pcre2Pattern = EmitPcre2(tree);
    t.GroupCount = tree.GroupCount;
    RequiredLiteral(tree, t.Literal, t.LiteralCaseless);
    t.WithinLines = StaysWithinLines(*tree.Root);
    return t;
}

} // namespace regex
