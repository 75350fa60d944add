// Host input and consistent host sets: what is heard, and the readable text of a host.
#include <gtest/gtest.h>

#include "Vel/VelL3V2LocalTypes.h"
#include "support/Recorder.h"

using namespace VelL3V2;
using namespace VelL3::V2;

// A redirect device's requestor names publish nothing; its input's requesting devices and every
// attribute of a consistent host do. The host's origin keys come in the set's own order.
TEST(VelL3V2HostInput, WhatIsHeardAndAHostsText) {
   auto in = perNetVrfHostInputFactory("blue");
   auto device = in->redirectDeviceIs(DeviceKey("fw1"));
   auto host = consistentHostFactory(MemberKey("h1"));
   EXPECT_EQ(host->stringValue().str(),
             " Host: h1 State: pending ReadyToDelete: 0 Origin:  KroTimestamp:  GenId: 0:0 Timestamp: 0");
   Recorder rec;
   for (Zat::PtrInterface* e :
        std::initializer_list<Zat::PtrInterface*>{in.get(), device.get(), host.get()}) {
      e->addLegacyNotifiee(&rec);
   }
   device->requestorIs("policy-a");
   in->requestorIs(DeviceKey("fw1"));
   DeviceKeySet origin;
   for (char const* d : {"fw1", "fw2"}) origin.deviceKeyIs(DeviceKey(d));
   host->stateIs(ConfigState::configured);
   host->readyToDeleteIs(true);
   host->originIs(origin);
   host->kroTimestampIs(KroTimestamp(KroGenId(7, 42), 1.5));
   EXPECT_EQ(rec.take(), (std::vector<std::string>{"133:'fw1'", "131", "132", "133", "134"}));
   std::string const got = host->stringValue().str();
   std::string const head = " Host: h1 State: configured ReadyToDelete: 1 Origin:  Device: ";
   std::string const tail = ",  KroTimestamp:  GenId: 7:42 Timestamp: 1.5";
   EXPECT_TRUE(got == head + "fw1,  Device: fw2" + tail || got == head + "fw2,  Device: fw1" + tail) << got;
}
