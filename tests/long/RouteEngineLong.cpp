// The route engine on the real IPv4 and IPv6 routing tables of the shared data. It takes minutes in a
// debug build, so it carries the label "long" and stays out of the default test run.
//
// The literal walk is quadratic, so the full tables are checked against what the walk's result must be
// (computed by probing shorter prefixes, which is slow but plain), and the literal walk itself runs on
// 20,000-route samples, events and all.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <iterator>
#include <map>
#include <random>
#include <set>
#include <stdexcept>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "RouteTableFile.h"
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

// Both tables, in route order.
struct Data {
   std::string missing;
   std::vector<RouteKey> routes;
   std::size_t lines = 0;
};

Data const& data() {
   static Data const d = [] {
      Data out;
      for (char const* name : {"bgp-ipv4.txt.gz", "bgp-ipv6.txt.gz"}) {
         std::string const path = routefile::dataPath(name);
         if (!routefile::available(path)) {
            out.missing = path + " not found";
            return out;
         }
         std::vector<RouteKey> const part = routefile::load(path);
         out.lines += part.size();
         out.routes.insert(out.routes.end(), part.begin(), part.end());
      }
      std::sort(out.routes.begin(), out.routes.end());
      out.routes.erase(std::unique(out.routes.begin(), out.routes.end()), out.routes.end());
      return out;
   }();
   return d;
}

#define REQUIRE_DATA() \
   if (!data().missing.empty()) GTEST_SKIP() << "route data absent: " << data().missing

unsigned width(IpGenPrefix const& p) {
   return p.family() == Ipkit::ipFamilyV4 ? 32 : 128;
}



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
   std::set<RouteKey> out;
   for (RouteKey const& r : s) out.insert(r);
   return out;
}

// What a rebuild must leave when the surviving prior summary holds no two destinations that include one
// another (true of an empty summary and of any rebuild's result): one route for every destination of the
// table that no other non-default destination includes, namely the prior member with that destination
// if there was one, else the smallest via; defaults never; every route with no family.
std::set<RouteKey> expectedSummary(std::vector<RouteKey> const& sortedTable,
                                   std::set<RouteKey> const& prior) {
   std::unordered_set<IpGenPrefix> destinations;
   std::set<unsigned> lengths[3];
   for (RouteKey const& r : sortedTable) {
      if (ref::isDefault(r.destination) || r.destination.family() == Ipkit::ipFamilyNone) continue;
      destinations.insert(r.destination);
      lengths[r.destination.family()].insert(r.destination.length());
   }
   std::map<IpGenPrefix, RouteKey> survivors;
   for (RouteKey const& s : prior) {
      if (std::binary_search(sortedTable.begin(), sortedTable.end(), s)) survivors.emplace(s.destination, s);
   }
   std::set<RouteKey> out;
   for (RouteKey const& r : sortedTable) {
      IpGenPrefix const& d = r.destination;
      if (d.family() == Ipkit::ipFamilyNone) {
         out.insert(r);
         continue;
      }
      if (ref::isDefault(d)) continue;
      bool covered = false;
      for (unsigned len : lengths[d.family()]) {
         if (len >= d.length()) break;
         if (destinations.contains(IpGenPrefix(d.address(), len))) {
            covered = true;
            break;
         }
      }
      if (covered) continue;
      auto s = survivors.find(d);
      if (s != survivors.end()) {
         out.insert(s->second);
      } else if (out.empty() || out.rbegin()->destination != d) {
         out.insert(r);  // the table is in route order: the first route of a destination has its smallest via
      }
   }
   return out;
}

// The first route in route order whose destination includes p, found by probing every length up to p's.
class ProbingLookup {
 public:
   explicit ProbingLookup(std::vector<RouteKey> const& sortedTable) {
      for (RouteKey const& r : sortedTable) {
         if (r.destination.family() == Ipkit::ipFamilyNone) continue;
         smallest_.emplace(r.destination, r.via);  // the first one stays: the smallest via
         lengths_[r.destination.family()].insert(r.destination.length());
      }
   }
   IpGenAddr operator()(IpGenPrefix const& p) const {
      if (p.family() == Ipkit::ipFamilyNone) return IpGenAddr();
      for (unsigned len : lengths_[p.family()]) {
         if (len > p.length()) break;
         auto it = smallest_.find(IpGenPrefix(p.address(), len));
         if (it != smallest_.end()) return it->second;
      }
      return IpGenAddr();
   }

 private:
   std::unordered_map<IpGenPrefix, IpGenAddr> smallest_;
   std::set<unsigned> lengths_[3];
};

// 1% of the routes change: half of them go, the other half are new routes, of which half cover existing
// destinations (they remove summary members) and half are other vias of existing destinations.
struct Change {
   std::vector<RouteKey> gone, fresh;
};

Change onePercent(std::vector<RouteKey> const& routes, std::uint32_t seed) {
   std::mt19937 rng(seed);
   std::set<RouteKey> const all(routes.begin(), routes.end());
   std::size_t const half = routes.size() / 200;
   Change c;
   std::set<RouteKey> picked;
   while (c.gone.size() < half) {
      RouteKey const& r = routes[rng() % routes.size()];
      if (picked.insert(r).second) c.gone.push_back(r);
   }
   while (c.fresh.size() < half) {
      RouteKey r = routes[rng() % routes.size()];
      if (c.fresh.size() % 2 == 0) {
         unsigned const shorter = 1 + rng() % 4;
         if (r.destination.length() <= shorter + 8) continue;
         r.destination = IpGenPrefix(r.destination.address(), r.destination.length() - shorter);
      } else {
         r.via = routes[rng() % routes.size()].via;
      }
      if (!all.contains(r) && picked.insert(r).second) c.fresh.push_back(r);
   }
   return c;
}

}  // namespace

// The loader refuses anything but "PREFIX NEXTHOP" lines, naming the line, and needs no shared data.
TEST(RouteEngineLong, MalformedLinesAreRefusedWithTheirLineNumber) {
   std::string const dir = ::testing::TempDir();
   auto write = [&](std::string const& name, std::string const& text) {
      std::string const path = dir + "/" + name;
      FILE* pipe = popen(("gzip -c > '" + path + "'").c_str(), "w");
      EXPECT_NE(pipe, nullptr);
      if (pipe) {
         std::fwrite(text.data(), 1, text.size(), pipe);
         EXPECT_EQ(pclose(pipe), 0);
      }
      return path;
   };
   auto failure = [](std::string const& path) -> std::string {
      try {
         routefile::load(path);
      } catch (std::runtime_error const& e) {
         return e.what();
      }
      return "no exception";
   };
   std::string const good = write("good.txt.gz", "10.0.0.0/8 192.0.2.1\n2001:db8::/32 2001:db8::1\n");
   std::vector<RouteKey> const routes = routefile::load(good);
   ASSERT_EQ(routes.size(), 2u);
   EXPECT_EQ(routes[1], (RouteKey{IpGenPrefix("2001:db8::/32"), IpGenAddr("2001:db8::1")}));

   for (std::string const bad : {"10.0.0.0/33 192.0.2.1", "10.0.0.0/8", "10.0.0.0/8 ", " 192.0.2.1",
                                 "10.0.0.0/8 192.0.2.x", "10.0.0.0 192.0.2.1", ""}) {
      std::string const path = write("bad.txt.gz", "10.0.0.0/8 192.0.2.1\n" + bad + "\n");
      EXPECT_NE(failure(path).find("bad.txt.gz:2: not 'PREFIX NEXTHOP'"), std::string::npos) << bad;
   }
   EXPECT_NE(failure(dir + "/absent.txt.gz").find("failed"), std::string::npos);
}

TEST(RouteEngineLong, TablesLoad) {
   REQUIRE_DATA();
   // The file lines are unique routes; the two files hold 1,177,977 and 286,577 of them.
   EXPECT_EQ(data().lines, 1177977u + 286577u);
   EXPECT_EQ(data().routes.size(), data().lines);
}

TEST(RouteEngineLong, FullTablesSummariseAndStaySteady) {
   REQUIRE_DATA();
   std::vector<RouteKey> table = data().routes;
   RouteIndex<> index;
   for (RouteKey const& r : table) ASSERT_TRUE(index.add(r));
   ASSERT_EQ(index.size(), table.size());

   // From an empty summary.
   Summary summary;
   Counter first;
   VelL3V2::detail::recomputeSummary(index, summary, &first);
   std::set<RouteKey> result = contents(summary);
   ASSERT_EQ(result, expectedSummary(table, {}));
   EXPECT_EQ(first.adds, summary.size());
   EXPECT_EQ(first.skips + first.adds, table.size());  // the data has no default route
   EXPECT_EQ(first.skipDefaults + first.removals + first.stale, 0u);

   // Again, with nothing changed: nothing moves.
   Counter again;
   VelL3V2::detail::recomputeSummary(index, summary, &again);
   EXPECT_EQ(contents(summary), result);
   EXPECT_EQ(again.adds + again.removals + again.stale, 0u);

   // 1% of the routes change: the result is right, and the summary is edited, not rebuilt.
   Change const change = onePercent(table, 17);
   for (RouteKey const& r : change.gone) ASSERT_TRUE(index.remove(r));
   for (RouteKey const& r : change.fresh) ASSERT_TRUE(index.add(r));
   {
      std::set<RouteKey> const gone(change.gone.begin(), change.gone.end());
      std::vector<RouteKey> fresh = change.fresh, kept;
      std::sort(fresh.begin(), fresh.end());
      std::copy_if(table.begin(), table.end(), std::back_inserter(kept),
                   [&](RouteKey const& r) { return !gone.contains(r); });
      table.clear();
      std::merge(kept.begin(), kept.end(), fresh.begin(), fresh.end(), std::back_inserter(table));
   }
   ASSERT_EQ(index.size(), table.size());
   Counter changed;
   VelL3V2::detail::recomputeSummary(index, summary, &changed);
   std::set<RouteKey> const after = contents(summary);
   ASSERT_EQ(after, expectedSummary(table, result));
   std::size_t difference = 0;
   for (RouteKey const& r : after) difference += !result.contains(r);
   for (RouteKey const& r : result) difference += !after.contains(r);
   // Every change to the set is one event, and no member goes and comes back.
   EXPECT_EQ(changed.adds + changed.removals + changed.stale, difference);
   EXPECT_GT(changed.removals, 0u);
   EXPECT_GT(changed.stale, 0u);
   EXPECT_LT(difference, after.size() / 20);
}

// The literal walk on samples of 20,000 routes, each with a different prior summary: empty; another
// sample's result (mostly stale); this sample's result edited by hand so that members include each other
// and stray routes sit in it.
TEST(RouteEngineLong, SamplesMatchTheLiteralWalk) {
   REQUIRE_DATA();
   std::mt19937 rng(23);
   auto sampleOf = [&](std::size_t n) {
      std::vector<RouteKey> s;
      std::sample(data().routes.begin(), data().routes.end(), std::back_inserter(s), n, rng);
      return s;  // std::sample keeps the order: route order
   };
   std::size_t const n = 20000;
   Summary carried;
   for (int round = 0; round < 3; ++round) {
      std::vector<RouteKey> const table = sampleOf(n);
      RouteIndex<> index;
      for (RouteKey const& r : table) index.add(r);
      Summary prior;
      if (round == 1) prior = carried;
      if (round == 2) {
         Summary base;
         VelL3V2::detail::recomputeSummary(index, base);
         prior = base;
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
      ASSERT_EQ(rec.log.size(), log.size()) << "round " << round;
      for (std::size_t i = 0; i < log.size(); ++i)
         ASSERT_EQ(rec.log[i], log[i]) << "round " << round << " event " << i;
      carried = actual;
   }
}

TEST(RouteEngineLong, LookupsMatchProbingEveryLength) {
   REQUIRE_DATA();
   std::vector<RouteKey> table = data().routes;
   RouteIndex<> index;
   for (RouteKey const& r : table) index.add(r);
   std::mt19937 rng(29);
   auto check = [&](std::vector<RouteKey> const& t, std::size_t probes) {
      ProbingLookup const expect(t);
      for (std::size_t i = 0; i < probes; ++i) {
         IpGenPrefix const& d = data().routes[rng() % data().routes.size()].destination;
         ASSERT_EQ(index.lookup(d), expect(d)) << d;
         // An address inside it, host bits random.
         IpGenAddr::Bytes b = d.address().bytes();
         for (unsigned bit = d.length(); bit < width(d); ++bit) {
            if (rng() & 1) b[bit / 8] |= std::uint8_t(0x80u >> (bit % 8));
         }
         IpGenAddr const a = d.family() == Ipkit::ipFamilyV4
                                 ? IpGenAddr::v4(std::uint32_t(b[0]) << 24 | std::uint32_t(b[1]) << 16 |
                                                 std::uint32_t(b[2]) << 8 | b[3])
                                 : IpGenAddr::v6(b);
         ASSERT_EQ(index.lookup(a), expect(IpGenPrefix(a, width(d)))) << a;
         // A shorter prefix of it, often covering nothing.
         IpGenPrefix const up(d.address(), d.length() - std::min<unsigned>(d.length(), rng() % 12));
         ASSERT_EQ(index.lookup(up), expect(up)) << up;
      }
   };
   check(table, 100000);
   // A fifth of the routes go, without any rebuild: lookups follow at once.
   std::vector<RouteKey> kept;
   for (RouteKey const& r : table) {
      if (rng() % 5 == 0) {
         ASSERT_TRUE(index.remove(r));
      } else {
         kept.push_back(r);
      }
   }
   ASSERT_EQ(index.size(), kept.size());
   check(kept, 100000);
}
