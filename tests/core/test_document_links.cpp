// Where the lines of the documents of two inputs lead: the memo's lines to the records they name,
// whatever the page length, and the reconciliation's rows to the journal or to a report's line.
#include "compare/CorrectionMemo.h"
#include "compare/PeriodDiff.h"
#include "journals/Journal.h"
#include "period/DocumentTable.h"
#include "period/PeriodSession.h"
#include "period/ReportLines.h"
#include "text/Encoding.h"
#include "text/LineFile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

namespace {

const std::string kRegress = ORVA_REGRESS;

bool startsWith(const std::string& text, const std::string& start) {
    return text.compare(0, start.size(), start) == 0;
}

} // namespace

// Every line naming a record, and its field lines, lead to that record on every page; no other line does.
TEST(MemoLinks, FollowThePages) {
    const std::string changed = kRegress + "/diff-records-added-removed-changed";
    const orva::PeriodSession older(changed + "/old"), newer(changed + "/new");
    const orva::compare::PeriodDiff diff = orva::compare::comparePeriods(older, newer);
    for (const int linesPerPage : {7, 8, 13, 60}) {
        SCOPED_TRACE(linesPerPage);
        std::vector<orva::compare::MemoLink> links;
        const std::vector<std::string> memo = orva::compare::correctionMemo(diff, newer.declaration(), older.folder(),
                                                                            newer.folder(), linesPerPage, &links);
        EXPECT_EQ(memo, orva::compare::correctionMemo(diff, newer.declaration(), older.folder(), newer.folder(),
                                                      linesPerPage));
        ASSERT_TRUE(
            std::is_sorted(links.begin(), links.end(), [](const auto& a, const auto& b) { return a.line < b.line; }));
        std::set<std::size_t> linked;
        std::set<std::pair<std::size_t, std::size_t>> records;
        for (const orva::compare::MemoLink& link : links) {
            ASSERT_LT(link.line, memo.size());
            linked.insert(link.line);
            records.insert({link.oldLine, link.newLine});
            const std::string line = orva::win1251ToUtf8(memo[link.line]);
            EXPECT_EQ(link.journal, orva::JournalKind::Purchases);
            EXPECT_FALSE(link.vies);
            if (startsWith(line, "      ")) { // a field line of a changed record
                EXPECT_EQ(link.kind, orva::compare::ChangeKind::Changed) << line;
            } else {
                EXPECT_TRUE(startsWith(line, std::string("  ") + orva::compare::changeName(link.kind))) << line;
            }
            const std::size_t named = link.kind == orva::compare::ChangeKind::Added ? link.newLine : link.oldLine;
            if (!startsWith(line, "      ")) {
                EXPECT_NE(line.find("ред " + std::to_string(named)), std::string::npos) << line;
            }
        }
        for (std::size_t i = 0; i < memo.size(); ++i) {
            const std::string line = orva::win1251ToUtf8(memo[i]);
            for (const char* kind : {"  добавен", "  премахнат", "  променен"})
                if (startsWith(line, kind)) {
                    EXPECT_EQ(linked.count(i), 1u) << line;
                }
        }
        std::size_t changes = 0;
        for (const orva::compare::JournalDiff& journal : diff.journals)
            changes += journal.records.size();
        EXPECT_EQ(records.size(), changes);
    }
}

// The rows of the reconciliation document, and what is not one.
TEST(ReconciliationRows, ColumnsOfTheDocument) {
    const std::string folder = kRegress + "/reconcile-report";
    const orva::PeriodSession period(folder);
    const std::vector<std::string> reports{folder + "/nap-202610.csv"};
    std::vector<std::string> lines;
    orva::LineCollector sink(lines);
    orva::reconciliationDocument().build({&period, nullptr, nullptr, &reports}, 60, sink);
    // A row is every line naming a document in its first column; the captions, bars, continued rows and
    // counts are none.
    std::vector<orva::ReconciliationRow> rows;
    for (const std::string& line : lines) {
        const auto row = orva::reconciliationRow(line);
        const bool document = line.size() > 1 && line[0] == '|' && line[1] != ' ' && line[1] != '-' &&
                              !startsWith(line, orva::utf8ToWin1251("|Вид разлика"));
        EXPECT_EQ(row.has_value(), document) << orva::win1251ToUtf8(line);
        if (row)
            rows.push_back(*row);
    }
    ASSERT_GE(rows.size(), 3u);
    // missing 777 (report line 10), not declared 500 (record 8), different 88 (record 9, report line 5)
    EXPECT_EQ(rows[0].journalLine, 0u);
    EXPECT_EQ(rows[0].reportLine, 10u);
    EXPECT_EQ(rows[0].supplier, "BG130000005");
    EXPECT_EQ(rows[0].number, "0000000777");
    EXPECT_EQ(rows[1].journalLine, 8u);
    EXPECT_EQ(rows[1].reportLine, 0u);
    EXPECT_EQ(rows[2].journalLine, 9u);
    EXPECT_EQ(rows[2].reportLine, 5u);
    EXPECT_EQ(rows[2].number, "88");

    const std::string row =
        lines.at(std::find_if(lines.begin(), lines.end(),
                              [](const std::string& line) { return orva::reconciliationRow(line).has_value(); }) -
                 lines.begin());
    const struct {
        const char* what;
        std::string line;
    } refused[] = {
        {"cut before the last bar", row.substr(0, row.size() - 1)},
        {"a letter among the record's digits", row.substr(0, 68) + "x" + row.substr(69)},
        {"a bar missing", " " + row.substr(1)},
        {"no line numbers", row.substr(0, 67) + std::string(7, ' ') + "|" + std::string(7, ' ') + row.substr(82)},
        {"empty", ""},
    };
    for (const auto& c : refused)
        EXPECT_FALSE(orva::reconciliationRow(c.line).has_value()) << c.what;
}

// A report line found again: by key among reports with a document at that line, else the first.
TEST(ReconciliationRows, ReportLineFoundAgain) {
    const std::string folder = kRegress + "/reconcile-report";
    const std::string october = folder + "/nap-202610.csv", september = folder + "/nap-202609.csv";
    const std::vector<std::string> reports{october, september};
    const struct {
        const char* what;
        orva::ReconciliationRow row;
        std::string file; // empty: none
    } cases[] = {
        {"the second report's key", {0, 3, "BG130000005", "41"}, september},
        {"the first report's key, zeros dropped", {0, 3, "BG130000005", "0000006462"}, october},
        {"no key agrees: the first with the line", {0, 3, "BG999", "1"}, october},
        {"a line no report has", {0, 999, "BG130000005", "41"}, ""},
        {"no report line", {5, 0, "BG130000005", "41"}, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const auto found = orva::findReportLine(reports, c.row);
        ASSERT_EQ(found.has_value(), !c.file.empty());
        if (!found)
            continue;
        EXPECT_EQ(found->file, c.file);
        EXPECT_EQ(found->line, c.row.reportLine);
        EXPECT_EQ(found->text, orva::win1251ToUtf8(orva::readLinesFile(c.file).at(c.row.reportLine - 1)));
    }
    EXPECT_THROW(orva::findReportLine({folder + "/none.csv"}, {0, 3, "BG130000005", "41"}), orva::FileError);
}

// The folder's own reports: the firm's *.csv, by name; not another buyer's, nor other files.
TEST(ReconciliationRows, ReportsBesideThePeriod) {
    const std::string folder = kRegress + "/reconcile-report";
    const orva::PeriodSession period(folder);
    EXPECT_EQ(orva::agencyReportsIn(folder, period.declaration().fields.at(0)),
              (std::vector<std::string>{folder + "/nap-202609.csv", folder + "/nap-202610.csv"}));
    EXPECT_TRUE(orva::agencyReportsIn(folder, "BG999999999").empty());
    EXPECT_TRUE(orva::agencyReportsIn(kRegress + "/diff-same-period", period.declaration().fields.at(0)).empty());
}
