#include "Zat/String.h"

#include <ostream>
#include <string>

#include "Zat/Exception.h"

namespace Zat {

std::ostream& operator<<(std::ostream& os, String const& s) { return os << s.view(); }

// The runtime's own words come first: tools and operators match on them; the rest says by how much.
void throwStringTooLong(std::size_t size, std::size_t maxLength) {
   throw RangeException("Zat::String::bytes > maxLength() not allowed: string of " + std::to_string(size) +
                        " bytes is longer than its limit of " + std::to_string(maxLength) + " bytes");
}

}  // namespace Zat
