#pragma once

#include "model/UTResultObject.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace model {

// One folder the walk entered.
class TFolder : public TResultObject {
public:
    std::string FolderName; // as the walk entered it: the start path, or a sub-folder's own name
    std::int32_t OccurenceCount = 0;
    std::int32_t FileCount = 0;
    // A run that lists files without searching them counts files only.
    bool FilesOnly = false;

    // Absolute, with a trailing separator.
    std::string Directory() const;
    size_t DirectoryLength() const { return length_; }
    void SetDirectory(std::string directory);
    // Sets it to `parent`'s followed by `name` and a separator. A folder's path begins with its
    // parent's, so the text is shared where it can be: down a chain of first sub-folders it is
    // kept once, cut at each folder's length, rather than once per level (which would make a
    // walk 10,000 folders deep hold some 100 MB of paths).
    void SetDirectoryBelow(const TFolder& parent, std::string_view name);

private:
    std::shared_ptr<std::string> path_; // begins with this folder's path
    size_t length_ = 0;
};

} // namespace model
