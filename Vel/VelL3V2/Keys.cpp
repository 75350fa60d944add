// Hand-written operations of the second-generation key values: the two names of a device key, and the
// readable texts operators see.
#include "Vel/VelL3V2LocalTypes.h"
#include "VelL3V2Shared/NameEncoder.h"

namespace VelL3V2 {

namespace {
Zat::String nameAt(Zat::String const& encoded, std::uint32_t index) {
   VelL3V2Shared::NameSet names = VelL3V2Shared::NameEncoder::decode(encoded);
   Zat::String const* name = names.name(index);
   return name ? *name : Zat::String();
}
}  // namespace

Zat::String DeviceKey::getSourceName() const { return nameAt(value_, 0); }

Zat::String DeviceKey::getDeviceName() const { return nameAt(value_, 1); }

Zat::String DeviceKey::encode(Zat::String const& sourceName, Zat::String const& deviceName) {
   VelL3V2Shared::NameSet names;
   names.nameIs(0, sourceName);
   names.nameIs(1, deviceName);
   return VelL3V2Shared::NameEncoder::encode(names);
}

// The raw encoded value, not the decoded names: operators match it against what the agent logs.
Zat::String DeviceKey::stringValue() const { return Zat::String(" Device: ") + value_.view(); }

Zat::String DeviceKeySet::stringValue() const {
   Zat::String out;
   for (DeviceKey const& key : deviceKey_) {
      out += key.stringValue().view();
      out += ", ";
   }
   return out;
}

Zat::String DeviceNetVrfKey::stringValue() const {
   return deviceKey_.stringValue() + " NetVRF: " + netVrfName_.view();
}

Zat::String Route::stringValue() const {
   return Zat::String("Destination ") + destination_.stringValue().view() + " via " + via_.stringValue().view();
}

}  // namespace VelL3V2
