// Keyed hash collections: ValueSet (membership) and ValueMap (one value per key), both on HashTable.
//
// Two ways to walk one:
// - range-for (begin/end) is the fast, unchecked walk: the collection must not change while it runs, and
//   a change is caught ("version_ == hashMap_->version()") rather than walking freed memory;
// - cursor() tolerates deletion of the element it stands on (and any other change): it remembers the
//   current key, and when the collection changed since it last moved, the next step resumes at the first
//   key after it. That is what delete-all loops and generic tools use.
#pragma once

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <optional>
#include <string>
#include <type_traits>
#include <utility>

#include "Zat/Exception.h"
#include "Zat/HashTable.h"
#include "Zat/Ptr.h"

namespace Zat {

[[noreturn]] void throwCollectionChanged();

template <class K>
struct SetTraits {
   using Key = K;
   static K const& key(K const& e) noexcept { return e; }
   static bool equal(K const& a, K const& b) { return a == b; }
};

template <class K, class V>
struct MapTraits {
   using Key = K;
   static K const& key(std::pair<K, V> const& e) noexcept { return e.first; }
   static bool equal(std::pair<K, V> const& a, std::pair<K, V> const& b) {
      return a.first == b.first && a.second == b.second;
   }
};

// The unchecked walk: stands on a position and refuses to go on if the table changed under it.
template <class Table, class Ref>
class UncheckedIterator {
 public:
   using iterator_category = std::forward_iterator_tag;
   using value_type = std::remove_cvref_t<Ref>;
   using difference_type = std::ptrdiff_t;
   using pointer = value_type const*;
   using reference = Ref;

   UncheckedIterator() noexcept : t_(nullptr), i_(Table::npos), version_(0) {}
   UncheckedIterator(Table const* t, std::size_t i) noexcept : t_(t), i_(i), version_(t ? t->version() : 0) {}
   Ref operator*() const {
      check();
      return t_->at(i_);
   }
   auto operator->() const { return &**this; }
   UncheckedIterator& operator++() {
      check();
      i_ = t_->next(i_);
      return *this;
   }
   UncheckedIterator operator++(int) {
      UncheckedIterator before = *this;
      ++*this;
      return before;
   }
   bool operator==(UncheckedIterator const& o) const noexcept { return i_ == o.i_; }

 private:
   void check() const {
      if (version_ != t_->version()) throwCollectionChanged();
   }
   Table const* t_;
   std::size_t i_;
   std::uint32_t version_;
};

// The deletion-tolerant cursor. It keeps a copy of the current key, so it can always tell where it was.
template <class Table>
class Cursor {
 public:
   using Key = typename Table::Key;
   static constexpr std::size_t npos = Table::npos;

   Cursor() noexcept = default;
   explicit Cursor(Table const* t) : t_(t) { land(t->first()); }
   // Starts at `k`, or at the first key after it when `k` is absent.
   Cursor(Table const* t, Key const& k) : t_(t) {
      std::size_t i = t->findIndex(k);
      land(i != npos ? i : t->seekAfter(t->hashOf(k), k));
   }

   explicit operator bool() const noexcept { return key_.has_value(); }
   Key const& key() const {
      if (!key_) throwPreconditionException("cursor is at the end");
      return *key_;
   }
   // The current entry, or null when it was deleted since the cursor moved onto it.
   auto const* entry() const {
      if (!key_) throwPreconditionException("cursor is at the end");
      if (t_->version() == version_) return &t_->at(i_);
      return t_->find(*key_);
   }
   Cursor& operator++() {
      if (!key_) return *this;
      land(t_->version() == version_ ? t_->next(i_) : t_->seekAfter(hash_, *key_));
      return *this;
   }
   bool operator==(Cursor const& o) const noexcept { return t_ == o.t_ && key_ == o.key_; }

 private:
   void land(std::size_t i) {
      i_ = i;
      version_ = t_->version();
      if (i == npos) {
         key_.reset();
         return;
      }
      hash_ = t_->hashAt(i);
      key_ = Table::Traits::key(t_->at(i));
   }
   Table const* t_ = nullptr;
   std::size_t i_ = npos;
   std::uint32_t version_ = 0;
   std::uint32_t hash_ = 0;
   std::optional<Key> key_;
};

template <class Entry, class TraitsT>
struct TableWithTraits : HashTable<Entry, TraitsT> {
   using Traits = TraitsT;
   using HashTable<Entry, TraitsT>::HashTable;
};

// What every keyed hash collection offers over its table: size, version, clearing and both walks.
template <class TableT, class Ref>
class HashCollection {
 public:
   using Table = TableT;
   using const_iterator = UncheckedIterator<Table, Ref>;

   void clear() noexcept { t_.clear(); }
   std::size_t size() const noexcept { return t_.size(); }
   bool empty() const noexcept { return t_.empty(); }
   std::uint32_t version() const noexcept { return t_.version(); }

   const_iterator begin() const noexcept { return {&t_, t_.first()}; }
   const_iterator end() const noexcept { return {&t_, Table::npos}; }
   Cursor<Table> cursor() const { return Cursor<Table>(&t_); }
   Cursor<Table> cursor(typename Table::Key const& from) const { return Cursor<Table>(&t_, from); }

 protected:
   explicit HashCollection(std::uint32_t seed) noexcept : t_(seed) {}
   Table t_;
};

// A set of keys. `Constant` is the collection's own hash constant, XOR-ed with the process seed.
template <class K, std::uint32_t Constant>
class ValueSet : public HashCollection<TableWithTraits<K, SetTraits<K>>, K const&> {
   using Base = HashCollection<TableWithTraits<K, SetTraits<K>>, K const&>;

 public:
   using Key = K;
   using Table = TableWithTraits<K, SetTraits<K>>;
   static constexpr std::uint32_t hashConstant = Constant;

   ValueSet() noexcept : Base(hashSeed32() ^ Constant) {}

   // Adds `k`; answers whether it was absent.
   bool insert(K const& k) {
      return t_.findOrInsert(k, [&] { return k; }).second;
   }
   // Removes `k`; answers whether it was present.
   bool erase(K const& k) noexcept { return t_.erase(k); }
   bool contains(K const& k) const noexcept { return t_.findIndex(k) != Table::npos; }

   friend bool operator==(ValueSet const& a, ValueSet const& b) { return a.t_ == b.t_; }

 private:
   using Base::t_;
};

// A map from keys to values.
template <class K, class V, std::uint32_t Constant>
class ValueMap
    : public HashCollection<TableWithTraits<std::pair<K, V>, MapTraits<K, V>>, std::pair<K, V> const&> {
   using Base = HashCollection<TableWithTraits<std::pair<K, V>, MapTraits<K, V>>, std::pair<K, V> const&>;

 public:
   using Key = K;
   using Value = V;
   using Entry = std::pair<K, V>;
   using Table = TableWithTraits<Entry, MapTraits<K, V>>;
   static constexpr std::uint32_t hashConstant = Constant;

   ValueMap() noexcept : Base(hashSeed32() ^ Constant) {}

   // Inserts or overwrites; answers whether anything changed (an equal value is left alone).
   bool set(K const& k, V const& v) {
      auto [e, inserted] = t_.findOrInsert(k, [&] { return Entry(k, v); });
      if (inserted) return true;
      if (e->second == v) return false;
      e->second = v;
      return true;
   }
   V const* find(K const& k) const noexcept {
      Entry const* e = t_.find(k);
      return e ? &e->second : nullptr;
   }
   bool erase(K const& k) noexcept { return t_.erase(k); }
   bool contains(K const& k) const noexcept { return t_.findIndex(k) != Table::npos; }

   friend bool operator==(ValueMap const& a, ValueMap const& b) { return a.t_ == b.t_; }

 private:
   using Base::t_;
};

}  // namespace Zat

namespace Zat {

// How a collection finds a member entity's key: its zatKey() (its first constructor attribute, or the
// name of a named entity), unless the collection is keyed by another constructor attribute.
struct ZatKeyOf {
   template <class E>
   static auto const& key(E const& e) noexcept {
      return e.zatKey();
   }
};

template <class E, class KeyOf = ZatKeyOf>
struct EntityTraits {
   using Key = std::remove_cvref_t<decltype(KeyOf::key(std::declval<E const&>()))>;
   static Key const& key(Ptr<E> const& e) noexcept { return KeyOf::key(*e); }
   static bool equal(Ptr<E> const& a, Ptr<E> const& b) noexcept { return a == b; }
   // The entity's first two cache lines: its count and most of what its destructor reads.
   static void prefetch(Ptr<E> const& e) noexcept {
      __builtin_prefetch(e.get());
      __builtin_prefetch(reinterpret_cast<char const*>(e.get()) + 64);
   }
};

// A hash collection of owned nested entities, each keyed by its own key attribute.
template <class E, std::uint32_t Constant, class KeyOf = ZatKeyOf>
class EntityCollection
    : public HashCollection<TableWithTraits<Ptr<E>, EntityTraits<E, KeyOf>>, Ptr<E> const&> {
   using Base = HashCollection<TableWithTraits<Ptr<E>, EntityTraits<E, KeyOf>>, Ptr<E> const&>;

 public:
   using Key = typename EntityTraits<E, KeyOf>::Key;
   using Table = TableWithTraits<Ptr<E>, EntityTraits<E, KeyOf>>;
   static constexpr std::uint32_t hashConstant = Constant;

   EntityCollection() noexcept : Base(hashSeed32() ^ Constant) {}
   EntityCollection(EntityCollection const&) = delete;
   EntityCollection& operator=(EntityCollection const&) = delete;

   E* find(Key const& k) const noexcept {
      Ptr<E> const* e = t_.find(k);
      return e ? e->get() : nullptr;
   }
   // The member of `k`, or make() inserted (it must return a Ptr<E> whose key is `k`).
   template <class Make>
   std::pair<E*, bool> findOrInsert(Key const& k, Make&& make) {
      auto [e, inserted] = t_.findOrInsert(k, std::forward<Make>(make));
      return {e->get(), inserted};
   }
   // Removes and returns the member of `k`, or null.
   Ptr<E> erase(Key const& k) noexcept {
      Ptr<E> out;
      t_.erase(k, &out);
      return out;
   }

   friend bool operator==(EntityCollection const& a, EntityCollection const& b) { return a.t_ == b.t_; }

 private:
   using Base::t_;
};

}  // namespace Zat
