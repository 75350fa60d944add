#include "Ipkit/Vni.h"

#include <ostream>
#include <string>

#include "Zat/Exception.h"
#include "Zat/Strep.h"

namespace Ipkit {

Vni::Vni(std::string_view text) : v_(std::uint32_t(detail::parseWholeNumber("Vni", text, max, false))) {}

Zat::String Vni::stringValue(bool withLabel) const {
   Zat::String s = Zat::valueToStrep(v_);
   return withLabel ? Zat::String("VNI ") + s.view() : s;
}

Zat::String valueToStrep(Vni v) {
   return v.stringValue();
}

void sequenceToValue(Zat::CharRange& r, Vni* v) {
   *v = Vni(r.parseUnsigned(Vni::max));
}

std::ostream& operator<<(std::ostream& os, Vni v) {
   return os << v.value();
}

VniOrNone::VniOrNone(std::string_view text) {
   if (text == "none") return;
   // Anything that does not start like a number is a misspelt "none" (or worse); say both forms.
   if (text.empty() || text[0] < '0' || text[0] > '9') {
      Zat::throwRangeException("invalid VniOrNone " + std::string(Zat::valueToStrep(text).view()) +
                               ": expected 'none' or a number");
   }
   *this = Vni(text);
}

Vni VniOrNone::vni() const {
   if (!isSome_) Zat::throwPreconditionException("VniOrNone::vni: there is no Vni");
   return vni_;
}

Zat::String VniOrNone::stringValue() const {
   return isSome_ ? vni_.stringValue() : Zat::String("none");
}

Zat::String valueToStrep(VniOrNone v) {
   return v.isNone() ? Zat::valueToStrep(std::string_view("none")) : v.vni().stringValue();
}

void sequenceToValue(Zat::CharRange& r, VniOrNone* v) {
   if (r.peek() >= '0' && r.peek() <= '9') {
      *v = Vni(r.parseUnsigned(Vni::max));
      return;
   }
   if (r.peek() != '\'') r.fail("expected a Vni or 'none'");
   // Parse on a copy so that a wrong word leaves the range at the literal, where the error points.
   Zat::CharRange probe = r;
   if (probe.parseQuoted() != Zat::String("none")) r.fail("expected a Vni or 'none'");
   r = probe;
   *v = VniOrNone();
}

std::ostream& operator<<(std::ostream& os, VniOrNone v) {
   return os << v.stringValue();
}

}  // namespace Ipkit
