// The logging data's bookkeeping of host and policy reports and the messages it emits exactly once.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Vel/VelL3V2LocalTypes.h"
#include "support/Recorder.h"
#include "support/TraceCapture.h"

using namespace VelL3V2;
using Strings = std::vector<std::string>;

namespace {

struct LoggingDataTest : testing::Test {
   Zat::LogCapture log;
   Zat::Seconds now = 1000;
   Zat::Ptr<VelLoggingData> data = velLoggingDataFactory("logging");
   Zat::String const dev = DeviceKey::encode("src", "fw");
   Recorder rec;

   LoggingDataTest() {
      Zat::System::clockIs([this] { return now; });
      data->addLegacyNotifiee(&rec);
   }
   ~LoggingDataTest() override { Zat::System::clockIs({}); }

   // The ids of the root's notifications since the last call (keys are pointers: not compared).
   Strings notified() {
      Strings out;
      for (std::string const& s : rec.take()) out.push_back(s.substr(0, s.find(':')));
      return out;
   }
   static Zat::Ptr<VelFlowStatus> flow(char const* name, std::vector<char const*> pending) {
      auto f = velFlowStatusFactory(name);
      for (char const* id : pending) f->pendingSwitchIs(Ipkit::SystemId(id));
      return f;
   }
   Strings switches(Zat::Ptr<VelPolicyLog> const& p, Zat::Ptr<VelFlowStatus> const& f) {
      Strings out;
      for (Zat::String const& s : p->flowStatusLogs(f)->switchIdCollection()) out.push_back(s.str());
      std::sort(out.begin(), out.end());
      return out;
   }
};

std::string const ipLogs = std::to_string(VelLoggingData::AttrId::ipStatusLogs);
std::string const policyLogs = std::to_string(VelLoggingData::AttrId::policyLogs);

}  // namespace

TEST_F(LoggingDataTest, HostLogKeepsItsFirstReportAndRecoversOnlyWhenFlagged) {
   auto host = velIpStatusFactory(Ipkit::IpGenAddr("10.0.0.1"));
   data->addIpStatus(host, dev, "blue", "sw1");
   now = 2000;
   data->addIpStatus(host, DeviceKey::encode("other", "fw2"), "red", "sw2");
   auto entry = data->ipStatusLogs(host);
   ASSERT_TRUE(entry);
   EXPECT_EQ(entry->deviceName(), dev);
   EXPECT_EQ(entry->netVrfName(), Zat::String("blue"));
   EXPECT_EQ(entry->addedTime(), 1000);
   EXPECT_EQ(entry->switchId(), Zat::String("sw2"));
   // Only the entry's creation is published; the log's own attributes are silent.
   EXPECT_EQ(notified(), Strings{ipLogs});
   // The log keeps the status alive while it is logged, and lets it go with the log.
   EXPECT_EQ(host->references(), 2u);
   entry = nullptr;

   // Unflagged: leaves silently. Flagged: the recovery message, then gone as well.
   auto other = velIpStatusFactory(Ipkit::IpGenAddr("2001:db8::5"));
   data->addIpStatus(other, dev, "blue", "sw1");
   data->removeIpStatus(other);
   data->ipStatusLogs(host)->messageWasLoggedIs(true);
   data->removeIpStatus(host);
   EXPECT_EQ(log.takeLines(), Strings{"KRO_VEL_HOST_RECOVER: VEL rule for host 10.0.0.1 of firewall src/fw, "
                                      "VRF blue is out of error state"});
   EXPECT_EQ(data->ipStatusLogsSize(), 0u);
   EXPECT_EQ(host->references(), 1u);
   EXPECT_EQ(notified(), (Strings{ipLogs, ipLogs, ipLogs}));

   // Null pointers and hosts never logged change nothing.
   data->addIpStatus(nullptr, dev, "blue", "sw1");
   data->removeIpStatus(nullptr);
   data->removeIpStatus(host);
   EXPECT_EQ(data->ipStatusLogsSize(), 0u);
   EXPECT_TRUE(notified().empty());
   EXPECT_TRUE(log.take().empty());
}

TEST_F(LoggingDataTest, PolicyEndsWithOneMessageWhenItsLastFlowGoes) {
   auto f1 = flow("f1", {"00:1c:73:00:00:01", "00:1c:73:00:00:02"});
   auto f2 = flow("f2", {});
   // Arguments come as policy, device, VRF; the key is (device, VRF, policy).
   data->addFlowStatus(f1, "p", dev, "blue");
   now = 1500;
   data->addFlowStatus(f2, "p", dev, "blue");
   VelPolicyId const key(dev, "blue", "p");
   auto policy = data->policyLogs(key);
   ASSERT_TRUE(policy);
   EXPECT_EQ(policy->addedTime(), 1000);
   EXPECT_EQ(switches(policy, f1), (Strings{"00:1c:73:00:00:01", "00:1c:73:00:00:02"}));
   EXPECT_TRUE(switches(policy, f2).empty());
   // Re-adding replaces the switches with the current pending ones.
   f1->pendingSwitchDel(Ipkit::SystemId("00:1c:73:00:00:01"));
   f1->pendingSwitchIs(Ipkit::SystemId("00:1c:73:00:00:03"));
   data->addFlowStatus(f1, "p", dev, "blue");
   EXPECT_EQ(switches(policy, f1), (Strings{"00:1c:73:00:00:02", "00:1c:73:00:00:03"}));
   EXPECT_EQ(f1->references(), 2u);

   // The same policy name on another VRF or device is another policy; a flow never added under a policy
   // leaves that policy, even an empty one, in place.
   data->addFlowStatus(f1, "p", dev, "red");
   data->removeFlowStatus(f2, "p", dev, "red", true);
   data->removeFlowStatus(f1, "p", DeviceKey::encode("src", "fw2"), "blue", true);
   EXPECT_EQ(data->policyLogsSize(), 2u);
   data->removeFlowStatus(f1, "p", dev, "red", false);
   EXPECT_FALSE(data->policyLogsHas(VelPolicyId(dev, "red", "p")));

   data->removeFlowStatus(f1, "p", dev, "blue", true);
   EXPECT_TRUE(log.take().empty());
   EXPECT_EQ(f1->references(), 1u);
   data->removeFlowStatus(f2, "p", dev, "blue", true);
   EXPECT_EQ(log.takeLines(), Strings{"KRO_VEL_RULE_PROGRAMMED: VEL rule for policy p of firewall src/fw, "
                                      "VRF blue was installed"});
   EXPECT_EQ(data->policyLogsSize(), 0u);
   EXPECT_EQ(notified(), (Strings{policyLogs, policyLogs, policyLogs, policyLogs}));

   // Flagged: the recovery message whatever logSuccess says; neither: nothing. Both forget the policy.
   for (bool flagged : {true, false}) {
      data->addFlowStatus(f1, "q", dev, "blue");
      data->policyLogs(VelPolicyId(dev, "blue", "q"))->messageWasLoggedIs(flagged);
      data->removeFlowStatus(f1, "q", dev, "blue", false);
      EXPECT_EQ(data->policyLogsSize(), 0u);
   }
   EXPECT_EQ(log.takeLines(), Strings{"KRO_VEL_RULE_RECOVER: VEL rule for policy q of firewall src/fw, "
                                      "VRF blue is out of error state"});
   // Null pointers and unknown policies change nothing.
   data->addFlowStatus(nullptr, "p", dev, "blue");
   data->removeFlowStatus(nullptr, "p", dev, "blue", true);
   data->removeFlowStatus(f1, "nobody", dev, "blue", true);
   EXPECT_EQ(data->policyLogsSize(), 0u);
   EXPECT_TRUE(log.take().empty());
}

// A message the rate limit refuses is dropped, and the log goes all the same.
TEST_F(LoggingDataTest, RateLimitedMessageStillForgetsThePolicy) {
   auto f = flow("f", {});
   for (int i = 0; i < 2; ++i) {
      data->addFlowStatus(f, "p", dev, "blue");
      data->removeFlowStatus(f, "p", dev, "blue", true);
      EXPECT_EQ(data->policyLogsSize(), 0u);
   }
   EXPECT_EQ(log.take().size(), 1u);
   now += 10;
   data->addFlowStatus(f, "p", dev, "blue");
   data->removeFlowStatus(f, "p", dev, "blue", true);
   EXPECT_EQ(log.take().size(), 1u);
}

TEST_F(LoggingDataTest, TracesEntryPendingSwitchesAndReturn) {
   TraceCapture trace{4, 7, 8};
   data->addFlowStatus(flow("f", {"00:1c:73:00:00:01"}), "p", dev, "blue");
   data->removeFlowStatus(flow("g", {}), "none", dev, "blue", true);
   EXPECT_EQ(
       trace.take(),
       (Strings{"VelLoggingData::addFlowStatus(flowStatus, policyName, deviceName, netVrfName) flow : f "
                "Policy: p Device: src:fw NetVrf: blue",
                " add pending switch: 00:1c:73:00:00:01", " return",
                "VelLoggingData::removeFlowStatus(flowStatus, policyName, deviceName, netVrfName, "
                "logSuccess) flow : g Policy: none Device: src:fw NetVrf: blue logSuccess: true",
                "No policyLog, return", " return"}));
}

TEST(VelLoggingData, DecodeDeviceNameJoinsSourceAndDevice) {
   struct Case {
      char const* encoded;
      char const* readable;
   };
   for (Case c : {Case{"", "/"}, Case{"src:fw", "src/fw"}, Case{"only", "only/"}, Case{":fw", "/fw"},
                  Case{"a\\:b:c", "a:b/c"}, Case{"a:b:c", "a/b"}}) {
      EXPECT_EQ(VelLoggingData::decodeDeviceName(c.encoded), Zat::String(c.readable)) << c.encoded;
   }
}
