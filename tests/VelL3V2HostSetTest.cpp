// What the randomized model test of the host levels cannot see: the trace lines, and what is published
// and what is silent.
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
