#pragma once

#include "journals/RecordLayout.h"
#include "text/Calendar.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace orva::check {

// A tax period YYYYMM (00-03, 03-01, 02-01).
struct TaxPeriod {
    int year = 0;
    int month = 0;
    bool valid() const { return year > 0 && month >= 1 && month <= 12; }
};

// A document's date: parseDate's dd/mm/yyyy; classic records may also use dd.mm.yyyy.
std::optional<CalendarDate> parseDocumentDate(std::string_view text, Generation generation);

// Six digits YYYYMM with a month 01..12; anything else gives an invalid period.
TaxPeriod parseTaxPeriod(std::string_view text);

enum class AmountShape {
    Ok,              // blanks, then [-]digits.dd filling the field to its end
    NotRightAligned, // a good amount followed by blanks
    Malformed,       // blank, one decimal, a comma, "+", an exponent, blanks inside ...
};

struct AmountValue {
    AmountShape shape = AmountShape::Malformed;
    std::int64_t cents = 0; // exact; 0 when Malformed
};

// Reads an amount field exactly as the agency expects it: optional "-", at least one digit, ".", two
// digits; blanks only in front (behind them: a warning). No floating point: sums and comparisons stay exact.
AmountValue parseAmountField(std::string_view field);

// "-12.30" for -1230.
std::string formatCents(std::int64_t cents);

// The document types a journal allows (FORMATS §4; the union of what the sources allow for that journal).
bool isAllowedDocumentType(std::string_view type, JournalKind kind);

// The trailing code of today's records: two blanks, or a code the journal allows (FORMATS §3.3).
bool isAllowedSpecialCode(std::string_view code, JournalKind kind);

// Types 01, 02, 03 need a number of exactly 10 digits.
bool needsTenDigitNumber(std::string_view type);
bool isTenDigitNumber(std::string_view number); // blanks around it ignored

bool isCreditNote(std::string_view type);         // 03, 13, 23
bool isInvoiceOrDebitNote(std::string_view type); // 01, 02, 11, 12

} // namespace orva::check
