// Small text helpers shared by the engine, the model and the result operations.
// Byte strings; positions count from 1 and 0 means "not found".
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace text {

// Position of the first `sub` in `s` at or after `start`; 0 when none or `sub` is empty.
int PosFrom(std::string_view sub, std::string_view s, int start);
// Every `oldSub` replaced left to right, never looking into inserted text.
std::string ReplaceAll(std::string_view s, std::string_view oldSub, std::string_view newSub);
// "1 file", "0 files", "3 occurences".
std::string PluralCount(std::int32_t count, std::string_view word);
// The first free backup name: notes.txt -> notes.~txt, notes.~txt1, ...; Makefile -> Makefile.~
std::string BackupFileName(const std::string& path);
// \r \n \t \f become CR LF TAB FF, then \\ becomes one backslash (in that order).
std::string UnescapeReplacement(std::string_view s);

// ASCII-only case mapping; lengths never change.
std::string UpperCaseAscii(std::string_view s);
std::string LowerCaseAscii(std::string_view s);
inline char ToLowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }
inline char ToUpperAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; }

// Case fold for comparing paths: Latin a-z and the Greek letters of code page 1253 (accents
// dropped) to capitals; every other byte unchanged.
std::string UpperCaseGreek(std::string_view s);

// A non-empty path that does not end in the separator gets one.
std::string WithTrailingSeparator(std::string_view path);
// Everything up to and including the last separator; empty when there is none.
std::string ExtractFilePath(std::string_view path);
// The part after the last separator.
std::string ExtractFileName(std::string_view path);

// The bytes as UTF-8 for display: invalid sequences replaced by U+FFFD.
std::string DisplayUtf8(std::string_view bytes);

// The length of the line break that starts at `pos` of `text`: 2 for CR LF, 1 for a lone CR or
// a lone LF, 0 where no break starts. The one rule by which lines are told apart everywhere.
inline size_t LineBreakLength(std::string_view text, size_t pos) {
    if (pos >= text.size() || (text[pos] != '\r' && text[pos] != '\n')) {
        return 0;
    }
    return text[pos] == '\r' && pos + 1 < text.size() && text[pos + 1] == '\n' ? 2 : 1;
}

} // namespace text
