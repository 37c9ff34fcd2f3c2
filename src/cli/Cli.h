#pragma once

#include "cli/Command.h"

#include <iosfwd>
#include <string>
#include <vector>

namespace orva::cli {

// Runs one orva-cli command. `args` are the arguments after the program name, in UTF-8.
// Results go to `out`, failures (one line each) and progress to `err`; returns the exit status.
int runCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
           const Environment& environment = Environment::system());

// The usage text of --help: the synopsis and paragraph of every command.
std::string helpText();
// The usage text of COMMAND --help: its synopsis, its paragraph and its options.
std::string helpText(CommandId command);

} // namespace orva::cli
