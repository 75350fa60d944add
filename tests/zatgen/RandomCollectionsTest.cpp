// Randomised model checks of Root's collections. Every step is mirrored on a standard-library model, and
// after each one the collection's walk (keys, values and entities), size, presence tests, accessors and
// the notifications the step sent are compared with it. Cursor walks that delete (and insert) as they go
// are checked position by position: each step must land on the first key present after the one the
// cursor stood on.
//
// The order a hash collection walks in is ascending (hash, key) whatever its history and capacity, so a
// separate set with the same hash constant, holding every key of the key space, gives the rank of each key.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <optional>
#include <random>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "ZatgenTest/ZatgenTestTypes.h"
#include "support/Recorder.h"

using namespace ZatgenTest;
using Strings = std::vector<std::string>;

namespace {

constexpr int keySpace = 512;

class Rng {
 public:
   explicit Rng(unsigned seed) : g_(seed) {}
   int below(int n) { return int(g_() % unsigned(n)); }
   bool percent(int p) { return below(100) < p; }
   // A key of `model` chosen at random; the model must not be empty.
   template <class M>
   int anyOf(M const& model) {
      auto it = model.begin();
      std::advance(it, below(int(model.size())));
      return it->first;
   }

 private:
   std::mt19937 g_;
};

// Key n of the string key space ("k<n>") and of the integer one (distinct, spread over 16 bits, not in
// the order of n), and the number of a key back.
Zat::String const& skey(int n) {
   static std::vector<Zat::String> const keys = [] {
      std::vector<Zat::String> v;
      for (int i = 0; i < keySpace; ++i) v.emplace_back("k" + std::to_string(i));
      return v;
   }();
   return keys.at(std::size_t(n));
}
std::uint32_t ikey(int n) {
   return std::uint32_t(std::uint64_t(n) * 40503u % 65521u);
}
int num(Zat::String const& k) {
   return std::stoi(std::string(k.view().substr(1)));
}
int num(std::uint32_t k) {
   static std::unordered_map<std::uint32_t, int> const back = [] {
      std::unordered_map<std::uint32_t, int> m;
      for (int i = 0; i < keySpace; ++i) m.emplace(ikey(i), i);
      return m;
   }();
   return back.at(k);
}

// One key's element as a collection shows it: its value (1 to 3, few so that setting a key to the value
// it has is common; 0 in sets and for children) and the entity that holds it, if any.
using Obj = Zat::Ptr<Zat::PtrInterface>;
struct Element {
   int value = 0;
   Obj object;
   bool operator==(Element const&) const = default;
};
std::ostream& operator<<(std::ostream& os, Element const& e) {
   return os << e.value << "@" << e.object.get();
}
using Item = std::pair<int, Element>;   // a key number and its element
using Look = std::pair<bool, Element>;  // whether a key is present, and what the accessor answers

// What a walk or a cursor shows of each kind of entry.
Item item(Zat::String const& k) {
   return {num(k), {}};
}
Item item(std::pair<Zat::String, std::uint32_t> const& e) {
   return {num(e.first), {int(e.second), {}}};
}
template <class T>
Item item(Zat::Ptr<T> const& p) {
   if constexpr (std::is_same_v<T, Member>) {
      return {num(p->name()), {int(p->weight()), p}};
   } else if constexpr (std::is_same_v<T, Child>) {
      return {num(p->id()), {0, p}};
   } else {
      return {num(p->zatKey()), {std::stoi(p->value().str()), {}}};
   }
}

// ------------------------------------------------------------------------------------------------------
// Each collection of the root through its own typed members: `id` is the attribute id it publishes
// under, `values` how many values a key may take; deletion checks its answer.

// clang-format off
#define TYPED_MEMBERS(name, keyOf)                                                      \
   static constexpr int id = Root::AttrId::name;                                        \
   static auto key(int n) { return keyOf(n); }                                          \
   static void delAll(Root& r) { r.name##DelAll(); }                                    \
   static std::size_t size(Root const& r) { return r.name##Size(); }                    \
   static auto const& coll(Root const& r) { return r.name##Collection(); }              \
   static auto iter(Root const& r) { return r.name##Iter(); }
// clang-format on

struct Tag {  // value set
   TYPED_MEMBERS(tag, skey)
   static constexpr int values = 0;
   static Obj is(Root& r, int n, int) { return r.tagIs(skey(n)), Obj(); }
   static void del(Root& r, int n, Element const* e) { EXPECT_EQ(r.tagDel(skey(n)), e != nullptr); }
   static Look look(Root const& r, int n) { return {r.tagHas(skey(n)), {}}; }
};
struct Score {  // value map
   TYPED_MEMBERS(score, skey)
   static constexpr int values = 3;
   static Obj is(Root& r, int n, int v) { return r.scoreIs(skey(n), std::uint32_t(v)), Obj(); }
   static void del(Root& r, int n, Element const* e) { EXPECT_EQ(r.scoreDel(skey(n)), e != nullptr); }
   static Look look(Root const& r, int n) { return {r.scoreHas(skey(n)), {int(r.score(skey(n))), {}}}; }
};
struct MemberColl {  // entity collection: find-or-create by name, refused with another weight
   TYPED_MEMBERS(member, skey)
   static constexpr int values = 3;
   static Obj is(Root& r, int n, int w) {
      // Refused, and nothing changes: not even the version an unchecked walk compares.
      auto const version = r.memberCollection().version();
      try {
         return r.memberIs(skey(n), std::uint32_t(w));
      } catch (Zat::ReinstantiationException const&) {
         EXPECT_EQ(r.memberCollection().version(), version);
         throw;
      }
   }
   static void del(Root& r, int n, Element const* e) {
      EXPECT_EQ(r.memberDel(skey(n)), e ? e->object : nullptr);
   }
   static Look look(Root const& r, int n) {
      Zat::Ptr<Member> m = r.member(skey(n));
      return {r.memberHas(skey(n)), m ? Element{int(m->weight()), m} : Element{}};
   }
};
struct ChildMap {  // ordered entity map: children get a parent link and lose it on removal
   TYPED_MEMBERS(child, ikey)
   static constexpr int values = 0;
   static Obj is(Root& r, int n, int) { return r.childIs(ikey(n)); }
   static void del(Root& r, int n, Element const* e) {
      EXPECT_EQ(r.childDel(ikey(n)), e ? e->object : nullptr);
   }
   static Look look(Root const& r, int n) { return {r.childHas(ikey(n)), {0, r.child(ikey(n))}}; }
};
struct History {  // ordered value map
   TYPED_MEMBERS(history, ikey)
   static constexpr int values = 3;
   static Obj is(Root& r, int n, int v) {
      return r.historyIs(ikey(n), Zat::String(std::to_string(v))), Obj();
   }
   // Removal answers the value the key had, "" for none.
   static void del(Root& r, int n, Element const* e) {
      EXPECT_EQ(r.historyDel(ikey(n)).str(), e ? std::to_string(e->value) : "");
   }
   static Look look(Root const& r, int n) {
      Zat::String const v = r.history(ikey(n));
      return {r.historyHas(ikey(n)), {v.empty() ? 0 : std::stoi(v.str()), {}}};
   }
};
#undef TYPED_MEMBERS

// ------------------------------------------------------------------------------------------------------
// The driver: a root, the model of one of its collections, and the notifications the current step is
// expected to have sent.

template <class Ops>
struct Driver {
   using Cursor = decltype(Ops::iter(std::declval<Root const&>()));
   using Coll = std::remove_cvref_t<decltype(Ops::coll(std::declval<Root const&>()))>;
   // Ordered collections walk in key order, and their cursor keeps the node it stands on.
   static constexpr bool ordered = requires(Cursor c) { c.node(); };

   Recorder rec;  // declared first: outlives the root that may still hold it
   Zat::Ptr<Root> root = Root::RootIs("r");
   Rng rng;
   bool watched = false;
   std::map<int, Element> model;
   std::vector<Obj> removed;  // entities taken out since the last check
   Strings expected;
   std::vector<int> rank = std::vector<int>(keySpace);

   explicit Driver(unsigned seed) : rng(seed) {
      if constexpr (ordered) {
         for (int n = 0; n < keySpace; ++n) rank[std::size_t(n)] = int(ikey(n));
      } else {
         Zat::ValueSet<typename Coll::Key, Coll::hashConstant> all;
         for (int n = 0; n < keySpace; ++n) all.insert(Ops::key(n));
         int r = 0;
         for (auto const& k : all) rank[std::size_t(num(k))] = r++;
      }
   }

   void watch(bool on) {
      watched = on;
      on ? root->addLegacyNotifiee(&rec) : root->removeLegacyNotifiee(&rec);
   }
   void note(int n) {
      if (watched) expected.push_back(std::to_string(Ops::id) + ":" + Zat::strepOf(Ops::key(n)).str());
   }
   void checkNotes() { EXPECT_EQ(rec.take(), std::exchange(expected, {})); }

   // Sets a key present or not; only a real change is published.
   void insert(int n) {
      int const v = Ops::values ? 1 + rng.below(Ops::values) : 0;
      auto it = model.find(n);
      if (it != model.end() && it->second.object && it->second.value != v) {
         EXPECT_THROW(Ops::is(*root, n, v), Zat::ReinstantiationException);
         return;
      }
      Element const now{v, Ops::is(*root, n, v)};
      if (it != model.end() && (it->second.object || it->second.value == v)) {
         EXPECT_EQ(now, it->second);  // found, not made again; or set to the value it had
         return;
      }
      model[n] = now;
      note(n);
   }
   void erase(int n) {
      auto it = model.find(n);
      Ops::del(*root, n, it == model.end() ? nullptr : &it->second);
      if (it == model.end()) return;
      if (it->second.object) removed.push_back(it->second.object);
      model.erase(it);
      note(n);
   }
   // One notification per key, in walk order.
   void delAll() {
      for (auto const& [n, e] : inWalkOrder()) {
         note(n);
         if (e.object) removed.push_back(e.object);
      }
      Ops::delAll(*root);
      model.clear();
   }

   std::vector<Item> inWalkOrder() const {
      std::vector<Item> v(model.begin(), model.end());
      std::sort(v.begin(), v.end(), [&](Item const& a, Item const& b) {
         return rank[std::size_t(a.first)] < rank[std::size_t(b.first)];
      });
      return v;
   }
   // The first key of the model after rank r (-1 for the start), or -1 when there is none.
   int firstAfter(int r) const {
      int best = -1;
      for (auto const& [n, e] : model) {
         int const rn = rank[std::size_t(n)];
         if (rn > r && (best < 0 || rn < rank[std::size_t(best)])) best = n;
      }
      return best;
   }

   void check() {
      ASSERT_EQ(Ops::size(*root), model.size());
      {
         std::vector<Item> walked;
         for (auto const& entry : Ops::coll(*root)) walked.push_back(item(entry));
         EXPECT_EQ(walked, inWalkOrder());
      }
      auto const lookAt = [&](int n) {
         auto it = model.find(n);
         EXPECT_EQ(Ops::look(*root, n), (it == model.end() ? Look{} : Look{true, it->second})) << n;
      };
      for (int i = 0; i < 16; ++i) lookAt(rng.below(keySpace));
      // An entity is held by its collection and the model, and linked to the root if it has a parent;
      // once taken out, only by the test, unlinked.
      auto const held = [&](Obj const& o, bool in) {
         EXPECT_EQ(o->references(), in ? 2u : 1u);
         if (auto const* e = dynamic_cast<Zat::Entity const*>(o.get())) {
            EXPECT_EQ(e->parent(), in ? root.get() : nullptr);
         }
      };
      for (auto const& [n, e] : model) {
         lookAt(n);
         if (e.object) held(e.object, true);
      }
      for (Obj const& o : std::exchange(removed, {})) held(o, false);
   }

   // What the cursor shows of the element it stands on.
   static std::optional<Element> shown(Cursor const& c) {
      if constexpr (ordered) {
         return item(c.nodePtr()).second;
      } else {
         auto const* e = c.entry();
         return e ? std::optional(item(*e).second) : std::nullopt;
      }
   }

   // Walks with the cursor, deleting the current key, other keys before and after it and absent keys,
   // and inserting now and then. Every step must land on the first key present after the previous one,
   // so the walk reaches every key that is not deleted before it gets there.
   void walkDeleting(int span, bool filling) {
      int expectedNext = firstAfter(-1);
      for (auto c = Ops::iter(*root); c; ++c) {
         int const n = num(c.key());
         ASSERT_EQ(n, expectedNext) << "the cursor skipped or repeated a key";
         Element const was = model.at(n);
         EXPECT_EQ(shown(c), was);
         if (rng.percent(filling ? 15 : 50)) {
            erase(n);
            // A hash cursor shows nothing of a deleted key; an ordered one keeps the node it stands on.
            EXPECT_EQ(shown(c), ordered ? std::optional(was) : std::nullopt);
         }
         if (rng.percent(filling ? 5 : 20) && !model.empty()) erase(rng.anyOf(model));
         if (rng.percent(10)) erase(rng.below(span));
         if (rng.percent(10)) insert(rng.below(span));
         checkNotes();
         expectedNext = firstAfter(rank[std::size_t(n)]);
      }
      EXPECT_EQ(expectedNext, -1) << "the walk ended early";
   }

   void run() {
      // Phases alternate between filling and draining over key ranges of different widths, so the
      // tables grow through several sizes and empty again.
      static constexpr int spans[] = {8, 64, 512, 32, 512, 16};
      for (int step = 0; step < 3600; ++step) {
         SCOPED_TRACE(testing::Message() << "step " << step);
         int const phase = step / 600;
         int const span = spans[phase % 6];
         int const insertBias = phase % 2 ? 30 : 85;
         int const roll = rng.below(1000);
         if (roll < 15) {
            watch(!watched);
         } else if (roll < 18) {
            delAll();
         } else if (roll < 30) {
            walkDeleting(span, insertBias > 50);
         } else if (rng.percent(insertBias)) {
            insert(rng.below(span));  // present or not
         } else if (rng.percent(50) && !model.empty()) {
            erase(rng.anyOf(model));
         } else {
            erase(rng.below(span));  // present or not
         }
         checkNotes();
         check();
         if (testing::Test::HasFailure()) return;
      }
   }
};

}  // namespace

// Every collection kind of the root against its model, two seeds each.
template <class Ops>
class RandomCollectionKinds : public testing::Test {};
using CollectionKinds = testing::Types<Tag, Score, MemberColl, ChildMap, History>;
TYPED_TEST_SUITE(RandomCollectionKinds, CollectionKinds);

TYPED_TEST(RandomCollectionKinds, AgainstModel) {
   for (unsigned seed : {1u, 77u}) {
      SCOPED_TRACE(testing::Message() << "seed " << seed);
      Driver<TypeParam>(seed).run();
   }
}

// A value holding a set: a copy, built or assigned over contents of its own, equals its source both ways
// and walks alike; then either side changes without touching the other. Sizes span several growths.
TEST(RandomCollections, ValueCopiesAreEqualAndIndependent) {
   auto walk = [](Tags const& v) {
      std::vector<int> w;
      for (auto const& k : v.tagCollection()) w.push_back(num(k));
      return w;
   };
   for (int size : {0, 1, 9, 300}) {
      SCOPED_TRACE(testing::Message() << "size " << size);
      Tags t, assigned;
      for (int n = 0; n < size; ++n) t.tagIs(skey(n));
      for (int n = size / 2; n < size / 2 + 40; ++n) assigned.tagIs(skey(n));
      Tags built(t);
      assigned = t;
      for (Tags* copy : {&built, &assigned}) {
         EXPECT_TRUE(*copy == t && t == *copy);
         EXPECT_EQ(walk(*copy), walk(t));
      }
      built.tagIs(skey(400));
      t.tagIs(skey(401));
      EXPECT_FALSE(built == t || assigned == t || t == assigned);
      EXPECT_TRUE(built.tagHas(skey(400)) && !built.tagHas(skey(401)) && !assigned.tagHas(skey(401)));
      EXPECT_EQ(assigned.tagSize(), std::size_t(size));
      std::vector<int> const before = walk(built);
      Tags const& self = built;
      built = self;
      EXPECT_EQ(walk(built), before);
   }
}
