#pragma once

namespace orva {

// The captions a period's documents print. Classic: the form and journal headers as they always
// were. Today: the wording the law has had since (9 %, personal use, art. 21(2), art. 92 ...), with
// the code of today's records shown in journal column 8а. One decision per period, made by
// surveyPeriod from the same detection as the return's cell order and overridable on its own.
enum class Wording { Classic, Today };

} // namespace orva
