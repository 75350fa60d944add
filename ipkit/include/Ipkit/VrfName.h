// VrfName: the name of a VRF, at most 100 bytes.
#pragma once

#include <compare>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <iosfwd>
#include <string_view>

#include "Zat/CharRange.h"
#include "Zat/Hash.h"
#include "Zat/String.h"

namespace Ipkit {

class VrfName {
 public:
   using Storage = Zat::BoundedString<100>;
   static constexpr std::size_t maxLength() noexcept { return Storage::maxLength(); }

   // The empty name.
   VrfName() = default;
   // Any bytes; more than maxLength() of them raises RangeException (naming the type and the limit) and
   // builds nothing.
   explicit VrfName(std::string_view text) : name_(checked(text)) {}

   Zat::String const& string() const noexcept { return name_.string(); }
   std::string_view view() const noexcept { return name_.view(); }
   std::size_t size() const noexcept { return name_.size(); }
   bool empty() const noexcept { return name_.empty(); }
   // The name itself, unquoted.
   Zat::String stringValue() const { return name_.string(); }
   std::uint32_t hash(std::uint32_t seed) const noexcept { return Zat::hashSingleAttr(seed, view()); }

   static bool isEq(void const* a, void const* b) noexcept {
      return *static_cast<VrfName const*>(a) == *static_cast<VrfName const*>(b);
   }
   // Bytewise, as unsigned bytes.
   friend bool operator==(VrfName const& a, VrfName const& b) noexcept { return a.name_ == b.name_; }
   friend std::strong_ordering operator<=>(VrfName const& a, VrfName const& b) noexcept {
      return a.string() <=> b.string();
   }

 private:
   static std::string_view checked(std::string_view text);
   Storage name_;
};

// The quoted String text: 'red'.
Zat::String valueToStrep(VrfName const& v);
// The String text form, then the length bound; on failure *v and the range are untouched.
void sequenceToValue(Zat::CharRange& r, VrfName* v);
std::ostream& operator<<(std::ostream& os, VrfName const& v);
inline void hashAttrInto(Zat::Hash& h, VrfName const& v) noexcept {
   h.mixNi(v.view());
}

}  // namespace Ipkit

template <>
struct std::hash<Ipkit::VrfName> {
   std::size_t operator()(Ipkit::VrfName const& v) const noexcept { return v.hash(0); }
};
