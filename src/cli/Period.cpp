#include "cli/Period.h"

#include "cli/Cli.h"

#include "declaration/ReturnForm.h"
#include "text/Decimal.h"
#include "text/Encoding.h"
#include "text/Errors.h"
#include "text/LineFile.h"
#include "text/Paths.h"

namespace orva::cli {

namespace {

const char* const kDeclarationFile = "deklar.txt";

// Core messages quote record texts in Windows-1251; the terminal gets UTF-8.
std::string forTerminal(const std::string& coreMessage) {
    return win1251ToUtf8(coreMessage);
}

std::string readDataFile(const std::string& folder, const std::string& name) {
    try {
        return readFileBytes(joinPath(folder, name));
    } catch (const FileError& error) {
        // The path is the user's own (UTF-8); the reason is the system's.
        throw Failure(kUnreadable, name + ": " + error.what());
    }
}

JournalResult journal(const std::string& folder, int linesPerPage, const Declaration& declaration,
                      const JournalLayout& layout) {
    const std::string bytes = readDataFile(folder, layout.fileName);
    try {
        return buildJournal(bytes, linesPerPage, declaration.CaptionText, layout);
    } catch (const Error& error) {
        // The engine's message already names the file, the line and the field.
        throw Failure(kUnreadable, forTerminal(error.what()));
    }
}

std::string quoted(const std::string& win1251) {
    return "\"" + win1251ToUtf8(win1251) + "\"";
}

std::string cellPlace(const Declaration& declaration, int cellNumber) {
    return std::string(kDeclarationFile) + ", line " +
           std::to_string(declarationLineOfField(declaration, declarationFieldOfCell(cellNumber))) + ": cell " +
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

Period loadPeriod(const std::string& folder, int linesPerPage) {
    Period period;
    const std::string record = readDataFile(folder, kDeclarationFile);
    try {
        period.declaration = parseDeclaration(record);
    } catch (const Error& error) {
        throw Failure(kUnreadable, std::string(kDeclarationFile) + ", line 1: " + forTerminal(error.what()));
    }
    period.purchases = journal(folder, linesPerPage, period.declaration, purchasesLayout());
    period.sales = journal(folder, linesPerPage, period.declaration, salesLayout());
    return period;
}

std::vector<std::string> buildReturn(const Period& period, const ReturnAnswers& answers, int linesPerPage) {
    const Declaration& declaration = period.declaration;
    ReturnFormInput input;
    input.cells = declaration.cells;

    for (int cellNumber : {20, 40}) {
        if (!tryParseDecimal(declaration.cells[cellNumber]))
            throw Failure(kNoReturn, cellPlace(declaration, cellNumber) + " " + quoted(declaration.cells[cellNumber]) +
                                         " is not a number");
    }
    try {
        const ResultCells result = deriveResultCells(declaration.cells[20], declaration.cells[40]);
        input.cells[50] = result.K50;
        input.cells[60] = result.K60;
    } catch (const Error& error) {
        throw Failure(kNoReturn, cellPlace(declaration, 20) + ": " + forTerminal(error.what()));
    }

    if (answers.date) {
        input.ReturnDate = *answers.date;
    } else {
        try {
            input.ReturnDate = defaultReturnDate(declaration.PeriodText);
        } catch (const Error& error) {
            throw Failure(kNoReturn, std::string(kDeclarationFile) + ", line " +
                                         std::to_string(declarationLineOfField(declaration, 3)) +
                                         ": no default date: " + forTerminal(error.what()));
        }
    }

    input.PeriodText = declaration.PeriodText;
    input.FirmName = declaration.FirmName;
    input.VatNumber = declaration.VatNumber;
    input.IdNumber = declaration.IdNumber;
    input.FirmAddress = answers.address.value_or(std::string());
    input.PositionText = answers.position.value_or(std::string());
    input.SignatoryName = answers.signatory ? *answers.signatory : trimSignatory(declaration.SignatoryName);
    input.RepresentMark = answers.represent ? "X" : " ";
    input.Art92Mark = answers.art92 ? "X" : " ";
    input.LinesPerPage = linesPerPage;
    for (const auto& [cellNumber, text] : answers.cells)
        input.cells[cellNumber] = text;
    return buildReturnForm(input);
}

} // namespace orva::cli
