// The generic interface: how tools read and write attributes, walk collections and call operations of a
// type they know only by name. The type compiler emits, per type, an attribute operation that dispatches
// on the attribute id to the helpers below; the rules of each kind of attribute live here once.
#pragma once

#include <memory>
#include <type_traits>

#include "Zat/Any.h"
#include "Zat/Collections.h"
#include "Zat/OrderedMap.h"

namespace Zat {

// A cursor over one collection attribute, as a tool sees it.
class GenericIterator {
  public:
   virtual ~GenericIterator() = default;
   virtual Any key() const = 0;
   virtual void advance() = 0;
   virtual bool notAtEnd() const = 0;
   // The element: true for a set member, the value of a map entry, the entity of an entity collection.
   virtual Any current() const = 0;
   virtual void deleteCurrent() = 0;
};

// Runs the attribute operation of `type` on `obj` (a value or an entity of that type). With `obj` null
// only a static operation can be called; anything else raises PreconditionException.
AttrOpResult attrOp(TypeInfo const& type, void* obj, std::uint16_t attrId, AttrOp op, Any const& key, Any& value);

namespace gen {

template <class T>
struct IsPtr : std::false_type {};
template <class T>
struct IsPtr<Ptr<T>> : std::true_type {};

// What a tool holds for a value: the value itself, or for a counted pointer the object it points at.
template <class T>
Any toAny(T const& v) {
   if constexpr (IsPtr<T>::value) {
      return Any::entity(Ptr<PtrInterface>(const_cast<std::remove_const_t<typename T::element_type>*>(v.get())));
   } else {
      return Any::of(v);
   }
}

// The value of type T a tool passed: a value of that type, or for a counted pointer an entity of the
// pointed-at type (or nothing, for null). Anything else raises TypeException.
template <class T>
T fromAny(Any const& a) {
   if constexpr (IsPtr<T>::value) {
      if (a.empty()) return T();
      return T(a.asEntity<std::remove_const_t<typename T::element_type>>());
   } else {
      return a.as<T>();
   }
}

inline bool isWholeValueOp(AttrOp op) noexcept {
   return op == AttrOp::truth || op == AttrOp::isEq || op == AttrOp::less;
}

// Codes 11 to 13 on a value of type T.
template <class T>
AttrOpResult wholeValueOp(T const& self, AttrOp op, Any const& other, Any& value) {
   switch (op) {
      case AttrOp::truth: value = Any::of(bool(self)); return attrOpDone;
      case AttrOp::isEq: value = Any::of(bool(self == other.as<T>())); return attrOpDone;
      case AttrOp::less:
         if constexpr (requires { self < self; }) {
            value = Any::of(bool(self < other.as<T>()));
            return attrOpDone;
         } else {
            return attrOpNotApplicable;
         }
      default: return attrOpNotApplicable;
   }
}

// Constructor attributes and constants: read only.
template <class T>
AttrOpResult readOnly(AttrOp op, T const& v, Any& value) {
   if (op != AttrOp::read) return attrOpNotApplicable;
   value = toAny(v);
   return attrOpDone;
}

// A mutable attribute: read, and write through its setter.
template <class T, class Set>
AttrOpResult plain(AttrOp op, T const& v, Set&& set, Any& value) {
   if (op == AttrOp::read) {
      value = toAny(v);
      return attrOpDone;
   }
   if (op != AttrOp::write) return attrOpNotApplicable;
   set(fromAny<T>(value));
   return attrOpDone;
}

inline std::uint32_t count32(std::size_t n) noexcept { return std::uint32_t(n); }

// A value set; `insert` and `erase` are the owner's operations so that an entity publishes.
template <class Coll, class Insert, class Erase>
AttrOpResult set(AttrOp op, Coll const& c, Insert&& insert, Erase&& erase, Any const& key, Any& value,
                 std::string_view typeName, std::string_view attrName) {
   using K = typename Coll::Key;
   switch (op) {
      case AttrOp::read: value = Any::of(bool(c.contains(fromAny<K>(key)))); return attrOpDone;
      case AttrOp::write:
         if (!value.as<bool>()) throwSetFalseValueException(typeName, attrName);
         insert(fromAny<K>(key));
         return attrOpDone;
      case AttrOp::del: erase(fromAny<K>(key)); return attrOpDone;
      case AttrOp::count: value = Any::of(count32(c.size())); return attrOpDone;
      case AttrOp::version: value = Any::of(c.version()); return attrOpDone;
      case AttrOp::has: value = Any::of(bool(c.contains(fromAny<K>(key)))); return attrOpDone;
      default: return attrOpNotApplicable;
   }
}

namespace detail {
template <class Coll>
struct IsOrderedMap : std::false_type {};
template <class Node, class Key, class Less>
struct IsOrderedMap<OrderedMap<Node, Key, Less>> : std::true_type {};
// An ordered map whose nodes are values (an ordered value map) rather than member entities.
template <class Coll>
struct HoldsValueNodes : std::false_type {};
template <class K, class V, class Key, class Less>
struct HoldsValueNodes<OrderedMap<OrderedValueNode<K, V>, Key, Less>> : std::true_type {};

// The value stored at a key of a value map or an ordered value map, or null.
template <class Coll>
auto const* valueAt(Coll const& c, typename Coll::Key const& k) {
   if constexpr (IsOrderedMap<Coll>::value) {
      auto const* node = c.find(k);
      return node ? &node->value() : nullptr;
   } else {
      return c.find(k);
   }
}
template <class Coll>
using ValueOf = std::remove_cvref_t<decltype(*valueAt(std::declval<Coll const&>(),
                                                      std::declval<typename Coll::Key const&>()))>;

template <class Coll>
bool has(Coll const& c, typename Coll::Key const& k) {
   if constexpr (requires { c.contains(k); }) return c.contains(k);
   else return c.find(k) != nullptr;
}
}  // namespace detail

// A value map or an ordered value map.
template <class Coll, class Insert, class Erase>
AttrOpResult map(AttrOp op, Coll const& c, Insert&& insert, Erase&& erase, Any const& key, Any& value) {
   using K = typename Coll::Key;
   using V = detail::ValueOf<Coll>;
   switch (op) {
      case AttrOp::read: {
         V const* v = detail::valueAt(c, fromAny<K>(key));
         value = v ? toAny(*v) : Any();
         return attrOpDone;
      }
      case AttrOp::write: insert(fromAny<K>(key), fromAny<V>(value)); return attrOpDone;
      case AttrOp::del: erase(fromAny<K>(key)); return attrOpDone;
      case AttrOp::count: value = Any::of(count32(c.size())); return attrOpDone;
      case AttrOp::version: value = Any::of(c.version()); return attrOpDone;
      case AttrOp::has: value = Any::of(detail::has(c, fromAny<K>(key))); return attrOpDone;
      default: return attrOpNotApplicable;
   }
}

// An entity collection or an ordered entity map: writing creates (find-or-create) the member of the key.
template <class Coll, class Create, class Erase>
AttrOpResult entities(AttrOp op, Coll const& c, Create&& create, Erase&& erase, Any const& key, Any& value) {
   using K = typename Coll::Key;
   switch (op) {
      case AttrOp::read: value = Any::entity(Ptr<PtrInterface>(c.find(fromAny<K>(key)))); return attrOpDone;
      case AttrOp::write: value = Any::entity(Ptr<PtrInterface>(create(fromAny<K>(key)))); return attrOpDone;
      case AttrOp::del: erase(fromAny<K>(key)); return attrOpDone;
      case AttrOp::count: value = Any::of(count32(c.size())); return attrOpDone;
      case AttrOp::version: value = Any::of(c.version()); return attrOpDone;
      case AttrOp::has: value = Any::of(bool(c.find(fromAny<K>(key)) != nullptr)); return attrOpDone;
      default: return attrOpNotApplicable;
   }
}

// A collection that tools may read but not change: reading, count, version and presence only.
template <class Coll>
AttrOpResult readOnlyCollection(AttrOp op, Coll const& c, Any const& key, Any& value) {
   using K = typename Coll::Key;
   switch (op) {
      case AttrOp::read:
         if constexpr (requires { c.contains(fromAny<K>(key)); typename Coll::Value; }) {
            auto const* v = c.find(fromAny<K>(key));
            value = v ? toAny(*v) : Any();
         } else if constexpr (requires { c.contains(fromAny<K>(key)); }) {
            value = Any::of(bool(c.contains(fromAny<K>(key))));
         } else if constexpr (detail::HoldsValueNodes<Coll>::value) {
            auto const* v = detail::valueAt(c, fromAny<K>(key));
            value = v ? toAny(*v) : Any();
         } else {
            value = Any::entity(Ptr<PtrInterface>(c.find(fromAny<K>(key))));
         }
         return attrOpDone;
      case AttrOp::count: value = Any::of(count32(c.size())); return attrOpDone;
      case AttrOp::version: value = Any::of(c.version()); return attrOpDone;
      case AttrOp::has: value = Any::of(detail::has(c, fromAny<K>(key))); return attrOpDone;
      default: return attrOpNotApplicable;
   }
}

// A single owned entity: read it, write (create or keep, constructor attributes in the value), delete it.
template <class Create, class Del>
AttrOpResult owned(AttrOp op, PtrInterface* current, Create&& create, Del&& del, Any& value) {
   switch (op) {
      case AttrOp::read: value = Any::entity(Ptr<PtrInterface>(current)); return attrOpDone;
      case AttrOp::write: value = Any::entity(Ptr<PtrInterface>(create())); return attrOpDone;
      case AttrOp::del: del(); return attrOpDone;
      default: return attrOpNotApplicable;
   }
}

// A function attribute; `call` reads its arguments from `key` and leaves its result in `value`.
template <class Call>
AttrOpResult function(AttrOp op, Call&& call, Any const& key, Any& value) {
   if (op != AttrOp::call) return attrOpNotApplicable;
   call(key, value);
   return attrOpDone;
}

// The i-th of `n` call arguments: `key` itself when there is one, an element of an AnyList otherwise.
Any const& argument(Any const& key, std::size_t i, std::size_t n);
// The same argument as a T (fromAny).
template <class T>
T arg(Any const& key, std::size_t i, std::size_t n) {
   return fromAny<T>(argument(key, i, n));
}

// What a read-only collection's cursor does when asked to delete: refuses.
struct NoErase {
   template <class K>
   void operator()(K const&) const {
      throwPreconditionException("this collection is read-only for generic tools");
   }
};

// A tool's cursor over a collection: its element is true for a set member, the value of a map entry,
// or the member entity of an entity collection or ordered entity map.
template <class Coll, class Erase>
class CollectionIterator : public GenericIterator {
  public:
   CollectionIterator(Coll const& c, Any const* from, Erase erase)
       : c_(from ? c.cursor(fromAny<typename Coll::Key>(*from)) : c.cursor()), erase_(std::move(erase)) {}
   Any key() const override { return toAny(c_.key()); }
   void advance() override { ++c_; }
   bool notAtEnd() const override { return bool(c_); }
   Any current() const override {
      if constexpr (detail::IsOrderedMap<Coll>::value) {
         auto const* node = c_.node();
         if (!node) return Any();
         if constexpr (detail::HoldsValueNodes<Coll>::value) return toAny(node->value());
         else return Any::entity(Ptr<PtrInterface>(c_.node()));
      } else {
         using Entry = std::remove_cvref_t<decltype(*c_.entry())>;
         if constexpr (std::is_same_v<Entry, typename Coll::Key>) {
            return Any::of(true);
         } else {
            auto const* e = c_.entry();
            if (!e) return Any();
            if constexpr (requires { e->second; }) return toAny(e->second);
            else return Any::entity(Ptr<PtrInterface>(e->get()));
         }
      }
   }
   void deleteCurrent() override { erase_(c_.key()); }

  private:
   decltype(std::declval<Coll const&>().cursor()) c_;
   Erase erase_;
};

// A cursor that deletes through `erase` (the owner's operation, so that an entity publishes); without
// one, the collection is read-only and deleteCurrent refuses.
template <class Coll, class Erase = NoErase>
std::unique_ptr<GenericIterator> iterator(Coll const& c, Any const* from, Erase erase = {}) {
   return std::make_unique<CollectionIterator<Coll, Erase>>(c, from, std::move(erase));
}

}  // namespace gen
}  // namespace Zat
