#include "Ipkit/TypeInfos.h"

#include "Zat/Any.h"

namespace Ipkit {

namespace {
template <class T>
Zat::TypeInfo const& info(std::string_view name) {
   static Zat::TypeInfo const t{name, Zat::TypeKind::value, nullptr, {}, {}, &Zat::valueMethodsOf<T>()};
   return t;
}
}  // namespace

Zat::TypeInfo const& zatTypeInfo(IpGenAddr const*) { return info<IpGenAddr>("Ipkit::IpGenAddr"); }
Zat::TypeInfo const& zatTypeInfo(IpGenPrefix const*) { return info<IpGenPrefix>("Ipkit::IpGenPrefix"); }
Zat::TypeInfo const& zatTypeInfo(IpProto const*) { return info<IpProto>("Ipkit::IpProto"); }
Zat::TypeInfo const& zatTypeInfo(Port const*) { return info<Port>("Ipkit::Port"); }
Zat::TypeInfo const& zatTypeInfo(EthType const*) { return info<EthType>("Ipkit::EthType"); }
Zat::TypeInfo const& zatTypeInfo(EthAddr const*) { return info<EthAddr>("Ipkit::EthAddr"); }
Zat::TypeInfo const& zatTypeInfo(SystemId const*) { return info<SystemId>("Ipkit::SystemId"); }
Zat::TypeInfo const& zatTypeInfo(Vni const*) { return info<Vni>("Ipkit::Vni"); }
Zat::TypeInfo const& zatTypeInfo(VniOrNone const*) { return info<VniOrNone>("Ipkit::VniOrNone"); }
Zat::TypeInfo const& zatTypeInfo(VrfName const*) { return info<VrfName>("Ipkit::VrfName"); }

}  // namespace Ipkit
