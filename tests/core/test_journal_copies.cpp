#include "FileSizeLimit.h"
#include "PeriodBuilder.h"
#include "period/JournalCopies.h"
#include "period/PeriodSession.h"
#include "text/DocumentText.h"
#include "text/LineFile.h"

#include <gtest/gtest.h>

#include <dirent.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

using namespace orva;

namespace {

std::vector<std::string> linesOf(const DocumentText& text) {
    std::vector<std::string> lines;
    for (std::size_t index = 0; index < text.lineCount(); ++index)
        lines.emplace_back(text.line(index));
    return lines;
}

std::size_t entryCount(const std::string& folder) {
    std::size_t count = 0;
    DIR* directory = ::opendir(folder.c_str());
    while (const dirent* entry = ::readdir(directory))
        count += std::string(entry->d_name) != "." && std::string(entry->d_name) != "..";
    ::closedir(directory);
    return count;
}

class JournalCopyFiles : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = ::testing::TempDir() + "orva-copies-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        root_ = pattern;
        data_ = root_ + "/data";
        purchasesCopy_ = root_ + "/orva.pro.txt";
        salesCopy_ = root_ + "/orva.pok.txt";
    }
    void TearDown() override { std::system(("rm -rf '" + root_ + "'").c_str()); }

    void writePeriod(int purchases, int sales, const std::map<std::string, std::string>& files = {}) {
        fixture::Period period = fixture::consistentPeriod(purchases, sales);
        period.files = files;
        fixture::writePeriod(period, data_);
    }
    orva::JournalCopies build(int linesPerPage) {
        const PeriodSession period(data_);
        orva::JournalCopies copies = writeJournalCopies(period, linesPerPage, purchasesCopy_, salesCopy_);
        copies.publish();
        return copies;
    }
    // The documents as the window built them before: in memory.
    std::vector<std::string> inMemory(const JournalLayout& layout, int linesPerPage) {
        std::vector<std::string> lines;
        LineCollector sink(lines);
        PeriodSession(data_).journal(layout.kind, linesPerPage, sink);
        return lines;
    }

    std::string root_, data_, purchasesCopy_, salesCopy_;
};

} // namespace

// The line starts hold 4 bytes a line and still tell offsets past 4 GiB, however many boundaries
// lie between two lines.
TEST(LineStarts, OffsetsPastFourGiB) {
    constexpr std::uint64_t G4 = std::uint64_t(1) << 32;
    const std::vector<std::uint64_t> offsets = {0,          100,         G4 - 2,        G4 + 5, G4 + 6,
                                                2 * G4 - 1, 5 * G4 + 17, 5 * G4 + 4000, 6 * G4};
    LineStarts starts;
    for (const std::uint64_t offset : offsets)
        starts.add(offset);
    ASSERT_EQ(starts.size(), offsets.size());
    for (std::size_t line = 0; line < offsets.size(); ++line)
        EXPECT_EQ(starts[line], offsets[line]) << line;
}

// The mapped copies are the documents the window built in memory, line for line, and the copy
// files hold exactly those lines with CR LF; over several page lengths and page breaks.
TEST_F(JournalCopyFiles, MappedCopiesAreTheDocuments) {
    writePeriod(45, 38);
    for (const int linesPerPage : {12, 61, 90}) {
        SCOPED_TRACE(linesPerPage);
        const orva::JournalCopies copies = build(linesPerPage);
        const std::vector<std::string> purchases = inMemory(purchasesLayout(), linesPerPage);
        const std::vector<std::string> sales = inMemory(salesLayout(), linesPerPage);
        EXPECT_TRUE(linesOf(*copies.purchases.text) == purchases);
        EXPECT_TRUE(linesOf(*copies.sales.text) == sales);
        EXPECT_EQ(copies.purchases.summary.records, 45u);
        EXPECT_EQ(copies.sales.summary.records, 38u);
        EXPECT_EQ(readFileBytes(purchasesCopy_), joinLinesCrLf(purchases));
        EXPECT_EQ(readFileBytes(salesCopy_), joinLinesCrLf(sales));
        std::size_t longest = 0;
        for (const std::string& line : sales)
            longest = std::max(longest, line.size());
        EXPECT_EQ(copies.sales.text->longestLine(), longest);
    }
}

// A failed load puts neither copy in place and leaves no temporary file; a copy that cannot be
// written is named, and is not taken for a journal that cannot be read.
TEST_F(JournalCopyFiles, FailureLeavesTheOldCopies) {
    writePeriod(3, 3);
    writeFileAtomic(purchasesCopy_, "old purchases\r\n");
    writeFileAtomic(salesCopy_, "old sales\r\n");
    const std::string badRecord = std::string(170, ' ') + std::string(15 * 17, 'x') + "\r\n";
    const struct {
        const char* name;
        std::map<std::string, std::string> files;
        std::string message;
    } cases[] = {
        {"bad purchase", {{"pokupki.txt", badRecord}}, "pokupki.txt, ред 1: кол.9"},
        {"bad sale", {{"prodagbi.txt", badRecord}}, "prodagbi.txt, ред 1: кол.9"},
        {"both bad: the purchases first", {{"pokupki.txt", badRecord}, {"prodagbi.txt", badRecord}}, "pokupki.txt"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::system(("rm -rf '" + data_ + "'").c_str());
        writePeriod(40, 40, c.files);
        try {
            build(60);
            ADD_FAILURE() << "no failure";
        } catch (const PeriodError& error) {
            EXPECT_EQ(std::string(error.what()).rfind(c.message, 0), 0u) << error.what();
        }
        EXPECT_EQ(readFileBytes(purchasesCopy_), "old purchases\r\n");
        EXPECT_EQ(readFileBytes(salesCopy_), "old sales\r\n");
        EXPECT_EQ(entryCount(root_), 3u); // data and the two copies: no temporary file left
    }

    // A folder that is not there, and a disk that fills during the build (past the writer's first
    // block, so the failure comes from a line of the journal).
    std::system(("rm -rf '" + data_ + "'").c_str());
    writePeriod(4000, 3);
    for (const bool fullDisk : {false, true}) {
        SCOPED_TRACE(fullDisk);
        const std::string failing = fullDisk ? purchasesCopy_ : root_ + "/missing/orva.pok.txt";
        const std::string salesCopy = salesCopy_;
        if (!fullDisk)
            salesCopy_ = failing;
        try {
            std::optional<FileSizeLimit> limit;
            if (fullDisk) {
                ASSERT_TRUE(limit.emplace(1 << 20).ok());
            }
            build(60);
            ADD_FAILURE() << "no failure";
        } catch (const PeriodError& error) {
            ADD_FAILURE() << "taken for a journal's failure: " << error.what();
        } catch (const FileError& error) {
            EXPECT_NE(std::string(error.what()).find(failing), std::string::npos) << error.what();
        }
        salesCopy_ = salesCopy;
        EXPECT_EQ(readFileBytes(purchasesCopy_), "old purchases\r\n");
        EXPECT_EQ(readFileBytes(salesCopy_), "old sales\r\n");
    }
}

// Another program truncating the mapped copy in place (truncate -s 0, an editor rewriting it) ended
// the window with SIGBUS at its next paint: the vanished pages read as NULs and the text says it
// changed; what is still in the file reads as it was.
TEST_F(JournalCopyFiles, ACopyCutShortInPlaceReadsAsGone) {
    writePeriod(400, 3);
    for (const off_t keep : {off_t(0), off_t(5000)}) {
        SCOPED_TRACE(keep);
        const orva::JournalCopies copies = build(60);
        const MappedText& text = *copies.purchases.text;
        const std::vector<std::string> before = linesOf(text);
        ASSERT_GT(text.byteSize(), 3 * 4096u);
        EXPECT_FALSE(text.changed());
        ASSERT_EQ(::truncate(purchasesCopy_.c_str(), keep), 0);
        const std::vector<std::string> after = linesOf(text); // every page read
        EXPECT_TRUE(text.changed());
        ASSERT_EQ(after.size(), before.size());
        std::size_t kept = 0;
        for (std::size_t index = 0; index < after.size(); ++index) {
            const std::size_t gone = std::min(after[index].find('\0'), before[index].size());
            kept += gone == before[index].size();
            EXPECT_EQ(after[index], before[index].substr(0, gone) + std::string(before[index].size() - gone, '\0'))
                << index;
        }
        EXPECT_GE(kept * 120, static_cast<std::size_t>(keep) / 2); // the lines of the pages kept
        EXPECT_FALSE(copies.sales.text->changed());
    }
}
