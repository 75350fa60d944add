// Hand-written operations of the first-generation root: publish mount names and requests, group type
// requests counted by requesting VRF, and clear.
#include "Vel/VelL3LocalTypes.h"

namespace VelL3 {

Zat::String LocalData::getNetVrfMountName(Zat::String const& netVrfName) const {
   return mountPrefix() + netVrfName.view() + "-publish";
}

// The global request always carries the global mount name: one left nameless by clear() is replaced by
// a fresh, empty request before the mount goes in.
void LocalData::addGlobalPublishMountRequest(MountInfo const& mount) {
   globalPublishMountRequestIs(globalPublishMountName())->publishMountIs(mount);
}

// A mount is known by its path alone, and a request that holds no mount any more goes.
void LocalData::removeGlobalPublishMountRequest(MountInfo const& mount) {
   Zat::Ptr<PublishMountRequestBase> request = globalPublishMountRequest_;
   if (!request) return;
   request->publishMountDel(mount.controllerdbPath());
   if (request->publishMountSize() == 0) globalPublishMountRequestDel();
}

// Keyed by the network VRF's own name, not by its mount name.
void LocalData::addPerNetVrfPublishMountRequest(Zat::String const& netVrfName, MountInfo const& mount) {
   perNetVrfPublishMountRequestIs(netVrfName)->publishMountIs(mount);
}

void LocalData::removePerNetVrfPublishMountRequest(Zat::String const& netVrfName, MountInfo const& mount) {
   Zat::Ptr<PublishMountRequestBase> request = perNetVrfPublishMountRequest(netVrfName);
   if (!request) return;
   request->publishMountDel(mount.controllerdbPath());
   if (request->publishMountSize() == 0) perNetVrfPublishMountRequestDel(netVrfName);
}

void LocalData::addGroupTypeRequest(Zat::String const& groupName, Ipkit::VrfName const& vrf) {
   Zat::Requestors<GroupTypeRequestRequests>::add(*this, groupName, vrf);
}

void LocalData::removeGroupTypeRequest(Zat::String const& groupName, Ipkit::VrfName const& vrf) {
   Zat::Requestors<GroupTypeRequestRequests>::remove(*this, groupName, vrf);
}

// Observers see the changes in this order. The routing tables and the scheduler survive: they are not
// learned state that a resynchronisation rebuilds.
void LocalData::clear() {
   initialSwitchMountsCompleteIs(false);
   inputConvergedIs(false);
   // An empty, nameless request: the next global add replaces it by one named after the global mount.
   globalPublishMountRequestIs(Zat::String())->publishMountDelAll();
   perNetVrfPublishMountRequestDelAll();
   perSwitchPublishMountRequestDelAll();
   groupTypeRequestDelAll();
   vniToVrfDelAll();
   supportedVtepDelAll();
   groupSupportedVtepDelAll();
   verbatimSupportedVtepDelAll();
   vtepInVrfDelAll();
   hostInputDelAll();
   hostBindingDelAll();
   perVrfPolicyFlowConfigDelAll();
   perVrfPolicyFlowStatusDelAll();
   perVrfInterceptHostConfigDelAll();
   perVrfInterceptHostStatusDelAll();
}

}  // namespace VelL3
