#pragma once

#include "model/UTFileChange.h"
#include "model/UTResultObject.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace model {

// One found file.
class TFile : public TResultObject {
public:
    std::string FullPath;
    // Set for another name of a file the run searched already: that file's full path.
    std::string SameFileAs;
    std::int32_t OccurenceCount = 0;
    std::int32_t Attributes = 0;
    // Found by a preview: what a replacement would do to the file.
    std::unique_ptr<TFileChange> Change;

    // The last part of the full path: kept once, as every found file's name is.
    std::string_view FileName() const;
    bool IsHidden() const { return (Attributes & 0x02) != 0; }
    bool IsSystem() const { return (Attributes & 0x04) != 0; }
    const std::string& ReportLine() const { return FullPath; }
};

} // namespace model
