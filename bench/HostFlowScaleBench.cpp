// The host and flow models at fabric scale. Hosts: 3 requestors each ask for 10 groups of 100 VNIs (1,000
// host sets), then 100,000 hosts get their configuration part, each key recorded for one requestor.
// Flows: the 3 requestors each ask for 1,000 devices' flow sets, then 100,000 flows (100 a device) get
// their order, origin and state. Each model is then released: one operation at a time in reverse
// (Release), or all at once by dropping the top set (Drop).
//
// Beside it, in the same run, a plain model of the same facts in absl::flat_hash_map and flat_hash_set
// (requestor sets and request sets included). The summary prints ns per host and per flow for each
// phase, ns per operation, live bytes per host and per flow from a counting allocator, and the ratio of
// the library to the plain model; and the stack that dropping the whole tree takes, measured on a
// painted stack, against dropping a tree of one host or flow and a chain of counted links. Releasing a
// counted object releases what it holds from inside its own release, so the stack follows the longest
// chain of holders: for the models that is the depth of their schema, whatever their size, while the
// chain's grows with its length.
#include <absl/container/flat_hash_map.h>
#include <absl/container/flat_hash_set.h>
#include <benchmark/benchmark.h>
#include <pthread.h>
#include <sys/mman.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "Vel/VelL3V2LocalTypes.h"
#include "support/CountingAllocator.h"
#include "support/Heap.h"
#include "support/SummaryReporter.h"

namespace {

using namespace VelL3V2;
namespace V2 = VelL3::V2;

constexpr int kRequestors = 3, kGroups = 10, kVnisPerGroup = 100, kHostsPerSet = 100;
constexpr int kDevices = 1000, kFlowsPerDevice = 100;
constexpr int kHostSets = kGroups * kVnisPerGroup, kHosts = kHostSets * kHostsPerSet;
constexpr int kFlows = kDevices * kFlowsPerDevice;
// Operations of each phase, counted as calls into the model (a flow with its three attributes is one).
constexpr int kHostOps = kRequestors * (kGroups + kHostSets) + 2 * kHosts;
constexpr int kFlowOps = kRequestors * kDevices + kFlows;

// The keys, made once and shared by both models' runs, so that no run times their construction.
struct Keys {
   std::vector<std::string> requestor, group, host, device, flow;
   Keys() {
      for (int r = 0; r < kRequestors; ++r) requestor.push_back("requestor-" + std::to_string(r));
      for (int g = 0; g < kGroups; ++g) group.push_back("group-" + std::to_string(g));
      for (int h = 0; h < kHosts; ++h) {
         host.push_back("10." + std::to_string(h >> 16) + '.' + std::to_string((h >> 8) & 255) + '.' +
                        std::to_string(h & 255));
      }
      for (int d = 0; d < kDevices; ++d) {
         device.push_back(
             DeviceKey::encode("tenant-" + std::to_string(d % 7), "fw-" + std::to_string(d)).str());
      }
      for (int f = 0; f < kFlowsPerDevice; ++f) flow.push_back("policy-" + std::to_string(f));
   }
   static std::uint32_t vni(int g, int v) { return std::uint32_t(10000 + g * kVnisPerGroup + v); }
   // Each host's key is recorded for one requestor, in turn.
   std::string const& requestorOfHost(int n) const { return requestor[std::size_t(n % kRequestors)]; }
};

Keys const& keys() {
   static Keys const k;
   return k;
}

// ---- the library's models ----

struct VelKeys {
   std::vector<Zat::String> requestor;
   std::vector<V2::GroupName> group;
   std::vector<V2::MemberKey> host;
   std::vector<DeviceKey> device;
   std::vector<V2::FlowKey> flow;
   VelKeys() {
      Keys const& k = keys();
      for (auto const& s : k.requestor) requestor.emplace_back(s);
      for (auto const& s : k.group) group.emplace_back(s);
      for (auto const& s : k.host) host.emplace_back(Zat::String(s));
      for (auto const& s : k.device) device.emplace_back(Zat::String(s));
      for (auto const& s : k.flow) flow.emplace_back(Zat::String(s));
   }
};

VelKeys const& velKeys() {
   static VelKeys const k;
   return k;
}

struct VelHosts {
   Zat::Ptr<PerNetVrfHostSet> root = PerNetVrfHostSet::PerNetVrfHostSetIs("blue");

   void build(int groups = kGroups, int vnis = kVnisPerGroup, int hosts = kHostsPerSet) {
      VelKeys const& k = velKeys();
      std::vector<Zat::Ptr<PerVniHostSet>> sets;
      for (int r = 0; r < kRequestors; ++r) {
         for (int g = 0; g < groups; ++g) {
            Zat::Ptr<PerGroupHostSet> group = root->addPerGroupHostSet(k.group[g], k.requestor[r]);
            for (int v = 0; v < vnis; ++v) {
               Zat::Ptr<PerVniHostSet> set = group->addPerVniHostSet(Keys::vni(g, v), k.requestor[r]);
               if (r == 0) sets.push_back(std::move(set));
            }
         }
      }
      for (int s = 0; s < int(sets.size()); ++s) {
         for (int h = 0; h < hosts; ++h) {
            int const n = s * kHostsPerSet + h;
            sets[std::size_t(s)]->addHostConfig(k.host[std::size_t(n)]);
            sets[std::size_t(s)]->addRequestSet(k.host[std::size_t(n)],
                                                k.requestor[std::size_t(n % kRequestors)]);
         }
      }
   }

   void release() {
      VelKeys const& k = velKeys();
      for (int g = 0; g < kGroups; ++g) {
         Zat::Ptr<PerGroupHostSet> group = root->perGroupHostSet(k.group[g]);
         for (int v = 0; v < kVnisPerGroup; ++v) {
            Zat::Ptr<PerVniHostSet> set = group->perVniHostSet(Keys::vni(g, v));
            int const s = g * kVnisPerGroup + v;
            for (int h = 0; h < kHostsPerSet; ++h) {
               int const n = s * kHostsPerSet + h;
               set->removeHostConfig(k.host[std::size_t(n)]);
               set->removeRequestSet(k.host[std::size_t(n)], k.requestor[std::size_t(n % kRequestors)]);
            }
         }
      }
      for (int r = 0; r < kRequestors; ++r) {
         for (int g = 0; g < kGroups; ++g) {
            if (Zat::Ptr<PerGroupHostSet> group = root->perGroupHostSet(k.group[g])) {
               for (int v = 0; v < kVnisPerGroup; ++v)
                  group->removePerVniHostSet(Keys::vni(g, v), k.requestor[r]);
            }
            root->removePerGroupHostSet(k.group[g], k.requestor[r]);
         }
      }
   }

   std::size_t hosts() const {
      std::size_t n = 0;
      for (auto const& g : root->perGroupHostSetCollection()) {
         for (auto const& v : g->perVniHostSetCollection()) n += v->hostSize();
      }
      return n;
   }
   bool empty() const { return root->perGroupHostSetSize() == 0 && root->groupRequestSetSize() == 0; }
};

struct VelFlows {
   Zat::Ptr<PerNetVrfFlowSet> root = PerNetVrfFlowSet::PerNetVrfFlowSetIs("blue");

   void build(int devices = kDevices, int flows = kFlowsPerDevice) {
      VelKeys const& k = velKeys();
      std::vector<Zat::Ptr<FlowSetConfig>> configs;
      for (int r = 0; r < kRequestors; ++r) {
         for (int d = 0; d < devices; ++d) {
            Zat::Ptr<FlowSetConfig> config = root->addFlowSetConfig(k.device[std::size_t(d)], k.requestor[r]);
            if (r == 0) configs.push_back(std::move(config));
         }
      }
      Zat::String const origin("policy");
      for (int d = 0; d < devices; ++d) {
         for (int f = 0; f < flows; ++f) {
            Zat::Ptr<FlowConfig> flow = configs[std::size_t(d)]->flowIs(k.flow[std::size_t(f)]);
            flow->orderIs(V2::FlowOrder(100, std::uint32_t(9000 + f)));
            flow->originIs(origin);
            flow->stateIs(V2::ConfigState::configured);
         }
      }
   }

   void release() {
      VelKeys const& k = velKeys();
      for (int d = 0; d < kDevices; ++d) {
         Zat::Ptr<FlowSetConfig> config = root->perDeviceFlowSet(k.device[std::size_t(d)])->config();
         for (int f = 0; f < kFlowsPerDevice; ++f) config->flowDel(k.flow[std::size_t(f)]);
      }
      for (int r = 0; r < kRequestors; ++r) {
         for (int d = 0; d < kDevices; ++d)
            root->removeFlowSetConfig(k.device[std::size_t(d)], k.requestor[r]);
      }
   }

   std::size_t flows() const {
      std::size_t n = 0;
      for (auto const& d : root->perDeviceFlowSetCollection()) n += d->config()->flowSize();
      return n;
   }
   bool empty() const { return root->perDeviceFlowSetSize() == 0; }
};

// ---- the plain models: the same facts in flat hash tables ----

using StringSet = absl::flat_hash_set<std::string>;

struct PlainHosts {
   struct Host {
      bool config = false;
      bool status = false;
   };
   struct VniSet {
      StringSet requestor;
      absl::flat_hash_map<std::string, Host> host;
      absl::flat_hash_map<std::string, StringSet> hostRequests;
   };
   struct Group {
      StringSet requestor;
      absl::flat_hash_map<std::uint32_t, VniSet> vni;
      absl::flat_hash_map<std::string, absl::flat_hash_set<std::uint32_t>> vniRequests;
   };
   absl::flat_hash_map<std::string, Group> group;
   absl::flat_hash_map<std::string, StringSet> groupRequests;

   void build() {
      Keys const& k = keys();
      for (int r = 0; r < kRequestors; ++r) {
         std::string const& who = k.requestor[std::size_t(r)];
         for (int g = 0; g < kGroups; ++g) {
            Group& grp = group[k.group[std::size_t(g)]];
            grp.requestor.insert(who);
            groupRequests[who].insert(k.group[std::size_t(g)]);
            for (int v = 0; v < kVnisPerGroup; ++v) {
               grp.vni[Keys::vni(g, v)].requestor.insert(who);
               grp.vniRequests[who].insert(Keys::vni(g, v));
            }
         }
      }
      for (int g = 0; g < kGroups; ++g) {
         Group& grp = group.find(k.group[std::size_t(g)])->second;
         for (int v = 0; v < kVnisPerGroup; ++v) {
            VniSet& set = grp.vni.find(Keys::vni(g, v))->second;
            for (int h = 0; h < kHostsPerSet; ++h) {
               int const n = (g * kVnisPerGroup + v) * kHostsPerSet + h;
               std::string const& host = k.host[std::size_t(n)];
               set.host[host].config = true;
               set.hostRequests[k.requestorOfHost(n)].insert(host);
            }
         }
      }
   }

   void release() {
      Keys const& k = keys();
      for (int g = 0; g < kGroups; ++g) {
         Group& grp = group.find(k.group[std::size_t(g)])->second;
         for (int v = 0; v < kVnisPerGroup; ++v) {
            VniSet& set = grp.vni.find(Keys::vni(g, v))->second;
            for (int h = 0; h < kHostsPerSet; ++h) {
               int const n = (g * kVnisPerGroup + v) * kHostsPerSet + h;
               std::string const& host = k.host[std::size_t(n)];
               auto it = set.host.find(host);
               it->second.config = false;
               if (!it->second.status) set.host.erase(it);
               auto req = set.hostRequests.find(k.requestorOfHost(n));
               req->second.erase(host);
               if (req->second.empty()) set.hostRequests.erase(req);
            }
         }
      }
      for (int r = 0; r < kRequestors; ++r) {
         std::string const& who = k.requestor[std::size_t(r)];
         for (int g = 0; g < kGroups; ++g) {
            auto grp = group.find(k.group[std::size_t(g)]);
            for (int v = 0; v < kVnisPerGroup; ++v) {
               auto set = grp->second.vni.find(Keys::vni(g, v));
               set->second.requestor.erase(who);
               if (set->second.requestor.empty()) grp->second.vni.erase(set);
               auto req = grp->second.vniRequests.find(who);
               req->second.erase(Keys::vni(g, v));
               if (req->second.empty()) grp->second.vniRequests.erase(req);
            }
            grp->second.requestor.erase(who);
            if (grp->second.requestor.empty()) group.erase(grp);
            auto req = groupRequests.find(who);
            req->second.erase(k.group[std::size_t(g)]);
            if (req->second.empty()) groupRequests.erase(req);
         }
      }
   }
   bool empty() const { return group.empty() && groupRequests.empty(); }
};

struct PlainFlows {
   struct Flow {
      std::uint32_t preference = 0, priority = 0;
      std::string origin;
      V2::ConfigState state{};
   };
   struct Device {
      StringSet requestor;
      absl::flat_hash_map<std::string, Flow> flow;
   };
   absl::flat_hash_map<std::string, Device> device;

   void build() {
      Keys const& k = keys();
      for (int r = 0; r < kRequestors; ++r) {
         for (auto const& d : k.device) device[d].requestor.insert(k.requestor[std::size_t(r)]);
      }
      for (auto const& d : k.device) {
         Device& dev = device.find(d)->second;
         for (int f = 0; f < kFlowsPerDevice; ++f) {
            dev.flow[k.flow[std::size_t(f)]] =
                Flow{100, std::uint32_t(9000 + f), "policy", V2::ConfigState::configured};
         }
      }
   }
   void release() {
      Keys const& k = keys();
      for (auto const& d : k.device) {
         Device& dev = device.find(d)->second;
         for (auto const& f : k.flow) dev.flow.erase(f);
      }
      for (auto const& r : k.requestor) {
         for (auto const& d : k.device) {
            auto it = device.find(d);
            it->second.requestor.erase(r);
            if (it->second.requestor.empty()) device.erase(it);
         }
      }
   }
   bool empty() const { return device.empty(); }
};

// ---- memory and stack ----

// Live bytes the model holds once built, per host or flow; what the emptied model still holds after the
// release (hash tables keep their capacity); and whether destroying it then gave back every byte.
struct Footprint {
   double perItem = 0;
   long long keptAfterRelease = 0;
   long long leaked = 0;
};

template <class Model>
Footprint footprint(int items) {
   BenchSupport::countHeap(true);
   {
      Model warm;  // the first run makes whatever the library keeps for good (type tables, buffers)
      warm.build();
      warm.release();
   }
   auto live = [] { return BenchSupport::heapCount().liveBytes; };
   long long const start = live();
   Footprint out;
   {
      auto model = std::make_unique<Model>();
      long long const empty = live();
      model->build();
      out.perItem = double(live() - empty) / items;
      model->release();
      out.keptAfterRelease = model->empty() ? live() - empty : -1;
   }
   out.leaked = live() - start;
   BenchSupport::countHeap(false);
   return out;
}

// Runs `work` on a thread whose stack was painted beforehand and answers how many bytes of it were
// touched, counted from the top (which glibc also uses for the thread's own control block).
std::size_t stackTouched(std::function<void()> const& work) {
   constexpr std::size_t size = 8 << 20;
   constexpr unsigned char paint = 0xa5;
   void* stack = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
   if (stack == MAP_FAILED) std::abort();
   std::memset(stack, paint, size);
   pthread_attr_t attr;
   pthread_attr_init(&attr);
   pthread_attr_setstack(&attr, stack, size);
   pthread_t thread;
   auto run = [](void* w) -> void* {
      (*static_cast<std::function<void()> const*>(w))();
      return nullptr;
   };
   if (pthread_create(&thread, &attr, run, const_cast<std::function<void()>*>(&work)) != 0) std::abort();
   pthread_join(thread, nullptr);
   pthread_attr_destroy(&attr);
   auto const* bytes = static_cast<unsigned char const*>(stack);
   std::size_t low = 0;
   while (low < size && bytes[low] == paint) ++low;
   munmap(stack, size);
   return size - low;
}

// The measure's own check: a chain of counted links, each holding the next, is released by one nested
// release per link, so dropping its head takes stack in proportion to its length.
struct Link : Zat::PtrInterface {
   Zat::Ptr<Link> next;
};

std::size_t chainDropStack(int links) {
   Zat::Ptr<Link> head;
   for (int i = 0; i < links; ++i) {
      Zat::Ptr<Link> link(new Link);
      link->next = std::move(head);
      head = std::move(link);
   }
   std::size_t const idle = stackTouched([] {});
   return stackTouched([&] { head = nullptr; }) - idle;
}

// Stack taken by dropping the last reference to a model's top set, beyond what an empty thread takes.
template <class Model, class... Shape>
std::size_t dropStack(Shape... shape) {
   auto model = std::make_unique<Model>();
   model->build(shape...);
   std::size_t const idle = stackTouched([] {});
   return stackTouched([&] { model->root = nullptr; }) - idle;
}

// ---- the benchmarks ----

enum Phase { build, release, drop };
char const* const phaseNames[] = {"build", "release", "drop"};

template <class Model>
void run(benchmark::State& st, Phase phase, bool (*check)(Model const&)) {
   for (auto _ : st) {
      st.PauseTiming();
      auto model = std::make_unique<Model>();
      if (phase != build) model->build();
      if (phase != build && !check(*model)) st.SkipWithError("the model does not hold what was built");
      BenchSupport::settleHeap();  // the last iteration's frees are merged here, not in the timed steps
      st.ResumeTiming();
      if (phase == build) model->build();
      if (phase == release) model->release();
      if (phase == drop) model.reset();
      st.PauseTiming();
      if (phase == build && !check(*model)) st.SkipWithError("the model does not hold what was built");
      if (phase == release && !model->empty()) st.SkipWithError("release left something behind");
      model.reset();
      st.ResumeTiming();
   }
}

bool velHostsBuilt(VelHosts const& m) {
   return m.hosts() == kHosts;
}
bool velFlowsBuilt(VelFlows const& m) {
   return m.flows() == kFlows;
}
bool plainHostsBuilt(PlainHosts const& m) {
   std::size_t n = 0;
   for (auto const& [name, g] : m.group) {
      for (auto const& [vni, s] : g.vni) n += s.host.size();
   }
   return n == kHosts;
}
bool plainFlowsBuilt(PlainFlows const& m) {
   std::size_t n = 0;
   for (auto const& [name, d] : m.device) n += d.flow.size();
   return n == kFlows;
}

// The summary after the runs: per model and phase, ns per item and per operation, memory, and stack.
class SummaryReporter : public BenchSupport::SummaryReporter {
 public:
   // One model's line per phase: ns per item and per operation, and the ratio to the plain model.
   void printModel(char const* model, char const* item, int items, int ops, Footprint vel, Footprint plain,
                   std::size_t bigStack, std::size_t smallStack) const {
      std::printf("\n%s: %d %ss, %d operations a build or release\n", model, items, item, ops);
      std::string const per = std::string("ns/") + item;
      std::printf("  %-8s %12s %12s %12s %8s\n", "phase", ("vel " + per).c_str(), ("plain " + per).c_str(),
                  "vel ns/op", "ratio");
      for (int p = 0; p < 3; ++p) {
         std::string const name = std::string(model) + "/" + phaseNames[p];
         if (!has(name + "/vel") || !has(name + "/plain")) continue;
         double const v = ns(name + "/vel"), b = ns(name + "/plain");
         std::string const perOp = p == drop ? "" : std::to_string(int(v / ops + 0.5));
         std::printf("  %-8s %12.1f %12.1f %12s %7.2fx\n", phaseNames[p], v / items, b / items, perOp.c_str(),
                     v / b);
      }
      std::printf("  %-8s %12.1f %12.1f %12s %7.2fx   (live bytes per %s)\n", "memory", vel.perItem,
                  plain.perItem, "", vel.perItem / plain.perItem, item);
      std::printf("  after the release the emptied top set keeps %lld bytes (plain: %lld)%s\n",
                  vel.keptAfterRelease, plain.keptAfterRelease,
                  vel.leaked == 0 && plain.leaked == 0 ? "" : "; BYTES LEAKED");
      if (vel.leaked || plain.leaked) std::printf("  leaked: %lld (plain: %lld)\n", vel.leaked, plain.leaked);
      std::printf("  dropping the whole tree takes %zu bytes of stack; a tree of one %s, %zu\n", bigStack,
                  item, smallStack);
   }
};

}  // namespace

int main(int argc, char** argv) {
   BenchSupport::keepFreedMemory();
   // The timed runs count nothing: counting costs each allocation alike, and the models differ in how
   // many they make. Only the footprints count.
   BenchSupport::countHeap(false);
   // One run of each contender swings by a quarter on a shared machine, and the two swing apart. Unless
   // told otherwise, each runs five times, the contenders interleaved at random, and the summary takes
   // each one's median.
   std::vector<char*> args(argv, argv + argc);
   std::string repetitions = "--benchmark_repetitions=5", aggregates = "--benchmark_display_aggregates_only=true",
               interleave = "--benchmark_enable_random_interleaving=true";
   if (std::none_of(args.begin(), args.end(), [](char const* a) {
          return std::strncmp(a, "--benchmark_repetitions", 23) == 0;
       })) {
      args.insert(args.begin() + 1, {repetitions.data(), aggregates.data(), interleave.data()});
   }
   int count = int(args.size());
   benchmark::Initialize(&count, args.data());
   if (benchmark::ReportUnrecognizedArguments(count, args.data())) return 1;
   keys(), velKeys();
   for (int p = 0; p < 3; ++p) {
      Phase const phase = Phase(p);
      std::string const name = phaseNames[p];
      benchmark::RegisterBenchmark(("Hosts/" + name + "/vel").c_str(), [phase](benchmark::State& st) {
         run<VelHosts>(st, phase, velHostsBuilt);
      })->Unit(benchmark::kMillisecond);
      benchmark::RegisterBenchmark(("Hosts/" + name + "/plain").c_str(), [phase](benchmark::State& st) {
         run<PlainHosts>(st, phase, plainHostsBuilt);
      })->Unit(benchmark::kMillisecond);
      benchmark::RegisterBenchmark(("Flows/" + name + "/vel").c_str(), [phase](benchmark::State& st) {
         run<VelFlows>(st, phase, velFlowsBuilt);
      })->Unit(benchmark::kMillisecond);
      benchmark::RegisterBenchmark(("Flows/" + name + "/plain").c_str(), [phase](benchmark::State& st) {
         run<PlainFlows>(st, phase, plainFlowsBuilt);
      })->Unit(benchmark::kMillisecond);
   }
   SummaryReporter reporter;
   benchmark::RunSpecifiedBenchmarks(&reporter);

   std::printf(
       "\nSummary: CPU time per host or flow for each phase (drop: the last reference to the top set\n"
       "goes), per operation, and the ratio of the library to the plain flat-hash model\n");
   dropStack<VelHosts>(1, 1, 1);  // the first release binds the functions it calls, which takes stack too
   dropStack<VelFlows>(1, 1);
   std::size_t const hostStack = dropStack<VelHosts>(), oneHostStack = dropStack<VelHosts>(1, 1, 1);
   std::size_t const flowStack = dropStack<VelFlows>(), oneFlowStack = dropStack<VelFlows>(1, 1);
   reporter.printModel("Hosts", "host", kHosts, kHostOps, footprint<VelHosts>(kHosts),
                       footprint<PlainHosts>(kHosts), hostStack, oneHostStack);
   reporter.printModel("Flows", "flow", kFlows, kFlowOps, footprint<VelFlows>(kFlows),
                       footprint<PlainFlows>(kFlows), flowStack, oneFlowStack);
   std::printf(
       "\nFor scale: dropping a chain of 10,000 counted links, each holding the next, takes %zu bytes\n",
       chainDropStack(10000));
   benchmark::Shutdown();
   return 0;
}
