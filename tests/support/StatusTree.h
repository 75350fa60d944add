// The directories in which switches publish their results, for status tests: host and flow directories
// set on the process-wide second-generation root (dropped again at the end), a network VRF status, and
// the per-switch entities below them, made on first use; and one object of each kind whose status folds
// the switches' results.
#pragma once

#include "Platform/VelL3Platform.h"
#include "Vel/VelL3V2LocalTypes.h"

namespace testing_status {

namespace V2 = VelL3::V2;

// Switch n: 00:1c:73:00:00:n.
inline Ipkit::SystemId sw(unsigned n) {
   return Ipkit::SystemId(Ipkit::EthAddr::Bytes{0, 0x1c, 0x73, 0, 0, std::uint8_t(n)});
}
inline V2::KroTimestamp stamp(std::uint64_t gen, double time) {
   return {V2::KroGenId(0, gen), time};
}

// The objects, all in the network VRF "red": the flow "f" of device "fw1", that device's flow set, and the
// host "h" of group "web" on VNI 5.
enum Kind { flow, flowSet, host };
inline VelL3V2::DeviceKey const fw("fw1");
inline V2::GroupName const web("web");
inline V2::FlowKey const flowKey("f");
inline V2::MemberKey const hostKey("h");
inline Ipkit::Vni const hostVni(5);

struct StatusTree {
   Zat::Ptr<VelL3V2::LocalData> root = Zat::Entity::singleton<VelL3V2::LocalData>();
   Zat::Ptr<Zat::Dir> hosts{new Zat::Dir("hosts")}, flows{new Zat::Dir("flows")};
   Zat::Ptr<VelL3::NetworkVrfStatus> netVrf = VelL3::NetworkVrfStatus::NetworkVrfStatusIs("red");

   StatusTree() { root->globalGroupSetStatusDirIs(hosts), root->globalFragmentStatusDirIs(flows); }
   ~StatusTree() { Zat::Entity::singletonDel(VelL3V2::LocalData::fullName()); }

   void switches(std::initializer_list<unsigned> ns) {
      for (unsigned n : ns) netVrf->switchVrfIs(sw(n));
   }
   Zat::Ptr<V2::MemberStatus> member(unsigned n, V2::GroupName const& g, Ipkit::Vni vni,
                                     V2::MemberKey const& h) {
      return entry(*hosts, n, &V2::GroupSetStatus::GroupSetStatusIs)
          ->groupIs(g)
          ->memberSetIs(vni)
          ->memberIs(h);
   }
   Zat::Ptr<V2::FlowSourceStatus> source(unsigned n, VelL3V2::DeviceKey const& device) {
      return entry(*flows, n, &V2::FragmentStatus::FragmentStatusIs)->flowSourceIs(device.value());
   }
   Zat::Ptr<Zat::Dir> switchDir(Zat::Dir& top, unsigned n) {
      Zat::String const name = sw(n).stringValue();
      if (!top.entityPtr(name)) top.entryIs(name, Zat::Ptr<Zat::Entity>(new Zat::Dir(name)));
      return Zat::Ptr<Zat::Dir>(static_cast<Zat::Dir*>(top.entityPtr(name).get()));
   }
   Zat::Dir& top(Kind k) { return k == host ? *hosts : *flows; }
   static Zat::Ptr<VelL3V2::StatusBase> status(Kind k) {
      if (k == host) return VelL3V2::HostStatus::HostStatusIs("red", web, hostVni, hostKey);
      if (k == flowSet) return VelL3V2::FlowSetStatus::FlowSetStatusIs("red", fw);
      return VelL3V2::FlowStatus::FlowStatusIs("red", fw, flowKey);
   }
   // Takes switch n's result for kind k's object out of the entity above it (made when missing).
   void withdraw(Kind k, unsigned n) {
      if (k == host)
         entry(*hosts, n, &V2::GroupSetStatus::GroupSetStatusIs)
             ->groupIs(web)
             ->memberSetIs(hostVni)
             ->memberDel(hostKey);
      else if (k == flowSet)
         entry(*flows, n, &V2::FragmentStatus::FragmentStatusIs)->flowSourceDel(fw.value());
      else
         source(n, fw)->flowDel(flowKey);
   }
   // The network VRF's entry in switch n's directory, made by `make` when missing.
   template <class T>
   Zat::Ptr<T> entry(Zat::Dir& top, unsigned n, Zat::Ptr<T> (*make)(Zat::String const&)) {
      Zat::Ptr<Zat::Dir> dir = switchDir(top, n);
      if (!dir->entityPtr(netVrf->name())) dir->entryIs(netVrf->name(), make(netVrf->name()));
      return Zat::Ptr<T>(static_cast<T*>(dir->entityPtr(netVrf->name()).get()));
   }
};

}  // namespace testing_status
