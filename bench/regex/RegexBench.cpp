// Matching speed of TRegExpr::ExecView/ExecNext against direct PCRE2 JIT matching of the
// pattern TRegExpr translated to, over a generated text of about 100 MB with CR LF lines.
//   regex_bench [MEGABYTES]
#include "regex/URegExpr.h"

#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <random>
#include <string>
#include <vector>

using regex::TRegExpr;

namespace {

constexpr int Runs = 9;

std::string MakeText(std::size_t bytes) {
    const std::vector<std::string> words = {
        "static", "int",   "return", "struct", "device", "buffer", "count", "index",
        "value",  "error", "mutex",  "unlock", "lock",   "state",  "the",   "and",
        "for",    "if",    "else",   "while",  "data",   "(p);",   "&dev",  "0x1f"};
    std::mt19937 rng(12345);
    std::string text;
    text.reserve(bytes + 256);
    std::size_t nextTarget = 50000;
    while (text.size() < bytes) {
        int n = 2 + static_cast<int>(rng() % 9);
        for (int k = 0; k < n; ++k) {
            if (k)
                text += ' ';
            text += words[rng() % words.size()];
        }
        if (text.size() > nextTarget) {
            text += " spin_lock(&dev->lock);";
            nextTarget += 40000 + rng() % 40000;
        }
        text += "\r\n";
    }
    return text;
}

double Seconds(std::chrono::steady_clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

struct TResult {
    double Best = 1e30;
    long Matches = 0;
};

template <typename F> void TimeOnce(TResult& r, F f) {
    auto t0 = std::chrono::steady_clock::now();
    r.Matches = f();
    r.Best = std::min(r.Best, Seconds(std::chrono::steady_clock::now() - t0));
}

long EngineMatches(TRegExpr& r, const std::string& text) {
    long n = 0;
    if (r.ExecView(text)) {
        do
            ++n;
        while (r.ExecNext());
    }
    return n;
}

struct TCodeFree {
    void operator()(pcre2_code* p) const { pcre2_code_free(p); }
};
struct TDataFree {
    void operator()(pcre2_match_data* p) const { pcre2_match_data_free(p); }
};

// The loop pcre2test's global matching runs, with the engine's advance after an empty match.
long DirectMatches(pcre2_code* code, pcre2_match_data* md, const std::string& text) {
    long n = 0;
    PCRE2_SIZE start = 0;
    auto subject = reinterpret_cast<PCRE2_SPTR>(text.data());
    while (start <= text.size()) {
        int rc = pcre2_jit_match(code, subject, text.size(), start, 0, md, nullptr);
        if (rc < 0)
            break;
        const PCRE2_SIZE* ov = pcre2_get_ovector_pointer(md);
        ++n;
        start = ov[1] + (ov[1] == ov[0] ? 1 : 0);
    }
    return n;
}

bool Run(const std::string& pattern, bool caseless, const std::string& text, double& ratio) {
    TRegExpr r;
    r.SetExpression(pattern);
    r.SetModifierI(caseless);
    const std::string translated = r.TranslatedExpression();

    int err = 0;
    PCRE2_SIZE off = 0;
    pcre2_compile_context* cc = pcre2_compile_context_create(nullptr);
    pcre2_set_newline(cc, PCRE2_NEWLINE_ANYCRLF);
    std::unique_ptr<pcre2_code, TCodeFree> code(
        pcre2_compile(reinterpret_cast<PCRE2_SPTR>(translated.data()), translated.size(),
                      PCRE2_DOTALL | PCRE2_NEVER_UTF | PCRE2_NEVER_UCP, &err, &off, cc));
    pcre2_compile_context_free(cc);
    if (!code || pcre2_jit_compile(code.get(), PCRE2_JIT_COMPLETE) != 0) {
        std::printf("cannot JIT-compile %s\n", translated.c_str());
        return false;
    }
    std::unique_ptr<pcre2_match_data, TDataFree> md(
        pcre2_match_data_create_from_pattern(code.get(), nullptr));

    // Interleaved and best-of, so that load from other processes hits both sides alike.
    TResult direct;
    TResult engine;
    for (int i = 0; i < Runs; ++i) {
        TimeOnce(direct, [&] { return DirectMatches(code.get(), md.get(), text); });
        TimeOnce(engine, [&] { return EngineMatches(r, text); });
    }
    ratio = engine.Best / direct.Best;
    std::printf("%-22s -> %-34s %6ld matches  TRegExpr %.3f s  PCRE2 JIT %.3f s  ratio %.3f\n",
                (pattern + (caseless ? " (i)" : "")).c_str(), translated.c_str(), engine.Matches,
                engine.Best, direct.Best, ratio);
    if (engine.Matches != direct.Matches) {
        std::printf("match counts differ\n");
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    std::size_t mb = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 100;
    std::string text = MakeText(mb * 1000 * 1000);
    std::printf("input: %zu bytes, CR LF lines; best of %d interleaved runs each\n", text.size(),
                Runs);
    bool ok = true;
    double headline = 0;
    double ratio = 0;
    ok = Run("\\w+_lock\\(", false, text, headline) && ok;
    ok = Run("spin_lock\\(&\\w+", false, text, ratio) && ok;
    ok = Run("SPIN_LOCK", true, text, ratio) && ok;
    ok = Run("(?m)^\\w+ spin", false, text, ratio) && ok;
    std::printf("ratio TRegExpr/PCRE2 JIT for the selective pattern \\w+_lock\\(: %.3f\n",
                headline);
    return ok ? 0 : 1;
}
