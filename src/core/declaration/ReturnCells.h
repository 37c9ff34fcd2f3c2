#pragma once

#include <array>
#include <cstddef>
#include <string>

namespace orva {

// The 30 cells of the VAT return in the order the older return record holds them (fields 7 to 36).
inline constexpr std::array<int, 30> kCellNumbers = {1,  20, 11, 21, 12, 22, 13, 23, 14, 24, 15, 16, 17, 18, 19,
                                                     30, 31, 41, 32, 42, 43, 33, 40, 50, 60, 70, 71, 80, 81, 82};

// The order of cells 13, 23, 14, 24 in the period's return record: the classic record stores them
// at positions 242, 257, 272, 287 in that order; the current one stores 23, 13, 24, 14 there. A
// fact about the period's return, settled from all three files and overridable by the user; the
// record generation of each journal file (Generation, journals/RecordLayout.h) is another.
enum class ReturnLayout { Classic, Current };

// Today's records store cells 23, 13, 24, 14 where the older ones store 13, 23, 14, 24.
constexpr std::array<int, 30> currentOrderOf(std::array<int, 30> cells) {
    for (std::size_t i = 0; i + 1 < cells.size(); ++i) {
        if ((cells[i] == 13 && cells[i + 1] == 23) || (cells[i] == 14 && cells[i + 1] == 24)) {
            const int first = cells[i];
            cells[i] = cells[i + 1];
            cells[i + 1] = first;
        }
    }
    return cells;
}
inline constexpr std::array<int, 30> kCurrentCellNumbers = currentOrderOf(kCellNumbers);

// The cells in the order a record of `layout` holds them.
inline const std::array<int, 30>& cellNumbersOf(ReturnLayout layout) {
    return layout == ReturnLayout::Classic ? kCellNumbers : kCurrentCellNumbers;
}

// A cell's number as the documents write it: "07", "50".
inline std::string cellDigits(int cellNumber) {
    return (cellNumber < 10 ? "0" : "") + std::to_string(cellNumber);
}

// A cell's short name in messages and check tables (UTF-8): "кл.07".
inline std::string cellName(int cellNumber) {
    return "кл." + cellDigits(cellNumber);
}

// Cells the user may correct in the dialog.
inline constexpr std::array<int, 6> kEditableCells = {33, 70, 71, 80, 81, 82};

// The return's cells as texts, addressed by cell number (1 for cell 01 ... 82).
class ReturnCells {
public:
    std::string& operator[](int cellNumber) { return texts_[indexOf(cellNumber)]; }
    const std::string& operator[](int cellNumber) const { return texts_[indexOf(cellNumber)]; }
    static bool isCell(int cellNumber);

private:
    static std::size_t indexOf(int cellNumber); // throws std::out_of_range for a non-cell
    std::array<std::string, 30> texts_;
};

} // namespace orva
