// orva-cli printers: the print server's queues, the one print would use marked.
#include "cli/Command.h"
#include "cli/GuiApplication.h"
#include "render/PrintServer.h"

#include <algorithm>
#include <ostream>

namespace orva::cli {

namespace {

class PrintersCommand final : public Command {
public:
    std::string description() const override {
        return "  printers  List the print server's queues, one a line; the one print would use\n"
               "            is marked \"*\", followed by what named it in brackets.\n";
    }

    // One queue a line; the one print would use marked "*", with what named it.
    int run(const Options& options, Streams& streams, const Environment& environment) const override {
        ensureGuiApplication();
        std::vector<std::string> names;
        QueueChoice choice;
        try {
            // A server that does not answer has no list to show: an empty one would read as "no
            // queues".
            names = environment.queueNames ? environment.queueNames() : std::vector<std::string>();
            choice = options.printer           ? QueueChoice{*options.printer, "--printer"}
                     : environment.queueChoice ? environment.queueChoice()
                                               : QueueChoice{};
        } catch (const PrintServerSilent& silent) {
            throw Failure(kNoPrinter, silent.what());
        }
        for (const std::string& name : names) {
            if (name == choice.queue)
                streams.out << "* " << name << " (" << choice.source << ")\n";
            else
                streams.out << "  " << name << '\n';
        }
        if (!choice.queue.empty() && std::find(names.begin(), names.end(), choice.queue) == names.end())
            throw Failure(kNoPrinter,
                          "няма опашка за печат \"" + choice.queue + "\" (посочена от " + choice.source + ")");
        return kSuccess;
    }
};

} // namespace

const Command& printersCommand() {
    static const PrintersCommand command;
    return command;
}

} // namespace orva::cli
