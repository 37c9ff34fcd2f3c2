// The record rules of the check on any lines: the first byte picks the journal and the generation,
// the next six are the return's period and the rest, cut at LF, the records. Nothing may crash, and
// every finding names its file, a line of the input and a known rule, in valid UTF-8.
#include "FuzzChecks.h"

#include "check/FieldRules.h"
#include "check/JournalState.h"
#include "check/RecordCheck.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace {

void requireSound(const std::vector<orva::check::Finding>& findings, std::size_t lastLine) {
    for (const orva::check::Finding& finding : findings) {
        fuzz::require(finding.line >= 1 && finding.line <= lastLine);
        fuzz::require(static_cast<std::size_t>(finding.rule) < orva::check::ruleCount);
        for (const std::string* text :
             {&finding.file, &finding.field, &finding.fieldName, &finding.value, &finding.message, &finding.detail})
            fuzz::require(fuzz::isValidUtf8(*text));
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 7)
        return 0;
    using namespace orva;
    using namespace orva::check;
    const JournalKind kind = (data[0] & 1) ? JournalKind::Sales : JournalKind::Purchases;
    const Generation generation = (data[0] & 2) ? Generation::Today : Generation::Classic;
    const std::string_view period(reinterpret_cast<const char*>(data) + 1, 6);
    const std::string_view rest(reinterpret_cast<const char*>(data) + 7, size - 7);
    const RecordContext context{kind == JournalKind::Sales ? "prodagbi.txt" : "pokupki.txt", generation,
                                parseTaxPeriod(period)};

    JournalCheck journal(kind, context, rest.substr(0, 15), period);
    std::vector<Finding> all;
    std::size_t line = 0;
    for (std::size_t at = 0; at <= rest.size();) {
        const std::size_t end = std::min(rest.find('\n', at), rest.size());
        const std::string_view record = rest.substr(at, end - at);
        ++line;
        std::vector<Finding> findings = kind == JournalKind::Sales ? checkSalesRecord(record, line, context)
                                                                   : checkPurchaseRecord(record, line, context);
        requireSound(findings, line);
        journal.check(record, line, all);
        at = end + 1;
    }
    requireSound(all, line);
    return 0;
}
