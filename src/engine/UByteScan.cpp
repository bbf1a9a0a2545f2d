#include "engine/UByteScan.h"

#include <algorithm>
#include <array>
#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define FS_SCAN_X86 1
#endif

namespace engine {

namespace {

inline char Lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
}
inline bool IsLowerLetter(std::uint8_t c) {
    return c >= 'a' && c <= 'z';
}
inline bool IsBreak(char c) {
    return c == '\r' || c == '\n';
}

// How common a byte is in the text people search (prose and source code), 0 rarest. Only
// the order matters: the finder probes the two rarest bytes of the needle, so that few
// candidates survive the vector test.
std::array<std::uint8_t, 256> MakeByteRanks() {
    std::array<std::uint8_t, 256> rank{};
    for (int c = 0; c < 256; ++c) {
        rank[c] = (c >= 0x20 && c < 0x7f) ? 40 : 8;
    }
    rank[0] = 20;
    static const char common[] = " etaoinsrlcdhu\nmp_f()g.,;=bv\t\"y>*-w/0x1k{}:2&[]'#3!<z+q\\"
                                 "j45%|689?@7~$^`";
    int r = 255;
    for (const char* p = common; *p != '\0'; ++p) {
        rank[static_cast<std::uint8_t>(*p)] = static_cast<std::uint8_t>(r);
        r -= 2;
    }
    static const char upper[] = "ETASIRNOLCDPMUFGBHVWKXYJQZ";
    r = 150;
    for (const char* p = upper; *p != '\0'; ++p) {
        rank[static_cast<std::uint8_t>(*p)] = static_cast<std::uint8_t>(r);
        r -= 3;
    }
    rank['\r'] = 120;
    return rank;
}

const std::array<std::uint8_t, 256>& ByteRanks() {
    static const std::array<std::uint8_t, 256> ranks = MakeByteRanks();
    return ranks;
}

int RankOf(std::uint8_t c, bool caseless) {
    const auto& ranks = ByteRanks();
    if (caseless && IsLowerLetter(c)) {
        // Both cases match, so the probe is as common as the two together.
        return ranks[c] + ranks[c - 32];
    }
    return ranks[c];
}

} // namespace

// The kernels see the finder's private probe data.
struct TFinderKernels {
    using FindFn = size_t (*)(const TSubstringFinder&, const char*, size_t, size_t);
    using CountFn = std::uint64_t (*)(const char*, size_t, int);
    using BreakFn = const char* (*)(const char*, const char*);
    using FindCountFn = size_t (*)(const TSubstringFinder&, const char*, size_t, size_t,
                                   std::uint64_t&);

    static size_t FindScalar(const TSubstringFinder& f, const char* h, size_t n, size_t from);
    static std::uint64_t CountScalar(const char* p, size_t n, int next);
    static const char* BreakScalar(const char* p, const char* end);
    static size_t FindCountTwoPass(const TSubstringFinder& f, const char* h, size_t n, size_t from,
                                   std::uint64_t& breaks);
#ifdef FS_SCAN_X86
    static size_t FindSse2(const TSubstringFinder& f, const char* h, size_t n, size_t from);
    static std::uint64_t CountSse2(const char* p, size_t n, int next);
    static const char* BreakSse2(const char* p, const char* end);
    static size_t FindAvx2(const TSubstringFinder& f, const char* h, size_t n, size_t from);
    static std::uint64_t CountAvx2(const char* p, size_t n, int next);
    static const char* BreakAvx2(const char* p, const char* end);
    static size_t FindCountAvx2(const TSubstringFinder& f, const char* h, size_t n, size_t from,
                                std::uint64_t& breaks);
#endif

    struct TTable {
        FindFn find;
        CountFn count;
        BreakFn lineBreak;
        FindCountFn findCount;
    };
    static const TTable& Table();

    static bool ProbesMatch(const TSubstringFinder& f, const char* c) {
        const auto a =
            static_cast<std::uint8_t>(static_cast<std::uint8_t>(c[f.probe1_]) | f.fold1_);
        const auto b =
            static_cast<std::uint8_t>(static_cast<std::uint8_t>(c[f.probe2_]) | f.fold2_);
        return a == f.byte1_ && b == f.byte2_;
    }
};

size_t TFinderKernels::FindScalar(const TSubstringFinder& f, const char* h, size_t n, size_t from) {
    const size_t m = f.needle_.size();
    if (!f.caseless_) {
        // memchr on the rarest byte is the fastest portable probe.
        const char rare = static_cast<char>(f.byte2_);
        const size_t off = f.probe2_;
        size_t c = from;
        while (c + m <= n) {
            const void* hit = std::memchr(h + c + off, rare, n - m + 1 - c);
            if (hit == nullptr) {
                return TSubstringFinder::npos;
            }
            c = static_cast<size_t>(static_cast<const char*>(hit) - h) - off;
            if (f.Verify(h + c)) {
                return c;
            }
            ++c;
        }
        return TSubstringFinder::npos;
    }
    for (size_t c = from; c + m <= n; ++c) {
        if (ProbesMatch(f, h + c) && f.Verify(h + c)) {
            return c;
        }
    }
    return TSubstringFinder::npos;
}

std::uint64_t TFinderKernels::CountScalar(const char* p, size_t n, int next) {
    std::uint64_t count = 0;
    for (size_t i = 0; i < n; ++i) {
        if (p[i] == '\n') {
            ++count;
        } else if (p[i] == '\r') {
            const int after = i + 1 < n ? static_cast<unsigned char>(p[i + 1]) : next;
            count += after != '\n' ? 1 : 0;
        }
    }
    return count;
}

const char* TFinderKernels::BreakScalar(const char* p, const char* end) {
    while (p < end && !IsBreak(*p)) {
        ++p;
    }
    return p;
}

// Where a find-and-count stops: at the find, or after the last possible start.
inline size_t StopOf(size_t hit, size_t n, size_t m, size_t from) {
    if (hit != TSubstringFinder::npos) {
        return hit;
    }
    return n - from >= m ? n - m + 1 : from;
}

size_t TFinderKernels::FindCountTwoPass(const TSubstringFinder& f, const char* h, size_t n,
                                        size_t from, std::uint64_t& breaks) {
    const size_t hit = Table().find(f, h, n, from);
    const size_t stop = StopOf(hit, n, f.needle_.size(), from);
    breaks =
        Table().count(h + from, stop - from, stop < n ? static_cast<unsigned char>(h[stop]) : -1);
    return hit;
}

#ifdef FS_SCAN_X86

// SSE2 is part of every x86-64 processor; AVX2 is chosen at run time where present.

size_t TFinderKernels::FindSse2(const TSubstringFinder& f, const char* h, size_t n, size_t from) {
    const size_t m = f.needle_.size();
    const size_t reach = f.probe1_ > f.probe2_ ? f.probe1_ : f.probe2_;
    const __m128i want1 = _mm_set1_epi8(static_cast<char>(f.byte1_));
    const __m128i want2 = _mm_set1_epi8(static_cast<char>(f.byte2_));
    const __m128i fold1 = _mm_set1_epi8(static_cast<char>(f.fold1_));
    const __m128i fold2 = _mm_set1_epi8(static_cast<char>(f.fold2_));
    size_t c = from;
    const auto block = [&](size_t at) -> unsigned {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(h + at + f.probe1_));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(h + at + f.probe2_));
        const __m128i eq = _mm_and_si128(_mm_cmpeq_epi8(_mm_or_si128(a, fold1), want1),
                                         _mm_cmpeq_epi8(_mm_or_si128(b, fold2), want2));
        return static_cast<unsigned>(_mm_movemask_epi8(eq));
    };
    while (c + reach + 64 <= n) {
        std::uint64_t mask = static_cast<std::uint64_t>(block(c)) |
                             (static_cast<std::uint64_t>(block(c + 16)) << 16) |
                             (static_cast<std::uint64_t>(block(c + 32)) << 32) |
                             (static_cast<std::uint64_t>(block(c + 48)) << 48);
        while (mask != 0) {
            const size_t cand = c + static_cast<size_t>(__builtin_ctzll(mask));
            if (cand + m <= n && f.Verify(h + cand)) {
                return cand;
            }
            mask &= mask - 1;
        }
        c += 64;
    }
    for (; c + m <= n; ++c) {
        if (ProbesMatch(f, h + c) && f.Verify(h + c)) {
            return c;
        }
    }
    return TSubstringFinder::npos;
}

std::uint64_t TFinderKernels::CountSse2(const char* p, size_t n, int next) {
    const __m128i lf = _mm_set1_epi8('\n');
    const __m128i cr = _mm_set1_epi8('\r');
    const __m128i zero = _mm_setzero_si128();
    std::uint64_t count = 0;
    size_t i = 0;
    // The byte after each block is read too, to tell CR LF from a lone CR.
    while (i + 17 <= n) {
        __m128i acc = zero;
        for (int k = 0; k < 255 && i + 17 <= n; ++k, i += 16) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
            const __m128i w = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i + 1));
            const __m128i ends =
                _mm_or_si128(_mm_cmpeq_epi8(v, lf),
                             _mm_andnot_si128(_mm_cmpeq_epi8(w, lf), _mm_cmpeq_epi8(v, cr)));
            acc = _mm_sub_epi8(acc, ends);
        }
        const __m128i sums = _mm_sad_epu8(acc, zero);
        count += static_cast<std::uint64_t>(_mm_cvtsi128_si64(sums)) +
                 static_cast<std::uint64_t>(_mm_cvtsi128_si64(_mm_unpackhi_epi64(sums, sums)));
    }
    return count + CountScalar(p + i, n - i, next);
}

const char* TFinderKernels::BreakSse2(const char* p, const char* end) {
    const __m128i lf = _mm_set1_epi8('\n');
    const __m128i cr = _mm_set1_epi8('\r');
    while (end - p >= 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const unsigned mask = static_cast<unsigned>(
            _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(v, lf), _mm_cmpeq_epi8(v, cr))));
        if (mask != 0) {
            return p + __builtin_ctz(mask);
        }
        p += 16;
    }
    return BreakScalar(p, end);
}

namespace {

// The needle's two probe bytes, tested 64 haystack positions at a time.
struct TAvx2Probes {
    __attribute__((target("avx2")))
    TAvx2Probes(std::uint8_t byte1, std::uint8_t byte2, std::uint8_t f1, std::uint8_t f2,
                const char* at1, const char* at2)
        : want1(_mm256_set1_epi8(static_cast<char>(byte1))),
          want2(_mm256_set1_epi8(static_cast<char>(byte2))),
          fold1(_mm256_set1_epi8(static_cast<char>(f1))),
          fold2(_mm256_set1_epi8(static_cast<char>(f2))), p1(at1), p2(at2) {}

    // Bit k set when a find starting at c + k would have both probe bytes in place (case
    // folded where asked); 0 when no position of the block can start one.
    __attribute__((target("avx2"))) std::uint64_t CandidatesAt(size_t c) const {
        const __m256i a0 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p1 + c));
        const __m256i a1 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p1 + c + 32));
        const __m256i b0 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p2 + c));
        const __m256i b1 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p2 + c + 32));
        const __m256i e0 = _mm256_and_si256(_mm256_cmpeq_epi8(_mm256_or_si256(a0, fold1), want1),
                                            _mm256_cmpeq_epi8(_mm256_or_si256(b0, fold2), want2));
        const __m256i e1 = _mm256_and_si256(_mm256_cmpeq_epi8(_mm256_or_si256(a1, fold1), want1),
                                            _mm256_cmpeq_epi8(_mm256_or_si256(b1, fold2), want2));
        if (_mm256_testz_si256(_mm256_or_si256(e0, e1), _mm256_or_si256(e0, e1)) != 0) {
            return 0;
        }
        return static_cast<std::uint64_t>(static_cast<std::uint32_t>(_mm256_movemask_epi8(e0))) |
               (static_cast<std::uint64_t>(static_cast<std::uint32_t>(_mm256_movemask_epi8(e1)))
                << 32);
    }

    __m256i want1, want2, fold1, fold2;
    const char* p1;
    const char* p2;
};

} // namespace

__attribute__((target("avx2"))) size_t
TFinderKernels::FindAvx2(const TSubstringFinder& f, const char* h, size_t n, size_t from) {
    const size_t m = f.needle_.size();
    const size_t reach = f.probe1_ > f.probe2_ ? f.probe1_ : f.probe2_;
    const TAvx2Probes probes{f.byte1_, f.byte2_, f.fold1_, f.fold2_, h + f.probe1_, h + f.probe2_};
    size_t c = from;
    while (c + reach + 64 <= n) {
        std::uint64_t mask = probes.CandidatesAt(c);
        if (mask != 0) {
            while (mask != 0) {
                const size_t cand = c + static_cast<size_t>(__builtin_ctzll(mask));
                if (cand + m <= n && f.Verify(h + cand)) {
                    return cand;
                }
                mask &= mask - 1;
            }
        }
        c += 64;
    }
    return FindSse2(f, h, n, c);
}

__attribute__((target("avx2"))) std::uint64_t TFinderKernels::CountAvx2(const char* p, size_t n,
                                                                        int next) {
    const __m256i lf = _mm256_set1_epi8('\n');
    const __m256i cr = _mm256_set1_epi8('\r');
    const __m256i zero = _mm256_setzero_si256();
    std::uint64_t count = 0;
    size_t i = 0;
    while (i + 33 <= n) {
        __m256i acc = zero;
        for (int k = 0; k < 255 && i + 33 <= n; ++k, i += 32) {
            const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + i));
            const __m256i w = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + i + 1));
            const __m256i ends = _mm256_or_si256(
                _mm256_cmpeq_epi8(v, lf),
                _mm256_andnot_si256(_mm256_cmpeq_epi8(w, lf), _mm256_cmpeq_epi8(v, cr)));
            acc = _mm256_sub_epi8(acc, ends);
        }
        const __m256i sums = _mm256_sad_epu8(acc, zero);
        count += static_cast<std::uint64_t>(_mm256_extract_epi64(sums, 0)) +
                 static_cast<std::uint64_t>(_mm256_extract_epi64(sums, 1)) +
                 static_cast<std::uint64_t>(_mm256_extract_epi64(sums, 2)) +
                 static_cast<std::uint64_t>(_mm256_extract_epi64(sums, 3));
    }
    return count + CountSse2(p + i, n - i, next);
}

__attribute__((target("avx2"))) const char* TFinderKernels::BreakAvx2(const char* p,
                                                                      const char* end) {
    const __m256i lf = _mm256_set1_epi8('\n');
    const __m256i cr = _mm256_set1_epi8('\r');
    while (end - p >= 32) {
        const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
        const unsigned mask = static_cast<unsigned>(_mm256_movemask_epi8(
            _mm256_or_si256(_mm256_cmpeq_epi8(v, lf), _mm256_cmpeq_epi8(v, cr))));
        if (mask != 0) {
            return p + __builtin_ctz(mask);
        }
        p += 32;
    }
    return BreakSse2(p, end);
}

namespace {

// The bytes of [at, at + 32) that end a line, as 0xFF; reads the byte after them too.
__attribute__((target("avx2"))) inline __m256i LineEnds32(const char* at) {
    const __m256i lf = _mm256_set1_epi8('\n');
    const __m256i cr = _mm256_set1_epi8('\r');
    const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(at));
    const __m256i w = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(at + 1));
    return _mm256_or_si256(_mm256_cmpeq_epi8(v, lf),
                           _mm256_andnot_si256(_mm256_cmpeq_epi8(w, lf), _mm256_cmpeq_epi8(v, cr)));
}

__attribute__((target("avx2"))) inline std::uint64_t SumBytes(__m256i acc) {
    const __m256i sums = _mm256_sad_epu8(acc, _mm256_setzero_si256());
    return static_cast<std::uint64_t>(_mm256_extract_epi64(sums, 0)) +
           static_cast<std::uint64_t>(_mm256_extract_epi64(sums, 1)) +
           static_cast<std::uint64_t>(_mm256_extract_epi64(sums, 2)) +
           static_cast<std::uint64_t>(_mm256_extract_epi64(sums, 3));
}

} // namespace

// The find of FindAvx2 with the line-break count of CountAvx2 in the same pass: each block's
// bytes are counted while they are in cache, once the block is known to hold no find.
__attribute__((target("avx2"))) size_t TFinderKernels::FindCountAvx2(const TSubstringFinder& f,
                                                                     const char* h, size_t n,
                                                                     size_t from,
                                                                     std::uint64_t& breaks) {
    const size_t m = f.needle_.size();
    // The count reads one byte past each block.
    const size_t reach = std::max<size_t>(std::max(f.probe1_, f.probe2_), 1);
    const TAvx2Probes probes{f.byte1_, f.byte2_, f.fold1_, f.fold2_, h + f.probe1_, h + f.probe2_};
    std::uint64_t total = 0;
    __m256i acc = _mm256_setzero_si256();
    int pending = 0; // blocks counted into `acc`; each adds at most 2 to a byte
    size_t c = from;
    while (c + reach + 64 <= n) {
        std::uint64_t mask = probes.CandidatesAt(c);
        if (mask != 0) {
            while (mask != 0) {
                const size_t cand = c + static_cast<size_t>(__builtin_ctzll(mask));
                if (cand + m <= n && f.Verify(h + cand)) {
                    breaks = total + SumBytes(acc) +
                             CountScalar(h + c, cand - c, static_cast<unsigned char>(h[cand]));
                    return cand;
                }
                mask &= mask - 1;
            }
        }
        acc = _mm256_sub_epi8(acc, LineEnds32(h + c));
        acc = _mm256_sub_epi8(acc, LineEnds32(h + c + 32));
        if (++pending == 127) {
            total += SumBytes(acc);
            acc = _mm256_setzero_si256();
            pending = 0;
        }
        c += 64;
    }
    total += SumBytes(acc);
    std::uint64_t rest = 0;
    const size_t hit = FindCountTwoPass(f, h, n, c, rest);
    breaks = total + rest;
    return hit;
}

#endif // FS_SCAN_X86

namespace {

const TFinderKernels::TTable* KernelsFor(TScanLevel level) {
    using K = TFinderKernels;
    static const K::TTable scalar{K::FindScalar, K::CountScalar, K::BreakScalar,
                                  K::FindCountTwoPass};
#ifdef FS_SCAN_X86
    static const K::TTable sse2{K::FindSse2, K::CountSse2, K::BreakSse2, K::FindCountTwoPass};
    static const K::TTable avx2{K::FindAvx2, K::CountAvx2, K::BreakAvx2, K::FindCountAvx2};
    switch (level) {
    case TScanLevel::Scalar:
        return &scalar;
    case TScanLevel::Sse2:
        return &sse2;
    case TScanLevel::Avx2:
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx2") ? &avx2 : nullptr;
    }
    return nullptr;
#else
    return level == TScanLevel::Scalar ? &scalar : nullptr;
#endif
}

const TFinderKernels::TTable*& CurrentKernels() {
    static const TFinderKernels::TTable* current = [] {
        for (const TScanLevel level : {TScanLevel::Avx2, TScanLevel::Sse2}) {
            if (const auto* k = KernelsFor(level)) {
                return k;
            }
        }
        return KernelsFor(TScanLevel::Scalar);
    }();
    return current;
}

} // namespace

const TFinderKernels::TTable& TFinderKernels::Table() {
    return *CurrentKernels();
}

bool SetScanLevel(TScanLevel level) {
    const auto* k = KernelsFor(level);
    if (k == nullptr) {
        return false;
    }
    CurrentKernels() = k;
    return true;
}

void TSubstringFinder::Prepare(std::string_view needle, bool caseless) {
    caseless_ = caseless;
    needle_.assign(needle);
    if (caseless) {
        for (char& c : needle_) {
            c = Lower(c);
        }
    }
    if (needle_.empty()) {
        return;
    }
    // The rarest byte becomes probe 2, the next rarest at another position probe 1.
    const size_t m = needle_.size();
    size_t best = 0;
    for (size_t i = 1; i < m; ++i) {
        if (RankOf(static_cast<std::uint8_t>(needle_[i]), caseless) <
            RankOf(static_cast<std::uint8_t>(needle_[best]), caseless)) {
            best = i;
        }
    }
    size_t second = best;
    for (size_t i = 0; i < m; ++i) {
        if (i == best) {
            continue;
        }
        if (second == best || RankOf(static_cast<std::uint8_t>(needle_[i]), caseless) <
                                  RankOf(static_cast<std::uint8_t>(needle_[second]), caseless)) {
            second = i;
        }
    }
    probe2_ = best;
    probe1_ = second;
    byte1_ = static_cast<std::uint8_t>(needle_[probe1_]);
    byte2_ = static_cast<std::uint8_t>(needle_[probe2_]);
    fold1_ = caseless && IsLowerLetter(byte1_) ? 0x20 : 0;
    fold2_ = caseless && IsLowerLetter(byte2_) ? 0x20 : 0;
}

bool TSubstringFinder::Verify(const char* at) const {
    if (!caseless_) {
        return std::memcmp(at, needle_.data(), needle_.size()) == 0;
    }
    for (size_t i = 0; i < needle_.size(); ++i) {
        if (Lower(at[i]) != needle_[i]) {
            return false;
        }
    }
    return true;
}

size_t TSubstringFinder::Find(std::string_view hay, size_t from) const {
    if (needle_.empty() || from > hay.size() || hay.size() - from < needle_.size()) {
        return npos;
    }
    return TFinderKernels::Table().find(*this, hay.data(), hay.size(), from);
}

size_t TSubstringFinder::FindCounting(std::string_view hay, size_t from,
                                      std::uint64_t& breaks) const {
    breaks = 0;
    if (needle_.empty() || from > hay.size() || hay.size() - from < needle_.size()) {
        return npos;
    }
    return TFinderKernels::Table().findCount(*this, hay.data(), hay.size(), from, breaks);
}

std::uint64_t CountLineBreaks(const char* p, size_t n, int next) {
    return TFinderKernels::Table().count(p, n, next);
}

const char* FindLineBreak(const char* p, const char* end) {
    return TFinderKernels::Table().lineBreak(p, end);
}

const char* FindLineStart(const char* floor, const char* at) {
    while (at > floor && !IsBreak(at[-1])) {
        --at;
    }
    return at;
}

} // namespace engine
