// Zat::Seconds: a time or a duration in seconds, the one floating-point kind an attribute can have.
//
// It is a double that keeps the value contract every attribute must keep: a value equals its copy, and
// equal values hash alike. A raw double breaks both (NaN is unequal to itself; 0.0 and -0.0 are equal
// but differ in their bits), so the constructor folds -0.0 into 0.0 and every NaN into one NaN, which
// equals itself and orders after +inf. Equality, order and hash are then those of the stored bits and
// numbers, the same for every generated type holding a Seconds.
#pragma once

#include <bit>
#include <compare>
#include <concepts>
#include <cstdint>
#include <limits>
#include <type_traits>

#include "Zat/Hash.h"

namespace Zat {

class Seconds {
 public:
   constexpr Seconds() noexcept = default;
   // Implicit, so that times and durations are written as plain numbers.
   constexpr Seconds(double v) noexcept : v_(canonical(v)) {}

   constexpr double value() const noexcept { return v_; }
   // Arithmetic is a double's; the result becomes a Seconds again where one is stored.
   constexpr operator double() const noexcept { return v_; }
   constexpr bool isNan() const noexcept { return v_ != v_; }

   Seconds& operator+=(double d) noexcept { return *this = Seconds(v_ + d); }
   Seconds& operator-=(double d) noexcept { return *this = Seconds(v_ - d); }

   // The stored bits: one pattern per value.
   constexpr std::uint64_t bits() const noexcept { return std::bit_cast<std::uint64_t>(v_); }
   // The bits as two words, low word first, like any 64-bit attribute.
   std::uint32_t hash(std::uint32_t seed) const noexcept {
      return Hash(seed).hashMix<4>(std::uint32_t(bits())).hashMix<4>(std::uint32_t(bits() >> 32)).result();
   }

   friend constexpr bool operator==(Seconds a, Seconds b) noexcept { return a.bits() == b.bits(); }
   // Numeric order with NaN last, a total order.
   friend constexpr std::strong_ordering operator<=>(Seconds a, Seconds b) noexcept {
      if (a.isNan() || b.isNan()) return a.isNan() <=> b.isNan();
      return a.v_ < b.v_   ? std::strong_ordering::less
             : b.v_ < a.v_ ? std::strong_ordering::greater
                           : std::strong_ordering::equal;
   }
   // Comparison with a plain number compares with that number made a Seconds (so `t == 0` for -0.0
   // too). These exact-match templates keep `t == 1.5` from being ambiguous between this type's
   // comparison and the built-in one on doubles.
   template <class A>
   requires std::is_arithmetic_v<A>
   friend constexpr bool operator==(Seconds a, A b) noexcept { return a == Seconds(double(b)); }
   template <class A>
   requires std::is_arithmetic_v<A>
   friend constexpr std::strong_ordering operator<=>(Seconds a, A b) noexcept {
      return a <=> Seconds(double(b));
   }

 private:
   static constexpr double canonical(double v) noexcept {
      if (v != v) return std::numeric_limits<double>::quiet_NaN();
      return v == 0 ? 0.0 : v;
   }
   double v_ = 0;
};

}  // namespace Zat
