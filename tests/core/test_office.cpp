// The office's many periods: finding them in a tree, naming their outputs, and a journal's fields as
// spreadsheet cells.
#include "DeepFolder.h"
#include "journals/JournalSheet.h"
#include "period/PeriodTree.h"
#include "text/Encoding.h"

#include <gtest/gtest.h>

#include <climits>
#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace orva;

namespace {

TEST(PeriodTree, FindsEveryFolderWithAReturnRecordInPathOrder) {
    const fs::path root = fs::temp_directory_path() / ("orva-tree-" + std::to_string(::getpid()));
    fs::remove_all(root);
    for (const char* file : {"b/DEKLAR.TXT", "a/x/Deklar.txt", "a/deklar.txt", "c/pokupki.txt", "a/deklar.txt.bak"}) {
        fs::create_directories((root / file).parent_path());
        std::ofstream(root / file) << "x";
    }
    fs::create_directory_symlink(root / "a", root / "link-to-a"); // not followed
    const std::vector<std::string> found = findPeriodFolders({root.string(), (root / "b").string()});
    const std::vector<std::string> want = {(root / "a").string(), (root / "a/x").string(), (root / "b").string()};
    EXPECT_EQ(found, want);
    EXPECT_THROW(findPeriodFolders({(root / "c/pokupki.txt").string()}), std::exception);
    fs::remove_all(root);
}

// A folder nested beyond PATH_MAX cannot be listed: it was left out without a word, and the run said
// nothing of the period in it.
TEST(PeriodTree, FindsTheFoldersItCannotList) {
    const fs::path root = fs::temp_directory_path() / ("orva-deep-" + std::to_string(::getpid()));
    fs::remove_all(root);
    fs::create_directories(root / "a");
    std::ofstream(root / "a/deklar.txt") << "x";
    for (const char* leaf : {"deklar.txt", ""}) {
        const orva::fixture::DeepFolder deep(root.string(), leaf);
        const std::vector<std::string> found = findPeriodFolders({root.string()});
        ASSERT_EQ(found.size(), 2u) << leaf;
        EXPECT_EQ(found[0], (root / "a").string());
        EXPECT_EQ(found[1].compare(0, deep.top().size(), deep.top()), 0);
        EXPECT_GT(found[1].size(), static_cast<std::size_t>(PATH_MAX));
    }
    fs::remove_all(root);
}

TEST(PeriodTree, OutputNamesAreLettersAndDigitsAndNeverTaken) {
    EXPECT_EQ(periodOutputName(" BG123456789   ", "202610"), "BG123456789-202610");
    EXPECT_EQ(periodOutputName("../BG 1/2", "20 26-10"), "BG12-202610");
    EXPECT_EQ(periodOutputName("", ""), "period-000000");
    UniqueNames names;
    EXPECT_EQ(names.take("X"), "X");
    EXPECT_EQ(names.take("X"), "X-2");
    EXPECT_EQ(names.take("Y"), "Y");
    EXPECT_EQ(names.take("X"), "X-3");
}

struct CellCase {
    FieldKind kind;
    const char* text;
    SheetCell::Kind want;
    double number;
};

TEST(JournalSheet, CellsKeepEveryDigit) {
    const CellCase cases[] = {
        {FieldKind::Amount, "        1234.50", SheetCell::Kind::Money, 1234.5},
        {FieldKind::Amount, "  -0.07", SheetCell::Kind::Money, -0.07},
        {FieldKind::Amount, "1234567890123.45", SheetCell::Kind::Money, 1234567890123.45}, // 15 digits
        {FieldKind::Amount, "12345678901234.56", SheetCell::Kind::Text, 0},                // 16: text
        {FieldKind::Amount, "12,50", SheetCell::Kind::Text, 0},
        // One significant digit, but no double near them: written as the number 0 once.
        {FieldKind::Amount, "2e308", SheetCell::Kind::Text, 0},
        {FieldKind::Amount, "1e400", SheetCell::Kind::Text, 0},
        {FieldKind::Amount, "1e-400", SheetCell::Kind::Text, 0},
        {FieldKind::Amount, "1.5e3", SheetCell::Kind::Money, 1500},
        {FieldKind::Amount, "               ", SheetCell::Kind::Empty, 0},
        {FieldKind::Date, "29/02/2024", SheetCell::Kind::Date, 0},
        {FieldKind::Date, "01.10.2026", SheetCell::Kind::Date, 0},
        {FieldKind::Date, "29/02/2023", SheetCell::Kind::Text, 0},
        {FieldKind::Date, "01/10.2026", SheetCell::Kind::Text, 0},
        {FieldKind::Integer, "   17", SheetCell::Kind::Number, 17},
        {FieldKind::Integer, "1A", SheetCell::Kind::Text, 0},
        {FieldKind::DocumentType, "01", SheetCell::Kind::Text, 0},
        {FieldKind::Code, "07", SheetCell::Kind::Text, 0},
    };
    for (const CellCase& c : cases) {
        const RecordField field{1, 15, "x", "x", "x", c.kind};
        const SheetCell cell = sheetCell(field, c.text);
        EXPECT_EQ(cell.kind, c.want) << c.text;
        if (c.want == SheetCell::Kind::Money || c.want == SheetCell::Kind::Number) {
            EXPECT_EQ(cell.number, c.number) << c.text;
        }
        if (c.want == SheetCell::Kind::Text) {
            EXPECT_EQ(cell.text, std::string(trimBlanks(c.text))) << c.text;
        }
    }
    const SheetCell date = sheetCell({1, 10, "x", "x", "x", FieldKind::Date}, "29/02/2024");
    EXPECT_EQ(date.year * 10000 + date.month * 100 + date.day, 20240229);
    EXPECT_EQ(sheetCell({1, 50, "x", "x", "x", FieldKind::Text}, utf8ToWin1251("  ФИРМА ООД ")).text, "ФИРМА ООД");
    // The branch is a code as written ("0000" became the number 0); the sequence number is a number.
    for (const RecordLayout* layout : {&purchasesRecordLayout(), &salesRecordLayout()}) {
        const SheetCell branch = sheetCell(layout->fields[BranchField], "0000");
        EXPECT_EQ(branch.kind, SheetCell::Kind::Text);
        EXPECT_EQ(branch.text, "0000");
        EXPECT_EQ(sheetCell(layout->fields[SequenceField], "         000012").kind, SheetCell::Kind::Number);
    }
}

TEST(JournalSheet, HeadersFollowTheRecordTableAndTheWording) {
    const RecordLayout& sales = salesRecordLayout();
    ASSERT_EQ(sheetColumnCount(sales), 28u);
    EXPECT_EQ(sheetHeader(sales, 18, Wording::Today), "кол.17 основа 9 %");
    EXPECT_EQ(sheetHeader(sales, 18, Wording::Classic), "кол.17 основа 7 %");
    EXPECT_EQ(sheetHeader(sales, sales.codeField(), Wording::Today).rfind("кол.8а ", 0), 0u);
    EXPECT_EQ(sheetHeader(sales, sales.codeField(), Wording::Classic).rfind("02-27 ", 0), 0u);
    EXPECT_EQ(sheetHeader(purchasesRecordLayout(), 10, Wording::Classic),
              sheetHeader(purchasesRecordLayout(), 10, Wording::Today));
    EXPECT_EQ(columnLetters(0), "A");
    EXPECT_EQ(columnLetters(25), "Z");
    EXPECT_EQ(columnLetters(26), "AA");
    EXPECT_EQ(columnLetters(27 + 26 * 26 - 1), "AAA");
}

} // namespace
