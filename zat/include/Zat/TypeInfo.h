// Per-type descriptions that the type compiler generates for every type of a unit, and that the runtime
// and the network values provide for their own types: names, attributes with ids and kinds, enumerators,
// and the functions of the generic interface. Generic tools drive any type through these tables alone.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string_view>

#include "Zat/String.h"

namespace Zat {

class Any;
class Entity;
class GenericIterator;
class PtrInterface;
template <class T>
class Ptr;

enum class TypeKind : std::uint8_t {
   value,           // a value type (scalars, strings and platform values included)
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

// Properties of an attribute that tools need beyond its kind.
enum AttrFlag : std::uint8_t {
   attrHidden = 1,    // in the table, but the attribute operation does not reach it
   attrReadonly = 2,  // a collection that tools may read and walk, not change
   attrSilent = 4,    // an entity member that publishes nothing
   attrStatic = 8,    // a function that needs no instance
   attrConst = 16,    // a function that changes nothing
};

// A named, typed argument: of a function, of a collection's or owned entity's creation, of a type's
// construction. Type names follow AttrInfo::typeName.
struct ParamInfo {
   std::string_view name;
   std::string_view typeName;
};

struct AttrInfo {
   std::uint16_t id;  // 128 x depth of the declaring type + position, positions counted from 2
   std::string_view name;
   // The full name of the attribute's type ("VelL3V2::Route", "Ipkit::IpGenPrefix", a bare runtime
   // scalar such as "U32", "Ptr<T>" for a counted pointer, "Void" for a function without a result); for
   // a collection its key type, for a function its result type.
   std::string_view typeName;
   AttrKind kind;
   // A map's value type or the member entity type of an entity collection; "" for a set.
   std::string_view elementTypeName = {};
   // The arguments a function call takes, or that writing an entity collection's member (beyond its
   // key) or an owned entity takes to create it; in the order the attribute operation wants them.
   std::span<ParamInfo const> params = {};
   std::uint8_t flags = 0;  // AttrFlag bits

   bool is(AttrFlag f) const noexcept { return (flags & f) != 0; }
};

// What generic code can do with a value it holds only as a pointer. Null entries are operations the
// type does not have (a collection-holding value has no hash, no parser and no order).
struct ValueMethods {
   void* (*copy)(void const* v);
   void (*destroy)(void* v) noexcept;
   bool (*isEq)(void const* a, void const* b);
   bool (*less)(void const* a, void const* b);
   std::uint32_t (*hash)(void const* v);
   String (*strep)(void const* v);
   void* (*parse)(std::string_view text);
   bool (*truth)(void const* v);
   void* (*makeDefault)() = nullptr;  // a default-constructed value
};

// Answers of the generic attribute operation.
enum AttrOpResult : int { attrOpDone = 0, attrOpNotApplicable = 1, attrOpNoSuchAttribute = 2 };

// Codes of the generic attribute operation.
enum class AttrOp : int {
   read = 0,         // the attribute; for a collection, the element at the key
   write = 1,        // through the setter; for a collection, insert or set the element at the key
   del = 2,          // delete the element at the key
   count = 3,        // number of elements
   version = 4,      // modification version
   has = 5,          // is the key present
   call = 10,        // call the function attribute: arguments in `key`, result in `value`
   truth = 11,       // the whole value differs from its default
   isEq = 12,        // the whole value equals the one in `key`
   less = 13,        // the whole value orders before the one in `key`
};

struct TypeMethods {
   // Builds a value or entity from its constructor attributes in declaration order.
   Any (*construct)(std::span<Any const> args);
   AttrOpResult (*attrOp)(void* obj, std::uint16_t attrId, AttrOp op, Any const& key, Any& value);
   // A cursor over a collection attribute, optionally from a key; null when `attrId` is no collection.
   std::unique_ptr<GenericIterator> (*iterator)(void* obj, std::uint16_t attrId, Any const* from);
   // Root entities only: creates one by name, with notification on.
   Ptr<Entity> (*newEntity)(String const& name);
};

struct TypeInfo {
   std::string_view fullName;  // "Namespace::Type"
   TypeKind kind;
   TypeInfo const* base;  // the base entity's type, or null
   std::span<AttrInfo const> attrs;
   std::span<std::string_view const> enumerators;  // enumerations only, indexed by number
   ValueMethods const* value = nullptr;            // values and enumerations
   TypeMethods const* methods = nullptr;           // types of the units
   // The arguments TypeMethods::construct takes, in order (root entities, created by name, take none).
   std::span<ParamInfo const> creator = {};

   // The attribute with this id or name, or null.
   AttrInfo const* attr(std::uint16_t id) const noexcept {
      for (auto const& a : attrs) {
         if (a.id == id) return &a;
      }
      return base ? base->attr(id) : nullptr;
   }
   AttrInfo const* attr(std::string_view name) const noexcept {
      for (auto const& a : attrs) {
         if (a.name == name) return &a;
      }
      return base ? base->attr(name) : nullptr;
   }
   // True when this type is `other` or derives from it.
   bool isA(TypeInfo const& other) const noexcept {
      for (TypeInfo const* t = this; t; t = t->base) {
         if (t == &other) return true;
      }
      return false;
   }
};

// A unit's module record: its name and its type table. Registered when the library is loaded.
struct ModuleInfo {
   std::string_view name;
   std::span<TypeInfo const> types;
};

// Registers a module; a second module of the same name replaces nothing and is refused.
void zatModuleIs(ModuleInfo const& module);
void zatModuleDel(ModuleInfo const& module) noexcept;
ModuleInfo const* zatModule(std::string_view name) noexcept;
// A type of any registered module by its full name, or null. A counted pointer's name ("Ptr<T>",
// "Ptr<T const>") gives the entity type T.
TypeInfo const* zatType(std::string_view fullName) noexcept;
std::span<ModuleInfo const* const> zatModules() noexcept;
// A value type that a unit names but no module holds (a platform value written by hand), so that
// zatType finds it too.
void zatForeignTypeIs(TypeInfo const& type);
void zatForeignTypeDel(TypeInfo const& type) noexcept;
std::span<TypeInfo const* const> zatForeignTypes() noexcept;

}  // namespace Zat
