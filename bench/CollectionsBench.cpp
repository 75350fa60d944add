// Keyed collections against the standard and Abseil hash tables, in one run.
//
// For N = 1,000, 100,000 and 1,000,000 distinct keys (random 32-bit integers and IPv4 addresses; short
// strings at 100,000) it times, per operation: inserting the N keys into an empty table, finding present
// keys, finding absent keys, erasing every key, and one full walk. The contenders:
//   ZatValueSet      Zat::ValueSet
//   StdUnorderedSet  std::unordered_set        (baseline)
//   AbslFlatHashSet  absl::flat_hash_set       (baseline every ratio is taken against)
//   ZatEntityColl    an entity collection through its generated accessors (itemIs / item / itemDel)
//   StdEntityMap     std::unordered_map<K, Zat::Ptr<E>>
//   AbslEntityMap    absl::flat_hash_map<K, Zat::Ptr<E>>
//   EntitySet        a value set through its entity's accessors (keyIs / keyHas / keyDel), nobody watching
//   EntitySetWatched the same with one notifiee attached that ignores what it is told
// The std and Abseil tables hash with Zat::keyHash, the library's own Murmur3 under the same seed, so every
// table pays the same for hashing and the comparison is of the tables alone.
//
// Each benchmark reports the counter ns/op; at the end a summary prints ns/op per contender and its ratio
// to absl::flat_hash_set (entity collections also against the Abseil entity map, entity sets against the
// raw ValueSet). --benchmark_filter and --benchmark_repetitions work as usual; with repetitions the
// summary takes each median. The machine is shared with whatever else runs: compare ratios taken in one
// run, not absolute numbers across runs.
#include <benchmark/benchmark.h>

#include <absl/container/flat_hash_map.h>
#include <absl/container/flat_hash_set.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "CollBench/CollectionsBenchTypes.h"
#include "Ipkit/IpGenAddr.h"
#include "Zat/Collections.h"
#include "support/Heap.h"

namespace {

using Addr = Ipkit::IpGenAddr;
using CollBench::Holder;
constexpr std::uint32_t benchConstant = 7;

// The library's hash for the baselines.
template <class K>
struct ZatHash {
   std::uint32_t seed = Zat::hashSeed32() ^ benchConstant;
   std::size_t operator()(K const& k) const noexcept { return Zat::keyHash(seed, k); }
};

// ------------------------------------------------------------------------------------------------------
// Keys: N distinct present keys, the same in another order for lookups and erasure, and N absent ones.

template <class K>
struct Keys {
   std::vector<K> present, shuffled, absent;
};

template <class K>
K keyFrom(std::uint32_t raw);
template <>
std::uint32_t keyFrom<std::uint32_t>(std::uint32_t raw) { return raw; }
template <>
Addr keyFrom<Addr>(std::uint32_t raw) { return Addr::v4(raw); }
// Short interface-like names, distinct because the numbers are: "et" and up to seven base-36 digits.
template <>
Zat::String keyFrom<Zat::String>(std::uint32_t raw) {
   std::string s = "et";
   do {
      s += "0123456789abcdefghijklmnopqrstuvwxyz"[raw % 36];
      raw /= 36;
   } while (raw);
   return Zat::String(std::move(s));
}

template <class K>
Keys<K> const& keysFor(std::size_t n) {
   static std::map<std::size_t, Keys<K>> cache;
   auto it = cache.find(n);
   if (it != cache.end()) return it->second;
   std::mt19937 rng(std::uint32_t(n) * 2654435761u + 17);
   std::unordered_set<std::uint32_t> seen;
   seen.reserve(2 * n);
   Keys<K> keys;
   while (keys.present.size() < n) {
      std::uint32_t const r = rng();
      if (seen.insert(r).second) keys.present.push_back(keyFrom<K>(r));
   }
   while (keys.absent.size() < n) {
      std::uint32_t const r = rng();
      if (seen.insert(r).second) keys.absent.push_back(keyFrom<K>(r));
   }
   keys.shuffled = keys.present;
   std::shuffle(keys.shuffled.begin(), keys.shuffled.end(), rng);
   return cache.emplace(n, std::move(keys)).first->second;
}

std::uint64_t weigh(std::uint32_t k) { return k; }
std::uint64_t weigh(Addr const& k) { return k.bytes()[3]; }
std::uint64_t weigh(Zat::String const& k) { return k.view().size(); }

// ------------------------------------------------------------------------------------------------------
// Contenders: insert, find (answers whether found), erase and a full walk (answers a checksum).

template <class K>
struct ZatValueSet {
   using Key = K;
   Zat::ValueSet<K, benchConstant> s;
   void insert(K const& k) { s.insert(k); }
   bool find(K const& k) const { return s.contains(k); }
   void erase(K const& k) { s.erase(k); }
   std::uint64_t walk() const {
      std::uint64_t sum = 0;
      for (auto const& k : s) sum += weigh(k);
      return sum;
   }
};

template <class K, class Set>
struct StdLikeSet {
   using Key = K;
   Set s;
   void insert(K const& k) { s.insert(k); }
   bool find(K const& k) const { return s.find(k) != s.end(); }
   void erase(K const& k) { s.erase(k); }
   std::uint64_t walk() const {
      std::uint64_t sum = 0;
      for (auto const& k : s) sum += weigh(k);
      return sum;
   }
};
template <class K>
using StdUnorderedSet = StdLikeSet<K, std::unordered_set<K, ZatHash<K>>>;
template <class K>
using AbslFlatHashSet = StdLikeSet<K, absl::flat_hash_set<K, ZatHash<K>>>;

// The holder's accessors by key type.
struct Via {
   static void setIs(Holder& h, std::uint32_t k) { h.intKeyIs(k); }
   static void setIs(Holder& h, Addr const& k) { h.addrKeyIs(k); }
   static void setIs(Holder& h, Zat::String const& k) { h.nameKeyIs(k); }
   static bool setHas(Holder const& h, std::uint32_t k) { return h.intKeyHas(k); }
   static bool setHas(Holder const& h, Addr const& k) { return h.addrKeyHas(k); }
   static bool setHas(Holder const& h, Zat::String const& k) { return h.nameKeyHas(k); }
   static void setDel(Holder& h, std::uint32_t k) { h.intKeyDel(k); }
   static void setDel(Holder& h, Addr const& k) { h.addrKeyDel(k); }
   static void setDel(Holder& h, Zat::String const& k) { h.nameKeyDel(k); }
   template <class K>
   static auto const& set(Holder const& h) {
      if constexpr (std::is_same_v<K, std::uint32_t>) return h.intKeyCollection();
      else if constexpr (std::is_same_v<K, Addr>) return h.addrKeyCollection();
      else return h.nameKeyCollection();
   }

   static auto itemIs(Holder& h, std::uint32_t k) { return h.intItemIs(k); }
   static auto itemIs(Holder& h, Addr const& k) { return h.addrItemIs(k); }
   static auto itemIs(Holder& h, Zat::String const& k) { return h.nameItemIs(k); }
   static auto item(Holder const& h, std::uint32_t k) { return h.intItem(k); }
   static auto item(Holder const& h, Addr const& k) { return h.addrItem(k); }
   static auto item(Holder const& h, Zat::String const& k) { return h.nameItem(k); }
   static auto itemDel(Holder& h, std::uint32_t k) { return h.intItemDel(k); }
   static auto itemDel(Holder& h, Addr const& k) { return h.addrItemDel(k); }
   static auto itemDel(Holder& h, Zat::String const& k) { return h.nameItemDel(k); }
   template <class K>
   static auto const& items(Holder const& h) {
      if constexpr (std::is_same_v<K, std::uint32_t>) return h.intItemCollection();
      else if constexpr (std::is_same_v<K, Addr>) return h.addrItemCollection();
      else return h.nameItemCollection();
   }
   // A free-standing entity of key k, for the baseline maps.
   static auto make(std::uint32_t k) { return CollBench::IntItem::IntItemIs(k); }
   static auto make(Addr const& k) { return CollBench::AddrItem::AddrItemIs(k); }
   static auto make(Zat::String const& k) { return CollBench::NameItem::NameItemIs(k); }
};

struct IgnoreAll : Zat::Notifiee {
   void onChange(Zat::PtrInterface const&, std::uint16_t, Zat::KeyRef const&) override {}
};

template <class K, bool Watched>
struct EntitySetT {
   using Key = K;
   IgnoreAll ignore;
   Zat::Ptr<Holder> h = Holder::HolderIs("h");
   EntitySetT() {
      if (Watched) h->addLegacyNotifiee(&ignore);
   }
   ~EntitySetT() {
      if (Watched) h->removeLegacyNotifiee(&ignore);
   }
   void insert(K const& k) { Via::setIs(*h, k); }
   bool find(K const& k) const { return Via::setHas(*h, k); }
   void erase(K const& k) { Via::setDel(*h, k); }
   std::uint64_t walk() const {
      std::uint64_t sum = 0;
      for (auto const& k : Via::set<K>(*h)) sum += weigh(k);
      return sum;
   }
};
template <class K>
using EntitySet = EntitySetT<K, false>;
template <class K>
using EntitySetWatched = EntitySetT<K, true>;

template <class K>
struct ZatEntityColl {
   using Key = K;
   Zat::Ptr<Holder> h = Holder::HolderIs("h");
   void insert(K const& k) { benchmark::DoNotOptimize(Via::itemIs(*h, k)); }
   bool find(K const& k) const { return Via::item(*h, k) != nullptr; }
   void erase(K const& k) { benchmark::DoNotOptimize(Via::itemDel(*h, k)); }
   std::uint64_t walk() const {
      std::uint64_t sum = 0;
      for (auto const& e : Via::items<K>(*h)) sum += weigh(e->zatKey());
      return sum;
   }
};

// The baselines do what the accessors do: make the entity, hand out counted pointers.
template <class K, class Map>
struct EntityMap {
   using Key = K;
   Map m;
   void insert(K const& k) { m.try_emplace(k, Via::make(k)); }
   bool find(K const& k) const {
      auto it = m.find(k);
      auto p = it == m.end() ? decltype(it->second)() : it->second;
      return p != nullptr;
   }
   void erase(K const& k) { m.erase(k); }
   std::uint64_t walk() const {
      std::uint64_t sum = 0;
      for (auto const& [k, e] : m) sum += weigh(e->zatKey());
      return sum;
   }
};
template <class K>
using EntityOf = typename decltype(Via::make(std::declval<K const&>()))::element_type;
template <class K>
using StdEntityMap = EntityMap<K, std::unordered_map<K, Zat::Ptr<EntityOf<K>>, ZatHash<K>>>;
template <class K>
using AbslEntityMap = EntityMap<K, absl::flat_hash_map<K, Zat::Ptr<EntityOf<K>>, ZatHash<K>>>;

// ------------------------------------------------------------------------------------------------------
// The operations. Inserting and erasing need fresh tables: they are built (and torn down) with the clock
// stopped, several at a time for small N so that stopping the clock costs little beside the work.

// Seconds per operation (shown as e.g. "9.6ns").
void perOp(benchmark::State& st, std::size_t opsPerIteration) {
   st.counters["ns/op"] = benchmark::Counter(double(opsPerIteration),
                                             benchmark::Counter::kIsIterationInvariantRate |
                                                 benchmark::Counter::kInvert);
}
std::size_t batchFor(std::size_t n) { return std::max<std::size_t>(1, 100000 / n); }

template <class C>
void insertAll(benchmark::State& st, std::size_t n) {
   auto const& keys = keysFor<typename C::Key>(n);
   BenchSupport::settleHeap();  // every benchmark starts from a consolidated heap
   std::size_t const batch = batchFor(n);
   std::vector<std::optional<C>> tables(batch);
   for (auto _ : st) {
      st.PauseTiming();
      for (auto& t : tables) t.emplace();
      st.ResumeTiming();
      for (auto& t : tables) {
         for (auto const& k : keys.present) t->insert(k);
      }
      st.PauseTiming();
      for (auto& t : tables) t.reset();
      st.ResumeTiming();
   }
   perOp(st, n * batch);
}

template <class C>
void eraseAll(benchmark::State& st, std::size_t n) {
   auto const& keys = keysFor<typename C::Key>(n);
   BenchSupport::settleHeap();
   std::size_t const batch = batchFor(n);
   std::vector<std::optional<C>> tables(batch);
   for (auto _ : st) {
      st.PauseTiming();
      for (auto& t : tables) {
         t.emplace();
         for (auto const& k : keys.present) t->insert(k);
      }
      st.ResumeTiming();
      for (auto& t : tables) {
         for (auto const& k : keys.shuffled) t->erase(k);
      }
      st.PauseTiming();
      for (auto& t : tables) t.reset();
      st.ResumeTiming();
   }
   perOp(st, n * batch);
}

template <class C, bool Present>
void findAll(benchmark::State& st, std::size_t n) {
   auto const& keys = keysFor<typename C::Key>(n);
   BenchSupport::settleHeap();
   auto const& probes = Present ? keys.shuffled : keys.absent;
   C t;
   for (auto const& k : keys.present) t.insert(k);
   std::size_t hits = 0;
   for (auto _ : st) {
      for (auto const& k : probes) hits += t.find(k);
      benchmark::DoNotOptimize(hits);
   }
   if (hits != (Present ? n * std::size_t(st.iterations()) : 0)) st.SkipWithError("wrong number of hits");
   perOp(st, n);
}

template <class C>
void walkAll(benchmark::State& st, std::size_t n) {
   auto const& keys = keysFor<typename C::Key>(n);
   BenchSupport::settleHeap();
   C t;
   for (auto const& k : keys.present) t.insert(k);
   for (auto _ : st) benchmark::DoNotOptimize(t.walk());
   perOp(st, n);
}

// ------------------------------------------------------------------------------------------------------
// Registration and the summary.

char const* const contenders[] = {"ZatValueSet",   "StdUnorderedSet", "AbslFlatHashSet",  "ZatEntityColl",
                                  "StdEntityMap",  "AbslEntityMap",   "EntitySet",        "EntitySetWatched"};
char const* const columns[] = {"ZatSet", "StdSet", "AbslSet", "ZatColl", "StdMap", "AbslMap", "EntSet", "EntSetW"};
char const* const operations[] = {"insert", "findHit", "findMiss", "erase", "walk"};

template <template <class> class C, class K>
void registerOne(std::string const& op, std::string const& keyName, char const* name, std::size_t n) {
   std::string const full = op + "/" + keyName + "/" + std::to_string(n) + "/" + name;
   auto* b = [&]() -> benchmark::internal::Benchmark* {
      if (op == "insert") return benchmark::RegisterBenchmark(full.c_str(), [n](benchmark::State& st) { insertAll<C<K>>(st, n); });
      if (op == "findHit") return benchmark::RegisterBenchmark(full.c_str(), [n](benchmark::State& st) { findAll<C<K>, true>(st, n); });
      if (op == "findMiss") return benchmark::RegisterBenchmark(full.c_str(), [n](benchmark::State& st) { findAll<C<K>, false>(st, n); });
      if (op == "erase") return benchmark::RegisterBenchmark(full.c_str(), [n](benchmark::State& st) { eraseAll<C<K>>(st, n); });
      return benchmark::RegisterBenchmark(full.c_str(), [n](benchmark::State& st) { walkAll<C<K>>(st, n); });
   }();
   b->Unit(benchmark::kMillisecond)->MinTime(0.2);
}

template <class K>
void registerKey(std::string const& keyName, std::vector<std::size_t> const& sizes) {
   for (std::size_t n : sizes) {
      for (std::string op : operations) {
         registerOne<ZatValueSet, K>(op, keyName, contenders[0], n);
         registerOne<StdUnorderedSet, K>(op, keyName, contenders[1], n);
         registerOne<AbslFlatHashSet, K>(op, keyName, contenders[2], n);
         registerOne<ZatEntityColl, K>(op, keyName, contenders[3], n);
         registerOne<StdEntityMap, K>(op, keyName, contenders[4], n);
         registerOne<AbslEntityMap, K>(op, keyName, contenders[5], n);
         registerOne<EntitySet, K>(op, keyName, contenders[6], n);
         registerOne<EntitySetWatched, K>(op, keyName, contenders[7], n);
      }
   }
}

// Shows every run as usual and keeps ns/op by name for the summary.
class SummaryReporter : public benchmark::ConsoleReporter {
  public:
   void ReportRuns(std::vector<Run> const& runs) override {
      ConsoleReporter::ReportRuns(runs);
      for (auto const& r : runs) {
         if (r.error_occurred) continue;
         // The registered name, without the min-time and repetition suffixes; of the aggregates of
         // repeated runs only the median counts.
         std::string const name = r.run_name.function_name;
         if (r.run_type == Run::RT_Aggregate && r.aggregate_name != "median") continue;
         auto it = r.counters.find("ns/op");
         if (it != r.counters.end()) nsPerOp_[name] = it->second.value;
         order_.push_back(name.substr(0, name.rfind('/')));
      }
   }

   void printSummary() const {
      std::printf("\nSummary: ns per operation, and the ratio to absl::flat_hash_set (entity collections also\n"
                  "to the Abseil entity map, entity sets also to the raw ValueSet). Baselines hash with\n"
                  "Zat::keyHash (Murmur3, same seed).\n\n");
      std::printf("%-22s", "operation/key/N");
      for (char const* c : columns) std::printf(" %8s", c);
      std::printf("   %9s %9s %9s %9s\n", "Zat/absl", "Coll/absl", "Ent/raw", "Watch/raw");
      std::vector<std::string> seen;
      for (auto const& group : order_) {
         if (std::find(seen.begin(), seen.end(), group) != seen.end()) continue;
         seen.push_back(group);
         auto ns = [&](char const* c) {
            auto it = nsPerOp_.find(group + "/" + c);
            return it == nsPerOp_.end() ? -1.0 : it->second * 1e9;
         };
         auto ratio = [&](char const* a, char const* b) {
            double const x = ns(a), y = ns(b);
            return x < 0 || y <= 0 ? 0.0 : x / y;
         };
         std::printf("%-22s", group.c_str());
         for (char const* c : contenders) std::printf(" %8.1f", ns(c));
         std::printf("   %8.2fx %8.2fx %8.3fx %8.3fx\n", ratio("ZatValueSet", "AbslFlatHashSet"),
                     ratio("ZatEntityColl", "AbslEntityMap"), ratio("EntitySet", "ZatValueSet"),
                     ratio("EntitySetWatched", "ZatValueSet"));
      }
   }

  private:
   std::map<std::string, double> nsPerOp_;
   std::vector<std::string> order_;
};

}  // namespace

int main(int argc, char** argv) {
   BenchSupport::keepFreedMemory();
   benchmark::Initialize(&argc, argv);
   if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
   std::vector<std::size_t> const sizes = {1000, 100000, 1000000};
   registerKey<std::uint32_t>("u32", sizes);
   registerKey<Addr>("ip4", sizes);
   registerKey<Zat::String>("str", {100000});
   SummaryReporter reporter;
   benchmark::RunSpecifiedBenchmarks(&reporter);
   reporter.printSummary();
   benchmark::Shutdown();
   return 0;
}
