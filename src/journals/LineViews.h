#pragma once

#include <string_view>
#include <vector>

namespace orva {

// The same split as orva::splitLines (CR, LF and CR LF are one break each; a NUL ends the
// text; a break at the very end starts no further line), as views into `text` instead of
// copies: a journal file of a million records is split without a million allocations.
std::vector<std::string_view> splitLineViews(std::string_view text);

} // namespace orva
