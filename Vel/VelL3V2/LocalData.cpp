// LocalData: the root of the second-generation local state.
#include "Vel/VelL3V2LocalTypes.h"
#include "Zat/System.h"

namespace VelL3V2 {

VelL3::V2::KroTimestamp LocalData::buildKroTimestamp() {
   return VelL3::V2::KroTimestamp(kroGenId_, Zat::System::currentTime());
}

}  // namespace VelL3V2
