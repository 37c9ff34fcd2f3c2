#include "cli/CheckCommand.h"
#include "cli/Command.h"
#include "cli/Documents.h"
#include "cli/GuiApplication.h"
#include "cli/Json.h"
#include "cli/Output.h"
#include "cli/PeriodQueue.h"
#include "cli/Progress.h"
#include "cli/Spreadsheet.h"
#include "period/DocumentTable.h"
#include "period/PeriodSession.h"
#include "period/PeriodTree.h"
#include "period/ReportLines.h"
#include "render/PageMetrics.h"
#include "report/Reconcile.h"
#include "report/ReconcileDocument.h"
#include "text/Encoding.h"
#include "text/ExactDecimal.h"
#include "text/LineFile.h"
#include "text/TextSpool.h"

#include <xlsxwriter.h>

#include <condition_variable>
#include <exception>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <ostream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace orva::cli {

namespace {

using report::Item;
using report::ItemClass;
using report::Totals;

// A cell of the machine-read outputs: text, or a number (JSON and xlsx write it as one).
struct Cell {
    std::string text;
    bool number = false;
};

// Rows of one table as CSV, JSON or a sheet: the same cells whichever the format.
class Table {
public:
    virtual ~Table() = default;
    virtual void row(const std::vector<Cell>& cells) = 0;
    virtual void totals(const std::vector<Cell>& cells) { row(cells); }
    virtual void finish() {}
};

class CsvTable final : public Table {
public:
    CsvTable(std::ostream& out, const std::vector<std::string>& header) : out_(out) {
        out_ << "\xEF\xBB\xBF";
        std::vector<Cell> cells;
        for (const std::string& name : header)
            cells.push_back({name});
        row(cells);
    }
    void row(const std::vector<Cell>& cells) override {
        // One write a row, from a line kept from row to row: a million rows make no strings anew.
        line_.clear();
        for (std::size_t i = 0; i < cells.size(); ++i) {
            if (i != 0)
                line_ += ';';
            appendCsvCell(line_, cells[i].text);
        }
        line_ += "\r\n";
        out_.write(line_.data(), static_cast<std::streamsize>(line_.size()));
    }

private:
    std::ostream& out_;
    std::string line_;
};

class JsonTable final : public Table {
public:
    JsonTable(std::ostream& out, std::vector<std::string> header) : out_(out), header_(std::move(header)) {
        out_ << '[';
    }
    void row(const std::vector<Cell>& cells) override {
        out_ << (first_ ? "\n{" : ",\n{");
        first_ = false;
        for (std::size_t i = 0; i < cells.size() && i < header_.size(); ++i) {
            out_ << (i ? "," : "") << jsonString(header_[i]) << ':';
            if (cells[i].number)
                out_ << cells[i].text;
            else
                out_ << jsonString(cells[i].text);
        }
        out_ << '}';
    }
    void totals(const std::vector<Cell>&) override {} // the counts are each row's class
    void finish() override { out_ << (first_ ? "]\n" : "\n]\n"); }

private:
    std::ostream& out_;
    std::vector<std::string> header_;
    bool first_ = true;
};

class XlsxTable final : public Table {
public:
    XlsxTable(XlsxBook& book, const std::string& sheetName, const std::vector<std::string>& header)
        : book_(book), sheet_(book.addSheet(sheetName)) {
        std::vector<Cell> cells;
        for (const std::string& name : header)
            cells.push_back({name});
        put(cells, book_.header());
        worksheet_freeze_panes(sheet_, 1, 0);
    }
    void row(const std::vector<Cell>& cells) override { put(cells, nullptr); }
    void totals(const std::vector<Cell>& cells) override { put(cells, book_.bold()); }

private:
    void put(const std::vector<Cell>& cells, lxw_format* format) {
        if (rows_ >= kSheetRecords)
            return; // a sheet holds no more; the CSV and JSON keep every row
        const auto at = static_cast<lxw_row_t>(rows_++);
        for (std::size_t i = 0; i < cells.size(); ++i) {
            const auto column = static_cast<lxw_col_t>(i);
            const std::optional<ExactDecimal> value =
                cells[i].number ? ExactDecimal::parse(cells[i].text) : std::optional<ExactDecimal>();
            // A number a sheet cannot hold exactly (more than 15 digits) stays text.
            if (value && cells[i].text.size() <= 16)
                checkXlsx(worksheet_write_number(sheet_, at, column, std::stod(cells[i].text), format), book_.path());
            else if (!cells[i].text.empty())
                checkXlsx(worksheet_write_string(sheet_, at, column, cells[i].text.c_str(), format), book_.path());
        }
    }

    XlsxBook& book_;
    lxw_worksheet* sheet_;
    std::size_t rows_ = 0;
};

const std::vector<std::string> kDocumentHeader = {"class",   "supplier",       "number",     "type", "date",
                                                  "name",    "journal_record", "report",     "line", "what",
                                                  "journal", "report_value",   "difference", "note"};

// The cells of one document's row, kept from row to row (their strings keep their capacity).
class DocumentCells {
public:
    const std::vector<Cell>& of(const Item& item) {
        for (Cell& cell : cells_) {
            cell.text.clear();
            cell.number = false;
        }
        std::string& what = cells_[9].text;
        std::string& journal = cells_[10].text;
        std::string& reportValue = cells_[11].text;
        std::string& delta = cells_[12].text;
        if (item.notCompared) {
            what = "не са сравнени";
            journal = item.journalAmounts;
            reportValue = item.reportAmounts;
        } else if (item.itemClass == ItemClass::Missing) {
            reportValue = item.reportAmounts;
        }
        for (const report::Difference& difference : item.differences) {
            const bool first = what.empty();
            what += (first ? "" : " | ") + difference.what;
            journal += (first ? "" : " | ") + difference.journal;
            reportValue += (first ? "" : " | ") + difference.report;
            delta += (first ? "" : " | ") + difference.delta;
        }
        // One amount that differs: its cells are numbers.
        const bool numbers = item.differences.size() == 1 && !item.differences[0].delta.empty();
        for (std::size_t i = 10; i <= 12; ++i)
            cells_[i].number = numbers;
        auto count = [](Cell& cell, std::size_t value) {
            cell.number = true;
            if (value != 0)
                cell.text = std::to_string(value);
        };
        cells_[0].text = report::classCode(item.itemClass);
        cells_[1].text = item.supplier;
        cells_[2].text = item.number;
        cells_[3].text = item.type;
        cells_[4].text = item.date;
        cells_[5].text = item.name;
        count(cells_[6], item.journalLine);
        if (!item.reportFile.empty() && item.reportFile != reportFile_) {
            reportFile_ = item.reportFile;
            reportName_ = fileNameAsUtf8(reportFile_);
        }
        if (!item.reportFile.empty())
            cells_[7].text = reportName_;
        count(cells_[8], item.reportLine);
        cells_[13].text = item.note;
        return cells_;
    }

private:
    std::vector<Cell> cells_ = std::vector<Cell>(kDocumentHeader.size());
    std::string reportFile_, reportName_; // the last report's path and its name as shown
};

// The rows of a document table written on a thread of their own: a million documents take as long to
// format as to compare, so the comparison goes on while the documents before are formatted. Items are
// handed over in batches, copied into items kept from batch to batch (their strings keep their capacity).
class RowThread {
public:
    explicit RowThread(Table& table) : table_(table), thread_([this] { run(); }) {}
    RowThread(const RowThread&) = delete;
    RowThread& operator=(const RowThread&) = delete;
    ~RowThread() { stop(); }

    void add(const Item& item) {
        if (filled_ == filling_.size())
            filling_.emplace_back();
        filling_[filled_++] = item;
        if (filled_ == kBatch)
            handOver();
    }

    // Every row written; a failure to write one is thrown here.
    void finish() {
        handOver();
        stop();
        if (failure_)
            std::rethrow_exception(failure_);
    }

private:
    static constexpr std::size_t kBatch = 2048;

    void handOver() {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [this] { return !handed_; });
        std::swap(filling_, writing_);
        writingCount_ = filled_;
        filled_ = 0;
        handed_ = true;
        changed_.notify_all();
    }

    void stop() {
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            done_ = true;
        }
        changed_.notify_all();
        if (thread_.joinable())
            thread_.join();
    }

    void run() {
        DocumentCells cells;
        for (;;) {
            {
                std::unique_lock<std::mutex> lock(mutex_);
                changed_.wait(lock, [this] { return handed_ || done_; });
                if (!handed_)
                    return;
            }
            try {
                for (std::size_t i = 0; i < writingCount_ && !failure_; ++i)
                    table_.row(cells.of(writing_[i]));
            } catch (...) {
                failure_ = std::current_exception(); // the rest is not written; finish() says why
            }
            const std::lock_guard<std::mutex> lock(mutex_);
            handed_ = false;
            changed_.notify_all();
        }
    }

    Table& table_;
    std::vector<Item> filling_, writing_;
    std::size_t filled_ = 0, writingCount_ = 0;
    std::mutex mutex_;
    std::condition_variable changed_;
    bool handed_ = false, done_ = false;
    std::exception_ptr failure_;
    std::thread thread_; // last: started once the rest is made
};

// The table of a machine-read format: rows to `out`, or to a sheet of `book` for xlsx; none for text.
std::unique_ptr<Table> makeTable(CheckFormat format, std::ostream& out, XlsxBook* book, const std::string& sheetName,
                                 const std::vector<std::string>& header) {
    switch (format) {
    case CheckFormat::Csv:
        return std::make_unique<CsvTable>(out, header);
    case CheckFormat::Json:
        return std::make_unique<JsonTable>(out, header);
    case CheckFormat::Xlsx:
        return std::make_unique<XlsxTable>(*book, sheetName, header);
    case CheckFormat::Text:
        break;
    }
    return nullptr;
}

std::string countsText(const Totals& totals) {
    return "съвпадат " + std::to_string(totals.agrees) + ", липсват в дневника " + std::to_string(totals.missing) +
           ", недекларирани " + std::to_string(totals.notDeclared) + ", различни " + std::to_string(totals.different) +
           ", не се очакват в справката " + std::to_string(totals.notExpected) + "; сумите не са сравнени при " +
           std::to_string(totals.notCompared);
}

struct Outcome {
    std::string folder, firm, vatNumber, period;
    std::size_t reports = 0, reportLines = 0, damaged = 0;
    Totals totals;
    int status = kSuccess;
    std::string failure; // why the period could not be compared (UTF-8)
    bool noReport = false;
};

// One period against its reports. Items go to `onItem` as they are sorted. Returns kSuccess, kMismatch (a class that
// needs work, a damaged line, or a report refused); throws Failure (kUnreadable) for a report that cannot be read or is
// not such a report, PeriodError when the period cannot be read.
Outcome reconcilePeriod(const std::string& folder, const std::vector<std::string>& reports, const Options& options,
                        const report::Reconciler::ItemSink& onItem, std::ostream& err, const std::string& place) {
    Outcome outcome;
    outcome.folder = folder;
    const PeriodSession session(folder, options.read);
    const Declaration& declaration = session.declaration();
    outcome.firm = win1251ToUtf8(trimBlanks(declaration.firmName));
    outcome.vatNumber = win1251ToUtf8(trimBlanks(declaration.fields.at(0)));
    outcome.period = trimBlanks(declaration.fields.at(2));
    outcome.reports = reports.size();

    report::Reconciler reconciler(outcome.period, onItem);
    std::vector<std::string> problems;
    // The reports are read while the journal's code page is counted; what they say waits, so that a
    // journal that cannot be read is still the only thing said, as when it was counted first.
    std::ostringstream reportMessages;
    const auto readReports = [&] {
        for (const std::string& path : reports) {
            report::ReportTitle title;
            try {
                std::size_t lastLine = 0; // a line with several problems is one damaged line
                title = reconciler.addReport(path, [&](const report::ReportProblem& problem) {
                    outcome.damaged += problem.line != lastLine ? 1 : 0;
                    lastLine = problem.line;
                    reportMessages << "orva-cli: " << place << shownText(problem.text()) << '\n';
                });
            } catch (const Error& failure) {
                throw Failure(kUnreadable, place + failure.what());
            }
            for (const std::string& refusal :
                 report::reportRefusals(path, title, declaration.fields.at(0), declaration.fields.at(2)))
                problems.push_back(place + refusal);
        }
    };
    try {
        reconciler.setJournalCodePage(session.journalCodePageBeside(JournalKind::Purchases, readReports));
    } catch (const PeriodError&) {
        throw;
    } catch (...) {
        err << reportMessages.str();
        throw;
    }
    err << reportMessages.str();
    outcome.reportLines = reconciler.reportLines();
    if (!passGate(problems, options.force, err, place + "нищо не е сравнено")) {
        outcome.status = kMismatch;
        outcome.failure = "справката не е на периода";
        return outcome;
    }
    DiscardingSink discard;
    std::size_t record = 0;
    const JournalSummary summary = session.journal(JournalKind::Purchases, 60, discard,
                                                   [&](std::string_view raw) { reconciler.purchase(raw, ++record); });
    std::vector<std::string> journalProblems;
    for (const std::string& problem : summary.problems)
        journalProblems.push_back(place + problem);
    if (!passGate(journalProblems, options.force, err, place + "сравнението не е изведено")) {
        outcome.status = kMismatch;
        outcome.failure = "дневникът не е на периода";
        return outcome;
    }
    reconciler.finish();
    outcome.totals = reconciler.totals();
    outcome.status = outcome.totals.clean() && outcome.damaged == 0 ? kSuccess : kMismatch;
    return outcome;
}

// The text output is the printable document: Windows-1251 in a file, as export writes documents; UTF-8
// on standard output, for the terminal. Nothing is written when the gate refuses.
int runDocument(const Options& options, Streams& streams, const std::string& folder,
                const std::vector<std::string>& reports) {
    int pageLines = 0;
    if (options.linesPerPage) {
        pageLines = *options.linesPerPage;
    } else {
        ensureGuiApplication();
        pageLines = fallbackLinesPerPage();
    }
    streams.progress.step("comparing");
    const PeriodSession session(folder, options.read);
    // The document waits for the gate's verdict in a spool, not in memory: a million documents are
    // hundreds of megabytes of lines.
    struct SpoolSink final : JournalSink {
        TextSpool lines;
        void line(std::string_view text) override { lines.add(text); }
    } sink;
    report::ReconciliationSummary summary;
    try {
        summary = report::writeReconciliation(session, reports, pageLines, sink);
    } catch (const PeriodError&) {
        throw;
    } catch (const Error& failure) {
        throw Failure(kUnreadable, failure.what());
    }
    streams.progress.clear();
    if (!passGate(summary.problems, options.force, streams.err, "нищо не е сравнено"))
        return kMismatch;
    if (options.output) {
        OutputFile out(*options.output);
        sink.lines.replay([&out](std::string_view line) { out.stream() << line << "\r\n"; });
        out.publish();
    } else {
        sink.lines.replay([&streams](std::string_view line) { streams.out << shownText(win1251ToUtf8(line)) << '\n'; });
    }
    return summary.totals.clean() && summary.damagedLines == 0 ? kSuccess : kMismatch;
}

int runOne(const Options& options, Streams& streams) {
    const std::string folder = options.dataFolders.front();
    const std::vector<std::string> reports(options.dataFolders.begin() + 1, options.dataFolders.end());
    std::vector<std::string> guarded = {folder};
    if (options.output)
        OutputGuard(guarded).checkFile(*options.output);
    if (options.checkFormat == CheckFormat::Text)
        return runDocument(options, streams, folder, reports);

    std::optional<OutputFile> file;
    std::unique_ptr<XlsxBook> book;
    std::ostream* out = &streams.out;
    if (options.output && options.checkFormat == CheckFormat::Xlsx)
        book = openOutputBook(*options.output);
    else if (options.output)
        out = &file.emplace(*options.output).stream();

    const std::unique_ptr<Table> table = makeTable(options.checkFormat, *out, book.get(), "Сравнение", kDocumentHeader);
    RowThread rows(*table);
    streams.progress.step("comparing");
    const Outcome outcome = reconcilePeriod(
        folder, reports, options, [&](const Item& item) { rows.add(item); }, streams.err, "");
    streams.progress.clear();
    rows.finish();
    if (!outcome.failure.empty())
        return outcome.status; // refused: nothing written (a file output is never put in place)
    std::vector<Cell> totals(kDocumentHeader.size());
    totals[0].text = "общо";
    totals.back().text = countsText(outcome.totals);
    table->totals(totals);
    table->finish();
    if (book)
        publishOutput([&] { book->publish(); });
    else if (file)
        file->publish();
    return outcome.status;
}

const char* statusText(const Outcome& outcome) {
    if (!outcome.failure.empty())
        return "НЕЧЕТИМ";
    if (outcome.noReport)
        return "НЯМА СПРАВКА";
    return outcome.status == kSuccess ? "OK" : "РАЗЛИКИ";
}

int runOffice(const Options& options, Streams& streams) {
    const std::vector<std::string> folders =
        options.recursive ? findPeriodFolders(options.dataFolders) : options.dataFolders;
    if (options.output)
        OutputGuard(folders).checkFile(*options.output);
    std::optional<OutputFile> file;
    std::unique_ptr<XlsxBook> book;
    std::ostream* out = &streams.out;
    if (options.output && options.checkFormat == CheckFormat::Xlsx)
        book = openOutputBook(*options.output);
    else if (options.output)
        out = &file.emplace(*options.output).stream();

    const std::vector<std::string> header = {"folder",  "firm",    "vat_number",   "period",    "reports",
                                             "agrees",  "missing", "not_declared", "different", "not_expected",
                                             "damaged", "status",  "reason"};
    const std::unique_ptr<Table> table = makeTable(options.checkFormat, *out, book.get(), "Сравнения", header);

    struct Result {
        Outcome outcome;
        std::string messages;
    };
    auto work = [&](std::size_t index) -> Result {
        Result result;
        std::ostringstream err;
        const std::string& folder = folders[index];
        const std::string place = fileNameAsUtf8(folder) + ": ";
        try {
            std::string vatNumber;
            {
                const PeriodSession session(folder, options.read);
                vatNumber = session.declaration().fields.at(0);
            }
            const std::vector<std::string> reports = agencyReportsIn(folder, vatNumber);
            if (reports.empty()) {
                result.outcome.folder = folder;
                result.outcome.noReport = true;
                result.outcome.status = kMismatch;
                const PeriodSession session(folder, options.read);
                result.outcome.firm = win1251ToUtf8(trimBlanks(session.declaration().firmName));
                result.outcome.vatNumber = win1251ToUtf8(trimBlanks(vatNumber));
                result.outcome.period = trimBlanks(session.declaration().fields.at(2));
            } else {
                result.outcome = reconcilePeriod(folder, reports, options, {}, err, place);
            }
        } catch (const Failure& failure) {
            result.outcome.folder = folder;
            result.outcome.failure = failure.what();
            result.outcome.status = kUnreadable;
        } catch (const std::exception& failure) {
            result.outcome.folder = folder;
            result.outcome.failure = failure.what();
            result.outcome.status = kUnreadable;
        }
        result.messages = err.str();
        return result;
    };

    Totals all;
    std::size_t failed = 0, unreadable = 0, noReport = 0;
    if (!table)
        *out << "Сравнение със справките от НАП: " << folders.size() << " периода\n";
    auto emit = [&](std::size_t, Result& result) {
        streams.progress.clear();
        streams.err << result.messages;
        const Outcome& o = result.outcome;
        const Totals& t = o.totals;
        all.agrees += t.agrees;
        all.missing += t.missing;
        all.notDeclared += t.notDeclared;
        all.different += t.different;
        all.notExpected += t.notExpected;
        all.notCompared += t.notCompared;
        failed += o.status == kMismatch ? 1 : 0;
        unreadable += o.status == kUnreadable ? 1 : 0;
        noReport += o.noReport ? 1 : 0;
        if (table) {
            auto n = [](std::size_t value) { return Cell{std::to_string(value), true}; };
            table->row({{fileNameAsUtf8(o.folder)},
                        {o.firm},
                        {o.vatNumber},
                        {o.period},
                        n(o.reports),
                        n(t.agrees),
                        n(t.missing),
                        n(t.notDeclared),
                        n(t.different),
                        n(t.notExpected),
                        n(o.damaged),
                        {statusText(o)},
                        {o.failure}});
            return;
        }
        *out << fileNameAsUtf8(o.folder) << ": " << shownText(o.firm) << " " << shownText(o.vatNumber) << " "
             << shownText(o.period) << ": " << statusText(o);
        if (!o.failure.empty())
            *out << " (" << shownText(o.failure) << ")";
        else if (!o.noReport)
            *out << ": справки " << o.reports << "; " << countsText(t)
                 << (o.damaged != 0 ? "; повредени редове " + std::to_string(o.damaged) : std::string());
        *out << '\n';
    };
    runPeriods<Result>(folders.size(), options.jobs, work, emit, [&](std::size_t done) {
        streams.progress.step("compared " + std::to_string(done) + " of " + std::to_string(folders.size()));
    });
    streams.progress.clear();
    if (table) {
        table->totals({{"общо"},
                       {},
                       {},
                       {},
                       {},
                       {std::to_string(all.agrees), true},
                       {std::to_string(all.missing), true},
                       {std::to_string(all.notDeclared), true},
                       {std::to_string(all.different), true},
                       {std::to_string(all.notExpected), true},
                       {},
                       {},
                       {}});
        table->finish();
    } else {
        *out << "Общо: периоди " << folders.size() << ", с разлики " << failed << ", без справка " << noReport
             << ", нечетими " << unreadable << "; " << countsText(all) << '\n';
    }
    if (book)
        publishOutput([&] { book->publish(); });
    else if (file)
        file->publish();
    return unreadable != 0 ? kUnreadable : failed != 0 ? kMismatch : kSuccess;
}

class ReconcileCommand final : public Command {
public:
    std::string description() const override {
        return "  reconcile Compare the purchases journal with the revenue agency's reports of\n"
               "            the sales declared to the firm (DATAFOLDER REPORT.csv\n"
               "            [REPORT.csv...]: this month's and earlier months'): documents\n"
               "            missing from the journal, not declared by the supplier, different\n"
               "            (amount, type or date) and not expected in the report, then the\n"
               "            counts. --recursive TREE...: each period folder with the reports in\n"
               "            it (any *.csv whose title is the firm's report), one summary row per\n"
               "            period.\n";
    }

    int run(const Options& options, Streams& streams, const Environment&) const override {
        if (options.recursive)
            return runOffice(options, streams);
        return runOne(options, streams);
    }
};

} // namespace

const Command& reconcileCommand() {
    static const ReconcileCommand command;
    return command;
}

} // namespace orva::cli
