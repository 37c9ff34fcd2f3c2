#include "journals/Amount.h"
#include "journals/LineSource.h"
#include "text/Decimal.h"
#include "text/Errors.h"
#include "text/LineFile.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <random>
#include <string>
#include <vector>

using namespace orva;

namespace {

// Every line a source hands out, checking hasMore() before each further line (the engine asks it
// only after a short line, but it must hold anywhere).
std::vector<std::string> drain(LineSource& source, bool askFirst) {
    std::vector<std::string> lines;
    std::string_view line;
    while (true) {
        if (askFirst && !lines.empty()) {
            const bool more = source.hasMore();
            std::string_view probe;
            const bool got = source.next(probe);
            EXPECT_EQ(more, got);
            if (!got)
                break;
            lines.emplace_back(probe);
            continue;
        }
        if (!source.next(line))
            break;
        lines.emplace_back(line);
    }
    return lines;
}

bool sameBits(long double a, long double b) {
    // The 80-bit value lives in the first 10 bytes; the rest is padding.
    return std::memcmp(&a, &b, 10) == 0;
}

} // namespace

// The journal engine reads lines from a source, from memory or from a file in chunks; both must
// split exactly as the shared line reader does, wherever the chunks happen to end.
TEST(JournalLineSource, SplitLikeTheLineReader) {
    std::vector<std::string> cases = {
        "",
        "a",
        "a\r\nb\r\n",
        "a\r\nb",
        "a\rb\r",
        "a\nb\n",
        "a\r\r\nb",
        "a\n\rb",
        "\r\n",
        "\r\n\r\n",
        "\n\n\n",
        "\r\r",
        "a\r\n\r\n",
        std::string("a\nb\0c\nd", 7),
        std::string("\0abc", 4),
        std::string("abc\r\0\n", 6),
        "no break at the end",
        "mixed\rbreaks\nof\r\nevery\n\rkind\r",
        std::string(5000, 'x') + "\r\n" + std::string(3000, 'y'),
    };
    std::mt19937 random(20260707);
    const char alphabet[] = {'a', 'b', '\r', '\n', '\0', ' '};
    for (int round = 0; round < 1500; ++round) {
        std::string text(random() % 40, 'x');
        for (char& c : text)
            c = alphabet[random() % (round % 3 == 0 ? 6 : 5)];
        cases.push_back(text);
    }

    const std::string path = ::testing::TempDir() + "orva_line_source.txt";
    for (const auto& text : cases) {
        SCOPED_TRACE(::testing::PrintToString(text.substr(0, 60)));
        const std::vector<std::string> expected = splitLines(text);
        for (bool askFirst : {false, true}) {
            MemoryLineSource memory(text);
            EXPECT_EQ(drain(memory, askFirst), expected);
        }
        std::ofstream(path, std::ios::binary | std::ios::trunc) << text; // no fsync: thousands of cases
        for (std::size_t chunk : {1, 2, 3, 7, 4096, 1 << 20}) {
            SCOPED_TRACE(chunk);
            for (bool askFirst : {false, true}) {
                FileLineSource file(path, chunk);
                EXPECT_EQ(drain(file, askFirst), expected);
            }
        }
    }
    std::remove(path.c_str());
}

TEST(JournalLineSource, MissingFileNamesThePath) {
    const std::string path = ::testing::TempDir() + "orva_no_such_dir/pokupki.txt";
    try {
        FileLineSource source(path);
        ADD_FAILURE() << "no failure";
    } catch (const FileError& error) {
        EXPECT_NE(std::string(error.what()).find(path), std::string::npos) << error.what();
    }
}

// The fast amount reader gives the value of the shared decimal reader to the last bit, and fails
// where it fails.
TEST(JournalAmount, SameValuesAsTheDecimalReader) {
    const char* cases[] = {
        "0",
        "0.00",
        "  12.50  ",
        "-100.00",
        "+7",
        "1.",
        ".5",
        "-.5",
        "   -0.00",
        "999999999999.99",
        "0.1",
        "0.3",
        "1234567.89",
        "000000000001.23",
        "9999999999999999999",
        "18446744073709551615",
        "1.0000000000000000000001",
        "0.000000000000000000000000001",
        "0.0000000000000000000000000001",
        "123456789012345678901234567890",
        "1e3",
        "2.5E-1",
        "-1.5e+2",
        "1.5E1",
        "12,50",
        "",
        "   ",
        ".",
        "-",
        "+",
        "1..2",
        "1.2.3",
        "--1",
        "1-",
        "e5",
        "1e",
        "0x10",
        "inf",
        "nan",
        "1 2",
        "\t1",
        "1e99999",
        "３",
    };
    for (const char* text : cases) {
        SCOPED_TRACE(std::string("\"") + text + "\"");
        const std::optional<long double> expected = tryParseDecimal(text);
        const std::optional<long double> got = parseAmount(text);
        ASSERT_EQ(got.has_value(), expected.has_value());
        if (expected) {
            EXPECT_TRUE(sameBits(*got, *expected))
                << static_cast<double>(*got) << " vs " << static_cast<double>(*expected);
        }
    }

    // Random amounts of the shapes journals hold: up to 15 characters, digits, a point, a sign.
    std::mt19937 random(42);
    for (int round = 0; round < 200000; ++round) {
        std::string text;
        if (random() % 4 == 0)
            text += "-+"[random() % 2];
        const int integer = static_cast<int>(random() % 14);
        for (int i = 0; i < integer; ++i)
            text += static_cast<char>('0' + random() % 10);
        if (random() % 3 != 0) {
            text += '.';
            const int decimals = static_cast<int>(random() % 6);
            for (int i = 0; i < decimals; ++i)
                text += static_cast<char>('0' + random() % 10);
        }
        text.insert(0, std::string(random() % 4, ' '));
        const std::optional<long double> expected = tryParseDecimal(text);
        const std::optional<long double> got = parseAmount(text);
        ASSERT_EQ(got.has_value(), expected.has_value()) << '"' << text << '"';
        if (expected) {
            ASSERT_TRUE(sameBits(*got, *expected)) << '"' << text << '"';
        }
    }
}
