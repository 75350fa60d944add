#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

#include "Zat/Hash.h"
#include "Zat/Strep.h"
#include "Zat/ValueSupport.h"
#include "support/TextChecks.h"

using namespace Zat;
using testing_text::expectParseFailsUntouched;
using testing_text::rangeError;

TEST(ZatStrep, StringsHaveOneTextEach) {
   EXPECT_EQ(valueToStrep(String("it's \\\n\r\t\"\xff\x7f")), String("'it\\'s \\\\\\n\\r\\t\"\\xff\\x7f'"));
   std::string all;
   for (int c = 0; c < 256; ++c) all.push_back(char(c));
   EXPECT_EQ(strepToValue<String>(valueToStrep(std::string_view(all)).view()), String(all));
   // Every other spelling of a byte is refused, naming the one the renderer writes.
   struct Case {
      std::string_view text, error;
   };
   Case const cases[] = {
       {"'a\nb'", "byte 0x0a in a string: expected \\n at offset 2"},
       {"'\x01'", "byte 0x01 in a string: expected \\x01 at offset 1"},
       {"'\xc3\xa9'", "byte 0xc3 in a string: expected \\xc3 at offset 1"},
       {"'a\\\"'", "escape \\\" in a string: expected \" at offset 2"},
       {"'\\x41'", "escape \\x41 in a string: expected A at offset 1"},
       {"'a\\q'", "unknown escape \\q: expected \\\\, \\', \\n, \\r, \\t or \\xNN at offset 2"},
       {"'a\\x4'", "bad \\x escape: expected two hex digits at offset 2"},
       {"'abc", "unterminated string at offset 0"},
       {"abc", "expected a quoted string at offset 0"},
   };
   for (auto const& c : cases)
      EXPECT_EQ(expectParseFailsUntouched(c.text, String("kept")), c.error) << c.text;
}

TEST(ZatStrep, IntegersAndBools) {
   EXPECT_EQ(strepToValue<std::uint64_t>("18446744073709551615"), UINT64_MAX);
   EXPECT_EQ(rangeError([] { strepToValue<std::uint64_t>("18446744073709551616"); }),
             "number 18446744073709551616 out of range 0..18446744073709551615 at offset 0");
   EXPECT_EQ(rangeError([] { strepToValue<std::uint32_t>("080"); }),
             "number 080 has a leading zero: expected 80 at offset 0");
   EXPECT_EQ(expectParseFailsUntouched("00", std::uint8_t(7)),
             "number 00 has a leading zero: expected 0 at offset 0");
   EXPECT_EQ(expectParseFailsUntouched("-1", std::uint16_t(7)), "expected a number at offset 0");
   expectParseFailsUntouched("256", std::uint8_t(7));
   EXPECT_EQ(strepToValue<bool>(valueToStrep(true).view()), true);
   EXPECT_EQ(valueToStrep(false), String("False"));
   EXPECT_EQ(rangeError([] { strepToValue<bool>("true"); }), "expected True or False at offset 0");
}

TEST(ZatStrep, DoublesAndSecondsAreWrittenAsPythonReprWritesThem) {
   double const inf = std::numeric_limits<double>::infinity();
   std::pair<double, char const*> const cases[] = {
       {0.0, "0.0"},        {-0.0, "-0.0"},        {1.0, "1.0"},
       {0.1, "0.1"},        {-2.5, "-2.5"},        {1e15, "1000000000000000.0"},
       {1e16, "1e+16"},     {1.5e300, "1.5e+300"}, {1e-4, "0.0001"},
       {1.5e-5, "1.5e-05"}, {5e-324, "5e-324"},    {1712345678.123456789, "1712345678.1234567"},
       {inf, "inf"},        {-inf, "-inf"},        {std::nan(""), "nan"},
   };
   for (auto const& [d, text] : cases) {
      EXPECT_EQ(valueToStrep(d), String(text));
      double const back = strepToValue<double>(text);
      EXPECT_TRUE(std::isnan(d) ? std::isnan(back) : std::memcmp(&back, &d, sizeof d) == 0) << text;
   }
   for (std::string_view bad : {"1", "1E+16", "1e16", "01.5", ".5", "+1.0", "INF", "-nan", "1e+300x"})
      expectParseFailsUntouched(bad, 7.0);
   EXPECT_EQ(expectParseFailsUntouched("1.50", 7.0),
             "number 1.50 is not written as Python writes it: expected 1.5 at offset 0");
   EXPECT_EQ(expectParseFailsUntouched("0x1p3", 7.0),
             "expected a number like 0.5, 1e+16 or inf, not 0x1p3 at offset 0");
   EXPECT_EQ(expectParseFailsUntouched("1e400", 7.0), "number 1e400 out of range of a double at offset 0");

   // A Seconds has no -0.0 to write or read; it hashes as its bits, a raw double as its Seconds.
   EXPECT_EQ(valueToStrep(Seconds(-0.0)), String("0.0"));
   EXPECT_EQ(expectParseFailsUntouched("-0.0", Seconds(4)),
             "number -0.0 is not a time: expected 0.0 at offset 0");
   EXPECT_TRUE(Seconds(-0.0) == 0 && Seconds(1.5) > 1 && Seconds(1.5) < 2.0);
   Hash a(1), b(1);
   hashAttrInto(a, Seconds(2.0));
   EXPECT_EQ(a.result(), Hash(1).hashMix<4>(0).hashMix<4>(0x40000000u).result());
   hashAttrInto(b, -0.0);
   EXPECT_EQ(b.result(), Seconds(0.0).hash(1));
}

TEST(ZatStrep, FmtFillsOnlyPercentS) {
   EXPECT_EQ(_fmt("Value('A', ** {'x': %s, 'y': %s})", String("1"), "'b'"),
             String("Value('A', ** {'x': 1, 'y': 'b'})"));
   EXPECT_EQ(_fmt("100%% of %s", "it"), String("100% of it"));
   EXPECT_THROW(_fmt("%s and %s", "one"), PreconditionException);
   EXPECT_THROW(_fmt("%d", "one"), PreconditionException);
   EXPECT_THROW(_fmt("none", "extra"), PreconditionException);
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
   // The same number at different widths hashes differently.
   EXPECT_NE(hashSingleAttr(0, std::uint8_t(6)), hashSingleAttr(0, std::uint32_t(6)));
   EXPECT_NE(hashSingleAttr(0, std::uint16_t(6)), hashSingleAttr(0, std::uint32_t(6)));
   EXPECT_NE(hashSingleAttr(7, std::uint16_t(443)), hashSingleAttr(8, std::uint16_t(443)));
}
