#include "cli/Output.h"

#include "cli/Options.h"
#include "text/Errors.h"
#include "text/Paths.h"

#include <cerrno>
#include <cstdlib>
#include <dirent.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

namespace orva::cli {

namespace {

constexpr std::size_t kBlock = 1 << 16;

// Links followed within links before the rest is left to the kernel's own limit.
constexpr int kLinkDepth = 40;

std::string withoutTrailingSlashes(std::string path) {
    while (path.size() > 1 && path.back() == '/')
        path.pop_back(); // "DIR/" would look through a link at DIR
    return path;
}

bool trustedOwner(uid_t owner) {
    return owner == ::geteuid() || owner == 0;
}

std::string realPath(const std::string& path) {
    char* resolved = ::realpath(path.c_str(), nullptr);
    if (resolved == nullptr)
        return {};
    std::string result = resolved;
    std::free(resolved);
    return result;
}

void refuseForeignLinksFrom(const std::string& spelled, const std::string& start, int depth) {
    std::string path = withoutTrailingSlashes(start);
    for (;;) {
        struct stat info {};
        if (::lstat(path.c_str(), &info) == 0) {
            if (S_ISLNK(info.st_mode)) {
                if (!trustedOwner(info.st_uid))
                    throw Failure(
                        kUsage,
                        "папката " +
                            (path == withoutTrailingSlashes(spelled) ? spelled : path + " в пътя на " + spelled) +
                            " е символна връзка на друг потребител (uid " + std::to_string(info.st_uid) +
                            "); не пиша през нея");
                // Our own link: the path goes on where it points, then above the link as written.
                std::string target(PATH_MAX, '\0');
                const ssize_t length = ::readlink(path.c_str(), target.data(), target.size());
                if (length > 0 && depth < kLinkDepth) {
                    target.resize(static_cast<std::size_t>(length));
                    refuseForeignLinksFrom(spelled, target.front() == '/' ? target : joinPath(folderOf(path), target),
                                           depth + 1);
                }
            } else if (S_ISDIR(info.st_mode) && trustedOwner(info.st_uid) && fileName(path) != "." &&
                       fileName(path) != "..") {
                return; // what lies above a folder of ours is no one else's to change under it
            }
        }
        if (path == "/" || path == ".")
            return;
        path = withoutTrailingSlashes(folderOf(path));
    }
}

} // namespace

void AtomicFileBuffer::write(std::string_view bytes) {
    try {
        file_.write(bytes);
    } catch (const Error& failure) {
        throw Failure(kUsage, failure.what());
    }
}

void refuseForeignLinks(const std::string& path) {
    refuseForeignLinksFrom(path, path, 0);
}

OutputGuard::OutputGuard(const std::vector<std::string>& dataFolders) {
    for (const std::string& folder : dataFolders) {
        struct stat info {};
        if (::stat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode))
            continue;
        folders_.emplace(Identity{info.st_dev, info.st_ino}, folder);
        if (DIR* directory = ::opendir(folder.c_str())) {
            while (const dirent* entry = ::readdir(directory)) {
                struct stat file {};
                if (::stat(joinPath(folder, entry->d_name).c_str(), &file) == 0 && S_ISREG(file.st_mode))
                    files_.insert({file.st_dev, file.st_ino});
            }
            ::closedir(directory);
        }
        // The folder and every one above it, as the kernel resolves them: an output folder among them
        // holds this data folder in its tree.
        const std::string real = realPath(folder);
        for (std::string path = real; !path.empty(); path = folderOf(path)) {
            struct stat above {};
            if (::stat(path.c_str(), &above) == 0)
                holders_.emplace(Identity{above.st_dev, above.st_ino}, folder);
            if (path == "/")
                break;
        }
    }
}

void OutputGuard::refuseInsideData(const std::string& folder, const std::string& output) const {
    // The nearest folder that already exists: what is still to be made lies where it lies.
    std::string existing = withoutTrailingSlashes(folder);
    struct stat info {};
    while (::stat(existing.c_str(), &info) != 0 && existing != "/" && existing != ".")
        existing = withoutTrailingSlashes(folderOf(existing));
    const std::string real = realPath(existing);
    for (std::string path = real; !path.empty(); path = folderOf(path)) {
        if (::stat(path.c_str(), &info) == 0) {
            const auto data = folders_.find({info.st_dev, info.st_ino});
            if (data != folders_.end())
                throw Failure(kUsage,
                              output + " е в папката с данни " + data->second + "; в папка с данни не се записва нищо");
        }
        if (path == "/")
            break;
    }
}

void OutputGuard::checkFile(const std::string& path) const {
    struct stat info {};
    if (::stat(path.c_str(), &info) == 0 && files_.count({info.st_dev, info.st_ino}) != 0)
        throw Failure(kUsage, path + " е файл с данни на период; не пиша върху него");
    refuseForeignLinks(folderOf(path));
    refuseInsideData(folderOf(path), path);
}

void OutputGuard::checkFolder(const std::string& folder) const {
    refuseForeignLinks(folder);
    refuseInsideData(folder, folder);
    struct stat info {};
    if (::stat(folder.c_str(), &info) != 0)
        return;
    const auto data = holders_.find({info.st_dev, info.st_ino});
    if (data != holders_.end())
        throw Failure(kUsage, "папката " + folder + " съдържа папката с данни " + data->second +
                                  "; изходът не може да е над данните");
}

DescriptorBuffer::DescriptorBuffer(int fd) : fd_(fd) {
    buffer_.reserve(kBlock);
}

DescriptorBuffer::~DescriptorBuffer() {
    drain();
}

bool DescriptorBuffer::drain() {
    std::size_t written = 0;
    while (error_ == 0 && written < buffer_.size()) {
        const ssize_t put = ::write(fd_, buffer_.data() + written, buffer_.size() - written);
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0)
            error_ = put < 0 ? errno : EIO;
        else
            written += static_cast<std::size_t>(put);
    }
    // What could not be written is dropped: a later write must not repeat part of it.
    buffer_.clear();
    return error_ == 0;
}

DescriptorBuffer::int_type DescriptorBuffer::overflow(int_type c) {
    if (traits_type::eq_int_type(c, traits_type::eof()))
        return sync() == 0 ? traits_type::not_eof(c) : traits_type::eof();
    buffer_ += traits_type::to_char_type(c);
    if (buffer_.size() >= kBlock && !drain())
        return traits_type::eof();
    return error_ == 0 ? c : traits_type::eof();
}

std::streamsize DescriptorBuffer::xsputn(const char* bytes, std::streamsize count) {
    if (error_ != 0)
        return 0;
    buffer_.append(bytes, static_cast<std::size_t>(count));
    if (buffer_.size() >= kBlock && !drain())
        return 0;
    return count;
}

int DescriptorBuffer::sync() {
    return drain() ? 0 : -1;
}

} // namespace orva::cli
