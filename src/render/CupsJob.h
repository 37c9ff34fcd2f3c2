#pragma once

#include "render/PrintService.h"

#include <chrono>
#include <string>

namespace orva {

// How long a submitted job is followed before its fate is taken as settled: a job still pending
// or processing by then counts as printed.
inline constexpr std::chrono::seconds kJobFollowTime{30};

// Sends the PDF file `pdfPath` to the CUPS queue `queue` as one job named `jobName` (UTF-8),
// with the given job options (name, value), and returns the job's id.
//
// Qt's own CUPS engine reports every job as sent, whatever the server answers, so this talks to
// the server itself. Before anything is sent the queue's state is asked: a queue that rejects
// jobs or is stopped is refused and nothing is submitted (a stopped queue would hold the job, and
// a second try would print twice). The job's creation and its document must be accepted, and
// then the job is followed for at most `follow`: aborted or canceled is a failure; completed,
// pending or processing is success. Throws orva::Error naming the queue, PrintServerSilent when
// the server cannot be reached or leaves a request unanswered past the deadlines (PrintServer.h).
int submitPdfJob(const std::string& queue, const std::string& pdfPath, const std::string& jobName,
                 const JobOptions& options, std::chrono::milliseconds follow = kJobFollowTime);

// submitPdfJob, saying also whether the job had completed or was still on its way when following
// it ended.
JobOutcome followPdfJob(const std::string& queue, const std::string& pdfPath, const std::string& jobName,
                        const JobOptions& options, std::chrono::milliseconds follow = kJobFollowTime);

// How job `jobId` on `queue` stands now, asked on a connection of its own within the deadlines.
JobStatus pdfJobStatus(const std::string& queue, int jobId);

} // namespace orva
