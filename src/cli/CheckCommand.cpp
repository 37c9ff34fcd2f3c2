#include "cli/CheckCommand.h"

#include "check/CheckReport.h"
#include "cli/Command.h"
#include "cli/Documents.h"
#include "cli/Json.h"
#include "cli/Output.h"
#include "cli/Progress.h"
#include "cli/Spreadsheet.h"
#include "text/Csv.h"
#include "text/Encoding.h"
#include "text/LineFile.h"

#include <xlsxwriter.h>

#include <cstdio>
#include <memory>
#include <ostream>
#include <sstream>
#include <vector>

namespace orva::cli {

namespace {

using check::Finding;
using check::Report;
using check::Severity;

const char* const kReturnRuleKey = "return-table";

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
            check::fullMessage(finding)};
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

// Counts only: the summary of many periods needs no report.
class SilentReport final : public Report {
public:
    SilentReport(const PeriodFiles& files, const CheckProgress& progress) : Report(files, progress) {}

private:
    void write(const Finding&) override {}
    void end(const std::vector<CheckRow>&) override {}
};

// CSV for spreadsheets set up for Bulgarian: ";" between fields, CR LF, UTF-8 with a BOM.
class CsvReport final : public Report {
public:
    CsvReport(const PeriodFiles& files, const CheckProgress& progress, std::ostream& out)
        : Report(files, progress), out_(out) {}

private:
    void begin() override {
        out_ << "\xEF\xBB\xBF";
        put({"file", 0, "field", "severity", "rule", "value", "message"}, "line");
    }

    void end(const std::vector<CheckRow>& rows) override {
        for (const CheckRow& row : rows)
            put(tableRow(files_.declaration.name, row));
    }

    void write(const Finding& finding) override { put(findingRow(finding)); }

    void put(const Row& row, const char* lineText = nullptr) {
        out_ << csvCell(row.file) << ';';
        if (lineText)
            out_ << lineText;
        else if (row.line != 0)
            out_ << row.line;
        for (const std::string* text : {&row.field, &row.severity, &row.rule, &row.value, &row.message})
            out_ << ';' << csvCell(*text);
        out_ << "\r\n";
    }

    std::ostream& out_;
};

// One JSON array of objects keyed as the CSV columns; "line" is null for the return's table.
class JsonReport final : public Report {
public:
    JsonReport(const PeriodFiles& files, const CheckProgress& progress, std::ostream& out)
        : Report(files, progress), out_(out) {}

private:
    void begin() override { out_ << '['; }

    void end(const std::vector<CheckRow>& rows) override {
        for (const CheckRow& row : rows)
            put(tableRow(files_.declaration.name, row));
        out_ << (first_ ? "]\n" : "\n]\n");
    }

    void write(const Finding& finding) override { put(findingRow(finding)); }

    void put(const Row& row) {
        out_ << (first_ ? "\n" : ",\n") << "{\"file\":" << jsonString(row.file);
        first_ = false;
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
        for (const auto& [key, text] : fields)
            out_ << ",\"" << key << "\":" << jsonString(*text);
        out_ << '}';
    }

    std::ostream& out_;
    bool first_ = true;
};

// The rows of the CSV, as a sheet: "line" a number, empty for the return's table.
class XlsxReport final : public Report {
public:
    XlsxReport(const PeriodFiles& files, const CheckProgress& progress, XlsxBook& book)
        : Report(files, progress), book_(book), sheet_(book.addSheet("Проверка")) {}

private:
    void begin() override {
        const double widths[] = {14, 8, 12, 16, 24, 18, 80};
        for (std::size_t i = 0; i < std::size(widths); ++i)
            worksheet_set_column(sheet_, static_cast<lxw_col_t>(i), static_cast<lxw_col_t>(i), widths[i], nullptr);
        put({"file", 0, "field", "severity", "rule", "value", "message"}, "line", book_.header());
        worksheet_freeze_panes(sheet_, 1, 0);
    }

    void end(const std::vector<CheckRow>& rows) override {
        for (const CheckRow& row : rows)
            put(tableRow(files_.declaration.name, row));
        worksheet_autofilter(sheet_, 0, 0, static_cast<lxw_row_t>(rows_ - 1), 6);
    }

    void write(const Finding& finding) override { put(findingRow(finding)); }

    void put(const Row& row, const char* lineText = nullptr, lxw_format* format = nullptr) {
        const auto at = static_cast<lxw_row_t>(rows_++);
        text(at, 0, row.file, format);
        if (lineText != nullptr)
            text(at, 1, lineText, format);
        else if (row.line != 0)
            checkXlsx(worksheet_write_number(sheet_, at, 1, static_cast<double>(row.line), nullptr), book_.path());
        lxw_col_t column = 2;
        for (const std::string* cell : {&row.field, &row.severity, &row.rule, &row.value, &row.message})
            text(at, column++, *cell, format);
    }

    void text(lxw_row_t at, lxw_col_t column, const std::string& cell, lxw_format* format) {
        if (!cell.empty())
            checkXlsx(worksheet_write_string(sheet_, at, column, cell.c_str(), format), book_.path());
    }

    XlsxBook& book_;
    lxw_worksheet* sheet_;
    std::size_t rows_ = 0;
};

// Where check writes --output FILE: a file replaced whole, a link at FILE replaced rather than
// written through (as export's files); what cannot be written is a failure to write (1).
std::unique_ptr<AtomicFileWriter> openOutputFile(const std::string& path) {
    try {
        return std::make_unique<AtomicFileWriter>(path, AtomicFileWriter::Links::Replace);
    } catch (const Error& failure) {
        throw Failure(kUsage, failure.what());
    }
}

} // namespace

std::unique_ptr<XlsxBook> openOutputBook(const std::string& path) {
    try {
        return std::make_unique<XlsxBook>(path);
    } catch (const Error& failure) {
        throw Failure(kUsage, failure.what());
    }
}

void publishOutput(const std::function<void()>& publish) {
    try {
        publish();
    } catch (const Error& failure) {
        throw Failure(kUsage, failure.what());
    }
}

OutputFile::OutputFile(const std::string& path)
    : file_(openOutputFile(path)), buffer_(std::make_unique<AtomicFileBuffer>(*file_)), stream_(buffer_.get()) {
    stream_.exceptions(std::ios::badbit); // a failed write is the file's error, not a quiet bad stream
}

void OutputFile::publish() {
    publishOutput([&] {
        stream_.flush();
        file_->publish();
    });
}

PeriodOutcome checkPeriod(const CheckOptions& options, std::ostream* out, const CheckProgress& progress) {
    if (progress.step)
        progress.step("reading the period");
    const PeriodSession session(options.dataFolder, options.read);
    PeriodCheck period(session);
    period.checkJournalsAtOnce(options.journalsAtOnce);
    if (!options.cells.empty())
        period.useCells(typedCellsOver(period.declaration().cells, options.cells, options.warnings));
    std::unique_ptr<Report> report;
    if (out == nullptr) {
        report = std::make_unique<SilentReport>(period.files(), progress);
    } else {
        switch (options.format) {
        case CheckFormat::Xlsx:
            if (options.book != nullptr) {
                report = std::make_unique<XlsxReport>(period.files(), progress, *options.book);
                break;
            }
            [[fallthrough]];
        case CheckFormat::Text:
            report = std::make_unique<check::TextReport>(period.files(), *out, options.maxFindings, progress);
            break;
        case CheckFormat::Csv:
            report = std::make_unique<CsvReport>(period.files(), progress, *out);
            break;
        case CheckFormat::Json:
            report = std::make_unique<JsonReport>(period.files(), progress, *out);
            break;
        }
    }
    const std::vector<CheckRow> rows = report->run(period);
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
    outcome.failedRules = check::failedRules(rows);
    const bool failed = outcome.errors != 0 || outcome.failedRules != 0 || (options.strict && outcome.warnings != 0);
    outcome.status = failed ? kMismatch : kSuccess;
    return outcome;
}

CheckOptions checkOptions(const Options& options, const std::string& dataFolder, std::ostream* warnings) {
    CheckOptions check;
    check.dataFolder = dataFolder;
    check.read = options.read;
    check.format = options.checkFormat;
    check.strict = options.strict;
    check.maxFindings = options.maxFindings;
    check.cells = options.answers.cells;
    check.warnings = warnings;
    return check;
}

int runCheck(const CheckOptions& options, std::ostream& out, const CheckProgress& progress) {
    return checkPeriod(options, &out, progress).status;
}

namespace {

class CheckCommand final : public Command {
public:
    std::string description() const override {
        return "  check     Check the period before filing: every record of both journals\n"
               "            against the record rules (one line per finding, file:line,\n"
               "            ГРЕШКА or ПРЕДУПРЕЖДЕНИЕ, the field, its value and the rule's\n"
               "            message), then the return against the journals and its own sums\n"
               "            (one table row per rule: the return's value, the journals' value,\n"
               "            the difference and OK, НЕСЪОТВЕТСТВИЕ or НЕ Е ПРОВЕРЕНО), then\n"
               "            the counts per file and rule.\n"
               "            Every file is read to its end, whatever its records hold.\n"
               "            Several DATAFOLDERs, or --recursive: one summary row per period\n"
               "            (folder, firm, VAT number, period, generation, records, cells 50\n"
               "            and 60, errors, warnings, failed return rules, status OK,\n"
               "            ПРЕДУПРЕЖДЕНИЯ, ГРЕШКИ or НЕЧЕТИМ with the reason), then the totals.\n";
    }

    int run(const Options& options, Streams& streams, const Environment&) const override {
        if (options.manyPeriods())
            return runCheckSummary(options, streams);
        CheckOptions check = checkOptions(options, *options.dataFolder, &streams.err);
        Progress& progress = streams.progress;
        const CheckProgress shown{[&](const std::string& what) { progress.step(what); }, [&]() { progress.clear(); }};
        if (!options.output)
            return runCheck(check, streams.out, shown);
        OutputGuard({*options.dataFolder}).checkFile(*options.output);
        if (options.checkFormat == CheckFormat::Xlsx) {
            const std::unique_ptr<XlsxBook> book = openOutputBook(*options.output);
            check.book = book.get();
            std::ostringstream unused;
            const int status = runCheck(check, unused, shown);
            publishOutput([&] { book->publish(); });
            return status;
        }
        OutputFile out(*options.output);
        const int status = runCheck(check, out.stream(), shown);
        out.publish();
        return status;
    }
};

} // namespace

const Command& checkCommand() {
    static const CheckCommand command;
    return command;
}

} // namespace orva::cli
