// The host set hierarchy: network VRF, group and VNI levels held for named requestors, and the hosts of a
// VNI with their configuration and status parts.
//
// The group and VNI levels are requestor-counted collections (Zat::Requestors over the bindings the
// compiler writes for them). The hosts are not: a host lives while it has a part, and its parts are
// counted in the VNI set's request sets under two fixed requestor names, so that "does any host have a
// status part" is one lookup rather than a walk of every host.
#include "Vel/VelL3V2LocalTypes.h"

namespace VelL3V2 {

namespace {

using VelL3::V2::GroupName;
using VelL3::V2::MemberKey;

// The request-set steps of the host parts: the hosts' own life is decided by their parts, so only the
// request sets of this binding are used.
struct HostRequests {
   using Owner = PerVniHostSet;
   using Key = MemberKey;
   using Child = Host;
   using Name = Zat::String;
   static constexpr bool hasRequestSets = true;
   static Zat::Ptr<RequestSet> requestSet(Owner const& o, Zat::String const& r) {
      return o.hostRequestSet(r);
   }
   static Zat::Ptr<RequestSet> requestSetIs(Owner& o, Zat::String const& r) { return o.hostRequestSetIs(r); }
   static void requestSetDel(Owner& o, Zat::String const& r) { o.hostRequestSetDel(r); }
};

using Hosts = Zat::Requestors<HostRequests>;
using VniSets = Zat::Requestors<PerGroupHostSet::PerVniHostSetRequests>;
using GroupSets = Zat::Requestors<PerNetVrfHostSet::PerGroupHostSetRequests>;

void traceRemoval(Zat::Released const& released, char const* childLine) {
   if (released.child) ZAT_TWINTRACE(velL3V2Trace, 6, childLine);
   if (released.requestSet) ZAT_TWINTRACE(velL3V2Trace, 6, " Removing requestSet");
}

}  // namespace

// ---- PerNetVrfHostSet ----

Zat::Ptr<PerGroupHostSet> PerNetVrfHostSet::addPerGroupHostSet(GroupName const& groupName,
                                                               Zat::String const& requestor) {
   ZAT_TRACE(
       velL3V2Trace, 8,
       "PerNetVrfHostSet::addPerGroupHostSet Group: " << groupName.view() << " Requestor: " << requestor);
   Zat::Ptr<PerGroupHostSet> out = GroupSets::add(*this, groupName, requestor);
   ZAT_TRACE(velL3V2Trace, 7, " return");
   return out;
}

void PerNetVrfHostSet::removePerGroupHostSet(GroupName const& groupName, Zat::String const& requestor) {
   ZAT_TRACE(
       velL3V2Trace, 8,
       "PerNetVrfHostSet::removePerGroupHostSet Group: " << groupName.view() << " Requestor: " << requestor);
   traceRemoval(GroupSets::remove(*this, groupName, requestor), " Removing PerGroupHostSet");
   ZAT_TRACE(velL3V2Trace, 7, " return");
}

bool PerNetVrfHostSet::hasPerGroupHostSets(Zat::String const& requestor) const {
   ZAT_TRACE(velL3V2Trace, 8, "PerNetVrfHostSet::hasPerGroupHostSets Requestor: " << requestor);
   bool const out = GroupSets::has(*this, requestor);
   ZAT_TRACE(velL3V2Trace, 7, " return " << out);
   return out;
}

// ---- PerGroupHostSet ----

Zat::Ptr<PerVniHostSet> PerGroupHostSet::addPerVniHostSet(Ipkit::Vni vni, Zat::String const& requestor) {
   ZAT_TRACE(velL3V2Trace, 8,
             "PerGroupHostSet::addPerVniHostSet VNI: " << vni.value() << " Requestor: " << requestor);
   Zat::Ptr<PerVniHostSet> out = VniSets::add(*this, vni, requestor);
   ZAT_TRACE(velL3V2Trace, 7, " return");
   return out;
}

void PerGroupHostSet::removePerVniHostSet(Ipkit::Vni vni, Zat::String const& requestor) {
   ZAT_TRACE(velL3V2Trace, 8,
             "PerGroupHostSet::removePerVniHostSet VNI: " << vni.value() << " Requestor: " << requestor);
   traceRemoval(VniSets::remove(*this, vni, requestor), " Removing PerVniHostSet");
   ZAT_TRACE(velL3V2Trace, 7, " return");
}

bool PerGroupHostSet::hasPerVniHostSets(Zat::String const& requestor) const {
   ZAT_TRACE(velL3V2Trace, 8, "PerGroupHostSet::hasPerVniHostSets Requestor: " << requestor);
   bool const out = VniSets::has(*this, requestor);
   ZAT_TRACE(velL3V2Trace, 7, " return " << out);
   return out;
}

// ---- PerVniHostSet ----

void PerVniHostSet::addRequestSet(MemberKey const& hostKey, Zat::String const& requestorName) {
   Hosts::request(*this, Zat::requestText(hostKey), requestorName);
}

void PerVniHostSet::removeRequestSet(MemberKey const& hostKey, Zat::String const& requestorName) {
   if (Hosts::releaseRequest(*this, Zat::requestText(hostKey), requestorName))
      ZAT_TWINTRACE(velL3V2Trace, 6, " Removing requestSet");
}

Zat::Ptr<HostConfig> PerVniHostSet::addHostConfig(MemberKey const& hostKey) {
   ZAT_TRACE(velL3V2Trace, 8, "PerVniHostSet::addHostConfig Host: " << hostKey.value());
   Zat::Ptr<Host> host = hostIs(hostKey);
   addRequestSet(hostKey, configRequestor());
   Zat::Ptr<HostConfig> out = host->configIs();
   ZAT_TRACE(velL3V2Trace, 7, " return");
   return out;
}

Zat::Ptr<HostStatus> PerVniHostSet::addHostStatus(Zat::String const& netVrfName, GroupName const& groupName,
                                                  MemberKey const& hostKey) {
   ZAT_TRACE(velL3V2Trace, 8,
             "PerVniHostSet::addHostStatus Net VRF: " << netVrfName << " Group: " << groupName.view()
                                                      << " Host: " << hostKey.value());
   Zat::Ptr<Host> host = hostIs(hostKey);
   addRequestSet(hostKey, statusRequestor());
   Zat::Ptr<HostStatus> out = host->statusIs(netVrfName, groupName, vni_, hostKey);
   ZAT_TRACE(velL3V2Trace, 7, " return");
   return out;
}

// A host goes with its last part; the part's request entry goes whether or not there was a host, so that
// a request set never lists a key that has no part.
void PerVniHostSet::removeHostConfig(MemberKey const& hostKey) {
   ZAT_TRACE(velL3V2Trace, 8, "PerVniHostSet::removeHostConfig Host: " << hostKey.value());
   if (Zat::Ptr<Host> host = this->host(hostKey)) {
      host->configDel();
      if (!host->status()) {
         ZAT_TRACE(velL3V2Trace, 8, " Removing Host");
         hostDel(hostKey);
      }
   }
   removeRequestSet(hostKey, configRequestor());
   ZAT_TRACE(velL3V2Trace, 7, " return");
}

void PerVniHostSet::removeHostStatus(MemberKey const& hostKey) {
   ZAT_TRACE(velL3V2Trace, 8, "PerVniHostSet::removeHostStatus Host: " << hostKey.value());
   if (Zat::Ptr<Host> host = this->host(hostKey)) {
      host->statusDel();
      if (!host->config()) {
         ZAT_TRACE(velL3V2Trace, 8, " Removing Host");
         hostDel(hostKey);
      }
   }
   removeRequestSet(hostKey, statusRequestor());
   ZAT_TRACE(velL3V2Trace, 7, " return");
}

Zat::Ptr<HostStatus> PerVniHostSet::getHostStatus(MemberKey const& hostKey) const {
   ZAT_TRACE(velL3V2Trace, 8, "PerVniHostSet::getHostStatus Host: " << hostKey.value());
   Zat::Ptr<Host> host = this->host(hostKey);
   Zat::Ptr<HostStatus> out = host ? host->status() : nullptr;
   ZAT_TRACE(velL3V2Trace, 7, " return");
   return out;
}

bool PerVniHostSet::hasHostStatuss() const {
   ZAT_TRACE(velL3V2Trace, 8, "PerVniHostSet::hasHostStatuss");
   bool const out = Hosts::has(*this, statusRequestor());
   ZAT_TRACE(velL3V2Trace, 7, " return " << out);
   return out;
}

}  // namespace VelL3V2
