// Entities and their collections: notification counts, find-or-create, re-instantiation, parent links,
// deletion while walking and destruction.
#include <gtest/gtest.h>

#include <set>

#include "Zat/GenericIf.h"
#include "ZatgenTest/ZatgenTestTypes.h"
#include "support/Recorder.h"
#include "support/TextChecks.h"

using namespace ZatgenTest;
using Strings = std::vector<std::string>;

// Whether code outside the entity's holders can create a Private.
template <class T>
concept CreatableHere = requires(std::uint32_t id) {
   T::PrivateIs(id);
};

// What the randomized collection test cannot see: the exact refusal of a re-creation, and children
// unlinked from their parent when the owner dies while callers still hold them.
TEST(ZatgenEntities, RefusedRecreationAndOwnerDeath) {
   auto root = Root::RootIs("r");
   Zat::Ptr<Member> a = root->memberIs("a", 1);
   try {
      root->memberIs("a", 2);
      FAIL() << "re-instantiation accepted";
   } catch (Zat::ReinstantiationException const& e) {
      EXPECT_EQ(std::string(e.what()),
                "ZatgenTest::Member: attribute weight is 1, cannot re-instantiate with 2");
   }
   EXPECT_EQ(a->weight(), 1u);
   Zat::Ptr<Child> three = root->childIs(3);
   EXPECT_EQ(three->parent(), root.get());
   root.reset();
   EXPECT_EQ(three->parent(), nullptr);
   EXPECT_EQ(three->references(), 1u);
}

// The generic interface on an entity: attributes, sets, maps, entity collections and operations; the
// generic cursor over every kind of collection, in its order, from a start key (an absent one starts at
// the next key) and deleting as it goes; a read-only collection answers reads and walks but refuses
// every change, the cursor's deletion included.
TEST(ZatgenEntities, GenericInterfaceOnAnEntity) {
   auto root = Root::RootIs("r");
   Recorder rec;
   root->addLegacyNotifiee(&rec);
   Zat::TypeInfo const& t = Root::typeInfo();
   auto op = [&](std::uint16_t id, Zat::AttrOp code, Zat::Any const& key, Zat::Any& value) {
      return Zat::attrOp(t, root.get(), id, code, key, value);
   };
   auto walk = [&](std::uint16_t id, auto element, Zat::Any const* from = nullptr) {
      Strings out;
      for (auto it = t.methods->iterator(root.get(), id, from); it->notAtEnd(); it->advance())
         out.push_back(it->key().strep().str() + "=" + element(it->current()));
      return out;
   };
   auto text = [](Zat::Any const& e) { return e.strep().str(); };
   auto u32 = [](std::uint32_t n) { return Zat::Any::of(n); };
   Zat::Any v = u32(41);
   // Through the setter, which publishes only a real change; a silent attribute publishes nothing.
   EXPECT_EQ(op(Root::AttrId::count, Zat::AttrOp::write, {}, v), Zat::attrOpDone);
   op(Root::AttrId::count, Zat::AttrOp::write, {}, v);
   root->quietIs(9);
   EXPECT_EQ(root->count(), 41u);
   EXPECT_EQ(rec.take(), (Strings{"258"}));
   EXPECT_EQ(op(Root::AttrId::limit, Zat::AttrOp::write, {}, v), Zat::attrOpNotApplicable);  // a constant
   EXPECT_EQ(op(Root::AttrId::limit, Zat::AttrOp::read, {}, v), Zat::attrOpDone);
   EXPECT_EQ(v.as<std::uint16_t>(), 65535);
   // Sets: true inserts, false is refused, delete, presence.
   Zat::Any key = Zat::Any::of(Zat::String("k"));
   Zat::Any yes = Zat::Any::of(true), no = Zat::Any::of(false);
   EXPECT_EQ(op(Root::AttrId::tag, Zat::AttrOp::write, key, yes), Zat::attrOpDone);
   EXPECT_THROW(op(Root::AttrId::tag, Zat::AttrOp::write, key, no), Zat::SetFalseValueException);
   EXPECT_EQ(op(Root::AttrId::tag, Zat::AttrOp::del, key, v), Zat::attrOpDone);
   EXPECT_EQ(op(Root::AttrId::tag, Zat::AttrOp::has, key, v), Zat::attrOpDone);
   EXPECT_FALSE(v.as<bool>());
   EXPECT_EQ(rec.take(), (Strings{"261:'k'", "261:'k'"}));
   // Entity collection: writing creates the member of the key, with its other constructor attributes
   // taken from the value; reading gives the entity, or nothing for an absent key.
   Zat::Any m = u32(7);
   EXPECT_EQ(op(Root::AttrId::member, Zat::AttrOp::write, key, m), Zat::attrOpDone);
   EXPECT_EQ(root->member("k")->weight(), 7u);
   EXPECT_EQ(m.asEntity<Member>(), root->member("k"));
   EXPECT_EQ(op(Root::AttrId::member, Zat::AttrOp::read, Zat::Any::of(Zat::String("nobody")), m),
             Zat::attrOpDone);
   EXPECT_TRUE(m.empty());
   // Hidden attributes, unknown ids, whole-entity codes and operations.
   EXPECT_EQ(op(Root::AttrId::secret, Zat::AttrOp::read, key, v), Zat::attrOpNoSuchAttribute);
   EXPECT_EQ(op(999, Zat::AttrOp::read, key, v), Zat::attrOpNoSuchAttribute);
   EXPECT_EQ(op(Root::AttrId::count, Zat::AttrOp::truth, {}, v), Zat::attrOpNotApplicable);
   root->scoreIs("s", 1);
   EXPECT_EQ(op(Root::AttrId::total, Zat::AttrOp::call, u32(100), v), Zat::attrOpDone);
   EXPECT_EQ(v.as<std::uint32_t>(), 41u + 1u + 100u);
   EXPECT_EQ(op(Root::AttrId::total, Zat::AttrOp::read, {}, v), Zat::attrOpNotApplicable);
   EXPECT_EQ(t.methods->iterator(root.get(), Root::AttrId::count, nullptr), nullptr);
   rec.take();

   // Walks: set entries are true, map entries their values, entity members the entity; a walk from a
   // key is the rest of the whole walk.
   root->scoreIs("x", 10);
   root->scoreIs("y", 20);
   for (auto s : {"a", "b", "c"}) root->tagIs(s);
   auto asSet = [](Strings const& w) { return std::set<std::string>(w.begin(), w.end()); };
   EXPECT_EQ(asSet(walk(Root::AttrId::tag, text)), asSet({"'a'=True", "'b'=True", "'c'=True"}));
   Strings const scores = walk(Root::AttrId::score, text);
   EXPECT_EQ(asSet(scores), asSet({"'s'=1", "'x'=10", "'y'=20"}));
   Zat::Any const y = Zat::Any::of(Zat::String("y"));
   Strings const fromY = walk(Root::AttrId::score, text, &y);
   ASSERT_FALSE(fromY.empty());
   EXPECT_EQ(fromY.front(), "'y'=20");
   EXPECT_EQ(fromY, Strings(scores.end() - std::ptrdiff_t(fromY.size()), scores.end()));
   EXPECT_THROW(t.methods->iterator(root.get(), Root::AttrId::score, &yes), Zat::TypeException);
   auto name = [](Zat::Any const& e) { return e.asEntity<Member>()->name().str(); };
   EXPECT_EQ(walk(Root::AttrId::member, name), (Strings{"'k'=k"}));
   for (std::uint32_t k : {3u, 1u, 2u}) root->childIs(k);
   auto childId = [](Zat::Any const& e) { return std::to_string(e.asEntity<Child>()->id()); };
   EXPECT_EQ(walk(Root::AttrId::child, childId), (Strings{"1=1", "2=2", "3=3"}));
   Zat::Any const two = u32(2);
   EXPECT_EQ(walk(Root::AttrId::child, childId, &two), (Strings{"2=2", "3=3"}));
   // Deleting at the cursor: each step goes on after the deleted key; a child loses its parent link.
   Zat::Ptr<Child> first = root->child(1);
   for (std::uint16_t id : {Root::AttrId::child, Root::AttrId::tag}) {
      int n = 0;
      for (auto it = t.methods->iterator(root.get(), id, nullptr); it->notAtEnd(); it->advance(), ++n)
         it->deleteCurrent();
      EXPECT_EQ(n, 3) << id;
   }
   EXPECT_EQ(root->tagSize() + root->childSize(), 0u);
   EXPECT_EQ(first->parent(), nullptr);
   rec.take();

   Zat::Any b = Zat::Any::of(Zat::String("b"));
   EXPECT_EQ(op(Root::AttrId::history, Zat::AttrOp::write, u32(2), b), Zat::attrOpDone);
   root->historyIs(1, "a");
   EXPECT_EQ(walk(Root::AttrId::history, text), (Strings{"1='a'", "2='b'"}));
   EXPECT_EQ(op(Root::AttrId::history, Zat::AttrOp::del, u32(2), v), Zat::attrOpDone);
   EXPECT_EQ(walk(Root::AttrId::history, text), (Strings{"1='a'"}));
   rec.take();

   root->frozenIs(5);
   EXPECT_EQ(op(Root::AttrId::frozen, Zat::AttrOp::write, u32(6), yes), Zat::attrOpNotApplicable);
   EXPECT_EQ(op(Root::AttrId::frozen, Zat::AttrOp::del, u32(5), v), Zat::attrOpNotApplicable);
   EXPECT_EQ(op(Root::AttrId::frozen, Zat::AttrOp::has, u32(5), v), Zat::attrOpDone);
   EXPECT_TRUE(v.as<bool>());
   auto frozen = t.methods->iterator(root.get(), Root::AttrId::frozen, nullptr);
   ASSERT_TRUE(frozen->notAtEnd());
   EXPECT_THROW(frozen->deleteCurrent(), Zat::PreconditionException);
   EXPECT_TRUE(root->frozenHas(5));
   EXPECT_EQ(rec.take(), (Strings{"269:5"}));
}

// A derived entity: ids after its base's, the base's attributes and operations reachable through its own
// type (answered virtually), a parent link from its holder, and subclasses of a named entity.
TEST(ZatgenEntities, DerivedEntitiesFallBackToTheirBase) {
   auto root = Root::RootIs("r");
   Zat::Ptr<Derived> d = root->derivedIs(7);
   EXPECT_EQ(d->parent(), root.get());
   Recorder rec;
   d->addLegacyNotifiee(&rec);
   d->levelIs(3);
   d->levelIs(3);
   EXPECT_EQ(rec.take(), (Strings{"258"}));
   d->removeLegacyNotifiee(&rec);
   Base const& asBase = *d;
   EXPECT_EQ(asBase.describe(), Zat::String("derived 7"));
   EXPECT_EQ(asBase.kind(), Zat::String("kind of derived 7"));

   Zat::TypeInfo const& t = Derived::typeInfo();
   EXPECT_EQ(t.base, &Base::typeInfo());
   Zat::Any v, none;
   EXPECT_EQ(Zat::attrOp(t, d.get(), Base::AttrId::level, Zat::AttrOp::read, none, v), Zat::attrOpDone);
   EXPECT_EQ(v.as<std::uint32_t>(), 3u);
   EXPECT_EQ(Zat::attrOp(t, d.get(), Base::AttrId::describe, Zat::AttrOp::call, none, v), Zat::attrOpDone);
   EXPECT_EQ(v.as<Zat::String>(), Zat::String("derived 7"));
   EXPECT_EQ(Zat::attrOp(t, d.get(), Derived::AttrId::code, Zat::AttrOp::read, none, v), Zat::attrOpDone);
   EXPECT_EQ(v.as<std::uint32_t>(), 7u);
   // A static operation is called without an instance, through a subclass too; nothing else is.
   Zat::Any const three = Zat::Any::of(std::uint32_t(3));
   EXPECT_EQ(Zat::attrOp(t, nullptr, Base::AttrId::levelName, Zat::AttrOp::call, three, v), Zat::attrOpDone);
   EXPECT_EQ(v.as<Zat::String>(), Zat::String("level 3"));
   for (auto [id, op] : {std::pair{Base::AttrId::level, Zat::AttrOp::read}, {Base::AttrId::describe, Zat::AttrOp::call},
                         {Base::AttrId::levelName, Zat::AttrOp::read}}) {
      Zat::Any const before = v;
      EXPECT_EQ(testing_text::refusal([&] { Zat::attrOp(t, nullptr, id, op, none, v); }),
                "ZatgenTest::Derived: without an instance only a static operation can be called");
      EXPECT_EQ(v.as<Zat::String>(), before.as<Zat::String>());
   }
   root->derivedDel(7);
   EXPECT_EQ(d->parent(), nullptr);

   // An entity of no arguments held without a parent link; named entities keyed by their name.
   EXPECT_EQ(root->baseIs()->parent(), nullptr);
   Zat::Ptr<Named> named = root->namedIs("n1");
   EXPECT_EQ(named->name(), Zat::String("n1"));
   EXPECT_EQ(root->named("n1"), named);
   Zat::Ptr<NamedById> byId = root->byIdIs("x");
   EXPECT_EQ(byId->name(), Zat::String());
   EXPECT_EQ(root->byId("x"), byId);
}

// An embedded part lives in its holder's block while the room is free; a part someone else still holds
// keeps the room, so the next goes to the heap; a held part outlives its holder, whose block it keeps.
TEST(ZatgenEntities, EmbeddedPartsShareTheirHoldersBlock) {
   auto inRoom = [](Zat::Ptr<Holder> const& h, Zat::Ptr<Picked> const& p) {
      auto const* block = reinterpret_cast<char const*>(h.get());
      auto const* part = reinterpret_cast<char const*>(p.get());
      return part >= block && part < block + sizeof(Holder);
   };
   Zat::Ptr<Holder> holder = holderFactory();
   Recorder rec;
   holder->addLegacyNotifiee(&rec);
   Zat::Ptr<Picked> first = holder->partIs(1, "a");
   EXPECT_TRUE(inRoom(holder, first));
   EXPECT_TRUE(first->hasNotificationActive());
   EXPECT_EQ(holder->partIs(1, "a"), first);
   Zat::Ptr<Picked> second = holder->partIs(2, "b");  // the first is still held: the room is taken
   EXPECT_FALSE(inRoom(holder, second));
   EXPECT_EQ(holder->part(), second);
   EXPECT_EQ(first->second(), Zat::String("a"));
   std::string const part = std::to_string(Holder::AttrId::part);
   EXPECT_EQ(rec.take(), (Strings{part, part}));

   // Nobody but the room holds the first any more: the next part takes its place.
   first = nullptr;
   EXPECT_EQ(holder->partDel(), second);
   Zat::Ptr<Picked> third = holder->partIs(3, "c");
   EXPECT_TRUE(inRoom(holder, third));
   EXPECT_EQ(second->first(), 2u);
   holder->removeLegacyNotifiee(&rec);

   // The holder goes first; the part stays whole until its last reference goes (the sanitizer build
   // sees the block freed once, then).
   holder = nullptr;
   EXPECT_EQ(third->second(), Zat::String("c"));
   EXPECT_EQ(third->references(), 1u);
   third = nullptr;
   holderFactory()->partIs(4, "d");  // a holder that goes with its part held only by itself
}

// Collections keyed otherwise than by the first constructor attribute, maps whose deletion answers the
// removed value, members only their holder creates, and deletion at an ordered map's cursor.
TEST(ZatgenEntities, KeysDeletionAndCreationVariants) {
   auto root = Root::RootIs("r");
   Recorder rec;
   root->addLegacyNotifiee(&rec);
   Zat::Ptr<Picked> p = root->pickedIs(1, "b");
   EXPECT_EQ(root->picked("b"), p);
   EXPECT_EQ(root->pickedIs(1, "b"), p);
   EXPECT_THROW(root->pickedIs(2, "b"), Zat::ReinstantiationException);

   Labelled a(Zat::String("a"));
   a.countIs(1);
   root->byLabelIs(a);
   root->byLabelIs(a);
   a.countIs(2);
   root->byLabelIs(a);
   EXPECT_EQ(root->byLabel("a").count(), 2u);
   EXPECT_EQ(root->byLabelSize(), 1u);
   Zat::Any v = Zat::Any::of(a);
   EXPECT_THROW(Zat::attrOp(Root::typeInfo(), root.get(), Root::AttrId::byLabel, Zat::AttrOp::write,
                            Zat::Any::of(Zat::String("b")), v),
                Zat::PreconditionException);
   EXPECT_FALSE(root->byLabelHas("b"));

   root->vrfIs(5, "blue");
   EXPECT_EQ(root->vrfDel(5), Zat::String("blue"));
   EXPECT_EQ(root->vrfDel(5), Zat::String());
   auto at = [](std::uint16_t id, std::string key) { return std::to_string(id) + ":" + key; };
   EXPECT_EQ(rec.take(), (Strings{at(Root::AttrId::picked, "'b'"), at(Root::AttrId::byLabel, "'a'"),
                                  at(Root::AttrId::byLabel, "'a'"), at(Root::AttrId::vrf, "5"),
                                  at(Root::AttrId::vrf, "5")}));

   EXPECT_EQ(root->privyIs(4)->id(), 4u);
   static_assert(!CreatableHere<Private>);
   EXPECT_THROW(Private::typeInfo().methods->construct(std::vector<Zat::Any>{Zat::Any::of(1u)}),
                Zat::PreconditionException);

   for (std::uint32_t rank : {1u, 2u, 3u, 4u}) root->rankedIs(Ranked(rank));
   std::vector<std::uint32_t> kept;
   for (auto c = root->rankedIter(); c; ++c) {
      if (c.key().rank() % 2 == 0)
         root->rankedDel(c);
      else
         kept.push_back(c.key().rank());
   }
   EXPECT_EQ(kept, (std::vector<std::uint32_t>{3, 1}));
   EXPECT_EQ(root->rankedSize(), 2u);
}

// Counted pointers as attributes and keys: the same object is the same key whatever its contents, a
// notification names the object, and tools pass and receive the objects themselves.
TEST(ZatgenEntities, PointersComparedByIdentity) {
   auto root = Root::RootIs("r");
   Zat::Ptr<Member> m = root->memberIs("m", 1);
   Zat::Ptr<Member> twin = memberFactory("m", 1);
   Recorder rec;
   root->addLegacyNotifiee(&rec);
   Zat::Ptr<Watcher> w = root->watchersIs(m);
   EXPECT_EQ(root->watchersIs(m), w);
   EXPECT_EQ(root->watchers(m), w);
   EXPECT_EQ(root->watchers(twin), nullptr);
   root->watchersIs(twin);
   EXPECT_EQ(root->watchersSize(), 2u);
   std::vector<std::string> seen = rec.take();
   ASSERT_EQ(seen.size(), 2u);
   EXPECT_EQ(seen[0].rfind(std::to_string(Root::AttrId::watchers) + ":'ZatgenTest::Member@0x", 0), 0u)
       << seen[0];
   EXPECT_NE(seen[0], seen[1]);

   Zat::TypeInfo const& t = Root::typeInfo();
   Zat::Ptr<Child> c = root->childIs(4);
   Zat::AnyList args{Zat::Any::entity(m), Zat::Any::entity(c)};
   Zat::Any v;
   EXPECT_EQ(Zat::attrOp(t, root.get(), Root::AttrId::watch, Zat::AttrOp::call, Zat::Any::of(args), v),
             Zat::attrOpDone);
   EXPECT_EQ(v.asEntity<Watcher>(), w);
   EXPECT_EQ(w->latest(), c);
   EXPECT_EQ(Zat::attrOp(Watcher::typeInfo(), w.get(), Watcher::AttrId::target, Zat::AttrOp::read, {}, v),
             Zat::attrOpDone);
   EXPECT_EQ(v.asEntity<Member>(), m);
   EXPECT_EQ(Zat::attrOp(t, root.get(), Root::AttrId::watchers, Zat::AttrOp::has, Zat::Any::entity(twin), v),
             Zat::attrOpDone);
   EXPECT_TRUE(v.as<bool>());
   // A wrong entity type is a type error; a null pointer is a key like any other.
   EXPECT_THROW(Zat::attrOp(t, root.get(), Root::AttrId::watchers, Zat::AttrOp::has, Zat::Any::entity(c), v),
                Zat::TypeException);
   EXPECT_EQ(Zat::attrOp(t, root.get(), Root::AttrId::watchers, Zat::AttrOp::has, Zat::Any(), v),
             Zat::attrOpDone);
   EXPECT_FALSE(v.as<bool>());
}

// Reserved positions keep the ids after them (134 below); a runtime directory is held by counted
// pointer, published on change and handed to tools as the entity itself.
TEST(ZatgenEntities, ReservedPositionsAndRuntimeEntities) {
   auto s = sparseFactory(1);
   Zat::TypeInfo const& t = Sparse::typeInfo();
   Zat::Any v;
   Recorder rec;
   s->addLegacyNotifiee(&rec);
   auto dir = Zat::Ptr<Zat::Dir>(new Zat::Dir("d"));
   v = Zat::Any::entity(dir);
   EXPECT_EQ(Zat::attrOp(t, s.get(), Sparse::AttrId::dir, Zat::AttrOp::write, {}, v), Zat::attrOpDone);
   s->dirIs(dir);
   EXPECT_EQ(s->dir(), dir);
   EXPECT_EQ(rec.take(), (Strings{"134"}));
   EXPECT_EQ(Zat::attrOp(t, s.get(), Sparse::AttrId::dir, Zat::AttrOp::read, {}, v), Zat::attrOpDone);
   EXPECT_EQ(v.asEntity<Zat::Dir>(), dir);
   v = Zat::Any::entity(Zat::Ptr<Zat::Entity>(new Zat::Entity("e")));
   EXPECT_THROW(Zat::attrOp(t, s.get(), Sparse::AttrId::dir, Zat::AttrOp::write, {}, v), Zat::TypeException);
   EXPECT_EQ(s->dir(), dir);
}

// Every type name of the unit's table, the runtime's scalars and the network values included, is found by
// its full name; only results of no type and hand-written classes are not. (What the table holds for
// each member, its creation arguments and flags, is the compiler's output, pinned by the golden files.)
TEST(ZatgenEntities, TheTypeTableNamesOnlyRegisteredTypes) {
   std::vector<std::string> missing;
   auto check = [&](std::string_view name) {
      if (!name.empty() && name != "Void" && !Zat::zatType(name)) missing.emplace_back(name);
   };
   for (Zat::TypeInfo const& type : Zat::zatModule("ZatgenTestTypes")->types) {
      for (auto const& p : type.creator) check(p.typeName);
      for (auto const& a : type.attrs) {
         check(a.typeName);
         check(a.elementTypeName);
         for (auto const& p : a.params) check(p.typeName);
      }
   }
   EXPECT_EQ(missing, std::vector<std::string>{});
   EXPECT_EQ(Zat::zatType("Ptr<ZatgenTest::Member const>"), &Member::typeInfo());
   EXPECT_EQ(Zat::zatType("Ipkit::IpGenPrefix")->fullName, "Ipkit::IpGenPrefix");
   EXPECT_EQ(Zat::Any::defaultOf(Outer::typeInfo()).as<Outer>(), Outer());
   EXPECT_THROW(Zat::Any::defaultOf(Root::typeInfo()), Zat::PreconditionException);
}
