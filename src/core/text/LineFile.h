#pragma once

#include "text/UniqueFd.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace orva {

// Splits text into lines: CR, LF and CR LF are one break each; a NUL ends the text; a break
// at the very end starts no further line. (The lines of orva::MemoryLineSource.)
std::vector<std::string> splitLines(std::string_view text);

// Every line followed by CR LF, the last one too.
std::string joinLinesCrLf(const std::vector<std::string>& lines);

// Whole file as bytes. Throws FileError naming the path when it cannot be read.
std::string readFileBytes(const std::string& path);

// At most the first `maxBytes` bytes of the file (all of a shorter one): what a reader that needs
// only the start of a file holds, however large the file is. Throws FileError as readFileBytes.
std::string readFilePrefix(const std::string& path, std::size_t maxBytes);

// readFileBytes then splitLines.
std::vector<std::string> readLinesFile(const std::string& path);

// A file written in blocks beside its target and put in place whole: the target never holds a
// partial file, and a failed write is an error, never a short file. The bytes go to a hidden
// temporary file named after this process (".NAME.PID.XXXXXX") in the target's folder; finish()
// puts them on disk, publish() renames the file over the target and syncs the folder. Dropped
// before publish(), the temporary file is removed and the target stays as it was. A target that
// is a symbolic link stays one and its target is written (Links::Keep, the side files), or the
// link itself is replaced by the new file (Links::Replace, for folders others may write into).
// Temporary files of writers that were killed are removed by the next writer of the same name once
// their process has ended.
// The entries ".BASENAME.PID<middle>XXXXXX" of `folder` left by runs that ended before they finished
// (their PID is no running process): a writer's temporaries, or a workbook's private folder.
// Those of running processes are not listed.
std::vector<std::string> leftoversOfEndedRuns(const std::string& folder, const std::string& baseName,
                                              std::string_view middle);

class AtomicFileWriter {
public:
    enum class Links { Keep, Replace };

    explicit AtomicFileWriter(const std::string& path, Links links = Links::Keep); // throws FileError
    ~AtomicFileWriter();
    AtomicFileWriter(const AtomicFileWriter&) = delete;
    AtomicFileWriter& operator=(const AtomicFileWriter&) = delete;

    void write(std::string_view bytes);
    void writeLine(std::string_view line); // the line and CR LF
    void finish();                         // everything written and on disk
    // Drops everything written so far: the file is begun again, empty. Throws FileError.
    void restart();
    void publish(); // finish() if needed, then in place of the target
    // The written file opened for reading, between finish() and publish(): the descriptor stays on
    // this very file whatever is later put under the target's name. Throws FileError.
    UniqueFd openWritten() const;
    const std::string& path() const { return path_; }

private:
    void flush();
    void writeOut(std::string_view bytes);

    std::string path_;
    std::string target_;
    std::string temporary_;
    std::string buffer_;
    UniqueFd fd_;
    std::uint64_t written_ = 0;       // bytes handed to the file
    std::uint64_t writebackFrom_ = 0; // where the bytes not yet on their way to the disk begin
    bool published_ = false;
};

// Replaces the file whole and atomically: the bytes go to a temporary file in the same
// folder, are flushed to disk, and the temporary file is renamed over the target. On any
// failure the old file is left as it was and FileError is thrown.
void writeFileAtomic(const std::string& path, std::string_view bytes);

// writeFileAtomic of joinLinesCrLf, written in blocks: a big document never needs a second whole
// copy in memory.
void writeLinesFile(const std::string& path, const std::vector<std::string>& lines);

// Reads the file from its start in chunks of at most `chunkSize` bytes, handing each to `take`
// until the file ends or `take` returns false. Throws FileError (opening as openFileForReading).
void readFileChunks(const std::string& path, std::size_t chunkSize,
                    const std::function<bool(std::string_view chunk)>& take);
// The same over a file already open, from its start whatever its offset; `path` names it in errors.
void readFileChunks(const UniqueFd& file, const std::string& path, std::size_t chunkSize,
                    const std::function<bool(std::string_view chunk)>& take);

// What every reader of a file does first: opens `path` for reading (without waiting on a FIFO)
// and refuses anything but a regular file, a link to one included. Returns the descriptor and sets
// `size` to the file's size. Throws FileError.
UniqueFd openFileForReading(const std::string& path, std::size_t& size);

enum class FileAction { Open, Read, Write };

// The one wording of a failed file operation: the action, the path and the system's reason.
[[noreturn]] void throwFileError(FileAction action, const std::string& path, int error);

} // namespace orva
