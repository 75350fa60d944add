// The requestor-counted pattern against a model: random adds and removals by several requestors, absent
// keys and requestors included, over two levels, where a branch that loses its last requestor takes its
// leaves and request sets with it.
#include <gtest/gtest.h>

#include <map>
#include <random>
#include <set>
#include <string>

#include "ZatgenTest/ZatgenTestTypes.h"

using namespace ZatgenTest;

namespace {

using Names = std::set<std::string>;

struct BranchModel {
   Names requestors;
   std::map<std::uint32_t, Names> leaves;   // leaf -> its requestors
   std::map<std::string, Names> requests;   // requestor -> the leaf texts it asked for
};

template <class Coll>
Names keysOf(Coll const& c) {
   Names out;
   for (auto const& k : c) out.insert(k.str());
   return out;
}

void expectMatches(Root const& root, std::map<std::string, BranchModel> const& model, std::string const& step) {
   ASSERT_EQ(root.branchSize(), model.size()) << step;
   for (auto const& [name, m] : model) {
      Zat::Ptr<Branch> b = root.branch(name);
      ASSERT_TRUE(b) << step << " branch " << name;
      EXPECT_EQ(keysOf(b->requestorCollection()), m.requestors) << step;
      ASSERT_EQ(b->leafSize(), m.leaves.size()) << step;
      for (auto const& [id, requestors] : m.leaves) {
         Zat::Ptr<Leaf> leaf = b->leaf(id);
         ASSERT_TRUE(leaf) << step << " leaf " << id;
         EXPECT_EQ(keysOf(leaf->requestorCollection()), requestors) << step;
      }
      ASSERT_EQ(b->leafRequestSetSize(), m.requests.size()) << step;
      for (auto const& [r, texts] : m.requests) {
         Zat::Ptr<RequestSet> set = b->leafRequestSet(r);
         ASSERT_TRUE(set) << step << " request set " << r;
         EXPECT_EQ(keysOf(set->requestCollection()), texts) << step;
         EXPECT_TRUE(Zat::Requestors<Branch::LeafRequests>::has(*b, r)) << step;
      }
   }
}

}  // namespace

TEST(Requestors, RandomOperationsMatchTheModel) {
   using Branches = Zat::Requestors<Root::BranchRequests>;
   using Leaves = Zat::Requestors<Branch::LeafRequests>;
   std::mt19937 rng(20261206);
   std::vector<std::string> const names = {"a", "b", "c"}, requestors = {"r1", "r2", "r3"};
   auto pick = [&](auto const& v) { return v[rng() % v.size()]; };
   for (int round = 0; round < 20; ++round) {
      auto root = Root::RootIs("r");
      std::map<std::string, BranchModel> model;
      for (int step = 0; step < 200; ++step) {
         std::string const name = pick(names), r = pick(requestors);
         std::uint32_t const id = 1 + rng() % 3;
         std::string const what = std::to_string(round) + "/" + std::to_string(step);
         switch (rng() % 4) {
            case 0: {
               Zat::Ptr<Branch> added = Branches::add(*root, name, r);
               EXPECT_EQ(added, root->branch(name)) << what;
               model[name].requestors.insert(r);
               break;
            }
            case 1: {
               Zat::Released const released = Branches::remove(*root, name, r);
               bool const gone = model.count(name) && model[name].requestors.erase(r) &&
                                 model[name].requestors.empty();
               if (gone) model.erase(name);
               EXPECT_EQ(released.child, gone) << what;
               EXPECT_FALSE(released.requestSet) << what;
               break;
            }
            case 2:
               if (Zat::Ptr<Branch> b = root->branch(name)) {
                  EXPECT_EQ(Leaves::add(*b, id, r)->id(), id);
                  model[name].leaves[id].insert(r);
                  model[name].requests[r].insert(std::to_string(id));
               }
               break;
            default:
               if (Zat::Ptr<Branch> b = root->branch(name)) {
                  Zat::Released const released = Leaves::remove(*b, id, r);
                  BranchModel& m = model[name];
                  bool const leafGone = m.leaves.count(id) && m.leaves[id].erase(r) && m.leaves[id].empty();
                  if (leafGone) m.leaves.erase(id);
                  bool const setGone = m.requests.count(r) && m.requests[r].erase(std::to_string(id)) &&
                                       m.requests[r].empty();
                  if (setGone) m.requests.erase(r);
                  EXPECT_EQ(released.child, leafGone) << what;
                  EXPECT_EQ(released.requestSet, setGone) << what;
               }
         }
         expectMatches(*root, model, what);
         if (HasFatalFailure()) return;
      }
   }
}

// A key's request text: a string as it is, a number by its text form, a one-string key by its string.
TEST(Requestors, RequestTexts) {
   EXPECT_EQ(Zat::requestText(Zat::String("g1")), Zat::String("g1"));
   EXPECT_EQ(Zat::requestText(std::uint32_t(10)), Zat::String("10"));
   EXPECT_EQ(Zat::requestText(Key(Zat::String("k"))), Zat::String("k"));
}
