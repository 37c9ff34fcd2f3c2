#include "check/FindingSpool.h"

#include "text/Errors.h"

#include <cerrno>
#include <cstdint>
#include <cstring>

namespace orva {

namespace {

void putNumber(std::string& out, std::uint64_t number) {
    char bytes[sizeof number];
    std::memcpy(bytes, &number, sizeof number);
    out.append(bytes, sizeof number);
}

void putText(std::string& out, std::string_view text) {
    putNumber(out, text.size());
    out.append(text);
}

// Reads a finding's shorthand back, field by field.
class PieceReader {
public:
    explicit PieceReader(std::string_view piece) : piece_(piece) {}
    std::uint64_t number() {
        std::uint64_t value;
        std::memcpy(&value, take(sizeof value), sizeof value);
        return value;
    }
    void text(std::string& into) {
        const auto size = static_cast<std::size_t>(number());
        into.assign(take(size), size);
    }

private:
    const char* take(std::size_t size) {
        if (piece_.size() - at_ < size)
            throw Error("временният файл на проверката е повреден");
        const char* data = piece_.data() + at_;
        at_ += size;
        return data;
    }
    std::string_view piece_;
    std::size_t at_ = 0;
};

constexpr std::uint64_t kOwnMessage = 1ull << 32;
constexpr std::uint64_t kUsualFile = 1ull << 33;

} // namespace

void FindingSpool::finding(const check::Finding& finding) {
    if (spool_.empty())
        usualFile_ = finding.file;
    // The rule's own message and the journal's name are what nearly every finding has: not repeated.
    const bool ownMessage = finding.message == check::ruleInfo(finding.rule).message;
    const bool usualFile = finding.file == usualFile_;
    piece_.clear();
    putNumber(piece_, static_cast<std::uint64_t>(finding.rule) | (ownMessage ? kOwnMessage : 0) |
                          (usualFile ? kUsualFile : 0) | static_cast<std::uint64_t>(finding.severity) << 34);
    putNumber(piece_, finding.line);
    if (!usualFile)
        putText(piece_, finding.file);
    putText(piece_, finding.field);
    putText(piece_, finding.fieldName);
    putText(piece_, finding.value);
    if (!ownMessage)
        putText(piece_, finding.message);
    putText(piece_, finding.detail);
    spool_.add(piece_);
}

void FindingSpool::progress(const std::string& fileName, double done) {
    if (progressTo_ != nullptr)
        progressTo_->progress(fileName, done);
}

void FindingSpool::restart() {
    spool_.clear();
}

void FindingSpool::replay(FindingSink& sink) {
    check::Finding finding;
    spool_.replay([&](std::string_view piece) {
        PieceReader reader(piece);
        const std::uint64_t kind = reader.number();
        finding.rule = static_cast<check::RuleId>(kind & 0xFFFFFFFFull);
        finding.severity = static_cast<check::Severity>(kind >> 34);
        finding.line = static_cast<std::size_t>(reader.number());
        if (kind & kUsualFile)
            finding.file = usualFile_;
        else
            reader.text(finding.file);
        reader.text(finding.field);
        reader.text(finding.fieldName);
        reader.text(finding.value);
        if (kind & kOwnMessage)
            finding.message = check::ruleInfo(finding.rule).message;
        else
            reader.text(finding.message);
        reader.text(finding.detail);
        sink.finding(finding);
    });
    spool_.clear();
}

} // namespace orva
