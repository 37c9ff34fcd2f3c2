#pragma once

#include "declaration/ReturnCells.h"

#include <string>
#include <vector>

namespace orva {

// Everything the return form shows; all texts Windows-1251, placed as they stand.
struct ReturnFormInput {
    std::string PeriodText;
    std::string FirmName;
    std::string VatNumber;
    std::string FirmAddress;
    std::string IdNumber;
    std::string SignatoryName;
    std::string RepresentMark;
    std::string Art92Mark;
    std::string ReturnDate;
    std::string PositionText;
    int LinesPerPage = 0;
    ReturnCells cells;
};

// The two-page VAT return: 90 lines of page 1, blank lines up to LinesPerPage, 80 lines of page 2.
std::vector<std::string> buildReturnForm(const ReturnFormInput& input);

} // namespace orva
