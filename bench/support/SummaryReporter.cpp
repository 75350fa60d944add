#include "support/SummaryReporter.h"

#include <limits>

namespace BenchSupport {

namespace {
constexpr double kNan = std::numeric_limits<double>::quiet_NaN();
}  // namespace

void SummaryReporter::ReportRuns(std::vector<Run> const& runs) {
   ConsoleReporter::ReportRuns(runs);
   for (Run const& r : runs) {
      if (r.error_occurred) continue;
      // Of the aggregates of repeated runs only the median counts; it comes after the repetitions and
      // replaces them.
      if (r.run_type == Run::RT_Aggregate && r.aggregate_name != "median") continue;
      std::string name = r.run_name.function_name;
      if (!r.run_name.args.empty()) name += "/" + r.run_name.args;
      Kept& kept = runs_[name];
      kept.ns = r.GetAdjustedCPUTime() / benchmark::GetTimeUnitMultiplier(r.time_unit) * 1e9;
      kept.counters.clear();
      for (auto const& [key, c] : r.counters) kept.counters[key] = c.value;
   }
}

double SummaryReporter::ns(std::string const& name) const {
   auto it = runs_.find(name);
   return it == runs_.end() ? kNan : it->second.ns;
}

double SummaryReporter::counter(std::string const& name, std::string const& key) const {
   auto it = runs_.find(name);
   if (it == runs_.end()) return kNan;
   auto c = it->second.counters.find(key);
   return c == it->second.counters.end() ? kNan : c->second;
}

}  // namespace BenchSupport
