// The route engine on the real IPv4 and IPv6 routing tables, each figure next to its baseline from the
// same run:
// - the summary rebuild (from an empty summary, and after 1% of the routes changed) against std::sort of
//   the same routes: whatever a rebuild does, it has to see the routes in route order;
// - the rebuild against the literal walk on a 20,000-route sample (the literal walk is quadratic, so the
//   full table is out of its reach);
// - lookups (of table prefixes, and of single addresses inside them) against one std::map::find on a
//   map of every destination.
// Index memory is reported as bytes per route. The ratios are printed after the table.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "RouteFile.h"
#include "Vel/VelL3V2/RouteEngine.h"

using Ipkit::IpGenAddr;
using Ipkit::IpGenPrefix;
using VelL3V2::detail::RouteIndex;
using VelL3V2::detail::RouteKey;

namespace {

using Summary = Zat::ValueSet<RouteKey, 2377410888u>;

// The shared data lives next to the repository; the build passes its directory as VEL_DATA_DIR.
std::string pathOf(int family) {
   return std::string(VEL_DATA_DIR) + (family == 4 ? "/bgp-ipv4.txt.gz" : "/bgp-ipv6.txt.gz");
}

bool available(std::string const& path) {
   return std::filesystem::is_regular_file(path);
}

// Every route of the file, in file order.
std::vector<RouteKey> load(std::string const& path) {
   std::vector<RouteKey> routes;
   routefile::RouteFile in(path);
   for (RouteKey r; in.next(r.destination, r.via);) routes.push_back(r);
   return routes;
}

struct Table {
   bool present = false;
   std::string missing;           // why it is not there
   std::vector<RouteKey> routes;  // file order
   std::unique_ptr<RouteIndex<>> index;
};

Table const& table(int family) {
   static Table tables[2];
   Table& t = tables[family == 4 ? 0 : 1];
   if (t.present || !t.missing.empty()) return t;
   std::string const path = pathOf(family);
   if (!available(path)) {
      t.missing = "skipped: " + path + " not found";
      return t;
   }
   t.routes = load(path);
   t.index = std::make_unique<RouteIndex<>>();
   for (RouteKey const& r : t.routes) t.index->add(r);
   t.present = true;
   return t;
}

bool ready(benchmark::State& state, Table const& t) {
   if (t.present) return true;
   state.SkipWithError(t.missing.c_str());
   return false;
}

std::vector<RouteKey> shuffled(std::vector<RouteKey> v, unsigned seed) {
   std::mt19937 rng(seed);
   std::shuffle(v.begin(), v.end(), rng);
   return v;
}

// ---------------------------------------------------------------------------------------------------

void BM_Load(benchmark::State& state, int family) {
   std::string const path = pathOf(family);
   if (!available(path)) {
      state.SkipWithError(("skipped: " + path + " not found").c_str());
      return;
   }
   std::size_t lines = 0;
   for (auto _ : state) {
      auto routes = load(path);
      lines = routes.size();
      benchmark::DoNotOptimize(routes.data());
   }
   state.counters["routes"] = double(lines);
   state.counters["routes_per_s"] =
       benchmark::Counter(double(lines), benchmark::Counter::kIsIterationInvariantRate);
}

void BM_SortFloor(benchmark::State& state, int family) {
   Table const& t = table(family);
   if (!ready(state, t)) return;
   std::vector<RouteKey> const input = shuffled(t.routes, 1);
   std::vector<RouteKey> work;
   for (auto _ : state) {
      state.PauseTiming();
      work = input;
      state.ResumeTiming();
      std::sort(work.begin(), work.end());
      benchmark::DoNotOptimize(work.data());
   }
   state.counters["routes"] = double(input.size());
}

void BM_IndexAddAll(benchmark::State& state, int family) {
   Table const& t = table(family);
   if (!ready(state, t)) return;
   std::size_t bytes = 0, nodes = 0;
   for (auto _ : state) {
      auto index = std::make_unique<RouteIndex<>>();
      for (RouteKey const& r : t.routes) index->add(r);
      state.PauseTiming();
      bytes = index->bytesUsed();
      nodes = index->nodeCount();
      index.reset();
      state.ResumeTiming();
   }
   state.counters["routes"] = double(t.routes.size());
   state.counters["bytes_per_route"] = double(bytes) / double(t.routes.size());
   state.counters["nodes_per_route"] = double(nodes) / double(t.routes.size());
   // For scale: the routes as plain values, without any index.
   state.counters["route_value_bytes"] = double(sizeof(RouteKey));
}

void BM_RebuildFromEmpty(benchmark::State& state, int family) {
   Table const& t = table(family);
   if (!ready(state, t)) return;
   std::size_t size = 0;
   for (auto _ : state) {
      auto summary = std::make_unique<Summary>();
      VelL3V2::detail::recomputeSummary(*t.index, *summary);
      state.PauseTiming();
      size = summary->size();
      summary.reset();
      state.ResumeTiming();
   }
   state.counters["routes"] = double(t.routes.size());
   state.counters["summary"] = double(size);
}

// Part of every rebuild from empty is filling the set: the rebuild's own result, inserted in route order
// into an empty summary, with nothing else to do.
void BM_SummaryFillFloor(benchmark::State& state, int family) {
   Table const& t = table(family);
   if (!ready(state, t)) return;
   Summary result;
   VelL3V2::detail::recomputeSummary(*t.index, result);
   std::vector<RouteKey> routes;
   for (RouteKey const& r : result) routes.push_back(r);
   std::sort(routes.begin(), routes.end());
   for (auto _ : state) {
      auto summary = std::make_unique<Summary>();
      for (RouteKey const& r : routes) summary->insert(r);
      state.PauseTiming();
      summary.reset();
      state.ResumeTiming();
   }
   state.counters["summary"] = double(routes.size());
}

// Counts what a rebuild changes in the summary.
struct Touches : VelL3V2::detail::SummaryEvents<RouteKey> {
   std::size_t changes = 0;
   void removal(RouteKey const&, RouteKey const&) override { ++changes; }
   void adding(RouteKey const&) override { ++changes; }
   void removingStale(RouteKey const&) override { ++changes; }
};

// 1% of the routes change between rebuilds: half of that are routes removed, half routes added, and of
// the added ones half cover existing destinations (so they remove summary members) and half are other
// vias for existing destinations.
void BM_RebuildAfterOnePercent(benchmark::State& state, int family) {
   Table const& t = table(family);
   if (!ready(state, t)) return;
   RouteIndex<> index;
   for (RouteKey const& r : t.routes) index.add(r);
   std::mt19937 rng(2);
   std::vector<RouteKey> const pool = shuffled(t.routes, 3);
   std::size_t const half = t.routes.size() / 200;
   std::vector<RouteKey> const gone(pool.begin(), pool.begin() + std::ptrdiff_t(half));
   std::vector<RouteKey> fresh;
   for (std::size_t i = half; fresh.size() < half && i < pool.size(); ++i) {
      RouteKey r = pool[i];
      if (fresh.size() % 2 == 0) {
         unsigned const shorter = 1 + unsigned(rng() % 3);
         if (r.destination.length() <= shorter + 8) continue;
         r.destination = IpGenPrefix(r.destination.address(), r.destination.length() - shorter);
      } else {
         r.via = pool[(i * 7919) % pool.size()].via;
      }
      if (!index.contains(r)) fresh.push_back(r);
   }
   auto change = [&](bool forward) {
      for (RouteKey const& r : gone) forward ? index.remove(r) : index.add(r);
      for (RouteKey const& r : fresh) forward ? index.add(r) : index.remove(r);
   };
   Summary summary;
   VelL3V2::detail::recomputeSummary(index, summary);
   // How much of the summary one such change touches, seen once through the events.
   change(true);
   Touches touches;
   VelL3V2::detail::recomputeSummary(index, summary, &touches);
   change(false);
   VelL3V2::detail::recomputeSummary(index, summary);

   bool forward = true;
   for (auto _ : state) {
      state.PauseTiming();
      change(forward);
      forward = !forward;
      state.ResumeTiming();
      VelL3V2::detail::recomputeSummary(index, summary);
   }
   state.counters["routes_changed"] = double(gone.size() + fresh.size());
   state.counters["summary"] = double(summary.size());
   state.counters["summary_touched"] = double(touches.changes);
   state.counters["touched_pct"] = 100.0 * double(touches.changes) / double(summary.size());
}

// ---------------------------------------------------------------------------------------------------
// The 20,000-route sample: the engine and the literal walk on the same routes.

std::vector<RouteKey> const& sample(int family) {
   static std::vector<RouteKey> samples[2];
   std::vector<RouteKey>& s = samples[family == 4 ? 0 : 1];
   if (s.empty()) {
      std::vector<RouteKey> all = shuffled(table(family).routes, 4);
      all.resize(std::min<std::size_t>(all.size(), 20000));
      std::sort(all.begin(), all.end());
      s = all;
   }
   return s;
}

void BM_RebuildSample(benchmark::State& state, int family) {
   if (!ready(state, table(family))) return;
   std::vector<RouteKey> const& routes = sample(family);
   RouteIndex<> index;
   for (RouteKey const& r : routes) index.add(r);
   std::size_t size = 0;
   for (auto _ : state) {
      Summary summary;
      VelL3V2::detail::recomputeSummary(index, summary);
      size = summary.size();
   }
   state.counters["routes"] = double(routes.size());
   state.counters["summary"] = double(size);
}

// The literal walk: stale members first (none here), then every route in route order through the
// summary step, which walks the whole summary.
void BM_ReferenceSample(benchmark::State& state, int family) {
   if (!ready(state, table(family))) return;
   std::vector<RouteKey> const& routes = sample(family);
   std::size_t size = 0;
   for (auto _ : state) {
      Summary summary;
      for (RouteKey const& r : routes) VelL3V2::detail::updateSummaryRoute(r, summary);
      size = summary.size();
   }
   state.counters["routes"] = double(routes.size());
   state.counters["summary"] = double(size);
}

// ---------------------------------------------------------------------------------------------------
// Lookups: a fixed list of probes, walked in order so that the loop itself costs next to nothing.

constexpr std::size_t kProbes = 1 << 20;

std::vector<IpGenPrefix> const& prefixProbes(int family) {
   static std::vector<IpGenPrefix> probes[2];
   auto& p = probes[family == 4 ? 0 : 1];
   if (p.empty()) {
      auto const& routes = table(family).routes;
      std::mt19937 rng(5);
      p.reserve(kProbes);
      for (std::size_t i = 0; i < kProbes; ++i) p.push_back(routes[rng() % routes.size()].destination);
   }
   return p;
}

// Addresses inside random table prefixes, host bits random.
std::vector<IpGenAddr> const& addressProbes(int family) {
   static std::vector<IpGenAddr> probes[2];
   auto& p = probes[family == 4 ? 0 : 1];
   if (p.empty()) {
      auto const& routes = table(family).routes;
      std::mt19937 rng(6);
      p.reserve(kProbes);
      for (std::size_t i = 0; i < kProbes; ++i) {
         IpGenPrefix const& d = routes[rng() % routes.size()].destination;
         IpGenAddr::Bytes b = d.address().bytes();
         unsigned const width = family == 4 ? 32 : 128;
         for (unsigned bit = d.length(); bit < width; ++bit) {
            if (rng() & 1) b[bit / 8] |= std::uint8_t(0x80u >> (bit % 8));
         }
         p.push_back(family == 4 ? IpGenAddr::v4(std::uint32_t(b[0]) << 24 | std::uint32_t(b[1]) << 16 |
                                                 std::uint32_t(b[2]) << 8 | b[3])
                                 : IpGenAddr::v6(b));
      }
   }
   return p;
}

void BM_LookupPrefix(benchmark::State& state, int family) {
   Table const& t = table(family);
   if (!ready(state, t)) return;
   auto const& probes = prefixProbes(family);
   std::size_t i = 0, hits = 0;
   for (auto _ : state) {
      IpGenAddr const via = t.index->lookup(probes[i++ & (kProbes - 1)]);
      hits += via.family() != Ipkit::ipFamilyNone;
      benchmark::DoNotOptimize(via);
   }
   state.counters["hit_pct"] = 100.0 * double(hits) / double(state.iterations());
}

void BM_LookupAddress(benchmark::State& state, int family) {
   Table const& t = table(family);
   if (!ready(state, t)) return;
   auto const& probes = addressProbes(family);
   std::size_t i = 0, hits = 0;
   for (auto _ : state) {
      IpGenAddr const via = t.index->lookup(probes[i++ & (kProbes - 1)]);
      hits += via.family() != Ipkit::ipFamilyNone;
      benchmark::DoNotOptimize(via);
   }
   state.counters["hit_pct"] = 100.0 * double(hits) / double(state.iterations());
}

void BM_MapFind(benchmark::State& state, int family) {
   Table const& t = table(family);
   if (!ready(state, t)) return;
   std::map<IpGenPrefix, IpGenAddr> map;
   for (RouteKey const& r : t.routes) map.emplace(r.destination, r.via);
   auto const& probes = prefixProbes(family);
   std::size_t i = 0;
   for (auto _ : state) {
      auto it = map.find(probes[i++ & (kProbes - 1)]);
      benchmark::DoNotOptimize(it);
   }
   state.counters["destinations"] = double(map.size());
}

void families(benchmark::internal::Benchmark* b) {
   b->Unit(benchmark::kMillisecond);
}

BENCHMARK_CAPTURE(BM_Load, v4, 4)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK_CAPTURE(BM_Load, v6, 6)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK_CAPTURE(BM_SortFloor, v4, 4)->Apply(families);
BENCHMARK_CAPTURE(BM_SortFloor, v6, 6)->Apply(families);
BENCHMARK_CAPTURE(BM_IndexAddAll, v4, 4)->Apply(families);
BENCHMARK_CAPTURE(BM_IndexAddAll, v6, 6)->Apply(families);
BENCHMARK_CAPTURE(BM_RebuildFromEmpty, v4, 4)->Apply(families);
BENCHMARK_CAPTURE(BM_RebuildFromEmpty, v6, 6)->Apply(families);
BENCHMARK_CAPTURE(BM_SummaryFillFloor, v4, 4)->Apply(families);
BENCHMARK_CAPTURE(BM_SummaryFillFloor, v6, 6)->Apply(families);
BENCHMARK_CAPTURE(BM_RebuildAfterOnePercent, v4, 4)->Apply(families);
BENCHMARK_CAPTURE(BM_RebuildAfterOnePercent, v6, 6)->Apply(families);
BENCHMARK_CAPTURE(BM_RebuildSample, v4, 4)->Apply(families);
BENCHMARK_CAPTURE(BM_RebuildSample, v6, 6)->Apply(families);
BENCHMARK_CAPTURE(BM_ReferenceSample, v4, 4)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK_CAPTURE(BM_ReferenceSample, v6, 6)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK_CAPTURE(BM_LookupPrefix, v4, 4);
BENCHMARK_CAPTURE(BM_LookupPrefix, v6, 6);
BENCHMARK_CAPTURE(BM_LookupAddress, v4, 4);
BENCHMARK_CAPTURE(BM_LookupAddress, v6, 6);
BENCHMARK_CAPTURE(BM_MapFind, v4, 4);
BENCHMARK_CAPTURE(BM_MapFind, v6, 6);

// Keeps the console table and remembers each benchmark's time per iteration for the ratios.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
   void ReportRuns(std::vector<Run> const& runs) override {
      ConsoleReporter::ReportRuns(runs);
      for (Run const& r : runs) {
         if (r.error_occurred || r.iterations == 0) continue;
         std::string name = r.benchmark_name();
         if (r.run_type == Run::RT_Aggregate) {
            // With repetitions, the median stands for the benchmark.
            if (r.aggregate_name != "median") continue;
            name.resize(name.size() - std::string("_median").size());
         }
         if (auto cut = name.find("/iterations:"); cut != std::string::npos) name.resize(cut);
         if (auto cut = name.find("/repeats:"); cut != std::string::npos) name.resize(cut);
         seconds_[name] = r.run_type == Run::RT_Aggregate ? r.GetAdjustedRealTime() / timeScale(r.time_unit)
                                                          : r.real_accumulated_time / double(r.iterations);
      }
   }

   void printRatios() const {
      std::printf("\nRatios (same run; below 1 means the engine is faster than the baseline)\n");
      for (char const* f : {"v4", "v6"}) {
         std::string const s(f);
         ratio("rebuild from empty / std::sort of the same routes", "BM_RebuildFromEmpty/" + s,
               "BM_SortFloor/" + s, "goal <= 3");
         ratio("rebuild from empty / filling the set with its result", "BM_RebuildFromEmpty/" + s,
               "BM_SummaryFillFloor/" + s, "floor");
         ratio("rebuild after 1% change / std::sort", "BM_RebuildAfterOnePercent/" + s, "BM_SortFloor/" + s,
               "goal <= 3");
         ratio("lookup of a table prefix / std::map::find", "BM_LookupPrefix/" + s, "BM_MapFind/" + s,
               "goal <= 3");
         ratio("lookup of an address / std::map::find", "BM_LookupAddress/" + s, "BM_MapFind/" + s,
               "goal <= 3");
         ratio("literal walk / rebuild, 20,000-route sample", "BM_ReferenceSample/" + s,
               "BM_RebuildSample/" + s, "goal >= 100");
      }
   }

 private:
   void ratio(char const* what, std::string const& a, std::string const& b, char const* goal) const {
      auto ia = seconds_.find(a), ib = seconds_.find(b);
      if (ia == seconds_.end() || ib == seconds_.end()) {
         std::printf("  %-52s %-4s  (not measured)\n", what, a.substr(a.rfind('/') + 1).c_str());
         return;
      }
      std::printf("  %-52s %-4s  %10.3f   (%s)\n", what, a.substr(a.rfind('/') + 1).c_str(),
                  ia->second / ib->second, goal);
   }
   // Units per second of a benchmark time unit.
   static double timeScale(benchmark::TimeUnit u) {
      switch (u) {
         case benchmark::kNanosecond:
            return 1e9;
         case benchmark::kMicrosecond:
            return 1e6;
         case benchmark::kMillisecond:
            return 1e3;
         default:
            return 1.0;
      }
   }
   std::map<std::string, double> seconds_;
};

}  // namespace

int main(int argc, char** argv) {
   benchmark::Initialize(&argc, argv);
   if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
   RatioReporter reporter;
   benchmark::RunSpecifiedBenchmarks(&reporter);
   reporter.printRatios();
   benchmark::Shutdown();
   return 0;
}
