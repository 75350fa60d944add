// Keyed hash collections: what the runtime promises beyond the randomised model checks of every
// collection kind in tests/zatgen/RandomCollectionsTest.cpp (contents, cursors under deletion,
// notifications): versions, equality whatever the history, and the walks' refusals and starting points.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
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
   // Moved-from collections are reusable: refilled, they equal and walk like any other with those keys.
   Set moved(std::move(a));
   Set assigned;
   assigned = std::move(moved);
   for (auto k : ks) {
      a.insert(k);
      moved.insert(k);
   }
   EXPECT_EQ(a, assigned);
   EXPECT_EQ(moved, assigned);  // equality walks both side by side
   // Maps compare values too.
   StrMap m, n;
   m.set("a", 1);
   n.set("a", 2);
   EXPECT_FALSE(m == n);
   n.set("a", 1);
   EXPECT_TRUE(m == n);
}

TEST(ZatCollections, WalksRefuseAChangedCollectionAndCursorsStartAnywhere) {
   Set s;
   for (std::uint32_t i = 0; i < 10; ++i) s.insert(i);
   // What changes nothing moves no version, so an unchecked walk goes on.
   std::uint32_t const version = s.version();
   int walked = 0;
   for (auto k : s) {
      EXPECT_FALSE(s.insert(k));
      EXPECT_FALSE(s.erase(100));
      ++walked;
   }
   EXPECT_EQ(walked, 10);
   EXPECT_EQ(s.version(), version);
   // A real change stops it at the next step, rather than letting it read moved entries.
   auto it = s.begin();
   ++it;
   EXPECT_TRUE(s.insert(100));
   EXPECT_NE(s.version(), version);
   EXPECT_THROW(++it, PreconditionException);
   EXPECT_THROW(*it, PreconditionException);
   // A cursor starts at a key, or after it in walk order when the key is absent.
   std::vector<std::uint32_t> const all = keys(s);
   EXPECT_EQ(s.cursor(all[3]).key(), all[3]);
   s.erase(all[3]);
   EXPECT_EQ(s.cursor(all[3]).key(), all[4]);
   s.erase(all.back());
   auto const past = s.cursor(all.back());
   EXPECT_FALSE(past);
   EXPECT_THROW(past.key(), PreconditionException);
}
