// What a replacement tells whoever keeps the record of its writes, so that they can be undone
// later: where the old content of each file is to be kept before it is written, and each file
// once written. The engine knows nothing else of where or how the record is kept.
#pragma once

#include "platform/UPlatform.h"

#include <cstdint>
#include <string>

namespace engine {

// A file whose new content is in place.
struct TWrittenFile {
    std::string Path; // full path
    std::string OldHash;
    std::string NewHash;
    std::int64_t OldSize = 0;
    platform::TFileMeta Meta; // the original's mode, owner and times
};

class TReplaceJournal {
public:
    virtual ~TReplaceJournal() = default;
    // Where the replacement keeps a file's old content, whose hash is `hash`, as it writes the
    // file (the keep path of platform::ReplaceFileContent): called from several threads at once.
    // A failure throws, and the file is then not written.
    virtual std::string KeepPath(const std::string& hash) = 0;
    // A file's old content could not be kept there, so the file was not written: throws the
    // journal's error, which ends the run.
    [[noreturn]] virtual void KeepFailed(const std::string& reason) = 0;
    // Called on the walk's thread once a file holds its new content.
    virtual void Written(const TWrittenFile& file) = 0;
};

} // namespace engine
