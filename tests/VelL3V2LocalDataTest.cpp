// The second-generation root: priority bands and their refusals, the flow-order bands, group type
// requests and the root's trace lines. The requestor rules of the root's sets are in the randomized model
// test.
#include <gtest/gtest.h>

#include <sstream>

#include "support/Recorder.h"
#include "support/TextChecks.h"
#include "support/TraceCapture.h"

using namespace VelL3V2;
using Lines = std::vector<std::string>;
using Type = RedirectPolicyType;
using VelL3::V2::FlowOrder;
using VelL3::V2::GroupName;

using testing_text::refusal;

TEST(VelL3V2LocalData, PrioritiesAndBands) {
   auto root = LocalData::LocalDataIs("root");
   // type, prefix, priority: the length alone places a rule in its band, for either family.
   std::istringstream cases(
       "0 10.0.0.0/24 9896  0 1.2.3.4/32 9904  0 0.0.0.0/1 9873  0 2001:db8::/64 9936 "
       "0 ::1/128 10000  3 1.2.3.4/32 9773  3 ::/1 9742  3 ::1/128 9869  1 0.0.0.0/0 9871 "
       "1 ::1/128 9871  2 ::/0 9870  2 10.0.0.0/8 9870");
   for (unsigned type, priority; cases >> type;) {
      std::string p;
      cases >> p >> priority;
      EXPECT_EQ(root->getPriority(Type(type), Ipkit::IpGenPrefix(p)), priority) << type << " " << p;
   }
   for (unsigned len = 1; len <= 128; ++len) {  // each band is recognised as its own, above the lowest
      Ipkit::IpGenPrefix const p(Ipkit::IpGenAddr("::"), len);
      FlowOrder const group(0, root->getPriority(Type::groupRedirect, p)),
          north(0, root->getPriority(Type::northboundRedirect, p));
      EXPECT_TRUE(root->isGroupRedirectFlow(group) && !root->isNorthboundRedirectFlow(group)) << len;
      EXPECT_TRUE(root->isNorthboundRedirectFlow(north) && !root->isGroupRedirectFlow(north)) << len;
      EXPECT_GT(north.priority(), root->velPriorityLowest());
   }
   // preference, priority, and which of redirect, group and northbound the order is.
   std::istringstream bands(
       "0 9870 101  0 9871 110  0 10000 110  0 10001 100  0 0 101  0 4294967295 100 "
       "1 9871 000  1 9870 000");
   for (unsigned preference, priority; bands >> preference;) {
      std::string expected;
      bands >> priority >> expected;
      FlowOrder const o(preference, priority);
      std::string const got{char('0' + root->isRedirectFlow(o)), char('0' + root->isGroupRedirectFlow(o)),
                            char('0' + root->isNorthboundRedirectFlow(o))};
      EXPECT_EQ(got, expected) << o.stringValue();
   }
   std::string const noDefault = "Default subnet should not be present";
   EXPECT_EQ(refusal([&] { root->getPriority(Type::groupRedirect, Ipkit::IpGenPrefix("0.0.0.0/0")); }),
             noDefault);
   EXPECT_EQ(refusal([&] { root->getPriority(Type::northboundRedirect, Ipkit::IpGenPrefix("::/0")); }),
             noDefault);
   EXPECT_EQ(refusal([&] { root->getPriority(Type(4), Ipkit::IpGenPrefix("::1/128")); }),
             "Unsupported redirect type");
   for (Type t : {Type::groupSouthbound, Type::velDomainBypass, Type(4)})
      EXPECT_EQ(refusal([&] { root->getPriorityBase(t); }), "Either unsupported type or no base is required");
}

TEST(VelL3V2LocalData, GroupTypeRequests) {
   auto root = LocalData::LocalDataIs("root");
   GroupName const onlyR("onlyR"), both("both"), onlyS("onlyS");
   root->addGroupTypeRequest(onlyR, "r");
   root->addGroupTypeRequest(both, "r");
   root->addGroupTypeRequest(both, "s");
   root->addGroupTypeRequest(onlyS, "s");
   root->groupTypeRequestIs(GroupName("empty"));  // public: a request may be made with nobody in it
   Recorder seen;
   root->addLegacyNotifiee(&seen);
   root->clearGroupTypeRequest("r");
   std::string const id = std::to_string(LocalData::AttrId::groupTypeRequest) + ":";
   Lines gone = seen.take();
   std::sort(gone.begin(), gone.end());
   EXPECT_EQ(gone, (Lines{id + "'empty'", id + "'onlyR'"}));  // the requestor sets are silent
   ASSERT_EQ(root->groupTypeRequestSize(), 2u);
   EXPECT_EQ(root->groupTypeRequest(both)->requestorCollection(),
             root->groupTypeRequest(onlyS)->requestorCollection());
   root->removeGroupTypeRequest(onlyS, "r");  // not listed: left as it was
   root->removeGroupTypeRequest(GroupName("absent"), "s");
   EXPECT_EQ(seen.take(), Lines{});
   root->removeGroupTypeRequest(onlyS, "s");
   EXPECT_EQ(seen.take(), Lines{id + "'onlyS'"});
   root->removeLegacyNotifiee(&seen);
}

// The three sets at the root share one rule (the model test's); their trace lines tell them apart.
TEST(VelL3V2LocalData, RootSetsTraceAndClear) {
   auto root = LocalData::LocalDataIs("root");
   Recorder seen;
   root->addLegacyNotifiee(&seen);
   TraceCapture trace{6, 7, 8};
   root->addNetworkVrf("blue", "r1");
   root->addNetworkVrf("blue", "r2");
   root->networkVrf("blue")->switchVrfIs(SwitchVrf("sw1"));
   root->removeNetworkVrf("blue", "r1");
   root->clearNetworkVrf();  // whoever holds it; traces nothing
   root->addNetworkVrf("blue", "r1");
   root->removeNetworkVrf("blue", "r1");
   std::string const vrfs = std::to_string(LocalData::AttrId::networkVrf) + ":'blue'";
   EXPECT_EQ(seen.take(), (Lines{vrfs, vrfs, vrfs, vrfs}));
   Lines lines = trace.take();
   EXPECT_EQ(
       Lines(lines.begin() + 4, lines.end()),
       (Lines{"LocalData::removeNetworkVrf Net VRF: blue Requestor: r1", " return",
              "LocalData::addNetworkVrf Net VRF: blue Requestor: r1", " return",
              "LocalData::removeNetworkVrf Net VRF: blue Requestor: r1", " Removing NetworkVrf", " return"}));
   root->addPerNetVrfHostSet("blue", "r1")->addPerGroupHostSet(GroupName("web"), "r1");
   root->removePerNetVrfHostSet("blue", "r1");
   root->addPerNetVrfFlowSet("red", "r1");
   root->removePerNetVrfFlowSet("red", "r1");
   lines = trace.take();
   lines.erase(lines.begin() + 2, lines.begin() + 4);  // the group set's own
   EXPECT_EQ(lines, (Lines{"LocalData::addPerNetVrfHostSet Net VRF: blue Requestor: r1", " return",
                           "LocalData::removePerNetVrfHostSet Net VRF: blue Requestor: r1",
                           " Removing PerNetVrfHostSet", " return",
                           "LocalData::addPerNetVrfFlowSet Net VRF : red Requestor: r1", " return",
                           "LocalData::removePerNetVrfFlowSet Net VRF : red Requestor: r1",
                           " Removing PerNetVrfFlowSet", " return"}));
   root->removeLegacyNotifiee(&seen);
}
