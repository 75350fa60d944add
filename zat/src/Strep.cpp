#include "Zat/Strep.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <string>

namespace Zat {

namespace detail {
void appendQuotedByte(std::string& out, unsigned char c) {
   static char const hex[] = "0123456789abcdef";
   switch (c) {
      case '\\':
         out += "\\\\";
         break;
      case '\'':
         out += "\\'";
         break;
      case '\n':
         out += "\\n";
         break;
      case '\r':
         out += "\\r";
         break;
      case '\t':
         out += "\\t";
         break;
      default:
         if (c >= 0x20 && c < 0x7f) {
            out.push_back(char(c));
         } else {
            out += "\\x";
            out.push_back(hex[c >> 4]);
            out.push_back(hex[c & 15]);
         }
   }
}
}  // namespace detail

String valueToStrep(std::string_view s) {
   std::string out;
   out.reserve(s.size() + 2);
   out.push_back('\'');
   for (unsigned char c : s) detail::appendQuotedByte(out, c);
   out.push_back('\'');
   return String(std::move(out));
}

String valueToStrep(String const& s) { return valueToStrep(s.view()); }
String valueToStrep(char const* s) { return valueToStrep(std::string_view(s)); }
String valueToStrep(bool b) { return b ? "True" : "False"; }
String valueToStrep(std::uint8_t v) { return String(std::to_string(v)); }
String valueToStrep(std::uint16_t v) { return String(std::to_string(v)); }
String valueToStrep(std::uint32_t v) { return String(std::to_string(v)); }
String valueToStrep(std::uint64_t v) { return String(std::to_string(v)); }

String valueToStrep(double v) {
   if (std::isnan(v)) return "nan";
   if (std::isinf(v)) return v < 0 ? "-inf" : "inf";
   // The shortest digits that read back exactly, as d.ddde+XX; Python's repr lays out the same digits.
   char buf[40];
   auto const res = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::scientific);
   std::string_view sci(buf, std::size_t(res.ptr - buf));
   std::string out;
   if (sci.front() == '-') {
      out.push_back('-');
      sci.remove_prefix(1);
   }
   std::size_t const e = sci.find('e');
   std::string digits(1, sci[0]);
   if (e > 1) digits.append(sci.substr(2, e - 2));
   int exp = 0;
   std::from_chars(sci.data() + e + 2, sci.data() + sci.size(), exp);
   if (sci[e + 1] == '-') exp = -exp;
   if (exp < -4 || exp >= 16) {
      out += digits[0];
      if (digits.size() > 1) out.append(".").append(digits, 1);
      out += exp < 0 ? "e-" : "e+";
      if (std::abs(exp) < 10) out.push_back('0');
      out += std::to_string(std::abs(exp));
   } else if (exp < 0) {
      out.append("0.").append(std::size_t(-exp - 1), '0').append(digits);
   } else if (digits.size() <= std::size_t(exp) + 1) {
      out.append(digits).append(std::size_t(exp) + 1 - digits.size(), '0').append(".0");
   } else {
      out.append(digits, 0, std::size_t(exp) + 1).append(".").append(digits, std::size_t(exp) + 1);
   }
   return String(std::move(out));
}

String valueToStrep(Seconds v) {
   return valueToStrep(v.value());
}

void sequenceToValue(CharRange& r, String* v) { *v = r.parseQuoted(); }

void sequenceToValue(CharRange& r, bool* v) {
   if (r.skipString("True")) *v = true;
   else if (r.skipString("False")) *v = false;
   else r.fail("expected True or False");
}

void sequenceToValue(CharRange& r, std::uint8_t* v) { *v = std::uint8_t(r.parseUnsigned(UINT8_MAX)); }
void sequenceToValue(CharRange& r, std::uint16_t* v) { *v = std::uint16_t(r.parseUnsigned(UINT16_MAX)); }
void sequenceToValue(CharRange& r, std::uint32_t* v) { *v = std::uint32_t(r.parseUnsigned(UINT32_MAX)); }
void sequenceToValue(CharRange& r, std::uint64_t* v) { *v = r.parseUnsigned(UINT64_MAX); }

void sequenceToValue(CharRange& r, double* v) {
   *v = r.parseDouble();
}

void sequenceToValue(CharRange& r, Seconds* v) {
   CharRange probe = r;
   double const d = probe.parseDouble();
   // A Seconds holds no -0.0, so its text never reads -0.0.
   if (d == 0 && std::signbit(d)) r.fail("number -0.0 is not a time: expected 0.0");
   r = probe;
   *v = d;
}

void rethrowFromDeserializeAttr(RangeException const& e, std::string_view attrName) {
   throw RangeException("attribute '" + std::string(attrName) + "': " + e.what());
}

namespace detail {
void fmtInto(std::string& out, std::string_view format, std::string_view const* args, std::size_t n) {
   std::size_t used = 0;
   for (std::size_t i = 0; i < format.size(); ++i) {
      char c = format[i];
      if (c != '%') {
         out.push_back(c);
         continue;
      }
      char d = i + 1 < format.size() ? format[i + 1] : '\0';
      ++i;
      if (d == '%') {
         out.push_back('%');
      } else if (d == 's' && used < n) {
         out.append(args[used++]);
      } else {
         throwPreconditionException("_fmt: format " + std::string(format) + " does not match its " +
                                    std::to_string(n) + " string arguments");
      }
   }
   if (used != n) {
      throwPreconditionException("_fmt: format " + std::string(format) + " does not match its " +
                                 std::to_string(n) + " string arguments");
   }
}
}  // namespace detail

}  // namespace Zat
