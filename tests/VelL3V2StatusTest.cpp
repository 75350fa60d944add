// Status aggregation: switch results read from the switches' directories, the latest generation and
// switch, the fold's rules, what it publishes and traces, the generic interface, and a randomized
// comparison with the fold written out step by step.
#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <sstream>

#include "Zat/Exception.h"
#include "Zat/GenericIf.h"
#include "Zat/System.h"
#include "Zat/Trace.h"
#include "support/Recorder.h"
#include "support/StatusTree.h"
#include "support/TextChecks.h"

using namespace VelL3V2;
using namespace testing_status;
using HS = V2::HardwareState;
using Strings = std::vector<std::string>;

using testing_text::refusal;

namespace {

V2::KroTimestamp const now = stamp(1, 5.0);
std::string const noOrder = "Value('VelL3::V2::FlowOrder', ** {'preference': 0, 'priority': 0})";

void report(StatusTree& t, unsigned n, HS s, bool ready, V2::KroTimestamp ts) {
   auto src = t.source(n, fw);
   src->stateIs(s), src->readyToDeleteIs(ready), src->kroTimestampIs(ts);
}

// The last byte of each pending switch, in ascending order.
std::string pendingOf(StatusBase const& st) {
   std::string out;
   for (auto c = st.pendingSwitchIter(); c; ++c) out += char('0' + c.key().bytes()[5]);
   std::sort(out.begin(), out.end());
   return out;
}

}  // namespace

TEST(VelL3V2Status, ModesTextsAndRoot) {
   auto base = StatusBase::StatusBaseIs();
   for (unsigned s = 0; s < 6; ++s) EXPECT_EQ(base->isDryrunState(HS(s)), s < 3) << s;
   EXPECT_EQ(base->stringValue().str(),
             " State: dryrunPending ReadyToDelete: 0 KroTimestamp:  GenId: 0:0 Timestamp: 0");
   EXPECT_EQ(refusal([&] { base->getSwitchStatus(sw(1)); }), "Not implemented");
   StatusTree t;
   t.root->kroGenIdIs(V2::KroGenId(3, 4));
   Zat::System::clockIs([] { return Zat::Seconds(12.5); });
   EXPECT_EQ(Zat::Entity::singleton<LocalData>()->buildKroTimestamp(),
             V2::KroTimestamp(V2::KroGenId(3, 4), 12.5));
   Zat::System::clockIs({});
}

TEST(VelL3V2Status, SwitchResultsFromTheDirectories) {
   StatusTree t;
   auto host = HostStatus::HostStatusIs("red", web, Ipkit::Vni(10), V2::MemberKey("h1"));
   EXPECT_EQ(host->getSwitchStatus(sw(1)), SwitchStatus());  // nothing for the switch
   auto m = t.member(1, web, Ipkit::Vni(10), V2::MemberKey("h1"));
   m->stateIs(HS::success), m->readyToDeleteIs(true), m->messageIs("ok"), m->kroTimestampIs(now);
   EXPECT_EQ(host->getSwitchStatus(sw(1)).stringValue().str(),
             " SwitchId: 00:1c:73:00:00:01 State: success Order: " + noOrder +
                 " ReadyToDelete: 1 Message: ok KroTimestamp:  GenId: 0:1 Timestamp: 5");
   EXPECT_FALSE(
       HostStatus::HostStatusIs("red", web, Ipkit::Vni(11), V2::MemberKey("h1"))->getSwitchStatus(sw(1)));

   auto flow = FlowStatus::FlowStatusIs("red", fw, V2::FlowKey("f1"));
   auto flowSet = FlowSetStatus::FlowSetStatusIs("red", fw);
   report(t, 2, HS::pending, true, now);
   EXPECT_FALSE(flow->getSwitchStatus(sw(2)));  // a flow source without the flow
   EXPECT_EQ(flowSet->getSwitchStatus(sw(2)).stringValue().str(),
             " SwitchId: 00:1c:73:00:00:02 State: pending Order: " + noOrder +
                 " ReadyToDelete: 1 Message:  KroTimestamp:  GenId: 0:1 Timestamp: 5");
   auto f = t.source(2, fw)->flowIs(V2::FlowKey("f1"));
   f->orderIs(V2::FlowOrder(0, 9000)), f->stateIs(HS::error), f->messageIs("full");
   EXPECT_EQ(
       flow->getSwitchStatus(sw(2)).stringValue().str(),
       " SwitchId: 00:1c:73:00:00:02 State: error Order: Value('VelL3::V2::FlowOrder', ** {'preference': 0, "
       "'priority': 9000}) ReadyToDelete: 0 Message: full KroTimestamp:  GenId: 0:0 Timestamp: 0");
   EXPECT_FALSE(getFlowSourceStatus(sw(2), "blue", fw));

   // The wrong kind of entity below a switch is no result; a switch entry that is no directory, or a
   // missing directory, is the caller's mistake.
   t.switchDir(*t.flows, 3)->entryIs("red", V2::GroupSetStatus::GroupSetStatusIs("red"));
   EXPECT_FALSE(flowSet->getSwitchStatus(sw(3)));
   t.hosts->entryIs(sw(4).stringValue(), V2::GroupSetStatus::GroupSetStatusIs("red"));
   EXPECT_EQ(refusal([&] { host->getSwitchStatus(sw(4)); }), "switchStatus");
   // A fold that meets the broken switch after others it would keep pending changes nothing.
   t.switches({1, 2, 4});
   EXPECT_EQ(refusal([&] { host->updateAggregateStatus(t.netVrf, sw(1)); }), "switchStatus");
   EXPECT_EQ(host->pendingSwitchSize(), 0u);
   t.root->globalFragmentStatusDirIs(nullptr);
   EXPECT_EQ(refusal([&] { flowSet->getSwitchStatus(sw(2)); }), "statusDir");
}

TEST(VelL3V2Status, LatestGenerationAndSwitch) {
   StatusTree t;
   auto st = FlowSetStatus::FlowSetStatusIs("red", fw);
   VelL3Common::SwitchSet all, some;
   EXPECT_EQ(st->getLatestSwitchId(t.netVrf, all), Ipkit::SystemId());
   t.switches({1, 2, 3, 4});
   V2::KroGenId const a(1, 0), b(0, 9);  // b's text sorts first
   report(t, 1, HS::success, false, {a, 1.0});
   report(t, 2, HS::success, false, {b, 1.0});
   report(t, 3, HS::success, false, {a, 1.0});  // switch 4 reports nothing
   some.switchIdIs(sw(1)), some.switchIdIs(sw(2));
   // The filtered walk first: having read only some switches, it leaves none remembered for the whole one.
   EXPECT_EQ(st->getLatestKroGenId(t.netVrf, some), b);  // one each: the first in text order
   EXPECT_EQ(st->getLatestKroGenId(t.netVrf, all), a);
   t.root->kroGenIdIs(b);
   EXPECT_EQ(st->getLatestKroGenId(t.netVrf, all), b);  // the local generation wins at once
   t.root->kroGenIdIs(V2::KroGenId());
   report(t, 3, HS::success, false, {a, 7.0});
   EXPECT_EQ(st->getLatestSwitchId(t.netVrf, all), sw(3));
   report(t, 1, HS::success, false, {a, 7.0});
   EXPECT_EQ(st->getLatestSwitchId(t.netVrf, all), sw(1));   // a tie keeps the first
   EXPECT_EQ(st->getLatestSwitchId(t.netVrf, some), sw(2));  // b is the latest there: it replaces a
   // The root's generation, reported by an early switch, still leaves every later switch to compare.
   t.root->kroGenIdIs(a);
   report(t, 4, HS::success, false, {a, 8.0});
   EXPECT_EQ(st->getLatestSwitchId(t.netVrf, all), sw(4));
   VelL3Common::SwitchSet late;
   late.switchIdIs(sw(3)), late.switchIdIs(sw(4));
   EXPECT_EQ(st->getLatestSwitchId(t.netVrf, late), sw(4));
}

// Each case: the reports as "<switch><state>[r][o]" (r: ready to delete, o: an older time stamp; switch 1,
// outside the network VRF unless listed, reports 4 now), the latest switch (0: the all-zero one), and the
// aggregate's state, readiness and pending switches. Switch 9, pending before, is no longer there.
TEST(VelL3V2Status, FoldRules) {
   struct Case {
      char const* reports;
      unsigned latest;
      HS state;
      bool ready;
      char const* pending;
   } const cases[] = {
       {"14 24", 1, HS::success, false, ""},          // all current and settled
       {"14 23 35", 1, HS::error, false, "23"},       // error over pending
       {"14 24o 31", 1, HS::pending, false, "23"},    // stale: an older time, a dry run
       {"11 22", 1, HS::dryrunError, false, "2"},     // a dry-run reference
       {"14r 23r", 1, HS::pending, true, ""},         // deleting, every switch ready
       {"14r 24ro 34", 1, HS::pending, false, "23"},  // deleting: one stale, one not ready
       {"14", 0, HS::dryrunPending, false, "1"},      // the all-zero latest switch
       {"", 1, HS::pending, false, ""},               // no switches
   };
   for (auto const& c : cases) {
      StatusTree t;
      auto st = FlowSetStatus::FlowSetStatusIs("red", fw);
      st->pendingSwitchIs(sw(9));
      report(t, 1, HS::success, false, now);
      std::istringstream in(c.reports);
      for (std::string r; in >> r;) {
         unsigned const n = unsigned(r[0] - '0');
         t.switches({n});
         report(t, n, HS(r[1] - '0'), r.find('r') != r.npos, r.find('o') != r.npos ? stamp(1, 4.0) : now);
      }
      st->updateAggregateStatus(t.netVrf, c.latest ? sw(c.latest) : Ipkit::SystemId());
      EXPECT_EQ(st->state(), c.state) << c.reports;
      EXPECT_EQ(st->readyToDelete(), c.ready) << c.reports;
      EXPECT_EQ(pendingOf(*st), c.pending) << c.reports;
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
   Strings lines;
   Zat::traceSinkIs([&](Zat::TraceLine const& l) {
      lines.push_back(std::to_string(l.level) + ":" + l.function.str() + ":" + l.text.str());
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
       "7:updateAggregateStatus: Aggregate state: pending Aggregate readyToDelete: false latest order: " +
           noOrder + " latest kroTimestamp: GenId: 0:1 Timestamp: 5 Pending switches: 1");
   for (char const* line : {"6:updateAggregateStatus: Switch pending 00:1c:73:00:00:02",
                            "6:updateAggregateStatus: Remove pending switch : 00:1c:73:00:00:09",
                            "8:getSwitchStatus: SwitchId: 00:1c:73:00:00:02"}) {
      EXPECT_NE(std::find(lines.begin(), lines.end(), line), lines.end()) << line;
   }
   st->updateAggregateStatus(t.netVrf, sw(1));
   EXPECT_TRUE(rec.seen.empty());

   // Tools call both operations with the network VRF status as an entity; the generation is not theirs.
   Zat::Any out;
   auto call = [&](std::uint16_t id, Zat::Any const& second) {
      Zat::Any const args = Zat::Any::of(Zat::AnyList{Zat::Any::entity(t.netVrf), second});
      return Zat::attrOp(FlowSetStatus::typeInfo(), st.get(), id, Zat::AttrOp::call, args, out);
   };
   Zat::Any const noFilter = Zat::Any::of(VelL3Common::SwitchSet());
   EXPECT_EQ(call(StatusBase::AttrId::getLatestKroGenId, noFilter), Zat::attrOpNoSuchAttribute);
   ASSERT_EQ(call(StatusBase::AttrId::getLatestSwitchId, noFilter), Zat::attrOpDone);
   EXPECT_EQ(out.as<Ipkit::SystemId>(), sw(1));
   report(t, 2, HS::success, false, now);
   ASSERT_EQ(call(StatusBase::AttrId::updateAggregateStatus, Zat::Any::of(sw(1))), Zat::attrOpDone);
   EXPECT_EQ(rec.take(), (Strings{"261:'00:1c:73:00:00:02'", "258"}));
}

// A fold remembers where it found each switch's result until a directory tree changes shape: every way
// a result can leave its place, or another take it, reaches the next fold of the same status.
TEST(VelL3V2Status, EveryChangeOfShapeReachesTheNextFold) {
   // Kind k's result in `state`, in an entity that no directory holds yet.
   auto published = [](Kind k, HS state) -> Zat::Ptr<Zat::Entity> {
      if (k == host) {
         auto groups = V2::GroupSetStatus::GroupSetStatusIs("red");
         auto m = groups->groupIs(web)->memberSetIs(hostVni)->memberIs(hostKey);
         m->stateIs(state), m->kroTimestampIs(now);
         return groups;
      }
      auto fragment = V2::FragmentStatus::FragmentStatusIs("red");
      auto source = fragment->flowSourceIs(fw.value());
      source->stateIs(state), source->kroTimestampIs(now);
      source->flowIs(flowKey)->stateIs(state);
      return fragment;
   };
   // What a change may put in place, made before the first fold: its making changes the shape too.
   struct Spare {
      Zat::Ptr<Zat::Entity> inError;  // switch 2's entry, in error
      Zat::Ptr<Zat::Dir> tree;        // switch 1 current, switch 2 in error
   };
   using Change = std::function<void(StatusTree&, Kind, Spare const&)>;
   auto groups = [](StatusTree& t) { return t.entry(*t.hosts, 2, &V2::GroupSetStatus::GroupSetStatusIs); };
   std::vector<Kind> const all = {flow, flowSet, host}, flowOnly = {flow}, hostOnly = {host};
   std::tuple<char const*, std::vector<Kind>, Change, HS> const cases[] = {
       {"result withdrawn", all, [](StatusTree& t, Kind k, Spare const&) { t.withdraw(k, 2); }, HS::pending},
       {"device withdrawn", flowOnly, [](StatusTree& t, Kind, Spare const&) { t.withdraw(flowSet, 2); },
        HS::pending},
       {"VNI withdrawn", hostOnly,
        [&](StatusTree& t, Kind, Spare const&) { groups(t)->groupIs(web)->memberSetDel(hostVni); },
        HS::pending},
       {"group withdrawn", hostOnly, [&](StatusTree& t, Kind, Spare const&) { groups(t)->groupDel(web); },
        HS::pending},
       {"network VRF entry dropped", all,
        [](StatusTree& t, Kind k, Spare const&) { t.switchDir(t.top(k), 2)->entryDel("red"); }, HS::pending},
       {"switch directory dropped", all,
        [](StatusTree& t, Kind k, Spare const&) { t.top(k).entryDel(sw(2).stringValue()); }, HS::pending},
       {"network VRF entry replaced", all,
        [](StatusTree& t, Kind k, Spare const& spare) {
           t.switchDir(t.top(k), 2)->entryIs("red", spare.inError);
        },
        HS::error},
       // The old tree lives on in `t`, so the new one cannot take its place in memory.
       {"directory tree replaced", all,
        [](StatusTree& t, Kind k, Spare const& spare) {
           k == host ? t.root->globalGroupSetStatusDirIs(spare.tree)
                     : t.root->globalFragmentStatusDirIs(spare.tree);
        },
        HS::error},
   };
   for (auto const& [what, kinds, change, after] : cases) {
      for (Kind k : kinds) {
         SCOPED_TRACE(std::string(what) + " for kind " + std::to_string(k));
         StatusTree t;
         t.switches({1, 2});
         for (unsigned n : {1u, 2u}) t.switchDir(t.top(k), n)->entryIs("red", published(k, HS::success));
         Spare const spare{published(k, HS::error), Zat::Ptr<Zat::Dir>(new Zat::Dir("fresh"))};
         for (unsigned n : {1u, 2u}) {
            Zat::Ptr<Zat::Dir> dir(new Zat::Dir(sw(n).stringValue()));
            dir->entryIs("red", published(k, n == 1 ? HS::success : HS::error));
            spare.tree->entryIs(sw(n).stringValue(), dir);
         }
         Zat::Ptr<StatusBase> const st = StatusTree::status(k);
         st->updateAggregateStatus(t.netVrf, sw(1));
         EXPECT_EQ(st->state(), HS::success);
         change(t, k, spare);
         st->updateAggregateStatus(t.netVrf, sw(1));
         EXPECT_EQ(st->state(), after);
         EXPECT_EQ(pendingOf(*st), "2");  // pending or in error, switch 2 holds the status back
      }
   }
}

// What a fold remembers is its own and in step: a fold run by a watcher of the directories, while it is
// told of a change, sees the change; walks over another network VRF leave nothing behind for the next
// fold over the first.
TEST(VelL3V2Status, RememberedResultsStayInStep) {
   StatusTree t;
   t.switches({1, 2});
   report(t, 1, HS::success, false, now);
   report(t, 2, HS::success, false, now);
   auto st = FlowSetStatus::FlowSetStatusIs("red", fw);
   st->updateAggregateStatus(t.netVrf, sw(1));
   ASSERT_EQ(st->state(), HS::success);

   struct Refold : Zat::Notifiee {
      std::function<void()> fold;
      void onChange(Zat::PtrInterface const&, std::uint16_t, Zat::KeyRef const&) override { fold(); }
   } refold;
   std::string seen;
   refold.fold = [&] {
      st->updateAggregateStatus(t.netVrf, sw(1));
      seen = pendingOf(*st);
   };
   auto fragment = t.entry(*t.flows, 2, &V2::FragmentStatus::FragmentStatusIs);
   fragment->addLegacyNotifiee(&refold);
   fragment->flowSourceDel(fw.value());
   fragment->removeLegacyNotifiee(&refold);
   EXPECT_EQ(seen, "2");
   EXPECT_EQ(st->state(), HS::pending);

   report(t, 2, HS::success, false, now);
   st->updateAggregateStatus(t.netVrf, sw(1));
   ASSERT_EQ(st->state(), HS::success);
   // A second network VRF, with switches of its own, walked in part: filtered, and stopped early by the
   // root's generation.
   auto blue = VelL3::NetworkVrfStatus::NetworkVrfStatusIs("blue");
   blue->switchVrfIs(sw(3)), blue->switchVrfIs(sw(4));
   VelL3Common::SwitchSet justThree;
   justThree.switchIdIs(sw(3));
   EXPECT_EQ(st->getLatestSwitchId(blue, justThree), Ipkit::SystemId());
   t.root->kroGenIdIs(now.genId());
   EXPECT_EQ(st->getLatestKroGenId(t.netVrf, {}), now.genId());
   st->updateAggregateStatus(t.netVrf, sw(1));
   EXPECT_EQ(st->state(), HS::success);
   EXPECT_EQ(pendingOf(*st), "");
   // A switch put in the pending set by hand since goes at the next fold, though the fold keeps what the
   // last one kept.
   st->updateAggregateStatus(t.netVrf, sw(1));
   st->pendingSwitchIs(sw(7));
   st->updateAggregateStatus(t.netVrf, sw(1));
   EXPECT_EQ(pendingOf(*st), "");
}

// The fold, written out step by step as the agent's rules state it, against the library's on random trees.
// Each status is folded again after random changes to its tree (results rewritten or removed, switch
// directories dropped, switches leaving and joining the network VRF, whole directory trees replaced), so
// that a fold that reuses what an earlier one found is checked against one that looks everything up.
TEST(VelL3V2Status, RandomTreesAgainstTheStepByStepFold) {
   std::mt19937 rng(20240611);
   auto pick = [&](unsigned n) { return unsigned(rng() % n); };
   V2::KroTimestamp const stamps[] = {{}, stamp(1, 5.0), stamp(1, 6.0), stamp(2, 5.0)};
   V2::FlowOrder const orders[] = {{0, 9000}, {1, 9000}};
   for (int round = 0; round < 300; ++round) {
      StatusTree t;
      Kind const kind = Kind(pick(3));
      Zat::Ptr<StatusBase> const st = StatusTree::status(kind);
      for (unsigned n = 1; n <= 8; ++n) {
         if (pick(4) == 0) continue;  // not in the network VRF
         if (pick(5) != 0) t.switches({n});
         if (pick(6) == 0) continue;  // has published nothing
         if (pick(3) == 0) st->pendingSwitchIs(sw(n));
      }
      // The first step gives every switch a result or none; each later one makes one change, so that a
      // change of shape that goes unheard leaves a fold reading what an earlier one found. Only the
      // status's own kind of result changes, so that each change of shape must be heard.
      for (int step = 0; step < 12; ++step) {
         for (unsigned n = step == 0 ? 1 : 1 + pick(8), last = step == 0 ? 8 : n; n <= last; ++n) {
            auto groups = [&] { return t.entry(*t.hosts, n, &V2::GroupSetStatus::GroupSetStatusIs); };
            switch (pick(step == 0 ? 2 : 5)) {
               case 0: {  // a new result: a flow's has an order, the others' a time stamp
                  HS const s = HS(pick(6));
                  bool const ready = pick(2);
                  V2::KroTimestamp const ts = stamps[pick(4)];
                  auto set = [&](auto const& r) { return r->stateIs(s), r->readyToDeleteIs(ready), r; };
                  if (kind == host)
                     set(t.member(n, web, hostVni, hostKey))->kroTimestampIs(ts);
                  else if (kind == flowSet)
                     set(t.source(n, fw))->kroTimestampIs(ts);
                  else
                     set(t.source(n, fw)->flowIs(flowKey))->orderIs(orders[pick(2)]);
                  break;
               }
               case 1:  // the result withdrawn
                  t.withdraw(kind, n);
                  break;
               case 2:  // the switch's directory dropped
                  t.top(kind).entryDel(sw(n).stringValue());
                  break;
               case 3:  // the switch leaves or joins the network VRF
                  if (t.netVrf->switchVrfHas(sw(n)))
                     t.netVrf->switchVrfDel(sw(n));
                  else
                     t.switches({n});
                  break;
               case 4:  // a level above the result withdrawn
                  if (kind == host && pick(2))
                     groups()->groupIs(web)->memberSetDel(hostVni);
                  else if (kind == host)
                     groups()->groupDel(web);
                  else if (kind == flowSet)
                     t.switchDir(*t.flows, n)->entryDel(t.netVrf->name());
                  else
                     t.withdraw(flowSet, n);  // the device, above the flow
                  break;
            }
         }
         if (step > 0 && pick(16) == 0) {  // the directory trees replaced by empty ones
            t.hosts = Zat::Ptr<Zat::Dir>(new Zat::Dir("hosts"));
            t.flows = Zat::Ptr<Zat::Dir>(new Zat::Dir("flows"));
            t.root->globalGroupSetStatusDirIs(t.hosts), t.root->globalFragmentStatusDirIs(t.flows);
         }
         Ipkit::SystemId const latest = pick(4) == 0 ? sw(1 + pick(8)) : st->getLatestSwitchId(t.netVrf, {});

         // The fold, step by step.
         SwitchStatus const ref = st->getSwitchStatus(latest);
         bool const dryrun = unsigned(ref.state()) < 3, deleting = ref.readyToDelete();
         HS const err = dryrun ? HS::dryrunError : HS::error, pend = dryrun ? HS::dryrunPending : HS::pending;
         bool ready = deleting, errorSeen = false, pendingSeen = false;
         std::string kept;
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
            if (!deleting || !r.readyToDelete()) kept += char('0' + c.key().bytes()[5]);
         }
         HS const state = errorSeen ? err
                          : pendingSeen || t.netVrf->switchVrfSize() == 0
                              ? pend
                              : (dryrun ? HS::dryrunSuccess : HS::success);

         st->updateAggregateStatus(t.netVrf, latest);
         SCOPED_TRACE("round " + std::to_string(round) + " step " + std::to_string(step));
         EXPECT_EQ(st->state(), state);
         EXPECT_EQ(st->readyToDelete(), ready);
         EXPECT_EQ(st->order(), ref.order());
         EXPECT_EQ(st->kroTimestamp(), ref.kroTimestamp());
         EXPECT_EQ(pendingOf(*st), kept);
      }
   }
}
