#pragma once

#include "declaration/ReturnCells.h"
#include "text/Errors.h"

#include <map>
#include <optional>
#include <string>
#include <vector>

// The values a user may type into the return's editable cells (33, 70, 71, 80, 81, 82), and what
// follows from them. The dialog and orva-cli's --cell both go through here, so a value refused in
// one is refused in the other and the return is computed alike.
namespace orva {

// The form's box holds 15 characters: a longer value would push the form's columns apart.
inline constexpr std::size_t kTypedCellWidth = 15;

// A typed value as the return stores it (Windows-1251): a decimal comma becomes the point, all
// else stays as typed, blanks included. std::nullopt when the value is refused: it must be at
// most 15 characters of optional blanks, an optional "-", digits and optionally a point or comma
// with one or two decimals, optional blanks. Cell 33 has no sign and lies between 0 and 1; the
// other cells may also be empty (or blank).
std::optional<std::string> storedCellValue(int cellNumber, const std::string& text);

// Why `text` is refused for `cellNumber` (UTF-8), naming the cell and the text.
std::string cellRefusal(int cellNumber, const std::string& text);

// A typed value was refused; `what()` is cellRefusal's text.
class CellRefused : public Error {
public:
    CellRefused(int cellNumber, const std::string& text);
    int cellNumber() const { return cellNumber_; }

private:
    int cellNumber_;
};

// The derived cells of the return's arithmetic (40, then 50 and 60) follow cell 33: when cells[33]
// is not the preset's, each is computed exactly from the cells before it, 40 = 41 + 42 * 33 + 43
// and 50/60 from 20 and the new 40, and written rounded half away from zero to the cent in 15
// characters right-aligned; otherwise they are the presets' again. Throws Error naming the cell
// and the rule when a cell they need is not a number (a blank one counts 0).
void followCoefficient(const ReturnCells& presets, ReturnCells& cells);

// The sums the return cannot hold: 70 + 71 above 50, 80 + 81 + 82 above 60, each as one sentence
// ("Кл.70 + кл.71 = 3100.00 е повече от кл.50 = 2641.96"), compared in whole cents as the check
// compares them. A rule whose cells are not all numbers
// (empty counts 0) is passed over, and so is one whose cells all stand as in `presets`: the user
// is asked about what was typed, not about the record (the check reports that).
std::vector<std::string> sumWarnings(const ReturnCells& cells, const ReturnCells& presets);

// The typed values (cell number to text) over `presets`: each is checked and stored (CellRefused
// for the first refused one, in cell order), then 40/50/60 follow cell 33. Returns the cells and
// leaves sumWarnings to the caller, who asks or warns as it can.
ReturnCells applyTypedCells(const ReturnCells& presets, const std::map<int, std::string>& typed);

// Whether `text` may stand as the return's date: a real day written dd/mm/yyyy, as the dialog
// presets it, or dd.mm.yyyy; stored as typed. Anything else is refused as a typed cell is.
bool isReturnDate(const std::string& text);

// Why `text` is refused as the date (UTF-8), naming the text.
std::string dateRefusal(const std::string& text);

} // namespace orva
