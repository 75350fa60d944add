#include "Ipkit/IpGenAddr.h"

#include <arpa/inet.h>
#include <netinet/in.h>

#include <cstring>
#include <ostream>
#include <string>

#include "Zat/Exception.h"
#include "Zat/Strep.h"

namespace Ipkit {

namespace {

// The longest text inet_ntop writes is INET6_ADDRSTRLEN - 1 bytes; anything longer cannot be an address,
// and refusing it early keeps the copy below small.
constexpr std::size_t kMaxAddrText = INET6_ADDRSTRLEN;

std::string badAddress(std::string_view text) {
   return "invalid IP address " + std::string(Zat::valueToStrep(text).view());
}

}  // namespace

bool IpGenAddr::parse(std::string_view text, IpGenAddr* out) {
   if (text.empty()) {
      *out = IpGenAddr();
      return true;
   }
   // inet_pton stops at a NUL, so "10.0.0.1\0junk" would pass if it got the bytes as they are.
   if (text.size() > kMaxAddrText || text.find('\0') != std::string_view::npos) return false;
   std::string const z(text);
   IpGenAddr a;
   if (inet_pton(AF_INET, z.c_str(), a.bytes_.data()) == 1) {
      a.family_ = ipFamilyV4;
   } else {
      // inet_pton promises nothing about the buffer after a failure, so IPv6 starts from zero again.
      a.bytes_ = {};
      if (inet_pton(AF_INET6, z.c_str(), a.bytes_.data()) != 1) return false;
      a.family_ = ipFamilyV6;
   }
   *out = a;
   return true;
}

IpGenAddr::IpGenAddr(std::string_view text) {
   if (!parse(text, this)) Zat::throwRangeException(badAddress(text));
}

IpGenAddr IpGenAddr::v4(std::uint32_t hostOrder) noexcept {
   IpGenAddr a;
   a.family_ = ipFamilyV4;
   a.bytes_[0] = std::uint8_t(hostOrder >> 24);
   a.bytes_[1] = std::uint8_t(hostOrder >> 16);
   a.bytes_[2] = std::uint8_t(hostOrder >> 8);
   a.bytes_[3] = std::uint8_t(hostOrder);
   return a;
}

IpGenAddr IpGenAddr::v6(Bytes const& bytes) noexcept {
   IpGenAddr a;
   a.family_ = ipFamilyV6;
   a.bytes_ = bytes;
   return a;
}

std::uint32_t IpGenAddr::v4Addr() const noexcept {
   if (!isV4()) return 0;
   return std::uint32_t(bytes_[0]) << 24 | std::uint32_t(bytes_[1]) << 16 | std::uint32_t(bytes_[2]) << 8 |
          std::uint32_t(bytes_[3]);
}

Zat::String IpGenAddr::stringValue() const {
   if (family_ == ipFamilyNone) return Zat::String();
   char buf[INET6_ADDRSTRLEN];
   char const* s = inet_ntop(isV4() ? AF_INET : AF_INET6, bytes_.data(), buf, sizeof buf);
   // The buffer is always large enough, so inet_ntop cannot fail here.
   return Zat::String(s ? s : "");
}

Zat::String valueToStrep(IpGenAddr const& a) {
   return Zat::valueToStrep(a.stringValue());
}

void sequenceToValue(Zat::CharRange& r, IpGenAddr* a) {
   // Parse on a copy so that a bad address leaves the range at the literal, where the error points.
   Zat::CharRange probe = r;
   Zat::String const text = probe.parseQuoted();
   IpGenAddr v;
   if (!IpGenAddr::parse(text.view(), &v)) r.fail(badAddress(text.view()));
   // inet_pton reads many spellings of one IPv6 address (2001:DB8::1, 2001:db8:0::1); the text form is
   // the one inet_ntop writes.
   Zat::String const canonical = v.stringValue();
   if (canonical != text) {
      r.fail("non-canonical IP address " + std::string(Zat::valueToStrep(text).view()) + ": expected " +
             std::string(Zat::valueToStrep(canonical).view()));
   }
   r = probe;
   *a = v;
}

std::ostream& operator<<(std::ostream& os, IpGenAddr const& a) {
   return os << a.stringValue();
}

}  // namespace Ipkit
