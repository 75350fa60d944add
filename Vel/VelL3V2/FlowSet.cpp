// The flow set hierarchy: per network VRF, one flow set per service device with a configuration part
// held for named requestors and a status part, and the readable texts of flows and consistent flow sets
// (a flow status writes its own beside the other status types).
#include <sstream>

#include "Vel/VelL3V2LocalTypes.h"

namespace VelL3V2 {

namespace {

// A device's flow set is counted through its configuration part: the requestors are kept there, so the
// configuration is the child the requestors hold. Dropping it drops the device set too unless a status
// part keeps it.
struct DeviceConfigRequests {
   using Owner = PerNetVrfFlowSet;
   using Key = DeviceKey;
   using Child = FlowSetConfig;
   using Name = Zat::String;
   static constexpr bool hasRequestSets = false;
   static Zat::Ptr<Child> child(Owner const& o, Key const& k) {
      Zat::Ptr<PerDeviceFlowSet> set = o.perDeviceFlowSet(k);
      return set ? set->config() : nullptr;
   }
   static Zat::Ptr<Child> childIs(Owner& o, Key const& k) { return o.perDeviceFlowSetIs(k)->configIs(); }
   static void childDel(Owner& o, Key const& k) {
      Zat::Ptr<PerDeviceFlowSet> set = o.perDeviceFlowSet(k);
      set->configDel();
      if (!set->status()) {
         ZAT_TRACE(velL3V2Trace, 8, " Removing FlowSet");
         o.perDeviceFlowSetDel(k);
      }
   }
};

using DeviceConfigs = Zat::Requestors<DeviceConfigRequests>;

template <class T>
std::string streamed(T const& v) {
   std::ostringstream os;
   os << v;
   return os.str();
}

}  // namespace

// ---- PerNetVrfFlowSet ----

Zat::Ptr<FlowSetConfig> PerNetVrfFlowSet::addFlowSetConfig(DeviceKey const& deviceKey,
                                                           Zat::String const& requestor) {
   ZAT_TRACE(velL3V2Trace, 8,
             "PerNetVrfFlowSet::addFlowSetConfig" << deviceKey.stringValue() << " Requestor: " << requestor);
   Zat::Ptr<FlowSetConfig> out = DeviceConfigs::add(*this, deviceKey, requestor);
   ZAT_TRACE(velL3V2Trace, 7, " return");
   return out;
}

void PerNetVrfFlowSet::removeFlowSetConfig(DeviceKey const& deviceKey, Zat::String const& requestor) {
   ZAT_TRACE(
       velL3V2Trace, 8,
       "PerNetVrfFlowSet::removeFlowSetConfig" << deviceKey.stringValue() << " Requestor: " << requestor);
   DeviceConfigs::remove(*this, deviceKey, requestor);
   ZAT_TRACE(velL3V2Trace, 7, " return");
}

Zat::Ptr<FlowSetStatus> PerNetVrfFlowSet::addFlowSetStatus(DeviceKey const& deviceKey) {
   ZAT_TRACE(velL3V2Trace, 8, "PerNetVrfFlowSet::addFlowSetStatus" << deviceKey.stringValue());
   Zat::Ptr<FlowSetStatus> out = perDeviceFlowSetIs(deviceKey)->statusIs(netVrfName_, deviceKey);
   ZAT_TRACE(velL3V2Trace, 7, " return");
   return out;
}

void PerNetVrfFlowSet::removeFlowSetStatus(DeviceKey const& deviceKey) {
   ZAT_TRACE(velL3V2Trace, 8, "PerNetVrfFlowSet::removeFlowSetStatus" << deviceKey.stringValue());
   if (Zat::Ptr<PerDeviceFlowSet> set = perDeviceFlowSet(deviceKey)) {
      set->statusDel();
      if (!set->config()) {
         ZAT_TRACE(velL3V2Trace, 8, " Removing FlowSet");
         perDeviceFlowSetDel(deviceKey);
      }
   }
   ZAT_TRACE(velL3V2Trace, 7, " return");
}

Zat::Ptr<FlowSetStatus> PerNetVrfFlowSet::getFlowSetStatus(DeviceKey const& deviceKey) const {
   ZAT_TRACE(velL3V2Trace, 8, "PerNetVrfFlowSet::getFlowSetStatus" << deviceKey.stringValue());
   Zat::Ptr<PerDeviceFlowSet> set = perDeviceFlowSet(deviceKey);
   Zat::Ptr<FlowSetStatus> out = set ? set->status() : nullptr;
   ZAT_TRACE(velL3V2Trace, 7, " return");
   return out;
}

// ---- readable texts ----

Zat::String FlowConfig::stringValue() const {
   std::string out = " Flow: ";
   out += flowKey_.value().view();
   out += " Order: ";
   out += order_.stringValue().view();
   out += " Origin: ";
   out += origin_.view();
   out += " State: " + streamed(state_);
   out += " ReadyToDelete: ";
   out += readyToDelete_ ? '1' : '0';
   return Zat::String(std::move(out));
}

Zat::String PerDeviceConsistentFlowSet::stringValue() const {
   std::string out = " DeviceKey: ";
   out += deviceKey_.stringValue().view();
   out += " State: " + streamed(state_);
   out += " ReadyToDelete: ";
   out += readyToDelete_ ? '1' : '0';
   out += " KroTimestamp: ";
   out += kroTimestamp_.stringValue().view();
   return Zat::String(std::move(out));
}

}  // namespace VelL3V2
