#pragma once

#include "declaration/Declaration.h"
#include "journals/Journal.h"

#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace orva::cli {

// A failure that ends a command: the exit status and one line for standard error (UTF-8,
// without the "orva-cli: " prefix).
class Failure : public std::runtime_error {
public:
    Failure(int status, const std::string& message) : std::runtime_error(message), status_(status) {}
    int status() const { return status_; }

private:
    int status_;
};

// The three files of one period, read and built as the window's guarded load does.
struct Period {
    Declaration declaration;
    JournalResult purchases;
    JournalResult sales;
};

// Reads deklar.txt, pokupki.txt and prodagbi.txt from `folder` and builds the label page and
// both journals with `linesPerPage`. Throws Failure with status 2 naming file, line and field.
Period loadPeriod(const std::string& folder, int linesPerPage);

// The dialog's answers as options give them (Windows-1251); unset ones take the window's presets.
struct ReturnAnswers {
    std::optional<std::string> address;
    std::optional<std::string> signatory;
    std::optional<std::string> position;
    std::optional<std::string> date;
    bool represent = true;
    bool art92 = false;
    std::map<int, std::string> cells; // only the editable cells 33, 70, 71, 80, 81, 82
};

// Builds the return form as the window does after the dialog: cells 50 and 60 derived, the
// default date when none is given, the signatory preset from the record. Throws Failure with
// status 3 naming the cell or the period.
std::vector<std::string> buildReturn(const Period& period, const ReturnAnswers& answers, int linesPerPage);

// The line of deklar.txt (1-based) on which field `field` (1-based) of the record starts.
std::size_t declarationLineOfField(const Declaration& declaration, std::size_t field);

// The record field (1-based) that holds cell `cellNumber`.
std::size_t declarationFieldOfCell(int cellNumber);

} // namespace orva::cli
