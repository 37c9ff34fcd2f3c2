#pragma once

#include "text/UniqueFd.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace orva {

// A document's Windows-1251 lines, however they are held: a short one as a list of lines, a journal
// of millions of lines as its copy file mapped into memory. The view and the printing read both
// through this.
class DocumentText {
public:
    virtual ~DocumentText() = default;
    virtual std::size_t lineCount() const = 0;
    // Line `index` (below lineCount()) without its break, valid while the text lives.
    virtual std::string_view line(std::size_t index) const = 0;
    // The length of the longest line in bytes.
    virtual std::size_t longestLine() const = 0;
};

// The lines held in memory (the label, the return, a test's document).
class LineListText final : public DocumentText {
public:
    explicit LineListText(std::vector<std::string> lines = {});
    std::size_t lineCount() const override { return lines_.size(); }
    std::string_view line(std::size_t index) const override { return lines_[index]; }
    std::size_t longestLine() const override { return longest_; }
    void append(std::string line);
    const std::vector<std::string>& lines() const { return lines_; }

private:
    std::vector<std::string> lines_;
    std::size_t longest_ = 0;
};

// Where each line of a text starts, in 4 bytes a line: the low 32 bits of every offset, and the
// first line of each further 4 GiB, so a copy past 4 GiB still costs 4 bytes a line.
class LineStarts {
public:
    void reserve(std::size_t lines) { low_.reserve(lines); }
    // Offsets come in increasing order.
    void add(std::uint64_t offset);
    std::size_t size() const { return low_.size(); }
    std::uint64_t operator[](std::size_t line) const;
    void shrinkToFit() { low_.shrink_to_fit(); }

private:
    std::vector<std::uint32_t> low_;
    std::vector<std::size_t> wraps_; // wraps_[k]: the first line at or past (k + 1) * 4 GiB
};

// A text file of CR LF lines mapped read-only, with the starts of its lines known. The mapping is of
// the descriptor given, which it keeps: a file put in its place by rename (another instance writing
// the same copy) leaves this one alive and unchanged. Another program may still truncate the file in
// place (truncate -s 0, an editor rewriting it): reading a page past its new end raises SIGBUS, which
// would end the program. A handler catches it for the pages of mapped texts alone and puts a page of
// zeros in place of the vanished one, so those lines read as NULs and changed() turns true; a fault
// anywhere else ends the program as before. This costs no memory and no writing while nothing changes.
class MappedText final : public DocumentText {
public:
    // Maps `size` bytes of the file open on `fd` whose lines start at `starts` (each line ends
    // in CR LF). Throws FileError naming `path` when the file cannot be mapped or is not `size` long.
    MappedText(UniqueFd fd, const std::string& path, std::size_t size, LineStarts starts, std::size_t longest);
    ~MappedText() override;
    MappedText(const MappedText&) = delete;
    MappedText& operator=(const MappedText&) = delete;

    std::size_t lineCount() const override { return starts_.size(); }
    std::string_view line(std::size_t index) const override;
    std::size_t longestLine() const override { return longest_; }
    std::size_t byteSize() const { return size_; }
    // Whether a page of the file vanished under a read (the file was cut short in place by another
    // program): what was read of it since is NULs. Safe to ask from any thread.
    bool changed() const;

private:
    int guard_ = -1; // the slot that lets the SIGBUS handler know the mapping, -1 when none was free
    UniqueFd fd_;
    const char* data_ = nullptr;
    std::size_t size_ = 0;
    LineStarts starts_;
    std::size_t longest_ = 0;
};

} // namespace orva
