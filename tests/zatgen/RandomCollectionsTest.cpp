// Randomised model checks of Root's collections. Every step is mirrored on a standard-library model, and
// after each one the collection's walk, size, presence tests, values and the notifications the step sent
// are compared with it. Cursor walks that delete (and insert) as they go are checked position by position:
// each step must land on the first key present after the one the cursor stood on.
//
// The order a hash collection walks in is ascending (hash, key) whatever its history and capacity, so a
// separate set with the same hash constant, holding every key of the key space, gives the rank of each key.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <set>
#include <string>
#include <tuple>
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
Zat::String const& strKey(int n) {
   static std::vector<Zat::String> const keys = [] {
      std::vector<Zat::String> v;
      for (int i = 0; i < keySpace; ++i) v.emplace_back("k" + std::to_string(i));
      return v;
   }();
   return keys.at(std::size_t(n));
}
std::uint32_t intKey(int n) {
   return std::uint32_t(std::uint64_t(n) * 40503u % 65521u);
}
// A key as notifications show it.
std::string text(Zat::String const& k) {
   return "'" + k.str() + "'";
}
std::string text(std::uint32_t k) {
   return std::to_string(k);
}
int numberOf(Zat::String const& k) {
   return std::stoi(std::string(k.view().substr(1)));
}
int numberOf(std::uint32_t k) {
   static std::unordered_map<std::uint32_t, int> const back = [] {
      std::unordered_map<std::uint32_t, int> m;
      for (int i = 0; i < keySpace; ++i) m.emplace(intKey(i), i);
      return m;
   }();
   return back.at(k);
}

// What every adapter shares: the root and its recorder, the model, the walk rank of every key number,
// and the notifications the current step is expected to have sent. K is the key type; the `id` a change
// is noted under is the attribute id the collection publishes under, 0 for the silent one.
template <class K, class V>
struct Base {
   Recorder rec;  // declared first: outlives the root that may still hold it
   Zat::Ptr<Root> root = Root::RootIs("r");
   bool watched = false;
   std::map<int, V> model;
   Strings expected;
   std::vector<int> rank;

   static K key(int n) { return std::get<K>(std::tuple(strKey(n), intKey(n))); }
   // Ranks in the walk order of a hash collection like `c`, or in key order for an ordered one.
   template <class C>
   void rankLike(C const&) {
      Zat::ValueSet<K, std::remove_cvref_t<C>::hashConstant> all;
      for (int n = 0; n < keySpace; ++n) all.insert(key(n));
      rank.assign(keySpace, -1);
      int r = 0;
      for (auto const& k : all) rank[std::size_t(numberOf(k))] = r++;
   }
   void rankByKey() {
      for (int n = 0; n < keySpace; ++n) rank.push_back(int(intKey(n)));
   }
   void watch(bool on) {
      watched = on;
      on ? root->addLegacyNotifiee(&rec) : root->removeLegacyNotifiee(&rec);
   }
   void note(int id, int n) {
      if (watched && id != 0) expected.push_back(std::to_string(id) + ":" + text(key(n)));
   }
   void checkNotes() { EXPECT_EQ(rec.take(), std::exchange(expected, {})); }
   // Delete-all: one notification per key, in walk order.
   template <class F>
   void delAll(int id, F&& f) {
      for (int n : ordered()) note(id, n);
      f();
      model.clear();
   }
   // The model's keys in walk order.
   std::vector<int> ordered() const {
      std::vector<int> v;
      for (auto const& [n, value] : model) v.push_back(n);
      std::sort(v.begin(), v.end(),
                [&](int a, int b) { return rank[std::size_t(a)] < rank[std::size_t(b)]; });
      return v;
   }
   // The first key of the model after rank r (-1 for the start), or -1 when there is none.
   int firstAfter(int r) const {
      int best = -1;
      for (auto const& [n, value] : model) {
         int const rn = rank[std::size_t(n)];
         if (rn > r && (best < 0 || rn < rank[std::size_t(best)])) best = n;
      }
      return best;
   }
   // What a hash-collection cursor shows of key n: its entry while present, nothing once deleted.
   template <class Cur, class Check>
   void checkEntry(Cur const& c, int n, Check&& check) const {
      auto const* e = c.entry();
      auto it = model.find(n);
      if (it == model.end()) {
         EXPECT_EQ(e, nullptr);
      } else {
         ASSERT_NE(e, nullptr);
         check(*e, it->second);
      }
   }
};

struct Unit {};

// ------------------------------------------------------------------------------------------------------
// One adapter per collection: insert, erase, delete-all, the walk, presence and value checks, and what the
// cursor shows of its current entry.

// The value set (tag, id 261) and the silent one (hush), which changes like the others and tells no one.
struct TagOps {
   using K = Zat::String;
   static constexpr int id = 261;
   static void is(Root& r, K const& k) { r.tagIs(k); }
   static bool del(Root& r, K const& k) { return r.tagDel(k); }
   static void delAll(Root& r) { r.tagDelAll(); }
   static std::size_t size(Root const& r) { return r.tagSize(); }
   static bool has(Root const& r, K const& k) { return r.tagHas(k); }
   static auto const& coll(Root const& r) { return r.tagCollection(); }
   static auto iter(Root const& r) { return r.tagIter(); }
};
struct HushOps {
   using K = std::uint32_t;
   static constexpr int id = 0;
   static void is(Root& r, K k) { r.hushIs(k); }
   static bool del(Root& r, K k) { return r.hushDel(k); }
   static void delAll(Root& r) { r.hushDelAll(); }
   static std::size_t size(Root const& r) { return r.hushSize(); }
   static bool has(Root const& r, K k) { return r.hushHas(k); }
   static auto const& coll(Root const& r) { return r.hushCollection(); }
   static auto iter(Root const& r) { return r.hushIter(); }
};

template <class Ops>
struct SetAdapter : Base<typename Ops::K, Unit> {
   using B = Base<typename Ops::K, Unit>;
   using B::key, B::model, B::root;
   SetAdapter() { this->rankLike(Ops::coll(*root)); }
   void insert(int n, Rng&) {
      bool const fresh = model.emplace(n, Unit{}).second;
      Ops::is(*root, key(n));
      if (fresh) this->note(Ops::id, n);
   }
   void erase(int n) {
      bool const present = model.erase(n) > 0;
      EXPECT_EQ(Ops::del(*root, key(n)), present);
      if (present) this->note(Ops::id, n);
   }
   void delAll() {
      B::delAll(Ops::id, [&] { Ops::delAll(*root); });
   }
   std::size_t size() const { return Ops::size(*root); }
   bool has(int n) const { return Ops::has(*root, key(n)); }
   std::vector<int> walk() const {
      std::vector<int> v;
      for (auto const& k : Ops::coll(*root)) v.push_back(numberOf(k));
      return v;
   }
   void checkValues(Rng&) {}
   auto iter() const { return Ops::iter(*root); }
   template <class Cur>
   void checkCurrent(Cur const& c, int n) const {
      this->checkEntry(c, n, [&](typename Ops::K const& e, Unit) { EXPECT_EQ(e, key(n)); });
   }
};
using TagAdapter = SetAdapter<TagOps>;
using HushAdapter = SetAdapter<HushOps>;

// The value map (score, hash order, id 262). Few values, so that setting a key to the value it already
// has (a no-op) is common.
struct ScoreAdapter : Base<Zat::String, std::uint32_t> {
   static constexpr int id = 262;
   ScoreAdapter() { rankLike(root->scoreCollection()); }
   void insert(int n, Rng& rng) {
      auto const v = std::uint32_t(rng.below(3));
      auto [it, fresh] = model.emplace(n, v);
      bool const changed = fresh || it->second != v;
      it->second = v;
      root->scoreIs(key(n), v);
      if (changed) note(id, n);
   }
   void erase(int n) {
      bool const present = model.erase(n) > 0;
      EXPECT_EQ(root->scoreDel(key(n)), present);
      if (present) note(id, n);
   }
   void delAll() {
      Base::delAll(id, [&] { root->scoreDelAll(); });
   }
   std::size_t size() const { return root->scoreSize(); }
   bool has(int n) const { return root->scoreHas(key(n)); }
   std::vector<int> walk() const {
      std::vector<int> v;
      for (auto const& [k, value] : root->scoreCollection()) {
         v.push_back(numberOf(k));
         EXPECT_TRUE(model.count(v.back()) && model.at(v.back()) == value) << k.str();
      }
      return v;
   }
   void checkValues(Rng& rng) {
      for (auto const& [n, v] : model) EXPECT_EQ(root->score(key(n)), v);
      int const absent = rng.below(keySpace);
      EXPECT_TRUE(model.count(absent) || root->score(key(absent)) == 0u) << absent;
   }
   auto iter() const { return root->scoreIter(); }
   template <class Cur>
   void checkCurrent(Cur const& c, int n) const {
      checkEntry(c, n, [&](auto const& e, std::uint32_t v) {
         EXPECT_EQ(e.first, key(n));
         EXPECT_EQ(e.second, v);
      });
   }
};

// The ordered value map (history, key order, id 265): removal answers the value the key had.
struct HistoryAdapter : Base<std::uint32_t, std::string> {
   static constexpr int id = 265;
   HistoryAdapter() { rankByKey(); }
   void insert(int n, Rng& rng) {
      std::string const v(1, char('a' + rng.below(3)));
      auto [it, fresh] = model.emplace(n, v);
      bool const changed = fresh || it->second != v;
      it->second = v;
      root->historyIs(key(n), Zat::String(v));
      if (changed) note(id, n);
   }
   void erase(int n) {
      auto it = model.find(n);
      EXPECT_EQ(root->historyDel(key(n)).str(), it == model.end() ? "" : it->second);  // "" when absent
      if (it == model.end()) return;
      model.erase(it);
      note(id, n);
   }
   void delAll() {
      Base::delAll(id, [&] { root->historyDelAll(); });
   }
   std::size_t size() const { return root->historySize(); }
   bool has(int n) const { return root->historyHas(key(n)); }
   std::vector<int> walk() const {
      std::vector<int> v;
      for (auto const& node : root->historyCollection()) {
         v.push_back(numberOf(node->zatKey()));
         EXPECT_TRUE(model.count(v.back()) && model.at(v.back()) == node->value().str()) << v.back();
      }
      return v;
   }
   void checkValues(Rng& rng) {
      for (auto const& [n, v] : model) EXPECT_EQ(root->history(key(n)).str(), v);
      int const absent = rng.below(keySpace);
      EXPECT_TRUE(model.count(absent) || root->history(key(absent)).empty()) << absent;
   }
   auto iter() const { return root->historyIter(); }
   template <class Cur>
   void checkCurrent(Cur const& c, int n) const {
      // The cursor holds the node it stands on, deleted or not.
      ASSERT_NE(c.node(), nullptr);
      EXPECT_EQ(c.node()->zatKey(), key(n));
      EXPECT_TRUE(!model.count(n) || model.at(n) == c.node()->value().str()) << n;
   }
};

// The entity collection (member, hash order, id 263): find-or-create by name, refused with another weight.
struct MemberModel {
   std::uint32_t weight;
   Zat::Ptr<Member> ptr;
};
struct MemberAdapter : Base<Zat::String, MemberModel> {
   static constexpr int id = 263;
   MemberAdapter() { rankLike(root->memberCollection()); }
   void insert(int n, Rng& rng) {
      auto const w = std::uint32_t(rng.below(3));
      auto it = model.find(n);
      if (it != model.end() && it->second.weight != w) {
         // Refused, and nothing changes: not even the version an unchecked walk compares.
         auto const version = root->memberCollection().version();
         EXPECT_THROW(root->memberIs(key(n), w), Zat::ReinstantiationException);
         EXPECT_EQ(root->memberCollection().version(), version);
         return;
      }
      Zat::Ptr<Member> m = root->memberIs(key(n), w);
      ASSERT_NE(m, nullptr);
      EXPECT_EQ(m->name(), key(n));
      EXPECT_EQ(m->weight(), w);
      if (it != model.end()) {
         EXPECT_EQ(m, it->second.ptr);  // found, not created again
         return;
      }
      model.emplace(n, MemberModel{w, m});
      note(id, n);
   }
   void erase(int n) {
      auto it = model.find(n);
      EXPECT_EQ(root->memberDel(key(n)), it == model.end() ? nullptr : it->second.ptr);
      if (it == model.end()) return;
      model.erase(it);
      note(id, n);
   }
   void delAll() {
      Base::delAll(id, [&] { root->memberDelAll(); });
   }
   std::size_t size() const { return root->memberSize(); }
   bool has(int n) const { return root->memberHas(key(n)); }
   std::vector<int> walk() const {
      std::vector<int> v;
      for (auto const& m : root->memberCollection()) v.push_back(numberOf(m->name()));
      return v;
   }
   void checkValues(Rng& rng) {
      for (auto const& [n, m] : model) {
         EXPECT_EQ(m.ptr->references(), 2u);  // the collection's and the model's
         EXPECT_EQ(root->member(key(n)), m.ptr);
         EXPECT_EQ(m.ptr->weight(), m.weight);
      }
      int const absent = rng.below(keySpace);
      EXPECT_TRUE(model.count(absent) || root->member(key(absent)) == nullptr) << absent;
   }
   auto iter() const { return root->memberIter(); }
   template <class Cur>
   void checkCurrent(Cur const& c, int n) const {
      checkEntry(c, n, [](Zat::Ptr<Member> const& e, MemberModel const& m) { EXPECT_EQ(e, m.ptr); });
   }
};

// The ordered entity map (child, key order, id 264): children get a parent link, and lose it on removal.
struct ChildAdapter : Base<std::uint32_t, Zat::Ptr<Child>> {
   static constexpr int id = 264;
   std::vector<Zat::Ptr<Child>> removed;  // taken out since the last check: their link must be gone
   ChildAdapter() { rankByKey(); }
   void insert(int n, Rng&) {
      Zat::Ptr<Child> c = root->childIs(key(n));
      ASSERT_NE(c, nullptr);
      EXPECT_EQ(c->id(), key(n));
      EXPECT_EQ(c->parent(), root.get());
      auto [it, fresh] = model.emplace(n, c);
      EXPECT_EQ(c, it->second);
      if (fresh) note(id, n);
   }
   void erase(int n) {
      auto it = model.find(n);
      Zat::Ptr<Child> gone = root->childDel(key(n));
      EXPECT_EQ(gone, it == model.end() ? nullptr : it->second);
      if (it == model.end()) return;
      removed.push_back(gone);
      model.erase(it);
      note(id, n);
   }
   void delAll() {
      for (auto const& [n, c] : model) removed.push_back(c);
      Base::delAll(id, [&] { root->childDelAll(); });
   }
   std::size_t size() const { return root->childSize(); }
   bool has(int n) const { return root->childHas(key(n)); }
   std::vector<int> walk() const {
      std::vector<int> v;
      for (auto const& c : root->childCollection()) v.push_back(numberOf(c->id()));
      return v;
   }
   void checkValues(Rng&) {
      for (auto const& [n, c] : model) {
         EXPECT_EQ(root->child(key(n)), c);
         EXPECT_EQ(c->parent(), root.get());
         EXPECT_EQ(c->references(), 2u);  // the map's and the model's
      }
      for (auto const& c : removed) {
         EXPECT_EQ(c->parent(), nullptr);
         EXPECT_EQ(c->references(), 1u);  // only ours: the map let go of it
      }
      removed.clear();
   }
   auto iter() const { return root->childIter(); }
   template <class Cur>
   void checkCurrent(Cur const& c, int n) const {
      // The cursor holds the node it stands on, deleted or not.
      ASSERT_NE(c.node(), nullptr);
      EXPECT_EQ(c.node()->id(), key(n));
      bool const present = model.count(n) > 0;
      EXPECT_TRUE(!present || c.nodePtr() == model.at(n)) << n;
      EXPECT_EQ(c.node()->parent(), present ? root.get() : nullptr);
   }
};

// ------------------------------------------------------------------------------------------------------
// The driver.

template <class A>
void checkAll(A& a, Rng& rng) {
   ASSERT_EQ(a.size(), a.model.size());
   // Walk: exactly the model's keys, each once, in ascending rank.
   EXPECT_EQ(a.walk(), a.ordered());
   for (auto const& [n, v] : a.model) EXPECT_TRUE(a.has(n)) << n;
   for (int i = 0; i < 16; ++i) {
      int const n = rng.below(keySpace);
      EXPECT_EQ(a.has(n), a.model.count(n) > 0) << n;
   }
   a.checkValues(rng);
}

// Walks with the cursor, deleting the current key, other keys before and after it and absent keys, and
// inserting now and then. Every step must land on the first key present after the previous one.
template <class A>
void walkDeleting(A& a, Rng& rng, int span, bool filling) {
   std::set<int> start, visited, deletedAhead;
   for (auto const& [n, v] : a.model) start.insert(n);
   auto const deleteKey = [&](int n) {
      if (a.model.count(n) && !visited.count(n)) deletedAhead.insert(n);
      a.erase(n);
   };
   int expectedNext = a.firstAfter(-1);
   for (auto c = a.iter(); c; ++c) {
      int const n = numberOf(c.key());
      ASSERT_EQ(n, expectedNext) << "the cursor skipped or repeated a key";
      visited.insert(n);
      a.checkCurrent(c, n);
      if (rng.percent(filling ? 15 : 50)) {
         a.erase(n);
         a.checkCurrent(c, n);  // the cursor still knows where it stands
      }
      // Another present key, before or after this one, and a key that is often absent.
      if (rng.percent(filling ? 5 : 20) && !a.model.empty()) deleteKey(rng.anyOf(a.model));
      if (rng.percent(10)) deleteKey(rng.below(span));
      if (rng.percent(10)) a.insert(rng.below(span), rng);
      a.checkNotes();
      expectedNext = a.firstAfter(a.rank[std::size_t(n)]);
   }
   EXPECT_EQ(expectedNext, -1);
   for (int n : start) EXPECT_TRUE(deletedAhead.count(n) || visited.count(n)) << "never reached: " << n;
}

template <class A>
void drive(unsigned seed) {
   A a;
   Rng rng(seed);
   // Phases alternate between filling and draining over key ranges of different widths, so the tables
   // grow through several sizes and empty again.
   static constexpr int spans[] = {8, 64, 512, 32, 512, 16};
   for (int step = 0; step < 3600; ++step) {
      SCOPED_TRACE(testing::Message() << "seed " << seed << " step " << step);
      int const phase = step / 600;
      int const span = spans[phase % 6];
      int const insertBias = phase % 2 ? 30 : 85;
      int const roll = rng.below(1000);
      if (roll < 15) {
         a.watch(!a.watched);
      } else if (roll < 18) {
         a.delAll();
      } else if (roll < 30) {
         walkDeleting(a, rng, span, insertBias > 50);
      } else if (rng.percent(insertBias)) {
         a.insert(rng.below(span), rng);  // present or not
      } else if (rng.percent(50) && !a.model.empty()) {
         a.erase(rng.anyOf(a.model));
      } else {
         a.erase(rng.below(span));  // present or not
      }
      a.checkNotes();
      checkAll(a, rng);
      if (testing::Test::HasFailure()) return;
   }
}

}  // namespace

// Every collection kind of the root against its model, two seeds each.
template <class Adapter>
class RandomCollectionKinds : public testing::Test {};
using CollectionKinds =
    testing::Types<TagAdapter, ScoreAdapter, MemberAdapter, ChildAdapter, HistoryAdapter, HushAdapter>;
TYPED_TEST_SUITE(RandomCollectionKinds, CollectionKinds);

TYPED_TEST(RandomCollectionKinds, AgainstModel) {
   drive<TypeParam>(1);
   drive<TypeParam>(77);
}

// ------------------------------------------------------------------------------------------------------
// Values holding a set: copies, assignment and equality.

namespace {

struct TagsModel {
   std::set<int> keys;
   std::string label;
};

std::vector<int> walkOf(Tags const& t) {
   std::vector<int> v;
   for (auto const& k : t.tagCollection()) v.push_back(numberOf(k));
   return v;
}

void expectSame(Tags const& t, TagsModel const& m) {
   ASSERT_EQ(t.tagSize(), m.keys.size());
   std::vector<int> walked = walkOf(t);
   std::sort(walked.begin(), walked.end());
   EXPECT_EQ(walked, std::vector<int>(m.keys.begin(), m.keys.end()));
   for (int n : m.keys) EXPECT_TRUE(t.tagHas(strKey(n)));
   EXPECT_EQ(t.label().str(), m.label);
}

// Changes `t` (and `m`) for sure: adds an absent key, removes a present one or changes the label.
void changeSurely(Tags& t, TagsModel& m, Rng& rng) {
   int const how = rng.below(3);
   if (how == 0 && m.keys.size() < std::size_t(keySpace)) {
      int n = rng.below(keySpace);
      while (m.keys.count(n)) n = (n + 1) % keySpace;
      m.keys.insert(n);
      t.tagIs(strKey(n));
   } else if (how == 1 && !m.keys.empty()) {
      auto it = m.keys.begin();
      std::advance(it, rng.below(int(m.keys.size())));
      EXPECT_TRUE(t.tagDel(strKey(*it)));
      m.keys.erase(it);
   } else {
      m.label += "+";
      t.labelIs(Zat::String(m.label));
   }
}

}  // namespace

TEST(RandomCollections, ValueCopiesAreEqualAndIndependent) {
   Rng rng(9);
   Tags t;
   TagsModel m;
   for (int step = 0; step < 3000; ++step) {
      SCOPED_TRACE(testing::Message() << "step " << step);
      int const roll = rng.below(100);
      if (roll < 75) {
         changeSurely(t, m, rng);
      } else if (roll < 77) {
         t.tagDelAll();
         m.keys.clear();
      } else if (roll < 97) {
         // A copy, constructed or assigned over contents of its own, is equal both ways and walks alike;
         // then either side changes without touching the other.
         Tags built(t), other;
         TagsModel cm = m, om;
         for (int i = 0, k = rng.below(40); i < k; ++i) changeSurely(other, om, rng);
         Tags& copy = roll < 87 ? built : (other = t);
         EXPECT_TRUE(copy == t && t == copy);
         EXPECT_EQ(walkOf(copy), walkOf(t));
         bool const changeCopy = rng.percent(50);
         changeSurely(changeCopy ? copy : t, changeCopy ? cm : m, rng);
         EXPECT_FALSE(copy == t || t == copy);
         expectSame(copy, cm);
      } else {
         Tags const& self = t;
         t = self;
      }
      expectSame(t, m);
      if (HasFailure()) return;
   }
}
