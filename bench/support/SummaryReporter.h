// The base of the benchmarks' summaries: it shows every run on the console as usual and keeps each
// benchmark's CPU time and counters by name, so that a program can print its ratios after the runs.
#pragma once

#include <benchmark/benchmark.h>

#include <map>
#include <string>
#include <vector>

namespace BenchSupport {

class SummaryReporter : public benchmark::ConsoleReporter {
 public:
   void ReportRuns(std::vector<Run> const& runs) override;

   // Whether the benchmark `name` ran without error. A name is the registered one with its arguments
   // ("Hosts/build/vel", "BM_Index/v4/10"), without the iteration and repetition suffixes; with
   // repetitions the median is kept.
   bool has(std::string const& name) const { return runs_.count(name) != 0; }
   // Its CPU time per iteration in nanoseconds, or NaN when it did not run.
   double ns(std::string const& name) const;
   // One of its counters, or NaN when it did not run or has no such counter.
   double counter(std::string const& name, std::string const& key) const;

 private:
   struct Kept {
      double ns = 0;
      std::map<std::string, double> counters;
   };
   std::map<std::string, Kept> runs_;
};

}  // namespace BenchSupport
