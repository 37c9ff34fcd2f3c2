// Two submissions of one period: how records are normalised and paired.
#include "compare/PeriodDiff.h"

#include "compare/CorrectionMemo.h"
#include "declaration/Declaration.h"
#include "period/DocumentTable.h"
#include "period/PeriodSession.h"
#include "text/Encoding.h"
#include "text/Errors.h"

#include "PeriodBuilder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <map>
#include <utility>
#include <vector>

namespace {

using orva::compare::Pairing;
using orva::compare::RecordKey;
using orva::fixture::RecordIdentity;

struct Rec {
    std::string number;
    std::string date = "05.10.2026";
    std::string counterparty = "BG111111110";
    std::string kind = "01";
    std::string amount = "100.00";
    std::string ordinal = "1";
    std::string branch = "0001";
    std::string name = "ДОСТАВЧИК ООД";
};

std::string purchase(const Rec& rec, orva::fixture::CodePage codePage = orva::fixture::CodePage::Windows1251,
                     orva::fixture::Alignment alignment = orva::fixture::Alignment::Right) {
    RecordIdentity identity;
    identity.documentNumber = rec.number;
    identity.date = rec.date;
    identity.counterpartyVat = rec.counterparty;
    identity.kind = rec.kind;
    identity.ordinal = rec.ordinal;
    identity.branch = rec.branch;
    identity.counterpartyName = rec.name;
    std::vector<std::string> amounts(7, "0.00");
    amounts[1] = rec.amount;
    return orva::fixture::journalRecord(identity, amounts, codePage, alignment);
}

std::vector<RecordKey> keysOf(const std::vector<Rec>& records) {
    std::vector<RecordKey> keys;
    for (const Rec& rec : records)
        keys.push_back(orva::compare::recordKey(
            orva::compare::normaliseRecord(purchase(rec), orva::purchasesRecordLayout(), orva::CodePage::Windows1251),
            keys.size() + 1));
    return keys;
}

struct PairingCase {
    const char* what;
    std::vector<Rec> older, newer;
    std::vector<std::pair<std::size_t, std::size_t>> pairs;
    std::vector<std::size_t> changed; // indices into pairs whose fingerprints differ
    std::vector<std::size_t> removed, added;
    std::size_t renumbered = 0;
    std::size_t repeatedKeys = 0;
};

TEST(PairRecords, pairsOnTheFullKeyThenOnCounterpartyAndNumber) {
    const std::vector<PairingCase> cases = {
        {"the same records", {{"1"}, {"2"}}, {{"1"}, {"2"}}, {{0, 0}, {1, 1}}, {}, {}, {}, 0, 0},
        {"new sequence numbers only: a renumbering, no change",
         {{"1"}, {"2"}},
         {{"1", "05.10.2026", "BG111111110", "01", "100.00", "7"}, {"2"}},
         {{0, 0}, {1, 1}},
         {},
         {},
         {},
         1,
         0},
        {"a new branch pairs and is a change",
         {{"1"}},
         {{"1", "05.10.2026", "BG111111110", "01", "100.00", "1", "0002"}},
         {{0, 0}},
         {0},
         {},
         {},
         0,
         0},
        {"leading zeros and blanks of the number are no key; slashes or dots in the date",
         {{"0000123", "05.10.2026"}},
         {{"123", "05/10/2026"}},
         {{0, 0}},
         {0}, // the number as written changed
         {},
         {},
         0,
         0},
        {"a changed date or type pairs in the second step",
         {{"5", "05.10.2026"}, {"6", "05.10.2026", "BG111111110", "01"}},
         {{"5", "06.10.2026"}, {"6", "05.10.2026", "BG111111110", "03"}},
         {{0, 0}, {1, 1}},
         {0, 1},
         {},
         {},
         0,
         0},
        {"another counterparty is a removal and an addition",
         {{"1"}},
         {{"1", "05.10.2026", "BG222222220"}},
         {},
         {},
         {0},
         {0},
         0,
         0},
        {"an exact match wins over an earlier loose one",
         {{"9", "01.10.2026"}, {"9", "02.10.2026"}},
         {{"9", "02.10.2026"}},
         {{1, 0}},
         {},
         {0},
         {},
         0,
         0},
        {"several records of one key pair in file order",
         {{"4", "05.10.2026", "BG111111110", "01", "1.00"}, {"4", "05.10.2026", "BG111111110", "01", "2.00"}},
         {{"4", "05.10.2026", "BG111111110", "01", "2.00"}},
         {{0, 0}},
         {0},
         {1},
         {},
         0,
         1},
        {"added records keep the newer file's order", {{"1"}}, {{"3"}, {"1"}, {"2"}}, {{0, 1}}, {}, {}, {0, 2}, 0, 0},
        {"an amount written otherwise is no change",
         {{"1", "05.10.2026", "BG111111110", "01", "100"}},
         {{"1", "05.10.2026", "BG111111110", "01", "100.00"}},
         {{0, 0}},
         {},
         {},
         {},
         0,
         0},
    };
    for (const PairingCase& c : cases) {
        SCOPED_TRACE(c.what);
        const std::vector<RecordKey> older = keysOf(c.older), newer = keysOf(c.newer);
        const Pairing pairing = orva::compare::pairRecords(older, newer);
        EXPECT_EQ(pairing.pairs, c.pairs);
        EXPECT_EQ(pairing.removed, c.removed);
        EXPECT_EQ(pairing.added, c.added);
        EXPECT_EQ(pairing.repeatedKeys, c.repeatedKeys);
        std::vector<std::size_t> changed;
        std::size_t renumbered = 0;
        for (std::size_t i = 0; i < pairing.pairs.size(); ++i) {
            const RecordKey& a = older[pairing.pairs[i].first];
            const RecordKey& b = newer[pairing.pairs[i].second];
            if (a.fingerprint != b.fingerprint)
                changed.push_back(i);
            else if (a.sequence != b.sequence)
                ++renumbered;
        }
        EXPECT_EQ(changed, c.changed);
        EXPECT_EQ(renumbered, c.renumbered);
    }
}

// A key is the fields' bytes and where each ends: bytes moved from one field into the next, across the hash's
// eight-byte words too, make another fingerprint.
TEST(RecordKeys, fieldsAreToldApartWhereverTheyEnd) {
    std::vector<std::uint64_t> fingerprints;
    for (const std::string whole : {"BG1234567", "BG12345678901234", "BG12345678901235", ""})
        for (std::size_t cut = 0; cut <= whole.size(); ++cut) {
            orva::compare::NormalRecord record(25, "");
            record[7] = whole.substr(0, cut); // the counterparty and its name, one after the other
            record[8] = whole.substr(cut);
            fingerprints.push_back(orva::compare::recordKey(record, 1).fingerprint);
        }
    std::sort(fingerprints.begin(), fingerprints.end());
    EXPECT_EQ(std::adjacent_find(fingerprints.begin(), fingerprints.end()), fingerprints.end());
}

// Lists long enough to be ordered on two threads pair as the plain rule says: each older record, in file
// order, takes the first newer record of its key not yet taken.
TEST(PairRecords, longListsPairOnTheirKeysInFileOrder) {
    constexpr std::size_t kRecords = 100000;
    std::vector<RecordKey> older(kRecords), newer(kRecords);
    for (std::size_t i = 0; i < kRecords; ++i) {
        // Keys repeat every 70,000 records; the newer list holds them backwards, every 7th one changed.
        older[i].exact = older[i].loose = i % 70000 + 1;
        newer[kRecords - 1 - i].exact = newer[kRecords - 1 - i].loose = i % 7 == 0 ? kRecords + i : i % 70000 + 1;
    }
    std::map<std::uint64_t, std::deque<std::size_t>> waiting;
    for (std::size_t n = 0; n < kRecords; ++n)
        waiting[newer[n].exact].push_back(n);
    Pairing expected;
    for (std::size_t o = 0; o < kRecords; ++o) {
        std::deque<std::size_t>& those = waiting[older[o].exact];
        if (those.empty()) {
            expected.removed.push_back(o);
            continue;
        }
        expected.pairs.emplace_back(o, those.front());
        those.pop_front();
    }
    for (const auto& [key, left] : waiting)
        expected.added.insert(expected.added.end(), left.begin(), left.end());
    std::sort(expected.added.begin(), expected.added.end());
    const Pairing pairing = orva::compare::pairRecords(older, newer);
    EXPECT_EQ(pairing.pairs, expected.pairs);
    EXPECT_EQ(pairing.removed, expected.removed);
    EXPECT_EQ(pairing.added, expected.added);
}

TEST(NormaliseRecord, theSameDataInEitherGenerationAndCodePageIsEqual) {
    using orva::fixture::Alignment;
    using orva::fixture::CodePage;
    const Rec rec{"77", "05.10.2026", "BG111111110", "01", "12.5"};
    const orva::compare::NormalRecord today = orva::compare::normaliseRecord(
        purchase(rec) + "  ", orva::purchasesRecordLayout(), orva::CodePage::Windows1251);
    const struct {
        const char* what;
        std::string record;
        orva::CodePage codePage;
    } cases[] = {
        {"classic MIK record of 272 bytes", purchase(rec, CodePage::Mik), orva::CodePage::Mik},
        {"Windows-1251, amounts on the left", purchase(rec, CodePage::Windows1251, Alignment::Left),
         orva::CodePage::Windows1251},
        {"dates with slashes", purchase(Rec{"77", "05/10/2026", "BG111111110", "01", "12.50"}),
         orva::CodePage::Windows1251},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(orva::compare::normaliseRecord(c.record, orva::purchasesRecordLayout(), c.codePage), today);
    }
    // A name that differs in one letter is not normalised away.
    Rec other = rec;
    other.name = "ДОСТАВЧИК ЕООД";
    EXPECT_NE(
        orva::compare::normaliseRecord(purchase(other), orva::purchasesRecordLayout(), orva::CodePage::Windows1251),
        today);
}

} // namespace

namespace {

std::string win(const std::string& utf8) {
    return orva::utf8ToWin1251(utf8);
}

// The memo's pages at byte level: the header on every page, lines cut at the journals' 117
// characters, the closing line last, never a page longer than asked.
TEST(CorrectionMemo, pagesTheDifferencesUnderTheHeaderOfEveryPage) {
    orva::compare::PeriodDiff diff;
    diff.cells.push_back({"кл.20", "", "100.00", "120.00", "20.00"});
    orva::compare::JournalDiff purchases;
    purchases.fileName = "pokupki.txt";
    purchases.oldRecords = purchases.newRecords = 2;
    const std::string longName(60, 'A');
    purchases.records.push_back({orva::compare::ChangeKind::Changed,
                                 2,
                                 3,
                                 "документ 01 № 5 от 05.10.2026, BG111111110",
                                 {{"кол.7", "име на контрагента", longName, longName + "B"}}});
    diff.journals.push_back(purchases);
    orva::Declaration newer;
    newer.captionText = win(" ДАНЪЧЕН ПЕРИОД 10/2026     ИН ПО ЗДДС BG123456786     ФИРМА");

    const std::vector<std::string> header = {
        win(" СПРАВКА ЗА РАЗЛИКИТЕ МЕЖДУ ДВЕ ПОДАВАНИЯ ЗА ПЕРИОДА"),
        newer.captionText,
        win(" Подадено: /стари/10"),
        win(" Ново:     /нови/10"),
        std::string(117, '-'),
    };
    const std::string changedField =
        win("      кол.7 име на контрагента  \"" + longName + "\" -> \"" + longName + "B\"").substr(0, 117);
    const std::vector<std::vector<std::string>> bodies = {
        {"", win("Декларация"), win("  кл.20  \"100.00\" -> \"120.00\"  разлика 20.00")},
        {"", win("Дневник на покупките (pokupki.txt): 2 -> 2 записа"),
         win("  променен  ред 2 -> 3      документ 01 № 5 от 05.10.2026, BG111111110")},
        {changedField, "", win("Подаванията се различават.")},
        {std::string(117, '=')},
    };
    std::vector<std::string> expected;
    for (std::size_t page = 0; page < bodies.size(); ++page) {
        expected.push_back(std::string(110, ' ') + win(" стр.0") + std::to_string(page + 1));
        expected.insert(expected.end(), header.begin(), header.end());
        expected.insert(expected.end(), bodies[page].begin(), bodies[page].end());
    }
    EXPECT_EQ(orva::compare::correctionMemo(diff, newer, "/стари/10", "/нови/10", 9), expected);
    EXPECT_EQ(changedField.size(), 117u);

    // A page that cannot hold the header and a line of the differences.
    EXPECT_THROW(orva::compare::correctionMemo(diff, newer, "a", "b", 6), orva::Error);
}

// The memo is a document of two periods: without the older one the table does not offer it.
TEST(CorrectionMemo, isTheDocumentOfTwoPeriods) {
    const std::string cases = std::string(ORVA_TEST_DATA) + "/../regress/diff-return-cell-changed/";
    const orva::PeriodSession older(cases + "old");
    const orva::PeriodSession newer(cases + "new");
    const orva::DocumentType& memo = orva::correctionMemoDocument();
    orva::DocumentInputs inputs;
    inputs.period = &newer;
    EXPECT_FALSE(memo.available(inputs));
    inputs.olderPeriod = &older;
    ASSERT_TRUE(memo.available(inputs));
    std::vector<std::string> lines;
    orva::LineCollector sink(lines);
    memo.build(inputs, 60, sink);
    const std::vector<std::string> body(lines.begin() + 6, lines.end());
    EXPECT_EQ(body, (std::vector<std::string>{"", win("Декларация"),
                                              win("  кл.20  \"29755.04\" -> \"29800.04\"  разлика 45.00"), "",
                                              win("Подаванията се различават."), std::string(117, '=')}));
    EXPECT_EQ(lines.at(4), win(" Ново:     " + cases + "new"));
}

} // namespace

namespace {

// Amounts compare as money whatever way they are written; a real change of a cent is still one.
TEST(NormaliseRecord, amountsCompareAsMoney) {
    const struct {
        const char* older;
        const char* newer;
        bool same;
    } cases[] = {
        {"0.00", "-0.00", true},   {"7.50", "0007.50", true}, {"0.50", ".5", true},     {"-3.10", "-3.1", true},
        {"1.00", "1.001", true},   {"1.00", "1.01", false},   {"-1.00", "1.00", false}, {"10.00", "100.00", false},
        {"12,50", "12.50", false}, // no number is no amount: compared as written
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.older) + " / " + c.newer);
        const auto normal = [](const char* amount) {
            Rec rec{"1"};
            rec.amount = amount;
            return orva::compare::normaliseRecord(purchase(rec), orva::purchasesRecordLayout(),
                                                  orva::CodePage::Windows1251);
        };
        EXPECT_EQ(normal(c.older) == normal(c.newer), c.same);
    }
}

} // namespace

namespace {

// Folders of two trees pair by firm and period alone; what cannot pair is a row of its own.
TEST(PairPeriodFolders, pairsByFirmAndPeriodNotByName) {
    using orva::compare::PeriodPair;
    const auto keyOf = [](const std::string& folder) { return folder.substr(folder.find(':') + 1); };
    const struct {
        const char* what;
        std::vector<std::string> older, newer;
        std::vector<PeriodPair> pairs;
    } cases[] = {
        {"other names, one firm and period",
         {"old/a:BG1-202610"},
         {"new/zz:BG1-202610"},
         {{"BG1-202610", "old/a:BG1-202610", "new/zz:BG1-202610", false}}},
        {"a folder without a partner on either side",
         {"o:BG1-202610"},
         {"n:BG1-202611"},
         {{"BG1-202610", "o:BG1-202610", "", false}, {"BG1-202611", "", "n:BG1-202611", false}}},
        {"one firm and period twice in a tree pairs with nothing",
         {"o:BG1-202610"},
         {"n1:BG1-202610", "n2:BG1-202610"},
         {{"BG1-202610", "o:BG1-202610", "", false},
          {"BG1-202610", "", "n1:BG1-202610", true},
          {"BG1-202610", "", "n2:BG1-202610", true}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::vector<PeriodPair> pairs = orva::compare::pairPeriodFolders(c.older, c.newer, keyOf);
        ASSERT_EQ(pairs.size(), c.pairs.size());
        for (std::size_t i = 0; i < pairs.size(); ++i) {
            EXPECT_EQ(pairs[i].key, c.pairs[i].key);
            EXPECT_EQ(pairs[i].older, c.pairs[i].older);
            EXPECT_EQ(pairs[i].newer, c.pairs[i].newer);
            EXPECT_EQ(pairs[i].repeated, c.pairs[i].repeated);
        }
    }
}

} // namespace
