#include <algorithm>
#include <string>
#include <vector>

#include "Zat/Exception.h"
#include "Zat/TypeInfo.h"

namespace Zat {

namespace {
std::vector<ModuleInfo const*>& modules() {
   static std::vector<ModuleInfo const*> all;
   return all;
}
std::vector<TypeInfo const*>& foreignTypes() {
   static std::vector<TypeInfo const*> all;
   return all;
}
}  // namespace

void zatModuleIs(ModuleInfo const& module) {
   if (zatModule(module.name)) {
      throwPreconditionException("zatModuleIs: module " + std::string(module.name) + " is already registered");
   }
   modules().push_back(&module);
}

void zatModuleDel(ModuleInfo const& module) noexcept {
   auto& all = modules();
   all.erase(std::remove(all.begin(), all.end(), &module), all.end());
}

ModuleInfo const* zatModule(std::string_view name) noexcept {
   for (ModuleInfo const* m : modules()) {
      if (m->name == name) return m;
   }
   return nullptr;
}

TypeInfo const* zatType(std::string_view fullName) noexcept {
   if (fullName.starts_with("Ptr<") && fullName.ends_with(">")) {
      fullName = fullName.substr(4, fullName.size() - 5);
      if (fullName.ends_with(" const")) fullName.remove_suffix(6);
   }
   for (ModuleInfo const* m : modules()) {
      for (TypeInfo const& t : m->types) {
         if (t.fullName == fullName) return &t;
      }
   }
   for (TypeInfo const* t : foreignTypes()) {
      if (t->fullName == fullName) return t;
   }
   return nullptr;
}

std::span<ModuleInfo const* const> zatModules() noexcept { return modules(); }

void zatForeignTypeIs(TypeInfo const& type) {
   auto& all = foreignTypes();
   if (std::find(all.begin(), all.end(), &type) == all.end()) all.push_back(&type);
}

void zatForeignTypeDel(TypeInfo const& type) noexcept {
   auto& all = foreignTypes();
   all.erase(std::remove(all.begin(), all.end(), &type), all.end());
}

std::span<TypeInfo const* const> zatForeignTypes() noexcept { return foreignTypes(); }

}  // namespace Zat
