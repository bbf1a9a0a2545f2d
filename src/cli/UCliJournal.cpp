#include "cli/UCliJournal.h"

#include "operations/UUndoJournal.h"
#include "platform/UPlatform.h"
#include "text/UTextHelpers.h"

#include <ctime>
#include <string_view>

namespace cli {

namespace {

void Out(std::string_view line) {
    platform::WriteStdStream(platform::TStdStream::Output, std::string(line) + "\n");
}

void Err(std::string_view line) {
    platform::WriteStdStream(platform::TStdStream::Error,
                             "fernsweep-cli: " + std::string(line) + "\n");
}

std::string LocalTime(std::int64_t when) {
    const auto t = static_cast<std::time_t>(when);
    std::tm tm{};
#ifdef _WIN32
    localtime_s(&tm, &t);
#else
    localtime_r(&t, &tm);
#endif
    char buf[32];
    std::strftime(buf, sizeof buf, "%Y-%m-%d %H:%M:%S", &tm);
    return buf;
}

} // namespace

int UndoReplacement(const std::string& id) {
    operations::TUndoJournal journal;
    std::string which = id;
    if (which.empty()) {
        const auto last = journal.Last();
        if (!last) {
            Err("there is no replacement to undo");
            return 2;
        }
        which = last->Id;
    }
    operations::TUndoResult result;
    try {
        result = journal.Undo(which);
    } catch (const std::exception& e) {
        Err(e.what());
        return 2;
    }
    for (const std::string& path : result.Restored) {
        Out(path);
    }
    for (const std::string& path : result.LeftAlone) {
        Err(path + ": changed since the replacement, left alone");
    }
    for (const std::string& failure : result.Failed) {
        Err(failure);
    }
    Err("Undid " + which + ": " +
        text::PluralCount(static_cast<int>(result.Restored.size()), "file") + " given back" +
        (result.LeftAlone.empty()
             ? std::string()
             : ", " + text::PluralCount(static_cast<int>(result.LeftAlone.size()), "file") +
                   " left alone") +
        (result.Failed.empty() ? std::string()
                               : ", " + std::to_string(result.Failed.size()) + " failed") +
        ".");
    return result.LeftAlone.empty() && result.Failed.empty() ? 0 : 2;
}

int ListJournal() {
    const operations::TUndoJournal journal;
    const auto entries = journal.Entries();
    for (const operations::TJournalEntry& e : entries) {
        Out(e.Id + "  " + LocalTime(e.When) + "  " +
            text::PluralCount(static_cast<int>(e.Files.size()), "file") + "  " + e.Request +
            (e.Undone ? "  (undone)" : ""));
    }
    return entries.empty() ? 1 : 0;
}

} // namespace cli
