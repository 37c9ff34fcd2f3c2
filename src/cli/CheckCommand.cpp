#include "cli/CheckCommand.h"

#include "period/Gate.h"

#include "check/PeriodCheck.h"
#include "cli/CheckTable.h"
#include "cli/Command.h"
#include "cli/Documents.h"
#include "cli/Output.h"
#include "cli/Progress.h"
#include "text/Csv.h"
#include "text/Encoding.h"
#include "text/LineFile.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <memory>
#include <ostream>
#include <vector>

namespace orva::cli {

namespace {

using check::Finding;
using check::Severity;

const char* const kReturnRuleKey = "return-table";

struct Counts {
    std::size_t errors = 0;
    std::size_t warnings = 0;
    void add(Severity severity) { ++(severity == Severity::Error ? errors : warnings); }
};

// "1 грешка", "2 грешки"; "1 предупреждение", "2 предупреждения".
std::string errorCount(std::size_t count) {
    return std::to_string(count) + (count == 1 ? " грешка" : " грешки");
}
std::string warningCount(std::size_t count) {
    return std::to_string(count) + (count == 1 ? " предупреждение" : " предупреждения");
}

// The finding's message with its variable part, as every format shows it.
std::string fullMessage(const Finding& finding) {
    return finding.detail.empty() ? finding.message : finding.message + " (" + finding.detail + ")";
}

// One output row: a finding, or a rule of the return's table (line 0: none).
struct Row {
    std::string file;
    std::size_t line = 0;
    std::string field;
    std::string severity;
    std::string rule;
    std::string value;
    std::string message;
};

Row findingRow(const Finding& finding) {
    return {finding.file,
            finding.line,
            finding.field,
            std::string(check::severityText(finding.severity)),
            check::ruleInfo(finding.rule).key,
            finding.value,
            fullMessage(finding)};
}

Row tableRow(const std::string& declarationFile, const CheckRow& row) {
    Row result{declarationFile, 0, row.rule, "", kReturnRuleKey, row.returnValue, {}};
    switch (row.result) {
    case CheckRow::Result::Holds:
        result.severity = "OK";
        result.message = "OK: дневници " + row.journalValue + ", разлика " + row.difference;
        break;
    case CheckRow::Result::Fails:
        result.severity = std::string(check::severityText(Severity::Error));
        result.message = "НЕСЪОТВЕТСТВИЕ: дневници " + row.journalValue + ", разлика " + row.difference;
        break;
    case CheckRow::Result::NotEvaluable:
        result.severity = std::string(check::severityText(Severity::Error));
        result.message = "НЕ Е ПРОВЕРЕНО: " + row.difference;
        break;
    }
    return result;
}

// Counts every finding and passes it on to the format's writer.
class Report : public FindingSink {
public:
    Report(const PeriodFiles& files, const CheckProgress& progress) : files_(files), progress_(progress) {}

    void finding(const Finding& finding) override {
        total_.add(finding.severity);
        byRule_[static_cast<std::size_t>(finding.rule)].add(finding.severity);
        fileCounts(finding.file).add(finding.severity);
        write(finding);
    }

    void progress(const std::string& fileName, double done) override {
        if (progress_.step)
            progress_.step("checking " + fileName + " " + std::to_string(static_cast<int>(done * 100)) + "%");
    }

    virtual void begin() {}
    virtual void end(const std::vector<CheckRow>& rows) = 0;

    std::size_t errors() const { return total_.errors; }
    std::size_t warnings() const { return total_.warnings; }

protected:
    virtual void write(const Finding& finding) = 0;

    Counts& fileCounts(const std::string& name) {
        if (name == files_.purchases.name)
            return perFile_[1];
        if (name == files_.sales.name)
            return perFile_[2];
        if (files_.vies && name == files_.vies->name)
            return perFile_[3];
        return perFile_[0];
    }

    const PeriodFiles& files_;
    const CheckProgress& progress_;
    Counts total_;
    std::array<Counts, 4> perFile_{}; // the return, purchases, sales, VIES.TXT
    std::array<Counts, check::ruleCount> byRule_{};
};

class TextReport final : public Report {
public:
    TextReport(const PeriodFiles& files, const CheckProgress& progress, std::ostream& out, std::size_t maxLines)
        : Report(files, progress), out_(out), maxLines_(maxLines) {}

    void begin() override { out_ << shownText(files_.description()) << '\n'; }

    void end(const std::vector<CheckRow>& rows) override {
        writeRepeats();
        const std::size_t unshown = total_.errors + total_.warnings - shown_ - counted_;
        if (unshown != 0)
            out_ << "... още " << unshown << " находки не са показани (--max-findings " << maxLines_ << ")\n";
        printCheckTable(rows, out_);
        std::size_t tableFailures = 0;
        for (const CheckRow& row : rows)
            tableFailures += row.result == CheckRow::Result::Holds ? 0 : 1;
        out_ << "Находки: " << errorCount(total_.errors) << ", " << warningCount(total_.warnings)
             << "; неспазени правила на декларацията: " << tableFailures << ".\n";
        const std::string* names[] = {&files_.declaration.name, &files_.purchases.name, &files_.sales.name,
                                      files_.vies ? &files_.vies->name : nullptr};
        for (std::size_t index = 0; index < perFile_.size() && names[index]; ++index)
            out_ << "  " << shownText(*names[index]) << ": " << errorCount(perFile_[index].errors) << ", "
                 << warningCount(perFile_[index].warnings) << '\n';
        for (const check::RuleInfo& rule : check::ruleTable()) {
            const Counts& counts = byRule_[static_cast<std::size_t>(rule.id)];
            if (counts.errors + counts.warnings == 0)
                continue;
            out_ << "  правило " << rule.number << " " << rule.key << ": "
                 << (counts.errors != 0 ? errorCount(counts.errors) : warningCount(counts.warnings)) << '\n';
        }
    }

private:
    void write(const Finding& finding) override {
        if (finding.file != file_) {
            writeRepeats();
            file_ = finding.file;
        }
        // Records of another firm or period: the first record of each value is shown, the others
        // counted and summed up in one line after the journal's findings.
        if ((finding.rule == check::RuleId::OwnVatNumber || finding.rule == check::RuleId::OwnPeriod) &&
            written_ < maxLines_) {
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
        if (progress_.clear)
            progress_.clear();
        // A value may hold any byte of the file: control characters are shown escaped, so that one
        // finding stays one line.
        out_ << shownText(finding.file) << ':' << finding.line << ": " << check::severityText(finding.severity);
        if (!finding.field.empty())
            out_ << ' ' << shownText(finding.field);
        if (!finding.fieldName.empty())
            out_ << ' ' << shownText(finding.fieldName);
        out_ << " \"" << shownText(finding.value) << "\": " << shownText(fullMessage(finding)) << '\n';
    }

    void writeRepeats() {
        for (const Repeat& repeat : repeats_) {
            if (repeat.count == 0)
                continue;
            if (progress_.clear)
                progress_.clear();
            out_ << shownText(file_) << ": … и още " << repeat.count << (repeat.count == 1 ? " запис" : " записа")
                 << (repeat.rule == check::RuleId::OwnVatNumber ? " на " + shownText(repeat.value)
                                                                : " за " + shownText(periodForPeople(repeat.value)))
                 << '\n';
            ++written_;
        }
        repeats_.clear();
    }

    struct Repeat {
        check::RuleId rule;
        std::string value;
        std::size_t count;
    };
    static constexpr std::size_t kRepeatsKept = 16; // of one journal; further values are shown as they come

    std::ostream& out_;
    std::size_t maxLines_;
    std::size_t written_ = 0; // lines of findings, summaries included
    std::size_t shown_ = 0;   // findings shown
    std::size_t counted_ = 0; // findings summed up instead
    std::string file_;
    std::vector<Repeat> repeats_;
};

// Counts only: the summary of many periods needs no report.
class SilentReport final : public Report {
public:
    SilentReport(const PeriodFiles& files, const CheckProgress& progress) : Report(files, progress) {}
    void end(const std::vector<CheckRow>&) override {}

private:
    void write(const Finding&) override {}
};

// CSV for spreadsheets set up for Bulgarian: ";" between fields, CR LF, UTF-8 with a BOM.
class CsvReport final : public Report {
public:
    CsvReport(const PeriodFiles& files, const CheckProgress& progress, std::ostream& out)
        : Report(files, progress), out_(out) {}

    void begin() override {
        out_ << "\xEF\xBB\xBF";
        put({"file", 0, "field", "severity", "rule", "value", "message"}, "line");
    }

    void end(const std::vector<CheckRow>& rows) override {
        for (const CheckRow& row : rows)
            put(tableRow(files_.declaration.name, row));
    }

private:
    void write(const Finding& finding) override { put(findingRow(finding)); }

    void field(const std::string& cell) {
        const std::string text = neutralisedCsvCell(cell);
        if (text.find_first_of(";\"\r\n") == std::string::npos) {
            out_ << text;
            return;
        }
        out_ << '"';
        for (char c : text) {
            if (c == '"')
                out_ << '"';
            out_ << c;
        }
        out_ << '"';
    }

    void put(const Row& row, const char* lineText = nullptr) {
        field(row.file);
        out_ << ';';
        if (lineText)
            out_ << lineText;
        else if (row.line != 0)
            out_ << row.line;
        for (const std::string* text : {&row.field, &row.severity, &row.rule, &row.value, &row.message}) {
            out_ << ';';
            field(*text);
        }
        out_ << "\r\n";
    }

    std::ostream& out_;
};

// One JSON array of objects keyed as the CSV columns; "line" is null for the return's table.
class JsonReport final : public Report {
public:
    JsonReport(const PeriodFiles& files, const CheckProgress& progress, std::ostream& out)
        : Report(files, progress), out_(out) {}

    void begin() override { out_ << '['; }

    void end(const std::vector<CheckRow>& rows) override {
        for (const CheckRow& row : rows)
            put(tableRow(files_.declaration.name, row));
        out_ << (first_ ? "]\n" : "\n]\n");
    }

private:
    void write(const Finding& finding) override { put(findingRow(finding)); }

    void string(const std::string& text) {
        out_ << '"';
        for (unsigned char c : text) {
            if (c == '"' || c == '\\') {
                out_ << '\\' << c;
            } else if (c < 0x20 || c == 0x7F) {
                char escaped[8];
                std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
                out_ << escaped;
            } else {
                out_ << c;
            }
        }
        out_ << '"';
    }

    void put(const Row& row) {
        out_ << (first_ ? "\n" : ",\n") << "{\"file\":";
        first_ = false;
        string(row.file);
        out_ << ",\"line\":";
        if (row.line != 0)
            out_ << row.line;
        else
            out_ << "null";
        const std::pair<const char*, const std::string*> fields[] = {{"field", &row.field},
                                                                     {"severity", &row.severity},
                                                                     {"rule", &row.rule},
                                                                     {"value", &row.value},
                                                                     {"message", &row.message}};
        for (const auto& [key, text] : fields) {
            out_ << ",\"" << key << "\":";
            string(*text);
        }
        out_ << '}';
    }

    std::ostream& out_;
    bool first_ = true;
};

} // namespace

PeriodOutcome checkPeriod(const CheckOptions& options, std::ostream* out, const CheckProgress& progress) {
    if (progress.step)
        progress.step("reading the period");
    PeriodCheck period(options.dataFolder, options.read);
    if (!options.cells.empty())
        period.useCells(typedCellsOver(period.declaration().cells, options.cells, options.warnings));
    std::unique_ptr<Report> report;
    if (out == nullptr) {
        report = std::make_unique<SilentReport>(period.files(), progress);
    } else {
        switch (options.format) {
        case CheckFormat::Text:
        case CheckFormat::Xlsx:
            report = std::make_unique<TextReport>(period.files(), progress, *out, options.maxFindings);
            break;
        case CheckFormat::Csv:
            report = std::make_unique<CsvReport>(period.files(), progress, *out);
            break;
        case CheckFormat::Json:
            report = std::make_unique<JsonReport>(period.files(), progress, *out);
            break;
        }
    }
    if (progress.clear)
        progress.clear();
    report->begin();
    const std::vector<CheckRow> rows = period.run(*report);
    if (progress.clear)
        progress.clear();
    report->end(rows);
    if (out != nullptr)
        out->flush();

    PeriodOutcome outcome;
    const Declaration& declaration = period.declaration();
    outcome.firm = win1251ToUtf8(trimBlanks(declaration.firmName));
    outcome.vatNumber = win1251ToUtf8(trimBlanks(declaration.vatNumber));
    outcome.period = win1251ToUtf8(declaration.periodText);
    outcome.generation = returnLayoutName(period.files().returnLayout);
    outcome.cell50 = win1251ToUtf8(trimBlanks(declaration.cells[50]));
    outcome.cell60 = win1251ToUtf8(trimBlanks(declaration.cells[60]));
    outcome.purchases = period.purchaseRecords();
    outcome.sales = period.saleRecords();
    outcome.errors = report->errors();
    outcome.warnings = report->warnings();
    for (const CheckRow& row : rows)
        outcome.failedRules += row.result == CheckRow::Result::Holds ? 0 : 1;
    const bool failed = outcome.errors != 0 || outcome.failedRules != 0 || (options.strict && outcome.warnings != 0);
    outcome.status = failed ? kMismatch : kSuccess;
    return outcome;
}

int runCheck(const CheckOptions& options, std::ostream& out, const CheckProgress& progress) {
    return checkPeriod(options, &out, progress).status;
}

namespace {

class CheckCommand final : public Command {
public:
    const char* name() const override { return "check"; }

    std::string usage() const override {
        return "  orva-cli check  [--format text|csv|json|xlsx] [--output FILE] [--strict]\n"
               "                  [--max-findings N] [--cell NN=TEXT]... [--recursive] [--jobs N]\n"
               "                  [--details DIR] [READING OPTIONS] DATAFOLDER...\n";
    }

    std::string description() const override {
        return "  check     Check the period before filing: every record of both journals\n"
               "            against the record rules (one line per finding, file:line, ГРЕШКА\n"
               "            or ПРЕДУПРЕЖДЕНИЕ, the field, its value and the rule's message), then\n"
               "            the return against the journals and its own sums (one table row per\n"
               "            rule: the return's value, the journals' value, the difference and OK,\n"
               "            НЕСЪОТВЕТСТВИЕ or НЕ Е ПРОВЕРЕНО), then the counts per file and rule.\n"
               "            Every file is read to its end, whatever its records hold.\n"
               "            Several DATAFOLDERs, or --recursive: one summary row per period\n"
               "            (folder, firm, VAT number, period, generation, records, cells 50\n"
               "            and 60, errors, warnings, failed return rules, status OK,\n"
               "            ПРЕДУПРЕЖДЕНИЯ, ГРЕШКИ or НЕЧЕТИМ with the reason), then the totals.\n";
    }

    std::string optionHelp() const override {
        return "  --format text|csv|json\n"
               "                        check's output: text (the default); csv, one row per\n"
               "                        finding and per return rule (file;line;field;severity;\n"
               "                        rule;value;message, CR LF, UTF-8 with a BOM; a cell\n"
               "                        starting with = + - @ TAB or CR that is not a number\n"
               "                        gets a leading '); json, the same rows as one array of\n"
               "                        objects\n"
               "  --strict              check: a warning fails the check too\n"
               "  --max-findings N      check: show at most N finding lines in the text output\n"
               "                        (default 200); the counts and csv/json keep them all\n"
               "  --format xlsx         check: the summary of the periods as a spreadsheet; needs\n"
               "                        --output\n"
               "  --output FILE         check: write the output to FILE (replaced whole) instead\n"
               "                        of standard output\n"
               "  --details DIR         check over several periods: also each period's full text\n"
               "                        report, as DIR/<VAT number>-<YYYYMM>.txt\n";
    }

    int run(const Options& options, Streams& streams, const Environment&) const override {
        if (options.manyPeriods() || options.checkFormat == CheckFormat::Xlsx)
            return runCheckSummary(options, streams);
        CheckOptions check;
        check.dataFolder = *options.dataFolder;
        check.read = options.read;
        check.format = options.checkFormat;
        check.strict = options.strict;
        check.maxFindings = options.maxFindings;
        check.cells = options.answers.cells;
        check.warnings = &streams.err;
        Progress& progress = streams.progress;
        const CheckProgress shown{[&](const std::string& what) { progress.step(what); }, [&]() { progress.clear(); }};
        if (!options.output)
            return runCheck(check, streams.out, shown);
        AtomicFileWriter file(*options.output);
        AtomicFileBuffer buffer(file);
        std::ostream out(&buffer);
        out.exceptions(std::ios::badbit); // a failed write is the file's error, not a quiet bad stream
        const int status = runCheck(check, out, shown);
        out.flush();
        file.publish();
        return status;
    }
};

} // namespace

const Command& checkCommand() {
    static const CheckCommand command;
    return command;
}

} // namespace orva::cli
