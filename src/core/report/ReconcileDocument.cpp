#include "report/ReconcileDocument.h"

#include "journals/JournalTable.h"
#include "period/PeriodSession.h"
#include "text/Encoding.h"
#include "text/TextSpool.h"

#include <array>

namespace orva::report {

namespace {

using journal_table::kWidth;

// The columns of a row, in Windows-1251 bytes (one byte a character); the last takes what is left.
constexpr std::size_t kColumnWidths[] = {13, 15, 20, 3, 10, 7, 7, 33};
static_assert(13 + 15 + 20 + 3 + 10 + 7 + 7 + 33 + 9 == kWidth, "a row is as wide as the journals");

std::string fitted(std::string text, std::size_t width) {
    text.resize(width, ' ');
    return text;
}

std::string row(const std::vector<std::string>& cells) {
    std::string line = "|";
    for (std::size_t i = 0; i < std::size(kColumnWidths); ++i)
        line += fitted(i < cells.size() ? cells[i] : std::string(), kColumnWidths[i]) + "|";
    return line;
}

// Text cut into pieces of `width` bytes, at a blank where there is one in the piece's second half.
std::vector<std::string> wrapped(const std::string& text, std::size_t width) {
    std::vector<std::string> pieces;
    std::size_t at = 0;
    while (at < text.size()) {
        std::size_t length = std::min(width, text.size() - at);
        std::size_t skip = 0;
        if (at + length < text.size()) {
            // The blank may stand just after a full piece; it is dropped, never carried to the next.
            const std::size_t blank = text.rfind(' ', at + length);
            if (blank != std::string::npos && blank > at + width / 2) {
                length = blank - at;
                skip = 1;
            }
        }
        pieces.push_back(text.substr(at, length));
        at += length + skip;
    }
    if (pieces.empty())
        pieces.emplace_back();
    return pieces;
}

const char* shortClass(const Item& item) {
    switch (item.itemClass) {
    case ItemClass::Missing:
        return "липсва";
    case ItemClass::NotDeclared:
        return "недеклариран";
    case ItemClass::Different:
        return "различен";
    case ItemClass::NotExpected:
        return "не се очаква";
    case ItemClass::Agrees:
        break;
    }
    return "несравнен";
}

// Pages of exactly `linesPerPage` lines, each opening with the header.
class Pages {
public:
    Pages(JournalSink& sink, int linesPerPage, std::vector<std::string> header)
        : sink_(sink), linesPerPage_(static_cast<std::size_t>(linesPerPage)), header_(std::move(header)) {}

    void line(const std::string& text) {
        if (used_ == 0 || used_ >= linesPerPage_) {
            if (used_ != 0)
                used_ = 0;
            sink_.line(journal_table::pageNumberLine(++page_));
            for (const std::string& h : header_)
                sink_.line(h);
            used_ = 1 + header_.size();
        }
        sink_.line(text);
        ++used_;
    }

private:
    JournalSink& sink_;
    std::size_t linesPerPage_;
    std::vector<std::string> header_;
    std::size_t used_ = 0;
    int page_ = 0;
};

std::string win(const std::string& utf8) {
    return utf8ToWin1251(utf8);
}

} // namespace

ReconciliationSummary writeReconciliation(const PeriodSession& period, const std::vector<std::string>& reports,
                                          int linesPerPage, JournalSink& sink) {
    if (linesPerPage < kReconciliationHeaderLines + 1)
        throw Error("редовете на страница (" + std::to_string(linesPerPage) + ") не побират заглавието и един ред");
    const Declaration& declaration = period.declaration();
    const std::string periodText(trimBlanks(declaration.fields.at(2)));
    ReconciliationSummary summary;

    // The document lists the classes one after another, but the pairing finds them mixed: each class's
    // lines wait in a spool of their own (a report of a million lines may leave half a million
    // documents), in the order the document lists the classes.
    std::array<TextSpool, 5> byClass;
    auto order = [](const Item& item) {
        switch (item.itemClass) {
        case ItemClass::Missing:
            return 0;
        case ItemClass::NotDeclared:
            return 1;
        case ItemClass::Different:
            return 2;
        case ItemClass::NotExpected:
            return 3;
        case ItemClass::Agrees:
            break;
        }
        return 4;
    };
    Reconciler reconciler(periodText, [&](const Item& item) {
        if (item.itemClass == ItemClass::Agrees && !item.notCompared)
            return;
        TextSpool& lines = byClass[static_cast<std::size_t>(order(item))];
        const std::vector<std::string> details = wrapped(win(itemDetails(item, false)), kColumnWidths[7]);
        lines.add(row({win(shortClass(item)), win(item.supplier), win(item.number), win(item.type), win(item.date),
                       item.journalLine != 0 ? std::to_string(item.journalLine) : std::string(),
                       item.reportLine != 0 ? std::to_string(item.reportLine) : std::string(), details[0]}));
        for (std::size_t i = 1; i < details.size(); ++i)
            lines.add(row({{}, {}, {}, {}, {}, {}, {}, details[i]}));
    });
    std::vector<std::string> damaged;
    std::string reportNames;
    // The reports are read while the journal's code page is counted.
    reconciler.setJournalCodePage(period.journalCodePageBeside(JournalKind::Purchases, [&] {
        for (const std::string& path : reports) {
            std::size_t lastLine = 0;
            const ReportTitle title = reconciler.addReport(path, [&](const ReportProblem& problem) {
                summary.damagedLines += problem.line != lastLine ? 1 : 0;
                lastLine = problem.line;
                damaged.push_back(problem.text());
            });
            for (const std::string& refusal :
                 reportRefusals(path, title, declaration.fields.at(0), declaration.fields.at(2)))
                summary.problems.push_back(refusal);
            const std::size_t slash = path.find_last_of('/');
            reportNames += (reportNames.empty() ? "" : ", ") +
                           win1251ToUtf8(path.substr(slash == std::string::npos ? 0 : slash + 1)) + " (" +
                           win1251ToUtf8(title.period) + ")";
        }
    }));
    DiscardingSink discard;
    std::size_t record = 0;
    const JournalSummary journal = period.journal(JournalKind::Purchases, 60, discard,
                                                  [&](std::string_view raw) { reconciler.purchase(raw, ++record); });
    summary.problems.insert(summary.problems.end(), journal.problems.begin(), journal.problems.end());
    reconciler.finish();
    summary.totals = reconciler.totals();

    const std::string title = win("СРАВНЕНИЕ НА ДНЕВНИКА НА ПОКУПКИТЕ СЪС СПРАВКАТА ОТ НАП");
    std::vector<std::string> header = {
        std::string((kWidth - title.size()) / 2, ' ') + title,
        fitted(std::string(trimBlanks(declaration.firmName)) + "  " +
                   std::string(trimBlanks(declaration.fields.at(0))) + win("  период ") + periodText,
               kWidth),
        fitted(win("Справка: " + reportNames), kWidth),
        journal_table::barLine(),
        row({win("Вид разлика"), win("Доставчик"), win("Номер"), win("Вид"), win("Дата"), win("Запис"), win("Ред"),
             win("Подробности")}),
        journal_table::barLine(),
    };
    for (std::string& line : header)
        line.erase(line.find_last_not_of(' ') + 1);
    Pages pages(sink, linesPerPage, header);
    bool any = false;
    for (TextSpool& lines : byClass) {
        any = any || !lines.empty();
        lines.replay([&pages](std::string_view line) { pages.line(std::string(line)); });
    }
    if (!any)
        pages.line(row({{}, {}, {}, {}, {}, {}, {}, win("няма разлики")}));
    pages.line(journal_table::closingLine());
    const Totals& t = summary.totals;
    const std::string counts = "Общо: съвпадат " + std::to_string(t.agrees) + ", липсват в дневника " +
                               std::to_string(t.missing) + ", недекларирани " + std::to_string(t.notDeclared) +
                               ", различни " + std::to_string(t.different) + ", не се очакват в справката " +
                               std::to_string(t.notExpected) + ", сумите не са сравнени " +
                               std::to_string(t.notCompared);
    for (const std::string& piece : wrapped(win(counts), kWidth))
        pages.line(piece.substr(0, piece.find_last_not_of(' ') + 1));
    for (const std::string& problem : summary.problems)
        for (const std::string& piece : wrapped(win(shownText(problem)), kWidth))
            pages.line(piece);
    for (const std::string& line : damaged)
        for (const std::string& piece : wrapped(win(shownText("пропуснат: " + line)), kWidth))
            pages.line(piece);
    return summary;
}

} // namespace orva::report
