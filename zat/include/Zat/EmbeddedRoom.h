// EmbeddedRoom<T>: room inside an owner entity for the one entity of type T it creates and holds, so that
// owner and part are one heap block: one allocation and one free instead of two, for a part that almost
// every owner has (a host and its configuration part).
//
// The part stays a counted entity of its own: whoever holds it may keep it after the owner dropped it
// or after the owner went. To make that safe without asking the part's holders anything, the room
// itself holds one reference to the part it built for as long as the owner lives:
// - while someone else still holds that part, the room is taken and the owner's next part is made on
//   the heap as before;
// - a part that only the room holds is destroyed when the owner makes its next part in the room, or
//   when the owner goes;
// - when the owner goes while others hold the part, the block stays until the last of them lets go.
#pragma once

#include <new>

#include "Zat/Ptr.h"
#include "Zat/PtrInterface.h"

namespace Zat {

template <class T>
class EmbeddedRoom {
 public:
   EmbeddedRoom() noexcept = default;
   EmbeddedRoom(EmbeddedRoom const&) = delete;
   EmbeddedRoom& operator=(EmbeddedRoom const&) = delete;
   // Nothing: the owner's last release (releaseOwner) decides what becomes of the part.
   ~EmbeddedRoom() = default;

   // A new part built in the room, with notification switched on; null when the room is taken by a part
   // that someone besides the room holds. A part that only the room held is destroyed first. If the
   // part's constructor throws, the room is left empty.
   template <class... A>
   Ptr<T> make(A const&... a) {
      if (part_) {
         if (part_->references() > 1) return nullptr;
         Part* const old = part_;
         part_ = nullptr;
         old->~Part();  // nobody else can see it: destroyed without going through the count
      }
      Part* const p = ::new (static_cast<void*>(room_)) Part(a...);
      p->newRef();  // the room's own reference
      p->hasNotificationActiveIs(true);
      part_ = p;
      return Ptr<T>(p);
   }

   // The owner's zeroReferencesIs: destroys `owner` (whose member this room is) and frees its block, or,
   // when others still hold the part, leaves the block to the part's last release.
   void releaseOwner(PtrInterface* owner) noexcept {
      void* const block = dynamic_cast<void*>(owner);
      Part* const part = part_;
      if (part) part->block_ = block;
      owner->~PtrInterface();  // this room goes with it
      if (part) part->delRef();  // the room's reference; the last one frees the block
      else ::operator delete(block);
   }

 private:
   class Part final : public T {
    public:
      template <class... A>
      explicit Part(A const&... a) : T(a...) {}
      // Reached only once the room let go, that is once the owner went: the block is the part's to free.
      void zeroReferencesIs(bool) noexcept override {
         void* const block = block_;
         this->~Part();
         ::operator delete(block);
      }
      void* block_ = nullptr;
   };

   Part* part_ = nullptr;
   alignas(Part) unsigned char room_[sizeof(Part)];
};

}  // namespace Zat
