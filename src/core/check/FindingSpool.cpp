#include "check/FindingSpool.h"

#include "text/Errors.h"
#include "text/LineFile.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <string>

namespace orva {

namespace {

// Findings kept in memory before the rest go to the temporary file.
constexpr std::size_t kHeldInMemory = 4096;
// The temporary file is written and read in blocks of about this size.
constexpr std::size_t kBlock = 1 << 20;

const char* const kSpoolName = "временен файл на проверката";

void putNumber(std::string& out, std::uint64_t number) {
    char bytes[sizeof number];
    std::memcpy(bytes, &number, sizeof number);
    out.append(bytes, sizeof number);
}

void putText(std::string& out, std::string_view text) {
    putNumber(out, text.size());
    out.append(text);
}

} // namespace

// Reads the temporary file back in blocks.
class FindingSpool::Reader {
public:
    explicit Reader(std::FILE* file) : file_(file) {}

    std::uint64_t number() {
        std::uint64_t value;
        std::memcpy(&value, take(sizeof value), sizeof value);
        return value;
    }
    void text(std::string& into) {
        const std::uint64_t size = number();
        into.assign(take(static_cast<std::size_t>(size)), static_cast<std::size_t>(size));
    }

private:
    const char* take(std::size_t size) {
        if (buffer_.size() - position_ < size) {
            buffer_.erase(0, position_);
            position_ = 0;
            const std::size_t want = std::max(size - buffer_.size(), kBlock);
            const std::size_t had = buffer_.size();
            buffer_.resize(had + want);
            const std::size_t got = std::fread(&buffer_[had], 1, want, file_);
            buffer_.resize(had + got);
            if (buffer_.size() < size)
                throwFileError(FileAction::Read, kSpoolName, std::ferror(file_) ? errno : EIO);
        }
        const char* at = buffer_.data() + position_;
        position_ += size;
        return at;
    }

    std::FILE* file_;
    std::string buffer_;
    std::size_t position_ = 0;
};

void FindingSpool::finding(const check::Finding& finding) {
    if (held_.size() >= kHeldInMemory && !spilled_ && !spillFailed_) {
        spilled_.reset(std::tmpfile());
        spillFailed_ = !spilled_;
    }
    // Without a temporary file (none can be made) they all stay in memory.
    if (!spilled_) {
        held_.push_back(finding);
        return;
    }
    // The rule's own message and the journal's name are what nearly every finding has: not repeated.
    const bool ownMessage = finding.message == check::ruleInfo(finding.rule).message;
    const bool usualFile = !held_.empty() && finding.file == held_.front().file;
    putNumber(block_, static_cast<std::uint64_t>(finding.rule) | (ownMessage ? 1ull << 32 : 0) |
                          (usualFile ? 1ull << 33 : 0) | static_cast<std::uint64_t>(finding.severity) << 34);
    putNumber(block_, finding.line);
    if (!usualFile)
        putText(block_, finding.file);
    putText(block_, finding.field);
    putText(block_, finding.fieldName);
    putText(block_, finding.value);
    if (!ownMessage)
        putText(block_, finding.message);
    putText(block_, finding.detail);
    ++spilledCount_;
    if (block_.size() >= kBlock)
        writeBlock();
}

void FindingSpool::writeBlock() {
    if (std::fwrite(block_.data(), 1, block_.size(), spilled_.get()) != block_.size())
        throwFileError(FileAction::Write, kSpoolName, errno);
    block_.clear();
}

void FindingSpool::progress(const std::string& fileName, double done) {
    if (progressTo_ != nullptr)
        progressTo_->progress(fileName, done);
}

void FindingSpool::restart() {
    held_.clear();
    spilled_.reset();
    spillFailed_ = false;
    spilledCount_ = 0;
    block_.clear();
}

void FindingSpool::replay(FindingSink& sink) {
    for (const check::Finding& finding : held_)
        sink.finding(finding);
    if (spilled_) {
        writeBlock();
        std::FILE* file = spilled_.get();
        if (std::fflush(file) != 0 || std::fseek(file, 0, SEEK_SET) != 0)
            throwFileError(FileAction::Read, kSpoolName, errno);
        Reader reader(file);
        check::Finding finding;
        for (std::size_t i = 0; i < spilledCount_; ++i) {
            const std::uint64_t kind = reader.number();
            finding.rule = static_cast<check::RuleId>(kind & 0xFFFFFFFFull);
            finding.severity = static_cast<check::Severity>(kind >> 34);
            finding.line = static_cast<std::size_t>(reader.number());
            if (kind & (1ull << 33))
                finding.file = held_.front().file;
            else
                reader.text(finding.file);
            reader.text(finding.field);
            reader.text(finding.fieldName);
            reader.text(finding.value);
            if (kind & (1ull << 32))
                finding.message = check::ruleInfo(finding.rule).message;
            else
                reader.text(finding.message);
            reader.text(finding.detail);
            sink.finding(finding);
        }
    }
    restart();
}

} // namespace orva
