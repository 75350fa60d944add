#include "Ipkit/IpGenPrefix.h"

#include <ostream>
#include <string>

#include "Zat/Exception.h"
#include "Zat/Strep.h"

namespace Ipkit {

namespace {

std::string quoted(std::string_view text) {
   return std::string(Zat::valueToStrep(text).view());
}

// Why `length` cannot go with an address of `family`; empty when it can.
std::string lengthProblem(IpFamily family, unsigned length) {
   switch (family) {
      case ipFamilyV4:
         if (length <= 32) return {};
         return "prefix length " + std::to_string(length) + " out of range 0..32 for IPv4";
      case ipFamilyV6:
         if (length <= 128) return {};
         return "prefix length " + std::to_string(length) + " out of range 0..128 for IPv6";
      default:
         if (length == 0) return {};
         return "prefix length " + std::to_string(length) + " given without an address";
   }
}

// The address with every bit past `length` cleared, keeping its family.
IpGenAddr masked(IpGenAddr const& a, unsigned length) noexcept {
   if (a.family() == ipFamilyNone) return a;
   IpGenAddr::Bytes b = a.bytes();
   for (unsigned i = 0; i < b.size(); ++i) {
      unsigned const first = i * 8;
      if (first >= length) {
         b[i] = 0;
      } else if (length - first < 8) {
         b[i] &= std::uint8_t(0xffu << (8 - (length - first)));
      }
   }
   if (a.isV4()) {
      return IpGenAddr::v4(std::uint32_t(b[0]) << 24 | std::uint32_t(b[1]) << 16 | std::uint32_t(b[2]) << 8 |
                           std::uint32_t(b[3]));
   }
   return IpGenAddr::v6(b);
}

}  // namespace

IpGenPrefix::IpGenPrefix(IpGenAddr const& addr, unsigned length) {
   std::string const problem = lengthProblem(addr.family(), length);
   if (!problem.empty()) Zat::throwRangeException(problem);
   addr_ = masked(addr, length);
   length_ = std::uint8_t(length);
}

std::string IpGenPrefix::parse(std::string_view text, IpGenPrefix* out) {
   if (text.empty()) {
      *out = IpGenPrefix();
      return {};
   }
   std::size_t const slash = text.find('/');
   if (slash == std::string_view::npos) return "expected address/length";
   std::string_view const addrText = text.substr(0, slash);
   IpGenAddr addr;
   // IpGenAddr reads "" as no family, but a prefix with a slash must name an address.
   if (addrText.empty() || !IpGenAddr::parse(addrText, &addr)) {
      return "invalid IP address " + quoted(addrText);
   }
   std::string_view const lengthText = text.substr(slash + 1);
   // Three digits are enough for 128; more would only risk overflow before the range check.
   bool digitsOnly = !lengthText.empty() && lengthText.size() <= 3;
   for (char c : lengthText) digitsOnly = digitsOnly && c >= '0' && c <= '9';
   if (!digitsOnly) return "invalid prefix length " + quoted(lengthText);
   unsigned length = 0;
   for (char c : lengthText) length = length * 10 + unsigned(c - '0');
   if (lengthText.size() > 1 && lengthText[0] == '0') {
      return "invalid prefix length " + quoted(lengthText) + ": expected " + quoted(std::to_string(length));
   }
   std::string problem = lengthProblem(addr.family(), length);
   if (!problem.empty()) return problem;
   out->addr_ = masked(addr, length);
   out->length_ = std::uint8_t(length);
   return {};
}

IpGenPrefix::IpGenPrefix(std::string_view text) {
   IpGenPrefix p;
   std::string const problem = parse(text, &p);
   if (!problem.empty()) Zat::throwRangeException("invalid IP prefix " + quoted(text) + ": " + problem);
   *this = p;
}

bool IpGenPrefix::contains(IpGenAddr const& a) const noexcept {
   if (family() == ipFamilyNone || a.family() != family()) return false;
   return masked(a, length_) == addr_;
}

bool IpGenPrefix::contains(IpGenPrefix const& p) const noexcept {
   return p.length_ >= length_ && contains(p.addr_);
}

Ip4Prefix IpGenPrefix::v4Prefix() const {
   if (!addr_.isV4()) {
      Zat::throwPreconditionException("IpGenPrefix::v4Prefix: " + quoted(stringValue().view()) +
                                      " is not an IPv4 prefix");
   }
   return Ip4Prefix(*this, Ip4Prefix::Checked());
}

Ip6Prefix IpGenPrefix::v6Prefix() const {
   if (!addr_.isV6()) {
      Zat::throwPreconditionException("IpGenPrefix::v6Prefix: " + quoted(stringValue().view()) +
                                      " is not an IPv6 prefix");
   }
   return Ip6Prefix(*this, Ip6Prefix::Checked());
}

Zat::String IpGenPrefix::stringValue() const {
   if (family() == ipFamilyNone) return Zat::String();
   return addr_.stringValue() + "/" + std::to_string(length_);
}

std::uint32_t IpGenPrefix::hashContribution() const noexcept {
   std::uint32_t a;
   switch (family()) {
      case ipFamilyV4:
         a = addr_.v4Addr();
         break;
      case ipFamilyV6:
         a = addr_.addrHash();
         break;
      default:
         return 0;
   }
   std::uint32_t t = (std::uint32_t(length_) ^ a) * 32767u - 1u;
   t = (t ^ (t >> 12)) * 5u;
   t = (t ^ (t >> 4)) * 2057u;
   return t ^ (t >> 16);
}

Zat::String valueToStrep(IpGenPrefix const& p) {
   return Zat::valueToStrep(p.stringValue());
}

void sequenceToValue(Zat::CharRange& r, IpGenPrefix* p) {
   // Parse on a copy so that bad text leaves the range at the literal, where the error points.
   Zat::CharRange probe = r;
   Zat::String const text = probe.parseQuoted();
   IpGenPrefix v;
   std::string const problem = IpGenPrefix::parse(text.view(), &v);
   if (!problem.empty()) r.fail("invalid IP prefix " + quoted(text.view()) + ": " + problem);
   // The text constructor clears host bits and reads any IPv6 spelling; the text form is the one
   // stringValue writes.
   Zat::String const canonical = v.stringValue();
   if (canonical != text) {
      r.fail("non-canonical IP prefix " + quoted(text.view()) + ": expected " + quoted(canonical.view()));
   }
   r = probe;
   *p = v;
}

std::ostream& operator<<(std::ostream& os, IpGenPrefix const& p) {
   return os << p.stringValue();
}

Ip4Prefix::Ip4Prefix() : p_(IpGenAddr::v4(0), 0) {}

Ip4Prefix::Ip4Prefix(IpGenAddr const& addr, unsigned length) {
   if (!addr.isV4()) {
      Zat::throwRangeException("Ip4Prefix needs an IPv4 address, not " + quoted(addr.stringValue().view()));
   }
   p_ = IpGenPrefix(addr, length);
}

Ip4Prefix::Ip4Prefix(std::string_view text) {
   IpGenPrefix const p(text);
   if (!p.address().isV4()) Zat::throwRangeException("invalid IPv4 prefix " + quoted(text));
   p_ = p;
}

Ip6Prefix::Ip6Prefix() : p_(IpGenAddr::v6({}), 0) {}

Ip6Prefix::Ip6Prefix(IpGenAddr const& addr, unsigned length) {
   if (!addr.isV6()) {
      Zat::throwRangeException("Ip6Prefix needs an IPv6 address, not " + quoted(addr.stringValue().view()));
   }
   p_ = IpGenPrefix(addr, length);
}

Ip6Prefix::Ip6Prefix(std::string_view text) {
   IpGenPrefix const p(text);
   if (!p.address().isV6()) Zat::throwRangeException("invalid IPv6 prefix " + quoted(text));
   p_ = p;
}

std::ostream& operator<<(std::ostream& os, Ip4Prefix const& p) {
   return os << p.stringValue();
}
std::ostream& operator<<(std::ostream& os, Ip6Prefix const& p) {
   return os << p.stringValue();
}

}  // namespace Ipkit
