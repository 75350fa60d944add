// Helpers the value tests share: the message of a parse failure, a value's text, its stream form, its
// order and its hash as an attribute.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "Zat/CharRange.h"
#include "Zat/Exception.h"
#include "Zat/Hash.h"
#include "Zat/Strep.h"

namespace testing_text {

// The message of the RangeException `fn` raises, or a marker that no RangeException came.
template <class F>
std::string rangeError(F fn) {
   try {
      fn();
   } catch (Zat::RangeException const& e) {
      return e.what();
   }
   return "no RangeException";
}

// The message of the PreconditionException (a caller's broken precondition) `fn` raises, or "accepted".
template <class F>
std::string refusal(F fn) {
   try {
      fn();
   } catch (Zat::PreconditionException const& e) {
      return e.what();
   }
   return "accepted";
}

// The text form as a std::string (of the runtime's own values too: strepOf("a'b") is "'a\\'b'").
template <class T>
std::string strepOf(T const& v) {
   using Zat::valueToStrep;
   return std::string(valueToStrep(v).view());
}

template <class T>
std::string streamed(T const& v) {
   std::ostringstream os;
   os << v;
   return os.str();
}

// 'text', built without operator+ on a temporary (GCC 12 warns wrongly about overlapping copies there).
inline std::string quoted(std::string_view text) {
   std::string q(1, '\'');
   q.append(text);
   q.push_back('\'');
   return q;
}

// Parsing `text` into a T that already holds `sentinel` must fail and leave both it and the range alone;
// answers the failure's message.
template <class T>
std::string expectParseFailsUntouched(std::string_view text, T const& sentinel) {
   Zat::CharRange r(text);
   T v = sentinel;
   std::string const error = rangeError([&] { sequenceToValue(r, &v); });
   EXPECT_NE(error, "no RangeException") << text;
   EXPECT_EQ(v, sentinel) << text;
   EXPECT_EQ(r.offset(), 0u) << text;
   return error;
}

// Values in `expected` order must sort back into it from reverse order.
template <class T>
void expectSorted(std::vector<T> const& expected) {
   std::vector<T> sorted(expected.rbegin(), expected.rend());
   std::sort(sorted.begin(), sorted.end());
   EXPECT_EQ(sorted, expected);
}

// The hash of `v` as an attribute of a value hashed with `seed`.
std::uint32_t attrHash(auto const& v, std::uint32_t seed = 0) {
   Zat::Hash h(seed);
   hashAttrInto(h, v);
   return h.result();
}

}  // namespace testing_text
