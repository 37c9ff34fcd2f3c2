// Where orva-cli writes: never over or into the data it reads, never through another user's link,
// all or nothing when the disk fills, and status 1 whenever an output could not be written.
#include "PeriodFixture.h"

#include <gtest/gtest.h>

#include <map>
#include <sys/mount.h>
#include <sys/wait.h>

using namespace clitest;

namespace {

// Every file under `folder` with its bytes: what must stay as it was.
std::map<std::string, std::string> snapshot(const fs::path& folder) {
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(folder))
        files[entry.path().string()] = entry.is_regular_file() ? readBytes(entry.path()) : "<folder>";
    return files;
}

std::vector<std::string> hidden(const fs::path& folder) {
    std::vector<std::string> names;
    for (const std::string& name : listing(folder))
        if (name.front() == '.')
            names.push_back(name);
    return names;
}

// Each case's command once wrote over the data (a data file replaced, a report in a data folder) or
// through a link another user (uid 65534) planted, with status 0. "@" is the test's folder: periods in
// @/T/a, @/T/BG123456786-202610 (named as export names an output, with a VIES.TXT of its own) and
// @/T/b (another firm's return); @/shared/dir and @/shared/file.txt are the other user's links to
// @/victim and @/victim-file, @/mine this user's link to @/shared/dir.
struct PlaceCase {
    const char* name;
    const char* args;
    const char* message; // refused with status 1; null: written, the link replaced
};

void PrintTo(const PlaceCase& c, std::ostream* out) {
    *out << c.name;
}

class OutputPlace : public ::testing::TestWithParam<PlaceCase> {};

TEST_P(OutputPlace, NeverOverTheDataNorThroughAnotherUsersLink) {
    const PlaceCase& c = GetParam();
    TempDir temp;
    const fs::path& at = temp.path();
    const std::string spelled = c.args;
    const bool links = spelled.find("@/shared") != std::string::npos || spelled.find("@/mine") != std::string::npos;
    if (links && ::geteuid() != 0)
        GTEST_SKIP() << "giving a link to another user needs root";
    writePeriod(consistentPeriod(), at / "T" / "a");
    writePeriod(consistentPeriod(), at / "T" / "BG123456786-202610");
    writeBytes((at / "T" / "BG123456786-202610" / "vies.txt").string(), "the client's\r\n");
    Period other = consistentPeriod();
    other.vatNumber = "BG175074752";
    writePeriod(other, at / "T" / "b");
    fs::create_directory_symlink(at / "T" / "a", at / "link-to-a");
    fs::create_directories(at / "out"); // an earlier output, now a link to the period export names so
    fs::create_directory_symlink(at / "T" / "BG123456786-202610", at / "out" / "BG123456786-202610");
    fs::create_directories(at / "victim");
    writeBytes((at / "victim-file").string(), "root's own\n");
    fs::create_directories(at / "shared");
    for (const auto& [target, link] : {std::pair{"victim", "shared/dir"},
                                       {"victim-file", "shared/file.txt"},
                                       {"victim-file", "shared/BG123456786-202610.txt"}}) {
        fs::create_symlink(at / target, at / link);
        ASSERT_TRUE(::geteuid() != 0 || ::lchown((at / link).c_str(), 65534, 65534) == 0);
    }
    fs::create_directory_symlink(at / "shared" / "dir", at / "mine");
    const auto before = snapshot(at);

    std::vector<std::string> args;
    std::istringstream words(c.args);
    for (std::string word; words >> word;)
        args.push_back(word.front() == '@' ? at.string() + word.substr(1) : word);
    if (args.front() == "export")
        args.insert(args.begin() + 1, {"--lines-per-page", "60"});
    const CliResult run = runCli(args, withoutPrinter());
    if (c.message != nullptr) {
        EXPECT_EQ(run.status, orva::cli::kUsage) << run.err;
        EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
        EXPECT_EQ(snapshot(at), before);
    } else {
        EXPECT_NE(run.status, orva::cli::kUsage) << run.err; // written (b's journals are a's firm's: 5)
    }
    EXPECT_TRUE(fs::is_empty(at / "victim"));
    EXPECT_EQ(readBytes(at / "victim-file"), "root's own\n");
}

const char* const kData = "е в папката с данни";
const char* const kAbove = "съдържа папката с данни";
const char* const kLink = "е символна връзка на друг потребител (uid 65534)";

const PlaceCase kPlaceCases[] = {
    {"export_into_its_data", "export --out @/T/a @/T/a", kData},
    {"export_below_its_data", "export --out @/T/a/out @/T/a", kData},
    {"export_through_a_link_to_its_data", "export --out @/link-to-a @/T/a", kData},
    {"export_above_its_data", "export --out @/T @/T/a", kAbove},
    {"export_recursive_over_its_tree", "export --recursive --out @/T @/T", kAbove},
    {"export_into_a_period_named_as_an_output", "export --out @/out @/T/BG123456786-202610 @/T/b",
     "BG123456786-202610 е в папката с данни"},
    {"check_output_over_a_journal", "check --output @/T/a/pokupki.txt @/T/a", "е файл с данни"},
    {"check_output_through_a_link_to_a_journal", "check --output @/link-to-a/pokupki.txt @/T/a", "е файл с данни"},
    {"check_xlsx_into_its_data", "check --format xlsx --output @/T/a/check.xlsx @/T/a", kData},
    {"check_summary_into_a_period", "check --recursive --output @/T/b/summary.txt @/T", kData},
    {"check_details_into_a_period", "check --details @/T/a @/T/a @/T/b", kData},
    {"export_one_period_below_a_link", "export --out @/shared/dir/out @/T/a", kLink},
    {"export_periods_into_a_link", "export --out @/shared/dir @/T/a @/T/b", kLink},
    {"export_periods_below_a_link", "export --out @/shared/dir/out @/T/a @/T/b", kLink},
    {"export_recursive_into_a_link", "export --recursive --out @/shared/dir @/T/a", kLink},
    {"export_through_own_link_to_a_foreign_one", "export --out @/mine/out @/T/a", kLink},
    {"check_output_below_a_link", "check --output @/shared/dir/report.txt @/T/a", kLink},
    {"check_details_into_a_link", "check --details @/shared/dir @/T/a @/T/b", kLink},
    {"check_output_link_replaced", "check --output @/shared/file.txt @/T/a", nullptr},
    {"check_xlsx_link_replaced", "check --format xlsx --output @/shared/file.txt @/T/a", nullptr},
    {"check_details_link_replaced", "check --details @/shared @/T/a @/T/b", nullptr},
};

INSTANTIATE_TEST_SUITE_P(Cli, OutputPlace, ::testing::ValuesIn(kPlaceCases),
                         [](const ::testing::TestParamInfo<PlaceCase>& info) { return info.param.name; });

// A small file system of its own, to fill (root only).
class SmallDisk {
public:
    SmallDisk(const fs::path& at, const char* size) : path_(at) {
        fs::create_directories(at);
        mounted_ =
            ::geteuid() == 0 && ::mount("tmpfs", at.c_str(), "tmpfs", 0, (std::string("size=") + size).c_str()) == 0;
    }
    ~SmallDisk() {
        if (mounted_)
            ::umount2(path_.c_str(), MNT_DETACH);
    }
    bool mounted() const { return mounted_; }
    // Leaves about `room` bytes free.
    void fill(std::uintmax_t room) const {
        std::ofstream filler(path_ / "filler", std::ios::binary);
        const std::string block(4096, 'x');
        while (filler.write(block.data(), block.size()) && fs::space(path_).available > room)
            filler.flush();
    }

private:
    fs::path path_;
    bool mounted_ = false;
};

// A full disk while an xlsx export was put in place left the new firm's label.txt beside the old
// period's purchases.xlsx, sales.xlsx and return.txt: the workbook was copied after it was written.
TEST(FullDisk, LeavesTheEarlierExportWholeAndNothingElse) {
    TempDir temp;
    SmallDisk disk(temp.path() / "disk", "1m");
    if (!disk.mounted())
        GTEST_SKIP() << "mounting a small file system needs root";
    const fs::path out = temp.path() / "disk" / "out";
    writePeriod(consistentPeriod(), temp.path() / "old");
    writePeriod(consistentPeriod(3000, 5), temp.path() / "new");
    for (const char* format : {"xlsx", "text"}) {
        SCOPED_TRACE(format);
        const auto exportTo = [&](const char* period) {
            return runCli({"export", "--format", format, "--lines-per-page", "60", "--out", out.string(),
                           (temp.path() / period).string()},
                          withoutPrinter());
        };
        ASSERT_EQ(exportTo("old").status, 0);
        const auto before = snapshot(out);
        disk.fill(200 * 1024);
        const CliResult run = exportTo("new");
        EXPECT_EQ(run.status, orva::cli::kUsage) << run.err;
        EXPECT_NE(run.err.find("няма място на диска"), std::string::npos) << run.err;
        EXPECT_EQ(snapshot(out), before);
        EXPECT_EQ(hidden(out), std::vector<std::string>{});
        fs::remove(temp.path() / "disk" / "filler");
        fs::remove_all(out);
    }
}

// Writes that failed were reported as a period that could not be read (2): a disk full while a journal
// is written, check's --output in a folder that does not exist, an output folder that cannot be made
// over several periods. Each is 1, and 1 ranks first over several periods.
TEST(FailedWrite, IsStatusOne) {
    TempDir temp;
    const fs::path& t = temp.path();
    writePeriod(consistentPeriod(), t / "a");
    Period unreadable = consistentPeriod();
    unreadable.missing = {"pokupki.txt"};
    writePeriod(unreadable, t / "c");
    const std::string report = (t / "missing" / "report.txt").string();
    EXPECT_EQ(runCli({"check", "--output", report, (t / "a").string()}).status, orva::cli::kUsage);
    EXPECT_EQ(runCli({"check", "--output", report, (t / "a").string(), (t / "a").string()}).status, orva::cli::kUsage);

    // a's output folder cannot be made (a file has its name); c cannot be read.
    fs::create_directories(t / "out");
    writeBytes((t / "out" / "BG123456786-202610").string(), "in the way");
    const CliResult several = runCli(
        {"export", "--lines-per-page", "60", "--out", (t / "out").string(), (t / "a").string(), (t / "c").string()},
        withoutPrinter());
    EXPECT_EQ(several.status, orva::cli::kUsage) << several.err;
    EXPECT_NE(several.err.find("orva-cli: " + (t / "a").string() + ": не може да се създаде папката"),
              std::string::npos)
        << several.err;

    SmallDisk disk(t / "disk", "64k");
    if (!disk.mounted())
        GTEST_SKIP() << "mounting a small file system needs root";
    writePeriod(consistentPeriod(2000, 5), t / "big");
    const CliResult journal =
        runCli({"export", "--lines-per-page", "60", "--out", (t / "disk" / "big").string(), (t / "big").string()},
               withoutPrinter());
    EXPECT_EQ(journal.status, orva::cli::kUsage) << journal.err;
    EXPECT_NE(journal.err.find("purchases.txt: няма място на диска"), std::string::npos) << journal.err;
    EXPECT_FALSE(fs::exists(t / "disk" / "big"));
}

// libxlsxwriter reopened the workbook's temporary file by name in DIR: in a folder others may write
// into, a link swapped in its place had the workbook written into the link's target.
TEST(XlsxTemporary, CannotBeSwappedForALink) {
    TempDir temp;
    const fs::path& t = temp.path();
    writePeriod(consistentPeriod(), t / "data");
    writeBytes((t / "target").string(), "root only\n");
    const fs::path out = t / "out";
    orva::cli::Environment environment = withoutPrinter();
    int swapped = 0;
    environment.exportFileBegun = [&](const std::string& path) {
        for (const std::string& name : hidden(out)) {
            if (fs::path(path).filename() == "purchases.xlsx" && name.rfind(".purchases.xlsx.", 0) == 0) {
                fs::rename(out / name, t / ("moved-" + name));
                fs::create_symlink(t / "target", out / name);
                ++swapped;
            }
        }
    };
    const CliResult run =
        runCli({"export", "--format", "xlsx", "--lines-per-page", "60", "--out", out.string(), (t / "data").string()},
               environment);
    EXPECT_EQ(swapped, 1);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(readBytes(t / "target"), "root only\n");
    EXPECT_EQ(readBytes(out / "purchases.xlsx").substr(0, 2), "PK");
}

// A run killed while it wrote a workbook left its private folder, the workbook inside, for ever; one
// of a run still going is left alone.
TEST(XlsxTemporary, OfAKilledRunIsRemoved) {
    TempDir temp;
    writePeriod(consistentPeriod(), temp.path() / "data");
    const fs::path out = temp.path() / "out";
    const pid_t ended = ::fork();
    if (ended == 0)
        ::_exit(0);
    ::waitpid(ended, nullptr, 0);
    const std::string killed = ".purchases.xlsx." + std::to_string(ended) + ".xlsx.AbC123";
    const std::string running = ".purchases.xlsx." + std::to_string(::getpid()) + ".xlsx.AbC123";
    for (const std::string& name : {killed, running}) {
        fs::create_directories(out / name);
        writeBytes((out / name / "book.xlsx").string(), "PK");
    }
    const CliResult run = runCli({"export", "--format", "xlsx", "--lines-per-page", "60", "--out", out.string(),
                                  (temp.path() / "data").string()},
                                 withoutPrinter());
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(hidden(out), std::vector<std::string>{running});
}

} // namespace
