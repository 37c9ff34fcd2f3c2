#include "declaration/ReturnForm.h"
#include "text/LineFile.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace orva;

namespace {

// The inputs the reference documents in tests/data/return were written for.
ReturnFormInput referenceInput(int linesPerPage) {
    ReturnFormInput input;
    input.periodText = "03/2007";
    input.firmName = "\xd2\xe5\xf1\xf2 \xd4\xe8\xf0\xec\xe0 \xc5\xce\xce\xc4" + std::string(35, ' '); // Тест Фирма ЕООД
    input.vatNumber = "BG0123456789012";
    input.idNumber = "  0123456789012";
    input.firmAddress = "\xe3\xf0.\xd1\xee\xf4\xe8\xff, \xf3\xeb.\xc2\xe8\xf2\xee\xf8\xe0 1"; // гр.София, ул.Витоша 1
    input.signatoryName = "\xc8\xe2\xe0\xed \xcf\xe5\xf2\xf0\xee\xe2";                        // Иван Петров
    input.representMark = "X";
    input.art92Mark = " ";
    input.returnDate = "31/03/2007";
    input.positionText = "\xd3\xef\xf0\xe0\xe2\xe8\xf2\xe5\xeb"; // Управител
    input.linesPerPage = linesPerPage;
    for (int number : kCellNumbers) {
        // Cell n holds n * 1000 + n / 100, so a value in the wrong box shows.
        const std::string text =
            std::to_string(number * 1000) + "." + (number < 10 ? "0" : "") + std::to_string(number);
        input.cells[number] = std::string(15 - text.size(), ' ') + text;
    }
    input.cells[33] = "0.75";
    return input;
}

std::string reference(const char* name) {
    return readFileBytes(std::string(ORVA_TEST_DATA) + "/return/" + name);
}

// Line `number` (from 1) of page 1 or page 2 of a form built with linesPerPage <= 90.
const std::string& page1(const std::vector<std::string>& form, std::size_t number) {
    return form.at(number - 1);
}
const std::string& page2(const std::vector<std::string>& form, std::size_t number) {
    return form.at(90 + number - 1);
}

// The line lengths of the two pages as the form's layout states them; lines whose length
// depends on a value are adjusted in the test.
constexpr std::size_t kPage1Lengths[90] = {
    0,   0,   0,   112, 112, 112, 112, 112, 112, 0, 0,   0,   99,  112, 112, 112, 112, 112, 0,   0,  0,   112, 0,
    112, 112, 112, 0,   0,   112, 0,   0,   112, 0, 112, 112, 112, 112, 112, 0,   112, 112, 112, 0,  112, 112, 112,
    0,   0,   0,   0,   112, 112, 112, 0,   0,   0, 0,   111, 0,   64,  72,  64,  0,   64,  72,  64, 0,   64,  72,
    64,  0,   0,   0,   0,   64,  72,  64,  64,  0, 64,  72,  64,  64,  64,  0,   64,  72,  64,  0,  112};
constexpr std::size_t kPage2Lengths[80] = {
    0,   0,   0,   112, 0,   0,   63,  0,   0,   61,  61,  61,  111, 111, 0,   0,   0, 0,  112, 112,
    0,   112, 112, 112, 0,   112, 112, 112, 0,   112, 112, 112, 0,   112, 112, 112, 0, 0,  112, 0,
    112, 0,   112, 112, 112, 0,   112, 0,   112, 0,   112, 112, 112, 0,   0,   112, 0, 51, 0,   112,
    112, 112, 112, 112, 0,   0,   112, 0,   43,  106, 60,  73,  0,   0,   0,   112, 0, 0,  0,   112};

} // namespace

TEST(ReturnForm, WholeFormMatchesTheReferenceDocument) {
    const struct {
        int linesPerPage;
        const char* reference;
        std::size_t lines;
    } cases[] = {
        {100, "form_100.txt", 180},
        {90, "form_90.txt", 170},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.linesPerPage);
        const std::vector<std::string> form = buildReturnForm(referenceInput(c.linesPerPage));
        EXPECT_EQ(form.size(), c.lines);
        EXPECT_EQ(joinLinesCrLf(form), reference(c.reference));
    }
}

TEST(ReturnForm, BlankLinesFillPageOneUpToLinesPerPage) {
    const struct {
        int linesPerPage;
        std::size_t lines; // page 2 starts after lines - 80
    } cases[] = {
        {0, 170}, {-3, 170}, {1, 170}, {89, 170}, {90, 170}, {91, 171}, {100, 180}, {137, 217},
    };
    const std::vector<std::string> compact = buildReturnForm(referenceInput(90));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.linesPerPage);
        const std::vector<std::string> form = buildReturnForm(referenceInput(c.linesPerPage));
        ASSERT_EQ(form.size(), c.lines);
        const std::size_t page2Start = c.lines - 80;
        EXPECT_EQ(std::vector<std::string>(form.begin(), form.begin() + 90),
                  std::vector<std::string>(compact.begin(), compact.begin() + 90));
        for (std::size_t i = 90; i < page2Start; ++i)
            EXPECT_EQ(form[i], "") << "line " << i + 1;
        EXPECT_EQ(std::vector<std::string>(form.begin() + static_cast<std::ptrdiff_t>(page2Start), form.end()),
                  std::vector<std::string>(compact.begin() + 90, compact.end()));
    }
}

TEST(ReturnForm, EveryLineHasItsStatedLengthWhateverTheValues) {
    ReturnFormInput empty;
    ReturnFormInput overlong;
    const std::string longText(200, '\xc0');
    for (std::string* text : {&overlong.periodText, &overlong.firmName, &overlong.vatNumber, &overlong.firmAddress,
                              &overlong.idNumber, &overlong.signatoryName, &overlong.representMark, &overlong.art92Mark,
                              &overlong.returnDate, &overlong.positionText})
        *text = longText;
    for (int number : kCellNumbers)
        overlong.cells[number] = longText;
    const ReturnFormInput reference = referenceInput(90);
    const ReturnFormInput* inputs[] = {&empty, &overlong, &reference};

    for (const ReturnFormInput* input : inputs) {
        const std::vector<std::string> form = buildReturnForm(*input);
        ASSERT_EQ(form.size(), 170u);
        for (std::size_t i = 0; i < 90; ++i) {
            std::size_t expected = kPage1Lengths[i];
            if (i + 1 == 13)
                expected += input->periodText.size();
            EXPECT_EQ(form[i].size(), expected) << "page 1, line " << i + 1;
        }
        for (std::size_t i = 0; i < 80; ++i) {
            std::size_t expected = kPage2Lengths[i];
            if (i + 1 == 69)
                expected += input->signatoryName.size();
            if (i + 1 == 70)
                expected += input->representMark.size();
            if (i + 1 == 71)
                expected += input->art92Mark.size();
            EXPECT_EQ(form[90 + i].size(), expected) << "page 2, line " << i + 1;
        }
    }
}

TEST(ReturnForm, CellTextsSitRightAlignedInFifteenColumns) {
    const struct {
        const char* text;
        const char* box;
    } cases[] = {
        {"1234567.89", "|     1234567.89|"},
        {"", "|               |"},
        {"123456789012345678", "|123456789012345|"},
        {"123456789012345", "|123456789012345|"},
        {" 0.00 ", "|          0.00 |"}, // nothing trimmed
        {"%s%%", "|           %s%%|"},   // a value is never formatted
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        ReturnFormInput input = referenceInput(90);
        input.cells[11] = c.text; // left box, page 1 line 35
        input.cells[21] = c.text; // right box, same line
        input.cells[81] = c.text; // middle box of section Д, page 2 line 61
        const std::vector<std::string> form = buildReturnForm(input);
        EXPECT_EQ(page1(form, 35).substr(41, 20), std::string(c.box) + "11|");
        EXPECT_EQ(page1(form, 35).substr(92, 20), std::string(c.box) + "21|");
        EXPECT_EQ(page2(form, 61).substr(57, 20), std::string(c.box) + "81|");
        EXPECT_EQ(page1(form, 35).size(), 112u);
    }
}

TEST(ReturnForm, IdentificationBlockPlacesTheTexts) {
    ReturnFormInput input = referenceInput(90);
    input.firmName = "Short";
    input.firmAddress = std::string(45, 'a') + "bcdefGHIJK";
    input.vatNumber = "123456789012345";
    input.idNumber = "  3456789012345";
    input.periodText = "12/2008";
    const std::vector<std::string> form = buildReturnForm(input);
    // "| ИН ПО ЗДДС " and "|         ИН "
    EXPECT_EQ(page1(form, 16), "         | Short" + std::string(45, ' ') +
                                   "              |     | \xc8\xcd \xcf\xce \xc7\xc4\xc4\xd1" + "  123456789012345 |");
    EXPECT_EQ(page1(form, 17), "         | " + std::string(45, 'a') + "bcdef              |     |         \xc8\xcd" +
                                   "    3456789012345 |");
    // The period starts in column 100 (after "ДАНЪЧЕН ПЕРИОД "), above "мм/гггг".
    EXPECT_EQ(page1(form, 13).substr(99), "12/2008");
    EXPECT_EQ(page1(form, 14).substr(99, 7), "\xec\xec/\xe3\xe3\xe3\xe3");
}

TEST(ReturnForm, DeclarationLinesTakeTheDialogAnswers) {
    ReturnFormInput input = referenceInput(90);
    input.signatoryName = "";
    input.representMark = " ";
    input.art92Mark = "X";
    input.returnDate = "31/12/2008";
    input.positionText = std::string(29, 'p') + "QRS";
    std::vector<std::string> form = buildReturnForm(input);
    // "         Долуподписаният, , декларирам, че:"
    EXPECT_EQ(page2(form, 69), "         \xc4\xee\xeb\xf3\xef\xee\xe4\xef\xe8\xf1\xe0\xed\xe8\xff\xf2, , "
                               "\xe4\xe5\xea\xeb\xe0\xf0\xe8\xf0\xe0\xec, \xf7\xe5:");
    EXPECT_EQ(page2(form, 69).size(), 43u);
    EXPECT_EQ(page2(form, 70).substr(0, 13), "         [ ] ");
    EXPECT_EQ(page2(form, 71).substr(0, 13), "         [X] ");
    // "Дата: " + date + 5 blanks (fill) + 6 blanks + "Длъжност: " + 30 columns + "   Подпис..."
    const std::string& dateLine = page2(form, 76);
    EXPECT_EQ(dateLine.substr(0, 15), "         \xc4\xe0\xf2\xe0: ");
    EXPECT_EQ(dateLine.substr(15, 21), "31/12/2008           ");
    EXPECT_EQ(dateLine.substr(36, 10), "\xc4\xeb\xfa\xe6\xed\xee\xf1\xf2: ");
    EXPECT_EQ(dateLine.substr(46, 33), std::string(29, 'p') + "Q   ");
    EXPECT_EQ(dateLine.size(), 112u);

    input.signatoryName = "A, B";
    input.representMark = "XX";
    form = buildReturnForm(input);
    EXPECT_EQ(page2(form, 69).substr(24, 7), ", A, B,");
    EXPECT_EQ(page2(form, 70).substr(0, 14), "         [XX] "); // "%s": the mark as it stands
}

TEST(ReturnForm, FixedTextsAreExactBytes) {
    const std::vector<std::string> form = buildReturnForm(referenceInput(90));
    // Latin "N", "No" and "A" where the form has them; Cyrillic everywhere else.
    EXPECT_EQ(page1(form, 4).substr(0, 26), "          \xcf\xf0\xe8\xeb\xee\xe6\xe5\xed\xe8\xe5 N:13 ");
    EXPECT_EQ(page1(form, 7).substr(73, 11), "|\xc2\xf5\xee\xe4\xff\xf9 No ");
    EXPECT_EQ(page1(form, 22).substr(9, 10), "\xd0\xc0\xc7\xc4\xc5\xcb A: ");
    EXPECT_EQ(page1(form, 14).substr(9, 5), "| \xc0)\xcd");
    EXPECT_EQ(page2(form, 7).substr(9, 10), "\xd0\xc0\xc7\xc4\xc5\xcb \xc1: ");
    // "7%%" through the formatter gives one percent sign; verbatim lines keep theirs.
    EXPECT_EQ(page1(form, 52).substr(0, 42), "         \xe4\xee\xf1\xf2\xe0\xe2\xea\xe8 \xf1\xfa\xf1 "
                                             "\xf1\xf2\xe0\xe2\xea\xe0 7%          |");
    EXPECT_EQ(page1(form, 51).substr(64, 17), "\xed\xe0\xf7\xe8\xf1\xeb\xe5\xed \xc4\xc4\xd1 (7%)");
    EXPECT_EQ(page1(form, 32).substr(57, 4), " 20%");
    EXPECT_EQ(page1(form, 58).substr(57, 3), " 0%");
    // Footers: rules from column 10 to 102, then the page number.
    EXPECT_EQ(page1(form, 90), std::string(9, ' ') + std::string(93, '-') + " \xf1\xf2\xf0 1/2 -");
    EXPECT_EQ(page2(form, 80), std::string(9, ' ') + std::string(93, '-') + " \xf1\xf2\xf0 2/2 -");
}

// The dialog's tooltips: the caption beside each box, read off the form in the period's wording.
TEST(ReturnForm, CellCaptionsAreTheFormsOwnTexts) {
    constexpr auto C = Wording::Classic, T = Wording::Today;
    const struct {
        int cell;
        Wording wording;
        const char* caption;
    } cases[] = {
        {1, C, "ОБЩ РАЗМЕР НА ДАНЪЧНИТЕ ОСНОВИ ЗА ОБЛАГАНЕ С ДДС (сума от кл.11 до кл.16)"},
        {20, C, "ВСИЧКО НАЧИСЛЕН ДДС (сума от кл.21 до кл.24)"},
        {11, C,
         "- данъчна основа на облагаемите доставки, вкл. доставките при условията на дистанционни продажби "
         "с място на изпълнение на територията на страната"},
        {23, C, "начислен данък (20%) в други случаи, предвидени в ЗДДС"},
        {23, T, "начислен ДДС за доставки на стоки и услуги за лични нужди"},
        {13, C, "Данъчна основа на облагаемите доставки със ставка 7%"},
        {13, T, "Данъчна основа на облагаемите доставки със ставка 9%"},
        {24, T, "начислен ДДС (9%)"},
        {22, T, "начислен ДДС за ВОП и за получени доставки по чл.82 ал.2-6 ЗДДС"},
        {17, T,
         "Данъчна основа на доставки на услуги по чл.21 ал.2 ЗДДС с място на изпълнение на територията на "
         "друга държава членка"},
        {40, C, "Общо данъчен кредит (кл.41+кл.42*кл.33+кл.43)"},
        {70, T, "Данък за внасяне от кл.50, приспаднат по реда на чл.92 ал.1 от ЗДДС"},
        {80, C, "Съгласно чл.92 ал.1 в 45-дневен срок от подаване на тази декларация"},
        {81, T, "Съгласно чл.92 ал.3 в 30-дневен срок от подаване на тази декларация"},
        {82, C, "Съгласно чл.93 ал.4 в 30-дневен срок от подаване на тази декларация"},
        {82, T, "Съгласно чл.92 ал.4 в 30-дневен срок от подаване на тази декларация"},
        {2, T, ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(returnCellCaption(c.cell, c.wording), c.caption) << c.cell;
    for (int number : kCellNumbers)
        EXPECT_FALSE(returnCellCaption(number, T).empty()) << number;
}

// Today's wording rewords eleven lines and moves nothing: every line keeps its length and value.
TEST(ReturnForm, TodaysWordingKeepsEveryLineAndValueInPlace) {
    ReturnFormInput input = referenceInput(90);
    const std::vector<std::string> classic = buildReturnForm(input);
    input.wording = Wording::Today;
    const std::vector<std::string> today = buildReturnForm(input);
    ASSERT_EQ(today.size(), classic.size());
    std::size_t reworded = 0;
    for (std::size_t i = 0; i < today.size(); ++i) {
        EXPECT_EQ(today[i].size(), classic[i].size()) << "line " << i + 1;
        for (int number : kCellNumbers)
            EXPECT_EQ(today[i].find(input.cells[number]), classic[i].find(input.cells[number])) << "line " << i + 1;
        reworded += today[i] != classic[i];
    }
    EXPECT_EQ(reworded, 11u);
}
