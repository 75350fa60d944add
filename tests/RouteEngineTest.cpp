// The route engine: prefix inclusion, the table index and its lookups as it grows and shrinks, and the
// summary rebuild, checked against the literal walk (RouteReference.h) over many random small tables and
// prior summaries. The table-level behaviour with the generated route type, its trace lines and the
// documented edge cases are VelL3V2RouteTableTest's.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
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

std::vector<RouteKey> members(Summary const& s) {
   std::vector<RouteKey> out;
   for (RouteKey const& r : s) out.push_back(r);
   std::sort(out.begin(), out.end());
   return out;
}

template <class Routes>
std::string text(Routes const& routes) {
   std::ostringstream os;
   os << "{";
   for (RouteKey const& r : routes) os << " [" << r << "]";
   os << " }";
   return os.str();
}

template <class Set>
typename Set::value_type const& nth(Set const& s, std::size_t i) {
   auto it = s.begin();
   std::advance(it, i);
   return *it;
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
      return !table.empty() && chance(40) ? nth(table, below(std::uint32_t(table.size()))).destination
                                          : destination();
   }

 private:
   std::mt19937 rng_;
};

// The rebuild of `prior` from `index`, checked (contents and events) against the literal walk over `table`.
Summary rebuiltLikeTheWalk(RouteIndex<RouteKey> const& index, std::set<RouteKey> const& table,
                           Summary const& prior) {
   Summary expected = prior, actual = prior;
   std::vector<ref::Event> expectedLog;
   ref::recompute(table, expected, expectedLog);
   Recorder recorder;
   VelL3V2::detail::recomputeSummary(index, actual, &recorder);
   EXPECT_EQ(members(actual), members(expected)) << "table " << text(table) << " prior " << text(prior);
   EXPECT_EQ(recorder.log, expectedLog) << "table " << text(table) << " prior " << text(prior);
   return actual;
}

// A handler that gives up at its `at`th event.
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

class Differential {
 public:
   explicit Differential(std::uint32_t seed) : g_(seed) {}
   int thrown = 0;  // rebuilds a handler stopped

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
         ASSERT_EQ(index_.lookup(p), ref::lookup(table_, p)) << "lookup " << p << " in " << text(table_);
         if (p.family() != Ipkit::ipFamilyNone) {
            // The full-length form of the same address.
            IpGenPrefix const full(p.address(), p.family() == Ipkit::ipFamilyV4 ? 32 : 128);
            ASSERT_EQ(index_.lookup(p.address()), ref::lookup(table_, full)) << "lookup " << p.address();
         }
      }
   }

   // A prior summary for the next rebuild: empty, the last result, or that edited by hand (table routes
   // that may cover or be covered by members, routes most likely not in the table, members removed).
   void preparePrior(Summary const& previous) {
      prior_ = Summary();
      unsigned const kind = g_.below(4);
      if (kind == 0) return;
      prior_ = previous;
      if (kind == 1) return;
      for (unsigned e = g_.below(6); e > 0; --e) {
         unsigned const k = g_.below(10);
         if (k < 4 && !table_.empty()) {
            prior_.insert(nth(table_, g_.below(std::uint32_t(table_.size()))));
         } else if (k < 7) {
            prior_.insert(g_.routeKey());
         } else if (!prior_.empty()) {
            prior_.erase(nth(members(prior_), g_.below(std::uint32_t(prior_.size()))));
         }
      }
   }

   void rebuildAndCompare(Summary& result) {
      result = rebuiltLikeTheWalk(index_, table_, prior_);
      // Without a handler the contents are the same.
      Summary quiet = prior_;
      VelL3V2::detail::recomputeSummary(index_, quiet);
      EXPECT_TRUE(quiet == result) << "table " << text(table_) << " prior " << text(prior_);

      // A handler that throws stops the rebuild where it stands: what it leaves is a prior like any
      // other, from which the next rebuild gives the literal walk's result.
      Summary stopped = prior_;
      Thrower thrower;
      thrower.at = 1 + g_.below(6);
      try {
         VelL3V2::detail::recomputeSummary(index_, stopped, &thrower);
      } catch (std::runtime_error const&) {
         ++thrown;
      }
      rebuiltLikeTheWalk(index_, table_, stopped);

      // One step alone, on the hand-edited prior (whose members may include each other), is the walk too.
      RouteKey const r = g_.routeKey();
      Summary stepped = prior_, literal = prior_;
      std::vector<ref::Event> stepLog;
      ref::update(r, literal, stepLog);
      Recorder step;
      VelL3V2::detail::updateSummaryRoute(r, stepped, &step);
      EXPECT_TRUE(stepped == literal) << r << " into " << text(prior_);
      EXPECT_EQ(step.log, stepLog) << r << " into " << text(prior_);
   }

   void run(unsigned rounds) {
      Summary previous;
      for (unsigned round = 0; round < rounds; ++round) {
         for (unsigned i = g_.below(round == 0 ? 14 : 5); i > 0; --i) {
            RouteKey r = g_.routeKey();
            if (!table_.empty() && g_.chance(25)) {
               // Another via for a destination already there.
               r.destination = nth(table_, g_.below(std::uint32_t(table_.size()))).destination;
            }
            addRoute(r);
            checkLookups(2);
         }
         for (unsigned i = round == 0 ? 0 : g_.below(4); i > 0 && !table_.empty(); --i) {
            removeRoute(RouteKey(nth(table_, g_.below(std::uint32_t(table_.size())))));
            checkLookups(2);
         }
         removeRoute(g_.routeKey());  // most likely absent: must change nothing
         checkLookups(4);
         preparePrior(previous);
         rebuildAndCompare(previous);
         if (::testing::Test::HasFailure()) return;
      }
   }

 private:
   Gen g_;
   std::set<RouteKey> table_;
   RouteIndex<RouteKey> index_;
   Summary prior_;
};

}  // namespace

// ---------------------------------------------------------------------------------------------------

TEST(RouteEngineIncludes, TruthTableAndDefaultDestinations) {
   using VelL3V2::detail::includes;
   using VelL3V2::detail::isDefaultDestination;
   // a, b, and whether a includes b. The bit right after a prefix decides nothing, its last bit does; the
   // prefix of no family ("-") includes nothing and is included by nothing, not even itself.
   std::istringstream rows(
       "10.0.0.0/8 10.0.0.0/8 1  10.0.0.0/8 10.0.0.0/16 1  10.0.0.0/16 10.0.0.0/8 0 "
       "10.0.0.0/8 11.0.0.0/16 0  0.0.0.0/0 255.255.255.255/32 1  10.0.0.0/8 0.0.0.0/0 0 "
       "10.0.0.0/8 2001:db8::/32 0  2001:db8::/32 10.0.0.0/8 0  0.0.0.0/0 ::/0 0  ::/0 0.0.0.0/0 0 "
       "::/0 2001:db8::1/128 1 "
       "2001:db8::/32 2001:db8::1/128 1  2001:db8::1/128 2001:db8::/32 0  2001:db9::/32 2001:db8::1/128 0 "
       "10.0.0.0/7 11.0.0.0/8 1  10.2.0.0/15 10.3.0.0/16 1  10.0.0.0/15 10.2.0.0/16 0 "
       "1.2.3.4/32 1.2.3.5/32 0  - - 0  - 10.0.0.0/8 0  0.0.0.0/0 - 0  ::/0 - 0");
   auto prefix = [](std::string const& t) { return IpGenPrefix(t == "-" ? "" : t); };
   for (std::string a, b; rows >> a >> b;) {
      bool in = false;
      rows >> in;
      EXPECT_EQ(includes(prefix(a), prefix(b)), in) << a << " includes " << b;
   }
   for (char const* p : {"", "0.0.0.0/1", "::/1", "0.0.0.0/32"})
      EXPECT_FALSE(isDefaultDestination(IpGenPrefix(p))) << p;
   EXPECT_TRUE(isDefaultDestination(IpGenPrefix("0.0.0.0/0")) && isDefaultDestination(IpGenPrefix("::/0")));
}

// ---------------------------------------------------------------------------------------------------

// Adding, removing and lookups are the differential's and the growth test's; clearing and moving are
// not.
TEST(RouteEngineIndex, ClearedOrMovedFromIndexIsEmptyAndUsable) {
   RouteIndex<> index;
   index.add(route("10.0.0.0/8", "1.1.1.1"));
   index.add(RouteKey{IpGenPrefix(), IpGenAddr("1.1.1.1")});
   index.clear();
   EXPECT_EQ(index.size(), 0u);
   EXPECT_FALSE(index.contains(route("10.0.0.0/8", "1.1.1.1")));
   EXPECT_FALSE(index.contains(RouteKey{IpGenPrefix(), IpGenAddr("1.1.1.1")}));
   EXPECT_EQ(index.lookup(IpGenPrefix("10.1.0.0/16")), IpGenAddr());
   EXPECT_TRUE(index.add(route("10.0.0.0/8", "1.1.1.2")));
   EXPECT_EQ(index.lookup(IpGenPrefix("10.1.0.0/16")), IpGenAddr("1.1.1.2"));

   RouteIndex<> moved(std::move(index));
   EXPECT_EQ(moved.lookup(IpGenAddr("10.2.3.4")), IpGenAddr("1.1.1.2"));
   EXPECT_EQ(index.size(), 0u);  // NOLINT(bugprone-use-after-move)
   EXPECT_EQ(index.lookup(IpGenAddr("10.2.3.4")), IpGenAddr());
   EXPECT_FALSE(index.remove(route("10.0.0.0/8", "1.1.1.2")));
   Summary s;
   VelL3V2::detail::recomputeSummary(index, s);
   EXPECT_TRUE(s.empty());
   EXPECT_TRUE(index.add(route("11.0.0.0/8", "1.1.1.1")));
   EXPECT_EQ(index.lookup(IpGenAddr("11.2.3.4")), IpGenAddr("1.1.1.1"));
}

// A table grows from empty past its first full block of trie nodes, through every doubling of the small
// first block, the exact-match table and the via pool, then shrinks to half, grows back and shrinks to
// empty in another order. At every power-of-two size it holds exactly its routes, answers lookups like the
// literal walk (small tables: rebuilds too), and keeps no trie node that is neither a destination nor a
// fork between two. Growing back reuses the memory it has; emptied, it holds none.
TEST(RouteEngineIndex, GrowsFromEmptyPastItsBlocksAndShrinksBack) {
   std::mt19937 rng(23);
   auto pick = [&](std::size_t n) { return std::size_t(rng() % n); };
   std::vector<RouteKey> routes;  // distinct, in the order they came
   // Destinations anywhere, mostly IPv4 so that its trie passes 2^14 nodes, a few with no family; vias
   // from 150 IPv4 and any IPv6 address; one route in eight is another via for a destination already there.
   auto randomRoute = [&] {
      IpGenAddr::Bytes b{};
      for (auto& x : b) x = std::uint8_t(rng());
      IpGenAddr const via =
          pick(2) ? IpGenAddr::v4(0xc0000200u + std::uint32_t(pick(150))) : IpGenAddr::v6(b);
      if (!routes.empty() && pick(8) == 0) return RouteKey{routes[pick(routes.size())].destination, via};
      if (pick(64) == 0) return RouteKey{IpGenPrefix(), via};
      if (pick(8) == 0) return RouteKey{IpGenPrefix(IpGenAddr::v6(b), unsigned(16 + pick(113))), via};
      return RouteKey{IpGenPrefix(IpGenAddr::v4(std::uint32_t(rng())), unsigned(8 + pick(25))), via};
   };
   RouteIndex<> index;
   std::set<RouteKey> table;
   auto check = [&] {
      ASSERT_EQ(index.size(), table.size());
      // Each family's trie: a node per destination, and at most one fork fewer.
      std::set<IpGenPrefix> v4, v6;
      for (RouteKey const& r : table) {
         if (r.destination.family() == Ipkit::ipFamilyV4) v4.insert(r.destination);
         if (r.destination.family() == Ipkit::ipFamilyV6) v6.insert(r.destination);
      }
      std::size_t const most = (v4.empty() ? 0 : 2 * v4.size() - 1) + (v6.empty() ? 0 : 2 * v6.size() - 1);
      ASSERT_LE(index.nodeCount(), most) << table.size() << " routes";
      for (RouteKey const& r : table) ASSERT_TRUE(index.contains(r)) << r << " of " << table.size();
      for (int i = 0; i < 8; ++i) {
         RouteKey const other = randomRoute();
         ASSERT_EQ(index.contains(other), table.contains(other)) << other;
         IpGenPrefix const p =
             i % 2 || table.empty() ? other.destination : nth(table, pick(table.size())).destination;
         ASSERT_EQ(index.lookup(p), ref::lookup(table, p)) << p << " in " << table.size();
      }
      if (table.size() <= 256) rebuiltLikeTheWalk(index, table, Summary());
   };
   auto add = [&](RouteKey const& r) {
      ASSERT_EQ(index.add(r), table.insert(r).second) << r;
      if (std::has_single_bit(table.size())) check();
   };
   auto remove = [&](RouteKey const& r) {
      ASSERT_EQ(index.remove(r), table.erase(r) == 1) << r;
      if (std::has_single_bit(table.size())) check();
   };

   std::size_t const empty = index.bytesUsed();
   while (table.size() < 14000 && !testing::Test::HasFatalFailure()) {
      RouteKey const r = randomRoute();
      if (!table.contains(r)) routes.push_back(r);
      add(r);
   }
   check();
   ASSERT_GT(index.nodeCount(), std::size_t(1) << 14);  // the growth went past the first full block
   std::size_t const full = index.bytesUsed();

   std::shuffle(routes.begin(), routes.end(), rng);
   auto const half = routes.begin() + std::ptrdiff_t(routes.size() / 2);
   for (auto it = routes.begin(); it != half && !testing::Test::HasFatalFailure(); ++it) remove(*it);
   for (auto it = routes.begin(); it != half && !testing::Test::HasFatalFailure(); ++it) add(*it);
   EXPECT_EQ(index.bytesUsed(), full);

   std::shuffle(routes.begin(), routes.end(), rng);
   for (auto it = routes.begin(); it != routes.end() && !testing::Test::HasFatalFailure(); ++it) remove(*it);
   EXPECT_EQ(index.size(), 0u);
   EXPECT_EQ(index.bytesUsed(), empty);
   EXPECT_EQ(index.lookup(routes.front().destination), IpGenAddr());
}

// ---------------------------------------------------------------------------------------------------

TEST(RouteEngineSummary, HandlerThatChangesTheSummaryIsRefused) {
   struct Meddler : SummaryEvents<RouteKey> {
      Summary* s = nullptr;
      void adding(RouteKey const&) override { s->insert(route("192.0.2.0/24", "1.1.1.1")); }
   };
   RouteIndex<> index;
   index.add(route("10.0.0.0/8", "1.1.1.1"));
   Summary summary;
   Meddler m;
   m.s = &summary;
   EXPECT_THROW(VelL3V2::detail::recomputeSummary(index, summary, &m), Zat::PreconditionException);
}

// 10,000 random tables, each through several rounds of edits and rebuilds from every kind of prior
// summary (and from where a throwing handler stopped), with lookups checked after every single table
// change and single summary steps beside each rebuild.
TEST(RouteEngineSummary, DifferentialAgainstTheLiteralWalk) {
   int thrown = 0;
   for (std::uint32_t seed = 1; seed <= 10000; ++seed) {
      Differential d(seed);
      d.run(3);
      thrown += d.thrown;
      if (HasFailure()) {
         ADD_FAILURE() << "seed " << seed;
         return;
      }
   }
   EXPECT_GT(thrown, 6000);  // about 9,000 of the 30,000 rebuilds
}
