#include "cli/Options.h"

#include "declaration/ReturnCells.h"
#include "period/Answers.h"
#include "text/Encoding.h"

#include <algorithm>
#include <cstdlib>

namespace orva::cli {

namespace {

constexpr int kMaxLinesPerPage = 100000;

int parseLinesPerPage(const std::string& text) {
    const bool digits = !text.empty() && text.size() <= 6 &&
                        std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
    const int value = digits ? std::atoi(text.c_str()) : 0;
    if (value < 1 || value > kMaxLinesPerPage)
        usageError("--lines-per-page takes a whole number from 1 to " + std::to_string(kMaxLinesPerPage) + ", not \"" +
                   text + "\"");
    return value;
}

void parseCell(const std::string& text, AnswerOptions& answers) {
    const std::size_t equals = text.find('=');
    const std::string number = text.substr(0, equals);
    const bool digits = !number.empty() && number.size() <= 2 &&
                        std::all_of(number.begin(), number.end(), [](char c) { return c >= '0' && c <= '9'; });
    if (equals == std::string::npos || !digits)
        usageError("--cell takes NN=TEXT, not \"" + text + "\"");
    const int cellNumber = std::atoi(number.c_str());
    if (std::find(kEditableCells.begin(), kEditableCells.end(), cellNumber) == kEditableCells.end())
        usageError("--cell " + number + ": only cells 33, 70, 71, 80, 81 and 82 can be set");
    // The dialog's rule: a value that does not fit the form's box never reaches paper.
    const std::string value = utf8ToWin1251(text.substr(equals + 1));
    if (!storedCellValue(cellNumber, value))
        usageError("--cell " + cellRefusal(cellNumber, value));
    answers.cells[cellNumber] = value;
}

// The dialog's one-line answers: a line break would break the return form's lines.
std::string oneLineAnswer(const std::string& option, const std::string& text) {
    if (text.find_first_of("\r\n") != std::string::npos)
        usageError(option + " may not hold a line break");
    return utf8ToWin1251(text);
}

} // namespace

void usageError(const std::string& what) {
    throw Failure(kUsage, what + " (see orva-cli --help)");
}

Options parseOptions(const std::vector<std::string>& args) {
    Options options;
    if (args.empty())
        usageError("no command given");
    const std::string& command = args[0];
    if (command == "export")
        options.command = CommandId::Export;
    else if (command == "print")
        options.command = CommandId::Print;
    else if (command == "check")
        options.command = CommandId::Check;
    else if (command == "printers")
        options.command = CommandId::Printers;
    else
        usageError("unknown command \"" + command + "\"");

    const bool takesAnswers = options.command != CommandId::Check;
    // check takes the corrected cells, so the return it checks is the one that would be printed.
    std::optional<bool> represent;
    std::optional<bool> art92;
    bool optionsEnded = false;
    for (std::size_t i = 1; i < args.size(); ++i) {
        std::string arg = args[i];
        // lpr's spelling: -P QUEUE or -PQUEUE.
        if (!optionsEnded && arg.size() >= 2 && arg.compare(0, 2, "-P") == 0) {
            arg = arg.size() > 2 ? "--printer=" + arg.substr(2) : "--printer";
        }
        if (optionsEnded || arg.size() < 2 || arg.compare(0, 2, "--") != 0) {
            if (options.dataFolder && options.command != CommandId::Check && options.command != CommandId::Export)
                usageError("more than one data folder given (\"" + *options.dataFolder + "\", \"" + arg + "\")");
            if (!options.dataFolder)
                options.dataFolder = arg;
            options.dataFolders.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        std::optional<std::string> inlineValue;
        if (const std::size_t equals = arg.find('='); equals != std::string::npos) {
            inlineValue = arg.substr(equals + 1);
            arg.resize(equals);
        }
        auto value = [&]() -> std::string {
            if (inlineValue)
                return *inlineValue;
            if (i + 1 >= args.size())
                usageError(arg + " needs a value");
            return args[++i];
        };
        auto flag = [&](std::optional<bool>& target, bool setting, const char* other) {
            if (inlineValue)
                usageError(arg + " takes no value");
            if (target && *target != setting)
                usageError(arg + " and " + other + " exclude each other");
            target = setting;
        };
        const bool exportOnly = arg == "--out" || (arg == "--format" && options.command != CommandId::Check);
        const bool checkOnly = arg == "--strict" || arg == "--max-findings" || arg == "--output" || arg == "--details";
        const bool manyOnly = arg == "--recursive" || arg == "--jobs";
        const bool answer = arg == "--lines-per-page" || arg == "--address" || arg == "--signatory" ||
                            arg == "--position" || arg == "--date" || arg == "--represent" || arg == "--no-represent" ||
                            arg == "--art92" || arg == "--no-art92" || arg == "--cell";
        if ((exportOnly && options.command != CommandId::Export) || (answer && !takesAnswers && arg != "--cell") ||
            (arg == "--document" && options.command != CommandId::Print) ||
            (arg == "--printer" && options.command != CommandId::Print && options.command != CommandId::Printers) ||
            (options.command == CommandId::Printers && arg != "--printer") ||
            (checkOnly && options.command != CommandId::Check) ||
            (manyOnly && options.command != CommandId::Check && options.command != CommandId::Export) ||
            (arg == "--force" && options.command != CommandId::Export && options.command != CommandId::Print))
            usageError(command + " takes no " + arg);

        if (arg == "--out")
            options.out = value();
        else if (arg == "--format" && options.command == CommandId::Check) {
            const std::string name = value();
            if (name == "text")
                options.checkFormat = CheckFormat::Text;
            else if (name == "csv")
                options.checkFormat = CheckFormat::Csv;
            else if (name == "json")
                options.checkFormat = CheckFormat::Json;
            else if (name == "xlsx")
                options.checkFormat = CheckFormat::Xlsx;
            else
                usageError("--format of check is text, csv, json or xlsx, not \"" + name + "\"");
        } else if (arg == "--force") {
            if (inlineValue)
                usageError(arg + " takes no value");
            options.force = true;
        } else if (arg == "--recursive") {
            if (inlineValue)
                usageError(arg + " takes no value");
            options.recursive = true;
        } else if (arg == "--jobs") {
            const std::string text = value();
            const bool digits = !text.empty() && text.size() <= 4 &&
                                std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
            const long jobs = digits ? std::atol(text.c_str()) : 0;
            if (jobs < 1 || jobs > 1024)
                usageError("--jobs takes a whole number from 1 to 1024, not \"" + text + "\"");
            options.jobs = static_cast<std::size_t>(jobs);
        } else if (arg == "--output") {
            options.output = value();
            if (options.output->empty())
                usageError("--output needs a file name");
        } else if (arg == "--details") {
            options.details = value();
            if (options.details->empty())
                usageError("--details needs a folder name");
        } else if (arg == "--strict") {
            if (inlineValue)
                usageError(arg + " takes no value");
            options.strict = true;
        } else if (arg == "--max-findings") {
            const std::string text = value();
            const bool digits = !text.empty() && text.size() <= 9 &&
                                std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
            if (!digits)
                usageError("--max-findings takes a whole number from 0, not \"" + text + "\"");
            options.maxFindings = static_cast<std::size_t>(std::atol(text.c_str()));
        } else if (arg == "--format") {
            options.format = value();
            if (options.format != "text" && options.format != "pdf" && options.format != "xlsx" &&
                options.format != "csv")
                usageError("--format is text, pdf, xlsx or csv, not \"" + options.format + "\"");
        } else if (arg == "--document") {
            options.document = value();
            static const char* const kDocuments[] = {"label", "purchases", "sales", "return", "vies"};
            if (std::none_of(std::begin(kDocuments), std::end(kDocuments),
                             [&](const char* name) { return *options.document == name; }))
                usageError("--document is label, purchases, sales, return or vies, not \"" + *options.document + "\"");
        } else if (arg == "--printer") {
            options.printer = value();
            if (options.printer->empty())
                usageError("--printer needs a queue name");
        } else if (arg == "--lines-per-page")
            options.linesPerPage = parseLinesPerPage(value());
        else if (arg == "--address")
            options.answers.address = oneLineAnswer(arg, value());
        else if (arg == "--signatory")
            options.answers.signatory = oneLineAnswer(arg, value());
        else if (arg == "--position")
            options.answers.position = oneLineAnswer(arg, value());
        else if (arg == "--date") {
            options.answers.date = oneLineAnswer(arg, value());
            // The dialog's rule: a date that is no day never reaches paper.
            if (!isReturnDate(*options.answers.date))
                usageError("--date " + dateRefusal(*options.answers.date));
        } else if (arg == "--represent")
            flag(represent, true, "--no-represent");
        else if (arg == "--no-represent")
            flag(represent, false, "--represent");
        else if (arg == "--art92")
            flag(art92, true, "--no-art92");
        else if (arg == "--no-art92")
            flag(art92, false, "--art92");
        else if (arg == "--cell")
            parseCell(value(), options.answers);
        else if (arg == "--encoding") {
            const std::string name = value();
            if (name == "mik")
                options.read.codePage = CodePage::Mik;
            else if (name == "windows-1251")
                options.read.codePage = CodePage::Windows1251;
            else if (name != "auto")
                usageError("--encoding is auto, mik or windows-1251, not \"" + name + "\"");
        } else if (arg == "--return-layout") {
            const std::string name = value();
            if (name == "classic")
                options.read.returnLayout = ReturnLayout::Classic;
            else if (name == "current")
                options.read.returnLayout = ReturnLayout::Current;
            else if (name != "auto")
                usageError("--return-layout is auto, classic or current, not \"" + name + "\"");
        } else if (arg == "--captions") {
            const std::string name = value();
            if (name == "classic")
                options.read.wording = Wording::Classic;
            else if (name == "today")
                options.read.wording = Wording::Today;
            else if (name != "auto")
                usageError("--captions is auto, classic or today, not \"" + name + "\"");
        } else
            usageError("unknown option " + arg);
    }
    options.answers.represent = represent.value_or(true);
    options.answers.art92 = art92.value_or(false);

    if (options.command == CommandId::Printers) {
        if (options.dataFolder)
            usageError("printers takes no data folder");
        return options;
    }
    if (!options.dataFolder)
        usageError(command + " needs the data folder");
    if (options.command == CommandId::Export && !options.out)
        usageError("export needs --out DIR");
    if (options.command == CommandId::Export && options.out->empty())
        usageError("--out needs a folder name");
    if (options.command == CommandId::Check && options.checkFormat == CheckFormat::Xlsx && !options.output)
        usageError("check --format xlsx needs --output FILE");
    if (options.details && !options.manyPeriods())
        usageError("--details is for several periods (more than one folder, or --recursive)");
    if (options.command == CommandId::Print && !options.document)
        usageError("print needs --document label|purchases|sales|return|vies");
    return options;
}

} // namespace orva::cli
