#include "text/LineSource.h"

#include "text/LineFile.h"

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

// The line from `position` to the break at `lineEnd` (or the end of the text), and where the next
// line starts: after the break, a CR LF pair being one break.
std::size_t takeLine(const char* data, std::size_t position, std::size_t lineEnd, std::size_t end,
                     std::string_view& line) {
    line = std::string_view(data + position, lineEnd - position);
    if (lineEnd >= end)
        return end;
    std::size_t next = lineEnd + 1;
    if (data[lineEnd] == '\r' && next < end && data[next] == '\n')
        ++next;
    return next;
}

bool isBreak(char c) {
    return c == '\r' || c == '\n';
}

} // namespace

void LinesAfterNul::feed(std::string_view bytes) {
    for (const char c : bytes) {
        if (afterCr_ && c == '\n') { // the LF of a CR LF pair
            afterCr_ = false;
            continue;
        }
        afterCr_ = c == '\r';
        if (lineStarts_)
            ++count_;
        lineStarts_ = isBreak(c);
    }
}

std::size_t BreakFinder::find(const char* data, std::size_t from, std::size_t end) {
    if (!crKnown_ || cr_ < from)
        cr_ = findByte(data, from, end, '\r'), crKnown_ = true;
    if (!lfKnown_ || lf_ < from)
        lf_ = findByte(data, from, end, '\n'), lfKnown_ = true;
    return cr_ < lf_ ? cr_ : lf_;
}

MemoryLineSource::MemoryLineSource(std::string_view text) : whole_(text), text_(text), size_(text.size()) {
    if (!text_.empty())
        text_ = text_.substr(0, findByte(text_.data(), 0, text_.size(), '\0'));
}

bool MemoryLineSource::next(std::string_view& line) {
    const std::size_t size = text_.size();
    if (position_ >= size)
        return false;
    position_ = takeLine(text_.data(), position_, finder_.find(text_.data(), position_, size), size, line);
    ++linesOut_;
    return true;
}

std::optional<LineSource::NulStop> MemoryLineSource::nulStop() {
    if (text_.size() == whole_.size())
        return std::nullopt;
    const bool opensLine = text_.empty() || isBreak(text_.back());
    LinesAfterNul after;
    after.feed(whole_.substr(text_.size() + 1));
    return NulStop{linesOut_ + (opensLine ? 1 : 0), after.count()};
}

FileLineSource::FileLineSource(const std::string& path, std::size_t chunkSize)
    : path_(path), chunkSize_(chunkSize ? chunkSize : 1) {
    fd_ = openFileForReading(path, fileSize_);
}

FileLineSource::FileLineSource(const UniqueFd& file, const std::string& path, std::size_t chunkSize)
    : path_(path), chunkSize_(chunkSize ? chunkSize : 1) {
    fd_ = UniqueFd(::fcntl(file.get(), F_DUPFD_CLOEXEC, 0));
    struct stat info {};
    if (!fd_ || ::fstat(fd_.get(), &info) != 0)
        throwFileError(FileAction::Read, path, errno);
    fileSize_ = info.st_size > 0 ? static_cast<std::size_t>(info.st_size) : 0;
}

void FileLineSource::fill() {
    // Keep the unread rest at the front, then read one more chunk after it.
    if (end_ > 0)
        lastByte_ = buffer_[end_ - 1];
    if (position_ > 0) {
        std::memmove(&buffer_[0], buffer_.data() + position_, end_ - position_);
        end_ -= position_;
        position_ = 0;
    }
    if (buffer_.size() < end_ + chunkSize_)
        buffer_.resize(end_ + chunkSize_);
    const std::size_t got = readAt(&buffer_[end_], chunkSize_);
    if (got == 0) {
        atEnd_ = true;
    } else {
        const std::size_t newEnd = end_ + got;
        const std::size_t nul = findByte(buffer_.data(), end_, newEnd, '\0');
        atEnd_ = nul < newEnd; // a NUL ends the text
        if (atEnd_) {
            nulOpensLine_ = isBreak(nul > 0 ? buffer_[nul - 1] : lastByte_);
            afterNul_.feed(std::string_view(buffer_.data() + nul + 1, newEnd - nul - 1));
        }
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
        position_ = takeLine(buffer_.data(), position_, lineEnd, end_, line);
        ++linesOut_;
        return true;
    }
}

bool FileLineSource::hasMore() {
    while (position_ == end_ && !atEnd_)
        fill();
    return position_ < end_;
}

std::optional<LineSource::NulStop> FileLineSource::nulStop() {
    if (!nulOpensLine_)
        return std::nullopt;
    // The rest of the file is read once, only to count its lines.
    if (fd_) {
        std::string chunk(chunkSize_, '\0');
        while (const std::size_t got = readAt(chunk.data(), chunk.size()))
            afterNul_.feed(std::string_view(chunk.data(), got));
        fd_.reset();
    }
    return NulStop{linesOut_ + (*nulOpensLine_ ? 1 : 0), afterNul_.count()};
}

std::size_t FileLineSource::readAt(char* into, std::size_t size) {
    ssize_t got;
    do
        got = ::pread(fd_.get(), into, size, offset_);
    while (got < 0 && errno == EINTR);
    if (got < 0)
        throwFileError(FileAction::Read, path_, errno);
    offset_ += got;
    const auto read = static_cast<std::size_t>(got);
    if (observe_ && read != 0)
        observe_(std::string_view(into, read));
    return read;
}

void FileLineSource::readRest() {
    if (nulOpensLine_) {
        nulStop(); // reads the rest to count the lines after the NUL
        return;
    }
    if (!fd_)
        return;
    std::string chunk(chunkSize_, '\0');
    while (readAt(chunk.data(), chunk.size()) != 0) {
    }
    position_ = end_;
    atEnd_ = true;
}

} // namespace orva
