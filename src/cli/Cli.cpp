#include "cli/Cli.h"

#include "Version.h"
#include "cli/Options.h"
#include "cli/Output.h"
#include "cli/Progress.h"
#include "period/Period.h"
#include "text/Encoding.h"

#include <algorithm>
#include <cstring>
#include <ostream>

namespace orva::cli {

namespace {

const char* const kVersion = ORVA_VERSION;

// The commands in the order of the synopsis and of "Commands:".
const Command* const kCommands[] = {&exportCommand(), &printCommand(), &checkCommand(), &printersCommand()};

const Command& commandFor(CommandId id) {
    switch (id) {
    case CommandId::Export:
        return exportCommand();
    case CommandId::Print:
        return printCommand();
    case CommandId::Check:
        return checkCommand();
    case CommandId::Printers:
        break;
    }
    return printersCommand();
}

const char* const kAbout = R"(
Reads deklar.txt, pokupki.txt and prodagbi.txt of one VAT period from DATAFOLDER
and builds the label page, the purchases and sales journals and the VAT return
form exactly as the ORVA window does. Nothing is ever written to DATAFOLDER.
The file names may be in any letter case (DEKLAR.TXT, Pokupki.txt ...). Each
file's code page (MIK or Windows-1251) and the generation of the return record
are detected from the files; check names what it detected on its first line.

Commands:
)";

// The options more than one command takes, after the commands' own.
const char* const kSharedOptions = R"(  -P QUEUE, --printer QUEUE
                        print on QUEUE, as lpr does (print; printers marks it)
  --lines-per-page N    lines on a page; by default as many 8-point lines as fit
                        on the default printer's page, or on an A4 page at
                        1200 dpi when there is no printer. PDF pages hold N lines;
                        print puts one page of N lines on each sheet, and N may
                        not exceed what the printer's page holds; for PDF export
                        and print, nor what a PDF page (14,400 pt) holds
  --address TEXT        the firm's address (default: empty)
  --signatory TEXT      the signatory (default: the record's, without blanks around)
  --position TEXT       the signatory's position (default: empty)
  --date TEXT           the date of the return (default: the last day of the period)
                        (these four texts may hold no line break)
  --represent           "представлявам лицето" ticked (the default)
  --no-represent        ... not ticked
  --art92               the art. 92 declaration ticked
  --no-art92            ... not ticked (the default)
  --cell NN=TEXT        text of cell NN of the return; only 33, 70, 71, 80, 81, 82
                        (also for check): at most 15 characters, a number with up
                        to two decimals after a point or comma (33: 0 to 1; the
                        others may be empty); a new 33 recomputes 40, 50 and 60
                        (the others come from the record; 50 and 60 are derived)
  --force               export, print: go on when a journal is not the period's
                        (records of another firm or period, a NUL byte with lines
                        after it, a cut last record); the cases are still named
Reading options (export, print, check):
  --encoding auto|mik|windows-1251
                        code page of all three files (default: auto, per file)
  --return-layout auto|classic|current
                        order of cells 13, 23, 14, 24 in the return record:
                        classic 13, 23, 14, 24; current 23, 13, 24, 14 (today's
                        files); auto detects it from the files (the default);
                        it decides nothing else
  --captions auto|classic|today
                        wording of the return form and the journal headers, and
                        column 8а (the code of today's records): auto follows the
                        files' generation (the default)
  --help                this text
  --version             the program's version
Option texts are UTF-8; a character that Windows-1251 lacks becomes "?".

Exit status:
  0  success (check: no error; warnings allowed unless --strict)
  1  usage error, or the output (standard output too) could not be written
  2  the period could not be read; nothing is written
  3  the label page and journals were built but the return could not be
     (export writes label, purchases and sales, not return)
  4  print: no printer, an unknown queue, or the printer refused the job;
     printers: the queue that would be used does not exist; both: the print
     server cannot be reached or does not answer in time
  5  check: an error (with --strict, a warning too), or a return rule that
     does not hold or cannot be evaluated; export, print: a journal is not
     the period's (each case on standard error), nothing written or sent
)";

} // namespace

std::string helpText() {
    std::string text = "Usage:\n";
    for (const Command* command : kCommands)
        text += command->usage();
    text += "  orva-cli --help | --version\n";
    text += kAbout;
    for (const Command* command : kCommands)
        text += command->description();
    text += "\nOptions:\n";
    // Each command's own options: export's and check's (both take --format), then print's.
    for (const Command* command : {&exportCommand(), &checkCommand(), &printCommand(), &printersCommand()})
        text += command->optionHelp();
    return text + kSharedOptions;
}

namespace {

int runCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
               const Environment& environment) {
    if (std::find(args.begin(), args.end(), "--help") != args.end() ||
        (!args.empty() && (args[0] == "-h" || args[0] == "help"))) {
        out << helpText();
        return kSuccess;
    }
    if (!args.empty() && args[0] == "--version") {
        out << "orva-cli " << kVersion << '\n';
        return kSuccess;
    }
    Progress progress(err, environment.showProgress);
    Streams streams{out, err, progress};
    try {
        const Options options = parseOptions(args);
        return commandFor(options.command).run(options, streams, environment);
    } catch (const Failure& failure) {
        progress.clear();
        err << "orva-cli: " << shownText(failure.what()) << '\n';
        return failure.status();
    } catch (const PeriodError& failure) {
        progress.clear();
        err << "orva-cli: " << shownText(failure.what()) << '\n';
        return failure.stage() == PeriodError::Stage::Load ? kUnreadable : kNoReturn;
    } catch (const std::exception& failure) {
        progress.clear();
        err << "orva-cli: " << shownText(failure.what()) << '\n';
        return kUnreadable;
    }
}

// Nothing written may be lost silently: output that did not reach standard output fails the run
// with a line on standard error; when standard error fails too, only the status tells.
int checkedStatus(int status, std::ostream& out, std::ostream& err) {
    out.flush();
    if (!out) {
        const auto* buffer = dynamic_cast<const DescriptorBuffer*>(out.rdbuf());
        const int error = buffer != nullptr ? buffer->error() : 0;
        err << "orva-cli: не може да се запише стандартният изход"
            << (error != 0 ? std::string(": ") + std::strerror(error) : std::string()) << '\n';
        status = kUsage;
    }
    err.flush();
    return err ? status : kUsage;
}

} // namespace

int runCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err, const Environment& environment) {
    return checkedStatus(runCommand(args, out, err, environment), out, err);
}

} // namespace orva::cli
