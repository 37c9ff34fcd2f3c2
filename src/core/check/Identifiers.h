#pragma once

#include "check/Finding.h"

#include <optional>
#include <string_view>

namespace orva::check {

// Check digits of Bulgarian identifiers. Each takes the digits alone (no blanks, no "BG") and is
// false for a text of another length or with a non-digit.
bool isValidCompanyNumber(std::string_view digits);   // ЕИК/БУЛСТАТ, 9 or 13 digits
bool isValidPersonalNumber(std::string_view digits);  // ЕГН: check digit and a real birth date
bool isValidForeignerNumber(std::string_view digits); // ЛНЧ
bool isValidOtherNumber(std::string_view digits);     // other 10-digit numbers the agency issues
// 10 digits: an ЕГН, an ЛНЧ or another number, as a VAT number of a natural person may be any of them.
bool isValidTenDigitNumber(std::string_view digits);

// A Bulgarian VAT number as the return's own (00-01) holds it, blanks around it ignored: "BG" and a valid
// 9-digit ЕИК or a valid 10-digit number.
bool isValidBulgarianVatNumber(std::string_view number);

// An EU VAT number: a member state's prefix (Greece EL, Northern Ireland XI, not BG) and the shape that
// state uses. Shape only: the check digits of other states are not ours to judge.
bool hasEuVatShape(std::string_view number);

// A counterparty of the VIES declaration: nullopt for another member state's VAT number of its shape,
// EuNumberShape for another state's prefix on a number of the wrong shape, ViesCounterpartyCountry for
// BG, a prefix of no member state, or no prefix.
std::optional<RuleId> classifyViesCounterparty(std::string_view number);

enum class Verdict { Ok, Error, Warning };

struct IdentifierResult {
    Verdict verdict = Verdict::Ok;
    RuleId rule = RuleId::CounterpartyUnknown; // why, when not Ok
};

// Judges a counterparty identifier (03-08 / 02-07) as the file holds it; blanks around it are ignored.
// Ok: a valid ЕИК (9/13), a valid 10-digit number, BG + either, an EU VAT number of the right shape,
// 999999999999999, or nothing on a report 81/82 (`blankAllowed`). A two-letter prefix of a state outside
// the EU is a warning; everything else an error.
IdentifierResult classifyCounterparty(std::string_view identifier, bool blankAllowed);

} // namespace orva::check
