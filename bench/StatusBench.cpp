// Status aggregation over a fabric: 1,000 switches report for one flow, one flow set and one host, all
// current, then with every tenth switch stale, then with every tenth in error. Each benchmark times one
// object's getLatestSwitchId plus updateAggregateStatus. Beside them, in the same run, the baseline: a raw
// loop of flat-hash lookups (absl::flat_hash_map) over the same switch keys, three walks of them as the
// fold makes (latest generation, latest switch, aggregate). A counting allocator shows what one warm
// fold allocates; the summary prints each fold's time, its ratio to the baseline and its allocations.
// A fold remembers where it found each switch's result until a directory tree changes shape, so each
// object is timed twice: folded again over the unchanged tree, and "Cold", after a change of shape
// elsewhere (Zat::Dir::treeChanged before each fold), when the first walk looks every switch up again.
#include <absl/container/flat_hash_map.h>
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>
#include <vector>

#include "Platform/VelL3Platform.h"
#include "Vel/VelL3V2LocalTypes.h"
#include "support/CountingAllocator.h"
#include "support/SummaryReporter.h"

namespace {

using namespace VelL3V2;
using Ipkit::SystemId;
using HS = VelL3::V2::HardwareState;
namespace V2 = VelL3::V2;

constexpr unsigned kSwitches = 1000;
enum Mix : int { allCurrent, tenthStale, tenthInError };
char const* const mixNames[] = {"current", "10%stale", "10%error"};

SystemId switchId(unsigned n) {
   return SystemId(Ipkit::EthAddr::Bytes{0, 0x1c, 0x73, 0, std::uint8_t(n >> 8), std::uint8_t(n)});
}

// The fabric as the switches publish it, the three statuses, and the same results in a flat hash.
struct Fabric {
   Zat::Ptr<LocalData> root = Zat::Entity::singleton<LocalData>();
   Zat::Ptr<VelL3::NetworkVrfStatus> netVrf = VelL3::NetworkVrfStatus::NetworkVrfStatusIs("red");
   DeviceKey device{"fw1"};
   Zat::Ptr<FlowStatus> flow = FlowStatus::FlowStatusIs("red", device, V2::FlowKey("f1"));
   Zat::Ptr<FlowSetStatus> flowSet = FlowSetStatus::FlowSetStatusIs("red", device);
   Zat::Ptr<HostStatus> host =
       HostStatus::HostStatusIs("red", V2::GroupName("web"), Ipkit::Vni(10), V2::MemberKey("h1"));
   std::vector<SystemId> ids;
   absl::flat_hash_map<SystemId, V2::HardwareState> raw;

   explicit Fabric(Mix mix) {
      Zat::Ptr<Zat::Dir> flows(new Zat::Dir("flows")), hosts(new Zat::Dir("hosts"));
      root->globalFragmentStatusDirIs(flows);
      root->globalGroupSetStatusDirIs(hosts);
      V2::KroTimestamp const now(V2::KroGenId(0, 1), 100.0), before(V2::KroGenId(0, 1), 90.0);
      for (unsigned n = 1; n <= kSwitches; ++n) {
         SystemId const s = switchId(n);
         bool const odd = n % 10 == 0;
         HS const state = mix == tenthInError && odd ? HS::error : HS::success;
         V2::KroTimestamp const ts = mix == tenthStale && odd ? before : now;
         netVrf->switchVrfIs(s);
         ids.push_back(s);
         raw[s] = state;
         Zat::Ptr<Zat::Dir> f(new Zat::Dir(s.stringValue())), h(new Zat::Dir(s.stringValue()));
         flows->entryIs(s.stringValue(), f);
         hosts->entryIs(s.stringValue(), h);
         auto fragment = V2::FragmentStatus::FragmentStatusIs("red");
         f->entryIs("red", fragment);
         auto source = fragment->flowSourceIs(device.value());
         source->stateIs(state), source->kroTimestampIs(ts);
         auto flowResult = source->flowIs(V2::FlowKey("f1"));
         flowResult->stateIs(state);
         flowResult->orderIs(V2::FlowOrder(0, mix == tenthStale && odd ? 9000 : 9001));
         auto groups = V2::GroupSetStatus::GroupSetStatusIs("red");
         h->entryIs("red", groups);
         auto member = groups->groupIs(V2::GroupName("web"))
                           ->memberSetIs(Ipkit::Vni(10))
                           ->memberIs(V2::MemberKey("h1"));
         member->stateIs(state), member->kroTimestampIs(ts);
      }
   }
   ~Fabric() { Zat::Entity::singletonDel(LocalData::fullName()); }
};

void fold(benchmark::State& st, Mix mix, StatusBase* (*pick)(Fabric&), bool cold) {
   Fabric fabric(mix);
   StatusBase& status = *pick(fabric);
   VelL3Common::SwitchSet const all;
   auto once = [&] {
      if (cold) Zat::Dir::treeChanged();
      status.updateAggregateStatus(fabric.netVrf, status.getLatestSwitchId(fabric.netVrf, all));
   };
   once();  // warm: the pending set and the fold's buffer have their size
   BenchSupport::HeapCount const before = BenchSupport::heapCount();
   for (auto _ : st) once();
   st.counters["allocs/fold"] =
       double((BenchSupport::heapCount() - before).allocations) / double(st.iterations());
   st.counters["pending"] = double(status.pendingSwitchSize());
   // A flow's results carry no time stamp, so no switch becomes its latest and every switch is stale.
   HS const want = dynamic_cast<FlowStatus*>(&status) ? HS::dryrunPending
                   : mix == allCurrent                ? HS::success
                   : mix == tenthStale                ? HS::pending
                                                      : HS::error;
   if (status.state() != want) {
      st.SkipWithError("wrong aggregate");
   }
}

void rawLookups(benchmark::State& st, Mix mix) {
   Fabric fabric(mix);
   for (auto _ : st) {
      unsigned sum = 0;
      for (int walk = 0; walk < 3; ++walk) {
         for (SystemId const& s : fabric.ids) sum += unsigned(fabric.raw.find(s)->second);
      }
      benchmark::DoNotOptimize(sum);
   }
}

// The summary after the runs: each fold's time, its ratio to the raw loop and its allocations.
class SummaryReporter : public BenchSupport::SummaryReporter {
 public:
   void printSummary() const {
      std::printf(
          "\nSummary: CPU microseconds per object (getLatestSwitchId + updateAggregateStatus over %u "
          "switches),\n"
          "ratio to the raw loop of flat-hash lookups, allocations per fold\n",
          kSwitches);
      for (char const* mix : mixNames) {
         std::string const raw = std::string("Raw/") + mix;
         if (!has(raw)) continue;
         std::printf("%-10s raw %8.1f us\n", mix, ns(raw) / 1000);
         for (char const* object : {"Flow", "FlowSet", "Host", "FlowCold", "FlowSetCold", "HostCold"}) {
            std::string const name = std::string(object) + "/" + mix;
            if (!has(name)) continue;
            std::printf("%-10s %-11s %8.1f us  %6.2fx  %5.1f allocs\n", mix, object, ns(name) / 1000,
                        ns(name) / ns(raw), counter(name, "allocs/fold"));
         }
      }
   }
};

}  // namespace

int main(int argc, char** argv) {
   benchmark::Initialize(&argc, argv);
   if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
   for (int m = 0; m < 3; ++m) {
      Mix const mix = Mix(m);
      std::string const suffix = std::string("/") + mixNames[m];
      benchmark::RegisterBenchmark(("Raw" + suffix).c_str(),
                                   [mix](benchmark::State& st) { rawLookups(st, mix); });
      for (bool cold : {false, true}) {
         std::string const how = cold ? "Cold" : "";
         benchmark::RegisterBenchmark(("Flow" + how + suffix).c_str(), [mix, cold](benchmark::State& st) {
            fold(
                st, mix, [](Fabric& f) -> StatusBase* { return f.flow.get(); }, cold);
         });
         benchmark::RegisterBenchmark(("FlowSet" + how + suffix).c_str(), [mix, cold](benchmark::State& st) {
            fold(
                st, mix, [](Fabric& f) -> StatusBase* { return f.flowSet.get(); }, cold);
         });
         benchmark::RegisterBenchmark(("Host" + how + suffix).c_str(), [mix, cold](benchmark::State& st) {
            fold(
                st, mix, [](Fabric& f) -> StatusBase* { return f.host.get(); }, cold);
         });
      }
   }
   SummaryReporter reporter;
   benchmark::RunSpecifiedBenchmarks(&reporter);
   reporter.printSummary();
   benchmark::Shutdown();
   return 0;
}
