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
#include "Zat/String.h"

namespace Zat {

using Seconds = double;

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
// Shortest text that reads back to the same double (repr-like).
String valueToStrep(double v);

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

// Parses one value of type T from the range.
template <class T>
T parseValue(CharRange& r) {
   T v{};
   sequenceToValue(r, &v);
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
