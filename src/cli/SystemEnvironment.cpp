// The commands' Environment on this machine: Qt's printers and the print server.
#include "cli/Command.h"
#include "cli/GuiApplication.h"
#include "render/PageMetrics.h"
#include "render/PrintServer.h"
#include "render/PrintService.h"

#include <QGuiApplication>
#include <QPrinter>
#include <QPrinterInfo>

#include <clocale>
#include <cstdio>

namespace orva::cli {

namespace {

// Qt's own warnings (a missing runtime folder, a painter that did not start) would break the
// promise of one line on standard error per failure; the failures themselves are reported.
void quietQtMessages(QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (type == QtCriticalMsg || type == QtFatalMsg)
        std::fprintf(stderr, "%s\n", message.toLocal8Bit().constData());
}

std::unique_ptr<QPrinter> preparedPrinter(const QPrinterInfo& info) {
    auto printer = std::make_unique<QPrinter>(info, QPrinter::HighResolution);
    preparePrinter(*printer);
    return printer;
}

} // namespace

void ensureGuiApplication() {
    static bool fontRegistered = false;
    if (!QCoreApplication::instance()) {
        if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") &&
            qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        qInstallMessageHandler(quietQtMessages);
        static int argc = 1;
        static char name[] = "orva-cli";
        static char* argv[] = {name, nullptr};
        new QGuiApplication(argc, argv);
        // Qt adopts the user's locale; numbers here are never the locale's.
        std::setlocale(LC_NUMERIC, "C");
    }
    if (!fontRegistered) {
        fontRegistered = true;
        registerEmbeddedDocumentFont();
    }
}

Environment Environment::system() {
    Environment environment;
    environment.defaultPrinter = []() -> std::unique_ptr<QPrinter> {
        ensureGuiApplication();
        const QueueChoice choice = systemQueueChoice();
        if (choice.queue.empty())
            return nullptr;
        // Qt's lookups have no deadline: each runs only once the server has answered within ours.
        askPrintServerDefault();
        const QPrinterInfo info = QPrinterInfo::printerInfo(QString::fromStdString(choice.queue));
        if (info.isNull())
            throw Failure(kNoPrinter,
                          "няма опашка за печат \"" + choice.queue + "\" (посочена от " + choice.source + ")");
        return preparedPrinter(info);
    };
    environment.namedPrinter = [](const std::string& queue) -> std::unique_ptr<QPrinter> {
        ensureGuiApplication();
        askPrintServerDefault();
        const QPrinterInfo info = QPrinterInfo::printerInfo(QString::fromStdString(queue));
        return info.isNull() ? nullptr : preparedPrinter(info);
    };
    environment.queueNames = [] {
        ensureGuiApplication();
        askPrintServerDefault();
        std::vector<std::string> names;
        for (const QString& name : QPrinterInfo::availablePrinterNames())
            names.push_back(name.toStdString());
        return names;
    };
    environment.queueChoice = [] {
        ensureGuiApplication();
        return systemQueueChoice();
    };
    environment.printService = &cupsPrintService();
    return environment;
}

} // namespace orva::cli
