#pragma once

// What orva-cli writes and where. Standard output: buffered, every write checked, and the system's
// reason kept when one fails, so that a full disk or a closed pipe is reported, never taken for
// success. Files: where they may go (OutputGuard), checked by every command before it writes.

#include "text/LineFile.h"

#include <map>
#include <set>
#include <streambuf>
#include <string>
#include <sys/types.h>
#include <utility>
#include <vector>

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
// Failure (kUsage) out of the write, a failure to write, whatever the writer was doing.
class AtomicFileBuffer final : public std::streambuf {
public:
    explicit AtomicFileBuffer(AtomicFileWriter& file) : file_(file) {}

protected:
    int_type overflow(int_type c) override {
        if (!traits_type::eq_int_type(c, traits_type::eof())) {
            const char byte = traits_type::to_char_type(c);
            write(std::string_view(&byte, 1));
        }
        return traits_type::not_eof(c);
    }
    std::streamsize xsputn(const char* bytes, std::streamsize count) override {
        write(std::string_view(bytes, static_cast<std::size_t>(count)));
        return count;
    }

private:
    void write(std::string_view bytes);

    AtomicFileWriter& file_;
};

// Where a command may write, decided before anything is written: never over a data file, never into
// a data folder being read, never into a folder that holds one; never through another user's link.
// Folders and files are known by identity (device and inode), so another spelling of the same place
// (a link, "..", a name in other letter case on a FAT floppy) is the same place. Every refusal is a
// Failure (kUsage) naming the output and the data.
class OutputGuard {
public:
    // The period folders the command reads; one that cannot be found is left out (its period fails).
    explicit OutputGuard(const std::vector<std::string>& dataFolders);

    // An output file (--output FILE): not a data file, not inside a data folder; a link at FILE is
    // replaced by its writer, another user's link among its folders is refused.
    void checkFile(const std::string& path) const;
    // An output folder (export's DIR, --details DIR, and each DIR/<name> of a run): neither inside
    // a data folder nor holding one in its tree, neither another user's link nor below one.
    void checkFolder(const std::string& folder) const;

private:
    using Identity = std::pair<dev_t, ino_t>;
    void refuseInsideData(const std::string& folder, const std::string& output) const;

    std::map<Identity, std::string> folders_; // each data folder, as named
    std::set<Identity> files_;                // every file in them (links followed)
    std::map<Identity, std::string> holders_; // each data folder and every folder above it
};

// Refuses (Failure, kUsage) a path that is, or passes through, a symbolic link owned by another user
// than this one or root, as sudo and sshd trust a path: `path` and each folder above it, up to the
// first real folder owned by this user or root. A link of this user's own is followed and its target
// checked the same way. A link another user planted in a shared folder (/tmp) would otherwise send the
// output where that user chose.
void refuseForeignLinks(const std::string& path);

} // namespace orva::cli
