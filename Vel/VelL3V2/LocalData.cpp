// LocalData: the root of the second-generation local state. Priority bands of redirect rules, the sets
// held per network VRF for named requestors, and the group type requests.
#include "Vel/VelL3V2LocalTypes.h"
#include "Zat/Exception.h"
#include "Zat/System.h"

namespace VelL3V2 {

namespace {

// The root keeps no request sets: each child's own requestor set is all it counts.
using HostSets = Zat::Requestors<LocalData::PerNetVrfHostSetRequests>;
using FlowSets = Zat::Requestors<LocalData::PerNetVrfFlowSetRequests>;
using NetworkVrfs = Zat::Requestors<LocalData::NetworkVrfRequests>;
using GroupTypeRequests = Zat::Requestors<LocalData::GroupTypeRequestRequests>;

void traceRemoval(Zat::Released const& released, char const* childLine) {
   if (released.child) ZAT_TWINTRACE(velL3V2Trace, 6, childLine);
}

}  // namespace

VelL3::V2::KroTimestamp LocalData::buildKroTimestamp() {
   return VelL3::V2::KroTimestamp(kroGenId_, Zat::System::currentTime());
}

// ---- priorities ----

// Only the two banded types have a base; the others are single priorities. Asking for one is a mistake
// of the caller, as is a type beyond the enumeration.
std::uint32_t LocalData::getPriorityBase(RedirectPolicyType type) const {
   switch (type) {
      case RedirectPolicyType::groupRedirect:
         return groupRedirectPriorityBase();
      case RedirectPolicyType::northboundRedirect:
         return northboundRedirectPriorityBase();
      default:
         Zat::throwPreconditionException("Either unsupported type or no base is required");
   }
}

// A banded priority rises with the prefix length up to the band's base at length 128, for either family.
// A default prefix has no place in a band: it would fall below the band into the next one.
std::uint32_t LocalData::getPriority(RedirectPolicyType type, Ipkit::IpGenPrefix const& prefix) const {
   switch (type) {
      case RedirectPolicyType::groupSouthbound:
         return southboundRedirectPriority();
      case RedirectPolicyType::velDomainBypass:
         return velDomainBypassPriority();
      case RedirectPolicyType::groupRedirect:
      case RedirectPolicyType::northboundRedirect:
         if (prefix.length() == 0) Zat::throwPreconditionException("Default subnet should not be present");
         return getPriorityBase(type) + std::uint32_t(prefix.length()) - 128u;
   }
   Zat::throwPreconditionException("Unsupported redirect type");
}

bool LocalData::isRedirectFlow(VelL3::V2::FlowOrder const& order) const {
   return order.preference() == redirectPreference();
}

// The group band and the southbound priority just below it, in one unsigned comparison: a priority below
// the southbound one wraps round to a large difference.
bool LocalData::isGroupRedirectFlow(VelL3::V2::FlowOrder const& order) const {
   return isRedirectFlow(order) && order.priority() - southboundRedirectPriority() <=
                                       groupRedirectPriorityBase() - southboundRedirectPriority();
}

// The northbound band, the bypass priority and anything below them.
bool LocalData::isNorthboundRedirectFlow(VelL3::V2::FlowOrder const& order) const {
   return isRedirectFlow(order) && order.priority() <= velDomainBypassPriority();
}

// ---- sets per network VRF ----

Zat::Ptr<PerNetVrfHostSet> LocalData::addPerNetVrfHostSet(Zat::String const& netVrfName,
                                                          Zat::String const& requestor) {
   ZAT_TRACE(velL3V2Trace, 8,
             "LocalData::addPerNetVrfHostSet Net VRF: " << netVrfName << " Requestor: " << requestor);
   Zat::Ptr<PerNetVrfHostSet> out = HostSets::add(*this, netVrfName, requestor);
   ZAT_TRACE(velL3V2Trace, 7, " return");
   return out;
}

void LocalData::removePerNetVrfHostSet(Zat::String const& netVrfName, Zat::String const& requestor) {
   ZAT_TRACE(velL3V2Trace, 8,
             "LocalData::removePerNetVrfHostSet Net VRF: " << netVrfName << " Requestor: " << requestor);
   traceRemoval(HostSets::remove(*this, netVrfName, requestor), " Removing PerNetVrfHostSet");
   ZAT_TRACE(velL3V2Trace, 7, " return");
}

void LocalData::clearPerNetVrfHostSet() {
   perNetVrfHostSetDelAll();
}

Zat::Ptr<PerNetVrfFlowSet> LocalData::addPerNetVrfFlowSet(Zat::String const& netVrfName,
                                                          Zat::String const& requestor) {
   ZAT_TRACE(velL3V2Trace, 8,
             "LocalData::addPerNetVrfFlowSet Net VRF : " << netVrfName << " Requestor: " << requestor);
   Zat::Ptr<PerNetVrfFlowSet> out = FlowSets::add(*this, netVrfName, requestor);
   ZAT_TRACE(velL3V2Trace, 7, " return");
   return out;
}

void LocalData::removePerNetVrfFlowSet(Zat::String const& netVrfName, Zat::String const& requestor) {
   ZAT_TRACE(velL3V2Trace, 8,
             "LocalData::removePerNetVrfFlowSet Net VRF : " << netVrfName << " Requestor: " << requestor);
   traceRemoval(FlowSets::remove(*this, netVrfName, requestor), " Removing PerNetVrfFlowSet");
   ZAT_TRACE(velL3V2Trace, 7, " return");
}

void LocalData::clearPerNetVrfFlowSet() {
   perNetVrfFlowSetDelAll();
}

void LocalData::addNetworkVrf(Zat::String const& name, Zat::String const& requestor) {
   ZAT_TRACE(velL3V2Trace, 8, "LocalData::addNetworkVrf Net VRF: " << name << " Requestor: " << requestor);
   NetworkVrfs::add(*this, name, requestor);
   ZAT_TRACE(velL3V2Trace, 7, " return");
}

void LocalData::removeNetworkVrf(Zat::String const& name, Zat::String const& requestor) {
   ZAT_TRACE(velL3V2Trace, 8, "LocalData::removeNetworkVrf Net VRF: " << name << " Requestor: " << requestor);
   traceRemoval(NetworkVrfs::remove(*this, name, requestor), " Removing NetworkVrf");
   ZAT_TRACE(velL3V2Trace, 7, " return");
}

void LocalData::clearNetworkVrf() {
   networkVrfDelAll();
}

// ---- group type requests ----

void LocalData::addGroupTypeRequest(VelL3::V2::GroupName const& groupName, Zat::String const& requestor) {
   GroupTypeRequests::add(*this, groupName, requestor);
}

// A request goes once it lists nobody, whether or not this requestor was among its requestors.
void LocalData::removeGroupTypeRequest(VelL3::V2::GroupName const& groupName, Zat::String const& requestor) {
   GroupTypeRequests::remove(*this, groupName, requestor);
}

// The cursor survives the deletion of the request it stands on.
void LocalData::clearGroupTypeRequest(Zat::String const& requestor) {
   for (auto c = groupTypeRequest_.cursor(); c; ++c) GroupTypeRequests::remove(*this, c.key(), requestor);
}

}  // namespace VelL3V2
