// Keyed hash collections against a standard-library model.
#include <gtest/gtest.h>

#include <map>
#include <random>
#include <set>
#include <vector>

#include "Zat/Collections.h"

using namespace Zat;

namespace {
using Set = ValueSet<std::uint32_t, 12345>;
using StrMap = ValueMap<String, std::uint32_t, 777>;

std::vector<std::uint32_t> keys(Set const& s) {
   std::vector<std::uint32_t> out;
   for (auto k : s) out.push_back(k);
   return out;
}
}  // namespace

TEST(ZatCollections, SetBasics) {
   Set s;
   EXPECT_TRUE(s.empty());
   EXPECT_EQ(s.begin(), s.end());
   EXPECT_FALSE(s.contains(1));
   EXPECT_FALSE(s.erase(1));
   EXPECT_TRUE(s.insert(1));
   EXPECT_FALSE(s.insert(1));
   EXPECT_TRUE(s.contains(1));
   EXPECT_EQ(s.size(), 1u);
   EXPECT_TRUE(s.erase(1));
   EXPECT_FALSE(s.contains(1));
   EXPECT_TRUE(s.empty());
   // Every change moves the version; a refused one does not.
   auto v = s.version();
   s.insert(2);
   EXPECT_NE(s.version(), v);
   v = s.version();
   s.insert(2);
   s.erase(3);
   EXPECT_EQ(s.version(), v);
}

TEST(ZatCollections, EqualityAndOrderIgnoreHistory) {
   std::mt19937 rng(7);
   std::vector<std::uint32_t> ks;
   for (int i = 0; i < 2000; ++i) ks.push_back(rng());
   Set a, b;
   for (auto k : ks) a.insert(k);
   // b gets the same keys in another order, after growing further and losing extra keys.
   for (int i = 0; i < 5000; ++i) b.insert(1000000 + i);
   std::shuffle(ks.begin(), ks.end(), rng);
   for (auto k : ks) b.insert(k);
   for (int i = 0; i < 5000; ++i) b.erase(1000000 + i);
   EXPECT_EQ(a, b);
   EXPECT_EQ(keys(a), keys(b));
   b.erase(ks[0]);
   EXPECT_FALSE(a == b);
   b.insert(ks[0] + 1);
   EXPECT_FALSE(a == b);
   Set c = a;
   EXPECT_EQ(c, a);
   c = Set();
   EXPECT_TRUE(c.empty());
   // Moved-from collections are reusable: refilled, they equal and walk like any other with those keys.
   Set moved(std::move(a));
   Set assigned;
   assigned = std::move(moved);
   for (auto k : ks) {
      a.insert(k);
      moved.insert(k);
   }
   EXPECT_EQ(a, assigned);
   EXPECT_EQ(moved, assigned);
   EXPECT_EQ(keys(a), keys(assigned));
   EXPECT_EQ(keys(moved), keys(assigned));
}

TEST(ZatCollections, UncheckedWalkRefusesAChangedCollection) {
   Set s;
   for (std::uint32_t i = 0; i < 10; ++i) s.insert(i);
   auto it = s.begin();
   ++it;
   s.insert(100);
   EXPECT_THROW(++it, PreconditionException);
   EXPECT_THROW(*it, PreconditionException);
}

TEST(ZatCollections, CursorToleratesDeletingTheCurrentElement) {
   Set s;
   for (std::uint32_t i = 0; i < 300; ++i) s.insert(i * 7);
   std::vector<std::uint32_t> order = keys(s);
   // Delete every other element while standing on it: every element is still visited exactly once.
   std::vector<std::uint32_t> seen;
   bool del = true;
   for (auto c = s.cursor(); c; ++c) {
      seen.push_back(c.key());
      if (del) s.erase(c.key());
      del = !del;
   }
   EXPECT_EQ(seen, order);
   EXPECT_EQ(s.size(), 150u);
   // Delete-all loop.
   for (auto c = s.cursor(); c; ++c) s.erase(c.key());
   EXPECT_TRUE(s.empty());
   // Starting from an absent key resumes at the next one in iteration order.
   for (std::uint32_t i = 0; i < 50; ++i) s.insert(i);
   auto all = keys(s);
   auto c = s.cursor(all[10]);
   EXPECT_EQ(c.key(), all[10]);
   s.erase(all[10]);
   ++c;
   EXPECT_EQ(c.key(), all[11]);
   // Inserting while walking (which may grow the table) never revisits a key.
   std::set<std::uint32_t> visited;
   for (auto d = s.cursor(); d; ++d) {
      EXPECT_TRUE(visited.insert(d.key()).second);
      if (d.key() < 50) s.insert(d.key() + 1000);
   }
}

TEST(ZatCollections, MapSetOverwritesOnlyChangedValues) {
   StrMap m;
   EXPECT_TRUE(m.set("a", 1));
   EXPECT_FALSE(m.set("a", 1));
   EXPECT_TRUE(m.set("a", 2));
   ASSERT_NE(m.find("a"), nullptr);
   EXPECT_EQ(*m.find("a"), 2u);
   EXPECT_EQ(m.find("b"), nullptr);
   StrMap n;
   n.set("a", 3);
   EXPECT_FALSE(m == n);  // same keys, different values
   n.set("a", 2);
   EXPECT_TRUE(m == n);
   auto c = m.cursor();
   ASSERT_TRUE(c);
   EXPECT_EQ(c.entry()->second, 2u);
   m.erase("a");
   EXPECT_EQ(c.entry(), nullptr);
   ++c;
   EXPECT_FALSE(c);
}

TEST(ZatCollections, RandomOperationsMatchTheModel) {
   std::mt19937 rng(2024);
   for (int round = 0; round < 40; ++round) {
      Set s;
      std::set<std::uint32_t> model;
      std::uint32_t const range = 1 + rng() % 400;
      for (int step = 0; step < 600; ++step) {
         std::uint32_t k = rng() % range;
         switch (rng() % 6) {
            case 0:
            case 1:
            case 2: EXPECT_EQ(s.insert(k), model.insert(k).second); break;
            case 3: EXPECT_EQ(s.erase(k), model.erase(k) == 1); break;
            case 4: {  // delete a random share while walking
               std::uint32_t mod = 2 + rng() % 3;
               for (auto c = s.cursor(); c; ++c) {
                  if (c.key() % mod == 0) {
                     model.erase(c.key());
                     s.erase(c.key());
                  }
               }
               break;
            }
            case 5: {
               Set copy = s;
               EXPECT_EQ(copy, s);
               if (rng() % 8 == 0) {
                  s.clear();
                  model.clear();
               }
               break;
            }
         }
         ASSERT_EQ(s.size(), model.size());
         ASSERT_EQ(s.contains(k), model.count(k) == 1);
      }
      std::vector<std::uint32_t> got = keys(s);
      std::sort(got.begin(), got.end());
      EXPECT_EQ(got, std::vector<std::uint32_t>(model.begin(), model.end()));
   }
}
