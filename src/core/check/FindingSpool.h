#pragma once

#include "check/PeriodCheck.h"

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace orva {

// Holds a journal's findings until they can be reported: the report names each file's code page
// above its findings, and a journal's is counted only by the read that checks it; the sales,
// checked beside the purchases, come after them. The first few thousand stay in memory, the rest
// wait in an unnamed temporary file, so a journal of a million faulty records costs no memory.
class FindingSpool final : public FindingSink {
public:
    // Progress goes on to `progressTo` when given (the thread that reports it); findings wait here.
    explicit FindingSpool(FindingSink* progressTo = nullptr) : progressTo_(progressTo) {}

    void finding(const check::Finding& finding) override;
    void progress(const std::string& fileName, double done) override;
    // Drops what was held: the journal is checked again.
    void restart();
    // Hands every finding held on to `sink`, in the order found. Throws FileError when the temporary
    // file cannot be read back.
    void replay(FindingSink& sink);

private:
    class Reader;
    void writeBlock();

    struct FileCloser {
        void operator()(std::FILE* file) const { std::fclose(file); }
    };

    FindingSink* progressTo_;
    std::vector<check::Finding> held_;
    std::unique_ptr<std::FILE, FileCloser> spilled_;
    std::size_t spilledCount_ = 0;
    bool spillFailed_ = false;
    std::string block_; // findings not yet written to the file
};

} // namespace orva
