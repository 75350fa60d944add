// The first-generation unit: its readable texts and reversed orders, the flag sets' bounds, the flow
// sets' walk, the root's mount and group type requests, clear, and the unit's place among the modules.
#include <gtest/gtest.h>

#include <algorithm>

#include "Vel/VelL3LocalTypes.h"
#include "Zat/GenericIf.h"
#include "support/Recorder.h"
#include "support/TextChecks.h"

using namespace VelL3;
using Ipkit::VrfName;
using Zat::String;
using Strings = std::vector<std::string>;

TEST(VelL3, ReadableTextsOrdersAndFlagBounds) {
   Action a;
   Strings actions{a.stringValue().str()};
   a.nextHopIs(Ipkit::IpGenAddr("10.0.0.1"));
   actions.push_back(a.stringValue().str());
   a.bypassIs(true);
   actions.push_back(a.stringValue().str());
   a.dropIs(true);
   actions.push_back(a.stringValue().str());
   EXPECT_EQ(actions, (Strings{"NextHop: ", "NextHop: 10.0.0.1", "Bypass", "Drop"}));
   EXPECT_EQ(DeviceVrfKey(DeviceKey("src", "fw"), VrfName("red")).stringValue(),
             String("Source: src Device: fw VRF: red"));
   EXPECT_EQ(FlowKey({5, 7}, "f").stringValue(), String("Preference: 5 Priority: 7 Flow: f"));
   EXPECT_EQ(Route(Ipkit::IpGenPrefix("10.0.0.0/8"), Ipkit::IpGenAddr("1.1.1.1")).stringValue(),
             String("Destination 10.0.0.0/8 via 1.1.1.1"));
   // Smaller preference first, then the higher priority, then the flow name; equal keys are not less.
   testing_text::expectSorted(std::vector<FlowKey>{FlowKey({0, 5}, "z"), FlowKey({1, 20}, "a"),
                                                   FlowKey({1, 10}, "a"), FlowKey({1, 10}, "b")});
   EXPECT_FALSE(FlowKey({1, 10}, "a") < FlowKey({1, 10}, "a"));
   EXPECT_TRUE(MatchFieldSet(0x3FF).etherType());
   EXPECT_THROW(MatchFieldSet(0x400), Zat::RangeException);
}

// For one preference the flow sets walk highest priority first.
TEST(VelL3, FlowSetsWalkInTheirOrder) {
   auto dev = serviceDeviceFlowConfigFactory(DeviceKey("s", "fw"));
   for (InterceptFlowSetOrder o : {InterceptFlowSetOrder(1, 10), {1, 20}, {0, 5}}) dev->flowSetIs(o);
   Strings seen;
   for (auto c = dev->flowSetIter(); c; ++c) seen.push_back(c.key().stringValue().str());
   EXPECT_EQ(seen, (Strings{"Preference: 0 Priority: 5", "Preference: 1 Priority: 20",
                            "Preference: 1 Priority: 10"}));
}

TEST(VelL3, MountAndGroupTypeRequests) {
   auto root = localDataFactory("l3");
   EXPECT_EQ(LocalData::globalPublishMountName(), LocalData::mountPrefix() + "publish");
   EXPECT_EQ(root->getNetVrfMountName(""), String("l3--publish"));
   MountInfo const a("/a", "c1", "T"), b("/b", "c1", "T");
   root->addGlobalPublishMountRequest(a);
   auto global = root->globalPublishMountRequest();
   Recorder rec;
   global->addLegacyNotifiee(&rec);
   for (MountInfo const& m : {a, MountInfo("/a", "c2", "T"), b}) root->addGlobalPublishMountRequest(m);
   EXPECT_EQ(rec.take(), (Strings{"258:'/a'", "258:'/b'"}));  // the same mount again changes nothing
   root->removeGlobalPublishMountRequest(MountInfo("/a", "other", "other"));
   EXPECT_EQ(root->globalPublishMountRequest(), global);
   root->removeGlobalPublishMountRequest(b);
   EXPECT_EQ(root->globalPublishMountRequest(), nullptr);
   global->removeLegacyNotifiee(&rec);
   rec.take();

   root->addPerNetVrfPublishMountRequest("blue", a);
   root->removePerNetVrfPublishMountRequest("blue", b);
   EXPECT_TRUE(root->perNetVrfPublishMountRequestHas("blue"));  // by the network VRF's own name
   root->removePerNetVrfPublishMountRequest("blue", MountInfo("/a", "", ""));
   EXPECT_FALSE(root->perNetVrfPublishMountRequestHas("blue"));

   root->addGroupTypeRequest("G", VrfName("red"));
   root->addGroupTypeRequest("G", VrfName("blue"));
   root->groupTypeRequest("G")->addLegacyNotifiee(&rec);  // its requestors are silent
   root->removeGroupTypeRequest("G", VrfName("red"));
   EXPECT_TRUE(root->groupTypeRequestHas("G") && rec.seen.empty());
   root->removeGroupTypeRequest("G", VrfName("blue"));
   EXPECT_FALSE(root->groupTypeRequestHas("G"));
}

TEST(VelL3, ClearEmptiesLearnedStateInOrder) {
   auto root = localDataFactory("l3");
   VrfName const red("red");
   Ipkit::SystemId const sw("00:00:00:00:00:01");
   root->initialSwitchMountsCompleteIs(true);
   root->inputConvergedIs(true);
   root->addGlobalPublishMountRequest(MountInfo("/a", "c", "T"));
   root->addPerNetVrfPublishMountRequest("blue", MountInfo("/b", "c", "T"));
   root->perSwitchPublishMountRequestIs("sw1");
   root->addGroupTypeRequest("G", red);
   root->vniToVrfIs(Ipkit::Vni(5000), red);
   using Id = LocalData::AttrId;  // the vtep sets by switch, the rest by VRF, as a tool adds them
   for (std::uint16_t id = Id::groupSupportedVtep; id <= Id::perVrfInterceptHostStatus; ++id) {
      Zat::Any v = Zat::Any::of(true);
      Zat::attrOp(root->fwkType(), root.get(), id, Zat::AttrOp::write,
                  id < Id::vtepInVrf ? Zat::Any::of(sw) : Zat::Any::of(red), v);
   }
   root->perDeviceVrfRoutingTableIs(DeviceVrfKey(DeviceKey("s", "fw"), red));
   root->schedulerIs(Orv::taskSchedulerFactory("t"));
   Recorder rec;
   root->addLegacyNotifiee(&rec);
   root->clear();
   Strings ids;
   for (auto const& s : rec.take()) ids.push_back(s.substr(0, 3));
   EXPECT_EQ(ids, (Strings{"268", "269", "271", "275", "278", "279", "282", "285", "283", "284", "286", "287",
                           "288", "289", "290", "291", "292"}));
   EXPECT_TRUE(root->perDeviceVrfRoutingTableSize() == 1 && root->scheduler());
   // The nameless request left behind is emptied by every clear and replaced by the next global add.
   root->globalPublishMountRequest()->publishMountIs(MountInfo("/x", "c", "T"));
   root->clear();
   auto nameless = root->globalPublishMountRequest();
   EXPECT_TRUE(nameless->name().empty() && nameless->publishMountSize() == 0);
   rec.take();
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
   EXPECT_LT(at("VelL3CommonLocalTypes"), at("VelL3LocalTypes"));
   EXPECT_LT(at("VelL3V1Platform"), at("VelL3LocalTypes"));
   EXPECT_LT(at("VelL3LocalTypes"), at("VelL3V2LocalTypes"));
   for (auto m : mods) {
      for (auto const& t : m->types) EXPECT_EQ(Zat::zatType(t.fullName), &t) << t.fullName;
   }
}
