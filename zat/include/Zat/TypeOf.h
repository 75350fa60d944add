// typeInfoOf<T>(): the type table entry of any type the runtime can hold generically.
#pragma once

#include <concepts>
#include <cstdint>

#include "Zat/Seconds.h"
#include "Zat/String.h"
#include "Zat/TypeInfo.h"

namespace Zat {

// The runtime's own types; platform types declare theirs beside themselves, found by argument lookup.
TypeInfo const& zatTypeInfo(std::uint8_t const*);
TypeInfo const& zatTypeInfo(std::uint16_t const*);
TypeInfo const& zatTypeInfo(std::uint32_t const*);
TypeInfo const& zatTypeInfo(std::uint64_t const*);
TypeInfo const& zatTypeInfo(bool const*);
TypeInfo const& zatTypeInfo(Seconds const*);
TypeInfo const& zatTypeInfo(String const*);


template <class T>
concept HasTypeInfo = requires {
   { T::typeInfo() } -> std::same_as<TypeInfo const&>;
};

// The type table entry of T: the generated typeInfo() of a unit's type, or the zatTypeInfo overload that
// lives beside a runtime or platform type.
template <class T>
TypeInfo const& typeInfoOf() {
   if constexpr (HasTypeInfo<T>) return T::typeInfo();
   else return zatTypeInfo(static_cast<T const*>(nullptr));
}

}  // namespace Zat
