// Test helper: a file too deep to open by its absolute path.
#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace testsupport {

// A chain of `levels` folders of 250-character names under the existing folder `folder`, with
// `file` at its end: the file's absolute path is longer than any path the system opens. Built
// relative to each new folder, since no single path reaches that deep.
inline void MakeDeepChain(const std::string& folder, int levels, const std::string& file) {
    int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY);
    ASSERT_GE(fd, 0);
    const std::string name(250, 'd');
    for (int i = 0; i < levels; ++i) {
        ASSERT_EQ(::mkdirat(fd, name.c_str(), 0755), 0);
        const int next = ::openat(fd, name.c_str(), O_RDONLY | O_DIRECTORY);
        ::close(fd);
        ASSERT_GE(next, 0);
        fd = next;
    }
    const int f = ::openat(fd, file.c_str(), O_WRONLY | O_CREAT, 0644);
    ASSERT_GE(f, 0);
    ASSERT_EQ(::write(f, "x\n", 2), 2);
    ::close(f);
    ::close(fd);
}

} // namespace testsupport
