#include "PeriodBuilder.h"
#include "check/CheckReport.h"
#include "period/PeriodSession.h"
#include "text/ContentHash.h"
#include "text/LineFile.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <string>
#include <sys/stat.h>
#include <vector>

using namespace orva;

namespace {

class Session : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = ::testing::TempDir() + "orva-session-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        folder_ = pattern;
        fixture::Period period = fixture::consistentPeriod(6, 7);
        period.files["VIES.TXT"] = "";
        fixture::writePeriod(period, folder_);
    }
    void TearDown() override { std::system(("rm -rf '" + folder_ + "'").c_str()); }

public:
    std::string path(const char* name) const { return folder_ + "/" + name; }

protected:
    std::string folder_;
};

} // namespace

// The check in the window and the print dialog's re-paging read the journals again after the dialog:
// the check once reported on whatever was on disk then, without a word that it was not the period
// shown. Each way a file can change after the load must be named, and nothing else.
TEST_F(Session, NamesEveryFileChangedSinceItWasRead) {
    const struct {
        const char* name;
        std::function<void(Session&)> change;
        std::vector<std::string> changed;
    } cases[] = {
        {"nothing", [](Session&) {}, {}},
        {"a record appended",
         [](Session& s) { std::ofstream(s.path("pokupki.txt"), std::ios::app) << std::string(272, '1') << "\r\n"; },
         {"pokupki.txt"}},
        {"cut to nothing",
         [](Session& s) { std::ofstream(s.path("prodagbi.txt"), std::ios::trunc); },
         {"prodagbi.txt"}},
        {"replaced by a file of the same bytes",
         [](Session& s) {
             writeFileAtomic(s.path("deklar.txt") + ".new", readFileBytes(s.path("deklar.txt")));
             std::rename((s.path("deklar.txt") + ".new").c_str(), s.path("deklar.txt").c_str());
         },
         {"deklar.txt"}},
        {"removed", [](Session& s) { std::remove(s.path("VIES.TXT").c_str()); }, {"VIES.TXT"}},
        {"two at once",
         [](Session& s) {
             std::remove(s.path("prodagbi.txt").c_str());
             std::ofstream(s.path("pokupki.txt"), std::ios::app) << "\r\n";
         },
         {"pokupki.txt", "prodagbi.txt"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        const PeriodSession session(folder_);
        EXPECT_TRUE(session.changedFiles().empty());
        c.change(*this);
        EXPECT_EQ(session.changedFiles(), c.changed);
        EXPECT_EQ(session.changedFilesNote().empty(), c.changed.empty());
        TearDown();
    }
}

// The window's check tab says it when it read files other than the ones shown.
TEST_F(Session, TheChecksReportSaysWhichFilesChanged) {
    const PeriodSession session(folder_);
    EXPECT_EQ(check::runTextReport(session, nullptr).filesChanged, "");
    std::ofstream(path("pokupki.txt"), std::ios::app) << "\r\n";
    const check::CheckReport report = check::runTextReport(session, nullptr);
    EXPECT_EQ(report.filesChanged, "Файлът pokupki.txt е променен след зареждането на периода: прочетено е това, "
                                   "което е на диска сега, не показаното.");
}

// The fingerprint of a file does not depend on how its reads were cut, and tells one byte apart.
TEST(ContentHash, SameBytesInAnyPiecesAndOneByteApart) {
    std::string bytes;
    for (int i = 0; i < 1000; ++i)
        bytes += static_cast<char>(i * 37 % 251);
    const auto whole = [](std::string_view text) {
        ContentHash hash;
        hash.add(text);
        return hash.value();
    };
    for (std::size_t piece : {1u, 3u, 7u, 8u, 9u, 64u, 999u}) {
        ContentHash hash;
        for (std::size_t at = 0; at < bytes.size(); at += piece)
            hash.add(std::string_view(bytes).substr(at, piece));
        EXPECT_EQ(hash.value(), whole(bytes)) << piece;
    }
    std::string other = bytes;
    other[500] ^= 1;
    EXPECT_NE(whole(other), whole(bytes));
    // A shorter file whose last word is padded with zeros is not the same file.
    EXPECT_NE(whole(std::string("ab\0", 3)), whole("ab"));
    EXPECT_NE(whole(""), whole(std::string(1, '\0')));
}
