// GroupName: the name of a host group, at most 63 bytes (the bound of a group name on the switches).
#pragma once

#include <compare>
#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <string_view>

#include "Zat/CharRange.h"
#include "Zat/Hash.h"
#include "Zat/String.h"
#include "Zat/TypeInfo.h"

namespace VelL3::V2 {

class GroupName {
 public:
   using Storage = Zat::BoundedString<63>;
   static constexpr std::size_t maxLength() noexcept { return Storage::maxLength(); }

   // The empty name.
   GroupName() = default;
   // Any bytes; more than maxLength() of them raises RangeException and builds nothing.
   explicit GroupName(std::string_view text) : name_(text) {}

   Zat::String const& string() const noexcept { return name_.string(); }
   std::string_view view() const noexcept { return name_.view(); }
   std::size_t size() const noexcept { return name_.size(); }
   bool empty() const noexcept { return name_.empty(); }
   // The name itself, unquoted: the text that names a group where a String is wanted.
   Zat::String stringValue() const { return name_.string(); }
   operator Zat::String const&() const noexcept { return name_.string(); }
   std::uint32_t hash(std::uint32_t seed) const noexcept { return Zat::hashSingleAttr(seed, view()); }

   friend bool operator==(GroupName const& a, GroupName const& b) noexcept { return a.name_ == b.name_; }
   // Bytewise, as unsigned bytes.
   friend std::strong_ordering operator<=>(GroupName const& a, GroupName const& b) noexcept {
      return a.string() <=> b.string();
   }

 private:
   Storage name_;
};

// The quoted String text: 'servers'.
Zat::String valueToStrep(GroupName const& g);
// A quoted string, then the length bound; on failure *g and the range are untouched.
void sequenceToValue(Zat::CharRange& r, GroupName* g);
// The name itself.
std::ostream& operator<<(std::ostream& os, GroupName const& g);
inline void hashAttrInto(Zat::Hash& h, GroupName const& g) noexcept {
   h.mixNi(g.view());
}
Zat::TypeInfo const& zatTypeInfo(GroupName const*);

}  // namespace VelL3::V2
