// Where orva-cli writes: never over or into the data it reads, never through another user's link,
// all or nothing when the disk fills, and status 1 whenever an output could not be written.
#include "PeriodFixture.h"

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <map>
#include <sys/mount.h>
#include <sys/stat.h>

using namespace clitest;

namespace {

// Every file under `folder` with its bytes: what must stay as it was.
std::map<std::string, std::string> snapshot(const fs::path& folder) {
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(folder))
        files[entry.path().string()] = entry.is_regular_file() ? readBytes(entry.path()) : "<folder>";
    return files;
}

bool contains(const std::string& haystack, const std::string& needle) {
    return haystack.find(needle) != std::string::npos;
}

// Each reproduction once replaced a data file or wrote into a data folder with status 0. The tree:
// T/data (a period), T/BG123456786-202610 (a period named as export names its output, with a VIES.TXT
// of its own), T/other (a period of another firm).
struct DataCase {
    const char* name;
    std::function<std::vector<std::string>(const fs::path& tree)> args;
    const char* message;
};

void PrintTo(const DataCase& c, std::ostream* out) {
    *out << c.name;
}

class OutputOverData : public ::testing::TestWithParam<DataCase> {};

TEST_P(OutputOverData, IsRefusedBeforeAnythingIsWritten) {
    const DataCase& c = GetParam();
    TempDir temp;
    const fs::path tree = temp.path() / "T";
    writePeriod(consistentPeriod(), tree / "data");
    writePeriod(consistentPeriod(), tree / "BG123456786-202610");
    writeBytes((tree / "BG123456786-202610" / "vies.txt").string(), "the client's VIES.TXT\r\n");
    Period other = consistentPeriod();
    other.vatNumber = "BG175074752";
    writePeriod(other, tree / "other");
    fs::create_directory_symlink(tree / "data", temp.path() / "link-to-data");
    // An earlier run's output folder, now a link to the period that export names so.
    fs::create_directories(temp.path() / "out");
    fs::create_directory_symlink(tree / "BG123456786-202610", temp.path() / "out" / "BG123456786-202610");
    const auto before = snapshot(temp.path());
    std::vector<std::string> args = c.args(tree);
    if (args.front() == "export")
        args.insert(args.begin() + 1, {"--lines-per-page", "60"});
    const CliResult run = runCli(args, withoutPrinter());
    EXPECT_EQ(run.status, orva::cli::kUsage) << run.err;
    EXPECT_TRUE(contains(run.err, c.message)) << run.err;
    EXPECT_EQ(snapshot(temp.path()), before);
}

std::string at(const fs::path& tree, const char* name) {
    return (tree / name).string();
}

const DataCase kDataCases[] = {
    {"export_into_its_data",
     [](const fs::path& t) {
         return std::vector<std::string>{"export", "--out", at(t, "data"), at(t, "data")};
     },
     "е в папката с данни"},
    {"export_below_its_data",
     [](const fs::path& t) {
         return std::vector<std::string>{"export", "--out", at(t, "data/out"), at(t, "data")};
     },
     "е в папката с данни"},
    {"export_through_a_link_to_its_data",
     [](const fs::path& t) {
         return std::vector<std::string>{"export", "--out", (t.parent_path() / "link-to-data").string(), at(t, "data")};
     },
     "е в папката с данни"},
    {"export_above_its_data",
     [](const fs::path& t) {
         return std::vector<std::string>{"export", "--out", t.string(), at(t, "data")};
     },
     "съдържа папката с данни"},
    {"export_recursive_over_its_tree",
     [](const fs::path& t) {
         return std::vector<std::string>{"export", "--recursive", "--out", t.string(), t.string()};
     },
     "съдържа папката с данни"},
    {"export_periods_into_a_period_named_as_an_output",
     [](const fs::path& t) {
         return std::vector<std::string>{"export", "--out", (t.parent_path() / "out").string(),
                                         at(t, "BG123456786-202610"), at(t, "other")};
     },
     "BG123456786-202610 е в папката с данни"},
    {"check_output_over_a_journal",
     [](const fs::path& t) {
         return std::vector<std::string>{"check", "--output", at(t, "data/pokupki.txt"), at(t, "data")};
     },
     "е файл с данни"},
    {"check_output_through_a_link_to_a_journal",
     [](const fs::path& t) {
         return std::vector<std::string>{"check", "--output", (t.parent_path() / "link-to-data/pokupki.txt").string(),
                                         at(t, "data")};
     },
     "е файл с данни"},
    {"check_xlsx_into_its_data",
     [](const fs::path& t) {
         return std::vector<std::string>{"check",      "--format", "xlsx", "--output", at(t, "data/check.xlsx"),
                                         at(t, "data")};
     },
     "е в папката с данни"},
    {"check_summary_into_a_period",
     [](const fs::path& t) {
         return std::vector<std::string>{"check", "--recursive", "--output", at(t, "other/summary.txt"), t.string()};
     },
     "е в папката с данни"},
    {"check_details_into_a_period",
     [](const fs::path& t) {
         return std::vector<std::string>{"check", "--details", at(t, "data"), at(t, "data"), at(t, "other")};
     },
     "е в папката с данни"},
};

INSTANTIATE_TEST_SUITE_P(Cli, OutputOverData, ::testing::ValuesIn(kDataCases),
                         [](const ::testing::TestParamInfo<DataCase>& info) { return info.param.name; });

// An output beside the data, or above a tree whose periods are not read, is written as before.
TEST(OutputBesideData, IsWritten) {
    TempDir temp;
    writePeriod(consistentPeriod(), temp.path() / "data");
    EXPECT_EQ(runCli({"export", "--lines-per-page", "60", "--out", (temp.path() / "out").string(),
                      (temp.path() / "data").string()},
                     withoutPrinter())
                  .status,
              0);
    EXPECT_EQ(
        runCli({"check", "--output", (temp.path() / "data.txt").string(), (temp.path() / "data").string()}).status, 0);
}

// Another user's link (uid 65534) as DIR, above DIR, or at a file: once followed by every mode but
// export's one period, and by check's --output and --details always.
struct LinkCase {
    const char* name;
    std::function<std::vector<std::string>(const fs::path& temp)> args;
    bool refused; // else the link is replaced and its target kept
};

void PrintTo(const LinkCase& c, std::ostream* out) {
    *out << c.name;
}

class ForeignLink : public ::testing::TestWithParam<LinkCase> {};

TEST_P(ForeignLink, IsNeverWrittenThrough) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "giving a link to another user needs root";
    const LinkCase& c = GetParam();
    TempDir temp;
    const fs::path& t = temp.path();
    writePeriod(consistentPeriod(), t / "a");
    Period other = consistentPeriod();
    other.vatNumber = "BG175074752";
    writePeriod(other, t / "b");
    fs::create_directories(t / "victim");
    writeBytes((t / "victim-file").string(), "root's own\n");
    fs::create_directories(t / "shared");
    const auto plant = [&](const fs::path& target, const fs::path& link) {
        fs::create_symlink(target, link);
        ASSERT_EQ(::lchown(link.c_str(), 65534, 65534), 0);
    };
    plant(t / "victim", t / "shared" / "dir");
    plant(t / "victim-file", t / "shared" / "file.txt");
    plant(t / "victim-file", t / "shared" / "BG123456786-202610.txt");
    fs::create_directory_symlink(t / "shared" / "dir", t / "mine"); // this user's link to the foreign one
    const auto before = snapshot(t / "victim");
    const std::vector<std::string> args = c.args(t);
    const CliResult run = runCli(args, withoutPrinter());
    if (c.refused) {
        EXPECT_EQ(run.status, orva::cli::kUsage) << run.err;
        EXPECT_TRUE(contains(run.err, "е символна връзка на друг потребител (uid 65534)")) << run.err;
    } else {
        EXPECT_NE(run.status, orva::cli::kUsage) << run.err; // written (b's journals are another firm's: 5)
    }
    EXPECT_EQ(snapshot(t / "victim"), before);
    EXPECT_EQ(readBytes(t / "victim-file"), "root's own\n");
}

std::vector<std::string> exportArgs(const fs::path& t, const std::string& out, bool several) {
    std::vector<std::string> args = {"export", "--lines-per-page", "60", "--out", out, (t / "a").string()};
    if (several)
        args.push_back((t / "b").string());
    return args;
}

const LinkCase kLinkCases[] = {
    {"export_one_period_dir", [](const fs::path& t) { return exportArgs(t, (t / "shared/dir").string(), false); },
     true},
    {"export_one_period_parent",
     [](const fs::path& t) { return exportArgs(t, (t / "shared/dir/out").string(), false); }, true},
    {"export_several_periods_dir", [](const fs::path& t) { return exportArgs(t, (t / "shared/dir").string(), true); },
     true},
    {"export_several_periods_parent",
     [](const fs::path& t) { return exportArgs(t, (t / "shared/dir/out").string(), true); }, true},
    {"export_recursive_dir",
     [](const fs::path& t) {
         return std::vector<std::string>{
             "export",          "--lines-per-page", "60", "--recursive", "--out", (t / "shared/dir").string(),
             (t / "a").string()};
     },
     true},
    {"export_through_own_link_to_a_foreign_one",
     [](const fs::path& t) { return exportArgs(t, (t / "mine/out").string(), false); }, true},
    {"check_output_parent",
     [](const fs::path& t) {
         return std::vector<std::string>{"check", "--output", (t / "shared/dir/report.txt").string(),
                                         (t / "a").string()};
     },
     true},
    {"check_details_dir",
     [](const fs::path& t) {
         return std::vector<std::string>{"check", "--details", (t / "shared/dir").string(), (t / "a").string(),
                                         (t / "b").string()};
     },
     true},
    {"check_output_file_replaced",
     [](const fs::path& t) {
         return std::vector<std::string>{"check", "--output", (t / "shared/file.txt").string(), (t / "a").string()};
     },
     false},
    {"check_xlsx_output_file_replaced",
     [](const fs::path& t) {
         return std::vector<std::string>{
             "check", "--format", "xlsx", "--output", (t / "shared/file.txt").string(), (t / "a").string()};
     },
     false},
    {"check_details_file_replaced",
     [](const fs::path& t) {
         return std::vector<std::string>{"check", "--details", (t / "shared").string(), (t / "a").string(),
                                         (t / "b").string()};
     },
     false},
};

INSTANTIATE_TEST_SUITE_P(Cli, ForeignLink, ::testing::ValuesIn(kLinkCases),
                         [](const ::testing::TestParamInfo<LinkCase>& info) { return info.param.name; });

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
    void fill(std::size_t room) const {
        std::ofstream filler(path_ / "filler", std::ios::binary);
        const std::string block(4096, 'x');
        while (filler.write(block.data(), block.size()) && fs::space(path_).available > room)
            filler.flush();
    }

private:
    fs::path path_;
    bool mounted_ = false;
};

std::vector<std::string> hidden(const fs::path& folder) {
    std::vector<std::string> names;
    for (const std::string& name : listing(folder))
        if (name.front() == '.')
            names.push_back(name);
    return names;
}

// A full disk while an xlsx export was put in place left the new firm's label.txt beside the old
// period's purchases.xlsx, sales.xlsx and return.txt: the workbook was copied after it was written.
TEST(FullDisk, LeavesTheEarlierExportWholeAndNothingElse) {
    TempDir temp;
    SmallDisk disk(temp.path() / "disk", "1m");
    if (!disk.mounted())
        GTEST_SKIP() << "mounting a small file system needs root";
    const fs::path out = temp.path() / "disk" / "out";
    writePeriod(consistentPeriod(), temp.path() / "old");
    Period big = consistentPeriod(3000, 5);
    big.vatNumber = "BG175074752";
    writePeriod(big, temp.path() / "new");
    for (const char* format : {"xlsx", "text"}) {
        SCOPED_TRACE(format);
        ASSERT_EQ(runCli({"export", "--format", format, "--lines-per-page", "60", "--out", out.string(),
                          (temp.path() / "old").string()},
                         withoutPrinter())
                      .status,
                  0);
        const auto before = snapshot(out);
        disk.fill(200 * 1024);
        const CliResult run = runCli({"export", "--force", "--format", format, "--lines-per-page", "60", "--out",
                                      out.string(), (temp.path() / "new").string()},
                                     withoutPrinter());
        EXPECT_EQ(run.status, orva::cli::kUsage) << run.err;
        EXPECT_TRUE(contains(run.err, "No space left on device")) << run.err;
        EXPECT_EQ(snapshot(out), before);
        EXPECT_EQ(hidden(out), std::vector<std::string>{});
        fs::remove(temp.path() / "disk" / "filler");
        fs::remove_all(out);
    }
}

// Writes that fail were reported as a period that could not be read (2): a disk full while a journal
// is written, check's --output in a folder that does not exist, an output folder that cannot be made
// over several periods. Each is 1, and 1 ranks first over several periods.
TEST(FailedWrite, IsStatusOne) {
    TempDir temp;
    const fs::path& t = temp.path();
    writePeriod(consistentPeriod(), t / "a");
    Period other = consistentPeriod();
    other.vatNumber = "BG175074752";
    writePeriod(other, t / "b");
    Period unreadable = consistentPeriod();
    unreadable.missing = {"pokupki.txt"};
    writePeriod(unreadable, t / "c");

    const CliResult check = runCli({"check", "--output", (t / "missing" / "report.txt").string(), (t / "a").string()});
    EXPECT_EQ(check.status, orva::cli::kUsage) << check.err;
    const CliResult summary =
        runCli({"check", "--output", (t / "missing" / "report.txt").string(), (t / "a").string(), (t / "b").string()});
    EXPECT_EQ(summary.status, orva::cli::kUsage) << summary.err;

    // b's output folder cannot be made (a file has its name); c cannot be read.
    fs::create_directories(t / "out");
    writeBytes((t / "out" / "BG175074752-202610").string(), "in the way");
    const CliResult several = runCli({"export", "--lines-per-page", "60", "--out", (t / "out").string(),
                                      (t / "a").string(), (t / "b").string(), (t / "c").string()},
                                     withoutPrinter());
    EXPECT_EQ(several.status, orva::cli::kUsage) << several.err;
    EXPECT_TRUE(contains(several.err, "orva-cli: " + (t / "b").string() + ": не може да се създаде папката"))
        << several.err;

    SmallDisk disk(t / "disk", "64k");
    if (!disk.mounted())
        GTEST_SKIP() << "mounting a small file system needs root";
    const CliResult full =
        runCli({"export", "--lines-per-page", "60", "--out", (t / "disk" / "out").string(), (t / "a").string()},
               withoutPrinter());
    EXPECT_EQ(full.status, 0) << full.err; // a small period fits
    writePeriod(consistentPeriod(2000, 5), t / "big");
    const CliResult journal =
        runCli({"export", "--lines-per-page", "60", "--out", (t / "disk" / "big").string(), (t / "big").string()},
               withoutPrinter());
    EXPECT_EQ(journal.status, orva::cli::kUsage) << journal.err;
    EXPECT_TRUE(contains(journal.err, "purchases.txt: No space left on device")) << journal.err;
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
        if (fs::path(path).filename() != "purchases.xlsx")
            return;
        for (const std::string& name : hidden(out)) {
            if (name.rfind(".purchases.xlsx.", 0) != 0)
                continue;
            fs::rename(out / name, t / ("moved-" + name));
            fs::create_symlink(t / "target", out / name);
            ++swapped;
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

} // namespace
