#pragma once

#include "check/FieldRules.h"
#include "check/Finding.h"
#include "journals/Journal.h"
#include "journals/RecordLayout.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// The rules that judge one journal record on its own (rules 3-9 and 12-14 of `orva-cli check`). Records are
// Windows-1251 bytes, one line without its CR LF, already converted from MIK where the file was classic.
// Nothing here reads files or keeps state; the stateful rules are in check/JournalState.h.
//
//     RecordContext context{"pokupki.txt", Generation::Today, parseTaxPeriod(returnPeriodField)};
//     std::vector<Finding> findings;
//     checkPurchaseRecord(line, lineNumber, context, findings); // appends, in field order
namespace orva::check {

struct RecordContext {
    std::string fileName;                      // named in every finding
    Generation generation = Generation::Today; // classic records allow dd.mm.yyyy and have no trailing code
    TaxPeriod period;                          // the return's 00-03; when not valid, the record's own period
    bool periodUnknown = false; // the return's 00-03 is no real month: the rules that need it are not run
};

// Appends the findings about `record` (line `line` of the file) to `findings`: nothing when the record is
// sound. A record shorter than layout.width(generation) gets one TruncatedRecord finding and no other check
// (the caller decides what a short line means for the rest of the file).
void checkPurchaseRecord(std::string_view record, std::size_t line, const RecordContext& context,
                         std::vector<Finding>& findings);
void checkSalesRecord(std::string_view record, std::size_t line, const RecordContext& context,
                      std::vector<Finding>& findings);
// `cents`, when given, gets the amounts read as numbers (for the journal's totals).
void checkRecord(JournalKind kind, std::string_view record, std::size_t line, const RecordContext& context,
                 std::vector<Finding>& findings, KnownCents* cents = nullptr);

// The same, returning the findings.
std::vector<Finding> checkPurchaseRecord(std::string_view record, std::size_t line, const RecordContext& context);
std::vector<Finding> checkSalesRecord(std::string_view record, std::size_t line, const RecordContext& context);

// A finding about `field`; `rawValue` is Windows-1251 as in the record and is trimmed and converted to UTF-8.
Finding makeFinding(const std::string& fileName, std::size_t line, const RecordField& field, RuleId rule,
                    std::string_view rawValue, std::string detail = {});

} // namespace orva::check
