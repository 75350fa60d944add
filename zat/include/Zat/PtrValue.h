// Counted pointers as attribute values and keys. A Ptr names an object: two are equal, ordered and
// hashed by the object they point at (its identity, never its contents), and a Ptr renders as that
// object's type and address, which is what a notification keyed by it shows. Tools see the object
// itself: the generic interface hands a Ptr over as an entity and takes an entity for one (GenericIf.h).
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <type_traits>

#include "Zat/Any.h"
#include "Zat/Hash.h"
#include "Zat/Ptr.h"
#include "Zat/TypeInfo.h"

namespace Zat {

template <class T>
bool operator<(Ptr<T> const& a, Ptr<T> const& b) noexcept {
   return std::less<T const*>()(a.get(), b.get());
}

namespace detail {
template <class T>
std::uint64_t address(Ptr<T> const& p) noexcept {
   return std::uint64_t(reinterpret_cast<std::uintptr_t>(p.get()));
}
}  // namespace detail

template <class T>
std::uint32_t keyHash(std::uint32_t seed, Ptr<T> const& p) noexcept {
   std::uint64_t const a = detail::address(p);
   return Hash(seed).hashMix<4>(std::uint32_t(a)).hashMix<4>(std::uint32_t(a >> 32)).result();
}

template <class T>
void hashAttrInto(Hash& h, Ptr<T> const& p) {
   h.hashMix<4>(keyHash(0, p));
}

// 'VelL3V2::VelIpStatus@0x5581c0a2f0' for an object, None for null.
template <class T>
String valueToStrep(Ptr<T> const& p) {
   if (!p) return String("None");
   char address[32];
   std::snprintf(address, sizeof address, "@%#llx", static_cast<unsigned long long>(detail::address(p)));
   return String("'" + std::string(p->fwkType().fullName) + address + "'");
}

// The type-table entry of Ptr<T>: "Zat::Ptr<T>", a value compared by identity and never parsed.
template <class T>
TypeInfo const& zatTypeInfo(Ptr<T> const*) {
   using Plain = std::remove_const_t<T>;
   static std::string const name = "Zat::Ptr<" + std::string(Plain::fullName()) +
                                   (std::is_const_v<T> ? " const>" : ">");
   static TypeInfo const info{name, TypeKind::value, nullptr, {}, {}, &valueMethodsOf<Ptr<T>>(), nullptr};
   return info;
}

}  // namespace Zat
