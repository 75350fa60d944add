// PerDeviceNetVrfRouteTable: the route table of one service device in one network VRF, with a time
// stamp, and read operations that answer whether or not a table is present.
#include "Vel/VelL3V2/RouteIteratorConst.h"

namespace VelL3V2 {

namespace {
// "dest:via" for every route a cursor yields, separated by ",". Both iteration paths of the cursor are
// kept in use: the range form (begin/end) and the plain form (operator bool and ++).
Zat::String routesText(RouteIteratorConst cursor, bool rangeIter) {
   std::string out;
   auto append = [&](Route const& r) {
      out += r.destination().stringValue().view();
      out += ':';
      out += r.via().stringValue().view();
      out += ',';
   };
   if (rangeIter) {
      RouteIteratorConst const end = cursor.end();
      for (RouteIteratorConst it = cursor.begin(); bool(it) != bool(end); ++it) append(it.key());
   } else {
      for (; cursor; ++cursor) append(cursor.key());
   }
   if (!out.empty()) out.pop_back();
   return Zat::String(std::move(out));
}
}  // namespace

Zat::Seconds PerDeviceNetVrfRouteTable::timestampInc(Zat::Seconds d) {
   Zat::Seconds const sum = timestamp_ + d;
   if (sum != timestamp_) {
      timestamp_ = sum;
      publishChange(AttrId::timestamp);
   }
   return sum;
}

RouteIteratorConst PerDeviceNetVrfRouteTable::getSummaryRoutes() const {
   return RouteIteratorConst(RouteIteratorConst::summaryRoutes, table_);
}

RouteIteratorConst PerDeviceNetVrfRouteTable::getAllRoutes() const {
   return RouteIteratorConst(RouteIteratorConst::allRoutes, table_);
}

Zat::String PerDeviceNetVrfRouteTable::getSummaryRoutesStr(bool rangeIter) const {
   return routesText(getSummaryRoutes(), rangeIter);
}

Zat::String PerDeviceNetVrfRouteTable::getAllRoutesStr(bool rangeIter) const {
   return routesText(getAllRoutes(), rangeIter);
}

Ipkit::IpGenAddr PerDeviceNetVrfRouteTable::lookup(Ipkit::IpGenPrefix const& p) const {
   return table_ ? table_->lookup(p) : Ipkit::IpGenAddr();
}

Route PerDeviceNetVrfRouteTable::getDefaultRoute() const { return table_ ? table_->getDefaultRoute() : Route(); }

}  // namespace VelL3V2
