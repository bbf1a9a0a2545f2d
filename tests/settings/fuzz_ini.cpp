// Random INI files through the reader and writer: never a crash or a hang, and a written key
// always reads back without disturbing any other key.
#include "settings/vtIniFile.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

using settings::IniLookup;
using settings::IniStoredForm;
using settings::IniWrite;
using settings::SameTextAscii;

namespace {

void Check(bool ok) {
    if (!ok) {
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    std::string_view input(reinterpret_cast<const char*>(data), size);
    // The first byte picks how many of the last bytes are the value to write.
    std::string_view value;
    if (!input.empty()) {
        const size_t n = std::min<size_t>(static_cast<std::uint8_t>(input.front()), size - 1);
        input.remove_prefix(1);
        value = input.substr(input.size() - n);
        input.remove_suffix(n);
    }
    const std::string text(input);
    const char* const sections[] = {"Strings", "s", "frmMain", ""};
    const char* const keys[] = {"FileMask", "k", "Left"};
    const char* const section = sections[size % 4];
    const char* const key = keys[size % 3];

    const std::string written = IniWrite(text, section, key, value);
    Check(IniLookup(written, section, key) == IniStoredForm(value));
    Check(IniWrite(written, section, key, value) == written);
    for (const char* s : sections) {
        for (const char* k : keys) {
            if (SameTextAscii(s, section) && SameTextAscii(k, key)) {
                continue;
            }
            Check(IniLookup(written, s, k) == IniLookup(text, s, k));
        }
    }
    return 0;
}
