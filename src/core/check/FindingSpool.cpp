#include "check/FindingSpool.h"

#include "text/Errors.h"
#include "text/LineFile.h"

#include <cerrno>
#include <cstdint>
#include <string>

namespace orva {

namespace {

// Findings kept in memory before the rest go to the temporary file.
constexpr std::size_t kHeldInMemory = 4096;

void put(std::FILE* file, std::string_view text) {
    const auto size = static_cast<std::uint32_t>(text.size());
    std::fwrite(&size, sizeof size, 1, file);
    std::fwrite(text.data(), 1, text.size(), file);
}

void put(std::FILE* file, std::uint64_t number) {
    std::fwrite(&number, sizeof number, 1, file);
}

bool get(std::FILE* file, std::uint64_t& number) {
    return std::fread(&number, sizeof number, 1, file) == 1;
}

bool get(std::FILE* file, std::string& text) {
    std::uint32_t size = 0;
    if (std::fread(&size, sizeof size, 1, file) != 1)
        return false;
    text.resize(size);
    return std::fread(text.data(), 1, size, file) == size;
}

const char* const kSpoolName = "временен файл на проверката";

} // namespace

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
    std::FILE* file = spilled_.get();
    put(file, finding.file);
    put(file, static_cast<std::uint64_t>(finding.line));
    put(file, finding.field);
    put(file, finding.fieldName);
    put(file, static_cast<std::uint64_t>(finding.severity));
    put(file, static_cast<std::uint64_t>(finding.rule));
    put(file, finding.value);
    put(file, finding.message);
    put(file, finding.detail);
    if (std::ferror(file))
        throwFileError(FileAction::Write, kSpoolName, errno);
    ++spilledCount_;
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
}

void FindingSpool::replay(FindingSink& sink) {
    for (const check::Finding& finding : held_)
        sink.finding(finding);
    held_.clear();
    if (!spilled_)
        return;
    std::FILE* file = spilled_.get();
    if (std::fflush(file) != 0 || std::fseek(file, 0, SEEK_SET) != 0)
        throwFileError(FileAction::Read, kSpoolName, errno);
    check::Finding finding;
    for (std::size_t i = 0; i < spilledCount_; ++i) {
        std::uint64_t line = 0, severity = 0, rule = 0;
        if (!get(file, finding.file) || !get(file, line) || !get(file, finding.field) ||
            !get(file, finding.fieldName) || !get(file, severity) || !get(file, rule) || !get(file, finding.value) ||
            !get(file, finding.message) || !get(file, finding.detail))
            throwFileError(FileAction::Read, kSpoolName, std::ferror(file) ? errno : EIO);
        finding.line = static_cast<std::size_t>(line);
        finding.severity = static_cast<check::Severity>(severity);
        finding.rule = static_cast<check::RuleId>(rule);
        sink.finding(finding);
    }
    spilled_.reset();
    spilledCount_ = 0;
}

} // namespace orva
