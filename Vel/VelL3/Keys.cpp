// Hand-written operations of the first-generation keys and values: the readable texts operators see,
// and the order of flow sets, which puts the higher priority first within a preference.
#include <string>

#include "Vel/VelL3LocalTypes.h"

namespace VelL3 {

Zat::String DeviceKey::stringValue() const {
   return Zat::String("Source: ") + sourceName_.view() + " Device: " + deviceName_.view();
}

Zat::String DeviceVrfKey::stringValue() const {
   return deviceKey_.stringValue() + " VRF: " + vrfName_.stringValue().view();
}

// One action is in force: a drop overrides a bypass, and either makes the next hop irrelevant.
Zat::String Action::stringValue() const {
   if (drop_) return "Drop";
   if (bypass_) return "Bypass";
   return Zat::String("NextHop: ") + nextHop_.stringValue().view();
}

Zat::String InterceptFlowSetOrder::stringValue() const {
   return "Preference: " + std::to_string(preference_) + " Priority: " + std::to_string(priority_);
}

// Rules are installed in this order, so for one preference the higher priority must come first.
bool InterceptFlowSetOrder::operator<(InterceptFlowSetOrder const& o) const {
   if (preference_ != o.preference_) return preference_ < o.preference_;
   return priority_ > o.priority_;
}

Zat::String FlowKey::stringValue() const {
   return order_.stringValue() + " Flow: " + flowName_.view();
}

bool FlowKey::operator<(FlowKey const& o) const {
   if (!(order_ == o.order_)) return order_ < o.order_;
   return flowName_.compare(o.flowName_) < 0;
}

Zat::String Route::stringValue() const {
   return Zat::String("Destination ") + destination_.stringValue().view() + " via " +
          via_.stringValue().view();
}

}  // namespace VelL3
