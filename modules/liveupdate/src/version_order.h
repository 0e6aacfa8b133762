#pragma once
// The order of version texts ("1.9" < "1.10" < "2.0"), for refusing a manifest that would take an
// installation back.
#include <string_view>

namespace liveupdate {

// Negative, zero or positive as a is below, the same as or above b. Versions are compared
// segment by segment at their dots; segments of digits by their value, others by their bytes
// (and below a number); a missing segment counts as "0", so "1" and "1.0" are the same.
int CompareVersions(std::string_view a, std::string_view b);

} // namespace liveupdate
