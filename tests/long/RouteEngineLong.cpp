// The route engine on the real IPv4 and IPv6 routing tables of the shared data, held to the literal walks
// of RouteReference.h. It takes minutes in a debug build, so it carries the label "long" and stays out of
// the default test run.
//
// The literal rebuild is quadratic, so it runs on 20,000-route pieces of the tables, events and all: a
// random sample and runs of consecutive routes, where the real nesting is dense. The full tables are
// rebuilt for their properties and looked up against the literal first-match scan; velroute's summary of
// them is checked against an independent computation by long.velroute.reference.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <iterator>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "RouteFile.h"
#include "Vel/VelL3V2/RouteEngine.h"
#include "support/RouteReference.h"

using Ipkit::IpGenAddr;
using Ipkit::IpGenPrefix;
using VelL3V2::detail::RouteIndex;
using VelL3V2::detail::RouteKey;

namespace {

using routeref::Recorder;
using routeref::Summary;
namespace ref = routeref::ref;

// Both tables, in route order; empty when a file is missing.
std::vector<RouteKey> const& data() {
   static std::vector<RouteKey> const routes = [] {
      std::vector<RouteKey> out;
      for (char const* name : {"/bgp-ipv4.txt.gz", "/bgp-ipv6.txt.gz"}) {
         std::string const path = std::string(VEL_DATA_DIR) + name;
         if (!std::filesystem::is_regular_file(path)) return std::vector<RouteKey>();
         routefile::RouteFile in(path);
         for (RouteKey r; in.next(r.destination, r.via);) out.push_back(r);
      }
      std::sort(out.begin(), out.end());
      return out;
   }();
   return routes;
}

#define REQUIRE_DATA() \
   if (data().empty()) GTEST_SKIP() << "route data absent from " VEL_DATA_DIR

// Counts events by kind.
struct Counter : VelL3V2::detail::SummaryEvents<RouteKey> {
   std::size_t skipDefaults = 0, skips = 0, removals = 0, adds = 0, stale = 0;
   void skipDefault(RouteKey const&) override { ++skipDefaults; }
   void skipIncluded(RouteKey const&, RouteKey const&) override { ++skips; }
   void removal(RouteKey const&, RouteKey const&) override { ++removals; }
   void adding(RouteKey const&) override { ++adds; }
   void removingStale(RouteKey const&) override { ++stale; }
};

std::set<RouteKey> contents(Summary const& s) {
   return std::set<RouteKey>(s.begin(), s.end());
}

// Looks up, in the index and literally, `probes` table destinations picked at random, an address inside
// each (host bits random) and a shorter prefix of each (often covering nothing).
void checkLookups(RouteIndex<> const& index, std::set<RouteKey> const& table, std::size_t probes,
                  std::mt19937& rng) {
   std::vector<RouteKey> const& all = data();
   for (std::size_t i = 0; i < probes; ++i) {
      IpGenPrefix const& d = all[rng() % all.size()].destination;
      ASSERT_EQ(index.lookup(d), ref::lookup(table, d)) << d;
      unsigned const width = d.family() == Ipkit::ipFamilyV4 ? 32 : 128;
      IpGenAddr::Bytes b = d.address().bytes();
      for (unsigned bit = d.length(); bit < width; ++bit) {
         if (rng() & 1) b[bit / 8] |= std::uint8_t(0x80u >> (bit % 8));
      }
      IpGenAddr const a = width == 32 ? IpGenAddr::v4(std::uint32_t(b[0]) << 24 | std::uint32_t(b[1]) << 16 |
                                                      std::uint32_t(b[2]) << 8 | b[3])
                                      : IpGenAddr::v6(b);
      ASSERT_EQ(index.lookup(a), ref::lookup(table, IpGenPrefix(a, width))) << a;
      IpGenPrefix const up(d.address(), d.length() - std::min<unsigned>(d.length(), rng() % 12));
      ASSERT_EQ(index.lookup(up), ref::lookup(table, up)) << up;
   }
}

}  // namespace

// Rebuilt from empty and again unchanged: the events account for every member, and the second rebuild
// changes nothing.
TEST(RouteEngineLong, FullTablesSummariseAndStaySteady) {
   REQUIRE_DATA();
   std::vector<RouteKey> const& table = data();
   // The file lines are unique routes; the two files hold 1,177,977 and 286,577 of them.
   ASSERT_EQ(table.size(), 1177977u + 286577u);
   ASSERT_EQ(std::adjacent_find(table.begin(), table.end()), table.end());
   RouteIndex<> index;
   for (RouteKey const& r : table) ASSERT_TRUE(index.add(r));
   Summary summary;
   Counter first;
   VelL3V2::detail::recomputeSummary(index, summary, &first);
   std::set<RouteKey> const before = contents(summary);
   EXPECT_EQ(first.adds, before.size());
   EXPECT_EQ(first.skips + first.adds, table.size());  // the data has no default route
   EXPECT_EQ(first.skipDefaults + first.removals + first.stale, 0u);
   Counter again;
   VelL3V2::detail::recomputeSummary(index, summary, &again);
   EXPECT_EQ(contents(summary), before);
   EXPECT_EQ(again.adds + again.removals + again.stale, 0u);
}

// The literal rebuild on 20,000-route pieces, each with a different prior summary: a random sample from
// empty; a run of consecutive routes after another piece's result (mostly stale); another run after its
// own result edited by hand, so that members include each other and stray routes sit in it. In the two
// runs the index has lost a few routes since it was built, as a table does between rebuilds.
TEST(RouteEngineLong, PiecesMatchTheLiteralWalk) {
   REQUIRE_DATA();
   std::vector<RouteKey> const& all = data();
   std::mt19937 rng(23);
   std::size_t const n = 20000;
   Summary carried;
   for (int round = 0; round < 3; ++round) {
      std::vector<RouteKey> table;
      if (round == 0) {
         std::sample(all.begin(), all.end(), std::back_inserter(table), n, rng);  // keeps route order
      } else {
         auto const from = all.begin() + std::ptrdiff_t(rng() % (all.size() - n));
         table.assign(from, from + std::ptrdiff_t(n));
      }
      RouteIndex<> index;
      for (RouteKey const& r : table) index.add(r);
      if (round > 0) {
         std::vector<RouteKey> kept;
         for (RouteKey const& r : table) {
            if (rng() % 50 != 0 || !index.remove(r)) kept.push_back(r);
         }
         table.swap(kept);
      }
      Summary prior;
      if (round == 1) prior = carried;
      if (round == 2) {
         VelL3V2::detail::recomputeSummary(index, prior);
         for (int i = 0; i < 300; ++i) {
            RouteKey const r = table[rng() % table.size()];
            prior.insert(r);  // may include, or be included by, members
            RouteKey shorter = r;
            shorter.destination = IpGenPrefix(r.destination.address(), r.destination.length() / 2);
            prior.insert(shorter);  // mostly not a table route
         }
         prior.insert(RouteKey{IpGenPrefix("0.0.0.0/0"), IpGenAddr("192.0.2.1")});
         prior.insert(RouteKey{IpGenPrefix(), IpGenAddr("192.0.2.1")});
      }
      Summary expected = prior, actual = prior;
      std::vector<ref::Event> log;
      ref::recompute(table, expected, log);
      Recorder rec;
      VelL3V2::detail::recomputeSummary(index, actual, &rec);
      ASSERT_EQ(contents(actual), contents(expected)) << "round " << round;
      auto const same = std::mismatch(rec.log.begin(), rec.log.end(), log.begin(), log.end()).first;
      ASSERT_EQ(std::size_t(same - rec.log.begin()), log.size()) << "round " << round << ": event differs";
      ASSERT_EQ(rec.log.size(), log.size()) << "round " << round;
      carried = actual;
   }
}

// Lookups in the full tables, and again after a fifth of the routes went without any rebuild.
TEST(RouteEngineLong, LookupsMatchTheFirstMatchScan) {
   REQUIRE_DATA();
   std::set<RouteKey> table(data().begin(), data().end());
   RouteIndex<> index;
   for (RouteKey const& r : table) index.add(r);
   std::mt19937 rng(29);
   checkLookups(index, table, 100, rng);
   for (auto it = table.begin(); it != table.end();) {
      if (rng() % 5 == 0) {
         ASSERT_TRUE(index.remove(*it));
         it = table.erase(it);
      } else {
         ++it;
      }
   }
   ASSERT_EQ(index.size(), table.size());
   checkLookups(index, table, 100, rng);
}
