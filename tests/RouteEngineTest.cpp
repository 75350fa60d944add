// The route engine: prefix inclusion, the table index and its lookups, and the summary rebuild, checked
// against a literal walk kept here (the definition, written as plainly as possible) over many random
// small tables and prior summaries.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <set>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "Vel/VelL3V2/RouteEngine.h"
#include "support/RouteReference.h"

using Ipkit::IpGenAddr;
using Ipkit::IpGenPrefix;
using VelL3V2::detail::RouteIndex;
using VelL3V2::detail::RouteKey;
using VelL3V2::detail::SummaryEvents;

namespace {

using routeref::Recorder;
using routeref::Summary;
namespace ref = routeref::ref;

RouteKey route(std::string_view dest, std::string_view via) {
   return {IpGenPrefix(dest), IpGenAddr(via)};
}


// Records the engine's events in the reference's form.

std::vector<RouteKey> members(Summary const& s) {
   std::vector<RouteKey> out;
   for (RouteKey const& r : s) out.push_back(r);
   std::sort(out.begin(), out.end());
   return out;
}

// ---------------------------------------------------------------------------------------------------
// Random small tables whose destinations nest, overlap and repeat a lot: addresses use only a few bit
// positions, lengths sit around those positions, and vias come from a handful.
class Gen {
 public:
   explicit Gen(std::uint32_t seed) : rng_(seed) {}

   std::uint32_t below(std::uint32_t n) {
      return std::uniform_int_distribution<std::uint32_t>(0, n - 1)(rng_);
   }
   bool chance(unsigned percent) { return below(100) < percent; }

   IpGenPrefix v4() {
      static constexpr unsigned bits[] = {0, 1, 7, 8, 15, 16, 23, 31};
      static constexpr unsigned lengths[] = {0, 1, 2, 7, 8, 9, 16, 17, 24, 31, 32};
      std::uint32_t a = 0;
      for (unsigned b : bits) {
         if (chance(50)) a |= std::uint32_t(1) << (31 - b);
      }
      return IpGenPrefix(IpGenAddr::v4(a), lengths[below(std::size(lengths))]);
   }
   IpGenPrefix v6() {
      static constexpr unsigned bits[] = {0, 1, 15, 16, 63, 64, 100, 127};
      static constexpr unsigned lengths[] = {0, 1, 2, 16, 17, 48, 64, 65, 101, 127, 128};
      IpGenAddr::Bytes b{};
      for (unsigned bit : bits) {
         if (chance(50)) b[bit / 8] |= std::uint8_t(0x80u >> (bit % 8));
      }
      return IpGenPrefix(IpGenAddr::v6(b), lengths[below(std::size(lengths))]);
   }
   IpGenPrefix destination() {
      unsigned const k = below(100);
      if (k < 5) return IpGenPrefix();
      if (k < 10) return chance(50) ? IpGenPrefix("0.0.0.0/0") : IpGenPrefix("::/0");
      return k < 60 ? v4() : v6();
   }
   IpGenAddr via() {
      static IpGenAddr const vias[] = {
          IpGenAddr(),          IpGenAddr("1.1.1.1"),     IpGenAddr("1.1.1.2"),
          IpGenAddr("9.9.9.9"), IpGenAddr("2001:db8::1"), IpGenAddr("2001:db8::2")};
      return vias[below(std::size(vias))];
   }
   RouteKey routeKey() { return {destination(), via()}; }
   // A prefix to look up: often a table destination or one near it, sometimes anything.
   IpGenPrefix probe(std::set<RouteKey> const& table) {
      if (!table.empty() && chance(40)) {
         auto it = table.begin();
         std::advance(it, below(std::uint32_t(table.size())));
         return it->destination;
      }
      return destination();
   }

 private:
   std::mt19937 rng_;
};

class Differential {
 public:
   explicit Differential(std::uint32_t seed) : g_(seed) {}

   void addRoute(RouteKey const& r) {
      bool const fresh = table_.insert(r).second;
      EXPECT_EQ(index_.add(r), fresh) << r;
   }
   void removeRoute(RouteKey const& r) {
      bool const present = table_.erase(r) != 0;
      EXPECT_EQ(index_.remove(r), present) << r;
   }

   void checkLookups(unsigned count) {
      ASSERT_EQ(index_.size(), table_.size());
      for (unsigned i = 0; i < count; ++i) {
         IpGenPrefix const p = g_.probe(table_);
         ASSERT_EQ(index_.lookup(p), ref::lookup(table_, p)) << "lookup " << p << " in " << tableText();
         if (p.family() != Ipkit::ipFamilyNone) {
            // The full-length form of the same address.
            IpGenPrefix const full(p.address(), p.family() == Ipkit::ipFamilyV4 ? 32 : 128);
            ASSERT_EQ(index_.lookup(p.address()), ref::lookup(table_, full)) << "lookup " << p.address();
         }
      }
   }

   // A prior summary for the next rebuild.
   void preparePrior(Summary const& previous) {
      prior_ = Summary();
      switch (g_.below(4)) {
         case 0:
            break;  // empty
         case 1:
            prior_ = previous;
            break;
         default: {
            prior_ = previous;
            unsigned const edits = g_.below(6);
            for (unsigned e = 0; e < edits; ++e) {
               unsigned const k = g_.below(10);
               if (k < 4 && !table_.empty()) {
                  auto it = table_.begin();
                  std::advance(it, g_.below(std::uint32_t(table_.size())));
                  prior_.insert(*it);  // a table route, maybe covering or covered by members
               } else if (k < 7) {
                  prior_.insert(g_.routeKey());  // most likely not in the table
               } else if (!prior_.empty()) {
                  std::vector<RouteKey> const m = members(prior_);
                  prior_.erase(m[g_.below(std::uint32_t(m.size()))]);
               }
            }
         }
      }
   }

   void rebuildAndCompare(Summary& result) {
      Summary expected = prior_;
      std::vector<ref::Event> expectedLog;
      ref::recompute(table_, expected, expectedLog);

      Summary actual = prior_;
      Recorder recorder;
      VelL3V2::detail::recomputeSummary(index_, actual, &recorder);
      ASSERT_EQ(members(actual), members(expected)) << "table " << tableText() << " prior " << priorText();
      ASSERT_EQ(recorder.log, expectedLog) << "table " << tableText() << " prior " << priorText();

      // Without a handler the contents are the same.
      Summary quiet = prior_;
      VelL3V2::detail::recomputeSummary(index_, quiet);
      ASSERT_TRUE(quiet == expected) << "table " << tableText() << " prior " << priorText();
      result = actual;
   }

   void run(unsigned rounds) {
      Summary previous;
      for (unsigned round = 0; round < rounds; ++round) {
         unsigned const adds = g_.below(round == 0 ? 14 : 5);
         for (unsigned i = 0; i < adds; ++i) {
            RouteKey r = g_.routeKey();
            if (!table_.empty() && g_.chance(25)) {
               // Another via for a destination already there.
               auto it = table_.begin();
               std::advance(it, g_.below(std::uint32_t(table_.size())));
               r.destination = it->destination;
            }
            addRoute(r);
            checkLookups(2);
         }
         unsigned const removes = round == 0 ? 0 : g_.below(4);
         for (unsigned i = 0; i < removes && !table_.empty(); ++i) {
            auto it = table_.begin();
            std::advance(it, g_.below(std::uint32_t(table_.size())));
            removeRoute(RouteKey(*it));
            checkLookups(2);
         }
         removeRoute(g_.routeKey());  // most likely absent: must change nothing
         checkLookups(4);
         preparePrior(previous);
         rebuildAndCompare(previous);
         if (::testing::Test::HasFatalFailure()) return;
      }
   }

 private:
   std::string tableText() const {
      std::ostringstream os;
      os << "{";
      for (RouteKey const& r : table_) os << " [" << r << "]";
      os << " }";
      return os.str();
   }
   std::string priorText() const {
      std::ostringstream os;
      os << "{";
      for (RouteKey const& r : prior_) os << " [" << r << "]";
      os << " }";
      return os.str();
   }

   Gen g_;
   std::set<RouteKey> table_;
   RouteIndex<RouteKey> index_;
   Summary prior_;
};

}  // namespace

// ---------------------------------------------------------------------------------------------------

TEST(RouteEngineIncludes, TruthTable) {
   using VelL3V2::detail::includes;
   IpGenPrefix const ten8("10.0.0.0/8"), ten16("10.0.0.0/16"), eleven16("11.0.0.0/16");
   IpGenPrefix const any4("0.0.0.0/0"), any6("::/0"), doc6("2001:db8::/32"), doc6host("2001:db8::1/128");
   EXPECT_TRUE(includes(ten8, ten8));
   EXPECT_TRUE(includes(ten8, ten16));
   EXPECT_FALSE(includes(ten16, ten8));
   EXPECT_FALSE(includes(ten8, eleven16));
   EXPECT_TRUE(includes(any4, ten8));
   EXPECT_TRUE(includes(any4, any4));
   EXPECT_TRUE(includes(any4, IpGenPrefix("255.255.255.255/32")));
   EXPECT_FALSE(includes(ten8, any4));
   EXPECT_FALSE(includes(ten8, doc6));
   EXPECT_FALSE(includes(doc6, ten8));
   EXPECT_FALSE(includes(any4, any6));
   EXPECT_FALSE(includes(any6, any4));
   EXPECT_TRUE(includes(any6, doc6host));
   EXPECT_TRUE(includes(doc6, doc6host));
   EXPECT_FALSE(includes(doc6host, doc6));
   EXPECT_FALSE(includes(IpGenPrefix("2001:db9::/32"), doc6host));
   // The bit right after the prefix decides nothing; the last bit of it does.
   EXPECT_TRUE(includes(IpGenPrefix("10.0.0.0/7"), IpGenPrefix("11.0.0.0/8")));
   EXPECT_FALSE(includes(IpGenPrefix("10.0.0.0/8"), IpGenPrefix("11.0.0.0/8")));
   EXPECT_TRUE(includes(IpGenPrefix("1.2.3.4/32"), IpGenPrefix("1.2.3.4/32")));
   EXPECT_FALSE(includes(IpGenPrefix("1.2.3.4/32"), IpGenPrefix("1.2.3.5/32")));
   // No family: includes nothing and is included by nothing, not even itself.
   EXPECT_FALSE(includes(IpGenPrefix(), IpGenPrefix()));
   EXPECT_FALSE(includes(IpGenPrefix(), ten8));
   EXPECT_FALSE(includes(any4, IpGenPrefix()));
   EXPECT_FALSE(includes(any6, IpGenPrefix()));
}

TEST(RouteEngineIncludes, DefaultDestinations) {
   using VelL3V2::detail::isDefaultDestination;
   EXPECT_TRUE(isDefaultDestination(IpGenPrefix("0.0.0.0/0")));
   EXPECT_TRUE(isDefaultDestination(IpGenPrefix("::/0")));
   EXPECT_FALSE(isDefaultDestination(IpGenPrefix()));
   EXPECT_FALSE(isDefaultDestination(IpGenPrefix("0.0.0.0/1")));
   EXPECT_FALSE(isDefaultDestination(IpGenPrefix("::/1")));
   EXPECT_FALSE(isDefaultDestination(IpGenPrefix("0.0.0.0/32")));
}

TEST(RouteEngineIncludes, AgreesWithTheDefinitionOnRandomPairs) {
   Gen g(7);
   for (int i = 0; i < 20000; ++i) {
      IpGenPrefix const a = g.destination(), b = g.destination();
      ASSERT_EQ(VelL3V2::detail::includes(a, b), ref::includes(a, b)) << a << " vs " << b;
   }
}

TEST(RouteEngineRouteKey, OrderIsDestinationThenVia) {
   EXPECT_TRUE(route("10.0.0.0/8", "9.9.9.9") < route("10.0.0.0/16", "1.1.1.1"));
   EXPECT_TRUE(route("10.0.0.0/8", "1.1.1.1") < route("10.0.0.0/8", "1.1.1.2"));
   EXPECT_FALSE(route("10.0.0.0/8", "1.1.1.2") < route("10.0.0.0/8", "1.1.1.1"));
   EXPECT_FALSE(route("10.0.0.0/8", "1.1.1.1") < route("10.0.0.0/8", "1.1.1.1"));
   // Covering destinations sort before what they cover; IPv4 before IPv6; no family first of all.
   EXPECT_TRUE(route("10.0.0.0/8", "1.1.1.1") < route("10.0.0.0/9", "1.1.1.1"));
   EXPECT_TRUE(route("10.128.0.0/9", "1.1.1.1") < route("11.0.0.0/8", "1.1.1.1"));
   EXPECT_TRUE(route("255.0.0.0/8", "1.1.1.1") < route("::/0", "1.1.1.1"));
   EXPECT_TRUE((RouteKey{IpGenPrefix(), IpGenAddr("9.9.9.9")} < route("0.0.0.0/0", "1.1.1.1")));
   EXPECT_EQ(route("10.0.0.1/8", "1.1.1.1"), route("10.0.0.0/8", "1.1.1.1"));
   EXPECT_NE(route("10.0.0.0/8", "1.1.1.1"), route("10.0.0.0/8", "2001:db8::1"));
}

// The rebuild ranks members by the hash the set stores; that ranking must be the set's own walk order.
TEST(RouteEngineRouteKey, WalkHashGivesTheSetsIterationOrder) {
   Gen g(11);
   Summary set;
   for (int i = 0; i < 3000; ++i) set.insert(g.routeKey());
   VelL3V2::detail::ValueSetPort<RouteKey, 2377410888u> port(set, nullptr);
   std::vector<std::pair<std::uint32_t, RouteKey>> ranked;
   for (RouteKey const& r : set) ranked.emplace_back(port.walkHash(r), r);
   ASSERT_GT(ranked.size(), 500u);
   EXPECT_TRUE(std::is_sorted(ranked.begin(), ranked.end()));
}

// ---------------------------------------------------------------------------------------------------

TEST(RouteEngineIndex, AddRemoveContainsAndSize) {
   RouteIndex<> index;
   EXPECT_EQ(index.size(), 0u);
   EXPECT_TRUE(index.add(route("10.0.0.0/8", "1.1.1.1")));
   EXPECT_FALSE(index.add(route("10.0.0.0/8", "1.1.1.1")));  // already there
   EXPECT_TRUE(index.add(route("10.0.0.0/8", "1.1.1.2")));
   EXPECT_TRUE(index.add(route("10.0.0.0/8", "2001:db8::1")));  // the via's family is free
   EXPECT_TRUE(index.add(RouteKey{IpGenPrefix(), IpGenAddr("1.1.1.1")}));
   EXPECT_TRUE(index.add(RouteKey{IpGenPrefix(), IpGenAddr()}));
   EXPECT_EQ(index.size(), 5u);
   EXPECT_TRUE(index.contains(route("10.0.0.0/8", "1.1.1.2")));
   EXPECT_FALSE(index.contains(route("10.0.0.0/8", "1.1.1.3")));
   EXPECT_FALSE(index.contains(route("10.0.0.0/9", "1.1.1.1")));
   EXPECT_TRUE(index.contains(RouteKey{IpGenPrefix(), IpGenAddr()}));

   EXPECT_FALSE(index.remove(route("10.0.0.0/9", "1.1.1.1")));
   EXPECT_FALSE(index.remove(route("10.0.0.0/8", "9.9.9.9")));
   EXPECT_EQ(index.size(), 5u);
   EXPECT_TRUE(index.remove(route("10.0.0.0/8", "1.1.1.1")));
   EXPECT_FALSE(index.remove(route("10.0.0.0/8", "1.1.1.1")));
   EXPECT_EQ(index.lookup(IpGenPrefix("10.1.0.0/16")), IpGenAddr("1.1.1.2"));
   EXPECT_TRUE(index.remove(RouteKey{IpGenPrefix(), IpGenAddr()}));
   EXPECT_EQ(index.size(), 3u);
   index.clear();
   EXPECT_EQ(index.size(), 0u);
   EXPECT_FALSE(index.contains(route("10.0.0.0/8", "1.1.1.2")));
   EXPECT_EQ(index.lookup(IpGenPrefix("10.1.0.0/16")), IpGenAddr());
   EXPECT_TRUE(index.add(route("10.0.0.0/8", "1.1.1.1")));  // usable after clear
   EXPECT_EQ(index.lookup(IpGenPrefix("10.1.0.0/16")), IpGenAddr("1.1.1.1"));
}

TEST(RouteEngineIndex, MovedFromIndexIsEmptyAndUsable) {
   RouteIndex<> a;
   a.add(route("10.0.0.0/8", "1.1.1.1"));
   RouteIndex<> b(std::move(a));
   EXPECT_EQ(b.lookup(IpGenAddr("10.2.3.4")), IpGenAddr("1.1.1.1"));
   EXPECT_EQ(a.size(), 0u);  // NOLINT(bugprone-use-after-move): a moved-from index reads as empty
   EXPECT_EQ(a.lookup(IpGenAddr("10.2.3.4")), IpGenAddr());
   EXPECT_FALSE(a.remove(route("10.0.0.0/8", "1.1.1.1")));
   Summary s;
   VelL3V2::detail::recomputeSummary(a, s);
   EXPECT_TRUE(s.empty());
   EXPECT_TRUE(a.add(route("11.0.0.0/8", "1.1.1.1")));
   EXPECT_EQ(a.lookup(IpGenAddr("11.2.3.4")), IpGenAddr("1.1.1.1"));
}

TEST(RouteEngineIndex, LookupTakesTheShortestIncludingDestinationAndItsSmallestVia) {
   RouteIndex<> index;
   EXPECT_EQ(index.lookup(IpGenPrefix("10.0.0.0/8")), IpGenAddr());  // empty table
   index.add(route("10.1.0.0/16", "1.1.1.1"));
   index.add(route("10.0.0.0/8", "9.9.9.9"));
   index.add(route("10.0.0.0/8", "2.2.2.2"));
   index.add(route("2001:db8::/32", "2001:db8::1"));
   EXPECT_EQ(index.lookup(IpGenPrefix("10.1.2.0/24")), IpGenAddr("2.2.2.2"));
   EXPECT_EQ(index.lookup(IpGenPrefix("10.1.0.0/16")), IpGenAddr("2.2.2.2"));
   EXPECT_EQ(index.lookup(IpGenPrefix("10.0.0.0/8")), IpGenAddr("2.2.2.2"));
   EXPECT_EQ(index.lookup(IpGenAddr("10.200.0.1")), IpGenAddr("2.2.2.2"));
   EXPECT_EQ(index.lookup(IpGenPrefix("10.0.0.0/7")), IpGenAddr());  // shorter than every route
   EXPECT_EQ(index.lookup(IpGenPrefix("11.0.0.0/16")), IpGenAddr());
   EXPECT_EQ(index.lookup(IpGenPrefix()), IpGenAddr());  // no family never matches
   EXPECT_EQ(index.lookup(IpGenAddr()), IpGenAddr());
   EXPECT_EQ(index.lookup(IpGenAddr("2001:db8:1::5")), IpGenAddr("2001:db8::1"));
   EXPECT_EQ(index.lookup(IpGenAddr("2001:db9::5")), IpGenAddr());

   index.remove(route("10.0.0.0/8", "2.2.2.2"));
   EXPECT_EQ(index.lookup(IpGenPrefix("10.1.2.0/24")), IpGenAddr("9.9.9.9"));
   index.remove(route("10.0.0.0/8", "9.9.9.9"));
   EXPECT_EQ(index.lookup(IpGenPrefix("10.1.2.0/24")), IpGenAddr("1.1.1.1"));
   EXPECT_EQ(index.lookup(IpGenAddr("10.2.0.1")), IpGenAddr());

   // A default route answers for everything of its family only.
   index.add(route("0.0.0.0/0", "7.7.7.7"));
   EXPECT_EQ(index.lookup(IpGenPrefix("10.1.2.0/24")), IpGenAddr("7.7.7.7"));
   EXPECT_EQ(index.lookup(IpGenAddr("192.0.2.1")), IpGenAddr("7.7.7.7"));
   EXPECT_EQ(index.lookup(IpGenPrefix("0.0.0.0/0")), IpGenAddr("7.7.7.7"));
   EXPECT_EQ(index.lookup(IpGenAddr("2001:db9::5")), IpGenAddr());
   // Routes with no destination family are in the table but answer no lookup.
   index.add(RouteKey{IpGenPrefix(), IpGenAddr("3.3.3.3")});
   EXPECT_EQ(index.lookup(IpGenPrefix()), IpGenAddr());
}

TEST(RouteEngineIndex, HostRoutesAndDeepForks) {
   RouteIndex<> index;
   index.add(route("1.2.3.4/32", "1.1.1.1"));
   index.add(route("1.2.3.5/32", "1.1.1.2"));
   index.add(route("::1/128", "2001:db8::1"));
   index.add(route("::/127", "2001:db8::2"));
   EXPECT_EQ(index.lookup(IpGenAddr("1.2.3.4")), IpGenAddr("1.1.1.1"));
   EXPECT_EQ(index.lookup(IpGenAddr("1.2.3.5")), IpGenAddr("1.1.1.2"));
   EXPECT_EQ(index.lookup(IpGenAddr("1.2.3.6")), IpGenAddr());
   EXPECT_EQ(index.lookup(IpGenPrefix("1.2.3.4/31")), IpGenAddr());  // the fork has no route
   EXPECT_EQ(index.lookup(IpGenAddr("::1")), IpGenAddr("2001:db8::2"));
   EXPECT_EQ(index.lookup(IpGenAddr("::2")), IpGenAddr());
   index.remove(route("::/127", "2001:db8::2"));
   EXPECT_EQ(index.lookup(IpGenAddr("::1")), IpGenAddr("2001:db8::1"));
   EXPECT_EQ(index.lookup(IpGenAddr("::")), IpGenAddr());
}

// Vias of every family on one destination, many of them, added and removed in random order: the
// smallest one answers, and the summary keeps it.
TEST(RouteEngineIndex, ManyViasPerDestination) {
   std::mt19937 rng(19);
   std::vector<IpGenAddr> vias{IpGenAddr()};
   for (std::uint32_t i = 0; i < 3000; ++i) {
      vias.push_back(IpGenAddr::v4(0xc0000200u + i * 7919u));
      IpGenAddr::Bytes b{0x20, 0x01, 0x0d, 0xb8};
      b[14] = std::uint8_t(i >> 8);
      b[15] = std::uint8_t(i);
      vias.push_back(IpGenAddr::v6(b));
   }
   std::shuffle(vias.begin(), vias.end(), rng);
   IpGenPrefix const dest("10.0.0.0/8");
   RouteIndex<> index;
   std::set<IpGenAddr> present;
   for (IpGenAddr const& v : vias) {
      ASSERT_TRUE(index.add(RouteKey{dest, v}));
      present.insert(v);
      ASSERT_EQ(index.lookup(IpGenAddr("10.1.2.3")), *present.begin());
   }
   EXPECT_FALSE(index.add(RouteKey{dest, vias[17]}));
   EXPECT_EQ(index.size(), vias.size());
   EXPECT_EQ(index.nodeCount(), 1u);
   Summary summary;
   VelL3V2::detail::recomputeSummary(index, summary);
   EXPECT_EQ(members(summary), (std::vector<RouteKey>{{dest, IpGenAddr()}}));  // no family sorts first
   std::shuffle(vias.begin(), vias.end(), rng);
   for (IpGenAddr const& v : vias) {
      ASSERT_TRUE(index.contains(RouteKey{dest, v}));
      ASSERT_TRUE(index.remove(RouteKey{dest, v}));
      ASSERT_FALSE(index.contains(RouteKey{dest, v}));
      present.erase(v);
      ASSERT_EQ(index.lookup(IpGenAddr("10.1.2.3")), present.empty() ? IpGenAddr() : *present.begin());
   }
   EXPECT_EQ(index.size(), 0u);
   EXPECT_EQ(index.nodeCount(), 0u);
}

// Nodes are destinations and the forks two destinations need, nothing more, before and after removals.
TEST(RouteEngineIndex, TrieKeepsOnlyTheNodesItNeeds) {
   RouteIndex<> index;
   index.add(route("10.0.0.0/8", "1.1.1.1"));
   index.add(route("10.1.0.0/16", "1.1.1.1"));
   EXPECT_EQ(index.nodeCount(), 2u);  // a chain: the /8 above the /16
   index.add(route("10.2.0.0/16", "1.1.1.1"));
   EXPECT_EQ(index.nodeCount(), 4u);  // the two /16 part at bit 14: a fork between them
   index.add(route("10.2.0.0/16", "1.1.1.2"));
   EXPECT_EQ(index.nodeCount(), 4u);  // another via, same node
   index.add(route("2001:db8::/32", "1.1.1.1"));
   index.add(RouteKey{IpGenPrefix(), IpGenAddr("1.1.1.1")});
   EXPECT_EQ(index.nodeCount(), 5u);  // no family needs no node
   index.remove(route("10.0.0.0/8", "1.1.1.1"));
   EXPECT_EQ(index.nodeCount(), 4u);  // the fork stays: it still parts two destinations
   index.remove(route("10.2.0.0/16", "1.1.1.1"));
   EXPECT_EQ(index.nodeCount(), 4u);  // one of two vias gone: the node stays
   index.remove(route("10.2.0.0/16", "1.1.1.2"));
   EXPECT_EQ(index.nodeCount(), 2u);  // the leaf and the fork it leaves with one child
   EXPECT_EQ(index.lookup(IpGenAddr("10.1.0.1")), IpGenAddr("1.1.1.1"));
   index.add(route("10.0.0.0/8", "1.1.1.1"));
   index.add(route("10.2.0.0/16", "1.1.1.1"));
   index.remove(route("10.0.0.0/8", "1.1.1.1"));
   EXPECT_EQ(index.nodeCount(), 4u);
   index.remove(route("10.1.0.0/16", "1.1.1.1"));
   index.remove(route("10.2.0.0/16", "1.1.1.1"));
   EXPECT_EQ(index.nodeCount(), 1u);
   index.remove(route("2001:db8::/32", "1.1.1.1"));
   EXPECT_EQ(index.nodeCount(), 0u);
   // A routeless node with a single child goes too: remove the middle of a chain.
   index.add(route("10.0.0.0/8", "1.1.1.1"));
   index.add(route("10.1.0.0/16", "1.1.1.1"));
   index.add(route("10.1.1.0/24", "1.1.1.1"));
   index.remove(route("10.1.0.0/16", "1.1.1.1"));
   EXPECT_EQ(index.nodeCount(), 2u);
   EXPECT_EQ(index.lookup(IpGenAddr("10.1.1.1")), IpGenAddr("1.1.1.1"));
   index.remove(route("10.0.0.0/8", "1.1.1.1"));
   EXPECT_EQ(index.nodeCount(), 1u);
   EXPECT_EQ(index.lookup(IpGenAddr("10.1.1.1")), IpGenAddr("1.1.1.1"));
   EXPECT_EQ(index.lookup(IpGenAddr("10.1.2.1")), IpGenAddr());
}

TEST(RouteEngineIndex, MemoryComesBackAfterRemovals) {
   RouteIndex<> index;
   std::size_t const empty = index.bytesUsed();
   for (std::uint32_t i = 0; i < 4096; ++i) {
      index.add(RouteKey{IpGenPrefix(IpGenAddr::v4(0x0a000000u + (i << 8)), 24), IpGenAddr("1.1.1.1")});
   }
   std::size_t const full = index.bytesUsed();
   EXPECT_GT(full, empty + 4096 * 8);
   EXPECT_LT(full, empty + 4096 * 128);  // well under the size of the routes as values
   for (std::uint32_t i = 0; i < 4096; ++i) {
      EXPECT_TRUE(index.remove(
          RouteKey{IpGenPrefix(IpGenAddr::v4(0x0a000000u + (i << 8)), 24), IpGenAddr("1.1.1.1")}));
   }
   EXPECT_EQ(index.size(), 0u);
   EXPECT_EQ(index.lookup(IpGenAddr("10.0.0.1")), IpGenAddr());
   // Freed nodes are reused: adding the same routes again needs no more memory.
   for (std::uint32_t i = 0; i < 4096; ++i) {
      index.add(RouteKey{IpGenPrefix(IpGenAddr::v4(0x0a000000u + (i << 8)), 24), IpGenAddr("1.1.1.1")});
   }
   EXPECT_EQ(index.bytesUsed(), full);
}

// ---------------------------------------------------------------------------------------------------

namespace {

struct Fixture {
   RouteIndex<> index;
   Summary summary;
   Recorder events;

   void add(std::string_view d, std::string_view v) { index.add(route(d, v)); }
   void rebuild() {
      events.log.clear();
      VelL3V2::detail::recomputeSummary(index, summary, &events);
   }
};

}  // namespace

TEST(RouteEngineSummary, EmptyTableLeavesAnEmptySummary) {
   Fixture f;
   f.rebuild();
   EXPECT_TRUE(f.summary.empty());
   EXPECT_TRUE(f.events.log.empty());
   // Whatever was in the summary is stale.
   f.summary.insert(route("10.0.0.0/8", "1.1.1.1"));
   f.rebuild();
   EXPECT_TRUE(f.summary.empty());
   EXPECT_EQ(f.events.log,
             (std::vector<ref::Event>{{ref::Kind::removingStale, route("10.0.0.0/8", "1.1.1.1"), {}}}));
}

TEST(RouteEngineSummary, CoveringRouteKeepsOnlyItself) {
   Fixture f;
   f.add("10.0.0.0/8", "1.1.1.1");
   f.add("10.1.0.0/16", "2.2.2.2");
   f.rebuild();
   EXPECT_EQ(members(f.summary), (std::vector<RouteKey>{route("10.0.0.0/8", "1.1.1.1")}));
   EXPECT_EQ(f.events.log,
             (std::vector<ref::Event>{
                 {ref::Kind::adding, route("10.0.0.0/8", "1.1.1.1"), {}},
                 {ref::Kind::skipIncluded, route("10.1.0.0/16", "2.2.2.2"), route("10.0.0.0/8", "1.1.1.1")},
             }));
   // The covering route goes: its member is stale, and the /16 takes its place.
   f.index.remove(route("10.0.0.0/8", "1.1.1.1"));
   f.rebuild();
   EXPECT_EQ(members(f.summary), (std::vector<RouteKey>{route("10.1.0.0/16", "2.2.2.2")}));
   EXPECT_EQ(f.events.log, (std::vector<ref::Event>{
                               {ref::Kind::removingStale, route("10.0.0.0/8", "1.1.1.1"), {}},
                               {ref::Kind::adding, route("10.1.0.0/16", "2.2.2.2"), {}},
                           }));
}

TEST(RouteEngineSummary, NewCoveringRouteRemovesWhatItCovers) {
   Fixture f;
   f.add("10.1.0.0/16", "2.2.2.2");
   f.rebuild();
   ASSERT_EQ(members(f.summary), (std::vector<RouteKey>{route("10.1.0.0/16", "2.2.2.2")}));
   f.add("10.0.0.0/8", "1.1.1.1");
   f.rebuild();
   EXPECT_EQ(members(f.summary), (std::vector<RouteKey>{route("10.0.0.0/8", "1.1.1.1")}));
   EXPECT_EQ(f.events.log,
             (std::vector<ref::Event>{
                 {ref::Kind::removal, route("10.0.0.0/8", "1.1.1.1"), route("10.1.0.0/16", "2.2.2.2")},
                 {ref::Kind::adding, route("10.0.0.0/8", "1.1.1.1"), {}},
                 {ref::Kind::skipIncluded, route("10.1.0.0/16", "2.2.2.2"), route("10.0.0.0/8", "1.1.1.1")},
             }));
}

TEST(RouteEngineSummary, DefaultRoutesAreNeverSummarised) {
   Fixture f;
   f.add("0.0.0.0/0", "1.1.1.1");
   f.add("::/0", "2001:db8::1");
   f.add("10.0.0.0/8", "1.1.1.1");
   f.rebuild();
   EXPECT_EQ(members(f.summary), (std::vector<RouteKey>{route("10.0.0.0/8", "1.1.1.1")}));
   EXPECT_EQ(f.events.log, (std::vector<ref::Event>{
                               {ref::Kind::skipDefault, route("0.0.0.0/0", "1.1.1.1"), {}},
                               {ref::Kind::adding, route("10.0.0.0/8", "1.1.1.1"), {}},
                               {ref::Kind::skipDefault, route("::/0", "2001:db8::1"), {}},
                           }));
}

TEST(RouteEngineSummary, FamiliesAreIndependent) {
   Fixture f;
   f.add("10.0.0.0/8", "1.1.1.1");
   f.add("::a00:0/104", "2001:db8::1");  // the same bits as 10/8, but IPv6
   f.add("2001:db8::/32", "2001:db8::1");
   f.add("2001:db8:1::/48", "2001:db8::2");
   f.rebuild();
   EXPECT_EQ(members(f.summary),
             (std::vector<RouteKey>{route("10.0.0.0/8", "1.1.1.1"), route("::a00:0/104", "2001:db8::1"),
                                    route("2001:db8::/32", "2001:db8::1")}));
}

TEST(RouteEngineSummary, SeveralViasKeepTheSmallest) {
   Fixture f;
   f.add("10.0.0.0/8", "1.1.1.2");
   f.add("10.0.0.0/8", "1.1.1.1");
   f.add("10.0.0.0/8", "2001:db8::1");
   f.rebuild();
   EXPECT_EQ(members(f.summary), (std::vector<RouteKey>{route("10.0.0.0/8", "1.1.1.1")}));
   ASSERT_EQ(f.events.log.size(), 3u);
   EXPECT_EQ(f.events.log[0], (ref::Event{ref::Kind::adding, route("10.0.0.0/8", "1.1.1.1"), {}}));
   EXPECT_EQ(f.events.log[2], (ref::Event{ref::Kind::skipIncluded, route("10.0.0.0/8", "2001:db8::1"),
                                          route("10.0.0.0/8", "1.1.1.1")}));
   // A prior member with a larger via stays: it is a table route and covers its siblings.
   f.summary.clear();
   f.summary.insert(route("10.0.0.0/8", "1.1.1.2"));
   f.rebuild();
   EXPECT_EQ(members(f.summary), (std::vector<RouteKey>{route("10.0.0.0/8", "1.1.1.2")}));
}

TEST(RouteEngineSummary, NoFamilyRoutesAreAlwaysAdded) {
   Fixture f;
   f.index.add(RouteKey{IpGenPrefix(), IpGenAddr("1.1.1.1")});
   f.index.add(RouteKey{IpGenPrefix(), IpGenAddr()});
   f.add("10.0.0.0/8", "1.1.1.1");
   f.rebuild();
   EXPECT_EQ(members(f.summary), (std::vector<RouteKey>{{IpGenPrefix(), IpGenAddr()},
                                                        {IpGenPrefix(), IpGenAddr("1.1.1.1")},
                                                        route("10.0.0.0/8", "1.1.1.1")}));
   // Again: already members, but their walk still ends in "adding".
   f.rebuild();
   EXPECT_EQ(f.events.log,
             (std::vector<ref::Event>{
                 {ref::Kind::adding, {IpGenPrefix(), IpGenAddr()}, {}},
                 {ref::Kind::adding, {IpGenPrefix(), IpGenAddr("1.1.1.1")}, {}},
                 {ref::Kind::skipIncluded, route("10.0.0.0/8", "1.1.1.1"), route("10.0.0.0/8", "1.1.1.1")},
             }));
}

// A summary edited by hand so that members include each other: which of them a route removes before
// it stops depends on the walk order, and must follow it.
TEST(RouteEngineSummary, NestedPriorMembersFollowTheWalkOrder) {
   Gen g(3);
   int checked = 0;
   for (int attempt = 0; attempt < 200; ++attempt) {
      std::set<RouteKey> table = {route("10.0.0.0/8", "1.1.1.1"), route("10.0.0.0/16", "1.1.1.1"),
                                  route("10.0.0.0/24", "1.1.1.1"), route("10.0.1.0/24", "1.1.1.1"),
                                  route("10.0.0.0/32", "1.1.1.1")};
      RouteIndex<> index;
      for (RouteKey const& r : table) index.add(r);
      Summary prior;
      for (RouteKey const& r : table) {
         if (g.chance(60)) prior.insert(r);
      }
      Summary expected = prior, actual = prior;
      std::vector<ref::Event> log;
      ref::recompute(table, expected, log);
      Recorder rec;
      VelL3V2::detail::recomputeSummary(index, actual, &rec);
      ASSERT_EQ(members(actual), members(expected));
      ASSERT_EQ(rec.log, log);
      checked += std::any_of(log.begin(), log.end(),
                             [](ref::Event const& e) { return e.kind == ref::Kind::removal; });
   }
   EXPECT_GT(checked, 20);  // the case where removals come before a stop did occur
}

TEST(RouteEngineSummary, HandlerThatChangesTheSummaryIsRefused) {
   struct Meddler : SummaryEvents<RouteKey> {
      Summary* s = nullptr;
      void adding(RouteKey const&) override { s->insert(route("192.0.2.0/24", "1.1.1.1")); }
   };
   Fixture f;
   f.add("10.0.0.0/8", "1.1.1.1");
   Meddler m;
   m.s = &f.summary;
   EXPECT_THROW(VelL3V2::detail::recomputeSummary(f.index, f.summary, &m), Zat::PreconditionException);
}

// A handler that throws stops the rebuild at that event; what it leaves is a summary like any other,
// and the next rebuild from it gives the literal walk's result.
TEST(RouteEngineSummary, HandlerThatThrowsStopsTheRebuildWhereItStands) {
   struct Thrower : Recorder {
      std::size_t at = 0;
      void adding(RouteKey const& r) override {
         Recorder::adding(r);
         if (log.size() == at) throw std::runtime_error("handler gave up");
      }
      void removal(RouteKey const& r, RouteKey const& s) override {
         Recorder::removal(r, s);
         if (log.size() == at) throw std::runtime_error("handler gave up");
      }
   };
   Gen g(29);
   int thrown = 0;
   for (int i = 0; i < 300; ++i) {
      std::set<RouteKey> table;
      RouteIndex<> index;
      for (unsigned k = g.below(12); k > 0; --k) {
         RouteKey const r = g.routeKey();
         table.insert(r);
         index.add(r);
      }
      Summary prior;
      for (unsigned k = g.below(5); k > 0; --k) prior.insert(g.routeKey());
      Summary summary = prior;
      Thrower t;
      t.at = 1 + g.below(6);
      try {
         VelL3V2::detail::recomputeSummary(index, summary, &t);
      } catch (std::runtime_error const&) {
         ++thrown;
      }
      ASSERT_EQ(index.size(), table.size());
      Summary expected = summary;
      std::vector<ref::Event> log;
      ref::recompute(table, expected, log);
      Recorder rec;
      VelL3V2::detail::recomputeSummary(index, summary, &rec);
      ASSERT_EQ(members(summary), members(expected));
      ASSERT_EQ(rec.log, log);
   }
   EXPECT_GT(thrown, 100);
}

TEST(RouteEngineSummary, SingleStepIsTheLiteralWalk) {
   Gen g(5);
   for (int i = 0; i < 2000; ++i) {
      Summary a, b;
      unsigned const n = g.below(8);
      for (unsigned k = 0; k < n; ++k) {
         RouteKey const m = g.routeKey();
         a.insert(m);
         b.insert(m);
      }
      RouteKey const r = g.routeKey();
      std::vector<ref::Event> expected;
      ref::update(r, a, expected);
      Recorder rec;
      VelL3V2::detail::updateSummaryRoute(r, b, &rec);
      ASSERT_TRUE(a == b);
      ASSERT_EQ(rec.log, expected);
   }
}

// 10,000 random tables, each through several rounds of edits and rebuilds from every kind of prior
// summary, with lookups checked after every single table change.
TEST(RouteEngineSummary, DifferentialAgainstTheLiteralWalk) {
   for (std::uint32_t seed = 1; seed <= 10000; ++seed) {
      Differential d(seed);
      d.run(3);
      if (HasFatalFailure()) {
         ADD_FAILURE() << "seed " << seed;
         return;
      }
   }
}

// ---------------------------------------------------------------------------------------------------
// The generated route type has accessors and a constructor rather than fields; the engine works with
// such a type unchanged.
namespace {

class AccessorRoute {
 public:
   AccessorRoute() = default;
   AccessorRoute(IpGenPrefix const& d, IpGenAddr const& v) : d_(d), v_(v) {}
   IpGenPrefix const& destination() const { return d_; }
   IpGenAddr const& via() const { return v_; }
   bool operator==(AccessorRoute const&) const = default;
   bool operator<(AccessorRoute const& o) const { return RouteKey{d_, v_} < RouteKey{o.d_, o.v_}; }
   std::uint32_t hash(std::uint32_t seed) const { return RouteKey{d_, v_}.hash(seed); }

 private:
   IpGenPrefix d_;
   IpGenAddr v_;
};

class AccessorRecorder : public SummaryEvents<AccessorRoute> {
 public:
   std::vector<ref::Event> log;
   static RouteKey k(AccessorRoute const& r) { return {r.destination(), r.via()}; }
   void skipDefault(AccessorRoute const& r) override { log.push_back({ref::Kind::skipDefault, k(r), {}}); }
   void skipIncluded(AccessorRoute const& r, AccessorRoute const& s) override {
      log.push_back({ref::Kind::skipIncluded, k(r), k(s)});
   }
   void removal(AccessorRoute const& r, AccessorRoute const& s) override {
      log.push_back({ref::Kind::removal, k(r), k(s)});
   }
   void adding(AccessorRoute const& r) override { log.push_back({ref::Kind::adding, k(r), {}}); }
   void removingStale(AccessorRoute const& s) override {
      log.push_back({ref::Kind::removingStale, k(s), {}});
   }
};

}  // namespace

TEST(RouteEngineSummary, WorksForARouteTypeWithAccessors) {
   Gen g(13);
   for (int i = 0; i < 500; ++i) {
      std::set<RouteKey> table;
      RouteIndex<AccessorRoute> index;
      Summary expected;
      Zat::ValueSet<AccessorRoute, 2377410888u> actual;
      unsigned const n = g.below(12);
      for (unsigned k = 0; k < n; ++k) {
         RouteKey const r = g.routeKey();
         table.insert(r);
         index.add(AccessorRoute(r.destination, r.via));
         if (g.chance(30)) {
            expected.insert(r);
            actual.insert(AccessorRoute(r.destination, r.via));
         }
      }
      RouteKey const stray = g.routeKey();
      expected.insert(stray);
      actual.insert(AccessorRoute(stray.destination, stray.via));
      std::vector<ref::Event> log;
      ref::recompute(table, expected, log);
      AccessorRecorder rec;
      VelL3V2::detail::recomputeSummary(index, actual, &rec);
      std::vector<RouteKey> got;
      for (AccessorRoute const& r : actual) got.push_back({r.destination(), r.via()});
      std::sort(got.begin(), got.end());
      ASSERT_EQ(got, members(expected));
      ASSERT_EQ(rec.log, log);
      IpGenPrefix const p = g.probe(table);
      ASSERT_EQ(index.lookup(p), ref::lookup(table, p));
   }
}
