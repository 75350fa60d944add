#include "Zat/Hash.h"

namespace Zat {

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

std::uint32_t hashSeed32() noexcept { return 0x5a7c0de1u; }

}  // namespace Zat
