#include "Ipkit/VrfName.h"

#include <ostream>

#include "Zat/Strep.h"

namespace Ipkit {

Zat::String valueToStrep(VrfName const& v) {
   return Zat::valueToStrep(v.string());
}

void sequenceToValue(Zat::CharRange& r, VrfName* v) {
   Zat::CharRange probe = r;
   // The bound check raises the same error as the text constructor before anything is assigned.
   VrfName const name(probe.parseQuoted().view());
   r = probe;
   *v = name;
}

std::ostream& operator<<(std::ostream& os, VrfName const& v) {
   return os << v.string();
}

}  // namespace Ipkit
