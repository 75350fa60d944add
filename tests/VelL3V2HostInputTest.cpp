// Host input and consistent host sets: which changes are heard, and the readable text of a host.
#include <gtest/gtest.h>

#include "Vel/VelL3V2LocalTypes.h"
#include "support/Recorder.h"

using namespace VelL3V2;
using Lines = std::vector<std::string>;

// A redirect device's requestor names publish nothing; the input's requesting devices and a host's
// counts do, a count only when it changes.
TEST(VelL3V2HostInput, OnlyARedirectDevicesRequestorsAreSilent) {
   auto in = perNetVrfHostInputFactory("blue");
   auto device = in->redirectDeviceIs(DeviceKey("fw1"));
   auto host = in->hostIs(Ipkit::IpGenAddr("10.0.0.1"));
   Recorder rec;
   in->addLegacyNotifiee(&rec);
   device->addLegacyNotifiee(&rec);
   host->addLegacyNotifiee(&rec);
   device->requestorIs("policy-a");
   in->requestorIs(DeviceKey("fw1"));
   for (unsigned count : {2, 2}) host->requestorIs(DeviceKey("fw1"), count);
   EXPECT_EQ(rec.take(), (Lines{"133:'fw1'", "131:'fw1'"}));
}

TEST(VelL3V2ConsistentHostSet, HostTextAndItsChanges) {
   auto host = perNetVrfConsistentHostSetFactory("blue")
                   ->perGroupHostSetIs(VelL3::V2::GroupName("web"))
                   ->perVniHostSetIs(Ipkit::Vni(10))
                   ->hostIs(VelL3::V2::MemberKey("h1"));
   EXPECT_EQ(host->stringValue().str(),
             " Host: h1 State: pending ReadyToDelete: 0 Origin:  KroTimestamp:  GenId: 0:0 Timestamp: 0");
   Recorder rec;
   host->addLegacyNotifiee(&rec);
   DeviceKeySet origin;
   for (char const* d : {"fw1", "fw2"}) origin.deviceKeyIs(DeviceKey(d));
   host->stateIs(VelL3::V2::ConfigState::configured);
   host->readyToDeleteIs(true);
   host->originIs(origin);
   host->kroTimestampIs(VelL3::V2::KroTimestamp(VelL3::V2::KroGenId(7, 42), 1.5));
   EXPECT_EQ(rec.take(), (Lines{"131", "132", "133", "134"}));
   // The origin's keys come in the set's own order, each followed by ", ".
   std::string const got = host->stringValue().str();
   std::string const head = " Host: h1 State: configured ReadyToDelete: 1 Origin:  Device: ";
   std::string const tail = ",  KroTimestamp:  GenId: 7:42 Timestamp: 1.5";
   EXPECT_TRUE(got == head + "fw1,  Device: fw2" + tail || got == head + "fw2,  Device: fw1" + tail) << got;
}
