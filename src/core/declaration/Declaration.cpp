#include "declaration/Declaration.h"

#include "declaration/ReturnArithmetic.h"
#include "text/Calendar.h"
#include "text/Decimal.h"
#include "text/Encoding.h"
#include "text/Errors.h"
#include "text/Fields.h"
#include "text/LineFile.h"
#include "text/Mik.h"
#include "text/Money.h"

namespace orva {

namespace {

// Widths of the 36 fields of the return record, in record order.
constexpr std::size_t kFieldCount = 36;
constexpr std::size_t kReturnCellWidth = 15; // every cell but 33; also the width 50 and 60 are written in
constexpr std::size_t fieldWidth(std::size_t index) {
    constexpr std::size_t leading[] = {15, 50, 6, 50};
    if (index < 4)
        return leading[index];
    if (index < 4 + 23)
        return kReturnCellWidth;
    if (index == 4 + 23)
        return 4; // cell 33, the coefficient
    return kReturnCellWidth;
}
constexpr std::size_t recordLength() {
    std::size_t length = 0;
    for (std::size_t i = 0; i < kFieldCount; ++i)
        length += fieldWidth(i);
    return length;
}
static_assert(recordLength() == kDeclarationRecordLength, "the fields are the whole record");

// The document texts are kept in the source as UTF-8 and turned into Windows-1251 once.
const std::vector<std::string>& labelTexts() {
    static const std::vector<std::string> texts = [] {
        const char* utf8[] = {
            "ДАННИТЕ ПРОЧЕТЕНИ УСПЕШНО.  ЗА ДА РАЗПЕЧАТАТЕ ДНЕВНИЦИ ИЛИ ДЕКЛАРАЦИЯ, МОЛЯ ИЗБЕРЕТЕ",
            "[ПОКУПКИ] [ПРОДАЖБИ] ИЛИ [ДЕКЛАРАЦИЯ] И КЛИКНЕТЕ /ЦЪКНЕТЕ С ЛЕВИЯ БУТНОН НА МИШКАТА/",
            "ВЪРХУ ТЕКСТА КОЙТО ВИЖДАТЕ В ПРОЗОРЕЦА. ПРИЯТНА РАБОТА.",
            "ТОЗИ СОФТУЕР Е БЕЗПЛАТЕН. ЗА ВЪПРОСИ И КОМЕНТАРИ: orva@example.org, тел.02 000 0000",
            "НЕ ПОДЦЕНЯВАЙТЕ ТРУДА НА ПРОГРАМИСТА",
            "ПРАТЕТЕ МУ БЛАГОДАРСТВЕН И-МЕЙЛ",
            "ЧЕРПЕТЕ ГО БИРА",
            "ДАЙТЕ МУ ПАРИ",
            "ТОВА ЩЕ ГО НАПРАВИ ЩАСТЛИВ",
        };
        std::vector<std::string> converted;
        for (const char* text : utf8)
            converted.push_back(utf8ToWin1251(text));
        return converted;
    }();
    return texts;
}

// Integer value of a period part: optional leading blanks, an optional sign, decimal digits.
bool parsePeriodNumber(const std::string& text, long& value) {
    std::size_t i = 0;
    while (i < text.size() && text[i] == ' ')
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    if (i == text.size())
        return false;
    long result = 0;
    for (; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9')
            return false;
        result = result * 10 + (text[i] - '0'); // at most four digits: no overflow
    }
    value = negative ? -result : result;
    return true;
}

std::string twoDigits(long value) {
    return std::string(1, static_cast<char>('0' + value / 10)) + static_cast<char>('0' + value % 10);
}

} // namespace

Declaration parseDeclaration(std::string_view fileBytes, CodePage codePage, ReturnLayout layout) {
    // Every line break becomes CR LF (the last line gets one too) and MIK becomes Windows-1251;
    // the breaks then stay in the record text as ordinary characters. The bytes after the record's
    // first ones change none of its characters (kDeclarationRecordLength), so they are not split.
    std::string text = joinLinesCrLf(splitLines(fileBytes.substr(0, kDeclarationRecordLength)));
    if (codePage == CodePage::Mik)
        mikToWin1251InPlace(text);
    const std::string record = joinLinesCrLf(splitLines(text));

    Declaration declaration;
    FieldCutter cutter(record);
    declaration.fields.reserve(kFieldCount);
    for (std::size_t i = 0; i < kFieldCount; ++i)
        declaration.fields.emplace_back(cutter.next(fieldWidth(i)));
    const std::vector<std::string>& field = declaration.fields;

    declaration.vatNumber = field[0];
    if (field[0].size() < 2)
        throw Error("записът на декларацията е празен: няма ИН по ЗДДС, от който да се вземе идентификационният номер");
    declaration.idNumber = field[0];
    declaration.idNumber[0] = ' ';
    declaration.idNumber[1] = ' ';
    declaration.firmName = field[1];
    const std::string& period = field[2]; // year then month; missing characters yield less text
    declaration.periodText = monthSlashYear(period);
    declaration.signatoryName = field[3];

    declaration.layout = layout;
    const auto& cellNumbers = cellNumbersOf(layout);
    for (std::size_t i = 0; i < cellNumbers.size(); ++i)
        declaration.cells[cellNumbers[i]] = field[6 + i];

    declaration.captionText = captionLine(declaration.periodText, declaration.vatNumber, declaration.firmName);

    const std::vector<std::string>& texts = labelTexts();
    declaration.label = {field[0], field[1], field[2], field[3], field[4], field[5], "",       texts[0], texts[1],
                         texts[2], "",       texts[3], "",       texts[4], texts[5], texts[6], texts[7], texts[8]};
    return declaration;
}

std::string captionLine(const std::string& periodText, const std::string& vatNumber, const std::string& firmName) {
    static const std::string period = utf8ToWin1251(" ДАНЪЧЕН ПЕРИОД ");
    static const std::string vat = utf8ToWin1251("     ИН ПО ЗДДС ");
    return period + periodText + vat + vatNumber + "     " + firmName;
}

ResultCells deriveResultCells(const std::string& k20, const std::string& k40) {
    const ExactDecimal x = parseDecimal(k20);
    const ExactDecimal y = parseDecimal(k40);
    // A difference too long to be written as money.
    if (!(x - y).fitsMoneyFormat())
        throw Error("клетки 20 и 40 (\"" + win1251ToUtf8(k20) + "\", \"" + win1251ToUtf8(k40) +
                    "\") се различават с повече, отколкото може да се представи");
    return {moneyCell(applyOperation(x, y, Operation::Due), kReturnCellWidth),
            moneyCell(applyOperation(x, y, Operation::Refund), kReturnCellWidth)};
}

std::string defaultReturnDate(const std::string& periodText) {
    const std::string monthText = periodText.substr(0, 2);
    const std::string yearText = periodText.size() > 4 ? periodText.substr(periodText.size() - 4) : periodText;
    long month = 0;
    long year = 0;
    const std::string period = "период \"" + win1251ToUtf8(periodText) + "\"";
    if (!parsePeriodNumber(monthText, month))
        throw Error(period + ": месецът \"" + win1251ToUtf8(monthText) + "\" не е число");
    if (!parsePeriodNumber(yearText, year))
        throw Error(period + ": годината \"" + win1251ToUtf8(yearText) + "\" не е число");
    if (month < 1 || month > 12 || year < 1 || year > 9999)
        throw Error(period + ": месецът трябва да е от 1 до 12, а годината от 1 до 9999");

    const long day = daysInMonth(static_cast<int>(year), static_cast<int>(month));
    std::string yearDigits = std::to_string(year);
    yearDigits.insert(0, 4 - yearDigits.size(), '0');
    return twoDigits(day) + "/" + twoDigits(month) + "/" + yearDigits;
}

std::string trimSignatory(const std::string& signatory) {
    auto isTrimmed = [](char c) { return static_cast<unsigned char>(c) <= 0x20; };
    std::size_t begin = 0;
    std::size_t end = signatory.size();
    while (begin < end && isTrimmed(signatory[begin]))
        ++begin;
    while (end > begin && isTrimmed(signatory[end - 1]))
        --end;
    return signatory.substr(begin, end - begin);
}

} // namespace orva
