// Per-type descriptions that the type compiler generates for every type of a unit: full names,
// attribute names, ids and kinds, and the names of enumerators. The generic interface and the module
// registry are built on these tables; typed code never needs them.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace Zat {

enum class TypeKind : std::uint8_t {
   value,           // a plain value type
   enumeration,     // an 8-bit enumeration
   nestedEntity,    // an entity deriving from PtrInterface
   rootEntity,      // an entity deriving from Entity
};

// Kinds of an attribute; an attribute has exactly one.
enum class AttrKind : std::uint8_t {
   plain,        // mutable: read by its accessor, written by <attr>Is
   constructor,  // fixed when the value or entity is built
   collection,   // a keyed collection; `typeName` is its key type
   constant,     // the same value for every instance of the type
   function,     // a hand-written operation reachable by generic tools
};

struct AttrInfo {
   std::uint16_t id;  // 128 x depth of the declaring type + position, positions counted from 2
   std::string_view name;
   std::string_view typeName;  // as written in the schema; for a collection, its key type
   AttrKind kind;
};

struct TypeInfo {
   std::string_view fullName;  // "Namespace::Type"
   TypeKind kind;
   std::string_view baseName;  // "" for value types, else the base entity's full name
   std::span<AttrInfo const> attrs;
   std::span<std::string_view const> enumerators;  // enumerations only, indexed by number

   // The attribute with this id, or null.
   AttrInfo const* attr(std::uint16_t id) const noexcept {
      for (auto const& a : attrs) {
         if (a.id == id) return &a;
      }
      return nullptr;
   }
   AttrInfo const* attr(std::string_view name) const noexcept {
      for (auto const& a : attrs) {
         if (a.name == name) return &a;
      }
      return nullptr;
   }
};

}  // namespace Zat
