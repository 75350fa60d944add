// SortedMap: an ordered map inside a value type. It is copied with the value and compared entry by
// entry, publishes nothing, and walks in ascending key order under its own key order (Less). Its cursor,
// like the other collections', survives deletion of the entry it stands on: it keeps the current key and,
// when the map changed since it moved, resumes at the first key after it.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>

#include "Zat/Exception.h"

namespace Zat {

template <class K, class V, class Less = std::less<K>>
class SortedMap {
   using Map = std::map<K, V, Less>;

  public:
   using Key = K;
   using Value = V;

   std::size_t size() const noexcept { return m_.size(); }
   bool empty() const noexcept { return m_.empty(); }
   std::uint32_t version() const noexcept { return version_; }

   V const* find(K const& k) const {
      auto it = m_.find(k);
      return it == m_.end() ? nullptr : &it->second;
   }
   bool contains(K const& k) const { return m_.find(k) != m_.end(); }
   // Inserts or overwrites; answers whether anything changed.
   bool set(K const& k, V const& v) {
      auto [it, inserted] = m_.try_emplace(k, v);
      if (!inserted) {
         if (it->second == v) return false;
         it->second = v;
      }
      ++version_;
      return true;
   }
   bool erase(K const& k) {
      if (m_.erase(k) == 0) return false;
      ++version_;
      return true;
   }
   void clear() noexcept {
      m_.clear();
      ++version_;
   }

   typename Map::const_iterator begin() const noexcept { return m_.begin(); }
   typename Map::const_iterator end() const noexcept { return m_.end(); }

   // Equal when they hold the same entries; the modification count is history, not content.
   friend bool operator==(SortedMap const& a, SortedMap const& b) { return &a == &b || a.m_ == b.m_; }

   class Cursor {
     public:
      Cursor() = default;
      Cursor(SortedMap const* m, typename Map::const_iterator it) : m_(m) { land(it); }
      explicit operator bool() const noexcept { return key_.has_value(); }
      K const& key() const {
         if (!key_) throwPreconditionException("cursor is at the end");
         return *key_;
      }
      // The current entry, or null when it was deleted since the cursor moved onto it.
      std::pair<K const, V> const* entry() const {
         if (!key_) throwPreconditionException("cursor is at the end");
         if (m_->version_ == version_) return &*it_;
         auto it = m_->m_.find(*key_);
         return it == m_->m_.end() ? nullptr : &*it;
      }
      Cursor& operator++() {
         if (!key_) return *this;
         land(m_->version_ == version_ ? std::next(it_) : m_->m_.upper_bound(*key_));
         return *this;
      }

     private:
      void land(typename Map::const_iterator it) {
         it_ = it;
         version_ = m_->version_;
         if (it == m_->m_.end()) key_.reset();
         else key_ = it->first;
      }
      SortedMap const* m_ = nullptr;
      typename Map::const_iterator it_{};
      std::uint32_t version_ = 0;
      std::optional<K> key_;
   };

   Cursor cursor() const { return Cursor(this, m_.begin()); }
   // From `k`, or the first key after it.
   Cursor cursor(K const& k) const { return Cursor(this, m_.lower_bound(k)); }

  private:
   Map m_;
   std::uint32_t version_ = 0;
};

}  // namespace Zat
