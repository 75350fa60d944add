// Intrusive reference counting: PtrInterface carries the count, Ptr<T> holds one reference.
//
// Whether counts are updated atomically is one process-wide choice, threadSafePointers_, made before any
// model is shared between threads; plain updates are cheaper for the common single-threaded agent.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <type_traits>
#include <utility>

namespace Zat {

// Chooses atomic (true) or plain (false) reference-count updates for the whole process.
extern bool threadSafePointers_;

class PtrInterface {
  public:
   PtrInterface() noexcept = default;
   // A copy is a new object: it starts with no references of its own.
   PtrInterface(PtrInterface const&) noexcept {}
   PtrInterface& operator=(PtrInterface const&) noexcept { return *this; }
   virtual ~PtrInterface() = default;

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
      if (left == 0) const_cast<PtrInterface*>(this)->handleZeroRef();
   }

   bool hasNotificationActive() const noexcept { return notificationActive_; }
   // Called once on every new entity before it is handed out; notifications flow only after it.
   void hasNotificationActiveIs(bool active) noexcept { notificationActive_ = active; }

  protected:
   // Destroys the object when its last reference goes.
   virtual void handleZeroRef() noexcept { delete this; }

  private:
   alignas(std::uint32_t) mutable std::uint32_t refCount_ = 0;
   bool notificationActive_ = false;
};

template <class T>
class Ptr {
  public:
   using element_type = T;

   constexpr Ptr() noexcept = default;
   constexpr Ptr(std::nullptr_t) noexcept {}
   Ptr(T* p) noexcept : p_(p) { ref(); }
   Ptr(Ptr const& o) noexcept : p_(o.p_) { ref(); }
   Ptr(Ptr&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
   template <class U>
      requires std::is_convertible_v<U*, T*>
   Ptr(Ptr<U> const& o) noexcept : p_(o.get()) {
      ref();
   }
   ~Ptr() { unref(); }

   Ptr& operator=(Ptr const& o) noexcept {
      Ptr(o).swap(*this);
      return *this;
   }
   Ptr& operator=(Ptr&& o) noexcept {
      Ptr(std::move(o)).swap(*this);
      return *this;
   }
   Ptr& operator=(std::nullptr_t) noexcept {
      Ptr().swap(*this);
      return *this;
   }

   T* get() const noexcept { return p_; }
   T* ptr() const noexcept { return p_; }
   T* operator->() const noexcept { return p_; }
   T& operator*() const noexcept { return *p_; }
   explicit operator bool() const noexcept { return p_ != nullptr; }
   void swap(Ptr& o) noexcept { std::swap(p_, o.p_); }

   friend bool operator==(Ptr const& a, Ptr const& b) noexcept { return a.p_ == b.p_; }
   friend bool operator==(Ptr const& a, std::nullptr_t) noexcept { return a.p_ == nullptr; }

  private:
   void ref() const noexcept {
      if (p_) p_->newRef();
   }
   void unref() noexcept {
      if (p_) std::exchange(p_, nullptr)->delRef();
   }
   T* p_ = nullptr;
};

template <class T, class U>
Ptr<T> ptrCast(Ptr<U> const& p) noexcept {
   return Ptr<T>(dynamic_cast<T*>(p.get()));
}

}  // namespace Zat
