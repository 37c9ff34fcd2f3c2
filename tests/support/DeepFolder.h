#pragma once

// A chain of folders nested beyond PATH_MAX, made through descriptors (no path of it can be opened
// whole), for the walks that must report what they cannot reach.

#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace orva::fixture {

class DeepFolder {
public:
    // Under `parent` (which exists): `parent`/<255 × 'd'>/<255 × 'd'>/... until the path is longer than
    // PATH_MAX, with an empty file `leafFile` in the last folder when given.
    explicit DeepFolder(const std::string& parent, const std::string& leafFile = "") : parent_(parent) {
        int fd = ::open(parent.c_str(), O_RDONLY | O_DIRECTORY);
        std::size_t length = parent.size();
        while (fd >= 0 && length <= PATH_MAX) {
            ::mkdirat(fd, name().c_str(), 0700);
            const int next = ::openat(fd, name().c_str(), O_RDONLY | O_DIRECTORY);
            ::close(fd);
            fd = next;
            length += 1 + name().size();
        }
        if (fd >= 0 && !leafFile.empty())
            ::close(::openat(fd, leafFile.c_str(), O_WRONLY | O_CREAT, 0600));
        if (fd >= 0)
            ::close(fd);
    }
    ~DeepFolder() { std::system(("rm -rf '" + top() + "'").c_str()); } // rm walks past PATH_MAX
    DeepFolder(const DeepFolder&) = delete;
    DeepFolder& operator=(const DeepFolder&) = delete;

    // The first folder of the chain.
    std::string top() const { return parent_ + "/" + name(); }

private:
    static std::string name() { return std::string(255, 'd'); }

    std::string parent_;
};

} // namespace orva::fixture
