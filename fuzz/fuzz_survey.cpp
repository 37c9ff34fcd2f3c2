// The data-file survey on any file: the code page is the count over every byte, the first line is
// the bytes before the first CR, LF or NUL, and an empty file is marked so. The name is found in
// any letter case.
#include "FuzzChecks.h"

#include "period/DataFiles.h"
#include "text/CodePage.h"

#include <cstdint>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    fuzz::writeFile(fuzz::scratch().file("DEKLAR.TXT"), bytes);
    const orva::FileSurvey survey = orva::surveyDataFile(fuzz::scratch().path(), "deklar.txt");

    orva::CodePageCounter counter;
    counter.add(bytes.data(), size);
    fuzz::require(survey.name == "DEKLAR.TXT");
    fuzz::require(survey.codePage == counter.codePage());
    fuzz::require(survey.firstLineLength == std::min(bytes.find_first_of(std::string_view("\r\n\0", 3)), size));
    fuzz::require(survey.empty == (size == 0));
    return 0;
}
