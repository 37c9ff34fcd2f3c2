#include "declaration/ReturnCells.h"

#include <stdexcept>

namespace orva {

std::size_t ReturnCells::indexOf(int cellNumber) {
    for (std::size_t i = 0; i < kCellNumbers.size(); ++i)
        if (kCellNumbers[i] == cellNumber)
            return i;
    throw std::out_of_range("няма клетка " + std::to_string(cellNumber) + " в декларацията");
}

bool ReturnCells::isCell(int cellNumber) {
    for (const int number : kCellNumbers)
        if (number == cellNumber)
            return true;
    return false;
}

} // namespace orva
