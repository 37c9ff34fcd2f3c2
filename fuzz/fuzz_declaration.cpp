// The return record reader on any bytes: every failure must be an orva::Error, and the record is the
// first 590 characters of the whole file's text (only the file's first bytes are read: the bound
// must never change a character).
#include "FuzzChecks.h"

#include "declaration/Declaration.h"
#include "text/Errors.h"
#include "text/LineFile.h"
#include "text/Mik.h"

#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    std::string whole = orva::joinLinesCrLf(orva::splitLines(bytes));
    orva::mikToWin1251InPlace(whole);
    try {
        const orva::Declaration declaration = orva::parseDeclaration(bytes);
        std::string record;
        for (const std::string& field : declaration.fields)
            record += field;
        fuzz::require(declaration.fields.size() == 36 && declaration.label.size() == 18);
        fuzz::require(record == whole.substr(0, orva::kDeclarationRecordLength));
    } catch (const orva::Error&) {
        fuzz::require(whole.substr(0, 15).size() < 2); // the one failure: no VAT number at all
    }
    return 0;
}
