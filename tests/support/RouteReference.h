// The route-table definitions walked literally, for tests to hold the engine against: prefix inclusion,
// the summary step and rebuild with their events, and first-match lookup. Written as plainly as
// possible; their cost (every route against every summary route) is the point.
#pragma once

#include <algorithm>
#include <ostream>
#include <set>
#include <string_view>
#include <vector>

#include "Vel/VelL3V2/RouteEngine.h"

namespace routeref {

using Ipkit::IpGenAddr;
using Ipkit::IpGenPrefix;
using VelL3V2::detail::RouteKey;
using Summary = Zat::ValueSet<RouteKey, 2377410888u>;

namespace ref {

inline bool isDefault(IpGenPrefix const& p) {
   if (p.family() == Ipkit::ipFamilyV4) return p.address() == IpGenAddr("0.0.0.0") && p.length() == 0;
   if (p.family() == Ipkit::ipFamilyV6) return p.v6Prefix().isDefaultRoutePrefix();
   return false;
}

inline bool includes(IpGenPrefix const& a, IpGenPrefix const& b) {
   if (a.family() != b.family()) return false;
   if (a.family() == Ipkit::ipFamilyV4) {
      unsigned const la = a.length();
      if (la >= 1 && la <= 32) {
         for (unsigned i = 0; i < la; ++i) {
            unsigned const x = (a.address().v4Addr() >> (31 - i)) & 1u;
            unsigned const y = (b.address().v4Addr() >> (31 - i)) & 1u;
            if (x != y) return false;
         }
      }
      return b.length() >= la;
   }
   if (a.family() == Ipkit::ipFamilyV6) return a.v6Prefix().contains(b.address()) && b.length() >= a.length();
   return false;
}

enum class Kind { skipDefault, skipIncluded, removal, adding, removingStale };

struct Event {
   Kind kind;
   RouteKey r;
   RouteKey s;
   bool operator==(Event const&) const = default;
};

inline std::ostream& operator<<(std::ostream& os, Event const& e) {
   static char const* const names[] = {"skipDefault", "skipIncluded", "removal", "adding", "removingStale"};
   return os << names[int(e.kind)] << "(" << e.r << " | " << e.s << ")";
}

inline void update(RouteKey const& r, Summary& summary, std::vector<Event>& log) {
   if (isDefault(r.destination)) {
      log.push_back({Kind::skipDefault, r, {}});
      return;
   }
   for (auto c = summary.cursor(); c; ++c) {
      RouteKey const s = c.key();
      if (includes(s.destination, r.destination)) {
         log.push_back({Kind::skipIncluded, r, s});
         return;
      }
      if (includes(r.destination, s.destination)) {
         log.push_back({Kind::removal, r, s});
         summary.erase(s);
      }
   }
   log.push_back({Kind::adding, r, {}});
   summary.insert(r);
}

// `table` is in route order: a std::set, or a sorted std::vector.
template <class Table>
void recompute(Table const& table, Summary& summary, std::vector<Event>& log) {
   for (auto c = summary.cursor(); c; ++c) {
      RouteKey const s = c.key();
      bool present;
      if constexpr (requires { table.contains(s); })
         present = table.contains(s);
      else
         present = std::binary_search(table.begin(), table.end(), s);
      if (!present) {
         log.push_back({Kind::removingStale, s, {}});
         summary.erase(s);
      }
   }
   for (RouteKey const& r : table) update(r, summary, log);
}

inline IpGenAddr lookup(std::set<RouteKey> const& table, IpGenPrefix const& p) {
   for (RouteKey const& r : table) {
      if (includes(r.destination, p)) return r.via;
   }
   return IpGenAddr();
}

}  // namespace ref

// Records the engine's events in the reference's terms.
class Recorder : public VelL3V2::detail::SummaryEvents<RouteKey> {
 public:
   std::vector<ref::Event> log;
   void skipDefault(RouteKey const& r) override { log.push_back({ref::Kind::skipDefault, r, {}}); }
   void skipIncluded(RouteKey const& r, RouteKey const& s) override {
      log.push_back({ref::Kind::skipIncluded, r, s});
   }
   void removal(RouteKey const& r, RouteKey const& s) override { log.push_back({ref::Kind::removal, r, s}); }
   void adding(RouteKey const& r) override { log.push_back({ref::Kind::adding, r, {}}); }
   void removingStale(RouteKey const& s) override { log.push_back({ref::Kind::removingStale, s, {}}); }
};

}  // namespace routeref
