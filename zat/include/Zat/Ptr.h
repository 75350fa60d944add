// Ptr<T>: holds one counted reference to a PtrInterface-derived object.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <type_traits>
#include <utility>

#include "Zat/PtrInterface.h"

namespace Zat {

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
   requires std::is_convertible_v<U*, T*> Ptr(Ptr<U> const& o)
   noexcept : p_(o.get()) { ref(); }
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
   void reset() noexcept { unref(); }

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
