// What route tables cost in memory, from the small ones an agent keeps by the thousand (one per device and
// network VRF) to a full Internet table, built from generated routes:
// - 10,000 route indexes (detail::RouteIndex) of 0, 1, 10 and 100 routes, IPv4 and IPv6, and 10,000 that
//   held 100 routes and lost them all: bytes per table;
// - the same routes as std::set<RouteKey> (the routes alone in an ordered container): the baseline;
// - 10,000 whole RouteTable entities of 0, 1, 10 and 100 routes, summary rebuilt: what the agent pays;
// - one full-size table of generated routes (1.2 million IPv4, 290,000 IPv6): bytes per route.
// Bytes are counted by this program's operator new (the usable size malloc gives each allocation); the
// heap figure is malloc's own (mallinfo2), chunk headers included. A summary with the goals follows the
// benchmark table.
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <cstdio>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "Vel/VelL3V2/RouteEngine.h"
#include "Vel/VelL3V2LocalTypes.h"
#include "support/CountingAllocator.h"
#include "support/SummaryReporter.h"

using Ipkit::IpGenAddr;
using Ipkit::IpGenPrefix;
using VelL3V2::detail::RouteIndex;
using VelL3V2::detail::RouteKey;

namespace {

// What the heap holds now: by operator new, and by malloc (small chunks and mapped blocks).
struct Footprint {
   std::int64_t counted;
   std::int64_t heap;
   static Footprint now() {
      struct mallinfo2 const m = mallinfo2();
      return {BenchSupport::heapCount().liveBytes, std::int64_t(m.uordblks + m.hblkhd)};
   }
   Footprint operator-(Footprint const& o) const { return {counted - o.counted, heap - o.heap}; }
};

// ---------------------------------------------------------------------------------------------------
// Generated routes. Prefix lengths follow a real table's mix (about 60% /24 and /48, the rest mostly
// /16 to /23 and /29 to /47); the next hops of a table are a handful of addresses, of a full table a
// few hundred.

class Gen {
 public:
   explicit Gen(std::uint32_t seed) : rng_(seed) {}

   IpGenPrefix v4() {
      static constexpr unsigned lengths[] = {24, 24, 24, 24, 24, 24, 23, 22, 22, 21, 20, 19, 18, 16, 12, 8};
      unsigned const len = lengths[rng_() % std::size(lengths)];
      std::uint32_t const a = std::uint32_t(rng_()) & (len == 0 ? 0 : ~std::uint32_t(0) << (32 - len));
      return IpGenPrefix(IpGenAddr::v4(a | 0x01000000u), len);
   }
   IpGenPrefix v6() {
      static constexpr unsigned lengths[] = {48, 48, 48, 48, 48, 48, 44, 40, 36, 32, 32, 29, 56, 64, 47, 46};
      unsigned const len = lengths[rng_() % std::size(lengths)];
      IpGenAddr::Bytes b{0x20, 0x01};
      for (unsigned i = 2; i < 16; ++i) b[i] = std::uint8_t(rng_());
      for (unsigned bit = len; bit < 128; ++bit) b[bit / 8] &= std::uint8_t(~(0x80u >> (bit % 8)));
      return IpGenPrefix(IpGenAddr::v6(b), len);
   }
   IpGenAddr via(int family, unsigned choices) {
      std::uint32_t const k = std::uint32_t(rng_() % choices);
      if (family == 4) return IpGenAddr::v4(0xc0000200u + k);
      IpGenAddr::Bytes b{0x20, 0x01, 0x0d, 0xb8};
      b[14] = std::uint8_t(k >> 8);
      b[15] = std::uint8_t(k);
      return IpGenAddr::v6(b);
   }
   // `n` distinct routes.
   std::vector<RouteKey> routes(int family, std::size_t n, unsigned vias) {
      std::set<RouteKey> seen;
      std::vector<RouteKey> out;
      out.reserve(n);
      while (out.size() < n) {
         RouteKey r{family == 4 ? v4() : v6(), via(family, vias)};
         if (seen.insert(r).second) out.push_back(r);
      }
      return out;
   }

 private:
   std::mt19937 rng_;
};

constexpr std::size_t kTables = 10000;
constexpr unsigned kTableVias = 4;

// The routes of every one of the 10,000 tables, made once per family and size.
std::vector<std::vector<RouteKey>> const& tableRoutes(int family, std::size_t n) {
   static std::map<std::pair<int, std::size_t>, std::vector<std::vector<RouteKey>>> made;
   auto& t = made[{family, n}];
   if (t.empty()) {
      Gen g(std::uint32_t(family * 1000 + n));
      t.reserve(kTables);
      for (std::size_t i = 0; i < kTables; ++i) t.push_back(g.routes(family, n, kTableVias));
   }
   return t;
}

void report(benchmark::State& state, Footprint const& used, std::size_t tables, std::size_t inline_) {
   state.counters["bytes_per_table"] = double(used.counted) / double(tables) + double(inline_);
   state.counters["heap_per_table"] = double(used.heap) / double(tables) + double(inline_);
}

// 10,000 indexes of `n` routes each. An index lives inside its table, so its own size counts too.
void BM_Index(benchmark::State& state, int family) {
   std::size_t const n = std::size_t(state.range(0));
   auto const& routes = tableRoutes(family, n);
   Footprint used{};
   std::size_t engineBytes = 0;
   for (auto _ : state) {
      std::vector<RouteIndex<>> tables(kTables);
      Footprint const before = Footprint::now();
      for (std::size_t i = 0; i < kTables; ++i) {
         for (RouteKey const& r : routes[i]) tables[i].add(r);
      }
      used = Footprint::now() - before;
      state.PauseTiming();
      engineBytes = 0;
      for (auto const& t : tables) engineBytes += t.bytesUsed();
      tables.clear();
      state.ResumeTiming();
   }
   report(state, used, kTables, sizeof(RouteIndex<>));
   // The index's own account of its memory, which the full-table benchmark reports as bytes per route.
   state.counters["bytesUsed_per_table"] = double(engineBytes) / double(kTables);
}

// 10,000 indexes that held 100 routes and lost every one.
void BM_IndexEmptied(benchmark::State& state) {
   auto const& routes = tableRoutes(4, 100);
   Footprint used{};
   for (auto _ : state) {
      std::vector<RouteIndex<>> tables(kTables);
      Footprint const before = Footprint::now();
      for (std::size_t i = 0; i < kTables; ++i) {
         for (RouteKey const& r : routes[i]) tables[i].add(r);
         for (RouteKey const& r : routes[i]) tables[i].remove(r);
      }
      used = Footprint::now() - before;
      state.PauseTiming();
      tables.clear();
      state.ResumeTiming();
   }
   report(state, used, kTables, sizeof(RouteIndex<>));
}

// The baseline: the same routes and nothing else, in an ordered container.
void BM_RouteSet(benchmark::State& state, int family) {
   std::size_t const n = std::size_t(state.range(0));
   auto const& routes = tableRoutes(family, n);
   Footprint used{};
   for (auto _ : state) {
      std::vector<std::set<RouteKey>> tables(kTables);
      Footprint const before = Footprint::now();
      for (std::size_t i = 0; i < kTables; ++i) tables[i].insert(routes[i].begin(), routes[i].end());
      used = Footprint::now() - before;
      state.PauseTiming();
      tables.clear();
      state.ResumeTiming();
   }
   report(state, used, kTables, sizeof(std::set<RouteKey>));
}

// Whole route tables as the agent fills them: routes added, then the summary rebuilt.
void BM_RouteTable(benchmark::State& state, int family) {
   std::size_t const n = std::size_t(state.range(0));
   auto const& routes = tableRoutes(family, n);
   Footprint used{};
   for (auto _ : state) {
      std::vector<Zat::Ptr<VelL3V2::RouteTable>> tables;
      tables.reserve(kTables);
      Footprint const before = Footprint::now();
      for (std::size_t i = 0; i < kTables; ++i) {
         tables.push_back(VelL3V2::routeTableFactory("fw"));
         for (RouteKey const& r : routes[i]) tables.back()->addRoute(VelL3V2::Route(r.destination, r.via));
         tables.back()->recomputeSummaryRoutes();
      }
      used = Footprint::now() - before;
      state.PauseTiming();
      tables.clear();
      state.ResumeTiming();
   }
   report(state, used, kTables, 0);
}

// ---------------------------------------------------------------------------------------------------
// One full-size table of generated routes, as index and as the baseline set.

std::vector<RouteKey> const& fullRoutes(int family) {
   static std::vector<RouteKey> made[2];
   auto& r = made[family == 4 ? 0 : 1];
   if (r.empty()) r = Gen(std::uint32_t(family)).routes(family, family == 4 ? 1200000 : 290000, 250);
   return r;
}

void BM_FullIndex(benchmark::State& state, int family) {
   auto const& routes = fullRoutes(family);
   Footprint used{};
   std::size_t engineBytes = 0;
   for (auto _ : state) {
      auto index = std::make_unique<RouteIndex<>>();
      Footprint const before = Footprint::now();
      for (RouteKey const& r : routes) index->add(r);
      used = Footprint::now() - before;
      state.PauseTiming();
      engineBytes = index->bytesUsed();
      index.reset();
      state.ResumeTiming();
   }
   state.counters["routes"] = double(routes.size());
   state.counters["bytes_per_route"] = double(used.counted) / double(routes.size());
   state.counters["heap_per_route"] = double(used.heap) / double(routes.size());
   state.counters["bytesUsed_per_route"] = double(engineBytes) / double(routes.size());
}

void BM_FullSet(benchmark::State& state, int family) {
   auto const& routes = fullRoutes(family);
   Footprint used{};
   for (auto _ : state) {
      auto set = std::make_unique<std::set<RouteKey>>();
      Footprint const before = Footprint::now();
      set->insert(routes.begin(), routes.end());
      used = Footprint::now() - before;
      state.PauseTiming();
      set.reset();
      state.ResumeTiming();
   }
   state.counters["routes"] = double(routes.size());
   state.counters["bytes_per_route"] = double(used.counted) / double(routes.size());
   state.counters["heap_per_route"] = double(used.heap) / double(routes.size());
}

void sizes(benchmark::internal::Benchmark* b) {
   b->Unit(benchmark::kMillisecond)->Arg(0)->Arg(1)->Arg(10)->Arg(100);
}

BENCHMARK_CAPTURE(BM_Index, v4, 4)->Apply(sizes);
BENCHMARK_CAPTURE(BM_Index, v6, 6)->Apply(sizes);
BENCHMARK(BM_IndexEmptied)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_RouteSet, v4, 4)->Apply(sizes);
BENCHMARK_CAPTURE(BM_RouteSet, v6, 6)->Apply(sizes);
BENCHMARK_CAPTURE(BM_RouteTable, v4, 4)->Apply(sizes);
BENCHMARK_CAPTURE(BM_RouteTable, v6, 6)->Apply(sizes);
BENCHMARK_CAPTURE(BM_FullIndex, v4, 4)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK_CAPTURE(BM_FullIndex, v6, 6)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK_CAPTURE(BM_FullSet, v4, 4)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK_CAPTURE(BM_FullSet, v6, 6)->Unit(benchmark::kMillisecond)->Iterations(2);

// The summary after the runs: bytes per table and per route beside the baselines, and the goal.
class SizeReporter : public BenchSupport::SummaryReporter {
 public:
   void printSummary() const {
      std::printf(
          "\nBytes per table, 10,000 tables (same run; index / set is the index's cost next to the "
          "routes alone)\n");
      std::printf("  %-6s %6s %12s %12s %12s %10s %14s\n", "family", "routes", "index", "index heap",
                  "std::set", "index/set", "RouteTable");
      for (char const* f : {"v4", "v6"}) {
         for (char const* n : {"0", "1", "10", "100"}) {
            std::string const tail = std::string(f) + "/" + n;
            double const index = counter("BM_Index/" + tail, "bytes_per_table");
            double const set = counter("BM_RouteSet/" + tail, "bytes_per_table");
            std::printf("  %-6s %6s %12.0f %12.0f %12.0f %10.2f %14.0f\n", f, n, index,
                        counter("BM_Index/" + tail, "heap_per_table"), set, index / set,
                        counter("BM_RouteTable/" + tail, "bytes_per_table"));
         }
      }
      std::printf("  emptied after 100 IPv4 routes: index %.0f bytes per table\n",
                  counter("BM_IndexEmptied", "bytes_per_table"));
      std::printf("\nFull-size table, bytes per route (same run)\n");
      for (char const* f : {"v4", "v6"}) {
         double const index = counter(std::string("BM_FullIndex/") + f, "bytes_per_route");
         double const set = counter(std::string("BM_FullSet/") + f, "bytes_per_route");
         std::printf("  %s  index %.1f (engine's account %.1f), std::set %.1f, index/set %.3f\n", f, index,
                     counter(std::string("BM_FullIndex/") + f, "bytesUsed_per_route"), set, index / set);
      }
      std::printf("\nGoal: an empty and a one-route index under 1024 bytes\n");
      for (char const* f : {"v4", "v6"}) {
         for (char const* n : {"0", "1"}) {
            double const b = counter(std::string("BM_Index/") + f + "/" + n, "bytes_per_table");
            std::printf("  %s, %s route%s: %8.0f bytes  %s\n", f, n, *n == '1' ? "" : "s", b,
                        b < 1024 ? "met" : "NOT MET");
         }
      }
   }
};

}  // namespace

int main(int argc, char** argv) {
   benchmark::Initialize(&argc, argv);
   if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
   SizeReporter reporter;
   benchmark::RunSpecifiedBenchmarks(&reporter);
   reporter.printSummary();
   benchmark::Shutdown();
   return 0;
}
