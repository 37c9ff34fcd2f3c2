#include "cli/Output.h"

#include <cerrno>
#include <unistd.h>

namespace orva::cli {

namespace {

constexpr std::size_t kBlock = 1 << 16;

} // namespace

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
