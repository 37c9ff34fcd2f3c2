#include "compare/CorrectionMemo.h"

#include "declaration/Declaration.h"
#include "journals/JournalTable.h"
#include "text/Encoding.h"
#include "text/Errors.h"

#include <algorithm>

namespace orva::compare {

namespace {

// Columns on a terminal: UTF-8 continuation bytes take none.
std::size_t columns(const std::string& text) {
    return static_cast<std::size_t>(
        std::count_if(text.begin(), text.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

std::string left(const std::string& text, std::size_t width) {
    const std::size_t used = columns(text);
    return used >= width ? text : text + std::string(width - used, ' ');
}

std::string right(const std::string& text, std::size_t width) {
    const std::size_t used = columns(text);
    return used >= width ? text : std::string(width - used, ' ') + text;
}

std::string quoted(const std::string& text) {
    return "\"" + text + "\"";
}

std::string labelOf(const ValueChange& value) {
    return value.label.empty() || value.caption.empty() ? value.label + value.caption
                                                        : value.label + " " + value.caption;
}

// Old, new and the difference in aligned columns after the labels.
void valueLines(std::vector<std::string>& out, const std::vector<ValueChange>& values, const std::string& indent) {
    std::size_t labelWidth = 0, valueWidth = 0;
    for (const ValueChange& value : values) {
        labelWidth = std::max(labelWidth, columns(labelOf(value)));
        valueWidth = std::max({valueWidth, columns(value.oldValue) + 2, columns(value.newValue) + 2});
    }
    for (const ValueChange& value : values) {
        std::string line = indent + left(labelOf(value), labelWidth) + "  " +
                           right(quoted(value.oldValue), valueWidth) + " -> " +
                           right(quoted(value.newValue), valueWidth);
        if (!value.difference.empty())
            line += "  разлика " + value.difference;
        out.push_back(line);
    }
}

// `section` is where the changes stand: a journal's, or VIES's when its `vies` is set.
void recordLines(std::vector<std::string>& out, const std::vector<RecordChange>& changes, std::vector<MemoLink>* links,
                 MemoLink section) {
    for (const RecordChange& change : changes) {
        const std::size_t first = out.size();
        std::string where;
        if (change.kind == ChangeKind::Added)
            where = "ред " + std::to_string(change.newLine);
        else if (change.kind == ChangeKind::Removed)
            where = "ред " + std::to_string(change.oldLine);
        else
            where = "ред " + std::to_string(change.oldLine) + " -> " + std::to_string(change.newLine);
        out.push_back("  " + left(changeName(change.kind), 10) + left(where, 16) + change.what);
        std::size_t labelWidth = 0;
        for (const FieldChange& field : change.fields)
            labelWidth = std::max(labelWidth, columns(field.label + " " + field.caption));
        for (const FieldChange& field : change.fields)
            out.push_back("      " + left(field.label + " " + field.caption, labelWidth) + "  " +
                          quoted(field.oldValue) + " -> " + quoted(field.newValue));
        if (links == nullptr)
            continue;
        section.kind = change.kind;
        section.oldLine = change.oldLine;
        section.newLine = change.newLine;
        for (std::size_t line = first; line < out.size(); ++line) {
            section.line = line;
            links->push_back(section);
        }
    }
}

void countLines(std::vector<std::string>& out, std::size_t renumbered, std::size_t repeated) {
    if (renumbered != 0)
        out.push_back("  пренумерирани: " + std::to_string(renumbered) +
                      " записа с нов пореден номер и нищо друго променено");
    if (repeated != 0)
        out.push_back("  сдвоени по реда във файла: " + std::to_string(repeated) + " записа с еднакъв ключ");
}

void totalLines(std::vector<std::string>& out, const std::vector<ValueChange>& totals) {
    if (totals.empty())
        return;
    out.push_back("  Суми:");
    valueLines(out, totals, "  ");
}

MemoLink journalSection(JournalKind kind) {
    MemoLink link;
    link.journal = kind;
    return link;
}

} // namespace

const char* changeName(ChangeKind kind) {
    switch (kind) {
    case ChangeKind::Added:
        return "добавен";
    case ChangeKind::Removed:
        return "премахнат";
    case ChangeKind::Changed:
        break;
    }
    return "променен";
}

std::vector<std::string> differenceLines(const PeriodDiff& diff, std::vector<MemoLink>* links) {
    std::vector<std::string> out;
    for (const std::string& note : diff.notes)
        out.push_back("Бележка: " + note);
    for (const std::string& file : diff.oneSideFiles)
        out.push_back("Файл: " + file);
    if (!diff.cells.empty() || !diff.identity.empty()) {
        out.emplace_back();
        out.push_back("Декларация");
        valueLines(out, diff.cells, "  ");
        valueLines(out, diff.identity, "  ");
    }
    for (const JournalDiff& journal : diff.journals) {
        if (journal.same())
            continue;
        out.emplace_back();
        out.push_back(
            std::string(journal.kind == JournalKind::Purchases ? "Дневник на покупките" : "Дневник на продажбите") +
            " (" + journal.fileName + "): " + std::to_string(journal.oldRecords) + " -> " +
            std::to_string(journal.newRecords) + " записа");
        recordLines(out, journal.records, links, journalSection(journal.kind));
        countLines(out, journal.renumbered, journal.repeatedKeys);
        totalLines(out, journal.totals);
    }
    if (!diff.vies.same()) {
        out.emplace_back();
        out.push_back("VIES");
        MemoLink vies;
        vies.vies = true;
        recordLines(out, diff.vies.lines, links, vies);
        countLines(out, diff.vies.renumbered, diff.vies.repeatedKeys);
        totalLines(out, diff.vies.totals);
    }
    out.emplace_back();
    out.push_back(diff.same() ? "Подаванията са еднакви." : "Подаванията се различават.");
    return out;
}

std::vector<std::string> correctionMemo(const PeriodDiff& diff, const Declaration& newer, const std::string& oldFolder,
                                        const std::string& newFolder, int linesPerPage, std::vector<MemoLink>* links) {
    auto cut = [](std::string line) {
        if (line.size() > journal_table::kWidth)
            line.resize(journal_table::kWidth);
        return line;
    };
    const std::vector<std::string> header = {
        cut(utf8ToWin1251(" СПРАВКА ЗА РАЗЛИКИТЕ МЕЖДУ ДВЕ ПОДАВАНИЯ ЗА ПЕРИОДА")),
        cut(newer.captionText),
        cut(utf8ToWin1251(" Подадено: " + oldFolder)),
        cut(utf8ToWin1251(" Ново:     " + newFolder)),
        journal_table::dashLine(),
    };
    // The page number line, the header, and at least one line of the body.
    if (linesPerPage < static_cast<int>(header.size()) + 2)
        throw Error("страницата побира " + std::to_string(linesPerPage) + " реда, а справката иска поне " +
                    std::to_string(header.size() + 2));
    const std::size_t bodyLines = static_cast<std::size_t>(linesPerPage) - header.size() - 1;
    std::vector<std::string> body;
    std::vector<MemoLink> bodyLinks;
    for (const std::string& line : differenceLines(diff, links ? &bodyLinks : nullptr))
        body.push_back(cut(utf8ToWin1251(line)));
    body.push_back(journal_table::closingLine());
    std::vector<std::string> memo;
    int page = 0;
    for (std::size_t at = 0; at < body.size(); at += bodyLines) {
        memo.push_back(journal_table::pageNumberLine(++page));
        memo.insert(memo.end(), header.begin(), header.end());
        memo.insert(memo.end(), body.begin() + static_cast<std::ptrdiff_t>(at),
                    body.begin() + static_cast<std::ptrdiff_t>(std::min(body.size(), at + bodyLines)));
    }
    if (links != nullptr) {
        // Every page but the last is full: a body line's page and place on it give its memo line.
        const std::size_t pageLength = 1 + header.size() + bodyLines;
        for (MemoLink& link : bodyLinks) {
            link.line = link.line / bodyLines * pageLength + 1 + header.size() + link.line % bodyLines;
            links->push_back(link);
        }
    }
    return memo;
}

} // namespace orva::compare
