// Every requestor-counted level below the root against a plain model: long random sequences of adds and
// removes by several requestors (absent keys and requestors included; groups that take their VNI sets
// with them), checked after every step.
#include <gtest/gtest.h>

#include <map>
#include <random>
#include <set>
#include <string>

#include "Vel/VelL3V2LocalTypes.h"

using namespace VelL3V2;
using Names = std::set<std::string>;

namespace {

struct VniM {
   Names requestors;
   std::map<std::string, std::pair<bool, bool>> hosts;  // host -> (config, status)
};
struct GroupM {
   Names requestors;
   std::map<std::uint32_t, VniM> vnis;
   std::map<std::string, Names> requests;  // requestor -> VNI texts
};
struct HostWorld {
   std::map<std::string, GroupM> groups;
   std::map<std::string, Names> requests;  // requestor -> group names
};
struct DeviceM {
   Names requestors;
   Zat::Ptr<FlowSetConfig> config;
   Zat::Ptr<FlowSetStatus> status;
};

template <class Coll>
Names keysOf(Coll const& c) {
   Names out;
   for (auto const& k : c) out.insert(k.str());
   return out;
}

// Invariants 2 and 3 of a level's request sets: one entry per requestor that still holds a key, with
// exactly the keys it holds.
void expectRequests(std::size_t size, auto find, std::map<std::string, Names> const& model,
                    std::string const& at) {
   ASSERT_EQ(size, model.size()) << at;
   for (auto const& [name, keys] : model) {
      Zat::Ptr<RequestSet> set = find(Zat::String(name));
      ASSERT_TRUE(set) << at << " request set " << name;
      EXPECT_EQ(keysOf(set->requestCollection()), keys) << at;
   }
}

void expectHosts(PerNetVrfHostSet const& net, HostWorld const& m, std::string const& at) {
   expectRequests(
       net.groupRequestSetSize(), [&](auto k) { return net.groupRequestSet(k); }, m.requests, at);
   ASSERT_EQ(net.perGroupHostSetSize(), m.groups.size()) << at;
   for (auto const& [g, gm] : m.groups) {
      Zat::Ptr<PerGroupHostSet> group = net.perGroupHostSet(VelL3::V2::GroupName(g));
      ASSERT_TRUE(group) << at << " group " << g;
      EXPECT_EQ(keysOf(group->requestorCollection()), gm.requestors) << at;
      expectRequests(
          group->vniRequestSetSize(), [&](auto k) { return group->vniRequestSet(k); }, gm.requests, at);
      ASSERT_EQ(group->perVniHostSetSize(), gm.vnis.size()) << at;
      for (auto const& [v, vm] : gm.vnis) {
         Zat::Ptr<PerVniHostSet> vni = group->perVniHostSet(v);
         ASSERT_TRUE(vni) << at << " vni " << v;
         EXPECT_EQ(keysOf(vni->requestorCollection()), vm.requestors) << at;
         std::map<std::string, Names> parts;
         ASSERT_EQ(vni->hostSize(), vm.hosts.size()) << at;
         for (auto const& [h, p] : vm.hosts) {
            Zat::Ptr<Host> host = vni->host(VelL3::V2::MemberKey(h));
            ASSERT_TRUE(host) << at << " host " << h;
            EXPECT_EQ(bool(host->config()), p.first) << at;
            EXPECT_EQ(bool(host->status()), p.second) << at;
            if (p.first) parts["configRequestor"].insert(h);
            if (p.second) parts["statusRequestor"].insert(h);
         }
         expectRequests(
             vni->hostRequestSetSize(), [&](auto k) { return vni->hostRequestSet(k); }, parts, at);
         EXPECT_EQ(vni->hasHostStatuss(), parts.count("statusRequestor") == 1) << at;
      }
   }
}

void expectFlows(PerNetVrfFlowSet const& net, std::map<std::string, DeviceM> const& m,
                 std::string const& at) {
   ASSERT_EQ(net.perDeviceFlowSetSize(), m.size()) << at;
   for (auto const& [d, dm] : m) {
      Zat::Ptr<PerDeviceFlowSet> set = net.perDeviceFlowSet(DeviceKey(d));
      ASSERT_TRUE(set) << at << " device " << d;
      EXPECT_EQ(set->config(), dm.config) << at;
      EXPECT_EQ(set->status(), dm.status) << at;
      if (dm.config) {
         EXPECT_EQ(keysOf(dm.config->requestorCollection()), dm.requestors) << at;
      }
      EXPECT_EQ(net.getFlowSetStatus(DeviceKey(d)), dm.status) << at;
   }
}

}  // namespace

TEST(RequestorModel, HostLevelsMatchTheModel) {
   std::mt19937 rng(7201);
   std::vector<std::string> const keys = {"a", "b", "c"}, requestors = {"r1", "r2", "r3"};
   auto pick = [&](auto const& v) { return v[rng() % v.size()]; };
   for (int round = 0; round < 10; ++round) {
      auto net = PerNetVrfHostSet::PerNetVrfHostSetIs("blue");
      HostWorld m;
      for (int step = 0; step < 400; ++step) {
         std::string const g = pick(keys), r = pick(requestors), h = pick(keys);
         std::uint32_t const v = 10 + rng() % 3;
         std::string const vt = std::to_string(v), at = std::to_string(round) + "/" + std::to_string(step);
         VelL3::V2::GroupName const gn(g);
         Zat::Ptr<PerGroupHostSet> group = net->perGroupHostSet(gn);
         Zat::Ptr<PerVniHostSet> vni = group ? group->perVniHostSet(v) : nullptr;
         auto dropKey = [&r](std::map<std::string, Names>& reqs, std::string const& k) {
            if (reqs.count(r) && reqs[r].erase(k) && reqs[r].empty()) reqs.erase(r);
         };
         switch (rng() % 8) {
            case 0: {
               Zat::Ptr<PerGroupHostSet> added = net->addPerGroupHostSet(gn, r);
               EXPECT_EQ(added, net->perGroupHostSet(gn)) << at;
               m.groups[g].requestors.insert(r);
               m.requests[r].insert(g);
               break;
            }
            case 1:
               net->removePerGroupHostSet(gn, r);
               if (m.groups.count(g) && m.groups[g].requestors.erase(r) && m.groups[g].requestors.empty())
                  m.groups.erase(g);
               dropKey(m.requests, g);
               break;
            case 2:
               if (!group) break;
               EXPECT_EQ(group->addPerVniHostSet(v, r)->vni(), Ipkit::Vni(v)) << at;
               m.groups[g].vnis[v].requestors.insert(r);
               m.groups[g].requests[r].insert(vt);
               break;
            case 3:
               if (!group) break;
               group->removePerVniHostSet(v, r);
               if (auto& vs = m.groups[g].vnis;
                   vs.count(v) && vs[v].requestors.erase(r) && vs[v].requestors.empty())
                  vs.erase(v);
               dropKey(m.groups[g].requests, vt);
               break;
            default: {
               if (!vni) break;
               auto& hosts = m.groups[g].vnis[v].hosts;
               bool const status = rng() % 2, add = rng() % 2;
               VelL3::V2::MemberKey const hk(h);
               if (add && status) {
                  Zat::Ptr<HostStatus> added = vni->addHostStatus("blue", gn, hk);
                  EXPECT_EQ(added, vni->getHostStatus(hk)) << at;
               } else if (add) {
                  Zat::Ptr<HostConfig> added = vni->addHostConfig(hk);
                  EXPECT_EQ(added, vni->host(hk)->config()) << at;
               } else if (status)
                  vni->removeHostStatus(hk);
               else
                  vni->removeHostConfig(hk);
               (status ? hosts[h].second : hosts[h].first) = add;
               if (hosts[h] == std::pair(false, false)) hosts.erase(h);
            }
         }
         expectHosts(*net, m, at);
         if (HasFatalFailure()) return;
      }
   }
}

TEST(RequestorModel, DeviceFlowSetsMatchTheModel) {
   std::mt19937 rng(8101);
   std::vector<std::string> const devices = {"fw1", "fw2", "fw3"}, requestors = {"r1", "r2", "r3"};
   auto pick = [&](auto const& v) { return v[rng() % v.size()]; };
   auto net = PerNetVrfFlowSet::PerNetVrfFlowSetIs("blue");
   std::map<std::string, DeviceM> m;
   for (int step = 0; step < 3000; ++step) {
      std::string const d = pick(devices), r = pick(requestors), at = std::to_string(step);
      DeviceKey const key(d);
      switch (rng() % 4) {
         case 0: {
            Zat::Ptr<FlowSetConfig> config = net->addFlowSetConfig(key, r);
            if (!m[d].config) m[d].config = config;
            m[d].requestors.insert(r);
            break;
         }
         case 1:
            net->removeFlowSetConfig(key, r);
            if (m.count(d) && m[d].requestors.erase(r) && m[d].requestors.empty()) m[d].config = nullptr;
            break;
         case 2: {
            Zat::Ptr<FlowSetStatus> status = net->addFlowSetStatus(key);
            EXPECT_EQ(status->netVrfName(), Zat::String("blue")) << at;
            if (!m[d].status) m[d].status = status;
            break;
         }
         default:
            net->removeFlowSetStatus(key);
            if (m.count(d)) m[d].status = nullptr;
      }
      if (m.count(d) && !m[d].config && !m[d].status) m.erase(d);
      expectFlows(*net, m, at);
      if (HasFatalFailure()) return;
   }
}
