// The window on a big period: how long the load takes, how soon the purchases journal is on
// screen after the dialog closes, and the process's peak memory against the documents' bytes.
//
//   bench_view [--records N] [FOLDER]
//
// Without FOLDER a period of N purchases and N sales (default 200,000 each) is generated into
// a temporary folder by a child process, so the generator's memory is not counted here.

#include "Generate.h"

#include "gui/AdditionalDataDialog.h"
#include "gui/DocumentView.h"
#include "gui/MainWindow.h"
#include "gui/MessageBoxes.h"
#include "render/PageMetrics.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
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
    std::size_t bytes = 0;
    for (const std::string& line : box.lines())
        bytes += line.size() + 2;
    return bytes;
}

class PaintWatch : public QObject {
public:
    QElapsedTimer* clock = nullptr;
    qint64 armedAt = -1;
    qint64 paintedAt = -1;

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
    const long baselineKb = statusKb("VmRSS:");

    QElapsedTimer clock;
    clock.start();
    PaintWatch watch;
    watch.clock = &clock;
    qint64 dialogOpenedAt = -1;

    // Every box answered with its default, the dialog with OK, through their seams; the moment
    // the dialog opens and the moment it closes are noted.
    answerBoxesWithDefault();
    AdditionalDataDialog::setNextAnswer([&](AdditionalDataDialog& dialog) {
        QTimer::singleShot(0, &dialog, [&watch, &clock, &dialogOpenedAt, &dialog] {
            dialogOpenedAt = clock.elapsed();
            watch.armedAt = clock.elapsed();
            dialog.okButton()->click();
        });
    });

    const std::string executable = temporary.filePath(QStringLiteral("orva")).toStdString();
    MainWindow form(folder, orva::sideFilesBeside(executable), QPrinterInfo());
    form.documentTabs()->setCurrentIndex(1);
    form.purchasesView()->viewport()->installEventFilter(&watch);
    const qint64 showAt = clock.elapsed();
    form.show();
    if (form.loadFailed()) {
        std::fprintf(stderr, "bench_view: the load failed: %s\n", form.lastLoadError().toUtf8().constData());
        return 3;
    }
    while (watch.paintedAt < 0 && clock.elapsed() < 60000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);

    const std::size_t purchaseBytes = documentBytes(*form.purchasesView());
    const std::size_t salesBytes = documentBytes(*form.salesView());
    const double documentsMb = double(purchaseBytes + salesBytes) / 1e6;
    const long peakKb = statusKb("VmHWM:");
    std::printf("period: %s\n", folder.c_str());
    std::printf("documents: purchases %zu lines, sales %zu lines, %.1f MB together\n",
                form.purchasesView()->lineCount(), form.salesView()->lineCount(), documentsMb);
    std::printf("load (read, build, into the boxes, copies saved) until the dialog opens: %lld ms\n",
                static_cast<long long>(dialogOpenedAt - showAt));
    std::printf("dialog closed -> purchases journal painted: %lld ms\n",
                static_cast<long long>(watch.paintedAt - watch.armedAt));
    std::printf("memory: baseline %.1f MB, peak %.1f MB; peak above baseline %.2f x the documents' bytes "
                "(whole peak %.2f x)\n",
                baselineKb / 1024.0, peakKb / 1024.0, (peakKb - baselineKb) * 1024.0 / 1e6 / documentsMb,
                peakKb * 1024.0 / 1e6 / documentsMb);
    return 0;
}
