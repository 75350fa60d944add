#include "Ipkit/EthAddr.h"

#include <ostream>
#include <string>

#include "Zat/Exception.h"
#include "Zat/Strep.h"

namespace Ipkit {

namespace {

int hexDigit(char c) noexcept {
   if (c >= '0' && c <= '9') return c - '0';
   if (c >= 'a' && c <= 'f') return c - 'a' + 10;
   if (c >= 'A' && c <= 'F') return c - 'A' + 10;
   return -1;
}

// Reads the twelve hex digits of `text`, skipping `sep` wherever `isSep(i)` says one must stand, and
// nowhere else.
template <class IsSep>
bool readDigits(std::string_view text, char sep, IsSep isSep, EthAddr::Bytes& out) noexcept {
   EthAddr::Bytes b{};
   unsigned nibble = 0;
   for (std::size_t i = 0; i < text.size(); ++i) {
      if (isSep(i)) {
         if (text[i] != sep) return false;
         continue;
      }
      int const d = hexDigit(text[i]);
      if (d < 0) return false;
      b[nibble / 2] = std::uint8_t(b[nibble / 2] << 4 | d);
      ++nibble;
   }
   out = b;
   return true;
}

std::string quoted(std::string_view text) {
   return std::string(Zat::valueToStrep(text).view());
}

// The text constructor also reads upper case and the dotted form; the text form is lower-case colon
// notation alone.
void checkCanonical(Zat::CharRange const& r, std::string_view what, Zat::String const& text,
                    EthAddr const& v) {
   Zat::String const canonical = v.stringValue();
   if (canonical != text) {
      r.fail("non-canonical " + std::string(what) + " " + quoted(text.view()) + ": expected " +
             quoted(canonical.view()));
   }
}

}  // namespace

bool EthAddr::parse(std::string_view text, EthAddr* out) noexcept {
   Bytes b;
   bool ok = false;
   if (text.size() == 17) {
      // 00:1c:73:0a:0b:0c
      ok = readDigits(
          text, ':', [](std::size_t i) { return i % 3 == 2; }, b);
   } else if (text.size() == 14) {
      // 001c.730a.0b0c
      ok = readDigits(
          text, '.', [](std::size_t i) { return i % 5 == 4; }, b);
   }
   if (ok) out->bytes_ = b;
   return ok;
}

EthAddr::EthAddr(std::string_view text) {
   if (!parse(text, this)) Zat::throwRangeException("invalid Ethernet address " + quoted(text));
}

EthAddr::Text EthAddr::text() const noexcept {
   static char const hex[] = "0123456789abcdef";
   Text t;
   for (std::size_t i = 0; i < bytes_.size(); ++i) {
      t[3 * i] = hex[bytes_[i] >> 4];
      t[3 * i + 1] = hex[bytes_[i] & 15];
      if (i + 1 < bytes_.size()) t[3 * i + 2] = ':';
   }
   return t;
}

Zat::String EthAddr::stringValue() const {
   Text const t = text();
   return Zat::String(t.data(), t.size());
}

Zat::String valueToStrep(EthAddr const& a) {
   return Zat::valueToStrep(a.stringValue());
}

void sequenceToValue(Zat::CharRange& r, EthAddr* a) {
   // Parse on a copy so that a bad address leaves the range at the literal, where the error points.
   Zat::CharRange probe = r;
   Zat::String const text = probe.parseQuoted();
   EthAddr v;
   if (!EthAddr::parse(text.view(), &v)) r.fail("invalid Ethernet address " + quoted(text.view()));
   checkCanonical(r, "Ethernet address", text, v);
   r = probe;
   *a = v;
}

std::ostream& operator<<(std::ostream& os, EthAddr const& a) {
   return os << a.stringValue();
}

SystemId::SystemId(std::string_view text) {
   if (!EthAddr::parse(text, &addr_)) Zat::throwRangeException("invalid system id " + quoted(text));
}

Zat::String valueToStrep(SystemId const& s) {
   return Zat::valueToStrep(s.stringValue());
}

void sequenceToValue(Zat::CharRange& r, SystemId* s) {
   Zat::CharRange probe = r;
   Zat::String const text = probe.parseQuoted();
   EthAddr v;
   if (!EthAddr::parse(text.view(), &v)) r.fail("invalid system id " + quoted(text.view()));
   checkCanonical(r, "system id", text, v);
   r = probe;
   *s = SystemId(v);
}

std::ostream& operator<<(std::ostream& os, SystemId const& s) {
   return os << s.stringValue();
}

}  // namespace Ipkit
