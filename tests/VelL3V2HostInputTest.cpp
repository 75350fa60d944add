// Host input, bindings and consistent host sets: which changes are heard, what a key finds, what a
// deleted set lets go of, and the readable text of a consistent host.
#include <gtest/gtest.h>

#include "Vel/VelL3V2LocalTypes.h"
#include "Zat/GenericIf.h"
#include "support/Recorder.h"

using namespace VelL3V2;
using Ipkit::IpGenAddr;
using Lines = std::vector<std::string>;

// Every change is heard except a redirect device's requestor names; a count or MAC equal to the stored
// one is not a change; a key finds what it created; deleting the input lets go of its entries.
TEST(VelL3V2HostInput, WhatIsHeardAndWhatAKeyFinds) {
   auto in = perNetVrfHostInputFactory("blue");
   auto host = in->hostIs(IpGenAddr("10.0.0.1"));
   auto device = in->redirectDeviceIs(DeviceKey("fw1"));
   EXPECT_EQ(in->hostIs(IpGenAddr("10.0.0.1")), host);
   Recorder rec;
   in->addLegacyNotifiee(&rec);
   host->addLegacyNotifiee(&rec);
   device->addLegacyNotifiee(&rec);
   device->requestorIs("policy-a");
   in->requestorIs(DeviceKey("fw1"));
   for (unsigned count : {2, 2, 3}) host->requestorIs(DeviceKey("fw1"), count);
   EXPECT_EQ(rec.take(), (Lines{"133:'fw1'", "131:'fw1'", "131:'fw1'"}));
   EXPECT_TRUE(device->requestorHas("policy-a"));
   EXPECT_EQ(host->requestor(DeviceKey("fw1")), 3u);

   auto binding = perNetVrfHostBindingFactory("blue")->perVniHostBindingIs(Ipkit::Vni(5000));
   binding->addLegacyNotifiee(&rec);
   for (char const* mac : {"00:00:00:00:00:01", "00:00:00:00:00:01", "00:00:00:00:00:02"}) {
      binding->hostIs(IpGenAddr("10.0.0.1"), Ipkit::EthAddr(mac));
   }
   EXPECT_EQ(rec.take(), (Lines{"131:'10.0.0.1'", "131:'10.0.0.1'"}));
   in = nullptr;
   EXPECT_EQ(host->references() + device->references(), 2u);
}

TEST(VelL3V2ConsistentHostSet, TextAndItsChanges) {
   auto vni = perNetVrfConsistentHostSetFactory("blue")
                  ->perGroupHostSetIs(VelL3::V2::GroupName("web"))
                  ->perVniHostSetIs(Ipkit::Vni(10));
   auto host = vni->hostIs(VelL3::V2::MemberKey("h1"));
   EXPECT_EQ(host->stringValue().str(),
             " Host: h1 State: pending ReadyToDelete: 0 Origin:  KroTimestamp:  GenId: 0:0 Timestamp: 0");
   Recorder rec;
   host->addLegacyNotifiee(&rec);
   DeviceKeySet origin, sameOtherWay;
   for (char const* d : {"fw1", "fw2"}) origin.deviceKeyIs(DeviceKey(d));
   for (char const* d : {"fw2", "fw1"}) sameOtherWay.deviceKeyIs(DeviceKey(d));
   VelL3::V2::KroTimestamp const at(VelL3::V2::KroGenId(7, 42), 1.5);
   host->originIs(origin);
   host->originIs(sameOtherWay);
   host->kroTimestampIs(at);
   host->kroTimestampIs(at);
   host->stateIs(VelL3::V2::ConfigState::configured);
   host->readyToDeleteIs(true);
   EXPECT_EQ(rec.take(), (Lines{"133", "134", "131", "132"}));
   Zat::Any text;
   ASSERT_EQ(Zat::attrOp(ConsistentHost::typeInfo(), host.get(), ConsistentHost::AttrId::stringValue,
                         Zat::AttrOp::call, {}, text),
             Zat::attrOpDone);
   EXPECT_EQ(text.as<Zat::String>(), host->stringValue());
   // The origin's keys come in the set's own order, each followed by ", ".
   std::string const head = " Host: h1 State: configured ReadyToDelete: 1 Origin:  Device: ";
   std::string const tail = ",  KroTimestamp:  GenId: 7:42 Timestamp: 1.5";
   std::string const got = host->stringValue().str();
   EXPECT_TRUE(got == head + "fw1,  Device: fw2" + tail || got == head + "fw2,  Device: fw1" + tail) << got;
}
