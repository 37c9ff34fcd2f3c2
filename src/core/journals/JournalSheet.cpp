#include "journals/JournalSheet.h"

#include "text/Calendar.h"
#include "text/Encoding.h"

#include <charconv>
#include <cmath>

namespace orva {

namespace {

bool allDigits(std::string_view text) {
    if (text.empty())
        return false;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return false;
    }
    return true;
}

bool isCode(const RecordLayout& layout, std::size_t index) {
    return index == layout.codeField();
}

} // namespace

std::size_t sheetColumnCount(const RecordLayout& layout) {
    return layout.codeField() + 1;
}

std::string sheetHeader(const RecordLayout& layout, std::size_t index, Wording wording) {
    const RecordField& field = layout.fields[index];
    const bool today = wording == Wording::Today;
    const std::string label = isCode(layout, index) && today ? "кол.8а" : field.label;
    const char* name = !today && field.classicName != nullptr ? field.classicName : field.name;
    return label + " " + name;
}

double sheetColumnWidth(const RecordLayout& layout, std::size_t index) {
    const RecordField& field = layout.fields[index];
    // Room for the field and the header's first words; amounts need their digits, sign and point.
    const double width = static_cast<double>(field.width) + (field.kind == FieldKind::Amount ? 3 : 2);
    return width < 10 ? 10 : width;
}

int significantDigits(const ExactDecimal& value) {
    const std::string text = value.exactText();
    std::string digits;
    for (const char c : text) {
        if (c >= '0' && c <= '9')
            digits += c;
    }
    const std::size_t first = digits.find_first_not_of('0');
    if (first == std::string::npos)
        return 0;
    const std::size_t last = digits.find_last_not_of('0');
    return static_cast<int>(last - first + 1);
}

double toDouble(const ExactDecimal& value) {
    const std::string text = value.exactText();
    double result = 0;
    std::from_chars(text.data(), text.data() + text.size(), result);
    return result;
}

std::optional<double> spreadsheetNumber(const ExactDecimal& value) {
    if (significantDigits(value) > kSpreadsheetDigits)
        return std::nullopt;
    // 2e308 and 1e-400 have one significant digit but no double near them: the conversion fails,
    // and the 0 it leaves would be shown as the amount.
    const std::string text = value.exactText();
    double result = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), result);
    if (error != std::errc() || end != text.data() + text.size() || !std::isfinite(result))
        return std::nullopt;
    return result;
}

SheetCell sheetCell(const RecordField& field, std::string_view win1251) {
    SheetCell cell;
    const std::string_view trimmed = trimBlanks(win1251);
    if (trimmed.empty())
        return cell;
    cell.text = win1251ToUtf8(trimmed);
    cell.kind = SheetCell::Kind::Text;
    switch (field.kind) {
    case FieldKind::Amount:
        if (const auto value = ExactDecimal::parse(trimmed)) {
            if (const auto number = spreadsheetNumber(*value)) {
                cell.kind = SheetCell::Kind::Money;
                cell.number = *number;
            }
        }
        break;
    case FieldKind::Integer:
        if (allDigits(trimmed) && trimmed.size() <= static_cast<std::size_t>(kSpreadsheetDigits)) {
            cell.kind = SheetCell::Kind::Number;
            cell.number = toDouble(*ExactDecimal::parse(trimmed));
        }
        break;
    case FieldKind::Date:
        // dd/mm/yyyy or dd.mm.yyyy (both are in the files), a real day of the Gregorian calendar from
        // year 1900 (a spreadsheet's first).
        if (const auto date = parseDate(trimmed, DateSeparators::SlashesOrDots); date && date->year >= 1900) {
            cell.kind = SheetCell::Kind::Date;
            cell.year = date->year;
            cell.month = date->month;
            cell.day = date->day;
        }
        break;
    default:
        break;
    }
    return cell;
}

std::string columnLetters(std::size_t index) {
    std::string letters;
    for (std::size_t n = index + 1; n != 0; n = (n - 1) / 26)
        letters.insert(letters.begin(), static_cast<char>('A' + (n - 1) % 26));
    return letters;
}

} // namespace orva
