#pragma once

// A chain of folders nested beyond PATH_MAX, made and removed through descriptors (no path of it can
// be opened whole), for the walks that must report what they cannot reach.

#include <climits>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

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
    ~DeepFolder() {
        const int fd = ::open(parent_.c_str(), O_RDONLY | O_DIRECTORY);
        if (fd >= 0) {
            removeAt(fd, name());
            ::close(fd);
        }
    }
    DeepFolder(const DeepFolder&) = delete;
    DeepFolder& operator=(const DeepFolder&) = delete;

    // The first folder of the chain.
    std::string top() const { return parent_ + "/" + name(); }

private:
    static std::string name() { return std::string(255, 'd'); }

    static void removeAt(int parentFd, const std::string& entry) {
        const int fd = ::openat(parentFd, entry.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW);
        if (fd >= 0) {
            if (DIR* folder = ::fdopendir(::dup(fd))) {
                std::vector<std::string> names;
                while (const dirent* item = ::readdir(folder)) {
                    if (std::strcmp(item->d_name, ".") != 0 && std::strcmp(item->d_name, "..") != 0)
                        names.push_back(item->d_name);
                }
                ::closedir(folder);
                for (const std::string& child : names)
                    removeAt(fd, child);
            }
            ::close(fd);
            ::unlinkat(parentFd, entry.c_str(), AT_REMOVEDIR);
        } else {
            ::unlinkat(parentFd, entry.c_str(), 0);
        }
    }

    std::string parent_;
};

} // namespace orva::fixture
