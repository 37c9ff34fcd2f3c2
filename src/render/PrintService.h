#pragma once

#include <string>
#include <utility>
#include <vector>

namespace orva {

// Options of a print job (name, value), as lp's -o gives them.
using JobOptions = std::vector<std::pair<std::string, std::string>>;

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
};

// The print server: submitPdfJob (CupsJob.h). One for the process.
PrintService& cupsPrintService();

} // namespace orva
