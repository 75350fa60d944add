#include "Zat/Strep.h"

#include <charconv>
#include <cmath>
#include <string>

namespace Zat {

String valueToStrep(std::string_view s) {
   static char const hex[] = "0123456789abcdef";
   std::string out;
   out.reserve(s.size() + 2);
   out.push_back('\'');
   for (unsigned char c : s) {
      switch (c) {
         case '\\': out += "\\\\"; break;
         case '\'': out += "\\'"; break;
         case '\n': out += "\\n"; break;
         case '\r': out += "\\r"; break;
         case '\t': out += "\\t"; break;
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
   char buf[64];
   auto res = std::to_chars(buf, buf + sizeof buf, v);
   std::string out(buf, res.ptr);
   // Keep a decimal point or exponent so the text reads as a float, as Python writes 1.0.
   if (out.find_first_of(".e") == std::string::npos) out += ".0";
   return String(std::move(out));
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
   if (r.skipString("nan")) *v = NAN;
   else if (r.skipString("inf")) *v = INFINITY;
   else if (r.skipString("-inf")) *v = -INFINITY;
   else *v = r.parseDouble();
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
