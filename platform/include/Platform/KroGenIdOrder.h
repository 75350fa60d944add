// The 16 bytes of a generation id, and the key order of maps keyed by generation ids: the order of the
// ids' uuid_unparse texts.
#pragma once

#include <array>
#include <cstdint>

#include "Platform/VelL3V2Platform.h"

namespace VelL3::V2 {

// A generation id's 16 bytes: `high`, then `low`, each most significant byte first. Hex digits sort as
// their values in the uuid_unparse text, so the text order, the unsigned byte order and the order of
// (high, low) as numbers are one order.
inline std::array<std::uint8_t, 16> kroGenIdBytes(KroGenId const& g) noexcept {
   std::array<std::uint8_t, 16> b{};
   for (int i = 0; i < 8; ++i) {
      b[std::size_t(i)] = std::uint8_t(g.high() >> (56 - 8 * i));
      b[std::size_t(8 + i)] = std::uint8_t(g.low() >> (56 - 8 * i));
   }
   return b;
}

// Orders generation ids as their uuid_unparse texts compare, without writing the texts.
struct KroGenIdTextOrder {
   bool operator()(KroGenId const& a, KroGenId const& b) const noexcept {
      return a.high() != b.high() ? a.high() < b.high() : a.low() < b.low();
   }
};

}  // namespace VelL3::V2
