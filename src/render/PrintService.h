#pragma once

#include <string>
#include <utility>
#include <vector>

namespace orva {

// Options of a print job (name, value), as lp's -o gives them.
using JobOptions = std::vector<std::pair<std::string, std::string>>;

// What was known of a submitted job when following it ended.
struct JobOutcome {
    int id = 0;
    bool completed = true; // false: still pending, held or processing when following it ended
};

// A submitted job's state when asked again, after following it ended with it still on its way.
struct JobStatus {
    // Unknown: the server no longer says anything of it (not kept in its history, or no answer).
    enum class Fate { Printed, OnItsWay, Failed, Unknown } fate = Fate::Printed;
    std::string failure; // with Failed: what the server said, naming the job and the queue
};

// Where a finished print job goes. The print server is one implementation (cupsPrintService);
// tests put one in its place that keeps what it is given, so the path a user's job takes up to
// the server is the path they check.
class PrintService {
public:
    virtual ~PrintService() = default;

    // Submits the PDF file `pdfPath` to `queue` as one job named `jobName` (UTF-8) with `options`,
    // and returns the job's id. Throws orva::Error naming the queue when the job is refused or fails.
    virtual int submitPdf(const std::string& queue, const std::string& pdfPath, const std::string& jobName,
                          const JobOptions& options) = 0;

    // submitPdf without following the job: its id as soon as the server has taken it (the window
    // follows it with jobStatus, so closing it never waits on a job being followed).
    virtual int submitPdfUnfollowed(const std::string& queue, const std::string& pdfPath, const std::string& jobName,
                                    const JobOptions& options) {
        return submitPdf(queue, pdfPath, jobName, options);
    }

    // Asks once how job `jobId` on `queue` stands. A service that cannot tell says it is printed.
    virtual JobStatus jobStatus(const std::string& /*queue*/, int /*jobId*/) { return {}; }
};

// The print server: submitPdfJob (CupsJob.h). One for the process.
PrintService& cupsPrintService();

} // namespace orva
