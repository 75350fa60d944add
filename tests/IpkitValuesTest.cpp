#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <unordered_set>
#include <vector>

#include "Ipkit/Numbers.h"
#include "Ipkit/Vni.h"
#include "Ipkit/VrfName.h"
#include "Zat/Exception.h"
#include "Zat/Hash.h"
#include "Zat/Strep.h"
#include "support/TextChecks.h"

using namespace Ipkit;
using Zat::strepToValue;

using namespace testing_text;

namespace {

// Stands for a generated accessor that takes the protocol as its own type.
bool l3AppIs(IpProto p) {
   return p == 6;
}

}  // namespace

TEST(IpkitNumbers, BehaveLikeTheirIntegers) {
   IpProto const tcp = 6;
   EXPECT_TRUE(tcp == 6);
   EXPECT_TRUE(6 == tcp);
   EXPECT_TRUE(tcp != 17);
   EXPECT_TRUE(tcp < 7);
   EXPECT_TRUE(5u < tcp);
   EXPECT_FALSE(tcp == 262);  // no wrap to 6
   EXPECT_FALSE(tcp == -250);
   EXPECT_TRUE(l3AppIs(6));
   EXPECT_FALSE(l3AppIs(17));
   std::uint8_t const raw = tcp;
   EXPECT_EQ(raw, 6);
   EXPECT_EQ(tcp.value(), 6);
   EXPECT_EQ(IpProto(), 0);

   Port const http = 80;
   EXPECT_TRUE(http == 80u);
   EXPECT_TRUE(http < Port(443));
   EXPECT_FALSE(http == 65616);
   EthType const ip = 0x0800;
   EXPECT_TRUE(ip == 2048);
   EXPECT_TRUE(ip > 0x7ff);
   EXPECT_EQ(std::uint16_t(ip), 2048);

   // A number that does not fit is refused, not wrapped.
   EXPECT_EQ(rangeError([] {
                IpProto p = 256;
                (void)p;
             }),
             "IpProto 256 out of range 0..255");
   EXPECT_EQ(rangeError([] {
                IpProto p = -1;
                (void)p;
             }),
             "IpProto -1 out of range 0..255");
   EXPECT_EQ(rangeError([] {
                Port p = 65536;
                (void)p;
             }),
             "Port 65536 out of range 0..65535");
   EXPECT_EQ(rangeError([] {
                EthType e = 70000u;
                (void)e;
             }),
             "EthType 70000 out of range 0..65535");
   EXPECT_EQ(rangeError([] {
                Port p = std::uint64_t(1) << 40;
                (void)p;
             }),
             "Port 1099511627776 out of range 0..65535");
   EXPECT_EQ(IpProto(255), 255);
   EXPECT_EQ(Port(65535), 65535);

   IpProto const a = 6, b = 6, c = 17;
   EXPECT_TRUE(IpProto::isEq(&a, &b));
   EXPECT_FALSE(IpProto::isEq(&a, &c));
}

TEST(IpkitNumbers, TextFormsAndStreams) {
   EXPECT_EQ(strepOf(IpProto(6)), "6");
   EXPECT_EQ(strepOf(Port(80)), "80");
   EXPECT_EQ(strepOf(EthType(0x0800)), "2048");
   EXPECT_EQ(IpProto(17).stringValue(), Zat::String("17"));
   EXPECT_EQ(EthType(0x86dd).stringValue(), Zat::String("34525"));
   // IpProto must not stream as a character.
   EXPECT_EQ(streamed(IpProto(65)), "65");
   EXPECT_EQ(streamed(Port(8080)), "8080");
   EXPECT_EQ(streamed(EthType(0x0800)), "0x0800");
   EXPECT_EQ(streamed(EthType(0x86DD)), "0x86dd");
   EXPECT_EQ(streamed(EthType(0)), "0x0000");
   EXPECT_EQ(streamed(EthType(0xffff)), "0xffff");

   for (int v : {0, 1, 6, 255}) EXPECT_EQ(strepToValue<IpProto>(valueToStrep(IpProto(v)).view()), v);
   for (int v : {0, 80, 65535}) EXPECT_EQ(strepToValue<Port>(valueToStrep(Port(v)).view()), v);
   for (int v : {0, 0x0800, 0xffff}) EXPECT_EQ(strepToValue<EthType>(valueToStrep(EthType(v)).view()), v);

   EXPECT_EQ(IpProto("6"), 6);
   EXPECT_EQ(IpProto("255"), 255);
   EXPECT_EQ(Port("0"), 0);
   EXPECT_EQ(EthType("0x0800"), 0x0800);
   EXPECT_EQ(EthType("0x86DD"), 0x86dd);
   EXPECT_EQ(EthType("2048"), 0x0800);
   EXPECT_EQ(EthType("0xffff"), 0xffff);
}

TEST(IpkitNumbers, MalformedTextIsRefused) {
   EXPECT_EQ(rangeError([] { IpProto{"256"}; }),
             "invalid IpProto '256': number 256 out of range 0..255 at offset 0");
   EXPECT_EQ(rangeError([] { IpProto{""}; }), "invalid IpProto '': expected a number at offset 0");
   EXPECT_EQ(rangeError([] { IpProto{"6x"}; }),
             "invalid IpProto '6x': unexpected text 'x' after value at offset 1");
   EXPECT_EQ(rangeError([] { IpProto{"0x06"}; }),
             "invalid IpProto '0x06': unexpected text 'x06' after value at offset 1");
   EXPECT_EQ(rangeError([] { Port{"65536"}; }),
             "invalid Port '65536': number 65536 out of range 0..65535 at offset 0");
   EXPECT_EQ(rangeError([] { Port{"-1"}; }), "invalid Port '-1': expected a number at offset 0");
   EXPECT_EQ(rangeError([] { Port{" 80"}; }), "invalid Port ' 80': expected a number at offset 0");
   EXPECT_EQ(rangeError([] { EthType{"0x10000"}; }),
             "invalid EthType '0x10000': number out of range 0..65535 at offset 0");
   EXPECT_EQ(rangeError([] { EthType{"0x"}; }),
             "invalid EthType '0x': expected hexadecimal digits at offset 2");
   EXPECT_EQ(rangeError([] { EthType{"0x08g0"}; }),
             "invalid EthType '0x08g0': unexpected text 'g0' after value at offset 4");
   EXPECT_EQ(rangeError([] { EthType{"65536"}; }),
             "invalid EthType '65536': number 65536 out of range 0..65535 at offset 0");

   // The text form is decimal only, even for EthType.
   EXPECT_EQ(rangeError([] { strepToValue<EthType>("0x0800"); }),
             "unexpected text 'x0800' after value at offset 1");
   EXPECT_EQ(rangeError([] { strepToValue<IpProto>("256"); }), "number 256 out of range 0..255 at offset 0");
   EXPECT_EQ(rangeError([] { strepToValue<Port>("'80'"); }), "expected a number at offset 0");
   expectParseFailsUntouched("256", IpProto(6));
   expectParseFailsUntouched("x", IpProto(6));
   expectParseFailsUntouched("65536", Port(80));
   expectParseFailsUntouched("", Port(80));
   expectParseFailsUntouched("99999", EthType(0x0800));
}

TEST(IpkitNumbers, Hashes) {
   // Murmur3 x86/32 worked out apart from this library: of the value's own bytes for hash(), and of that
   // hash's four bytes when the value is an attribute (EthType: of the value widened to a word).
   EXPECT_EQ(IpProto(6).hash(0), 0xa9fc1939u);
   EXPECT_EQ(IpProto(6).hash(7), 0xbe7030d8u);
   EXPECT_EQ(Port(80).hash(0), 0x538ec6b4u);
   EXPECT_EQ(EthType(0x0800).hash(0), 0x3775c129u);
   Zat::Hash hp(0), hport(0), heth(0);
   hashAttrInto(hp, IpProto(6));
   hashAttrInto(hport, Port(80));
   hashAttrInto(heth, EthType(0x0800));
   EXPECT_EQ(hp.result(), 0x3f0a5cdau);
   EXPECT_EQ(hport.result(), 0xad2e8b3eu);
   EXPECT_EQ(heth.result(), 0x48d2efd0u);
}

TEST(IpkitVni, RangeTextAndHash) {
   EXPECT_EQ(Vni(16777215).value(), 16777215u);
   EXPECT_EQ(Vni().value(), 0u);
   EXPECT_EQ(rangeError([] { Vni{16777216}; }), "Vni 16777216 out of range 0..16777215");
   EXPECT_EQ(rangeError([] { Vni{-1}; }), "Vni -1 out of range 0..16777215");
   EXPECT_EQ(Vni("16777215"), Vni(16777215));
   EXPECT_EQ(rangeError([] { Vni{"16777216"}; }),
             "invalid Vni '16777216': number 16777216 out of range 0..16777215 at offset 0");
   EXPECT_EQ(rangeError([] { Vni{"5000 "}; }),
             "invalid Vni '5000 ': unexpected text ' ' after value at offset 4");
   EXPECT_EQ(rangeError([] { Vni{"0x10"}; }),
             "invalid Vni '0x10': unexpected text 'x10' after value at offset 1");

   Vni const v(5000);
   EXPECT_EQ(v.stringValue(), Zat::String("5000"));
   EXPECT_EQ(v.stringValue(true), Zat::String("VNI 5000"));
   EXPECT_EQ(strepOf(v), "5000");
   EXPECT_EQ(streamed(v), "5000");
   for (std::uint32_t n : {0u, 1u, 5000u, 16777215u})
      EXPECT_EQ(strepToValue<Vni>(valueToStrep(Vni(n)).view()), Vni(n));
   EXPECT_EQ(rangeError([] { strepToValue<Vni>("16777216"); }),
             "number 16777216 out of range 0..16777215 at offset 0");
   expectParseFailsUntouched("16777216", Vni(7));
   expectParseFailsUntouched("'5000'", Vni(7));

   EXPECT_LT(Vni(1), Vni(2));
   EXPECT_NE(Vni(1), Vni(2));
   EXPECT_EQ(v.hash(0), 0x5d9c04edu);
   Zat::Hash h(0);
   hashAttrInto(h, v);
   EXPECT_EQ(h.result(), 0xd37cddc8u);
}

TEST(IpkitVni, VniOrNone) {
   VniOrNone const none;
   EXPECT_TRUE(none.isNone());
   EXPECT_EQ(none.stringValue(), Zat::String("none"));
   EXPECT_EQ(strepOf(none), "'none'");
   EXPECT_EQ(streamed(none), "none");
   EXPECT_THROW(none.vni(), Zat::PreconditionException);

   VniOrNone const some = Vni(5000);
   EXPECT_FALSE(some.isNone());
   EXPECT_EQ(some.vni(), Vni(5000));
   EXPECT_EQ(some.stringValue(), Zat::String("5000"));
   EXPECT_EQ(strepOf(some), "5000");
   EXPECT_EQ(streamed(some), "5000");

   for (VniOrNone const& v : {none, some, VniOrNone(Vni(0)), VniOrNone(Vni(16777215))}) {
      EXPECT_EQ(strepToValue<VniOrNone>(valueToStrep(v).view()), v) << v;
      EXPECT_EQ(VniOrNone(v.stringValue().view()), v) << v;
   }
   EXPECT_EQ(VniOrNone("none"), none);
   EXPECT_EQ(VniOrNone("5000"), some);

   EXPECT_EQ(rangeError([] { VniOrNone{"NONE"}; }), "invalid VniOrNone 'NONE': expected 'none' or a number");
   EXPECT_EQ(rangeError([] { VniOrNone{""}; }), "invalid VniOrNone '': expected 'none' or a number");
   EXPECT_EQ(rangeError([] { VniOrNone{"none "}; }),
             "invalid VniOrNone 'none ': expected 'none' or a number");
   EXPECT_EQ(rangeError([] { VniOrNone{"16777216"}; }),
             "invalid Vni '16777216': number 16777216 out of range 0..16777215 at offset 0");
   EXPECT_EQ(rangeError([] { strepToValue<VniOrNone>("none"); }), "expected a Vni or 'none' at offset 0");
   EXPECT_EQ(rangeError([] { strepToValue<VniOrNone>("'NONE'"); }), "expected a Vni or 'none' at offset 0");
   EXPECT_EQ(rangeError([] { strepToValue<VniOrNone>("'none"); }), "unterminated string at offset 0");
   EXPECT_EQ(rangeError([] { strepToValue<VniOrNone>("'none'x"); }),
             "unexpected text 'x' after value at offset 6");
   for (std::string_view bad : {"none", "'NONE'", "'none", "16777216", "-1", "''"}) {
      expectParseFailsUntouched(bad, VniOrNone(Vni(9)));
      expectParseFailsUntouched(bad, VniOrNone());
   }

   std::vector<VniOrNone> const expected = {none, VniOrNone(Vni(0)), VniOrNone(Vni(1)),
                                            VniOrNone(Vni(16777215))};
   std::vector<VniOrNone> sorted(expected.rbegin(), expected.rend());
   std::sort(sorted.begin(), sorted.end());
   EXPECT_EQ(sorted, expected);
   EXPECT_NE(none, VniOrNone(Vni(0)));

   // None hashes as the word 0xffffffff; a Vni as itself.
   EXPECT_EQ(none.hash(0), 0x76293b50u);
   EXPECT_EQ(some.hash(0), 0x5d9c04edu);
   Zat::Hash h(0);
   hashAttrInto(h, none);
   EXPECT_EQ(h.result(), 0x8d1165d9u);
   VniOrNone const otherNone;
   EXPECT_TRUE(VniOrNone::isEq(&none, &otherNone));
   EXPECT_FALSE(VniOrNone::isEq(&none, &some));
}

TEST(IpkitVrfName, BoundTextAndOrder) {
   VrfName const red("red");
   EXPECT_EQ(red.stringValue(), Zat::String("red"));
   EXPECT_EQ(strepOf(red), "'red'");
   EXPECT_EQ(streamed(red), "red");
   EXPECT_EQ(strepOf(VrfName()), "''");
   EXPECT_EQ(strepOf(VrfName("it's")), "'it\\'s'");
   EXPECT_TRUE(VrfName().empty());

   std::string const longest(100, 'v');
   std::string const tooLong(101, 'v');
   Zat::String const tooLongText = Zat::valueToStrep(std::string_view(tooLong));
   EXPECT_EQ(VrfName(longest).size(), 100u);
   EXPECT_EQ(rangeError([&] { VrfName{tooLong}; }), "Zat::String::bytes > maxLength() not allowed");
   EXPECT_EQ(rangeError([&] { strepToValue<VrfName>(tooLongText.view()); }),
             "Zat::String::bytes > maxLength() not allowed");
   // Escapes count as the one byte they stand for.
   std::string const escaped = "'" + std::string(99, 'v') + "\\x00'";
   EXPECT_EQ(strepToValue<VrfName>(escaped).size(), 100u);

   for (VrfName const& v :
        {red, VrfName(), VrfName(longest), VrfName(std::string_view("a\0b\xff\n'\\", 7))}) {
      EXPECT_EQ(strepToValue<VrfName>(valueToStrep(v).view()), v);
   }
   EXPECT_EQ(rangeError([] { strepToValue<VrfName>("red"); }), "expected a quoted string at offset 0");
   EXPECT_EQ(rangeError([] { strepToValue<VrfName>("'red"); }), "unterminated string at offset 0");
   EXPECT_EQ(rangeError([] { strepToValue<VrfName>("'red'x"); }),
             "unexpected text 'x' after value at offset 5");
   for (std::string_view bad :
        {std::string_view("red"), std::string_view("'red"), std::string_view(escaped).substr(1)}) {
      expectParseFailsUntouched(bad, red);
   }
   Zat::CharRange r(tooLongText.view());
   VrfName v = red;
   EXPECT_THROW(sequenceToValue(r, &v), Zat::RangeException);
   EXPECT_EQ(v, red);
   EXPECT_EQ(r.offset(), 0u);

   // Bytewise, unsigned: a high byte sorts after 'z'.
   std::vector<VrfName> const expected = {VrfName(),    VrfName("a"), VrfName("ab"),
                                          VrfName("b"), VrfName("z"), VrfName("\xff")};
   std::vector<VrfName> sorted(expected.rbegin(), expected.rend());
   std::sort(sorted.begin(), sorted.end());
   EXPECT_EQ(sorted, expected);

   EXPECT_EQ(red.hash(0), 0xeb5026fdu);
   EXPECT_EQ(red.hash(9), 0x530af57cu);
   Zat::Hash h(9);
   hashAttrInto(h, red);
   EXPECT_EQ(h.result(), 0x530af57cu);
   std::unordered_set<VrfName> names{red, VrfName("red"), VrfName("blue")};
   EXPECT_EQ(names.size(), 2u);
   VrfName const blue("blue");
   EXPECT_TRUE(VrfName::isEq(&red, &red));
   EXPECT_FALSE(VrfName::isEq(&red, &blue));
}
