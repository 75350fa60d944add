#include <gtest/gtest.h>

#include <string>
#include <type_traits>

#include "Ipkit/EthAddr.h"
#include "Ipkit/IpGenAddr.h"
#include "Ipkit/IpGenPrefix.h"
#include "Zat/Exception.h"
#include "Zat/Strep.h"
#include "support/TextChecks.h"

using namespace Ipkit;
using Zat::strepToValue;

using namespace testing_text;

TEST(IpkitIpGenAddr, TextConstructorReadsAnySpellingTextFormOnlyTheCanonical) {
   std::pair<char const*, char const*> const cases[] = {
       {"10.0.0.1", "10.0.0.1"},
       {"2001:0db8:0:0:0:0:0:1", "2001:db8::1"},
       {"2001:DB8::A", "2001:db8::a"},
       // The longest run of zero fields is the one compressed; of equal runs, the first.
       {"fe80:0:0:1:0:0:0:1", "fe80:0:0:1::1"},
       {"2001:db8:0:0:1:0:0:1", "2001:db8::1:0:0:1"},
       {"::", "::"},
       {"::FFFF:a00:1", "::ffff:10.0.0.1"},
       {"", ""},
   };
   for (auto const& [in, out] : cases) {
      IpGenAddr const a(in);
      EXPECT_EQ(streamed(a), out);
      EXPECT_EQ(strepOf(a), quoted(out)) << in;
      EXPECT_EQ(strepToValue<IpGenAddr>(valueToStrep(a).view()), a) << in;
      if (std::string_view(in) == out) continue;
      EXPECT_EQ(rangeError([&] { strepToValue<IpGenAddr>(strepOf(in)); }),
                "non-canonical IP address " + quoted(in) + ": expected " + quoted(out) + " at offset 0");
      expectParseFailsUntouched(strepOf(in), IpGenAddr("1.2.3.4"));
   }
   EXPECT_TRUE(IpGenAddr("").family() == ipFamilyNone && IpGenAddr("::").family() == ipFamilyV6);
   IpGenAddr const a("10.1.2.3");
   EXPECT_EQ(a.family(), ipFamilyV4);
   EXPECT_EQ(a.v4Addr(), 0x0A010203u);
   EXPECT_EQ(IpGenAddr::v6({0x20, 0x01, 0x0d, 0xb8, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1}),
             IpGenAddr("2001:db8::1"));
   // The mapped form stays IPv6: its bytes are not the IPv4 address's.
   EXPECT_EQ(IpGenAddr("::ffff:10.1.2.3").v4Addr(), 0u);
}

TEST(IpkitIpGenAddr, MalformedTextIsRefused) {
   for (std::string_view bad :
        {"10.0.0.256", "10.0.0", "010.0.0.1", " 10.0.0.1", "10.0.0.1/8", "1:2:3:4:5:6:7:8:9", "2001:db8:::1",
         "::ffff:10.0.0.256", "localhost", "0x0a000001", "fe80::1%eth0"}) {
      EXPECT_EQ(rangeError([&] { IpGenAddr{bad}; }), "invalid IP address " + quoted(bad));
      expectParseFailsUntouched(strepOf(bad), IpGenAddr("1.2.3.4"));
   }
   // inet_pton stops at a NUL; the bytes after it must not be ignored.
   EXPECT_EQ(rangeError([&] { IpGenAddr{std::string_view("10.0.0.1\0junk", 13)}; }),
             "invalid IP address '10.0.0.1\\x00junk'");
   EXPECT_EQ(rangeError([] { strepToValue<IpGenAddr>("'10.0.0.x'"); }),
             "invalid IP address '10.0.0.x' at offset 0");
   EXPECT_EQ(rangeError([] { strepToValue<IpGenAddr>("10.0.0.1"); }), "expected a quoted string at offset 0");
}

TEST(IpkitIpGenAddr, OrderAndHash) {
   expectSorted<IpGenAddr>({IpGenAddr(), IpGenAddr("0.0.0.0"), IpGenAddr("10.0.0.2"), IpGenAddr("10.0.1.0"),
                            IpGenAddr("128.0.0.0"), IpGenAddr("::"), IpGenAddr("::ffff:0.0.0.1"),
                            IpGenAddr("ff02::1")});
   // Equal bytes, different families: never equal.
   EXPECT_NE(IpGenAddr(), IpGenAddr("0.0.0.0"));
   EXPECT_NE(IpGenAddr("0.0.0.0"), IpGenAddr("::"));
   IpGenAddr const a("10.0.0.1"), same("10.0.0.1"), other("::1");
   EXPECT_TRUE(IpGenAddr::isEq(&a, &same) && !IpGenAddr::isEq(&a, &other));

   // Murmur3 x86/32 of the address bytes, worked out apart from this library; as an attribute, of that
   // hash's four bytes. The family takes no part: all-zero addresses of every family collide, by design.
   EXPECT_EQ(IpGenAddr("2001:db8::1").addrHash(), 0xbc42cf98u);
   EXPECT_EQ(a.hash(0), 0xce0b1432u);
   EXPECT_TRUE(std::hash<IpGenAddr>()(a) == 0xce0b1432u && std::hash<IpGenAddr>()(same) == 0xce0b1432u);
   EXPECT_NE(a.hash(1), 0xce0b1432u);
   EXPECT_EQ(IpGenAddr().addrHash(), IpGenAddr("::").addrHash());
   EXPECT_EQ(IpGenAddr("0.0.0.0").addrHash(), IpGenAddr("::").addrHash());
   EXPECT_EQ(attrHash(IpGenAddr("2001:db8::1"), 7), 0xf970053du);
}

TEST(IpkitIpGenPrefix, TextConstructorClearsHostBitsTextFormRefusesThem) {
   std::pair<char const*, char const*> const cases[] = {
       {"10.0.0.0/8", "10.0.0.0/8"},
       {"10.255.255.255/9", "10.128.0.0/9"},
       {"10.1.2.3/31", "10.1.2.2/31"},
       {"192.168.1.77/0", "0.0.0.0/0"},
       {"2001:0DB8:ffff::1/33", "2001:db8:8000::/33"},
       {"2001:db8::1/127", "2001:db8::/127"},
       {"::ffff:10.0.0.1/120", "::ffff:10.0.0.0/120"},
       {"", ""},
   };
   for (auto const& [in, out] : cases) {
      IpGenPrefix const p(in);
      EXPECT_EQ(streamed(p), out);
      EXPECT_EQ(strepOf(p), quoted(out));
      EXPECT_EQ(strepToValue<IpGenPrefix>(valueToStrep(p).view()), p) << in;
      if (std::string_view(in) == out) continue;
      EXPECT_EQ(rangeError([&] { strepToValue<IpGenPrefix>(strepOf(in)); }),
                "non-canonical IP prefix " + quoted(in) + ": expected " + quoted(out) + " at offset 0");
      expectParseFailsUntouched(strepOf(in), IpGenPrefix("10.0.0.0/8"));
   }
   EXPECT_EQ(IpGenPrefix("10.1.2.3/31").length(), 31u);
   EXPECT_EQ(IpGenPrefix(IpGenAddr("2001:db8:1234::1"), 36), IpGenPrefix("2001:db8:1000::/36"));
   EXPECT_EQ(IpGenPrefix(IpGenAddr(), 0), IpGenPrefix());
}

TEST(IpkitIpGenPrefix, MalformedTextIsRefused) {
   std::pair<char const*, char const*> const cases[] = {
       {"10.0.0.0", "expected address/length"},
       {"10.0.0.0/33", "prefix length 33 out of range 0..32 for IPv4"},
       {"::/129", "prefix length 129 out of range 0..128 for IPv6"},
       {"/8", "invalid IP address ''"},
       {"10.0.0.0 /8", "invalid IP address '10.0.0.0 '"},
       {"10.0.0.0//8", "invalid prefix length '/8'"},
       {"10.0.0.0/", "invalid prefix length ''"},
       {"10.0.0.0/+8", "invalid prefix length '+8'"},
       {"10.0.0.0/08", "invalid prefix length '08': expected '8'"},
       {"10.0.0.0/0008", "invalid prefix length '0008'"},
       {"10.0.0.0/4294967304", "invalid prefix length '4294967304'"},
   };
   for (auto const& [in, why] : cases) {
      std::string const message = "invalid IP prefix " + quoted(in) + ": " + why;
      EXPECT_EQ(rangeError([&] { IpGenPrefix{in}; }), message);
      EXPECT_EQ(rangeError([&] { strepToValue<IpGenPrefix>(strepOf(in)); }), message + " at offset 0");
      expectParseFailsUntouched(strepOf(in), IpGenPrefix("10.0.0.0/8"));
   }
   EXPECT_EQ(rangeError([] { IpGenPrefix(IpGenAddr("::"), 129); }),
             "prefix length 129 out of range 0..128 for IPv6");
   EXPECT_EQ(rangeError([] { IpGenPrefix(IpGenAddr(), 8); }), "prefix length 8 given without an address");
   EXPECT_EQ(rangeError([] { strepToValue<IpGenPrefix>("'10.0.0.0/8"); }), "unterminated string at offset 0");
}

TEST(IpkitIpGenPrefix, OrdersByFamilyThenBytesThenLength) {
   expectSorted<IpGenPrefix>({IpGenPrefix(), IpGenPrefix("0.0.0.0/0"), IpGenPrefix("10.0.0.0/8"),
                              IpGenPrefix("10.0.0.0/16"),
                              // Bytes decide before length: 10.0.0.0/30 is before 10.0.1.0/24.
                              IpGenPrefix("10.0.0.0/30"), IpGenPrefix("10.0.1.0/24"), IpGenPrefix("::/0"),
                              IpGenPrefix("::/128"), IpGenPrefix("2001:db8::/32")});
   IpGenPrefix const a("10.0.0.0/8"), same("10.0.0.0/8"), other("10.0.0.0/9");
   EXPECT_TRUE(IpGenPrefix::isEq(&a, &same) && !IpGenPrefix::isEq(&a, &other));
   EXPECT_NE(IpGenPrefix("0.0.0.0/0"), IpGenPrefix("::/0"));
}

TEST(IpkitIpGenPrefix, ContainsAndDefaultRoute) {
   IpGenPrefix const ten("10.0.0.0/8"), odd("10.128.0.0/9");
   // Both ends of the range, the neighbours outside it, and the same bytes in another family.
   for (char const* in : {"10.0.0.0", "10.255.255.255"}) EXPECT_TRUE(ten.contains(IpGenAddr(in))) << in;
   for (char const* out : {"9.255.255.255", "11.0.0.0", "::ffff:10.0.0.1"}) {
      EXPECT_FALSE(ten.contains(IpGenAddr(out))) << out;
   }
   EXPECT_TRUE(odd.contains(IpGenAddr("10.200.0.0")));
   EXPECT_FALSE(odd.contains(IpGenAddr("10.127.255.255")));
   EXPECT_FALSE(IpGenPrefix("2001:db8::/32").contains(IpGenAddr("2001:db9::1")));
   EXPECT_TRUE(ten.contains(IpGenPrefix("10.1.0.0/16")) && ten.contains(ten));
   // The address of the wider prefix lies inside, but the prefix does not.
   EXPECT_FALSE(IpGenPrefix("10.0.0.0/16").contains(ten));
   EXPECT_FALSE(IpGenPrefix("0.0.0.0/0").contains(IpGenPrefix("::/0")));
   EXPECT_TRUE(IpGenPrefix("::/0").isDefaultRoutePrefix());
   EXPECT_TRUE(IpGenPrefix("::/0").contains(IpGenAddr("::ffff:10.0.0.1")));
   EXPECT_FALSE(ten.isDefaultRoutePrefix() || IpGenPrefix().isDefaultRoutePrefix());
   // The no-family prefix holds nothing, not even itself.
   EXPECT_FALSE(IpGenPrefix().contains(IpGenAddr()) || IpGenPrefix().contains(IpGenPrefix()));
}

TEST(IpkitIpGenPrefix, SingleFamilyViews) {
   IpGenPrefix const gen4("10.0.0.0/8"), gen6("2001:db8::/32");
   Ip4Prefix const p4 = gen4.v4Prefix();
   EXPECT_EQ(p4.v4Addr(), 0x0A000000u);
   EXPECT_FALSE(p4.contains(IpGenAddr("2001:db8::1")));
   EXPECT_EQ(IpGenPrefix(p4), gen4);
   EXPECT_EQ(gen6.v6Prefix().genPrefix(), gen6);
   EXPECT_EQ(streamed(p4), "10.0.0.0/8");
   EXPECT_EQ(streamed(gen6.v6Prefix()), "2001:db8::/32");
   EXPECT_EQ(Ip6Prefix().stringValue(), Zat::String("::/0"));
   EXPECT_EQ(Ip4Prefix().stringValue(), Zat::String("0.0.0.0/0"));
   EXPECT_EQ(Ip4Prefix(IpGenAddr("10.1.2.3"), 16), Ip4Prefix("10.1.0.0/16"));
   EXPECT_THROW(gen6.v4Prefix(), Zat::PreconditionException);
   EXPECT_THROW(gen4.v6Prefix(), Zat::PreconditionException);
   EXPECT_THROW(IpGenPrefix().v4Prefix(), Zat::PreconditionException);
   EXPECT_EQ(rangeError([] { Ip4Prefix(IpGenAddr("::1"), 8); }),
             "Ip4Prefix needs an IPv4 address, not '::1'");
   EXPECT_EQ(rangeError([] { Ip6Prefix(IpGenAddr(), 0); }), "Ip6Prefix needs an IPv6 address, not ''");
   EXPECT_EQ(rangeError([] { Ip4Prefix{"2001:db8::/32"}; }), "invalid IPv4 prefix '2001:db8::/32'");
   EXPECT_EQ(rangeError([] { Ip6Prefix{""}; }), "invalid IPv6 prefix ''");
}

TEST(IpkitIpGenPrefix, HashContributionsMatchHandArithmetic) {
   // 10.0.0.0/8: a = 0x0a000000; t = (8 ^ a) * 32767 - 1 = 0xf603fff7; (t ^ t >> 12 = 0xf60c9fc8) * 5 =
   // 0xce3f1ee8; (t ^ t >> 4 = 0xc2dcef06) * 2057 = 0xc13c9736; t ^ t >> 16 = 0xc13c560a.
   EXPECT_EQ(IpGenPrefix("10.0.0.0/8").hashContribution(), 0xc13c560au);
   // 2001:db8::/32: a = Murmur3 of the 16 bytes = 0x4779d168, the same steps from length ^ a = 0x4779d148
   EXPECT_EQ(IpGenPrefix("2001:db8::/32").hashContribution(), 0x41caededu);
   EXPECT_EQ(IpGenPrefix().hashContribution(), 0u);
   // The contribution goes in as one word: Murmur3 of its four bytes.
   EXPECT_EQ(IpGenPrefix("10.0.0.0/8").hash(0), 0x0dd0c2d6u);
   EXPECT_EQ(attrHash(IpGenPrefix("10.0.0.0/8"), 3), 0x11c02149u);
}

TEST(IpkitEthAddr, TextForms) {
   EthAddr const a("00:1c:73:0a:0b:0c");
   EXPECT_EQ(a.bytes(), (EthAddr::Bytes{0x00, 0x1c, 0x73, 0x0a, 0x0b, 0x0c}));
   EXPECT_EQ(strepOf(a), "'00:1c:73:0a:0b:0c'");
   EXPECT_EQ(streamed(a), "00:1c:73:0a:0b:0c");
   EXPECT_EQ(strepOf(SystemId(a)), "'00:1c:73:0a:0b:0c'");
   for (EthAddr const& e : {a, EthAddr(), EthAddr("ff:ff:ff:ff:ff:ff")}) {
      EXPECT_EQ(strepToValue<EthAddr>(valueToStrep(e).view()), e);
      EXPECT_EQ(strepToValue<SystemId>(valueToStrep(e).view()), SystemId(e));
   }
   // The text constructors also read upper case and the dotted form; the text form does not.
   for (std::string_view same : {"00:1C:73:0A:0B:0C", "001c.730a.0b0c", "001C.730A.0B0C"}) {
      EXPECT_EQ(EthAddr(same), a) << same;
      EXPECT_EQ(SystemId(same), SystemId(a)) << same;
      std::string const expected = quoted(same) + ": expected '00:1c:73:0a:0b:0c' at offset 0";
      EXPECT_EQ(rangeError([&] { strepToValue<EthAddr>(strepOf(same)); }),
                "non-canonical Ethernet address " + expected);
      EXPECT_EQ(rangeError([&] { strepToValue<SystemId>(strepOf(same)); }),
                "non-canonical system id " + expected);
      expectParseFailsUntouched(strepOf(same), SystemId(EthAddr("00:00:00:00:00:01")));
   }
   // Distinct types: neither converts to the other without saying so.
   static_assert(!std::is_convertible_v<EthAddr, SystemId>);
   static_assert(!std::is_convertible_v<SystemId, EthAddr>);
}

TEST(IpkitEthAddr, MalformedTextIsRefused) {
   for (std::string_view bad :
        {"", "00:1c:73:0a:0b", "00:1c:73:0a:0b:0c:0d", "00-1c-73-0a-0b-0c", "0:1c:73:0a:0b:0c",
         "00:1c:73:0a:0b:0g", "00:1c:73:0a:0b0:c", "001c:730a:0b0c", " 001c.730a.0b0c", "001c730a0b0c",
         "001c.730a:0b0c", "0x1c.730a.0b0c"}) {
      EXPECT_EQ(rangeError([&] { EthAddr{bad}; }), "invalid Ethernet address " + quoted(bad));
      EXPECT_EQ(rangeError([&] { SystemId{bad}; }), "invalid system id " + quoted(bad));
      expectParseFailsUntouched(strepOf(bad), SystemId("00:00:00:00:00:01"));
   }
   EXPECT_EQ(rangeError([] { strepToValue<EthAddr>("'00:1c:73:0a:0b:0x'"); }),
             "invalid Ethernet address '00:1c:73:0a:0b:0x' at offset 0");
   EXPECT_EQ(rangeError([] { strepToValue<SystemId>("'00:1c:73:0a:0b'"); }),
             "invalid system id '00:1c:73:0a:0b' at offset 0");
}

TEST(IpkitEthAddr, OrderAndHash) {
   expectSorted<EthAddr>(
       {EthAddr(), EthAddr("00:00:00:00:00:ff"), EthAddr("00:00:00:00:01:00"), EthAddr("ff:00:00:00:00:00")});
   EXPECT_LT(SystemId("00:00:00:00:00:ff"), SystemId("00:00:00:00:01:00"));
   // Murmur3 x86/32 of the six bytes, worked out apart from this library; as an attribute, of that hash.
   EthAddr const a("00:1c:73:0a:0b:0c"), other("00:1c:73:0a:0b:0d");
   EXPECT_TRUE(EthAddr::isEq(&a, &a) && !EthAddr::isEq(&a, &other));
   EXPECT_TRUE(SystemId::isEq(&a, &a) && !SystemId::isEq(&a, &other));
   EXPECT_EQ(a.hash(5), 0x4d0ae77au);
   EXPECT_EQ(std::hash<EthAddr>()(a), 0x1a306d21u);
   EXPECT_EQ(std::hash<SystemId>()(SystemId(a)), 0x1a306d21u);
   EXPECT_EQ(attrHash(SystemId(a)), 0x5bfbd3d2u);
}
