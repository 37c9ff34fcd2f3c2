#pragma once

#include "declaration/ReturnCells.h"
#include "text/Wording.h"

#include <string>
#include <vector>

namespace orva {

// Everything the return form shows; all texts Windows-1251, placed as they stand.
struct ReturnFormInput {
    std::string periodText;
    std::string firmName;
    std::string vatNumber;
    std::string firmAddress;
    std::string idNumber;
    std::string signatoryName;
    std::string representMark;
    std::string art92Mark;
    std::string returnDate;
    std::string positionText;
    int linesPerPage = 0;
    Wording wording = Wording::Classic;
    ReturnCells cells;
};

// The two-page VAT return: 90 lines of page 1, blank lines up to linesPerPage, 80 lines of page 2.
std::vector<std::string> buildReturnForm(const ReturnFormInput& input);

// The caption printed beside cell `cellNumber`'s box on the form in `wording`, its lines joined
// with single blanks (UTF-8): what the dialog shows over the cell. Empty for a non-cell.
std::string returnCellCaption(int cellNumber, Wording wording);

} // namespace orva
