// The readable text of a consistent host, as operators see it in trace lines and the command-line shell.
#include <sstream>

#include "Vel/VelL3V2LocalTypes.h"

namespace VelL3V2 {

// The host key is written as its own string, as the host's request entries hold it, so one grep finds
// both; every origin device keeps its trailing ", ", which log readers split on.
Zat::String ConsistentHost::stringValue() const {
   std::ostringstream os;
   os << " Host: " << hostKey_.value().view() << " State: " << state_
      << " ReadyToDelete: " << (readyToDelete_ ? '1' : '0') << " Origin: " << origin_.stringValue().view()
      << " KroTimestamp: " << kroTimestamp_.stringValue().view();
   return Zat::String(os.str());
}

}  // namespace VelL3V2
