// Counted pointers, the notifiee bridge, directories and process-wide singletons of the runtime.
#include <gtest/gtest.h>

#include "Zat/Entity.h"

using namespace Zat;

namespace {
struct Probe : PtrInterface {
   explicit Probe(int* deaths) : deaths_(deaths) {}
   ~Probe() override { ++*deaths_; }
   using PtrInterface::publishChange;
   int* deaths_;
};

struct Counter : Notifiee {
   int changes = 0;
   std::uint16_t lastId = 0;
   void onChange(PtrInterface const&, std::uint16_t id, KeyRef const&) override {
      ++changes;
      lastId = id;
   }
};

// A notifiee that removes itself the first time it is told.
struct OneShot : Notifiee {
   int changes = 0;
   void onChange(PtrInterface const& e, std::uint16_t, KeyRef const&) override {
      ++changes;
      const_cast<PtrInterface&>(e).removeLegacyNotifiee(this);
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
   Counter c;
   NotifieeList bridge = p->notifieeList();
   EXPECT_EQ(bridge.entity, p.get());
   bridge.add(*p, &c);
   bridge.add(*p, &c);  // once only
   EXPECT_EQ(bridge.iterate(*p).size(), 1u);
   p->publishChange(130);
   EXPECT_EQ(c.changes, 0);  // notification not switched on yet
   p->hasNotificationActiveIs(true);
   p->publishChange(130);
   EXPECT_EQ(c.changes, 1);
   EXPECT_EQ(c.lastId, 130);
   bridge.visit(*p, 131, KeyRef());
   EXPECT_EQ(c.lastId, 131);
   // A notifiee may leave while it is being told; the others still hear the change.
   OneShot once;
   p->addLegacyNotifiee(&once);
   p->publishChange(132);
   p->publishChange(133);
   EXPECT_EQ(once.changes, 1);
   EXPECT_EQ(c.changes, 4);
   bridge.remove(*p, &c);
   bridge.remove(*p, &c);
   p->publishChange(134);
   EXPECT_EQ(c.changes, 4);
   EXPECT_THROW(p->addLegacyNotifiee(nullptr), PreconditionException);
}

TEST(ZatEntity, DirectoriesHoldNamedChildren) {
   Ptr<Dir> dir(new Dir("status"));
   Ptr<Entity> a(new Entity("a")), b(new Entity("b"));
   EXPECT_EQ(dir->entityPtr("a"), nullptr);
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
   EXPECT_EQ(dir->entries(), 0u);
   EXPECT_THROW(dir->entryIs("x", nullptr), PreconditionException);
   EXPECT_EQ(dir->fwkType().fullName, "Zat::Dir");
   EXPECT_TRUE(dir->fwkType().isA(entityTypeInfo()));
}
