// What the randomized model test of the host levels cannot see: the trace lines, what is published and
// what is silent, and the replacement of a host's status part.
#include <gtest/gtest.h>

#include "support/Recorder.h"
#include "support/TraceCapture.h"

using namespace VelL3V2;
using Lines = std::vector<std::string>;
using VelL3::V2::GroupName;
using VelL3::V2::MemberKey;

TEST(VelL3V2HostSet, TraceLinesAndNotifications) {
   auto group = PerGroupHostSet::PerGroupHostSetIs(GroupName("web"));
   Recorder seen;
   group->addLegacyNotifiee(&seen);
   TraceCapture trace{6, 7, 8};
   group->addPerVniHostSet(10, "A");
   group->addPerVniHostSet(10, "A");
   Zat::Ptr<PerVniHostSet> vni = group->addPerVniHostSet(10, "B");
   std::string const sets = std::to_string(PerGroupHostSet::AttrId::perVniHostSet) + ":10",
                     requests = std::to_string(PerGroupHostSet::AttrId::vniRequestSet) + ":";
   // The request sets' own entries are silent: a repeated add publishes nothing.
   EXPECT_EQ(seen.take(), (Lines{sets, requests + "'A'", requests + "'B'"}));
   EXPECT_EQ(trace.take().size(), 6u);
   group->removePerVniHostSet(10, "A");
   group->removePerVniHostSet(10, "B");
   EXPECT_EQ(seen.take(), (Lines{requests + "'A'", sets, requests + "'B'"}));
   EXPECT_EQ(trace.take(),
             (Lines{"PerGroupHostSet::removePerVniHostSet VNI: 10 Requestor: A", " Removing requestSet",
                    " return", "PerGroupHostSet::removePerVniHostSet VNI: 10 Requestor: B",
                    " Removing PerVniHostSet", " Removing requestSet", " return"}));
   vni->addHostConfig(MemberKey("h1"));
   EXPECT_FALSE(vni->hasHostStatuss());
   trace.take();
   vni->removeHostConfig(MemberKey("h1"));
   EXPECT_EQ(trace.take(), (Lines{"PerVniHostSet::removeHostConfig Host: h1", " Removing Host",
                                  " Removing requestSet", " return"}));
   group->removeLegacyNotifiee(&seen);
}

// A status part with the same keys is kept; with another group it is replaced, once published, and
// linked to no parent.
TEST(VelL3V2HostSet, StatusPartIsReplacedWhenItsKeysChange) {
   auto vni = PerVniHostSet::PerVniHostSetIs(7);
   Zat::Ptr<HostStatus> first = vni->addHostStatus("blue", GroupName("web"), MemberKey("h1"));
   Zat::Ptr<Host> host = vni->host(MemberKey("h1"));
   Recorder seen;
   host->addLegacyNotifiee(&seen);
   EXPECT_EQ(vni->addHostStatus("blue", GroupName("web"), MemberKey("h1")), first);
   Zat::Ptr<HostStatus> second = vni->addHostStatus("blue", GroupName("db"), MemberKey("h1"));
   EXPECT_NE(second, first);
   EXPECT_EQ(second->vni(), Ipkit::Vni(7));
   EXPECT_EQ(second->parent(), nullptr);
   EXPECT_EQ(seen.take(), Lines{std::to_string(Host::AttrId::status)});
   EXPECT_EQ(vni->getHostStatus(MemberKey("h1")), second);
   EXPECT_EQ(vni->getHostStatus(MemberKey("h2")), nullptr);
   host->removeLegacyNotifiee(&seen);
}
