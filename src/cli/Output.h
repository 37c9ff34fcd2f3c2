#pragma once

// Standard output as orva-cli writes it: buffered, every write checked, and the system's reason
// kept when one fails, so that a full disk or a closed pipe is reported, never taken for success.

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

} // namespace orva::cli
