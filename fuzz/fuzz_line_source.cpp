// The streaming file reader against the in-memory one: the first byte picks the chunk size (1 to 64,
// so breaks and CR LF pairs fall on every chunk edge), the second a prefix length; the rest is the
// file. FileLineSource must hand out the same lines as MemoryLineSource, answer hasMore() alike,
// and the whole-file and prefix readers must give the file's bytes.
#include "FuzzChecks.h"

#include "text/LineFile.h"
#include "text/LineSource.h"

#include <cstdint>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2)
        return 0;
    const std::size_t chunkSize = 1 + data[0] % 64;
    const std::size_t prefixLength = data[1];
    const std::string_view bytes(reinterpret_cast<const char*>(data) + 2, size - 2);
    const std::string path = fuzz::scratch().file("lines.txt");
    fuzz::writeFile(path, bytes);

    orva::MemoryLineSource memory(bytes);
    orva::FileLineSource file(path, chunkSize);
    fuzz::require(memory.sizeHint() == file.sizeHint());
    for (;;) {
        const bool more = memory.hasMore();
        fuzz::require(file.hasMore() == more);
        std::string_view expected, line;
        const bool got = memory.next(expected);
        fuzz::require(file.next(line) == got);
        if (!got)
            break;
        fuzz::require(line == expected);
    }
    fuzz::require(orva::readFileBytes(path) == bytes);
    fuzz::require(orva::readFilePrefix(path, prefixLength) == bytes.substr(0, prefixLength));
    return 0;
}
