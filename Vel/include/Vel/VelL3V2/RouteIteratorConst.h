// RouteIteratorConst: a read-only cursor over all routes of a table (kind 0, ascending route order) or
// over its summary (kind 1, the summary set's order).
//
// A cursor over all routes keeps the entry it stands on alive; when the table changed since it last
// moved, the next step goes to the first route after the current one. A cursor keeps its table alive.
#pragma once

#include "Vel/VelL3V2LocalTypes.h"

namespace VelL3V2 {

class RouteIteratorConst {
  public:
   enum Kind : std::uint32_t { allRoutes = 0, summaryRoutes = 1 };
   using RouteCursor = decltype(std::declval<RouteTable const&>().routeCollection().cursor());
   using SummaryCursor = decltype(std::declval<RouteTable const&>().summaryRouteCollection().cursor());

   // A cursor of `kind` standing on the first element of `table`'s collection, or on nothing when there
   // is no table.
   RouteIteratorConst(Kind kind, Zat::Ptr<RouteTable const> table);

   Kind kind() const noexcept { return kind_; }
   // The route under the cursor; PreconditionException when it stands on nothing.
   Route key() const;
   explicit operator bool() const noexcept;
   RouteIteratorConst& operator++();
   // Same kind, same collection and the same place (for kind 0 the same entry).
   bool operator==(RouteIteratorConst const& o) const;
   RouteIteratorConst begin() const { return *this; }
   RouteIteratorConst end() const;

  private:
   Kind kind_;
   Zat::Ptr<RouteTable const> table_;
   RouteCursor routes_;
   SummaryCursor summary_;
};

}  // namespace VelL3V2
