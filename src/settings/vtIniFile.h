// Reading and writing single keys of an INI file the way the Windows profile functions do, so
// that a settings file stays readable by them and by a person with a text editor.
//
// A line is one of:
//   - a section header: first non-blank '[', a name, ']' (the name is trimmed; text after the
//     first ']' is ignored);
//   - a comment: first non-blank ';';
//   - a key: any other line holding '='; the key is the trimmed text before the first '=', the
//     value the trimmed text after it, with one pair of matching quotes (" or ') around the
//     whole value removed;
//   - anything else (blank lines, stray text): kept as it is and never looked at.
// Sections and keys are matched ignoring ASCII letter case. Only the first section of a name
// and the first key of a name within it count; keys before the first header belong to no
// section. Lines end in LF or CR LF; both read.
//
// A write rewrites an existing key's line in place (keeping the file's own spelling of the key
// and the line's ending), adds a missing key after the last key of its section, and appends a
// missing section at the end of the file. Every other byte of the file stays as it was. New
// lines take the line ending of the file's first line (CR LF for a new file).
#pragma once

#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace settings {

// A settings failure, carrying the message text shown to the user.
class ESettingsError : public std::runtime_error {
public:
    explicit ESettingsError(const std::string& msg) : std::runtime_error(msg) {}
};

// ASCII-only, case-insensitive equality.
bool SameTextAscii(std::string_view a, std::string_view b);

// The value of `ident` in `section` of the INI text, or nothing when the key does not exist.
std::optional<std::string> IniLookup(std::string_view text, std::string_view section,
                                     std::string_view ident);

// The INI text with `ident` in `section` set to `value`. CR and LF in the value become blanks
// (a value is one line); a value that the reader would otherwise trim or unquote is written in
// double quotes, so every value reads back exactly as written, here and by the Windows profile
// functions.
std::string IniWrite(std::string_view text, std::string_view section, std::string_view ident,
                     std::string_view value);

// The text a value reads back as after IniWrite.
std::string IniStoredForm(std::string_view value);

// One INI file on disk. Creating it only records the path; every access reads the file anew
// and every write replaces it whole through a temporary file and a rename, so a failed write
// leaves the old content in place.
class TvtIniFile {
public:
    // With `createFolder`, the file's folder chain is created before the first write when it is
    // missing (for files kept in the user's configuration folder).
    explicit TvtIniFile(std::string path, bool createFolder = false);

    const std::string& FileName() const { return path_; }

    // A missing or unreadable file reads as empty.
    std::optional<std::string> ReadValue(std::string_view section, std::string_view ident) const;
    std::string ReadString(std::string_view section, std::string_view ident,
                           const std::string& defaultValue) const;

    // Throws ESettingsError "Unable to write to " + path when the file is read-only, exists but
    // cannot be read (it would otherwise be replaced by the one key), or cannot be replaced.
    void WriteString(std::string_view section, std::string_view ident, std::string_view value);

private:
    std::string path_;
    bool createFolder_;
};

} // namespace settings
