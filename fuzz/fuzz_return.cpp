// The return form from any record: the dialog's presets (cells 50 and 60 derived from 20 and 40, the
// default date), then the form. The first byte picks the record's generation and code page, the
// second the lines per page; the rest is deklar.txt. Cells 50 and 60 must be money texts of at least
// 15 characters, the date DD/MM/YYYY of a real day, the form 90 + 80 lines plus the blank lines up
// to a page; every value of the check table against empty journals a money text or a whole number.
// The derived cells and the default date are also fed the bytes directly.
#include "FuzzChecks.h"

#include "check/ReturnRules.h"
#include "declaration/Declaration.h"
#include "period/Period.h"
#include "text/Errors.h"
#include "text/LineSource.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace {

void requireMoneyCell(const std::string& cell) {
    fuzz::require(cell.size() >= 15 && orva::isMoneyText(cell));
}

// A value of the check table: a money text, a whole number (the record counts) or "-" (no number).
bool isTableValue(const std::string& text) {
    if (text == "-" || orva::isMoneyText(text))
        return true;
    const std::size_t digits = text.find_first_not_of('-') == 1 ? 1 : 0;
    return text.size() > digits && text.find_first_not_of("0123456789", digits) == std::string::npos;
}

// The totals of a journal file with no records.
orva::JournalTotals emptyJournal(const orva::JournalLayout& layout) {
    orva::MemoryLineSource none("");
    orva::DiscardingSink discard;
    const orva::JournalSummary summary = orva::writeJournal(none, 60, "", layout, discard);
    return {summary.totals, summary.records, {}};
}

void requireCheckTable(const orva::Declaration& declaration) {
    static const orva::JournalTotals purchases = emptyJournal(orva::purchasesLayout());
    static const orva::JournalTotals sales = emptyJournal(orva::salesLayout());
    for (const orva::CheckRow& row : orva::checkReturn(declaration, purchases, sales)) {
        fuzz::require(isTableValue(row.returnValue));
        fuzz::require(isTableValue(row.journalValue) || row.journalValue == "0.00..1.00");
        if (row.result == orva::CheckRow::Result::NotEvaluable)
            fuzz::require(!row.difference.empty() && fuzz::isValidUtf8(row.difference));
        else
            fuzz::require(isTableValue(row.difference) && row.difference != "-");
    }
}

void requireDate(const std::string& date) {
    fuzz::require(date.size() == 10 && date[2] == '/' && date[5] == '/');
    for (std::size_t i : {0, 1, 3, 4, 6, 7, 8, 9})
        fuzz::require(date[i] >= '0' && date[i] <= '9');
    const int day = std::stoi(date.substr(0, 2));
    const int month = std::stoi(date.substr(3, 2));
    fuzz::require(day >= 28 && day <= 31 && month >= 1 && month <= 12);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2)
        return 0;
    const orva::ReturnLayout layout = (data[0] & 1) ? orva::ReturnLayout::Current : orva::ReturnLayout::Classic;
    const orva::CodePage codePage = (data[0] & 2) ? orva::CodePage::Windows1251 : orva::CodePage::Mik;
    const int linesPerPage = data[1];
    const std::string_view bytes(reinterpret_cast<const char*>(data) + 2, size - 2);

    const std::size_t half = bytes.size() / 2;
    try {
        const orva::ResultCells cells =
            orva::deriveResultCells(std::string(bytes.substr(0, half)), std::string(bytes.substr(half)));
        requireMoneyCell(cells.cell50);
        requireMoneyCell(cells.cell60);
    } catch (const orva::Error&) {
    }
    try {
        requireDate(orva::defaultReturnDate(std::string(bytes.substr(0, 12))));
    } catch (const orva::Error&) {
    }

    try {
        const orva::Declaration declaration = orva::parseDeclaration(bytes, codePage, layout);
        try {
            requireCheckTable(declaration);
        } catch (const orva::PeriodError& error) {
            fuzz::require(error.stage() == orva::PeriodError::Stage::Return && fuzz::isValidUtf8(error.what()));
        }
        orva::ReturnAnswers answers = orva::presetAnswers(declaration);
        requireMoneyCell(answers.cells[50]);
        requireMoneyCell(answers.cells[60]);
        requireDate(answers.date);
        answers.address = declaration.firmName;
        answers.position = declaration.signatoryName;
        answers.art92 = data[0] & 4;
        const std::vector<std::string> form = orva::buildReturn(declaration, answers, linesPerPage);
        fuzz::require(form.size() == 170 + static_cast<std::size_t>(linesPerPage > 90 ? linesPerPage - 90 : 0));
    } catch (const orva::Error&) {
    }
    return 0;
}
