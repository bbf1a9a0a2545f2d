#include "settings/UMainSettings.h"

#include <algorithm>

namespace settings {

namespace {

std::string HistoryKey(const std::string& prefix, size_t index) {
    return prefix + std::to_string(index);
}

} // namespace

void FillDefaultLists(TvtRegVal& store) {
    store.SetBooleans({"RecurseDirs=1", "SearchForText=1", "chkRegex=0", "ReplaceWith=0",
                       "Maximized=0", "MatchCase=0", "soLineByLine=0", "ShowPreview=0",
                       "soSkipBinary=0", "soStopOnError=0"});
    store.SetFloats({});
    store.SetIntegers(
        {"soArchive=0", "soReadOnly=0", "soSystem=0", "soHidden=0", "pnlLeftWidth=350"});
    std::vector<std::string> strings = {
        "Directory=", "FileMask=*.*", "SearchText=",   "ReplaceWith=",
        "SaveDir=",   "FolderPath=",  "EditorCommand="};
    for (size_t i = 0; i < kHistorySize; ++i) {
        strings.push_back(HistoryKey(kMaskHistoryPrefix, i) + (i == 0 ? "=*.*" : "="));
    }
    for (const char* prefix : {kSearchHistoryPrefix, kReplaceHistoryPrefix}) {
        for (size_t i = 0; i < kHistorySize; ++i) {
            strings.push_back(HistoryKey(prefix, i) + "=");
        }
    }
    // Later additions go last, so a file keeps the order an earlier version wrote.
    for (const char* key :
         {"soModifiedFrom=", "soModifiedBefore=", "soMinSize=", "soMaxSize=", "soExcludeDirs="}) {
        strings.push_back(key);
    }
    store.SetStrings(std::move(strings));
}

void ConfigureMainStore(TvtRegVal& store) {
    store.IniFileName = "Fernsweep.ini";
    store.IniSection.clear();
    store.UseStartUpDir = true;
    store.UseRegistry = false;
    FillDefaultLists(store);
}

void AddToHistory(std::vector<std::string>& items, const std::string& text) {
    const auto found = std::find(items.begin(), items.end(), text);
    if (found != items.end()) {
        std::rotate(items.begin(), found, found + 1);
        return;
    }
    items.insert(items.begin(), text);
    if (items.size() > kHistorySize) {
        items.resize(kHistorySize);
    }
}

std::vector<std::string> LoadHistory(const TvtRegVal& store, const std::string& prefix) {
    std::vector<std::string> items;
    for (size_t i = 0; i < kHistorySize; ++i) {
        std::string entry = store.GetString(HistoryKey(prefix, i));
        if (!entry.empty()) {
            items.push_back(std::move(entry));
        }
    }
    return items;
}

void SaveHistory(TvtRegVal& store, const std::string& prefix,
                 const std::vector<std::string>& items) {
    // The store holds ten keys per list; a longer list (which AddToHistory never makes)
    // would otherwise fail the whole save at its eleventh entry.
    const size_t count = std::min(items.size(), kHistorySize);
    for (size_t i = 0; i < count; ++i) {
        store.SetString(HistoryKey(prefix, i), items[i]);
    }
}

namespace {

// Limits are stored as text ("2024-01-31", "10K"; beyond what a stored integer holds); an
// empty or unreadable text is no limit.
std::string TimeText(const std::optional<std::int64_t>& time) {
    return time ? FormatLocalTime(*time) : std::string();
}

std::string SizeText(const std::optional<std::int64_t>& size) {
    return size ? FormatByteSize(*size) : std::string();
}

} // namespace

void LoadSearchOptions(const TvtRegVal& store, TSearchOptions& options) {
    options.SetArchive(LowInt32(store.GetInteger("soArchive")));
    options.SetReadOnly(LowInt32(store.GetInteger("soReadOnly")));
    options.SetSystem(LowInt32(store.GetInteger("soSystem")));
    options.SetHidden(LowInt32(store.GetInteger("soHidden")));
    options.SetLineByLine(store.GetBoolean("soLineByLine"));
    options.ModifiedFrom = ParseLocalTime(store.GetString("soModifiedFrom"));
    options.ModifiedBefore = ParseLocalTime(store.GetString("soModifiedBefore"));
    options.MinSize = ParseByteSize(store.GetString("soMinSize"));
    options.MaxSize = ParseByteSize(store.GetString("soMaxSize"));
    options.ExcludeDirs = store.GetString("soExcludeDirs");
    options.SkipBinary = store.GetBoolean("soSkipBinary");
    options.StopOnError = store.GetBoolean("soStopOnError");
}

void SaveSearchOptions(TvtRegVal& store, const TSearchOptions& options) {
    store.SetInteger("soArchive", options.Archive());
    store.SetInteger("soReadOnly", options.ReadOnly());
    store.SetInteger("soSystem", options.System());
    store.SetInteger("soHidden", options.Hidden());
    store.SetBoolean("soLineByLine", options.LineByLine());
    store.SetString("soModifiedFrom", TimeText(options.ModifiedFrom));
    store.SetString("soModifiedBefore", TimeText(options.ModifiedBefore));
    store.SetString("soMinSize", SizeText(options.MinSize));
    store.SetString("soMaxSize", SizeText(options.MaxSize));
    store.SetString("soExcludeDirs", options.ExcludeDirs);
    store.SetBoolean("soSkipBinary", options.SkipBinary);
    store.SetBoolean("soStopOnError", options.StopOnError);
}

} // namespace settings
