#include "PeriodBuilder.h"
#include "check/CheckReport.h"
#include "check/FindingSpool.h"
#include "period/PeriodSession.h"
#include "text/LineFile.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <string>
#include <sys/stat.h>
#include <vector>

using namespace orva;

namespace {

class Session : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = ::testing::TempDir() + "orva-session-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        folder_ = pattern;
        fixture::Period period = fixture::consistentPeriod(6, 7);
        period.files["VIES.TXT"] = "";
        fixture::writePeriod(period, folder_);
    }
    void TearDown() override { std::system(("rm -rf '" + folder_ + "'").c_str()); }

public:
    std::string path(const char* name) const { return folder_ + "/" + name; }

protected:
    std::string folder_;
};

} // namespace

// The check in the window and the print dialog's re-paging read the journals again after the dialog:
// the check once reported on whatever was on disk then, without a word that it was not the period
// shown. Each way a file can change after the load must be named, and nothing else.
TEST_F(Session, NamesEveryFileChangedSinceItWasRead) {
    const struct {
        const char* name;
        std::function<void(Session&)> change;
        std::vector<std::string> changed;
    } cases[] = {
        {"nothing", [](Session&) {}, {}},
        {"a record appended",
         [](Session& s) { std::ofstream(s.path("pokupki.txt"), std::ios::app) << std::string(272, '1') << "\r\n"; },
         {"pokupki.txt"}},
        {"cut to nothing",
         [](Session& s) { std::ofstream(s.path("prodagbi.txt"), std::ios::trunc); },
         {"prodagbi.txt"}},
        {"replaced by a file of the same bytes",
         [](Session& s) {
             writeFileAtomic(s.path("deklar.txt") + ".new", readFileBytes(s.path("deklar.txt")));
             std::rename((s.path("deklar.txt") + ".new").c_str(), s.path("deklar.txt").c_str());
         },
         {"deklar.txt"}},
        {"removed", [](Session& s) { std::remove(s.path("VIES.TXT").c_str()); }, {"VIES.TXT"}},
        {"two at once",
         [](Session& s) {
             std::remove(s.path("prodagbi.txt").c_str());
             std::ofstream(s.path("pokupki.txt"), std::ios::app) << "\r\n";
         },
         {"pokupki.txt", "prodagbi.txt"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        const PeriodSession session(folder_);
        EXPECT_TRUE(session.changedFiles().empty());
        c.change(*this);
        EXPECT_EQ(session.changedFiles(), c.changed);
        EXPECT_EQ(session.changedFilesNote().empty(), c.changed.empty());
        TearDown();
    }
}

// The window's check tab says it when it read files other than the ones shown.
TEST_F(Session, TheChecksReportSaysWhichFilesChanged) {
    const PeriodSession session(folder_);
    EXPECT_EQ(check::runTextReport(session, nullptr).filesChanged, "");
    std::ofstream(path("pokupki.txt"), std::ios::app) << "\r\n";
    const check::CheckReport report = check::runTextReport(session, nullptr);
    EXPECT_EQ(report.filesChanged, "Файлът pokupki.txt е променен след зареждането на периода: прочетено е това, "
                                   "което е на диска сега, не показаното.");
}

namespace {

// What a period's purchases journal gives, as text: its document and the gate's cases, or the load's
// error.
std::string purchasesOutcome(const PeriodSession& session) {
    std::vector<std::string> lines;
    LineCollector collector(lines);
    std::string text;
    try {
        const JournalSummary summary = session.journal(JournalKind::Purchases, 60, collector);
        for (const std::string& problem : summary.problems)
            text += "gate: " + problem + "\n";
    } catch (const PeriodError& error) {
        return std::string("error: ") + error.what();
    }
    for (const std::string& line : lines)
        text += line + "\n";
    return text;
}

// A purchase record whose name field (bytes 87 on) holds `name` as it stands, in no code page's hands.
std::string purchaseWithName(int index, const std::string& name, const std::string& amount = "10.00" /* 5 bytes */) {
    fixture::RecordIdentity identity;
    identity.ordinal = std::to_string(index);
    identity.documentNumber = std::to_string(100 + index);
    identity.counterpartyVat = "BG130460283";
    std::string record = fixture::journalRecord(identity, {"10.00", "10.00", "2.00", "0.00", "0.00", "0.00", "0.00"});
    record.replace(87, name.size(), name);
    // Column 9's bytes as given (the builder would encode them).
    record.replace(record.find("10.00", fixture::kIdentityWidth), amount.size(), amount);
    return record;
}

} // namespace

// A journal's code page is counted by the read that builds it, begun in the return record's code page;
// what the journal gives must be what a read after a whole count gives, on every input: above all where
// only the last bytes decide (a first record of Windows-1251 punctuation reads as MIK letters alone).
// Windows-1251 letters read as MIK stay as they are: only the punctuation tells a wrong read.
TEST_F(Session, AJournalReadOnceGivesWhatACountedReadGives) {
    // Windows-1251 punctuation: „ “ « » № – — all lie where MIK keeps its letters.
    const std::string punctuation = "\x84\xB9"
                                    "1\x93 \x96 \xAB\xB9"
                                    "2\xBB \x97 \x84\xB9"
                                    "3\x93";
    const std::string win1251Letters = "\xC6\xC5\xCB\xDF\xC7\xCA\xCE\xC2 \xC8 \xD1\xC8\xCD\xCE\xC2\xC5";
    const std::string mikLetters = "\x86\x85\x8B\x9F\x87\x8A\x8E\x82 \x88 \x91\x88\x8D\x8E\x82\x85";
    const std::string mikBoxes = "\xC4\xC4\xC4\xC4\xC4\xC4\xC4\xC4\xC4\xC4\xC4\xC4\xC4\xC4\xC4\xC4\xC4\xC4";
    const struct {
        const char* name;
        fixture::CodePage returnCodePage;
        std::string purchases;
        CodePage counted; // the journal's code page over all its bytes
    } cases[] = {
        {"Windows-1251 beside a MIK return, decided by the last record", fixture::CodePage::Mik,
         purchaseWithName(1, punctuation) + "\r\n" + purchaseWithName(2, win1251Letters) + "\r\n",
         CodePage::Windows1251},
        {"MIK beside a Windows-1251 return, decided by the last record", fixture::CodePage::Windows1251,
         purchaseWithName(1, mikBoxes) + "\r\n" + purchaseWithName(2, mikLetters + mikLetters) + "\r\n", CodePage::Mik},
        {"decided by the bytes after a NUL, which the document leaves out", fixture::CodePage::Mik,
         purchaseWithName(1, punctuation) + "\r\n" + std::string(1, '\0') + "\r\n" +
             purchaseWithName(2, win1251Letters) + "\r\n",
         CodePage::Windows1251},
        {"an amount that is no number, quoted in the error", fixture::CodePage::Mik,
         purchaseWithName(1, punctuation, "1\xB9.00") + "\r\n" + purchaseWithName(2, win1251Letters) + "\r\n",
         CodePage::Windows1251},
        {"a short line that ends the data, quoted by the gate and the check", fixture::CodePage::Mik,
         purchaseWithName(1, punctuation) + "\r\n\x84\xCA\xD0\xC0\xC9\x93\r\n" + purchaseWithName(2, win1251Letters) +
             "\r\n",
         CodePage::Windows1251},
        {"the return's code page, as most periods are", fixture::CodePage::Mik,
         purchaseWithName(1, mikLetters) + "\r\n", CodePage::Mik},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TearDown();
        ASSERT_EQ(::mkdir(folder_.c_str(), 0700), 0);
        fixture::Period period = fixture::consistentPeriod(2, 2);
        period.codePage = c.returnCodePage;
        period.files["pokupki.txt"] = c.purchases;
        fixture::writePeriod(period, folder_);

        const PeriodSession once(folder_);
        const CodePage guessed = once.filesAsRead().purchases.codePage;
        const std::string read = purchasesOutcome(once);
        const check::CheckReport checked = check::runTextReport(PeriodSession(folder_), nullptr);

        // The old way: every byte counted before anything is built.
        const PeriodSession counted(folder_);
        EXPECT_EQ(counted.files().purchases.codePage, c.counted);
        EXPECT_EQ(once.filesAsRead().purchases.codePage, c.counted);
        EXPECT_EQ(read, purchasesOutcome(counted));
        EXPECT_EQ(checked.text, check::runTextReport(counted, nullptr).text);
        // The case is what it says: the first guess was the return's, and only the count settled it.
        EXPECT_EQ(guessed == c.counted, std::string(c.name).rfind("the return's", 0) == 0);
    }
}

namespace {

struct CollectedFindings final : FindingSink {
    std::vector<check::Finding> findings;
    void finding(const check::Finding& finding) override { findings.push_back(finding); }
};

bool sameFinding(const check::Finding& a, const check::Finding& b) {
    return a.file == b.file && a.line == b.line && a.field == b.field && a.fieldName == b.fieldName &&
           a.severity == b.severity && a.rule == b.rule && a.value == b.value && a.message == b.message &&
           a.detail == b.detail;
}

} // namespace

// The check holds a journal's findings until both code pages are counted: the first thousands in
// memory, the rest in a temporary file of their own shorthand. Every field of every finding must come
// back as it went in, in order, the unusual ones (another file, a message of its own) included, and a
// journal checked again must leave nothing of its first pass.
TEST(FindingSpool, GivesBackEveryFindingAsFoundAndForgetsARestartedPass) {
    std::vector<check::Finding> made;
    for (std::size_t i = 0; i < 10000; ++i) {
        check::Finding finding;
        finding.file = i % 997 == 5 ? "deklar.txt" : "pokupki.txt";
        finding.line = i + 1;
        finding.rule = i % 3 == 0 ? check::RuleId::DocumentNumber : check::RuleId::AmountAlignment;
        finding.severity = check::ruleInfo(finding.rule).severity;
        finding.message = i % 1001 == 7 ? "особено съобщение" : check::ruleInfo(finding.rule).message;
        finding.field = "кол." + std::to_string(i % 25);
        finding.fieldName = i % 2 ? "номер на документа" : "";
        finding.value = std::string(i % 40, static_cast<char>('a' + i % 26)) + (i % 5 == 0 ? std::string(1, '\0') : "");
        finding.detail = i % 4 ? "ред " + std::to_string(i) : "";
        made.push_back(finding);
    }
    FindingSpool spool;
    for (std::size_t i = 0; i < 6000; ++i)
        spool.finding(made[(i * 7) % made.size()]);
    spool.restart();
    for (const check::Finding& finding : made)
        spool.finding(finding);
    CollectedFindings back;
    spool.replay(back);
    ASSERT_EQ(back.findings.size(), made.size());
    for (std::size_t i = 0; i < made.size(); ++i)
        ASSERT_TRUE(sameFinding(back.findings[i], made[i])) << i;
    // Replayed once: nothing stays.
    CollectedFindings again;
    spool.replay(again);
    EXPECT_TRUE(again.findings.empty());
}
