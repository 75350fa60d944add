// 32-bit seeded hashing shared by every value type and keyed collection.
//
// The state is a Murmur3 (x86, 32-bit) accumulator: words and byte runs are mixed in as they come, and
// result() applies the final avalanche with the number of bytes mixed. The same inputs in the same order
// with the same seed always give the same result, on every platform (bytes are read little-endian).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace Zat {

class Hash {
 public:
   explicit constexpr Hash(std::uint32_t seed) noexcept : h_(seed) {}

   // Mixes one word of `Bytes` bytes. Only 4-byte words exist: narrower integers are widened first and
   // 64-bit values are mixed as two words.
   template <unsigned Bytes>
   constexpr Hash& hashMix(std::uint32_t word) noexcept {
      static_assert(Bytes == 4, "hashMix mixes 32-bit words");
      round(word);
      length_ += 4;
      return *this;
   }

   // Mixes a run of bytes.
   Hash& mixNi(void const* bytes, std::size_t length) noexcept;
   Hash& mixNi(std::string_view s) noexcept { return mixNi(s.data(), s.size()); }

   constexpr std::uint32_t result() const noexcept { return finalMix(h_ ^ length_); }

 private:
   static constexpr std::uint32_t rotl(std::uint32_t x, int r) noexcept { return (x << r) | (x >> (32 - r)); }
   static constexpr std::uint32_t scramble(std::uint32_t k) noexcept {
      k *= 0xcc9e2d51u;
      k = rotl(k, 15);
      return k * 0x1b873593u;
   }
   constexpr void round(std::uint32_t k) noexcept {
      h_ ^= scramble(k);
      h_ = rotl(h_, 13) * 5 + 0xe6546b64u;
   }
   static constexpr std::uint32_t finalMix(std::uint32_t h) noexcept {
      h ^= h >> 16;
      h *= 0x85ebca6bu;
      h ^= h >> 13;
      h *= 0xc2b2ae35u;
      return h ^ (h >> 16);
   }

   std::uint32_t h_;
   std::uint32_t length_ = 0;
};

// Inline, since every string key of every collection is hashed through it on each lookup.
inline Hash& Hash::mixNi(void const* bytes, std::size_t length) noexcept {
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

// The hash of one integer at its own width (its little-endian bytes) or of one byte string.
std::uint32_t hashSingleAttr(std::uint32_t seed, std::uint8_t v) noexcept;
std::uint32_t hashSingleAttr(std::uint32_t seed, std::uint16_t v) noexcept;
std::uint32_t hashSingleAttr(std::uint32_t seed, std::uint32_t v) noexcept;
inline std::uint32_t hashSingleAttr(std::uint32_t seed, std::string_view v) noexcept {
   return Hash(seed).mixNi(v).result();
}

// The process-wide seed that keyed collections XOR with their own constant. It is fixed for the life of
// the process so that iteration order is reproducible from one run to the next.
std::uint32_t hashSeed32() noexcept;

}  // namespace Zat
