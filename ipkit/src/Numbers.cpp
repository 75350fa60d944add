#include "Ipkit/Numbers.h"

#include <cstdio>
#include <ostream>
#include <string>

#include "Zat/Exception.h"
#include "Zat/Strep.h"

namespace Ipkit {

namespace detail {

void throwNumberOutOfRange(std::string_view typeName, std::intmax_t v, std::uint64_t max) {
   Zat::throwRangeException(std::string(typeName) + " " + std::to_string(v) + " out of range 0.." +
                            std::to_string(max));
}

void throwNumberOutOfRange(std::string_view typeName, std::uintmax_t v, std::uint64_t max) {
   Zat::throwRangeException(std::string(typeName) + " " + std::to_string(v) + " out of range 0.." +
                            std::to_string(max));
}

std::uint64_t parseWholeNumber(std::string_view typeName, std::string_view text, std::uint64_t max,
                               bool allowHex) {
   try {
      Zat::CharRange r(text);
      std::uint64_t const v = allowHex ? r.parseUnsignedOrHex(max) : r.parseUnsigned(max);
      r.checkAllDataConsumed();
      return v;
   } catch (Zat::RangeException const& e) {
      Zat::throwRangeException("invalid " + std::string(typeName) + " " +
                               std::string(Zat::valueToStrep(text).view()) + ": " + e.what());
   }
}

}  // namespace detail

IpProto::IpProto(std::string_view text)
    : Number(detail::parseWholeNumber(typeName, text, 255, false)) {}
Port::Port(std::string_view text) : Number(detail::parseWholeNumber(typeName, text, 65535, false)) {}
EthType::EthType(std::string_view text)
    : Number(detail::parseWholeNumber(typeName, text, 65535, true)) {}

Zat::String IpProto::stringValue() const {
   return Zat::valueToStrep(v_);
}
Zat::String Port::stringValue() const {
   return Zat::valueToStrep(v_);
}
Zat::String EthType::stringValue() const {
   return Zat::valueToStrep(v_);
}

Zat::String valueToStrep(IpProto v) {
   return v.stringValue();
}
Zat::String valueToStrep(Port v) {
   return v.stringValue();
}
Zat::String valueToStrep(EthType v) {
   return v.stringValue();
}

// The range's own reader checks digits and range; the result is assigned only once it has succeeded.
void sequenceToValue(Zat::CharRange& r, IpProto* v) {
   *v = IpProto(r.parseUnsigned(255));
}
void sequenceToValue(Zat::CharRange& r, Port* v) {
   *v = Port(r.parseUnsigned(65535));
}
void sequenceToValue(Zat::CharRange& r, EthType* v) {
   *v = EthType(r.parseUnsigned(65535));
}

std::ostream& operator<<(std::ostream& os, IpProto v) {
   return os << unsigned(v.value());
}
std::ostream& operator<<(std::ostream& os, Port v) {
   return os << unsigned(v.value());
}

std::ostream& operator<<(std::ostream& os, EthType v) {
   char buf[8];
   std::snprintf(buf, sizeof buf, "0x%04x", unsigned(v.value()));
   return os << buf;
}

}  // namespace Ipkit
