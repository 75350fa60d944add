#include "Zat/Entity.h"

#include <map>
#include <optional>
#include <string>

#include "Zat/GenericIf.h"

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

bool Entity::singletonExists(std::string_view fullName) noexcept {
   return singletons().count(fullName) != 0;
}

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

// Tools see a directory's entries as one collection, `entry`, keyed by name. A directory makes nothing
// itself, so writing an entry stores an entity the tool made elsewhere; the walk goes in name order,
// which the hashed entries do not keep, one lookup of the next name per step.
namespace {

ParamInfo const kDirEntryParams[] = {{"entity", "Zat::Entity"}};
AttrInfo const kDirAttrs[] = {
    {Dir::AttrId::entry, "entry", "String", AttrKind::collection, "Zat::Entity", kDirEntryParams}};

Ptr<Entity> entityOf(Any const& a) {
   if (!a.isEntity() || !a.type()->isA(entityTypeInfo())) {
      throwTypeException(entityTypeInfo().fullName, a.empty() ? std::string_view("None") : a.typeName());
   }
   return Ptr<Entity>(static_cast<Entity*>(a.entityPtr().get()));
}

AttrOpResult dirAttrOp(void* obj, std::uint16_t attrId, AttrOp op, Any const& key, Any& value) {
   auto& dir = *static_cast<Dir*>(obj);
   if (attrId != Dir::AttrId::entry) return attrOpNoSuchAttribute;
   switch (op) {
      case AttrOp::read:
         value = Any::entity(dir.entityPtr(key.as<String>().view()));
         return attrOpDone;
      case AttrOp::write: {
         Ptr<Entity> child = entityOf(value);
         dir.entryIs(key.as<String>(), child);
         value = Any::entity(child);
         return attrOpDone;
      }
      case AttrOp::del:
         dir.entryDel(key.as<String>());
         return attrOpDone;
      case AttrOp::count:
         value = Any::of(std::uint32_t(dir.entries()));
         return attrOpDone;
      case AttrOp::has:
         value = Any::of(dir.entryState(key.as<String>().view()) == Dir::EntryState::present);
         return attrOpDone;
      default:
         return attrOpNotApplicable;
   }
}

class DirIterator final : public GenericIterator {
 public:
   // From a key: that entry, or the first after it.
   DirIterator(Dir& dir, Any const* from) : dir_(&dir) {
      if (from) at_ = from->as<String>();
      if (!at_ || dir.entryState(at_->view()) == Dir::EntryState::absent) step(bool(at_));
   }
   Any key() const override { return at_ ? Any::of(*at_) : Any(); }
   void advance() override { step(true); }
   bool notAtEnd() const override { return at_.has_value(); }
   Any current() const override { return at_ ? Any::entity(dir_->entityPtr(at_->view())) : Any(); }
   void deleteCurrent() override {
      if (at_) dir_->entryDel(*at_);
   }

 private:
   // To the smallest name after the current one (after nothing when `after` is false).
   void step(bool after) {
      std::optional<String> next;
      dir_->forEachName([&](String const& name) {
         if (after && at_ && !(at_->view() < name.view())) return;
         if (!next || name.view() < next->view()) next = name;
      });
      at_ = std::move(next);
   }
   Ptr<Dir> dir_;
   std::optional<String> at_;
};

std::unique_ptr<GenericIterator> dirIterator(void* obj, std::uint16_t attrId, Any const* from) {
   if (attrId != Dir::AttrId::entry) return nullptr;
   return std::make_unique<DirIterator>(*static_cast<Dir*>(obj), from);
}

Any dirConstruct(std::span<Any const> args) {
   if (!args.empty()) throwNewEntityArgsException(Dir::fullName());
   return Any::entity(Ptr<PtrInterface>(new Dir(String())));
}

Ptr<Entity> dirNewEntity(String const& name) {
   return Ptr<Entity>(new Dir(name));
}

TypeMethods const kDirMethods{dirConstruct, dirAttrOp, dirIterator, dirNewEntity};

}  // namespace

TypeInfo const& Dir::typeInfo() noexcept {
   static TypeInfo const info{fullName(), TypeKind::rootEntity, &entityTypeInfo(), kDirAttrs, {},
                              nullptr,    &kDirMethods};
   return info;
}

namespace {
// Attributes of type Ptr<Zat::Dir const> name the directory by its full name; tools look it up there,
// and find the entity base by name too, as the element type of a directory's entries.
struct DirRegistration {
   DirRegistration() { zatForeignTypeIs(Dir::typeInfo()), zatForeignTypeIs(entityTypeInfo()); }
   ~DirRegistration() { zatForeignTypeDel(Dir::typeInfo()), zatForeignTypeDel(entityTypeInfo()); }
} const dirRegistration;
}  // namespace

std::atomic<std::uint64_t> Dir::treeVersion_{0};

Dir::~Dir() {
   treeChanged();
}

Ptr<Entity> Dir::entityPtr(std::string_view name) const {
   return Ptr<Entity>(entity(name));
}

Entity* Dir::entity(std::string_view name) const noexcept {
   auto it = entries_.find(name);
   return it == entries_.end() ? nullptr : it->second.get();
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
   treeChanged();
}

Ptr<Entity> Dir::entryDel(String const& name) {
   auto it = entries_.find(name);
   if (it == entries_.end()) return nullptr;
   Ptr<Entity> e = std::move(it->second);
   entries_.erase(it);
   e->parentIs(nullptr);
   treeChanged();
   return e;
}

}  // namespace Zat
