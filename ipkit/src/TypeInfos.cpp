#include "Ipkit/TypeInfos.h"

#include "Zat/Any.h"

namespace Ipkit {

namespace {
template <class T>
Zat::TypeInfo info(std::string_view name) {
   return Zat::TypeInfo{name, Zat::TypeKind::value, nullptr, {}, {}, &Zat::valueMethodsOf<T>()};
}

// One module, registered like a unit's, so that tools find the network values by their full names.
std::span<Zat::TypeInfo const> types() {
   static Zat::TypeInfo const all[] = {
       info<IpGenAddr>("Ipkit::IpGenAddr"), info<IpGenPrefix>("Ipkit::IpGenPrefix"),
       info<IpProto>("Ipkit::IpProto"),     info<Port>("Ipkit::Port"),
       info<EthType>("Ipkit::EthType"),     info<EthAddr>("Ipkit::EthAddr"),
       info<SystemId>("Ipkit::SystemId"),   info<Vni>("Ipkit::Vni"),
       info<VniOrNone>("Ipkit::VniOrNone"), info<VrfName>("Ipkit::VrfName"),
   };
   return all;
}

Zat::ModuleInfo const& module() {
   static Zat::ModuleInfo const m{"Ipkit", types()};
   return m;
}

struct Registration {
   Registration() { Zat::zatModuleIs(module()); }
   ~Registration() { Zat::zatModuleDel(module()); }
} const registration;
}  // namespace

Zat::TypeInfo const& zatTypeInfo(IpGenAddr const*) {
   return types()[0];
}
Zat::TypeInfo const& zatTypeInfo(IpGenPrefix const*) {
   return types()[1];
}
Zat::TypeInfo const& zatTypeInfo(IpProto const*) {
   return types()[2];
}
Zat::TypeInfo const& zatTypeInfo(Port const*) {
   return types()[3];
}
Zat::TypeInfo const& zatTypeInfo(EthType const*) {
   return types()[4];
}
Zat::TypeInfo const& zatTypeInfo(EthAddr const*) {
   return types()[5];
}
Zat::TypeInfo const& zatTypeInfo(SystemId const*) {
   return types()[6];
}
Zat::TypeInfo const& zatTypeInfo(Vni const*) {
   return types()[7];
}
Zat::TypeInfo const& zatTypeInfo(VniOrNone const*) {
   return types()[8];
}
Zat::TypeInfo const& zatTypeInfo(VrfName const*) {
   return types()[9];
}

}  // namespace Ipkit
