#include "text/LineFile.h"

#include "text/Errors.h"
#include "text/LineSource.h"
#include "text/Paths.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace orva {

namespace {

// Small enough to stay in the processor's cache while the kernel copies it: with 1 MB blocks that
// copy cost as much as building a big journal.
constexpr std::size_t kWriteBlock = 1 << 17;
// How much written lies in the page cache before its way to the disk is begun: the fsync of a journal's
// hundreds of megabytes then waits for the last stretch only, the rest written while the build ran.
constexpr std::uint64_t kWritebackStretch = 8 << 20;

// The file a write to `path` replaces: a symbolic link stays a link, its target is written.
std::string writtenPath(const std::string& path) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode))
        return path;
    char* resolved = ::realpath(path.c_str(), nullptr);
    if (resolved == nullptr)
        return path; // a dangling link: replaced like a missing file
    std::string target = resolved;
    std::free(resolved);
    return target;
}

} // namespace

std::vector<std::string> leftoversOfEndedRuns(const std::string& folder, const std::string& baseName,
                                              std::string_view middle) {
    std::vector<std::string> found;
    DIR* directory = ::opendir(folder.c_str());
    if (directory == nullptr)
        return found;
    const std::string prefix = "." + baseName + ".";
    while (const dirent* entry = ::readdir(directory)) {
        const std::string name = entry->d_name;
        if (name.compare(0, prefix.size(), prefix) != 0)
            continue;
        char* end = nullptr;
        const long pid = std::strtol(name.c_str() + prefix.size(), &end, 10);
        const std::string_view rest(end);
        if (pid <= 0 || end == name.c_str() + prefix.size() || rest.size() != middle.size() + 6 ||
            rest.substr(0, middle.size()) != middle)
            continue;
        if (::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH)
            found.push_back(name);
    }
    ::closedir(directory);
    return found;
}

AtomicFileWriter::AtomicFileWriter(const std::string& path, Links links)
    : path_(path), target_(links == Links::Keep ? writtenPath(path) : path) {
    const std::string folder = folderOf(target_);
    const std::string baseName = fileName(target_);
    for (const std::string& leftover : leftoversOfEndedRuns(folder, baseName, "."))
        ::unlink(joinPath(folder, leftover).c_str());
    // Hidden, and named after this process, so a later run can tell a killed writer's leftovers.
    temporary_ = folder + "/." + baseName + "." + std::to_string(::getpid()) + ".XXXXXX";
    fd_.reset(::mkstemp(temporary_.data()));
    if (!fd_)
        throwFileError(FileAction::Write, path_, errno);
    // Keep the permissions of the file we replace; a new file gets the usual 0666 less umask.
    // A link being replaced lends no permissions: lstat sees the link, not its target.
    struct stat old {};
    const bool replaced = links == Links::Keep ? ::stat(target_.c_str(), &old) == 0
                                               : ::lstat(target_.c_str(), &old) == 0 && S_ISREG(old.st_mode);
    if (replaced) {
        ::fchmod(fd_.get(), old.st_mode & 07777);
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        ::fchmod(fd_.get(), 0666 & ~mask);
    }
    buffer_.reserve(kWriteBlock);
}

AtomicFileWriter::~AtomicFileWriter() {
    fd_.reset();
    if (!published_)
        ::unlink(temporary_.c_str());
}

void AtomicFileWriter::write(std::string_view bytes) {
    if (buffer_.size() + bytes.size() > kWriteBlock) {
        flush();
        if (bytes.size() >= kWriteBlock) {
            writeOut(bytes);
            return;
        }
    }
    buffer_.append(bytes);
}

void AtomicFileWriter::writeLine(std::string_view line) {
    write(line);
    write("\r\n");
}

void AtomicFileWriter::flush() {
    writeOut(buffer_);
    buffer_.clear();
}

void AtomicFileWriter::writeOut(std::string_view bytes) {
    std::size_t written = 0;
    while (written < bytes.size()) {
        const ssize_t put = ::write(fd_.get(), bytes.data() + written, bytes.size() - written);
        if (put < 0) {
            if (errno == EINTR)
                continue;
            throwFileError(FileAction::Write, path_, errno);
        }
        written += static_cast<std::size_t>(put);
    }
    written_ += bytes.size();
    if (written_ - writebackFrom_ >= kWritebackStretch) {
        // Only begun, not waited for; a failure of the disk is fsync's to report in finish().
        ::sync_file_range(fd_.get(), static_cast<off_t>(writebackFrom_), static_cast<off_t>(written_ - writebackFrom_),
                          SYNC_FILE_RANGE_WRITE);
        writebackFrom_ = written_;
    }
}

void AtomicFileWriter::restart() {
    buffer_.clear();
    written_ = writebackFrom_ = 0;
    if (::ftruncate(fd_.get(), 0) != 0 || ::lseek(fd_.get(), 0, SEEK_SET) != 0)
        throwFileError(FileAction::Write, path_, errno);
}

void AtomicFileWriter::finish() {
    if (!fd_)
        return;
    flush();
    if (::fsync(fd_.get()) != 0)
        throwFileError(FileAction::Write, path_, errno);
    if (fd_.close() != 0)
        throwFileError(FileAction::Write, path_, errno);
}

void AtomicFileWriter::publish() {
    finish();
    if (::rename(temporary_.c_str(), target_.c_str()) != 0)
        throwFileError(FileAction::Write, path_, errno);
    published_ = true;
    // The rename itself must reach the disk, or a power loss may bring back the old file.
    const UniqueFd folder(::open(folderOf(target_).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder)
        ::fsync(folder.get());
}

UniqueFd AtomicFileWriter::openWritten() const {
    // The temporary file's name is this process's own: nobody else renames onto it.
    UniqueFd fd(::open(temporary_.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd)
        throwFileError(FileAction::Read, path_, errno);
    return fd;
}

void throwFileError(FileAction action, const std::string& path, int error) {
    const char* what = action == FileAction::Open   ? "не може да се отвори"
                       : action == FileAction::Read ? "не може да се прочете"
                                                    : "не може да се запише";
    throw FileError(std::string(what) + " " + path + ": " + systemErrorText(error));
}

UniqueFd openFileForReading(const std::string& path, std::size_t& size) {
    size = 0;
    // O_NONBLOCK: opening a FIFO must not wait for a writer; it is refused below anyway.
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (!fd)
        throwFileError(FileAction::Open, path, errno);
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0)
        throwFileError(FileAction::Read, path, errno);
    if (S_ISDIR(info.st_mode))
        throwFileError(FileAction::Read, path, EISDIR);
    // A FIFO would block the reader for ever and a device (a link to /dev/zero) never ends.
    if (!S_ISREG(info.st_mode))
        throw FileError("не е обикновен файл: " + path);
    ::fcntl(fd.get(), F_SETFL, ::fcntl(fd.get(), F_GETFL) & ~O_NONBLOCK);
    if (info.st_size > 0)
        size = static_cast<std::size_t>(info.st_size);
    return fd;
}

std::vector<std::string> splitLines(std::string_view text) {
    std::vector<std::string> lines;
    MemoryLineSource source(text);
    std::string_view line;
    while (source.next(line))
        lines.emplace_back(line);
    return lines;
}

std::string joinLinesCrLf(const std::vector<std::string>& lines) {
    std::size_t total = 0;
    for (const auto& line : lines)
        total += line.size() + 2;
    std::string text;
    text.reserve(total);
    for (const auto& line : lines) {
        text += line;
        text += "\r\n";
    }
    return text;
}

void readFileChunks(const std::string& path, std::size_t chunkSize,
                    const std::function<bool(std::string_view chunk)>& take) {
    std::size_t size = 0;
    const UniqueFd fd = openFileForReading(path, size);
    readFileChunks(fd, path, chunkSize, take);
}

void readFileChunks(const UniqueFd& file, const std::string& path, std::size_t chunkSize,
                    const std::function<bool(std::string_view chunk)>& take) {
    std::vector<char> buffer(chunkSize);
    off_t offset = 0;
    for (;;) {
        const ssize_t got = ::pread(file.get(), buffer.data(), buffer.size(), offset);
        if (got == 0)
            break;
        if (got < 0) {
            if (errno == EINTR)
                continue;
            throwFileError(FileAction::Read, path, errno);
        }
        offset += got;
        if (!take(std::string_view(buffer.data(), static_cast<std::size_t>(got))))
            break;
    }
}

std::string readFilePrefix(const std::string& path, std::size_t maxBytes) {
    std::string bytes;
    readFileChunks(path, std::min<std::size_t>(maxBytes, 1 << 16), [&](std::string_view chunk) {
        bytes.append(chunk.substr(0, maxBytes - bytes.size()));
        return bytes.size() < maxBytes;
    });
    return bytes;
}

std::string readFileBytes(const std::string& path) {
    return readFilePrefix(path, std::string().max_size());
}

std::vector<std::string> readLinesFile(const std::string& path) {
    return splitLines(readFileBytes(path));
}

void writeFileAtomic(const std::string& path, std::string_view bytes) {
    AtomicFileWriter file(path);
    file.write(bytes);
    file.publish();
}

void writeLinesFile(const std::string& path, const std::vector<std::string>& lines) {
    AtomicFileWriter file(path);
    for (const std::string& line : lines)
        file.writeLine(line);
    file.publish();
}

} // namespace orva
