// Vni: a VXLAN network identifier (24 bits); VniOrNone: a Vni or the absence of one.
#pragma once

#include <compare>
#include <cstdint>
#include <iosfwd>
#include <string_view>

#include "Ipkit/Numbers.h"
#include "Zat/CharRange.h"
#include "Zat/Hash.h"
#include "Zat/String.h"

namespace Ipkit {

class Vni {
 public:
   static constexpr std::uint32_t max = 0xFFFFFF;

   constexpr Vni() noexcept = default;
   // Implicit, so a literal VNI can be passed as one; above 16777215 raises RangeException.
   template <detail::Integer I>
   constexpr Vni(I v) : v_(detail::checkedNumber<std::uint32_t>(v, max, "Vni")) {}
   // Decimal digits only.
   explicit Vni(std::string_view text);

   constexpr std::uint32_t value() const noexcept { return v_; }
   // "5000", or "VNI 5000" with the label.
   Zat::String stringValue(bool withLabel = false) const;
   std::uint32_t hash(std::uint32_t seed) const noexcept { return Zat::hashSingleAttr(seed, v_); }

   static bool isEq(void const* a, void const* b) noexcept {
      return *static_cast<Vni const*>(a) == *static_cast<Vni const*>(b);
   }
   friend constexpr bool operator==(Vni const&, Vni const&) noexcept = default;
   friend constexpr std::strong_ordering operator<=>(Vni const&, Vni const&) noexcept = default;

 private:
   std::uint32_t v_ = 0;
};

Zat::String valueToStrep(Vni v);
void sequenceToValue(Zat::CharRange& r, Vni* v);
std::ostream& operator<<(std::ostream& os, Vni v);
inline void hashAttrInto(Zat::Hash& h, Vni v) noexcept {
   h.hashMix<4>(Zat::hashSingleAttr(0, v.value()));
}

class VniOrNone {
 public:
   // None.
   constexpr VniOrNone() noexcept = default;
   constexpr VniOrNone(Vni v) noexcept : isSome_(true), vni_(v) {}
   // "none" or decimal digits.
   explicit VniOrNone(std::string_view text);

   constexpr bool isNone() const noexcept { return !isSome_; }
   // PreconditionException when there is none.
   Vni vni() const;
   // "none" or "5000".
   Zat::String stringValue() const;
   // A Vni never exceeds 24 bits, so none hashes as the one word no Vni can be.
   std::uint32_t hash(std::uint32_t seed) const noexcept { return Zat::hashSingleAttr(seed, hashWord()); }
   std::uint32_t hashWord() const noexcept { return isSome_ ? vni_.value() : 0xFFFFFFFFu; }

   static bool isEq(void const* a, void const* b) noexcept {
      return *static_cast<VniOrNone const*>(a) == *static_cast<VniOrNone const*>(b);
   }
   // None sorts before every Vni. A none always holds Vni 0, so the members compare as they stand.
   friend constexpr bool operator==(VniOrNone const&, VniOrNone const&) noexcept = default;
   friend constexpr std::strong_ordering operator<=>(VniOrNone const&, VniOrNone const&) noexcept = default;

 private:
   bool isSome_ = false;
   Vni vni_;
};

// 5000, or 'none' quoted.
Zat::String valueToStrep(VniOrNone v);
// Reads either form valueToStrep writes.
void sequenceToValue(Zat::CharRange& r, VniOrNone* v);
std::ostream& operator<<(std::ostream& os, VniOrNone v);
inline void hashAttrInto(Zat::Hash& h, VniOrNone v) noexcept {
   h.hashMix<4>(Zat::hashSingleAttr(0, v.hashWord()));
}

}  // namespace Ipkit
