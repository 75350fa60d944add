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

// An IP protocol number, 0..255.
class IpProto {
 public:
   constexpr IpProto() noexcept = default;
   // Implicit, so that l3AppIs(6) reads naturally; a value outside 0..255 raises RangeException.
   template <detail::Integer I>
   constexpr IpProto(I v) : v_(detail::checkedNumber<std::uint8_t>(v, 255, "IpProto")) {}
   // Decimal digits only.
   explicit IpProto(std::string_view text);

   constexpr operator std::uint8_t() const noexcept { return v_; }
   constexpr std::uint8_t value() const noexcept { return v_; }
   // Decimal.
   Zat::String stringValue() const;
   std::uint32_t hash(std::uint32_t seed) const noexcept { return Zat::hashSingleAttr(seed, v_); }

   static bool isEq(void const* a, void const* b) noexcept {
      return *static_cast<IpProto const*>(a) == *static_cast<IpProto const*>(b);
   }
   friend constexpr bool operator==(IpProto const&, IpProto const&) noexcept = default;
   friend constexpr std::strong_ordering operator<=>(IpProto const&, IpProto const&) noexcept = default;
   // Exact matches for plain integers, so that proto == 6 does not have to choose between converting
   // either side.
   template <detail::Integer I>
   friend constexpr bool operator==(IpProto a, I b) noexcept {
      return std::cmp_equal(a.v_, b);
   }
   template <detail::Integer I>
   friend constexpr std::strong_ordering operator<=>(IpProto a, I b) noexcept {
      return std::cmp_less(a.v_, b)    ? std::strong_ordering::less
             : std::cmp_equal(a.v_, b) ? std::strong_ordering::equal
                                       : std::strong_ordering::greater;
   }

 private:
   std::uint8_t v_ = 0;
};

// A TCP or UDP port, 0..65535.
class Port {
 public:
   constexpr Port() noexcept = default;
   // Implicit, so that a port compares and passes as its number; outside 0..65535 raises RangeException.
   template <detail::Integer I>
   constexpr Port(I v) : v_(detail::checkedNumber<std::uint16_t>(v, 65535, "Port")) {}
   // Decimal digits only.
   explicit Port(std::string_view text);

   constexpr operator std::uint16_t() const noexcept { return v_; }
   constexpr std::uint16_t value() const noexcept { return v_; }
   // Decimal.
   Zat::String stringValue() const;
   std::uint32_t hash(std::uint32_t seed) const noexcept { return Zat::hashSingleAttr(seed, v_); }

   static bool isEq(void const* a, void const* b) noexcept {
      return *static_cast<Port const*>(a) == *static_cast<Port const*>(b);
   }
   friend constexpr bool operator==(Port const&, Port const&) noexcept = default;
   friend constexpr std::strong_ordering operator<=>(Port const&, Port const&) noexcept = default;
   template <detail::Integer I>
   friend constexpr bool operator==(Port a, I b) noexcept {
      return std::cmp_equal(a.v_, b);
   }
   template <detail::Integer I>
   friend constexpr std::strong_ordering operator<=>(Port a, I b) noexcept {
      return std::cmp_less(a.v_, b)    ? std::strong_ordering::less
             : std::cmp_equal(a.v_, b) ? std::strong_ordering::equal
                                       : std::strong_ordering::greater;
   }

 private:
   std::uint16_t v_ = 0;
};

// An Ethernet frame type, 0..65535. Streams as 0x0800, the way frame types are written everywhere else.
class EthType {
 public:
   constexpr EthType() noexcept = default;
   // Implicit, like the other protocol numbers; outside 0..65535 raises RangeException.
   template <detail::Integer I>
   constexpr EthType(I v) : v_(detail::checkedNumber<std::uint16_t>(v, 65535, "EthType")) {}
   // Decimal digits, or 0x and hex digits ("2048" or "0x0800").
   explicit EthType(std::string_view text);

   constexpr operator std::uint16_t() const noexcept { return v_; }
   constexpr std::uint16_t value() const noexcept { return v_; }
   // Decimal, the same as the text form.
   Zat::String stringValue() const;
   std::uint32_t hash(std::uint32_t seed) const noexcept { return Zat::hashSingleAttr(seed, v_); }

   static bool isEq(void const* a, void const* b) noexcept {
      return *static_cast<EthType const*>(a) == *static_cast<EthType const*>(b);
   }
   friend constexpr bool operator==(EthType const&, EthType const&) noexcept = default;
   friend constexpr std::strong_ordering operator<=>(EthType const&, EthType const&) noexcept = default;
   template <detail::Integer I>
   friend constexpr bool operator==(EthType a, I b) noexcept {
      return std::cmp_equal(a.v_, b);
   }
   template <detail::Integer I>
   friend constexpr std::strong_ordering operator<=>(EthType a, I b) noexcept {
      return std::cmp_less(a.v_, b)    ? std::strong_ordering::less
             : std::cmp_equal(a.v_, b) ? std::strong_ordering::equal
                                       : std::strong_ordering::greater;
   }

 private:
   std::uint16_t v_ = 0;
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
