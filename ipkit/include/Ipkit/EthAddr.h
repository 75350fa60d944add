// EthAddr: a 48-bit Ethernet (MAC) address; SystemId: a switch identity written the same way but never to
// be mixed up with an interface address.
#pragma once

#include <array>
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

class EthAddr {
 public:
   using Bytes = std::array<std::uint8_t, 6>;

   // 00:00:00:00:00:00.
   constexpr EthAddr() noexcept = default;
   constexpr explicit EthAddr(Bytes const& bytes) noexcept : bytes_(bytes) {}
   // "00:1c:73:0a:0b:0c" or "001c.730a.0b0c", hex digits of either case.
   explicit EthAddr(std::string_view text);

   // The text constructor without the exception: answers whether `text` is an address, and writes *out
   // only if it is.
   static bool parse(std::string_view text, EthAddr* out) noexcept;

   Bytes const& bytes() const noexcept { return bytes_; }
   // "00:1c:73:0a:0b:0c", lower case.
   Zat::String stringValue() const;
   // The same text in place, for lookups by name that must not allocate.
   using Text = std::array<char, 17>;
   Text text() const noexcept;

   std::uint32_t hash(std::uint32_t seed = 0) const noexcept {
      return Zat::Hash(seed).mixNi(bytes_.data(), bytes_.size()).result();
   }

   static bool isEq(void const* a, void const* b) noexcept {
      return *static_cast<EthAddr const*>(a) == *static_cast<EthAddr const*>(b);
   }
   // Compared as one 48-bit number, most significant byte first, which orders as the bytes do: a few
   // instructions where comparing the arrays calls memcmp, and switch ids are compared in every walk.
   friend constexpr bool operator==(EthAddr const& a, EthAddr const& b) noexcept {
      return a.number() == b.number();
   }
   friend constexpr std::strong_ordering operator<=>(EthAddr const& a, EthAddr const& b) noexcept {
      return a.number() <=> b.number();
   }

 private:
   constexpr std::uint64_t number() const noexcept {
      std::uint64_t n = 0;
      for (std::uint8_t b : bytes_) n = n << 8 | b;
      return n;
   }

   Bytes bytes_{};
};

Zat::String valueToStrep(EthAddr const& a);
void sequenceToValue(Zat::CharRange& r, EthAddr* a);
std::ostream& operator<<(std::ostream& os, EthAddr const& a);
inline void hashAttrInto(Zat::Hash& h, EthAddr const& a) noexcept {
   h.hashMix<4>(a.hash());
}

// The identity of a switch (its system MAC). It has an EthAddr's bytes, text and order, but is a type of
// its own so that the two cannot be assigned to one another by accident.
class SystemId {
 public:
   constexpr SystemId() noexcept = default;
   constexpr explicit SystemId(EthAddr const& addr) noexcept : addr_(addr) {}
   constexpr explicit SystemId(EthAddr::Bytes const& bytes) noexcept : addr_(bytes) {}
   // The EthAddr text forms; RangeException names a system id.
   explicit SystemId(std::string_view text);

   EthAddr const& ethAddr() const noexcept { return addr_; }
   EthAddr::Bytes const& bytes() const noexcept { return addr_.bytes(); }
   Zat::String stringValue() const { return addr_.stringValue(); }
   EthAddr::Text text() const noexcept { return addr_.text(); }
   std::uint32_t hash(std::uint32_t seed = 0) const noexcept { return addr_.hash(seed); }

   static bool isEq(void const* a, void const* b) noexcept {
      return *static_cast<SystemId const*>(a) == *static_cast<SystemId const*>(b);
   }
   friend bool operator==(SystemId const&, SystemId const&) = default;
   friend std::strong_ordering operator<=>(SystemId const&, SystemId const&) = default;

 private:
   EthAddr addr_;
};

Zat::String valueToStrep(SystemId const& s);
void sequenceToValue(Zat::CharRange& r, SystemId* s);
std::ostream& operator<<(std::ostream& os, SystemId const& s);
inline void hashAttrInto(Zat::Hash& h, SystemId const& s) noexcept {
   h.hashMix<4>(s.hash());
}

}  // namespace Ipkit

template <>
struct std::hash<Ipkit::EthAddr> {
   std::size_t operator()(Ipkit::EthAddr const& a) const noexcept { return a.hash(); }
};

template <>
struct std::hash<Ipkit::SystemId> {
   std::size_t operator()(Ipkit::SystemId const& s) const noexcept { return s.hash(); }
};
