// IpGenPrefix: an address and a prefix length, IPv4 or IPv6 (or none); Ip4Prefix and Ip6Prefix are the
// single-family views of it.
#pragma once

#include <compare>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <iosfwd>
#include <string>
#include <string_view>

#include "Ipkit/IpGenAddr.h"
#include "Zat/CharRange.h"
#include "Zat/Hash.h"
#include "Zat/String.h"

namespace Ipkit {

class Ip4Prefix;
class Ip6Prefix;

class IpGenPrefix {
 public:
   // No family, length 0.
   IpGenPrefix() = default;
   // Host bits of `addr` past `length` are cleared. A length beyond the family's width (32 or 128), or a
   // non-zero length on a no-family address, raises RangeException.
   IpGenPrefix(IpGenAddr const& addr, unsigned length);
   // "10.0.0.0/8", "2001:db8::/32", or "" for no family. Host bits are cleared, so "10.0.0.1/8" reads as
   // 10.0.0.0/8.
   explicit IpGenPrefix(std::string_view text);

   // The text constructor without the exception: on bad text answers a reason (the empty string when the
   // text is good, in which case *out is written).
   static std::string parse(std::string_view text, IpGenPrefix* out);

   IpGenAddr const& address() const noexcept { return addr_; }
   unsigned length() const noexcept { return length_; }
   IpFamily family() const noexcept { return addr_.family(); }

   // Whether `a` is of this prefix's family and falls inside it. A no-family prefix contains nothing.
   bool contains(IpGenAddr const& a) const noexcept;
   // Whether `p` is of this family, at least as long, and inside this prefix.
   bool contains(IpGenPrefix const& p) const noexcept;
   // 0.0.0.0/0 or ::/0; never the no-family prefix.
   bool isDefaultRoutePrefix() const noexcept { return length_ == 0 && family() != ipFamilyNone; }

   // The single-family views; PreconditionException when the family is another.
   Ip4Prefix v4Prefix() const;
   Ip6Prefix v6Prefix() const;

   // "10.0.0.0/8", "" for no family.
   Zat::String stringValue() const;

   // The prefix's share when it is an attribute of a larger value. It mixes the length into the address
   // (the IPv4 address itself, or the hash of the IPv6 bytes) so that 10.0.0.0/8 and 10.0.0.0/16 spread
   // apart; 0 for no family.
   std::uint32_t hashContribution() const noexcept;
   std::uint32_t hash(std::uint32_t seed) const noexcept {
      return Zat::Hash(seed).hashMix<4>(hashContribution()).result();
   }

   static bool isEq(void const* a, void const* b) noexcept {
      return *static_cast<IpGenPrefix const*>(a) == *static_cast<IpGenPrefix const*>(b);
   }

   // Family, then address bytes (both from IpGenAddr's own order), then length.
   friend bool operator==(IpGenPrefix const&, IpGenPrefix const&) = default;
   friend std::strong_ordering operator<=>(IpGenPrefix const&, IpGenPrefix const&) = default;

 private:
   IpGenAddr addr_;
   std::uint8_t length_ = 0;
};

Zat::String valueToStrep(IpGenPrefix const& p);
void sequenceToValue(Zat::CharRange& r, IpGenPrefix* p);
std::ostream& operator<<(std::ostream& os, IpGenPrefix const& p);
inline void hashAttrInto(Zat::Hash& h, IpGenPrefix const& p) noexcept {
   h.hashMix<4>(p.hashContribution());
}

// An IPv4 prefix, always of family IPv4 (0.0.0.0/0 by default). It stores the general prefix, so the
// conversion back is free.
class Ip4Prefix {
 public:
   Ip4Prefix();
   // RangeException if `addr` is not IPv4 or `length` exceeds 32.
   Ip4Prefix(IpGenAddr const& addr, unsigned length);
   // "10.0.0.0/8"; RangeException for bad text or an IPv6 prefix.
   explicit Ip4Prefix(std::string_view text);

   IpGenAddr const& address() const noexcept { return p_.address(); }
   std::uint32_t v4Addr() const noexcept { return p_.address().v4Addr(); }
   unsigned length() const noexcept { return p_.length(); }
   // False for anything but an IPv4 address inside the prefix.
   bool contains(IpGenAddr const& a) const noexcept { return p_.contains(a); }
   bool contains(Ip4Prefix const& p) const noexcept { return p_.contains(p.p_); }
   bool isDefaultRoutePrefix() const noexcept { return p_.length() == 0; }

   IpGenPrefix const& genPrefix() const noexcept { return p_; }
   operator IpGenPrefix const&() const noexcept { return p_; }
   Zat::String stringValue() const { return p_.stringValue(); }

   friend bool operator==(Ip4Prefix const&, Ip4Prefix const&) = default;
   friend std::strong_ordering operator<=>(Ip4Prefix const&, Ip4Prefix const&) = default;

 private:
   friend class IpGenPrefix;
   struct Checked {};
   Ip4Prefix(IpGenPrefix const& p, Checked) noexcept : p_(p) {}
   IpGenPrefix p_;
};

// An IPv6 prefix, always of family IPv6 (::/0 by default).
class Ip6Prefix {
 public:
   Ip6Prefix();
   // RangeException if `addr` is not IPv6 or `length` exceeds 128.
   Ip6Prefix(IpGenAddr const& addr, unsigned length);
   // "2001:db8::/32"; RangeException for bad text or an IPv4 prefix.
   explicit Ip6Prefix(std::string_view text);

   IpGenAddr const& address() const noexcept { return p_.address(); }
   unsigned length() const noexcept { return p_.length(); }
   // False for anything but an IPv6 address inside the prefix.
   bool contains(IpGenAddr const& a) const noexcept { return p_.contains(a); }
   bool contains(Ip6Prefix const& p) const noexcept { return p_.contains(p.p_); }
   bool isDefaultRoutePrefix() const noexcept { return p_.length() == 0; }

   IpGenPrefix const& genPrefix() const noexcept { return p_; }
   operator IpGenPrefix const&() const noexcept { return p_; }
   Zat::String stringValue() const { return p_.stringValue(); }

   friend bool operator==(Ip6Prefix const&, Ip6Prefix const&) = default;
   friend std::strong_ordering operator<=>(Ip6Prefix const&, Ip6Prefix const&) = default;

 private:
   friend class IpGenPrefix;
   struct Checked {};
   Ip6Prefix(IpGenPrefix const& p, Checked) noexcept : p_(p) {}
   IpGenPrefix p_;
};

std::ostream& operator<<(std::ostream& os, Ip4Prefix const& p);
std::ostream& operator<<(std::ostream& os, Ip6Prefix const& p);

}  // namespace Ipkit

template <>
struct std::hash<Ipkit::IpGenPrefix> {
   std::size_t operator()(Ipkit::IpGenPrefix const& p) const noexcept { return p.hash(0); }
};
