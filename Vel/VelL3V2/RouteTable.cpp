// RouteTable: every route a service device reports, its default routes, and a summary of the routes.
//
// The summary rebuild and next-hop lookup are defined by two walks: each route against every summary
// route, and a first-match scan of the routes in route order. At a full Internet table those walks are
// hopeless, so the table keeps an index of its routes (per-family tries, detail::RouteIndex) that the
// rebuild and lookup use instead; it gives the walks' results and trace lines exactly. The index sits
// behind RouteIndexHandle, and this is the one file that sees its type.
#include <memory>

#include "Vel/VelL3V2/RouteEngine.h"
#include "Vel/VelL3V2/RouteIteratorConst.h"

namespace VelL3V2 {

struct RouteIndexHandle::Index : detail::RouteIndex<Route> {};

RouteIndexHandle::RouteIndexHandle() noexcept = default;
RouteIndexHandle::~RouteIndexHandle() = default;
RouteIndexHandle::RouteIndexHandle(RouteIndexHandle&&) noexcept = default;
RouteIndexHandle& RouteIndexHandle::operator=(RouteIndexHandle&&) noexcept = default;

RouteIndexHandle::Index& RouteIndexHandle::made() {
   if (!index_) index_ = std::make_unique<Index>();
   return *index_;
}

namespace {

// Trace lines of the summary walk, at level 6 and in the ring trace.
class SummaryTrace final : public detail::SummaryEvents<Route> {
  public:
   void skipDefault(Route const& r) override {
      ZAT_TWINTRACE(velL3V2Trace, 6, " Skipping default route ", text(r), " for summary");
   }
   void skipIncluded(Route const& r, Route const& by) override {
      ZAT_TWINTRACE(velL3V2Trace, 6, " Skipping ", text(r), " from summary as included by ", text(by));
   }
   void removal(Route const& r, Route const& removed) override {
      ZAT_TWINTRACE(velL3V2Trace, 6, " Removal by ", text(r), " of ", text(removed), " from summary");
   }
   void adding(Route const& r) override { ZAT_TWINTRACE(velL3V2Trace, 6, " Adding: ", text(r), " to summary"); }
   void removingStale(Route const& s) override {
      ZAT_TWINTRACE(velL3V2Trace, 6, " Removing ", text(s), " from summary");
   }

   // Only build events when someone will see them: the trace level or the ring is on.
   static detail::SummaryEvents<Route>* ifTracing() {
      static SummaryTrace trace;
      bool const ringOn = [] {
         auto ring = Zat::RingTrace::defaultHandle();
         return ring && ring->activeTraceFile();
      }();
      return velL3V2Trace.enabled(6) || ringOn ? &trace : nullptr;
   }

  private:
   static std::string text(Route const& r) { return r.destination().stringValue().str(); }
};

bool isDefault(Route const& r) { return detail::isDefaultDestination(r.destination()); }

}  // namespace

void RouteTable::routeOnChange(Route const& key, bool present) {
   if (present) {
      index_.made().add(key);
   } else if (auto* index = index_.get()) {
      index->remove(key);
   }
}

bool RouteTable::includes(Ipkit::IpGenPrefix const& a, Ipkit::IpGenPrefix const& b) {
   return detail::includes(a, b);
}

void RouteTable::addRoute(Route const& r) {
   routeIs(r, true);
   if (isDefault(r)) defaultRouteIs(r);
}

bool RouteTable::delRoute(Route const& r) {
   if (isDefault(r)) defaultRouteDel(r);
   return routeDel(r);
}

void RouteTable::recomputeSummaryRoutes() {
   // A table that never had a route still drops whatever its summary holds.
   static RouteIndexHandle::Index const noRoutes;
   auto const* index = index_.get();
   detail::recomputeSummary(index ? *index : noRoutes, summaryRoute_, SummaryTrace::ifTracing());
}

void RouteTable::updateSummaryRoute(Route const& r) {
   detail::updateSummaryRoute(r, summaryRoute_, SummaryTrace::ifTracing());
}

Ipkit::IpGenAddr RouteTable::lookup(Ipkit::IpGenPrefix const& p) const {
   auto const* index = index_.get();
   return index ? index->lookup(p) : Ipkit::IpGenAddr();
}

Route RouteTable::getDefaultRoute() const {
   auto first = defaultRoute_.begin();
   return first == defaultRoute_.end() ? Route() : *first;
}

Zat::String RouteTable::stringValue() const {
   std::string out;
   for (auto const& node : route_) {
      if (!out.empty()) out += ',';
      out += node->zatKey().destination().stringValue().view();
      out += ':';
      out += node->zatKey().via().stringValue().view();
   }
   return Zat::String(std::move(out));
}

// ------------------------------------------------------------------------------------------------
// RouteIteratorConst
// ------------------------------------------------------------------------------------------------

RouteIteratorConst::RouteIteratorConst(Kind kind, Zat::Ptr<RouteTable const> table)
    : kind_(kind), table_(std::move(table)) {
   if (!table_) return;
   if (kind_ == allRoutes) routes_ = table_->routeCollection().cursor();
   else summary_ = table_->summaryRouteCollection().cursor();
}

Route RouteIteratorConst::key() const {
   if (!*this) Zat::throwPreconditionException("RouteIteratorConst::key: the cursor stands on no route");
   return kind_ == allRoutes ? routes_.key() : summary_.key();
}

RouteIteratorConst::operator bool() const noexcept {
   return kind_ == allRoutes ? bool(routes_) : bool(summary_);
}

RouteIteratorConst& RouteIteratorConst::operator++() {
   if (kind_ == allRoutes) ++routes_;
   else ++summary_;
   return *this;
}

bool RouteIteratorConst::operator==(RouteIteratorConst const& o) const {
   if (kind_ != o.kind_ || table_ != o.table_) return false;
   if (kind_ == allRoutes) return routes_.node() == o.routes_.node();
   if (bool(summary_) != bool(o.summary_)) return false;
   return !summary_ || summary_.key() == o.summary_.key();
}

RouteIteratorConst RouteIteratorConst::end() const {
   RouteIteratorConst e(kind_, nullptr);
   e.table_ = table_;
   if (table_ && kind_ == allRoutes) e.routes_ = table_->routeCollection().endCursor();
   return e;
}

}  // namespace VelL3V2
