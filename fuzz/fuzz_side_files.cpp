// The dialog's side files: the input, cut at NUL bytes, gives the bytes of the address history as
// it lies on disk, then texts typed into the dialog. Loading, adding and saving must not fail (the
// folder is writable), and what is saved reads back as the loaded list with each new text appended
// once, in order, unless it is empty or already there ignoring case.
#include "FuzzChecks.h"

#include "sidefiles/SideFiles.h"
#include "text/LineFile.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<std::string> pieces(1);
    for (std::size_t i = 0; i < size; ++i) {
        if (data[i] == 0)
            pieces.emplace_back();
        else
            pieces.back() += static_cast<char>(data[i]);
    }
    const orva::SideFileLocations files = orva::sideFilesBeside(fuzz::scratch().file("orva"));
    fuzz::writeFile(files.addresses, pieces[0]);
    fuzz::writeFile(files.signatories, "");
    fuzz::writeFile(files.positions, "");
    fuzz::writeFile(files.lastValues, pieces[0]);

    orva::DialogMemory memory = orva::loadDialogMemory(files);
    fuzz::require(memory.addresses == orva::splitLines(pieces[0]));
    std::vector<std::string> expected = memory.addresses;
    const std::vector<std::string> before = memory.addresses;
    for (std::size_t i = 1; i < pieces.size(); ++i) {
        // A typed text holds no line break (the dialog's box is one line).
        std::string typed = pieces[i];
        for (char& c : typed)
            if (c == '\r' || c == '\n')
                c = ' ';
        const bool added = orva::addToHistory(memory.addresses, typed);
        fuzz::require(added == (memory.addresses.size() == expected.size() + 1));
        if (added)
            expected.push_back(typed);
        fuzz::require(memory.addresses == expected);
    }
    orva::saveHistories(files, memory);
    fuzz::require(orva::loadDialogMemory(files).addresses == expected);
    fuzz::require(orva::readFileBytes(files.addresses) == orva::joinLinesCrLf(expected));
    fuzz::require(orva::saveLastValues(files, pieces.back(), "", ""));
    return 0;
}
