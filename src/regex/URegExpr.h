// The regular-expression engine: the pattern dialect of docs/REGEX.md, matched by PCRE2.
// Positions and lengths are byte counts; positions count from 1. PCRE2 itself stays behind
// the pimpl, so this header is all the rest of the program sees.
#pragma once

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>

namespace regex {

// Every failure of the engine: a pattern error ("TRegExpr(comp): ... (pos N)") or a run-time
// error ("TRegExpr(exec): ...").
class ERegExpr : public std::runtime_error {
public:
    ERegExpr(const std::string& msg, int code = 0, int pos = 0)
        : std::runtime_error(msg), ErrorCode(code), CompilerErrorPos(pos) {}
    int ErrorCode;
    int CompilerErrorPos;
};

class TRegExpr {
public:
    // Default safety limits. The match limit applies to each match attempt (one start position)
    // and is raised to four steps per input byte for large inputs, so that one linear pass of
    // backtracking (".*x" over a big file) still fits; the heap limit bounds the interpreter's
    // backtracking memory.
    static constexpr std::uint32_t DefaultMatchLimit = 10'000'000;
    static constexpr std::uint32_t DefaultHeapLimitKiB = 64 * 1024;

    TRegExpr(); // defaults i off, r on, s on, g on, m off, x off
    ~TRegExpr();
    TRegExpr(const TRegExpr&) = delete;
    TRegExpr& operator=(const TRegExpr&) = delete;

    // Compiled lazily at the next Exec (or Compile).
    void SetExpression(const std::string& e);
    const std::string& Expression() const;
    void SetModifierI(bool on);
    bool ModifierI() const;
    // The pattern's starting m and s, as if it began with "(?m)" or "(?-s)"; line by line is
    // m on and s off.
    void SetModifierM(bool on);
    bool ModifierM() const;
    void SetModifierS(bool on);
    bool ModifierS() const;

    // Throws ERegExpr on a bad pattern; a no-op when already compiled.
    void Compile();

    // Searches from the first byte; keeps its own copy of the input.
    bool Exec(const std::string& input);
    // Like Exec without copying: the caller keeps the bytes alive until the next Exec*,
    // Replace or the engine's destruction.
    bool ExecView(std::string_view input);
    // Searches on from the end of the last match (one byte further after an empty match).
    bool ExecNext();

    // Group n (0 = the whole match, 1..14 the groups): 1-based position and length, -1 when the
    // group took no part or there is no current match.
    int MatchPos(int n) const;
    int MatchLen(int n) const;

    // The template with the current match's groups filled in ($n, ${n}, $&, \c).
    std::string Substitute(std::string_view templ) const;
    // The input with every match replaced. Leaves the engine without a current match.
    std::string Replace(std::string_view input, std::string_view templ, bool useSubstitution);

    // A byte string that every match contains (empty when none can be derived); compare it
    // ignoring ASCII case when RequiredLiteralCaseless() is true. Both compile first.
    const std::string& RequiredLiteral();
    bool RequiredLiteralCaseless();
    // True only when it is certain (compiles first) that every match lies inside one line
    // (CR LF, a lone CR or a lone LF ending it) and is the same match whether the line is
    // searched alone or as part of a larger text: nothing in the pattern takes a CR or an LF,
    // and it has no anchor (^ $ \A \Z). \b and \B qualify: PCRE2 sees nothing before or after
    // the searched bytes, and treats their edges as non-word, like the breaks around a line.
    bool MatchesStayWithinLines();

    // Additions: the PCRE2 pattern the expression was translated to (compiles first), and the
    // safety limits, taking effect at the next search.
    const std::string& TranslatedExpression();
    void SetMatchLimit(std::uint32_t limit);
    void SetHeapLimitKiB(std::uint32_t kib);
    // The match limit grows with the input (see DefaultMatchLimit); the searches that follow
    // budget as for an input of at least this many bytes, so that a text searched a slice at a
    // time gets the budget the whole text would. 0 (the default) goes by the input alone.
    void SetLimitInputSize(std::size_t bytes);

private:
    struct TImpl;
    std::unique_ptr<TImpl> Impl;
};

} // namespace regex
