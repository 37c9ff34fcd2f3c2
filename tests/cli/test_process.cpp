// The built orva-cli program itself: it writes nothing outside DIR (not in the data folder, not
// beside itself, not in the working folder), PDF export, and one clean line on failure.
#include "JournalOf.h"
#include "PdfTools.h"
#include "PeriodFixture.h"

#include "declaration/Declaration.h"
#include "journals/Journal.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>

using namespace clitest;

namespace {

const fs::path kProgram = ORVA_CLI_PATH;

struct Process {
    int status = -1;
    std::string out;
    std::string err;
};

// Runs orva-cli in `workingFolder` without a display, so that it must choose offscreen itself.
// Standard output and error go to files in `scratch`, or to `outTo` / `errTo` when given.
Process runProgram(const std::vector<std::string>& args, const fs::path& workingFolder, const fs::path& scratch,
                   const char* outTo = nullptr, const char* errTo = nullptr) {
    std::string command = "cd '" + workingFolder.string() +
                          "' && env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM '" + kProgram.string() + "'";
    for (const std::string& arg : args)
        command += " '" + arg + "'";
    const fs::path out = scratch / "stdout";
    const fs::path err = scratch / "stderr";
    command +=
        " >'" + (outTo ? fs::path(outTo) : out).string() + "' 2>'" + (errTo ? fs::path(errTo) : err).string() + "'";
    const int raw = std::system(command.c_str());
    Process process;
    process.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    process.out = outTo ? "" : readBytes(out);
    process.err = errTo ? "" : readBytes(err);
    return process;
}

// Names, sizes and modification times of everything under `folder`.
std::vector<std::string> snapshot(const fs::path& folder) {
    std::vector<std::string> entries;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        struct stat info {};
        ::lstat(entry.path().c_str(), &info);
        entries.push_back(entry.path().string() + " " + std::to_string(info.st_size) + " " +
                          std::to_string(info.st_mtim.tv_sec) + "." + std::to_string(info.st_mtim.tv_nsec));
    }
    std::sort(entries.begin(), entries.end());
    return entries;
}

std::vector<std::string> names(const fs::path& folder) {
    std::vector<std::string> entries;
    for (const auto& entry : fs::directory_iterator(folder))
        entries.push_back(entry.path().filename().string());
    std::sort(entries.begin(), entries.end());
    return entries;
}

class Program : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(fs::exists(kProgram)) << kProgram;
        fs::create_directories(work);
        fs::create_directories(scratch);
    }
    TempDir temp;
    fs::path data = temp.path() / "data";
    fs::path work = temp.path() / "work";
    fs::path scratch = temp.path() / "scratch";
    fs::path out = temp.path() / "out";
};

TEST_F(Program, PdfExportWritesOnlyIntoDir) {
    writePeriod(consistentPeriod(40, 30), data);
    const std::vector<std::string> dataBefore = snapshot(data);
    const std::vector<std::string> besideProgram = names(kProgram.parent_path());

    const Process process = runProgram(
        {"export", "--format", "pdf", "--lines-per-page", "60", "--out", out.string(), data.string()}, work, scratch);
    ASSERT_EQ(process.status, 0) << process.err;
    EXPECT_EQ(process.err, "");

    EXPECT_EQ(snapshot(data), dataBefore);
    EXPECT_EQ(names(kProgram.parent_path()), besideProgram);
    EXPECT_TRUE(fs::is_empty(work));
    EXPECT_EQ(names(out), (std::vector<std::string>{"label.pdf", "purchases.pdf", "return.pdf", "sales.pdf"}));

    // Sheets as the text pages: 60 lines each.
    const orva::Declaration declaration = orva::parseDeclaration(readBytes(data / "deklar.txt"));
    const struct {
        const char* file;
        const char* source;
        const orva::JournalLayout& layout;
    } journals[] = {{"purchases.pdf", "pokupki.txt", orva::purchasesLayout()},
                    {"sales.pdf", "prodagbi.txt", orva::salesLayout()}};
    for (const auto& journal : journals) {
        const std::size_t lines =
            orva::buildJournal(readBytes(data / journal.source), 60, declaration.captionText, journal.layout)
                .lines.size();
        const int pages = static_cast<int>((lines + 59) / 60);
        const std::string pdf = (out / journal.file).string();
        EXPECT_EQ(pdfPages(pdf), pages) << journal.file;
        const std::vector<std::string> firsts = pdfFirstLines(pdf);
        ASSERT_GE(firsts.size(), 3u) << journal.file;
        for (std::size_t page = 0; page + 1 < firsts.size(); ++page) // the last may hold only totals
            EXPECT_EQ(firsts[page], "стр.0" + std::to_string(page + 1)) << journal.file;
    }
    EXPECT_EQ(pdfPages((out / "label.pdf").string()), 1);
    EXPECT_EQ(pdfPages((out / "return.pdf").string()), 3); // 170 lines at 60 a sheet
    EXPECT_EQ(pdfInfo((out / "purchases.pdf").string(), "Title"), "ПОКУПКИ");
}

TEST_F(Program, TextExportWritesOnlyIntoDir) {
    writePeriod(consistentPeriod(), data);
    const std::vector<std::string> dataBefore = snapshot(data);
    const std::vector<std::string> besideProgram = names(kProgram.parent_path());
    // Without --lines-per-page the printer is asked, which needs the application object; there is
    // no print server here, which is said.
    const Process process = runProgram({"export", "--out", out.string(), data.string()}, work, scratch);
    ASSERT_EQ(process.status, 0) << process.err;
    EXPECT_EQ(process.err, "orva-cli: сървърът за печат не отговаря (/nonexistent/orva-tests-have-no-print-server): "
                           "страниците са по A4 при 1200 dpi\n");
    EXPECT_EQ(snapshot(data), dataBefore);
    EXPECT_EQ(names(kProgram.parent_path()), besideProgram);
    EXPECT_TRUE(fs::is_empty(work));
    EXPECT_EQ(names(out), (std::vector<std::string>{"label.txt", "purchases.txt", "return.txt", "sales.txt"}));
}

TEST_F(Program, FailureIsOneLineOnStandardError) {
    writePeriod(consistentPeriod(), data);
    fs::remove(data / "pokupki.txt");
    const Process process =
        runProgram({"export", "--format", "pdf", "--out", out.string(), data.string()}, work, scratch);
    EXPECT_EQ(process.status, 2);
    EXPECT_EQ(process.err, "orva-cli: pokupki.txt: не може да се отвори " + (data / "pokupki.txt").string() +
                               ": няма такъв файл или папка\n");
    EXPECT_FALSE(fs::exists(out));
}

TEST_F(Program, CheckPrintsUtf8Table) {
    writePeriod(consistentPeriod(), data);
    const Process process = runProgram({"check", data.string()}, work, scratch);
    EXPECT_EQ(process.status, 0) << process.err;
    EXPECT_NE(process.out.find("кл.40 = кл.41+42*33+43"), std::string::npos) << process.out;
    EXPECT_EQ(runProgram({"--help"}, work, scratch).status, 0);
    EXPECT_EQ(runProgram({"export"}, work, scratch).status, 1);
}

// A full disk or a closed pipe on standard output once ended with status 0 and a cut report. With
// standard error full too, the status alone tells.
TEST_F(Program, OutputThatCannotBeWrittenIsStatusOne) {
    if (!fs::exists("/dev/full"))
        GTEST_SKIP() << "no /dev/full";
    writePeriod(consistentPeriod(), data);
    const std::string folder = data.string();
    const struct {
        std::vector<std::string> args;
        bool errorFull;
    } cases[] = {{{"check", folder}, false},
                 {{"check", "--format", "csv", folder}, false},
                 {{"check", "--format", "json", folder}, false},
                 {{"export", "--lines-per-page", "60", "--out", out.string(), folder}, false},
                 {{"--help"}, false},
                 {{"--version"}, false},
                 {{"check", folder}, true},
                 {{"check", folder + "/missing"}, true}}; // status 2 when the message can be said
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args.front() + " " + c.args.back());
        const Process process = runProgram(c.args, work, scratch, "/dev/full", c.errorFull ? "/dev/full" : nullptr);
        EXPECT_EQ(process.status, 1);
        if (!c.errorFull) {
            EXPECT_EQ(process.err, "orva-cli: не може да се запише стандартният изход: No space left on device\n");
        }
    }
}

} // namespace
