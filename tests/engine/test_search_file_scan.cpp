// The byte scans under the plain search, at every vector width the processor has: finds at
// every alignment and at the buffer's very end, folding of ASCII letters only, and line-break
// counts that add up over any split (a CR LF split between two ranges counts once).
#include "engine/UByteScan.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

using namespace engine;
using namespace std::string_literals;

namespace {

char Lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
}

size_t NaiveFind(const std::string& hay, const std::string& needle, bool caseless, size_t from) {
    for (size_t c = from; c + needle.size() <= hay.size(); ++c) {
        size_t i = 0;
        while (i < needle.size() &&
               (caseless ? Lower(hay[c + i]) == Lower(needle[i]) : hay[c + i] == needle[i])) {
            ++i;
        }
        if (i == needle.size()) {
            return c;
        }
    }
    return TSubstringFinder::npos;
}

std::uint64_t NaiveBreaks(const std::string& s, size_t from, size_t to) {
    std::uint64_t n = 0;
    for (size_t i = from; i < to; ++i) {
        n += s[i] == '\n' || (s[i] == '\r' && (i + 1 >= s.size() || s[i + 1] != '\n'));
    }
    return n;
}

class ScanTest : public ::testing::TestWithParam<TScanLevel> {
protected:
    void SetUp() override {
        if (!SetScanLevel(GetParam())) {
            GTEST_SKIP() << "this processor lacks the instructions";
        }
    }
    void TearDown() override {
        // Back to the best level for the other tests.
        if (!SetScanLevel(TScanLevel::Avx2)) {
            SetScanLevel(TScanLevel::Sse2) || SetScanLevel(TScanLevel::Scalar);
        }
    }
};

} // namespace

TEST_P(ScanTest, FindsAtEveryOffsetUpToTheLastByte) {
    for (const bool caseless : {false, true}) {
        for (const std::string& needle : {"q"s, "Zq"s, "xyz"s, "needle-in-hay"s, "a\0b"s}) {
            TSubstringFinder f;
            f.Prepare(needle, caseless);
            for (size_t len = needle.size(); len < 200; ++len) {
                for (size_t at = 0; at + needle.size() <= len; at += 7) {
                    std::string hay(len, '.');
                    hay.replace(at, needle.size(), needle);
                    ASSERT_EQ(f.Find(hay, 0), at) << needle << " len " << len;
                    ASSERT_EQ(f.Find(hay, at + 1), TSubstringFinder::npos);
                    if (at > 0) {
                        ASSERT_EQ(f.Find(hay, at - 1), at);
                    }
                }
                // The needle cut off by the buffer's end is no find.
                std::string hay(len, '.');
                hay.replace(len - needle.size() + 1, needle.size() - 1,
                            needle.substr(0, needle.size() - 1));
                ASSERT_EQ(f.Find(hay, 0), TSubstringFinder::npos);
            }
        }
    }
}

TEST_P(ScanTest, FoldsOnlyAsciiLetters) {
    TSubstringFinder f;
    f.Prepare("k@[`{z", true);
    // '@' '[' '`' '{' differ from letters only in bit 5 and must match only themselves.
    EXPECT_EQ(f.Find(std::string(70, ' ') + "K@[`{Z", 0), 70u);
    EXPECT_EQ(f.Find(std::string(70, ' ') + "k`{@[z", 0), TSubstringFinder::npos);
    f.Prepare("\xe4"
              "x",
              true);
    EXPECT_EQ(f.Find(std::string(70, ' ') + "\xc4"
                                            "X",
                     0),
              TSubstringFinder::npos);
    EXPECT_EQ(f.Find(std::string(70, ' ') + "\xe4"
                                            "X",
                     0),
              70u);
    f.Prepare("AbC", false);
    EXPECT_EQ(f.Find(std::string(70, ' ') + "abc ABC AbC", 0), 78u);
}

TEST_P(ScanTest, RandomBuffersAgreeWithTheObviousSearch) {
    std::mt19937 rng(99);
    const std::string alphabet("aAbB\r\n\0xX", 9);
    for (int round = 0; round < 4000; ++round) {
        std::string hay(rng() % 300, ' ');
        for (char& c : hay) {
            c = alphabet[rng() % alphabet.size()];
        }
        std::string needle(1 + rng() % 5, ' ');
        for (char& c : needle) {
            c = alphabet[rng() % alphabet.size()];
        }
        const bool caseless = rng() % 2 == 0;
        TSubstringFinder f;
        f.Prepare(needle, caseless);
        const size_t from = hay.empty() ? 0 : rng() % (hay.size() + 1);
        ASSERT_EQ(f.Find(hay, from), NaiveFind(hay, needle, caseless, from)) << round;
    }
}

TEST_P(ScanTest, FindingAndCountingInOnePassAgreesWithBoth) {
    std::mt19937 rng(4242);
    for (int round = 0; round < 3000; ++round) {
        // Sparse finds, far enough apart for whole vector blocks between them.
        std::string hay(rng() % 3000, 'x');
        for (char& c : hay) {
            const unsigned r = rng() % 16;
            c = r == 0 ? '\r' : r == 1 ? '\n' : r == 2 ? 'K' : r == 3 ? 'k' : 'x';
        }
        const std::string needle = round % 3 == 0 ? "k" : round % 3 == 1 ? "Kxk" : "xkxxK";
        for (int i = 0, n = static_cast<int>(rng() % 3); i < n && hay.size() > 10; ++i) {
            hay.replace(rng() % (hay.size() - 6), needle.size(), needle);
        }
        const bool caseless = rng() % 2 == 0;
        TSubstringFinder f;
        f.Prepare(needle, caseless);
        const size_t from = hay.empty() ? 0 : rng() % hay.size();
        std::uint64_t breaks = 12345;
        const size_t hit = f.FindCounting(hay, from, breaks);
        ASSERT_EQ(hit, NaiveFind(hay, needle, caseless, from)) << round;
        size_t stop = hit;
        if (hit == TSubstringFinder::npos) {
            stop = hay.size() - from >= needle.size() ? hay.size() - needle.size() + 1 : from;
        }
        ASSERT_EQ(breaks, NaiveBreaks(hay, from, stop)) << round;
    }
}

TEST_P(ScanTest, LineBreakCountsAddUpOverAnySplit) {
    std::mt19937 rng(7);
    for (int round = 0; round < 2000; ++round) {
        std::string s(rng() % 2000, 'x');
        for (char& c : s) {
            const unsigned r = rng() % 8;
            c = r == 0 ? '\r' : r == 1 ? '\n' : r == 2 ? '\0' : 'x';
        }
        const size_t cut = s.empty() ? 0 : rng() % (s.size() + 1);
        const int nextAtCut = cut < s.size() ? static_cast<unsigned char>(s[cut]) : -1;
        const std::uint64_t left = CountLineBreaks(s.data(), cut, nextAtCut);
        const std::uint64_t right = CountLineBreaks(s.data() + cut, s.size() - cut, -1);
        ASSERT_EQ(left, NaiveBreaks(s, 0, cut)) << round;
        ASSERT_EQ(left + right, NaiveBreaks(s, 0, s.size())) << round;
    }
    // Enough to overflow a byte-wide counter many times over.
    const std::string crlf = [] {
        std::string t;
        for (int i = 0; i < 100000; ++i) {
            t += i % 3 == 0 ? "\r\n" : i % 3 == 1 ? "\n" : "\r";
        }
        return t;
    }();
    EXPECT_EQ(CountLineBreaks(crlf.data(), crlf.size(), -1), 100000u);
    EXPECT_EQ(CountLineBreaks(crlf.data(), 1, '\n'), 0u); // a CR whose LF lies beyond
    EXPECT_EQ(CountLineBreaks(crlf.data(), 1, -1), 1u);
}

TEST_P(ScanTest, FindsTheFirstBreakAndTheLineStart) {
    for (size_t len = 0; len < 130; ++len) {
        for (size_t at = 0; at <= len; at += 5) {
            std::string s(len, 'x');
            if (at < len) {
                s[at] = at % 2 == 0 ? '\r' : '\n';
            }
            const char* b = s.data();
            ASSERT_EQ(FindLineBreak(b, b + len) - b, static_cast<std::ptrdiff_t>(at));
            ASSERT_EQ(FindLineStart(b, b + len) - b,
                      static_cast<std::ptrdiff_t>(at < len ? at + 1 : 0));
        }
    }
    const std::string s = "ab\ncd";
    EXPECT_EQ(FindLineStart(s.data() + 3, s.data() + 5) - s.data(), 3);
}

INSTANTIATE_TEST_SUITE_P(Levels, ScanTest,
                         ::testing::Values(TScanLevel::Scalar, TScanLevel::Sse2, TScanLevel::Avx2),
                         [](const auto& info) {
                             switch (info.param) {
                             case TScanLevel::Scalar:
                                 return std::string("Scalar");
                             case TScanLevel::Sse2:
                                 return std::string("Sse2");
                             case TScanLevel::Avx2:
                                 return std::string("Avx2");
                             }
                             return std::string("Unknown");
                         });
