#include "declaration/ReturnForm.h"

#include "text/Encoding.h"

#include <array>
#include <cstddef>
#include <iterator>
#include <stdexcept>
#include <utility>

namespace orva {

namespace {

using In = ReturnFormInput;

// What fills a placeholder: a text of the form's input or the text of a return cell
// (neither: no value).
struct Value {
    std::string In::*field = nullptr;
    int cellNumber = 0;
};
constexpr Value field(std::string In::*member) {
    return {member, 0};
}
constexpr Value cell(int number) {
    return {nullptr, number};
}

// A line of the form. A line with values goes through the formatter; one without is taken
// verbatim, so its "%" signs stand for themselves.
struct TemplateLine {
    const char* text; // UTF-8 here, Windows-1251 in the document
    Value values[3] = {};
};

// clang-format off
constexpr TemplateLine kPage1[] = {
    {""},
    {""},
    {""},
    {"          Приложение N:13 към чл.116 ал.1 на ППЗДДС                      ---------------------------------------"},
    {"                                                                         |ТД на НАП                            |"},
    {"            С П Р А В К А -  Д Е К Л А Р А Ц И Я                         |                                     |"},
    {"             ЗА ДАНЪК ВЪРХУ ДОБАВЕНАТА СТОЙНОСТ                          |Входящ No           /              г.|"},
    {"                                                                         ---------------------------------------"},
    {"                                                                          попълва се от приходната администрация"},
    {""},
    {""},
    {""},
    {"         -------------------------------------------------------------------        ДАНЪЧЕН ПЕРИОД %s", {field(&In::periodText)}},
    {"         | А)НАИМЕНОВАНИЕ И АДРЕС ЗА КОРЕСПОНДЕНЦИЯ НА РЕГИСТРИРАНОТО ЛИЦЕ |                       мм/гггг      "},
    {"         -------------------------------------------------------------------     -------------------------------"},
    {"         | %-50.50s              |     | ИН ПО ЗДДС %16.16s |", {field(&In::firmName), field(&In::vatNumber)}},
    {"         | %-50.50s              |     |         ИН %16.16s |", {field(&In::firmAddress), field(&In::idNumber)}},
    {"         -------------------------------------------------------------------------------------------------------"},
    {""},
    {""},
    {""},
    {"         РАЗДЕЛ A: ДАННИ ЗА НАЧИСЛЕН ДАНЪК ВЪРХУ ДОБАВЕНАТА СТОЙНОСТ                                            "},
    {""},
    {"         ОБЩ РАЗМЕР НА ДАНЪЧНИТЕ ОСНОВИ  --------------------        ВСИЧКО НАЧИСЛЕН ДДС    --------------------"},
    {"         ЗА ОБЛАГАНЕ С ДДС               |%15.15s|01|   (сума от кл.21 до кл.24)    |%15.15s|20|", {cell(1), cell(20)}},
    {"         (сума от кл.11 до кл.16)        --------------------                               --------------------"},
    {""},
    {""},
    {"         -------------------------------------------------------------------------------------------------------"},
    {""},
    {""},
    {"         Данъчна основа, подлежаща на облагане със ставка 20%                                                   "},
    {""},
    {"         - данъчна основа на облагаемите --------------------   начислен ДДС                --------------------"},
    {"           доставки, вкл. доставките при |%15.15s|11|                               |%15.15s|21|", {cell(11), cell(21)}},
    {"           условията на дистанционни     --------------------                               --------------------"},
    {"           продажби с място на изпълнение                                                                       "},
    {"           на територията на страната                                                                           "},
    {""},
    {"         - данъчна основа на ВОП и       --------------------   начислен ДДС за ВОП и за    --------------------"},
    {"           данъчна основа на получените  |%15.15s|12|   получени доставки           |%15.15s|22|", {cell(12), cell(22)}},
    {"           доставки по чл.82 ал.2-4 ЗДДС --------------------   по чл.82 ал.2-4 ЗДДС        --------------------"},
    {""},
    {"                                                                начислен данък (20%) в      --------------------"},
    {"                                                                други случаи, предвидени    |%15.15s|23|", {cell(23)}},
    {"                                                                в ЗДДС                      --------------------"},
    {""},
    {""},
    {""},
    {""},
    {"         Данъчна основа на облагаемите   --------------------   начислен ДДС (7%)           --------------------"},
    {"         доставки със ставка 7%%          |%15.15s|13|                               |%15.15s|24|", {cell(13), cell(24)}},
    {"                                         --------------------                               --------------------"},
    {""},
    {""},
    {""},
    {""},
    {"         Данъчна основа, подлежаща на облагане със ставка 0%                                                   "},
    {""},
    {"         - данъчна основа на доставки по --------------------   "},
    {"           глава трета от ЗДДС           |%15.15s|14|           ", {cell(14)}},
    {"                                         --------------------   "},
    {""},
    {"         - данъчна основа на ВОД         --------------------   "},
    {"           на стоки                      |%15.15s|15|           ", {cell(15)}},
    {"                                         --------------------   "},
    {""},
    {"         - данъчна основа на доставки по --------------------   "},
    {"           чл.140,146 и чл.173, ал.1 и 4 |%15.15s|16|           ", {cell(16)}},
    {"           ЗДДС                          --------------------   "},
    {""},
    {""},
    {""},
    {""},
    {"         Данъчна основа на доставки на   --------------------   "},
    {"         услуги по чл.21 ал.3 и чл.22-24 |%15.15s|17|           ", {cell(17)}},
    {"         с място на изпълнение на        --------------------   "},
    {"         територията на друга държава членка                    "},
    {""},
    {"         Данъчна основа на доставки по   --------------------   "},
    {"         чл.69,ал.2 ЗДДС, вкл.доставките |%15.15s|18|           ", {cell(18)}},
    {"         при условията на дистанционни   --------------------   "},
    {"         продажби с място на изпълнение                         "},
    {"         на територията на друга държава членка                 "},
    {""},
    {"         Данъчна основа на освободените  --------------------   "},
    {"         доставки и освободените ВОП     |%15.15s|19|           ", {cell(19)}},
    {"                                         --------------------   "},
    {""},
    {"         --------------------------------------------------------------------------------------------- стр 1/2 -"},
};
constexpr TemplateLine kPage2[] = {
    {""},
    {""},
    {""},
    {"         -------------------------------------------------------------------------------------------------------"},
    {""},
    {""},
    {"         РАЗДЕЛ Б: ДАННИ ЗА УПРАЖНЕНОТО ПРАВО НА ДАНЪЧЕН КРЕДИТ"},
    {""},
    {""},
    {"         Данъчна основа и данък на       --------------------"},
    {"         получените доставки, ВОП,       |%15.15s|30|", {cell(30)}},
    {"         получените доставки по чл.82,   --------------------"},
    {"         ал.2-4 ЗДДС и вноса без право                                                                         "},
    {"         на данъчен кредит или без данък                                                                       "},
    {""},
    {""},
    {""},
    {""},
    {"         Данъчна основа и данък на получените доставки, ВОП, получените доставки по чл.82, ал.2-4 ЗДДС, вноса,  "},
    {"         както и данъчна основа на получените доставки, използвани за извършване на доставки по чл.69, ал.2 ЗДДС"},
    {""},
    {"         - с право на пълен данъчен      --------------------  ДДС с право на пълен         --------------------"},
    {"           кредит                        |%15.15s|31|  данъчен кредит               |%15.15s|41|", {cell(31), cell(41)}},
    {"                                         --------------------                               --------------------"},
    {""},
    {"         - с право на частичен данъчен   --------------------  ДДС с право на частичен      --------------------"},
    {"           кредит                        |%15.15s|32|  данъчен кредит               |%15.15s|42|", {cell(32), cell(42)}},
    {"                                         --------------------                               --------------------"},
    {""},
    {"                                                               Годишна корекция по          --------------------"},
    {"                                                               чл.73, ал.8 (+/-) и по       |%15.15s|43|", {cell(43)}},
    {"                                                               чл.147, ал.3 ЗДДС            --------------------"},
    {""},
    {"         Коефициент по чл.73,ал.5 ЗДДС   --------------------  Общо данъчен кредит          --------------------"},
    {"                                         |%15.15s|33|  (кл.41+кл.42*кл.33+кл.43)    |%15.15s|40|", {cell(33), cell(40)}},
    {"                                         --------------------                               --------------------"},
    {""},
    {""},
    {"         -------------------------------------------------------------------------------------------------------"},
    {""},
    {"         РАЗДЕЛ В: РЕЗУЛТАТ ЗА ПЕРИОДА                                                                          "},
    {""},
    {"            ДДС за внасяне               --------------------  ДДС за възстановяване        --------------------"},
    {"            (кл.20-кл.40)>0              |%15.15s|50|  (кл.20-кл.40)<0              |%15.15s|60|", {cell(50), cell(60)}},
    {"                                         --------------------                               --------------------"},
    {""},
    {"         -------------------------------------------------------------------------------------------------------"},
    {""},
    {"         РАЗДЕЛ Г: ДДС ЗА ВНАСЯНЕ                                                                               "},
    {""},
    {"         Данък за внасяне от кл.50,      --------------------  Данък за внасяне от кл.50,   --------------------"},
    {"         приспаднат по реда на чл.77     |%15.15s|70|  внесен ефективно             |%15.15s|71|", {cell(70), cell(71)}},
    {"         ал.1 от ЗДДС                    --------------------                               --------------------"},
    {""},
    {""},
    {"         -------------------------------------------------------------------------------------------------------"},
    {""},
    {"         РАЗДЕЛ Д: ДДС, ПОДЛЕЖАЩ НА ВЪЗСТАНОВЯВАНЕ "},
    {""},
    {"         Съгласно     --------------------  Съгласно     --------------------  Съгласно     --------------------"},
    {"         чл.92 ал.1   |%15.15s|80|  чл.92 ал.3   |%15.15s|81|  чл.93 ал.4   |%15.15s|82|", {cell(80), cell(81), cell(82)}},
    {"         в 45-дневен  --------------------  в 30-дневен  --------------------  в 30-дневен  --------------------"},
    {"         срок от подаване                   срок от подаване                   срок от подаване                 "},
    {"         на тази декларация                 на тази декларация                 на тази декларация               "},
    {""},
    {""},
    {"         -------------------------------------------------------------------------------------------------------"},
    {""},
    {"         Долуподписаният, %s, декларирам, че:", {field(&In::signatoryName)}},
    {"         [%s] представлявам лицето, посочено в кл.А и посочената в този формуляр информация е вярна и точна.", {field(&In::representMark)}},
    {"         [%s] са налице обстоятелствата по чл.92 ал.3 и 4 ЗДДС", {field(&In::art92Mark)}},
    {"         Известно ми е, че за неверни данни нося отговорност по чл.313 НК"},
    {""},
    {""},
    {""},
    {"         Дата: %-15.15s      Длъжност: %-30.30s   Подпис и печат:..................", {field(&In::returnDate), field(&In::positionText)}},
    {""},
    {""},
    {""},
    {"         --------------------------------------------------------------------------------------------- стр 2/2 -"},
};
// The lines today's wording rewords (FORMATS §8), by page and line from 1; the line keeps its
// classic length and its placeholders, which fill from the classic line's values.
struct TodayLine {
    int page;
    std::size_t line;
    const char* text;
};
constexpr TodayLine kTodayLines[] = {
    {1, 42, "           доставки по чл.82 ал.2-6 ЗДДС --------------------   по чл.82 ал.2-6 ЗДДС        --------------------"},
    {1, 44, "                                                                начислен ДДС за доставки на --------------------"},
    {1, 45, "                                                                стоки и услуги за лични     |%15.15s|23|"},
    {1, 46, "                                                                нужди                       --------------------"},
    {1, 51, "         Данъчна основа на облагаемите   --------------------   начислен ДДС (9%)           --------------------"},
    {1, 52, "         доставки със ставка 9%%          |%15.15s|13|                               |%15.15s|24|"},
    {1, 76, "         услуги по чл.21 ал.2 ЗДДС       |%15.15s|17|           "},
    {2, 13, "         ал.2-6 ЗДДС и вноса без право                                                                         "},
    {2, 19, "         Данъчна основа и данък на получените доставки, ВОП, получените доставки по чл.82, ал.2-6 ЗДДС, вноса,  "},
    {2, 52, "         приспаднат по реда на чл.92     |%15.15s|70|  внесен ефективно             |%15.15s|71|"},
    {2, 61, "         чл.92 ал.1   |%15.15s|80|  чл.92 ал.3   |%15.15s|81|  чл.92 ал.4   |%15.15s|82|"},
};
// clang-format on

// Characters of a UTF-8 text: one Windows-1251 column each.
constexpr std::size_t columns(const char* text) {
    std::size_t count = 0;
    for (; *text; ++text)
        count += (static_cast<unsigned char>(*text) & 0xC0) != 0x80;
    return count;
}

// Pages and page breaks stay where they are: every reworded line is as long as the one it replaces.
constexpr bool todayLinesKeepTheirLengths() {
    for (const TodayLine& today : kTodayLines) {
        const TemplateLine* page = today.page == 1 ? kPage1 : kPage2;
        const std::size_t size = today.page == 1 ? std::size(kPage1) : std::size(kPage2);
        if (today.line < 1 || today.line > size || columns(today.text) != columns(page[today.line - 1].text))
            return false;
    }
    return true;
}
static_assert(todayLinesKeepTheirLengths());

// The subset of %-formatting the form uses: "%%", "%s" and "%[-]W.Ps" over byte strings
// (one Windows-1251 character is one column). Placeholders and values are matched left to right.
std::string format(const std::string& pattern, const std::vector<const std::string*>& values) {
    std::string out;
    std::size_t next = 0;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] != '%') {
            out += pattern[i];
            continue;
        }
        ++i;
        if (i < pattern.size() && pattern[i] == '%') {
            out += '%';
            continue;
        }
        const bool leftAligned = i < pattern.size() && pattern[i] == '-';
        if (leftAligned)
            ++i;
        std::size_t width = 0;
        while (i < pattern.size() && pattern[i] >= '0' && pattern[i] <= '9')
            width = width * 10 + static_cast<std::size_t>(pattern[i++] - '0');
        std::size_t precision = std::string::npos;
        if (i < pattern.size() && pattern[i] == '.') {
            precision = 0;
            ++i;
            while (i < pattern.size() && pattern[i] >= '0' && pattern[i] <= '9')
                precision = precision * 10 + static_cast<std::size_t>(pattern[i++] - '0');
        }
        if (i >= pattern.size() || pattern[i] != 's')
            throw std::logic_error("неподдържано поле в \"" + win1251ToUtf8(pattern) + "\"");
        if (next >= values.size())
            throw std::logic_error("твърде малко стойности за \"" + win1251ToUtf8(pattern) + "\"");
        const std::string text = values[next++]->substr(0, precision);
        const std::string fill(text.size() < width ? width - text.size() : 0, ' ');
        out += leftAligned ? text + fill : fill + text;
    }
    if (next != values.size())
        throw std::logic_error("твърде много стойности за \"" + win1251ToUtf8(pattern) + "\"");
    return out;
}

struct ConvertedLine {
    std::string text;
    std::vector<Value> values;
};

std::vector<ConvertedLine> convert(const TemplateLine* lines, std::size_t count, int page, Wording wording) {
    std::vector<ConvertedLine> converted;
    converted.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        const char* text = lines[i].text;
        if (wording == Wording::Today) {
            for (const TodayLine& today : kTodayLines)
                if (today.page == page && today.line == i + 1)
                    text = today.text;
        }
        ConvertedLine line{utf8ToWin1251(text), {}};
        for (const Value& value : lines[i].values)
            if (value.field || value.cellNumber)
                line.values.push_back(value);
        converted.push_back(std::move(line));
    }
    return converted;
}

const std::vector<ConvertedLine>& page1(Wording wording) {
    static const std::array<std::vector<ConvertedLine>, 2> pages = {
        convert(kPage1, std::size(kPage1), 1, Wording::Classic), convert(kPage1, std::size(kPage1), 1, Wording::Today)};
    return pages[wording == Wording::Today];
}

const std::vector<ConvertedLine>& page2(Wording wording) {
    static const std::array<std::vector<ConvertedLine>, 2> pages = {
        convert(kPage2, std::size(kPage2), 2, Wording::Classic), convert(kPage2, std::size(kPage2), 2, Wording::Today)};
    return pages[wording == Wording::Today];
}

// The texts of a form line with the column each starts in: the line split at bars, at two or more
// blanks and at two or more dashes (the boxes' rules), each text without trailing blanks.
std::vector<std::pair<std::size_t, std::string>> textsOf(const std::string& line) {
    std::vector<std::pair<std::size_t, std::string>> texts;
    auto separates = [&](std::size_t at) {
        const char next = at + 1 < line.size() ? line[at + 1] : '\0';
        return line[at] == '|' || (line[at] == ' ' && next == ' ') || (line[at] == '-' && next == '-');
    };
    for (std::size_t at = 0; at < line.size();) {
        if (line[at] == ' ' || separates(at)) {
            ++at;
            continue;
        }
        std::size_t end = at;
        while (end < line.size() && !separates(end))
            ++end;
        std::string text = line.substr(at, end - at);
        while (!text.empty() && text.back() == ' ')
            text.pop_back();
        texts.emplace_back(at, std::move(text));
        at = end;
    }
    return texts;
}

void appendPage(std::vector<std::string>& form, const std::vector<ConvertedLine>& page, const ReturnFormInput& input) {
    std::vector<const std::string*> values;
    for (const ConvertedLine& line : page) {
        if (line.values.empty()) {
            form.push_back(line.text);
            continue;
        }
        values.clear();
        for (const Value& value : line.values)
            values.push_back(value.field ? &(input.*value.field) : &input.cells[value.cellNumber]);
        form.push_back(format(line.text, values));
    }
}

} // namespace

std::vector<std::string> buildReturnForm(const ReturnFormInput& input) {
    static_assert(std::size(kPage1) == 90, "page 1 of the return has 90 lines");
    static_assert(std::size(kPage2) == 80, "page 2 of the return has 80 lines");
    std::vector<std::string> form;
    const std::vector<ConvertedLine>& first = page1(input.wording);
    const std::vector<ConvertedLine>& second = page2(input.wording);
    form.reserve(first.size() + second.size() + (input.linesPerPage > 90 ? input.linesPerPage - 90 : 0));
    appendPage(form, first, input);
    // Blank lines up to a printed page, so that page 2 starts on a sheet of its own.
    while (input.linesPerPage > 0 && form.size() < static_cast<std::size_t>(input.linesPerPage))
        form.emplace_back();
    appendPage(form, second, input);
    return form;
}

std::string returnCellCaption(int cellNumber, Wording wording) {
    if (!ReturnCells::isCell(cellNumber))
        return {};
    ReturnFormInput blank;
    blank.wording = wording;
    const std::vector<std::string> form = buildReturnForm(blank);
    const std::string frame = "|" + std::string(15, ' ') + "|";
    const std::string box = frame + cellDigits(cellNumber) + "|";
    for (std::size_t row = 0; row < form.size(); ++row) {
        const std::size_t boxStart = form[row].find(box);
        if (boxStart == std::string::npos)
            continue;
        // The caption stands between the box to the left, if any, and this one, on the box's line
        // and on the lines around it up to a blank one.
        const std::size_t before = boxStart == 0 ? std::string::npos : form[row].rfind(frame, boxStart - 1);
        const std::size_t from = before == std::string::npos ? 0 : before + box.size();
        auto blankLine = [&](std::size_t at) { return form[at].find_first_not_of(' ') == std::string::npos; };
        std::size_t top = row;
        while (top > 0 && !blankLine(top - 1))
            --top;
        std::string caption;
        for (std::size_t at = top; at < form.size() && !blankLine(at); ++at) {
            for (const auto& [column, text] : textsOf(form[at]))
                if (column >= from && column < boxStart)
                    caption += (caption.empty() ? "" : " ") + text;
        }
        return win1251ToUtf8(caption);
    }
    return {};
}

} // namespace orva
