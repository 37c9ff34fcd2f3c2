#pragma once

#include "declaration/Declaration.h"
#include "journals/Journal.h"
#include "period/DataFiles.h"
#include "text/Errors.h"

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

inline const char* const kDeclarationFileName = "deklar.txt";

// The three files of one period, read and built.
struct Period {
    PeriodFiles files;
    Declaration declaration;
    JournalResult purchases;
    JournalResult sales;
};

// The steps of the load, in the order the window and orva-cli run them; each throws
// PeriodError (Stage::Load). surveyPeriod (DataFiles.h) comes first: it finds the files and
// settles their code pages and generation. A journal is read from its file in chunks as the
// build goes.
Declaration loadDeclaration(const PeriodFiles& files);
JournalResult loadJournal(const FileSurvey& file, const Declaration& declaration, const JournalLayout& layout,
                          int linesPerPage);

// The same journal step with the lines going into `sink` as they are built instead of being kept;
// `onRecord`, when set, sees every record laid out, as read (in the file's code page).
JournalSummary streamJournal(const FileSurvey& file, const Declaration& declaration, const JournalLayout& layout,
                             int linesPerPage, JournalSink& sink,
                             const std::function<void(std::string_view record)>& onRecord = {});

// For a catch block around a journal's build or read (a failure of the load or the check): throws
// the failure being handled as PeriodError (Stage::Load), a JournalError's message as it stands (it
// names the file, the line and the field), a FileError's after the journal's file name. Any other
// failure goes on unchanged.
[[noreturn]] void throwAsJournalLoadError(const std::string& journalFileName);

// All the steps.
Period loadPeriod(const std::string& folder, int linesPerPage, const ReadOptions& options = {});

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
