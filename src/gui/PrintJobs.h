#pragma once

#include "gui/BackgroundTask.h"
#include "journals/Journal.h"
#include "period/PeriodSession.h"
#include "render/Printing.h"

#include <QObject>
#include <QPrinterInfo>
#include <QString>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>

class QPrinter;
class QStatusBar;
class QWidget;

namespace orva {
class PrintService;
struct JobStatus;
} // namespace orva

// The window's print jobs: each is written, submitted and followed on a worker, so the window
// keeps painting and scrolling meanwhile; its outcome is said in a box and the status bar. A job
// still on its way when following it ended is asked about now and then, its outcome said in the
// status bar. Closing never waits on a job being followed; a job not yet submitted is submitted
// within `Timing::submitWait` or cancelled, and standard error says which.
class PrintJobs : public QObject {
    Q_OBJECT

public:
    struct Timing {
        std::chrono::milliseconds poll{250};      // asking about the job while it is followed
        std::chrono::milliseconds follow{30'000}; // then the user is told it is on its way
        std::chrono::milliseconds followOnEvery{2'000};
        std::chrono::milliseconds followOnFor{30 * 60'000};
        std::chrono::milliseconds submitWait{10'000}; // on closing, for a job not yet submitted
    };

    // `boxParent` gives the parent of the boxes saying the outcome.
    PrintJobs(QStatusBar* status, std::function<QWidget*()> boxParent, QObject* parent = nullptr);
    ~PrintJobs() override;

    // The print server unless replaced (tests keep the jobs to look at them); it must outlive this.
    void setService(orva::PrintService& service) { service_ = &service; }
    void setTiming(const Timing& timing) { timing_ = timing; }

    // The application's printer: `given`, else the queue lp would choose, as orva-cli's print
    // does; with its page length in `linesPerPage`. Without a usable one the failure is said in a
    // box and the page length is an A4 page's, so the documents can still be read and exported.
    static std::unique_ptr<QPrinter> applicationPrinter(const std::optional<QPrinterInfo>& given, int& linesPerPage);

    // A shown document to print.
    struct Document {
        std::shared_ptr<const orva::DocumentText> text;
        int pointSize = 0;
        // The lines of its pages as shown; 0 for one sheet whatever its length (the label).
        int linesPerPage = 0;
        // The document built again for another page length; null when it is not paged by the
        // period (the check's report breaks where the sheet is full).
        std::function<orva::DocumentLines(int linesPerPage)> repaged;
        QString name; // as its tab says, for the question before a long job
    };

    // A job of more sheets (pages × copies) than this is asked about once more, No the default:
    // a stray click in a journal of a million records must not print thousands of sheets.
    static constexpr long long kSheetsAsked = 100;

    // Documents built again on the worker from copies of what is shown now (another period may
    // follow), for the print dialog's printer: the return, a journal, the VIES declaration.
    static std::function<orva::DocumentLines(int)> returnPagedAgain(orva::Declaration declaration,
                                                                    orva::ReturnAnswers answers);
    static std::function<orva::DocumentLines(int)> journalPagedAgain(std::shared_ptr<const orva::PeriodSession> period,
                                                                     orva::JournalKind kind);
    static std::function<orva::DocumentLines(int)> viesPagedAgain(std::shared_ptr<const orva::PeriodSession> period);
    // Throws orva::Error saying which of the period's files changed since they were shown.
    static void refuseChangedFiles(const orva::PeriodSession& period);

    // The print command: asks, then prints on `printer` (null: there is none) the document
    // `focused` gives once the question is answered (none: nothing to print).
    void printAsked(const std::function<std::optional<Document>()>& focused, QPrinter* printer);
    // The print dialog: printer (`preselected`'s queue first), page range in document pages and
    // copies. A printer whose page holds another number of lines gets the document paged again for
    // it, as orva-cli print -P does; the views keep their pages.
    void printWithDialog(const std::optional<Document>& document, const QPrinter* preselected, QWidget* window);
    // Tests answer the next print dialog instead of opening it: the answer sets the choices on the
    // printer it is given, as the dialog would, and returns whether it was accepted.
    using DialogAnswer = std::function<bool(QPrinter&)>;
    static void setNextDialogAnswer(DialogAnswer answer);

    // Whether a job is being written, submitted or followed: a second one is refused meanwhile.
    bool busy() const { return job_.running(); }
    // Whether a job on its way is still asked about after the box said so.
    bool followingOn() const { return followOn_.running(); }
    // Writes `lines` into `job` on the worker, then submits and follows it.
    void start(orva::BegunJob&& job, orva::DocumentLines lines);

private:
    struct Progress;
    struct Followed;
    void finish(const Followed& followed);
    // True when a job of `sheets` sheets of `document` may go to paper: at once up to kSheetsAsked.
    bool sheetsAllowed(const Document& document, long long sheets);
    // The document's pages `first` to `last` into a PDF at `path`, as "Запази като PDF" writes it.
    void printToFile(const Document& document, const std::string& path, int first, int last);
    void fail(const QString& failure);
    void followOn(int jobId, const QString& queue);
    void say(const QString& message);

    QStatusBar* status_;
    std::function<QWidget*()> boxParent_;
    orva::PrintService* service_;
    Timing timing_;
    std::shared_ptr<Progress> progress_; // of the job being written, submitted or followed
    orva::BackgroundTask job_;
    orva::BackgroundTask followOn_;
    int followedOnId_ = 0;
    QString followedOnQueue_;
};
