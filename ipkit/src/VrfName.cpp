#include "Ipkit/VrfName.h"

#include <ostream>
#include <string>

#include "Zat/Exception.h"
#include "Zat/Strep.h"

namespace Ipkit {

namespace {
std::string tooLong(std::size_t size) {
   return "Zat::String::bytes > maxLength() not allowed: VrfName of " + std::to_string(size) +
          " bytes is longer than its limit of " +
          std::to_string(VrfName::maxLength()) + " bytes";
}
}  // namespace

std::string_view VrfName::checked(std::string_view text) {
   if (text.size() > maxLength()) Zat::throwRangeException(tooLong(text.size()));
   return text;
}

Zat::String valueToStrep(VrfName const& v) {
   return Zat::valueToStrep(v.string());
}

void sequenceToValue(Zat::CharRange& r, VrfName* v) {
   Zat::CharRange probe = r;
   Zat::String const text = probe.parseQuoted();
   if (text.size() > VrfName::maxLength()) r.fail(tooLong(text.size()));
   r = probe;
   *v = VrfName(text.view());
}

std::ostream& operator<<(std::ostream& os, VrfName const& v) {
   return os << v.string();
}

}  // namespace Ipkit
