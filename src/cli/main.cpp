#include "cli/Cli.h"

#include <iostream>
#include <string>
#include <vector>

#include <unistd.h>

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    orva::cli::Environment environment = orva::cli::Environment::system();
    environment.showProgress = ::isatty(STDERR_FILENO) != 0;
    return orva::cli::runCli(args, std::cout, std::cerr, environment);
}
