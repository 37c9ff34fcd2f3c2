#include "journals/JournalTable.h"
#include "period/PeriodSession.h"
#include "report/AgencyReport.h"
#include "report/Reconcile.h"
#include "report/ReconcileDocument.h"
#include "text/Encoding.h"
#include "text/LineFile.h"
#include "text/UniqueFd.h"

#include "ExpectThrow.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <string>
#include <unistd.h>
#include <vector>

using namespace orva;
using namespace orva::report;

namespace {

const std::string kTitle = "Справка за декларираните продажби към ПРИМЕР, ЕООД, 121212121 от регистрираните по ЗДДС "
                           "лица за данъчен период 202610;";
const std::string kCaptions =
    "Идентификационен номер на контрагента;Име на контрагента;Данъчен период;Вид на документа;Номер на "
    "документа;Дата на документа;Вид на стоката или обхват и вид на услугата;Общ размер на данъчните основи за "
    "облагане с ДДС;Всичко начислен ДДС;Данъчна основа 20 %;Начислен ДДС 20 %;ДО на облагаемите доставки "
    "съсставка 9 %;Начислен ДДС 9 %;ДО 0 %;ДО на освободени доставки;Доставка по чл. 163а от ЗДДС;";

std::string line(const std::string& supplier, const std::string& type, const std::string& number,
                 const std::string& date, const std::string& base, const std::string& vat,
                 const std::string& exempt = " 0.00") {
    return supplier + ";ДОСТАВЧИК ООД;202610;" + type + ";" + number + ";" + date + ";стока;\" " + base + "\";\" " +
           vat + "\";\" " + base + "\";\" " + vat + "\";\" 0.00\";\" 0.00\";\" 0.00\";\"" + exempt + "\";\" 0.00\"";
}

std::string reportText(const std::vector<std::string>& lines, const std::string& breakText = "\n") {
    std::string text = kTitle + breakText + kCaptions + breakText;
    for (const std::string& l : lines)
        text += l + breakText;
    return utf8ToWin1251(text);
}

struct Read {
    std::vector<ReportLine> lines;
    std::vector<ReportProblem> problems;
    ReportTitle title;
};

// Fed in chunks of `chunk` bytes, so that a field, a quote or a CR LF split across chunks is read alike.
Read parse(const std::string& bytes, std::size_t chunk = 7) {
    Read read;
    ReportParser parser(
        "r.csv", [&](const ReportLine& l) { read.lines.push_back(l); },
        [&](const ReportProblem& p) { read.problems.push_back(p); });
    for (std::size_t at = 0; at < bytes.size(); at += chunk)
        parser.feed(std::string_view(bytes).substr(at, chunk));
    parser.finish();
    read.title = parser.title();
    return read;
}

struct ReaderCase {
    const char* name;
    std::string bytes;
    std::size_t documents;
    std::vector<std::pair<std::size_t, std::size_t>> problems; // line, field
};

const std::string kSound = line("BG130000005", "1", "0000006462", "01-10-2026", "100.00", "20.00");

} // namespace

TEST(AgencyReportReader, EdgeCases) {
    const std::string bigField(kMaxLineBytes + 1, 'x');
    const ReaderCase cases[] = {
        {"lf", reportText({kSound, kSound}), 2, {}},
        {"crlf", reportText({kSound, kSound}, "\r\n"), 2, {}},
        {"no break at the end", reportText({kSound}).substr(0, reportText({kSound}).size() - 1), 1, {}},
        {"blank lines skipped", reportText({kSound, "", "   ", kSound}), 2, {}},
        {"quoted break counts as a line",
         reportText({"BG130000005;\"ДВА\nРЕДА\";202610;1;7;01-10-2026;x;\" 1.00\";\" 0.20\";\" 1.00\";\" 0.20\";\" "
                     "0.00\";\" 0.00\";\" 0.00\";\" 0.00\";\" 0.00\"",
                     "X;Y"}),
         1,
         {{5, 0}}},
        {"wrong field count", reportText({kSound, "BG130000005;A;202610;1;7"}), 1, {{4, 0}}},
        {"amount not a number",
         reportText({line("BG130000005", "1", "7", "01-10-2026", "12,50", "2.50")}),
         0,
         {{3, 8}, {3, 10}}},
        {"nul named by field", reportText({"BG1;A\0B;202610"}), 0, {{3, 2}}},
        {"overlong line skipped, the next read", reportText({"BG1;" + bigField, kSound}), 1, {{3, 0}}},
        {"unclosed quote at the end", reportText({kSound}) + "BG1;\"open", 1, {{4, 2}}},
        {"captions mended", reportText({kSound}), 1, {}},
    };
    // The nul case needs its NUL byte inside the text.
    std::vector<ReaderCase> all(std::begin(cases), std::end(cases));
    all[7].bytes = reportText({std::string("BG1;A\0B;202610", 14)});
    const std::string mended = kCaptions.substr(0, kCaptions.find("съсставка")) + "със ставка" +
                               kCaptions.substr(kCaptions.find("съсставка") + std::string("съсставка").size());
    all[10].bytes = utf8ToWin1251(kTitle + "\n" + mended + "\n") + reportText({kSound}).substr(reportText({}).size());
    for (const ReaderCase& c : all) {
        for (const std::size_t chunk : {std::size_t{1}, std::size_t{7}, std::size_t{1} << 20}) {
            if (chunk == 1 && c.bytes.size() > 100000)
                continue;
            SCOPED_TRACE(std::string(c.name) + " in chunks of " + std::to_string(chunk));
            const Read read = parse(c.bytes, chunk);
            EXPECT_EQ(read.lines.size(), c.documents);
            std::vector<std::pair<std::size_t, std::size_t>> problems;
            for (const ReportProblem& p : read.problems)
                problems.emplace_back(p.line, p.field);
            EXPECT_EQ(problems, c.problems);
        }
    }
}

// A line that lies whole in a chunk is cut where it lies; one split across chunks is read byte by byte.
// Both readings must give the same fields, lines, offsets, cents and problems, whatever the bytes.
TEST(AgencyReportReader, WholeLinesAndBytewiseReadingAgree) {
    const std::string amounts =
        ";\" 1.00\";\" 0.20\";\" 1.00\";\" 0.20\";\" 0.00\";\" 0.00\";\" 0.00\";\" 0.00\";\" 0.00\"";
    const std::string head = "BG130000005;";
    const std::vector<std::string> lines = {
        kSound,
        head + "\"DOUBLED \"\"Q\"\" OOD\";202610;1;7;01-10-2026;x" + amounts, // a doubled quote
        head + "\"AFTER\" QUOTE;202610;1;8;01-10-2026;x" + amounts,           // text after the closing quote
        head + "MID\"DLE;202610;1;9;01-10-2026;x" + amounts,                  // a quote inside an unquoted field
        head + "\"TWO\nLINES\";202610;1;10;01-10-2026;x" + amounts,           // a break inside quotes
        head + "\"CR\rINSIDE\";202610;1;11;01-10-2026;x" + amounts,           // a CR inside quotes
        head + "NAME;202610;1;12;01-10-2026;x" + amounts + ";",               // the 17th field empty
        head + "NAME;202610;1;13;01-10-2026;x" + amounts + ";x",              // 17 fields: damaged
        head + "NAME;202610;1;14;01-10-2026;x" + amounts + ";;;;;;",          // many more fields
        head + "NAME;202610;1;15;01-10-2026;x;\" 1.005\";\" 1e2\";\" 1.00\";\" 0.20\";\" 0.00\";\" 0.00\";\" "
               "0.00\";\" 0.00\";\"-0.50\"", // amounts read the exact way
        head + "NAME;202610;1;16;01-10-2026;x;\"12,50\"" + amounts.substr(amounts.find(';', 1)), // no number
        "",
        "   ",
        head + std::string("NUL\0;202610", 12) + amounts,       // a NUL
        head + "\"UNCLOSED;202610;1;17;01-10-2026;x" + amounts, // runs to the end of the file
    };
    for (const char* breakText : {"\n", "\r\n", "\r"}) {
        const std::string bytes = reportText(lines, breakText);
        auto shape = [](const Read& read) {
            std::vector<std::string> out;
            for (const ReportLine& l : read.lines) {
                std::string text = std::to_string(l.line) + "@" + std::to_string(l.offset);
                for (const std::string& f : l.fields)
                    text += "|" + f;
                out.push_back(text);
            }
            for (const ReportProblem& p : read.problems)
                out.push_back(p.text());
            return out;
        };
        const std::vector<std::string> whole = shape(parse(bytes, bytes.size()));
        for (const std::size_t chunk : {std::size_t{1}, std::size_t{2}, std::size_t{7}, std::size_t{100}}) {
            SCOPED_TRACE(std::string("break ") +
                         (breakText[0] == '\n' ? "LF"
                          : breakText[1]       ? "CRLF"
                                               : "CR") +
                         ", chunks of " + std::to_string(chunk));
            EXPECT_EQ(shape(parse(bytes, chunk)), whole);
        }
        // Read: the sound line, the five quoted or quoting ones, the empty 17th field, the exact amounts.
        EXPECT_EQ(parse(bytes, bytes.size()).lines.size(), 8u);
    }
}

// The views and cents the reconciler takes: the cents where the amount is written the common way.
TEST(AgencyReportReader, CentsOfTheCommonWriting) {
    struct Case {
        const char* text;
        std::optional<std::int64_t> cents;
        bool amount; // isAmountText
    };
    const Case cases[] = {
        {" 1.00", 100, true},
        {"1", 100, true},
        {"-0.5", -50, true},
        {"+7.10 ", 710, true},
        {".5", 50, true},
        {"12.", 1200, true},
        {"1.005", std::nullopt, true}, // finer than a cent: the exact reader's
        {"1e2", std::nullopt, true},
        {"9999999999999.99", 999999999999999, true},
        {"99999999999999", std::nullopt, true}, // 14 digits: the exact reader's
        {"", std::nullopt, true},
        {"   ", std::nullopt, true},
        {"12,50", std::nullopt, false},
        {"-", std::nullopt, false},
        {".", std::nullopt, false},
        {"1.2.3", std::nullopt, false},
        {"1 000", std::nullopt, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(amountCents(c.text), c.cents);
        EXPECT_EQ(isAmountText(c.text), c.amount);
    }
    // What the reader hands out as views carries the same cents.
    std::vector<ReportFields> seen;
    ReportParser parser = ReportParser::withViews("r.csv", [&](const ReportFields& f) { seen.push_back(f); }, {});
    parser.feed(reportText({line("BG130000005", "1", "7", "01-10-2026", "12.5", "1.005")}));
    parser.finish();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].cents[0], std::optional<std::int64_t>(1250));
    EXPECT_EQ(seen[0].cents[1], std::nullopt);
}

// Lines read again through one window: forwards, backwards, across the window's edge, and where no
// line starts.
TEST(AgencyReportReader, LinesReadAgainThroughAWindow) {
    std::vector<std::string> lines;
    for (int i = 0; i < 40; ++i)
        lines.push_back(
            line("BG130000005", "1", std::to_string(1000 + i), "01-10-2026", std::to_string(i) + ".00", "0.20"));
    lines[17] =
        "BG130000005;\"TWO\nLINES\";202610;1;7;01-10-2026;x;\" 1.00\";\" 0.20\";\" 1.00\";\" 0.20\";\" 0.00\";\" "
        "0.00\";\" 0.00\";\" 0.00\";\" 0.00\"";
    const std::string bytes = reportText(lines, "\r\n");
    const Read read = parse(bytes, bytes.size());
    ASSERT_EQ(read.lines.size(), 40u);
    const std::string path = ::testing::TempDir() + "/window.csv";
    std::ofstream(path, std::ios::binary) << bytes;
    std::size_t size = 0;
    const UniqueFd fd = openFileForReading(path, size);
    for (const std::size_t chunk : {std::size_t{16}, std::size_t{100}, std::size_t{1} << 20}) {
        SCOPED_TRACE("window of " + std::to_string(chunk));
        ReportLineReader reader(fd.get(), path, chunk);
        std::vector<std::size_t> order;
        for (std::size_t i = 0; i < read.lines.size(); ++i)
            order.push_back(i);
        for (std::size_t i = read.lines.size(); i-- > 0;)
            order.push_back(i);
        ReportLine again;
        for (const std::size_t i : order) {
            ASSERT_TRUE(reader.read(read.lines[i].offset, read.lines[i].line, again)) << i;
            EXPECT_EQ(again.fields, read.lines[i].fields) << i;
            EXPECT_EQ(again.line, read.lines[i].line);
        }
        EXPECT_FALSE(reader.read(read.lines[5].offset + 1, 1, again)); // inside a line
        EXPECT_FALSE(reader.read(bytes.size(), 1, again));             // at the end
        EXPECT_FALSE(reader.read(bytes.size() + 100, 1, again));       // past it
    }
    std::filesystem::remove(path);
}

TEST(AgencyReportReader, FieldsTitleAndOffsets) {
    const std::string quoted = "BG130000005;\"A;B \"\"C\"\"\";202610;1;0000000042;02-10-2026;x;\" 1.00\";\" "
                               "0.20\";\" 1.00\";\" 0.20\";\" 0.00\";\" 0.00\";\" 0.00\";\" 0.00\";\" 0.00\"";
    const std::string bytes = reportText({kSound, quoted}, "\r\n");
    const Read read = parse(bytes);
    ASSERT_EQ(read.lines.size(), 2u);
    EXPECT_EQ(read.title.buyerName, utf8ToWin1251("ПРИМЕР, ЕООД"));
    EXPECT_EQ(read.title.buyerId, "121212121");
    EXPECT_EQ(read.title.period, "202610");
    EXPECT_EQ(read.lines[1].fields[SupplierNameColumn], "A;B \"C\"");
    EXPECT_EQ(read.lines[1].fields[TotalBaseColumn], " 1.00");
    EXPECT_EQ(read.lines[1].line, 4u);
    // Each offset is where its line starts, and the line read again from there is the same.
    const std::string path = ::testing::TempDir() + "/offsets.csv";
    std::ofstream(path, std::ios::binary) << bytes;
    for (const ReportLine& l : read.lines) {
        ReportLine again;
        again.line = l.line;
        ASSERT_TRUE(readReportLineAt(path, l.offset, again));
        EXPECT_EQ(again.fields, l.fields);
    }
    ReportLine none;
    EXPECT_FALSE(readReportLineAt(path, read.lines[1].offset + 3, none));
    std::filesystem::remove(path);
}

TEST(AgencyReportReader, RefusesOtherFiles) {
    const std::string others[] = {
        "",
        utf8ToWin1251("Дневник на покупките;\n") + utf8ToWin1251(kCaptions) + "\n",
        utf8ToWin1251(kTitle + "\n" + kCaptions.substr(0, kCaptions.rfind(';', kCaptions.size() - 2)) + "\n"),
        utf8ToWin1251(kTitle + "\n"),
        utf8ToWin1251("Справка за декларираните продажби към ПРИМЕР от регистрираните лица за данъчен период 2026;\n" +
                      kCaptions + "\n"),
    };
    for (const std::string& text : others) {
        SCOPED_TRACE(win1251ToUtf8(text.substr(0, 60)));
        THROWN_BY(parse(text), NotAReportError);
    }
}

namespace {

std::string pad(std::string text, std::size_t width) {
    text.resize(width, ' ');
    return text;
}
std::string right(const std::string& text, std::size_t width) {
    return std::string(width - text.size(), ' ') + text;
}

// A purchase record of today's generation; amounts are columns 9..13.
std::string purchase(const std::string& type, const std::string& number, const std::string& date,
                     const std::string& supplier, const std::vector<std::string>& amounts) {
    std::string record = pad("BG121212121", 15) + "202610" + pad("", 4) + right("1", 15) + type + pad(number, 20) +
                         date + pad(supplier, 15) + pad("DOSTAVCHIK", 50) + pad("STOKA", 30);
    for (std::size_t i = 0; i < 7; ++i)
        record += right(i < amounts.size() ? amounts[i] : "0.00", 15);
    return utf8ToWin1251(record + "  ");
}

} // namespace

TEST(Reconcile, ClassesOfDocuments) {
    const std::string dir = ::testing::TempDir();
    const std::string main = dir + "/main.csv", earlier = dir + "/earlier.csv";
    std::ofstream(main, std::ios::binary) << reportText({
        line("BG130000005", "1", "0000006462", "01-10-2026", "100.00", "20.00"), // credit, agrees
        line("BG130000005", "1", "0000000017", "03-10-2026", "50.00", "10.00"),  // booked without credit: 8 + 9
        line("BG130000005", "1", "18", "04-10-2026", "50.00", "10.00"),          // another amount
        line("BG130000005", "1", "19", "05-10-2026", "50.00", "10.00"),          // another date and type
        line("BG130000005", "1", "20", "06-10-2026", "50.00", "10.00", " 5.00"), // exempt part: not compared
        line("BG130000005", "1", "21", "07-10-2026", "1.00", "0.20"),            // duplicate key, first
        line("BG130000005", "1", "21", "07-10-2026", "2.00", "0.40"),            // duplicate key, second
        line("BG130000005", "1", "99", "08-10-2026", "7.00", "1.40"),            // missing from the journal
    });
    std::string earlierText = reportText({line("BG130000005", "1", "5", "30-09-2026", "3.00", "0.60"),
                                          line("BG130000005", "1", "6", "29-09-2026", "4.00", "0.80")});
    const std::string from = utf8ToWin1251("период 202610");
    earlierText.replace(earlierText.find(from), from.size(), utf8ToWin1251("период 202609"));
    std::ofstream(earlier, std::ios::binary) << earlierText;

    std::map<std::string, Item> items; // by the journal's number, or the report's for missing ones
    Reconciler reconciler("202610", [&](const Item& item) { items[item.number] = item; });
    std::vector<ReportProblem> problems;
    reconciler.addReport(main, [&](const ReportProblem& p) { problems.push_back(p); });
    reconciler.addReport(earlier, [&](const ReportProblem& p) { problems.push_back(p); });
    EXPECT_TRUE(problems.empty());
    const std::vector<std::string> journal = {
        purchase("01", "6462", "01/10/2026", "BG130000005", {"0.00", "100.00", "20.00"}),
        purchase("01", "17", "03.10.2026", "BG130000005", {"60.00"}),
        purchase("01", "18", "04/10/2026", "BG130000005", {"0.00", "50.00", "10.01"}),
        purchase("03", "0019", "15/10/2026", "BG130000005", {"0.00", "50.00", "10.00"}),
        purchase("01", "20", "06/10/2026", "BG130000005", {"0.00", "55.00", "10.00"}),
        purchase("01", "21", "07/10/2026", "BG130000005", {"0.00", "1.00", "0.20"}),
        purchase("01", "021", "07/10/2026", "BG130000005", {"0.00", "2.00", "0.40"}),
        purchase("01", "022", "07/10/2026", "BG130000005", {"0.00", "2.00", "0.40"}), // not declared
        purchase("01", "5", "30/09/2026", "BG130000005", {"0.00", "3.00", "0.60"}),   // paired in September
        purchase("01", "8", "28/09/2026", "BG130000005", {"0.00", "3.00", "0.60"}),   // earlier month
        purchase("07", "23", "09/10/2026", "BG130000005", {"0.00", "3.00", "0.60"}),  // customs
        purchase("01", "24", "09/10/2026", "DE123456789", {"0.00", "3.00", "0.60"}),  // EU supplier
        purchase("01", "25", "09/10/2026", "130000005", {"3.60"}),                    // no VAT registration
        purchase("01", "26", "09/10/2026", "999999999999999", {"3.60"}),              // placeholder
    };
    for (std::size_t i = 0; i < journal.size(); ++i)
        reconciler.purchase(journal[i], i + 1);
    reconciler.finish();

    const std::map<std::string, ItemClass> expected = {
        {"6462", ItemClass::Agrees},     {"17", ItemClass::Agrees},      {"18", ItemClass::Different},
        {"0019", ItemClass::Different},  {"20", ItemClass::Agrees},      {"021", ItemClass::Agrees},
        {"022", ItemClass::NotDeclared}, {"5", ItemClass::Agrees},       {"8", ItemClass::NotExpected},
        {"23", ItemClass::NotExpected},  {"24", ItemClass::NotExpected}, {"25", ItemClass::NotExpected},
        {"26", ItemClass::NotExpected},  {"99", ItemClass::Missing},     {"21", ItemClass::Agrees},
    };
    for (const auto& [number, itemClass] : expected) {
        SCOPED_TRACE(number);
        ASSERT_EQ(items.count(number), 1u);
        EXPECT_EQ(items[number].itemClass, itemClass) << classCode(items[number].itemClass);
    }
    EXPECT_EQ(items.size(), expected.size()); // the September line 6 is not missing here

    // A difference is named with both values and journal − report.
    ASSERT_EQ(items["18"].differences.size(), 1u);
    EXPECT_EQ(items["18"].differences[0].journal, "10.01");
    EXPECT_EQ(items["18"].differences[0].report, "10.00");
    EXPECT_EQ(items["18"].differences[0].delta, "0.01");
    EXPECT_EQ(items["0019"].differences.size(), 2u); // type and date, the amounts agree
    EXPECT_TRUE(items["20"].notCompared);
    EXPECT_NE(items["20"].reportAmounts.find("кол.15=5.00"), std::string::npos) << items["20"].reportAmounts;
    EXPECT_EQ(items["021"].reportLine, 9u); // the second of the key, in file order
    EXPECT_EQ(reconciler.totals().missing, 1u);
    EXPECT_EQ(reconciler.totals().notDeclared, 1u);
    EXPECT_EQ(reconciler.totals().different, 2u);
    EXPECT_FALSE(reconciler.totals().clean());
    std::filesystem::remove(main);
    std::filesystem::remove(earlier);
}

// Thousands of keys, many repeated, in several reports: the table grows and probes past other keys, and
// every record still pairs with its own line, repeated keys in file order, the rest missing in file order.
TEST(Reconcile, ManyKeysPairWithTheirOwnLines) {
    const std::string dir = ::testing::TempDir();
    const std::string first = dir + "/many-1.csv", second = dir + "/many-2.csv";
    // Report lines: supplier i % 50, number i % 3000 (written with leading zeros every other time), so
    // that numbers 0..999 come twice in a report and the chains of a key cross the batches of insertion.
    auto report = [](int from, int to) {
        std::vector<std::string> lines;
        for (int i = from; i < to; ++i) {
            const std::string number = (i % 2 ? "000" : "") + std::to_string(i % 3000);
            lines.push_back(line("BG1" + std::to_string(100000 + i % 50), "1", number, "01-10-2026",
                                 std::to_string(i) + ".00", "0.00"));
        }
        return reportText(lines);
    };
    std::ofstream(first, std::ios::binary) << report(0, 4000);
    std::ofstream(second, std::ios::binary) << report(4000, 5000);
    struct Seen {
        ItemClass itemClass;
        std::string file;
        std::size_t reportLine;
        std::string base;
    };
    std::vector<Seen> seen;
    Reconciler reconciler("202610", [&](const Item& item) {
        seen.push_back(Seen{item.itemClass, item.reportFile, item.reportLine, item.reportAmounts});
    });
    reconciler.addReport(first, {});
    reconciler.addReport(second, {});
    ASSERT_EQ(reconciler.reportLines(), 5000u);
    // Records for report lines 4999, 4997, ... 1: backwards, every other one, with the base of that line.
    std::vector<int> booked;
    for (int i = 4999; i >= 0; i -= 2)
        booked.push_back(i);
    for (std::size_t r = 0; r < booked.size(); ++r) {
        const int i = booked[r];
        reconciler.purchase(purchase("01", std::to_string(i % 3000), "01/10/2026",
                                     "BG1" + std::to_string(100000 + i % 50),
                                     {"0.00", std::to_string(i) + ".00", "0.00"}),
                            r + 1);
    }
    reconciler.finish();
    ASSERT_EQ(seen.size(), 5000u);
    // Key (i % 50, i % 3000) is shared by lines i and i + 3000 (i < 2000). A record of line i takes the key's
    // first line not yet taken, in file order: the record of 4999 takes line 1999's place, and so on.
    std::map<std::pair<int, int>, std::vector<int>> byKey;
    for (int i = 0; i < 5000; ++i)
        byKey[{i % 50, i % 3000}].push_back(i);
    std::map<std::pair<int, int>, std::size_t> taken;
    std::vector<bool> used(5000, false);
    for (std::size_t r = 0; r < booked.size(); ++r) {
        const int i = booked[r];
        const int expectedLine = byKey[{i % 50, i % 3000}][taken[{i % 50, i % 3000}]++];
        used[static_cast<std::size_t>(expectedLine)] = true;
        SCOPED_TRACE("record " + std::to_string(r + 1) + " of line " + std::to_string(i));
        const Seen& s = seen[r];
        EXPECT_EQ(s.file, expectedLine < 4000 ? first : second);
        EXPECT_EQ(s.reportLine, static_cast<std::size_t>(expectedLine % 4000 + 3));
        EXPECT_EQ(s.itemClass, expectedLine == i ? ItemClass::Agrees : ItemClass::Different);
    }
    std::size_t at = booked.size();
    for (int i = 0; i < 5000; ++i) {
        if (used[static_cast<std::size_t>(i)])
            continue;
        ASSERT_LT(at, seen.size());
        EXPECT_EQ(seen[at].itemClass, ItemClass::Missing);
        EXPECT_EQ(seen[at].reportLine, static_cast<std::size_t>(i % 4000 + 3)) << i;
        EXPECT_EQ(seen[at].base, "кол.8=" + std::to_string(i) + ".00 кол.9=0.00") << i;
        ++at;
    }
    EXPECT_EQ(at, seen.size());
    std::filesystem::remove(first);
    std::filesystem::remove(second);
}

// The finder of the reports in a period folder, shared by the check's rule 22 and reconcile --recursive:
// any *.csv (the extension in any case) whose title is the firm's report, of any period, in name order.
TEST(Reconcile, ReportsInAFolderAreFoundByTheirTitles) {
    const std::string dir = ::testing::TempDir() + "/finder";
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir + "/sub.csv");
    const std::string own = reportText({kSound}); // the title of ЕИК 121212121
    std::string earlier = own;
    const std::string from = utf8ToWin1251("период 202610");
    earlier.replace(earlier.find(from), from.size(), utf8ToWin1251("период 202609"));
    std::string other = own;
    other.replace(other.find("121212121"), 9, "334788293");
    const std::pair<const char*, std::string> files[] = {
        {"b.csv", own},           {"A.CSV", earlier}, {"other-firm.csv", other}, {"own.txt", own},
        {"notes.csv", "a;b;c\n"}, {"empty.csv", ""},  {"c.csv.bak", own},
    };
    for (const auto& [name, bytes] : files)
        std::ofstream(dir + "/" + name, std::ios::binary) << bytes;
    std::vector<std::string> found;
    for (const FoundReport& report : reportsInFolder(dir, "BG121212121    "))
        found.push_back(std::filesystem::path(report.path).filename().string() + " " + report.title.period);
    EXPECT_EQ(found, (std::vector<std::string>{"A.CSV 202609", "b.csv 202610"}));
    EXPECT_TRUE(reportsInFolder(dir + "/missing", "BG121212121").empty());
    std::filesystem::remove_all(dir);
}

TEST(Reconcile, KeysDropBlanksAndLeadingZeros) {
    EXPECT_EQ(documentKey(" BG130000005 ", "0000006462"), documentKey("BG130000005", "6462"));
    EXPECT_EQ(documentKey("BG130000005", "00 64 62"), documentKey("BG130000005", "6462"));
    EXPECT_NE(documentKey("BG130000005", "6462"), documentKey("BG130000006", "6462"));
    EXPECT_NE(documentKey("BG13000000", "56462"), documentKey("BG130000005", "6462"));
    EXPECT_NE(documentKey("BG130000005", "64620"), documentKey("BG130000005", "6462"));
}

TEST(Reconcile, ReportsOfAnotherBuyerOrLaterPeriodAreRefused) {
    struct Case {
        const char* buyerId;
        const char* period;
        std::size_t refusals;
    };
    const Case cases[] = {
        {"334788293", "202610", 0}, // the firm's, this month
        {"334788293", "202609", 0}, // an earlier month pairs the records dated in it
        {"334788293", "202611", 1}, // later
        {"121212121", "202610", 1}, // another buyer
        {"33478829", "202612", 2},  // both
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.buyerId) + " " + c.period);
        ReportTitle title;
        title.buyerName = "X";
        title.buyerId = c.buyerId;
        title.period = c.period;
        EXPECT_EQ(reportRefusals("r.csv", title, "BG334788293    ", "202610").size(), c.refusals);
    }
}

TEST(ReconcileDocument, PagedInTheJournalsStyle) {
    const std::string folder = std::string(ORVA_REGRESS) + "/reconcile-report";
    const std::vector<std::string> reports = {folder + "/nap-202610.csv", folder + "/nap-202609.csv"};
    const PeriodSession session(folder);
    std::vector<std::string> lines;
    LineCollector sink(lines);
    const ReconciliationSummary summary = writeReconciliation(session, reports, 20, sink);
    EXPECT_TRUE(summary.problems.empty());
    EXPECT_EQ(summary.damagedLines, 1u);
    EXPECT_EQ(summary.totals.different, 2u);

    // Every page opens with its number and the header, and holds at most 20 lines.
    std::size_t pages = 0, sinceHeader = 0;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        ASSERT_LE(lines[i].size(), 117u) << i;
        if (lines[i] == journal_table::pageNumberLine(static_cast<int>(pages) + 1)) {
            EXPECT_TRUE(pages == 0 || sinceHeader == 20) << "page " << pages << " holds " << sinceHeader;
            ++pages;
            sinceHeader = 0;
            EXPECT_EQ(win1251ToUtf8(lines.at(i + 2)), "РОДОПА ВИЖЪН ООД  BG334788293  период 202610");
        }
        ++sinceHeader;
        if (!lines[i].empty() && lines[i][0] == '|') {
            EXPECT_EQ(lines[i].size(), 117u) << i;
        }
    }
    EXPECT_EQ(pages, 2u);
    // The rows of the two different documents and the missing one, byte for byte.
    const std::string wanted[] = {
        "|липсва       |BG130000005    |0000000777          |1  |09-10-2026|       |10     |кол.8=70.00 кол.9=14.00; "
        "кредитът|",
        "|различен     |BG130000005    |88                  |01 |06/10/2026|9      |5      |ДДС (кол.11+13 / кол.9): "
        "дневник |",
        "|             |               |                    |   |          |       |       |20.01, справка 20.00, "
        "разлика    |",
        "|различен     |BG130000005    |89                  |01 |05/10/2026|10     |6      |дата: дневник 05/10/2026, "
        "справка|",
    };
    for (const std::string& row : wanted)
        EXPECT_NE(std::find(lines.begin(), lines.end(), utf8ToWin1251(row)), lines.end()) << row;
    EXPECT_EQ(std::count(lines.begin(), lines.end(), journal_table::closingLine()), 1);

    std::vector<std::string> few;
    LineCollector small(few);
    THROWN_BY(writeReconciliation(session, reports, kReconciliationHeaderLines, small), Error);
}
