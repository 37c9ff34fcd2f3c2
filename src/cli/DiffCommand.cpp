#include "cli/CheckCommand.h"
#include "cli/Command.h"
#include "cli/Documents.h"
#include "cli/GuiApplication.h"
#include "cli/Json.h"
#include "cli/Output.h"
#include "cli/PeriodQueue.h"
#include "cli/Progress.h"
#include "cli/Spreadsheet.h"
#include "compare/CorrectionMemo.h"
#include "compare/PeriodDiff.h"
#include "period/PeriodSession.h"
#include "period/PeriodTree.h"
#include "render/PageMetrics.h"
#include "text/Encoding.h"

#include <xlsxwriter.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <optional>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

namespace orva::cli {

namespace {

using compare::ChangeKind;
using compare::JournalDiff;
using compare::PeriodDiff;
using compare::RecordChange;
using compare::ValueChange;

// One difference as a row of the csv, json and xlsx outputs.
struct Row {
    std::string section; // "бележка", "файлове", "декларация", "покупки", "продажби", "VIES"
    std::string change; // "добавен", "премахнат", "променен", "сума", "пренумерирани" ...
    std::size_t oldLine = 0, newLine = 0;
    std::string record, field, caption, oldValue, newValue, difference;
};

const char* const kColumns[] = {"section", "change",  "old line", "new line", "record",
                                "field",   "caption", "old",      "new",      "difference"};

const char* journalSection(JournalKind kind) {
    return kind == JournalKind::Purchases ? "покупки" : "продажби";
}

void recordRows(std::vector<Row>& rows, const std::string& section, const std::vector<RecordChange>& changes) {
    for (const RecordChange& change : changes) {
        if (change.fields.empty()) {
            rows.push_back({section, compare::changeName(change.kind), change.oldLine, change.newLine, change.what, "",
                            "", "", "", ""});
            continue;
        }
        for (const compare::FieldChange& field : change.fields)
            rows.push_back({section, compare::changeName(change.kind), change.oldLine, change.newLine, change.what,
                            field.label, field.caption, field.oldValue, field.newValue, ""});
    }
}

void valueRows(std::vector<Row>& rows, const std::string& section, const char* change,
               const std::vector<ValueChange>& values) {
    for (const ValueChange& value : values)
        rows.push_back(
            {section, change, 0, 0, "", value.label, value.caption, value.oldValue, value.newValue, value.difference});
}

void countRow(std::vector<Row>& rows, const std::string& section, const char* change, std::size_t count) {
    if (count != 0)
        rows.push_back({section, change, 0, 0, "", "", "", "", std::to_string(count), ""});
}

std::vector<Row> rowsOf(const PeriodDiff& diff) {
    std::vector<Row> rows;
    for (const std::string& note : diff.notes)
        rows.push_back({"бележка", "", 0, 0, note, "", "", "", "", ""});
    for (const std::string& file : diff.oneSideFiles)
        rows.push_back({"файлове", "", 0, 0, file, "", "", "", "", ""});
    valueRows(rows, "декларация", "клетка", diff.cells);
    valueRows(rows, "декларация", "данни", diff.identity);
    for (const JournalDiff& journal : diff.journals) {
        const std::string section = journalSection(journal.kind);
        recordRows(rows, section, journal.records);
        valueRows(rows, section, "сума", journal.totals);
        countRow(rows, section, "пренумерирани", journal.renumbered);
        countRow(rows, section, "сдвоени по ред", journal.repeatedKeys);
    }
    recordRows(rows, "VIES", diff.vies.lines);
    valueRows(rows, "VIES", "сума", diff.vies.totals);
    countRow(rows, "VIES", "пренумерирани", diff.vies.renumbered);
    countRow(rows, "VIES", "сдвоени по ред", diff.vies.repeatedKeys);
    return rows;
}

std::vector<std::string> cellsOf(const Row& row) {
    return {row.section,
            row.change,
            row.oldLine != 0 ? std::to_string(row.oldLine) : "",
            row.newLine != 0 ? std::to_string(row.newLine) : "",
            row.record,
            row.field,
            row.caption,
            row.oldValue,
            row.newValue,
            row.difference};
}

void writeCsv(const std::vector<Row>& rows, std::ostream& out) {
    out << "\xEF\xBB\xBF";
    for (std::size_t i = 0; i < std::size(kColumns); ++i)
        out << (i == 0 ? "" : ";") << kColumns[i];
    out << "\r\n";
    for (const Row& row : rows) {
        const std::vector<std::string> cells = cellsOf(row);
        for (std::size_t i = 0; i < cells.size(); ++i)
            out << (i == 0 ? "" : ";") << csvCell(cells[i]);
        out << "\r\n";
    }
}

void writeJson(const std::vector<Row>& rows, std::ostream& out) {
    out << '[';
    bool first = true;
    for (const Row& row : rows) {
        out << (first ? "\n{" : ",\n{");
        first = false;
        const std::vector<std::string> cells = cellsOf(row);
        for (std::size_t i = 0; i < cells.size(); ++i) {
            out << (i == 0 ? "" : ",") << jsonString(kColumns[i]) << ':';
            const bool line = i == 2 || i == 3;
            if (line)
                out << (cells[i].empty() ? "null" : cells[i]);
            else
                out << jsonString(cells[i]);
        }
        out << '}';
    }
    out << (first ? "]\n" : "\n]\n");
}

void writeXlsx(const std::vector<Row>& rows, XlsxBook& book) {
    lxw_worksheet* sheet = book.addSheet("Разлики");
    const double widths[] = {12, 14, 8, 8, 48, 8, 36, 20, 20, 16};
    for (std::size_t i = 0; i < std::size(widths); ++i)
        worksheet_set_column(sheet, static_cast<lxw_col_t>(i), static_cast<lxw_col_t>(i), widths[i], nullptr);
    for (std::size_t i = 0; i < std::size(kColumns); ++i)
        checkXlsx(worksheet_write_string(sheet, 0, static_cast<lxw_col_t>(i), kColumns[i], book.header()), book.path());
    worksheet_freeze_panes(sheet, 1, 0);
    lxw_row_t at = 1;
    for (const Row& row : rows) {
        const std::vector<std::string> cells = cellsOf(row);
        for (std::size_t i = 0; i < cells.size(); ++i) {
            if (cells[i].empty())
                continue;
            const auto column = static_cast<lxw_col_t>(i);
            if (i == 2 || i == 3)
                checkXlsx(worksheet_write_number(sheet, at, column, std::stod(cells[i]), nullptr), book.path());
            else
                checkXlsx(worksheet_write_string(sheet, at, column, cells[i].c_str(), nullptr), book.path());
        }
        ++at;
    }
}

// The printable memo, paged as export pages documents without a printer unless --lines-per-page.
void writeMemo(const Options& options, const compare::PeriodDiff& diff, const PeriodSession& older,
               const PeriodSession& newer) {
    int pageLines = 0;
    if (options.linesPerPage) {
        pageLines = *options.linesPerPage;
    } else {
        ensureGuiApplication();
        pageLines = fallbackLinesPerPage();
    }
    std::unique_ptr<AtomicFileWriter> file;
    try {
        file = std::make_unique<AtomicFileWriter>(*options.output, AtomicFileWriter::Links::Replace);
    } catch (const Error& failure) {
        throw Failure(kUsage, failure.what());
    }
    try {
        // The memo of the diff already made: the table's row would compare the periods again.
        for (const std::string& line :
             compare::correctionMemo(diff, newer.declaration(), older.folder(), newer.folder(), pageLines))
            file->writeLine(line);
        file->finish();
    } catch (const Error& failure) {
        throw Failure(kUsage, failure.what());
    }
    publishOutput([&] { file->publish(); });
}

// Two trees of periods: one row per pair of folders, then the counts. The worst outcome decides the
// status: a period that cannot be read (2), else any difference or folder without its partner (5).
int runTrees(const Options& options, Streams& streams) {
    const std::string& older = options.dataFolders.at(0);
    const std::string& newer = options.dataFolders.at(1);
    const std::vector<compare::PeriodPair> pairs =
        compare::pairPeriodFolders(findPeriodFolders({older}), findPeriodFolders({newer}),
                                   [](const std::string& folder) { return periodOutputNameOf(folder); });
    std::optional<OutputFile> file;
    std::ostream& out = options.output ? file.emplace(*options.output).stream() : streams.out;
    // Each pair's verdict and what it counts towards, worked out on any thread; printed in pair order.
    enum class Outcome { Same, Different, Alone, Unreadable };
    struct Row {
        Outcome outcome = Outcome::Same;
        std::string verdict;
    };
    const std::function<Row(std::size_t)> work = [&](std::size_t index) {
        const compare::PeriodPair& pair = pairs[index];
        if (pair.repeated)
            return Row{Outcome::Alone, "ПОВТОРЕН: същото лице и период е в още една папка на същото дърво"};
        if (pair.older.empty() || pair.newer.empty())
            return Row{Outcome::Alone, pair.older.empty() ? "САМО В НОВОТО" : "САМО В СТАРОТО"};
        try {
            const PeriodSession oldPeriod(pair.older, options.read);
            const PeriodSession newPeriod(pair.newer, options.read);
            const compare::PeriodDiff diff = compare::comparePeriods(oldPeriod, newPeriod);
            std::size_t records = 0;
            for (const compare::JournalDiff& journal : diff.journals)
                records += journal.records.size();
            if (diff.same())
                return Row{Outcome::Same, "ЕДНАКВИ"};
            return Row{Outcome::Different, "РАЗЛИЧАВАТ СЕ: клетки " + std::to_string(diff.cells.size()) + ", записи " +
                                               std::to_string(records) + ", VIES " +
                                               std::to_string(diff.vies.lines.size())};
        } catch (const std::exception& failure) {
            return Row{Outcome::Unreadable, std::string("НЕЧЕТИМ: ") + failure.what()};
        }
    };
    std::size_t same = 0, different = 0, alone = 0, unreadable = 0;
    runPeriods<Row>(
        pairs.size(), options.jobs, work,
        [&](std::size_t index, Row& row) {
            const compare::PeriodPair& pair = pairs[index];
            streams.progress.clear();
            (row.outcome == Outcome::Same        ? same
             : row.outcome == Outcome::Different ? different
             : row.outcome == Outcome::Alone     ? alone
                                                 : unreadable)++;
            out << pair.key << "  " << (pair.older.empty() ? "-" : shownText(pair.older)) << "  "
                << (pair.newer.empty() ? "-" : shownText(pair.newer)) << "  " << shownText(row.verdict) << '\n';
        },
        [&](std::size_t done) {
            streams.progress.step("compared " + std::to_string(done) + " of " + std::to_string(pairs.size()));
        });
    streams.progress.clear();
    out << "Общо: " << pairs.size() << " реда, еднакви " << same << ", различават се " << different << ", без двойка "
        << alone << ", нечетими " << unreadable << '\n';
    if (file)
        file->publish();
    return unreadable != 0 ? kUnreadable : different + alone != 0 ? kMismatch : kSuccess;
}

class DiffCommand final : public Command {
public:
    std::string description() const override {
        return "  diff      What changed between two submissions of one period: OLDFOLDER\n"
               "            is the period filed, NEWFOLDER the one to file. Both are read\n"
               "            alike whatever their code page and generation; records pair on\n"
               "            counterparty, document type, number and date, then on\n"
               "            counterparty and number. Names the records added, removed and\n"
               "            changed (each field by its column), the column totals, a\n"
               "            renumbering as one line, the return's cells, the VIES lines.\n"
               "            Exit 0 when the two are the same, 5 when they differ.\n";
    }

    int run(const Options& options, Streams& streams, const Environment&) const override {
        const std::string& older = options.dataFolders.at(0);
        const std::string& newer = options.dataFolders.at(1);
        if (options.output)
            OutputGuard({older, newer}).checkFile(*options.output);
        if (options.recursive)
            return runTrees(options, streams);
        streams.progress.step("reading " + older);
        const PeriodSession oldPeriod(older, options.read);
        streams.progress.step("reading " + newer);
        const PeriodSession newPeriod(newer, options.read);
        const std::string other = compare::otherPeriodReason(oldPeriod, newPeriod);
        streams.progress.clear();
        if (!other.empty() && !passGate({other}, options.force, streams.err, "нищо не е сравнено"))
            return kMismatch;
        streams.progress.step("comparing");
        const PeriodDiff diff = compare::comparePeriods(oldPeriod, newPeriod);
        streams.progress.clear();
        const int status = diff.same() && other.empty() ? kSuccess : kMismatch;

        if (options.checkFormat == CheckFormat::Xlsx) {
            const std::unique_ptr<XlsxBook> book = openOutputBook(*options.output);
            publishOutput([&] { writeXlsx(rowsOf(diff), *book); });
            publishOutput([&] { book->publish(); });
            return status;
        }
        if (options.checkFormat == CheckFormat::Text && options.output) {
            writeMemo(options, diff, oldPeriod, newPeriod);
            return status;
        }
        std::optional<OutputFile> file;
        std::ostream& out = options.output ? file.emplace(*options.output).stream() : streams.out;
        switch (options.checkFormat) {
        case CheckFormat::Csv:
            writeCsv(rowsOf(diff), out);
            break;
        case CheckFormat::Json:
            writeJson(rowsOf(diff), out);
            break;
        default:
            // Records may hold any byte: none of theirs reaches the terminal as a control character.
            out << "Сравнение на две подавания\n"
                << "  старо: " << shownText(older) << '\n'
                << "  ново:  " << shownText(newer) << '\n';
            for (const std::string& line : compare::differenceLines(diff))
                out << shownText(line) << '\n';
            break;
        }
        if (file)
            file->publish();
        return status;
    }
};

} // namespace

const Command& diffCommand() {
    static const DiffCommand command;
    return command;
}

} // namespace orva::cli
