// Stand-in for the status types until they land.
#include "Vel/VelL3V2LocalTypes.h"

namespace VelL3V2 {
Zat::String StatusBase::stringValue() const { return Zat::String(); }
}  // namespace VelL3V2
