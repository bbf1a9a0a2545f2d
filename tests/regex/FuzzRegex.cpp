// Random patterns, templates and samples through parse, Exec/ExecNext, Replace and the tester.
// Besides not crashing, every failure must be an ERegExpr with one of the engine's prefixes, the
// matches must advance and lie inside the sample, and each must contain the required literal.
#include "regex/URegExpr.h"
#include "regex/URegexTester.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdio>
#include <cstdlib>

using regex::ERegExpr;
using regex::RegexTesterOutput;
using regex::TRegExpr;

namespace {

void Check(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "invariant broken: %s\n", what);
        std::abort();
    }
}

bool StartsWith(const char* s, const char* prefix) {
    return std::string_view(s).substr(0, std::string_view(prefix).size()) == prefix;
}

char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
}

bool Contains(std::string_view hay, std::string_view needle, bool caseless) {
    if (needle.size() > hay.size())
        return false;
    for (std::size_t i = 0; i + needle.size() <= hay.size(); ++i) {
        std::size_t k = 0;
        while (k < needle.size() &&
               (caseless ? Lower(hay[i + k]) == Lower(needle[k]) : hay[i + k] == needle[k]))
            ++k;
        if (k == needle.size())
            return true;
    }
    return false;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider fdp(data, size);
    bool caseless = fdp.ConsumeBool();
    std::string pattern = fdp.ConsumeRandomLengthString(512);
    std::string templ = fdp.ConsumeRandomLengthString(64);
    std::string sample = fdp.ConsumeRemainingBytesAsString();

    TRegExpr r;
    r.SetExpression(pattern);
    r.SetModifierI(caseless);
    r.SetMatchLimit(100000); // keeps one input well inside the fuzzer's time-out
    try {
        r.Compile();
    } catch (const ERegExpr& e) {
        Check(StartsWith(e.what(), "TRegExpr(comp): "), "pattern error prefix");
        Check(std::string_view(e.what()).ends_with(")"), "pattern error position");
        // These three mean the front end accepted what PCRE2 refused, or lost its place.
        Check(e.ErrorCode != 4 && e.ErrorCode != 13 && e.ErrorCode != 16, "internal error");
        return 0;
    }
    const std::string literal = r.RequiredLiteral();
    const bool literalCaseless = r.RequiredLiteralCaseless();
    try {
        int count = 0;
        int lastPos = 0;
        int lastLen = -1;
        if (r.ExecView(sample)) {
            do {
                int pos = r.MatchPos(0);
                int len = r.MatchLen(0);
                Check(pos >= 1 && len >= 0, "match position");
                Check(static_cast<std::size_t>(pos - 1 + len) <= sample.size(), "match end");
                Check(pos > lastPos || (pos == lastPos && lastLen < 0), "matches advance");
                Check(pos >= lastPos + (lastLen > 0 ? lastLen : 0), "matches do not overlap");
                Check(Contains(std::string_view(sample).substr(pos - 1, len), literal,
                               literalCaseless),
                      "match contains the required literal");
                for (int n = 1; n <= 14; ++n) {
                    int gp = r.MatchPos(n);
                    int gl = r.MatchLen(n);
                    Check((gp == -1) == (gl == -1), "group set");
                    Check(gp == -1 || (gp >= pos && gp + gl <= pos + len), "group inside match");
                }
                lastPos = pos;
                lastLen = len;
            } while (++count < 5000 && r.ExecNext());
        } else {
            Check(r.MatchPos(0) == -1, "no match, no position");
        }
        std::string out = r.Replace(sample, templ, true);
        if (count == 0)
            Check(out == sample, "nothing replaced without a match");
    } catch (const ERegExpr& e) {
        Check(StartsWith(e.what(), "TRegExpr(exec): "), "run-time error prefix");
    }
    // The tester runs with the default limits: keep its samples short.
    if (sample.size() <= 64) {
        std::string out = RegexTesterOutput(sample, pattern, templ);
        (void)out;
    }
    return 0;
}
