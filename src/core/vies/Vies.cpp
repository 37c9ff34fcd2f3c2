#include "vies/Vies.h"

#include "declaration/Declaration.h"
#include "journals/JournalTable.h"
#include "text/Encoding.h"
#include "text/Errors.h"
#include "text/LineFile.h"
#include "text/Mik.h"

namespace orva {

namespace {

bool isBlankLine(std::string_view line) {
    // Blanks, tabs and the DOS end-of-file mark carry no record.
    return line.find_first_not_of(" \t\x1a") == std::string_view::npos;
}

const ViesRecordLayout* layoutByCode(std::string_view line) {
    for (const ViesRecordLayout& layout : kViesRecords) {
        if (line.substr(0, 3) == layout.code)
            return &layout;
    }
    return nullptr;
}

// The fields of the records that the document and the sums use.
enum : std::size_t {
    HeaderPeriod = 1,
    HeaderCount = 2,
    DeclarantId = 1,
    DeclarantName,
    DeclarantCity,
    DeclarantPostcode,
    DeclarantAddress,
    DeclarantRole,
    PersonVat = 1,
    PersonName,
    PersonAddress,
    TotalsAll = 1,
    TotalsGoods,
    LineNumber = 1,
    LineVin,
    LineGoods,
    LineTriangular,
    LineServices,
    LinePeriod,
    CallOffCount = 1,
    CallOffNumber = 1,
    CallOffVin,
    CallOffCode,
    CallOffReplacing,
    CallOffPeriod,
};

// A text field without the blanks around it, cut to `width`: names and addresses are cut to fit
// as the journals cut a counterparty's name.
std::string fit(std::string_view text, std::size_t width) {
    return std::string(trimBlanks(text).substr(0, width));
}

// Lays out one pass of lines into the sink, paged as the journals are: a page holds linesPerPage
// lines, and a table row at the top of a page gets the page number, the title and the table's
// heading first.
class Pager {
public:
    Pager(JournalSink& sink, int linesPerPage, std::string title)
        : sink_(sink), linesPerPage_(static_cast<std::size_t>(linesPerPage)), title_(std::move(title)) {}

    void line(std::string_view text) {
        sink_.line(text);
        ++counter_;
    }
    void pageTop() {
        line(journal_table::pageNumberLine(++page_));
        line(title_);
    }
    void heading(const ViesTable& table) {
        for (const std::string& text : table.heading)
            line(text);
        headingEnd_ = counter_;
    }
    // A row that would open a page opens it with the heading, unless the heading stands just above.
    void row(std::string_view text, const ViesTable& table) {
        if (counter_ % linesPerPage_ == 0 && counter_ != headingEnd_) {
            pageTop();
            heading(table);
        }
        line(text);
    }

private:
    JournalSink& sink_;
    std::size_t linesPerPage_;
    std::string title_;
    std::size_t counter_ = 0;
    std::size_t headingEnd_ = 0;
    int page_ = 0;
};

// One table row: each text in its cell, left-aligned after a blank, or right-aligned before one.
// A text wider than its cell is kept whole and lengthens the line, as the journals' amounts do.
struct Cell {
    std::string_view text;
    bool right = false;
};

std::string tableRow(const ViesTable& table, std::initializer_list<Cell> cells) {
    std::string out = "|";
    std::size_t k = 0;
    for (const Cell& cell : cells) {
        const std::size_t width = table.widths[k++];
        if (cell.right) {
            if (cell.text.size() + 1 < width)
                out.append(width - 1 - cell.text.size(), ' ');
            out += cell.text;
            out += ' ';
        } else {
            out += ' ';
            out += cell.text;
            if (cell.text.size() + 1 < width)
                out.append(width - 1 - cell.text.size(), ' ');
        }
        out += '|';
    }
    return out;
}

std::string totalText(const ExactSum& sum) {
    const ExactDecimal value = sum.value();
    return value.fitsMoneyFormat() ? value.moneyText() : "?";
}

} // namespace

std::string ViesProblem::text() const {
    switch (kind) {
    case Kind::UnknownCode:
        return "непознат код на запис \"" + code + "\"";
    case Kind::WrongLength:
        return "запис " + code + " с дължина " + std::to_string(length) + " вместо " +
               std::to_string(layoutByCode(code) ? layoutByCode(code)->width() : 0);
    case Kind::Repeated:
        return "втори запис " + code + "; взет е първият";
    case Kind::Missing:
        return "няма запис " + code;
    case Kind::NulByte:
        return "байт NUL прекъсва файла; не са прочетени още " + std::to_string(length) +
               (length == 1 ? " ред" : " реда");
    case Kind::Unreadable:
        return "файлът не може да се прочете: " + failure;
    }
    return {};
}

std::string personAddress(const ViesSummary& summary) {
    if (!summary.person)
        return {};
    return std::string(trimBlanks(summary.person->field(viesRecordLayout(ViesRecordKind::Person), PersonAddress)));
}

bool ViesSummary::readable() const {
    return problems.empty() || problems.front().kind != ViesProblem::Kind::Unreadable;
}

std::size_t ViesSummary::linesLeftOut() const {
    return badLines;
}

const ViesRecordLayout* viesRecordOf(std::string_view line) {
    const ViesRecordLayout* layout = layoutByCode(line);
    return layout && line.size() == layout->width() ? layout : nullptr;
}

ViesSummary readVies(LineSource& source, CodePage codePage, const std::string& fileName,
                     const std::function<void(const ViesRecord&)>& onRecord, const ViesProblemSink& onProblem) {
    ViesSummary summary;
    summary.fileName = fileName;
    summary.codePage = codePage;
    std::string converted;
    std::string_view raw;
    std::size_t number = 0;
    auto problem = [&](ViesProblem::Kind kind, std::string code, std::size_t length = 0) {
        ViesProblem found;
        found.kind = kind;
        found.line = number;
        found.code = std::move(code);
        found.length = length;
        if (found.line == 0) {
            summary.problems.push_back(std::move(found));
            return;
        }
        summary.badLines += kind == ViesProblem::Kind::NulByte ? length : 1;
        if (onProblem)
            onProblem(found);
    };
    while (source.next(raw)) {
        ++number;
        std::string_view line = raw;
        if (codePage == CodePage::Mik) {
            converted.assign(raw);
            mikToWin1251InPlace(converted);
            line = converted;
        }
        if (isBlankLine(line))
            continue;
        const ViesRecordLayout* layout = layoutByCode(line);
        if (!layout) {
            problem(ViesProblem::Kind::UnknownCode, win1251ToUtf8(std::string(line.substr(0, 3))));
            continue;
        }
        if (line.size() != layout->width()) {
            problem(ViesProblem::Kind::WrongLength, layout->code, line.size());
            continue;
        }
        const ViesRecord record{layout, number, line};
        std::optional<ViesHeaderRecord>* kept = nullptr;
        switch (layout->kind) {
        case ViesRecordKind::Header:
            kept = &summary.header;
            break;
        case ViesRecordKind::Declarant:
            kept = &summary.declarant;
            break;
        case ViesRecordKind::Person:
            kept = &summary.person;
            break;
        case ViesRecordKind::Totals:
            kept = &summary.totals;
            break;
        case ViesRecordKind::CallOffHeader:
            kept = &summary.callOffHeader;
            break;
        case ViesRecordKind::Line: {
            ++summary.lines;
            const bool own = trimBlanks(record.field(LinePeriod)).empty();
            ExactSum* all[] = {&summary.goods, &summary.triangular, &summary.services};
            ExactSum* owned[] = {&summary.ownGoods, &summary.ownTriangular, &summary.ownServices};
            for (std::size_t k = 0; k < 3; ++k) {
                const std::string_view amount = record.field(LineGoods + k);
                if (!all[k]->add(amount)) {
                    ++summary.badAmounts;
                    continue;
                }
                if (own)
                    owned[k]->add(amount);
            }
            break;
        }
        case ViesRecordKind::CallOffLine:
            ++summary.callOffLines;
            break;
        }
        if (kept) {
            if (*kept) {
                problem(ViesProblem::Kind::Repeated, layout->code);
                continue;
            }
            *kept = ViesHeaderRecord{std::string(line), number};
        }
        if (onRecord)
            onRecord(record);
    }
    if (!source.hasMore()) {
        const std::optional<LineSource::NulStop> nul = source.nulStop();
        if (nul && nul->linesAfter != 0) {
            number = nul->line;
            problem(ViesProblem::Kind::NulByte, "NUL", nul->linesAfter);
        }
    }
    number = 0;
    if (!summary.header)
        problem(ViesProblem::Kind::Missing, "VHR");
    if (!summary.person)
        problem(ViesProblem::Kind::Missing, "VTR");
    return summary;
}

void writeViesDocument(const ViesSourceOpener& open, const ViesSummary& summary, int linesPerPage, JournalSink& sink) {
    if (linesPerPage < 1)
        throw Error("редовете на страница (" + std::to_string(linesPerPage) + ") не побират ред");
    const ViesLayout& layout = viesLayout();
    const ViesRecordLayout& header = viesRecordLayout(ViesRecordKind::Header);
    const ViesRecordLayout& person = viesRecordLayout(ViesRecordKind::Person);
    const ViesRecordLayout& declarant = viesRecordLayout(ViesRecordKind::Declarant);
    auto field = [](const std::optional<ViesHeaderRecord>& record, const ViesRecordLayout& recordLayout,
                    std::size_t index) {
        return record ? trimBlanks(record->field(recordLayout, index)) : std::string_view();
    };

    // The title as the journals': the period and the person's VAT number and name, the name cut so
    // that the line stays within the table's width.
    std::string title = layout.titlePrefix + captionLine(std::string(field(summary.header, header, HeaderPeriod)),
                                                         std::string(field(summary.person, person, PersonVat)), "");
    title += fit(field(summary.person, person, PersonName),
                 title.size() < journal_table::kWidth ? journal_table::kWidth - title.size() : 0);
    Pager pager(sink, linesPerPage, title);
    pager.pageTop();

    const std::size_t leftOut = summary.linesLeftOut();
    if (!summary.readable()) {
        pager.line(utf8ToWin1251("ВНИМАНИЕ: " + summary.fileName + ": " + summary.problems.front().text()));
        return;
    }
    if (leftOut != 0)
        pager.line(utf8ToWin1251("ВНИМАНИЕ: " + std::to_string(leftOut) + (leftOut == 1 ? " ред на " : " реда на ") +
                                 summary.fileName + (leftOut == 1 ? " не е" : " не са") +
                                 " в документа; orva-cli check ги посочва"));
    for (const ViesProblem& problem : summary.problems) {
        if (problem.kind == ViesProblem::Kind::Missing)
            pager.line(utf8ToWin1251("ВНИМАНИЕ: " + summary.fileName + " " + problem.text()));
    }

    pager.line(layout.personAddress + fit(field(summary.person, person, PersonAddress), 100));
    std::string role(field(summary.declarant, declarant, DeclarantRole));
    if (role == "A")
        role = layout.roleAuthorised;
    else if (role == "R")
        role = layout.roleRepresentative;
    std::string who = layout.declarant + role;
    for (const std::string& part : {std::string(field(summary.declarant, declarant, DeclarantId)),
                                    fit(field(summary.declarant, declarant, DeclarantName), 60)})
        if (!part.empty())
            who += " " + part;
    pager.line(who);
    std::string where = layout.declarantAddress;
    const std::string postcode(field(summary.declarant, declarant, DeclarantPostcode));
    const std::string city = fit(field(summary.declarant, declarant, DeclarantCity), 30);
    const std::string address = fit(field(summary.declarant, declarant, DeclarantAddress), 60);
    where += postcode + (postcode.empty() || city.empty() ? "" : " ") + city +
             (address.empty() || (postcode.empty() && city.empty()) ? "" : ", ") + address;
    pager.line(where);
    pager.line(layout.count + std::string(field(summary.header, header, HeaderCount)) + layout.countRead +
               std::to_string(summary.lines));

    // The VIR lines in file order, then their totals.
    std::string converted;
    auto eachRecord = [&](ViesRecordKind kind, const std::function<void(const ViesRecord&)>& take) {
        std::unique_ptr<LineSource> source = open();
        std::string_view raw;
        std::size_t number = 0;
        while (source->next(raw)) {
            ++number;
            if (raw.substr(0, 3) != viesRecordLayout(kind).code)
                continue;
            std::string_view line = raw;
            if (summary.codePage == CodePage::Mik) {
                converted.assign(raw);
                mikToWin1251InPlace(converted);
                line = converted;
            }
            if (const ViesRecordLayout* recordLayout = viesRecordOf(line))
                take(ViesRecord{recordLayout, number, line});
        }
    };
    pager.heading(layout.lines);
    eachRecord(ViesRecordKind::Line, [&](const ViesRecord& record) {
        const std::string row = tableRow(layout.lines, {{trimBlanks(record.field(LineNumber)), true},
                                                        {record.field(LineVin)},
                                                        {trimBlanks(record.field(LineGoods)), true},
                                                        {trimBlanks(record.field(LineTriangular)), true},
                                                        {trimBlanks(record.field(LineServices)), true},
                                                        {record.field(LinePeriod)}});
        pager.row(row, layout.lines);
    });
    pager.line(journal_table::barLine());
    pager.line(tableRow(layout.lines, {{layout.total},
                                       {},
                                       {totalText(summary.goods), true},
                                       {totalText(summary.triangular), true},
                                       {totalText(summary.services), true},
                                       {}}));
    pager.line(journal_table::closingLine());
    const ViesRecordLayout& totals = viesRecordLayout(ViesRecordKind::Totals);
    if (summary.totals)
        pager.line(layout.fileTotals + std::string(field(summary.totals, totals, TotalsAll)) + layout.fileGoods +
                   std::string(field(summary.totals, totals, TotalsGoods)));
    else
        pager.line(layout.noFileTotals);

    if (!summary.callOffHeader && summary.callOffLines == 0)
        return;
    pager.line("");
    pager.line(layout.callOffTitle + std::string(field(summary.callOffHeader,
                                                       viesRecordLayout(ViesRecordKind::CallOffHeader), CallOffCount)));
    pager.heading(layout.callOff);
    eachRecord(ViesRecordKind::CallOffLine, [&](const ViesRecord& record) {
        const std::string row = tableRow(layout.callOff, {{trimBlanks(record.field(CallOffNumber)), true},
                                                          {record.field(CallOffVin)},
                                                          {record.field(CallOffCode)},
                                                          {record.field(CallOffReplacing)},
                                                          {record.field(CallOffPeriod)}});
        pager.row(row, layout.callOff);
    });
    pager.line(journal_table::closingLine());
}

ViesSummary scanViesFile(const FileSurvey& file, const std::function<void(const ViesRecord&)>& onRecord,
                         const ViesProblemSink& onProblem) {
    auto unreadable = [&](const std::string& failure) {
        ViesSummary summary;
        summary.fileName = file.name;
        ViesProblem problem;
        problem.kind = ViesProblem::Kind::Unreadable;
        problem.failure = failure;
        summary.problems.push_back(problem);
        return summary;
    };
    if (!file.failure.empty())
        return unreadable(file.failure);
    try {
        std::shared_ptr<const UniqueFd> opened = file.opened;
        if (!opened) {
            std::size_t size = 0;
            opened = std::make_shared<UniqueFd>(openFileForReading(file.path, size));
        }
        FileLineSource source(*opened, file.path);
        ViesSummary summary = readVies(source, file.codePage, file.name, onRecord, onProblem);
        summary.opened = std::move(opened);
        return summary;
    } catch (const FileError& error) {
        return unreadable(error.what());
    }
}

void streamViesFile(const FileSurvey& file, const ViesSummary& summary, int linesPerPage, JournalSink& sink) {
    writeViesDocument(
        [&]() -> std::unique_ptr<LineSource> {
            if (summary.opened)
                return std::make_unique<FileLineSource>(*summary.opened, file.path);
            return std::make_unique<FileLineSource>(file.path);
        },
        summary, linesPerPage, sink);
}

std::string viesPeriodAsTaxPeriod(std::string_view viesPeriod) {
    auto digits = [&](std::size_t from, std::size_t count) {
        for (std::size_t k = from; k < from + count; ++k)
            if (viesPeriod[k] < '0' || viesPeriod[k] > '9')
                return false;
        return true;
    };
    if (viesPeriod.size() != 7 || viesPeriod[2] != '/' || !digits(0, 2) || !digits(3, 4))
        return {};
    const int month = (viesPeriod[0] - '0') * 10 + (viesPeriod[1] - '0');
    if (month < 1 || month > 12)
        return {};
    return std::string(viesPeriod.substr(3, 4)) + std::string(viesPeriod.substr(0, 2));
}

} // namespace orva
