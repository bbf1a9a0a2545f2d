// The file-attribute filters of a search: for Archive, Read-only, System and Hidden, whether a
// file must have the attribute, must not have it, or whether it does not matter.
#pragma once

#include <cstdint>
#include <string>

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

    // Whether a directory entry with these attribute bits passes all four filters.
    bool Accepts(int attributes) const;
    // The active filters in one line, or "No advanced options set.".
    std::string Description() const;

private:
    TAttributeFilter archive_ = afDontCare;
    TAttributeFilter readOnly_ = afDontCare;
    TAttributeFilter system_ = afDontCare;
    TAttributeFilter hidden_ = afDontCare;
    bool lineByLine_ = false;
};
