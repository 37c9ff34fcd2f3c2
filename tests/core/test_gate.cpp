// The gate's lines: what the window asks about and what export and print refuse.
#include "period/Gate.h"

#include "PeriodBuilder.h"

#include <gtest/gtest.h>

namespace {

using orva::fixture::RecordIdentity;

std::string purchase(const std::string& vatNumber, const std::string& period) {
    RecordIdentity identity;
    identity.vatNumber = vatNumber;
    identity.period = period;
    return orva::fixture::journalRecord(identity, std::vector<std::string>(7, "0.00"));
}

orva::JournalGate gate() {
    return orva::JournalGate("Pokupki.txt", orva::JournalKind::Purchases, orva::CodePage::Mik, "BG865197101    ",
                             "202611");
}

TEST(JournalGate, namesRecordsOfAnotherFirmOrPeriodByOwner) {
    orva::JournalGate all = gate();
    for (int i = 0; i < 203; ++i)
        all.record(purchase("BG177437914", "202009"));
    EXPECT_EQ(all.problems(), std::vector<std::string>{"Pokupki.txt: 203 от 203 записа са на BG177437914 за 09/2020, "
                                                       "а декларацията – на BG865197101 за 11/2026."});

    orva::JournalGate mixed = gate();
    mixed.record(purchase("BG865197101", "202611"));
    mixed.record(purchase("BG865197101", "202610"));
    mixed.record(purchase(" BG865197101", "202611")); // blanks around a number are not a difference
    EXPECT_EQ(mixed.problems(), std::vector<std::string>{"Pokupki.txt: 1 от 3 записа е на BG865197101 за 10/2026, "
                                                         "а декларацията – на BG865197101 за 11/2026."});

    // A file of a thousand owners keeps eight of them and counts the rest.
    orva::JournalGate many = gate();
    for (int i = 0; i < 1000; ++i)
        many.record(purchase("BG" + std::to_string(100000000 + i), "202611"));
    const std::vector<std::string> lines = many.problems();
    ASSERT_EQ(lines.size(), 9u);
    EXPECT_EQ(lines.back(), "Pokupki.txt: още 992 от 1000 записа са на други лица или за други периоди, "
                            "а декларацията – на BG865197101 за 11/2026.");
}

TEST(JournalGate, namesTheNulAndTheCutLastRecord) {
    const struct {
        std::size_t nulLine, linesAfter, cutLine;
        std::string cutText;
        std::vector<std::string> expected;
    } cases[] = {
        {5, 6, 0, "", {"Pokupki.txt, ред 5: байт NUL; 6 реда след него не са в дневника."}},
        {5, 1, 0, "", {"Pokupki.txt, ред 5: байт NUL; 1 ред след него не е в дневника."}},
        {9, 0, 0, "", {}}, // NUL padding at the end hides nothing
        {0,
         0,
         11,
         "BG865197101    202611",
         {"Pokupki.txt, ред 11: последният ред е по-къс от запис (21 знака) и не е в дневника."}},
        {0, 0, 11, "   \x1a  ", {}}, // blanks and the DOS end mark
        {4, 3, 4, "BG8651", {"Pokupki.txt, ред 4: байт NUL; 3 реда след него не са в дневника."}},
    };
    for (const auto& c : cases) {
        orva::JournalGate journal = gate();
        if (c.nulLine != 0)
            journal.nulByte(c.nulLine, c.linesAfter);
        if (c.cutLine != 0)
            journal.shortLastLine(c.cutText, c.cutLine);
        EXPECT_EQ(journal.problems(), c.expected) << c.nulLine << " " << c.cutLine;
    }
}

// A record cut short printed its cut amount as if whole ("123" for 123456.78), and a short line
// with records after it ended the journal without a word; both are named, as a NUL is.
TEST(JournalGate, namesCutRecordsAndTheShortLineThatEndsTheJournal) {
    const std::string classic = purchase("BG865197101", "202611");
    const std::string today = classic + "  ";
    const std::string sale = orva::fixture::journalRecord(RecordIdentity{}, std::vector<std::string>(17, "0.00"));
    struct Short {
        std::string text;
        std::size_t line, linesAfter, filledAfter;
    };
    const struct {
        const char* name;
        orva::JournalKind kind;
        std::vector<std::string> records;
        Short shortLine;
        std::size_t nulLine, linesAfterNul;
        std::vector<std::string> expected;
    } cases[] = {
        {"three cut records in a today's file",
         orva::JournalKind::Purchases,
         {today, today.substr(0, 271), today, today.substr(0, 200), today.substr(0, 100)},
         {},
         0,
         0,
         {"Pokupki.txt, ред 2: записът е по-къс от полагащото се (271 знака вместо поне 272); от кол.15 нататък "
          "полетата липсват или са отрязани. Още 2 записа след него са по-къси от полагащото се."}},
        {"two cut records",
         orva::JournalKind::Purchases,
         {classic, classic.substr(0, 190), classic.substr(0, 271)},
         {},
         0,
         0,
         {"Pokupki.txt, ред 2: записът е по-къс от полагащото се (190 знака вместо поне 272); от кол.10 нататък "
          "полетата липсват или са отрязани. Още 1 запис след него е по-къс от полагащото се."}},
        {"sales record cut",
         orva::JournalKind::Sales,
         {sale, sale.substr(0, 420)},
         {},
         0,
         0,
         {"Pokupki.txt, ред 2: записът е по-къс от полагащото се (420 знака вместо поне 422); от кол.25 нататък "
          "полетата липсват или са отрязани."}},
        // The record a NUL cuts is the NUL's case; NUL padding that hides no line leaves the cut its own.
        {"record cut by a NUL",
         orva::JournalKind::Purchases,
         {classic, classic.substr(0, 200)},
         {},
         2,
         3,
         {"Pokupki.txt, ред 2: байт NUL; 3 реда след него не са в дневника."}},
        {"record cut by NUL padding",
         orva::JournalKind::Purchases,
         {classic, classic.substr(0, 200)},
         {},
         2,
         0,
         {"Pokupki.txt, ред 2: записът е по-къс от полагащото се (200 знака вместо поне 272); от кол.11 нататък "
          "полетата липсват или са отрязани."}},
        {"every case in its order",
         orva::JournalKind::Purchases,
         {purchase("BG865197101", "202610"), classic.substr(0, 266)},
         {"", 3, 4, 2},
         6,
         2,
         {"Pokupki.txt: 1 от 2 записа е на BG865197101 за 10/2026, а декларацията – на BG865197101 за 11/2026.",
          "Pokupki.txt, ред 2: записът е по-къс от полагащото се (266 знака вместо поне 272); от кол.15 нататък "
          "полетата липсват или са отрязани.",
          "Pokupki.txt, ред 3: ред, по-къс от запис (0 знака), прекъсва дневника; 4 реда след него не са в дневника.",
          "Pokupki.txt, ред 6: байт NUL; 2 реда след него не са в дневника."}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        orva::JournalGate journal =
            c.kind == orva::JournalKind::Purchases
                ? gate()
                : orva::JournalGate("Pokupki.txt", c.kind, orva::CodePage::Mik, "BG123456786", "202610");
        for (const std::string& record : c.records)
            journal.record(record);
        if (c.shortLine.line != 0)
            journal.shortLine(c.shortLine.text, c.shortLine.line, c.shortLine.linesAfter, c.shortLine.filledAfter);
        if (c.nulLine != 0)
            journal.nulByte(c.nulLine, c.linesAfterNul);
        EXPECT_EQ(journal.problems(), c.expected);
    }
}

} // namespace
