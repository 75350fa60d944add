#include <gtest/gtest.h>

#include <cmath>

#include "Zat/Hash.h"
#include "Zat/Strep.h"

using namespace Zat;

TEST(ZatStrep, StringLiteralsRoundTrip) {
   EXPECT_EQ(valueToStrep(String("web")), String("'web'"));
   EXPECT_EQ(valueToStrep(String("it's")), String("'it\\'s'"));
   EXPECT_EQ(valueToStrep(String(std::string_view("a\0b", 3))), String("'a\\x00b'"));
   EXPECT_EQ(valueToStrep(String("back\\slash\n\t\xff")), String("'back\\\\slash\\n\\t\\xff'"));
   for (std::string_view s : {std::string_view(""), std::string_view("x'y\\z"), std::string_view("\x01\x7f\x80", 3)}) {
      EXPECT_EQ(strepToValue<String>(valueToStrep(s).view()), String(s)) << s;
   }
   // Escapes Python writes that we never do are still read.
   EXPECT_EQ(strepToValue<String>("'a\\\"b\\rc'"), String("a\"b\rc"));
}

TEST(ZatStrep, MalformedTextNamesTheProblem) {
   auto message = [](auto fn) {
      try {
         fn();
      } catch (RangeException const& e) {
         return std::string(e.what());
      }
      return std::string("no exception");
   };
   EXPECT_EQ(message([] { strepToValue<String>("'abc"); }), "unterminated string at offset 0");
   EXPECT_EQ(message([] { strepToValue<String>("abc"); }), "expected a quoted string at offset 0");
   EXPECT_EQ(message([] { strepToValue<String>("'a\\q'"); }), "unknown escape at offset 2");
   EXPECT_EQ(message([] { strepToValue<String>("'a\\x4'"); }), "bad \\x escape at offset 2");
   EXPECT_EQ(message([] { strepToValue<String>("'a' "); }), "unexpected text ' ' after value at offset 3");
   EXPECT_EQ(message([] { strepToValue<std::uint8_t>("256"); }), "number 256 out of range 0..255 at offset 0");
   EXPECT_EQ(message([] { strepToValue<std::uint16_t>("-1"); }), "expected a number at offset 0");
   EXPECT_EQ(message([] { strepToValue<bool>("true"); }), "expected True or False at offset 0");
}

TEST(ZatStrep, IntegersBoolsAndDoubles) {
   EXPECT_EQ(strepToValue<std::uint8_t>("255"), 255);
   EXPECT_EQ(strepToValue<std::uint32_t>("4294967295"), 4294967295u);
   EXPECT_THROW(strepToValue<std::uint32_t>("4294967296"), RangeException);
   EXPECT_EQ(strepToValue<std::uint64_t>("18446744073709551615"), UINT64_MAX);
   EXPECT_THROW(strepToValue<std::uint64_t>("18446744073709551616"), RangeException);
   EXPECT_EQ(valueToStrep(true), String("True"));
   EXPECT_FALSE(strepToValue<bool>("False"));
   EXPECT_EQ(valueToStrep(1.0), String("1.0"));
   EXPECT_EQ(valueToStrep(0.1), String("0.1"));
   for (double d : {0.0, 1.5, 1e300, 1.0 / 3, 1712345678.123456}) {
      EXPECT_EQ(strepToValue<double>(valueToStrep(d).view()), d);
   }
   EXPECT_TRUE(std::isinf(strepToValue<double>("-inf")));
   EXPECT_THROW(strepToValue<double>(" 1.0"), RangeException);
}

TEST(ZatStrep, FmtFillsOnlyPercentS) {
   EXPECT_EQ(_fmt("Value('A', ** {'x': %s, 'y': %s})", String("1"), "'b'"), String("Value('A', ** {'x': 1, 'y': 'b'})"));
   EXPECT_EQ(_fmt("100%% of %s", "it"), String("100% of it"));
   EXPECT_THROW(_fmt("%s and %s", "one"), PreconditionException);
   EXPECT_THROW(_fmt("%d", "one"), PreconditionException);
   EXPECT_THROW(_fmt("none", "extra"), PreconditionException);
}

TEST(ZatStrep, DeserializeAttrAddsTheNameToRangeErrorsOnly) {
   CharRange r("70000");
   try {
      deserializeAttr<std::uint16_t>(r, "port");
      FAIL() << "no exception";
   } catch (RangeException const& e) {
      EXPECT_EQ(std::string(e.what()), "attribute 'port': number 70000 out of range 0..65535 at offset 0");
   }
   // The range is left where the failing parser stopped, so callers can report the offset.
   CharRange ok("80, rest");
   EXPECT_EQ(deserializeAttr<std::uint16_t>(ok, "port"), 80);
   EXPECT_EQ(ok.rest(), ", rest");
   EXPECT_THROW(ok.checkAllDataConsumed(), RangeException);
   EXPECT_THROW(ok.needString(",  rest"), RangeException);
   EXPECT_EQ(ok.offset(), 2u);  // a failed needString consumes nothing
   ok.needString(", rest");
   EXPECT_NO_THROW(ok.checkAllDataConsumed());
}

TEST(ZatHash, DeterministicAndWidthSensitive) {
   // Reference values of Murmur3 x86_32: these pin the algorithm so that iteration orders and persisted
   // hashes cannot change silently.
   EXPECT_EQ(Hash(0).result(), 0u);
   EXPECT_EQ(Hash(1).result(), 0x514E28B7u);
   EXPECT_EQ(Hash(0).mixNi("", 0).result(), 0u);
   EXPECT_EQ(Hash(0).mixNi("hello", 5).result(), 0x248BFA47u);
   EXPECT_EQ(Hash(0x9747b28c).mixNi("Hello, world!", 13).result(), 0x24884CBAu);
   EXPECT_EQ(Hash(0).hashMix<4>(0x64636261u).result(), Hash(0).mixNi("abcd", 4).result());
   EXPECT_EQ(hashSingleAttr(0, std::string_view("abcd")), Hash(0).mixNi("abcd", 4).result());
   // The same number at different widths hashes differently; the same inputs always agree.
   EXPECT_NE(hashSingleAttr(0, std::uint8_t(6)), hashSingleAttr(0, std::uint32_t(6)));
   EXPECT_NE(hashSingleAttr(0, std::uint16_t(6)), hashSingleAttr(0, std::uint32_t(6)));
   EXPECT_EQ(hashSingleAttr(7, std::uint16_t(443)), hashSingleAttr(7, std::uint16_t(443)));
   EXPECT_NE(hashSingleAttr(7, std::uint16_t(443)), hashSingleAttr(8, std::uint16_t(443)));
   EXPECT_EQ(hashSeed32(), hashSeed32());
}
