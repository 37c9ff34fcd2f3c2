#include "check/Identifiers.h"
#include "journals/RecordLayout.h"
#include "text/Ascii.h"
#include "text/Calendar.h"

#include <array>
#include <cstddef>

namespace orva::check {

namespace {

bool allDigits(std::string_view text) {
    if (text.empty())
        return false;
    for (char c : text) {
        if (c < '0' || c > '9')
            return false;
    }
    return true;
}

bool allDigitsOrLetters(std::string_view text) {
    for (char c : text) {
        if (!(isAsciiDigit(c) || isAsciiUpper(c)))
            return false;
    }
    return true;
}

int digit(std::string_view text, std::size_t index) {
    return text[index] - '0';
}

// Σ dᵢ·wᵢ over the first weights.size() digits.
template <std::size_t N>
int weightedSum(std::string_view digits, const std::array<int, N>& weights, std::size_t from = 0) {
    int sum = 0;
    for (std::size_t index = 0; index < N; ++index)
        sum += digit(digits, from + index) * weights[index];
    return sum;
}

// Shapes of the member states' VAT numbers after the prefix (the VIES formats).
bool euShapeFor(std::string_view country, std::string_view rest) {
    const std::size_t length = rest.size();
    auto digitsOf = [&](std::size_t count) { return length == count && allDigits(rest); };
    if (country == "AT")
        return length == 9 && rest[0] == 'U' && allDigits(rest.substr(1));
    if (country == "BE")
        return (length == 9 || length == 10) && allDigits(rest);
    if (country == "CY")
        return length == 9 && allDigits(rest.substr(0, 8)) && isAsciiUpper(rest[8]);
    if (country == "CZ")
        return (length >= 8 && length <= 10) && allDigits(rest);
    if (country == "DE" || country == "EE" || country == "EL" || country == "PT")
        return digitsOf(9);
    if (country == "DK" || country == "FI" || country == "HU" || country == "LU" || country == "MT" || country == "SI")
        return digitsOf(8);
    if (country == "ES")
        return length == 9 && allDigitsOrLetters(rest) && allDigits(rest.substr(1, 7));
    if (country == "FR") {
        auto key = [](char c) { return isAsciiDigit(c) || (isAsciiUpper(c) && c != 'I' && c != 'O'); };
        return length == 11 && key(rest[0]) && key(rest[1]) && allDigits(rest.substr(2));
    }
    if (country == "HR" || country == "IT" || country == "LV")
        return digitsOf(11);
    if (country == "IE") {
        // 1234567T, 1234567TW, or the old 1X23456T
        if (length < 8 || length > 9 || !isAsciiDigit(rest[0]) || !allDigits(rest.substr(2, 5)) ||
            !isAsciiUpper(rest[7]))
            return false;
        if (length == 9)
            return isAsciiDigit(rest[1]) && isAsciiUpper(rest[8]);
        return isAsciiDigit(rest[1]) || isAsciiUpper(rest[1]) || rest[1] == '+' || rest[1] == '*';
    }
    if (country == "LT")
        return (length == 9 || length == 12) && allDigits(rest);
    if (country == "NL")
        return length == 12 && allDigits(rest.substr(0, 9)) && rest[9] == 'B' && allDigits(rest.substr(10));
    if (country == "PL" || country == "SK")
        return digitsOf(10);
    if (country == "RO")
        return length >= 2 && length <= 10 && allDigits(rest);
    if (country == "SE")
        return digitsOf(12);
    if (country == "XI") {
        if ((length == 9 || length == 12) && allDigits(rest))
            return true;
        return length == 5 && (rest.substr(0, 2) == "GD" || rest.substr(0, 2) == "HA") && allDigits(rest.substr(2));
    }
    return false;
}

bool isEuPrefix(std::string_view country) {
    static constexpr std::array<std::string_view, 27> prefixes{"AT", "BE", "BG", "CY", "CZ", "DE", "DK", "EE", "EL",
                                                               "ES", "FI", "FR", "HR", "HU", "IE", "IT", "LT", "LU",
                                                               "LV", "MT", "NL", "PL", "PT", "RO", "SE", "SI", "SK"};
    if (country == "XI")
        return true;
    for (std::string_view prefix : prefixes) {
        if (prefix == country)
            return true;
    }
    return false;
}

// A Bulgarian number of 9, 10 or 13 digits: which rule it breaks, if any.
IdentifierResult classifyBulgarianDigits(std::string_view digits) {
    if (digits.size() == 10)
        return isValidTenDigitNumber(digits) ? IdentifierResult{}
                                             : IdentifierResult{Verdict::Error, RuleId::PersonCheckDigit};
    return isValidCompanyNumber(digits) ? IdentifierResult{}
                                        : IdentifierResult{Verdict::Error, RuleId::CompanyCheckDigit};
}

} // namespace

bool isValidCompanyNumber(std::string_view digits) {
    if ((digits.size() != 9 && digits.size() != 13) || !allDigits(digits))
        return false;
    int check = weightedSum(digits, std::array<int, 8>{1, 2, 3, 4, 5, 6, 7, 8}) % 11;
    if (check == 10)
        check = weightedSum(digits, std::array<int, 8>{3, 4, 5, 6, 7, 8, 9, 10}) % 11;
    if (check % 10 != digit(digits, 8))
        return false;
    if (digits.size() == 9)
        return true;
    check = weightedSum(digits, std::array<int, 4>{2, 7, 3, 5}, 8) % 11;
    if (check == 10)
        check = weightedSum(digits, std::array<int, 4>{4, 9, 5, 7}, 8) % 11;
    return check % 10 == digit(digits, 12);
}

bool isValidPersonalNumber(std::string_view digits) {
    if (digits.size() != 10 || !allDigits(digits))
        return false;
    int year = 1900 + digit(digits, 0) * 10 + digit(digits, 1);
    int month = digit(digits, 2) * 10 + digit(digits, 3);
    const int day = digit(digits, 4) * 10 + digit(digits, 5);
    if (month > 40) {
        year += 100;
        month -= 40;
    } else if (month > 20) {
        year -= 100;
        month -= 20;
    }
    if (month < 1 || month > 12 || day < 1)
        return false;
    if (day > daysInMonth(year, month))
        return false;
    return weightedSum(digits, std::array<int, 9>{2, 4, 8, 5, 10, 9, 7, 3, 6}) % 11 % 10 == digit(digits, 9);
}

bool isValidForeignerNumber(std::string_view digits) {
    if (digits.size() != 10 || !allDigits(digits))
        return false;
    return weightedSum(digits, std::array<int, 9>{21, 19, 17, 13, 11, 9, 7, 3, 1}) % 10 == digit(digits, 9);
}

bool isValidOtherNumber(std::string_view digits) {
    if (digits.size() != 10 || !allDigits(digits))
        return false;
    // A remainder of 1 would need the check digit 10: no such number exists.
    const int check = (11 - weightedSum(digits, std::array<int, 9>{4, 3, 2, 7, 6, 5, 4, 3, 2}) % 11) % 11;
    return check == digit(digits, 9);
}

bool isValidTenDigitNumber(std::string_view digits) {
    return isValidPersonalNumber(digits) || isValidForeignerNumber(digits) || isValidOtherNumber(digits);
}

bool isValidBulgarianVatNumber(std::string_view number) {
    const std::string_view text = trimBlanks(number);
    if (text.size() < 2 || text.substr(0, 2) != "BG")
        return false;
    const std::string_view digits = text.substr(2);
    return digits.size() == 9 ? isValidCompanyNumber(digits) : isValidTenDigitNumber(digits);
}

bool hasEuVatShape(std::string_view number) {
    if (number.size() < 3)
        return false;
    const std::string_view country = number.substr(0, 2);
    return country != "BG" && euShapeFor(country, number.substr(2));
}

IdentifierResult classifyCounterparty(std::string_view identifier, bool blankAllowed) {
    const std::string_view text = trimBlanks(identifier);
    if (text.empty())
        return blankAllowed ? IdentifierResult{} : IdentifierResult{Verdict::Error, RuleId::CounterpartyMissing};
    if (text == "999999999999999")
        return {};
    if (allDigits(text)) {
        if (text.size() == 9 || text.size() == 10 || text.size() == 13)
            return classifyBulgarianDigits(text);
        return {Verdict::Error, RuleId::CounterpartyUnknown};
    }
    if (text.size() < 3 || !isAsciiUpper(text[0]) || !isAsciiUpper(text[1]))
        return {Verdict::Error, RuleId::CounterpartyUnknown};
    const std::string_view country = text.substr(0, 2);
    const std::string_view rest = text.substr(2);
    if (country == "BG") {
        if (allDigits(rest) && (rest.size() == 9 || rest.size() == 10))
            return classifyBulgarianDigits(rest);
        return {Verdict::Error, RuleId::CounterpartyUnknown};
    }
    if (!isEuPrefix(country))
        return {Verdict::Warning, RuleId::CounterpartyOutsideEu};
    if (!euShapeFor(country, rest))
        return {Verdict::Error, RuleId::EuNumberShape};
    return {};
}

std::optional<RuleId> classifyViesCounterparty(std::string_view number) {
    number = trimBlanks(number);
    if (hasEuVatShape(number))
        return std::nullopt;
    const std::string_view prefix = number.substr(0, 2);
    if (prefix.size() == 2 && prefix != "BG" && isEuPrefix(prefix))
        return RuleId::EuNumberShape;
    return RuleId::ViesCounterpartyCountry;
}

} // namespace orva::check
