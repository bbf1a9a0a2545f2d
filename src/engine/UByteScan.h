// The byte scans under the in-file search: a substring finder (exact or ASCII-folding), and
// the line-break scans that turn buffer offsets into lines. They look at whole buffers with
// vector instructions where the processor has them, so that a file without a match costs
// about as much as one memchr over it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace engine {

// Finds one byte string in buffers. Prepared once per run, used for every file.
class TSubstringFinder {
public:
    static constexpr size_t npos = static_cast<size_t>(-1);

    // `caseless`: the letters A to Z and a to z match either case; no other byte is folded.
    void Prepare(std::string_view needle, bool caseless);

    // Offset of the first occurrence that starts at or after `from`; npos when none.
    size_t Find(std::string_view hay, size_t from) const;
    // Find, and in the same pass the line breaks (as CountLineBreaks counts them) of the bytes
    // from `from` up to the find, or without a find up to the last offset a find could start
    // at. For finding a needle and the line it lies in at once.
    size_t FindCounting(std::string_view hay, size_t from, std::uint64_t& breaks) const;

    size_t Length() const { return needle_.size(); }
    // The needle as searched for: lower-cased when caseless.
    std::string_view Needle() const { return needle_; }
    bool Empty() const { return needle_.empty(); }

private:
    bool Verify(const char* at) const;

    std::string needle_; // lower-cased when caseless
    bool caseless_ = false;
    // Two probe positions, chosen for rare bytes, are tested sixteen or thirty-two candidate
    // starts at a time; only candidates where both agree are compared in full.
    size_t probe1_ = 0;
    size_t probe2_ = 0;
    std::uint8_t byte1_ = 0; // probe bytes, lower case when folded
    std::uint8_t byte2_ = 0;
    std::uint8_t fold1_ = 0; // 0x20 when the probe byte is a folded letter, else 0
    std::uint8_t fold2_ = 0;

    friend struct TFinderKernels;
};

// Line breaks in [p, p + n), each counted once at its last byte: CR LF at the LF, a lone CR
// at the CR, a lone LF at the LF. `next` is the byte after the range, or -1 at the buffer's
// end; it decides whether a CR at the range's last byte is followed by LF. Counts over
// adjacent ranges add up.
std::uint64_t CountLineBreaks(const char* p, size_t n, int next);

// The first CR or LF in [p, end); `end` when there is none.
const char* FindLineBreak(const char* p, const char* end);

// The start of the line holding `at`: one past the last CR or LF in [floor, at), or `floor`.
const char* FindLineStart(const char* floor, const char* at);

// The widest vector instructions the processor has are used. For tests: another level can
// be chosen; false when the processor lacks it.
enum class TScanLevel { Scalar, Sse2, Avx2 };
bool SetScanLevel(TScanLevel level);

} // namespace engine
