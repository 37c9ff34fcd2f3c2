#include "render/CupsJob.h"

#include "render/CupsConnection.h"
#include "text/Errors.h"

#include <cups/cups.h>

#include <cstdlib>
#include <fstream>
#include <thread>

namespace orva {

namespace {

constexpr std::chrono::milliseconds kPollInterval{250};

std::string quoted(const std::string& queue) {
    return "\"" + queue + "\"";
}

std::string lastServerError() {
    const char* text = cupsLastErrorString();
    return text != nullptr && *text != '\0' ? text : ippErrorString(cupsLastError());
}

std::string printerUri(const std::string& queue) {
    char uri[HTTP_MAX_URI];
    httpAssembleURIf(HTTP_URI_CODING_ALL, uri, sizeof uri, "ipp", nullptr, "localhost", ippPort(), "/printers/%s",
                     queue.c_str());
    return uri;
}

// The queue's own state as the server reports it; throws when it cannot take a job now.
void requireQueueTakesJobs(const CupsConnection& server, const std::string& queue) {
    // cupsGetNamedDest asks again over libcups' own connection, without a deadline, when its first
    // request fails: it runs only once the server has answered about the queue on ours.
    ipp_t* request = ippNewRequest(IPP_OP_GET_PRINTER_ATTRIBUTES);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr, printerUri(queue).c_str());
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes", nullptr, "printer-state");
    ipp_t* answer = cupsDoRequest(server.http(), request, "/");
    const bool answered = answer != nullptr || cupsLastError() < IPP_STATUS_ERROR_INTERNAL;
    ippDelete(answer);
    server.requireAnswered(answered);

    cups_dest_t* dest = cupsGetNamedDest(server.http(), queue.c_str(), nullptr);
    server.requireAnswered();
    if (dest == nullptr)
        throw Error("печат: сървърът за печат не познава принтера " + quoted(queue) + " (" + lastServerError() + ")");
    const char* accepting = cupsGetOption("printer-is-accepting-jobs", dest->num_options, dest->options);
    const char* state = cupsGetOption("printer-state", dest->num_options, dest->options);
    const char* message = cupsGetOption("printer-state-message", dest->num_options, dest->options);
    const std::string why = message != nullptr && *message != '\0' ? std::string(" (") + message + ")" : "";
    const bool refuses = accepting != nullptr && std::string(accepting) == "false";
    const bool stopped = state != nullptr && std::atoi(state) == IPP_PSTATE_STOPPED;
    cupsFreeDests(1, dest);
    if (refuses)
        throw Error("печат: принтерът " + quoted(queue) + " не приема задания" + why);
    if (stopped)
        throw Error("печат: принтерът " + quoted(queue) + " е спрян" + why);
}

struct JobState {
    int state = 0; // 0: the server did not say
    std::string reasons;
};

JobState askJobState(const CupsConnection& server, const std::string& queue, int jobId) {
    ipp_t* request = ippNewRequest(IPP_OP_GET_JOB_ATTRIBUTES);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr, printerUri(queue).c_str());
    ippAddInteger(request, IPP_TAG_OPERATION, IPP_TAG_INTEGER, "job-id", jobId);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr, cupsUser());
    static const char* const wanted[] = {"job-state", "job-state-reasons", "job-printer-state-message"};
    ippAddStrings(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes", 3, nullptr, wanted);
    ipp_t* response = cupsDoRequest(server.http(), request, "/");
    JobState result;
    if (response == nullptr)
        return result;
    if (ipp_attribute_t* state = ippFindAttribute(response, "job-state", IPP_TAG_ENUM))
        result.state = ippGetInteger(state, 0);
    if (ipp_attribute_t* reasons = ippFindAttribute(response, "job-state-reasons", IPP_TAG_KEYWORD)) {
        for (int index = 0; index < ippGetCount(reasons); ++index)
            result.reasons += std::string(result.reasons.empty() ? "" : ", ") + ippGetString(reasons, index, nullptr);
    }
    if (ipp_attribute_t* message = ippFindAttribute(response, "job-printer-state-message", IPP_TAG_TEXT)) {
        const char* text = ippGetString(message, 0, nullptr);
        if (text != nullptr && *text != '\0')
            result.reasons += std::string(result.reasons.empty() ? "" : "; ") + text;
    }
    ippDelete(response);
    return result;
}

// Aborted or canceled: the failure to report, naming the job; else empty.
std::string failureOf(const JobState& job, const std::string& queue, int jobId) {
    if (job.state != IPP_JSTATE_ABORTED && job.state != IPP_JSTATE_CANCELED)
        return {};
    return "печат: задание " + std::to_string(jobId) + " на принтера " + quoted(queue) +
           (job.state == IPP_JSTATE_ABORTED ? " е прекъснато" : " е отменено") +
           (job.reasons.empty() ? "" : " (" + job.reasons + ")");
}

void cancelJob(const CupsConnection& server, const std::string& queue, int jobId) {
    if (!server.timedOut())
        cupsCancelJob2(server.http(), queue.c_str(), jobId, 0);
}

// Creates the job and sends the file as its one document; returns the job id.
int sendJob(const CupsConnection& server, const std::string& queue, const std::string& pdfPath,
            const std::string& jobName, const JobOptions& options) {
    std::ifstream file(pdfPath, std::ios::binary);
    if (!file)
        throw Error("печат: файлът на заданието " + pdfPath + " не може да се прочете");

    cups_option_t* cupsOptions = nullptr;
    int optionCount = 0;
    for (const auto& [name, value] : options)
        optionCount = cupsAddOption(name.c_str(), value.c_str(), optionCount, &cupsOptions);
    const int jobId = cupsCreateJob(server.http(), queue.c_str(), jobName.c_str(), optionCount, cupsOptions);
    cupsFreeOptions(optionCount, cupsOptions);
    server.requireAnswered();
    if (jobId <= 0)
        throw Error("печат: принтерът " + quoted(queue) + " отказа заданието (" + lastServerError() + ")");

    const auto refuse = [&](const std::string& what) {
        const std::string error = lastServerError();
        cancelJob(server, queue, jobId);
        server.requireAnswered();
        throw Error("печат: " + what + " на принтера " + quoted(queue) + " (" + error + ")");
    };
    if (cupsStartDocument(server.http(), queue.c_str(), jobId, jobName.c_str(), CUPS_FORMAT_PDF, 1) !=
        HTTP_STATUS_CONTINUE)
        refuse("документът на задание " + std::to_string(jobId) + " не може да започне");
    char buffer[65536];
    while (file) {
        file.read(buffer, sizeof buffer);
        const std::streamsize count = file.gcount();
        if (count > 0 &&
            cupsWriteRequestData(server.http(), buffer, static_cast<size_t>(count)) != HTTP_STATUS_CONTINUE) {
            if (!server.timedOut())
                cupsFinishDocument(server.http(), queue.c_str());
            refuse("документът на задание " + std::to_string(jobId) + " не може да се изпрати");
        }
    }
    if (cupsFinishDocument(server.http(), queue.c_str()) > IPP_STATUS_OK_EVENTS_COMPLETE)
        refuse("задание " + std::to_string(jobId) + " не е прието");
    return jobId;
}

} // namespace

int submitPdfJob(const std::string& queue, const std::string& pdfPath, const std::string& jobName,
                 const JobOptions& options, std::chrono::milliseconds follow) {
    return followPdfJob(queue, pdfPath, jobName, options, follow).id;
}

JobOutcome followPdfJob(const std::string& queue, const std::string& pdfPath, const std::string& jobName,
                        const JobOptions& options, std::chrono::milliseconds follow) {
    // One connection for the whole job, every request on it answered within the deadlines.
    const CupsConnection server;
    requireQueueTakesJobs(server, queue);
    const int jobId = sendJob(server, queue, pdfPath, jobName, options);

    const auto deadline = std::chrono::steady_clock::now() + follow;
    for (;;) {
        const JobState job = askJobState(server, queue, jobId);
        if (const std::string failure = failureOf(job, queue, jobId); !failure.empty())
            throw Error(failure);
        // Completed, or no answer about an accepted job: nothing says it failed.
        if (job.state == IPP_JSTATE_COMPLETED || job.state == 0)
            return {jobId, true};
        if (std::chrono::steady_clock::now() >= deadline)
            return {jobId, false}; // still pending, held or processing: on its way
        std::this_thread::sleep_for(kPollInterval);
    }
}

JobStatus pdfJobStatus(const std::string& queue, int jobId) {
    try {
        const CupsConnection server;
        const JobState job = askJobState(server, queue, jobId);
        if (const std::string failure = failureOf(job, queue, jobId); !failure.empty())
            return {JobStatus::Fate::Failed, failure};
        if (job.state == IPP_JSTATE_COMPLETED)
            return {JobStatus::Fate::Printed, {}};
        return {job.state == 0 ? JobStatus::Fate::Unknown : JobStatus::Fate::OnItsWay, {}};
    } catch (const std::exception&) {
        return {JobStatus::Fate::Unknown, {}};
    }
}

namespace {

class CupsPrintService final : public PrintService {
public:
    int submitPdf(const std::string& queue, const std::string& pdfPath, const std::string& jobName,
                  const JobOptions& options) override {
        return submitPdfJob(queue, pdfPath, jobName, options);
    }
    int submitPdfUnfollowed(const std::string& queue, const std::string& pdfPath, const std::string& jobName,
                            const JobOptions& options) override {
        return submitPdfJob(queue, pdfPath, jobName, options, std::chrono::milliseconds(0));
    }
    JobStatus jobStatus(const std::string& queue, int jobId) override { return pdfJobStatus(queue, jobId); }
};

} // namespace

PrintService& cupsPrintService() {
    static CupsPrintService service;
    return service;
}

} // namespace orva
