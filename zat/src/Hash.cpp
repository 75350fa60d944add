#include "Zat/Hash.h"

#include <cstring>

namespace Zat {

Hash& Hash::mixNi(void const* bytes, std::size_t length) noexcept {
   auto const* p = static_cast<unsigned char const*>(bytes);
   std::size_t const words = length / 4;
   for (std::size_t i = 0; i < words; ++i, p += 4) {
      round(std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
            std::uint32_t(p[3]) << 24);
   }
   // The tail is mixed the Murmur3 way: scrambled into the state without the rotate-and-add step, so a
   // run of 1 to 3 bytes differs from the same bytes zero-padded to a word.
   std::uint32_t tail = 0;
   switch (length & 3) {
      case 3:
         tail ^= std::uint32_t(p[2]) << 16;
         [[fallthrough]];
      case 2:
         tail ^= std::uint32_t(p[1]) << 8;
         [[fallthrough]];
      case 1:
         tail ^= p[0];
         h_ ^= scramble(tail);
   }
   length_ += std::uint32_t(length);
   return *this;
}

std::uint32_t hashSingleAttr(std::uint32_t seed, std::uint8_t v) noexcept {
   return Hash(seed).mixNi(&v, 1).result();
}

std::uint32_t hashSingleAttr(std::uint32_t seed, std::uint16_t v) noexcept {
   unsigned char const b[2] = {static_cast<unsigned char>(v), static_cast<unsigned char>(v >> 8)};
   return Hash(seed).mixNi(b, 2).result();
}

std::uint32_t hashSingleAttr(std::uint32_t seed, std::uint32_t v) noexcept {
   return Hash(seed).hashMix<4>(v).result();
}

std::uint32_t hashSingleAttr(std::uint32_t seed, std::string_view v) noexcept {
   return Hash(seed).mixNi(v).result();
}

std::uint32_t hashSeed32() noexcept { return 0x5a7c0de1u; }

}  // namespace Zat
