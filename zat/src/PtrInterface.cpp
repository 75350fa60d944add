#include "Zat/PtrInterface.h"

#include <algorithm>

#include "Zat/Any.h"

namespace Zat {

bool threadSafePointers_ = false;

String KeyRef::text() const {
   if (!ptr) return String();
   return type->value->strep(ptr);
}

TypeInfo const& ptrInterfaceTypeInfo() noexcept {
   static TypeInfo const info{"Zat::PtrInterface", TypeKind::nestedEntity, nullptr, {}, {}};
   return info;
}

PtrInterface::~PtrInterface() = default;

namespace {
void bridgeAdd(PtrInterface& e, Notifiee* n) { e.addLegacyNotifiee(n); }
void bridgeRemove(PtrInterface& e, Notifiee* n) noexcept { e.removeLegacyNotifiee(n); }
void bridgeVisit(PtrInterface const& e, std::uint16_t id, KeyRef const& k) { e.visitLegacyNotifiee(id, k); }
std::span<Notifiee* const> bridgeIterate(PtrInterface const& e) noexcept { return e.iteratorLegacyNotifiee(); }
}  // namespace

NotifieeList PtrInterface::notifieeList() const {
   return {const_cast<PtrInterface*>(this), bridgeAdd, bridgeRemove, bridgeVisit, bridgeIterate};
}

void PtrInterface::addLegacyNotifiee(Notifiee* n) {
   if (!n) throwPreconditionException("addLegacyNotifiee: null notifiee");
   if (!notifiees_) notifiees_ = std::make_unique<std::vector<Notifiee*>>();
   if (std::find(notifiees_->begin(), notifiees_->end(), n) == notifiees_->end()) notifiees_->push_back(n);
}

void PtrInterface::removeLegacyNotifiee(Notifiee* n) noexcept {
   if (!notifiees_) return;
   auto it = std::find(notifiees_->begin(), notifiees_->end(), n);
   if (it != notifiees_->end()) notifiees_->erase(it);
}

void PtrInterface::visitLegacyNotifiee(std::uint16_t attrId, KeyRef const& key) const {
   if (!notifiees_) return;
   // A notifiee may remove itself (or another) while it is told: walk a snapshot, and skip those that
   // left in the meantime.
   std::vector<Notifiee*> snapshot(*notifiees_);
   for (Notifiee* n : snapshot) {
      if (std::find(notifiees_->begin(), notifiees_->end(), n) != notifiees_->end()) n->onChange(*this, attrId, key);
   }
}

std::span<Notifiee* const> PtrInterface::iteratorLegacyNotifiee() const noexcept {
   if (!notifiees_) return {};
   return *notifiees_;
}

}  // namespace Zat
