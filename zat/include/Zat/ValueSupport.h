// What generated value types need beyond text: the hash contribution of each kind of attribute.
//
// Inside a value's hash every attribute adds one contribution, chosen by its kind: 8- and 16-bit
// integers their hashSingleAttr, 32- and 64-bit integers their raw value (64 bits as two words, low
// first), Seconds its bits like a 64-bit integer, strings their bytes, nested values their own hash(0).
// Platform and generated types provide hashAttrInto beside themselves; mixAttr finds the right one.
#pragma once

#include <cstdint>

#include "Zat/Enum.h"
#include "Zat/Hash.h"
#include "Zat/PtrValue.h"
#include "Zat/Seconds.h"
#include "Zat/Strep.h"
#include "Zat/String.h"
#include "Zat/TypeInfo.h"

namespace Zat {

inline void hashAttrInto(Hash& h, std::uint8_t v) {
   h.hashMix<4>(hashSingleAttr(0, v));
}
inline void hashAttrInto(Hash& h, std::uint16_t v) {
   h.hashMix<4>(hashSingleAttr(0, v));
}
inline void hashAttrInto(Hash& h, std::uint32_t v) {
   h.hashMix<4>(v);
}
inline void hashAttrInto(Hash& h, std::uint64_t v) {
   h.hashMix<4>(std::uint32_t(v)).hashMix<4>(std::uint32_t(v >> 32));
}
inline void hashAttrInto(Hash& h, bool v) {
   h.hashMix<4>(v ? 1u : 0u);
}
// A Seconds by its bits, which are one pattern per value; a raw double as the Seconds it would be, so that
// 0.0 and -0.0 (equal) hash alike.
inline void hashAttrInto(Hash& h, Seconds v) {
   hashAttrInto(h, v.bits());
}
inline void hashAttrInto(Hash& h, double v) {
   hashAttrInto(h, Seconds(v));
}
inline void hashAttrInto(Hash& h, String const& v) {
   h.mixNi(v.data(), v.size());
}

template <class T>
void mixAttr(Hash& h, T const& v) {
   hashAttrInto(h, v);
}

}  // namespace Zat
