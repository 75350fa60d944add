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
   template <class T>
   void shuffle(std::vector<T>& v) { std::shuffle(v.begin(), v.end(), g_); }

  private:
   std::mt19937 g_;
};

// Key n of the string key space, and its number back.
Zat::String const& strKey(int n) {
   static std::vector<Zat::String> const keys = [] {
      std::vector<Zat::String> v;
      for (int i = 0; i < keySpace; ++i) {
         std::string k = "k";
         k += std::to_string(i);
         v.emplace_back(std::move(k));
      }
      return v;
   }();
   return keys.at(std::size_t(n));
}
int numberOf(Zat::String const& k) { return std::stoi(std::string(k.view().substr(1))); }

// Key n of the integer key space: distinct, spread over 16 bits, not in the order of n.
std::uint32_t intKey(int n) { return std::uint32_t(std::uint64_t(n) * 40503u % 65521u); }
int numberOf(std::uint32_t k) {
   static std::unordered_map<std::uint32_t, int> const back = [] {
      std::unordered_map<std::uint32_t, int> m;
      for (int i = 0; i < keySpace; ++i) m.emplace(intKey(i), i);
      return m;
   }();
   return back.at(k);
}

// Rank of every key of the space in the walk order of a hash collection with hash constant C.
template <class K, std::uint32_t C>
std::vector<int> hashRanks(K (*key)(int)) {
   Zat::ValueSet<K, C> all;
   for (int n = 0; n < keySpace; ++n) all.insert(key(n));
   std::vector<int> rank(keySpace, -1);
   int r = 0;
   for (auto const& k : all) rank[std::size_t(numberOf(k))] = r++;
   return rank;
}
Zat::String strKeyCopy(int n) { return strKey(n); }

std::string noteOf(int id, Zat::String const& k) { return std::to_string(id) + ":'" + k.str() + "'"; }
std::string noteOf(int id, std::uint32_t k) { return std::to_string(id) + ":" + std::to_string(k); }

template <class C>
using Hc = std::remove_cvref_t<C>;

// What every adapter shares: the root, its recorder and the model's key set; the notifications the step
// is expected to have sent are collected in `expected`.
template <class V>
struct Base {
   Recorder rec;  // declared first: outlives the root that may still hold it
   Zat::Ptr<Root> root = Root::RootIs("r");
   bool watched = false;
   std::map<int, V> model;
   Strings expected;
   std::vector<int> rank;

   void watch(bool on) {
      watched = on;
      if (on) root->addLegacyNotifiee(&rec);
      else root->removeLegacyNotifiee(&rec);
   }
   void checkNotes() { EXPECT_EQ(rec.take(), std::exchange(expected, {})); }
   // The model's keys in walk order.
   std::vector<int> ordered() const {
      std::vector<int> v;
      for (auto const& [n, value] : model) v.push_back(n);
      std::sort(v.begin(), v.end(), [&](int a, int b) { return rank[std::size_t(a)] < rank[std::size_t(b)]; });
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
};

struct Unit {};

// ------------------------------------------------------------------------------------------------------
// One adapter per collection: insert, erase, delete-all, the walk, presence and value checks, and what the
// cursor shows of its current entry.

struct TagAdapter : Base<Unit> {
   static constexpr int id = 261;
   TagAdapter() { rank = hashRanks<Zat::String, Hc<decltype(root->tagCollection())>::hashConstant>(strKeyCopy); }
   void note(int n) { if (watched) expected.push_back(noteOf(id, strKey(n))); }
   void insert(int n, Rng&) {
      bool const fresh = model.emplace(n, Unit{}).second;
      root->tagIs(strKey(n));
      if (fresh) note(n);
   }
   void erase(int n) {
      bool const present = model.erase(n) > 0;
      EXPECT_EQ(root->tagDel(strKey(n)), present);
      if (present) note(n);
   }
   void delAll() {
      for (int n : ordered()) note(n);
      root->tagDelAll();
      model.clear();
   }
   std::size_t size() const { return root->tagSize(); }
   bool has(int n) const { return root->tagHas(strKey(n)); }
   std::vector<int> walk() const {
      std::vector<int> v;
      for (auto const& k : root->tagCollection()) v.push_back(numberOf(k));
      return v;
   }
   void checkValues(Rng&) {}
   auto iter() const { return root->tagIter(); }
   template <class Cur>
   void checkCurrent(Cur const& c, int n) const {
      auto const* e = c.entry();
      if (model.count(n)) {
         ASSERT_NE(e, nullptr);
         EXPECT_EQ(*e, strKey(n));
      } else {
         EXPECT_EQ(e, nullptr);
      }
   }
};

struct ScoreAdapter : Base<std::uint32_t> {
   static constexpr int id = 262;
   ScoreAdapter() { rank = hashRanks<Zat::String, Hc<decltype(root->scoreCollection())>::hashConstant>(strKeyCopy); }
   void note(int n) { if (watched) expected.push_back(noteOf(id, strKey(n))); }
   void insert(int n, Rng& rng) {
      // Few values, so that setting a key to the value it already has (a no-op) is common.
      auto const v = std::uint32_t(rng.below(3));
      auto [it, fresh] = model.emplace(n, v);
      bool const changed = fresh || it->second != v;
      it->second = v;
      root->scoreIs(strKey(n), v);
      if (changed) note(n);
   }
   void erase(int n) {
      bool const present = model.erase(n) > 0;
      EXPECT_EQ(root->scoreDel(strKey(n)), present);
      if (present) note(n);
   }
   void delAll() {
      for (int n : ordered()) note(n);
      root->scoreDelAll();
      model.clear();
   }
   std::size_t size() const { return root->scoreSize(); }
   bool has(int n) const { return root->scoreHas(strKey(n)); }
   std::vector<int> walk() const {
      std::vector<int> v;
      for (auto const& [k, value] : root->scoreCollection()) {
         v.push_back(numberOf(k));
         auto it = model.find(v.back());
         if (it != model.end()) {
            EXPECT_EQ(value, it->second) << k.str();
         }
      }
      return v;
   }
   void checkValues(Rng& rng) {
      for (auto const& [n, v] : model) EXPECT_EQ(root->score(strKey(n)), v);
      int const absent = rng.below(keySpace);
      if (!model.count(absent)) {
         EXPECT_EQ(root->score(strKey(absent)), 0u);
      }
   }
   auto iter() const { return root->scoreIter(); }
   template <class Cur>
   void checkCurrent(Cur const& c, int n) const {
      auto const* e = c.entry();
      auto it = model.find(n);
      if (it != model.end()) {
         ASSERT_NE(e, nullptr);
         EXPECT_EQ(e->first, strKey(n));
         EXPECT_EQ(e->second, it->second);
      } else {
         EXPECT_EQ(e, nullptr);
      }
   }
};

struct MemberModel {
   std::uint32_t weight;
   Zat::Ptr<Member> ptr;
};

struct MemberAdapter : Base<MemberModel> {
   static constexpr int id = 263;
   MemberAdapter() { rank = hashRanks<Zat::String, Hc<decltype(root->memberCollection())>::hashConstant>(strKeyCopy); }
   void note(int n) { if (watched) expected.push_back(noteOf(id, strKey(n))); }
   void insert(int n, Rng& rng) {
      auto const w = std::uint32_t(rng.below(3));
      auto it = model.find(n);
      if (it != model.end() && it->second.weight != w) {
         // Refused, and nothing changes: the checks after the step compare everything with the model.
         EXPECT_THROW(root->memberIs(strKey(n), w), Zat::ReinstantiationException);
         return;
      }
      Zat::Ptr<Member> m = root->memberIs(strKey(n), w);
      ASSERT_NE(m, nullptr);
      EXPECT_EQ(m->name(), strKey(n));
      EXPECT_EQ(m->weight(), w);
      if (it != model.end()) {
         EXPECT_EQ(m, it->second.ptr);  // found, not created again
         return;
      }
      model.emplace(n, MemberModel{w, m});
      note(n);
   }
   void erase(int n) {
      auto it = model.find(n);
      Zat::Ptr<Member> gone = root->memberDel(strKey(n));
      if (it == model.end()) {
         EXPECT_EQ(gone, nullptr);
         return;
      }
      EXPECT_EQ(gone, it->second.ptr);
      model.erase(it);
      note(n);
   }
   void delAll() {
      for (int n : ordered()) note(n);
      root->memberDelAll();
      model.clear();
   }
   std::size_t size() const { return root->memberSize(); }
   bool has(int n) const { return root->memberHas(strKey(n)); }
   std::vector<int> walk() const {
      std::vector<int> v;
      for (auto const& m : root->memberCollection()) v.push_back(numberOf(m->name()));
      return v;
   }
   void checkValues(Rng& rng) {
      for (auto const& [n, m] : model) {
         EXPECT_EQ(m.ptr->references(), 2u);  // the collection's and the model's
         Zat::Ptr<Member> found = root->member(strKey(n));
         EXPECT_EQ(found, m.ptr);
         if (found) {
            EXPECT_EQ(found->weight(), m.weight);
         }
      }
      int const absent = rng.below(keySpace);
      if (!model.count(absent)) {
         EXPECT_EQ(root->member(strKey(absent)), nullptr);
      }
   }
   auto iter() const { return root->memberIter(); }
   template <class Cur>
   void checkCurrent(Cur const& c, int n) const {
      auto const* e = c.entry();
      auto it = model.find(n);
      if (it != model.end()) {
         ASSERT_NE(e, nullptr);
         EXPECT_EQ(*e, it->second.ptr);
      } else {
         EXPECT_EQ(e, nullptr);
      }
   }
};

struct ChildAdapter : Base<Zat::Ptr<Child>> {
   static constexpr int id = 264;
   std::vector<Zat::Ptr<Child>> removed;  // children taken out since the last check: their link must be gone
   ChildAdapter() {
      for (int n = 0; n < keySpace; ++n) rank.push_back(int(intKey(n)));  // key order
   }
   void note(int n) { if (watched) expected.push_back(noteOf(id, intKey(n))); }
   void insert(int n, Rng&) {
      auto it = model.find(n);
      Zat::Ptr<Child> c = root->childIs(intKey(n));
      ASSERT_NE(c, nullptr);
      EXPECT_EQ(c->id(), intKey(n));
      EXPECT_EQ(c->parent(), root.get());
      if (it != model.end()) {
         EXPECT_EQ(c, it->second);
         return;
      }
      model.emplace(n, c);
      note(n);
   }
   void erase(int n) {
      auto it = model.find(n);
      Zat::Ptr<Child> gone = root->childDel(intKey(n));
      if (it == model.end()) {
         EXPECT_EQ(gone, nullptr);
         return;
      }
      EXPECT_EQ(gone, it->second);
      removed.push_back(gone);
      model.erase(it);
      note(n);
   }
   void delAll() {
      for (int n : ordered()) note(n);
      for (auto const& [n, c] : model) removed.push_back(c);
      root->childDelAll();
      model.clear();
   }
   std::size_t size() const { return root->childSize(); }
   bool has(int n) const { return root->childHas(intKey(n)); }
   std::vector<int> walk() const {
      std::vector<int> v;
      for (auto const& c : root->childCollection()) v.push_back(numberOf(c->id()));
      return v;
   }
   void checkValues(Rng&) {
      for (auto const& [n, c] : model) {
         EXPECT_EQ(root->child(intKey(n)), c);
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
      EXPECT_EQ(c.node()->id(), intKey(n));
      auto it = model.find(n);
      if (it != model.end()) {
         EXPECT_EQ(c.nodePtr(), it->second);
         EXPECT_EQ(c.node()->parent(), root.get());
      } else {
         EXPECT_EQ(c.node()->parent(), nullptr);
      }
   }
};

struct HistoryAdapter : Base<std::string> {
   static constexpr int id = 265;
   HistoryAdapter() {
      for (int n = 0; n < keySpace; ++n) rank.push_back(int(intKey(n)));
   }
   void note(int n) { if (watched) expected.push_back(noteOf(id, intKey(n))); }
   void insert(int n, Rng& rng) {
      std::string const v(1, char('a' + rng.below(3)));
      auto [it, fresh] = model.emplace(n, v);
      bool const changed = fresh || it->second != v;
      it->second = v;
      root->historyIs(intKey(n), Zat::String(v));
      if (changed) note(n);
   }
   void erase(int n) {
      auto it = model.find(n);
      std::string const had = it == model.end() ? "" : it->second;
      EXPECT_EQ(root->historyDel(intKey(n)).str(), had);  // the value it had, or "" when absent
      if (it == model.end()) return;
      model.erase(it);
      note(n);
   }
   void delAll() {
      for (int n : ordered()) note(n);
      root->historyDelAll();
      model.clear();
   }
   std::size_t size() const { return root->historySize(); }
   bool has(int n) const { return root->historyHas(intKey(n)); }
   std::vector<int> walk() const {
      std::vector<int> v;
      for (auto const& node : root->historyCollection()) {
         v.push_back(numberOf(node->zatKey()));
         auto it = model.find(v.back());
         if (it != model.end()) {
            EXPECT_EQ(node->value().str(), it->second);
         }
      }
      return v;
   }
   void checkValues(Rng& rng) {
      for (auto const& [n, v] : model) EXPECT_EQ(root->history(intKey(n)).str(), v);
      int const absent = rng.below(keySpace);
      if (!model.count(absent)) {
         EXPECT_EQ(root->history(intKey(absent)).str(), "");
      }
   }
   auto iter() const { return root->historyIter(); }
   template <class Cur>
   void checkCurrent(Cur const& c, int n) const {
      ASSERT_NE(c.node(), nullptr);
      EXPECT_EQ(c.node()->zatKey(), intKey(n));
      auto it = model.find(n);
      if (it != model.end()) {
         EXPECT_EQ(c.node()->value().str(), it->second);
      }
   }
};

// The silent set: changes like the others, never tells anyone.
struct HushAdapter : Base<Unit> {
   HushAdapter() { rank = hashRanks<std::uint32_t, Hc<decltype(root->hushCollection())>::hashConstant>(intKey); }
   void insert(int n, Rng&) {
      model.emplace(n, Unit{});
      root->hushIs(intKey(n));
   }
   void erase(int n) { EXPECT_EQ(root->hushDel(intKey(n)), model.erase(n) > 0); }
   void delAll() {
      root->hushDelAll();
      model.clear();
   }
   std::size_t size() const { return root->hushSize(); }
   bool has(int n) const { return root->hushHas(intKey(n)); }
   std::vector<int> walk() const {
      std::vector<int> v;
      for (auto k : root->hushCollection()) v.push_back(numberOf(k));
      return v;
   }
   void checkValues(Rng&) {}
   auto iter() const { return root->hushIter(); }
   template <class Cur>
   void checkCurrent(Cur const& c, int n) const {
      auto const* e = c.entry();
      if (model.count(n)) {
         ASSERT_NE(e, nullptr);
         EXPECT_EQ(*e, intKey(n));
      } else {
         EXPECT_EQ(e, nullptr);
      }
   }
};

// ------------------------------------------------------------------------------------------------------
// The driver.

template <class A>
void checkAll(A& a, Rng& rng) {
   ASSERT_EQ(a.size(), a.model.size());
   // Walk: exactly the model's keys, each once, in ascending rank.
   std::vector<int> const w = a.walk();
   std::vector<int> sorted = w;
   std::sort(sorted.begin(), sorted.end());
   std::vector<int> keys;
   for (auto const& [n, v] : a.model) keys.push_back(n);
   ASSERT_EQ(sorted, keys);
   EXPECT_EQ(w, a.ordered());
   for (int n : keys) EXPECT_TRUE(a.has(n)) << n;
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
   std::set<int> const start = [&] {
      std::set<int> s;
      for (auto const& [n, v] : a.model) s.insert(n);
      return s;
   }();
   std::set<int> visited, deletedAhead;
   auto const deleteKey = [&](int n) {
      if (a.model.count(n) && !visited.count(n)) deletedAhead.insert(n);
      a.erase(n);
   };
   int expectedNext = a.firstAfter(-1);
   auto c = a.iter();
   for (; c; ++c) {
      int const n = numberOf(c.key());
      ASSERT_EQ(n, expectedNext) << "the cursor skipped or repeated a key";
      ASSERT_TRUE(visited.insert(n).second);
      a.checkCurrent(c, n);
      if (rng.percent(filling ? 15 : 50)) {
         a.erase(n);
         a.checkCurrent(c, n);  // the cursor still knows where it stands
      }
      if (rng.percent(filling ? 5 : 20) && !a.model.empty()) {  // another present key, before or after this one
         auto it = a.model.begin();
         std::advance(it, rng.below(int(a.model.size())));
         deleteKey(it->first);
      }
      if (rng.percent(10)) deleteKey(rng.below(span));  // often absent
      if (rng.percent(10)) a.insert(rng.below(span), rng);
      a.checkNotes();
      expectedNext = a.firstAfter(a.rank[std::size_t(n)]);
   }
   EXPECT_EQ(expectedNext, -1);
   for (int n : start) {
      if (!deletedAhead.count(n)) {
         EXPECT_TRUE(visited.count(n)) << "present at the start, never reached: " << n;
      }
   }
}

template <class A>
void drive(unsigned seed, int steps) {
   A a;
   Rng rng(seed);
   // Phases alternate between filling and draining over key ranges of different widths, so the tables
   // grow through several sizes and empty again.
   static constexpr int spans[] = {8, 64, 512, 32, 512, 16};
   for (int step = 0; step < steps; ++step) {
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
         auto it = a.model.begin();
         std::advance(it, rng.below(int(a.model.size())));
         a.erase(it->first);
      } else {
         a.erase(rng.below(span));  // present or not
      }
      a.checkNotes();
      checkAll(a, rng);
      if (testing::Test::HasFailure()) return;
   }
}

constexpr int steps = 3600;

}  // namespace

// Every collection kind of the root against its model, two seeds each. The silent set's adapter expects
// no notification at all, watched or not.
template <class Adapter>
class RandomCollectionKinds : public testing::Test {};
using CollectionKinds =
    testing::Types<TagAdapter, ScoreAdapter, MemberAdapter, ChildAdapter, HistoryAdapter, HushAdapter>;
TYPED_TEST_SUITE(RandomCollectionKinds, CollectionKinds);

TYPED_TEST(RandomCollectionKinds, AgainstModel) {
   drive<TypeParam>(1, steps);
   drive<TypeParam>(77, steps);
}

// ------------------------------------------------------------------------------------------------------
// Values holding a set: copies, assignment and equality.

namespace {

struct TagsModel {
   std::set<int> keys;
   std::string label;
};

void expectSame(Tags const& t, TagsModel const& m) {
   ASSERT_EQ(t.tagSize(), m.keys.size());
   std::vector<int> walked;
   for (auto const& k : t.tagCollection()) walked.push_back(numberOf(k));
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

void expectEqualBothWays(Tags const& a, Tags const& b) {
   EXPECT_TRUE(a == b);
   EXPECT_TRUE(b == a);
}
void expectUnequalBothWays(Tags const& a, Tags const& b) {
   EXPECT_FALSE(a == b);
   EXPECT_FALSE(b == a);
}

std::vector<Zat::String> walkOf(Tags const& t) {
   std::vector<Zat::String> v;
   for (auto const& k : t.tagCollection()) v.push_back(k);
   return v;
}

}  // namespace

TEST(RandomCollections, ValueCopiesAreEqualAndIndependent) {
   Rng rng(9);
   Tags t;
   TagsModel m;
   for (int step = 0; step < 3000; ++step) {
      SCOPED_TRACE(testing::Message() << "step " << step);
      int const span = step / 500 % 2 ? 400 : 20;
      int const roll = rng.below(100);
      if (roll < 40) {
         int const n = rng.below(span);
         m.keys.insert(n);
         t.tagIs(strKey(n));
      } else if (roll < 75) {
         int const n = rng.below(span);
         EXPECT_EQ(t.tagDel(strKey(n)), m.keys.erase(n) > 0);
      } else if (roll < 77) {
         t.tagDelAll();
         m.keys.clear();
      } else if (roll < 80) {
         m.label = std::to_string(rng.below(3));
         t.labelIs(Zat::String(m.label));
      } else if (roll < 88) {
         // Copy-construct: equal both ways; then each side changes without touching the other.
         Tags copy(t);
         TagsModel cm = m;
         expectEqualBothWays(copy, t);
         EXPECT_EQ(walkOf(copy), walkOf(t));
         if (rng.percent(50)) {
            changeSurely(copy, cm, rng);
         } else {
            changeSurely(t, m, rng);
         }
         expectUnequalBothWays(copy, t);
         expectSame(copy, cm);
         // A no-op change keeps a fresh copy equal.
         Tags same(t);
         if (!m.keys.empty()) same.tagIs(strKey(*m.keys.begin()));
         int absent = 0;
         while (m.keys.count(absent)) ++absent;
         if (absent < keySpace) {
            EXPECT_FALSE(same.tagDel(strKey(absent)));
         }
         same.labelIs(Zat::String(m.label));
         expectEqualBothWays(same, t);
      } else if (roll < 96) {
         // Assign over a value with contents of its own.
         Tags other;
         TagsModel om;
         for (int i = 0, k = rng.below(40); i < k; ++i) changeSurely(other, om, rng);
         other = t;
         om = m;
         expectEqualBothWays(other, t);
         expectSame(other, om);
         changeSurely(other, om, rng);
         expectUnequalBothWays(other, t);
         expectSame(other, om);
      } else {
         Tags const& self = t;
         t = self;
      }
      expectSame(t, m);
      if (HasFailure()) return;
   }
}

TEST(RandomCollections, EqualContentsWalkAlikeWhateverTheHistory) {
   Rng rng(10);
   for (int size : {0, 1, 2, 5, 6, 7, 12, 13, 24, 25, 48, 49, 100, 200}) {
      SCOPED_TRACE(testing::Message() << "size " << size);
      std::vector<int> keys(keySpace);
      for (int n = 0; n < keySpace; ++n) keys[std::size_t(n)] = n;
      rng.shuffle(keys);
      std::vector<int> const chosen(keys.begin(), keys.begin() + size);
      std::vector<int> const others(keys.begin() + size, keys.end());

      Tags a;  // the chosen keys only
      std::vector<int> order = chosen;
      rng.shuffle(order);
      for (int n : order) a.tagIs(strKey(n));

      Tags b;  // grown far larger first, then drained of everything else
      rng.shuffle(order);
      for (int n : others) b.tagIs(strKey(n));
      for (int n : order) b.tagIs(strKey(n));
      for (int n : others) b.tagDel(strKey(n));

      Tags c;  // emptied and refilled, the keys added twice over
      for (int n : others) c.tagIs(strKey(n));
      c.tagDelAll();
      rng.shuffle(order);
      for (int n : order) c.tagIs(strKey(n));
      for (int n : order) c.tagIs(strKey(n));

      expectEqualBothWays(a, b);
      expectEqualBothWays(a, c);
      EXPECT_EQ(walkOf(a), walkOf(b));
      EXPECT_EQ(walkOf(a), walkOf(c));
      ASSERT_EQ(walkOf(a).size(), std::size_t(size));

      // One key apart, or one label apart, is unequal.
      if (size > 0) {
         b.tagDel(strKey(chosen.front()));
         expectUnequalBothWays(a, b);
      }
      c.labelIs("other");
      expectUnequalBothWays(a, c);
   }
}

TEST(RandomCollections, MemberFindOrCreateRefusesAnotherWeightAndChangesNothing) {
   auto root = Root::RootIs("r");
   Recorder rec;
   root->addLegacyNotifiee(&rec);
   std::vector<Zat::Ptr<Member>> made;
   for (int n = 0; n < 40; ++n) made.push_back(root->memberIs(strKey(n), std::uint32_t(n % 4)));
   EXPECT_EQ(rec.take().size(), 40u);
   std::vector<Member*> before;
   for (auto const& m : root->memberCollection()) before.push_back(m.get());

   for (int n = 0; n < 40; ++n) {
      EXPECT_EQ(root->memberIs(strKey(n), std::uint32_t(n % 4)), made[std::size_t(n)]);
      EXPECT_EQ(made[std::size_t(n)]->references(), 2u);  // the collection's and ours: no stray copy
   }
   // A refusal inside an unchecked walk: the walk goes on, since nothing changed.
   int walked = 0;
   for (auto const& m : root->memberCollection()) {
      int const n = numberOf(m->name());
      try {
         root->memberIs(strKey(n), std::uint32_t(n % 4) + 1);
         ADD_FAILURE() << "another weight accepted for " << n;
      } catch (Zat::ReinstantiationException const& e) {
         EXPECT_EQ(std::string(e.what()), "ZatgenTest::Member: attribute weight is " + std::to_string(n % 4) +
                                              ", cannot re-instantiate with " + std::to_string(n % 4 + 1));
      }
      ++walked;
   }
   EXPECT_EQ(walked, 40);
   EXPECT_TRUE(rec.take().empty());
   EXPECT_EQ(root->memberSize(), 40u);
   std::vector<Member*> after;
   for (auto const& m : root->memberCollection()) after.push_back(m.get());
   EXPECT_EQ(after, before);
   for (int n = 0; n < 40; ++n) {
      EXPECT_EQ(root->member(strKey(n)), made[std::size_t(n)]);
      EXPECT_EQ(made[std::size_t(n)]->weight(), std::uint32_t(n % 4));
   }
   root->removeLegacyNotifiee(&rec);
}

TEST(RandomCollections, UncheckedWalkRefusesToGoOnAfterAChange) {
   auto root = Root::RootIs("r");
   for (int n = 0; n < 10; ++n) root->tagIs(strKey(n));
   // Re-inserting a present key changes nothing, so the walk completes.
   int walked = 0;
   for (auto const& k : root->tagCollection()) {
      root->tagIs(k);
      ++walked;
   }
   EXPECT_EQ(walked, 10);
   // A real change stops it at the next step, rather than letting it read moved entries.
   walked = 0;
   auto deleteEach = [&] {
      for (auto const& k : root->tagCollection()) {
         ++walked;
         Zat::String const key = k;  // k is the entry the deletion destroys
         root->tagDel(key);
      }
   };
   EXPECT_THROW(deleteEach(), Zat::PreconditionException);
   EXPECT_EQ(walked, 1);
   EXPECT_EQ(root->tagSize(), 9u);
}
