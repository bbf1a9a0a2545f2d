// The file-attribute filters of a search: for Archive, Read-only, System and Hidden, whether a
// file must have the attribute, must not have it, or whether it does not matter.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace settings {

// The value of one filter. Other numbers can arrive from an edited settings file; they are
// kept as they are, and while one is in force no file passes.
using TAttributeFilter = std::int32_t;
constexpr TAttributeFilter afDontCare = 0;
constexpr TAttributeFilter afSet = 1;
constexpr TAttributeFilter afUnset = 2;

class TSearchOptions {
public:
    TAttributeFilter Archive() const { return archive_; }
    TAttributeFilter ReadOnly() const { return readOnly_; }
    TAttributeFilter System() const { return system_; }
    TAttributeFilter Hidden() const { return hidden_; }

    // Store the value unchanged, without a range check.
    void SetArchive(TAttributeFilter value) { archive_ = value; }
    void SetReadOnly(TAttributeFilter value) { readOnly_ = value; }
    void SetSystem(TAttributeFilter value) { system_ = value; }
    void SetHidden(TAttributeFilter value) { hidden_ = value; }

    // Regular expressions work line by line: "^" and "$" match at line breaks and "." stops at
    // them. Off by default; not part of the attribute description.
    bool LineByLine() const { return lineByLine_; }
    void SetLineByLine(bool on) { lineByLine_ = on; }
    // Modification time limits, in seconds since the epoch: from is inclusive, before is not.
    std::optional<std::int64_t> ModifiedFrom;
    std::optional<std::int64_t> ModifiedBefore;
    // Size limits in bytes, both inclusive.
    std::optional<std::int64_t> MinSize;
    std::optional<std::int64_t> MaxSize;
    // Masks of folder names that are never entered, split as the file masks are.
    std::string ExcludeDirs;
    // Files with a NUL byte among their first kBinaryProbeBytes are left out.
    bool SkipBinary = false;
    // A file that cannot be read, or a folder that cannot be entered, ends the run at once.
    bool StopOnError = false;

    // Whether a directory entry with these attribute bits passes all four filters.
    bool Accepts(int attributes) const;
    // Whether a modification time and a size pass the limits above.
    bool AcceptsTime(std::int64_t modified) const;
    bool AcceptsSize(std::int64_t size) const;
    // The active filters in one line, or "No advanced options set.".
    std::string Description() const;

private:
    TAttributeFilter archive_ = afDontCare;
    TAttributeFilter readOnly_ = afDontCare;
    TAttributeFilter system_ = afDontCare;
    TAttributeFilter hidden_ = afDontCare;
    bool lineByLine_ = false;
};

// How much of a file is looked at to tell binary from text.
constexpr std::size_t kBinaryProbeBytes = 8192;

// A local time written "YYYY-MM-DD" or "YYYY-MM-DDTHH:MM[:SS]" (a blank may stand for the T),
// as seconds since the epoch; nothing when the text is no such time.
std::optional<std::int64_t> ParseLocalTime(std::string_view text);
// The same form: the date alone at midnight, else "YYYY-MM-DDTHH:MM:SS".
std::string FormatLocalTime(std::int64_t seconds);
// A byte count "N", "NK", "NM" or "NG" (powers of 1024, either letter case); nothing when the
// text is no such count or it does not fit.
std::optional<std::int64_t> ParseByteSize(std::string_view text);
// A byte count in the largest of K, M and G that divides it, e.g. "10K", "1536", "2G".
std::string FormatByteSize(std::int64_t bytes);

} // namespace settings
