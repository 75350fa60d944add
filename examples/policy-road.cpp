// The road of one firewall policy through the agent's local state, told step by step: the firewall's
// routes, the priorities of its redirect rules, the host and flow sets its requestors ask for, the
// switches' results folded into one status per object, and the event-log message at the end.
//
//   policy-road [DATA_DIR]
//
// DATA_DIR holds bgp-ipv4.txt.gz and bgp-ipv6.txt.gz (by default the build's data directory); the first
// few thousand routes of each make the firewall's table. Without them a small built-in table serves.
// Exit status: 0, or 1 with one line on standard error when something fails.
#include <algorithm>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "Platform/VelL3Platform.h"
#include "Platform/VelL3V2Platform.h"
#include "RouteFile.h"
#include "Vel/VelL3V2/RouteIteratorConst.h"
#include "Vel/VelL3V2LocalTypes.h"
#include "Zat/Log.h"

using namespace VelL3V2;
namespace V2 = VelL3::V2;
using Ipkit::IpGenAddr;
using Ipkit::IpGenPrefix;

namespace {

// The policy's cast: one firewall, serving tenant-a, steering traffic of network VRF "red" from the web
// servers to the database servers.
Zat::String const netVrfName = "red";
DeviceKey const firewall(DeviceKey::encode("tenant-a", "fw1"));
Zat::String const policyName = "web-to-db";
V2::GroupName const webGroup("web"), dbGroup("db");
Ipkit::Vni const webVni(5001), dbVni(5002);

struct Switch {
   char const* name;
   Ipkit::SystemId id;
};
std::vector<Switch> const switches = {{"leaf1", Ipkit::SystemId("00:1c:73:00:00:01")},
                                      {"leaf2", Ipkit::SystemId("00:1c:73:00:00:02")},
                                      {"leaf3", Ipkit::SystemId("00:1c:73:00:00:03")},
                                      {"leaf4", Ipkit::SystemId("00:1c:73:00:00:04")}};

// How many routes of each real table the firewall reports: enough to make the summary worth having,
// few enough to read in a moment.
constexpr std::size_t ipv4Slice = 4000, ipv6Slice = 1000;

void step(int n, char const* title, char const* why) {
   std::cout << "\n" << n << ". " << title << "\n   " << why << "\n\n";
}

std::ostream& line() {
   return std::cout << "   ";
}

char const* switchName(Ipkit::SystemId const& id) {
   for (Switch const& s : switches) {
      if (s.id == id) return s.name;
   }
   return "?";
}

// A set's elements in ascending order, space separated.
template <class Set, class Text>
std::string sorted(Set const& set, Text text) {
   std::vector<std::string> items;
   for (auto const& e : set) items.push_back(text(e));
   std::sort(items.begin(), items.end());
   std::string out;
   for (std::string const& s : items) out += (out.empty() ? "" : " ") + s;
   return out.empty() ? "(none)" : out;
}
template <class Entity>
std::string requestorsOf(Entity const& e) {
   return sorted(e.requestorCollection(), [](Zat::String const& s) { return s.str(); });
}
std::string pendingOf(StatusBase const& st) {
   return sorted(st.pendingSwitchCollection(), [](Ipkit::SystemId const& id) { return switchName(id); });
}

// ---- 1. routes ----

std::size_t readSlice(RouteTable& table, std::filesystem::path const& file, std::size_t count) {
   routefile::RouteFile in(file.string());
   IpGenPrefix destination;
   IpGenAddr via;
   std::size_t n = 0;
   while (n < count && in.next(destination, via)) table.addRoute(Route(destination, via)), ++n;
   return n;
}

// A handful of routes for when the real tables are not at hand: nested IPv4 prefixes and two IPv6 ones.
void builtInRoutes(RouteTable& table) {
   for (auto [destination, via] :
        std::initializer_list<std::pair<char const*, char const*>>{{"10.0.0.0/8", "192.0.2.1"},
                                                                   {"10.1.0.0/16", "192.0.2.2"},
                                                                   {"10.1.2.0/24", "192.0.2.2"},
                                                                   {"172.16.0.0/12", "192.0.2.3"},
                                                                   {"172.16.5.0/24", "192.0.2.4"},
                                                                   {"192.168.0.0/16", "192.0.2.5"},
                                                                   {"198.51.100.0/24", "192.0.2.6"},
                                                                   {"2001:db8::/32", "2001:db8::1"},
                                                                   {"2001:db8:1::/48", "2001:db8::2"}}) {
      table.addRoute(Route(IpGenPrefix(destination), IpGenAddr(via)));
   }
}

Zat::Ptr<PerDeviceNetVrfRouteTable> recordRoutes(LocalData& root, std::filesystem::path const& dataDir) {
   step(1, "The firewall's routes",
        "Redirected traffic must leave the firewall towards the right next hop, so the agent keeps the\n"
        "   firewall's routing table and a summary of it: the fewest routes that still cover every\n"
        "   destination.");
   DeviceNetVrfKey const key(firewall, netVrfName);
   Zat::Ptr<PerDeviceNetVrfRouteTable> holder = root.perDeviceNetVrfRouteTableIs(key);
   Zat::Ptr<RouteTable> table = holder->tableIs("main");
   std::filesystem::path const v4 = dataDir / "bgp-ipv4.txt.gz", v6 = dataDir / "bgp-ipv6.txt.gz";
   IpGenPrefix covered, uncovered("203.0.113.7/32");
   if (std::filesystem::exists(v4) && std::filesystem::exists(v6)) {
      std::size_t const n4 = readSlice(*table, v4, ipv4Slice), n6 = readSlice(*table, v6, ipv6Slice);
      line() << "read the first " << n4 << " routes of " << v4.string() << "\n";
      line() << "and the first " << n6 << " routes of " << v6.string() << "\n";
      covered = IpGenPrefix("1.0.4.1/32");
   } else {
      builtInRoutes(*table);
      line() << "no routing tables in " << dataDir.string() << ": a built-in table of " << table->routeSize()
             << " routes\n";
      covered = IpGenPrefix("10.1.2.3/32");
   }
   // Routes come and go between two rebuilds; the summary follows only when asked to.
   Route const withdrawn = table->routeIter().key();
   table->delRoute(withdrawn);
   line() << "the firewall withdraws " << withdrawn.stringValue() << "\n";
   table->recomputeSummaryRoutes();
   holder->timestampIs(1.0);

   line() << "table '" << table->name() << "' of " << valueToStrep(key) << "\n";
   line() << "  " << table->routeSize() << " routes, " << table->summaryRouteSize() << " summary routes\n";
   std::vector<Route> summary;
   for (auto c = holder->getSummaryRoutes(); c; ++c) summary.push_back(c.key());
   std::sort(summary.begin(), summary.end());
   line() << "  the first summary routes in route order:\n";
   for (std::size_t i = 0; i < summary.size() && i < 4; ++i)
      line() << "    " << summary[i].stringValue() << "\n";
   line() << "a lookup answers with the first route, in route order, that covers the address:\n";
   line() << "  next hop of " << covered.stringValue() << ": " << valueToStrep(holder->lookup(covered))
          << "\n";
   line() << "  next hop of " << uncovered.stringValue() << ": " << valueToStrep(holder->lookup(uncovered))
          << " (no route covers it)\n";

   Route const defaultRoute(IpGenPrefix("0.0.0.0/0"), IpGenAddr("192.0.2.254"));
   table->addRoute(defaultRoute);
   table->recomputeSummaryRoutes();
   line() << "the firewall adds a default route; it never enters the summary (" << table->summaryRouteSize()
          << " summary routes)\n";
   line() << "  getDefaultRoute: " << holder->getDefaultRoute().stringValue() << "\n";
   line() << "  next hop of " << uncovered.stringValue() << ": " << valueToStrep(holder->lookup(uncovered))
          << "\n";
   return holder;
}

// ---- 2. priorities ----

struct Priorities {
   V2::FlowOrder web;  // the group redirect of the web servers' subnet
   V2::FlowOrder out;  // the northbound redirect of what leaves the fabric
};

Priorities takePriorities(LocalData const& root) {
   step(2, "Redirect priorities",
        "A switch matches the highest-priority rule first. Group redirects sit above the southbound and\n"
        "   bypass rules, northbound redirects below them, and within a band a longer prefix wins.");
   struct Rule {
      RedirectPolicyType type;
      char const* prefix;
   };
   for (Rule r : {Rule{RedirectPolicyType::groupRedirect, "10.1.0.0/24"},
                  Rule{RedirectPolicyType::groupRedirect, "2001:db8:1::/64"},
                  Rule{RedirectPolicyType::groupSouthbound, "0.0.0.0/0"},
                  Rule{RedirectPolicyType::velDomainBypass, "0.0.0.0/0"},
                  Rule{RedirectPolicyType::northboundRedirect, "198.51.100.0/24"}}) {
      line() << "getPriority(" << valueToStrep(r.type) << ", " << r.prefix
             << ") = " << root.getPriority(r.type, IpGenPrefix(r.prefix)) << "\n";
   }
   // A redirect band needs a subnet: the default prefix is the caller's mistake.
   try {
      root.getPriority(RedirectPolicyType::groupRedirect, IpGenPrefix("0.0.0.0/0"));
   } catch (Zat::PreconditionException const& e) {
      line() << "getPriority('groupRedirect', 0.0.0.0/0) is refused: " << e.what() << "\n";
   }
   Priorities p{
       V2::FlowOrder(root.redirectPreference(),
                     root.getPriority(RedirectPolicyType::groupRedirect, IpGenPrefix("10.1.0.0/24"))),
       V2::FlowOrder(root.redirectPreference(), root.getPriority(RedirectPolicyType::northboundRedirect,
                                                                 IpGenPrefix("198.51.100.0/24")))};
   line() << "the flows' orders, and the bands they fall in:\n";
   for (V2::FlowOrder const& o : {p.web, p.out, V2::FlowOrder(root.verbatimPreference(), p.web.priority())}) {
      line() << " " << o.stringValue() << ": redirect " << root.isRedirectFlow(o) << ", group band "
             << root.isGroupRedirectFlow(o) << ", northbound band " << root.isNorthboundRedirectFlow(o)
             << "\n";
   }
   return p;
}

// ---- 3. host sets and flow sets ----

void showHostSets(PerNetVrfHostSet const& net) {
   line() << "host sets of " << net.netVrfName() << ", requested by " << requestorsOf(net) << "\n";
   std::vector<Zat::Ptr<PerGroupHostSet>> groups;
   for (auto const& g : net.perGroupHostSetCollection()) groups.push_back(g);
   std::sort(groups.begin(), groups.end(),
             [](auto const& a, auto const& b) { return a->groupName().view() < b->groupName().view(); });
   if (groups.empty()) line() << "  (none)\n";
   for (auto const& g : groups) {
      line() << "  group " << g->groupName().view() << ", requested by " << requestorsOf(*g) << "\n";
      for (auto const& v : g->perVniHostSetCollection()) {
         line() << "    VNI " << v->vni().value() << ", requested by " << requestorsOf(*v) << ": hosts "
                << sorted(v->hostCollection(), [](auto const& h) { return h->hostKey().value().str(); })
                << "\n";
      }
   }
}

void showFlowSets(PerNetVrfFlowSet const& net) {
   line() << "flow sets of " << net.netVrfName() << ", requested by " << requestorsOf(net) << "\n";
   for (auto const& d : net.perDeviceFlowSetCollection()) {
      Zat::Ptr<FlowSetConfig> config = d->config();
      line() << "  device " << d->deviceKey().value() << ", requested by "
             << (config ? requestorsOf(*config) : "(none)") << "\n";
      if (!config) continue;
      std::vector<std::string> flows;
      for (auto const& f : config->flowCollection()) flows.push_back(f->stringValue().str());
      std::sort(flows.begin(), flows.end());
      for (std::string const& f : flows) line() << "   " << f << "\n";
   }
}

struct Sets {
   Zat::Ptr<PerNetVrfHostSet> hosts;
   Zat::Ptr<PerNetVrfFlowSet> flows;
   std::vector<V2::FlowKey> flowKeys;
   std::vector<V2::FlowOrder> flowOrders;
   std::vector<V2::MemberKey> webHosts;
};

Sets enterSets(LocalData& root, Priorities const& p) {
   step(3, "Host sets and flow sets, by two requestors",
        "Several parts of the agent ask for the same sets. A set is made by the first request that names\n"
        "   it and lives while any requestor still holds it; the last release takes it and all below it.");
   Sets s;
   Zat::String const creator = LocalData::groupCreatorRequestor();
   Zat::String const reader = LocalData::groupStatusReaderRequestor();
   Zat::String const flowCreator = LocalData::verbatimFlowCreatorRequestor();
   Zat::String const statusReader = LocalData::flowStatusReaderRequestorBase() + firewall.getDeviceName();

   // The group creator asks for the network VRF, both groups and their hosts; the status reader only for
   // the web group. A host's configuration names the devices it is configured for.
   s.webHosts = {V2::MemberKey("10.1.0.11"), V2::MemberKey("10.1.0.12")};
   DeviceKeySet origin;
   origin.deviceKeyIs(firewall);
   for (Zat::String const& r : {creator, reader}) {
      root.addNetworkVrf(netVrfName, r);
      s.hosts = root.addPerNetVrfHostSet(netVrfName, r);
      Zat::Ptr<PerVniHostSet> web = s.hosts->addPerGroupHostSet(webGroup, r)->addPerVniHostSet(webVni, r);
      for (V2::MemberKey const& h : s.webHosts) web->addHostConfig(h)->originIs(origin);
   }
   Zat::Ptr<PerVniHostSet> db =
       s.hosts->addPerGroupHostSet(dbGroup, creator)->addPerVniHostSet(dbVni, creator);
   db->addHostConfig(V2::MemberKey("10.2.0.21"));

   // The flows of the policy: web to db through the firewall, and the way out of the fabric.
   for (Zat::String const& r : {flowCreator, statusReader}) {
      s.flows = root.addPerNetVrfFlowSet(netVrfName, r);
      s.flows->addFlowSetConfig(firewall, r);
   }
   Zat::Ptr<FlowSetConfig> config = s.flows->perDeviceFlowSet(firewall)->config();
   s.flowKeys = {V2::FlowKey(policyName + "/1"), V2::FlowKey(policyName + "/2")};
   s.flowOrders = {p.web, p.out};
   for (std::size_t i = 0; i < s.flowKeys.size(); ++i) {
      Zat::Ptr<FlowConfig> flow = config->flowIs(s.flowKeys[i]);
      flow->orderIs(s.flowOrders[i]);
      flow->originIs(policyName);
      flow->stateIs(V2::ConfigState::configured);
   }
   showHostSets(*s.hosts);
   showFlowSets(*s.flows);

   std::cout << "\n";
   line() << creator << " and " << flowCreator << " let go of what they asked for, bottom up:\n";
   for (auto [group, vni] : {std::pair{webGroup, webVni}, std::pair{dbGroup, dbVni}}) {
      Zat::Ptr<PerGroupHostSet> g = s.hosts->perGroupHostSet(group);
      g->removePerVniHostSet(vni, creator);
      s.hosts->removePerGroupHostSet(group, creator);
   }
   root.removePerNetVrfHostSet(netVrfName, creator);
   root.removeNetworkVrf(netVrfName, creator);
   s.flows->removeFlowSetConfig(firewall, flowCreator);
   root.removePerNetVrfFlowSet(netVrfName, flowCreator);
   line() << "the db group had no other requestor and is gone; the web group and the flows stay\n";
   showHostSets(*s.hosts);
   showFlowSets(*s.flows);
   return s;
}

// ---- 4. switch results ----

struct Published {
   Zat::Ptr<Zat::Dir> hosts{new Zat::Dir("hosts")}, flows{new Zat::Dir("flows")};

   // The network VRF's entry in a switch's directory (one directory per switch, named by its id), made
   // by `make` on first use.
   template <class T>
   static Zat::Ptr<T> entry(Zat::Dir& top, Switch const& sw, Zat::Ptr<T> (*make)(Zat::String const&)) {
      Zat::String const dirName = sw.id.stringValue();
      if (!top.entityPtr(dirName)) top.entryIs(dirName, Zat::Ptr<Zat::Entity>(new Zat::Dir(dirName)));
      auto* dir = static_cast<Zat::Dir*>(top.entityPtr(dirName).get());
      if (!dir->entityPtr(netVrfName)) dir->entryIs(netVrfName, make(netVrfName));
      return Zat::Ptr<T>(static_cast<T*>(dir->entityPtr(netVrfName).get()));
   }

   // What one switch says about the firewall's flows and the web hosts.
   void report(Switch const& sw, Sets const& s, V2::HardwareState state, V2::KroTimestamp const& stamp,
               Zat::String const& message = "") {
      Zat::Ptr<V2::FlowSourceStatus> source =
          entry(*flows, sw, &V2::FragmentStatus::FragmentStatusIs)->flowSourceIs(firewall.value());
      source->stateIs(state), source->kroTimestampIs(stamp);
      for (std::size_t i = 0; i < s.flowKeys.size(); ++i) {
         Zat::Ptr<V2::FlowStatus> f = source->flowIs(s.flowKeys[i]);
         f->orderIs(s.flowOrders[i]), f->stateIs(state), f->messageIs(message);
      }
      Zat::Ptr<V2::MemberSetStatus> members =
          entry(*hosts, sw, &V2::GroupSetStatus::GroupSetStatusIs)->groupIs(webGroup)->memberSetIs(webVni);
      for (V2::MemberKey const& h : s.webHosts) {
         Zat::Ptr<V2::MemberStatus> m = members->memberIs(h);
         m->stateIs(state), m->kroTimestampIs(stamp), m->messageIs(message);
      }
   }
};

struct Statuses {
   Zat::Ptr<VelL3::NetworkVrfStatus> netVrf;
   Zat::Ptr<FlowSetStatus> flowSet;
   std::vector<Zat::Ptr<FlowStatus>> flows;
   std::vector<Zat::Ptr<HostStatus>> hosts;
   V2::KroTimestamp now;  // what the controller's current state was stamped with
};

// One status over every switch of the network VRF: the reference switch is the latest to report the
// current generation, and every switch that disagrees with it stays pending. A flow's results carry no
// time stamp, so its flow set's reference serves for it.
Ipkit::SystemId latestOf(StatusBase const& st, Statuses const& all) {
   return st.getLatestSwitchId(all.netVrf, VelL3Common::SwitchSet());
}

void foldAndShow(Statuses const& all) {
   Ipkit::SystemId const latest = latestOf(*all.flowSet, all);
   all.flowSet->updateAggregateStatus(all.netVrf, latest);
   line() << "flow set of " << firewall.value() << ":" << all.flowSet->stringValue() << "\n";
   line() << "  reference switch " << switchName(latest) << ", pending: " << pendingOf(*all.flowSet) << "\n";
   for (auto const& f : all.flows) {
      f->updateAggregateStatus(all.netVrf, latest);
      line() << "flow" << f->stringValue() << "; pending: " << pendingOf(*f) << "\n";
   }
   for (auto const& h : all.hosts) {
      h->updateAggregateStatus(all.netVrf, latestOf(*h, all));
      line() << "host " << h->hostKey().value() << ":" << h->stringValue() << "; pending: " << pendingOf(*h)
             << "\n";
   }
}

Statuses publishResults(LocalData& root, Published& pub, Sets const& s) {
   step(4, "Switch results",
        "Each switch publishes what it programmed in its own directory. The agent folds the switches'\n"
        "   results into one status per flow set, flow and host: a switch that lags behind or failed\n"
        "   keeps the object pending.");
   root.kroGenIdIs(V2::KroGenId(0x7e1, 42));
   root.globalGroupSetStatusDirIs(pub.hosts);
   root.globalFragmentStatusDirIs(pub.flows);
   Statuses all;
   // The network VRF as the agent keeps it (a switch VRF per switch), and as the switches' status
   // library publishes it, which the fold walks.
   Zat::Ptr<NetworkVrf> vrf = root.networkVrf(netVrfName);
   all.netVrf = VelL3::NetworkVrfStatus::NetworkVrfStatusIs(netVrfName);
   for (Switch const& sw : switches) {
      SwitchVrf v(sw.id.stringValue());
      v.vrfNameIs(netVrfName), v.vniIs(webVni), v.vniIs(dbVni);
      vrf->switchVrfIs(v);
      all.netVrf->switchVrfIs(sw.id);
   }
   line() << "network VRF " << vrf->name() << ", requested by " << requestorsOf(*vrf) << ", "
          << vrf->switchVrfSize() << " switch VRFs\n";
   all.flowSet = s.flows->addFlowSetStatus(firewall);
   for (V2::FlowKey const& k : s.flowKeys) all.flows.push_back(all.flowSet->flowIs(netVrfName, firewall, k));
   Zat::Ptr<PerVniHostSet> web = s.hosts->perGroupHostSet(webGroup)->perVniHostSet(webVni);
   for (V2::MemberKey const& h : s.webHosts) all.hosts.push_back(web->addHostStatus(netVrfName, webGroup, h));

   all.now = root.buildKroTimestamp();
   V2::KroTimestamp const earlier(all.now.genId(), all.now.timestamp() - 30.0);
   pub.report(switches[0], s, V2::HardwareState::success, all.now);
   pub.report(switches[1], s, V2::HardwareState::success, all.now);
   pub.report(switches[2], s, V2::HardwareState::success, earlier);
   pub.report(switches[3], s, V2::HardwareState::error, all.now, "hardware table full");
   line() << "generation " << root.kroGenId().stringValue() << "; what the switches of " << netVrfName
          << " say about host " << s.webHosts[0].value() << ":\n";
   for (Switch const& sw : switches) {
      line() << "  " << sw.name << all.hosts[0]->getSwitchStatus(sw.id).stringValue() << "\n";
   }
   line() << "leaf3 reported before the latest change (stale) and leaf4 failed:\n";
   foldAndShow(all);
   return all;
}

// ---- 5. logging data ----

// Prints the event log on standard output, as the default back end would write it to standard error.
void logToStdout(Zat::LogHandle const& handle, Zat::LogString const&, Zat::String const& text) {
   line() << "event log: " << Zat::logLineText(handle, text, Zat::System::currentTime()) << "\n";
}

void logTheOutcome(Published& pub, Sets const& s, Statuses const& all) {
   step(5, "The logging data",
        "The operator hears once about a policy: when the last of its flows is installed everywhere.\n"
        "   The agent reports each flow with its pending switches, and drops it once none is left.");
   Zat::Ptr<VelLoggingData> logging = velLoggingDataFactory("logging");
   std::vector<Zat::Ptr<VelFlowStatus>> reported;
   for (auto const& f : all.flows) {
      Zat::Ptr<VelFlowStatus> r = velFlowStatusFactory(f->flowKey().value());
      for (Ipkit::SystemId const& id : f->pendingSwitchCollection()) r->pendingSwitchIs(id);
      logging->addFlowStatus(r, policyName, firewall.value(), netVrfName);
      reported.push_back(r);
   }
   Zat::Ptr<VelPolicyLog> policy = logging->policyLogs(VelPolicyId(firewall.value(), netVrfName, policyName));
   line() << "policy " << valueToStrep(policy->policyId()) << "\n";
   for (auto const& r : reported) {
      line() << "  flow " << r->name() << " waits for "
             << sorted(policy->flowStatusLogs(r)->switchIdCollection(),
                       [](Zat::String const& id) { return switchName(Ipkit::SystemId(id)); })
             << "\n";
   }

   std::cout << "\n";
   line() << "leaf3 catches up and leaf4 recovers:\n";
   pub.report(switches[2], s, V2::HardwareState::success, all.now);
   pub.report(switches[3], s, V2::HardwareState::success, all.now);
   foldAndShow(all);

   Zat::LogSink const before = Zat::logSinkIs(logToStdout);
   for (std::size_t i = 0; i < reported.size(); ++i) {
      if (all.flows[i]->pendingSwitchSize() != 0) continue;
      line() << "flow " << reported[i]->name() << " is installed everywhere: removeFlowStatus\n";
      logging->removeFlowStatus(reported[i], policyName, firewall.value(), netVrfName, true);
   }
   Zat::logSinkIs(before);
   line() << "policies still waiting: " << logging->policyLogsSize() << "\n";
}

}  // namespace

int main(int argc, char** argv) {
   if (argc > 2 || (argc == 2 && argv[1][0] == '-')) {
      std::cerr << "usage: " << argv[0] << " [DATA_DIR]\n";
      return 1;
   }
   try {
      std::filesystem::path const dataDir = argc == 2 ? argv[1] : VEL_DATA_DIR;
      std::cout << "The road of one firewall policy\n"
                << "===============================\n"
                << "Policy " << policyName
                << " sends the traffic of the web servers to the database servers\n"
                << "through firewall " << VelLoggingData::decodeDeviceName(firewall.value())
                << " in network VRF " << netVrfName << ". The agent's local state follows it from the\n"
                << "firewall's routes to the message that tells the operator it is in place.\n";
      // Status aggregation finds the root as the process-wide instance.
      Zat::Ptr<LocalData> root = Zat::Entity::singleton<LocalData>();
      recordRoutes(*root, dataDir);
      Priorities const priorities = takePriorities(*root);
      Sets const sets = enterSets(*root, priorities);
      Published pub;
      Statuses const statuses = publishResults(*root, pub, sets);
      logTheOutcome(pub, sets, statuses);
      std::cout << "\nThe same road through the generic interface: velsh examples/policy-road.velsh\n";
      Zat::Entity::singletonDel(LocalData::fullName());
      return 0;
   } catch (std::exception const& e) {
      std::cerr << "policy-road: " << e.what() << "\n";
      return 1;
   }
}
