#include "cli/Cli.h"
#include "cli/Output.h"

#include <iostream>
#include <string>
#include <vector>

#include <unistd.h>

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    orva::cli::Environment environment = orva::cli::Environment::system();
    environment.showProgress = ::isatty(STDERR_FILENO) != 0;
    // Standard output through a buffer that keeps the reason of a failed write (runCli reports it).
    orva::cli::DescriptorBuffer outBuffer(STDOUT_FILENO);
    std::ostream out(&outBuffer);
    return orva::cli::runCli(args, out, std::cerr, environment);
}
