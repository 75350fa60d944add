// The hash table's own edge: runs that pile up at the end of the table. Slots past the last home slot
// take a run's spill only up to a short tail, so a table whose keys all hash near the top must grow
// until its last run fits, and still hold every key in walk order.
#include <gtest/gtest.h>

#include <vector>

#include "Zat/Collections.h"

using namespace Zat;

TEST(ZatHashTable, RunsPiledAtTheEndGrowUntilTheyFit) {
   using Set = ValueSet<std::uint32_t, 4242>;
   Set probe;
   std::uint32_t const seed = hashSeed32() ^ Set::hashConstant;
   // Keys whose hashes lie in the top 1/256 of the range: at any capacity below 256 they share the last
   // home slot, so the whole set is one run from there on.
   std::vector<std::uint32_t> top;
   for (std::uint32_t k = 0; top.size() < 300; ++k) {
      if (keyHash(seed, k) >> 24 == 0xff) top.push_back(k);
   }
   Set forward, backward;
   for (auto k : top) forward.insert(k);
   for (auto it = top.rbegin(); it != top.rend(); ++it) backward.insert(*it);
   EXPECT_EQ(forward.size(), top.size());
   for (auto k : top) EXPECT_TRUE(forward.contains(k)) << k;
   EXPECT_FALSE(forward.contains(top.back() + 1));
   EXPECT_EQ(forward, backward);
   // The walk is in ascending hash order, whatever the capacity the run forced.
   std::uint32_t last = 0;
   std::size_t walked = 0;
   for (auto k : forward) {
      EXPECT_GE(keyHash(seed, k), last);
      last = keyHash(seed, k);
      ++walked;
   }
   EXPECT_EQ(walked, top.size());
   // Erasing shifts the run back; every other key stays where a lookup finds it.
   for (std::size_t i = 0; i < top.size(); i += 2) EXPECT_TRUE(forward.erase(top[i]));
   for (std::size_t i = 0; i < top.size(); ++i) EXPECT_EQ(forward.contains(top[i]), i % 2 == 1) << i;
}
