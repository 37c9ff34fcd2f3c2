#include "gui/PrintJobs.h"

#include "gui/MessageBoxes.h"
#include "render/PageMetrics.h"
#include "render/PrintServer.h"
#include "render/PrintService.h"
#include "render/PrinterChoice.h"
#include "text/Errors.h"
#include "vies/Vies.h"

#include <QApplication>
#include <QFile>
#include <QPrintDialog>
#include <QPrinter>
#include <QStatusBar>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <mutex>

namespace {

const char* const kPrintDone = "Печатането завърши.";
const char* const kPrintPending = "Заданието е изпратено; принтерът още не го е отпечатал.";
const char* const kCannotPrint = "Документът не може да се разпечата.";
const char* const kPrintQuestion = "Желаете ли да разпечатате избрания документ ?";
const char* const kNothingToPrint = "Няма какво да се печата.";
const char* const kNoPrinter = "Няма принтер, на който да се печата.";
const char* const kPrintBusy = "Предишното задание за печат още се следи. Опитайте отново, когато завърши.";

// The lines of a shown document for a job written on a worker: the text is shared, so it stays
// whole whatever the window shows meanwhile.
orva::DocumentLines allLinesOf(std::shared_ptr<const orva::DocumentText> text) {
    return [text = std::move(text)](const std::function<void(std::string_view)>& line) {
        for (std::size_t index = 0; index < text->lineCount(); ++index)
            line(text->line(index));
    };
}

PrintJobs::DialogAnswer& nextDialogAnswer() {
    static PrintJobs::DialogAnswer answer;
    return answer;
}

} // namespace

// How far the job has come, for the closing window: read there while the worker goes on.
struct PrintJobs::Progress {
    enum class Stage { Writing, Cancelled, Submitting, Submitted, Failed };
    std::mutex mutex;
    Stage stage = Stage::Writing;
    int id = 0;
    std::string queue;
    std::string failure;
};

struct PrintJobs::Followed {
    int id = 0;
    orva::JobStatus status;
};

PrintJobs::PrintJobs(QStatusBar* status, std::function<QWidget*()> boxParent, QObject* parent)
    : QObject(parent), status_(status), boxParent_(std::move(boxParent)), service_(&orva::cupsPrintService()) {}

PrintJobs::~PrintJobs() {
    using Stage = Progress::Stage;
    if (job_.running()) {
        // A job being written gets `submitWait` to reach the server; then it is cancelled. A
        // submission under way is let finish: the print server's deadlines bound it.
        const bool ended = job_.waitFor(timing_.submitWait);
        {
            const std::lock_guard<std::mutex> lock(progress_->mutex);
            if (!ended && progress_->stage == Stage::Writing)
                progress_->stage = Stage::Cancelled;
        }
        job_.stop(); // a job being followed is left at once
        const std::lock_guard<std::mutex> lock(progress_->mutex);
        const char* queue = progress_->queue.c_str();
        switch (progress_->stage) {
        case Stage::Writing:
        case Stage::Cancelled:
            std::fprintf(stderr, "orva: печат: заданието за „%s“ не беше изпратено до затварянето и е отказано\n",
                         queue);
            break;
        case Stage::Submitting:
        case Stage::Submitted:
            std::fprintf(stderr, "orva: печат: задание %d на „%s“ е изпратено; при затварянето не се следи повече\n",
                         progress_->id, queue);
            break;
        case Stage::Failed:
            std::fprintf(stderr, "orva: печат: заданието не е отпечатано: %s\n", progress_->failure.c_str());
            break;
        }
    }
    if (followOn_.running()) {
        followOn_.stop();
        std::fprintf(stderr,
                     "orva: печат: задание %d на „%s“ още не е отпечатано; при затварянето не се следи повече\n",
                     followedOnId_, followedOnQueue_.toUtf8().constData());
    }
}

std::unique_ptr<QPrinter> PrintJobs::applicationPrinter(const std::optional<QPrinterInfo>& given, int& linesPerPage) {
    try {
        const QPrinterInfo info = given ? *given : orva::printerForQueue(orva::systemQueueChoice());
        if (info.isNull())
            throw orva::Error("Няма принтер по подразбиране.");
        auto printer = std::make_unique<QPrinter>(info, QPrinter::HighResolution);
        orva::preparePrinter(*printer);
        linesPerPage = orva::linesPerPage(*printer, orva::kDocumentPointSize);
        if (linesPerPage <= 0)
            throw orva::Error("Принтерът \"" + info.printerName().toStdString() + "\" не съобщава страница за печат.");
        return printer;
    } catch (const std::exception& failure) {
        orva::showErrorBox(nullptr, orva::failureText(failure));
        linesPerPage = orva::fallbackLinesPerPage();
        return nullptr;
    }
}

void PrintJobs::setNextDialogAnswer(DialogAnswer answer) {
    nextDialogAnswer() = std::move(answer);
}

std::function<orva::DocumentLines(int)> PrintJobs::returnPagedAgain(orva::Declaration declaration,
                                                                    orva::ReturnAnswers answers) {
    return [declaration = std::move(declaration), answers = std::move(answers)](int perPage) -> orva::DocumentLines {
        return [declaration, answers, perPage](const std::function<void(std::string_view)>& line) {
            for (const std::string& built : orva::buildReturn(declaration, answers, perPage))
                line(built);
        };
    };
}

// The journal and the VIES declaration are read again: they must still be the files shown.
std::function<orva::DocumentLines(int)> PrintJobs::journalPagedAgain(std::shared_ptr<const orva::PeriodSession> period,
                                                                     orva::JournalKind kind) {
    return [period = std::move(period), kind](int perPage) -> orva::DocumentLines {
        refuseChangedFiles(*period);
        return [period, kind, perPage](const std::function<void(std::string_view)>& line) {
            orva::LineForwarder sink(line);
            period->journal(kind, perPage, sink);
        };
    };
}

std::function<orva::DocumentLines(int)> PrintJobs::viesPagedAgain(std::shared_ptr<const orva::PeriodSession> period) {
    return [period = std::move(period)](int perPage) -> orva::DocumentLines {
        refuseChangedFiles(*period);
        return [period, perPage](const std::function<void(std::string_view)>& line) {
            orva::LineForwarder sink(line);
            period->vies(perPage, sink);
        };
    };
}

void PrintJobs::refuseChangedFiles(const orva::PeriodSession& period) {
    const std::string changed = period.changedFilesNote();
    if (!changed.empty())
        throw orva::Error(changed + " Отворете периода отново, за да го отпечатате на този принтер.");
}

void PrintJobs::printAsked(const std::function<std::optional<Document>()>& focused, QPrinter* printer) {
    // Refused before asking: the job being followed keeps the print service until it is settled.
    if (busy()) {
        orva::showPlainMessage(boxParent_(), QString::fromUtf8(kPrintBusy));
        return;
    }
    if (!orva::confirm(boxParent_(), QString::fromUtf8(kPrintQuestion), QMessageBox::Yes, QMessageBox::No))
        return;
    const std::optional<Document> document = focused();
    // A document that has no lines gives no job: saying it was printed would be false.
    if (!document || document->text->lineCount() == 0) {
        orva::showPlainMessage(boxParent_(), QString::fromUtf8(kNothingToPrint));
        return;
    }
    if (printer == nullptr) {
        orva::showErrorBox(boxParent_(), QString::fromUtf8(kNoPrinter));
        return;
    }
    const auto perPage = static_cast<std::size_t>(std::max(0, document->linesPerPage));
    const long long pages =
        perPage > 0 ? static_cast<long long>((document->text->lineCount() + perPage - 1) / perPage) : 1;
    if (!sheetsAllowed(*document, pages * std::max(1, printer->copyCount())))
        return;
    try {
        start(orva::beginPrintJob(*printer, document->pointSize, orva::kApplicationTitle), allLinesOf(document->text));
    } catch (const std::exception& error) {
        const QString failure = orva::failureText(error);
        orva::showErrorBox(boxParent_(), failure.isEmpty() ? QString::fromUtf8(kCannotPrint) : failure);
    }
}

void PrintJobs::printWithDialog(const std::optional<Document>& document, const QPrinter* preselected, QWidget* window) {
    if (busy()) {
        orva::showPlainMessage(boxParent_(), QString::fromUtf8(kPrintBusy));
        return;
    }
    if (!document || document->text->lineCount() == 0) {
        orva::showPlainMessage(boxParent_(), QString::fromUtf8(kNothingToPrint));
        return;
    }
    const int shownLines = document->linesPerPage;
    const auto pages = static_cast<int>(
        shownLines > 0 ? (document->text->lineCount() + static_cast<std::size_t>(shownLines) - 1) / shownLines : 1);
    // Qt looks for the default printer through libcups on this thread.
    orva::followPrintServerState();
    auto chosen = std::make_unique<QPrinter>(QPrinter::HighResolution);
    if (preselected)
        chosen->setPrinterName(preselected->printerName());
    orva::preparePrinter(*chosen);
    chosen->setFromTo(1, pages);
    bool accepted = false;
    if (DialogAnswer answer = std::exchange(nextDialogAnswer(), nullptr)) {
        accepted = answer(*chosen);
    } else {
        QPrintDialog dialog(chosen.get(), window);
        dialog.setMinMax(1, pages);
        dialog.setOption(QAbstractPrintDialog::PrintPageRange, true);
        dialog.setOption(QAbstractPrintDialog::PrintCollateCopies, true);
        accepted = dialog.exec() == QDialog::Accepted;
    }
    if (!accepted)
        return;
    const bool range = chosen->printRange() == QPrinter::PageRange;
    const int first = range ? std::max(1, chosen->fromPage()) : 1;
    const int last = range && chosen->toPage() > 0 ? chosen->toPage() : INT_MAX;
    if (!chosen->outputFileName().isEmpty()) {
        // "Печат във файл": no print server has that printer; the file is written by the writer
        // "Запази като PDF" uses, the document's own pages.
        printToFile(*document, QFile::encodeName(chosen->outputFileName()).toStdString(), first, last);
        return;
    }

    try {
        // The label is one sheet at its own size; the other documents are paged for the chosen
        // printer's page, built again on the worker when it holds another number of lines.
        const int perPage = shownLines > 0 ? orva::linesPerPage(*chosen, document->pointSize) : 0;
        // The pages on the chosen printer's page, as near as known before the document is paged for
        // it, within the range chosen.
        const long long pagesThere =
            perPage > 0 ? static_cast<long long>((document->text->lineCount() + static_cast<std::size_t>(perPage) - 1) /
                                                 static_cast<std::size_t>(perPage))
                        : 1;
        const long long printed = std::max(0LL, std::min<long long>(last, pagesThere) - first + 1);
        if (!sheetsAllowed(*document, printed * std::max(1, chosen->copyCount())))
            return;
        orva::DocumentLines all = allLinesOf(document->text);
        if (document->repaged && perPage != shownLines)
            all = document->repaged(perPage);
        // Only the chosen pages of the document as it is paged for the job.
        const long long pageLines = perPage > 0 ? perPage : LLONG_MAX;
        orva::DocumentLines chosenPages = [all = std::move(all), pageLines, first,
                                           last](const std::function<void(std::string_view)>& line) {
            long long index = 0;
            all([&](std::string_view text) {
                const long long pageNumber = index++ / pageLines + 1;
                if (pageNumber >= first && pageNumber <= last)
                    line(text);
            });
        };
        start(orva::beginPrintJob(*chosen, document->pointSize, orva::kApplicationTitle, perPage),
              std::move(chosenPages));
    } catch (const std::exception& error) {
        orva::showErrorBox(boxParent_(), orva::failureText(error));
    }
}

void PrintJobs::printToFile(const Document& document, const std::string& path, int first, int last) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    try {
        // The label keeps to one sheet of an A4 page's length, as its export does.
        const int sheetLines = document.linesPerPage > 0 ? document.linesPerPage : orva::fallbackLinesPerPage();
        const std::unique_ptr<orva::PdfDocumentFile> file =
            orva::exportPdfFile(path, document.pointSize, sheetLines, document.name.toStdString());
        const long long pageLines = document.linesPerPage > 0 ? document.linesPerPage : LLONG_MAX;
        for (std::size_t index = 0; index < document.text->lineCount(); ++index) {
            const long long pageNumber = static_cast<long long>(index) / pageLines + 1;
            if (pageNumber >= first && pageNumber <= last)
                file->addLine(document.text->line(index));
        }
        file->finish();
        file->publish();
        QApplication::restoreOverrideCursor();
        say(QStringLiteral("Записано: %1").arg(QFile::decodeName(path.c_str())));
    } catch (const std::exception& error) {
        QApplication::restoreOverrideCursor();
        orva::showErrorBox(boxParent_(), orva::failureText(error));
    }
}

bool PrintJobs::sheetsAllowed(const Document& document, long long sheets) {
    if (sheets <= kSheetsAsked)
        return true;
    return orva::confirm(boxParent_(),
                         QStringLiteral("„%1“ ще се отпечата на %2 листа. Наистина ли да се печата?")
                             .arg(document.name.isEmpty() ? QStringLiteral("Документът") : document.name)
                             .arg(sheets),
                         QMessageBox::Yes, QMessageBox::No, orva::DefaultAnswer::No);
}

void PrintJobs::say(const QString& message) {
    status_->showMessage(message);
}

void PrintJobs::start(orva::BegunJob&& begun, orva::DocumentLines lines) {
    auto job = std::make_shared<orva::BegunJob>(std::move(begun));
    auto progress = std::make_shared<Progress>();
    progress->queue = job->job.queue;
    progress_ = progress;
    const QString queue = QString::fromStdString(job->job.queue);
    say(QStringLiteral("Печат: заданието се пише, изпраща на „%1“ и следи…").arg(queue));
    job_.start<Followed>(
        [job, lines = std::move(lines), progress, service = service_,
         timing = timing_](const orva::StopToken& stop) -> Followed {
            using Stage = Progress::Stage;
            Followed followed;
            try {
                job->write([&lines, &stop](const std::function<void(std::string_view)>& line) {
                    lines([&](std::string_view text) {
                        if (stop.stopRequested())
                            throw orva::Cancelled();
                        line(text);
                    });
                });
                {
                    const std::lock_guard<std::mutex> lock(progress->mutex);
                    if (progress->stage == Stage::Cancelled)
                        throw orva::Cancelled();
                    progress->stage = Stage::Submitting;
                }
                const orva::PreparedJob& prepared = job->job;
                followed.id =
                    service->submitPdfUnfollowed(prepared.queue, prepared.pdfPath, prepared.name, prepared.options);
                {
                    const std::lock_guard<std::mutex> lock(progress->mutex);
                    progress->stage = Stage::Submitted;
                    progress->id = followed.id;
                }
            } catch (const orva::Cancelled&) {
                throw;
            } catch (const std::exception& error) {
                const std::lock_guard<std::mutex> lock(progress->mutex);
                progress->stage = Stage::Failed;
                progress->failure = error.what();
                throw;
            }
            // Followed until it is settled or `follow` has passed; a stop leaves it at once.
            const auto end = std::chrono::steady_clock::now() + timing.follow;
            for (;;) {
                followed.status = service->jobStatus(job->job.queue, followed.id);
                if (followed.status.fate != orva::JobStatus::Fate::OnItsWay || std::chrono::steady_clock::now() >= end)
                    return followed;
                if (!stop.sleepFor(timing.poll))
                    throw orva::Cancelled();
            }
        },
        [this, queue](Followed& followed) {
            const auto& status = followed.status;
            switch (status.fate) {
            case orva::JobStatus::Fate::Failed:
                fail(QString::fromStdString(status.failure));
                return;
            case orva::JobStatus::Fate::OnItsWay:
                say(QStringLiteral("Печат: задание %1 на „%2“ е изпратено, но още не е отпечатано.")
                        .arg(followed.id)
                        .arg(queue));
                orva::showPlainMessage(boxParent_(), QString::fromUtf8(kPrintPending));
                followOn(followed.id, queue);
                return;
            case orva::JobStatus::Fate::Printed:
            case orva::JobStatus::Fate::Unknown: // nothing says it failed
                say(QStringLiteral("Печат: задание %1 на „%2“ е отпечатано.").arg(followed.id).arg(queue));
                orva::showPlainMessage(boxParent_(), QString::fromUtf8(kPrintDone));
                return;
            }
        },
        [this](const QString& failure) { fail(failure); });
}

void PrintJobs::fail(const QString& failure) {
    say(QStringLiteral("Печат: заданието не е отпечатано."));
    orva::showErrorBox(boxParent_(), failure.isEmpty() ? QString::fromUtf8(kCannotPrint) : failure);
}

void PrintJobs::followOn(int jobId, const QString& queue) {
    followedOnId_ = jobId;
    followedOnQueue_ = queue;
    followOn_.start<orva::JobStatus>(
        [service = service_, timing = timing_, jobId, queueName = queue.toStdString()](const orva::StopToken& stop) {
            const auto end = std::chrono::steady_clock::now() + timing.followOnFor;
            orva::JobStatus status{orva::JobStatus::Fate::OnItsWay, {}};
            while (status.fate == orva::JobStatus::Fate::OnItsWay && std::chrono::steady_clock::now() < end) {
                if (!stop.sleepFor(timing.followOnEvery))
                    throw orva::Cancelled();
                status = service->jobStatus(queueName, jobId);
            }
            return status;
        },
        [this, jobId, queue](orva::JobStatus& status) {
            switch (status.fate) {
            case orva::JobStatus::Fate::Printed:
                say(QStringLiteral("Печат: задание %1 на „%2“ е отпечатано.").arg(jobId).arg(queue));
                break;
            case orva::JobStatus::Fate::Failed:
                say(QString::fromStdString(status.failure));
                break;
            case orva::JobStatus::Fate::Unknown:
                say(QStringLiteral("Печат: принтерът вече не дава сведения за задание %1 на „%2“.")
                        .arg(jobId)
                        .arg(queue));
                break;
            case orva::JobStatus::Fate::OnItsWay:
                say(QStringLiteral("Печат: задание %1 на „%2“ още не е отпечатано; не се следи повече.")
                        .arg(jobId)
                        .arg(queue));
                break;
            }
        },
        [](const QString&) {});
}
