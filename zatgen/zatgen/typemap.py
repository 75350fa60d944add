"""The types a schema may name besides its own: the runtime's scalars and the platform values.

Each entry says how the type appears in C++ and what it supports. Everything the generated code does with
an attribute (hash contribution, text form, parsing) goes through overloads that live beside the type, so
the compiler only needs to know the C++ spelling, the header and whether the type is passed by value.
"""
from dataclasses import dataclass


@dataclass(frozen=True)
class External:
    cpp: str               # C++ spelling
    header: str | None     # header that declares it
    scalar: bool = False   # passed and returned by value
    default: str = "{}"    # initialiser of a default-constructed attribute


BUILTINS = {
    "U8": External("std::uint8_t", None, scalar=True),
    "U16": External("std::uint16_t", None, scalar=True),
    "U32": External("std::uint32_t", None, scalar=True),
    "U64": External("std::uint64_t", None, scalar=True),
    "Bool": External("bool", None, scalar=True),
    "Seconds": External("Zat::Seconds", "Zat/System.h", scalar=True),
    "String": External("Zat::String", "Zat/String.h"),
}

PLATFORM = {
    "Ipkit::IpGenAddr": External("Ipkit::IpGenAddr", "Ipkit/IpGenAddr.h"),
    "Ipkit::IpGenPrefix": External("Ipkit::IpGenPrefix", "Ipkit/IpGenPrefix.h"),
    "Ipkit::IpProto": External("Ipkit::IpProto", "Ipkit/Numbers.h", scalar=True),
    "Ipkit::Port": External("Ipkit::Port", "Ipkit/Numbers.h", scalar=True),
    "Ipkit::EthType": External("Ipkit::EthType", "Ipkit/Numbers.h", scalar=True),
    "Ipkit::EthAddr": External("Ipkit::EthAddr", "Ipkit/EthAddr.h"),
    "Ipkit::SystemId": External("Ipkit::SystemId", "Ipkit/EthAddr.h"),
    "Ipkit::Vni": External("Ipkit::Vni", "Ipkit/Vni.h", scalar=True),
    "Ipkit::VniOrNone": External("Ipkit::VniOrNone", "Ipkit/Vni.h", scalar=True),
    "Ipkit::VrfName": External("Ipkit::VrfName", "Ipkit/VrfName.h"),
}

# Values of the closed second-generation companion library (stand-ins compiled from platform/).
COMPANION = {
    "VelL3::V2::KroGenId": External("VelL3::V2::KroGenId", "Platform/VelL3V2Platform.h"),
    "VelL3::V2::FlowOrder": External("VelL3::V2::FlowOrder", "Platform/VelL3V2Platform.h"),
    "VelL3::V2::KroTimestamp": External("VelL3::V2::KroTimestamp", "Platform/VelL3V2Platform.h"),
}

KNOWN = {**BUILTINS, **PLATFORM, **COMPANION}

# Integer types whose literal defaults and constants are plain decimal numbers.
INTEGERS = {"U8": 0xFF, "U16": 0xFFFF, "U32": 0xFFFFFFFF, "U64": 0xFFFFFFFFFFFFFFFF}
