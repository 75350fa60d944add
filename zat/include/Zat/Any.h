// Any: one value or entity of any type, as the generic interface passes them around.
//
// A value is held as a private copy and handled through its type's ValueMethods; an entity is held by a
// counted reference. Conversions check the type (the same type, or for entities a derived one) and
// raise TypeException otherwise, so a tool that guessed wrong gets an exception, not a bad cast.
#pragma once

#include <concepts>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "Zat/Exception.h"
#include "Zat/HashTable.h"
#include "Zat/Ptr.h"
#include "Zat/Strep.h"
#include "Zat/TypeInfo.h"
#include "Zat/TypeOf.h"

namespace Zat {

class Any;
using AnyList = std::vector<Any>;
TypeInfo const& zatTypeInfo(AnyList const*);

[[noreturn]] void throwNoStringConstructor(std::string_view typeName);

template <class T>
ValueMethods const& valueMethodsOf() {
   static ValueMethods const m{
       [](void const* v) -> void* { return new T(*static_cast<T const*>(v)); },
       [](void* v) noexcept { delete static_cast<T*>(v); },
       [](void const* a, void const* b) { return *static_cast<T const*>(a) == *static_cast<T const*>(b); },
       [] {
          bool (*f)(void const*, void const*) = nullptr;
          if constexpr (requires(T const& a) { a < a; }) {
             f = [](void const* a, void const* b) { return *static_cast<T const*>(a) < *static_cast<T const*>(b); };
          }
          return f;
       }(),
       [] {
          std::uint32_t (*f)(void const*) = nullptr;
          if constexpr (requires(T const& v) { keyHash(0u, v); }) {
             f = [](void const* v) { return keyHash(0u, *static_cast<T const*>(v)); };
          }
          return f;
       }(),
       [](void const* v) { return strepOf(*static_cast<T const*>(v)); },
       [] {
          void* (*f)(std::string_view) = nullptr;
          if constexpr (requires(CharRange& r, T* p) { sequenceToValue(r, p); }) {
             f = [](std::string_view text) -> void* { return new T(strepToValue<T>(text)); };
          }
          return f;
       }(),
       [](void const* v) {
          T const& x = *static_cast<T const*>(v);
          if constexpr (std::is_same_v<T, String>) return !x.empty();
          else if constexpr (std::is_enum_v<T>) return x != T{};
          else if constexpr (std::is_constructible_v<bool, T const&>) return bool(x);
          else return !(x == T{});
       },
       [] {
          void* (*f)() = nullptr;
          if constexpr (std::is_default_constructible_v<T>) f = []() -> void* { return new T(); };
          return f;
       }(),
   };
   return m;
}

class Any {
  public:
   Any() noexcept = default;
   Any(Any const& o) : type_(o.type_), entity_(o.entity_) {
      if (o.value_) value_ = type_->value->copy(o.value_);
   }
   Any(Any&& o) noexcept
       : type_(std::exchange(o.type_, nullptr)),
         value_(std::exchange(o.value_, nullptr)),
         entity_(std::move(o.entity_)) {}
   Any& operator=(Any o) noexcept {
      swap(o);
      return *this;
   }
   ~Any() {
      if (value_) type_->value->destroy(value_);
   }
   void swap(Any& o) noexcept {
      std::swap(type_, o.type_);
      std::swap(value_, o.value_);
      entity_.swap(o.entity_);
   }

   template <class T>
   static Any of(T const& v) {
      Any a;
      a.type_ = &typeInfoOf<T>();
      a.value_ = new T(v);
      return a;
   }
   // Wraps an entity (null gives an empty Any).
   static Any entity(Ptr<PtrInterface> e);
   // Parses `text` as a value of `type`; raises RangeException on bad text and PreconditionException
   // for a type that has no text constructor.
   static Any parse(TypeInfo const& type, std::string_view text);
   // The default value of a value type; raises PreconditionException for a type that has none.
   static Any defaultOf(TypeInfo const& type);

   bool empty() const noexcept { return type_ == nullptr; }
   bool isEntity() const noexcept { return bool(entity_); }
   TypeInfo const* type() const noexcept { return type_; }
   void const* raw() const noexcept { return value_ ? value_ : static_cast<void const*>(entity_.get()); }
   // The held value or entity itself, for generic operations that change it in place.
   void* raw() noexcept { return value_ ? value_ : static_cast<void*>(entity_.get()); }

   template <class T>
   T const& as() const {
      TypeInfo const& want = typeInfoOf<T>();
      if (type_ != &want || !value_) throwTypeException(want.fullName, typeName());
      return *static_cast<T const*>(value_);
   }
   template <class T>
   Ptr<T> asEntity() const {
      TypeInfo const& want = T::typeInfo();
      if (!entity_ || !type_->isA(want)) throwTypeException(want.fullName, typeName());
      return Ptr<T>(static_cast<T*>(entity_.get()));
   }
   Ptr<PtrInterface> entityPtr() const noexcept { return entity_; }

   std::string_view typeName() const noexcept;
   // The text form: the value's own, "None" when empty, the type's name for an entity.
   String strep() const;
   // Hash of a value; raises UnhashableException for a type that holds a collection.
   std::uint32_t hash() const;

   friend bool operator==(Any const& a, Any const& b);

  private:
   TypeInfo const* type_ = nullptr;
   void* value_ = nullptr;
   Ptr<PtrInterface> entity_;
};

}  // namespace Zat

