#include "text/Ascii.h"
#include "text/Calendar.h"
#include "text/CodePage.h"
#include "text/Csv.h"
#include "text/Decimal.h"
#include "text/DocumentSearch.h"
#include "text/Encoding.h"
#include "text/Errors.h"
#include "text/Fields.h"
#include "text/LineFile.h"
#include "text/LineSource.h"
#include "text/Mik.h"
#include "text/Money.h"
#include "text/Paths.h"
#include "text/TextSpool.h"

#include "ExpectThrow.h"
#include "FileSizeLimit.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <clocale>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <limits>
#include <numeric>
#include <optional>
#include <random>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace orva;

TEST(Mik, MovesOnlyTheRange0x80To0xBFUpBy0x40) {
    const std::string input("\x7f\x80\xbf\xc0\xff\x00"
                            "A\x8f",
                            8);
    const std::string expected("\x7f\xc0\xff\xc0\xff\x00"
                               "A\xcf",
                               8);
    ASSERT_EQ(input.size(), 8u);
    EXPECT_EQ(mikToWin1251(input), expected);

    // Every byte value in every place of a text converted eight bytes at a time, and in its tail.
    for (int value = 0; value < 256; ++value) {
        const char byte = static_cast<char>(value);
        const char converted = static_cast<char>(value >= 0x80 && value <= 0xBF ? value + 0x40 : value);
        for (std::size_t place = 0; place < 19; ++place) {
            std::string text(19, '\xA0'), want(19, '\xE0');
            text[place] = byte;
            want[place] = converted;
            mikToWin1251InPlace(text.data(), text.data() + text.size());
            ASSERT_EQ(text, want) << "byte " << value << " at " << place;
        }
    }
}

TEST(Fields, TakeThenRemoveNeverFails) {
    FieldCutter cut("ABCDEFGHIJ");
    EXPECT_EQ(cut.next(3), "ABC");
    EXPECT_EQ(cut.next(2, 4), "DE"); // shows two, drops four
    EXPECT_EQ(cut.next(10), "HIJ");  // fewer than asked
    EXPECT_EQ(cut.next(5), "");      // nothing left
    EXPECT_EQ(cut.next(0, 7), "");
    EXPECT_EQ(rightmost("123456789012345", 12), "456789012345");
    EXPECT_EQ(rightmost("1.00", 12), "1.00");
}

TEST(Decimal, AcceptsTheGrammar) {
    const struct {
        const char* text;
        const char* exact;
    } cases[] = {
        {"0", "0"},          {"  12.50  ", "12.50"}, {"-100.00", "-100.00"}, {"+7", "7"},
        {"1.", "1"},         {".5", "0.5"},          {"1e3", "1000"},        {"2.5E-1", "0.25"},
        {"-1.5e+2", "-150"}, {"     0.00", "0"},     {"000123", "123"},      {"1234567890.12", "1234567890.12"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(parseDecimal(c.text).exactText(), c.exact);
    }
}

TEST(Decimal, RefusesAnythingElseAndQuotesTheText) {
    const char* cases[] = {"",     "   ", "12,50", "1 000", "abc", "-",  "+",   ".",   "1e", "1e+",
                           "0x10", "inf", "nan",   "1.2.3", "--1", "1-", "\t1", "1\t", "e5", "1,"};
    for (const char* text : cases) {
        SCOPED_TRACE(text);
        EXPECT_THROW_MSG(parseDecimal(text), ConversionError, "\"" + std::string(text) + "\" не е число");
        if (const auto error = THROWN_BY(parseDecimal(text), ConversionError)) {
            EXPECT_EQ(error->text(), text);
        }
    }
    // The message is UTF-8: a record's Windows-1251 text is converted in it; text() keeps the bytes.
    const std::string letters = utf8ToWin1251("сто");
    EXPECT_THROW_MSG(parseDecimal(letters), ConversionError, "\"сто\" не е число");
    if (const auto error = THROWN_BY(parseDecimal(letters), ConversionError)) {
        EXPECT_EQ(error->text(), letters);
    }
}

// The general path (exponents, more than 19 digits) once read the number with the process's
// LC_NUMERIC: under a locale whose point is a comma, "2.5e1" was 2. The locales tried are those with
// a comma; a machine with none of them generated runs this under C.UTF-8 only.
TEST(Decimal, GeneralPathIgnoresTheLocaleAndItsRange) {
    const std::string saved = std::setlocale(LC_NUMERIC, nullptr);
    const char* used = nullptr;
    for (const char* name : {"bg_BG.UTF-8", "de_DE.UTF-8", "ru_RU.UTF-8", "fr_FR.UTF-8", "C.UTF-8"}) {
        if ((used = std::setlocale(LC_NUMERIC, name)) != nullptr)
            break;
    }
    ASSERT_NE(used, nullptr);
    SCOPED_TRACE(used);
    const struct {
        const char* text;
        const char* exact;
    } cases[] = {
        {"2.5e1", "25"},
        {"-1.25E+2", "-125"},
        {"12345678901234567890.5", "12345678901234567890.5"},
        {"0.0000000000000000000000000001", "0.0000000000000000000000000001"},
        {"1e-5000", "0"},
        {"-1e-5000", "0"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(parseDecimal(c.text).exactText(), c.exact);
    }
    EXPECT_EQ(ExactDecimal::parse("1e5000"), std::nullopt);
    EXPECT_EQ(ExactDecimal::parse("-0.001e4936"), std::nullopt);
    EXPECT_EQ(ExactDecimal::parse("2,5e1"), std::nullopt);
    std::setlocale(LC_NUMERIC, saved.c_str());
}

TEST(Money, FormatsRoundsHalfAwayFromZero) {
    const struct {
        const char* value;
        const char* text;
    } cases[] = {
        {"0", "0.00"},       {"1234.5", "1234.50"},
        {"-12.3", "-12.30"}, {"0.125", "0.13"},
        {"-0.125", "-0.13"}, {"0.004", "0.00"},
        {"-0.004", "0.00"},  {"999999999.995", "1000000000.00"},
        {"0.5", "0.50"},     {"1e15", "1000000000000000.00"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(parseDecimal(c.value).moneyText(), c.text);
    }
}

// A total wider than its cell lost its leading digits (and its sign) on paper.
TEST(Money, CellRightAlignsAndNeverCuts) {
    EXPECT_EQ(moneyCell(ExactDecimal(), 12), "        0.00");
    EXPECT_EQ(moneyCell(parseDecimal("-100"), 15), "        -100.00");
    EXPECT_EQ(moneyCell(parseDecimal("12345678901.25"), 12), "12345678901.25");
    EXPECT_EQ(moneyCell(parseDecimal("-1234567890123.5"), 15), "-1234567890123.50");
    EXPECT_EQ(moneyCell(parseDecimal("750.5"), 15), "         750.50");
    EXPECT_EQ(moneyCell(ExactDecimal(), 15), "           0.00");
    EXPECT_EQ(moneyCell(parseDecimal("1234567890123.456"), 15), "1234567890123.46");
}

// 1e4931 is a valid amount too long for a money text: the totals once printed as "i.nf".
TEST(Money, ValuesTooLongForMoneyAreErrorsNeverInfText) {
    for (const char* text : {"1e4931", "-1e4931", "9.99e4930", "1e4930"}) {
        SCOPED_TRACE(text);
        const ExactDecimal value = parseDecimal(text);
        EXPECT_FALSE(value.fitsMoneyFormat());
        EXPECT_THROW(value.moneyText(), Error);
        EXPECT_THROW(moneyCell(value, 15), Error);
    }
    for (const char* text : {"9.99e4929", "-9.99e4929", "1e4929", "0"}) {
        SCOPED_TRACE(text);
        const ExactDecimal value = parseDecimal(text);
        EXPECT_TRUE(value.fitsMoneyFormat());
        EXPECT_TRUE(isMoneyText(value.moneyText()));
        EXPECT_GT(value.moneyText().size(), value.isZero() ? 3u : 4900u);
    }
}

TEST(Money, MoneyTextIsExactlyWhatFormatMoneyWrites) {
    const struct {
        const char* text;
        bool money;
    } cases[] = {
        {"0.00", true},    {"   -12.30", true}, {"1234567890123456789.99", true},
        {"i.nf", false},   {"inf", false},      {"-INF", false},
        {"NAN", false},    {"1.5", false},      {"1.000", false},
        {".00", false},    {"-.00", false},     {"--1.00", false},
        {"1,00", false},   {"1.00 ", false},    {"", false},
        {"   ", false},    {"+1.00", false},    {"1.0a", false},
        {"- 1.00", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(isMoneyText(c.text), c.money);
    }
}

TEST(LineFile, SplitsAtCrLfAndCrLfPairs) {
    const struct {
        std::string text;
        std::vector<std::string> lines;
    } cases[] = {
        {"", {}},
        {"a", {"a"}},
        {"a\r\n", {"a"}},
        {"a\n", {"a"}},
        {"a\r", {"a"}},
        {"a\r\nb", {"a", "b"}},
        {"a\n\rb", {"a", "", "b"}},
        {"a\r\rb", {"a", "", "b"}},
        {"\r\n", {""}},
        {"\r\n\r\n", {"", ""}},
        {std::string("ab\0cd\r\nef", 9), {"ab"}},
        {std::string("\0abc", 4), {}},
        {"a\r\n\n", {"a", ""}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(splitLines(c.text), c.lines);
    }
}

class LineFileOnDisk : public ::testing::Test {
protected:
    void SetUp() override {
        folder =
            std::filesystem::temp_directory_path() / ("orva-linefile-" + std::to_string(::getpid()) + "-" +
                                                      ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(folder);
        std::filesystem::create_directories(folder);
    }
    void TearDown() override {
        std::filesystem::permissions(folder, std::filesystem::perms::owner_all);
        std::filesystem::remove_all(folder);
    }
    std::filesystem::path folder;
};

TEST_F(LineFileOnDisk, WritesCrLfAfterEveryLineAndReplacesWhole) {
    const std::string path = (folder / "out.txt").string();
    writeLinesFile(path, {"first line that is long", "x"});
    writeLinesFile(path, {"a", "", "b"});
    EXPECT_EQ(readFileBytes(path), "a\r\n\r\nb\r\n");
    EXPECT_EQ(readLinesFile(path), (std::vector<std::string>{"a", "", "b"}));
    // No temporary file is left behind.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder), {}), 1);
}

TEST_F(LineFileOnDisk, FailedWriteLeavesTheOldFileWhole) {
    // A write that fails half way (a full disk, here a file-size limit, which stops root as well)
    // must throw and keep the old file whole, with no temporary file left behind.
    const std::string path = (folder / "keep.txt").string();
    writeLinesFile(path, {"old"});
    {
        const FileSizeLimit limit(1024);
        ASSERT_TRUE(limit.ok());
        EXPECT_THROW_MSG(writeLinesFile(path, {std::string(4096, 'n')}), FileError,
                         "не може да се запише " + path + ": " + std::string("файлът е твърде голям"));
    }
    EXPECT_EQ(readFileBytes(path), "old\r\n");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder), {}), 1);
}

// A side file that was a symbolic link became a plain file; a killed run's temporary files were
// never cleaned up.
TEST_F(LineFileOnDisk, LinkStaysALinkAndKilledWritersLeftoversGo) {
    const std::filesystem::path target = folder / "real.adr";
    const std::filesystem::path link = folder / "orva.adr";
    writeLinesFile(target.string(), {"old"});
    std::filesystem::create_symlink(target, link);

    const pid_t ended = ::fork();
    if (ended == 0)
        ::_exit(0);
    ASSERT_GT(ended, 0);
    ::waitpid(ended, nullptr, 0);
    const std::filesystem::path killedRun = folder / (".real.adr." + std::to_string(ended) + ".abcdef");
    const std::filesystem::path runningRun = folder / (".real.adr." + std::to_string(::getppid()) + ".abcdef");
    std::ofstream(killedRun) << "half";
    std::ofstream(runningRun) << "half";

    writeLinesFile(link.string(), {"new"});
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(readFileBytes(target.string()), "new\r\n");
    EXPECT_FALSE(std::filesystem::exists(killedRun));
    EXPECT_TRUE(std::filesystem::exists(runningRun));
}

TEST_F(LineFileOnDisk, MissingFileNamesThePath) {
    const std::string path = (folder / "missing.txt").string();
    EXPECT_THROW_MSG(readFileBytes(path), FileError,
                     "не може да се отвори " + path + ": " + std::string("няма такъв файл или папка"));
    const std::string unwritable = (folder / "no/such/dir.txt").string();
    EXPECT_THROW_MSG(writeLinesFile(unwritable, {"x"}), FileError,
                     "не може да се запише " + unwritable + ": " + std::string("няма такъв файл или папка"));
}

// Every way out of a reader or writer closes its descriptor: a chunk callback that threw once left
// the file open.
TEST_F(LineFileOnDisk, DescriptorsAreClosedOnEveryWayOut) {
    const std::string file = (folder / "data.txt").string();
    writeFileAtomic(file, std::string(10000, 'x'));
    const std::string fifo = (folder / "fifo").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    auto openDescriptors = [] { return std::distance(std::filesystem::directory_iterator("/proc/self/fd"), {}); };
    struct Stop {};
    const struct {
        const char* name;
        std::function<void()> run;
        bool throws;
    } cases[] = {
        {"whole file", [&] { readFileChunks(file, 4096, [](std::string_view) { return true; }); }, false},
        {"callback stops", [&] { readFileChunks(file, 4096, [](std::string_view) { return false; }); }, false},
        {"callback throws", [&] { readFileChunks(file, 4096, [](std::string_view) -> bool { throw Stop{}; }); }, true},
        {"a folder", [&] { readFileBytes(folder.string()); }, true},
        {"a FIFO", [&] { readFileBytes(fifo); }, true},
        {"line source",
         [&] {
             FileLineSource source(file, 100);
             std::string_view line;
             while (source.next(line)) {
             }
         },
         false},
        {"writer dropped", [&] { AtomicFileWriter((folder / "dropped.txt").string()).write("x"); }, false},
        {"writer published", [&] { writeFileAtomic((folder / "out.txt").string(), "x"); }, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto before = openDescriptors();
        if (c.throws)
            EXPECT_ANY_THROW(c.run());
        else
            EXPECT_NO_THROW(c.run());
        EXPECT_EQ(openDescriptors(), before);
    }
}

// The code page is the majority of 0xC0..0xFF over 0x80..0xBF, counted sixteen, eight or one byte at a time:
// one byte more of either decides it wherever the bytes lie, at any start, past a lane's 255 as well.
TEST(CodePageCounter, OneByteMoreDecidesWhereverItLies) {
    std::mt19937 random(7);
    for (const std::size_t size : {1, 2, 15, 16, 17, 31, 33, 255 * 16 + 9, 255 * 32 + 40, 100003}) {
        for (const bool windows : {false, true}) {
            for (const std::size_t start : {0, 1, 7, 100}) {
                // As many of each as fit, then one more of the winner: every byte of the file is one or the other,
                // in runs of one kind (filling every lane) or shuffled.
                std::string bytes(size + start, 'x');
                std::vector<std::size_t> places(size);
                std::iota(places.begin(), places.end(), start);
                if (start != 100)
                    std::shuffle(places.begin(), places.end(), random);
                const std::size_t each = (size - 1) / 2;
                for (std::size_t k = 0; k < size; ++k) {
                    const bool high = k < each ? true : k < 2 * each ? false : windows;
                    bytes[places[k]] = static_cast<char>((high ? 0xC0 : 0x80) + random() % 64);
                }
                CodePageCounter counter;
                counter.add(bytes.data() + start, size);
                EXPECT_EQ(counter.codePage(), windows ? CodePage::Windows1251 : CodePage::Mik)
                    << size << " " << start << " " << windows;
            }
        }
    }
}

TEST(Encoding, RoundTripsAllAssignedBytesAndReplacesTheRest) {
    std::string all;
    for (int b = 1; b < 256; ++b)
        if (b != 0x98)
            all += static_cast<char>(b);
    EXPECT_EQ(utf8ToWin1251(win1251ToUtf8(all)), all);
    EXPECT_EQ(utf16ToWin1251(win1251ToUtf16(all)), all);
    EXPECT_EQ(win1251ToUtf8("\xce\xd0\xc2\xc0"), "ОРВА");
    // Appended after what is there; one byte of one, two and three UTF-8 bytes (0x98 is unassigned: U+FFFD).
    std::string kept = "x";
    appendWin1251AsUtf8(kept, "a\xce\x98\xb9");
    EXPECT_EQ(kept, "xaО\xEF\xBF\xBD№");
    EXPECT_EQ(utf8ToWin1251("ОРВА №1 €"), "\xce\xd0\xc2\xc0 \xb9\x31 \x88");
    EXPECT_EQ(utf8ToWin1251("日本 ü"), "?? ?"); // not in Windows-1251
    EXPECT_EQ(utf8ToWin1251("a\xff"
                            "b\xd0"),
              "a?b?"); // malformed UTF-8
    EXPECT_EQ(utf16ToWin1251(u"x\U0001F600y"), "x?y");
}

TEST(Paths, JoinAndReplaceExtension) {
    EXPECT_EQ(joinPath("/media/floppy0", "deklar.txt"), "/media/floppy0/deklar.txt");
    EXPECT_EQ(joinPath("/media/floppy0/", "deklar.txt"), "/media/floppy0/deklar.txt");
    EXPECT_EQ(joinPath("data", "pokupki.txt"), "data/pokupki.txt");
    EXPECT_EQ(replaceExtension("/opt/orva/orva", ".adr"), "/opt/orva/orva.adr");
    EXPECT_EQ(replaceExtension("/opt/orva/orva.exe", ".pro.txt"), "/opt/orva/orva.pro.txt");
    EXPECT_EQ(replaceExtension("/opt/or.va/orva", ".txt"), "/opt/or.va/orva.txt");
}

// A cell a spreadsheet would run as a formula gets a leading "'"; plain numbers keep their value.
TEST(Csv, CellsThatWouldBeFormulasAreNeutralised) {
    const std::pair<const char*, const char*> cases[] = {{"=cmd|' /C calc'!A0", "'=cmd|' /C calc'!A0"},
                                                         {"+1+cmd", "'+1+cmd"},
                                                         {"@SUM(A1)", "'@SUM(A1)"},
                                                         {"\tx", "'\tx"},
                                                         {"\r=1", "'\r=1"},
                                                         {"-", "'-"},
                                                         {"-1.", "'-1."},
                                                         {"-1e5", "'-1e5"},
                                                         {"-12.50", "-12.50"},
                                                         {"-3", "-3"},
                                                         {"+7", "+7"},
                                                         {"a=b", "a=b"},
                                                         {"", ""}};
    for (const auto& [cell, written] : cases)
        EXPECT_EQ(orva::neutralisedCsvCell(cell), written) << cell;
}

// A NUL ended the text without a word: where it stood and how many lines it hid are now told, the
// same by the reader of a text and of a file read in chunks of every size.
TEST_F(LineFileOnDisk, NulStopNamesItsLineAndTheLinesAfterIt) {
    using namespace std::string_literals;
    const struct {
        std::string text;
        std::size_t line, linesAfter; // line 0: no NUL
    } cases[] = {
        {"a\r\nb\r\n", 0, 0},
        {"a\r\nb\0c\r\nd\r\ne\r\n"s, 2, 2},
        {"a\r\nb\r\n\0c\r\nd"s, 3, 1},
        {"\0a\nb\n"s, 1, 1},
        {"a\nb\0\0\0"s, 2, 0},           // padding after the last line hides nothing
        {"a\rb\0x\r\n\r\n\r\ny"s, 2, 3}, // empty lines count; CR LF is one break
        {"a\0x\r"s, 1, 0},
        {"a\0x\r\n\0\n"s, 1, 1}, // a second NUL is a byte of a hidden line
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.text));
        const std::string path = (folder / "nul.txt").string();
        writeFileAtomic(path, c.text);
        MemoryLineSource memory(c.text);
        FileLineSource small(path, 1), large(path);
        for (LineSource* source : std::initializer_list<LineSource*>{&memory, &small, &large}) {
            std::string_view line;
            while (source->next(line)) {
            }
            const std::optional<LineSource::NulStop> stop = source->nulStop();
            EXPECT_EQ(stop.has_value(), c.line != 0);
            if (stop) {
                EXPECT_EQ(stop->line, c.line);
                EXPECT_EQ(stop->linesAfter, c.linesAfter);
            }
        }
    }
}

// A failed file operation gives the system's reason in Bulgarian for the errors a user meets, the
// C library's words for any other, and the file's message carries it.
TEST(SystemErrors, CommonReasonsAreInBulgarian) {
    const std::pair<int, const char*> cases[] = {
        {ENOENT, "няма такъв файл или папка"},      {EACCES, "няма права за достъп"},
        {EISDIR, "това е папка, а не файл"},        {ENOSPC, "няма място на диска"},
        {EIO, "входно-изходна грешка на носителя"}, {EROFS, "носителят е само за четене"},
    };
    for (const auto& [error, text] : cases)
        EXPECT_EQ(orva::systemErrorText(error), text) << error;
    EXPECT_EQ(orva::systemErrorText(EHOSTDOWN), std::strerror(EHOSTDOWN));
    try {
        orva::throwFileError(orva::FileAction::Open, "/x/pokupki.txt", ENOENT);
        FAIL() << "no error thrown";
    } catch (const orva::FileError& failure) {
        EXPECT_STREQ(failure.what(), "не може да се отвори /x/pokupki.txt: няма такъв файл или папка");
    }
}

// The count of matches is of the matches find steps through: letter case aside, none overlapping,
// every line; a stop asked for ends it.
TEST(DocumentSearch, CountsTheMatchesFindStepsThrough) {
    const orva::LineListText text(
        {orva::utf8ToWin1251("Орва орва ОРВА"), "", "aaaa", orva::utf8ToWin1251("ёлка Ёлка"), "orva"});
    const std::pair<const char*, std::size_t> cases[] = {
        {"орва", 3}, {"aa", 2}, {"a", 5}, {"ЁЛКА", 2}, {"orva", 1}, {"липсва", 0}, {"", 0}, {"ва о", 2},
    };
    for (const auto& [needle, expected] : cases)
        EXPECT_EQ(orva::countMatches(text, orva::utf8ToWin1251(needle)), expected) << needle;
    const std::atomic<bool> stop{true};
    EXPECT_THROW(orva::countMatches(text, "a", &stop), orva::Cancelled);
}

// Find: letter case aside for Latin and Cyrillic (Ё too), forwards and backwards from a place,
// once around the document.
TEST(DocumentSearch, FindsAcrossCaseAndWrapsOnce) {
    const orva::LineListText text(
        {orva::utf8ToWin1251("Фирма ОРВА ЕООД"), "", orva::utf8ToWin1251("фактура Ёлка, орва"), "ORVA orva"});
    struct Case {
        const char* needle;
        std::size_t line, column;
        bool forward;
        long foundLine; // -1: none
        std::size_t foundColumn;
        bool wrapped = false; // found only around the document's end or start
    };
    const Case cases[] = {
        {"орва", 0, 0, true, 0, 6},          // capitals in the text
        {"ОРВА", 0, 7, true, 2, 14},         // after the first match: the next line's small letters
        {"ёЛКА", 0, 0, true, 2, 8},          // Ё and Л fold
        {"orva", 3, 1, true, 3, 5},          // Latin, from inside the line
        {"orva", 3, 6, true, 3, 0, true},    // past the last: wraps to the start line's first part
        {"орва", 2, 14, false, 0, 6},        // backwards: before the column only
        {"орва", 0, 6, false, 2, 14, true},  // backwards from the first: wraps to the end
        {"фактура", 2, 1, true, 2, 0, true}, // the only match, before the start on the start line
        {"фирма", 2, 0, true, 0, 0, true},   // past the end, on a line before the start
        {"фирма", 3, 0, false, 0, 0},        // backwards to the first line: no wrap
        {"липсва", 0, 0, true, -1, 0},       // none
        {"", 0, 0, true, -1, 0},             // an empty needle finds nothing
        {"ЕООД ", 0, 0, true, -1, 0},        // no match past a line's end
    };
    for (const Case& test : cases) {
        const auto found =
            orva::findInDocument(text, orva::utf8ToWin1251(test.needle), test.line, test.column, test.forward);
        SCOPED_TRACE(test.needle);
        if (test.foundLine < 0) {
            EXPECT_FALSE(found.has_value());
            continue;
        }
        ASSERT_TRUE(found.has_value());
        EXPECT_EQ(found->line, static_cast<std::size_t>(test.foundLine));
        EXPECT_EQ(found->column, test.foundColumn);
        EXPECT_EQ(found->length, orva::utf8ToWin1251(test.needle).size());
        EXPECT_EQ(found->wrapped, test.wrapped);
    }
    for (unsigned byte = 0; byte < 256; ++byte) {
        const char16_t letter = orva::win1251Char(static_cast<unsigned char>(byte));
        const unsigned char folded = orva::foldWin1251(static_cast<unsigned char>(byte));
        // Every capital folds onto the byte of its small letter; nothing else moves.
        const bool capital =
            (letter >= u'A' && letter <= u'Z') || (letter >= 0x0400 && letter <= 0x042F) || letter == 0x0490; // Ґ
        EXPECT_EQ(folded != byte, capital) << byte;
        if (capital) {
            const char16_t small = letter == 0x0490                     ? 0x0491
                                   : letter <= u'Z' || letter >= 0x0410 ? letter + 0x20
                                                                        : letter + 0x50;
            EXPECT_EQ(orva::win1251Char(folded), small) << byte;
        }
    }
}

// A client folder named in Windows-1251 on an old share made check's xlsx not well-formed XML and
// its JSON and CSV not UTF-8: such a name is shown in UTF-8, valid sequences kept.
TEST(Encoding, FileNamesBecomeValidUtf8) {
    const struct {
        std::string bytes;
        std::string want;
    } cases[] = {
        {"/data/Клиенти/a", "/data/Клиенти/a"},                        // UTF-8 kept
        {"/data/\xCA\xEB\xE8\xE5\xED\xF2", "/data/Клиент"},            // Windows-1251 converted
        {"/data/Клиенти/\xCF\xE5\xF2\xFA\xF0", "/data/Клиенти/Петър"}, // the two in one path
        {"a\x98z", "a\\x98z"},                                         // the byte Windows-1251 lacks
        {"\xC0\x80", "АЂ"},                                            // overlong NUL: two Windows-1251 bytes
        {"\xED\xA0\x80", "н\xC2\xA0"
                         "Ђ"},                    // a surrogate
        {"\xF4\x90\x80\x80", "фђЂЂ"},             // past U+10FFFF
        {"\xE2\x82", "в‚"},                       // cut short at the end
        {"\xF0\x9F\x98\x80", "\xF0\x9F\x98\x80"}, // four bytes, valid
    };
    for (const auto& c : cases)
        EXPECT_EQ(fileNameAsUtf8(c.bytes), c.want) << c.bytes;
}

// Bytes of a file reached the terminal raw in export's, print's and the window's messages: every
// control byte is shown escaped, the rest as it is.
TEST(Encoding, ShownTextEscapesEveryControlByte) {
    EXPECT_EQ(shownText("BG\x1b[2J\r\n\t\x7f\x01"
                        "Я"),
              "BG\\x1B[2J\\r\\n\\t\\x7F\\x01Я");
    EXPECT_EQ(shownText("обикновен текст 1.25"), "обикновен текст 1.25");
}

// The period as people read it, the same on the return's page and in the gate's messages; a damaged
// period shows what it has instead of vanishing or reading past its end.
TEST(Period, MonthSlashYear) {
    const struct {
        const char* period;
        const char* shown;
    } cases[] = {{"202611", "11/2026"}, {"2026", "/2026"},     {"20261", "1/2026"}, {"", "/"},
                 {"20", "/20"},         {"2026113", "11/2026"}};
    for (const auto& c : cases)
        EXPECT_EQ(monthSlashYear(c.period), c.shown) << c.period;
}

// File names are matched in any ASCII letter case, never by folding Cyrillic bytes.
TEST(Ascii, FoldsOnlyAsciiLetters) {
    EXPECT_TRUE(equalFoldedAscii("DEKLAR.TXT", "deklar.txt"));
    EXPECT_TRUE(equalFoldedAscii("Pokupki.Txt", "pokupki.txt"));
    EXPECT_FALSE(equalFoldedAscii("deklar.txt ", "deklar.txt"));
    EXPECT_FALSE(equalFoldedAscii("\xC4"
                                  "EKLAR.TXT",
                                  "\xE4"
                                  "eklar.txt")); // Windows-1251 Д and д stay apart
    EXPECT_TRUE(allAsciiDigits("202611"));
    EXPECT_FALSE(allAsciiDigits("2026\xB3"));
}

// Text held for later comes back whole and in order, from memory and from the temporary file it spills
// to past a megabyte: empty pieces, NUL bytes, a piece longer than a block, many small ones between.
TEST(TextSpool, GivesBackEveryPieceInOrder) {
    std::vector<std::string> pieces;
    for (std::size_t i = 0; i < 50000; ++i)
        pieces.push_back(std::string(i % 97, static_cast<char>(i % 256)) + (i % 3 == 0 ? std::string(1, '\0') : ""));
    pieces.push_back(std::string(3 << 20, 'x'));
    pieces.push_back("");
    pieces.push_back("последен");
    for (const std::size_t count : {std::size_t{10}, pieces.size()}) {
        orva::TextSpool spool;
        spool.add("дропнато");
        spool.clear();
        for (std::size_t i = 0; i < count; ++i)
            spool.add(pieces[i]);
        std::vector<std::string> back;
        spool.replay([&](std::string_view piece) { back.emplace_back(piece); });
        ASSERT_EQ(back.size(), count);
        for (std::size_t i = 0; i < count; ++i)
            ASSERT_EQ(back[i], pieces[i]) << i;
        EXPECT_TRUE(spool.empty());
        spool.replay([](std::string_view) { FAIL() << "a piece after the replay"; });
    }
}
