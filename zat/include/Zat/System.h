// The runtime's clock. Tests replace it to make time-dependent behaviour (rate limits, timestamps)
// deterministic.
#pragma once

#include <functional>

#include "Zat/Seconds.h"

namespace Zat {

class System {
 public:
   // Seconds since the epoch from the installed clock (the real-time clock unless replaced).
   static Seconds currentTime();
   // Installs `clock`; an empty function restores the real-time clock.
   static void clockIs(std::function<Seconds()> clock);
};

}  // namespace Zat
