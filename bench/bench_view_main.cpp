// The window on a big period: how long the load takes (against copying the two journal files with
// cat and sync in the same run), how soon the purchases journal is on screen after the dialog
// closes and after Ctrl+End, the process's peak memory against the documents' bytes, how soon the
// check's tab is filled and how long printing the purchases takes, with the event loop's longest
// gap during each; each against its target; then the purchases copy cut short in place by another
// program, as the window meets it. One run's figures; nothing is asserted.
//
//   bench_view [--records N] [FOLDER]
//
// Without FOLDER a period of N purchases and N sales (default 200,000 each) is generated into
// a temporary folder by a child process, so the generator's memory is not counted here.

#include "Generate.h"
#include "period/PeriodSession.h"

#include "check/CheckReport.h"
#include "gui/AdditionalDataDialog.h"
#include "gui/DocumentView.h"
#include "gui/MainWindow.h"
#include "gui/MessageBoxes.h"
#include "render/PageMetrics.h"
#include "render/PrintService.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QPrinter>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <string>

namespace {

// VmRSS or VmHWM of this process in kB.
long statusKb(const char* key) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind(key, 0) == 0)
            return std::strtol(line.c_str() + std::string(key).size() + 1, nullptr, 10);
    return -1;
}

std::size_t documentBytes(const DocumentView& box) {
    // From the lines' lengths, which a mapped document knows without touching its pages.
    std::size_t bytes = 0;
    for (std::size_t index = 0; index < box.lineCount(); ++index)
        bytes += box.text().line(index).size() + 2;
    return bytes;
}

// User and system time of every thread of this process, in ms.
long long cpuMs() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000LL +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1000;
}

// What the copies are measured against: cat copying the two journal files into two files in
// `folder`, then sync (the copies are fsync'd too). The better of two runs, in ms.
long long catAndSyncMs(const std::string& dataFolder, const std::string& folder) {
    const std::string command = "cat '" + dataFolder + "/pokupki.txt' > '" + folder + "/.cat1' && cat '" + dataFolder +
                                "/prodagbi.txt' > '" + folder + "/.cat2' && sync";
    long long best = -1;
    for (int run = 0; run < 2; ++run) {
        QElapsedTimer clock;
        clock.start();
        if (std::system(command.c_str()) != 0)
            return -1;
        const long long took = clock.elapsed();
        best = best < 0 ? took : std::min(best, took);
        std::remove((folder + "/.cat1").c_str());
        std::remove((folder + "/.cat2").c_str());
    }
    return best;
}

// The limit of the load: the two documents' own bytes written into two files in `folder`, each
// fsync'd as the copies are (in 1 MB writes). The better of two runs, in ms.
long long writeCopiesBytesMs(const std::string& folder, std::size_t first, std::size_t second) {
    const std::string block(1 << 20, 'x');
    long long best = -1;
    for (int run = 0; run < 2; ++run) {
        QElapsedTimer clock;
        clock.start();
        int index = 0;
        for (const std::size_t size : {first, second}) {
            const std::string path = folder + "/.bytes" + std::to_string(++index);
            const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
            if (fd < 0)
                return -1;
            for (std::size_t left = size; left > 0;) {
                const std::size_t piece = std::min(left, block.size());
                if (::write(fd, block.data(), piece) != static_cast<ssize_t>(piece)) {
                    ::close(fd);
                    return -1;
                }
                left -= piece;
            }
            ::fsync(fd);
            ::close(fd);
        }
        const long long took = clock.elapsed();
        best = best < 0 ? took : std::min(best, took);
        std::remove((folder + "/.bytes1").c_str());
        std::remove((folder + "/.bytes2").c_str());
    }
    return best;
}

const char* verdict(bool met) {
    return met ? "met" : "MISSED";
}

class PaintWatch : public QObject {
public:
    QElapsedTimer* clock = nullptr;
    qint64 armedAt = -1;
    qint64 paintedAt = -1;

    // Waits for the next paint of `widget`'s viewport after `action` and returns the ms it took.
    qint64 timeUntilPainted(QAbstractScrollArea* widget, const std::function<void()>& action) {
        paintedAt = -1;
        widget->viewport()->installEventFilter(this);
        armedAt = clock->elapsed();
        action();
        while (paintedAt < 0 && clock->elapsed() - armedAt < 60000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        return paintedAt - armedAt;
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint && armedAt >= 0 && paintedAt < 0) {
            watched->removeEventFilter(this);
            // The paint runs once this returns; the time is taken right after it.
            QTimer::singleShot(0, this, [this] { paintedAt = clock->elapsed(); });
        }
        return false;
    }
};

// Every box with its default button; each answer sets the next.
void answerBoxesWithDefault() {
    orva::MessageBox::setNextAnswer([](const orva::MessageBoxSeen& box) {
        answerBoxesWithDefault();
        return box.defaultButton;
    });
}

} // namespace

int main(int argc, char** argv) {
    std::size_t records = 200000;
    std::string folder;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--records" && i + 1 < argc)
            records = std::strtoull(argv[++i], nullptr, 10);
        else if (!arg.empty() && arg[0] != '-')
            folder = arg;
        else {
            std::fprintf(stderr, "usage: bench_view [--records N] [FOLDER]\n");
            return 1;
        }
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");

    QTemporaryDir temporary;
    if (folder.empty()) {
        folder = temporary.filePath(QStringLiteral("period")).toStdString();
        const pid_t child = fork();
        if (child == 0) {
            orva::bench::writePeriod(folder, orva::bench::generatePeriod(records, records));
            _exit(0);
        }
        int status = 0;
        waitpid(child, &status, 0);
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            std::fprintf(stderr, "bench_view: the period could not be generated\n");
            return 2;
        }
    }

    QApplication application(argc, argv);
    orva::registerEmbeddedDocumentFont();
    const std::string copyFolder = temporary.path().toStdString();
    // Read once, so the load and cat both find the journals in the page cache.
    std::system(("cat '" + folder + "/pokupki.txt' '" + folder + "/prodagbi.txt' > /dev/null").c_str());
    const long long catMs = catAndSyncMs(folder, copyFolder);
    const long baselineKb = statusKb("VmRSS:");

    QElapsedTimer clock;
    clock.start();
    PaintWatch watch;
    watch.clock = &clock;
    qint64 dialogOpenedAt = -1;

    // Every box answered with its default, the dialog with OK, through their seams; the moment
    // the dialog opens and the moment it closes are noted.
    answerBoxesWithDefault();

    const std::string executable = temporary.filePath(QStringLiteral("orva")).toStdString();
    MainWindow form(folder, orva::sideFilesBeside(executable), QPrinterInfo());
    form.documentTabs()->setCurrentIndex(1);
    form.purchasesView()->viewport()->installEventFilter(&watch);
    const qint64 showAt = clock.elapsed();
    const long long cpuAtShow = cpuMs();
    long long loadCpuMs = -1;
    AdditionalDataDialog::setNextAnswer([&](AdditionalDataDialog& dialog) {
        loadCpuMs = cpuMs() - cpuAtShow;
        QTimer::singleShot(0, &dialog, [&watch, &clock, &dialogOpenedAt, &dialog] {
            dialogOpenedAt = clock.elapsed();
            watch.armedAt = clock.elapsed();
            dialog.okButton()->click();
        });
    });
    form.show();
    if (form.loadFailed()) {
        std::fprintf(stderr, "bench_view: the load failed: %s\n", form.lastLoadError().toUtf8().constData());
        return 3;
    }
    while (watch.paintedAt < 0 && clock.elapsed() < 60000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    const qint64 firstPaintMs = watch.paintedAt - watch.armedAt;
    const qint64 dialogClosedAt = watch.armedAt;
    DocumentView* purchases = form.purchasesView();
    purchases->setFocus();
    const qint64 endMs = watch.timeUntilPainted(purchases, [purchases] {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_End, Qt::ControlModifier);
        QCoreApplication::sendEvent(purchases, &press);
    });
    const bool atEnd = purchases->lineCount() == 0 || purchases->caret().line + 1 == purchases->lineCount();

    // The check's tab is filled on a worker: how long after the dialog closed, and the longest the
    // window's event loop went without turning meanwhile (a 10 ms timer's largest gap).
    qint64 lastTick = clock.elapsed();
    qint64 longestGap = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        longestGap = std::max(longestGap, clock.elapsed() - lastTick);
        lastTick = clock.elapsed();
    });
    ticker.start(10);
    while (form.checkRunning() && clock.elapsed() < 600000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    ticker.stop();
    const qint64 checkMs = clock.elapsed() - dialogClosedAt;
    // The same report alone on this thread, with the window idle: what the tab costs beyond it.
    QElapsedTimer alone;
    alone.start();
    const orva::check::CheckReport report =
        orva::check::runTextReport(orva::PeriodSession(folder), &form.answers().cells);
    const qint64 aloneMs = alone.elapsed();

    const std::size_t purchaseBytes = documentBytes(*form.purchasesView());
    const std::size_t salesBytes = documentBytes(*form.salesView());
    const double documentsMb = double(purchaseBytes + salesBytes) / 1e6;
    const long peakKb = statusKb("VmHWM:");
    const long long loadMs = dialogOpenedAt - showAt;
    const long long bytesMs = writeCopiesBytesMs(copyFolder, purchaseBytes, salesBytes);
    // After the memory's peak is read: the PDF touches every page of the mapped journal.
    // The purchases journal printed (its PDF written and handed to a service that keeps nothing):
    // how long, and the event loop's longest gap meanwhile.
    struct DiscardingPrintService final : orva::PrintService {
        int submitPdf(const std::string&, const std::string&, const std::string&, const orva::JobOptions&) override {
            return 1;
        }
    } discard;
    auto pdfPrinter = std::make_unique<QPrinter>(QPrinter::HighResolution);
    pdfPrinter->setOutputFormat(QPrinter::PdfFormat);
    orva::preparePrinter(*pdfPrinter);
    form.usePrinter(std::move(pdfPrinter));
    form.setPrintService(discard);
    form.documentTabs()->setCurrentIndex(1);
    purchases->setFocus();
    const qint64 printStart = clock.elapsed();
    lastTick = printStart;
    longestGap = 0;
    ticker.start(10);
    QTimer::singleShot(0, &form, [&form] { form.printFocusedDocument(); });
    do
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    while ((clock.elapsed() - printStart < 200 || form.printJobRunning()) && clock.elapsed() - printStart < 600000);
    ticker.stop();
    const qint64 printMs = clock.elapsed() - printStart;
    const qint64 printGap = longestGap;

    // Another program cuts the mapped purchases copy short in place (as truncate -s 0 does): the view
    // pages back to its start and says the copy changed, instead of the process ending with SIGBUS.
    // The pages it reads from now on are zero pages put in place by the SIGBUS handler.
    int copyChangedSaid = 0;
    QObject::connect(purchases, &DocumentView::copyChanged, [&copyChangedSaid] { ++copyChangedSaid; });
    const long rssBeforeCut = statusKb("VmRSS:");
    const std::string purchasesCopy = orva::sideFilesBeside(executable).purchasesCopy;
    const bool cut = ::truncate(purchasesCopy.c_str(), 0) == 0;
    const qint64 cutMs = watch.timeUntilPainted(purchases, [purchases] {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_Home, Qt::ControlModifier);
        QCoreApplication::sendEvent(purchases, &press);
    });
    for (int turn = 0; turn < 20 && copyChangedSaid == 0; ++turn)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    const long rssAfterCut = statusKb("VmRSS:");

    const double peakRatio = (peakKb - baselineKb) * 1024.0 / 1e6 / documentsMb;
    std::printf("period: %s\n", folder.c_str());
    std::printf("documents: purchases %zu lines, sales %zu lines, %.1f MB together\n",
                form.purchasesView()->lineCount(), form.salesView()->lineCount(), documentsMb);
    std::printf("cat of both journal files into %s, then sync (better of 2): %lld ms\n", copyFolder.c_str(), catMs);
    std::printf("load (read, build, copies written and shown) until the dialog opens: %lld ms (CPU %lld ms); "
                "target (1 M + 1 M records) <= 2000 ms: %s\n",
                loadMs, loadCpuMs, verdict(loadMs <= 2000));
    std::printf("  = %.2f x cat and sync; target <= 3.5: %s (smaller periods: no slower than the build before)\n",
                catMs > 0 ? double(loadMs) / catMs : 0.0, verdict(catMs > 0 && loadMs <= 3.5 * catMs));
    std::printf("the documents' bytes written into two files, an fsync each (better of 2): %lld ms\n", bytesMs);
    std::printf("  load = %.2f x writing the copies' bytes; target <= 1.3: %s\n",
                bytesMs > 0 ? double(loadMs) / bytesMs : 0.0, verdict(bytesMs > 0 && loadMs <= 1.3 * bytesMs));
    std::printf("dialog closed -> purchases journal painted: %lld ms; target <= 50: %s\n",
                static_cast<long long>(firstPaintMs), verdict(firstPaintMs >= 0 && firstPaintMs <= 50));
    std::printf("Ctrl+End -> last page painted: %lld ms%s; target <= 50: %s\n", static_cast<long long>(endMs),
                atEnd ? "" : " (the caret did not reach the end)", verdict(atEnd && endMs >= 0 && endMs <= 50));
    std::printf("memory: baseline %.1f MB, peak %.1f MB; peak above baseline %.2f x the documents' bytes "
                "(whole peak %.2f x); target <= 0.3: %s\n",
                baselineKb / 1024.0, peakKb / 1024.0, peakRatio, peakKb * 1024.0 / 1e6 / documentsMb,
                verdict(peakRatio <= 0.3));
    std::printf("check tab: filled %lld ms after the dialog closed (%zu report lines, %zu findings); the report alone "
                "%lld ms; ratio %.2f; the event loop's longest gap meanwhile %lld ms; target <= 100: %s\n",
                static_cast<long long>(checkMs), form.checkView()->lineCount(), report.errors + report.warnings,
                static_cast<long long>(aloneMs), aloneMs > 0 ? double(checkMs) / aloneMs : 0.0,
                static_cast<long long>(longestGap), verdict(!form.checkRunning() && longestGap <= 100));
    std::printf("print of the purchases journal (PDF written on the worker, submitted to a service keeping nothing): "
                "%lld ms; the event loop's longest gap meanwhile %lld ms; target <= 100: %s\n",
                static_cast<long long>(printMs), static_cast<long long>(printGap), verdict(printGap <= 100));
    std::printf("purchases copy cut short in place%s -> first page painted: %lld ms; said once: %s; memory %.1f MB "
                "before, %.1f MB after (no copy of the journal held)\n",
                cut ? "" : " (truncate failed)", static_cast<long long>(cutMs), copyChangedSaid == 1 ? "yes" : "no",
                rssBeforeCut / 1024.0, rssAfterCut / 1024.0);
    return 0;
}
