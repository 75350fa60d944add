// The common match values: construction, comparison, ordering, hashing, text forms and the operator text
// of a flow match.
#include <gtest/gtest.h>

#include <sstream>

#include "Vel/VelL3CommonLocalTypes.h"
#include "support/TextChecks.h"

using namespace VelL3Common;
using Ipkit::IpGenAddr;
using Ipkit::IpGenPrefix;
using Zat::String;

using testing_text::rangeError;

TEST(VelL3CommonValues, L4AppBasics) {
   EXPECT_FALSE(bool(L4App()));
   EXPECT_TRUE(bool(L4App(0, 80)));
   EXPECT_TRUE(bool(L4App(6, 0)));
   EXPECT_EQ(L4App(6, 80), L4App(6, 80));
   EXPECT_NE(L4App(6, 80), L4App(17, 80));
   EXPECT_TRUE(L4App(6, 443) < L4App(17, 53));  // proto decides first
   EXPECT_TRUE(L4App(6, 80) < L4App(6, 443));
   EXPECT_FALSE(L4App(6, 80) < L4App(6, 80));
   EXPECT_EQ(valueToStrep(L4App(6, 80)), String("Value('VelL3Common::L4App', ** {'proto': 6, 'port': 80})"));
   std::ostringstream os;
   os << L4App(17, 53);
   EXPECT_EQ(os.str(), "Value('VelL3Common::L4App', ** {'proto': 17, 'port': 53})");
   EXPECT_EQ(Zat::strepToValue<L4App>("Value('VelL3Common::L4App', ** {'proto': 255, 'port': 65535})"),
             L4App(255, 65535));
}

TEST(VelL3CommonValues, L4AppRangeOrdersAttributeByAttribute) {
   EXPECT_TRUE(L4AppRange(17, 53, 53) < L4AppRange(17, 53, 54));
   EXPECT_FALSE(L4AppRange(17, 53, 54) < L4AppRange(17, 53, 53));
   EXPECT_TRUE(L4AppRange(17, 52, 60) < L4AppRange(17, 53, 53));
   EXPECT_TRUE(L4AppRange(6, 100, 200) < L4AppRange(17, 1, 2));
   L4AppRange dns(17, 53, 53);
   String text = valueToStrep(dns);
   EXPECT_EQ(text, String("Value('VelL3Common::L4AppRange', ** {'proto': 17, 'startPort': 53, 'endPort': 53})"));
   EXPECT_EQ(Zat::strepToValue<L4AppRange>(text.view()), dns);
   // Nothing checks that a range is the right way round: it is a plain pair.
   L4AppRange backwards(6, 90, 80);
   EXPECT_EQ(Zat::strepToValue<L4AppRange>(valueToStrep(backwards).view()), backwards);
}

TEST(VelL3CommonValues, IpRangeOrdersByStartThenEnd) {
   IpGenAddr a("10.0.0.1"), b("10.0.0.5"), c("10.0.0.9");
   EXPECT_TRUE(IpRange(a, b) < IpRange(a, c));
   EXPECT_FALSE(IpRange(a, c) < IpRange(a, b));
   EXPECT_FALSE(IpRange(a, b) < IpRange(a, b));
   EXPECT_TRUE(IpRange(a, c) < IpRange(b, b));
   // No family orders before IPv4, which orders before IPv6.
   EXPECT_TRUE(IpRange() < IpRange(a, a));
   EXPECT_TRUE(IpRange(a, a) < IpRange(IpGenAddr("::1"), IpGenAddr("::1")));
   EXPECT_FALSE(bool(IpRange()));
   EXPECT_TRUE(bool(IpRange(IpGenAddr(), a)));
   for (IpRange r : {IpRange(), IpRange(a, c), IpRange(IpGenAddr("2001:db8::1"), IpGenAddr("2001:db8::ff")),
                     IpRange(IpGenAddr(), IpGenAddr("::"))}) {
      EXPECT_EQ(Zat::strepToValue<IpRange>(valueToStrep(r).view()), r) << valueToStrep(r);
   }
   EXPECT_EQ(valueToStrep(IpRange(a, IpGenAddr("2001:db8::1"))),
             String("Value('VelL3Common::IpRange', ** {'startIp': '10.0.0.1', 'endIp': '2001:db8::1'})"));
   EXPECT_EQ(valueToStrep(IpRange()), String("Value('VelL3Common::IpRange', ** {'startIp': '', 'endIp': ''})"));
}

TEST(VelL3CommonValues, MalformedTextIsRefused) {
   auto l4 = [](std::string_view t) { return [t] { return Zat::strepToValue<L4App>(t); }; };
   // Attributes in the wrong order fail at the first attribute literal.
   EXPECT_EQ(rangeError(l4("Value('VelL3Common::L4App', ** {'port': 80, 'proto': 6})")),
             "expected '\\'proto\\': ' at offset 32");
   EXPECT_EQ(rangeError(l4("Value('VelL3Common::L4App', ** {'proto': 6, 'port': 80}) ")),
             "unexpected text ' ' after value at offset 56");
   EXPECT_EQ(rangeError(l4("Value('VelL3Common::L4App', ** {'proto': 6, 'port': 80}")),
             "expected '})' at offset 54");
   EXPECT_EQ(rangeError(l4("Value('VelL3Common::L4App', ** {'proto': 6,  'port': 80})")),
             "expected ', \\'port\\': ' at offset 42");
   EXPECT_EQ(rangeError(l4("Value('VelL3Common::L4App', ** {'proto': 256, 'port': 80})")),
             "attribute 'proto': number 256 out of range 0..255 at offset 41");
   EXPECT_EQ(rangeError(l4("Value('VelL3Common::L4App', ** {'proto': 6, 'port': 65536})")),
             "attribute 'port': number 65536 out of range 0..65535 at offset 52");
   EXPECT_EQ(rangeError(l4("Value('VelL3Common::L4AppRange', ** {'proto': 6, 'port': 80})")),
             "expected 'Value(\\'VelL3Common::L4App\\', ** {' at offset 0");
   EXPECT_EQ(rangeError(l4("")), "expected 'Value(\\'VelL3Common::L4App\\', ** {' at offset 0");
   std::string bad = rangeError([] {
      return Zat::strepToValue<IpRange>("Value('VelL3Common::IpRange', ** {'startIp': '10.0.0.256', 'endIp': ''})");
   });
   EXPECT_EQ(bad.rfind("attribute 'startIp': ", 0), 0u) << bad;
   EXPECT_NE(bad.find("10.0.0.256"), std::string::npos) << bad;
   bad = rangeError([] {
      return Zat::strepToValue<Match>(
          "Value('VelL3Common::Match', ** {'srcGroup': '', 'dstGroup': '', 'srcIp': '10.0.0.0/33', 'dstIp': '', "
          "'ipProto': 0, 'srcL4': 0, 'dstL4': 0, 'etherType': 0})");
   });
   EXPECT_EQ(bad.rfind("attribute 'srcIp': ", 0), 0u) << bad;
}

TEST(VelL3CommonValues, MatchTextFormAndOrdering) {
   Match m;
   EXPECT_FALSE(bool(m));
   EXPECT_EQ(valueToStrep(m), String("Value('VelL3Common::Match', ** {'srcGroup': '', 'dstGroup': '', 'srcIp': '', "
                                     "'dstIp': '', 'ipProto': 0, 'srcL4': 0, 'dstL4': 0, 'etherType': 0})"));
   EXPECT_EQ(Zat::strepToValue<Match>(valueToStrep(m).view()), m);
   m.srcGroupIs("web");
   m.dstGroupIs("d'b");
   m.srcIpIs(IpGenPrefix("10.0.0.0/8"));
   m.dstIpIs(IpGenPrefix("2001:db8::/32"));
   m.ipProtoIs(6);
   m.srcL4Is(1024);
   m.dstL4Is(443);
   m.etherTypeIs(0x0800);
   EXPECT_TRUE(bool(m));
   String text = valueToStrep(m);
   EXPECT_EQ(text, String("Value('VelL3Common::Match', ** {'srcGroup': 'web', 'dstGroup': 'd\\'b', 'srcIp': "
                          "'10.0.0.0/8', 'dstIp': '2001:db8::/32', 'ipProto': 6, 'srcL4': 1024, 'dstL4': 443, "
                          "'etherType': 2048})"));
   EXPECT_EQ(Zat::strepToValue<Match>(text.view()), m);

   Match n = m;
   n.etherTypeIs(0x86dd);
   EXPECT_NE(m, n);
   EXPECT_TRUE(m < n);
   EXPECT_FALSE(n < m);
   n = m;
   n.srcGroupIs("web2");  // groups compare first, bytewise
   n.ipProtoIs(1);
   EXPECT_TRUE(m < n);
   n = m;
   n.srcIpIs(IpGenPrefix("10.0.0.0/16"));  // same address, longer prefix orders after
   EXPECT_TRUE(m < n);
}

TEST(VelL3CommonValues, HashContributionsFollowAttributeKinds) {
   // Each kind contributes its own way: 8- and 16-bit numbers through hashSingleAttr, addresses through the
   // hash of their 16 bytes, prefixes through the prefix formula, strings their bytes, EthType its raw value.
   L4App app(6, 443);
   EXPECT_EQ(app.hash(17), Zat::Hash(17)
                               .hashMix<4>(Zat::hashSingleAttr(0, std::uint8_t(6)))
                               .hashMix<4>(Zat::hashSingleAttr(0, std::uint16_t(443)))
                               .result());
   IpGenAddr a("10.1.2.3"), b("2001:db8::7");
   EXPECT_EQ(IpRange(a, b).hash(0), Zat::Hash(0).hashMix<4>(a.addrHash()).hashMix<4>(b.addrHash()).result());

   Match m;
   m.srcGroupIs("web");
   m.dstIpIs(IpGenPrefix("10.0.0.0/8"));
   m.dstL4Is(443);
   m.etherTypeIs(0x0800);
   Zat::Hash h(99);
   h.mixNi("web", 3)
       .mixNi("", 0)
       .hashMix<4>(0)  // srcIp of no family contributes 0
       .hashMix<4>(IpGenPrefix("10.0.0.0/8").hashContribution())
       .hashMix<4>(Zat::hashSingleAttr(0, std::uint8_t(0)))
       .hashMix<4>(Zat::hashSingleAttr(0, std::uint16_t(0)))
       .hashMix<4>(Zat::hashSingleAttr(0, std::uint16_t(443)))
       .hashMix<4>(0x0800);
   EXPECT_EQ(m.hash(99), h.result());
   // Equal values hash alike for the same seed; the seed matters.
   Match copy = m;
   EXPECT_EQ(copy.hash(3), m.hash(3));
   EXPECT_NE(m.hash(3), m.hash(4));
}

TEST(VelL3CommonValues, MatchStringValue) {
   Match m;
   EXPECT_EQ(m.stringValue(), String(""));
   m.dstL4Is(443);
   EXPECT_EQ(m.stringValue(), String("Dst L4: 443 "));
   Match g;
   g.srcGroupIs("web");
   g.dstIpIs(IpGenPrefix("10.0.0.0/8"));
   EXPECT_EQ(g.stringValue(), String("Src Group: web Dst IP: 10.0.0.0/8 "));
   Match all;
   all.srcGroupIs("a b");
   all.dstGroupIs("db");
   all.srcIpIs(IpGenPrefix("2001:db8::/32"));
   all.dstIpIs(IpGenPrefix("0.0.0.0/0"));  // a default route is a real prefix, not the default value
   all.ipProtoIs(17);
   all.srcL4Is(5353);
   all.dstL4Is(53);
   all.etherTypeIs(0x86dd);
   EXPECT_EQ(all.stringValue(), String("Src Group: a b Src IP: 2001:db8::/32 Dst Group: db Dst IP: 0.0.0.0/0 "
                                       "IP proto: 17 Src L4: 5353 Dst L4: 53 EtherType: 0x86dd "));
   // The type table registers stringValue as the ninth attribute, id 10.
   auto const* fn = Match::typeInfo().attr(10);
   ASSERT_NE(fn, nullptr);
   EXPECT_EQ(fn->name, "stringValue");
   EXPECT_EQ(fn->kind, Zat::AttrKind::function);
}
