// IpProto, Port and EthType: protocol numbers kept apart as types so that a port cannot be passed where
// a protocol is meant, yet read and compare like the integers they are.
#pragma once

#include <compare>
#include <concepts>
#include <cstdint>
#include <iosfwd>
#include <string_view>
#include <type_traits>
#include <utility>

#include "Zat/CharRange.h"
#include "Zat/Hash.h"
#include "Zat/String.h"

namespace Ipkit {

namespace detail {

[[noreturn]] void throwNumberOutOfRange(std::string_view typeName, std::intmax_t v, std::uint64_t max);
[[noreturn]] void throwNumberOutOfRange(std::string_view typeName, std::uintmax_t v, std::uint64_t max);

// `v` as Rep, or RangeException naming the type and its range when it lies outside 0..max: a number that
// would silently wrap is always a bug at the caller.
template <class Rep, class I>
constexpr Rep checkedNumber(I v, std::uint64_t max, std::string_view typeName) {
   if (std::cmp_less(v, 0) || std::cmp_greater(v, max)) {
      if constexpr (std::is_signed_v<I>) {
         throwNumberOutOfRange(typeName, std::intmax_t(v), max);
      } else {
         throwNumberOutOfRange(typeName, std::uintmax_t(v), max);
      }
   }
   return Rep(v);
}

// The whole of `text` as a number in 0..max: decimal digits, or with `allowHex` also 0x and hex digits.
// RangeException names the type and the text.
std::uint64_t parseWholeNumber(std::string_view typeName, std::string_view text, std::uint64_t max,
                               bool allowHex);

// Integers a protocol number may be built from or compared with; bool is not a number here.
template <class I>
concept Integer = std::integral<I> && !std::same_as<I, bool>;

}  // namespace detail

namespace detail {

// What the protocol numbers share: an integer of type Rep in 0..Max that converts both ways, compares
// with its own type and with plain integers, and hashes at its own width. Each number is its own type
// (Derived), so a port cannot be passed where a protocol is meant.
template <class Derived, class Rep, std::uint64_t Max>
class Number {
 public:
   constexpr Number() noexcept = default;
   // Implicit, so that l3AppIs(6) reads naturally; a value outside 0..Max raises RangeException.
   template <Integer I>
   constexpr Number(I v) : v_(checkedNumber<Rep>(v, Max, Derived::typeName)) {}

   constexpr operator Rep() const noexcept { return v_; }
   constexpr Rep value() const noexcept { return v_; }
   std::uint32_t hash(std::uint32_t seed) const noexcept { return Zat::hashSingleAttr(seed, v_); }

   static bool isEq(void const* a, void const* b) noexcept {
      return static_cast<Derived const*>(a)->v_ == static_cast<Derived const*>(b)->v_;
   }
   friend constexpr bool operator==(Derived const& a, Derived const& b) noexcept { return a.v_ == b.v_; }
   friend constexpr std::strong_ordering operator<=>(Derived const& a, Derived const& b) noexcept {
      return a.v_ <=> b.v_;
   }
   // Exact matches for plain integers, so that proto == 6 does not have to choose between converting
   // either side.
   template <Integer I>
   friend constexpr bool operator==(Derived const& a, I b) noexcept {
      return std::cmp_equal(a.v_, b);
   }
   template <Integer I>
   friend constexpr std::strong_ordering operator<=>(Derived const& a, I b) noexcept {
      return std::cmp_less(a.v_, b)    ? std::strong_ordering::less
             : std::cmp_equal(a.v_, b) ? std::strong_ordering::equal
                                       : std::strong_ordering::greater;
   }

 protected:
   Rep v_ = 0;
};

}  // namespace detail

// An IP protocol number, 0..255.
class IpProto : public detail::Number<IpProto, std::uint8_t, 255> {
 public:
   static constexpr std::string_view typeName = "IpProto";
   using Number::Number;
   // Decimal digits only.
   explicit IpProto(std::string_view text);
   // Decimal.
   Zat::String stringValue() const;
};

// A TCP or UDP port, 0..65535.
class Port : public detail::Number<Port, std::uint16_t, 65535> {
 public:
   static constexpr std::string_view typeName = "Port";
   using Number::Number;
   // Decimal digits only.
   explicit Port(std::string_view text);
   // Decimal.
   Zat::String stringValue() const;
};

// An Ethernet frame type, 0..65535. Streams as 0x0800, the way frame types are written everywhere else.
class EthType : public detail::Number<EthType, std::uint16_t, 65535> {
 public:
   static constexpr std::string_view typeName = "EthType";
   using Number::Number;
   // Decimal digits, or 0x and hex digits ("2048" or "0x0800").
   explicit EthType(std::string_view text);
   // Decimal, the same as the text form.
   Zat::String stringValue() const;
};

// Decimal: 6, 80, 2048.
Zat::String valueToStrep(IpProto v);
Zat::String valueToStrep(Port v);
Zat::String valueToStrep(EthType v);
// Decimal digits only, range-checked; on failure *v is untouched.
void sequenceToValue(Zat::CharRange& r, IpProto* v);
void sequenceToValue(Zat::CharRange& r, Port* v);
void sequenceToValue(Zat::CharRange& r, EthType* v);
// IpProto and Port decimal; EthType 0x and four lower-case hex digits.
std::ostream& operator<<(std::ostream& os, IpProto v);
std::ostream& operator<<(std::ostream& os, Port v);
std::ostream& operator<<(std::ostream& os, EthType v);

inline void hashAttrInto(Zat::Hash& h, IpProto v) noexcept {
   h.hashMix<4>(Zat::hashSingleAttr(0, v.value()));
}
inline void hashAttrInto(Zat::Hash& h, Port v) noexcept {
   h.hashMix<4>(Zat::hashSingleAttr(0, v.value()));
}
// The frame type goes in as it is, widened to a word.
inline void hashAttrInto(Zat::Hash& h, EthType v) noexcept {
   h.hashMix<4>(std::uint32_t(v.value()));
}

}  // namespace Ipkit
