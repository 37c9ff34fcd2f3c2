// The window's parts on their own seams: the background task, the print jobs as the window closes,
// the print server's silent state across threads, and another period read while the shown one stays.

#include "RecordingPrintService.h"
#include "ShellTestSupport.h"
#include "SilentServer.h"

#include "gui/BackgroundTask.h"
#include "gui/DocumentView.h"
#include "gui/MainWindow.h"
#include "gui/PrintJobs.h"
#include "render/PageMetrics.h"
#include "render/PrintServer.h"
#include "render/Printing.h"
#include "sidefiles/SideFiles.h"
#include "text/Errors.h"
#include "text/LineFile.h"

#include <QDir>
#include <QElapsedTimer>
#include <QPrinter>
#include <QProgressBar>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <cups/cups.h>

#include <atomic>
#include <cstdio>
#include <fcntl.h>
#include <memory>
#include <thread>
#include <unistd.h>

namespace {

// What the code under test writes to standard error while one lives.
class StandardErrorCapture {
public:
    StandardErrorCapture() {
        std::fflush(stderr);
        saved_ = ::dup(2);
        const int file = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        ::dup2(file, 2);
        ::close(file);
    }
    ~StandardErrorCapture() { restore(); }
    std::string text() {
        restore();
        return orva::readFileBytes(path_);
    }

private:
    void restore() {
        if (saved_ < 0)
            return;
        std::fflush(stderr);
        ::dup2(saved_, 2);
        ::close(saved_);
        saved_ = -1;
    }
    QTemporaryDir dir_;
    std::string path_ = dir_.filePath(QStringLiteral("stderr")).toStdString();
    int saved_ = -1;
};

// Counts what reaches it and lets each submission or status question wait as told.
struct SlowPrintService final : orva::PrintService {
    std::atomic<int> submitted{0}, asked{0};
    int submitPdf(const std::string&, const std::string&, const std::string&, const orva::JobOptions&) override {
        return ++submitted;
    }
    orva::JobStatus jobStatus(const std::string&, int) override {
        ++asked;
        return {orva::JobStatus::Fate::OnItsWay, {}};
    }
};

// A document that never ends: one line every 10 ms until the job is stopped.
orva::DocumentLines endlessLines(std::atomic<int>& written) {
    return [&written](const std::function<void(std::string_view)>& line) {
        for (;;) {
            line("line");
            ++written;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    };
}

std::unique_ptr<QPrinter> pdfPrinter() {
    auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    printer->setOutputFormat(QPrinter::PdfFormat);
    orva::preparePrinter(*printer);
    return printer;
}

} // namespace

class TestWindowParts : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(orva::registerEmbeddedDocumentFont() >= 0); }

    // The result comes back on the owner's thread, a failure as its text; a cancelled task, a
    // stopped one and one replaced by the next give nothing back.
    void backgroundTaskHandsBackOnTheOwnersThread_data() {
        QTest::addColumn<QString>("how");
        QTest::addColumn<QString>("expected"); // what was handed back, "" for nothing
        QTest::newRow("result") << QStringLiteral("result") << QStringLiteral("42");
        QTest::newRow("failure") << QStringLiteral("failure") << QStringLiteral("failed: диск");
        QTest::newRow("cancelled") << QStringLiteral("cancelled") << QString();
        QTest::newRow("stopped while asleep") << QStringLiteral("stopped") << QString();
        QTest::newRow("replaced by the next") << QStringLiteral("replaced") << QStringLiteral("2");
    }
    void backgroundTaskHandsBackOnTheOwnersThread() {
        QFETCH(QString, how);
        QFETCH(QString, expected);
        orva::BackgroundTask task;
        QStringList handedBack;
        std::atomic<bool> ranElsewhere{false};
        const auto start = [&](int value, std::chrono::milliseconds sleep) {
            task.start<int>(
                [&, value, sleep](const orva::StopToken& stop) {
                    ranElsewhere = QThread::currentThread() != qApp->thread();
                    if (!stop.sleepFor(sleep))
                        throw orva::Cancelled();
                    if (how == QStringLiteral("failure"))
                        throw orva::Error("диск");
                    if (how == QStringLiteral("cancelled"))
                        throw orva::Cancelled();
                    return value;
                },
                [&](int& result) {
                    QCOMPARE(QThread::currentThread(), qApp->thread());
                    handedBack << QString::number(result);
                },
                [&](const QString& failure) { handedBack << QStringLiteral("failed: ") + failure; });
        };
        QElapsedTimer clock;
        clock.start();
        if (how == QStringLiteral("stopped")) {
            start(1, std::chrono::minutes(1));
            QTRY_VERIFY(ranElsewhere.load());
            task.stop(); // wakes the sleep at once
            QVERIFY(clock.elapsed() < 10000);
        } else if (how == QStringLiteral("replaced")) {
            start(1, std::chrono::minutes(1));
            start(2, std::chrono::milliseconds(0));
        } else {
            start(42, std::chrono::milliseconds(0));
        }
        QTRY_VERIFY(!task.running());
        QTest::qWait(50); // anything queued still would arrive now
        QVERIFY(ranElsewhere.load());
        QCOMPARE(handedBack, expected.isEmpty() ? QStringList() : QStringList{expected});
    }

    // Closing never waits on a job being followed; a job still being written when closing gets its
    // time to reach the server and is then cancelled: standard error says which.
    void closingLeavesTheJobSaid_data() {
        QTest::addColumn<bool>("followed"); // else still being written
        QTest::newRow("being followed") << true;
        QTest::newRow("not yet submitted") << false;
    }
    void closingLeavesTheJobSaid() {
        QFETCH(bool, followed);
        QStatusBar status;
        SlowPrintService service;
        const std::unique_ptr<QPrinter> printer = pdfPrinter();
        std::atomic<int> written{0};
        auto jobs = std::make_unique<PrintJobs>(&status, [] { return nullptr; });
        PrintJobs::Timing timing;
        timing.follow = std::chrono::minutes(10);
        timing.submitWait = std::chrono::milliseconds(300);
        jobs->setTiming(timing);
        jobs->setService(service);
        if (followed) {
            jobs->start(orva::beginPrintJob(*printer, orva::kDocumentPointSize, "job"),
                        [](const std::function<void(std::string_view)>& line) { line("one line"); });
            QTRY_VERIFY(service.asked.load() > 0);
        } else {
            jobs->start(orva::beginPrintJob(*printer, orva::kDocumentPointSize, "job"), endlessLines(written));
            QTRY_VERIFY(written.load() > 0);
        }
        QVERIFY(jobs->busy());
        StandardErrorCapture error;
        QElapsedTimer clock;
        clock.start();
        jobs.reset();
        QVERIFY2(clock.elapsed() < 5000, qPrintable(QString::number(clock.elapsed())));
        const QString said = QString::fromStdString(error.text());
        if (followed) {
            QCOMPARE(service.submitted.load(), 1);
            QVERIFY2(said.contains(QStringLiteral("задание 1 на „“ е изпратено; при затварянето не се следи повече")),
                     qPrintable(said));
        } else {
            QVERIFY(clock.elapsed() >= 300);
            QCOMPARE(service.submitted.load(), 0);
            QVERIFY2(said.contains(QStringLiteral("не беше изпратено до затварянето и е отказано")), qPrintable(said));
        }
    }

    // Once a worker has found the print server silent, every thread's libcups leaves it: the
    // window's thread no longer points Qt's printer lookups, which have no deadline, at it.
    void silentServerIsLeftOnEveryThread() {
        const orva::fixture::SilentServer silent;
        QVERIFY(silent.listening());
        const orva::fixture::PrintServerSetting setting(silent.address());
        orva::followPrintServerState();
        QCOMPARE(std::string(cupsServer()), std::string("127.0.0.1"));
        bool silentThere = false;
        std::thread worker([&] {
            try {
                orva::askPrintServerDefault();
            } catch (const orva::PrintServerSilent&) {
                silentThere = true;
            }
        });
        worker.join();
        QVERIFY(silentThere);
        orva::followPrintServerState();
        QVERIFY2(std::string(cupsServer()).rfind("/nonexistent/", 0) == 0, cupsServer());
        QElapsedTimer clock;
        clock.start();
        QVERIFY_THROWS_EXCEPTION(orva::PrintServerSilent, orva::askPrintServerDefault());
        QVERIFY(clock.elapsed() < 500); // not asked again
        orva::resetPrintServer();
        QCOMPARE(std::string(cupsServer()), std::string("127.0.0.1"));
    }

    // Another period is read on a worker: the shown one stays, the progress is in the status bar,
    // a second load is refused meanwhile, and the new period is shown once it has been answered.
    void anotherPeriodIsReadOffTheWindowThread() {
        QTemporaryDir dir;
        const std::string first = dir.filePath(QStringLiteral("first")).toStdString();
        const std::string second = dir.filePath(QStringLiteral("second")).toStdString();
        QDir().mkpath(QString::fromStdString(first));
        QDir().mkpath(QString::fromStdString(second));
        QDir().mkpath(dir.filePath(QStringLiteral("bin")));
        period::write(first, 3, 2);
        period::write(second, 4000, 3000);
        ModalAnswerer answers;
        answers.then(ModalAnswerer::press(QMessageBox::Ok)); // no printer
        answers.then(ModalAnswerer::clickDefault());
        MainWindow form(first, orva::sideFilesBeside(dir.filePath(QStringLiteral("bin/orva")).toStdString()),
                        QPrinterInfo());
        form.show();
        QVERIFY(!form.loadFailed());
        const std::vector<std::string> shown = form.purchasesView()->lines();
        auto* progress = form.statusBar()->findChild<QProgressBar*>(QStringLiteral("loadProgress"));
        QVERIFY(progress && progress->isHidden());

        QSignalSpy ended(&form, &MainWindow::periodOpened);
        answers.then(ModalAnswerer::clickDefault());
        QVERIFY(form.openPeriod(second));
        // Back before the read has ended: nothing of it can have been shown yet.
        QVERIFY(form.loading());
        QVERIFY(!progress->isHidden());
        QVERIFY(form.statusBar()->currentMessage().contains(QStringLiteral("се чете")));
        QVERIFY(!form.openPeriod(first));
        QVERIFY(form.purchasesView()->lines() == shown);
        QCOMPARE(form.dataFolder(), first);

        QVERIFY(ended.wait(60000));
        QCOMPARE(ended.front().front().toBool(), true);
        QVERIFY(!form.loading());
        QVERIFY(progress->isHidden());
        QCOMPARE(form.dataFolder(), second);
        QVERIFY(form.purchasesView()->lineCount() > shown.size());
        QCOMPARE(answers.unscripted, 0);
    }
};

QTEST_MAIN(TestWindowParts)
#include "tst_window_parts.moc"
