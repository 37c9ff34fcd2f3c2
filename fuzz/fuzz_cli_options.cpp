// orva-cli's option parser on any command line: the input cut at NUL bytes is the argument list.
// Any refusal must be a usage Failure (no other exception escapes), and accepted options must be
// consistent: export has a folder, print a document, a page length in range, only editable cells,
// a data folder for every command but printers.
#include "FuzzChecks.h"

#include "cli/Options.h"
#include "declaration/ReturnCells.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace orva::cli;
    std::vector<std::string> args(1);
    for (std::size_t i = 0; i < size; ++i) {
        if (data[i] == 0)
            args.emplace_back();
        else
            args.back() += static_cast<char>(data[i]);
    }
    try {
        const Options options = parseOptions(args);
        fuzz::require(options.command != CommandId::Export || (options.out && !options.out->empty()));
        fuzz::require(options.command != CommandId::Print || options.document.has_value());
        fuzz::require(!options.linesPerPage || (*options.linesPerPage >= 1 && *options.linesPerPage <= 100000));
        for (const auto& cell : options.answers.cells)
            fuzz::require(std::find(orva::kEditableCells.begin(), orva::kEditableCells.end(), cell.first) !=
                          orva::kEditableCells.end());
        fuzz::require(options.command == CommandId::Printers || options.dataFolder.has_value());
    } catch (const Failure& failure) {
        fuzz::require(failure.status() == kUsage);
    }
    return 0;
}
