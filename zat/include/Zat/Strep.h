// Text forms of the runtime's own values (String, bool, integers, doubles), and the generic machinery
// through which every value type renders and parses its attributes: valueToStrep, deserializeAttr,
// strepToValue, and _fmt to fill the generated format strings.
#pragma once

#include <concepts>
#include <cstdint>
#include <sstream>
#include <string_view>
#include <type_traits>

#include "Zat/CharRange.h"
#include "Zat/Exception.h"
#include "Zat/Seconds.h"
#include "Zat/String.h"

namespace Zat {

// Every text form is a Python literal, and every parser below accepts exactly the text its valueToStrep
// writes: one text per value, so that texts can be compared and looked up as well as read back.

// 'text' with backslash escapes; bytes outside printable ASCII as \xNN.
String valueToStrep(String const& s);
String valueToStrep(std::string_view s);
String valueToStrep(char const* s);
// True or False.
String valueToStrep(bool b);
String valueToStrep(std::uint8_t v);
String valueToStrep(std::uint16_t v);
String valueToStrep(std::uint32_t v);
String valueToStrep(std::uint64_t v);
// Python's repr: the shortest digits that read back to the same double, in fixed notation for
// magnitudes from 1e-4 up to 1e16 (0.5, 100.0) and in exponent notation beyond (1e+16, 1.5e-07). The
// non-finite values are written inf, -inf and nan, as repr writes them; Python reads them back with
// float(), and so does this runtime.
String valueToStrep(double v);
// A Seconds as its double; it is never -0.0 and has one NaN.
String valueToStrep(Seconds v);

// The text form of any value: the runtime's overloads above, or the one found beside the value's type.
template <class T>
String strepOf(T const& v) {
   return valueToStrep(v);
}

// Readers of the runtime's own values; every other type is read by the sequenceToValue beside it.
void sequenceToValue(CharRange& r, String* v);
void sequenceToValue(CharRange& r, bool* v);
void sequenceToValue(CharRange& r, std::uint8_t* v);
void sequenceToValue(CharRange& r, std::uint16_t* v);
void sequenceToValue(CharRange& r, std::uint32_t* v);
void sequenceToValue(CharRange& r, std::uint64_t* v);
void sequenceToValue(CharRange& r, double* v);
void sequenceToValue(CharRange& r, Seconds* v);

// Parses one value of type T from the range. A value that fails part-way (a generated value's parser
// reads its attributes one after another) leaves the range where the value began.
template <class T>
T parseValue(CharRange& r) {
   CharRange const start = r;
   T v{};
   try {
      sequenceToValue(r, &v);
   } catch (...) {
      r = start;
      throw;
   }
   return v;
}

// Re-raises a RangeException met while attribute `attrName` was parsed, with the attribute's name added.
[[noreturn]] void rethrowFromDeserializeAttr(RangeException const& e, std::string_view attrName);

// Parses the attribute `attrName` of type T. A RangeException comes back naming the attribute; any other
// exception passes unchanged.
template <class T>
T deserializeAttr(CharRange& r, std::string_view attrName) {
   try {
      return parseValue<T>(r);
   } catch (RangeException const& e) {
      rethrowFromDeserializeAttr(e, attrName);
   }
}

// Parses the whole of `text` as one T; text left over raises RangeException.
template <class T>
T strepToValue(std::string_view text) {
   CharRange r(text);
   T v = parseValue<T>(r);
   r.checkAllDataConsumed();
   return v;
}

namespace detail {
// Appends one byte as it stands inside a quoted string: printable ASCII as itself, the rest escaped.
void appendQuotedByte(std::string& out, unsigned char c);
void fmtInto(std::string& out, std::string_view format, std::string_view const* args, std::size_t n);
}

// Fills a printf-style format whose only directives are %s (and %% for a percent sign) with the given
// strings. A format that does not match its arguments is a programming error (PreconditionException).
template <class... A>
String _fmt(std::string_view format, A const&... args) {
   std::string_view const views[] = {std::string_view(args)..., std::string_view()};
   std::string out;
   detail::fmtInto(out, format, views, sizeof...(A));
   return String(std::move(out));
}

// Text of a value through its stream output (the readable forms of platform values).
template <class T>
String streamText(T const& v) {
   std::ostringstream os;
   os << v;
   return String(os.str());
}

}  // namespace Zat
