#include "JournalOf.h"
#include "PeriodBuilder.h"
#include "journals/Journal.h"
#include "text/Encoding.h"
#include "text/Errors.h"
#include "text/LineFile.h"
#include "text/LineSource.h"
#include "text/Money.h"

#include "ExpectThrow.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

using namespace orva;

namespace {

const std::string kCaption = utf8ToWin1251(" ДАНЪЧЕН ПЕРИОД 07/2026     ИН ПО ЗДДС BG123456789     ФИРМА ПРИМЕР ООД");

std::string dataPath(const std::string& name) {
    return std::string(ORVA_TEST_DATA) + "/journals/" + name;
}

using orva::fixture::rightAligned;

std::string padded(const std::string& text, std::size_t width) {
    return text.size() >= width ? text : text + std::string(width - text.size(), ' ');
}

// The 167 characters before the amounts. Fields 1, 2 and 4 hold junk on purpose: they are never shown.
std::string identity(int n) {
    const std::string number = std::to_string(n);
    orva::fixture::RecordIdentity fields;
    fields.vatNumber = "\x01junk" + number;
    fields.period = "??????";
    fields.branch = "0007";
    fields.ordinal = "~~skip me~~";
    fields.documentNumber = "DOC" + number;
    fields.date = "01/07/2026";
    fields.counterpartyVat = "BG" + number;
    fields.counterpartyName = "NAME" + number;
    fields.goods = "GOODS" + number;
    return orva::fixture::journalRecord(fields, {});
}

// A record with the given amounts right-aligned in their 15-character fields (a 15-character
// text is used as it stands); missing amounts are "0.00".
std::string record(const JournalLayout& layout, int n, const std::vector<std::string>& amounts = {}) {
    std::string line = identity(n);
    for (std::size_t k = 0; k < layout.amountCount(); ++k)
        line += rightAligned(k < amounts.size() ? amounts[k] : "0.00", 15);
    return line;
}

std::string file(const std::vector<std::string>& lines) {
    return joinLinesCrLf(lines);
}

std::string records(const JournalLayout& layout, int count) {
    std::vector<std::string> lines;
    for (int n = 1; n <= count; ++n)
        lines.push_back(record(layout, n));
    return file(lines);
}

std::string pageNumberLine(const std::string& number) {
    return std::string(110, ' ') + utf8ToWin1251(" стр.") + number;
}

std::string twoDigits(std::size_t number) {
    return (number < 10 ? "0" : "") + std::to_string(number);
}

bool isRecordFirstLine(const std::string& line) {
    return line.size() > 7 && line[0] == '|' && line[1] == ' ' && std::isdigit(static_cast<unsigned char>(line[6]));
}

struct Page {
    int records = 0;
    int blanksAtFoot = 0;
};

// Cuts the document into pages of `linesPerPage` lines (the totals are dropped first) and counts
// the records that start on each page and the blank lines at its foot.
std::vector<Page> pagesOf(std::vector<std::string> lines, int linesPerPage, std::size_t totalsLines) {
    lines.resize(lines.size() - totalsLines);
    std::vector<Page> pages;
    for (std::size_t start = 0; start < lines.size(); start += linesPerPage) {
        Page page;
        const std::size_t end = std::min(lines.size(), start + linesPerPage);
        for (std::size_t i = start; i < end; ++i)
            page.records += isRecordFirstLine(lines[i]);
        for (std::size_t i = end; i > start && lines[i - 1].empty(); --i)
            ++page.blanksAtFoot;
        pages.push_back(page);
    }
    return pages;
}

std::size_t totalsLines(const JournalLayout& layout) {
    return layout.amountLines.size() + 1;
}

std::string zeroTotals(const JournalLayout& layout, std::size_t line) {
    std::string text = "|";
    for (std::size_t k = 0; k < layout.amountLines[line].amounts; ++k)
        text += rightAligned("0.00", layout.totalWidth());
    return text + std::string(layout.amountLines[line].blanks, ' ') + "|";
}

std::string expectFailure(std::string_view bytes, int linesPerPage, const JournalLayout& layout) {
    const auto error = THROWN_BY(buildJournal(bytes, linesPerPage, kCaption, layout), JournalError);
    if (!error)
        return {};
    EXPECT_EQ(error->fileName(), layout.fileName);
    return error->what();
}

} // namespace

// The small journals written by hand, byte for byte: purchases at 20 lines a page (a page foot
// filled with blank lines), sales at 30 (a record that takes exactly the lines left); both input
// files end with an empty line, which is dropped.
TEST(JournalReference, SmallJournalsOverAPageBreak) {
    const struct {
        const char* input;
        const char* reference;
        const JournalLayout& layout;
        int linesPerPage;
        std::size_t records;
    } cases[] = {
        {"pokupki.txt", "pokupki.ref.txt", purchasesLayout(), 20, 4},
        {"prodagbi.txt", "prodagbi.ref.txt", salesLayout(), 30, 3},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.input);
        std::string input, reference;
        ASSERT_NO_THROW(input = readFileBytes(dataPath(c.input)));
        ASSERT_NO_THROW(reference = readFileBytes(dataPath(c.reference)));
        const JournalResult result = buildJournal(input, c.linesPerPage, kCaption, c.layout);
        EXPECT_EQ(result.records, c.records);
        const std::string document = joinLinesCrLf(result.lines);
        EXPECT_EQ(document, reference);
        // On a mismatch, the first differing line tells more than two blobs.
        const std::vector<std::string> expected = splitLines(reference);
        for (std::size_t i = 0; i < std::min(expected.size(), result.lines.size()); ++i)
            if (expected[i] != result.lines[i]) {
                ADD_FAILURE() << "line " << i + 1 << "\n  built:    " << win1251ToUtf8(result.lines[i])
                              << "\n  expected: " << win1251ToUtf8(expected[i]);
                break;
            }
    }
}

// Built from the file in chunks, the journal is the same as built from the file's bytes.
TEST(JournalReference, FromFileAsFromBytes) {
    const JournalLayout& P = purchasesLayout();
    const JournalLayout& S = salesLayout();
    const std::string bigPurchases = ::testing::TempDir() + "orva_big_pokupki_" + std::to_string(::getpid()) + ".txt";
    writeFileAtomic(bigPurchases, records(P, 20000) + std::string(50, 'x'));
    const struct {
        std::string path;
        const JournalLayout& layout;
        int linesPerPage;
    } cases[] = {
        {dataPath("pokupki.txt"), P, 20},
        {dataPath("prodagbi.txt"), S, 30},
        {bigPurchases, P, 61},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        const JournalResult fromBytes = buildJournal(readFileBytes(c.path), c.linesPerPage, kCaption, c.layout);
        const JournalResult fromFile = buildJournalFromFile(c.path, c.linesPerPage, kCaption, c.layout);
        EXPECT_EQ(fromFile.records, fromBytes.records);
        EXPECT_TRUE(fromFile.lines == fromBytes.lines);
        EXPECT_TRUE(fromFile.totals == fromBytes.totals);
    }
    std::remove(bigPurchases.c_str());
    EXPECT_THROW(buildJournalFromFile(dataPath("no-such-file.txt"), 60, kCaption, P), FileError);
}

// The sample periods shipped with the program build whole: every line a record.
TEST(JournalReference, SamplePeriodsBuild) {
    int periods = 0;
    for (const auto& entry : std::filesystem::directory_iterator(ORVA_SAMPLES)) {
        if (!std::filesystem::exists(entry.path() / "pokupki.txt"))
            continue;
        ++periods;
        for (const auto* layout : {&purchasesLayout(), &salesLayout()}) {
            const std::string path = (entry.path() / layout->fileName).string();
            SCOPED_TRACE(path);
            std::size_t records = 0;
            for (const auto& line : splitLines(readFileBytes(path)))
                records += line.size() >= 99;
            const JournalResult result = buildJournalFromFile(path, 60, kCaption, *layout);
            EXPECT_EQ(result.records, records);
            EXPECT_GT(result.records, 0u);
        }
    }
    EXPECT_GT(periods, 0);
}

TEST(JournalReference, TotalsAreTheSumsOfTheColumns) {
    const JournalResult purchases =
        buildJournal(readFileBytes(dataPath("pokupki.txt")), 20, kCaption, purchasesLayout());
    const std::vector<std::string> expected = {"36.00", "1150.50", "230.10", "120.00", "24.00", "15.00", "0.00"};
    ASSERT_EQ(purchases.totals.size(), expected.size());
    for (std::size_t k = 0; k < expected.size(); ++k)
        EXPECT_EQ(purchases.totals[k].moneyText(), expected[k]) << k;

    const JournalResult sales = buildJournal(readFileBytes(dataPath("prodagbi.txt")), 30, kCaption, salesLayout());
    ASSERT_EQ(sales.totals.size(), 17u);
    EXPECT_EQ(sales.totals[0].moneyText(), "1234569390.12");
    EXPECT_EQ(sales.totals[11].moneyText(), "1234567890.12");
}

// 60 records at several page lengths: records on page 1, on each later full page, and the blank
// lines at each page foot.
TEST(JournalPaging, WorkedExampleOfSixtyRecords) {
    const struct {
        const JournalLayout& layout;
        int linesPerPage;
        int firstPageRecords, laterPageRecords;
        int firstFootBlanks, laterFootBlanks;
    } cases[] = {
        {purchasesLayout(), 60, 15, 18, 0, 0}, {purchasesLayout(), 61, 15, 18, 1, 1},
        {purchasesLayout(), 63, 16, 19, 0, 0}, {salesLayout(), 60, 9, 13, 2, 1},
        {salesLayout(), 61, 9, 13, 3, 2},      {salesLayout(), 63, 10, 14, 1, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.layout.fileName + " at " + std::to_string(c.linesPerPage));
        const JournalResult result = buildJournal(records(c.layout, 60), c.linesPerPage, kCaption, c.layout);
        EXPECT_EQ(result.records, 60u);
        const std::vector<Page> pages = pagesOf(result.lines, c.linesPerPage, totalsLines(c.layout));
        ASSERT_GE(pages.size(), 3u);
        int total = 0;
        for (std::size_t p = 0; p < pages.size(); ++p) {
            SCOPED_TRACE("page " + std::to_string(p + 1));
            const bool last = p + 1 == pages.size();
            EXPECT_EQ(pages[p].records, p == 0 ? c.firstPageRecords : last ? pages[p].records : c.laterPageRecords);
            if (!last)
                EXPECT_EQ(pages[p].blanksAtFoot, p == 0 ? c.firstFootBlanks : c.laterFootBlanks);
            else
                EXPECT_EQ(pages[p].blanksAtFoot, 0);
            EXPECT_EQ(result.lines[p * c.linesPerPage], pageNumberLine(twoDigits(p + 1)));
            EXPECT_EQ(result.lines[p * c.linesPerPage + 1], c.layout.titlePrefix + kCaption);
            total += pages[p].records;
        }
        EXPECT_EQ(total, 60);
    }
}

TEST(JournalPaging, PurchasesAtSixtyOneLinesAPage) {
    const JournalLayout& layout = purchasesLayout();
    const JournalResult result = buildJournal(records(layout, 60), 61, kCaption, layout);
    const auto& lines = result.lines;
    EXPECT_EQ(lines[0], pageNumberLine("01"));
    for (int r = 1; r <= 15; ++r) // records 1 to 15 on lines 16 to 60
        EXPECT_TRUE(isRecordFirstLine(lines[15 + 3 * (r - 1)])) << r;
    EXPECT_EQ(lines[15].substr(0, 8), "|     1 ");
    EXPECT_EQ(lines[57].substr(0, 8), "|    15 ");
    EXPECT_EQ(lines[59], std::string(117, '-'));
    EXPECT_EQ(lines[60], "");                      // line 61 blank
    EXPECT_EQ(lines[61], pageNumberLine("02"));    // page 2 opens with the continuation header
    EXPECT_EQ(lines[63], std::string(117, '-'));   // its dash line, not the first page's bar line
    EXPECT_EQ(lines[67].substr(0, 8), "|    16 "); // record 16 right under the six header lines
    EXPECT_EQ(lines[61 + 6 + 17 * 3].substr(0, 8), "|    33 ");
    EXPECT_EQ(lines[61 + 6 + 18 * 3], "");
    EXPECT_EQ(lines[122], pageNumberLine("03"));
    EXPECT_EQ(lines[128].substr(0, 8), "|    34 ");
}

// Where page breaks fall: exact fits, short page feet, headers without records, the end of data.
TEST(JournalPaging, Boundaries) {
    const JournalLayout& P = purchasesLayout();
    const JournalLayout& S = salesLayout();
    const std::string r1 = record(P, 1), r2 = record(P, 2), r3 = record(P, 3);
    const std::string s1 = record(S, 1), s2 = record(S, 2);
    const std::string shortLine(98, 'x');
    const struct {
        const char* name;
        const JournalLayout& layout;
        std::string input;
        int linesPerPage;
        std::size_t records;
        std::vector<std::size_t> pageLines; // where the page-number lines are
        std::size_t lineCount;
    } cases[] = {
        // 15 + 3 + 3 = 21: the second record takes exactly the lines left; no blank line.
        {"exact fit, purchases", P, file({r1, r2, r3}), 21, 3, {0, 21}, 21 + 6 + 3 + 2},
        // 22 + 4 + 4 = 30, the sales reference case, here with a third record on page 2.
        {"exact fit, sales", S, file({s1, s2, s1}), 30, 3, {0, 30}, 30 + 7 + 4 + 3},
        // 15 + 3 = 18, two lines left: two blanks, then page 2.
        {"fewer than B left, purchases", P, file({r1, r2}), 20, 2, {0, 20}, 20 + 6 + 3 + 2},
        // 22 + 4 = 26 of 28: two blanks.
        {"fewer than B left, sales", S, file({s1, s2}), 28, 2, {0, 28}, 28 + 7 + 4 + 3},
        // An empty line in the middle ends the data; what follows is ignored.
        {"short line in the middle", P, file({r1, "", r2, r3}), 60, 1, {0}, 15 + 3 + 2},
        // The last line is short and removed; the one before it is short too and still ends the
        // data, after a page filled exactly: a continuation header with no record under it.
        {"short last line removed once", P, file({r1, shortLine, "abc"}), 18, 1, {0, 18}, 18 + 6 + 2},
        // The same data, a page with room left: the short line only ends the data.
        {"short line before the short last line", P, file({r1, shortLine, "abc"}), 60, 1, {0}, 18 + 2},
        // A first line short: the first-page header and zero totals, nothing else.
        {"first line short", P, file({shortLine, r1, r2}), 60, 0, {0}, 15 + 2},
        {"first line short, sales", S, file({"", s1}), 60, 0, {0}, 22 + 3},
        // A single short line is removed: totals only, no page-number line.
        {"single short line", P, file({"abc"}), 60, 0, {}, 2},
        {"single short line, sales", S, "abc", 60, 0, {}, 3},
        {"single empty line", P, "\r\n", 60, 0, {}, 2},
        // The last line is 99 characters: it stays and is laid out (and fails; see the failures).
        // A last line of 272 characters without a line break is a record like any other.
        {"last line without a break", P, r1 + "\r\n" + r2, 60, 2, {0}, 15 + 6 + 2},
        // Every break kind, and a NUL that ends the text.
        {"CR breaks", P, r1 + "\r" + r2 + "\r", 60, 2, {0}, 15 + 6 + 2},
        {"LF breaks", P, r1 + "\n" + r2 + "\n", 60, 2, {0}, 15 + 6 + 2},
        {"NUL ends the text", P, r1 + "\n" + r2 + std::string(1, '\0') + "\n" + r3, 60, 2, {0}, 15 + 6 + 2},
        // linesPerPage 0 with nothing to place: the loop never runs, so nothing divides by zero.
        {"linesPerPage 0, nothing to place", P, "abc\r\n", 0, 0, {}, 2},
        // B lines a page: every record gets a page of its own, and a header on top (tiny pages
        // still end).
        {"linesPerPage B", P, file({r1, r2}), 3, 2, {0, 18}, 18 + 6 + 3 + 2},
        // The header test is "place below 5", not "place 0": 15 header lines and a record on
        // pages of 14 leave place 4, which opens a continuation header; on pages of 13, place 5
        // does not.
        {"header at place 4", P, file({r1, r2}), 14, 2, {0, 18}, 18 + 6 + 3 + 2},
        {"no header at place 5", P, file({r1, r2}), 13, 2, {0}, 18 + 3 + 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const JournalResult result = buildJournal(c.input, c.linesPerPage, kCaption, c.layout);
        EXPECT_EQ(result.records, c.records);
        EXPECT_EQ(result.lines.size(), c.lineCount);
        std::vector<std::size_t> pageLines;
        for (std::size_t i = 0; i < result.lines.size(); ++i)
            if (result.lines[i].size() >= 117 && result.lines[i].compare(0, 110, std::string(110, ' ')) == 0)
                pageLines.push_back(i);
        EXPECT_EQ(pageLines, c.pageLines);
        for (std::size_t p = 0; p < pageLines.size(); ++p) {
            EXPECT_EQ(result.lines[pageLines[p]], pageNumberLine(twoDigits(p + 1)));
            const auto& fixed = p == 0 ? c.layout.firstPageLines : c.layout.continuationLines;
            ASSERT_LE(pageLines[p] + 2 + fixed.size(), result.lines.size());
            EXPECT_EQ(result.lines[pageLines[p] + 1], c.layout.titlePrefix + kCaption);
            for (std::size_t k = 0; k < fixed.size(); ++k)
                EXPECT_EQ(result.lines[pageLines[p] + 2 + k], fixed[k]);
        }
        ASSERT_GE(result.lines.size(), totalsLines(c.layout));
        EXPECT_EQ(result.lines.back(), std::string(117, '='));
        if (c.records == 0) {
            for (std::size_t t = 0; t < c.layout.amountLines.size(); ++t)
                EXPECT_EQ(result.lines[result.lines.size() - totalsLines(c.layout) + t], zeroTotals(c.layout, t));
        }
    }
}

// A short line with records after it once ended the journal without a trace of what it left out;
// the engine now reads on and counts it, telling blank lines (blanks, tabs, DOS's Ctrl+Z) from the rest.
TEST(JournalPaging, WhatAShortLineLeavesOut) {
    const JournalLayout& P = purchasesLayout();
    const std::string r1 = record(P, 1), r2 = record(P, 2), r3 = record(P, 3);
    const struct {
        const char* name;
        std::string input;
        std::size_t records, endLine;
        std::string endLineText;
        std::size_t linesAfter, filledAfter, droppedLine, nulLine, nulLinesAfter;
    } cases[] = {
        {"CR CR LF line ends", r1 + "\r\r\n" + r2 + "\r\r\n" + r3 + "\r\r\n", 1, 2, "", 4, 2, 0, 0, 0},
        {"only blank lines after the data", r1 + "\r\n\r\n \t \r\n\x1a", 1, 2, "", 2, 0, 0, 0, 0},
        {"a NUL after the short line", r1 + "\r\n\r\n" + r2 + "\r\n" + r3 + std::string(1, '\0') + "\r\n" + r1, 1, 2,
         "", 2, 2, 0, 4, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        MemoryLineSource source(c.input);
        DiscardingSink sink;
        const JournalSummary summary = writeJournal(source, 60, kCaption, P, sink);
        EXPECT_EQ(summary.records, c.records);
        EXPECT_EQ(summary.endLine, c.endLine);
        EXPECT_EQ(summary.endLineText, c.endLineText);
        EXPECT_EQ(summary.linesAfterEnd, c.linesAfter);
        EXPECT_EQ(summary.filledLinesAfterEnd, c.filledAfter);
        EXPECT_EQ(summary.droppedLine, c.droppedLine);
        EXPECT_EQ(summary.nul ? summary.nul->line : 0, c.nulLine);
        EXPECT_EQ(summary.nul ? summary.nul->linesAfter : 0, c.nulLinesAfter);
    }
}

// No page test before the totals: they follow the last record even where the page is full.
TEST(JournalPaging, TotalsRunPastThePageEnd) {
    const JournalLayout& P = purchasesLayout();
    const JournalResult result = buildJournal(records(P, 2), 21, kCaption, P);
    ASSERT_EQ(result.lines.size(), 23u);
    EXPECT_EQ(result.lines[20], std::string(117, '-'));
    EXPECT_EQ(result.lines[21], zeroTotals(P, 0));
    EXPECT_EQ(result.lines[22], std::string(117, '='));
}

// Page numbers are two digits up to 99; page 100 makes a 118-character line.
TEST(JournalPaging, PageOneHundred) {
    const JournalLayout& P = purchasesLayout();
    const int count = 15 + 18 * 98 + 1; // the last record alone on page 100
    const JournalResult result = buildJournal(records(P, count), 60, kCaption, P);
    ASSERT_GT(result.lines.size(), 60u * 99 + 6);
    EXPECT_EQ(result.lines[60 * 8], pageNumberLine("09"));
    EXPECT_EQ(result.lines[60 * 98], pageNumberLine("99"));
    EXPECT_EQ(result.lines[60 * 98].size(), 117u);
    EXPECT_EQ(result.lines[60 * 99], pageNumberLine("100"));
    EXPECT_EQ(result.lines[60 * 99].size(), 118u);
    EXPECT_EQ(result.lines[60 * 99 + 6].substr(0, 8), "|  " + std::to_string(count) + " ");
}

// recordBlockLine pages as the engine does, from one record a page (a header before each) to many:
// the line it names is that record's identity line, and for the short line that ends the data, the
// totals' first line.
TEST(JournalPaging, RecordBlockLineIsTheRecordsIdentityLine) {
    constexpr int kRecords = 70;
    for (const JournalKind kind : {JournalKind::Purchases, JournalKind::Sales}) {
        for (const Wording wording : {Wording::Classic, Wording::Today}) {
            const JournalLayout& layout = journalLayout(kind, wording);
            const std::string input = records(layout, kRecords) + file({std::string(98, 'x'), record(layout, 1)});
            const int block = layout.blockHeight();
            for (const int linesPerPage : {block, block + 1, 5, 8, 9, 21, 30, 60, 61, 86, 1000}) {
                SCOPED_TRACE(layout.fileName + (wording == Wording::Today ? " today" : " classic") + " at " +
                             std::to_string(linesPerPage));
                const JournalResult result = buildJournal(input, linesPerPage, kCaption, layout);
                ASSERT_EQ(result.records, static_cast<std::size_t>(kRecords));
                for (int n = 1; n <= kRecords; ++n) {
                    const std::size_t at = recordBlockLine(layout, linesPerPage, static_cast<std::size_t>(n));
                    ASSERT_LT(at, result.lines.size()) << n;
                    EXPECT_EQ(result.lines[at].substr(0, 8), "| " + rightAligned(std::to_string(n), 5) + " ") << n;
                }
                EXPECT_EQ(recordBlockLine(layout, linesPerPage, kRecords + 1),
                          result.lines.size() - totalsLines(layout));
            }
            EXPECT_EQ(recordBlockLine(layout, block - 1, 1), 0u); // no journal is built at that length
        }
    }
}

// "%5d": right-aligned in five, wider when the ordinal has more digits.
TEST(JournalRecord, OrdinalsFollowTheFilePosition) {
    const JournalLayout& P = purchasesLayout();
    const JournalResult result = buildJournal(records(P, 100000), 60, kCaption, P);
    ASSERT_EQ(result.records, 100000u);
    std::vector<std::string> firstLines;
    for (const auto& line : result.lines)
        if (isRecordFirstLine(line))
            firstLines.push_back(line);
    ASSERT_EQ(firstLines.size(), 100000u);
    EXPECT_EQ(firstLines[0].substr(0, 8), "|     1 ");
    EXPECT_EQ(firstLines[9998].substr(0, 8), "|  9999 ");
    EXPECT_EQ(firstLines[99998].substr(0, 8), "| 99999 ");
    EXPECT_EQ(firstLines[99999].substr(0, 9), "| 100000 ");
    EXPECT_EQ(firstLines[99999].size(), 118u);
    EXPECT_EQ(firstLines[99998].size(), 117u);
}

// The record lines: positions of every field, fields 1, 2 and 4 never shown, the name and the
// goods cut to 30 and 20, characters past the record ignored, MIK converted.
TEST(JournalRecord, FieldsInTheirColumns) {
    const std::string mikName = "\x92\x9a\x90\x83\x8e\x82\x91\x8a\x80 \x8a\x9a\x99\x80"; // ТЪРГОВСКА КЪЩА
    const std::string line = padded("1st", 15) + "2nd.." + "." + "0042" + padded("4th", 15) + "09" +
                             padded("NUMBER-ABCDEFGHIJKLM", 20) + "31/12/2026" + "123456789012345" +
                             padded(mikName + " AND A NAME FAR LONGER THAN THIRTY", 50) +
                             padded("GOODS THAT ARE TOO LONG", 30);
    ASSERT_EQ(line.size(), 167u);
    for (const JournalLayout* layout : {&purchasesLayout(), &salesLayout()}) {
        SCOPED_TRACE(layout->fileName);
        std::string full = line;
        for (std::size_t k = 0; k < layout->amountCount(); ++k)
            full += rightAligned(std::to_string(k + 1) + ".00", 15);
        full += "EXTRA PAST THE END";
        const JournalResult result = buildJournal(full + "\r\n", 60, kCaption, *layout);
        const std::string& first = result.lines[layout->firstPageLines.size() + 2];
        ASSERT_EQ(first.size(), 117u);
        EXPECT_EQ(first.substr(0, 8), "|     1 ");
        EXPECT_EQ(first.substr(8, 4), "0042");
        EXPECT_EQ(first.substr(13, 2), "09");
        EXPECT_EQ(first.substr(15, 2), "  ");
        EXPECT_EQ(first.substr(17, 20), "NUMBER-ABCDEFGHIJKLM");
        EXPECT_EQ(first.substr(38, 10), "31/12/2026");
        EXPECT_EQ(first.substr(49, 15), "123456789012345");
        EXPECT_EQ(first.substr(65, 30), utf8ToWin1251("ТЪРГОВСКА КЪЩА AND A NAME FAR "));
        EXPECT_EQ(first.substr(96, 20), "GOODS THAT ARE TOO L");
        EXPECT_EQ(first.substr(116), "|");
        for (const char* hidden : {"1st", "2nd", "4th", "LONGER", "EXTRA"})
            for (const auto& shown : result.lines)
                EXPECT_EQ(shown.find(hidden), std::string::npos) << hidden;
        for (std::size_t l = 1; l + 1 < static_cast<std::size_t>(layout->blockHeight()); ++l)
            EXPECT_EQ(result.lines[layout->firstPageLines.size() + 2 + l].size(), 117u);
        EXPECT_EQ(result.lines[layout->firstPageLines.size() + 1 + layout->blockHeight()], std::string(117, '-'));
    }
}

// Amounts as shown and as summed: signs, exponents, the sales cut to the rightmost 12, totals
// wider than their cell.
TEST(JournalRecord, AmountsShownAndSummed) {
    const JournalLayout& P = purchasesLayout();
    const JournalLayout& S = salesLayout();
    const struct {
        const char* name;
        const JournalLayout& layout;
        std::vector<std::string> field1; // amount 1 of each record, as its 15-character field
        std::string shown;               // amount 1 as the first record shows it
        std::string total;               // the first total's cell
        const char* sum;                 // the exact total
    } cases[] = {
        {"negative", P, {"        -100.00", "         250.00"}, "        -100.00", "         150.00", "150"},
        {"negative total", P, {"        -100.00", "          -0.50"}, "        -100.00", "        -100.50", "-100.5"},
        {"exponent", P, {"          1.5E2", "        -2.5e-1"}, "          1.5E2", "         149.75", "149.75"},
        {"plus sign, no blanks",
         P,
         {"+00000000012.50", "3.25           "},
         "+00000000012.50",
         "          15.75",
         "15.75"},
        {"rounding of the total",
         P,
         {"          0.125", "          0.000"},
         "          0.125",
         "           0.13",
         "0.125"},
        // A value or total wider than its column is shown whole and the line grows; the fields of
        // sales were once cut to their rightmost 12 characters, dropping leading digits and signs.
        {"total wider than 15",
         P,
         {"999999999999.99", "999999999999.99"},
         "999999999999.99",
         "1999999999999.98",
         "1999999999999.98"},
        {"sales: 12 of 12", S, {"        1234.56", "           1.00"}, "     1234.56", "     1235.56", "1235.56"},
        {"sales: 13 characters",
         S,
         {"  1234567890.12", "           0.00"},
         "1234567890.12",
         "1234567890.12",
         "1234567890.12"},
        {"sales: 14 characters",
         S,
         {" 123456789012.5", "           0.00"},
         "123456789012.5",
         "123456789012.50",
         "123456789012.5"},
        {"sales: 15 characters with a sign",
         S,
         {"-12345678901.25", "           0.00"},
         "-12345678901.25",
         "-12345678901.25",
         "-12345678901.25"},
        {"sales: left-aligned", S, {"  12.50        ", "           0.00"}, "       12.50", "       12.50", "12.5"},
        {"purchases: left-aligned",
         P,
         {"733.43         ", "0.00           "},
         "         733.43",
         "         733.43",
         "733.43"},
        {"sales: total wider than 12",
         S,
         {"   999999999.99", "   999999999.99"},
         "999999999.99",
         "1999999999.98",
         "1999999999.98"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::string> lines;
        for (std::size_t r = 0; r < c.field1.size(); ++r) {
            ASSERT_EQ(c.field1[r].size(), 15u);
            lines.push_back(record(c.layout, static_cast<int>(r + 1), {c.field1[r]}));
        }
        const JournalResult result = buildJournal(file(lines), 60, kCaption, c.layout);
        const std::string& amountLine = result.lines[c.layout.firstPageLines.size() + 3];
        EXPECT_EQ(amountLine.substr(1, std::max(c.layout.amountWidth, c.shown.size())), c.shown);
        const std::string& totals = result.lines[result.lines.size() - totalsLines(c.layout)];
        const std::string expectedCell = rightAligned(c.total, c.layout.totalWidth());
        EXPECT_EQ(totals.substr(1, expectedCell.size()), expectedCell);
        EXPECT_EQ(totals.size(), 117u + (expectedCell.size() - c.layout.totalWidth()));
        EXPECT_EQ(result.totals[0], *ExactDecimal::parse(c.sum));
    }
}
// Sums are exact: cents added to a total of 10^14 are kept, and a thousand of the widest amounts
// total to the cent (long double once printed 999999999999989.99 here).
TEST(JournalRecord, SumsExactly) {
    const JournalLayout& P = purchasesLayout();
    std::vector<std::string> lines = {record(P, 1, {"100000000000000"})};
    for (int n = 2; n <= 101; ++n)
        lines.push_back(record(P, n, {"0.01"}));
    const JournalResult result = buildJournal(file(lines), 60, kCaption, P);
    EXPECT_EQ(result.totals[0].moneyText(), "100000000000001.00");
    EXPECT_EQ(result.lines[result.lines.size() - 2].substr(1, 18), "100000000000001.00");

    lines.clear();
    for (int n = 1; n <= 1000; ++n)
        lines.push_back(record(P, n, {"999999999999.99", "999999999999.99", "          -0.01"}));
    const JournalResult wide = buildJournal(file(lines), 60, kCaption, P);
    const std::string zero = "           0.00";
    EXPECT_EQ(wide.lines[wide.lines.size() - 2],
              "|999999999999990.00 999999999999990.00         -10.00" + zero + zero + zero + zero + "          |");
}

// An amount or total as wide as its column or wider once touched the number before it
// ("85046891.95338639803.80"); it gets one blank before it, except as the first amount of its line,
// and the rest of the line moves right. Narrower ones leave the line as it was.
TEST(JournalRecord, WideAmountsKeepABlankBeforeThem) {
    const JournalLayout& P = purchasesLayout();
    const JournalLayout& S = salesLayout();
    const std::string p0 = "           0.00", s0 = "        0.00";
    auto times = [](const std::string& text, int count) {
        std::string result;
        for (int k = 0; k < count; ++k)
            result += text;
        return result;
    };
    const std::string pEnd = std::string(10, ' ') + "|", s1End = std::string(19, ' ') + "|",
                      s2End = std::string(7, ' ') + "|";
    const struct {
        const char* name;
        const JournalLayout& layout;
        int records;                      // each with these amounts (15-character fields)
        std::vector<std::string> amounts; // the rest are 0.00
        std::vector<std::string> shown;   // the record's amount lines
        std::vector<std::string> totals;  // the totals lines
    } cases[] = {
        {"purchases: 15 characters, the first one without a blank",
         P,
         1,
         {"999999999999.99", "999999999999.99", "           1.00", "-99999999999.99"},
         {"|999999999999.99 999999999999.99           1.00 -99999999999.99" + times(p0, 3) + pEnd},
         {"|999999999999.99 999999999999.99           1.00 -99999999999.99" + times(p0, 3) + pEnd}},
        {"purchases: a total outgrows its column, the amounts do not",
         P,
         2,
         {"           0.00", " 60000000000.00"},
         {"|" + p0 + " 60000000000.00" + times(p0, 5) + pEnd},
         {"|" + p0 + " 120000000000.00" + times(p0, 5) + pEnd}},
        {"sales: totals as wide as the column, amounts narrower",
         S,
         2,
         {"           0.00", "    60000000.00", "           0.00", "           0.00", "           0.00",
          "           0.00", "           0.00", "           0.00", "           0.00", "    60000000.00"},
         {"|" + s0 + " 60000000.00" + times(s0, 6) + s1End, "|" + s0 + " 60000000.00" + times(s0, 7) + s2End},
         {"|" + s0 + " 120000000.00" + times(s0, 6) + s1End, "|" + s0 + " 120000000.00" + times(s0, 7) + s2End}},
        {"sales: left-aligned, as wide as the column",
         S,
         1,
         {"           0.00", "999999999.99   "},
         {"|" + s0 + " 999999999.99" + times(s0, 6) + s1End, "|" + times(s0, 9) + s2End},
         {"|" + s0 + " 999999999.99" + times(s0, 6) + s1End, "|" + times(s0, 9) + s2End}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::string> lines;
        for (int r = 1; r <= c.records; ++r) {
            std::vector<std::string> amounts = c.amounts;
            for (const std::string& amount : amounts)
                ASSERT_EQ(amount.size(), 15u);
            lines.push_back(record(c.layout, r, amounts));
        }
        const JournalResult result = buildJournal(file(lines), 60, kCaption, c.layout);
        const std::size_t first = c.layout.firstPageLines.size() + 3;
        for (std::size_t l = 0; l < c.shown.size(); ++l)
            EXPECT_EQ(result.lines[first + l], c.shown[l]) << "amount line " << l;
        const std::size_t totals = result.lines.size() - totalsLines(c.layout);
        for (std::size_t l = 0; l < c.totals.size(); ++l)
            EXPECT_EQ(result.lines[totals + l], c.totals[l]) << "totals line " << l;
    }
}

// Failures name the file, the line, the amount and its text.
TEST(JournalFailure, Messages) {
    const JournalLayout& P = purchasesLayout();
    const JournalLayout& S = salesLayout();
    std::vector<std::string> sixteen;
    for (int n = 1; n <= 16; ++n)
        sixteen.push_back(record(P, n));
    std::vector<std::string> bad = sixteen;
    bad.push_back(record(P, 17, {"0.00", "1.00", "12,50"}));
    const std::string ninetyNine = record(P, 2).substr(0, 99);
    const std::string ninetyNineSales = record(S, 2).substr(0, 99);
    const struct {
        const char* name;
        const JournalLayout& layout;
        std::string input;
        int linesPerPage;
        std::string message;
    } cases[] = {
        {"not a number", P, file(bad), 60,
         "pokupki.txt, ред 17: кол.11 ДДС с право на пълен кредит \"12,50\" не е число"},
        {"99 characters", P, file({record(P, 1), ninetyNine}), 60,
         "pokupki.txt, ред 2: кол.9 основа и данък без право на кредит \"\" не е число"},
        {"99 characters, last line", P, record(P, 1) + "\n" + ninetyNine, 60,
         "pokupki.txt, ред 2: кол.9 основа и данък без право на кредит \"\" не е число"},
        {"99 characters, sales", S, file({record(S, 1), ninetyNineSales}), 60,
         "prodagbi.txt, ред 2: кол.9 обща данъчна основа \"\" не е число"},
        {"ends inside amount 2", P, file({record(P, 1, {"123456789012345"}).substr(0, 170)}), 60,
         "pokupki.txt, ред 1: кол.10 основа с право на пълен кредит \"\" не е число"},
        {"blank amount", P, file({record(P, 1, {"0", "0", "0", "0", "0", "0", "               "})}), 60,
         "pokupki.txt, ред 1: кол.15 основа при тристранна операция \"\" не е число"},
        {"sales quotes the 12 characters parsed", S, file({record(S, 1, {"0", "0", "0", "0", "0", "      1.2.3"})}), 60,
         "prodagbi.txt, ред 1: кол.14 основа по чл. 82, ал. 2-5 \"1.2.3\" не е число"},
        {"MIK letters in an amount are quoted in UTF-8", P, file({record(P, 1, {"\x8f\x80\x90\x80"})}), 60,
         "pokupki.txt, ред 1: кол.9 основа и данък без право на кредит \"ПАРА\" не е число"},
        {"cents of the total overflow", S, file({record(S, 1), record(S, 2, {"0", "1e4931"})}), 60,
         "prodagbi.txt, ред 2: кол.10 общо начислен ДДС \"1e4931\" прави сбора твърде голям"},
        {"no lines", P, std::string(1, '\0'), 60, "pokupki.txt: файлът не съдържа редове"},
        {"no lines, sales", S, std::string("\0\r\n", 3), 60, "prodagbi.txt: файлът не съдържа редове"},
        {"only a NUL", S, std::string(1, '\0') + record(S, 1), 60, "prodagbi.txt: файлът не съдържа редове"},
        {"linesPerPage 0", P, file({record(P, 1)}), 0,
         "pokupki.txt: редовете на страница (0) не побират запис от 3 реда"},
        // The page test runs before the end-of-data test, so a first line that ends the data
        // still meets it.
        {"linesPerPage 0, short first line", S, file({"", record(S, 1)}), 0,
         "prodagbi.txt: редовете на страница (0) не побират запис от 4 реда"},
        {"linesPerPage negative", P, file({record(P, 1)}), -5,
         "pokupki.txt: редовете на страница (-5) не побират запис от 3 реда"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(expectFailure(c.input, c.linesPerPage, c.layout), c.message);
    }
}

// Regression: with fewer lines a page than a record needs, the page filling never ends (it waits
// for a place where B lines fit); such a page length is refused as soon as there is a record to place.
TEST(JournalFailure, LinesPerPageBelowTheRecordHeightIsRefused) {
    for (const JournalLayout* layout : {&purchasesLayout(), &salesLayout()}) {
        for (int linesPerPage = 1; linesPerPage < layout->blockHeight(); ++linesPerPage) {
            SCOPED_TRACE(layout->fileName + " at " + std::to_string(linesPerPage));
            EXPECT_EQ(expectFailure(record(*layout, 1), linesPerPage, *layout),
                      layout->fileName + ": редовете на страница (" + std::to_string(linesPerPage) +
                          ") не побират запис от " + std::to_string(layout->blockHeight()) + " реда");
            // With nothing left to place after the short last line goes, nothing is refused.
            EXPECT_EQ(buildJournal("short", linesPerPage, kCaption, *layout).lines.size(), totalsLines(*layout));
        }
    }
}

// The fixed header lines: 117 characters, the cells the column headings need.
TEST(JournalLayouts, HeaderLinesAndCells) {
    auto cells = [](const std::string& line) {
        std::vector<std::size_t> widths;
        std::size_t start = 1;
        for (std::size_t i = 1; i < line.size(); ++i)
            if (line[i] == '|') {
                widths.push_back(i - start);
                start = i + 1;
            }
        return widths;
    };
    const std::vector<std::size_t> identity = {6, 4, 3, 19, 11, 15, 31, 19};
    const std::vector<std::size_t> continuationIdentity = {5, 4, 3, 20, 11, 14, 32, 19};
    const std::vector<std::size_t> purchasesAmounts = {14, 14, 14, 14, 14, 14, 14, 10};
    const std::vector<std::size_t> salesAmounts1 = {11, 11, 11, 11, 11, 11, 11, 11, 19};
    const std::vector<std::size_t> salesAmounts2 = {11, 11, 11, 11, 11, 11, 11, 11, 11, 7};
    const std::vector<std::size_t> none;
    const std::string bar = "|" + std::string(115, '-') + "|";
    const std::string dash(117, '-');
    const struct {
        const JournalLayout& layout;
        std::vector<std::vector<std::size_t>> first, continuation;
    } cases[] = {
        {purchasesLayout(),
         {none, identity, identity, none, identity, none, purchasesAmounts, purchasesAmounts, purchasesAmounts,
          purchasesAmounts, none, purchasesAmounts, none},
         {none, continuationIdentity, purchasesAmounts, none}},
        {salesLayout(),
         {none,          identity,      identity,      none, identity,      none, salesAmounts1,
          salesAmounts1, salesAmounts1, salesAmounts1, none, salesAmounts1, none, salesAmounts2,
          salesAmounts2, salesAmounts2, salesAmounts2, none, salesAmounts2, none},
         {none, continuationIdentity, salesAmounts1, salesAmounts2, none}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.layout.fileName);
        ASSERT_EQ(c.layout.firstPageLines.size(), c.first.size());
        ASSERT_EQ(c.layout.continuationLines.size(), c.continuation.size());
        for (std::size_t i = 0; i < c.first.size(); ++i) {
            const std::string& line = c.layout.firstPageLines[i];
            EXPECT_EQ(line.size(), 117u) << "first-page line " << i + 3;
            if (c.first[i].empty())
                EXPECT_EQ(line, bar) << "first-page line " << i + 3;
            else
                EXPECT_EQ(cells(line), c.first[i]) << "first-page line " << i + 3;
        }
        for (std::size_t i = 0; i < c.continuation.size(); ++i) {
            const std::string& line = c.layout.continuationLines[i];
            EXPECT_EQ(line.size(), 117u) << "continuation line " << i + 3;
            if (c.continuation[i].empty())
                EXPECT_EQ(line, dash) << "continuation line " << i + 3;
            else
                EXPECT_EQ(cells(line), c.continuation[i]) << "continuation line " << i + 3;
        }
        // "пор.N" with a Latin N, in Windows-1251.
        EXPECT_NE(c.layout.firstPageLines[2].find("\xef\xee\xf0.N"), std::string::npos);
    }
    EXPECT_EQ(purchasesLayout().titlePrefix, utf8ToWin1251("ДНЕВНИК НА ПОКУПКИТЕ     "));
    EXPECT_EQ(purchasesLayout().titlePrefix.size(), 25u);
    EXPECT_EQ(salesLayout().titlePrefix.size(), 26u);
    // The facts derived from the amount lines: B, the amount count and W.
    EXPECT_EQ(purchasesLayout().blockHeight(), 3);
    EXPECT_EQ(salesLayout().blockHeight(), 4);
    EXPECT_EQ(purchasesLayout().amountCount(), 7u);
    EXPECT_EQ(salesLayout().amountCount(), 17u);
    EXPECT_EQ(purchasesLayout().totalWidth(), 15u);
    EXPECT_EQ(salesLayout().totalWidth(), 12u);
}
