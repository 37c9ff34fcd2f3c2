#pragma once

#include "declaration/ReturnCells.h"
#include "text/CodePage.h"
#include "text/ExactDecimal.h"
#include "text/Wording.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace orva {

// What the return record gives the main window (Windows-1251 texts, untrimmed).
struct Declaration {
    std::string fileName = "deklar.txt"; // as it is spelled on disk (DEKLAR.TXT), for messages
    std::vector<std::string> fields;     // the 36 fields as cut, field k at index k - 1
    std::string vatNumber;
    std::string idNumber;
    std::string firmName;
    std::string periodText;
    std::string signatoryName;
    std::string captionText;
    ReturnLayout layout = ReturnLayout::Classic; // the generation the record was read as
    Wording wording = Wording::Classic;          // the period's (PeriodFiles), for the return form
    ReturnCells cells;                           // all 30, as stored in the record
    std::vector<std::string> label;              // the 18 lines of the label page
};

// The return record is the first 590 characters of deklar.txt's text (after the line-break rule
// below), and the first kDeclarationRecordLength bytes of the file always hold them.
//
// Why that many bytes are enough: the record text is the file's bytes with every break (CR, LF or a
// CR LF pair) written as CR LF and a CR LF appended when the text does not end in a break; a NUL
// ends the text. So the text of the first N bytes, without that appended CR LF, is a prefix of the
// whole file's text: an ordinary byte stays itself, a break becomes CR LF in both. A CR as the Nth
// byte is no exception: alone it becomes CR LF, and with the LF after it in the file the pair
// becomes the same CR LF. Every byte before a NUL yields at least one character (a byte one, a lone
// CR or LF two, a CR LF pair two), so N = 590 bytes yield at least 590 characters, all of them
// the whole file's first ones. A NUL among them ends both texts in the same place.
inline constexpr std::size_t kDeclarationRecordLength = 590;

// Reads the return record from the bytes of deklar.txt (only the first kDeclarationRecordLength
// are looked at), converting from MIK when the file is in
// it, with the four cells of positions 242..287 in the order of `layout`. Throws orva::Error
// when the record text is empty (no VAT number to derive the identification number from).
Declaration parseDeclaration(std::string_view fileBytes, CodePage codePage = CodePage::Mik,
                             ReturnLayout layout = ReturnLayout::Classic);

// The caption line " ДАНЪЧЕН ПЕРИОД %s     ИН ПО ЗДДС %s     %s".
std::string captionLine(const std::string& periodText, const std::string& vatNumber, const std::string& firmName);

// Cells 50 and 60 from the texts of cells 20 and 40 ("%15.2f"): the difference 20 - 40 is the tax
// due (50) when it is above zero, else the tax to refund (60); the other cell is 0 (the return's
// arithmetic, ReturnArithmetic.h). Throws ConversionError when a text is not a number,
// orva::Error naming both when their difference cannot be written as money.
struct ResultCells {
    std::string cell50;
    std::string cell60;
};
ResultCells deriveResultCells(const std::string& k20, const std::string& k40);

// The last day of the period's month as "DD/MM/YYYY". The month is the integer value of the
// first two characters of `periodText`, the year that of its last four. Throws orva::Error
// when they are not numbers, the month is not 1..12 or the year not 1..9999.
std::string defaultReturnDate(const std::string& periodText);

// The signatory as the dialog is preset with it: leading and trailing blanks and control
// characters (bytes up to 0x20) removed.
std::string trimSignatory(const std::string& signatory);

} // namespace orva
