#pragma once

#include "journals/RecordLayout.h"
#include "text/ExactDecimal.h"
#include "text/Wording.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

// A journal as a spreadsheet: one column per record field, in record order, from the one record table
// (RecordLayout.h). What a cell holds is decided here, once, for the xlsx and the CSV writer alike.
namespace orva {

// A spreadsheet keeps 15 significant digits of a number; an amount with more is written as text.
inline constexpr int kSpreadsheetDigits = 15;

// The fields of a record as columns: amountCount + 11, the code last (column 8а in today's wording).
std::size_t sheetColumnCount(const RecordLayout& layout);

// The header of column `index`: the journal's column ("кол.9", or the field's code where the printed
// journal has none; "кол.8а" for the code in today's wording) and the field's name in `wording` (UTF-8).
std::string sheetHeader(const RecordLayout& layout, std::size_t index, Wording wording);

// A column's width in characters: the field's width, at least the first word of the header's.
double sheetColumnWidth(const RecordLayout& layout, std::size_t index);

struct SheetCell {
    enum class Kind { Empty, Money, Number, Date, Text };
    Kind kind = Kind::Empty;
    double number = 0;                // Money (two decimals shown) and Number
    int year = 0, month = 0, day = 0; // Date
    std::string text;                 // the field as it stands without the blanks around it (UTF-8): what Text
                                      // and the CSV show
};

// The cell of `field` whose bytes are `win1251` (already in Windows-1251): an amount that is a
// spreadsheetNumber is Money, a sequence number of digits a Number, a real dd/mm/yyyy (or dd.mm.yyyy)
// date a Date; the codes (VAT numbers, period, branch, document type and number, the code) and every
// other text, and any amount or date that is not valid, Text as written.
SheetCell sheetCell(const RecordField& field, std::string_view win1251);

// The significant digits of `value` (0 for zero): 1.50 has 2, 1234567890123.45 has 15.
int significantDigits(const ExactDecimal& value);

// The value as the nearest double: exact for at most 15 significant digits.
double toDouble(const ExactDecimal& value);

// The value as a spreadsheet's number: with at most 15 significant digits and within a double's range;
// else none, and the amount is written as text (as it stands, or exactly for a total).
std::optional<double> spreadsheetNumber(const ExactDecimal& value);

// "A", "B" ... "Z", "AA" ... for column `index` (0-based).
std::string columnLetters(std::size_t index);

} // namespace orva
