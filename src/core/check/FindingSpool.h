#pragma once

#include "check/PeriodCheck.h"
#include "text/TextSpool.h"

#include <string>

namespace orva {

// Holds a journal's findings until they can be reported: the report names each file's code page
// above its findings, and a journal's is counted only by the read that checks it; the sales,
// checked beside the purchases, come after them. They wait in a TextSpool, in shorthand, so a
// journal of a million faulty records costs no memory.
class FindingSpool final : public FindingSink {
public:
    // Progress goes on to `progressTo` when given (the thread that reports it); findings wait here.
    explicit FindingSpool(FindingSink* progressTo = nullptr) : progressTo_(progressTo) {}

    void finding(const check::Finding& finding) override;
    void progress(const std::string& fileName, double done) override;
    // Drops what was held: the journal is checked again.
    void restart();
    // Hands every finding held on to `sink`, in the order found, and lets them go: a second replay hands
    // nothing. Throws FileError when the temporary file cannot be read back.
    void replay(FindingSink& sink);

private:
    FindingSink* progressTo_;
    TextSpool spool_;
    std::string piece_;     // one finding in shorthand, its capacity kept
    std::string usualFile_; // the first finding's file, which nearly all of them name
};

} // namespace orva
