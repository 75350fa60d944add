// Status aggregation: switch results read from the switches' directories, the latest generation and
// switch, the fold's rules, what it publishes and traces, the generic interface, and a randomized
// comparison with the fold written out step by step.
#include <gtest/gtest.h>

#include <random>
#include <set>

#include "Zat/Exception.h"
#include "Zat/GenericIf.h"
#include "Zat/System.h"
#include "Zat/Trace.h"
#include "support/Recorder.h"
#include "support/StatusTree.h"

using namespace VelL3V2;
using namespace testing_status;
using HS = V2::HardwareState;
using Strings = std::vector<std::string>;

namespace {

DeviceKey const fw("fw1");
V2::GroupName const web("web");
V2::KroTimestamp const now = stamp(1, 5.0);

void report(StatusTree& t, unsigned n, HS s, bool ready, V2::KroTimestamp ts) {
   auto src = t.source(n, fw);
   src->stateIs(s);
   src->readyToDeleteIs(ready);
   src->kroTimestampIs(ts);
}

std::set<unsigned> pendingOf(StatusBase const& st) {
   std::set<unsigned> out;
   for (auto c = st.pendingSwitchIter(); c; ++c) out.insert(c.key().bytes()[5]);
   return out;
}

template <class F>
std::string refusal(F fn) {
   try {
      fn();
   } catch (Zat::PreconditionException const& e) {
      return e.what();
   }
   return "accepted";
}

}  // namespace

TEST(VelL3V2Status, TextsModesAndRoot) {
   for (unsigned s = 0; s < 6; ++s) EXPECT_EQ(statusBaseFactory()->isDryrunState(HS(s)), s < 3) << s;
   auto base = StatusBase::StatusBaseIs();
   EXPECT_EQ(base->stringValue().str(),
             " State: dryrunPending ReadyToDelete: 0 KroTimestamp:  GenId: 0:0 Timestamp: 0");
   EXPECT_EQ(refusal([&] { base->getSwitchStatus(sw(1)); }), "Not implemented");
   SwitchStatus s(sw(1));
   EXPECT_TRUE(s);
   EXPECT_FALSE(SwitchStatus());
   s.stateIs(HS::error);
   s.readyToDeleteIs(true);
   s.messageIs("bad");
   s.kroTimestampIs(stamp(7, 2.5));
   EXPECT_EQ(
       s.stringValue().str(),
       " SwitchId: 00:1c:73:00:00:01 State: error Order: Value('VelL3::V2::FlowOrder', ** {'preference': 0, "
       "'priority': 0}) ReadyToDelete: 1 Message: bad KroTimestamp:  GenId: 0:7 Timestamp: 2.5");

   // The root's ids hold the positions its later members will fill around them.
   std::pair<std::uint16_t, std::uint16_t> const ids[] = {
       {LocalData::AttrId::velPriorityLowest, 265},
       {LocalData::AttrId::kroGenId, 271},
       {LocalData::AttrId::groupStatusReaderRequestor, 280},
       {LocalData::AttrId::globalFragmentStatusDir, 294},
       {LocalData::AttrId::globalGroupSetStatusDir, 295},
       {LocalData::AttrId::buildKroTimestamp, 296},
       {LocalData::AttrId::hostTaskNameSuffix, 306},
       {LocalData::AttrId::switchReportDelay, 310}};
   for (auto [got, want] : ids) EXPECT_EQ(got, want);
   StatusTree t;
   EXPECT_EQ(Zat::Entity::singleton<LocalData>(), t.root);
   t.root->kroGenIdIs(V2::KroGenId(3, 4));
   Zat::System::clockIs([] { return Zat::Seconds(12.5); });
   EXPECT_EQ(t.root->buildKroTimestamp(), V2::KroTimestamp(V2::KroGenId(3, 4), 12.5));
   Zat::System::clockIs({});
}

TEST(VelL3V2Status, SwitchResultsFromTheDirectories) {
   StatusTree t;
   auto host = HostStatus::HostStatusIs("red", web, Ipkit::Vni(10), V2::MemberKey("h1"));
   EXPECT_EQ(host->getSwitchStatus(sw(1)), SwitchStatus());  // no entry for the switch
   auto m = t.member(1, web, Ipkit::Vni(10), V2::MemberKey("h1"));
   m->stateIs(HS::success);
   m->readyToDeleteIs(true);
   m->messageIs("ok");
   m->kroTimestampIs(now);
   SwitchStatus want(sw(1));
   want.stateIs(HS::success);
   want.readyToDeleteIs(true);
   want.messageIs("ok");
   want.kroTimestampIs(now);
   EXPECT_EQ(host->getSwitchStatus(sw(1)), want);
   EXPECT_EQ(
       HostStatus::HostStatusIs("red", web, Ipkit::Vni(11), V2::MemberKey("h1"))->getSwitchStatus(sw(1)),
       SwitchStatus());

   auto flow = FlowStatus::FlowStatusIs("red", fw, V2::FlowKey("f1"));
   auto flowSet = FlowSetStatus::FlowSetStatusIs("red", fw);
   report(t, 2, HS::pending, false, now);
   EXPECT_EQ(flow->getSwitchStatus(sw(2)), SwitchStatus());  // a source without the flow
   EXPECT_EQ(flowSet->getSwitchStatus(sw(2)).state(), HS::pending);
   EXPECT_EQ(flowSet->getSwitchStatus(sw(2)).kroTimestamp(), now);
   auto f = t.source(2, fw)->flowIs(V2::FlowKey("f1"));
   f->orderIs(V2::FlowOrder(0, 9000));
   f->stateIs(HS::error);
   f->messageIs("no room");
   SwitchStatus const got = flow->getSwitchStatus(sw(2));
   EXPECT_EQ(got.switchId(), sw(2));
   EXPECT_EQ(got.order(), V2::FlowOrder(0, 9000));
   EXPECT_EQ(got.state(), HS::error);
   EXPECT_EQ(got.message(), Zat::String("no room"));
   EXPECT_EQ(got.kroTimestamp(), V2::KroTimestamp());
   EXPECT_EQ(getFlowSourceStatus(sw(2), "blue", fw), nullptr);

   // The wrong kind of entity below a switch is no result; a switch entry that is no directory, or a
   // missing directory, is the caller's mistake.
   t.switchDir(*t.flows, 3)->entryIs("red", V2::GroupSetStatus::GroupSetStatusIs("red"));
   EXPECT_EQ(flowSet->getSwitchStatus(sw(3)), SwitchStatus());
   t.hosts->entryIs(sw(4).stringValue(), V2::GroupSetStatus::GroupSetStatusIs("red"));
   EXPECT_EQ(refusal([&] { host->getSwitchStatus(sw(4)); }), "switchStatus");
   t.root->globalFragmentStatusDirIs(nullptr);
   EXPECT_EQ(refusal([&] { flowSet->getSwitchStatus(sw(2)); }), "statusDir");
}

TEST(VelL3V2Status, LatestGenerationAndSwitch) {
   StatusTree t;
   auto st = FlowSetStatus::FlowSetStatusIs("red", fw);
   VelL3Common::SwitchSet all;
   EXPECT_EQ(st->getLatestKroGenId(t.netVrf, all), V2::KroGenId());
   EXPECT_EQ(st->getLatestSwitchId(t.netVrf, all), Ipkit::SystemId());
   t.switches({1, 2, 3, 4});
   V2::KroGenId const a(1, 0), b(0, 9);  // b's text sorts first
   report(t, 1, HS::success, false, {a, 1.0});
   report(t, 2, HS::success, false, {b, 1.0});
   report(t, 3, HS::success, false, {a, 1.0});  // switch 4 reports nothing
   EXPECT_EQ(st->getLatestKroGenId(t.netVrf, all), a);
   VelL3Common::SwitchSet some;
   some.switchIdIs(sw(1));
   some.switchIdIs(sw(2));
   EXPECT_EQ(st->getLatestKroGenId(t.netVrf, some), b);  // one each: the first in text order
   t.root->kroGenIdIs(b);
   EXPECT_EQ(st->getLatestKroGenId(t.netVrf, all), b);  // the local generation wins at once

   t.root->kroGenIdIs(V2::KroGenId());
   report(t, 3, HS::success, false, {a, 7.0});
   EXPECT_EQ(st->getLatestSwitchId(t.netVrf, all), sw(3));
   report(t, 1, HS::success, false, {a, 7.0});
   EXPECT_EQ(st->getLatestSwitchId(t.netVrf, all), sw(1));   // a tie keeps the first
   EXPECT_EQ(st->getLatestSwitchId(t.netVrf, some), sw(2));  // there b is the latest: it replaces a
}

TEST(VelL3V2Status, FoldRules) {
   V2::KroTimestamp const old = stamp(1, 4.0);
   struct Report {
      unsigned n;
      HS state;
      bool ready;
      V2::KroTimestamp ts;
   };
   struct Case {
      char const* what;
      std::vector<Report> reports;
      unsigned latest;  // 0: the all-zero switch
      HS state;
      bool ready;
      std::set<unsigned> pending;
   } const cases[] = {
       {"all current and settled",
        {{1, HS::success, false, now}, {2, HS::success, false, now}},
        1,
        HS::success,
        false,
        {}},
       {"error over pending",
        {{1, HS::success, false, now}, {2, HS::pending, false, now}, {3, HS::error, false, now}},
        1,
        HS::error,
        false,
        {2, 3}},
       {"stale time and dry run",
        {{1, HS::success, false, now}, {2, HS::success, false, old}, {3, HS::dryrunSuccess, false, now}},
        1,
        HS::pending,
        false,
        {2, 3}},
       {"dry run reference",
        {{1, HS::dryrunSuccess, false, now}, {2, HS::dryrunError, false, now}},
        1,
        HS::dryrunError,
        false,
        {2}},
       {"deleting, all ready",
        {{1, HS::success, true, now}, {2, HS::pending, true, now}},
        1,
        HS::pending,
        true,
        {}},
       {"deleting, one stale",
        {{1, HS::success, true, now}, {2, HS::success, true, old}},
        1,
        HS::pending,
        false,
        {2}},
       {"deleting, one not ready",
        {{1, HS::success, true, now}, {2, HS::success, false, now}},
        1,
        HS::pending,
        false,
        {2}},
       {"all-zero latest switch", {{1, HS::success, false, now}}, 0, HS::dryrunPending, false, {1}},
       {"no switches", {}, 1, HS::pending, false, {}},
   };
   for (auto const& c : cases) {
      StatusTree t;
      auto st = FlowSetStatus::FlowSetStatusIs("red", fw);
      st->pendingSwitchIs(sw(9));  // no longer in the network VRF
      report(t, 1, HS::success, false, now);
      for (auto const& r : c.reports) {
         t.switches({r.n});
         report(t, r.n, r.state, r.ready, r.ts);
      }
      st->updateAggregateStatus(t.netVrf, c.latest ? sw(c.latest) : Ipkit::SystemId());
      EXPECT_EQ(st->state(), c.state) << c.what;
      EXPECT_EQ(st->readyToDelete(), c.ready) << c.what;
      EXPECT_EQ(pendingOf(*st), c.pending) << c.what;
   }
}

TEST(VelL3V2Status, PublishedChangesTraceAndGenericInterface) {
   StatusTree t;
   t.switches({1, 2});
   report(t, 1, HS::success, false, now);
   report(t, 2, HS::pending, false, now);
   auto st = FlowSetStatus::FlowSetStatusIs("red", fw);
   st->pendingSwitchIs(sw(9));
   Recorder rec;
   st->addLegacyNotifiee(&rec);
   std::vector<std::string> lines;
   Zat::traceSinkIs([&](Zat::TraceLine const& l) {
      lines.push_back(std::to_string(l.level) + ":" + std::string(l.function.view()) + ":" + l.text.str());
   });
   for (int level : {6, 7, 8}) velL3V2Trace.levelIs(level, true);
   st->updateAggregateStatus(t.netVrf, sw(1));
   for (int level : {6, 7, 8}) velL3V2Trace.levelIs(level, false);
   Zat::traceSinkIs({});
   EXPECT_EQ(rec.take(), (Strings{"261:'00:1c:73:00:00:02'", "261:'00:1c:73:00:00:09'", "258", "263"}));
   ASSERT_GE(lines.size(), 3u);
   EXPECT_EQ(lines.front(),
             "8:updateAggregateStatus: Net VRF: red Switch VRFs: 2 Latest switch: 00:1c:73:00:00:01");
   EXPECT_EQ(
       lines.back(),
       "7:updateAggregateStatus: Aggregate state: pending Aggregate readyToDelete: false latest order: "
       "Value('VelL3::V2::FlowOrder', ** {'preference': 0, 'priority': 0}) latest kroTimestamp: GenId: 0:1 "
       "Timestamp: 5 Pending switches: 1");
   auto has = [&](std::string const& l) { return std::find(lines.begin(), lines.end(), l) != lines.end(); };
   EXPECT_TRUE(has("6:updateAggregateStatus: Switch pending 00:1c:73:00:00:02"));
   EXPECT_TRUE(has("6:updateAggregateStatus: Remove pending switch : 00:1c:73:00:00:09"));
   EXPECT_TRUE(has("8:getSwitchStatus: SwitchId: 00:1c:73:00:00:02"));
   st->updateAggregateStatus(t.netVrf, sw(1));
   EXPECT_TRUE(rec.seen.empty());

   // Tools call both operations with the network VRF status as an entity; the generation is not theirs.
   Zat::Any out;
   Zat::Any args =
       Zat::Any::of(Zat::AnyList{Zat::Any::entity(t.netVrf), Zat::Any::of(VelL3Common::SwitchSet())});
   auto call = [&](std::uint16_t id, Zat::Any const& in) {
      return Zat::attrOp(FlowSetStatus::typeInfo(), st.get(), id, Zat::AttrOp::call, in, out);
   };
   EXPECT_EQ(call(StatusBase::AttrId::getLatestKroGenId, args), Zat::attrOpNoSuchAttribute);
   ASSERT_EQ(call(StatusBase::AttrId::getLatestSwitchId, args), Zat::attrOpDone);
   EXPECT_EQ(out.as<Ipkit::SystemId>(), sw(1));
   report(t, 2, HS::success, false, now);
   ASSERT_EQ(call(StatusBase::AttrId::updateAggregateStatus,
                  Zat::Any::of(Zat::AnyList{Zat::Any::entity(t.netVrf), Zat::Any::of(sw(1))})),
             Zat::attrOpDone);
   EXPECT_EQ(st->state(), HS::success);
   EXPECT_EQ(rec.take(), (Strings{"261:'00:1c:73:00:00:02'", "258"}));
}

// The fold, written out step by step as the agent's rules state it, against the library's on random trees.
TEST(VelL3V2Status, RandomTreesAgainstTheStepByStepFold) {
   std::mt19937 rng(20240611);
   auto pick = [&](unsigned n) { return unsigned(rng() % n); };
   V2::KroTimestamp const stamps[] = {{}, stamp(1, 5.0), stamp(1, 6.0), stamp(2, 5.0)};
   V2::FlowOrder const orders[] = {{0, 9000}, {1, 9000}};
   for (int round = 0; round < 300; ++round) {
      StatusTree t;
      bool const isFlow = pick(2);
      Zat::Ptr<StatusBase> st =
          isFlow ? Zat::Ptr<StatusBase>(FlowStatus::FlowStatusIs("red", fw, V2::FlowKey("f")))
                 : HostStatus::HostStatusIs("red", web, Ipkit::Vni(5), V2::MemberKey("h"));
      for (unsigned n = 1; n <= 8; ++n) {
         if (pick(4) == 0) continue;  // not in the network VRF
         if (pick(5) != 0) t.switches({n});
         if (pick(6) == 0) continue;  // has published nothing
         HS const s = HS(pick(6));
         bool const ready = pick(2);
         auto f = t.source(n, fw)->flowIs(V2::FlowKey("f"));
         f->stateIs(s), f->readyToDeleteIs(ready), f->orderIs(orders[pick(2)]);
         auto m = t.member(n, web, Ipkit::Vni(5), V2::MemberKey("h"));
         m->stateIs(s), m->readyToDeleteIs(ready), m->kroTimestampIs(stamps[pick(4)]);
         if (pick(3) == 0) st->pendingSwitchIs(sw(n));
      }
      Ipkit::SystemId const latest = pick(4) == 0 ? sw(1 + pick(8)) : st->getLatestSwitchId(t.netVrf, {});

      // The fold, step by step.
      SwitchStatus const ref = st->getSwitchStatus(latest);
      bool const dryrun = unsigned(ref.state()) < 3, deleting = ref.readyToDelete();
      HS const err = dryrun ? HS::dryrunError : HS::error, pend = dryrun ? HS::dryrunPending : HS::pending;
      bool ready = deleting, errorSeen = false, pendingSeen = false;
      std::set<unsigned> kept;
      for (auto c = t.netVrf->switchVrfIter(); c; ++c) {
         SwitchStatus r = st->getSwitchStatus(c.key());
         bool const current = latest != Ipkit::SystemId() && r && r.order() == ref.order() &&
                              (unsigned(r.state()) < 3) == dryrun && r.readyToDelete() == deleting &&
                              r.kroTimestamp() == ref.kroTimestamp();
         if (!current) r.stateIs(pend), r.readyToDeleteIs(false);
         if (r.state() == err) {
            errorSeen = true;
         } else if (r.state() == pend) {
            pendingSeen = true;
         } else {
            continue;
         }
         if (deleting && !r.readyToDelete()) ready = false;
         if (!deleting || !r.readyToDelete()) kept.insert(c.key().bytes()[5]);
      }
      HS const state = errorSeen ? err
                       : pendingSeen || t.netVrf->switchVrfSize() == 0
                           ? pend
                           : (dryrun ? HS::dryrunSuccess : HS::success);

      st->updateAggregateStatus(t.netVrf, latest);
      SCOPED_TRACE("round " + std::to_string(round));
      EXPECT_EQ(st->state(), state);
      EXPECT_EQ(st->readyToDelete(), ready);
      EXPECT_EQ(st->order(), ref.order());
      EXPECT_EQ(st->kroTimestamp(), ref.kroTimestamp());
      EXPECT_EQ(pendingOf(*st), kept);
   }
}
