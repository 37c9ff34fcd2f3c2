#pragma once

// A print service that keeps each job instead of sending it: the in-process tests print through
// the same PDF writer and sequence as a user's job and look at what would reach the print server.

#include "render/PrintService.h"
#include "text/Errors.h"

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

namespace orva::fixture {

struct RecordedJob {
    std::string queue;
    std::string name;
    JobOptions options;
    std::string pdf; // the file's bytes as submitted
};

class RecordingPrintService final : public PrintService {
public:
    std::vector<RecordedJob> jobs;
    // When set, every job is refused with this message, as the print server would.
    std::optional<std::string> refusal;

    int submitPdf(const std::string& queue, const std::string& pdfPath, const std::string& jobName,
                  const JobOptions& options) override {
        if (refusal)
            throw Error(*refusal);
        std::ifstream file(pdfPath, std::ios::binary);
        jobs.push_back({queue, jobName, options, std::string(std::istreambuf_iterator<char>(file), {})});
        return static_cast<int>(jobs.size());
    }
};

// The page count of a PDF our writer made: the /Count of its page tree, -1 when there is none.
inline int pdfPageCount(const std::string& pdf) {
    const std::size_t tree = pdf.find("/Type/Pages/");
    const std::size_t count = tree == std::string::npos ? tree : pdf.find("/Count ", tree);
    return count == std::string::npos ? -1 : std::atoi(pdf.c_str() + count + 7);
}

} // namespace orva::fixture
