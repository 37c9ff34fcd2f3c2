#include "period/Period.h"

#include "declaration/ReturnForm.h"
#include "text/Decimal.h"
#include "text/Encoding.h"
#include "text/LineFile.h"
#include "text/Paths.h"

namespace orva {

namespace {

[[noreturn]] void failLoad(const std::string& message) {
    throw PeriodError(PeriodError::Stage::Load, message);
}

[[noreturn]] void failReturn(const std::string& message) {
    throw PeriodError(PeriodError::Stage::Return, message);
}

std::string quoted(const std::string& win1251) {
    return "\"" + win1251ToUtf8(win1251) + "\"";
}

std::string cellPlace(const Declaration& declaration, int cellNumber) {
    return std::string(kDeclarationFileName) + ", ред " +
           std::to_string(declarationLineOfField(declaration, declarationFieldOfCell(cellNumber))) + ": клетка " +
           (cellNumber < 10 ? "0" : "") + std::to_string(cellNumber);
}

} // namespace

std::size_t declarationFieldOfCell(int cellNumber) {
    for (std::size_t i = 0; i < kCellNumbers.size(); ++i) {
        if (kCellNumbers[i] == cellNumber)
            return i + 7;
    }
    return 0;
}

std::size_t declarationLineOfField(const Declaration& declaration, std::size_t field) {
    // The fields are the record text cut back to back, so the line breaks before a field are the
    // CR LF pairs in the fields before it (a pair may straddle two fields).
    std::string before;
    for (std::size_t i = 0; i + 1 < field && i < declaration.fields.size(); ++i)
        before += declaration.fields[i];
    std::size_t line = 1;
    for (std::size_t at = before.find("\r\n"); at != std::string::npos; at = before.find("\r\n", at + 2))
        ++line;
    return line;
}

Declaration loadDeclaration(const std::string& folder) {
    std::string record;
    try {
        record = readFileBytes(joinPath(folder, kDeclarationFileName));
    } catch (const FileError& error) {
        failLoad(std::string(kDeclarationFileName) + ": " + error.what());
    }
    try {
        return parseDeclaration(record);
    } catch (const Error& error) {
        failLoad(std::string(kDeclarationFileName) + ", ред 1: " + error.what());
    }
}

JournalResult loadJournal(const std::string& folder, const Declaration& declaration, const JournalLayout& layout,
                          int linesPerPage) {
    try {
        return buildJournalFromFile(joinPath(folder, layout.fileName), linesPerPage, declaration.captionText, layout);
    } catch (const JournalError& error) {
        // The engine's message already names the file, the line and the field.
        failLoad(error.what());
    } catch (const FileError& error) {
        failLoad(layout.fileName + ": " + error.what());
    }
}

Period loadPeriod(const std::string& folder, int linesPerPage) {
    Period period;
    period.declaration = loadDeclaration(folder);
    period.purchases = loadJournal(folder, period.declaration, purchasesLayout(), linesPerPage);
    period.sales = loadJournal(folder, period.declaration, salesLayout(), linesPerPage);
    return period;
}

ReturnAnswers presetAnswers(const Declaration& declaration, const std::optional<std::string>& givenDate) {
    ReturnAnswers answers;
    answers.cells = declaration.cells;
    for (int cellNumber : {20, 40}) {
        if (!tryParseDecimal(declaration.cells[cellNumber]))
            failReturn(cellPlace(declaration, cellNumber) + " " + quoted(declaration.cells[cellNumber]) +
                       " не е число");
    }
    try {
        const ResultCells result = deriveResultCells(declaration.cells[20], declaration.cells[40]);
        answers.cells[50] = result.cell50;
        answers.cells[60] = result.cell60;
    } catch (const Error& error) {
        failReturn(cellPlace(declaration, 20) + ": " + error.what());
    }

    if (givenDate) {
        answers.date = *givenDate;
    } else {
        try {
            answers.date = defaultReturnDate(declaration.periodText);
        } catch (const Error& error) {
            failReturn(std::string(kDeclarationFileName) + ", ред " +
                       std::to_string(declarationLineOfField(declaration, 3)) +
                       ": няма дата по подразбиране: " + error.what());
        }
    }
    answers.signatory = trimSignatory(declaration.signatoryName);
    return answers;
}

std::vector<std::string> buildReturn(const Declaration& declaration, const ReturnAnswers& answers, int linesPerPage) {
    ReturnFormInput input;
    input.periodText = declaration.periodText;
    input.firmName = declaration.firmName;
    input.vatNumber = declaration.vatNumber;
    input.idNumber = declaration.idNumber;
    input.firmAddress = answers.address;
    input.positionText = answers.position;
    input.signatoryName = answers.signatory;
    input.returnDate = answers.date;
    input.representMark = answers.represent ? "X" : " ";
    input.art92Mark = answers.art92 ? "X" : " ";
    input.linesPerPage = linesPerPage;
    input.cells = answers.cells;
    return buildReturnForm(input);
}

} // namespace orva
