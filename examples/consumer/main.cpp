#include <iostream>
#include "Vel/VelL3V2LocalTypes.h"
int main() {
   auto table = VelL3V2::routeTableFactory("fw1");
   table->addRoute(VelL3V2::Route(Ipkit::IpGenPrefix("10.0.0.0/8"), Ipkit::IpGenAddr("192.0.2.1")));
   table->addRoute(VelL3V2::Route(Ipkit::IpGenPrefix("10.1.0.0/16"), Ipkit::IpGenAddr("192.0.2.2")));
   table->recomputeSummaryRoutes();
   Ipkit::IpGenAddr via = table->lookup(Ipkit::IpGenPrefix("10.1.2.3/32"));
   std::cout << table->summaryRouteSize() << " summary route; 10.1.2.3 goes via " << via << "\n";
}
