// The requestor-counted pattern on the compiler's own test levels. Long random sequences over every real
// level are VelL3V2RequestorModelTest's; what only these levels show is a number key, kept in request
// sets by its text, a level without request sets, and whether a requestor holds anything at a level.
#include <gtest/gtest.h>

#include "ZatgenTest/ZatgenTestTypes.h"

using namespace ZatgenTest;

TEST(Requestors, NumberKeysLevelsWithoutRequestSetsAndHolders) {
   using Branches = Zat::Requestors<Root::BranchRequests>;
   using Leaves = Zat::Requestors<Branch::LeafRequests>;
   auto root = Root::RootIs("r");
   Zat::Ptr<Branch> b = Branches::add(*root, "a", "r1");
   EXPECT_EQ(Branches::add(*root, "a", "r2"), b);
   Leaves::add(*b, 10, "r1");
   Leaves::add(*b, 10, "r2");
   Leaves::add(*b, 11, "r2");
   EXPECT_TRUE(Leaves::has(*b, "r1") && Leaves::has(*b, "r2") && !Leaves::has(*b, "r3"));
   EXPECT_TRUE(b->leafRequestSet("r1")->requestHas("10"));
   auto released = [](Zat::Released r) { return std::to_string(r.child) + std::to_string(r.requestSet); };
   EXPECT_EQ(released(Leaves::remove(*b, 10, "r1")), "01");  // the leaf stays for r2
   EXPECT_FALSE(Leaves::has(*b, "r1"));
   EXPECT_EQ(released(Leaves::remove(*b, 10, "r2")), "10");  // r2 still asks for 11
   EXPECT_EQ(released(Leaves::remove(*b, 10, "r2")), "00");
   EXPECT_EQ(released(Leaves::remove(*b, 11, "r2")), "11");
   EXPECT_EQ(released(Branches::remove(*root, "a", "r1")), "00");
   EXPECT_EQ(released(Branches::remove(*root, "a", "r2")), "10");
   EXPECT_EQ(root->branchSize(), 0u);
}

// A key's request text: a string as it is, a number by its text form, a one-string key by its string.
TEST(Requestors, RequestTexts) {
   EXPECT_EQ(Zat::requestText(Zat::String("g1")), Zat::String("g1"));
   EXPECT_EQ(Zat::requestText(std::uint32_t(10)), Zat::String("10"));
   EXPECT_EQ(Zat::requestText(Key(Zat::String("k"))), Zat::String("k"));
}
