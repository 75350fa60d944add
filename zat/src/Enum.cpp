#include "Zat/Enum.h"

#include <string>

#include "Zat/Exception.h"

namespace Zat {

std::string_view enumName(TypeInfo const& info, unsigned value) {
   if (value >= info.enumerators.size()) throwDenseEnumBoolSetRangeException(info.fullName, value);
   return info.enumerators[value];
}

namespace {
std::string notAnEnumerator(TypeInfo const& info, std::string_view name) {
   return std::string("'").append(name).append("' is not an enumerator of ").append(info.fullName);
}
}  // namespace

std::uint8_t enumValue(TypeInfo const& info, std::string_view name) {
   for (std::size_t i = 0; i < info.enumerators.size(); ++i) {
      if (info.enumerators[i] == name) return std::uint8_t(i);
   }
   throwRangeException(notAnEnumerator(info, name));
}

std::uint8_t enumParse(TypeInfo const& info, CharRange& r) {
   // Read from a copy so that a bad name leaves the range at the name, where the error is reported.
   CharRange probe = r;
   String name = probe.parseQuoted();
   for (std::size_t i = 0; i < info.enumerators.size(); ++i) {
      if (info.enumerators[i] == name.view()) {
         r = probe;
         return std::uint8_t(i);
      }
   }
   r.fail(notAnEnumerator(info, name.view()));
}

}  // namespace Zat
