#include "Zat/String.h"

#include <ostream>

#include "Zat/Exception.h"

namespace Zat {

std::ostream& operator<<(std::ostream& os, String const& s) { return os << s.view(); }

void throwStringTooLong() { throw RangeException("Zat::String::bytes > maxLength() not allowed"); }

}  // namespace Zat
