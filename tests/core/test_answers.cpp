// The rules of the values a user types into the return's editable cells, shared by the dialog and
// orva-cli's --cell, and the return's arithmetic they share with the check.
#include "period/Answers.h"

#include "PeriodBuilder.h"
#include "check/ReturnRules.h"
#include "declaration/Declaration.h"
#include "text/Calendar.h"
#include "text/Encoding.h"

#include <gtest/gtest.h>

#include <tuple>

namespace {

struct TypedCase {
    int cell;
    const char* typed;
    const char* stored; // nullptr: refused
};

const TypedCase kTypedCases[] = {
    {70, "100,50", "100.50"},
    {70, "  -12.5 ", "  -12.5 "},
    {82, "   ", "   "},
    {71, "123456789012.34", "123456789012.34"},
    {71, "1234567890123.45", nullptr},
    {71, "1.234", nullptr},
    {71, ".5", nullptr},
    {71, "1e3", nullptr},
    {33, "0,85", "0.85"},
    {33, "1", "1"},
    {33, "0.85abc", nullptr},
    {33, "1.01", nullptr},
    {33, "", nullptr},
};

class TypedValue : public testing::TestWithParam<TypedCase> {};

TEST_P(TypedValue, IsStoredOrRefused) {
    const TypedCase& c = GetParam();
    const std::optional<std::string> stored = orva::storedCellValue(c.cell, c.typed);
    if (c.stored == nullptr)
        EXPECT_FALSE(stored) << c.cell << " \"" << c.typed << "\" -> \"" << stored.value_or("") << "\"";
    else
        EXPECT_EQ(stored, std::optional<std::string>(c.stored)) << c.cell << " \"" << c.typed << "\"";
}

INSTANTIATE_TEST_SUITE_P(Answers, TypedValue, testing::ValuesIn(kTypedCases),
                         [](const testing::TestParamInfo<TypedCase>& info) { return std::to_string(info.index); });

orva::ReturnCells presetCells() {
    orva::ReturnCells cells;
    for (const int cellNumber : orva::kCellNumbers)
        cells[cellNumber] = "           0.00";
    cells[20] = "          29.00";
    cells[41] = "           1.00";
    cells[42] = "          10.50";
    cells[43] = "           0.01";
    cells[33] = "0.95";
    cells[40] = "          11.99"; // the record's, whatever it says
    cells[50] = "          17.01";
    return cells;
}

TEST(Answers, Cell40FollowsAChangedCell33Exactly) {
    const orva::ReturnCells presets = presetCells();
    // 1.00 + 10.50 × 0.05 + 0.01 = 1.535: half a cent, rounded away from zero.
    const orva::ReturnCells cells = orva::applyTypedCells(presets, {{33, "0,05"}});
    EXPECT_EQ(cells[33], "0.05");
    EXPECT_EQ(cells[40], "           1.54");
    EXPECT_EQ(cells[50], "          27.46");
    EXPECT_EQ(cells[60], "           0.00");

    // 40 from a cell that is no number: refused.
    orva::ReturnCells broken = cells;
    broken[42] = "x";
    EXPECT_THROW(orva::followCoefficient(presets, broken), orva::Error);
}

TEST(Answers, SumsAboveTheirLimitAreNamed) {
    orva::ReturnCells presets = presetCells();
    presets[50] = "        2641.96";
    presets[80] = "          99.00"; // the record's own excess is the check's business
    EXPECT_TRUE(orva::sumWarnings(presets, presets).empty());
    orva::ReturnCells cells = presets;
    cells[70] = "3000";
    cells[71] = "100";
    cells[80] = "0.01"; // 60 is 0.00
    cells[81] = "";
    EXPECT_EQ(orva::sumWarnings(cells, presets),
              (std::vector<std::string>{"Кл.70 + кл.71 = 3100.00 е повече от кл.50 = 2641.96",
                                        "Кл.80 + кл.81 + кл.82 = 0.01 е повече от кл.60 = 0.00"}));
    cells[70] = "2541.96"; // equal is no more
    cells[80] = "";
    EXPECT_TRUE(orva::sumWarnings(cells, presets).empty());
}

// Cell 33 typed over a record: cells 40, 50 and 60 as the dialog and --cell write them, computed
// by hand; the check, given the record with those cells, finds its three rules hold.
TEST(Answers, DerivedCellsAreWhatTheCheckAccepts) {
    struct Case {
        const char* what;
        std::map<int, const char*> record; // over 0.00 in every cell
        const char* typed33;
        const char* k40;
        const char* k50;
        const char* k60;
    };
    const Case cases[] = {
        {"1.00 + 10.50 * 0.05 + 0.01 = 1.535",
         {{41, "1.00"}, {42, "10.50"}, {43, "0.01"}, {20, "29.00"}},
         "0,05",
         "1.54",
         "27.46",
         "0.00"},
        {"10.50 * 0.95 = 9.975, a refund", {{42, "10.50"}, {20, "5.00"}}, "0.95", "9.98", "0.00", "4.98"},
        {"half a cent away from zero below it", {{42, "-10.50"}}, "0.95", "-9.98", "9.98", "0.00"},
        {"20 - 40 = 0: neither due nor refunded", {{41, "100.00"}, {20, "100.00"}}, "1", "100.00", "0.00", "0.00"},
        {"a record's third decimal in 20", {{42, "1.00"}, {20, "29.005"}}, "0.5", "0.50", "28.51", "0.00"},
    };
    const auto cell15 = [](const std::string& text) { return std::string(15 - text.size(), ' ') + text; };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        orva::ReturnCells presets;
        for (const int cellNumber : orva::kCellNumbers)
            presets[cellNumber] = cellNumber == 33 ? "0.00" : "           0.00";
        for (const auto& [cellNumber, text] : c.record)
            presets[cellNumber] = text;
        const orva::ReturnCells cells = orva::applyTypedCells(presets, {{33, c.typed33}});
        EXPECT_EQ(cells[40], cell15(c.k40));
        EXPECT_EQ(cells[50], cell15(c.k50));
        EXPECT_EQ(cells[60], cell15(c.k60));

        orva::fixture::ReturnRecord record;
        for (const int cellNumber : orva::kCellNumbers)
            record.cells[cellNumber] = cells[cellNumber];
        const orva::Declaration declaration = orva::parseDeclaration(orva::fixture::returnRecord(record));
        orva::JournalTotals purchases, sales;
        purchases.totals.resize(7);
        sales.totals.resize(17);
        std::size_t derivedRows = 0;
        for (const orva::CheckRow& row : orva::checkReturn(declaration, purchases, sales)) {
            if (row.rule.rfind("кл.40 =", 0) == 0 || row.rule.rfind("кл.50 от", 0) == 0 ||
                row.rule.rfind("кл.60 от", 0) == 0) {
                ++derivedRows;
                EXPECT_EQ(row.result, orva::CheckRow::Result::Holds) << row.rule << ": " << row.difference;
            }
        }
        EXPECT_EQ(derivedRows, 3u);
    }
}

// The dialog warns about a limit exactly when the check would find it broken: in whole cents. The
// exact comparison warned "= 100.00 е повече от кл.60 = 100.00" over a record's third decimal.
TEST(Answers, LimitsAreComparedInWholeCents) {
    orva::ReturnCells presets;
    for (const int cellNumber : orva::kCellNumbers)
        presets[cellNumber] = "0.00";
    presets[60] = "100.00";
    presets[80] = "100.004";
    orva::ReturnCells cells = presets;
    cells[81] = "0";
    EXPECT_TRUE(orva::sumWarnings(cells, presets).empty());
    cells[81] = "0.01"; // 100.014 is 100.01
    EXPECT_EQ(orva::sumWarnings(cells, presets),
              std::vector<std::string>{"Кл.80 + кл.81 + кл.82 = 100.01 е повече от кл.60 = 100.00"});
}

// The one date parser: the return's date takes both forms, a journal record of today's generation
// only slashes.
TEST(Calendar, DatesAreRealDaysInTheirWrittenForm) {
    struct Case {
        const char* text;
        bool slashesOrDots;
        bool slashesOnly;
    };
    const Case cases[] = {
        {"30/11/2026", true, true},   {"30.11.2026", true, false},   {"01/01/0001", true, true},
        {"31/12/9999", true, true},   {"29/02/2024", true, true},    {"29.02.2000", true, false},
        {"29/02/2026", false, false}, {"29/02/1900", false, false},  {"29/02/2100", false, false},
        {"31/04/2026", false, false}, {"00/11/2026", false, false},  {"30/13/2026", false, false},
        {"30/00/2026", false, false}, {"30/11/0000", false, false},  {"30/11.2026", false, false},
        {"30.11/2026", false, false}, {"30-11-2026", false, false},  {"30/11/26", false, false},
        {"1/11/2026", false, false},  {" 30/11/2026", false, false}, {"30/11/2026 ", false, false},
        {"3O/11/2026", false, false}, {"+1/11/2026", false, false},  {"", false, false},
        {"вчера", false, false},
    };
    for (const Case& c : cases) {
        const std::string text = orva::utf8ToWin1251(c.text);
        EXPECT_EQ(orva::parseDate(text, orva::DateSeparators::SlashesOrDots).has_value(), c.slashesOrDots) << c.text;
        EXPECT_EQ(orva::parseDate(text, orva::DateSeparators::Slashes).has_value(), c.slashesOnly) << c.text;
    }
    const std::optional<orva::CalendarDate> date = orva::parseDate("29.02.2024", orva::DateSeparators::SlashesOrDots);
    ASSERT_TRUE(date);
    EXPECT_EQ(std::make_tuple(date->day, date->month, date->year), std::make_tuple(29, 2, 2024));
}

} // namespace
