// The search by lines against the search of the joined text: for patterns whose matches stay
// within lines, both must record the same occurrences and make the same new bytes, whatever
// mix of breaks, NULs and literal occurrences a file has.
#include "engine/UByteScan.h"
#include "engine/URegexSearch.h"
#include "model/UTOccurence.h"
#include "regex/URegExpr.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <random>
#include <string>
#include <vector>

using regex::TRegExpr;

namespace {

struct TOcc {
    int Line;
    int Column;
    int Length;
    std::string Text;
    bool operator==(const TOcc&) const = default;
};

std::ostream& operator<<(std::ostream& os, const TOcc& o) {
    return os << "{line " << o.Line << ", col " << o.Column << ", len " << o.Length << ", \""
              << o.Text << "\"}";
}

struct TResult {
    size_t Found = 0;
    std::vector<TOcc> Occurences;
    std::string NewContent;
    bool SharedPerLine = true; // the matches of one line share one copy of its text
};

TResult Collect(size_t found, const std::vector<std::unique_ptr<model::TOccurence>>& v,
                const std::string& content) {
    TResult r;
    r.Found = found;
    r.NewContent = content;
    for (size_t i = 0; i < v.size(); ++i) {
        r.Occurences.push_back({v[i]->Line, v[i]->Column, v[i]->Length, v[i]->Text()});
        if (i > 0 && v[i]->Line == v[i - 1]->Line && v[i]->SharedText() != v[i - 1]->SharedText()) {
            r.SharedPerLine = false;
        }
    }
    return r;
}

// The sentinel shows whether a search that found nothing left the new bytes alone.
constexpr const char* kUntouched = "untouched";

TResult Joined(const std::string& file, TRegExpr& expr, const std::string* templ) {
    std::vector<std::unique_ptr<model::TOccurence>> occ;
    std::string content = kUntouched;
    std::string joined;
    engine::TRegexSearchOutput out;
    out.Occurences = &occ;
    out.NewContent = templ != nullptr ? &content : nullptr;
    if (templ != nullptr) {
        out.Template = *templ;
    }
    const size_t found = engine::RegexSearch(file, expr, joined, out);
    return Collect(found, occ, content);
}

TResult ByLines(const std::string& file, TRegExpr& expr, const engine::TSubstringFinder& finder,
                const std::string* templ) {
    std::vector<std::unique_ptr<model::TOccurence>> occ;
    std::string content = kUntouched;
    engine::TRegexSearchOutput out;
    out.Occurences = &occ;
    out.NewContent = templ != nullptr ? &content : nullptr;
    if (templ != nullptr) {
        out.Template = *templ;
    }
    const size_t found = engine::RegexSearchByLines(file, expr, finder, out);
    return Collect(found, occ, content);
}

void ExpectSame(const TResult& want, const TResult& got) {
    EXPECT_EQ(want.Found, got.Found);
    EXPECT_EQ(want.Occurences, got.Occurences);
    EXPECT_EQ(want.NewContent, got.NewContent);
    EXPECT_TRUE(got.SharedPerLine);
}

std::string Printable(const std::string& s) {
    std::string out;
    for (const char c : s) {
        if (c == '\r') {
            out += "\\r";
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\0') {
            out += "\\0";
        } else {
            out += c;
        }
    }
    return out;
}

const std::vector<std::string> kPieces = {
    "foo",      "bar",          "_lock(", "spin_lock(", "LOCK(", "_LoCk(", "x",
    " ",        "\t",           "(",      "foo12",      "ab",    "a.b",    "_",
    "9",        "\r",           "\n",     "\r",         "\r\n",  "\n\r",   std::string(1, '\0'),
    "\r\n\r\n", "_lock(_lock(", "Lock",   "ä"};

std::string RandomFile(std::mt19937& rng) {
    std::uniform_int_distribution<int> count(0, 24);
    std::uniform_int_distribution<size_t> pick(0, kPieces.size() - 1);
    std::string file;
    const int n = count(rng);
    for (int i = 0; i < n; ++i) {
        file += kPieces[pick(rng)];
    }
    return file;
}

struct TPatternCase {
    const char* Pattern;
    bool MatchCase;
};

const TPatternCase kPatterns[] = {
    {"\\w+_lock\\(", true},
    {"\\w+_lock\\(", false},
    {"_lock\\(", true},
    {"(?i)LOCK\\(", true},
    {"LOCK\\(", false},
    {"(\\w*)_lock\\((\\w?)", true},
    {"\\b\\w+_lock\\(\\B", true},
    {"\\B_lock", false},
    {"_lock\\(\\b", true},
    {"(?-s)s.*?_lock", true},
    {"(?-s).*_lock.*", true},
    {"[^\\r\\n]+_lock\\(", true},
    {"foo\\d+", true},
    {"(o)\\1\\d*", false},
    {"[\\x00-\\x09]?_lock\\(", true},
    {"(?x) _ l o c k \\(  # spaced", true},
    {"\\S*_lock\\S*", true},
};

const std::vector<std::string> kTemplates = {"X", "", "[$1|$2]", "$&$&", "<${0}>\\$1"};

TEST(SearchFileLines, AgreesWithTheJoinedTextOnRandomFiles) {
    std::mt19937 rng(20261208);
    size_t matches = 0;
    size_t filesWithMatches = 0;
    for (const auto& pc : kPatterns) {
        TRegExpr expr;
        expr.SetExpression(pc.Pattern);
        expr.SetModifierI(!pc.MatchCase);
        ASSERT_TRUE(expr.MatchesStayWithinLines()) << pc.Pattern;
        const std::string literal = expr.RequiredLiteral();
        ASSERT_FALSE(literal.empty()) << pc.Pattern;
        ASSERT_EQ(literal.find_first_of("\r\n"), std::string::npos);
        engine::TSubstringFinder finder;
        finder.Prepare(literal, expr.RequiredLiteralCaseless());
        for (int round = 0; round < 600; ++round) {
            const std::string file = RandomFile(rng);
            SCOPED_TRACE(std::string(pc.Pattern) + " on \"" + Printable(file) + "\"");
            const TResult want = Joined(file, expr, nullptr);
            ExpectSame(want, ByLines(file, expr, finder, nullptr));
            matches += want.Found;
            filesWithMatches += want.Found > 0 ? 1 : 0;
            const std::string& templ = kTemplates[static_cast<size_t>(round) % kTemplates.size()];
            SCOPED_TRACE("replacing with \"" + templ + "\"");
            ExpectSame(Joined(file, expr, &templ), ByLines(file, expr, finder, &templ));
            if (::testing::Test::HasFailure()) {
                return;
            }
        }
    }
    // The mix must exercise the search, not only files without a match.
    EXPECT_GT(filesWithMatches, 2000u);
    EXPECT_GT(matches, 5000u);
    std::printf("%zu matches in %zu files compared\n", matches, filesWithMatches);
}

TEST(SearchFileLines, EdgeFiles) {
    TRegExpr expr;
    expr.SetExpression("\\w*_lock\\(\\w*");
    ASSERT_TRUE(expr.MatchesStayWithinLines());
    engine::TSubstringFinder finder;
    finder.Prepare(expr.RequiredLiteral(), false);
    const std::string templ = "[$&]";
    const std::vector<std::string> files = {
        "",
        "_lock(",
        "a_lock(b",
        "\r\n",
        "\r\r\n\n_lock(",
        "x_lock(y_lock(z\r\n_lock(\n\rq_lock(",
        "_lock(\r",
        "_lock(\r\n",
        std::string("\0_lock(\0", 8) + "\r\nb_lock(",
        "no literal here\r\nat all",
        "_lock\r(",
    };
    for (const auto& file : files) {
        SCOPED_TRACE("\"" + Printable(file) + "\"");
        ExpectSame(Joined(file, expr, nullptr), ByLines(file, expr, finder, nullptr));
        ExpectSame(Joined(file, expr, &templ), ByLines(file, expr, finder, &templ));
    }
}

// A line holding the literal several times is searched once: its matches come once each.
TEST(SearchFileLines, ALineWithManyLiteralsIsSearchedOnce) {
    TRegExpr expr;
    expr.SetExpression("a_lock\\(");
    engine::TSubstringFinder finder;
    finder.Prepare(expr.RequiredLiteral(), false);
    const TResult r = ByLines("_lock(_lock(a_lock(\nx\r\n_lock(a_lock(", expr, finder, nullptr);
    ASSERT_EQ(r.Found, 2u);
    EXPECT_EQ(r.Occurences[0], (TOcc{0, 13, 7, "_lock(_lock(a_lock("}));
    EXPECT_EQ(r.Occurences[1], (TOcc{2, 7, 7, "_lock(a_lock("}));
}

} // namespace
