#include "regex/URegExpr.h"

#include "regex/URegexTranslator.h"

#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>

#include <algorithm>
#include <climits>

namespace regex {

namespace {

struct TCodeFree {
    void operator()(pcre2_code* p) const { pcre2_code_free(p); }
};
struct TMatchDataFree {
    void operator()(pcre2_match_data* p) const { pcre2_match_data_free(p); }
};
struct TMatchContextFree {
    void operator()(pcre2_match_context* p) const { pcre2_match_context_free(p); }
};
struct TCompileContextFree {
    void operator()(pcre2_compile_context* p) const { pcre2_compile_context_free(p); }
};
struct TJitStackFree {
    void operator()(pcre2_jit_stack* p) const { pcre2_jit_stack_free(p); }
};

using TCodePtr = std::unique_ptr<pcre2_code, TCodeFree>;
using TMatchDataPtr = std::unique_ptr<pcre2_match_data, TMatchDataFree>;
using TMatchContextPtr = std::unique_ptr<pcre2_match_context, TMatchContextFree>;
using TCompileContextPtr = std::unique_ptr<pcre2_compile_context, TCompileContextFree>;
using TJitStackPtr = std::unique_ptr<pcre2_jit_stack, TJitStackFree>;

constexpr PCRE2_SIZE JitStackStart = 32 * 1024;
constexpr PCRE2_SIZE JitStackMax = 1024 * 1024;

// The translated pattern resolves every modifier itself; "." is left to DOTALL so that PCRE2
// keeps its ".*" optimisations, and the translation writes the narrower dot as a class.
constexpr uint32_t CompileOptions =
    PCRE2_DOTALL | PCRE2_NEVER_UTF | PCRE2_NEVER_UCP | PCRE2_NEVER_BACKSLASH_C;

[[noreturn]] void ThrowExec(const std::string& text) {
    throw ERegExpr("TRegExpr(exec): " + text);
}

std::string Pcre2Message(int rc) {
    PCRE2_UCHAR buf[256];
    if (pcre2_get_error_message(rc, buf, sizeof buf) < 0)
        return "PCRE2 error " + std::to_string(rc);
    return reinterpret_cast<const char*>(buf);
}

} // namespace

struct TRegExpr::TImpl {
    std::string Expression;
    bool ModifierI = false;
    bool ModifierM = false;
    bool ModifierS = true;
    std::uint32_t MatchLimit = DefaultMatchLimit;
    std::uint32_t HeapLimitKiB = DefaultHeapLimitKiB;
    std::size_t LimitInputSize = 0;

    // Valid while Compiled.
    bool Compiled = false;
    TCodePtr Code;
    TMatchDataPtr MatchData;
    TMatchContextPtr MatchContext;
    TJitStackPtr JitStack;
    regex::TRxTranslation Translation;

    // The current input and match.
    std::string Owned;
    std::string_view Input;
    bool HasMatch = false;
    int Groups = 0; // PCRE2's count of pairs set by the last match

    void Invalidate() {
        Compiled = false;
        HasMatch = false;
    }

    void Compile() {
        if (Compiled)
            return;
        HasMatch = false;
        regex::TRxModifiers mods;
        mods.I = ModifierI;
        mods.M = ModifierM;
        mods.S = ModifierS;
        regex::TRxTranslation t = regex::TranslateRegex(Expression, mods);

        TCompileContextPtr cc(pcre2_compile_context_create(nullptr));
        if (!cc)
            throw std::bad_alloc();
        pcre2_set_newline(cc.get(), PCRE2_NEWLINE_ANYCRLF);
        int err = 0;
        PCRE2_SIZE errOffset = 0;
        TCodePtr code(pcre2_compile(reinterpret_cast<PCRE2_SPTR>(t.Pcre2Pattern.data()),
                                    t.Pcre2Pattern.size(), CompileOptions, &err, &errOffset,
                                    cc.get()));
        if (!code) {
            // The front end has accepted the pattern; what PCRE2 can still refuse is size.
            bool size = err == PCRE2_ERROR_PATTERN_TOO_LARGE ||
                        err == PCRE2_ERROR_PARENTHESES_NEST_TOO_DEEP ||
                        err == PCRE2_ERROR_PATTERN_TOO_COMPLICATED ||
                        err == PCRE2_ERROR_PATTERN_STRING_TOO_LONG ||
                        err == PCRE2_ERROR_HEAP_FAILED;
            int pos = static_cast<int>(std::min<std::size_t>(Expression.size(), INT_MAX));
            regex::ThrowPatternError(size ? regex::TRxError::TooBig : regex::TRxError::InternalUrp,
                                     pos);
        }
        // Without JIT support the interpreter runs the same pattern under the same limits.
        pcre2_jit_compile(code.get(), PCRE2_JIT_COMPLETE);

        TMatchDataPtr md(pcre2_match_data_create_from_pattern(code.get(), nullptr));
        TMatchContextPtr mc(pcre2_match_context_create(nullptr));
        if (!md || !mc)
            throw std::bad_alloc();
        if (!JitStack) {
            JitStack.reset(pcre2_jit_stack_create(JitStackStart, JitStackMax, nullptr));
            if (!JitStack)
                throw std::bad_alloc();
        }
        pcre2_jit_stack_assign(mc.get(), nullptr, JitStack.get());

        Code = std::move(code);
        MatchData = std::move(md);
        MatchContext = std::move(mc);
        Translation = std::move(t);
        Compiled = true;
    }

    // One search of Input from the byte offset start.
    bool Search(std::size_t start) {
        HasMatch = false;
        if (start > Input.size())
            return false;
        // Per attempt; an input of many megabytes may backtrack over its whole length once.
        std::uint64_t limit = std::max<std::uint64_t>(
            MatchLimit, 4ull * std::max<std::uint64_t>(Input.size(), LimitInputSize));
        pcre2_set_match_limit(MatchContext.get(),
                              static_cast<uint32_t>(std::min<std::uint64_t>(limit, UINT32_MAX)));
        pcre2_set_heap_limit(MatchContext.get(), HeapLimitKiB);
        auto subject = reinterpret_cast<PCRE2_SPTR>(Input.data());
        int rc = pcre2_match(Code.get(), subject, Input.size(), start, 0, MatchData.get(),
                             MatchContext.get());
        if (rc == PCRE2_ERROR_JIT_STACKLIMIT)
            rc = pcre2_match(Code.get(), subject, Input.size(), start, PCRE2_NO_JIT,
                             MatchData.get(), MatchContext.get());
        if (rc == PCRE2_ERROR_NOMATCH)
            return false;
        if (rc < 0) {
            switch (rc) {
            case PCRE2_ERROR_MATCHLIMIT:
                ThrowExec("Match Limit Exceeded");
            case PCRE2_ERROR_HEAPLIMIT:
            case PCRE2_ERROR_DEPTHLIMIT:
            case PCRE2_ERROR_NOMEMORY:
            case PCRE2_ERROR_JIT_STACKLIMIT:
                ThrowExec("Loop Stack Exceeded");
            default:
                ThrowExec(Pcre2Message(rc));
            }
        }
        Groups = rc == 0 ? regex::MaxGroups + 1 : rc;
        HasMatch = true;
        return true;
    }

    bool Group(int n, std::size_t& pos, std::size_t& len) const {
        if (!HasMatch || n < 0 || n >= Groups || n > regex::MaxGroups)
            return false;
        if (static_cast<uint32_t>(n) >= pcre2_get_ovector_count(MatchData.get()))
            return false;
        const PCRE2_SIZE* ov = pcre2_get_ovector_pointer(MatchData.get());
        if (ov[2 * n] == PCRE2_UNSET || ov[2 * n + 1] < ov[2 * n])
            return false;
        pos = ov[2 * n];
        len = ov[2 * n + 1] - ov[2 * n];
        return true;
    }

    bool Start(std::string_view input) {
        Compile();
        if (input.size() >= static_cast<std::size_t>(INT_MAX))
            ThrowExec("Input Too Long");
        Input = input;
        return Search(0);
    }
};

TRegExpr::TRegExpr() : Impl(std::make_unique<TImpl>()) {}
TRegExpr::~TRegExpr() = default;

void TRegExpr::SetExpression(const std::string& e) {
    Impl->Expression = e;
    Impl->Invalidate();
}

const std::string& TRegExpr::Expression() const {
    return Impl->Expression;
}

void TRegExpr::SetModifierI(bool on) {
    if (Impl->ModifierI != on) {
        Impl->ModifierI = on;
        Impl->Invalidate();
    }
}

bool TRegExpr::ModifierI() const {
    return Impl->ModifierI;
}

void TRegExpr::SetModifierM(bool on) {
    if (Impl->ModifierM != on) {
        Impl->ModifierM = on;
        Impl->Invalidate();
    }
}

bool TRegExpr::ModifierM() const {
    return Impl->ModifierM;
}

void TRegExpr::SetModifierS(bool on) {
    if (Impl->ModifierS != on) {
        Impl->ModifierS = on;
        Impl->Invalidate();
    }
}

bool TRegExpr::ModifierS() const {
    return Impl->ModifierS;
}

void TRegExpr::Compile() {
    Impl->Compile();
}

bool TRegExpr::Exec(const std::string& input) {
    Impl->Compile();
    Impl->Owned = input;
    return Impl->Start(Impl->Owned);
}

bool TRegExpr::ExecView(std::string_view input) {
    return Impl->Start(input);
}

bool TRegExpr::ExecNext() {
    std::size_t pos = 0;
    std::size_t len = 0;
    if (!Impl->Compiled || !Impl->Group(0, pos, len)) {
        Impl->HasMatch = false;
        return false;
    }
    return Impl->Search(pos + len + (len == 0 ? 1 : 0));
}

int TRegExpr::MatchPos(int n) const {
    std::size_t pos = 0;
    std::size_t len = 0;
    return Impl->Group(n, pos, len) ? static_cast<int>(pos) + 1 : -1;
}

int TRegExpr::MatchLen(int n) const {
    std::size_t pos = 0;
    std::size_t len = 0;
    return Impl->Group(n, pos, len) ? static_cast<int>(len) : -1;
}

std::string TRegExpr::Substitute(std::string_view templ) const {
    std::string out;
    std::size_t i = 0;
    const std::size_t n = templ.size();
    while (i < n) {
        char c = templ[i];
        if (c == '\\') {
            // A backslash takes the next character literally; a final one stays.
            out += i + 1 < n ? templ[i + 1] : '\\';
            i += 2;
            continue;
        }
        if (c != '$') {
            out += c;
            ++i;
            continue;
        }
        std::size_t j = i + 1;
        bool brace = j < n && templ[j] == '{';
        if (brace)
            ++j;
        int group = -1;
        if (j < n && templ[j] == '&') {
            group = 0;
            ++j;
        } else if (j < n && templ[j] >= '0' && templ[j] <= '9') {
            group = 0;
            for (; j < n && templ[j] >= '0' && templ[j] <= '9'; ++j)
                if (group <= regex::MaxGroups)
                    group = group * 10 + (templ[j] - '0');
        }
        if (group < 0 || (brace && (j >= n || templ[j] != '}'))) {
            out += '$';
            ++i;
            continue;
        }
        if (brace)
            ++j;
        std::size_t pos = 0;
        std::size_t len = 0;
        if (group <= regex::MaxGroups && Impl->Group(group, pos, len))
            out.append(Impl->Input.substr(pos, len));
        i = j;
    }
    return out;
}

std::string TRegExpr::Replace(std::string_view input, std::string_view templ,
                              bool useSubstitution) {
    struct TForget {
        TImpl& Impl;
        ~TForget() {
            Impl.HasMatch = false;
            Impl.Input = {};
        }
    } forget{*Impl};
    std::string out;
    out.reserve(input.size());
    std::size_t prevEnd = 0;
    if (ExecView(input)) {
        do {
            std::size_t pos = 0;
            std::size_t len = 0;
            Impl->Group(0, pos, len);
            out.append(input.substr(prevEnd, pos - prevEnd));
            if (useSubstitution)
                out += Substitute(templ);
            else
                out.append(templ);
            prevEnd = pos + len;
        } while (ExecNext());
    }
    out.append(input.substr(prevEnd));
    return out;
}

const std::string& TRegExpr::RequiredLiteral() {
    Impl->Compile();
    return Impl->Translation.Literal;
}

bool TRegExpr::RequiredLiteralCaseless() {
    Impl->Compile();
    return Impl->Translation.LiteralCaseless;
}

bool TRegExpr::MatchesStayWithinLines() {
    Impl->Compile();
    return Impl->Translation.WithinLines;
}

const std::string& TRegExpr::TranslatedExpression() {
    Impl->Compile();
    return Impl->Translation.Pcre2Pattern;
}

void TRegExpr::SetMatchLimit(std::uint32_t limit) {
    Impl->MatchLimit = limit;
}

void TRegExpr::SetHeapLimitKiB(std::uint32_t kib) {
    Impl->HeapLimitKiB = kib;
}

void TRegExpr::SetLimitInputSize(std::size_t bytes) {
    Impl->LimitInputSize = bytes;
}

} // namespace regex
