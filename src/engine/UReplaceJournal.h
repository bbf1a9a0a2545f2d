// What a replacement tells whoever keeps the record of its writes, so that they can be undone
// later: the old content of each file before it is written, and each file once written. The
// engine knows nothing of where or how the record is kept.
#pragma once

#include "platform/UPlatform.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace engine {

// A file whose new content is in place.
struct TWrittenFile {
    std::string Path; // full path
    std::string OldHash;
    std::string NewHash;
    std::int64_t OldSize = 0;
    platform::TFileMeta Meta; // the original's mode, owner and times
};

// Receives one file's old content a piece at a time; Finish names it by its hash.
class TKeptContent {
public:
    virtual ~TKeptContent() = default;
    virtual void Append(std::string_view data) = 0;
    virtual void Finish(const std::string& hash) = 0;
};

class TReplaceJournal {
public:
    virtual ~TReplaceJournal() = default;
    // Keeps a file's old content before the file is written: called from several threads at
    // once. A failure throws, and the file is then not written.
    virtual std::unique_ptr<TKeptContent> KeepContent() = 0;
    // Called on the walk's thread once a file holds its new content.
    virtual void Written(const TWrittenFile& file) = 0;
};

} // namespace engine
