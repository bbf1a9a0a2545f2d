// Small POSIX helpers shared by the platform layer's sources; not part of its API.
#pragma once

#include <algorithm>
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

// Reads `fd` to its end into `storage` (grown as needed, never cleared), giving the byte count in
// `got`; false with errno set when a read fails. For a regular file of `expected` bytes it asks
// for one byte more: a shorter answer is the file's end, so no probe read is needed, and a file
// that grew meanwhile fills the extra byte and reading goes on.
inline bool ReadAllInto(int fd, std::string& storage, size_t expected, bool regular, size_t& got) {
    const size_t want = expected + 1;
    if (storage.size() < want) {
        storage.resize(std::max(want, storage.size() + storage.size() / 2));
    }
    got = 0;
    for (;;) {
        if (got == storage.size()) {
            storage.resize(storage.size() * 2 + 4096);
        }
        const ssize_t n = ::read(fd, storage.data() + got, storage.size() - got);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        if (n == 0) {
            return true;
        }
        got += static_cast<size_t>(n);
        if (regular && got < want && got == expected) {
            return true;
        }
    }
}

// The attribute bits of the entry `name`, whose lstat is `lst`, reached as `rel` from `dirfd`.
int EntryAttributes(const struct stat& lst, int dirfd, const char* rel, const std::string& name);

} // namespace platform::posix
