#include "text/Errors.h"
#include "text/ExactDecimal.h"
#include "text/LineFile.h"
#include "text/LineSource.h"

#include "ExpectThrow.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <random>
#include <string>
#include <unistd.h>
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

// The correctly rounded value of a text of the grammar, as the C library reads it.
long double libraryValue(const std::string& text) {
    return std::strtold(text.c_str(), nullptr);
}

} // namespace

// The journal engine reads lines from a source, from memory or from a file in chunks; the file's
// lines must be those of the text, wherever the chunks happen to end, and hasMore() must agree
// with next() anywhere.
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

    // One file per process: other builds' tests may run beside this one.
    const std::string path = ::testing::TempDir() + "orva_line_source_" + std::to_string(::getpid()) + ".txt";
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

// Every reader opens a file one way, so a file that cannot be read is reported the same wherever.
TEST(JournalLineSource, MissingFileNamesThePath) {
    const std::string path = ::testing::TempDir() + "orva_no_such_dir/pokupki.txt";
    const std::string missing = "не може да се отвори " + path + ": " + std::string("няма такъв файл или папка");
    EXPECT_THROW_MSG(FileLineSource source(path), FileError, missing);
    EXPECT_THROW_MSG(readFileBytes(path), FileError, missing);
    const std::string folder = ::testing::TempDir();
    const std::string notAFile = "не може да се прочете " + folder + ": " + std::string("това е папка, а не файл");
    EXPECT_THROW_MSG(FileLineSource source(folder), FileError, notAFile);
    EXPECT_THROW_MSG(readFileBytes(folder), FileError, notAFile);
}

// The exact reader keeps the text's value (the C library reads the same long double from both), a
// running total's fast path (the usual journal amount) agrees with it, and both refuse what is not
// of the grammar.
TEST(Decimal, ValuesToTheLastBit) {
    const struct {
        const char* text;
        bool accepted;
    } cases[] = {
        {"0", true},
        {"0.00", true},
        {"  12.50  ", true},
        {"-100.00", true},
        {"+7", true},
        {"1.", true},
        {".5", true},
        {"-.5", true},
        {"   -0.00", true},
        {"999999999999.99", true},
        {"0.1", true},
        {"0.3", true},
        {"1234567.89", true},
        {"000000000001.23", true},
        {"9999999999999999999", true},
        {"18446744073709551615", true},
        {"1.0000000000000000000001", true},
        {"0.000000000000000000000000001", true},
        {"0.0000000000000000000000000001", true},
        {"123456789012345678901234567890", true},
        {"1e3", true},
        {"2.5E-1", true},
        {"-1.5e+2", true},
        {"1.5E1", true},
        {"12,50", false},
        {"", false},
        {"   ", false},
        {".", false},
        {"-", false},
        {"+", false},
        {"1..2", false},
        {"1.2.3", false},
        {"--1", false},
        {"1-", false},
        {"e5", false},
        {"1e", false},
        {"0x10", false},
        {"inf", false},
        {"nan", false},
        {"1 2", false},
        {"\t1", false},
        {"1e99999", false},
        {"３", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string("\"") + c.text + "\"");
        const std::optional<ExactDecimal> got = ExactDecimal::parse(c.text);
        ASSERT_EQ(got.has_value(), c.accepted);
        if (got) {
            EXPECT_TRUE(libraryValue(got->exactText()) == libraryValue(c.text)) << got->exactText();
        }
    }

    // Random amounts of the shapes journals hold: up to 15 characters, digits, a point, a sign.
    std::mt19937 random(42);
    for (int round = 0; round < 200000; ++round) {
        std::string text;
        if (random() % 4 == 0)
            text += "-+"[random() % 2];
        const int integer = static_cast<int>(random() % 14);
        bool anyDigit = integer > 0;
        for (int i = 0; i < integer; ++i)
            text += static_cast<char>('0' + random() % 10);
        if (random() % 3 != 0) {
            text += '.';
            const int decimals = static_cast<int>(random() % 6);
            anyDigit = anyDigit || decimals > 0;
            for (int i = 0; i < decimals; ++i)
                text += static_cast<char>('0' + random() % 10);
        }
        text.insert(0, std::string(random() % 4, ' '));
        const std::optional<ExactDecimal> got = ExactDecimal::parse(text);
        ASSERT_EQ(got.has_value(), anyDigit) << '"' << text << '"';
        if (got) {
            ASSERT_TRUE(libraryValue(got->exactText()) == libraryValue(text)) << '"' << text << '"';
        }
        ExactSum sum;
        ASSERT_EQ(sum.add(text), anyDigit) << '"' << text << '"';
        if (got) {
            ASSERT_EQ(sum.value(), *got) << '"' << text << '"';
        }
    }
}
