// orva-cli check over many periods: one summary row per period in path order, then the totals.
#include "check/CheckReport.h"
#include "cli/CheckCommand.h"
#include "cli/Command.h"
#include "cli/Json.h"
#include "cli/Output.h"
#include "cli/PeriodQueue.h"
#include "cli/Progress.h"
#include "cli/Spreadsheet.h"
#include "journals/JournalSheet.h"
#include "period/Period.h"
#include "period/PeriodTree.h"
#include "text/ExactDecimal.h"
#include "text/LineFile.h"
#include "text/Paths.h"

#include <xlsxwriter.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <optional>
#include <ostream>
#include <sstream>

namespace orva::cli {

namespace {

using check::shownText;

struct SummaryRow {
    std::string folder;
    bool readable = false;
    std::string reason; // why the period could not be read (UTF-8)
    PeriodOutcome outcome;
    std::string detailsFailure; // the details file could not be written
    std::string warnings;       // of the corrected cells, for standard error in the period's turn
};

const char* statusText(const SummaryRow& row) {
    if (!row.readable)
        return "НЕЧЕТИМ";
    if (row.outcome.errors != 0 || row.outcome.failedRules != 0)
        return "ГРЕШКИ";
    return row.outcome.warnings != 0 ? "ПРЕДУПРЕЖДЕНИЯ" : "OK";
}

struct Totals {
    std::size_t periods = 0, ok = 0, withWarnings = 0, withErrors = 0, unreadable = 0;
    std::size_t purchases = 0, sales = 0, errors = 0, warnings = 0, failedRules = 0;

    void add(const SummaryRow& row) {
        ++periods;
        const std::string status = statusText(row);
        ++(status == "OK" ? ok : status == "ГРЕШКИ" ? withErrors : status == "НЕЧЕТИМ" ? unreadable : withWarnings);
        purchases += row.outcome.purchases;
        sales += row.outcome.sales;
        errors += row.outcome.errors;
        warnings += row.outcome.warnings;
        failedRules += row.outcome.failedRules;
    }
};

class SummaryWriter {
public:
    virtual ~SummaryWriter() = default;
    virtual void begin() {}
    virtual void row(const SummaryRow& row) = 0;
    virtual void end(const Totals& totals) = 0;
};

std::string left(const std::string& text, std::size_t width) {
    const std::size_t used = check::textColumns(text);
    return text + std::string(used < width ? width - used : 1, ' ');
}

std::string right(const std::string& text, std::size_t width) {
    const std::size_t used = check::textColumns(text);
    return std::string(used < width ? width - used : 1, ' ') + text;
}

std::string count(std::size_t value) {
    return std::to_string(value);
}

// A column of the summary: its key in CSV and JSON, its header and width in the spreadsheet and,
// for the fixed columns of the text table, there.
struct SummaryColumn {
    enum class Kind {
        Text,
        Count,  // a number in JSON and the spreadsheet; summed in the totals row
        Amount, // a number in the spreadsheet when it is one that fits
    };
    const char* key;        // CSV's header and JSON's key
    const char* header;     // the spreadsheet's
    double width;           // of the spreadsheet's column
    const char* textHeader; // the text table's; nullptr: not one of its fixed columns
    int textWidth;          // in the text table; negative: right-aligned
    Kind kind;
    bool ofReadPeriod; // empty (JSON: null) when the period could not be read
    std::string (*cell)(const SummaryRow& row);
    std::string (*total)(const Totals& totals); // nullptr: empty in the totals row
};

using Kind = SummaryColumn::Kind;

// clang-format off
const SummaryColumn kColumns[] = {
    {"folder", "Папка", 40, nullptr, 0, Kind::Text, false,
     [](const SummaryRow& r) { return r.folder; },
     [](const Totals&) { return std::string("ОБЩО"); }},
    {"firm", "Фирма", 30, nullptr, 0, Kind::Text, true,
     [](const SummaryRow& r) { return r.outcome.firm; }, nullptr},
    {"vat_number", "ДДС номер", 16, "ДДС НОМЕР", 16, Kind::Text, true,
     [](const SummaryRow& r) { return r.outcome.vatNumber; }, nullptr},
    {"period", "Период", 9, "ПЕРИОД", 8, Kind::Text, true,
     [](const SummaryRow& r) { return r.outcome.period; }, nullptr},
    {"generation", "Генерация", 12, "ГЕНЕРАЦИЯ", 11, Kind::Text, true,
     [](const SummaryRow& r) { return r.outcome.generation; }, nullptr},
    {"purchases", "Покупки", 10, "ПОКУПКИ", -9, Kind::Count, true,
     [](const SummaryRow& r) { return count(r.outcome.purchases); },
     [](const Totals& t) { return count(t.purchases); }},
    {"sales", "Продажби", 10, "ПРОДАЖБИ", -9, Kind::Count, true,
     [](const SummaryRow& r) { return count(r.outcome.sales); },
     [](const Totals& t) { return count(t.sales); }},
    {"cell50", "Клетка 50", 16, "КЛЕТКА 50", -16, Kind::Amount, true,
     [](const SummaryRow& r) { return r.outcome.cell50; }, nullptr},
    {"cell60", "Клетка 60", 16, "КЛЕТКА 60", -16, Kind::Amount, true,
     [](const SummaryRow& r) { return r.outcome.cell60; }, nullptr},
    {"errors", "Грешки", 9, "ГРЕШКИ", -8, Kind::Count, true,
     [](const SummaryRow& r) { return count(r.outcome.errors); },
     [](const Totals& t) { return count(t.errors); }},
    {"warnings", "Предупреждения", 15, "ПРЕДУПР.", -9, Kind::Count, true,
     [](const SummaryRow& r) { return count(r.outcome.warnings); },
     [](const Totals& t) { return count(t.warnings); }},
    {"failed_rules", "Неспазени правила", 10, "ПРАВИЛА", -8, Kind::Count, true,
     [](const SummaryRow& r) { return count(r.outcome.failedRules); },
     [](const Totals& t) { return count(t.failedRules); }},
    {"status", "Състояние", 16, "СЪСТОЯНИЕ", 15, Kind::Text, false,
     [](const SummaryRow& r) { return std::string(statusText(r)); }, nullptr},
    {"reason", "Причина", 50, nullptr, 0, Kind::Text, false,
     [](const SummaryRow& r) { return r.reason; },
     [](const Totals& t) {
         return count(t.periods) + " периода: OK " + count(t.ok) + ", ПРЕДУПРЕЖДЕНИЯ " + count(t.withWarnings) +
                ", ГРЕШКИ " + count(t.withErrors) + ", НЕЧЕТИМ " + count(t.unreadable);
     }},
};
// clang-format on

// The text table leads with it.
const SummaryColumn& kStatus = *std::find_if(std::begin(kColumns), std::end(kColumns), [](const SummaryColumn& column) {
    return std::string_view(column.key) == "status";
});

std::string cellOf(const SummaryColumn& column, const SummaryRow& row) {
    return !row.readable && column.ofReadPeriod ? std::string() : column.cell(row);
}

std::string totalOf(const SummaryColumn& column, const Totals& totals) {
    return column.total != nullptr ? column.total(totals) : std::string();
}

// The columns with a text header, at their widths (negative: right-aligned), the status first; then
// the folder and the firm (or the reason). Each row is written as it is ready.
class TextSummary final : public SummaryWriter {
public:
    explicit TextSummary(std::ostream& out) : out_(out) {}

    void begin() override {
        write([](const SummaryColumn& column) { return std::string(column.textHeader); });
        out_ << "  ПАПКА, ФИРМА\n";
    }

    void row(const SummaryRow& row) override {
        if (!row.readable) {
            write([&](const SummaryColumn& column) { return cellOf(column, row); });
            out_ << "  " << shownText(row.folder) << ": " << shownText(row.reason) << '\n';
            return;
        }
        write([&](const SummaryColumn& column) { return shownText(column.cell(row)); });
        out_ << "  " << shownText(row.folder) << "  " << shownText(row.outcome.firm) << '\n';
    }

    void end(const Totals& t) override {
        out_ << "Периоди: " << t.periods << " (OK " << t.ok << ", ПРЕДУПРЕЖДЕНИЯ " << t.withWarnings << ", ГРЕШКИ "
             << t.withErrors << ", НЕЧЕТИМ " << t.unreadable << "); записи: покупки " << t.purchases << ", продажби "
             << t.sales << "; грешки " << t.errors << ", предупреждения " << t.warnings << ", неспазени правила "
             << t.failedRules << ".\n";
    }

private:
    template <typename Text> void write(const Text& text) {
        const auto put = [&](const SummaryColumn& column) {
            const std::string shown = text(column);
            out_ << (column.textWidth < 0 ? right(shown, static_cast<std::size_t>(-column.textWidth))
                                          : left(shown, static_cast<std::size_t>(column.textWidth)));
        };
        put(kStatus);
        for (const SummaryColumn& column : kColumns)
            if (column.textHeader != nullptr && &column != &kStatus)
                put(column);
    }

    std::ostream& out_;
};

class CsvSummary final : public SummaryWriter {
public:
    explicit CsvSummary(std::ostream& out) : out_(out) {}
    void begin() override {
        out_ << "\xEF\xBB\xBF";
        put([](const SummaryColumn& column) { return std::string(column.key); });
    }
    void row(const SummaryRow& row) override {
        put([&](const SummaryColumn& column) { return cellOf(column, row); });
    }
    void end(const Totals& totals) override {
        put([&](const SummaryColumn& column) { return totalOf(column, totals); });
    }

private:
    template <typename Cell> void put(const Cell& cell) {
        for (const SummaryColumn& column : kColumns)
            out_ << (&column == kColumns ? "" : ";") << csvCell(cell(column));
        out_ << "\r\n";
    }
    std::ostream& out_;
};

// {"periods": [one object per period, keyed as the CSV columns; counts as numbers, null when the
// period could not be read], "totals": {...}}.
class JsonSummary final : public SummaryWriter {
public:
    explicit JsonSummary(std::ostream& out) : out_(out) {}
    void begin() override { out_ << "{\"periods\":["; }
    void row(const SummaryRow& row) override {
        out_ << (first_ ? "\n{" : ",\n{");
        first_ = false;
        for (const SummaryColumn& column : kColumns) {
            out_ << (&column == kColumns ? "" : ",") << '"' << column.key << "\":";
            if (!row.readable && column.ofReadPeriod)
                out_ << "null";
            else if (column.kind == Kind::Count)
                out_ << column.cell(row);
            else
                out_ << jsonString(column.cell(row));
        }
        out_ << '}';
    }
    void end(const Totals& t) override {
        out_ << (first_ ? "]," : "\n],") << "\n\"totals\":{\"periods\":" << t.periods << ",\"ok\":" << t.ok
             << ",\"with_warnings\":" << t.withWarnings << ",\"with_errors\":" << t.withErrors
             << ",\"unreadable\":" << t.unreadable << ",\"purchases\":" << t.purchases << ",\"sales\":" << t.sales
             << ",\"errors\":" << t.errors << ",\"warnings\":" << t.warnings << ",\"failed_rules\":" << t.failedRules
             << "}}\n";
    }

private:
    std::ostream& out_;
    bool first_ = true;
};

class XlsxSummary final : public SummaryWriter {
public:
    explicit XlsxSummary(const std::string& path) : book_(openOutputBook(path)) {
        sheet_ = book_->addSheet("Периоди");
        for (std::size_t i = 0; i < std::size(kColumns); ++i) {
            const auto at = static_cast<lxw_col_t>(i);
            worksheet_set_column(sheet_, at, at, kColumns[i].width, nullptr);
            checkXlsx(worksheet_write_string(sheet_, 0, at, kColumns[i].header, book_->header()), path);
        }
        worksheet_freeze_panes(sheet_, 1, 0);
    }

    void row(const SummaryRow& row) override {
        const auto at = static_cast<lxw_row_t>(++rows_);
        for (std::size_t i = 0; i < std::size(kColumns); ++i) {
            const SummaryColumn& column = kColumns[i];
            const auto to = static_cast<lxw_col_t>(i);
            const std::string text = cellOf(column, row);
            if (text.empty())
                continue;
            if (column.kind == Kind::Count && row.readable) {
                checkXlsx(worksheet_write_number(sheet_, at, to, std::stod(text), nullptr), book_->path());
                continue;
            }
            if (column.kind == Kind::Amount) {
                const auto value = ExactDecimal::parse(text);
                if (const auto number = value ? spreadsheetNumber(*value) : std::nullopt) {
                    checkXlsx(worksheet_write_number(sheet_, at, to, *number, book_->money()), book_->path());
                    continue;
                }
            }
            checkXlsx(worksheet_write_string(sheet_, at, to, text.c_str(), nullptr), book_->path());
        }
    }

    void end(const Totals& t) override {
        worksheet_autofilter(sheet_, 0, 0, static_cast<lxw_row_t>(rows_), std::size(kColumns) - 1);
        const auto at = static_cast<lxw_row_t>(rows_ + 1);
        for (std::size_t i = 0; i < std::size(kColumns); ++i) {
            const SummaryColumn& column = kColumns[i];
            const auto to = static_cast<lxw_col_t>(i);
            const std::string text = totalOf(column, t);
            if (text.empty())
                continue;
            if (column.kind == Kind::Count) {
                const std::string letters = columnLetters(i);
                const std::string formula =
                    rows_ == 0 ? "=0" : "=SUM(" + letters + "2:" + letters + std::to_string(rows_ + 1) + ")";
                checkXlsx(worksheet_write_formula_num(sheet_, at, to, formula.c_str(), book_->bold(), std::stod(text)),
                          book_->path());
            } else {
                checkXlsx(worksheet_write_string(sheet_, at, to, text.c_str(), book_->bold()), book_->path());
            }
        }
        publishOutput([&] { book_->publish(); });
    }

private:
    std::unique_ptr<XlsxBook> book_;
    lxw_worksheet* sheet_ = nullptr;
    std::size_t rows_ = 0;
};

SummaryRow checkOne(const std::string& folder, const Options& options, const std::string& detailsPath) {
    SummaryRow row;
    // A folder named in another code page on an old share: the reports stay valid UTF-8.
    row.folder = fileNameAsUtf8(folder);
    std::ostringstream warnings;
    CheckOptions check = checkOptions(options, folder, &warnings);
    check.format = CheckFormat::Text; // the details are text reports, whatever the summary's format
    check.journalsAtOnce = options.jobs <= 1;
    std::ostringstream report;
    try {
        row.outcome = checkPeriod(check, detailsPath.empty() ? nullptr : &report, {});
        row.readable = true;
    } catch (const std::exception& failure) {
        row.reason = fileNameAsUtf8(failure.what());
        report << "orva-cli: " << shownText(failure.what()) << '\n';
    }
    row.warnings = warnings.str();
    if (!detailsPath.empty()) {
        try {
            // A link planted among the reports is replaced, never written through.
            AtomicFileWriter file(detailsPath, AtomicFileWriter::Links::Replace);
            file.write(report.str());
            file.publish();
        } catch (const std::exception& failure) {
            row.detailsFailure = failure.what();
        }
    }
    return row;
}

} // namespace

int runCheckSummary(const Options& options, Streams& streams) {
    const std::vector<std::string> folders =
        options.recursive ? findPeriodFolders(options.dataFolders) : options.dataFolders;
    std::vector<std::string> detailsPaths(folders.size());
    // Before anything is written: no output over a data file, in a data folder or above one.
    if (options.output || options.details) {
        const OutputGuard guard(folders);
        if (options.output)
            guard.checkFile(*options.output);
        if (options.details)
            guard.checkFolder(*options.details);
    }
    if (options.details) {
        std::error_code error;
        std::filesystem::create_directories(std::filesystem::u8path(*options.details), error);
        if (error)
            throw Failure(kUsage, "не може да се създаде папката " + *options.details + ": " + error.message());
        UniqueNames names;
        for (std::size_t i = 0; i < folders.size(); ++i)
            detailsPaths[i] = joinPath(*options.details, names.take(periodOutputNameOf(folders[i])) + ".txt");
    }

    std::optional<OutputFile> file;
    std::ostream* out = &streams.out;
    if (options.output && options.checkFormat != CheckFormat::Xlsx)
        out = &file.emplace(*options.output).stream();
    std::unique_ptr<SummaryWriter> writer;
    switch (options.checkFormat) {
    case CheckFormat::Text:
        writer = std::make_unique<TextSummary>(*out);
        break;
    case CheckFormat::Csv:
        writer = std::make_unique<CsvSummary>(*out);
        break;
    case CheckFormat::Json:
        writer = std::make_unique<JsonSummary>(*out);
        break;
    case CheckFormat::Xlsx:
        writer = std::make_unique<XlsxSummary>(*options.output);
        break;
    }

    Totals totals;
    bool unreadable = false, failed = false, detailsFailed = false;
    writer->begin();
    runPeriods<SummaryRow>(
        folders.size(), options.jobs,
        [&](std::size_t index) { return checkOne(folders[index], options, detailsPaths[index]); },
        [&](std::size_t, SummaryRow& row) {
            streams.progress.clear();
            streams.err << row.warnings;
            writer->row(row);
            totals.add(row);
            unreadable = unreadable || !row.readable;
            failed = failed || (row.readable && row.outcome.status != kSuccess);
            if (!row.detailsFailure.empty()) {
                streams.err << "orva-cli: " << shownText(row.detailsFailure) << '\n';
                detailsFailed = true;
            }
        },
        [&](std::size_t done) {
            streams.progress.step("проверени " + std::to_string(done) + " от " + std::to_string(folders.size()) +
                                  " периода");
        });
    streams.progress.clear();
    writer->end(totals);
    out->flush();
    if (file)
        file->publish();
    if (detailsFailed)
        return kUsage;
    return unreadable ? kUnreadable : failed ? kMismatch : kSuccess;
}

} // namespace orva::cli
