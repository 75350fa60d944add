#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <type_traits>
#include <unordered_set>
#include <vector>

#include "Ipkit/EthAddr.h"
#include "Ipkit/IpGenAddr.h"
#include "Ipkit/IpGenPrefix.h"
#include "Zat/Exception.h"
#include "Zat/Hash.h"
#include "Zat/Strep.h"
#include "support/TextChecks.h"

using namespace Ipkit;
using Zat::strepToValue;

using namespace testing_text;

TEST(IpkitIpGenAddr, TextFormsAreCanonical) {
   struct Case {
      char const* in;
      char const* out;
      IpFamily family;
   };
   Case const cases[] = {
       {"10.0.0.1", "10.0.0.1", ipFamilyV4},
       {"0.0.0.0", "0.0.0.0", ipFamilyV4},
       {"255.255.255.255", "255.255.255.255", ipFamilyV4},
       {"2001:0db8:0:0:0:0:0:1", "2001:db8::1", ipFamilyV6},
       {"2001:DB8::A", "2001:db8::a", ipFamilyV6},
       // The longest run of zero fields is the one compressed; of equal runs, the first.
       {"fe80:0:0:1:0:0:0:1", "fe80:0:0:1::1", ipFamilyV6},
       {"2001:db8:0:0:1:0:0:1", "2001:db8::1:0:0:1", ipFamilyV6},
       // A single zero field is not compressed.
       {"2001:db8:0:1:1:1:1:1", "2001:db8:0:1:1:1:1:1", ipFamilyV6},
       {"::", "::", ipFamilyV6},
       {"::1", "::1", ipFamilyV6},
       {"::ffff:10.0.0.1", "::ffff:10.0.0.1", ipFamilyV6},
       {"::FFFF:a00:1", "::ffff:10.0.0.1", ipFamilyV6},
       {"", "", ipFamilyNone},
   };
   for (auto const& c : cases) {
      IpGenAddr const a(c.in);
      EXPECT_EQ(a.stringValue(), Zat::String(c.out)) << c.in;
      EXPECT_EQ(a.family(), c.family) << c.in;
      EXPECT_EQ(strepOf(a), quoted(c.out)) << c.in;
      EXPECT_EQ(streamed(a), c.out);
      EXPECT_EQ(strepToValue<IpGenAddr>(valueToStrep(a).view()), a) << c.in;
   }

   IpGenAddr const none;
   EXPECT_EQ(none.family(), ipFamilyNone);
   EXPECT_FALSE(none.isV4());
   EXPECT_FALSE(none.isV6());
   EXPECT_EQ(none.bytes(), IpGenAddr::Bytes{});
   EXPECT_EQ(strepOf(none), "''");
}

TEST(IpkitIpGenAddr, BytesAndFactories) {
   IpGenAddr const a("10.1.2.3");
   EXPECT_TRUE(a.isV4());
   EXPECT_EQ(a.v4Addr(), 0x0A010203u);
   EXPECT_EQ(a, IpGenAddr::v4(0x0A010203u));
   IpGenAddr::Bytes expected{10, 1, 2, 3};
   EXPECT_EQ(a.bytes(), expected);

   IpGenAddr::Bytes b{};
   b[0] = 0x20;
   b[1] = 0x01;
   b[2] = 0x0d;
   b[3] = 0xb8;
   b[15] = 1;
   IpGenAddr const v6 = IpGenAddr::v6(b);
   EXPECT_TRUE(v6.isV6());
   EXPECT_EQ(v6, IpGenAddr("2001:db8::1"));
   EXPECT_EQ(v6.v4Addr(), 0u);
   EXPECT_EQ(IpGenAddr().v4Addr(), 0u);
   // The mapped form stays IPv6: its bytes are not the IPv4 address's.
   EXPECT_EQ(IpGenAddr("::ffff:10.1.2.3").v4Addr(), 0u);
   EXPECT_NE(IpGenAddr("::ffff:10.1.2.3"), a);

   IpGenAddr const same("10.1.2.3");
   EXPECT_TRUE(IpGenAddr::isEq(&a, &same));
   EXPECT_FALSE(IpGenAddr::isEq(&a, &v6));
}

TEST(IpkitIpGenAddr, MalformedTextIsRefused) {
   for (std::string_view bad :
        {"10.0.0.256", "10.0.0", "10.0.0.1.2", " 10.0.0.1", "10.0.0.1 ", "10.0.0.1/8", "1:2:3:4:5:6:7:8:9",
         "2001:db8:::1", "gggg::", "::ffff:10.0.0.256", "localhost", "-1", "0x0a000001", "fe80::1%eth0"}) {
      EXPECT_EQ(rangeError([&] { IpGenAddr{bad}; }), "invalid IP address '" + std::string(bad) + "'");
      expectParseFailsUntouched(Zat::valueToStrep(bad).view(), IpGenAddr("1.2.3.4"));
   }
   // inet_pton stops at a NUL; the bytes after it must not be ignored.
   std::string_view const withNul("10.0.0.1\0junk", 13);
   EXPECT_EQ(rangeError([&] { IpGenAddr{withNul}; }), "invalid IP address '10.0.0.1\\x00junk'");
   EXPECT_THROW(IpGenAddr(std::string(200, '1')), Zat::RangeException);

   EXPECT_EQ(rangeError([] { strepToValue<IpGenAddr>("'10.0.0.x'"); }),
             "invalid IP address '10.0.0.x' at offset 0");
   EXPECT_EQ(rangeError([] { strepToValue<IpGenAddr>("10.0.0.1"); }), "expected a quoted string at offset 0");
   EXPECT_EQ(rangeError([] { strepToValue<IpGenAddr>("'10.0.0.1"); }), "unterminated string at offset 0");
   EXPECT_EQ(rangeError([] { strepToValue<IpGenAddr>("'10.0.0.1'x"); }),
             "unexpected text 'x' after value at offset 10");

   // A good literal moves the range past it, and only past it.
   Zat::CharRange r("'10.0.0.1', rest");
   IpGenAddr a;
   sequenceToValue(r, &a);
   EXPECT_EQ(a, IpGenAddr::v4(0x0A000001));
   EXPECT_EQ(r.rest(), ", rest");
}

TEST(IpkitIpGenAddr, OrdersByFamilyThenBytes) {
   std::vector<IpGenAddr> const expected = {
       IpGenAddr(),
       IpGenAddr("0.0.0.0"),
       IpGenAddr("10.0.0.2"),
       IpGenAddr("10.0.1.0"),
       IpGenAddr("128.0.0.0"),
       IpGenAddr("255.255.255.255"),
       IpGenAddr("::"),
       IpGenAddr("::1"),
       IpGenAddr("::ffff:0.0.0.1"),
       IpGenAddr("2001:db8::1"),
       IpGenAddr("ff02::1"),
   };
   std::vector<IpGenAddr> shuffled(expected.rbegin(), expected.rend());
   std::rotate(shuffled.begin(), shuffled.begin() + 4, shuffled.end());
   std::sort(shuffled.begin(), shuffled.end());
   EXPECT_EQ(shuffled, expected);
   // Equal bytes, different families: never equal.
   EXPECT_NE(IpGenAddr(), IpGenAddr("0.0.0.0"));
   EXPECT_NE(IpGenAddr("0.0.0.0"), IpGenAddr("::"));
   EXPECT_FALSE(IpGenAddr("10.0.0.1") < IpGenAddr("10.0.0.1"));
}

TEST(IpkitIpGenAddr, HashesTheSixteenBytes) {
   // Murmur3 x86/32 of the address bytes, worked out apart from this library.
   EXPECT_EQ(IpGenAddr("2001:db8::1").addrHash(), 0xbc42cf98u);
   EXPECT_EQ(IpGenAddr("10.0.0.1").addrHash(), 0xce0b1432u);
   EXPECT_EQ(IpGenAddr("10.0.0.1").hash(0), 0xce0b1432u);
   EXPECT_NE(IpGenAddr("10.0.0.1").hash(1), 0xce0b1432u);
   // The family takes no part: all-zero addresses of every family collide, by design.
   EXPECT_EQ(IpGenAddr().addrHash(), IpGenAddr("::").addrHash());
   EXPECT_EQ(IpGenAddr("0.0.0.0").addrHash(), IpGenAddr("::").addrHash());

   // As an attribute it is one word: Murmur3 of 0xbc42cf98's four bytes with seed 7.
   Zat::Hash h(7);
   hashAttrInto(h, IpGenAddr("2001:db8::1"));
   EXPECT_EQ(h.result(), 0xf970053du);

   std::unordered_set<IpGenAddr> set{IpGenAddr("10.0.0.1"), IpGenAddr("10.0.0.1"), IpGenAddr("::1")};
   EXPECT_EQ(set.size(), 2u);
}

TEST(IpkitIpGenPrefix, TextFormsAndHostBitClearing) {
   struct Case {
      char const* in;
      char const* out;
      unsigned length;
   };
   Case const cases[] = {
       {"10.0.0.0/8", "10.0.0.0/8", 8},
       {"10.0.0.1/8", "10.0.0.0/8", 8},
       {"10.255.255.255/9", "10.128.0.0/9", 9},
       {"10.1.2.3/32", "10.1.2.3/32", 32},
       {"10.1.2.3/31", "10.1.2.2/31", 31},
       {"192.168.1.77/0", "0.0.0.0/0", 0},
       {"2001:db8::/32", "2001:db8::/32", 32},
       {"2001:0DB8:ffff::1/33", "2001:db8:8000::/33", 33},
       {"2001:db8::1/128", "2001:db8::1/128", 128},
       {"2001:db8::1/127", "2001:db8::/127", 127},
       {"::ffff:10.0.0.1/120", "::ffff:10.0.0.0/120", 120},
       {"::/0", "::/0", 0},
       {"10.0.0.0/08", "10.0.0.0/8", 8},
       {"", "", 0},
   };
   for (auto const& c : cases) {
      IpGenPrefix const p(c.in);
      EXPECT_EQ(p.stringValue(), Zat::String(c.out)) << c.in;
      EXPECT_EQ(p.length(), c.length) << c.in;
      EXPECT_EQ(strepOf(p), quoted(c.out));
      EXPECT_EQ(streamed(p), c.out);
      EXPECT_EQ(strepToValue<IpGenPrefix>(valueToStrep(p).view()), p) << c.in;
   }
   EXPECT_EQ(IpGenPrefix("10.9.8.7/16").address(), IpGenAddr("10.9.0.0"));
   EXPECT_EQ(IpGenPrefix(IpGenAddr("10.9.8.7"), 12), IpGenPrefix("10.0.0.0/12"));
   EXPECT_EQ(IpGenPrefix(IpGenAddr("2001:db8:1234::1"), 36), IpGenPrefix("2001:db8:1000::/36"));
   EXPECT_EQ(IpGenPrefix(IpGenAddr(), 0), IpGenPrefix());
   EXPECT_EQ(IpGenPrefix().family(), ipFamilyNone);
   EXPECT_EQ(IpGenPrefix("10.0.0.0/8").family(), ipFamilyV4);
   EXPECT_EQ(IpGenPrefix("::/0").family(), ipFamilyV6);
}

TEST(IpkitIpGenPrefix, MalformedTextIsRefused) {
   struct Case {
      char const* in;
      char const* why;
   };
   Case const cases[] = {
       {"10.0.0.0", "expected address/length"},
       {"10.0.0.0/33", "prefix length 33 out of range 0..32 for IPv4"},
       {"::/129", "prefix length 129 out of range 0..128 for IPv6"},
       {"10.0.0.0/999", "prefix length 999 out of range 0..32 for IPv4"},
       {"/8", "invalid IP address ''"},
       {"bad/8", "invalid IP address 'bad'"},
       {"10.0.0.0//8", "invalid prefix length '/8'"},
       {"10.0.0.0/8/8", "invalid prefix length '8/8'"},
       {"10.0.0.0/", "invalid prefix length ''"},
       {"10.0.0.0/8x", "invalid prefix length '8x'"},
       {"10.0.0.0/+8", "invalid prefix length '+8'"},
       {"10.0.0.0/-0", "invalid prefix length '-0'"},
       {"10.0.0.0/ 8", "invalid prefix length ' 8'"},
       {"10.0.0.0/0008", "invalid prefix length '0008'"},
       {"10.0.0.0 /8", "invalid IP address '10.0.0.0 '"},
       {"10.0.0.0/4294967304", "invalid prefix length '4294967304'"},
   };
   for (auto const& c : cases) {
      std::string const message = "invalid IP prefix '" + std::string(c.in) + "': " + c.why;
      EXPECT_EQ(rangeError([&] { IpGenPrefix{c.in}; }), message);
      EXPECT_EQ(rangeError([&] { strepToValue<IpGenPrefix>(Zat::valueToStrep(c.in).view()); }),
                message + " at offset 0");
      expectParseFailsUntouched(Zat::valueToStrep(c.in).view(), IpGenPrefix("10.0.0.0/8"));
   }
   EXPECT_EQ(rangeError([] { IpGenPrefix(IpGenAddr("10.0.0.0"), 33); }),
             "prefix length 33 out of range 0..32 for IPv4");
   EXPECT_EQ(rangeError([] { IpGenPrefix(IpGenAddr("::"), 129); }),
             "prefix length 129 out of range 0..128 for IPv6");
   EXPECT_EQ(rangeError([] { IpGenPrefix(IpGenAddr(), 8); }), "prefix length 8 given without an address");
   EXPECT_EQ(rangeError([] { strepToValue<IpGenPrefix>("'10.0.0.0/8"); }), "unterminated string at offset 0");
   EXPECT_EQ(rangeError([] { strepToValue<IpGenPrefix>("10.0.0.0/8"); }),
             "expected a quoted string at offset 0");
   EXPECT_EQ(rangeError([] { strepToValue<IpGenPrefix>("'10.0.0.0/8' "); }),
             "unexpected text ' ' after value at offset 12");
}

TEST(IpkitIpGenPrefix, OrdersByFamilyThenBytesThenLength) {
   std::vector<IpGenPrefix> const expected = {
       IpGenPrefix(),
       IpGenPrefix("0.0.0.0/0"),
       IpGenPrefix("10.0.0.0/8"),
       IpGenPrefix("10.0.0.0/16"),
       // Bytes decide before length: 10.0.0.0/30 is before 10.0.1.0/24.
       IpGenPrefix("10.0.0.0/30"),
       IpGenPrefix("10.0.1.0/24"),
       IpGenPrefix("11.0.0.0/8"),
       IpGenPrefix("::/0"),
       IpGenPrefix("::/128"),
       IpGenPrefix("2001:db8::/32"),
   };
   std::vector<IpGenPrefix> sorted(expected.rbegin(), expected.rend());
   std::sort(sorted.begin(), sorted.end());
   EXPECT_EQ(sorted, expected);
   EXPECT_EQ(IpGenPrefix("10.1.0.0/8"), IpGenPrefix("10.0.0.0/8"));
   EXPECT_NE(IpGenPrefix("0.0.0.0/0"), IpGenPrefix("::/0"));
   IpGenPrefix const a("10.0.0.0/8"), b("10.0.0.0/8"), c("10.0.0.0/9");
   EXPECT_TRUE(IpGenPrefix::isEq(&a, &b));
   EXPECT_FALSE(IpGenPrefix::isEq(&a, &c));
}

TEST(IpkitIpGenPrefix, ContainsAndDefaultRoute) {
   IpGenPrefix const ten("10.0.0.0/8");
   EXPECT_TRUE(ten.contains(IpGenAddr("10.0.0.0")));
   EXPECT_TRUE(ten.contains(IpGenAddr("10.255.255.255")));
   EXPECT_FALSE(ten.contains(IpGenAddr("11.0.0.0")));
   EXPECT_FALSE(ten.contains(IpGenAddr("9.255.255.255")));
   EXPECT_FALSE(ten.contains(IpGenAddr("::ffff:10.0.0.1")));
   EXPECT_FALSE(ten.contains(IpGenAddr()));

   IpGenPrefix const odd("10.128.0.0/9");
   EXPECT_TRUE(odd.contains(IpGenAddr("10.200.0.0")));
   EXPECT_FALSE(odd.contains(IpGenAddr("10.127.255.255")));
   IpGenPrefix const host("10.1.2.3/32");
   EXPECT_TRUE(host.contains(IpGenAddr("10.1.2.3")));
   EXPECT_FALSE(host.contains(IpGenAddr("10.1.2.2")));

   EXPECT_TRUE(ten.contains(IpGenPrefix("10.1.0.0/16")));
   EXPECT_TRUE(ten.contains(ten));
   EXPECT_FALSE(IpGenPrefix("10.1.0.0/16").contains(ten));
   // The address of the wider prefix lies inside, but the prefix does not.
   EXPECT_FALSE(IpGenPrefix("10.0.0.0/16").contains(ten));
   EXPECT_FALSE(ten.contains(IpGenPrefix("0.0.0.0/0")));
   EXPECT_FALSE(ten.contains(IpGenPrefix("11.0.0.0/16")));
   EXPECT_FALSE(IpGenPrefix("0.0.0.0/0").contains(IpGenPrefix("::/0")));

   IpGenPrefix const v4Default("0.0.0.0/0"), v6Default("::/0");
   EXPECT_TRUE(v4Default.isDefaultRoutePrefix());
   EXPECT_TRUE(v6Default.isDefaultRoutePrefix());
   EXPECT_FALSE(IpGenPrefix().isDefaultRoutePrefix());
   EXPECT_FALSE(ten.isDefaultRoutePrefix());
   EXPECT_TRUE(v4Default.contains(IpGenAddr("255.255.255.255")));
   EXPECT_FALSE(v4Default.contains(IpGenAddr("::1")));
   EXPECT_TRUE(v6Default.contains(IpGenAddr("::ffff:10.0.0.1")));
   EXPECT_FALSE(v6Default.contains(IpGenAddr("10.0.0.1")));
   EXPECT_TRUE(IpGenPrefix("2001:db8::/32").contains(IpGenAddr("2001:db8:ffff::1")));
   EXPECT_FALSE(IpGenPrefix("2001:db8::/32").contains(IpGenAddr("2001:db9::1")));
   // The no-family prefix holds nothing, not even itself.
   EXPECT_FALSE(IpGenPrefix().contains(IpGenAddr()));
   EXPECT_FALSE(IpGenPrefix().contains(IpGenPrefix()));
}

TEST(IpkitIpGenPrefix, SingleFamilyViews) {
   IpGenPrefix const gen4("10.0.0.0/8"), gen6("2001:db8::/32");
   Ip4Prefix const p4 = gen4.v4Prefix();
   EXPECT_EQ(p4.address(), IpGenAddr("10.0.0.0"));
   EXPECT_EQ(p4.v4Addr(), 0x0A000000u);
   EXPECT_EQ(p4.length(), 8u);
   EXPECT_TRUE(p4.contains(IpGenAddr("10.2.3.4")));
   EXPECT_FALSE(p4.contains(IpGenAddr("2001:db8::1")));
   EXPECT_FALSE(p4.isDefaultRoutePrefix());
   EXPECT_EQ(IpGenPrefix(p4), gen4);
   EXPECT_EQ(p4.stringValue(), Zat::String("10.0.0.0/8"));
   EXPECT_EQ(streamed(p4), "10.0.0.0/8");

   Ip6Prefix const p6 = gen6.v6Prefix();
   EXPECT_EQ(p6.length(), 32u);
   EXPECT_TRUE(p6.contains(IpGenAddr("2001:db8::1")));
   EXPECT_FALSE(p6.contains(IpGenAddr("10.0.0.1")));
   EXPECT_EQ(p6.genPrefix(), gen6);
   EXPECT_EQ(streamed(p6), "2001:db8::/32");
   EXPECT_TRUE(Ip6Prefix().isDefaultRoutePrefix());
   EXPECT_EQ(Ip6Prefix().stringValue(), Zat::String("::/0"));
   EXPECT_TRUE(Ip4Prefix().isDefaultRoutePrefix());
   EXPECT_EQ(Ip4Prefix().stringValue(), Zat::String("0.0.0.0/0"));
   EXPECT_EQ(Ip4Prefix(IpGenAddr("10.1.2.3"), 16), Ip4Prefix("10.1.0.0/16"));
   EXPECT_EQ(Ip6Prefix(IpGenAddr("2001:db8::1"), 64), Ip6Prefix("2001:db8::/64"));
   EXPECT_TRUE(Ip4Prefix("10.0.0.0/8") < Ip4Prefix("10.0.0.0/9"));

   try {
      gen6.v4Prefix();
      ADD_FAILURE() << "no exception";
   } catch (Zat::PreconditionException const& e) {
      EXPECT_STREQ(e.what(), "IpGenPrefix::v4Prefix: '2001:db8::/32' is not an IPv4 prefix");
   }
   EXPECT_THROW(gen4.v6Prefix(), Zat::PreconditionException);
   EXPECT_THROW(IpGenPrefix().v4Prefix(), Zat::PreconditionException);
   EXPECT_THROW(IpGenPrefix().v6Prefix(), Zat::PreconditionException);

   EXPECT_EQ(rangeError([] { Ip4Prefix(IpGenAddr("::1"), 8); }),
             "Ip4Prefix needs an IPv4 address, not '::1'");
   EXPECT_EQ(rangeError([] { Ip6Prefix(IpGenAddr(), 0); }), "Ip6Prefix needs an IPv6 address, not ''");
   EXPECT_EQ(rangeError([] { Ip4Prefix(IpGenAddr("10.0.0.0"), 33); }),
             "prefix length 33 out of range 0..32 for IPv4");
   EXPECT_EQ(rangeError([] { Ip4Prefix{"2001:db8::/32"}; }), "invalid IPv4 prefix '2001:db8::/32'");
   EXPECT_EQ(rangeError([] { Ip6Prefix{""}; }), "invalid IPv6 prefix ''");
   EXPECT_THROW(Ip6Prefix{"2001:db8::"}, Zat::RangeException);
}

TEST(IpkitIpGenPrefix, HashContributionsMatchHandArithmetic) {
   // 10.0.0.0/8: a = 0x0a000000, length ^ a = 0x0a000008
   //   t = 0x0a000008 * 32767 - 1            = 0xf603fff7
   //   t = (t ^ t >> 12 = 0xf60c9fc8) * 5     = 0xce3f1ee8
   //   t = (t ^ t >> 4 = 0xc2dcef06) * 2057   = 0xc13c9736
   //   t ^ t >> 16                            = 0xc13c560a
   EXPECT_EQ(IpGenPrefix("10.0.0.0/8").hashContribution(), 0xc13c560au);
   // Host bits are gone before hashing.
   EXPECT_EQ(IpGenPrefix("10.1.2.3/8").hashContribution(), 0xc13c560au);
   // 192.168.1.0/24: length ^ a = 0xc0a80118
   //   t = 0xc0a80118 * 32767 - 1 = 0x3fe3fee7; (t ^ t >> 12) * 5 = 0x3f600438;
   //   (t ^ t >> 4) * 2057 = 0xd16a0053; t ^ t >> 16 = 0xd16ad139
   EXPECT_EQ(IpGenPrefix("192.168.1.0/24").hashContribution(), 0xd16ad139u);
   // 2001:db8::/32: a = Murmur3 of the 16 bytes = 0x4779d168, length ^ a = 0x4779d148
   //   t = 0x4779d148 * 32767 - 1 = 0xa12a2eb7; (t ^ t >> 12) * 5 = 0x25a12c69;
   //   (t ^ t >> 4) * 2057 = 0x41caac27; t ^ t >> 16 = 0x41caeded
   EXPECT_EQ(IpGenAddr("2001:db8::").addrHash(), 0x4779d168u);
   EXPECT_EQ(IpGenPrefix("2001:db8::/32").hashContribution(), 0x41caededu);
   EXPECT_EQ(IpGenPrefix().hashContribution(), 0u);
   // The length matters even when the bytes agree.
   EXPECT_NE(IpGenPrefix("10.0.0.0/8").hashContribution(), IpGenPrefix("10.0.0.0/9").hashContribution());

   // The contribution goes in as one word: Murmur3 of its four bytes.
   EXPECT_EQ(IpGenPrefix("10.0.0.0/8").hash(0), 0x0dd0c2d6u);
   EXPECT_EQ(IpGenPrefix("10.0.0.0/8").hash(3), 0x11c02149u);
   Zat::Hash h(3);
   hashAttrInto(h, IpGenPrefix("10.0.0.0/8"));
   EXPECT_EQ(h.result(), 0x11c02149u);
}

TEST(IpkitEthAddr, TextForms) {
   EthAddr const a("00:1c:73:0a:0b:0c");
   EXPECT_EQ(a.bytes(), (EthAddr::Bytes{0x00, 0x1c, 0x73, 0x0a, 0x0b, 0x0c}));
   EXPECT_EQ(a.stringValue(), Zat::String("00:1c:73:0a:0b:0c"));
   EXPECT_EQ(strepOf(a), "'00:1c:73:0a:0b:0c'");
   EXPECT_EQ(streamed(a), "00:1c:73:0a:0b:0c");
   for (std::string_view same :
        {"00:1C:73:0A:0B:0C", "001c.730a.0b0c", "001C.730A.0B0C", "00:1c:73:0A:0b:0C"}) {
      EXPECT_EQ(EthAddr(same), a) << same;
   }
   for (EthAddr const& e : {a, EthAddr(), EthAddr("ff:ff:ff:ff:ff:ff"), EthAddr("01:23:45:67:89:ab")}) {
      EXPECT_EQ(strepToValue<EthAddr>(valueToStrep(e).view()), e);
   }
   EXPECT_EQ(EthAddr().stringValue(), Zat::String("00:00:00:00:00:00"));
   EXPECT_EQ(strepToValue<EthAddr>("'001C.730A.0B0C'"), a);

   SystemId const s("001c.730a.0b0c");
   EXPECT_EQ(s.ethAddr(), a);
   EXPECT_EQ(strepOf(s), "'00:1c:73:0a:0b:0c'");
   EXPECT_EQ(streamed(s), "00:1c:73:0a:0b:0c");
   EXPECT_EQ(strepToValue<SystemId>(valueToStrep(s).view()), s);
   EXPECT_EQ(SystemId(a), s);
   // Distinct types: neither converts to the other without saying so.
   static_assert(!std::is_convertible_v<EthAddr, SystemId>);
   static_assert(!std::is_convertible_v<SystemId, EthAddr>);
}

TEST(IpkitEthAddr, MalformedTextIsRefused) {
   for (std::string_view bad : {"", "00:1c:73:0a:0b", "00:1c:73:0a:0b:0c:0d", "00-1c-73-0a-0b-0c",
                                "0:1c:73:0a:0b:0c", "00:1c:73:0a:0b:0g", "00:1c:73:0a:0b0:c", "001c.730a.0b0",
                                "001c:730a:0b0c", "001c.730a.0b0c.", "00:1c:73:0a:0b:0c ", " 001c.730a.0b0c",
                                "001c730a0b0c", "001c.730a:0b0c", "00:1c:73:0a:0b:-c", "0x1c.730a.0b0c"}) {
      EXPECT_EQ(rangeError([&] { EthAddr{bad}; }), "invalid Ethernet address '" + std::string(bad) + "'");
      EXPECT_EQ(rangeError([&] { SystemId{bad}; }), "invalid system id '" + std::string(bad) + "'");
      expectParseFailsUntouched(Zat::valueToStrep(bad).view(), EthAddr("00:00:00:00:00:01"));
      expectParseFailsUntouched(Zat::valueToStrep(bad).view(), SystemId("00:00:00:00:00:01"));
   }
   EXPECT_EQ(rangeError([] { strepToValue<EthAddr>("'00:1c:73:0a:0b:0x'"); }),
             "invalid Ethernet address '00:1c:73:0a:0b:0x' at offset 0");
   EXPECT_EQ(rangeError([] { strepToValue<SystemId>("00:1c:73:0a:0b:0c"); }),
             "expected a quoted string at offset 0");
   EXPECT_EQ(rangeError([] { strepToValue<EthAddr>("'00:1c:73:0a:0b:0c"); }),
             "unterminated string at offset 0");
}

TEST(IpkitEthAddr, OrderAndHash) {
   std::vector<EthAddr> const expected = {EthAddr(), EthAddr("00:00:00:00:00:ff"),
                                          EthAddr("00:00:00:00:01:00"), EthAddr("00:1c:73:0a:0b:0c"),
                                          EthAddr("ff:00:00:00:00:00")};
   std::vector<EthAddr> sorted(expected.rbegin(), expected.rend());
   std::sort(sorted.begin(), sorted.end());
   EXPECT_EQ(sorted, expected);
   EXPECT_LT(SystemId("00:00:00:00:00:ff"), SystemId("00:00:00:00:01:00"));

   // Murmur3 x86/32 of the six bytes, worked out apart from this library.
   EthAddr const a("00:1c:73:0a:0b:0c");
   EXPECT_EQ(a.hash(), 0x1a306d21u);
   EXPECT_EQ(a.hash(5), 0x4d0ae77au);
   EXPECT_EQ(SystemId(a).hash(), 0x1a306d21u);
   EXPECT_EQ(SystemId(a).hash(5), 0x4d0ae77au);
   Zat::Hash h(0);
   hashAttrInto(h, a);
   EXPECT_EQ(h.result(), 0x5bfbd3d2u);
   Zat::Hash hs(0);
   hashAttrInto(hs, SystemId(a));
   EXPECT_EQ(hs.result(), 0x5bfbd3d2u);

   EXPECT_EQ(std::hash<EthAddr>()(a), 0x1a306d21u);
   std::unordered_set<SystemId> ids{SystemId(a), SystemId("001c.730a.0b0c"), SystemId()};
   EXPECT_EQ(ids.size(), 2u);
   EthAddr const b("00:1c:73:0a:0b:0d");
   EXPECT_TRUE(EthAddr::isEq(&a, &a));
   EXPECT_FALSE(EthAddr::isEq(&a, &b));
}
