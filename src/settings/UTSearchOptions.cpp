#include "UTSearchOptions.h"

#include "UPlatform.h"

namespace {

bool Passes(TAttributeFilter filter, int attributes, int bit) {
    switch (filter) {
    case afDontCare:
        return true;
    case afSet:
        return (attributes & bit) != 0;
    case afUnset:
        return (attributes & bit) == 0;
    default:
        return false; // an out-of-range filter lets nothing through
    }
}

void AppendFragment(std::string& text, TAttributeFilter filter, const char* set,
                    const char* unset) {
    if (filter == afSet) {
        text += set;
    } else if (filter == afUnset) {
        text += unset;
    }
}

} // namespace

bool TSearchOptions::Accepts(int attributes) const {
    return Passes(archive_, attributes, platform::faArchive) &&
           Passes(readOnly_, attributes, platform::faReadOnly) &&
           Passes(system_, attributes, platform::faSysFile) &&
           Passes(hidden_, attributes, platform::faHidden);
}

std::string TSearchOptions::Description() const {
    std::string text;
    AppendFragment(text, archive_, "Archive attribute set, ", "Archive not set, ");
    AppendFragment(text, readOnly_, "Read-Only, ", "Read/Write, ");
    AppendFragment(text, system_, "System file, ", "not a System file, ");
    AppendFragment(text, hidden_, "Hidden file, ", "not a Hidden file, ");
    if (text.ends_with(", ")) {
        text.resize(text.size() - 2);
    }
    return text.empty() ? "No advanced options set." : text;
}
