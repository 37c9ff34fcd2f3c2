// orva-cli check over many periods: one summary row per period in path order, then the totals.
#include "check/CheckReport.h"
#include "cli/CheckCommand.h"
#include "cli/Command.h"
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

#include <cstdio>
#include <filesystem>
#include <memory>
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

// Fixed columns, then the folder and the firm (or the reason): each row is written as it is ready.
class TextSummary final : public SummaryWriter {
public:
    explicit TextSummary(std::ostream& out) : out_(out) {}

    void begin() override {
        out_ << left("СЪСТОЯНИЕ", 15) << left("ДДС НОМЕР", 16) << left("ПЕРИОД", 8) << left("ГЕНЕРАЦИЯ", 11)
             << right("ПОКУПКИ", 9) << right("ПРОДАЖБИ", 9) << right("КЛЕТКА 50", 16) << right("КЛЕТКА 60", 16)
             << right("ГРЕШКИ", 8) << right("ПРЕДУПР.", 9) << right("ПРАВИЛА", 8) << "  ПАПКА, ФИРМА\n";
    }

    void row(const SummaryRow& row) override {
        out_ << left(statusText(row), 15);
        if (!row.readable) {
            out_ << std::string(16 + 8 + 11 + 9 + 9 + 16 + 16 + 8 + 9 + 8, ' ') << "  " << shownText(row.folder) << ": "
                 << shownText(row.reason) << '\n';
            return;
        }
        const PeriodOutcome& o = row.outcome;
        out_ << left(shownText(o.vatNumber), 16) << left(shownText(o.period), 8) << left(o.generation, 11)
             << right(std::to_string(o.purchases), 9) << right(std::to_string(o.sales), 9)
             << right(shownText(o.cell50), 16) << right(shownText(o.cell60), 16) << right(std::to_string(o.errors), 8)
             << right(std::to_string(o.warnings), 9) << right(std::to_string(o.failedRules), 8) << "  "
             << shownText(row.folder) << "  " << shownText(o.firm) << '\n';
    }

    void end(const Totals& t) override {
        out_ << "Периоди: " << t.periods << " (OK " << t.ok << ", ПРЕДУПРЕЖДЕНИЯ " << t.withWarnings << ", ГРЕШКИ "
             << t.withErrors << ", НЕЧЕТИМ " << t.unreadable << "); записи: покупки " << t.purchases << ", продажби "
             << t.sales << "; грешки " << t.errors << ", предупреждения " << t.warnings << ", неспазени правила "
             << t.failedRules << ".\n";
    }

private:
    std::ostream& out_;
};

const char* const kKeys[] = {"folder", "firm",   "vat_number", "period",   "generation",   "purchases", "sales",
                             "cell50", "cell60", "errors",     "warnings", "failed_rules", "status",    "reason"};

// The row's cells in kKeys order, as text.
std::vector<std::string> cells(const SummaryRow& row) {
    const PeriodOutcome& o = row.outcome;
    if (!row.readable)
        return {row.folder, "", "", "", "", "", "", "", "", "", "", "", statusText(row), row.reason};
    return {row.folder,
            o.firm,
            o.vatNumber,
            o.period,
            o.generation,
            std::to_string(o.purchases),
            std::to_string(o.sales),
            o.cell50,
            o.cell60,
            std::to_string(o.errors),
            std::to_string(o.warnings),
            std::to_string(o.failedRules),
            statusText(row),
            ""};
}

std::vector<std::string> totalCells(const Totals& t) {
    return {"ОБЩО",
            "",
            "",
            "",
            "",
            std::to_string(t.purchases),
            std::to_string(t.sales),
            "",
            "",
            std::to_string(t.errors),
            std::to_string(t.warnings),
            std::to_string(t.failedRules),
            "",
            std::to_string(t.periods) + " периода: OK " + std::to_string(t.ok) + ", ПРЕДУПРЕЖДЕНИЯ " +
                std::to_string(t.withWarnings) + ", ГРЕШКИ " + std::to_string(t.withErrors) + ", НЕЧЕТИМ " +
                std::to_string(t.unreadable)};
}

class CsvSummary final : public SummaryWriter {
public:
    explicit CsvSummary(std::ostream& out) : out_(out) {}
    void begin() override {
        out_ << "\xEF\xBB\xBF";
        put({std::begin(kKeys), std::end(kKeys)});
    }
    void row(const SummaryRow& row) override { put(cells(row)); }
    void end(const Totals& totals) override { put(totalCells(totals)); }

private:
    void put(const std::vector<std::string>& row) {
        for (std::size_t i = 0; i < row.size(); ++i)
            out_ << (i == 0 ? "" : ";") << csvCell(row[i]);
        out_ << "\r\n";
    }
    std::ostream& out_;
};

std::string jsonString(const std::string& text) {
    std::string result = "\"";
    for (const unsigned char c : text) {
        if (c == '"' || c == '\\') {
            result += '\\';
            result += static_cast<char>(c);
        } else if (c < 0x20 || c == 0x7F) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
            result += escaped;
        } else {
            result += static_cast<char>(c);
        }
    }
    return result + '"';
}

// {"periods": [one object per period, keyed as the CSV columns; counts as numbers, null when the
// period could not be read], "totals": {...}}.
class JsonSummary final : public SummaryWriter {
public:
    explicit JsonSummary(std::ostream& out) : out_(out) {}
    void begin() override { out_ << "{\"periods\":["; }
    void row(const SummaryRow& row) override {
        const std::vector<std::string> texts = cells(row);
        out_ << (first_ ? "\n{" : ",\n{");
        first_ = false;
        for (std::size_t i = 0; i < texts.size(); ++i) {
            out_ << (i == 0 ? "" : ",") << '"' << kKeys[i] << "\":";
            const bool number = (i >= 5 && i <= 6) || (i >= 9 && i <= 11);
            if (number)
                out_ << (row.readable ? texts[i] : "null");
            else if (!row.readable && i >= 1 && i <= 8)
                out_ << "null";
            else
                out_ << jsonString(texts[i]);
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

const char* const kHeaders[] = {"Папка",     "Фирма",     "ДДС номер", "Период", "Генерация",      "Покупки",
                                "Продажби",  "Клетка 50", "Клетка 60", "Грешки", "Предупреждения", "Неспазени правила",
                                "Състояние", "Причина"};

class XlsxSummary final : public SummaryWriter {
public:
    explicit XlsxSummary(const std::string& path) : book_(path) {
        sheet_ = book_.addSheet("Периоди");
        const double widths[] = {40, 30, 16, 9, 12, 10, 10, 16, 16, 9, 15, 10, 16, 50};
        for (std::size_t i = 0; i < std::size(kHeaders); ++i) {
            worksheet_set_column(sheet_, static_cast<lxw_col_t>(i), static_cast<lxw_col_t>(i), widths[i], nullptr);
            checkXlsx(worksheet_write_string(sheet_, 0, static_cast<lxw_col_t>(i), kHeaders[i], book_.header()), path);
        }
        worksheet_freeze_panes(sheet_, 1, 0);
    }

    void row(const SummaryRow& row) override {
        const auto at = static_cast<lxw_row_t>(++rows_);
        const std::vector<std::string> texts = cells(row);
        for (std::size_t i = 0; i < texts.size(); ++i) {
            const auto column = static_cast<lxw_col_t>(i);
            const bool count = (i >= 5 && i <= 6) || (i >= 9 && i <= 11);
            const bool cell = i == 7 || i == 8;
            if (texts[i].empty())
                continue;
            if (count && row.readable) {
                checkXlsx(worksheet_write_number(sheet_, at, column, std::stod(texts[i]), nullptr), book_.path());
                continue;
            }
            if (cell) {
                const auto value = ExactDecimal::parse(texts[i]);
                if (value && significantDigits(*value) <= kSpreadsheetDigits) {
                    checkXlsx(worksheet_write_number(sheet_, at, column, toDouble(*value), book_.money()),
                              book_.path());
                    continue;
                }
            }
            checkXlsx(worksheet_write_string(sheet_, at, column, texts[i].c_str(), nullptr), book_.path());
        }
    }

    void end(const Totals& t) override {
        worksheet_autofilter(sheet_, 0, 0, static_cast<lxw_row_t>(rows_), std::size(kHeaders) - 1);
        const auto at = static_cast<lxw_row_t>(rows_ + 1);
        const std::vector<std::string> texts = totalCells(t);
        for (std::size_t i = 0; i < texts.size(); ++i) {
            const bool count = (i >= 5 && i <= 6) || (i >= 9 && i <= 11);
            if (texts[i].empty())
                continue;
            if (count) {
                const std::string letters = columnLetters(i);
                const std::string formula =
                    rows_ == 0 ? "=0" : "=SUM(" + letters + "2:" + letters + std::to_string(rows_ + 1) + ")";
                checkXlsx(worksheet_write_formula_num(sheet_, at, static_cast<lxw_col_t>(i), formula.c_str(),
                                                      book_.bold(), std::stod(texts[i])),
                          book_.path());
            } else {
                checkXlsx(worksheet_write_string(sheet_, at, static_cast<lxw_col_t>(i), texts[i].c_str(), book_.bold()),
                          book_.path());
            }
        }
        book_.publish();
    }

private:
    XlsxBook book_;
    lxw_worksheet* sheet_ = nullptr;
    std::size_t rows_ = 0;
};

SummaryRow checkOne(const std::string& folder, const Options& options, const std::string& detailsPath) {
    SummaryRow row;
    // A folder named in another code page on an old share: the reports stay valid UTF-8.
    row.folder = fileNameAsUtf8(folder);
    CheckOptions check;
    check.dataFolder = folder;
    check.read = options.read;
    check.format = CheckFormat::Text;
    check.strict = options.strict;
    check.maxFindings = options.maxFindings;
    std::ostringstream report;
    try {
        row.outcome = checkPeriod(check, detailsPath.empty() ? nullptr : &report, {});
        row.readable = true;
    } catch (const std::exception& failure) {
        row.reason = fileNameAsUtf8(failure.what());
        report << "orva-cli: " << shownText(failure.what()) << '\n';
    }
    if (!detailsPath.empty()) {
        try {
            writeFileAtomic(detailsPath, report.str());
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
    if (options.details) {
        std::error_code error;
        std::filesystem::create_directories(std::filesystem::u8path(*options.details), error);
        if (error)
            throw Failure(kUsage, "не може да се създаде папката " + *options.details + ": " + error.message());
        UniqueNames names;
        for (std::size_t i = 0; i < folders.size(); ++i)
            detailsPaths[i] = joinPath(*options.details, names.take(periodOutputNameOf(folders[i])) + ".txt");
    }

    std::unique_ptr<AtomicFileWriter> file;
    std::unique_ptr<AtomicFileBuffer> buffer;
    std::unique_ptr<std::ostream> fileStream;
    std::ostream* out = &streams.out;
    if (options.output && options.checkFormat != CheckFormat::Xlsx) {
        file = std::make_unique<AtomicFileWriter>(*options.output);
        buffer = std::make_unique<AtomicFileBuffer>(*file);
        fileStream = std::make_unique<std::ostream>(buffer.get());
        fileStream->exceptions(std::ios::badbit);
        out = fileStream.get();
    }
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
