#pragma once

#include "text/UniqueFd.h"

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <sys/types.h>

namespace orva {

// Hands out the lines of a text or file one at a time: CR, LF and CR LF are one break each; a NUL
// ends the text; a break at the very end starts no further line. orva::splitLines is the list of
// these lines. The journal engine needs no list of all lines, so a journal of a million records is
// built without one, and from a file without holding the whole file.
class LineSource {
public:
    virtual ~LineSource() = default;
    // The next line; the view stays valid until the next call of next() or hasMore().
    virtual bool next(std::string_view& line) = 0;
    // Whether another line follows the one last handed out.
    virtual bool hasMore() = 0;
    // The size of the text in bytes (or of the file), for reservations; 0 only for empty input.
    virtual std::size_t sizeHint() const = 0;

    // Where a NUL byte ended the text: the line it stands in (1-based) and how many lines the text
    // would have had after that line. Asked once every line has been handed out (the rest of a file
    // is then read to count them); std::nullopt when no NUL ended the text.
    struct NulStop {
        std::size_t line = 0;
        std::size_t linesAfter = 0;
    };
    virtual std::optional<NulStop> nulStop() { return std::nullopt; }
};

// Counts the lines that start after a NUL byte's own line, fed the bytes that follow the NUL in
// order: every break ends a line (CR LF once), and a line starts after a break only if anything,
// a break included, follows it.
class LinesAfterNul {
public:
    void feed(std::string_view bytes);
    std::size_t count() const { return count_; }

private:
    std::size_t count_ = 0;
    bool lineStarts_ = false; // a break was seen: the next byte starts a line
    bool afterCr_ = false;
};

// Finds the next CR or LF. It remembers where the next of each lies, so that a text that uses
// only one kind of break is not rescanned for the other on every line.
class BreakFinder {
public:
    std::size_t find(const char* data, std::size_t from, std::size_t end);
    void reset() { crKnown_ = lfKnown_ = false; }

private:
    std::size_t cr_ = 0, lf_ = 0;
    bool crKnown_ = false, lfKnown_ = false;
};

class MemoryLineSource final : public LineSource {
public:
    explicit MemoryLineSource(std::string_view text);
    bool next(std::string_view& line) override;
    bool hasMore() override { return position_ < text_.size(); }
    std::size_t sizeHint() const override { return size_; }
    std::optional<NulStop> nulStop() override;

private:
    std::string_view whole_;
    std::string_view text_;
    std::size_t size_; // before the cut at a NUL
    std::size_t position_ = 0;
    BreakFinder finder_;
    std::size_t linesOut_ = 0;
};

// Reads the file in chunks of `chunkSize` bytes. Throws FileError naming the path when the file
// cannot be opened or read (orva::openFileForReading).
class FileLineSource final : public LineSource {
public:
    explicit FileLineSource(const std::string& path, std::size_t chunkSize = 1 << 20);
    // The same over a file already open (read from its start, whatever its offset): each pass over a
    // file read several times goes through the one file opened, never a file put in its place since.
    FileLineSource(const UniqueFd& file, const std::string& path, std::size_t chunkSize = 1 << 20);
    FileLineSource(const FileLineSource&) = delete;
    FileLineSource& operator=(const FileLineSource&) = delete;

    bool next(std::string_view& line) override;
    bool hasMore() override;
    std::size_t sizeHint() const override { return fileSize_; }
    std::optional<NulStop> nulStop() override;

    // Sees every byte read from the file exactly once, in file order, whatever the lines handed out:
    // a count over the whole file taken in the same read (the bytes after a NUL included).
    void observeBytes(std::function<void(std::string_view bytes)> observe) { observe_ = std::move(observe); }
    // Reads what is left of the file, so that the observer has seen all of it; the lines not yet
    // handed out are given up. Throws FileError.
    void readRest();

private:
    void fill();
    // pread at offset_ into `into`, offset_ advanced and the bytes observed; 0 at the file's end.
    std::size_t readAt(char* into, std::size_t size);

    std::string path_;
    UniqueFd fd_;
    std::size_t chunkSize_;
    std::size_t fileSize_ = 0;
    off_t offset_ = 0; // of the next read: the descriptor may be shared with other passes
    std::string buffer_;
    std::size_t position_ = 0, end_ = 0;
    bool atEnd_ = false; // nothing more to read: end of file or a NUL
    BreakFinder finder_;
    std::size_t linesOut_ = 0;
    char lastByte_ = '\n';             // of the text before the buffer's start; a break at the file's start
    std::optional<bool> nulOpensLine_; // set when a NUL ended the text: whether it stands at a line's start
    LinesAfterNul afterNul_;
    std::function<void(std::string_view)> observe_;
};

} // namespace orva
