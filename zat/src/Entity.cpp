#include "Zat/Entity.h"
#include "Zat/TypeInfo.h"

#include <map>
#include <string>

namespace Zat {

namespace {
std::map<std::string, Ptr<Entity>, std::less<>>& singletons() {
   static std::map<std::string, Ptr<Entity>, std::less<>> all;
   return all;
}
}  // namespace

TypeInfo const& entityTypeInfo() noexcept {
   static TypeInfo const info{"Zat::Entity", TypeKind::rootEntity, &ptrInterfaceTypeInfo(), {}, {}};
   return info;
}

Entity::~Entity() = default;

bool Entity::singletonExists(std::string_view fullName) noexcept { return singletons().count(fullName) != 0; }

Ptr<Entity> Entity::singletonLookup(std::string_view fullName) noexcept {
   auto it = singletons().find(fullName);
   return it == singletons().end() ? Ptr<Entity>() : it->second;
}

Ptr<Entity> Entity::singletonIs(TypeInfo const& type, String const& name) {
   if (Ptr<Entity> e = singletonLookup(type.fullName)) return e;
   Ptr<Entity> e = newEntityForDir(type, name);
   singletons().emplace(std::string(type.fullName), e);
   return e;
}

void Entity::singletonDel(std::string_view fullName) noexcept {
   auto it = singletons().find(fullName);
   if (it != singletons().end()) singletons().erase(it);
}

Ptr<Entity> newEntityForDir(TypeInfo const& type, String const& name, std::span<Any const> args) {
   if (!type.methods || !type.methods->newEntity) {
      throwPreconditionException(std::string(type.fullName) + " is not a root entity");
   }
   if (!args.empty()) throwNewEntityArgsException(type.fullName);
   return type.methods->newEntity(name);
}

TypeInfo const& Dir::typeInfo() noexcept {
   static TypeInfo const info{fullName(), TypeKind::rootEntity, &entityTypeInfo(), {}, {}};
   return info;
}

namespace {
// Attributes of type Ptr<Zat::Dir const> name the directory by its full name; tools look it up there.
struct DirRegistration {
   DirRegistration() { zatForeignTypeIs(Dir::typeInfo()); }
   ~DirRegistration() { zatForeignTypeDel(Dir::typeInfo()); }
} const dirRegistration;
}  // namespace

Ptr<Entity> Dir::entityPtr(std::string_view name) const {
   auto it = entries_.find(name);
   return it == entries_.end() ? Ptr<Entity>() : it->second;
}

Dir::EntryState Dir::entryState(std::string_view name) const {
   return entries_.count(name) ? EntryState::present : EntryState::absent;
}

void Dir::entryIs(String const& name, Ptr<Entity> const& child) {
   if (!child) throwPreconditionException("Dir::entryIs: null entity for " + std::string(name.view()));
   Ptr<Entity>& slot = entries_[name];
   if (slot == child) return;
   if (slot) slot->parentIs(nullptr);
   slot = child;
   child->parentIs(Ptr<Entity>(this));
}

Ptr<Entity> Dir::entryDel(String const& name) {
   auto it = entries_.find(name);
   if (it == entries_.end()) return nullptr;
   Ptr<Entity> e = std::move(it->second);
   entries_.erase(it);
   e->parentIs(nullptr);
   return e;
}

}  // namespace Zat
