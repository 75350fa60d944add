// Entity: a named, counted object that may have a parent entity, and the process-wide singletons that
// are looked up by their type's full name. Dir: an entity that holds named child entities.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <span>
#include <string_view>
#include <unordered_map>

#include "Zat/Any.h"
#include "Zat/Ptr.h"
#include "Zat/String.h"

namespace Zat {

TypeInfo const& entityTypeInfo() noexcept;

class Entity : public PtrInterface {
 public:
   explicit Entity(String name) : name_(std::move(name)) {}
   ~Entity() override;

   TypeInfo const& fwkType() const noexcept override { return entityTypeInfo(); }
   virtual String nameString() const { return name_; }
   String const& name() const noexcept { return name_; }

   // The entity that holds this one, or null. Children do not keep their parent alive: the parent
   // unlinks them (parentIs(null)) when it lets them go.
   Entity* parent() const noexcept { return parent_; }
   void parentIs(Ptr<Entity> const& parent) { handleParent(parent); }

   // Process-wide instances, one per type's full name ("VelL3V2::LocalData").
   static bool singletonExists(std::string_view fullName) noexcept;
   static Ptr<Entity> singletonLookup(std::string_view fullName) noexcept;
   // The instance of `type`, created by name (its full name) when there is none.
   static Ptr<Entity> singletonIs(TypeInfo const& type, String const& name);
   // Drops the instance of `fullName`, if any (tests and orderly shutdown).
   static void singletonDel(std::string_view fullName) noexcept;
   template <class T>
   static Ptr<T> singleton() {
      Ptr<Entity> e = singletonLookup(T::fullName());
      if (!e) e = singletonIs(T::typeInfo(), String(T::fullName()));
      return Ptr<T>(static_cast<T*>(e.get()));
   }

 protected:
   virtual void handleParent(Ptr<Entity> const& parent) { parent_ = parent.get(); }

 private:
   String name_;
   Entity* parent_ = nullptr;
};

// Creates a root entity by name for a directory or a tool; constructor arguments are refused with
// NewEntityArgsException and nothing is created.
Ptr<Entity> newEntityForDir(TypeInfo const& type, String const& name, std::span<Any const> args = {});

// A directory of named child entities.
class Dir : public Entity {
 public:
   enum class EntryState : std::uint8_t { absent, present };

   explicit Dir(String name) : Entity(std::move(name)) {}
   ~Dir() override;
   // What Ptr<Dir> attributes and tools name it by.
   static constexpr std::string_view fullName() noexcept { return "Zat::Dir"; }
   static TypeInfo const& typeInfo() noexcept;
   struct AttrId {
      // The entries, as a collection of entities keyed by name (generic tools only).
      static constexpr std::uint16_t entry = 2;
   };
   TypeInfo const& fwkType() const noexcept override { return typeInfo(); }

   // The entity stored under `name`, or null. Looked up by view, so a caller can ask with text it
   // built in place.
   Ptr<Entity> entityPtr(std::string_view name) const;
   // The same without taking a reference: valid while the entry stays. For walks that only read.
   Entity* entity(std::string_view name) const noexcept;
   EntryState entryState(std::string_view name) const;
   // Stores `child` under `name` (replacing any other) and makes this directory its parent.
   void entryIs(String const& name, Ptr<Entity> const& child);
   Ptr<Entity> entryDel(String const& name);
   std::size_t entries() const noexcept { return entries_.size(); }

   // The shape of every directory tree in the process: advanced whenever an entry enters or leaves a
   // directory, a directory ends, or an entity stored in a directory gains or loses a member of one of
   // its collections (the status types' collection hooks call treeChanged). Values read from an entity
   // in a tree do not move it. A reader that remembers where it found things (status aggregation keeps,
   // per status, each switch's result) may reuse them for as long as the version stands still.
   static std::uint64_t treeVersion() noexcept { return treeVersion_.load(std::memory_order_relaxed); }
   static void treeChanged() noexcept { treeVersion_.fetch_add(1, std::memory_order_relaxed); }
   // Calls `f` with every name, in no particular order.
   template <class F>
   void forEachName(F&& f) const {
      for (auto const& e : entries_) f(e.first);
   }

 private:
   // Hashed, since a status directory holds an entry per switch of the fabric and is asked once per
   // switch and object; names are looked up by view.
   struct NameHash {
      using is_transparent = void;
      std::size_t operator()(std::string_view s) const noexcept { return std::hash<std::string_view>()(s); }
      bool operator()(std::string_view a, std::string_view b) const noexcept { return a == b; }
   };
   std::unordered_map<String, Ptr<Entity>, NameHash, NameHash> entries_;
   static std::atomic<std::uint64_t> treeVersion_;
};

}  // namespace Zat
