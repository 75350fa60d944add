// Type table entries of the network values, so that generic code (the generic interface, notification
// keys) can hold, compare, render and parse them like any other value.
#pragma once

#include "Ipkit/EthAddr.h"
#include "Ipkit/IpGenAddr.h"
#include "Ipkit/IpGenPrefix.h"
#include "Ipkit/Numbers.h"
#include "Ipkit/Vni.h"
#include "Ipkit/VrfName.h"
#include "Zat/TypeInfo.h"

namespace Ipkit {

Zat::TypeInfo const& zatTypeInfo(IpGenAddr const*);
Zat::TypeInfo const& zatTypeInfo(IpGenPrefix const*);
Zat::TypeInfo const& zatTypeInfo(IpProto const*);
Zat::TypeInfo const& zatTypeInfo(Port const*);
Zat::TypeInfo const& zatTypeInfo(EthType const*);
Zat::TypeInfo const& zatTypeInfo(EthAddr const*);
Zat::TypeInfo const& zatTypeInfo(SystemId const*);
Zat::TypeInfo const& zatTypeInfo(Vni const*);
Zat::TypeInfo const& zatTypeInfo(VniOrNone const*);
Zat::TypeInfo const& zatTypeInfo(VrfName const*);

}  // namespace Ipkit
