#include "journals/LineViews.h"

#include <cstring>

namespace orva {

namespace {

// The first `c` at or after `from`, or `size` when there is none.
std::size_t findByte(const char* data, std::size_t from, std::size_t size, char c) {
    const void* hit = std::memchr(data + from, c, size - from);
    return hit ? static_cast<std::size_t>(static_cast<const char*>(hit) - data) : size;
}

} // namespace

std::vector<std::string_view> splitLineViews(std::string_view text) {
    const char* data = text.data();
    std::size_t size = text.size();
    if (size != 0)
        size = findByte(data, 0, size, '\0');

    std::vector<std::string_view> lines;
    // Journal records are a few hundred bytes; this is usually close, and growth covers the rest.
    lines.reserve(size / 256 + 1);

    // memchr runs far faster than a byte loop; remembering the next CR and the next LF keeps a
    // file that uses only one kind of break from being rescanned for the other on every line.
    std::size_t nextCr = 0, nextLf = 0;
    bool crKnown = false, lfKnown = false;
    std::size_t start = 0;
    while (start < size) {
        if (!crKnown || nextCr < start)
            nextCr = findByte(data, start, size, '\r'), crKnown = true;
        if (!lfKnown || nextLf < start)
            nextLf = findByte(data, start, size, '\n'), lfKnown = true;
        const std::size_t end = nextCr < nextLf ? nextCr : nextLf;
        lines.emplace_back(data + start, end - start);
        start = end + 1;
        if (end < size && data[end] == '\r' && start < size && data[start] == '\n')
            ++start;
    }
    return lines;
}

} // namespace orva
