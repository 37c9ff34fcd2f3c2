#include "text/TextSpool.h"

#include "text/Errors.h"
#include "text/LineFile.h"

#include <cerrno>
#include <cstdint>
#include <cstring>

namespace orva {

namespace {

constexpr std::size_t kBlock = 1 << 20;
const char* const kSpoolName = "временен файл";

// Hands the pieces of `bytes` (each after its length) to `take`; returns how many bytes were whole pieces.
std::size_t takePieces(std::string_view bytes, const std::function<void(std::string_view)>& take, std::size_t& left) {
    std::size_t at = 0;
    while (left > 0 && bytes.size() - at >= sizeof(std::uint32_t)) {
        std::uint32_t size;
        std::memcpy(&size, bytes.data() + at, sizeof size);
        if (bytes.size() - at - sizeof size < size)
            break;
        take(bytes.substr(at + sizeof size, size));
        at += sizeof size + size;
        --left;
    }
    return at;
}

} // namespace

void TextSpool::add(std::string_view piece) {
    const auto size = static_cast<std::uint32_t>(piece.size());
    char length[sizeof size];
    std::memcpy(length, &size, sizeof size);
    block_.append(length, sizeof size);
    block_.append(piece);
    ++count_;
    if (block_.size() >= kBlock)
        spill();
}

void TextSpool::spill() {
    if (!file_ && !noFile_) {
        file_.reset(std::tmpfile());
        noFile_ = !file_;
    }
    if (!file_)
        return;
    if (std::fwrite(block_.data(), 1, block_.size(), file_.get()) != block_.size())
        throwFileError(FileAction::Write, kSpoolName, errno);
    block_.clear();
}

void TextSpool::replay(const std::function<void(std::string_view)>& take) {
    std::size_t left = count_;
    if (file_) {
        spill();
        std::FILE* file = file_.get();
        if (std::fflush(file) != 0 || std::fseek(file, 0, SEEK_SET) != 0)
            throwFileError(FileAction::Read, kSpoolName, errno);
        std::string buffer;
        std::size_t start = 0;
        for (;;) {
            buffer.erase(0, start);
            const std::size_t had = buffer.size();
            buffer.resize(had + kBlock);
            const std::size_t got = std::fread(&buffer[had], 1, kBlock, file);
            buffer.resize(had + got);
            start = takePieces(buffer, take, left);
            if (got == 0)
                break;
        }
        if (std::ferror(file) || left != 0)
            throwFileError(FileAction::Read, kSpoolName, std::ferror(file) ? errno : EIO);
    } else {
        takePieces(block_, take, left);
    }
    clear();
}

void TextSpool::clear() {
    block_.clear();
    file_.reset();
    noFile_ = false;
    count_ = 0;
}

} // namespace orva
