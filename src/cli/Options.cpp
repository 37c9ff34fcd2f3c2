#include "cli/Options.h"

#include "cli/Documents.h"
#include "declaration/ReturnCells.h"
#include "period/Answers.h"
#include "text/Encoding.h"

#include <algorithm>
#include <cstdlib>
#include <string_view>

namespace orva::cli {

namespace {

constexpr unsigned kExport = commandBit(CommandId::Export);
constexpr unsigned kPrint = commandBit(CommandId::Print);
constexpr unsigned kCheck = commandBit(CommandId::Check);
constexpr unsigned kPrinters = commandBit(CommandId::Printers);
constexpr unsigned kDiff = commandBit(CommandId::Diff);
constexpr unsigned kReconcile = commandBit(CommandId::Reconcile);
constexpr unsigned kPeriodCommands = kExport | kPrint | kCheck | kDiff;
// The reading options: every command that reads a period.
constexpr unsigned kReadingCommands = kPeriodCommands | kReconcile;

// A whole number from `least` to `most`, at most as many digits as `most` has.
std::size_t wholeNumber(const char* option, const std::string& text, std::size_t least, std::size_t most) {
    const bool digits = !text.empty() && text.size() <= std::to_string(most).size() &&
                        std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
    const std::size_t value = digits ? std::strtoull(text.c_str(), nullptr, 10) : 0;
    if (!digits || value < least || value > most)
        usageError(std::string(option) + " takes a whole number from " + std::to_string(least) + " to " +
                   std::to_string(most) + ", not \"" + text + "\"");
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
std::string oneLineAnswer(const char* option, const std::string& text) {
    if (text.find_first_of("\r\n") != std::string::npos)
        usageError(std::string(option) + " may not hold a line break");
    return utf8ToWin1251(text);
}

using Apply = void (*)(Options&, const std::string&, std::size_t);

OptionSpec option(const char* name, ValueKind kind, const char* valueName, unsigned commands, OptionGroup group,
                  const char* help, Apply apply) {
    return {name, nullptr, kind, valueName, {}, commands, 0, group, help, nullptr, false, apply};
}

OptionSpec choice(const char* name, std::vector<const char*> choices, unsigned commands, OptionGroup group,
                  const char* help, Apply apply) {
    return {name,  nullptr, ValueKind::Choice, nullptr, std::move(choices), commands, 0, group, help, nullptr,
            false, apply};
}

OptionSpec flag(const char* name, unsigned commands, OptionGroup group, const char* help, Apply apply,
                const char* excludes = nullptr) {
    return {name, nullptr, ValueKind::None, nullptr, {}, commands, 0, group, help, excludes, false, apply};
}

std::vector<OptionSpec> buildOptionTable() {
    using G = OptionGroup;
    using K = ValueKind;
    std::vector<OptionSpec> table;
    OptionSpec out = option("--out", K::Folder, "DIR", kExport, G::Own, "folder for the exported files",
                            [](Options& o, const std::string& v, std::size_t) { o.out = v; });
    out.required = kExport;
    table.push_back(out);

    // The documents of a period, as the table of documents lists them, then those of two inputs.
    std::vector<const char*> documents;
    for (const DocumentType* type : documentTypes())
        documents.push_back(type->name);
    documents.push_back(correctionMemoDocument().name);
    OptionSpec document = choice("--document", std::move(documents), kPrint, G::Own,
                                 "the document to print; memo needs --older, reconciliation --report",
                                 [](Options& o, const std::string& v, std::size_t) { o.document = v; });
    document.required = kPrint;
    table.push_back(document);

    table.push_back(option("--older", K::Folder, "FOLDER", kExport | kPrint, G::Own,
                           "the submission of the period filed before DATAFOLDER: export writes the correction memo "
                           "(what DATAFOLDER changes) as DIR/memo too; print prints it with --document memo",
                           [](Options& o, const std::string& v, std::size_t) { o.older = v; }));
    OptionSpec report = option("--report", K::File, "REPORT.csv", kExport | kPrint, G::Own,
                               "the revenue agency's report of the sales declared to the firm (again for each report: "
                               "this month's and earlier months'): export writes the purchases journal's "
                               "reconciliation with them as DIR/reconciliation too; print prints it with --document "
                               "reconciliation",
                               [](Options& o, const std::string& v, std::size_t) { o.reports.push_back(v); });
    report.repeatable = true;
    table.push_back(report);

    table.push_back(choice(
        "--format", {"text", "pdf", "xlsx", "csv"}, kExport, G::Own,
        "kind of the exported files; text when not given. xlsx: amounts as numbers (text when "
        "more than 15 significant digits or not a number), sequence numbers as numbers, codes (VAT "
        "numbers, period, branch, document type and number) as text as written, dates as dates, "
        "SUM totals, a sheet per 1,048,575 records; csv: the same cells as they stand, UTF-8 with a BOM, ';', CR LF",
        [](Options& o, const std::string& v, std::size_t) { o.format = v; }));
    table.push_back(choice("--format", {"text", "csv", "json", "xlsx"}, kCheck, G::Own,
                           "the output: text (the default); csv, one row per finding and per return rule "
                           "(file;line;field;severity;rule;value;message, CR LF, UTF-8 with a BOM; a cell starting "
                           "with = + - @ TAB or CR that is not a number gets a leading '); json, the same rows as one "
                           "array of objects; xlsx, the summary of the periods as a spreadsheet (needs --output)",
                           [](Options& o, const std::string&, std::size_t index) {
                               static const CheckFormat kFormats[] = {CheckFormat::Text, CheckFormat::Csv,
                                                                      CheckFormat::Json, CheckFormat::Xlsx};
                               o.checkFormat = kFormats[index];
                           }));
    table.push_back(
        choice("--format", {"text", "csv", "json", "xlsx"}, kDiff, G::Own,
               "the output: text (the default; with --output, the printable memo: Windows-1251 pages of "
               "--lines-per-page lines, by default as many as an A4 page holds without a printer); csv, one "
               "row per difference "
               "(section;change;old line;new line;record;field;caption;old;new;difference, CR LF, UTF-8 "
               "with a BOM); json, the same rows as one array of objects; xlsx, the rows as a spreadsheet "
               "(needs --output)",
               [](Options& o, const std::string&, std::size_t index) {
                   static const CheckFormat kFormats[] = {CheckFormat::Text, CheckFormat::Csv, CheckFormat::Json,
                                                          CheckFormat::Xlsx};
                   o.checkFormat = kFormats[index];
               }));
    table.push_back(
        choice("--format", {"text", "csv", "json", "xlsx"}, kReconcile, G::Own,
               "the output: text (the default); csv, one row per document with its class "
               "(UTF-8 with a BOM, ';', CR LF); json, the same rows as one array of objects; xlsx, the same "
               "rows as a spreadsheet with a totals row (needs --output)",
               [](Options& o, const std::string&, std::size_t index) {
                   static const CheckFormat kFormats[] = {CheckFormat::Text, CheckFormat::Csv, CheckFormat::Json,
                                                          CheckFormat::Xlsx};
                   o.checkFormat = kFormats[index];
               }));
    table.push_back(option("--output", K::File, "FILE", kCheck | kDiff | kReconcile, G::Own,
                           "write the output to FILE (replaced whole; a link there is replaced) instead of standard "
                           "output; never a data file nor into a data folder",
                           [](Options& o, const std::string& v, std::size_t) { o.output = v; }));
    table.push_back(flag("--strict", kCheck, G::Own, "a warning fails the check too",
                         [](Options& o, const std::string&, std::size_t) { o.strict = true; }));
    table.push_back(option("--max-findings", K::Number, "N", kCheck, G::Own,
                           "show at most N finding lines in the text output (default 200); the counts and csv/json "
                           "keep them all",
                           [](Options& o, const std::string& v, std::size_t) {
                               o.maxFindings = wholeNumber("--max-findings", v, 0, 999999999);
                           }));

    OptionSpec printer = option("--printer", K::Queue, "QUEUE", kPrint | kPrinters, G::Own,
                                "the print queue, as lpr's -P: print prints on it, printers marks it",
                                [](Options& o, const std::string& v, std::size_t) { o.printer = v; });
    printer.shortName = "-P";
    table.push_back(printer);

    table.push_back(option("--lines-per-page", K::Number, "N", kExport | kPrint | kDiff | kReconcile, G::Own,
                           "lines on a page; by default as many 8-point lines as fit on the default printer's page, "
                           "or on an A4 page at 1200 dpi when there is no printer. PDF pages hold N lines; print puts "
                           "one page of N lines on each sheet, and N may not exceed what the printer's page holds; "
                           "for PDF export and print, nor what a PDF page (14,400 pt) holds",
                           [](Options& o, const std::string& v, std::size_t) {
                               o.linesPerPage = static_cast<int>(wholeNumber("--lines-per-page", v, 1, 100000));
                           }));
    table.push_back(option(
        "--address", K::Text, "TEXT", kExport | kPrint, G::Own, "the firm's address (default: empty); no line break",
        [](Options& o, const std::string& v, std::size_t) { o.answers.address = oneLineAnswer("--address", v); }));
    table.push_back(option(
        "--signatory", K::Text, "TEXT", kExport | kPrint, G::Own,
        "the signatory (default: the record's, without blanks around); no line break",
        [](Options& o, const std::string& v, std::size_t) { o.answers.signatory = oneLineAnswer("--signatory", v); }));
    table.push_back(option(
        "--position", K::Text, "TEXT", kExport | kPrint, G::Own,
        "the signatory's position (default: empty); no line break",
        [](Options& o, const std::string& v, std::size_t) { o.answers.position = oneLineAnswer("--position", v); }));
    table.push_back(option("--date", K::Text, "TEXT", kExport | kPrint, G::Own,
                           "the date of the return, a real day written dd/mm/yyyy or dd.mm.yyyy (default: the last "
                           "day of the period)",
                           [](Options& o, const std::string& v, std::size_t) {
                               o.answers.date = oneLineAnswer("--date", v);
                               // The dialog's rule: a date that is no day never reaches paper.
                               if (!isReturnDate(*o.answers.date))
                                   usageError("--date " + dateRefusal(*o.answers.date));
                           }));
    table.push_back(flag(
        "--represent", kExport | kPrint, G::Own, "\"представлявам лицето\" ticked (the default)",
        [](Options& o, const std::string&, std::size_t) { o.answers.represent = true; }, "--no-represent"));
    table.push_back(flag(
        "--no-represent", kExport | kPrint, G::Own, "... not ticked",
        [](Options& o, const std::string&, std::size_t) { o.answers.represent = false; }, "--represent"));
    table.push_back(flag(
        "--art92", kExport | kPrint, G::Own, "the art. 92 declaration ticked",
        [](Options& o, const std::string&, std::size_t) { o.answers.art92 = true; }, "--no-art92"));
    table.push_back(flag(
        "--no-art92", kExport | kPrint, G::Own, "... not ticked (the default)",
        [](Options& o, const std::string&, std::size_t) { o.answers.art92 = false; }, "--art92"));

    // check takes the corrected cells too, so the return it checks is the one that would be printed.
    OptionSpec cell = option("--cell", K::Cell, "NN=TEXT", kExport | kPrint | kCheck, G::Own,
                             "text of cell NN of the return; only 33, 70, 71, 80, 81, 82: at most 15 characters, a "
                             "number with up to two decimals after a point or comma (33: 0 to 1; the others may be "
                             "empty); a new 33 recomputes 40, 50 and 60 (the others come from the record; 50 and 60 "
                             "are derived)",
                             [](Options& o, const std::string& v, std::size_t) { parseCell(v, o.answers); });
    cell.repeatable = true;
    table.push_back(cell);

    table.push_back(flag("--force", kExport | kPrint, G::Own,
                         "go on when a journal is not the period's (records of another firm or period, records cut "
                         "short, a short line or a NUL byte with lines after it, a cut last record), the --older "
                         "submission is of another firm or month, or a --report of another buyer or a later month; "
                         "the cases are still named",
                         [](Options& o, const std::string&, std::size_t) { o.force = true; }));
    table.push_back(flag("--force", kDiff, G::Own,
                         "compare periods of different firms or months (a month against the one before); the "
                         "difference is still named",
                         [](Options& o, const std::string&, std::size_t) { o.force = true; }));
    table.push_back(flag("--force", kReconcile, G::Own,
                         "go on when a report is of another buyer or of a later period than the folder's, or a "
                         "journal is not the period's; the cases are still named",
                         [](Options& o, const std::string&, std::size_t) { o.force = true; }));
    table.push_back(flag("--recursive", kExport | kCheck | kReconcile, G::Own,
                         "every folder under DATAFOLDER... that holds deklar.txt (any letter case), in path order",
                         [](Options& o, const std::string&, std::size_t) { o.recursive = true; }));
    table.push_back(flag("--recursive", kDiff, G::Own,
                         "OLDFOLDER and NEWFOLDER are trees of periods: their folders pair by the VAT number and "
                         "period of each deklar.txt (folder names may be anything), one summary row per pair, a row "
                         "for each folder without a partner or of a firm and period twice in one tree; text only",
                         [](Options& o, const std::string&, std::size_t) { o.recursive = true; }));
    table.push_back(
        option("--jobs", K::Number, "N", kExport | kCheck | kReconcile | kDiff, G::Own,
               "periods worked on at once (default: the number of processors); the output is the same "
               "for any N",
               [](Options& o, const std::string& v, std::size_t) { o.jobs = wholeNumber("--jobs", v, 1, 1024); }));
    table.push_back(option("--details", K::Folder, "DIR", kCheck, G::Own,
                           "over several periods: also each period's full text report, as "
                           "DIR/<VAT number>-<YYYYMM>.txt",
                           [](Options& o, const std::string& v, std::size_t) { o.details = v; }));

    table.push_back(
        choice("--encoding", {"auto", "mik", "windows-1251"}, kReadingCommands, G::Reading,
               "code page of all three files (default: auto, per file)",
               [](Options& o, const std::string&, std::size_t index) {
                   static const std::optional<CodePage> kPages[] = {std::nullopt, CodePage::Mik, CodePage::Windows1251};
                   o.read.codePage = kPages[index];
               }));
    table.push_back(choice("--return-layout", {"auto", "classic", "current"}, kReadingCommands, G::Reading,
                           "order of cells 13, 23, 14, 24 in the return record: classic 13, 23, 14, 24; current 23, "
                           "13, 24, 14 (today's files); auto detects it from the files (the default); it decides "
                           "nothing else",
                           [](Options& o, const std::string&, std::size_t index) {
                               static const std::optional<ReturnLayout> kLayouts[] = {
                                   std::nullopt, ReturnLayout::Classic, ReturnLayout::Current};
                               o.read.returnLayout = kLayouts[index];
                           }));
    table.push_back(
        choice("--captions", {"auto", "classic", "today"}, kReadingCommands, G::Reading,
               "wording of the return form and the journal headers, and column 8а (the code of today's "
               "records): auto follows the files' generation (the default)",
               [](Options& o, const std::string&, std::size_t index) {
                   static const std::optional<Wording> kWordings[] = {std::nullopt, Wording::Classic, Wording::Today};
                   o.read.wording = kWordings[index];
               }));
    // runCli answers --help wherever it stands; the row is for the help and the completion.
    table.push_back(flag("--help", kReadingCommands | kPrinters, G::Information, "this text",
                         [](Options&, const std::string&, std::size_t) {}));
    return table;
}

// What follows the option's name in the synopsis and the help.
std::string valueText(const OptionSpec& entry) {
    if (entry.kind != ValueKind::Choice)
        return entry.valueName != nullptr ? entry.valueName : "";
    std::string text;
    for (const char* word : entry.choices)
        text += (text.empty() ? "" : "|") + std::string(word);
    return text;
}

// "a, b or c"
std::string choiceList(const OptionSpec& entry) {
    std::string text;
    for (std::size_t i = 0; i < entry.choices.size(); ++i)
        text += (i == 0 ? "" : i + 1 == entry.choices.size() ? " or " : ", ") + std::string(entry.choices[i]);
    return text;
}

std::string withValue(const char* name, const OptionSpec& entry) {
    const std::string value = valueText(entry);
    return value.empty() ? std::string(name) : std::string(name) + " " + value;
}

// Columns on a terminal: UTF-8 continuation bytes take none.
std::size_t columns(const std::string& text) {
    return static_cast<std::size_t>(
        std::count_if(text.begin(), text.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

constexpr std::size_t kWidth = 80;
constexpr std::size_t kHelpColumn = 24;

// `words` after `first`, as many on a line as fit in kWidth, further lines indented by `indent`.
std::string wrapped(const std::string& first, const std::vector<std::string>& words, std::size_t indent) {
    std::string text = first;
    std::size_t used = columns(first);
    for (const std::string& word : words) {
        const std::size_t width = columns(word);
        if (used > indent && used + 1 + width > kWidth) {
            text += "\n" + std::string(indent, ' ');
            used = indent;
        } else if (used > 0 && text.back() != ' ') {
            text += ' ';
            ++used;
        }
        text += word;
        used += width;
    }
    return text + "\n";
}

std::vector<std::string> wordsOf(const std::string& text) {
    std::vector<std::string> words;
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t end = std::min(text.find(' ', at), text.size());
        if (end > at)
            words.push_back(text.substr(at, end - at));
        at = end + 1;
    }
    return words;
}

const CommandSpec& commandSpec(CommandId command) {
    for (const CommandSpec& entry : commandTable())
        if (entry.id == command)
            return entry;
    return commandTable().front();
}

} // namespace

const std::vector<CommandSpec>& commandTable() {
    static const std::vector<CommandSpec> table = {
        {CommandId::Export, "export", Folders::Many}, {CommandId::Print, "print", Folders::One},
        {CommandId::Check, "check", Folders::Many},   {CommandId::Printers, "printers", Folders::None},
        {CommandId::Diff, "diff", Folders::Two},      {CommandId::Reconcile, "reconcile", Folders::Many}};
    return table;
}

const std::vector<OptionSpec>& optionTable() {
    static const std::vector<OptionSpec> table = buildOptionTable();
    return table;
}

const OptionSpec* findOption(const std::string& name, CommandId command) {
    for (const OptionSpec& entry : optionTable())
        if ((name == entry.name || (entry.shortName != nullptr && name == entry.shortName)) && entry.takenBy(command))
            return &entry;
    return nullptr;
}

std::string commandSynopsis(CommandId command) {
    const CommandSpec& self = commandSpec(command);
    std::string first = "  orva-cli " + std::string(self.name) + " ";
    if (columns(first) < 18)
        first += std::string(18 - columns(first), ' ');
    std::vector<std::string> words;
    std::vector<std::string> optional;
    bool reading = false;
    for (const OptionSpec& entry : optionTable()) {
        if (!entry.takenBy(command) || entry.group == OptionGroup::Information)
            continue;
        std::string shown = withValue(entry.shortName != nullptr ? entry.shortName : entry.name, entry);
        // Choices too many for a line are named in the option's help alone.
        if (entry.kind == ValueKind::Choice && columns(shown) + 2 > kWidth - columns(first))
            shown = std::string(entry.shortName != nullptr ? entry.shortName : entry.name) + " NAME";
        if ((entry.required & commandBit(command)) != 0) {
            words.push_back(shown);
        } else if (entry.group == OptionGroup::Reading) {
            if (!reading)
                optional.push_back("[READING OPTIONS]");
            reading = true;
        } else if (entry.excludes != nullptr && !optional.empty() &&
                   optional.back() == "[" + std::string(entry.excludes) + "]") {
            optional.back() = "[" + std::string(entry.excludes) + " | " + shown + "]";
        } else {
            optional.push_back("[" + shown + "]" + (entry.repeatable ? "..." : ""));
        }
    }
    words.insert(words.end(), optional.begin(), optional.end());
    if (self.folders != Folders::None)
        words.push_back(self.folders == Folders::Many  ? "DATAFOLDER..."
                        : self.folders == Folders::Two ? "OLDFOLDER NEWFOLDER"
                                                       : "DATAFOLDER");
    // Each item wraps as one word: no line breaks inside "[--cell NN=TEXT]...".
    return wrapped(first, words, columns(first));
}

std::string optionHelp(CommandId command) {
    std::string text;
    OptionGroup section = OptionGroup::Own;
    text += "Options:\n";
    for (const OptionSpec& entry : optionTable()) {
        if (!entry.takenBy(command))
            continue;
        if (entry.group == OptionGroup::Reading && section != OptionGroup::Reading)
            text += "Reading options:\n";
        section = entry.group;
        std::string label = "  " + withValue(entry.name, entry);
        if (entry.shortName != nullptr)
            label = "  " + withValue(entry.shortName, entry) + "," + label.substr(1);
        if (columns(label) + 2 <= kHelpColumn)
            text += wrapped(label + std::string(kHelpColumn - columns(label), ' '), wordsOf(entry.help), kHelpColumn);
        else
            text += label + "\n" + wrapped(std::string(kHelpColumn, ' '), wordsOf(entry.help), kHelpColumn);
    }
    if (command != CommandId::Printers)
        text += "Option texts are UTF-8; a character that Windows-1251 lacks becomes \"?\".\n";
    return text;
}

void usageError(const std::string& what) {
    throw Failure(kUsage, what + " (see orva-cli --help)");
}

Options parseOptions(const std::vector<std::string>& args) {
    Options options;
    if (args.empty())
        usageError("no command given");
    const std::string& command = args[0];
    const auto named = std::find_if(commandTable().begin(), commandTable().end(),
                                    [&](const CommandSpec& entry) { return command == entry.name; });
    if (named == commandTable().end())
        usageError("unknown command \"" + command + "\"");
    const CommandSpec& self = *named;
    options.command = self.id;

    std::vector<const OptionSpec*> given;
    bool optionsEnded = false;
    for (std::size_t i = 1; i < args.size(); ++i) {
        std::string arg = args[i];
        // lpr's spelling of a short option: -P QUEUE or -PQUEUE.
        if (!optionsEnded && arg.size() >= 2 && arg[0] == '-' && arg[1] != '-') {
            for (const OptionSpec& entry : optionTable())
                if (entry.shortName != nullptr &&
                    arg.compare(0, std::char_traits<char>::length(entry.shortName), entry.shortName) == 0) {
                    const std::string rest = arg.substr(std::char_traits<char>::length(entry.shortName));
                    arg = rest.empty() ? std::string(entry.name) : std::string(entry.name) + "=" + rest;
                    break;
                }
        }
        if (optionsEnded || arg.size() < 2 || arg.compare(0, 2, "--") != 0) {
            if (options.dataFolder && self.folders == Folders::One)
                usageError("more than one data folder given (\"" + *options.dataFolder + "\", \"" + arg + "\")");
            if (self.folders == Folders::Two && options.dataFolders.size() == 2)
                usageError(command + " takes two folders, the older period and the newer, not \"" + arg + "\" too");
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
        const OptionSpec* entry = findOption(arg, options.command);
        if (entry == nullptr) {
            const bool known = std::any_of(optionTable().begin(), optionTable().end(),
                                           [&](const OptionSpec& other) { return arg == other.name; });
            usageError(known ? command + " takes no " + arg : "unknown option " + arg);
        }
        std::string value;
        if (entry->kind == ValueKind::None) {
            if (inlineValue)
                usageError(arg + " takes no value");
        } else if (inlineValue) {
            value = *inlineValue;
        } else if (i + 1 >= args.size()) {
            usageError(arg + " needs a value");
        } else {
            value = args[++i];
        }
        if (entry->excludes != nullptr && std::any_of(given.begin(), given.end(), [&](const OptionSpec* other) {
                return std::string_view(other->name) == entry->excludes;
            }))
            usageError(arg + " and " + entry->excludes + " exclude each other");
        given.push_back(entry);

        std::size_t index = 0;
        if (entry->kind == ValueKind::Choice) {
            const auto found = std::find(entry->choices.begin(), entry->choices.end(), value);
            if (found == entry->choices.end())
                usageError(arg + " is " + choiceList(*entry) + ", not \"" + value + "\"");
            index = static_cast<std::size_t>(found - entry->choices.begin());
        }
        if (value.empty() &&
            (entry->kind == ValueKind::Folder || entry->kind == ValueKind::File || entry->kind == ValueKind::Queue)) {
            const char* what = entry->kind == ValueKind::Folder ? "folder"
                               : entry->kind == ValueKind::File ? "file"
                                                                : "queue";
            usageError(arg + " needs a " + what + " name");
        }
        entry->apply(options, value, index);
    }

    if (self.folders == Folders::None) {
        if (options.dataFolder)
            usageError(command + " takes no data folder");
        return options;
    }
    if (!options.dataFolder)
        usageError(command + " needs the data folder");
    if (self.folders == Folders::Two && options.dataFolders.size() != 2)
        usageError(command + " needs two folders, the older period and the newer");
    for (const OptionSpec& entry : optionTable())
        if ((entry.required & commandBit(options.command)) != 0 &&
            std::find(given.begin(), given.end(), &entry) == given.end())
            usageError(command + " needs " + withValue(entry.name, entry));
    if ((options.command == CommandId::Check || options.command == CommandId::Diff ||
         options.command == CommandId::Reconcile) &&
        options.checkFormat == CheckFormat::Xlsx && !options.output)
        usageError(command + " --format xlsx needs --output FILE");
    if (options.command == CommandId::Diff && options.recursive && options.checkFormat != CheckFormat::Text)
        usageError("diff --recursive writes text only");
    if (options.command == CommandId::Reconcile && !options.recursive && options.dataFolders.size() < 2)
        usageError("reconcile needs the data folder and at least one report");
    if (options.details && !options.manyPeriods())
        usageError("--details is for several periods (more than one folder, or --recursive)");
    return options;
}

} // namespace orva::cli
