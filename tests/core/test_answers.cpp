// The rules of the values a user types into the return's editable cells, shared by the dialog and
// orva-cli's --cell.
#include "period/Answers.h"

#include "text/Encoding.h"

#include <gtest/gtest.h>

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

} // namespace
