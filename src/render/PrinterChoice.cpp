#include "render/PrinterChoice.h"

#include "render/PrintServer.h"
#include "text/Errors.h"

#include <QPrinterInfo>

#include <cctype>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace orva {

namespace {

std::optional<std::string> environmentValue(const char* name) {
    const char* value = std::getenv(name);
    if (value == nullptr)
        return std::nullopt;
    return std::string(value);
}

std::optional<std::string> fileText(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file)
        return std::nullopt;
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

// "office/duplex" -> "office".
std::string queueOf(const std::string& destination) {
    return destination.substr(0, destination.find('/'));
}

bool equalsIgnoringCase(const std::string& text, const char* word) {
    std::size_t i = 0;
    for (; word[i] != '\0'; ++i)
        if (i >= text.size() || std::tolower(static_cast<unsigned char>(text[i])) != word[i])
            return false;
    return i == text.size();
}

} // namespace

std::string lpoptionsDefault(const std::string& fileText) {
    std::istringstream lines(fileText);
    std::string line;
    std::string found;
    // CUPS reads the whole file; a later Default line wins.
    while (std::getline(lines, line)) {
        std::istringstream words(line);
        std::string keyword;
        std::string destination;
        if (words >> keyword >> destination && equalsIgnoringCase(keyword, "default"))
            found = queueOf(destination);
    }
    return found;
}

QueueChoice chooseQueue(const QueueSources& sources) {
    if (sources.lpdest && !sources.lpdest->empty())
        return {queueOf(*sources.lpdest), "LPDEST"};
    if (sources.printer && !sources.printer->empty() && *sources.printer != "lp")
        return {queueOf(*sources.printer), "PRINTER"};
    if (sources.userOptions)
        if (std::string queue = lpoptionsDefault(*sources.userOptions); !queue.empty())
            return {queue, "~/.cups/lpoptions"};
    if (sources.systemOptions)
        if (std::string queue = lpoptionsDefault(*sources.systemOptions); !queue.empty())
            return {queue, "/etc/cups/lpoptions"};
    if (!sources.serverDefault.empty())
        return {sources.serverDefault, "по подразбиране на сървъра за печат"};
    return {};
}

QueueChoice systemQueueChoice() {
    QueueSources sources;
    sources.lpdest = environmentValue("LPDEST");
    sources.printer = environmentValue("PRINTER");
    if (const std::optional<std::string> home = environmentValue("HOME"); home && !home->empty())
        sources.userOptions = fileText(*home + "/.cups/lpoptions");
    sources.systemOptions = fileText("/etc/cups/lpoptions");
    const QueueChoice named = chooseQueue(sources);
    if (!named.queue.empty())
        return named;
    sources.serverDefault = askPrintServerDefault();
    return chooseQueue(sources);
}

QPrinterInfo printerForQueue(const QueueChoice& choice) {
    if (choice.queue.empty())
        throw Error("Няма принтер по подразбиране.");
    // Qt's lookup has no deadline: it runs only once the server has answered within ours.
    askPrintServerDefault();
    const QPrinterInfo info = QPrinterInfo::printerInfo(QString::fromStdString(choice.queue));
    if (info.isNull())
        throw Error("Няма опашка за печат \"" + choice.queue + "\"" +
                    (choice.source.empty() ? std::string() : " (посочена от " + choice.source + ")") + ".");
    return info;
}

} // namespace orva
