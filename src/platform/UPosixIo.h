// Small POSIX helpers shared by the platform layer's sources; not part of its API.
#pragma once

#include <cerrno>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

namespace platform::posix {

// Writes all of `data`, going on after short writes and interrupted calls.
inline bool WriteAll(int fd, std::string_view data) {
    size_t done = 0;
    while (done < data.size()) {
        const ssize_t n = ::write(fd, data.data() + done, data.size() - done);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}

// The attribute bits of the entry `name`, whose lstat is `lst`, reached as `rel` from `dirfd`.
int EntryAttributes(const struct stat& lst, int dirfd, const char* rel, const std::string& name);

} // namespace platform::posix
