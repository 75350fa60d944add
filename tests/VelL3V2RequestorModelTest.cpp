// Every requestor-counted level, the root's included, against a plain model: long random sequences of adds
// and removes by several requestors (absent keys and requestors included; sets that take everything below
// them along; now and then a clear), checked after every step. The model is a set of (keys..., requestor)
// rows per level; the hierarchy is flattened into the same rows twice, once from the children's requestor
// sets and once from the request sets, and an empty requestor set, request set or host shows as a row with
// "-".
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <iterator>
#include <random>
#include <set>
#include <string>

#include "Vel/VelL3V2LocalTypes.h"

using namespace VelL3V2;
using Row = std::vector<std::string>;
using Rows = std::set<Row>;

namespace {

// One row per name: prefix, name, then the suffix if any; an empty collection gives a row starting "-".
void addRows(Rows& out, auto const& names, Row prefix, std::string const& suffix = "") {
   if (names.size() == 0) prefix.insert(prefix.begin(), "-"), out.insert(prefix);
   for (auto const& n : names) {
      Row row = prefix;
      row.push_back(n.str());
      if (!suffix.empty()) row.push_back(suffix);
      out.insert(row);
   }
}

// The rows (n, r) of the network VRFs' host sets, ("vrf", n, r) of the network VRFs, then (n, g, r),
// (n, g, v, r) and (n, g, v, h, part) twice: as the children hold them and as the request sets list them.
// The root keeps no request sets. The flow sets give ("flow", n, r), and per device ("flow", n, d, r) for
// its configuration's requestors and ("flow", n, d, "status") for its status.
void flatten(LocalData const& root, Rows& held, Rows& asked) {
   for (auto const& vrf : root.networkVrfCollection())
      addRows(held, vrf->requestorCollection(), {"vrf", vrf->name().str()});
   for (auto const& net : root.perNetVrfFlowSetCollection()) {
      std::string const n = net->netVrfName().str();
      addRows(held, net->requestorCollection(), {"flow", n});
      for (auto const& set : net->perDeviceFlowSetCollection()) {
         std::string const d = set->deviceKey().value().str();
         if (set->config()) addRows(held, set->config()->requestorCollection(), {"flow", n, d});
         if (set->status()) held.insert({"flow", n, d, "status"});
         if (!set->config() && !set->status()) held.insert({"-", "flow", n, d});
         EXPECT_EQ(net->getFlowSetStatus(set->deviceKey()), set->status());
      }
   }
   for (auto const& net : root.perNetVrfHostSetCollection()) {
      std::string const n = net->netVrfName().str();
      addRows(held, net->requestorCollection(), {n});
      for (auto const& set : net->groupRequestSetCollection())
         addRows(asked, set->requestCollection(), {n}, set->requestorName().str());
      for (auto const& group : net->perGroupHostSetCollection()) {
         std::string const g(group->groupName().view());
         addRows(held, group->requestorCollection(), {n, g});
         for (auto const& set : group->vniRequestSetCollection())
            addRows(asked, set->requestCollection(), {n, g}, set->requestorName().str());
         for (auto const& vni : group->perVniHostSetCollection()) {
            std::string const v = vni->vni().stringValue().str();
            addRows(held, vni->requestorCollection(), {n, g, v});
            for (auto const& set : vni->hostRequestSetCollection())
               addRows(asked, set->requestCollection(), {n, g, v}, set->requestorName().str());
            for (auto const& host : vni->hostCollection()) {
               std::string const h = host->hostKey().value().str();
               if (host->config()) held.insert({n, g, v, h, "configRequestor"});
               if (host->status()) held.insert({n, g, v, h, "statusRequestor"});
               if (!host->config() && !host->status()) held.insert({"-", h});
            }
            EXPECT_EQ(vni->hasHostStatuss(), vni->hostRequestSetHas("statusRequestor"));
         }
      }
   }
}

bool under(Row const& row, Row const& prefix) {
   return std::equal(prefix.begin(), prefix.end(), row.begin());
}

// When no requestor holds `prefix` any more, everything below it goes too.
void release(Rows& m, Row const& prefix) {
   if (std::none_of(m.begin(), m.end(),
                    [&](Row const& r) { return r.size() == prefix.size() + 1 && under(r, prefix); }))
      std::erase_if(m, [&](Row const& r) { return under(r, prefix); });
}

}  // namespace

TEST(RequestorModel, EveryLevelMatchesTheModel) {
   std::mt19937 rng(7201);
   auto pick = [&](char const* prefix) { return prefix + std::to_string(rng() % 3); };
   for (int round = 0; round < 10; ++round) {
      auto root = LocalData::LocalDataIs("root");
      Rows m;
      for (int step = 0; step < 400; ++step) {
         SCOPED_TRACE(testing::Message() << round << "/" << step);
         std::string const n = pick("n"), g = pick("g"), r = pick("r"), h = pick("h"), d = pick("fw"),
                           v = std::to_string(10 + rng() % 3);
         VelL3::V2::GroupName const gn(g);
         VelL3::V2::MemberKey const hk(h);
         Zat::Ptr<PerNetVrfHostSet> net = root->perNetVrfHostSet(n);
         Zat::Ptr<PerGroupHostSet> group = net ? net->perGroupHostSet(gn) : nullptr;
         Zat::Ptr<PerVniHostSet> vni = group ? group->perVniHostSet(Ipkit::Vni(v)) : nullptr;
         Zat::Ptr<PerNetVrfFlowSet> flows = root->perNetVrfFlowSet(n);
         DeviceKey const dk(d);
         bool const status = rng() % 2;
         Row const part = {n, g, v, h, status ? "statusRequestor" : "configRequestor"};
         // A top-level set of `kind` named n: r takes it, or lets it go.
         auto holdOrLetGo = [&](std::string const& kind, auto add, auto remove) {
            if (status) {
               add();
               m.insert({kind, n, r});
            } else {
               remove();
               m.erase({kind, n, r});
               release(m, {kind, n});
            }
         };
         switch (rng() % 13) {
            case 0:
               EXPECT_EQ(root->addPerNetVrfHostSet(n, r)->netVrfName().str(), n);
               m.insert({n, r});
               break;
            case 1:
               root->removePerNetVrfHostSet(n, r);
               m.erase({n, r});
               release(m, {n});
               break;
            case 2:
               if (!net) break;
               EXPECT_EQ(net->addPerGroupHostSet(gn, r)->groupName(), gn);
               m.insert({n, g, r});
               break;
            case 3:
               if (!net) break;
               net->removePerGroupHostSet(gn, r);
               m.erase({n, g, r});
               release(m, {n, g});
               break;
            case 4:
               if (!group) break;
               EXPECT_EQ(group->addPerVniHostSet(Ipkit::Vni(v), r)->vni(), Ipkit::Vni(v));
               m.insert({n, g, v, r});
               break;
            case 5:
               if (!group) break;
               group->removePerVniHostSet(Ipkit::Vni(v), r);
               m.erase({n, g, v, r});
               release(m, {n, g, v});
               break;
            case 6:
               if (!vni) break;
               if (status) {
                  Zat::Ptr<HostStatus> added = vni->addHostStatus(n, gn, hk);
                  EXPECT_EQ(added, vni->getHostStatus(hk));
                  EXPECT_EQ(added->vni(), Ipkit::Vni(v));
               } else {
                  Zat::Ptr<HostConfig> added = vni->addHostConfig(hk);
                  EXPECT_EQ(added, vni->host(hk)->config());
               }
               m.insert(part);
               break;
            case 7:
               if (!vni) break;
               status ? vni->removeHostStatus(hk) : vni->removeHostConfig(hk);
               m.erase(part);
               break;
            case 8:  // the network VRFs, held the same way
               holdOrLetGo(
                   "vrf", [&] { root->addNetworkVrf(n, r); }, [&] { root->removeNetworkVrf(n, r); });
               break;
            case 9:  // the flow sets: a network VRF's held by requestors, a device's by its configuration's
               holdOrLetGo(
                   "flow", [&] { EXPECT_EQ(root->addPerNetVrfFlowSet(n, r)->netVrfName().str(), n); },
                   [&] { root->removePerNetVrfFlowSet(n, r); });
               break;
            case 10:
               if (!flows) break;
               status ? (void)flows->addFlowSetConfig(dk, r) : flows->removeFlowSetConfig(dk, r);
               status ? (void)m.insert({"flow", n, d, r}) : (void)m.erase({"flow", n, d, r});
               break;
            case 11:  // or by its status, which nobody requests and which keeps its identity while it lives
               if (!flows) break;
               if (status) {
                  Zat::Ptr<FlowSetStatus> const was = flows->getFlowSetStatus(dk),
                                                added = flows->addFlowSetStatus(dk);
                  EXPECT_TRUE(added == was || !was);
                  EXPECT_EQ(added->netVrfName().str(), n);
                  m.insert({"flow", n, d, "status"});
               } else {
                  flows->removeFlowSetStatus(dk);
                  m.erase({"flow", n, d, "status"});
               }
               break;
            default: {  // now and then a clear, which ends every set of its kind whoever holds it
               if (rng() % 10) break;
               std::string const kind = std::array{"vrf", "flow", "host"}[rng() % 3];
               if (kind == "vrf") root->clearNetworkVrf();
               if (kind == "flow") root->clearPerNetVrfFlowSet();
               if (kind == "host") root->clearPerNetVrfHostSet();
               std::erase_if(m, [&](Row const& row) {
                  return row[0] == kind || (kind == "host" && row[0] != "vrf" && row[0] != "flow");
               });
            }
         }
         Rows held, asked, listed;
         flatten(*root, held, asked);
         ASSERT_EQ(held, m);
         std::copy_if(m.begin(), m.end(), std::inserter(listed, listed.end()),
                      [](Row const& row) { return row.size() > 2 && row[0] != "vrf" && row[0] != "flow"; });
         ASSERT_EQ(asked, listed);
      }
   }
}
