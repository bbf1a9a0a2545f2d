#pragma once

#include "model/UTResultObject.h"

#include <cstdint>
#include <string>

namespace model {

// One folder the walk entered.
class TFolder : public TResultObject {
public:
    std::string FolderName; // as the walk entered it: the start path, or a sub-folder's own name
    std::string Directory;  // absolute, with a trailing separator
    std::int32_t OccurenceCount = 0;
    std::int32_t FileCount = 0;
    // A run that lists files without searching them counts files only.
    bool FilesOnly = false;
};

} // namespace model
