#pragma once

// Standard output as orva-cli writes it: buffered, every write checked, and the system's reason
// kept when one fails, so that a full disk or a closed pipe is reported, never taken for success.

#include "text/LineFile.h"

#include <streambuf>
#include <string>

namespace orva::cli {

class DescriptorBuffer final : public std::streambuf {
public:
    explicit DescriptorBuffer(int fd);
    ~DescriptorBuffer() override;
    DescriptorBuffer(const DescriptorBuffer&) = delete;
    DescriptorBuffer& operator=(const DescriptorBuffer&) = delete;

    // errno of the first failed write, 0 while none has failed.
    int error() const { return error_; }

protected:
    int_type overflow(int_type c) override;
    std::streamsize xsputn(const char* bytes, std::streamsize count) override;
    int sync() override;

private:
    bool drain();

    int fd_;
    int error_ = 0;
    std::string buffer_;
};

// A stream's bytes into a file replaced whole (--output FILE): what fails to be written throws
// FileError out of the write.
class AtomicFileBuffer final : public std::streambuf {
public:
    explicit AtomicFileBuffer(AtomicFileWriter& file) : file_(file) {}

protected:
    int_type overflow(int_type c) override {
        if (!traits_type::eq_int_type(c, traits_type::eof())) {
            const char byte = traits_type::to_char_type(c);
            file_.write(std::string_view(&byte, 1));
        }
        return traits_type::not_eof(c);
    }
    std::streamsize xsputn(const char* bytes, std::streamsize count) override {
        file_.write(std::string_view(bytes, static_cast<std::size_t>(count)));
        return count;
    }

private:
    AtomicFileWriter& file_;
};

} // namespace orva::cli
