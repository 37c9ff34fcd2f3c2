#pragma once

#include "declaration/Declaration.h"
#include "journals/Journal.h"
#include "period/DataFiles.h"
#include "text/Errors.h"
#include "text/FileNames.h"

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orva {

// A period could not be read, or its return could not be built. The message (UTF-8, in Bulgarian,
// as every core message) names the file, the line and the field.
class PeriodError : public Error {
public:
    enum class Stage {
        Load,   // the return record or a journal could not be read or built: nothing to show
        Return, // the label page and the journals exist, the return form cannot be built
    };
    PeriodError(Stage stage, const std::string& message) : Error(message), stage_(stage) {}
    Stage stage() const { return stage_; }

private:
    Stage stage_;
};

// The return record of a period's deklar.txt (the record needs only the file's first bytes). Throws
// PeriodError (Stage::Load) naming the file. PeriodSession reads it; nothing else needs to.
Declaration loadDeclaration(const PeriodFiles& files);

// For a catch block around a journal's build or read (a failure of the load or the check): throws
// the failure being handled as PeriodError (Stage::Load), a JournalError's message as it stands (it
// names the file, the line and the field), a FileError's after the journal's file name. Any other
// failure goes on unchanged.
[[noreturn]] void throwAsJournalLoadError(const std::string& journalFileName);

// What the additional-data dialog collects for the return form; texts are Windows-1251.
struct ReturnAnswers {
    std::string address;
    std::string signatory;
    std::string position;
    std::string date;
    bool represent = true;
    bool art92 = false;
    ReturnCells cells;
};

// What the dialog starts with: the record's cells with 50 and 60 derived from 20 and 40, the
// record's signatory trimmed, the last day of the period as the date (unless `givenDate` is
// set), "представлявам лицето" ticked. Throws PeriodError (Stage::Return) naming the cell or
// the period.
ReturnAnswers presetAnswers(const Declaration& declaration, const std::optional<std::string>& givenDate = {});

// The return form from the dialog's answers.
std::vector<std::string> buildReturn(const Declaration& declaration, const ReturnAnswers& answers, int linesPerPage);

// The line of deklar.txt (1-based) on which field `field` (1-based) of the record starts.
std::size_t declarationLineOfField(const Declaration& declaration, std::size_t field);

// Where the record holds cell `cellNumber`: "deklar.txt, ред N: клетка NN".
std::string declarationCellPlace(const Declaration& declaration, int cellNumber);

// The record field (1-based) that holds cell `cellNumber` in a record of `layout`.
std::size_t declarationFieldOfCell(int cellNumber, ReturnLayout layout);

} // namespace orva
