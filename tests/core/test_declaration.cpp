#include "declaration/Declaration.h"
#include "text/Errors.h"
#include "text/LineFile.h"
#include "text/Mik.h"

#include "ExpectThrow.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

using namespace orva;

namespace {

std::string dataFile(const std::string& name) {
    return readFileBytes(std::string(ORVA_TEST_DATA) + "/declaration/" + name);
}

// The test record as it lies in deklar.txt (MIK code page, 590 characters, CR LF).
std::string recordFile() {
    return dataFile("deklar.txt");
}
std::string recordWithoutLineEnd() {
    std::string record = recordFile();
    EXPECT_EQ(record.size(), 592u);
    EXPECT_EQ(record.substr(590), "\r\n");
    return record.substr(0, 590);
}

// The fields of the test record in Windows-1251, written out by hand.
std::vector<std::string> expectedFields() {
    return readLinesFile(std::string(ORVA_TEST_DATA) + "/declaration/fields.txt");
}

std::string joinCrLf(const std::vector<std::string>& lines) {
    return joinLinesCrLf(lines);
}

} // namespace

TEST(Declaration, WellFormedRecordGivesTheFieldsTheLabelPageAndTheCaption) {
    const Declaration d = parseDeclaration(recordFile());
    const std::vector<std::string> fields = expectedFields();
    ASSERT_EQ(fields.size(), 36u);
    EXPECT_EQ(d.fields, fields);

    EXPECT_EQ(d.vatNumber, "BG0123456789012");
    EXPECT_EQ(d.idNumber, "  0123456789012"); // letters blanked, length kept
    // "Тест Фирма ЕООД" and "  Иван Петров Яначков", both padded to 50 characters
    EXPECT_EQ(d.firmName, "\xd2\xe5\xf1\xf2 \xd4\xe8\xf0\xec\xe0 \xc5\xce\xce\xc4" + std::string(35, ' '));
    EXPECT_EQ(d.signatoryName,
              "  \xc8\xe2\xe0\xed \xcf\xe5\xf2\xf0\xee\xe2 \xdf\xed\xe0\xf7\xea\xee\xe2" + std::string(29, ' '));
    EXPECT_EQ(d.periodText, "03/2007");

    EXPECT_EQ(joinCrLf(d.label), dataFile("label.txt"));
    EXPECT_EQ(d.captionText, dataFile("caption.txt"));
}

TEST(Declaration, CellsTakeTheirFieldsInRecordOrder) {
    const Declaration d = parseDeclaration(recordFile());
    // The test record holds cell n as n * 1000 + n / 100, so a cell in the wrong place shows.
    const struct {
        int cell;
        const char* text;
    } cases[] = {
        {1, "        1000.01"},
        {20, "       20000.20"},
        {11, "       11000.11"},
        {21, "       21000.21"},
        {24, "       24000.24"},
        {15, "       15000.15"},
        {19, "       19000.19"},
        {30, "       30000.30"},
        {41, "       41000.41"},
        {43, "       43000.43"},
        {33, "0.75"},
        {40, "       40000.40"},
        {50, "       50000.50"},
        {60, "       60000.60"},
        {70, "       70000.70"},
        {71, "       71000.71"},
        {80, "       80000.80"},
        {81, "       81000.81"},
        {82, "       82000.82"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.cell);
        EXPECT_EQ(d.cells[c.cell], c.text);
    }
}

TEST(Declaration, LineEndsOfTheFileDoNotMoveTheFields) {
    const std::string record = recordWithoutLineEnd();
    const struct {
        const char* name;
        std::string bytes;
    } cases[] = {
        {"CR LF", record + "\r\n"},
        {"LF", record + "\n"},
        {"CR", record + "\r"},
        {"no line end", record},
        {"NUL after the record", record + std::string("\0garbage", 8)},
        {"a second line", record + "\r\nextra line\r\n"},
    };
    const std::vector<std::string> fields = expectedFields();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Declaration d = parseDeclaration(c.bytes);
        EXPECT_EQ(d.fields, fields);
        EXPECT_EQ(joinCrLf(d.label), dataFile("label.txt"));
    }
}

TEST(Declaration, ALineBreakInsideTheRecordIsCutAsTwoCharacters) {
    const std::string record = recordWithoutLineEnd();
    const std::vector<std::string> fields = expectedFields();
    for (const char* lineBreak : {"\n", "\r", "\r\n"}) {
        SCOPED_TRACE(lineBreak[0] == '\n' ? "LF" : lineBreak[1] ? "CR LF" : "CR");
        // Broken inside field 4 (signatory, characters 71..120), 29 characters into it.
        const Declaration d = parseDeclaration(record.substr(0, 100) + lineBreak + record.substr(100) + "\r\n");
        EXPECT_EQ(d.fields[2], fields[2]);
        EXPECT_EQ(d.fields[3], fields[3].substr(0, 29) + "\r\n" + fields[3].substr(29, 19));
        // Every later field starts two characters early in its own terms.
        EXPECT_EQ(d.fields[4], fields[3].substr(48, 2) + fields[4].substr(0, 13));
        EXPECT_EQ(d.cells[20], fields[6].substr(13, 2) + fields[7].substr(0, 13));
        EXPECT_EQ(d.cells[33], fields[26].substr(13, 2) + fields[27].substr(0, 2));
        // The last field ends two characters before the record did; its CR LF goes nowhere.
        EXPECT_EQ(d.fields[35], fields[34].substr(13, 2) + fields[35].substr(0, 13));
        EXPECT_EQ(d.label[3], d.fields[3]);
    }
}

TEST(Declaration, ARecordThatStopsAfterField15LeavesTheRestEmpty) {
    const std::string record = recordWithoutLineEnd();
    const Declaration d = parseDeclaration(record.substr(0, 286) + "\r\n");
    const std::vector<std::string> fields = expectedFields();
    for (std::size_t i = 0; i < 15; ++i)
        EXPECT_EQ(d.fields[i], fields[i]) << "field " << i + 1;
    EXPECT_EQ(d.fields[15], "\r\n");
    EXPECT_EQ(d.cells[24], "\r\n");
    for (std::size_t i = 16; i < 36; ++i)
        EXPECT_EQ(d.fields[i], "") << "field " << i + 1;
    for (int cell : {15, 16, 17, 18, 19, 30, 31, 41, 32, 42, 43, 33, 40, 50, 60, 70, 71, 80, 81, 82})
        EXPECT_EQ(d.cells[cell], "") << "cell " << cell;
    EXPECT_EQ(d.cells[14], "       14000.14");
    EXPECT_EQ(d.captionText, dataFile("caption.txt"));
}

TEST(Declaration, PeriodTextIsMonthSlashYearAndShortensWithTheField) {
    const std::string record = recordWithoutLineEnd();
    const struct {
        std::size_t length; // of the record text before its CR LF
        const char* period;
    } cases[] = {
        {590, "03/2007"},  {71, "03/2007"}, {70, "0\r/2007"}, // the CR LF is cut into field 3 like any character
        {69, "\r\n/2007"}, {67, "/20\r\n"}, {65, "/\r\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.length);
        const Declaration d = parseDeclaration(record.substr(0, c.length) + "\r\n");
        EXPECT_EQ(d.periodText, c.period);
    }
    // A field 3 of blanks: the blanks are rearranged, not checked.
    std::string blanks = record;
    blanks.replace(65, 6, "2008 9");
    EXPECT_EQ(parseDeclaration(blanks).periodText, " 9/2008");
    EXPECT_EQ(parseDeclaration(blanks).label[2], "2008 9");
}

TEST(Declaration, MikBytesBecomeWindows1251EverywhereOthersPassUnchanged) {
    std::string record = recordWithoutLineEnd();
    record.replace(0, 15, std::string("\x80\xbf\x7f\xc0\xff\x01 \x9f\xa0z12345", 15));
    record.replace(15, 5, std::string("\x80\x81\xbe\xbf\x7f", 5));
    record.replace(166, 15, std::string("\xa0\xa1\xa2\xa3\xa4\xa5\xa6\xa7\xa8\xa9\xaa\xab\xac\xad\xae", 15));
    const Declaration d = parseDeclaration(record);
    EXPECT_EQ(d.vatNumber, std::string("\xc0\xff\x7f\xc0\xff\x01 \xdf\xe0z12345", 15));
    EXPECT_EQ(d.idNumber, std::string("  \x7f\xc0\xff\x01 \xdf\xe0z12345", 15));
    EXPECT_EQ(d.firmName.substr(0, 5), std::string("\xc0\xc1\xfe\xff\x7f", 5));
    EXPECT_EQ(d.cells[20], "\xe0\xe1\xe2\xe3\xe4\xe5\xe6\xe7\xe8\xe9\xea\xeb\xec\xed\xee");
    EXPECT_EQ(d.label[0], d.vatNumber);
    EXPECT_EQ(d.captionText.find(d.vatNumber + "     " + d.firmName), d.captionText.size() - 70);
}

TEST(Declaration, EmptyRecordTextFailsASingleLineBreakDoesNot) {
    for (const std::string& bytes : {std::string(), std::string("\0", 1), std::string("\0\r\nBG123", 8)}) {
        SCOPED_TRACE(bytes.size());
        EXPECT_THROW(parseDeclaration(bytes), Error);
    }
    for (const char* bytes : {"\r\n", "\n", "\r"}) {
        SCOPED_TRACE(bytes[0] == '\n' ? "LF" : bytes[1] ? "CR LF" : "CR");
        const Declaration d = parseDeclaration(bytes);
        EXPECT_EQ(d.vatNumber, "\r\n");
        EXPECT_EQ(d.idNumber, "  ");
        EXPECT_EQ(d.periodText, "/");
        ASSERT_EQ(d.fields.size(), 36u);
        for (std::size_t i = 1; i < 36; ++i)
            EXPECT_EQ(d.fields[i], "") << "field " << i + 1;
        EXPECT_EQ(d.cells[1], "");
        EXPECT_EQ(joinCrLf(d.label), dataFile("label_crlf.txt"));
        EXPECT_EQ(d.captionText, dataFile("caption_crlf.txt"));
    }
}

TEST(Declaration, CaptionLineKeepsTheValuesUntrimmed) {
    // " ДАНЪЧЕН ПЕРИОД 12/2008     ИН ПО ЗДДС 123  " + five blanks + "Firm  "
    EXPECT_EQ(captionLine("12/2008", "123  ", "Firm  "),
              " \xc4\xc0\xcd\xda\xd7\xc5\xcd \xcf\xc5\xd0\xc8\xce\xc4 12/2008     \xc8\xcd \xcf\xce \xc7\xc4\xc4\xd1 "
              "123       Firm  ");
    EXPECT_EQ(captionLine("", "", ""),
              " \xc4\xc0\xcd\xda\xd7\xc5\xcd \xcf\xc5\xd0\xc8\xce\xc4      \xc8\xcd \xcf\xce \xc7\xc4\xc4\xd1      ");
}

TEST(ResultCells, FiftyTakesAPositiveDifferenceSixtyTheRest) {
    const struct {
        const char* k20;
        const char* k40;
        const char* k50;
        const char* k60;
    } cases[] = {
        {"        1000.00", "         250.50", "         749.50", "           0.00"},
        {"         250.50", "         250.50", "           0.00", "           0.00"},
        {"          20.00", "          40.00", "           0.00", "          20.00"},
        {"  -10", "5", "           0.00", "          15.00"},
        {"1e3", "+0.004", "        1000.00", "           0.00"},              // 999.996 rounds up
        {"0.001", "0", "           0.00", "           0.00"},                 // positive but shows as zero
        {"123456789012345.67", "0", "123456789012345.67", "           0.00"}, // wider than 15: not cut
        {"-0", "0", "           0.00", "           0.00"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.k20) + " - " + c.k40);
        const ResultCells cells = deriveResultCells(c.k20, c.k40);
        EXPECT_EQ(cells.cell50, c.k50);
        EXPECT_EQ(cells.cell60, c.k60);
    }
}

TEST(ResultCells, TextsThatAreNotNumbersFailNamingTheText) {
    const struct {
        const char* k20;
        const char* k40;
        const char* quoted;
    } cases[] = {
        {"               ", "0.00", "               "},
        {"", "0.00", ""},
        {"0.00", "12,50", "12,50"},
        {"\t1.00", "0.00", "\t1.00"},
        {"1.00", "\r\n", "\r\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.k20) + " / " + c.k40);
        if (const auto error = THROWN_BY(deriveResultCells(c.k20, c.k40), ConversionError)) {
            EXPECT_EQ(error->text(), c.quoted);
        }
    }
    // A difference beyond the range of the arithmetic is a failure, not "INF" in a cell.
    EXPECT_THROW_MSG(deriveResultCells("9e4931", "-9e4931"), Error,
                     "клетки 20 и 40 (\"9e4931\", \"-9e4931\") се различават с повече, отколкото може да се представи");
    // A difference in range whose cents are not: "i.nf" in cell 50 before.
    EXPECT_THROW_MSG(deriveResultCells("1e4931", "0"), Error,
                     "клетки 20 и 40 (\"1e4931\", \"0\") се различават с повече, отколкото може да се представи");
}

TEST(returnDate, LastDayOfThePeriodsMonth) {
    const struct {
        const char* period;
        const char* date;
    } cases[] = {
        {"02/2004", "29/02/2004"}, {"02/1900", "28/02/1900"}, {"02/2000", "29/02/2000"}, {"02/2007", "28/02/2007"},
        {"04/2007", "30/04/2007"}, {"12/2007", "31/12/2007"}, {"01/2008", "31/01/2008"}, {"06/2008", "30/06/2008"},
        {"09/2008", "30/09/2008"}, {"11/2008", "30/11/2008"}, {"07/2008", "31/07/2008"}, {"08/2008", "31/08/2008"},
        {"03/0001", "31/03/0001"}, {"02/9999", "28/02/9999"}, {"02/2400", "29/02/2400"}, {"02/2100", "28/02/2100"},
        {" 2/2004", "29/02/2004"}, // integer values: a leading blank is allowed
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.period);
        EXPECT_EQ(defaultReturnDate(c.period), c.date);
    }
}

TEST(returnDate, BadPeriodsFailNamingThePeriod) {
    const char* cases[] = {"13/2007", "00/2007", "02/0000", "/",       "",          "ab/2007",  "02/20x7",
                           "2/2007",  "02/ 2 7", "-1/2007", "02/\r\n", "\r\n/2007", "0\r/2007", "02/-200"};
    for (const char* period : cases) {
        SCOPED_TRACE(period);
        if (const auto error = THROWN_BY(defaultReturnDate(period), Error)) {
            EXPECT_NE(std::string(error->what()).find(std::string("период \"") + period + "\""), std::string::npos)
                << error->what();
        }
    }
}

TEST(Signatory, TrimsBlanksAndControlCharactersAtBothEnds) {
    const struct {
        std::string in;
        std::string out;
    } cases[] = {
        {"  \xc8\xe2\xe0\xed \xcf\xe5\xf2\xf0\xee\xe2   ", "\xc8\xe2\xe0\xed \xcf\xe5\xf2\xf0\xee\xe2"},
        {"\r\n\t Ivan\x01", "Ivan"},
        {std::string("\0 A  B \x1f", 8), "A  B"},
        {"                                                  ", ""},
        {"", ""},
        {"\xa0Ivan\xff", "\xa0Ivan\xff"}, // Windows-1251 letters and the no-break space are kept
        {"x", "x"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.in);
        EXPECT_EQ(trimSignatory(c.in), c.out);
    }
}

// Only the first kDeclarationRecordLength bytes of deklar.txt are read: the record they give must be
// the first 590 characters of the whole file's text, however the breaks fall at the edge.
TEST(Declaration, TheFilesFirstBytesGiveTheWholeFilesRecord) {
    const std::string record = recordWithoutLineEnd();
    const std::string cut589 = record.substr(0, 589);
    const struct {
        const char* name;
        std::string bytes;
    } cases[] = {
        {"CR LF straddling the edge", cut589 + "\r\n" + record},
        {"a lone CR at the edge", cut589 + "\r" + record},
        {"CR CR LF at the edge", record.substr(0, 588) + "\r\r\n" + record},
        {"LF CR at the edge", cut589 + "\n\r" + record},
        {"a record and many line feeds", record + std::string(100000, '\n')},
        {"only breaks", std::string(300, '\r') + std::string(300, '\n') + std::string(300, '\r')},
        {"breaks all through",
         [&] {
             std::string text;
             for (char c : record)
                 text += std::string(1, c) + "\r\n";
             return text;
         }()},
        {"a NUL after the record", record + std::string(1, '\0') + record},
        {"a NUL inside the record", record.substr(0, 300) + std::string(1, '\0') + record},
        {"a short record", record.substr(0, 400) + "\r\n"},
    };
    const std::string path = ::testing::TempDir() + "orva-prefix-deklar.txt";
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        {
            std::FILE* file = std::fopen(path.c_str(), "wb");
            ASSERT_NE(file, nullptr);
            std::fwrite(c.bytes.data(), 1, c.bytes.size(), file);
            std::fclose(file);
        }
        const std::string prefix = readFilePrefix(path, kDeclarationRecordLength);
        EXPECT_EQ(prefix, c.bytes.substr(0, kDeclarationRecordLength));
        // The whole file's text, cut to the record, as the reader would see it without the bound.
        std::string whole = joinLinesCrLf(splitLines(c.bytes));
        mikToWin1251InPlace(whole);
        std::string fields;
        for (const std::string& field : parseDeclaration(prefix).fields)
            fields += field;
        EXPECT_EQ(fields, whole.substr(0, kDeclarationRecordLength));
        EXPECT_EQ(parseDeclaration(c.bytes).fields, parseDeclaration(prefix).fields);
    }
    std::remove(path.c_str());
}
