#include "text/DocumentText.h"

#include "text/Errors.h"
#include "text/LineFile.h"

#include <algorithm>
#include <cerrno>
#include <sys/mman.h>
#include <sys/stat.h>

namespace orva {

LineListText::LineListText(std::vector<std::string> lines) : lines_(std::move(lines)) {
    for (const std::string& line : lines_)
        longest_ = std::max(longest_, line.size());
}

void LineListText::append(std::string line) {
    longest_ = std::max(longest_, line.size());
    lines_.push_back(std::move(line));
}

void LineStarts::add(std::uint64_t offset) {
    while ((offset >> 32) > wraps_.size())
        wraps_.push_back(low_.size());
    low_.push_back(static_cast<std::uint32_t>(offset));
}

std::uint64_t LineStarts::operator[](std::size_t line) const {
    const auto high = static_cast<std::uint64_t>(std::upper_bound(wraps_.begin(), wraps_.end(), line) - wraps_.begin());
    return (high << 32) | low_[line];
}

MappedText::MappedText(UniqueFd fd, const std::string& path, std::size_t size, LineStarts starts, std::size_t longest)
    : fd_(std::move(fd)), size_(size), starts_(std::move(starts)), longest_(longest) {
    struct stat info {};
    if (::fstat(fd_.get(), &info) != 0)
        throwFileError(FileAction::Read, path, errno);
    if (static_cast<std::uint64_t>(info.st_size) != size)
        throw FileError("не може да се прочете " + path + ": файлът е променен");
    if (size == 0)
        return;
    void* mapped = ::mmap(nullptr, size, PROT_READ, MAP_SHARED, fd_.get(), 0);
    if (mapped == MAP_FAILED)
        throwFileError(FileAction::Read, path, errno);
    data_ = static_cast<const char*>(mapped);
}

MappedText::~MappedText() {
    if (data_ != nullptr)
        ::munmap(const_cast<char*>(data_), size_);
}

std::string_view MappedText::line(std::size_t index) const {
    const std::uint64_t start = starts_[index];
    const std::uint64_t end = index + 1 < starts_.size() ? starts_[index + 1] : size_;
    return {data_ + start, static_cast<std::size_t>(end - start - 2)};
}

} // namespace orva
