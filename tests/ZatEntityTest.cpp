// Counted pointers, the notifiee bridge, directories and process-wide singletons of the runtime.
#include <gtest/gtest.h>

#include "Zat/Entity.h"
#include "Zat/GenericIf.h"
#include "support/Recorder.h"

using namespace Zat;

namespace {
struct Probe : PtrInterface {
   explicit Probe(int* deaths) : deaths_(deaths) {}
   ~Probe() override { ++*deaths_; }
   using PtrInterface::publishChange;
   int* deaths_;
};

// A notifiee that removes `target` (itself unless told otherwise) when it is told of a change.
struct OneShot : Notifiee {
   int changes = 0;
   Notifiee* target = this;
   void onChange(PtrInterface const& e, std::uint16_t, KeyRef const&) override {
      ++changes;
      const_cast<PtrInterface&>(e).removeLegacyNotifiee(target);
   }
};
}  // namespace

TEST(ZatEntity, PointersCountAndDestroyOnce) {
   for (bool atomic : {false, true}) {
      threadSafePointers_ = atomic;
      int deaths = 0;
      {
         Ptr<Probe> a(new Probe(&deaths));
         EXPECT_EQ(a->references(), 1u);
         Ptr<Probe> b = a;
         Ptr<PtrInterface> base = b;
         EXPECT_EQ(a->references(), 3u);
         Ptr<Probe> c = std::move(b);
         EXPECT_EQ(b, nullptr);
         EXPECT_EQ(a->references(), 3u);
         c = nullptr;
         base.reset();
         EXPECT_EQ(a->references(), 1u);
         EXPECT_EQ(deaths, 0);
      }
      EXPECT_EQ(deaths, 1);
   }
   threadSafePointers_ = false;
}

TEST(ZatEntity, NotifieeBridgeDeliversOnlyWhenActive) {
   int deaths = 0;
   Ptr<Probe> p(new Probe(&deaths));
   Recorder c;
   NotifieeList bridge = p->notifieeList();
   EXPECT_EQ(bridge.entity, p.get());
   bridge.add(*p, &c);
   bridge.add(*p, &c);  // once only
   EXPECT_EQ(bridge.iterate(*p).size(), 1u);
   p->publishChange(129);  // notification not switched on yet
   p->hasNotificationActiveIs(true);
   p->publishChange(130);
   bridge.visit(*p, 131, KeyRef());
   // A notifiee may leave while it is being told; the others still hear the change.
   OneShot once;
   p->addLegacyNotifiee(&once);
   p->publishChange(132);
   p->publishChange(133);
   EXPECT_EQ(once.changes, 1);
   bridge.remove(*p, &c);
   bridge.remove(*p, &c);
   p->publishChange(134);
   EXPECT_EQ(c.take(), (std::vector<std::string>{"130", "131", "132", "133"}));
   // One removed by another while a change is being told does not hear it: it may be gone already.
   Recorder victim;
   OneShot remover;
   remover.target = &victim;
   p->addLegacyNotifiee(&remover);
   p->addLegacyNotifiee(&victim);
   p->publishChange(135);
   EXPECT_EQ(remover.changes, 1);
   EXPECT_TRUE(victim.take().empty());
   EXPECT_THROW(p->addLegacyNotifiee(nullptr), PreconditionException);
}

TEST(ZatEntity, DirectoriesHoldNamedChildren) {
   Ptr<Dir> dir(new Dir("status"));
   Ptr<Entity> a(new Entity("a")), b(new Entity("b"));
   EXPECT_EQ(dir->entryState("a"), Dir::EntryState::absent);
   dir->entryIs("a", a);
   EXPECT_EQ(dir->entityPtr("a"), a);
   EXPECT_EQ(dir->entryState("a"), Dir::EntryState::present);
   EXPECT_EQ(a->parent(), dir.get());
   dir->entryIs("a", b);  // replacing unlinks the old child
   EXPECT_EQ(a->parent(), nullptr);
   EXPECT_EQ(b->parent(), dir.get());
   EXPECT_EQ(dir->entryDel("a"), b);
   EXPECT_EQ(b->parent(), nullptr);
   EXPECT_EQ(dir->entryDel("a"), nullptr);
   EXPECT_THROW(dir->entryIs("x", nullptr), PreconditionException);
   EXPECT_TRUE(dir->fwkType().isA(entityTypeInfo()));
}

// Tools fill status directories by hand: a directory is created by name, and its entries are one
// collection, walked in name order whatever the hashing.
TEST(ZatEntity, DirectoryEntriesThroughTheGenericInterface) {
   TypeInfo const* type = zatType("Ptr<Zat::Dir const>");
   ASSERT_EQ(type, &Dir::typeInfo());
   Ptr<Entity> made = type->methods->newEntity("hosts");
   auto& dir = static_cast<Dir&>(*made);
   EXPECT_EQ(dir.name(), String("hosts"));
   auto op = [&](AttrOp code, Any const& key, Any value = {}, std::uint16_t id = Dir::AttrId::entry) {
      EXPECT_EQ(type->methods->attrOp(&dir, id, code, key, value), attrOpDone);
      return value;
   };
   for (char const* name : {"c", "a", "bb", "b"}) {
      op(AttrOp::write, Any::of(String(name)), Any::entity(Ptr<PtrInterface>(new Entity(name))));
   }
   auto walk = [&](Any const* from, char const* drop) {
      std::string seen;
      for (auto it = type->methods->iterator(&dir, Dir::AttrId::entry, from); it->notAtEnd(); it->advance()) {
         String const key = it->key().as<String>();
         EXPECT_EQ(it->current().entityPtr().get(), dir.entityPtr(key.view()).get());
         seen += key.str() + " ";
         if (key == String(drop)) it->deleteCurrent();
      }
      return seen;
   };
   Any const b = Any::of(String("b")), ba = Any::of(String("ba"));
   EXPECT_EQ(walk(nullptr, ""), "a b bb c ");
   EXPECT_EQ(walk(&ba, ""), "bb c ");  // an absent key starts at the next name
   EXPECT_EQ(walk(&b, "b"), "b bb c ");
   EXPECT_EQ(op(AttrOp::count, {}).as<std::uint32_t>(), 3u);
   EXPECT_FALSE(op(AttrOp::has, b).as<bool>());
   EXPECT_TRUE(op(AttrOp::read, b).empty());
   op(AttrOp::del, Any::of(String("a")));
   EXPECT_EQ(walk(nullptr, ""), "bb c ");

   // Only entities of the runtime's entity kind are stored; nothing changes otherwise.
   int deaths = 0;
   for (Any bad : {Any::of(5u), Any(), Any::entity(Ptr<PtrInterface>(new Probe(&deaths)))}) {
      Any value = bad;
      EXPECT_THROW(type->methods->attrOp(&dir, Dir::AttrId::entry, AttrOp::write, b, value), TypeException);
   }
   EXPECT_EQ(dir.entries(), 2u);
   Any none;
   EXPECT_EQ(type->methods->attrOp(&dir, 3, AttrOp::read, b, none), attrOpNoSuchAttribute);
   EXPECT_EQ(type->methods->attrOp(&dir, Dir::AttrId::entry, AttrOp::version, b, none), attrOpNotApplicable);
}
