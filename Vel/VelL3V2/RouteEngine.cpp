// The route trie and the summary rebuild over it.
//
// Why the rebuild can follow the trie instead of walking the summary for every route:
// - Once the stale members are gone, every summary member is a table route, so each one sits on a node of
//   the table's own trie. The members that include route r are the ones on r's root path; the members r
//   includes are the ones below r's node. Two per-node counters (members at the node, members in its
//   subtree) answer "how many" in O(1) as the preorder walk goes.
// - Preorder of a family trie (node, then the 0 side, then the 1 side) is ascending (address, length),
//   which is route order; vias come out of a node in ascending order too.
// - In the usual case at most one member covers r and none lies below it, and the literal walk's outcome
//   does not depend on walk order. Only when members lie below r (r removes some of them) or several
//   members cover r does order matter: then the members involved are ranked by the set's walk order,
//   (stored hash, route), and the literal walk's choice is replayed: the ones below r that come before
//   the first covering member are removed, in walk order, and r is skipped by that first member.
#include "Vel/VelL3V2/RouteEngine.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <new>
#include <optional>
#include <ostream>
#include <string>
#include <unordered_map>
#include <vector>

namespace VelL3V2::detail {

using Ipkit::IpGenAddr;
using Ipkit::IpGenPrefix;

std::ostream& operator<<(std::ostream& os, RouteKey const& r) {
   os << (r.destination.family() == Ipkit::ipFamilyNone ? std::string("(no destination)")
                                                        : std::string(r.destination.stringValue().view()));
   os << " via "
      << (r.via.family() == Ipkit::ipFamilyNone ? std::string("(none)")
                                                : std::string(r.via.stringValue().view()));
   return os;
}

bool isDefaultDestination(IpGenPrefix const& p) noexcept {
   switch (p.family()) {
      case Ipkit::ipFamilyV4:
         return p.length() == 0 && p.address().v4Addr() == 0;
      case Ipkit::ipFamilyV6:
         return p.isDefaultRoutePrefix();
      default:
         return false;
   }
}

namespace {

// Whether the first `bits` bits of two addresses (network order) agree.
bool leadingBitsEqual(IpGenAddr::Bytes const& a, IpGenAddr::Bytes const& b, unsigned bits) noexcept {
   unsigned const whole = bits / 8;
   if (std::memcmp(a.data(), b.data(), whole) != 0) return false;
   unsigned const rest = bits % 8;
   if (rest == 0) return true;
   auto const mask = std::uint8_t(0xffu << (8 - rest));
   return ((a[whole] ^ b[whole]) & mask) == 0;
}

}  // namespace

bool includes(IpGenPrefix const& a, IpGenPrefix const& b) noexcept {
   if (a.family() != b.family() || a.family() == Ipkit::ipFamilyNone) return false;
   if (b.length() < a.length()) return false;
   // IPv4 fills bytes 0..3, so for both families the prefix bits are the leading bits of bytes().
   return leadingBitsEqual(a.address().bytes(), b.address().bytes(), a.length());
}

[[noreturn]] void throwSummaryChangedByHandler() {
   Zat::throwPreconditionException("summary rebuild: an event handler changed the summary");
}

namespace {

// The final mix of MurmurHash3's 64-bit variant: every input bit reaches every output bit.
std::uint64_t mix64(std::uint64_t x) noexcept {
   x ^= x >> 33;
   x *= 0xff51afd7ed558ccdull;
   x ^= x >> 33;
   x *= 0xc4ceb9fe1a85ec53ull;
   return x ^ (x >> 33);
}

// An address as an unsigned number whose most significant bit is the address's first bit, so that bit i
// of a prefix is bit i of the number and numeric order is address order.
struct Key4 {
   std::uint32_t v = 0;
   static constexpr unsigned width = 32;

   static Key4 of(IpGenAddr const& a) noexcept {
      auto const& b = a.bytes();
      return {std::uint32_t(b[0]) << 24 | std::uint32_t(b[1]) << 16 | std::uint32_t(b[2]) << 8 |
              std::uint32_t(b[3])};
   }
   IpGenAddr address() const noexcept { return IpGenAddr::v4(v); }
   unsigned bit(unsigned i) const noexcept { return (v >> (31 - i)) & 1u; }
   // How many leading bits two keys share.
   friend unsigned common(Key4 a, Key4 b) noexcept { return unsigned(std::countl_zero(a.v ^ b.v)); }
   Key4 masked(unsigned len) const noexcept { return {len == 0 ? 0 : v & (~std::uint32_t(0) << (32 - len))}; }
   std::uint64_t hash(unsigned len) const noexcept { return mix64(std::uint64_t(v) << 8 | len); }
   friend bool operator==(Key4, Key4) = default;
};

struct Key6 {
   std::uint64_t hi = 0;
   std::uint64_t lo = 0;
   static constexpr unsigned width = 128;

   static Key6 of(IpGenAddr const& a) noexcept {
      auto const& b = a.bytes();
      Key6 k;
      for (unsigned i = 0; i < 8; ++i) k.hi = k.hi << 8 | b[i];
      for (unsigned i = 8; i < 16; ++i) k.lo = k.lo << 8 | b[i];
      return k;
   }
   IpGenAddr address() const noexcept {
      IpGenAddr::Bytes b;
      for (unsigned i = 0; i < 8; ++i) b[i] = std::uint8_t(hi >> (56 - 8 * i));
      for (unsigned i = 0; i < 8; ++i) b[8 + i] = std::uint8_t(lo >> (56 - 8 * i));
      return IpGenAddr::v6(b);
   }
   unsigned bit(unsigned i) const noexcept {
      return i < 64 ? unsigned(hi >> (63 - i)) & 1u : unsigned(lo >> (127 - i)) & 1u;
   }
   friend unsigned common(Key6 a, Key6 b) noexcept {
      if (std::uint64_t const x = a.hi ^ b.hi) return unsigned(std::countl_zero(x));
      return 64 + unsigned(std::countl_zero(a.lo ^ b.lo));
   }
   Key6 masked(unsigned len) const noexcept {
      if (len == 0) return {};
      if (len <= 64) return {hi & (~std::uint64_t(0) << (64 - len)), 0};
      return {hi, lo & (~std::uint64_t(0) << (128 - len))};
   }
   std::uint64_t hash(unsigned len) const noexcept { return mix64(hi ^ mix64(lo ^ len)); }
   friend bool operator==(Key6, Key6) = default;
};

constexpr std::uint32_t kNoId = 0;

// A set of 32-bit ids (never 0) found by a key that the owner derives from each id, with the 64-bit hash
// of that key: linear probing in a power-of-two array kept at most three quarters full, so that probe
// runs stay short. Removal moves later entries of a run back into the hole, so that no run is ever broken.
// It holds nothing until the first id comes, then starts at four slots and doubles: small tables are
// common and each pays only for what it holds.
class IdTable {
 public:
   // Room for `count` ids, so that inserting up to that many cannot throw. `hashOf(id)` rehashes.
   template <class HashOf>
   void reserve(std::size_t count, HashOf const& hashOf) {
      if (count * 4 <= slots_.size() * 3) return;
      std::size_t size = std::max<std::size_t>(4, slots_.size());
      while (count * 4 > size * 3) size *= 2;
      std::vector<std::uint32_t> old(size, kNoId);
      old.swap(slots_);
      for (std::uint32_t id : old) {
         if (id != kNoId) place(id, hashOf(id));
      }
   }

   // Call reserve() first.
   void insert(std::uint32_t id, std::uint64_t hash) noexcept { place(id, hash); }

   // The id with this hash that `matches` accepts, or 0.
   template <class Matches>
   std::uint32_t find(std::uint64_t hash, Matches const& matches) const noexcept {
      if (slots_.empty()) return kNoId;
      std::size_t const mask = slots_.size() - 1;
      for (std::size_t i = home(hash);; i = (i + 1) & mask) {
         std::uint32_t const id = slots_[i];
         if (id == kNoId || matches(id)) return id;
      }
   }

   // Removes `id`, whose hash is `hash`; the entries after it in its run move back when their home allows.
   template <class HashOf>
   void erase(std::uint32_t id, std::uint64_t hash, HashOf const& hashOf) noexcept {
      std::size_t const mask = slots_.size() - 1;
      std::size_t i = home(hash);
      while (slots_[i] != id) i = (i + 1) & mask;
      for (std::size_t j = (i + 1) & mask; slots_[j] != kNoId; j = (j + 1) & mask) {
         std::size_t const h = home(hashOf(slots_[j]));
         // The entry at j may fill the hole at i unless its home lies cyclically in (i, j].
         bool const stays = i <= j ? (i < h && h <= j) : (i < h || h <= j);
         if (!stays) {
            slots_[i] = slots_[j];
            i = j;
         }
      }
      slots_[i] = kNoId;
   }

   std::size_t bytesUsed() const noexcept { return slots_.capacity() * sizeof(std::uint32_t); }

 private:
   std::size_t home(std::uint64_t hash) const noexcept {
      return std::size_t(hash >> (64 - std::countr_zero(slots_.size())));
   }
   void place(std::uint32_t id, std::uint64_t hash) noexcept {
      std::size_t const mask = slots_.size() - 1;
      std::size_t i = home(hash);
      while (slots_[i] != kNoId) i = (i + 1) & mask;
      slots_[i] = id;
   }

   std::vector<std::uint32_t> slots_;  // empty, or a power of two in size
};

std::uint64_t addressHash(IpGenAddr const& a) noexcept {
   std::uint64_t hi, lo;
   std::memcpy(&hi, a.bytes().data(), 8);
   std::memcpy(&lo, a.bytes().data() + 8, 8);
   return mix64(hi ^ mix64(lo ^ a.family()));
}

// Vias are few (a table has a handful of next hops) and 17 bytes each, so destinations keep 32-bit ids
// (from 1) into one pool, each counted by the routes that use it. A released id goes on a free list
// threaded through the count, so releasing needs no room.
class ViaPool {
 public:
   std::uint32_t acquire(IpGenAddr const& a) {
      std::uint64_t const hash = addressHash(a);
      std::uint32_t id = ids_.find(hash, [&](std::uint32_t x) { return entry(x).via == a; });
      if (id != kNoId) {
         ++entry(id).refs;
         return id;
      }
      // What can throw comes first: room in the id table, then a new entry.
      ids_.reserve(live_ + 1, [this](std::uint32_t x) { return addressHash(entry(x).via); });
      if (freeHead_ != kNoId) {
         id = freeHead_;
         freeHead_ = entry(id).refs;
      } else {
         if (entries_.size() >= kMaxVias) Zat::throwRangeException("route table: too many distinct vias");
         entries_.emplace_back();
         id = std::uint32_t(entries_.size());
      }
      entry(id) = {a, 1};
      ids_.insert(id, hash);
      ++live_;
      return id;
   }
   void release(std::uint32_t id) noexcept {
      Entry& e = entry(id);
      if (--e.refs != 0) return;
      ids_.erase(id, addressHash(e.via), [this](std::uint32_t x) { return addressHash(entry(x).via); });
      e.refs = freeHead_;
      freeHead_ = id;
      --live_;
   }
   IpGenAddr const& at(std::uint32_t id) const noexcept { return entries_[id - 1].via; }
   std::size_t bytesUsed() const noexcept { return entries_.capacity() * sizeof(Entry) + ids_.bytesUsed(); }

 private:
   struct Entry {
      IpGenAddr via;
      std::uint32_t refs;  // routes using it; for a free entry, the next free id
   };
   Entry& entry(std::uint32_t id) noexcept { return entries_[id - 1]; }
   Entry const& entry(std::uint32_t id) const noexcept { return entries_[id - 1]; }

   // Ids must leave ViaSets' kMany bit clear.
   static constexpr std::size_t kMaxVias = 0x7fffffff;
   std::vector<Entry> entries_;  // id - 1
   IdTable ids_;                 // the live ids by address
   std::uint32_t freeHead_ = kNoId;
   std::uint32_t live_ = 0;
};

// The vias of one destination, as one 32-bit handle: 0 for none, the via's id for a single via (by far the
// usual case), kMany | list for several, kept in ascending address order in a side list.
class ViaSets {
 public:
   static constexpr std::uint32_t kMany = 0x80000000u;

   bool add(std::uint32_t& h, IpGenAddr const& v) {
      if (h == 0) {
         h = pool_.acquire(v);
         return true;
      }
      if (!(h & kMany)) {
         std::uint32_t const old = h;
         if (pool_.at(old) == v) return false;
         std::uint32_t const id = pool_.acquire(v);
         try {
            std::uint32_t const li = newList();
            lists_[li] =
                pool_.at(old) < v ? std::vector<std::uint32_t>{old, id} : std::vector<std::uint32_t>{id, old};
            h = kMany | li;
         } catch (...) {
            pool_.release(id);
            throw;
         }
         return true;
      }
      auto& l = lists_[h & ~kMany];
      auto pos = lowerBound(l, v);
      if (pos != l.end() && pool_.at(*pos) == v) return false;
      std::uint32_t const id = pool_.acquire(v);
      try {
         l.insert(pos, id);
      } catch (...) {
         pool_.release(id);
         throw;
      }
      return true;
   }

   bool remove(std::uint32_t& h, IpGenAddr const& v) noexcept {
      if (h == 0) return false;
      if (!(h & kMany)) {
         if (pool_.at(h) != v) return false;
         pool_.release(h);
         h = 0;
         return true;
      }
      std::uint32_t const li = h & ~kMany;
      auto& l = lists_[li];
      auto pos = lowerBound(l, v);
      if (pos == l.end() || pool_.at(*pos) != v) return false;
      pool_.release(*pos);
      l.erase(pos);
      if (l.size() == 1) {
         h = l[0];
         std::vector<std::uint32_t>().swap(l);
         freeLists_.push_back(li);  // room was made when the list was created
      }
      return true;
   }

   bool has(std::uint32_t h, IpGenAddr const& v) const noexcept {
      if (h == 0) return false;
      if (!(h & kMany)) return pool_.at(h) == v;
      auto const& l = lists_[h & ~kMany];
      auto pos = lowerBound(l, v);
      return pos != l.end() && pool_.at(*pos) == v;
   }

   // The smallest via; `h` must not be empty.
   IpGenAddr const& first(std::uint32_t h) const noexcept {
      return pool_.at(h & kMany ? lists_[h & ~kMany].front() : h);
   }

   bool single(std::uint32_t h) const noexcept { return h != 0 && !(h & kMany); }

   // Calls f(via) for every via in ascending order.
   template <class F>
   void each(std::uint32_t h, F&& f) const {
      if (h == 0) return;
      if (!(h & kMany)) {
         f(pool_.at(h));
         return;
      }
      for (std::uint32_t id : lists_[h & ~kMany]) f(pool_.at(id));
   }

   std::size_t bytesUsed() const noexcept {
      std::size_t n = pool_.bytesUsed() + lists_.capacity() * sizeof(lists_[0]) + freeLists_.capacity() * 4;
      for (auto const& l : lists_) n += l.capacity() * 4;
      return n;
   }

 private:
   std::vector<std::uint32_t>::const_iterator lowerBound(std::vector<std::uint32_t> const& l,
                                                         IpGenAddr const& v) const noexcept {
      return std::lower_bound(l.begin(), l.end(), v,
                              [this](std::uint32_t id, IpGenAddr const& x) { return pool_.at(id) < x; });
   }

   std::uint32_t newList() {
      if (!freeLists_.empty()) {
         std::uint32_t const li = freeLists_.back();
         freeLists_.pop_back();
         return li;
      }
      if (lists_.size() >= kMany)
         Zat::throwRangeException("route table: too many destinations with several vias");
      // Every list may be freed at once, and freeing must not throw: the free list gets room for all.
      if (freeLists_.capacity() < lists_.size() + 1) {
         freeLists_.reserve(2 * (lists_.size() + 1));
      }
      lists_.emplace_back();
      return std::uint32_t(lists_.size() - 1);
   }

   ViaPool pool_;
   std::vector<std::vector<std::uint32_t>> lists_;
   std::vector<std::uint32_t> freeLists_;
};

// A path-compressed binary trie of one family's destinations. A node is a destination of the table
// (routes != 0) or a fork that two destinations need (routes == 0, always two children). Node 0 is the
// null node.
//
// Beside the trie, a linear-probing table finds a destination's node by (key, length) in a probe or two:
// a descent costs a cache miss per level, twenty and more in a real table, and exact finds are what
// contains(), remove() and the rebuild's stale pass do for every route they see.
template <class K>
class FamilyTrie {
 public:
   struct Node {
      K key;  // host bits past len are zero
      std::uint32_t child[2];
      std::uint32_t routes;  // a ViaSets handle
      std::uint8_t len;
   };
   // A root path holds at most one node per length.
   static constexpr unsigned kMaxDepth = K::width + 1;

   FamilyTrie() = default;

   std::uint32_t root() const noexcept { return root_; }
   Node const& node(std::uint32_t id) const noexcept { return blocks_[id >> kBlockBits][id & kBlockMask]; }
   Node& node(std::uint32_t id) noexcept { return blocks_[id >> kBlockBits][id & kBlockMask]; }
   // Every id in use is below this.
   std::size_t slots() const noexcept { return used_; }

   // The destination node of exactly (key, len), or 0.
   std::uint32_t exact(K key, unsigned len) const noexcept {
      return exact_.find(key.hash(len), [&](std::uint32_t id) {
         Node const& n = node(id);
         return n.len == len && n.key == key;
      });
   }

   // The node of exactly (key, len), destination or fork, or 0. With `path`, the nodes from the root down
   // to it go there too.
   std::uint32_t find(K key, unsigned len, std::uint32_t* path = nullptr,
                      unsigned* depth = nullptr) const noexcept {
      unsigned d = 0;
      for (std::uint32_t cur = root_; cur != kNoId;) {
         Node const& n = node(cur);
         if (n.len > len || common(n.key, key) < n.len) return kNoId;
         if (path) path[d++] = cur;
         if (n.len == len) {
            if (depth) *depth = d;
            return cur;
         }
         cur = n.child[key.bit(n.len)];
      }
      return kNoId;
   }

   // The shortest node with routes whose prefix includes (key, len), or 0.
   std::uint32_t firstCovering(K key, unsigned len) const noexcept {
      for (std::uint32_t cur = root_; cur != kNoId;) {
         Node const& n = node(cur);
         if (n.len > len || common(n.key, key) < n.len) return kNoId;
         if (n.routes) return cur;
         if (n.len == len) return kNoId;
         cur = n.child[key.bit(n.len)];
      }
      return kNoId;
   }

   // Makes room for the two nodes an insertion may need and for one more destination in the exact-match
   // table; after it, insert() and enter() cannot throw.
   void reserve() {
      if (freeCount_ + capacity() < std::size_t(used_) + 2) grow();
      exact_.reserve(destinations_ + 1, [this](std::uint32_t id) { return hashOf(id); });
   }

   // Node `id` became a destination (it gained its first route): the exact-match table learns it.
   void enter(std::uint32_t id) noexcept {
      exact_.insert(id, hashOf(id));
      ++destinations_;
   }

   // Node `id` stopped being a destination (it lost its last route).
   void leave(std::uint32_t id) noexcept {
      exact_.erase(id, hashOf(id), [this](std::uint32_t x) { return hashOf(x); });
      --destinations_;
   }

   // The node of (key, len), created (with a fork above it if needed) when missing. Call reserve() first.
   std::uint32_t insert(K key, unsigned len) noexcept {
      std::uint32_t parent = kNoId;
      unsigned side = 0;
      std::uint32_t cur = root_;
      while (cur != kNoId) {
         Node const& n = node(cur);
         unsigned const cpl = std::min({common(n.key, key), unsigned(n.len), len});
         if (cpl < n.len) {
            if (cpl == len) {
               // The new destination sits above `cur`.
               std::uint32_t const id = alloc(key, len);
               node(id).child[node(cur).key.bit(len)] = cur;
               link(parent, side, id);
               return id;
            }
            // They part at bit cpl: a fork there takes both.
            std::uint32_t const leaf = alloc(key, len);
            std::uint32_t const fork = alloc(key.masked(cpl), cpl);
            node(fork).child[key.bit(cpl)] = leaf;
            node(fork).child[node(cur).key.bit(cpl)] = cur;
            link(parent, side, fork);
            return leaf;
         }
         if (n.len == len) return cur;
         parent = cur;
         side = key.bit(n.len);
         cur = n.child[side];
      }
      std::uint32_t const id = alloc(key, len);
      link(parent, side, id);
      return id;
   }

   // Called when the node of (key, len) may have lost its last route: drops it, and a fork it leaves
   // with a single child, so that every routeless node keeps two children.
   void prune(K key, unsigned len) noexcept {
      std::uint32_t path[kMaxDepth];
      unsigned depth = 0;
      std::uint32_t const x = find(key, len, path, &depth);
      if (x == kNoId || node(x).routes != 0) return;
      Node const& n = node(x);
      unsigned const kids = (n.child[0] != kNoId) + (n.child[1] != kNoId);
      if (kids == 2) return;
      std::uint32_t const parent = depth >= 2 ? path[depth - 2] : kNoId;
      if (kids == 1) {
         replace(parent, x, n.child[0] != kNoId ? n.child[0] : n.child[1]);
         release(x);
         return;
      }
      replace(parent, x, kNoId);
      release(x);
      if (parent != kNoId && node(parent).routes == 0) {
         Node const& p = node(parent);
         std::uint32_t const other = p.child[0] != kNoId ? p.child[0] : p.child[1];
         replace(depth >= 3 ? path[depth - 3] : kNoId, parent, other);
         release(parent);
      }
   }

   std::size_t bytesUsed() const noexcept {
      return capacity() * sizeof(Node) + blocks_.capacity() * sizeof(blocks_[0]) + exact_.bytesUsed();
   }
   std::size_t nodeCount() const noexcept { return used_ - 1 - freeCount_; }

 private:
   std::uint32_t alloc(K key, unsigned len) noexcept {
      std::uint32_t id;
      if (freeHead_ != kNoId) {
         id = freeHead_;
         freeHead_ = node(id).child[0];
         --freeCount_;
      } else {
         id = used_++;  // reserve() made room
      }
      node(id) = Node{key, {kNoId, kNoId}, 0, std::uint8_t(len)};
      return id;
   }
   // Freed nodes chain through child[0].
   void release(std::uint32_t id) noexcept {
      node(id).child[0] = freeHead_;
      freeHead_ = id;
      ++freeCount_;
   }
   std::uint64_t hashOf(std::uint32_t id) const noexcept { return node(id).key.hash(node(id).len); }

   // Nodes there is room for.
   std::size_t capacity() const noexcept {
      return blocks_.empty() ? 0 : firstBlock_ + ((blocks_.size() - 1) << kBlockBits);
   }
   // Room for more nodes: the first block doubles (its nodes copied) until it is full size, then full-size
   // blocks are added.
   void grow() {
      if (!blocks_.empty() && firstBlock_ == kBlockSize) {
         if (blocks_.size() + 1 >= (std::size_t(1) << (32 - kBlockBits))) {
            Zat::throwRangeException("route table: too many destinations");
         }
         blocks_.push_back(std::make_unique<Node[]>(kBlockSize));
         return;
      }
      std::uint32_t const size = blocks_.empty() ? kFirstBlockSize : 2 * firstBlock_;
      auto block = std::make_unique<Node[]>(size);
      if (blocks_.empty()) {
         blocks_.push_back(std::move(block));
      } else {
         std::copy_n(blocks_[0].get(), used_, block.get());
         blocks_[0] = std::move(block);
      }
      firstBlock_ = size;
   }
   void link(std::uint32_t parent, unsigned side, std::uint32_t id) noexcept {
      if (parent == kNoId) {
         root_ = id;
      } else {
         node(parent).child[side] = id;
      }
   }
   void replace(std::uint32_t parent, std::uint32_t old, std::uint32_t now) noexcept {
      if (parent == kNoId) {
         root_ = now;
         return;
      }
      Node& p = node(parent);
      p.child[p.child[0] == old ? 0 : 1] = now;
   }

   // Nodes live in blocks of 2^14 that, once full size, never move: a large table's growth copies
   // nothing, leaves no slack past the last block, and never holds two copies of the tree at once. Only the
   // first block starts small (a few nodes) and doubles, copied each time, up to full size, so that the
   // thousands of small tables an agent keeps pay for the nodes they use; node(id) is the same for both.
   // Id 0 is the null node.
   static constexpr unsigned kBlockBits = 14;
   static constexpr std::uint32_t kBlockSize = std::uint32_t(1) << kBlockBits;
   static constexpr std::uint32_t kBlockMask = kBlockSize - 1;
   // The null node and the two nodes of a first destination.
   static constexpr std::uint32_t kFirstBlockSize = 4;
   std::vector<std::unique_ptr<Node[]>> blocks_;
   std::uint32_t firstBlock_ = 0;  // nodes in blocks_[0]
   std::uint32_t used_ = 1;        // ids handed out, the null node included
   std::uint32_t freeHead_ = kNoId;
   std::uint32_t freeCount_ = 0;
   std::uint32_t root_ = kNoId;
   std::uint32_t destinations_ = 0;
   IdTable exact_;  // destination node ids by (key, len)
};

}  // namespace

struct RouteTrie::Impl {
   FamilyTrie<Key4> v4;
   FamilyTrie<Key6> v6;
   ViaSets vias;
   std::uint32_t noFamily = 0;  // the vias of the one destination with no family
   std::size_t routes = 0;

   template <class K>
   bool add(FamilyTrie<K>& t, IpGenPrefix const& d, IpGenAddr const& via) {
      K const key = K::of(d.address());
      t.reserve();
      std::uint32_t const x = t.insert(key, d.length());
      bool const wasDestination = t.node(x).routes != 0;
      bool added;
      try {
         added = vias.add(t.node(x).routes, via);
      } catch (...) {
         t.prune(key, d.length());
         throw;
      }
      if (!wasDestination) t.enter(x);
      routes += added;
      return added;
   }

   template <class K>
   bool remove(FamilyTrie<K>& t, IpGenPrefix const& d, IpGenAddr const& via) noexcept {
      K const key = K::of(d.address());
      std::uint32_t const x = t.exact(key, d.length());
      if (x == kNoId || !vias.remove(t.node(x).routes, via)) return false;
      --routes;
      if (t.node(x).routes == 0) {
         t.leave(x);
         t.prune(key, d.length());
      }
      return true;
   }

   template <class K>
   bool contains(FamilyTrie<K> const& t, IpGenPrefix const& d, IpGenAddr const& via) const noexcept {
      std::uint32_t const x = t.exact(K::of(d.address()), d.length());
      return x != kNoId && vias.has(t.node(x).routes, via);
   }

   template <class K>
   IpGenAddr lookup(FamilyTrie<K> const& t, K key, unsigned len) const noexcept {
      std::uint32_t const x = t.firstCovering(key, len);
      return x == kNoId ? IpGenAddr() : vias.first(t.node(x).routes);
   }
};

// The tries live behind a pointer that is null while the table is empty: never filled, emptied (its
// last route removed, or cleared) or moved from. A null one reads as an empty table, costs nothing beyond
// the pointer, and the first addition brings the tries back.
RouteTrie::RouteTrie() = default;
RouteTrie::~RouteTrie() = default;
RouteTrie::RouteTrie(RouteTrie&&) noexcept = default;
RouteTrie& RouteTrie::operator=(RouteTrie&&) noexcept = default;

RouteTrie::Impl const& RouteTrie::impl() const noexcept {
   static Impl const empty;
   return impl_ ? *impl_ : empty;
}

bool RouteTrie::add(IpGenPrefix const& destination, IpGenAddr const& via) {
   if (!impl_) impl_ = std::make_unique<Impl>();
   Impl& i = *impl_;
   switch (destination.family()) {
      case Ipkit::ipFamilyV4:
         return i.add(i.v4, destination, via);
      case Ipkit::ipFamilyV6:
         return i.add(i.v6, destination, via);
      default: {
         bool const added = i.vias.add(i.noFamily, via);
         i.routes += added;
         return added;
      }
   }
}

bool RouteTrie::remove(IpGenPrefix const& destination, IpGenAddr const& via) noexcept {
   if (!impl_) return false;
   Impl& i = *impl_;
   bool removed;
   switch (destination.family()) {
      case Ipkit::ipFamilyV4:
         removed = i.remove(i.v4, destination, via);
         break;
      case Ipkit::ipFamilyV6:
         removed = i.remove(i.v6, destination, via);
         break;
      default:
         removed = i.vias.remove(i.noFamily, via);
         i.routes -= removed;
         break;
   }
   if (i.routes == 0) impl_.reset();
   return removed;
}

bool RouteTrie::contains(IpGenPrefix const& destination, IpGenAddr const& via) const noexcept {
   Impl const& i = impl();
   switch (destination.family()) {
      case Ipkit::ipFamilyV4:
         return i.contains(i.v4, destination, via);
      case Ipkit::ipFamilyV6:
         return i.contains(i.v6, destination, via);
      default:
         return i.vias.has(i.noFamily, via);
   }
}

IpGenAddr RouteTrie::lookup(IpGenPrefix const& p) const noexcept {
   Impl const& i = impl();
   switch (p.family()) {
      case Ipkit::ipFamilyV4:
         return i.lookup(i.v4, Key4::of(p.address()), p.length());
      case Ipkit::ipFamilyV6:
         return i.lookup(i.v6, Key6::of(p.address()), p.length());
      default:
         return IpGenAddr();  // a destination with no family includes nothing
   }
}

IpGenAddr RouteTrie::lookup(IpGenAddr const& a) const noexcept {
   Impl const& i = impl();
   switch (a.family()) {
      case Ipkit::ipFamilyV4:
         return i.lookup(i.v4, Key4::of(a), Key4::width);
      case Ipkit::ipFamilyV6:
         return i.lookup(i.v6, Key6::of(a), Key6::width);
      default:
         return IpGenAddr();
   }
}

void RouteTrie::clear() noexcept {
   impl_.reset();
}

std::size_t RouteTrie::size() const noexcept {
   return impl_ ? impl_->routes : 0;
}

std::size_t RouteTrie::bytesUsed() const noexcept {
   if (!impl_) return 0;
   return sizeof(Impl) + impl_->v4.bytesUsed() + impl_->v6.bytesUsed() + impl_->vias.bytesUsed();
}

std::size_t RouteTrie::nodeCount() const noexcept {
   return impl_ ? impl_->v4.nodeCount() + impl_->v6.nodeCount() : 0;
}

namespace {

// A summary member placed in walk order.
struct Ranked {
   std::uint32_t hash;
   RouteKey route;
   std::uint32_t node;  // its node in the family trie
};

bool walksBefore(Ranked const& a, Ranked const& b) noexcept {
   if (a.hash != b.hash) return a.hash < b.hash;
   return a.route < b.route;
}

// The rebuild over one family trie. own_[n] counts the summary members at node n, sub_[n] those in n's
// subtree (n included); sub_ exists only when members survived the stale pass, since otherwise members
// only ever appear at the node being visited and nothing lies below it. Node 0, the null node, counts
// nothing, so children can be summed without looking.
template <class K>
class FamilyRebuild {
 public:
   using Trie = FamilyTrie<K>;
   using Node = typename Trie::Node;

   FamilyRebuild(Trie const& t, ViaSets const& vias, SummaryPort& port)
       : t_(t), vias_(vias), port_(port), events_(port.hasEvents()) {}

   // A member of this family found by the stale pass: answers whether the table has it, and counts it
   // at its node when it does.
   bool countMember(RouteKey const& s) {
      std::uint32_t const x = t_.exact(K::of(s.destination.address()), s.destination.length());
      if (x == kNoId || !vias_.has(t_.node(x).routes, s.via)) return false;
      if (own_.empty()) own_.assign(t_.slots(), 0);
      ++own_[x];
      return true;
   }

   // Every route of the trie, in preorder (route order), takes the summary step.
   void run() {
      if (t_.root() == kNoId) return;
      if (own_.empty()) {
         own_.assign(t_.slots(), 0);
      } else {
         countSubtrees();
      }
      std::vector<Frame> stack;
      stack.reserve(Trie::kMaxDepth);
      stack.push_back({t_.root(), 0, kNoId, 0});
      while (!stack.empty()) {
         Frame const f = stack.back();
         if (f.state == 0) {
            stack.back().state = 1;
            if (t_.node(f.node).routes != 0) visit(stack);
            continue;
         }
         if (f.state == 3) {
            stack.pop_back();
            continue;
         }
         stack.back().state = std::uint8_t(f.state + 1);
         std::uint32_t const c = t_.node(f.node).child[f.state - 1];
         if (c != kNoId) {
            // The members on the path above a node cannot change once the node is pushed: members only
            // come at the node being visited and only go below it.
            std::uint32_t const o = own_[f.node];
            stack.push_back({c, f.above + o, o ? f.node : f.nearest, 0});
         }
      }
   }

 private:
   struct Frame {
      std::uint32_t node;
      std::uint32_t above;    // summary members on the strict root path
      std::uint32_t nearest;  // the deepest strict ancestor holding members, or 0
      std::uint8_t state;     // 0: not visited; 1, 2: child 0, 1 next; 3: done
   };

   // sub_ from own_, bottom-up: one pass over the trie, where summing along every member's root path
   // would cost a cache miss per level per member.
   void countSubtrees() {
      sub_.assign(t_.slots(), 0);
      std::vector<std::uint32_t> stack{t_.root()};
      std::vector<std::uint32_t> order;  // preorder; children are summed in reverse of it
      order.reserve(t_.slots());
      while (!stack.empty()) {
         std::uint32_t const x = stack.back();
         stack.pop_back();
         order.push_back(x);
         for (std::uint32_t c : t_.node(x).child) {
            if (c != kNoId) stack.push_back(c);
         }
      }
      for (auto it = order.rbegin(); it != order.rend(); ++it) {
         Node const& n = t_.node(*it);
         sub_[*it] = own_[*it] + sub_[n.child[0]] + sub_[n.child[1]];
      }
   }

   // The summary steps of every route at the node on top of the stack.
   void visit(std::vector<Frame> const& stack) {
      Frame const& f = stack.back();
      std::uint32_t const n = f.node;
      Node const& node = t_.node(n);
      if (node.len == 0) {
         // This family's default destination: never summarised.
         if (events_) {
            IpGenPrefix const dest(node.key.address(), node.len);
            vias_.each(node.routes, [&](IpGenAddr const& via) { port_.skipDefault(RouteKey{dest, via}); });
         }
         return;
      }
      // Most routes are covered and, without a handler, need nothing at all: not even their destination
      // as a value, so it is made only when a step uses it.
      std::optional<IpGenPrefix> dest;
      auto route = [&](IpGenAddr const& via) {
         if (!dest) dest.emplace(node.key.address(), node.len);
         return RouteKey{*dest, via};
      };
      vias_.each(node.routes, [&](IpGenAddr const& via) {
         std::uint32_t const covering = f.above + own_[n];
         std::uint32_t const below = sub_.empty() ? 0 : sub_[n] - own_[n];
         if (below != 0) {
            replay(stack, route(via), covering);
         } else if (covering == 0) {
            add(n, route(via));
         } else if (events_) {
            port_.skipIncluded(route(via), firstCovering(stack, covering).route);
         }
      });
   }

   void add(std::uint32_t n, RouteKey const& r) {
      if (events_) port_.adding(r);
      port_.insert(r);
      ++own_[n];
      if (!sub_.empty()) ++sub_[n];
   }

   // Members lie below r: the literal walk removes those of them that come before the first member
   // covering r (all of them when none covers r), in walk order, and then stops at that member or adds r.
   void replay(std::vector<Frame> const& stack, RouteKey const& r, std::uint32_t covering) {
      std::uint32_t const n = stack.back().node;
      std::vector<Ranked> below;
      collectBelow(n, below);
      std::sort(below.begin(), below.end(), walksBefore);
      Ranked stop{};
      if (covering != 0) stop = firstCovering(stack, covering);
      for (Ranked const& d : below) {
         if (covering != 0 && !walksBefore(d, stop)) break;
         if (events_) port_.removal(r, d.route);
         port_.erase(d.route);
         uncount(n, d.node);
      }
      if (covering != 0) {
         if (events_) port_.skipIncluded(r, stop.route);
      } else {
         add(n, r);
      }
   }

   // The first member in walk order among the `covering` members on the path (top of the stack included).
   Ranked firstCovering(std::vector<Frame> const& stack, std::uint32_t covering) {
      Frame const& f = stack.back();
      std::vector<Ranked> found;
      if (covering == 1) {
         // The one member is at the node itself or at the deepest ancestor that holds members.
         membersAt(own_[f.node] != 0 ? f.node : f.nearest, found);
      } else {
         for (Frame const& g : stack) {
            if (own_[g.node] != 0) membersAt(g.node, found);
         }
      }
      return *std::min_element(found.begin(), found.end(), walksBefore);
   }

   // The members at node x, ranked.
   void membersAt(std::uint32_t x, std::vector<Ranked>& out) {
      Node const& node = t_.node(x);
      IpGenPrefix const dest(node.key.address(), node.len);
      std::uint32_t left = own_[x];
      bool const single = vias_.single(node.routes);
      vias_.each(node.routes, [&](IpGenAddr const& via) {
         if (left == 0) return;
         RouteKey k{dest, via};
         // A node with one route holds a member exactly when its count says so; with several, the set
         // itself tells which of them.
         if (single || port_.contains(k)) {
            out.push_back(Ranked{port_.walkHash(k), std::move(k), x});
            --left;
         }
      });
   }

   // The members strictly below node n, ranked; subtrees without members are not entered.
   void collectBelow(std::uint32_t n, std::vector<Ranked>& out) {
      std::vector<std::uint32_t> todo;
      for (std::uint32_t c : t_.node(n).child) {
         if (c != kNoId && sub_[c] != 0) todo.push_back(c);
      }
      while (!todo.empty()) {
         std::uint32_t const x = todo.back();
         todo.pop_back();
         if (own_[x] != 0) membersAt(x, out);
         for (std::uint32_t c : t_.node(x).child) {
            if (c != kNoId && sub_[c] != 0) todo.push_back(c);
         }
      }
   }

   // A member at node x, below n, was removed: its counts go from x and from every node from n down to x.
   void uncount(std::uint32_t n, std::uint32_t x) {
      K const key = t_.node(x).key;
      for (std::uint32_t cur = n;;) {
         --sub_[cur];
         if (cur == x) break;
         Node const& c = t_.node(cur);
         cur = c.child[key.bit(c.len)];
      }
      --own_[x];
   }

   Trie const& t_;
   ViaSets const& vias_;
   SummaryPort& port_;
   bool const events_;
   std::vector<std::uint32_t> own_;
   std::vector<std::uint32_t> sub_;
};

}  // namespace

void recomputeSummaryCore(RouteTrie const& table, SummaryPort& summary) {
   RouteTrie::Impl const& impl = table.impl();
   FamilyRebuild<Key4> v4(impl.v4, impl.vias, summary);
   FamilyRebuild<Key6> v6(impl.v6, impl.vias, summary);

   // Stale members: the walk only reads, so they are listed first and removed after it, still in walk
   // order. The members that stay are counted where they sit in the tries.
   struct StalePass final : SummaryPort::Visitor {
      StalePass(RouteTrie::Impl const& i, FamilyRebuild<Key4>& a, FamilyRebuild<Key6>& b)
          : impl(i), v4(a), v6(b) {}
      void member(RouteKey const& s) override {
         bool inTable;
         switch (s.destination.family()) {
            case Ipkit::ipFamilyV4:
               inTable = v4.countMember(s);
               break;
            case Ipkit::ipFamilyV6:
               inTable = v6.countMember(s);
               break;
            default:
               inTable = impl.vias.has(impl.noFamily, s.via);
               break;
         }
         if (!inTable) stale.push_back(s);
      }
      RouteTrie::Impl const& impl;
      FamilyRebuild<Key4>& v4;
      FamilyRebuild<Key6>& v6;
      std::vector<RouteKey> stale;
   } pass(impl, v4, v6);
   summary.walk(pass);

   bool const events = summary.hasEvents();
   for (RouteKey const& s : pass.stale) {
      if (events) summary.removingStale(s);
      summary.erase(s);
   }

   // Route order: the destination with no family first, then IPv4, then IPv6. A route with no family
   // includes nothing and nothing includes it, so its walk always ends in "adding" (even when it is
   // already a member).
   impl.vias.each(impl.noFamily, [&](IpGenAddr const& via) {
      RouteKey const r{IpGenPrefix(), via};
      if (events) summary.adding(r);
      summary.insert(r);
   });
   v4.run();
   v6.run();
}

}  // namespace VelL3V2::detail
