// Outside code: it links Vel::vel and includes the public headers, nothing else. Built with
// VEL_CONSUMER_EXTRA_INCLUDE naming a header of the source tree that is not public, it must not compile.
#ifdef VEL_CONSUMER_EXTRA_INCLUDE
#include VEL_CONSUMER_EXTRA_INCLUDE
#endif

#include "Ipkit/IpGenAddr.h"
#include "Ipkit/IpGenPrefix.h"
#include "Platform/VelL3Platform.h"
#include "Vel/VelL3CommonLocalTypes.h"
#include "Vel/VelL3LocalTypes.h"
#include "Vel/VelL3V2/RouteIteratorConst.h"
#include "Vel/VelL3V2LocalTypes.h"
#include "VelL3V2Shared/NameEncoder.h"
#include "Zat/Collections.h"

int main() {
   auto holder = VelL3V2::PerDeviceNetVrfRouteTable::PerDeviceNetVrfRouteTableIs(
       VelL3V2::DeviceNetVrfKey(VelL3V2::DeviceKey("fw1"), "red"));
   holder->tableIs("t");
   holder->table()->addRoute(VelL3V2::Route(Ipkit::IpGenPrefix("10.0.0.0/8"), Ipkit::IpGenAddr("192.0.2.1")));
   holder->table()->recomputeSummaryRoutes();
   VelL3V2Shared::NameSet names;
   names.nameIs(0, "fw1");
   bool const ok = holder->getSummaryRoutes().key().via() == Ipkit::IpGenAddr("192.0.2.1") &&
                   !VelL3V2Shared::NameEncoder::encode(names).empty();
   return ok ? 0 : 1;
}
