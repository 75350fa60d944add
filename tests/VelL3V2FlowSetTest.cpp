// The readable texts of flows and consistent flow sets, the re-creation rules of a flow status, and the
// trace line of a device set's removal.
#include <gtest/gtest.h>

#include "Zat/Exception.h"
#include "support/TraceCapture.h"

using namespace VelL3V2;
using VelL3::V2::FlowKey;
using VelL3::V2::FlowOrder;
using Zat::String;

TEST(VelL3V2FlowSet, ReadableTexts) {
   auto flow = FlowConfig::FlowConfigIs(FlowKey("f1"));
   EXPECT_EQ(flow->stringValue(), String(" Flow: f1 Order:  Preference: 0 Priority: 0 Origin:  State: pending"
                                         " ReadyToDelete: 0"));
   flow->orderIs(FlowOrder(1, 9870));
   flow->originIs("policy-a");
   flow->stateIs(VelL3::V2::ConfigState::configured);
   flow->readyToDeleteIs(true);
   EXPECT_EQ(flow->stringValue(), String(" Flow: f1 Order:  Preference: 1 Priority: 9870 Origin: policy-a"
                                         " State: configured ReadyToDelete: 1"));
   auto status = FlowStatus::FlowStatusIs("blue", DeviceKey("fw"), FlowKey("f2"));
   status->orderIs(FlowOrder(0, 10000));
   status->stateIs(VelL3::V2::HardwareState::success);
   EXPECT_EQ(status->stringValue(), String(" Flow: f2 Order:  Preference: 0 Priority: 10000 State: success"));
   auto set =
       PerDeviceConsistentFlowSet::PerDeviceConsistentFlowSetIs(DeviceKey(DeviceKey::encode("s", "fw")));
   set->readyToDeleteIs(true);
   String const text = set->stringValue();
   EXPECT_EQ(text,
             String(" DeviceKey:  Device: s:fw State: pending ReadyToDelete: 1 KroTimestamp:  GenId: 0:0"
                    " Timestamp: 0"));
   set->flowIs(FlowKey("f1"));
   EXPECT_EQ(set->stringValue(), text);
}

TEST(VelL3V2FlowSet, FlowStatusRecreationAndDeviceSetRemoval) {
   auto net = PerNetVrfFlowSet::PerNetVrfFlowSetIs("blue");
   Zat::Ptr<FlowSetStatus> status = net->addFlowSetStatus(DeviceKey("fw"));
   Zat::Ptr<FlowStatus> flow = status->flowIs("blue", DeviceKey("fw"), FlowKey("f1"));
   EXPECT_EQ(flow->parent(), status.get());
   EXPECT_EQ(status->flowIs("blue", DeviceKey("fw"), FlowKey("f1")), flow);
   auto refusal = [&](char const* vrf, char const* device) {
      try {
         status->flowIs(vrf, DeviceKey(device), FlowKey("f1"));
      } catch (Zat::ReinstantiationException const& e) {
         return std::string(e.what());
      }
      return std::string("accepted");
   };
   EXPECT_EQ(refusal("red", "fw"),
             "VelL3V2::FlowStatus: attribute netVrfName is 'blue', cannot re-instantiate with 'red'");
   EXPECT_EQ(refusal("blue", "fw2"),
             "VelL3V2::FlowStatus: attribute deviceKey is 'fw', cannot re-instantiate with 'fw2'");
   EXPECT_EQ(status->flowSize(), 1u);
   EXPECT_EQ(status->flow(FlowKey("f1")), flow);
   net->addFlowSetConfig(DeviceKey("fw"), "A");
   TraceCapture trace{8};
   net->removeFlowSetConfig(DeviceKey("fw"), "A");
   net->removeFlowSetStatus(DeviceKey("fw"));
   EXPECT_EQ(trace.lines, (std::vector<std::string>{
                              "PerNetVrfFlowSet::removeFlowSetConfig Device: fw Requestor: A",
                              "PerNetVrfFlowSet::removeFlowSetStatus Device: fw", " Removing FlowSet"}));
}
