// PtrInterface: the base of every counted object and entity. It carries the reference count and the
// list of notifiees that observe the entity's changes.
//
// Whether counts are updated atomically is one process-wide choice, threadSafePointers_, made before any
// model is shared between threads; plain updates are cheaper for the common single-threaded agent.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "Zat/TypeInfo.h"
#include "Zat/TypeOf.h"

namespace Zat {

// Chooses atomic (true) or plain (false) reference-count updates for the whole process.
extern bool threadSafePointers_;

class PtrInterface;

// The key of a change notification: the changed collection element, or nothing for an attribute.
struct KeyRef {
   void const* ptr = nullptr;
   TypeInfo const* type = nullptr;

   bool empty() const noexcept { return ptr == nullptr; }
   // The key's text form; "" when there is no key.
   String text() const;
};

// Observes one or more entities. A notifiee must be removed from every entity it watches before it dies.
class Notifiee {
  public:
   virtual ~Notifiee() = default;
   virtual void onChange(PtrInterface const& entity, std::uint16_t attrId, KeyRef const& key) = 0;
};

// The notifiee bridge of an entity: the entity and the four operations that reach its notifiee list.
struct NotifieeList {
   PtrInterface* entity;
   void (*add)(PtrInterface& entity, Notifiee* n);
   void (*remove)(PtrInterface& entity, Notifiee* n) noexcept;
   void (*visit)(PtrInterface const& entity, std::uint16_t attrId, KeyRef const& key);
   std::span<Notifiee* const> (*iterate)(PtrInterface const& entity) noexcept;
};

TypeInfo const& ptrInterfaceTypeInfo() noexcept;

class PtrInterface {
  public:
   PtrInterface() noexcept = default;
   // A copy is a new object: it starts with no references and no notifiees of its own.
   PtrInterface(PtrInterface const&) noexcept {}
   PtrInterface& operator=(PtrInterface const&) noexcept { return *this; }

   // The entity's notifiee bridge.
   virtual NotifieeList notifieeList() const;
   // Called once on every new entity before it is handed out; notifications flow only after it.
   virtual void hasNotificationActiveIs(bool active) noexcept { notificationActive_ = active; }
   // Called by the last reference's release; destroys the object.
   virtual void zeroReferencesIs(bool) noexcept { delete this; }
   // The type's entry in its unit's type table.
   virtual TypeInfo const& fwkType() const noexcept { return ptrInterfaceTypeInfo(); }
   virtual ~PtrInterface();

   std::uint32_t references() const noexcept {
      return threadSafePointers_ ? std::atomic_ref<std::uint32_t>(refCount_).load() : refCount_;
   }
   void newRef() const noexcept {
      if (threadSafePointers_) std::atomic_ref<std::uint32_t>(refCount_).fetch_add(1);
      else ++refCount_;
   }
   void delRef() const noexcept {
      std::uint32_t left = threadSafePointers_ ? std::atomic_ref<std::uint32_t>(refCount_).fetch_sub(1) - 1
                                               : --refCount_;
      if (left == 0) const_cast<PtrInterface*>(this)->zeroReferencesIs(true);
   }

   bool hasNotificationActive() const noexcept { return notificationActive_; }
   bool hasNotifiees() const noexcept { return notifiees_ && !notifiees_->empty(); }

   // Registers and unregisters observers (the legacy notifiee lists).
   void addLegacyNotifiee(Notifiee* n);
   void removeLegacyNotifiee(Notifiee* n) noexcept;
   // Delivers one change to every registered notifiee.
   void visitLegacyNotifiee(std::uint16_t attrId, KeyRef const& key) const;
   std::span<Notifiee* const> iteratorLegacyNotifiee() const noexcept;

  protected:
   // Publishes a change of attribute `attrId` (and, for a collection, its key). Costs one test when
   // nobody watches.
   void publishChange(std::uint16_t attrId) const {
      if (notifiees_ && notificationActive_) visitLegacyNotifiee(attrId, KeyRef());
   }
   template <class K>
   void publishChange(std::uint16_t attrId, K const& key) const;

  private:
   alignas(std::uint32_t) mutable std::uint32_t refCount_ = 0;
   bool notificationActive_ = false;
   std::unique_ptr<std::vector<Notifiee*>> notifiees_;
};

template <class K>
void PtrInterface::publishChange(std::uint16_t attrId, K const& key) const {
   if (notifiees_ && notificationActive_) visitLegacyNotifiee(attrId, KeyRef{&key, &typeInfoOf<K>()});
}

}  // namespace Zat
