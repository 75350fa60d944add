#include <gtest/gtest.h>

#include <string>

#include "Ipkit/Numbers.h"
#include "Ipkit/Vni.h"
#include "Ipkit/VrfName.h"
#include "Zat/Exception.h"
#include "Zat/Strep.h"
#include "support/TextChecks.h"

using namespace Ipkit;
using Zat::strepToValue;

using namespace testing_text;

namespace {

// The message of building a T from `v`.
template <class T>
std::string built(auto v) {
   return rangeError([&] { T{v}; });
}

}  // namespace

TEST(IpkitNumbers, BehaveLikeTheirIntegers) {
   IpProto const tcp = 6;
   EXPECT_TRUE(tcp == 6 && 6 == tcp && tcp != 17 && tcp < 7 && 5u < tcp);
   EXPECT_FALSE(tcp == 262 || tcp == -250 || Port(80) == 65616);  // no wrap
   std::uint8_t const raw = tcp;
   EXPECT_EQ(raw, 6);
   IpProto const same = 6, udp = 17;
   EXPECT_TRUE(IpProto::isEq(&tcp, &same) && !IpProto::isEq(&tcp, &udp));
   EXPECT_TRUE(Port(80) < Port(443) && EthType(0x0800) > 0x7ff);

   // A number that does not fit is refused, not wrapped.
   EXPECT_EQ(built<IpProto>(256), "IpProto 256 out of range 0..255");
   EXPECT_EQ(built<IpProto>(-1), "IpProto -1 out of range 0..255");
   EXPECT_EQ(built<Port>(std::uint64_t(1) << 40), "Port 1099511627776 out of range 0..65535");
}

TEST(IpkitNumbers, TextFormsAndStreams) {
   EXPECT_EQ(strepOf(EthType(0x0800)), "2048");
   // IpProto must not stream as a character; EthType streams as hex.
   EXPECT_EQ(streamed(IpProto(65)), "65");
   EXPECT_EQ(streamed(Port(8080)), "8080");
   EXPECT_EQ(streamed(EthType(0x0ABC)), "0x0abc");
   for (int v : {0, 255}) EXPECT_EQ(strepToValue<IpProto>(valueToStrep(IpProto(v)).view()), v);
   for (int v : {0, 65535}) EXPECT_EQ(strepToValue<Port>(valueToStrep(Port(v)).view()), v);
   for (int v : {0, 0xffff}) EXPECT_EQ(strepToValue<EthType>(valueToStrep(EthType(v)).view()), v);
   // The text constructors read decimal, and EthType's also the hexadecimal of its stream form.
   EXPECT_TRUE(IpProto("255") == 255 && Port("0") == 0 && EthType("2048") == 0x0800);
   EXPECT_EQ(EthType("0x86DD"), 0x86dd);
}

TEST(IpkitNumbers, MalformedTextIsRefused) {
   EXPECT_EQ(built<IpProto>("256"), "invalid IpProto '256': number 256 out of range 0..255 at offset 0");
   EXPECT_EQ(built<IpProto>("0x06"), "invalid IpProto '0x06': unexpected text 'x06' after value at offset 1");
   EXPECT_EQ(built<EthType>("0x10000"),
             "invalid EthType '0x10000': number out of range 0..65535 at offset 0");
   EXPECT_EQ(built<EthType>("0x"), "invalid EthType '0x': expected hexadecimal digits at offset 2");
   EXPECT_EQ(built<EthType>("0x08g0"),
             "invalid EthType '0x08g0': unexpected text 'g0' after value at offset 4");

   // The text form is decimal only, without leading zeros, even for EthType.
   EXPECT_EQ(rangeError([] { strepToValue<EthType>("0x0800"); }),
             "unexpected text 'x0800' after value at offset 1");
   EXPECT_EQ(expectParseFailsUntouched("'80'", Port(80)), "expected a number at offset 0");
   for (std::string_view bad : {"256", "x", "06", "-1"}) expectParseFailsUntouched(bad, IpProto(6));
   for (std::string_view bad : {"65536", "", "080"}) expectParseFailsUntouched(bad, Port(80));
   expectParseFailsUntouched("02048", EthType(0x0800));
}

TEST(IpkitNumbers, Hashes) {
   // Murmur3 x86/32 worked out apart from this library: of the value's own bytes for hash(), and of that
   // hash's four bytes when the value is an attribute (EthType: of the value widened to a word).
   EXPECT_EQ(IpProto(6).hash(0), 0xa9fc1939u);
   EXPECT_EQ(IpProto(6).hash(7), 0xbe7030d8u);
   EXPECT_EQ(Port(80).hash(0), 0x538ec6b4u);
   EXPECT_EQ(attrHash(IpProto(6)), 0x3f0a5cdau);
   EXPECT_EQ(attrHash(Port(80)), 0xad2e8b3eu);
   EXPECT_EQ(attrHash(EthType(0x0800)), 0x48d2efd0u);
}

TEST(IpkitVni, RangeTextAndHash) {
   EXPECT_EQ(built<Vni>(16777216), "Vni 16777216 out of range 0..16777215");
   EXPECT_EQ(built<Vni>("16777216"),
             "invalid Vni '16777216': number 16777216 out of range 0..16777215 at offset 0");
   EXPECT_EQ(built<Vni>("5000 "), "invalid Vni '5000 ': unexpected text ' ' after value at offset 4");

   Vni const v(5000);
   EXPECT_EQ(v.stringValue(true), Zat::String("VNI 5000"));
   EXPECT_EQ(strepOf(v), "5000");
   for (std::uint32_t n : {0u, 16777215u}) EXPECT_EQ(strepToValue<Vni>(valueToStrep(Vni(n)).view()), Vni(n));
   for (std::string_view bad : {"16777216", "'5000'", "05000"}) expectParseFailsUntouched(bad, Vni(7));

   EXPECT_EQ(v.hash(0), 0x5d9c04edu);
   EXPECT_EQ(attrHash(v), 0xd37cddc8u);
}

TEST(IpkitVni, VniOrNone) {
   VniOrNone const none, some = Vni(5000);
   EXPECT_EQ(strepOf(none), "'none'");
   EXPECT_EQ(strepOf(some), "5000");
   EXPECT_THROW(none.vni(), Zat::PreconditionException);
   for (VniOrNone const& v : {none, some, VniOrNone(Vni(0))}) {
      EXPECT_EQ(strepToValue<VniOrNone>(valueToStrep(v).view()), v) << v;
      EXPECT_EQ(VniOrNone(v.stringValue().view()), v) << v;
   }

   for (std::string bad : {"NONE", "", "none "})
      EXPECT_EQ(built<VniOrNone>(bad), "invalid VniOrNone '" + bad + "': expected 'none' or a number");
   EXPECT_EQ(built<VniOrNone>("16777216"),
             "invalid Vni '16777216': number 16777216 out of range 0..16777215 at offset 0");
   VniOrNone const nine = Vni(9);
   EXPECT_EQ(expectParseFailsUntouched("none", nine), "expected a Vni or 'none' at offset 0");
   EXPECT_EQ(expectParseFailsUntouched("'none", nine), "unterminated string at offset 0");
   for (std::string_view bad : {"'NONE'", "16777216", "-1", "''", "00"}) expectParseFailsUntouched(bad, nine);

   expectSorted<VniOrNone>({none, VniOrNone(Vni(0)), VniOrNone(Vni(16777215))});

   // None hashes as the word 0xffffffff; a Vni as itself.
   EXPECT_EQ(none.hash(0), 0x76293b50u);
   EXPECT_EQ(some.hash(0), 0x5d9c04edu);
   EXPECT_EQ(attrHash(none), 0x8d1165d9u);
   VniOrNone const otherNone;
   EXPECT_TRUE(VniOrNone::isEq(&none, &otherNone) && !VniOrNone::isEq(&none, &some));
}

TEST(IpkitVrfName, BoundTextAndOrder) {
   VrfName const red("red");
   EXPECT_EQ(strepOf(red), "'red'");
   EXPECT_EQ(streamed(red), "red");

   std::string const longest(100, 'v'), tooLong(101, 'v');
   std::string const tooLongText = testing_text::quoted(tooLong);
   EXPECT_EQ(VrfName(longest).size(), 100u);
   std::string const tooLongError =
       "Zat::String::bytes > maxLength() not allowed: VrfName of 101 bytes is longer than its limit of 100 "
       "bytes";
   EXPECT_EQ(built<VrfName>(tooLong), tooLongError);
   EXPECT_EQ(expectParseFailsUntouched(tooLongText, red), tooLongError + " at offset 0");
   // Escapes count as the one byte they stand for.
   std::string const escaped = "'" + std::string(99, 'v') + "\\x00'";
   EXPECT_EQ(strepToValue<VrfName>(escaped).size(), 100u);
   for (VrfName const& v : {VrfName(), VrfName(longest), VrfName(std::string_view("a\0b\xff\n'\\", 7))}) {
      EXPECT_EQ(strepToValue<VrfName>(valueToStrep(v).view()), v);
   }
   for (std::string_view bad : {"red", "'r\\x65d'"}) expectParseFailsUntouched(bad, red);

   // Bytewise, unsigned: a high byte sorts after 'z'.
   expectSorted<VrfName>({VrfName(), VrfName("a"), VrfName("ab"), VrfName("z"), VrfName("\xff")});

   EXPECT_EQ(red.hash(0), 0xeb5026fdu);
   EXPECT_EQ(red.hash(9), 0x530af57cu);
   EXPECT_EQ(attrHash(red, 9), 0x530af57cu);
   EXPECT_EQ(std::hash<VrfName>()(red), 0xeb5026fdu);
   VrfName const blue("blue");
   EXPECT_TRUE(VrfName::isEq(&red, &red) && !VrfName::isEq(&red, &blue));
}
