#include "period/Period.h"

#include "declaration/ReturnForm.h"
#include "period/Gate.h"
#include "text/Encoding.h"
#include "text/ExactDecimal.h"
#include "text/LineFile.h"
#include "text/LineSource.h"

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

} // namespace

std::string declarationCellPlace(const Declaration& declaration, int cellNumber) {
    return declaration.fileName + ", ред " +
           std::to_string(declarationLineOfField(declaration, declarationFieldOfCell(cellNumber, declaration.layout))) +
           ": клетка " + cellDigits(cellNumber);
}

std::size_t declarationFieldOfCell(int cellNumber, ReturnLayout layout) {
    const auto& cellNumbers = cellNumbersOf(layout);
    for (std::size_t i = 0; i < cellNumbers.size(); ++i) {
        if (cellNumbers[i] == cellNumber)
            return i + 7;
    }
    return 0;
}

std::size_t declarationLineOfField(const Declaration& declaration, std::size_t field) {
    // The fields are the record text cut back to back, so the line breaks before a field are the
    // CR LF pairs in the fields before it (a pair may straddle two fields). The break the reader
    // appends after the last line starts no line of its own.
    std::string record;
    std::size_t start = 0;
    for (std::size_t i = 0; i < declaration.fields.size(); ++i) {
        if (i + 1 == field)
            start = record.size();
        record += declaration.fields[i];
    }
    if (field > declaration.fields.size())
        start = record.size();
    std::size_t line = 1;
    for (std::size_t at = record.find("\r\n"); at != std::string::npos && at + 2 <= start;
         at = record.find("\r\n", at + 2)) {
        if (at + 2 < record.size())
            ++line;
    }
    return line;
}

Declaration loadDeclaration(const PeriodFiles& files) {
    std::string record;
    try {
        // The record needs only the file's first bytes: a huge deklar.txt costs no more memory.
        record = readFilePrefix(files.declaration.path, kDeclarationRecordLength);
    } catch (const FileError& error) {
        failLoad(files.declaration.name + ": " + error.what());
    }
    try {
        Declaration declaration = parseDeclaration(record, files.declaration.codePage, files.returnLayout);
        declaration.wording = files.wording;
        declaration.fileName = files.declaration.name;
        return declaration;
    } catch (const Error& error) {
        failLoad(files.declaration.name + ", ред 1: " + error.what());
    }
}

JournalSummary streamJournal(const FileSurvey& file, const Declaration& declaration, const JournalLayout& layout,
                             int linesPerPage, JournalSink& sink,
                             const std::function<void(std::string_view record)>& onRecord) {
    try {
        FileLineSource source(file.path);
        JournalOptions options;
        options.codePage = file.codePage;
        options.fileName = file.name;
        JournalGate gate(file.name, layout.kind, file.codePage, declaration.fields.at(0), declaration.fields.at(2));
        options.onRecord = [&gate, &onRecord](std::string_view record, std::size_t) {
            gate.record(record);
            if (onRecord)
                onRecord(record);
        };
        JournalSummary summary = writeJournal(source, linesPerPage, declaration.captionText, layout, sink, options);
        if (summary.endLine != 0)
            gate.shortLine(summary.endLineText, summary.endLine, summary.linesAfterEnd, summary.filledLinesAfterEnd);
        if (summary.nul)
            gate.nulByte(summary.nul->line, summary.nul->linesAfter);
        if (summary.droppedLine != 0)
            gate.shortLastLine(summary.droppedLastLine, summary.droppedLine);
        summary.problems = gate.problems();
        return summary;
    } catch (const Error&) {
        throwAsJournalLoadError(file.name);
    }
}

void throwAsJournalLoadError(const std::string& journalFileName) {
    try {
        throw;
    } catch (const JournalError& error) {
        failLoad(error.what());
    } catch (const FileError& error) {
        failLoad(journalFileName + ": " + error.what());
    }
}

JournalResult loadJournal(const FileSurvey& file, const Declaration& declaration, const JournalLayout& layout,
                          int linesPerPage) {
    JournalResult result;
    LineCollector sink(result.lines);
    JournalSummary summary = streamJournal(file, declaration, layout, linesPerPage, sink);
    result.totals = std::move(summary.totals);
    result.records = summary.records;
    result.problems = std::move(summary.problems);
    return result;
}

Period loadPeriod(const std::string& folder, int linesPerPage, const ReadOptions& options) {
    Period period;
    period.files = surveyPeriod(folder, options);
    period.declaration = loadDeclaration(period.files);
    period.purchases =
        loadJournal(period.files.purchases, period.declaration, purchasesLayout(period.files.wording), linesPerPage);
    period.sales = loadJournal(period.files.sales, period.declaration, salesLayout(period.files.wording), linesPerPage);
    return period;
}

ReturnAnswers presetAnswers(const Declaration& declaration, const std::optional<std::string>& givenDate) {
    ReturnAnswers answers;
    answers.cells = declaration.cells;
    for (int cellNumber : {20, 40}) {
        if (!ExactDecimal::parse(declaration.cells[cellNumber]))
            failReturn(declarationCellPlace(declaration, cellNumber) + " " + quoted(declaration.cells[cellNumber]) +
                       " не е число");
    }
    try {
        const ResultCells result = deriveResultCells(declaration.cells[20], declaration.cells[40]);
        answers.cells[50] = result.cell50;
        answers.cells[60] = result.cell60;
    } catch (const Error& error) {
        failReturn(declarationCellPlace(declaration, 20) + ": " + error.what());
    }

    if (givenDate) {
        answers.date = *givenDate;
    } else {
        try {
            answers.date = defaultReturnDate(declaration.periodText);
        } catch (const Error& error) {
            failReturn(declaration.fileName + ", ред " + std::to_string(declarationLineOfField(declaration, 3)) +
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
    input.wording = declaration.wording;
    input.cells = answers.cells;
    return buildReturnForm(input);
}

} // namespace orva
