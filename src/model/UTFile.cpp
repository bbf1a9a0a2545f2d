#include "model/UTFile.h"

#include "platform/UPlatform.h"

namespace model {

std::string_view TFile::FileName() const {
    const std::string_view path = FullPath;
    // Windows takes '/' for a separator too, and no name holds either.
    const size_t slash = path.find_last_of(platform::PathDelim == '\\' ? "\\/" : "/");
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

} // namespace model
