#include "Platform/GroupName.h"

#include <ostream>

#include "Zat/Any.h"
#include "Zat/Strep.h"

namespace VelL3::V2 {

Zat::String valueToStrep(GroupName const& g) {
   return Zat::valueToStrep(g.string());
}

void sequenceToValue(Zat::CharRange& r, GroupName* g) {
   Zat::CharRange probe = r;
   // The bound check raises the same error as the text constructor before anything is assigned.
   GroupName const name(probe.parseQuoted().view());
   r = probe;
   *g = name;
}

std::ostream& operator<<(std::ostream& os, GroupName const& g) {
   return os << g.string();
}

Zat::TypeInfo const& zatTypeInfo(GroupName const*) {
   static Zat::TypeInfo const t{"VelL3::V2::GroupName",           Zat::TypeKind::value, nullptr, {}, {},
                                &Zat::valueMethodsOf<GroupName>()};
   return t;
}

}  // namespace VelL3::V2
