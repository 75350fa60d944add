// The first-generation unit: its readable texts and reversed orders, the flag sets' raw form, the flow
// sets' order, the root's mount and group type requests, clear, and the unit's place among the modules.
#include <gtest/gtest.h>

#include <algorithm>

#include "Vel/VelL3LocalTypes.h"
#include "Zat/GenericIf.h"
#include "support/Recorder.h"
#include "support/TextChecks.h"

using namespace VelL3;
using Ipkit::IpGenAddr;
using Ipkit::SystemId;
using Zat::String;
using Strings = std::vector<std::string>;

TEST(VelL3, ReadableTextsAndReversedOrders) {
   DeviceKey const fw("src", "fw1");
   EXPECT_EQ(DeviceVrfKey(fw, Ipkit::VrfName("red")).stringValue(),
             String("Source: src Device: fw1 VRF: red"));
   Action a;
   EXPECT_EQ(a.stringValue(), String("NextHop: "));
   a.nextHopIs(IpGenAddr("10.0.0.1"));
   EXPECT_EQ(a.stringValue(), String("NextHop: 10.0.0.1"));
   a.bypassIs(true);
   EXPECT_EQ(a.stringValue(), String("Bypass"));
   a.dropIs(true);
   EXPECT_EQ(a.stringValue(), String("Drop"));
   InterceptFlowSetOrder const o(5, 7);
   EXPECT_EQ(o.stringValue(), String("Preference: 5 Priority: 7"));
   EXPECT_EQ(valueToStrep(o),
             String("Value('VelL3::InterceptFlowSetOrder', ** {'preference': 5, 'priority': 7})"));
   EXPECT_EQ(FlowKey(o, "f").stringValue(), String("Preference: 5 Priority: 7 Flow: f"));
   EXPECT_EQ(Route(Ipkit::IpGenPrefix("10.0.0.0/8"), IpGenAddr("1.1.1.1")).stringValue(),
             String("Destination 10.0.0.0/8 via 1.1.1.1"));
   // Smaller preference first, then the higher priority, then the flow name.
   testing_text::expectSorted(std::vector<FlowKey>{FlowKey({0, 5}, "z"), FlowKey({1, 20}, "a"),
                                                   FlowKey({1, 10}, "a"), FlowKey({1, 10}, "b")});
   EXPECT_FALSE(InterceptFlowSetOrder(1, 10) < InterceptFlowSetOrder(1, 10));
   EXPECT_FALSE(bool(MountInfo()));
   EXPECT_TRUE(bool(MountInfo("", "", "t")));
}

TEST(VelL3, FlagSetsKeepOnlyTheirFlags) {
   MatchFieldSet all(0x3FF);
   EXPECT_TRUE(all.srcGroup() && all.etherType() && all.dstL4());
   EXPECT_EQ(testing_text::rangeError([] { MatchFieldSet(0x400); }),
             "1024 is not a value of VelL3::MatchFieldSet");
   EXPECT_EQ(testing_text::rangeError([] { ActionFieldSet(8); }),
             "8 is not a value of VelL3::ActionFieldSet");
   ActionFieldSet const n = ActionFieldSet::nextHop_();
   EXPECT_EQ(n.value(), 4u);
   EXPECT_EQ(valueToStrep(n),
             String("Value('VelL3::ActionFieldSet', ** {'drop': False, 'bypass': False, 'nextHop': True})"));
   EXPECT_EQ(Zat::strepToValue<ActionFieldSet>(valueToStrep(n).view()), n);
}

// For one preference the flow sets walk highest priority first; deleting at the cursor keeps the walk.
TEST(VelL3, FlowSetsWalkInTheirOrder) {
   auto dev = serviceDeviceFlowStatusFactory(DeviceKey("s", "fw"));
   auto first = dev->flowSetIs({1, 10});
   dev->flowSetIs({1, 20});
   dev->flowSetIs({0, 5});
   EXPECT_EQ(dev->flowSetIs({1, 10}), first);
   std::vector<std::string> seen;
   for (auto c = dev->flowSetIter(); c; ++c) {
      seen.push_back(c.key().stringValue().str());
      if (c.key() == InterceptFlowSetOrder(1, 20)) dev->flowSetDel(c);
   }
   EXPECT_EQ(seen, (Strings{"Preference: 0 Priority: 5", "Preference: 1 Priority: 20",
                            "Preference: 1 Priority: 10"}));
   EXPECT_FALSE(dev->flowSetHas({1, 20}));
   EXPECT_EQ(dev->flowSetSize(), 2u);
   // A switch without a result reads as the default one.
   auto flow = first->flowIs("f");
   EXPECT_EQ(flow->switchFlow(SystemId("00:00:00:00:00:01")), V1::FlowStatus());
}

TEST(VelL3, PublishMountRequestsKeepOneMountPerPath) {
   auto root = localDataFactory("l3");
   EXPECT_EQ(LocalData::globalPublishMountName(), LocalData::mountPrefix() + "publish");
   EXPECT_EQ(root->getNetVrfMountName(""), String("l3--publish"));
   Recorder rec;
   MountInfo const a("/a", "c1", "T"), b("/b", "c1", "T");
   root->addGlobalPublishMountRequest(a);
   auto global = root->globalPublishMountRequest();
   EXPECT_EQ(global->name(), String("l3-publish"));
   global->addLegacyNotifiee(&rec);
   root->addGlobalPublishMountRequest(a);
   root->addGlobalPublishMountRequest(MountInfo("/a", "c2", "T"));
   root->addGlobalPublishMountRequest(b);
   EXPECT_EQ(rec.take(), (Strings{"258:'/a'", "258:'/b'"}));
   EXPECT_EQ(global->publishMount("/a").clientPath(), String("c2"));
   root->removeGlobalPublishMountRequest(MountInfo("/a", "other", "other"));
   EXPECT_EQ(root->globalPublishMountRequest(), global);
   root->removeGlobalPublishMountRequest(b);
   EXPECT_EQ(root->globalPublishMountRequest(), nullptr);
   global->removeLegacyNotifiee(&rec);

   root->addPerNetVrfPublishMountRequest("blue", a);
   root->removePerNetVrfPublishMountRequest("blue", b);
   root->removePerNetVrfPublishMountRequest("green", a);
   EXPECT_EQ(root->perNetVrfPublishMountRequest("blue")->name(), String("blue"));
   root->removePerNetVrfPublishMountRequest("blue", MountInfo("/a", "", ""));
   EXPECT_FALSE(root->perNetVrfPublishMountRequestHas("blue"));
}

TEST(VelL3, GroupTypeRequestsLiveWhileAVrfAsks) {
   auto root = localDataFactory("l3");
   Recorder rec;
   root->addGroupTypeRequest("G", Ipkit::VrfName("red"));
   root->addGroupTypeRequest("G", Ipkit::VrfName("blue"));
   auto g = root->groupTypeRequest("G");
   g->addLegacyNotifiee(&rec);
   root->removeGroupTypeRequest("G", Ipkit::VrfName("red"));
   root->removeGroupTypeRequest("H", Ipkit::VrfName("red"));
   EXPECT_TRUE(root->groupTypeRequestHas("G"));
   root->removeGroupTypeRequest("G", Ipkit::VrfName("blue"));
   EXPECT_FALSE(root->groupTypeRequestHas("G"));
   auto vteps = root->vtepInVrfIs(Ipkit::VrfName("red"));
   vteps->addLegacyNotifiee(&rec);
   vteps->vtepIs(SystemId("00:00:00:00:00:01"));
   EXPECT_TRUE(rec.seen.empty());  // both requestor and vtep sets are silent
   g->removeLegacyNotifiee(&rec);
   vteps->removeLegacyNotifiee(&rec);
}

TEST(VelL3, ClearEmptiesLearnedStateInOrder) {
   auto root = localDataFactory("l3");
   Ipkit::VrfName const red("red");
   SystemId const sw("00:00:00:00:00:01");
   root->initialSwitchMountsCompleteIs(true);
   root->addGlobalPublishMountRequest(MountInfo("/a", "c", "T"));
   root->addPerNetVrfPublishMountRequest("blue", MountInfo("/b", "c", "T"));
   root->perSwitchPublishMountRequestIs("sw1");
   root->addGroupTypeRequest("G", red);
   root->vniToVrfIs(Ipkit::VniOrNone(Ipkit::Vni(5000)), red);
   root->supportedVtepIs(sw);
   root->groupSupportedVtepIs(sw);
   root->verbatimSupportedVtepIs(sw);
   root->vtepInVrfIs(red);
   root->hostInputIs(red);
   root->hostBindingIs(red);
   root->perVrfPolicyFlowConfigIs(red);
   root->perVrfPolicyFlowStatusIs(red);
   root->perVrfInterceptHostConfigIs(red);
   root->perVrfInterceptHostStatusIs(red);
   auto table = root->perDeviceVrfRoutingTableIs(DeviceVrfKey(DeviceKey("s", "fw"), red));
   auto scheduler = Orv::taskSchedulerFactory("t");
   root->schedulerIs(scheduler);
   Recorder rec;
   root->addLegacyNotifiee(&rec);
   root->clear();
   Strings ids;
   for (auto const& s : rec.take()) ids.push_back(s.substr(0, 3));
   EXPECT_EQ(ids, (Strings{"268", "271", "275", "278", "279", "282", "285", "283", "284", "286", "287", "288",
                           "289", "290", "291", "292"}));
   EXPECT_EQ(root->globalPublishMountRequest()->name(), String(""));
   EXPECT_EQ(root->globalPublishMountRequest()->publishMountSize(), 0u);
   EXPECT_EQ(root->perDeviceVrfRoutingTableSize(), 1u);
   EXPECT_EQ(root->scheduler(), scheduler);
   root->addGlobalPublishMountRequest(MountInfo("/a", "c", "T"));
   EXPECT_EQ(root->globalPublishMountRequest()->name(), String("l3-publish"));
   EXPECT_EQ(rec.take(), (Strings{"271"}));
   root->removeLegacyNotifiee(&rec);
}

// Modules register a unit after those whose types it names, and a full name finds one type only.
TEST(VelL3, ModuleRegistersInTheRuntimeOrder) {
   auto mods = Zat::zatModules();
   auto at = [&](std::string_view name) {
      return std::find_if(mods.begin(), mods.end(), [&](auto m) { return m->name == name; }) - mods.begin();
   };
   ASSERT_LT(at("VelL3LocalTypes"), std::ssize(mods));
   EXPECT_LT(at("VelL3CommonLocalTypes"), at("VelL3LocalTypes"));
   EXPECT_LT(at("VelL3V1Platform"), at("VelL3LocalTypes"));
   EXPECT_LT(at("VelL3LocalTypes"), at("VelL3V2LocalTypes"));
   for (auto m : mods) {
      for (auto const& t : m->types) EXPECT_EQ(Zat::zatType(t.fullName), &t) << t.fullName;
   }
   EXPECT_EQ(Zat::zatType("VelL3::LocalData"), &LocalData::typeInfo());
   EXPECT_EQ(nsPrefix, String("ns-"));
   EXPECT_EQ(KRO_MOUNT_TIMEOUT.format(), String("%s is unable to mount from %s %s."));

   auto root = localDataFactory("l3");
   Zat::TypeInfo const& lt = root->fwkType();
   Zat::Any v, none;
   EXPECT_EQ(Zat::attrOp(lt, root.get(), 258, Zat::AttrOp::read, none, v), Zat::attrOpDone);
   EXPECT_EQ(v.as<String>(), String("v1"));
   EXPECT_EQ(Zat::attrOp(lt, root.get(), 261, Zat::AttrOp::write, none, v), Zat::attrOpNotApplicable);
   EXPECT_EQ(Zat::attrOp(lt, root.get(), LocalData::AttrId::getNetVrfMountName, Zat::AttrOp::call,
                         Zat::Any::of(String("blue")), v),
             Zat::attrOpDone);
   EXPECT_EQ(v.as<String>(), String("l3-blue-publish"));
}
