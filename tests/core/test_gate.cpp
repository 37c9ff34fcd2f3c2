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

} // namespace
