#pragma once

#include "compare/PeriodDiff.h"

#include <string>
#include <vector>

// The comparison of two submissions for people: lines for a terminal, and the printable correction
// memo in the journals' style.
namespace orva {

struct Declaration;

namespace compare {

// The differences as aligned lines (UTF-8): notes and files, the return's cells and identity, each
// journal's records and totals, the VIES lines, and the verdict last.
std::vector<std::string> differenceLines(const PeriodDiff& diff);

// The memo: pages of `linesPerPage` lines (Windows-1251, at most 117 characters each), each
// opening with its number, the title, the newer return's caption and the two folders; the lines of
// differenceLines below. Throws orva::Error when a page cannot hold the header and one line.
std::vector<std::string> correctionMemo(const PeriodDiff& diff, const Declaration& newer, const std::string& oldFolder,
                                        const std::string& newFolder, int linesPerPage);

} // namespace compare
} // namespace orva
