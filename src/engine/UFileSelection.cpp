#include "engine/UFileSelection.h"

#include "engine/vtStringTokenizer.h"
#include "platform/UReplaceFile.h"
#include "text/UMasks.h"

#include <algorithm>
#include <cstring>

using settings::kBinaryProbeBytes;

namespace engine {

namespace {

// The account's lines, in the order of TEntryOutcome.
constexpr std::array<const char*, kOutcomeCount> kOutcomeNames{{
    "files searched",
    "folders walked",
    "name not matching the masks",
    "attribute filter",
    "outside the date limits",
    "outside the size limits",
    "folders left out",
    "binary files",
    "files that could not be read",
    "folders that could not be entered",
    "folders not walked (no recursion)",
    "links to folders (not followed)",
    "not regular files",
    "not reached (aborted)",
}};

} // namespace

std::int64_t TRunAccount::Looked() const {
    std::int64_t sum = 0;
    for (const std::int64_t n : Counts) {
        sum += n;
    }
    return sum;
}

std::string DescribeAccount(const TRunAccount& account) {
    std::string text = "Entries looked at: " + std::to_string(account.Looked());
    for (std::size_t i = 0; i < kOutcomeCount; ++i) {
        // The searched files always show, so a run that searched nothing says so.
        if (account.Counts[i] != 0 || i == 0) {
            text += "\n  ";
            text += kOutcomeNames[i];
            text += ": " + std::to_string(account.Counts[i]);
        }
    }
    return text;
}

bool LooksBinary(std::string_view head) {
    const std::size_t n = std::min(head.size(), kBinaryProbeBytes);
    return n != 0 && std::memchr(head.data(), 0, n) != nullptr;
}

TFileSelection::TFileSelection(const TSearchRequest& request)
    : request_(request), options_(request.Options) {
    if (options_ == nullptr) {
        return;
    }
    // A filter set to "set" refuses the empty word, one set to "unset" refuses the full word,
    // and any other value refuses both; passing both means no attribute filter is active.
    attributeFilter_ = !(options_->Accepts(0) && options_->Accepts(platform::faAnyFile));
    statFilter_ = options_->ModifiedFrom || options_->ModifiedBefore || options_->MinSize ||
                  options_->MaxSize;
    if (!options_->ExcludeDirs.empty()) {
        excludeMasks_ = TStringTokenizer(options_->ExcludeDirs, "; ").Tokens;
    }
}

bool TFileSelection::ExcludesFolder(std::string_view name) const {
    return !excludeMasks_.empty() && text::MatchesAnyMask(name, excludeMasks_);
}

bool TFileSelection::IsTempName(std::string_view name) const {
    return platform::IsReplaceTempName(name);
}

bool TFileSelection::MatchesMasks(std::string_view name) const {
    return text::MatchesAnyMask(name, request_.Masks);
}

} // namespace engine
