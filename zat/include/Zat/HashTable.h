// HashTable: the open-addressing table under every keyed hash collection.
//
// It is an ordered linear-probing table: each key's home slot is the top bits of its hash, and every
// run of occupied slots is kept sorted by (hash, key). That gives three properties the collections need:
// - the layout depends only on the set of keys, never on the order they came in, so walking two tables
//   side by side decides equality, and iteration order is the same for equal contents;
// - iteration order is ascending (hash, key) whatever the capacity, so a cursor can always find "the
//   first entry after the one I stood on", even after deletions shifted entries or a growth rehashed;
// - a miss stops at the first larger hash instead of at the next empty slot.
// Slots past the last home slot absorb the runs that would otherwise wrap around.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <type_traits>
#include <utility>

#include "Zat/Exception.h"
#include "Zat/Hash.h"
#include "Zat/String.h"

namespace Zat {

// The hash of a key under a collection's seed: value types and platform values by their own hash(seed),
// strings and integers through hashSingleAttr.
inline std::uint32_t keyHash(std::uint32_t seed, String const& k) noexcept {
   return hashSingleAttr(seed, k.view());
}
inline std::uint32_t keyHash(std::uint32_t seed, std::uint8_t k) noexcept {
   return hashSingleAttr(seed, k);
}
inline std::uint32_t keyHash(std::uint32_t seed, std::uint16_t k) noexcept {
   return hashSingleAttr(seed, k);
}
// The most common key, hashed inline: the same value as hashSingleAttr(seed, k), without a call into the
// library for every lookup.
inline std::uint32_t keyHash(std::uint32_t seed, std::uint32_t k) noexcept {
   return Hash(seed).hashMix<4>(k).result();
}
inline std::uint32_t keyHash(std::uint32_t seed, std::uint64_t k) noexcept {
   return Hash(seed).hashMix<4>(std::uint32_t(k)).hashMix<4>(std::uint32_t(k >> 32)).result();
}
template <class K>
requires requires(K const& k) {
   k.hash(std::uint32_t());
}
std::uint32_t keyHash(std::uint32_t seed, K const& k) noexcept(noexcept(k.hash(seed))) {
   return k.hash(seed);
}

// Traits: `using Key`, `static Key const& key(Entry const&)`, `static bool equal(Entry const&, Entry const&)`
// (the key and whatever the entry holds beside it).
template <class Entry, class Traits>
class HashTable {
 public:
   using Key = typename Traits::Key;
   static constexpr std::size_t npos = ~std::size_t(0);
   static_assert(std::is_nothrow_move_constructible_v<Entry>, "entries are moved while slots shift");

   explicit HashTable(std::uint32_t seed) noexcept : seed_(seed) {}
   HashTable(HashTable const& o) : seed_(o.seed_) { copyFrom(o); }
   // The moved-from table keeps its seed, so reused it walks and compares like any other of its kind;
   // its version moves on, so a cursor still standing on it sees that it changed.
   HashTable(HashTable&& o) noexcept : seed_(o.seed_), version_(o.version_ + 1) { swap(o); }
   HashTable& operator=(HashTable const& o) {
      if (this != &o) {
         HashTable copy(o);
         swap(copy);
         ++version_;
      }
      return *this;
   }
   HashTable& operator=(HashTable&& o) noexcept {
      HashTable moved(std::move(o));
      swap(moved);
      ++version_;
      return *this;
   }
   ~HashTable() { release(); }

   void swap(HashTable& o) noexcept {
      std::swap(seed_, o.seed_);
      std::swap(hashes_, o.hashes_);
      std::swap(shift_, o.shift_);
      std::swap(size_, o.size_);
      std::swap(version_, o.version_);
   }

   std::size_t size() const noexcept { return size_; }
   bool empty() const noexcept { return size_ == 0; }
   // Changes with every insertion, deletion, clear and assignment; cursors compare it.
   std::uint32_t version() const noexcept { return version_; }
   std::uint32_t seed() const noexcept { return seed_; }
   // Stored form of a key's hash: the low bit is forced on so that 0 marks an empty slot.
   std::uint32_t hashOf(Key const& k) const noexcept { return keyHash(seed_, k) | 1u; }

   std::size_t findIndex(Key const& k) const noexcept {
      if (size_ == 0) return npos;
      std::uint32_t const h = hashOf(k);
      for (std::size_t i = home(h), n = slots(); i < n; ++i) {
         std::uint32_t const hi = hashes_[i];
         if (hi == 0 || hi > h) return npos;
         if (hi == h) {
            Key const& ki = Traits::key(entries()[i]);
            if (ki == k) return i;
            if (k < ki) return npos;
         }
      }
      return npos;
   }
   Entry* find(Key const& k) noexcept {
      std::size_t i = findIndex(k);
      return i == npos ? nullptr : &entries()[i];
   }
   Entry const* find(Key const& k) const noexcept {
      std::size_t i = findIndex(k);
      return i == npos ? nullptr : &entries()[i];
   }

   // Finds the entry of `k`, or inserts make() (which must hold key `k`) when there is none. Answers the
   // entry and whether it was inserted. If make() or the growth throws, the table is unchanged.
   template <class Make>
   std::pair<Entry*, bool> findOrInsert(Key const& k, Make&& make) {
      std::uint32_t const h = hashOf(k);
      for (;;) {
         std::size_t const n = slots();
         std::size_t i = n ? home(h) : 0;
         for (; i < n; ++i) {
            std::uint32_t const hi = hashes_[i];
            if (hi == 0 || hi > h) break;
            if (hi == h) {
               Key const& ki = Traits::key(entries()[i]);
               if (ki == k) return {&entries()[i], false};
               if (k < ki) break;
            }
         }
         std::size_t j = i;
         while (j < n && hashes_[j] != 0) ++j;
         if (j == n || (std::size_t(size_) + 1) * kLoadDen > capacity() * kLoadNum) {
            grow();
            continue;
         }
         // Build the new entry before touching the table so that a throwing constructor changes nothing.
         Entry fresh(make());
         Entry* const e = entries();
         for (std::size_t m = j; m > i; --m) {
            ::new (&e[m]) Entry(std::move(e[m - 1]));
            e[m - 1].~Entry();
            hashes_[m] = hashes_[m - 1];
         }
         ::new (&e[i]) Entry(std::move(fresh));
         hashes_[i] = h;
         ++size_;
         ++version_;
         return {&e[i], true};
      }
   }

   // Removes the entry at `i`, moving it into `*out` when given; later entries of the run shift back.
   void eraseAt(std::size_t i, Entry* out = nullptr) noexcept {
      Entry* const e = entries();
      if (out) *out = std::move(e[i]);
      e[i].~Entry();
      std::size_t j = i + 1;
      for (std::size_t const n = slots(); j < n && hashes_[j] != 0 && home(hashes_[j]) < j; ++j) {
         ::new (&e[j - 1]) Entry(std::move(e[j]));
         e[j].~Entry();
         hashes_[j - 1] = hashes_[j];
      }
      hashes_[j - 1] = 0;
      --size_;
      ++version_;
   }
   bool erase(Key const& k, Entry* out = nullptr) noexcept {
      std::size_t i = findIndex(k);
      if (i == npos) return false;
      eraseAt(i, out);
      return true;
   }

   void clear() noexcept {
      release();
      ++version_;
   }

   // Positions, in iteration order: ascending (hash, key).
   std::size_t first() const noexcept { return nextFrom(0); }
   std::size_t next(std::size_t i) const noexcept { return nextFrom(i + 1); }
   // The first position whose entry comes after (h, k) in iteration order; `h` is a stored hash.
   std::size_t seekAfter(std::uint32_t h, Key const& k) const noexcept {
      if (size_ == 0) return npos;
      for (std::size_t i = home(h), n = slots(); i < n; ++i) {
         std::uint32_t const hi = hashes_[i];
         if (hi == 0) continue;
         if (hi > h || (hi == h && k < Traits::key(entries()[i]))) return i;
      }
      return npos;
   }
   Entry& at(std::size_t i) noexcept { return entries()[i]; }
   Entry const& at(std::size_t i) const noexcept { return entries()[i]; }
   std::uint32_t hashAt(std::size_t i) const noexcept { return hashes_[i]; }

   // Same entries: equal sizes and, walked side by side in their common order, equal entries.
   friend bool operator==(HashTable const& a, HashTable const& b) {
      if (&a == &b) return true;
      if (a.size_ != b.size_) return false;
      for (std::size_t i = a.first(), j = b.first(); i != npos; i = a.next(i), j = b.next(j)) {
         if (a.hashes_[i] != b.hashes_[j] || !Traits::equal(a.entries()[i], b.entries()[j])) return false;
      }
      return true;
   }

 private:
   // The table grows when an insertion would fill more than kLoadNum / kLoadDen of its home slots. The
   // ordered runs keep a miss as short as a hit, so the table can be filled as densely as the flat
   // tables it is measured against; for entries of many bytes that density is most of its memory.
   static constexpr std::size_t kLoadNum = 7, kLoadDen = 8;
   // How many slots ahead release() fetches the objects entries point at.
   static constexpr std::size_t kReleaseAhead = 4;

   // The entries follow the hashes in the table's one block; their place is worked out rather than kept,
   // which keeps the header (24 bytes), and every entity holding a collection, 8 bytes smaller.
   Entry* entries() const noexcept {
      return reinterpret_cast<Entry*>(reinterpret_cast<char*>(hashes_) + entriesOffset(slots()));
   }

   std::size_t capacity() const noexcept { return shift_ >= 32 ? 0 : std::size_t(1) << (32 - shift_); }
   std::size_t slots() const noexcept { return slotsFor(capacity()); }
   std::size_t home(std::uint32_t h) const noexcept { return h >> shift_; }
   // Slots past the last home slot hold the end of a run that would otherwise wrap around. A run that
   // outgrows them makes the table grow, which is rare enough that a short tail costs less memory than
   // the growths it saves.
   static std::size_t slotsFor(std::size_t capacity) noexcept {
      return capacity + std::min<std::size_t>(capacity, std::max<std::size_t>(4, capacity / kTailDiv));
   }
   static constexpr std::size_t kTailDiv = 16;

   // One block holds a table: the slots' hashes, then their entries.
   static constexpr std::size_t entriesOffset(std::size_t slots) noexcept {
      return (slots * sizeof(std::uint32_t) + alignof(Entry) - 1) / alignof(Entry) * alignof(Entry);
   }
   static_assert(alignof(Entry) <= __STDCPP_DEFAULT_NEW_ALIGNMENT__, "a table's block is plainly aligned");

   std::size_t nextFrom(std::size_t i) const noexcept {
      for (std::size_t const n = slots(); i < n; ++i) {
         if (hashes_[i] != 0) return i;
      }
      return npos;
   }

   void allocate(unsigned shift) {
      std::size_t const slots = slotsFor(std::size_t(1) << (32 - shift));
      void* block = ::operator new(entriesOffset(slots) + slots * sizeof(Entry));
      hashes_ = static_cast<std::uint32_t*>(block);
      std::fill_n(hashes_, slots, 0u);  // all empty
      shift_ = shift;
   }

   // Doubles the capacity (or more, in the rare case that the last run would not fit the tail). Entries
   // are already in (hash, key) order, which is also their order in the larger table, so each lands in
   // its home slot or right after the previous one.
   void grow() {
      // The first allocation is small: a model holds thousands of collections of one or two entries.
      // A table that outgrows that quadruples while it is small, so that one filling to its hundreds
      // (hosts of a VNI, request sets) moves its entries four times rather than seven.
      unsigned shift = capacity() == 0 ? 32 - 1 : capacity() < 16 ? shift_ - 2 : shift_ - 1;
      while (!fits(shift)) --shift;
      HashTable bigger(seed_);
      bigger.allocate(shift);
      std::size_t pos = 0;
      Entry* const from = entries();
      Entry* const to = bigger.entries();
      for (std::size_t i = first(); i != npos; i = next(i)) {
         pos = std::max(pos, bigger.home(hashes_[i]));
         ::new (&to[pos]) Entry(std::move(from[i]));
         bigger.hashes_[pos] = hashes_[i];
         ++bigger.size_;
         ++pos;
      }
      bigger.version_ = version_ + 1;
      swap(bigger);
   }

   bool fits(unsigned shift) const noexcept {
      std::size_t const cap = std::size_t(1) << (32 - shift);
      std::size_t pos = 0;
      for (std::size_t i = first(); i != npos; i = next(i))
         pos = std::max(pos, std::size_t(hashes_[i] >> shift)) + 1;
      return pos <= slotsFor(cap);
   }

   void copyFrom(HashTable const& o) {
      if (o.size_ == 0) return;
      allocate(o.shift_);
      try {
         for (std::size_t i = o.first(); i != npos; i = o.next(i)) {
            ::new (&entries()[i]) Entry(o.entries()[i]);
            hashes_[i] = o.hashes_[i];
            ++size_;
         }
      } catch (...) {
         release();
         throw;
      }
   }

   void release() noexcept {
      if (!hashes_) return;
      Entry* const e = entries();
      for (std::size_t i = 0, n = slots(); i < n; ++i) {
         // Entries that point at objects of their own (entities) have them fetched a few slots ahead:
         // the objects lie wherever they were allocated, and releasing them one cache miss at a time
         // would make dropping a table of them wait on each in turn.
         if constexpr (requires(Entry const& x) { Traits::prefetch(x); }) {
            if (i + kReleaseAhead < n && hashes_[i + kReleaseAhead] != 0) Traits::prefetch(e[i + kReleaseAhead]);
         }
         if (hashes_[i] != 0) e[i].~Entry();
      }
      ::operator delete(hashes_);
      hashes_ = nullptr;
      shift_ = 32;
      size_ = 0;
   }

   std::uint32_t* hashes_ = nullptr;
   std::uint32_t seed_ = 0;
   std::uint32_t size_ = 0;
   std::uint32_t version_ = 0;
   std::uint32_t shift_ = 32;
};

}  // namespace Zat
