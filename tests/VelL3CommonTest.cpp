// The common match model: its one hand-written operation, Match::stringValue, and what its schema fixes
// beyond the generated conventions (which the compiler's own tests check): the match's text form,
// attribute widths, the set types and the root.
#include <gtest/gtest.h>

#include "Vel/VelL3CommonLocalTypes.h"
#include "Zat/GenericIf.h"
#include "support/TextChecks.h"

using namespace VelL3Common;
using Ipkit::IpGenPrefix;
using Zat::String;

TEST(VelL3Common, MatchStringValueListsTheMatchedFieldsInItsOwnOrder) {
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
}

TEST(VelL3Common, ValuesHaveTheirTextFormsAndWidths) {
   EXPECT_EQ(valueToStrep(L4App(6, 80)), String("Value('VelL3Common::L4App', ** {'proto': 6, 'port': 80})"));
   // The protocol is one byte, a port two.
   EXPECT_EQ(testing_text::rangeError([] {
                return Zat::strepToValue<L4App>("Value('VelL3Common::L4App', ** {'proto': 256, 'port': 80})");
             }),
             "attribute 'proto': number 256 out of range 0..255 at offset 41");
   EXPECT_EQ(Zat::strepToValue<L4App>("Value('VelL3Common::L4App', ** {'proto': 255, 'port': 65535})"),
             L4App(255, 65535));
   Match m;
   m.dstGroupIs("d'b");
   m.srcIpIs(IpGenPrefix("10.0.0.0/8"));
   m.ipProtoIs(6);
   m.etherTypeIs(0x0800);
   String const text = valueToStrep(m);
   EXPECT_EQ(text,
             String("Value('VelL3Common::Match', ** {'srcGroup': '', 'dstGroup': 'd\\'b', 'srcIp': "
                    "'10.0.0.0/8', 'dstIp': '', 'ipProto': 6, 'srcL4': 0, 'dstL4': 0, 'etherType': 2048})"));
   EXPECT_EQ(Zat::strepToValue<Match>(text.view()), m);
}

TEST(VelL3Common, SetsRenderAsNone) {
   PolicyMatch a;
   a.l3AppIs(6);
   EXPECT_TRUE(bool(a));
   a.l3AppDel(6);
   EXPECT_FALSE(bool(a));
   a.srcIpIs(IpGenPrefix("10.0.0.0/8"));
   EXPECT_EQ(valueToStrep(a),
             String("Value('VelL3Common::PolicyMatch', ** {'srcIp': None, 'srcIpRange': None, 'dstIp': None, "
                    "'dstIpRange': None, 'l3App': None, 'srcL4App': None, 'srcL4AppRange': None, "
                    "'dstL4App': None, 'dstL4AppRange': None})"));
   // Generic code hashes a value by its hash(0); a type holding sets has no hash.
   EXPECT_EQ(Zat::Any::of(L4App(6, 80)).hash(), L4App(6, 80).hash(0));
   EXPECT_THROW(Zat::Any::of(a).hash(), Zat::UnhashableException);
}

TEST(VelL3Common, RootsByNameAndTheSingleton) {
   auto root = localDataFactory("common");
   EXPECT_EQ(root->nameString(), String("common"));
   // Roots made by name for a directory refuse constructor arguments.
   EXPECT_EQ(Zat::newEntityForDir(LocalData::typeInfo(), "byName")->nameString(), String("byName"));
   Zat::Any arg = Zat::Any::of(String("x"));
   EXPECT_THROW(Zat::newEntityForDir(LocalData::typeInfo(), "bad", std::span<Zat::Any const>(&arg, 1)),
                Zat::NewEntityArgsException);
   // The process-wide instance is made once.
   auto s1 = Zat::Entity::singleton<LocalData>();
   EXPECT_EQ(Zat::Entity::singleton<LocalData>(), s1);
   Zat::Entity::singletonDel("VelL3Common::LocalData");
   EXPECT_FALSE(Zat::Entity::singletonExists("VelL3Common::LocalData"));
}
