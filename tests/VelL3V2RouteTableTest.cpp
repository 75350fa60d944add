// The route table and its holder: routes, default routes, the summary rebuild with its trace lines,
// next-hop lookup, cursors and the texts operators see.
#include <gtest/gtest.h>

#include "Vel/VelL3V2/RouteIteratorConst.h"
#include "Zat/GenericIf.h"
#include "Zat/Trace.h"
#include "support/Recorder.h"
#include "support/TraceCapture.h"

using namespace VelL3V2;
using Ipkit::IpGenAddr;
using Ipkit::IpGenPrefix;
using Zat::String;

namespace {
Route R(char const* dest, char const* via) {
   return Route(IpGenPrefix(dest), IpGenAddr(via));
}

using Lines = std::vector<std::string>;

Lines summary(RouteTable const& t) {
   Lines out;
   for (auto const& r : t.summaryRouteCollection()) {
      out.push_back(r.destination().stringValue().str() + ":" + r.via().stringValue().str());
   }
   std::sort(out.begin(), out.end());
   return out;
}
}  // namespace

TEST(VelL3V2RouteTable, EmptyTableAndHolderWithoutOne) {
   auto t = routeTableFactory("fw");
   EXPECT_EQ(t->name(), String("fw"));
   EXPECT_EQ(t->lookup(IpGenPrefix("10.0.0.0/8")), IpGenAddr());
   EXPECT_EQ(t->getDefaultRoute(), Route());
   EXPECT_EQ(t->stringValue(), String(""));
   t->summaryRouteIs(R("10.0.0.0/8", "1.1.1.1"));  // edited in by hand: a rebuild drops it
   t->recomputeSummaryRoutes();
   EXPECT_EQ(t->summaryRouteSize(), 0u);
   EXPECT_FALSE(t->delRoute(R("10.0.0.0/8", "1.1.1.1")));

   auto h = perDeviceNetVrfRouteTableFactory(DeviceNetVrfKey(DeviceKey("fw"), "red"));
   EXPECT_EQ(h->table(), nullptr);
   for (bool range : {true, false}) {
      EXPECT_EQ(h->getAllRoutesStr(range), String(""));
      EXPECT_EQ(h->getSummaryRoutesStr(range), String(""));
   }
   EXPECT_FALSE(bool(h->getAllRoutes()) || bool(h->getSummaryRoutes()));
   EXPECT_EQ(h->lookup(IpGenPrefix("10.0.0.0/8")), IpGenAddr());
   EXPECT_EQ(h->getDefaultRoute(), Route());
   EXPECT_EQ(h->tableDel(), nullptr);
}

// The summary is what the last rebuild made of the routes (which summaries the engine makes is
// RouteEngineTest's); each rebuild step is traced, and one step alone gives the same lines.
TEST(VelL3V2RouteTable, RebuildTracesEachStep) {
   auto t = RouteTable::RouteTableIs("fw");
   t->addRoute(R("10.1.0.0/16", "2.2.2.2"));
   t->recomputeSummaryRoutes();
   EXPECT_TRUE(t->delRoute(R("10.1.0.0/16", "2.2.2.2")));
   EXPECT_EQ(summary(*t), Lines{"10.1.0.0/16:2.2.2.2"});  // stale until rebuilt
   t->addRoute(R("10.1.0.0/16", "2.2.2.2"));
   t->addRoute(R("10.0.0.0/8", "1.1.1.1"));
   t->addRoute(R("0.0.0.0/0", "9.9.9.9"));
   t->addRoute(R("10.2.0.0/16", "3.3.3.3"));
   t->summaryRouteIs(R("99.0.0.0/8", "4.4.4.4"));  // edited in directly, not in the table
   TraceCapture trace{6};
   t->recomputeSummaryRoutes();
   EXPECT_EQ(trace.lines,
             (Lines{" Removing 99.0.0.0/8 from summary", " Skipping default route 0.0.0.0/0 for summary",
                    " Removal by 10.0.0.0/8 of 10.1.0.0/16 from summary", " Adding: 10.0.0.0/8 to summary",
                    " Skipping 10.1.0.0/16 from summary as included by 10.0.0.0/8",
                    " Skipping 10.2.0.0/16 from summary as included by 10.0.0.0/8"}));
   EXPECT_EQ(summary(*t), Lines{"10.0.0.0/8:1.1.1.1"});
   EXPECT_EQ(t->stringValue(),
             String("0.0.0.0/0:9.9.9.9,10.0.0.0/8:1.1.1.1,10.1.0.0/16:2.2.2.2,10.2.0.0/16:3.3.3.3"));
   trace.lines.clear();
   t->updateSummaryRoute(R("10.3.0.0/16", "5.5.5.5"));
   t->updateSummaryRoute(R("11.0.0.0/8", "5.5.5.5"));
   EXPECT_EQ(trace.lines, (Lines{" Skipping 10.3.0.0/16 from summary as included by 10.0.0.0/8",
                                 " Adding: 11.0.0.0/8 to summary"}));
}

TEST(VelL3V2RouteTable, DefaultRoutesAndLookup) {
   auto t = RouteTable::RouteTableIs("fw");
   Route def = R("0.0.0.0/0", "9.9.9.9");
   t->addRoute(def);
   t->addRoute(R("10.0.0.0/8", "1.1.1.1"));
   t->addRoute(R("10.1.0.0/16", "2.2.2.2"));
   EXPECT_TRUE(t->defaultRouteHas(def));
   EXPECT_EQ(t->getDefaultRoute(), def);
   t->recomputeSummaryRoutes();
   EXPECT_FALSE(t->summaryRouteHas(def));
   // First match in route order (the engine's lookup, whose cases RouteEngineTest checks): the default
   // route includes everything of its family.
   EXPECT_EQ(t->lookup(IpGenPrefix("10.1.2.0/24")), IpGenAddr("9.9.9.9"));
   EXPECT_TRUE(t->delRoute(def));
   EXPECT_FALSE(t->defaultRouteHas(def));
   EXPECT_FALSE(t->routeHas(def));
   EXPECT_EQ(t->getDefaultRoute(), Route());
   EXPECT_EQ(t->lookup(IpGenPrefix("10.1.2.0/24")), IpGenAddr("1.1.1.1"));  // the shortest including route
   // The routes collection changed directly keeps lookup right too.
   t->routeIs(R("11.0.0.0/8", "7.7.7.7"), true);
   EXPECT_EQ(t->lookup(IpGenPrefix("11.1.0.0/16")), IpGenAddr("7.7.7.7"));
   EXPECT_EQ(t->routeDel(R("11.0.0.0/8", "7.7.7.7")), true);
   EXPECT_EQ(t->routeDel(R("11.0.0.0/8", "7.7.7.7")), false);
   EXPECT_EQ(t->lookup(IpGenPrefix("11.1.0.0/16")), IpGenAddr());
   t->routeDelAll();
   EXPECT_EQ(t->lookup(IpGenPrefix("10.1.2.0/24")), IpGenAddr());
   EXPECT_TRUE(RouteTable::includes(IpGenPrefix("0.0.0.0/0"), IpGenPrefix("192.168.1.0/24")) &&
               !RouteTable::includes(IpGenPrefix("10.0.0.0/16"), IpGenPrefix("10.0.0.0/8")));
   EXPECT_EQ(R("10.0.0.0/8", "1.1.1.1").stringValue(), String("Destination 10.0.0.0/8 via 1.1.1.1"));
}

TEST(VelL3V2RouteTable, HolderPublishesTableAndTimestampChanges) {
   auto h = perDeviceNetVrfRouteTableFactory(DeviceNetVrfKey(DeviceKey("fw"), "red"));
   Recorder rec;
   h->addLegacyNotifiee(&rec);
   auto t = h->tableIs("v1");
   t->addRoute(R("10.0.0.0/8", "1.1.1.1"));
   EXPECT_EQ(h->tableIs("v1"), t);  // same name: kept, with its routes, and no notification
   EXPECT_EQ(h->table()->routeSize(), 1u);
   auto t2 = h->tableIs("v2");
   EXPECT_NE(t2, t);
   EXPECT_EQ(t2->routeSize(), 0u);
   EXPECT_EQ(rec.take(), (Lines{"131", "131"}));
   h->timestampIs(5);
   h->timestampIs(5);
   EXPECT_EQ(h->timestampInc(0), 5.0);
   EXPECT_EQ(h->timestampInc(1.5), 6.5);
   EXPECT_EQ(rec.take(), (Lines{"132", "132"}));
   EXPECT_EQ(h->tableDel(), t2);
   EXPECT_EQ(h->tableDel(), nullptr);
   EXPECT_EQ(rec.take(), Lines{"131"});
}

TEST(VelL3V2RouteTable, HolderTextsAndCursors) {
   auto h = perDeviceNetVrfRouteTableFactory(DeviceNetVrfKey(DeviceKey("fw"), "red"));
   auto t = h->tableIs("v1");
   t->addRoute(R("20.0.0.0/8", "2.2.2.2"));
   t->addRoute(R("10.0.0.0/8", "1.1.1.1"));
   t->addRoute(R("10.1.0.0/16", "1.1.1.1"));
   t->recomputeSummaryRoutes();
   for (bool range : {true, false}) {
      EXPECT_EQ(h->getAllRoutesStr(range),
                String("10.0.0.0/8:1.1.1.1,10.1.0.0/16:1.1.1.1,20.0.0.0/8:2.2.2.2"));
      String s = h->getSummaryRoutesStr(range);
      EXPECT_TRUE(s == String("10.0.0.0/8:1.1.1.1,20.0.0.0/8:2.2.2.2") ||
                  s == String("20.0.0.0/8:2.2.2.2,10.0.0.0/8:1.1.1.1"))
          << s;
   }
   EXPECT_EQ(h->getSummaryRoutesStr(true), h->getSummaryRoutesStr(false));
   // Cursor steps, equality and end().
   RouteIteratorConst c = h->getAllRoutes();
   EXPECT_EQ(c.key(), R("10.0.0.0/8", "1.1.1.1"));
   RouteIteratorConst copy = c.begin();
   EXPECT_TRUE(copy == c);
   ++copy;
   EXPECT_FALSE(copy == c);
   EXPECT_EQ(copy.key(), R("10.1.0.0/16", "1.1.1.1"));
   // The route under the cursor is deleted: the next step goes to the route after it.
   t->delRoute(R("10.1.0.0/16", "1.1.1.1"));
   EXPECT_EQ(copy.key(), R("10.1.0.0/16", "1.1.1.1"));
   ++copy;
   EXPECT_EQ(copy.key(), R("20.0.0.0/8", "2.2.2.2"));
   ++copy;
   EXPECT_FALSE(bool(copy));
   EXPECT_TRUE(copy == c.end());
   EXPECT_THROW(copy.key(), Zat::PreconditionException);
   EXPECT_FALSE(h->getSummaryRoutes().end() == h->getAllRoutes().end());
   // A table whose only route is a default route: listed, never summarised.
   auto only = h->tableIs("v3");
   only->addRoute(R("0.0.0.0/0", "9.9.9.9"));
   only->recomputeSummaryRoutes();
   EXPECT_EQ(h->getAllRoutesStr(true), String("0.0.0.0/0:9.9.9.9"));
   EXPECT_EQ(h->getSummaryRoutesStr(false), String(""));
   EXPECT_EQ(h->getDefaultRoute(), R("0.0.0.0/0", "9.9.9.9"));
   EXPECT_EQ(h->lookup(IpGenPrefix("1.2.3.4/32")), IpGenAddr("9.9.9.9"));
}

// What tools reach: the holder's table by its id, the table's operations, the summary read only;
// the default routes and the single summary step stay out of reach.
TEST(VelL3V2RouteTable, GenericInterface) {
   auto h = perDeviceNetVrfRouteTableFactory(DeviceNetVrfKey(DeviceKey("fw"), "red"));
   Zat::TypeInfo const& ht = h->fwkType();
   Zat::Any v, none;
   Zat::Any name = Zat::Any::of(String("gen"));
   EXPECT_EQ(Zat::attrOp(ht, h.get(), 131, Zat::AttrOp::write, none, name), Zat::attrOpDone);
   auto t = h->table();
   ASSERT_NE(t, nullptr);
   Zat::TypeInfo const& tt = t->fwkType();
   auto op = [&](char const* attr, Zat::AttrOp code, Zat::Any const& key, Zat::Any& value) {
      return Zat::attrOp(tt, t.get(), tt.attr(attr)->id, code, key, value);
   };
   Zat::Any route = Zat::Any::of(R("10.0.0.0/8", "1.1.1.1"));
   EXPECT_EQ(op("addRoute", Zat::AttrOp::call, route, v), Zat::attrOpDone);
   EXPECT_EQ(op("recomputeSummaryRoutes", Zat::AttrOp::call, none, v), Zat::attrOpDone);
   EXPECT_EQ(t->summaryRouteSize(), 1u);
   Zat::Any yes = Zat::Any::of(true);
   EXPECT_EQ(op("summaryRoute", Zat::AttrOp::write, route, yes), Zat::attrOpNotApplicable);
   EXPECT_EQ(op("defaultRoute", Zat::AttrOp::read, route, v), Zat::attrOpNoSuchAttribute);
   EXPECT_EQ(op("updateSummaryRoute", Zat::AttrOp::call, route, v), Zat::attrOpNoSuchAttribute);
   EXPECT_EQ(Zat::attrOp(ht, h.get(), ht.attr("getAllRoutesStr")->id, Zat::AttrOp::call, yes, v),
             Zat::attrOpDone);
   EXPECT_EQ(v.as<String>(), String("10.0.0.0/8:1.1.1.1"));
   EXPECT_EQ(Zat::attrOp(ht, h.get(), ht.attr("getAllRoutes")->id, Zat::AttrOp::call, none, v),
             Zat::attrOpNoSuchAttribute);
   EXPECT_EQ(Zat::attrOp(ht, h.get(), 131, Zat::AttrOp::del, none, v), Zat::attrOpDone);
   EXPECT_EQ(h->table(), nullptr);
}
