#include "check/ReturnRules.h"
#include "period/DataFiles.h"
#include "period/PeriodSession.h"

#include "PeriodBuilder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

using namespace orva;

namespace {

class DataFiles : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = ::testing::TempDir() + "orva-data-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        folder_ = pattern;
    }
    void TearDown() override { std::system(("rm -rf '" + folder_ + "'").c_str()); }

    void write(const std::string& name, const std::string& bytes) {
        std::ofstream(folder_ + "/" + name, std::ios::binary) << bytes;
    }
    std::string failure(const std::string& name) {
        try {
            surveyDataFile(folder_, name);
        } catch (const PeriodError& error) {
            return error.what();
        }
        return "(no failure)";
    }

    std::string folder_;
};

} // namespace

TEST_F(DataFiles, ExactNameFirstThenTheOneCaseVariant) {
    struct Case {
        std::vector<std::string> entries;
        std::string found; // the entry surveyDataFile takes for pokupki.txt, or the failure
    };
    const std::vector<Case> cases = {
        {{"POKUPKI.TXT"}, "POKUPKI.TXT"},
        {{"Pokupki.txt"}, "Pokupki.txt"},
        {{"pokupki.txt", "POKUPKI.TXT"}, "pokupki.txt"},
        {{"POKUPKI.TXT", "Pokupki.txt"}, "pokupki.txt: няколко файла отговарят: POKUPKI.TXT, Pokupki.txt"},
        {{"pokupki.txt.bak", "xpokupki.txt"},
         "pokupki.txt: не може да се отвори @/pokupki.txt: няма такъв файл или папка"},
    };
    for (const Case& c : cases) {
        TearDown();
        SetUp();
        for (const std::string& entry : c.entries)
            write(entry, "x");
        std::string found;
        try {
            found = surveyDataFile(folder_, "pokupki.txt").name;
        } catch (const PeriodError& error) {
            found = error.what();
            const std::size_t at = found.find(folder_);
            if (at != std::string::npos)
                found.replace(at, folder_.size(), "@");
        }
        EXPECT_EQ(found, c.found) << c.entries.front();
    }
}

TEST_F(DataFiles, CodePageByTheRangeThatHoldsMoreBytes) {
    struct Case {
        std::string bytes;
        CodePage codePage;
        std::size_t firstLine;
    };
    const std::vector<Case> cases = {
        {"", CodePage::Mik, 0},
        {"ASCII only\r\nmore", CodePage::Mik, 10},
        {"\x80\xA0\xAF\r\n", CodePage::Mik, 3},                     // MIK letters
        {"\xC0\xE0\xE1\x84\x93\r\n", CodePage::Windows1251, 5},     // 1251 letters and „“
        {"\x80\xC0", CodePage::Mik, 2},                             // a tie stays MIK
        {std::string("ab\0\xC0\xC0", 5), CodePage::Windows1251, 2}, // bytes after a NUL count too
        // Long enough for the counting by words, one byte deciding across their edges.
        {"x" + std::string(100, '\xC0') + std::string(99, '\x90') + "yz", CodePage::Windows1251, 202},
        {"x" + std::string(99, '\xE0') + std::string(100, '\xBF') + "y", CodePage::Mik, 201},
        // More than 255 words: the lanes are summed on the way.
        {std::string(4000, '\xC1') + std::string(4001, '\xA1'), CodePage::Mik, 8001},
        {std::string(4001, '\xC1') + std::string(4000, '\xA1'), CodePage::Windows1251, 8001},
    };
    for (const Case& c : cases) {
        write("deklar.txt", c.bytes);
        const FileSurvey survey = surveyDataFile(folder_, "deklar.txt");
        EXPECT_EQ(survey.codePage, c.codePage) << c.bytes;
        EXPECT_EQ(survey.firstLineLength, c.firstLine) << c.bytes;
        EXPECT_EQ(survey.empty, c.bytes.empty());
    }
}

TEST_F(DataFiles, GenerationFromTheFilesOrTheOptions) {
    const std::string classicPurchase(272, 'x'), currentPurchase(274, 'x');
    const std::string classicSales(423, 'x'), currentSales(424, 'x');
    constexpr auto C = Wording::Classic, T = Wording::Today;
    struct Case {
        std::string declaration, purchases, sales;
        ReadOptions options;
        ReturnLayout layout;
        Wording wording; // follows the files, never the cell order
    };
    const std::vector<Case> cases = {
        {"BG1", classicPurchase + "\r\n", classicSales + "\r\n", {}, ReturnLayout::Classic, C},
        {"\xC4\xC4", "", "", {}, ReturnLayout::Current, T},
        {"BG1", currentPurchase + "\r\n", "", {}, ReturnLayout::Current, T},
        {"BG1", "", currentSales, {}, ReturnLayout::Current, T},
        {"BG1", "", "", {CodePage::Windows1251, std::nullopt, std::nullopt}, ReturnLayout::Current, T},
        {"\xC4\xC4", "", "", {std::nullopt, ReturnLayout::Classic, std::nullopt}, ReturnLayout::Classic, T},
        {"BG1", "", "", {std::nullopt, ReturnLayout::Current, std::nullopt}, ReturnLayout::Current, C},
        {"BG1", "", "", {std::nullopt, std::nullopt, T}, ReturnLayout::Classic, T},
        {"\xC4\xC4", "", "", {std::nullopt, std::nullopt, C}, ReturnLayout::Current, C},
    };
    for (const Case& c : cases) {
        write("deklar.txt", c.declaration);
        write("pokupki.txt", c.purchases);
        write("prodagbi.txt", c.sales);
        const PeriodFiles files = surveyPeriod(folder_, c.options);
        EXPECT_EQ(files.returnLayout, c.layout) << c.declaration << c.purchases.size();
        EXPECT_EQ(files.wording, c.wording) << c.declaration << c.purchases.size();
    }
}

// A FIFO in the data folder once blocked the program forever in open().
TEST_F(DataFiles, AFifoOrFolderIsRefusedWithoutWaiting) {
    ASSERT_EQ(::mkfifo((folder_ + "/pokupki.txt").c_str(), 0600), 0);
    EXPECT_EQ(failure("pokupki.txt"), "pokupki.txt: не е обикновен файл: " + folder_ + "/pokupki.txt");
    ASSERT_EQ(::mkdir((folder_ + "/prodagbi.txt").c_str(), 0700), 0);
    EXPECT_EQ(failure("prodagbi.txt"),
              "prodagbi.txt: не може да се прочете " + folder_ + "/prodagbi.txt: това е папка, а не файл");
}

// An amount valid by the number grammar too long for a money text once showed as "i.nf" in cell 50 and
// the check table; now the return and the check fail naming the file, line and amount.
TEST_F(DataFiles, AmountsBeyondTheMoneyFormatFailNamingTheirPlace) {
    const struct {
        const char* name;
        std::map<int, std::string> cells;
        bool check; // checkPeriod, else presetAnswers
        const char* messageStart;
    } cases[] = {
        {"a cell in the table",
         {{11, "1e4931"}},
         true,
         "deklar.txt, ред 1: клетка 11 \"1e4931         \": кл.11 = продажби кол.11: сумата не може да се изпише"},
        {"a difference in the table",
         {{1, "9e4929"}, {11, "-9e4929"}},
         true,
         "deklar.txt, ред 1: клетка 01 \"9e4929         \": кл.01 = кл.11+12+13+14+15+16: сумата не може"},
        {"a record count", {}, true, "deklar.txt, ред 1: поле 5 \"         1e4931\": поле 5 = брой продажби: сумата"},
        {"cell 50", {{20, "1e4931"}}, false, "deklar.txt, ред 1: клетка 20: клетки 20 и 40 (\"1e4931         \", \""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fixture::Period period = fixture::consistentPeriod();
        period.cellTexts = c.cells;
        if (c.cells.empty())
            period.field5 = "1e4931";
        fixture::writePeriod(period, folder_);
        const PeriodSession loaded(folder_);
        const auto totals = [&loaded](JournalKind kind) {
            DiscardingSink none;
            const JournalSummary summary = loaded.journal(kind, 60, none);
            return JournalTotals{summary.totals, summary.records, {}};
        };
        std::string message = "(no failure)";
        try {
            if (c.check)
                checkReturn(loaded.declaration(), totals(JournalKind::Purchases), totals(JournalKind::Sales));
            else
                loaded.presetAnswers();
        } catch (const PeriodError& error) {
            EXPECT_EQ(error.stage(), PeriodError::Stage::Return);
            message = error.what();
        }
        EXPECT_EQ(message.rfind(c.messageStart, 0), 0u) << message;
        EXPECT_EQ(message.find("inf"), std::string::npos) << message;
    }
}

// A record followed by 50 MB of line feeds once took 2.26 GB (the whole file split and joined
// twice). With the data segment limited to 64 MB, the load must still give the documents of the
// record alone. (The sanitizers' shadow memory cannot live under such a limit.)
TEST_F(DataFiles, AHugeReturnRecordFileCostsNoMoreMemoryThanTheRecord) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "no data limit under the address or thread sanitizer";
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
    GTEST_SKIP() << "no data limit under the address sanitizer";
#endif
#endif
    const fixture::Period period = fixture::consistentPeriod();
    fixture::writePeriod(period, folder_);
    const Declaration alone = PeriodSession(folder_).declaration();
    const std::vector<std::string> returnAlone = buildReturn(alone, presetAnswers(alone), 60);
    {
        std::ofstream file(folder_ + "/deklar.txt", std::ios::binary | std::ios::app);
        const std::string lineFeeds(1 << 20, '\n');
        for (int i = 0; i < 50; ++i)
            file << lineFeeds;
    }
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        const rlimit limit{64u << 20, 64u << 20};
        if (::setrlimit(RLIMIT_DATA, &limit) != 0)
            ::_exit(3);
        try {
            const Declaration huge = PeriodSession(folder_).declaration();
            const bool same = huge.label == alone.label && huge.fields == alone.fields &&
                              buildReturn(huge, presetAnswers(huge), 60) == returnAlone;
            ::_exit(same ? 0 : 1);
        } catch (const std::bad_alloc&) {
            ::_exit(2);
        } catch (...) {
            ::_exit(4);
        }
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "1: other documents, 2: out of memory, 3: no limit, 4: a failure";
}
