// IpGenAddr: an IPv4 or IPv6 address (or none), the one address type every other network value is built on.
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

// Unscoped on purpose: the numbers are part of the type's contract (generated code compares family()
// against 1 and 2), and the prefixed names keep the enumerators out of the way in namespace Ipkit.
enum IpFamily : std::uint8_t { ipFamilyNone = 0, ipFamilyV4 = 1, ipFamilyV6 = 2 };

class IpGenAddr {
 public:
   using Bytes = std::array<std::uint8_t, 16>;

   // No family, all bytes zero.
   IpGenAddr() = default;
   // "" gives no family; anything else must be IPv4 or IPv6 text as inet_pton reads it.
   explicit IpGenAddr(std::string_view text);

   // The text constructor without the exception: answers whether `text` is an address ("" included) and
   // writes *out only if it is.
   static bool parse(std::string_view text, IpGenAddr* out);

   static IpGenAddr v4(std::uint32_t hostOrder) noexcept;
   static IpGenAddr v6(Bytes const& bytes) noexcept;

   IpFamily family() const noexcept { return IpFamily(family_); }
   bool isV4() const noexcept { return family_ == ipFamilyV4; }
   bool isV6() const noexcept { return family_ == ipFamilyV6; }
   // The IPv4 address in host order; 0 for any other family.
   std::uint32_t v4Addr() const noexcept;
   // Network order. An IPv4 address fills bytes 0..3 and leaves the rest zero.
   Bytes const& bytes() const noexcept { return bytes_; }

   // inet_ntop text ("10.0.0.1", "2001:db8::1"), "" for no family.
   Zat::String stringValue() const;

   std::uint32_t hash(std::uint32_t seed) const noexcept {
      return Zat::Hash(seed).mixNi(bytes_.data(), 16).result();
   }
   // The 32-bit hash of the 16 address bytes; the family takes no part.
   std::uint32_t addrHash() const noexcept { return hash(0); }

   static bool isEq(void const* a, void const* b) noexcept {
      return *static_cast<IpGenAddr const*>(a) == *static_cast<IpGenAddr const*>(b);
   }

   // Family first, then the bytes: every no-family address sorts before IPv4, and IPv4 before IPv6.
   friend bool operator==(IpGenAddr const&, IpGenAddr const&) = default;
   friend std::strong_ordering operator<=>(IpGenAddr const&, IpGenAddr const&) = default;

 private:
   // Declaration order is the comparison order.
   std::uint8_t family_ = ipFamilyNone;
   Bytes bytes_{};
};

// 'text' as a quoted literal; '' for no family.
Zat::String valueToStrep(IpGenAddr const& a);
// Reads the quoted literal valueToStrep writes. On failure neither *a nor the range moves.
void sequenceToValue(Zat::CharRange& r, IpGenAddr* a);
std::ostream& operator<<(std::ostream& os, IpGenAddr const& a);
inline void hashAttrInto(Zat::Hash& h, IpGenAddr const& a) noexcept {
   h.hashMix<4>(a.addrHash());
}

}  // namespace Ipkit

template <>
struct std::hash<Ipkit::IpGenAddr> {
   std::size_t operator()(Ipkit::IpGenAddr const& a) const noexcept { return a.hash(0); }
};
