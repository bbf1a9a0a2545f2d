#include "model/UTFile.h"

#include "platform/UPlatform.h"

namespace model {

std::string_view TFile::FileName() const {
    const std::string_view path = FullPath;
    const size_t slash = path.rfind(platform::PathDelim);
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

} // namespace model
