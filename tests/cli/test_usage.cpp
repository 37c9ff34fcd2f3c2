// Command-line parsing: every usage error is status 1, says what is wrong, points to --help and
// touches nothing.
#include "PeriodFixture.h"

#include "declaration/ReturnCells.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <ostream>

using namespace clitest;

namespace {

struct UsageCase {
    const char* name;
    std::vector<std::string> args; // "DATA" and "OUT" are replaced by real folders
    const char* says;              // part of the error line
};

// The case's name in gtest's messages and listings, not the bytes of the struct.
void PrintTo(const UsageCase& c, std::ostream* out) {
    *out << c.name;
}

const UsageCase kUsageCases[] = {
    {"no arguments", {}, "no command given"},
    {"unknown command", {"show", "DATA"}, "unknown command \"show\""},
    {"export without --out", {"export", "DATA"}, "export needs --out DIR"},
    {"export without data folder", {"export", "--out", "OUT"}, "needs the data folder"},
    {"two data folders", {"print", "--document", "label", "DATA", "DATA"}, "more than one data folder"},
    {"unknown option", {"export", "--out", "OUT", "--colour", "DATA"}, "unknown option --colour"},
    {"option without value", {"export", "DATA", "--out"}, "--out needs a value"},
    {"bad format", {"export", "--out", "OUT", "--format", "html", "DATA"}, "--format is text, pdf, xlsx or csv"},
    {"lines per page not a number",
     {"export", "--out", "OUT", "--lines-per-page", "6x", "DATA"},
     "--lines-per-page takes a whole number"},
    {"lines per page zero",
     {"export", "--out", "OUT", "--lines-per-page", "0", "DATA"},
     "--lines-per-page takes a whole number"},
    {"lines per page negative",
     {"export", "--out", "OUT", "--lines-per-page=-5", "DATA"},
     "--lines-per-page takes a whole number"},
    {"cell 20 is the record's",
     {"export", "--out", "OUT", "--cell", "20=100.00", "DATA"},
     "--cell 20: only cells 33, 70, 71, 80, 81 and 82"},
    {"cell 50 is derived", {"export", "--out", "OUT", "--cell=50=1", "DATA"}, "--cell 50: only cells"},
    {"cell 01", {"export", "--out", "OUT", "--cell", "01=1", "DATA"}, "--cell 01: only cells"},
    {"cell without text", {"export", "--out", "OUT", "--cell", "33", "DATA"}, "--cell takes NN=TEXT"},
    {"cell not a number", {"export", "--out", "OUT", "--cell", "K33=1", "DATA"}, "--cell takes NN=TEXT"},
    // The dialog's rules for a typed value: nothing that does not fit its box reaches paper.
    {"cell 33 signed", {"check", "--cell", "33=-0.5", "DATA"}, "Кл.33: \"-0.5\" не е коефициент"},
    {"cell value wider than its box", {"export", "--out", "OUT", "--cell", "80=12345678901234.5", "DATA"}, "Кл.80"},
    {"represent both ways", {"export", "--out", "OUT", "--represent", "--no-represent", "DATA"}, "exclude each other"},
    {"art92 both ways", {"export", "--out", "OUT", "--no-art92", "--art92", "DATA"}, "exclude each other"},
    {"flag with value", {"export", "--out", "OUT", "--art92=yes", "DATA"}, "--art92 takes no value"},
    {"bad captions", {"check", "--captions", "current", "DATA"}, "--captions is auto, classic or today"},
    {"captions of printers", {"printers", "--captions", "today"}, "printers takes no --captions"},
    {"print without document", {"print", "DATA"}, "print needs --document"},
    {"print unknown document", {"print", "--document", "viez", "DATA"}, "--document is label, purchases"},
    {"print takes no --out", {"print", "--document", "label", "--out", "OUT", "DATA"}, "print takes no --out"},
    {"print takes no --format", {"print", "--document", "label", "--format", "pdf", "DATA"}, "print takes no --format"},
    {"export takes no --document",
     {"export", "--out", "OUT", "--document", "label", "DATA"},
     "export takes no --document"},
    {"check takes no answers", {"check", "--address", "x", "DATA"}, "check takes no --address"},
    {"check takes no lines per page", {"check", "--lines-per-page", "60", "DATA"}, "check takes no --lines-per-page"},
    // A line break would end a line of the return form; no PDF page is taller than 14,400 points.
    {"address with a line feed", {"export", "--out", "OUT", "--address", "a\nb", "DATA"}, "--address may not hold"},
    {"date with CR", {"print", "--document", "return", "--date=1.1\r", "DATA"}, "--date may not hold a line break"},
    // A date that is no day never reaches paper, as in the dialog.
    {"date in words", {"export", "--out", "OUT", "--date", "вчера", "DATA"}, "--date Дата: \"вчера\" не е дата"},
    {"date of no leap year", {"print", "--document", "return", "--date", "29.02.2027", "DATA"}, "\"29.02.2027\" не е"},
    {"date with blanks", {"export", "--out", "OUT", "--date", " 30/11/2026", "DATA"}, "\" 30/11/2026\" не е"},
    {"PDF export beyond a PDF page",
     {"export", "--out", "OUT", "--format", "pdf", "--lines-per-page", "100000", "DATA"},
     "--lines-per-page 100000: a PDF page holds at most"},
    // Each command takes its own choices, numbers in range and names that are not empty.
    {"export takes check's format", {"export", "--out", "OUT", "--format", "json", "DATA"}, "--format is text, pdf"},
    {"check takes export's format", {"check", "--format", "pdf", "DATA"}, "--format is text, csv, json or xlsx"},
    {"xlsx summary without a file", {"check", "--format", "xlsx", "DATA"}, "check --format xlsx needs --output FILE"},
    {"details of one period", {"check", "--details", "OUT", "DATA"}, "--details is for several periods"},
    {"empty output folder", {"export", "--out=", "DATA"}, "--out needs a folder name"},
    {"empty output file", {"check", "--output", "", "DATA"}, "--output needs a file name"},
    {"empty queue", {"printers", "-P", ""}, "--printer needs a queue name"},
    {"no jobs", {"check", "--jobs", "0", "DATA", "DATA"}, "--jobs takes a whole number from 1 to 1024"},
    {"findings not a number", {"check", "--max-findings", "-1", "DATA"}, "--max-findings takes a whole number"},
    {"queue for check", {"check", "-Pq", "DATA"}, "check takes no --printer"},
    {"printers with a folder", {"printers", "DATA"}, "printers takes no data folder"},
    {"unknown option of printers", {"printers", "--colour"}, "unknown option --colour"},
    {"print beyond a PDF page", {"print", "--document", "sales", "--lines-per-page", "5000", "DATA"}, "a PDF page"},
};

class Usage : public ::testing::TestWithParam<UsageCase> {};

TEST_P(Usage, IsStatusOneWithAMessageAndWritesNothing) {
    const UsageCase& usage = GetParam();
    TempDir temp;
    const fs::path data = temp.path() / "data";
    writePeriod(consistentPeriod(), data);
    const fs::path out = temp.path() / "out";
    std::vector<std::string> args = usage.args;
    for (std::string& arg : args) {
        if (arg == "DATA")
            arg = data.string();
        else if (arg == "OUT")
            arg = out.string();
    }
    const CliResult run = runCli(args, withoutPrinter());
    EXPECT_EQ(run.status, orva::cli::kUsage);
    EXPECT_NE(run.err.find(usage.says), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("see orva-cli --help"), std::string::npos) << run.err;
    EXPECT_EQ(run.err.rfind("orva-cli: ", 0), 0u) << run.err;
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
    EXPECT_TRUE(run.out.empty()) << run.out;
    EXPECT_FALSE(fs::exists(out));
}

INSTANTIATE_TEST_SUITE_P(Cli, Usage, ::testing::ValuesIn(kUsageCases),
                         [](const ::testing::TestParamInfo<UsageCase>& info) {
                             std::string name = info.param.name;
                             for (char& c : name)
                                 if (!std::isalnum(static_cast<unsigned char>(c)))
                                     c = '_';
                             return name;
                         });

// A command line `command` accepts with `option`: a value of the option's kind, the options the
// command needs, one data folder.
std::vector<std::string> lineWith(const orva::cli::CommandSpec& command, const orva::cli::OptionSpec& option) {
    using orva::cli::ValueKind;
    std::vector<std::string> args{command.name};
    for (const orva::cli::OptionSpec& needed : orva::cli::optionTable())
        if (needed.required & orva::cli::commandBit(command.id))
            args.insert(args.end(), {needed.name, needed.kind == ValueKind::Choice ? needed.choices[0] : "x"});
    args.push_back(option.name);
    switch (option.kind) {
    case ValueKind::None:
        break;
    case ValueKind::Choice:
        args.push_back(option.choices.front());
        break;
    case ValueKind::Number:
        args.push_back("1");
        break;
    case ValueKind::Cell:
        args.push_back("33=0.5");
        break;
    default:
        // The one text whose value must be a day.
        args.push_back(std::string(option.name) == "--date" ? "30/11/2026" : "x");
    }
    if (command.folders != orva::cli::Folders::None)
        args.push_back("DATA");
    // --details is for several periods; diff compares two
    if (command.folders == orva::cli::Folders::Many || command.folders == orva::cli::Folders::Two)
        args.push_back("DATA");
    return args;
}

// Each command's help lists exactly the options that command accepts, and no other command's:
// what --help promises, the parser keeps, and what it refuses, --help does not offer.
TEST(Help, EachCommandListsWhatItAccepts) {
    for (const orva::cli::CommandSpec& command : orva::cli::commandTable()) {
        const CliResult help = runCli({command.name, "--help"});
        EXPECT_EQ(help.status, 0);
        EXPECT_TRUE(help.err.empty()) << help.err;
        EXPECT_EQ(help.out, runCli({"help", command.name}).out);
        for (const orva::cli::OptionSpec& option : orva::cli::optionTable()) {
            const std::string name = option.name;
            if (name == "--help")
                continue;
            bool listed = false;
            for (const char* before : {"\n  ", ", "})
                for (const char* after : {" ", "\n"})
                    listed = listed || help.out.find(before + name + after) != std::string::npos;
            std::string refusal;
            try {
                orva::cli::parseOptions(lineWith(command, option));
            } catch (const orva::cli::Failure& failure) {
                refusal = failure.what();
            }
            const bool refused = refusal.find(std::string(command.name) + " takes no " + name) != std::string::npos;
            if (option.takenBy(command.id)) {
                EXPECT_TRUE(listed) << command.name << " --help lacks " << name;
                EXPECT_TRUE(refusal.empty()) << command.name << " " << name << ": " << refusal;
            } else if (!orva::cli::findOption(name, command.id)) {
                EXPECT_FALSE(listed) << command.name << " --help lists " << name;
                EXPECT_TRUE(refused) << command.name << " " << name << ": " << refusal;
            }
        }
    }
}

// Columns on a terminal: UTF-8 continuation bytes take none.
std::size_t columns(const std::string& line) {
    return static_cast<std::size_t>(
        std::count_if(line.begin(), line.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

TEST(Help, CommandsHaveTheirOwnFitOnATerminal) {
    std::vector<std::string> texts{runCli({"--help"}).out};
    for (const char* command : {"export", "print", "check", "printers"})
        texts.push_back(runCli({command, "--help"}).out);
    for (std::size_t i = 0; i < texts.size(); ++i) {
        for (std::size_t j = 0; j < i; ++j)
            EXPECT_NE(texts[i], texts[j]) << "help texts " << i << " and " << j << " are the same";
        std::istringstream lines(texts[i]);
        std::string line;
        while (std::getline(lines, line))
            EXPECT_LE(columns(line), 80u) << line;
    }
    // The overview names every command and how to ask for its options.
    for (const char* word : {"orva-cli export", "orva-cli print", "orva-cli check", "orva-cli printers",
                             "orva-cli COMMAND --help", "--version", "DATAFOLDER", "Exit status:"})
        EXPECT_NE(texts[0].find(word), std::string::npos) << word;
    // A command's synopsis shows its choices and the flags that exclude each other.
    EXPECT_NE(texts[1].find("--format text|pdf|xlsx|csv"), std::string::npos);
    EXPECT_NE(texts[3].find("--format text|csv|json|xlsx"), std::string::npos);
    EXPECT_NE(texts[2].find("--document label|purchases|sales|return|vies"), std::string::npos);
    EXPECT_NE(texts[1].find("[--represent | --no-represent]"), std::string::npos);
    EXPECT_NE(texts[3].find("[--cell NN=TEXT]..."), std::string::npos);
}

// What the installed bash completion offers after `words` (the last one being completed).
std::vector<std::string> completed(const std::vector<std::string>& words) {
    const std::string script = ORVA_TEST_DATA "/../../resources/orva-cli.bash-completion";
    std::string line = "bash --norc --noprofile -c 'source \"$1\"; shift; COMP_WORDS=(\"$@\"); "
                       "COMP_CWORD=$((${#COMP_WORDS[@]} - 1)); PATH=/nonexistent; _orva_cli; "
                       "printf \"%s\\n\" \"${COMPREPLY[@]}\"' complete '" +
                       script + "' orva-cli";
    for (const std::string& word : words)
        line += " '" + word + "'";
    std::vector<std::string> offered;
    if (FILE* pipe = ::popen(line.c_str(), "r")) {
        char buffer[4096];
        std::string text;
        while (std::fgets(buffer, sizeof buffer, pipe))
            text += buffer;
        ::pclose(pipe);
        std::istringstream stream(text);
        std::string word;
        while (std::getline(stream, word))
            if (!word.empty())
                offered.push_back(word);
    }
    std::sort(offered.begin(), offered.end());
    return offered;
}

std::vector<std::string> sorted(std::vector<std::string> words) {
    std::sort(words.begin(), words.end());
    words.erase(std::unique(words.begin(), words.end()), words.end());
    return words;
}

// The completion is written by hand; it must offer exactly each command's options and each
// option's values as the option table declares them.
TEST(Completion, FollowsTheOptionTable) {
    TempDir temp;
    fs::create_directories(temp.path() / "folder");
    writeBytes(temp.path() / "file.txt", "x");
    const std::string prefix = temp.path().string() + "/";
    for (const orva::cli::CommandSpec& command : orva::cli::commandTable()) {
        std::vector<std::string> names;
        for (const orva::cli::OptionSpec& option : orva::cli::optionTable()) {
            if (!option.takenBy(command.id))
                continue;
            names.push_back(option.name);
            if (option.shortName)
                names.push_back(option.shortName);
            std::vector<std::string> values;
            switch (option.kind) {
            case orva::cli::ValueKind::Choice:
                values.assign(option.choices.begin(), option.choices.end());
                break;
            case orva::cli::ValueKind::Cell:
                for (int cell : orva::kEditableCells)
                    values.push_back(std::to_string(cell) + "=");
                break;
            case orva::cli::ValueKind::Folder:
                values = {prefix + "folder"};
                break;
            case orva::cli::ValueKind::File:
                values = {prefix + "file.txt", prefix + "folder"};
                break;
            case orva::cli::ValueKind::Queue: // the print server's, not the table's
            case orva::cli::ValueKind::None:
                continue;
            default:
                break; // free text and numbers: nothing to offer
            }
            const std::string typed =
                option.kind == orva::cli::ValueKind::Folder || option.kind == orva::cli::ValueKind::File ? prefix : "";
            EXPECT_EQ(completed({command.name, option.name, typed}), sorted(values))
                << command.name << " " << option.name;
        }
        EXPECT_EQ(completed({command.name, "-"}), sorted(names)) << command.name;
    }
    std::vector<std::string> commands{"--help", "--version"};
    for (const orva::cli::CommandSpec& command : orva::cli::commandTable())
        commands.push_back(command.name);
    EXPECT_EQ(completed({""}), sorted(commands));
}

TEST(Help, VersionIsOneLine) {
    const CliResult run = runCli({"--version"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "orva-cli 1.0.0\n");
}

} // namespace
