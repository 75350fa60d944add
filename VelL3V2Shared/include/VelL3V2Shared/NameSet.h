// VelL3V2Shared::NameSet: names kept under small integer indices, walked in index order.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>

#include "Zat/String.h"

namespace VelL3V2Shared {

// An indexed set of names. Indices need not be dense; walking the set always visits them in ascending
// order, which is what lets an encoded form be compared byte for byte.
class NameSet {
   using Map = std::map<std::uint32_t, Zat::String>;

 public:
   using const_iterator = Map::const_iterator;
   using value_type = Map::value_type;

   NameSet() = default;

   // Stores `name` under `index`, replacing whatever name was there.
   void nameIs(std::uint32_t index, Zat::String const& name) { names_.insert_or_assign(index, name); }
   void nameIs(std::uint32_t index, Zat::String&& name) { names_.insert_or_assign(index, std::move(name)); }

   // The name under `index`, or null when there is none. The pointer lives until the set next changes.
   Zat::String const* name(std::uint32_t index) const {
      auto it = names_.find(index);
      return it == names_.end() ? nullptr : &it->second;
   }

   std::size_t size() const noexcept { return names_.size(); }
   bool empty() const noexcept { return names_.empty(); }

   const_iterator begin() const noexcept { return names_.begin(); }
   const_iterator end() const noexcept { return names_.end(); }

   friend bool operator==(NameSet const& a, NameSet const& b) { return a.names_ == b.names_; }

 private:
   Map names_;
};

}  // namespace VelL3V2Shared
