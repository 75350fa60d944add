#include "Zat/String.h"

#include <ostream>
#include <string>

#include "Zat/Exception.h"

namespace Zat {

std::ostream& operator<<(std::ostream& os, String const& s) { return os << s.view(); }

void throwStringTooLong(std::size_t size, std::size_t maxLength) {
   throw RangeException("string of " + std::to_string(size) + " bytes is longer than its limit of " +
                        std::to_string(maxLength) + " bytes");
}

}  // namespace Zat
