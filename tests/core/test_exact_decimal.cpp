// Exact money: the expected values were computed once with Python's decimal module
// (precision 200, ROUND_HALF_UP, which rounds half away from zero), not by the code under test.
#include "text/ExactDecimal.h"

#include "PeriodBuilder.h"
#include "check/ReturnRules.h"
#include "declaration/Declaration.h"

#include "ExpectThrow.h"
#include "text/Errors.h"

#include <gtest/gtest.h>

#include <string>

namespace {

orva::ExactDecimal value(const std::string& text) {
    const auto parsed = orva::ExactDecimal::parse(text);
    EXPECT_TRUE(parsed.has_value()) << text;
    return parsed.value_or(orva::ExactDecimal());
}

struct ProductCase {
    const char* a;
    const char* b;
    const char* exact;
    const char* money;
};

// Half-cent products are where long double rounded the wrong way (9.975 held as 9.97499...).
TEST(ExactDecimal, productsRoundHalfAwayFromZero) {
    const ProductCase cases[] = {
        {"10.50", "0.95", "9.9750", "9.98"},
        {"0.35", "0.5", "0.175", "0.18"},
        {"1.05", "0.5", "0.525", "0.53"},
        {"2.675", "1", "2.675", "2.68"},
        {"999999999999.99", "0.85", "849999999999.9915", "849999999999.99"},
        {"-10.50", "0.95", "-9.9750", "-9.98"},
        {"0.01", "0.5", "0.005", "0.01"},
        {"-0.01", "0.5", "-0.005", "-0.01"},
        {"123456.78", "0.33", "40740.7374", "40740.74"},
        {"1e3", "0.001", "1.000", "1.00"},
        {"-0.001", "4", "-0.004", "0.00"}, // rounds to zero: no "-0.00"
    };
    for (const ProductCase& c : cases) {
        const orva::ExactDecimal product = value(c.a) * value(c.b);
        EXPECT_EQ(product.exactText(), c.exact) << c.a << " × " << c.b;
        EXPECT_EQ(product.moneyText(), c.money) << c.a << " × " << c.b;
    }
}

TEST(ExactDecimal, wideSumsKeepEveryCent) {
    orva::ExactSum sum;
    for (int i = 0; i < 1000; ++i)
        ASSERT_TRUE(sum.add("999999999999.99"));
    EXPECT_EQ(sum.value().moneyText(), "999999999999990.00");

    // At 18 decimals, 10^30 needs more than 128 bits: the total goes on exactly.
    orva::ExactSum wide;
    for (int i = 0; i < 40; ++i)
        ASSERT_TRUE(wide.add("9.999999999999999999"));
    ASSERT_TRUE(wide.add("1e30"));
    ASSERT_TRUE(wide.add("-0.000000000000000040"));
    EXPECT_EQ(wide.value().exactText(), "1000000000000000000000000000399.999999999999999920");
}

TEST(ExactDecimal, fastAndExactPathsAgree) {
    // Each row: amounts that the fast path takes, and the same values written so that it does not.
    const std::vector<std::pair<std::string, std::string>> rows = {
        {"  1234.56", "1.23456e3"},        {"-0.50", "-5E-1"}, {"0.00", "0e99"}, {"12.345", "12345e-3"},
        {"+7", "7.000000000000000000000"},
    };
    orva::ExactSum fast, exact;
    for (const auto& [plain, other] : rows) {
        ASSERT_TRUE(fast.add(plain)) << plain;
        ASSERT_TRUE(exact.add(other)) << other;
    }
    EXPECT_EQ(fast.value(), exact.value());
    EXPECT_EQ(fast.value().exactText(), "1253.405");
}

// A total takes each text as ExactDecimal::parse reads it, whichever of its ways the text goes: the
// journal's usual two-decimal field, its edges, and the texts that only look like it.
TEST(ExactDecimal, aTotalReadsEachTextAsParseDoes) {
    const char* const texts[] = {
        "1.00",
        "  -12.34  ",
        "+5.67",
        "-0.00",
        "1234567890123456.78",
        "12345678901234567.89",
        ".50",
        "1.5",
        "1.500",
        "00012.30",
        "-",
        "- 1.00",
        "1 .00",
        "1..00",
        "1.0a",
        "1.00-",
        "   .  ",
        "99999999999999.99",
        "-0000.01",
        "+-1.00",
        "1.00 1",
        "0.01",
    };
    for (const char* text : texts) {
        const auto parsed = orva::ExactDecimal::parse(text);
        orva::ExactSum sum;
        ASSERT_TRUE(sum.add("0.00"));
        EXPECT_EQ(sum.add(text), parsed.has_value()) << '"' << text << '"';
        if (parsed)
            EXPECT_EQ(sum.value(), *parsed) << '"' << text << '"';
        else
            EXPECT_EQ(sum.value(), orva::ExactDecimal()) << '"' << text << '"';
    }
}

TEST(ExactDecimal, grammar) {
    const struct {
        const char* text;
        const char* exact; // nullptr: not a number
    } cases[] = {
        {"  12.50 ", "12.50"}, {"-0", "0"},      {".5", "0.5"},
        {"5.", "5"},           {"1E+2", "100"},  {"-2.5e-2", "-0.025"},
        {"", nullptr},         {"   ", nullptr}, {"1,50", nullptr},
        {"e5", nullptr},       {"1e", nullptr},  {"inf", nullptr},
        {"0x10", nullptr},     {"1 2", nullptr}, {"--1", nullptr},
        {"1e4932", nullptr},   {"1e-5000", "0"}, {"1e999999999999", nullptr},
    };
    for (const auto& c : cases) {
        const auto parsed = orva::ExactDecimal::parse(c.text);
        if (c.exact == nullptr) {
            EXPECT_FALSE(parsed.has_value()) << '"' << c.text << '"';
            orva::ExactSum sum;
            EXPECT_FALSE(sum.add(c.text)) << '"' << c.text << '"';
        } else {
            ASSERT_TRUE(parsed.has_value()) << '"' << c.text << '"';
            EXPECT_EQ(parsed->exactText(), c.exact) << '"' << c.text << '"';
        }
    }
}

TEST(ExactDecimal, comparesExactlyAndRefusesTextsNoAmountCanBe) {
    EXPECT_LT(value("0.1") + value("0.2"), value("0.30000000000000000001"));
    EXPECT_EQ(value("0.1") + value("0.2"), value("0.3"));
    EXPECT_GT(value("-1"), value("-1.000000000000000000001"));
    EXPECT_EQ(orva::ExactDecimal::compareMagnitude(value("-3"), value("2")), 1);
    EXPECT_EQ(value("0.5") - value("0.5"), orva::ExactDecimal());

    const orva::ExactDecimal huge = value("1e4931");
    EXPECT_FALSE(huge.fitsMoneyFormat());
    EXPECT_THROW_MSG(huge.moneyText(), orva::Error,
                     "сумата не може да се изпише в стотинки: тя е извън обхвата на аритметиката");
    EXPECT_TRUE(value("9e4929").fitsMoneyFormat());
}

// The rule 40 = 41 + 42 × 33 + 43 on half-cent products: 40 written as Python's decimal rounds the
// product holds, a cent below it fails with the difference -0.01 (long double failed about one in nine).
TEST(ExactDecimal, coefficientRuleOnHalfCentProducts) {
    const struct {
        const char* k42;
        const char* k33;
        const char* k40; // ROUND_HALF_UP of the exact product
        const char* below;
    } cases[] = {
        {"10.50", "0.95", "9.98", "9.97"},
        {"0.35", "0.50", "0.18", "0.17"},
        {"1.05", "0.50", "0.53", "0.52"},
        {"123.45", "0.10", "12.35", "12.34"},
        {"0.01", "0.50", "0.01", "0.00"},
        {"20.10", "0.25", "5.03", "5.02"},
        {"1.15", "0.70", "0.81", "0.80"},
        {"-10.50", "0.95", "-9.98", "-9.99"},
        {"999999999999.99", "0.85", "849999999999.99", "849999999999.98"},
    };
    orva::JournalTotals purchases, sales;
    purchases.totals.resize(7);
    sales.totals.resize(17);
    for (const auto& c : cases) {
        for (const bool holds : {true, false}) {
            SCOPED_TRACE(std::string(c.k42) + " × " + c.k33 + (holds ? " holds" : " fails"));
            orva::fixture::ReturnRecord record;
            record.cells = {{41, "0.00"}, {42, c.k42}, {33, c.k33}, {43, "0.00"}, {40, holds ? c.k40 : c.below}};
            const orva::Declaration declaration = orva::parseDeclaration(orva::fixture::returnRecord(record));
            bool found = false;
            for (const orva::CheckRow& row : orva::checkReturn(declaration, purchases, sales)) {
                if (row.rule != "кл.40 = кл.41+42*33+43")
                    continue;
                found = true;
                EXPECT_EQ(row.journalValue, c.k40);
                EXPECT_EQ(row.result, holds ? orva::CheckRow::Result::Holds : orva::CheckRow::Result::Fails);
                EXPECT_EQ(row.difference, holds ? "0.00" : "-0.01");
            }
            EXPECT_TRUE(found);
        }
    }
}

} // namespace
