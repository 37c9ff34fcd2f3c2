#include "journals/LineSource.h"

#include "text/Errors.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace orva {

namespace {

std::size_t findByte(const char* data, std::size_t from, std::size_t end, char c) {
    const void* hit = std::memchr(data + from, c, end - from);
    return hit ? static_cast<std::size_t>(static_cast<const char*>(hit) - data) : end;
}

[[noreturn]] void failOn(const std::string& what, const std::string& path, int error) {
    throw FileError(what + " " + path + ": " + std::strerror(error));
}

} // namespace

std::size_t BreakFinder::find(const char* data, std::size_t from, std::size_t end) {
    if (!crKnown_ || cr_ < from)
        cr_ = findByte(data, from, end, '\r'), crKnown_ = true;
    if (!lfKnown_ || lf_ < from)
        lf_ = findByte(data, from, end, '\n'), lfKnown_ = true;
    return cr_ < lf_ ? cr_ : lf_;
}

MemoryLineSource::MemoryLineSource(std::string_view text) : text_(text), size_(text.size()) {
    if (!text_.empty())
        text_ = text_.substr(0, findByte(text_.data(), 0, text_.size(), '\0'));
}

bool MemoryLineSource::next(std::string_view& line) {
    const std::size_t size = text_.size();
    if (position_ >= size)
        return false;
    const std::size_t end = finder_.find(text_.data(), position_, size);
    line = text_.substr(position_, end - position_);
    position_ = end + 1;
    if (end < size && text_[end] == '\r' && position_ < size && text_[position_] == '\n')
        ++position_;
    return true;
}

FileLineSource::FileLineSource(const std::string& path, std::size_t chunkSize)
    : path_(path), chunkSize_(chunkSize ? chunkSize : 1) {
    fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd_ < 0)
        failOn("cannot open", path, errno);
    struct stat info {};
    if (::fstat(fd_, &info) == 0) {
        if (S_ISDIR(info.st_mode)) {
            ::close(fd_);
            fd_ = -1;
            failOn("cannot read", path, EISDIR);
        }
        if (info.st_size > 0)
            fileSize_ = static_cast<std::size_t>(info.st_size);
    }
}

FileLineSource::~FileLineSource() {
    if (fd_ >= 0)
        ::close(fd_);
}

void FileLineSource::fill() {
    // Keep the unread rest at the front, then read one more chunk after it.
    if (position_ > 0) {
        std::memmove(&buffer_[0], buffer_.data() + position_, end_ - position_);
        end_ -= position_;
        position_ = 0;
    }
    if (buffer_.size() < end_ + chunkSize_)
        buffer_.resize(end_ + chunkSize_);
    ssize_t got;
    do
        got = ::read(fd_, &buffer_[end_], chunkSize_);
    while (got < 0 && errno == EINTR);
    if (got < 0)
        failOn("cannot read", path_, errno);
    if (got == 0) {
        atEnd_ = true;
    } else {
        const std::size_t newEnd = end_ + static_cast<std::size_t>(got);
        const std::size_t nul = findByte(buffer_.data(), end_, newEnd, '\0');
        atEnd_ = nul < newEnd; // a NUL ends the text
        end_ = nul;
    }
    finder_.reset();
}

bool FileLineSource::next(std::string_view& line) {
    for (;;) {
        if (position_ == end_) {
            if (atEnd_)
                return false;
            fill();
            continue;
        }
        const std::size_t lineEnd = finder_.find(buffer_.data(), position_, end_);
        // A line not yet whole, or a CR whose LF may be in the next chunk: read on.
        if (!atEnd_ && (lineEnd == end_ || (buffer_[lineEnd] == '\r' && lineEnd + 1 == end_))) {
            fill();
            continue;
        }
        line = std::string_view(buffer_.data() + position_, lineEnd - position_);
        position_ = lineEnd < end_ ? lineEnd + 1 : end_;
        if (lineEnd < end_ && buffer_[lineEnd] == '\r' && position_ < end_ && buffer_[position_] == '\n')
            ++position_;
        return true;
    }
}

bool FileLineSource::hasMore() {
    while (position_ == end_ && !atEnd_)
        fill();
    return position_ < end_;
}

} // namespace orva
