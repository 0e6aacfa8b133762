#pragma once
// Parsing of skin attribute values. Malformed values give nullopt so the attribute is ignored
// and the control keeps its default.
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "duilib/look.h"
#include "duilib/types.h"

namespace DuiLib::detail {

// "L,T,R,B", "W,H", "5": integers separated by commas (spaces allowed around them).
std::optional<std::vector<int>> ParseIntList(std::wstring_view text);
std::optional<int> ParseInt(std::wstring_view text);
// "true"/"false" (also "1"/"0").
std::optional<bool> ParseBool(std::wstring_view text);
// "#RRGGBB", "#AARRGGBB", "0xRRGGBB" or "0xAARRGGBB"; six digits mean opaque.
std::optional<uint32_t> ParseColor(std::wstring_view text);
// "left", "center" or "right".
std::optional<HorizontalAlign> ParseHorizontalAlign(std::wstring_view text);

} // namespace DuiLib::detail
