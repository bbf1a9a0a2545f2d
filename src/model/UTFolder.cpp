#include "model/UTFolder.h"

#include "platform/UPlatform.h"

#include <utility>

namespace model {

std::string TFolder::Directory() const {
    return path_ ? path_->substr(0, length_) : std::string();
}

void TFolder::SetDirectory(std::string directory) {
    length_ = directory.size();
    path_ = std::make_shared<std::string>(std::move(directory));
}

void TFolder::SetDirectoryBelow(const TFolder& parent, std::string_view name) {
    if (parent.path_ && parent.path_->size() == parent.length_) {
        // Nothing was added after the parent's path yet: this folder's path continues it.
        path_ = parent.path_;
    } else {
        path_ = std::make_shared<std::string>(parent.Directory());
    }
    path_->append(name);
    path_->push_back(platform::PathDelim);
    length_ = path_->size();
}

} // namespace model
