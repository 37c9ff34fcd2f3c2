#include "text/LineFile.h"

#include "text/Errors.h"
#include "text/LineSource.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace orva {

namespace {

constexpr std::size_t kWriteBlock = 1 << 20;

// A temporary file beside the target that becomes the target on commit(); dropped uncommitted,
// it is removed and the target stays as it was.
class AtomicFile {
public:
    explicit AtomicFile(const std::string& path) : path_(path), temporary_(path + ".XXXXXX") {
        fd_ = ::mkstemp(temporary_.data());
        if (fd_ < 0)
            throwFileError(FileAction::Write, path_, errno);
        // Keep the permissions of the file we replace; a new file gets the usual 0666 less umask.
        struct stat old {};
        if (::stat(path_.c_str(), &old) == 0) {
            ::fchmod(fd_, old.st_mode & 07777);
        } else {
            const mode_t mask = ::umask(0);
            ::umask(mask);
            ::fchmod(fd_, 0666 & ~mask);
        }
    }
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;
    ~AtomicFile() {
        if (fd_ >= 0)
            ::close(fd_);
        if (!committed_)
            ::unlink(temporary_.c_str());
    }

    void write(std::string_view bytes) {
        std::size_t written = 0;
        while (written < bytes.size()) {
            const ssize_t put = ::write(fd_, bytes.data() + written, bytes.size() - written);
            if (put < 0) {
                if (errno == EINTR)
                    continue;
                throwFileError(FileAction::Write, path_, errno);
            }
            written += static_cast<std::size_t>(put);
        }
    }

    void commit() {
        if (::fsync(fd_) != 0)
            throwFileError(FileAction::Write, path_, errno);
        const int closed = ::close(fd_);
        fd_ = -1;
        if (closed != 0)
            throwFileError(FileAction::Write, path_, errno);
        if (::rename(temporary_.c_str(), path_.c_str()) != 0)
            throwFileError(FileAction::Write, path_, errno);
        committed_ = true;
    }

private:
    std::string path_;
    std::string temporary_;
    int fd_ = -1;
    bool committed_ = false;
};

} // namespace

void throwFileError(FileAction action, const std::string& path, int error) {
    const char* what = action == FileAction::Open   ? "не може да се отвори"
                       : action == FileAction::Read ? "не може да се прочете"
                                                    : "не може да се запише";
    throw FileError(std::string(what) + " " + path + ": " + std::strerror(error));
}

int openFileForReading(const std::string& path, std::size_t& size) {
    size = 0;
    // O_NONBLOCK: opening a FIFO must not wait for a writer; it is refused below anyway.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        throwFileError(FileAction::Open, path, errno);
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        const int error = errno;
        ::close(fd);
        throwFileError(FileAction::Read, path, error);
    }
    if (S_ISDIR(info.st_mode)) {
        ::close(fd);
        throwFileError(FileAction::Read, path, EISDIR);
    }
    // A FIFO would block the reader for ever and a device (a link to /dev/zero) never ends.
    if (!S_ISREG(info.st_mode)) {
        ::close(fd);
        throw FileError("не е обикновен файл: " + path);
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    if (info.st_size > 0)
        size = static_cast<std::size_t>(info.st_size);
    return fd;
}

std::vector<std::string> splitLines(std::string_view text) {
    std::vector<std::string> lines;
    MemoryLineSource source(text);
    std::string_view line;
    while (source.next(line))
        lines.emplace_back(line);
    return lines;
}

std::string joinLinesCrLf(const std::vector<std::string>& lines) {
    std::size_t total = 0;
    for (const auto& line : lines)
        total += line.size() + 2;
    std::string text;
    text.reserve(total);
    for (const auto& line : lines) {
        text += line;
        text += "\r\n";
    }
    return text;
}

std::string readFileBytes(const std::string& path) {
    std::size_t size = 0;
    const int fd = openFileForReading(path, size);
    std::string bytes;
    bytes.reserve(size);
    char buffer[1 << 16];
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got == 0)
            break;
        if (got < 0) {
            if (errno == EINTR)
                continue;
            const int error = errno;
            ::close(fd);
            throwFileError(FileAction::Read, path, error);
        }
        bytes.append(buffer, static_cast<std::size_t>(got));
    }
    ::close(fd);
    return bytes;
}

std::vector<std::string> readLinesFile(const std::string& path) { return splitLines(readFileBytes(path)); }

void writeFileAtomic(const std::string& path, std::string_view bytes) {
    AtomicFile file(path);
    file.write(bytes);
    file.commit();
}

void writeLinesFile(const std::string& path, const std::vector<std::string>& lines) {
    AtomicFile file(path);
    std::string block;
    block.reserve(kWriteBlock);
    for (const std::string& line : lines) {
        block += line;
        block += "\r\n";
        if (block.size() >= kWriteBlock) {
            file.write(block);
            block.clear();
        }
    }
    file.write(block);
    file.commit();
}

} // namespace orva
