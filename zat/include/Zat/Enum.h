// The runtime's enumeration support: every generated enumeration answers numbers, names, text forms and
// parsing from its entry in its unit's type table, so the rules live here once.
#pragma once

#include <cstdint>
#include <string_view>

#include "Zat/CharRange.h"
#include "Zat/TypeInfo.h"

namespace Zat {

// The enumerator's name; a number outside the enumeration raises RangeException.
std::string_view enumName(TypeInfo const& info, unsigned value);
// The number of the enumerator called `name`; an unknown name raises RangeException.
std::uint8_t enumValue(TypeInfo const& info, std::string_view name);
// Reads a quoted enumerator name, as the text form writes it.
std::uint8_t enumParse(TypeInfo const& info, CharRange& r);

}  // namespace Zat
