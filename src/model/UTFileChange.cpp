#include "model/UTFileChange.h"

#include <algorithm>

namespace model {

size_t TFileChange::ChosenCount() const {
    return static_cast<size_t>(
        std::count_if(Chosen.begin(), Chosen.end(), [](std::uint8_t c) { return c != 0; }));
}

std::string ApplyEdits(std::string_view original, const TFileChange& change, bool onlyChosen) {
    std::string out;
    out.reserve(original.size());
    std::uint64_t copied = 0;
    for (size_t i = 0; i < change.Edits.size(); ++i) {
        if (onlyChosen && !change.IsChosen(i)) {
            continue;
        }
        const TEdit& e = change.Edits[i];
        // Edits outside what is read are ignored: the file is not the one the edits belong to.
        if (e.From < copied || e.To < e.From || e.To > original.size()) {
            continue;
        }
        out.append(original.substr(copied, e.From - copied));
        out.append(e.Text);
        copied = e.To;
    }
    out.append(original.substr(std::min<std::uint64_t>(copied, original.size())));
    return out;
}

std::string LineAfter(std::string_view line, const TFileChange& change, size_t i) {
    if (i >= change.Edits.size()) {
        return std::string(line);
    }
    const std::uint64_t start = change.Edits[i].LineStart;
    const std::uint64_t end = start + line.size();
    std::string out;
    std::uint64_t copied = start;
    for (size_t j = 0; j < change.Edits.size(); ++j) {
        const TEdit& e = change.Edits[j];
        if (e.LineStart != start || !change.IsChosen(j) || e.From < copied || e.From > end) {
            continue;
        }
        out.append(line.substr(copied - start, e.From - copied));
        out.append(e.Text);
        copied = std::min(e.To, end);
    }
    out.append(line.substr(copied - start));
    return out;
}

} // namespace model
