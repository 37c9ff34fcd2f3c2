#include "check/CheckReport.h"

#include "period/Gate.h"

#include <algorithm>
#include <cstdio>
#include <ostream>
#include <sstream>

namespace orva::check {

namespace {

const char* const kHolds = "OK";
const char* const kFails = "НЕСЪОТВЕТСТВИЕ";
const char* const kNotEvaluable = "НЕ Е ПРОВЕРЕНО";

std::string padRight(const std::string& text, std::size_t width) {
    const std::size_t used = textColumns(text);
    return text + std::string(used < width ? width - used : 0, ' ');
}

std::string padLeft(const std::string& text, std::size_t width) {
    const std::size_t used = textColumns(text);
    return std::string(used < width ? width - used : 0, ' ') + text;
}

} // namespace

std::size_t textColumns(const std::string& text) {
    std::size_t count = 0;
    for (const unsigned char byte : text)
        count += (byte & 0xC0) != 0x80 ? 1 : 0;
    return count;
}

std::string errorCount(std::size_t count) {
    return std::to_string(count) + (count == 1 ? " грешка" : " грешки");
}

std::string warningCount(std::size_t count) {
    return std::to_string(count) + (count == 1 ? " предупреждение" : " предупреждения");
}

std::string fullMessage(const Finding& finding) {
    return finding.detail.empty() ? finding.message : finding.message + " (" + finding.detail + ")";
}

std::size_t failedRules(const std::vector<CheckRow>& rows) {
    return static_cast<std::size_t>(std::count_if(
        rows.begin(), rows.end(), [](const CheckRow& row) { return row.result != CheckRow::Result::Holds; }));
}

void printCheckTable(const std::vector<CheckRow>& rows, std::ostream& out) {
    constexpr std::size_t kRuleWidth = 30;
    constexpr std::size_t kValueWidth = 17;
    out << padRight("ПРАВИЛО", kRuleWidth) << padLeft("ДЕКЛАРАЦИЯ", kValueWidth) << padLeft("ДНЕВНИЦИ", kValueWidth)
        << padLeft("РАЗЛИКА", kValueWidth) << "  "
        << "РЕЗУЛТАТ" << '\n';
    for (const CheckRow& row : rows) {
        const char* result = row.result == CheckRow::Result::Holds   ? kHolds
                             : row.result == CheckRow::Result::Fails ? kFails
                                                                     : kNotEvaluable;
        const bool evaluated = row.result != CheckRow::Result::NotEvaluable;
        // A limit that holds shows what it leaves, not a negative difference beside "OK".
        const std::string difference = !evaluated            ? "-"
                                       : !row.margin.empty() ? "остава " + shownText(row.margin)
                                                             : shownText(row.difference);
        out << padRight(shownText(row.rule), kRuleWidth) << padLeft(shownText(row.returnValue), kValueWidth)
            << padLeft(shownText(row.journalValue), kValueWidth) << padLeft(difference, kValueWidth) << "  " << result;
        if (!evaluated)
            out << " (" << shownText(row.difference) << ")";
        out << '\n';
    }
    const std::size_t failures = failedRules(rows);
    if (failures == 0)
        out << "Всички " << rows.size() << " правила са спазени.\n";
    else
        out << "Неспазени правила: " << failures << " от " << rows.size() << ".\n";
}

// ---------------------------------------------------------------- Report

Report::Report(const PeriodFiles& files, CheckProgress progress) : files_(files), progress_(std::move(progress)) {}

void Report::finding(const Finding& finding) {
    total_.add(finding.severity);
    byRule_[static_cast<std::size_t>(finding.rule)].add(finding.severity);
    fileCounts(finding.file).add(finding.severity);
    write(finding);
}

void Report::progress(const std::string& fileName, double done) {
    if (progress_.step)
        progress_.step("checking " + fileName + " " + std::to_string(static_cast<int>(done * 100)) + "%");
}

void Report::journalsRead() {
    if (progress_.clear)
        progress_.clear();
    begin();
}

std::vector<CheckRow> Report::run(PeriodCheck& period) {
    const std::vector<CheckRow> rows = period.run(*this);
    if (progress_.clear)
        progress_.clear();
    end(rows);
    return rows;
}

Report::Counts& Report::fileCounts(const std::string& name) {
    if (name == files_.purchases.name)
        return perFile_[1];
    if (name == files_.sales.name)
        return perFile_[2];
    if (files_.vies && name == files_.vies->name)
        return perFile_[3];
    return perFile_[0];
}

// ---------------------------------------------------------------- TextReport

TextReport::TextReport(const PeriodFiles& files, std::ostream& out, std::size_t maxLines, CheckProgress progress)
    : Report(files, std::move(progress)), out_(out), maxLines_(maxLines) {}

void TextReport::newLine() {
    out() << '\n';
    ++lines_;
}

void TextReport::begin() {
    out_ << shownText(files_.description()) << '\n';
    // The lines written early come after the header: one line further down.
    for (ReportLink& link : links_)
        ++link.reportLine;
    ++lines_;
    out_ << held_.str();
    held_.str({});
    begun_ = true;
}

void TextReport::end(const std::vector<CheckRow>& rows) {
    writeRepeats();
    const std::size_t unshown = total_.errors + total_.warnings - shown_ - counted_;
    if (unshown != 0)
        out_ << "... още " << unshown << " находки не са показани (--max-findings " << maxLines_ << ")\n";
    printCheckTable(rows, out_);
    out_ << "Находки: " << errorCount(total_.errors) << ", " << warningCount(total_.warnings)
         << "; неспазени правила на декларацията: " << failedRules(rows) << ".\n";
    const std::string* names[] = {&files_.declaration.name, &files_.purchases.name, &files_.sales.name,
                                  files_.vies ? &files_.vies->name : nullptr};
    for (std::size_t index = 0; index < perFile_.size() && names[index]; ++index)
        out_ << "  " << shownText(*names[index]) << ": " << errorCount(perFile_[index].errors) << ", "
             << warningCount(perFile_[index].warnings) << '\n';
    for (const RuleInfo& rule : ruleTable()) {
        const Counts& counts = byRule_[static_cast<std::size_t>(rule.id)];
        if (counts.errors + counts.warnings == 0)
            continue;
        out_ << "  правило " << rule.number << " " << rule.key << ": "
             << (counts.errors != 0 ? errorCount(counts.errors) : warningCount(counts.warnings)) << '\n';
    }
}

void TextReport::write(const Finding& finding) {
    if (finding.file != file_) {
        writeRepeats();
        file_ = finding.file;
    }
    // Records of another firm or period: the first record of each value is shown, the others
    // counted and summed up in one line after the journal's findings.
    if ((finding.rule == RuleId::OwnVatNumber || finding.rule == RuleId::OwnPeriod) && written_ < maxLines_) {
        const auto seen = std::find_if(repeats_.begin(), repeats_.end(), [&](const Repeat& repeat) {
            return repeat.rule == finding.rule && repeat.value == finding.value;
        });
        if (seen != repeats_.end()) {
            ++seen->count;
            ++counted_;
            return;
        }
        if (repeats_.size() < kRepeatsKept)
            repeats_.push_back({finding.rule, finding.value, 0});
    }
    if (written_ >= maxLines_)
        return;
    ++written_;
    ++shown_;
    if (begun_ && progress_.clear)
        progress_.clear();
    links_.push_back({lines_, finding.file, finding.line, finding.severity});
    // A value may hold any byte of the file: control characters are shown escaped, so that one
    // finding stays one line.
    out() << shownText(finding.file) << ':' << finding.line << ": " << severityText(finding.severity);
    if (!finding.field.empty())
        out() << ' ' << shownText(finding.field);
    if (!finding.fieldName.empty())
        out() << ' ' << shownText(finding.fieldName);
    out() << " \"" << shownText(finding.value) << "\": " << shownText(fullMessage(finding));
    newLine();
}

void TextReport::writeRepeats() {
    for (const Repeat& repeat : repeats_) {
        if (repeat.count == 0)
            continue;
        if (begun_ && progress_.clear)
            progress_.clear();
        // About several records of the file: linked to the file as a whole.
        links_.push_back({lines_, file_, 0, ruleInfo(repeat.rule).severity});
        out() << shownText(file_) << ": … и още " << repeat.count << (repeat.count == 1 ? " запис" : " записа")
              << (repeat.rule == RuleId::OwnVatNumber ? " на " + shownText(repeat.value)
                                                      : " за " + shownText(periodForPeople(repeat.value)));
        newLine();
        ++written_;
    }
    repeats_.clear();
}

// ---------------------------------------------------------------- the window's entry

CheckReport runTextReport(const PeriodSession& session, const ReturnCells* cells, std::size_t maxFindings,
                          const std::atomic<bool>* cancel, const CheckProgress& progress) {
    PeriodCheck period(session, cancel);
    if (cells)
        period.useCells(*cells);
    std::ostringstream out;
    TextReport report(period.files(), out, maxFindings, progress);
    const std::vector<CheckRow> rows = report.run(period);
    CheckReport result;
    result.text = out.str();
    result.links = report.links();
    result.errors = report.errors();
    result.warnings = report.warnings();
    result.failedRules = failedRules(rows);
    // After the read: a file changed during it is named too.
    result.filesChanged = session.changedFilesNote();
    return result;
}

} // namespace orva::check
