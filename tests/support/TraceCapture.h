// Captures the text of the trace lines of the second-generation facility at the given levels while it
// lives, and switches those levels off again afterwards.
#pragma once

#include <initializer_list>
#include <string>
#include <vector>

#include "Vel/VelL3V2LocalTypes.h"

struct TraceCapture {
   std::vector<std::string> lines;
   std::vector<int> levels;
   explicit TraceCapture(std::initializer_list<int> on) : levels(on) {
      for (int level : levels) VelL3V2::velL3V2Trace.levelIs(level, true);
      Zat::traceSinkIs([this](Zat::TraceLine const& l) { lines.push_back(l.text.str()); });
   }
   ~TraceCapture() {
      for (int level : levels) VelL3V2::velL3V2Trace.levelIs(level, false);
      Zat::traceSinkIs({});
   }
   std::vector<std::string> take() { return std::exchange(lines, {}); }
};
