// Every requestor-counted level below the root against a plain model: long random sequences of adds and
// removes by several requestors (absent keys and requestors included; groups that take their VNI sets
// and hosts with them), checked after every step. The model is a set of (keys..., requestor) rows per
// level; the hierarchy is flattened into the same rows twice, once from the children's requestor sets and
// once from the request sets, and an empty requestor set, request set or host shows as a row with "-".
#include <gtest/gtest.h>

#include <map>
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

// The rows (g, r), (g, v, r) and (g, v, h, part) twice: as the children hold them and as the request sets
// list them.
void flatten(PerNetVrfHostSet const& net, Rows& held, Rows& asked) {
   for (auto const& set : net.groupRequestSetCollection())
      addRows(asked, set->requestCollection(), {}, set->requestorName().str());
   for (auto const& group : net.perGroupHostSetCollection()) {
      std::string const g(group->groupName().view());
      addRows(held, group->requestorCollection(), {g});
      for (auto const& set : group->vniRequestSetCollection())
         addRows(asked, set->requestCollection(), {g}, set->requestorName().str());
      for (auto const& vni : group->perVniHostSetCollection()) {
         std::string const v = vni->vni().stringValue().str();
         addRows(held, vni->requestorCollection(), {g, v});
         for (auto const& set : vni->hostRequestSetCollection())
            addRows(asked, set->requestCollection(), {g, v}, set->requestorName().str());
         for (auto const& host : vni->hostCollection()) {
            std::string const h = host->hostKey().value().str();
            if (host->config()) held.insert({g, v, h, "configRequestor"});
            if (host->status()) held.insert({g, v, h, "statusRequestor"});
            if (!host->config() && !host->status()) held.insert({"-", h});
         }
         EXPECT_EQ(vni->hasHostStatuss(), vni->hostRequestSetHas("statusRequestor"));
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

TEST(RequestorModel, HostLevelsMatchTheModel) {
   std::mt19937 rng(7201);
   auto pick = [&](char const* prefix) { return prefix + std::to_string(rng() % 3); };
   for (int round = 0; round < 10; ++round) {
      auto net = PerNetVrfHostSet::PerNetVrfHostSetIs("blue");
      Rows m;
      for (int step = 0; step < 400; ++step) {
         SCOPED_TRACE(std::to_string(round) + "/" + std::to_string(step));
         std::string const g = pick("g"), r = pick("r"), h = pick("h"), v = std::to_string(10 + rng() % 3);
         VelL3::V2::GroupName const gn(g);
         VelL3::V2::MemberKey const hk(h);
         Zat::Ptr<PerGroupHostSet> group = net->perGroupHostSet(gn);
         Zat::Ptr<PerVniHostSet> vni = group ? group->perVniHostSet(Ipkit::Vni(v)) : nullptr;
         bool const status = rng() % 2;
         Row const part = {g, v, h, status ? "statusRequestor" : "configRequestor"};
         switch (rng() % 6) {
            case 0: {
               Zat::Ptr<PerGroupHostSet> added = net->addPerGroupHostSet(gn, r);
               EXPECT_EQ(added, net->perGroupHostSet(gn));
               m.insert({g, r});
               break;
            }
            case 1:
               net->removePerGroupHostSet(gn, r);
               m.erase({g, r});
               release(m, {g});
               break;
            case 2:
               if (!group) break;
               EXPECT_EQ(group->addPerVniHostSet(Ipkit::Vni(v), r)->vni(), Ipkit::Vni(v));
               m.insert({g, v, r});
               break;
            case 3:
               if (!group) break;
               group->removePerVniHostSet(Ipkit::Vni(v), r);
               m.erase({g, v, r});
               release(m, {g, v});
               break;
            case 4:
               if (!vni) break;
               if (status) {
                  Zat::Ptr<HostStatus> added = vni->addHostStatus("blue", gn, hk);
                  EXPECT_EQ(added, vni->getHostStatus(hk));
                  EXPECT_EQ(added->vni(), Ipkit::Vni(v));
               } else {
                  Zat::Ptr<HostConfig> added = vni->addHostConfig(hk);
                  EXPECT_EQ(added, vni->host(hk)->config());
               }
               m.insert(part);
               break;
            default:
               if (!vni) break;
               status ? vni->removeHostStatus(hk) : vni->removeHostConfig(hk);
               m.erase(part);
         }
         Rows held, asked;
         flatten(*net, held, asked);
         ASSERT_EQ(held, m);
         ASSERT_EQ(asked, m);
      }
   }
}
// A device's flow set lives while its configuration (held by requestors) or its status is there; each
// part keeps its identity while it lives.
TEST(RequestorModel, DeviceFlowSetsMatchTheModel) {
   std::mt19937 rng(8101);
   auto net = PerNetVrfFlowSet::PerNetVrfFlowSetIs("blue");
   std::map<std::string, std::set<std::string>> requestors;
   std::map<std::string, Zat::Ptr<FlowSetConfig>> configs;
   std::map<std::string, Zat::Ptr<FlowSetStatus>> statuses;
   for (int step = 0; step < 3000; ++step) {
      SCOPED_TRACE(step);
      std::string const d = "fw" + std::to_string(rng() % 3), r = "r" + std::to_string(rng() % 3);
      switch (rng() % 4) {
         case 0:
            configs.emplace(d, net->addFlowSetConfig(DeviceKey(d), r));
            requestors[d].insert(r);
            break;
         case 1:
            net->removeFlowSetConfig(DeviceKey(d), r);
            if (requestors[d].erase(r) && requestors[d].empty()) configs.erase(d);
            break;
         case 2:
            statuses.emplace(d, net->addFlowSetStatus(DeviceKey(d)));
            break;
         default:
            net->removeFlowSetStatus(DeviceKey(d));
            statuses.erase(d);
      }
      std::map<std::string, Zat::Ptr<FlowSetConfig>> realConfigs;
      std::map<std::string, Zat::Ptr<FlowSetStatus>> realStatuses;
      for (auto const& set : net->perDeviceFlowSetCollection()) {
         std::string const name = set->deviceKey().value().str();
         ASSERT_TRUE(set->config() || set->status()) << name;
         if (set->config()) realConfigs[name] = set->config();
         if (set->status()) realStatuses[name] = set->status();
         EXPECT_EQ(net->getFlowSetStatus(set->deviceKey()), set->status());
         if (set->config()) {
            std::set<std::string> held;
            for (auto const& n : set->config()->requestorCollection()) held.insert(n.str());
            EXPECT_EQ(held, requestors[name]);
         }
      }
      ASSERT_EQ(realConfigs, configs);
      ASSERT_EQ(realStatuses, statuses);
   }
   for (auto const& [d, status] : statuses) EXPECT_EQ(status->netVrfName(), Zat::String("blue")) << d;
}
