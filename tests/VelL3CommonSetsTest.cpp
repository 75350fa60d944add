// The common unit's set-valued types, its root, its module record and its generic interface.
#include <gtest/gtest.h>

#include "Vel/VelL3CommonLocalTypes.h"
#include "Zat/GenericIf.h"

using namespace VelL3Common;
using Ipkit::IpGenAddr;
using Ipkit::IpGenPrefix;
using Zat::Any;
using Zat::AttrOp;
using Zat::String;

TEST(VelL3CommonSets, PolicyMatchCompareCollectionByCollection) {
   PolicyMatch a, b;
   EXPECT_FALSE(bool(a));
   a.l3AppIs(6);
   EXPECT_TRUE(bool(a));
   a.l3AppDel(6);
   EXPECT_FALSE(bool(a));
   for (auto p : {"10.0.0.0/8", "192.168.0.0/16", "2001:db8::/32"}) a.srcIpIs(IpGenPrefix(p));
   for (auto p : {"2001:db8::/32", "10.0.0.0/8", "192.168.0.0/16"}) b.srcIpIs(IpGenPrefix(p));
   EXPECT_EQ(a, b);  // order of insertion does not matter
   b.dstL4AppIs(L4App(6, 443));
   EXPECT_NE(a, b);
   // Both render the same: collections are None whatever they hold.
   String text = valueToStrep(a);
   EXPECT_EQ(text, valueToStrep(b));
   EXPECT_EQ(text, String("Value('VelL3Common::PolicyMatch', ** {'srcIp': None, 'srcIpRange': None, 'dstIp': None, "
                          "'dstIpRange': None, 'l3App': None, 'srcL4App': None, 'srcL4AppRange': None, "
                          "'dstL4App': None, 'dstL4AppRange': None})"));
   // The same keys in a different collection make a different match.
   PolicyMatch c, d;
   c.srcL4AppIs(L4App(17, 53));
   d.dstL4AppIs(L4App(17, 53));
   EXPECT_NE(c, d);
   EXPECT_TRUE(c.srcL4AppHas(L4App(17, 53)));
   EXPECT_FALSE(c.srcL4AppHas(L4App(17, 54)));
   EXPECT_TRUE(c.srcL4AppDel(L4App(17, 53)));
   EXPECT_FALSE(c.srcL4AppDel(L4App(17, 53)));
   // Copies are deep.
   PolicyMatch e = b;
   EXPECT_EQ(e, b);
   e.srcIpDelAll();
   EXPECT_NE(e, b);
   EXPECT_EQ(b.srcIpSize(), 3u);
}

TEST(VelL3CommonSets, SetsRenderAsNoneAndCompareByContents) {
   SwitchSet s1, s2;
   for (auto id : {"00:1c:73:00:00:01", "00:1c:73:00:00:02", "00:1c:73:00:00:03"}) s1.switchIdIs(Ipkit::SystemId(id));
   for (auto id : {"00:1c:73:00:00:03", "00:1c:73:00:00:01", "00:1c:73:00:00:02"}) s2.switchIdIs(Ipkit::SystemId(id));
   EXPECT_EQ(s1, s2);
   s2.switchIdDel(Ipkit::SystemId("00:1c:73:00:00:03"));
   EXPECT_NE(s1, s2);
   IpSet ips;
   EXPECT_FALSE(bool(ips));
   EXPECT_EQ(valueToStrep(ips), String("None"));
   ips.ipIs(IpGenAddr("10.0.0.1"));
   EXPECT_TRUE(bool(ips));
   EXPECT_EQ(valueToStrep(ips), String("None"));
   ips.ipDelAll();
   EXPECT_FALSE(bool(ips));
   FlowMatchSet flows;
   Match m;
   m.dstL4Is(443);
   flows.matchIs(m);
   flows.matchIs(m);
   EXPECT_EQ(flows.matchSize(), 1u);
   std::ostringstream os;
   os << flows;
   EXPECT_EQ(os.str(), "None");
   EXPECT_EQ(valueToStrep(L4PortSet()), String("None"));
   EXPECT_EQ(valueToStrep(L4AppSet()), String("None"));
   EXPECT_EQ(valueToStrep(IpPrefixSet()), String("None"));
}

TEST(VelL3CommonSets, TextOfSetsCannotBeParsedAndTheyHaveNoHash) {
   auto const* ipSet = Zat::zatType("VelL3Common::IpSet");
   ASSERT_NE(ipSet, nullptr);
   try {
      Any::parse(*ipSet, "None");
      FAIL() << "parsed a set";
   } catch (Zat::PreconditionException const& e) {
      EXPECT_EQ(std::string(e.what()), "No String constructor for IpSet - has collection");
   }
   Any pm = Any::of(PolicyMatch());
   EXPECT_THROW(pm.hash(), Zat::UnhashableException);
   EXPECT_EQ(Any::of(L4App(6, 80)).hash(), L4App(6, 80).hash(0));
   // A parseable type goes through its text form.
   Any app = Any::parse(L4App::typeInfo(), "Value('VelL3Common::L4App', ** {'proto': 6, 'port': 80})");
   EXPECT_EQ(app.as<L4App>(), L4App(6, 80));
   EXPECT_THROW(Any::parse(L4App::typeInfo(), "Value('VelL3Common::L4App', ** {'proto': 6})"), Zat::RangeException);
}

TEST(VelL3CommonSets, RootAndModuleRecord) {
   auto root = localDataFactory("common");
   EXPECT_EQ(root->nameString(), String("common"));
   EXPECT_EQ(LocalData::LocalDataIs("other")->nameString(), String("other"));
   EXPECT_EQ(LocalData::l4PortMin(), 1);
   EXPECT_EQ(LocalData::l4PortMax(), 65535);
   // The module is registered at load, with its twelve types in table order.
   Zat::ModuleInfo const* m = Zat::zatModule("VelL3CommonLocalTypes");
   ASSERT_NE(m, nullptr);
   ASSERT_EQ(m->types.size(), 12u);
   char const* names[] = {"IpRange", "L4App", "L4AppRange", "PolicyMatch", "Match", "IpSet",
                          "IpPrefixSet", "L4PortSet", "FlowMatchSet", "L4AppSet", "SwitchSet", "LocalData"};
   for (std::size_t i = 0; i < 12; ++i) EXPECT_EQ(m->types[i].fullName, "VelL3Common::" + std::string(names[i]));
   EXPECT_EQ(&root->fwkType() - m->types.data(), 11);
   EXPECT_EQ(Zat::zatType("VelL3Common::Match"), &Match::typeInfo());
   EXPECT_EQ(Zat::zatType("VelL3Common::Nothing"), nullptr);
   // Roots made by name for a directory refuse constructor arguments and build nothing.
   auto made = Zat::newEntityForDir(LocalData::typeInfo(), "byName");
   EXPECT_EQ(made->nameString(), String("byName"));
   Any arg = Any::of(String("x"));
   EXPECT_THROW(Zat::newEntityForDir(LocalData::typeInfo(), "bad", std::span<Any const>(&arg, 1)),
                Zat::NewEntityArgsException);
   // The process-wide instance is made once.
   auto s1 = Zat::Entity::singleton<LocalData>();
   EXPECT_TRUE(Zat::Entity::singletonExists("VelL3Common::LocalData"));
   EXPECT_EQ(Zat::Entity::singleton<LocalData>(), s1);
   Zat::Entity::singletonDel("VelL3Common::LocalData");
   // The unit's mount-timeout handle is built at load.
   EXPECT_EQ(KRO_MOUNT_TIMEOUT.name(), String("KRO_MOUNT_TIMEOUT"));
   EXPECT_EQ(KRO_MOUNT_TIMEOUT.severity(), 3);
   EXPECT_EQ(KRO_MOUNT_TIMEOUT.format(), String("%s is unable to mount from %s %s."));
   EXPECT_EQ(KRO_MOUNT_TIMEOUT.recommendedAction(), Zat::ContactSupport);
}

TEST(VelL3CommonSets, GenericInterfaceByAttributeId) {
   auto root = localDataFactory("g");
   Zat::TypeInfo const& rootType = root->fwkType();
   Any v, none;
   EXPECT_EQ(Zat::attrOp(rootType, root.get(), 258, AttrOp::read, none, v), Zat::attrOpDone);
   EXPECT_EQ(v.as<std::uint16_t>(), 1);
   EXPECT_EQ(Zat::attrOp(rootType, root.get(), 259, AttrOp::read, none, v), Zat::attrOpDone);
   EXPECT_EQ(v.as<std::uint16_t>(), 65535);
   Any two = Any::of(std::uint16_t(2));
   EXPECT_EQ(Zat::attrOp(rootType, root.get(), 258, AttrOp::write, none, two), Zat::attrOpNotApplicable);
   EXPECT_EQ(Zat::attrOp(rootType, root.get(), 259, AttrOp::write, none, two), Zat::attrOpNotApplicable);
   EXPECT_EQ(Zat::attrOp(rootType, root.get(), 260, AttrOp::read, none, v), Zat::attrOpNoSuchAttribute);

   IpSet s;
   Zat::TypeInfo const& setType = IpSet::typeInfo();
   EXPECT_EQ(Zat::attrOp(setType, &s, 2, AttrOp::count, none, v), Zat::attrOpDone);
   EXPECT_EQ(v.as<std::uint32_t>(), 0u);
   Any key = Any::of(IpGenAddr("10.1.1.1")), yes = Any::of(true), no = Any::of(false);
   EXPECT_EQ(Zat::attrOp(setType, &s, 2, AttrOp::write, key, yes), Zat::attrOpDone);
   EXPECT_EQ(Zat::attrOp(setType, &s, 2, AttrOp::has, key, v), Zat::attrOpDone);
   EXPECT_TRUE(v.as<bool>());
   EXPECT_THROW(Zat::attrOp(setType, &s, 2, AttrOp::write, key, no), Zat::SetFalseValueException);
   EXPECT_TRUE(s.ipHas(IpGenAddr("10.1.1.1")));
   EXPECT_EQ(Zat::attrOp(setType, &s, 3, AttrOp::read, key, v), Zat::attrOpNoSuchAttribute);
   EXPECT_EQ(Zat::attrOp(setType, &s, 2, AttrOp::call, key, v), Zat::attrOpNotApplicable);

   Match m;
   m.srcGroupIs("web");
   m.dstL4Is(443);
   EXPECT_EQ(Zat::attrOp(Match::typeInfo(), &m, 10, AttrOp::call, none, v), Zat::attrOpDone);
   EXPECT_EQ(v.as<String>(), m.stringValue());
   EXPECT_EQ(Zat::attrOp(Match::typeInfo(), &m, 2, AttrOp::read, none, v), Zat::attrOpDone);
   EXPECT_EQ(v.as<String>(), String("web"));
   Any group = Any::of(String("db"));
   EXPECT_EQ(Zat::attrOp(Match::typeInfo(), &m, 3, AttrOp::write, none, group), Zat::attrOpDone);
   EXPECT_EQ(m.dstGroup(), String("db"));
   // Whole-value codes.
   EXPECT_EQ(Zat::attrOp(Match::typeInfo(), &m, 0, AttrOp::truth, none, v), Zat::attrOpDone);
   EXPECT_TRUE(v.as<bool>());
   Any other = Any::of(m);
   EXPECT_EQ(Zat::attrOp(Match::typeInfo(), &m, 0, AttrOp::isEq, other, v), Zat::attrOpDone);
   EXPECT_TRUE(v.as<bool>());
   EXPECT_EQ(Zat::attrOp(Match::typeInfo(), &m, 0, AttrOp::less, other, v), Zat::attrOpDone);
   EXPECT_FALSE(v.as<bool>());
   EXPECT_EQ(Zat::attrOp(PolicyMatch::typeInfo(), &m, 0, AttrOp::less, other, v), Zat::attrOpNotApplicable);
   // Constructor attributes are read only; construction by arguments in declaration order.
   L4App app(6, 80);
   Any port = Any::of(Ipkit::Port(81));
   EXPECT_EQ(Zat::attrOp(L4App::typeInfo(), &app, 3, AttrOp::write, none, port), Zat::attrOpNotApplicable);
   Zat::AnyList args{Any::of(Ipkit::IpProto(17)), Any::of(Ipkit::Port(53))};
   EXPECT_EQ(L4App::typeInfo().methods->construct(args).as<L4App>(), L4App(17, 53));
   EXPECT_THROW(L4App::typeInfo().methods->construct(std::span<Any const>(args.data(), 1)),
                Zat::PreconditionException);
   Zat::AnyList swapped{Any::of(Ipkit::Port(53)), Any::of(Ipkit::IpProto(17))};
   EXPECT_THROW(L4App::typeInfo().methods->construct(swapped), Zat::TypeException);
}
