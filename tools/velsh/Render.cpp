#include "Render.h"

#include <iomanip>
#include <ostream>
#include <vector>

#include "Shell.h"
#include "Zat/Entity.h"

namespace velsh {

namespace {

// Collections longer than this are cut short in a tree; walk lists everything.
constexpr std::size_t kShownElements = 100;

bool isEntityKind(Zat::TypeInfo const& t) {
   return t.kind == Zat::TypeKind::nestedEntity || t.kind == Zat::TypeKind::rootEntity;
}

// The type's attributes with those of its bases first, in id order.
std::vector<Zat::AttrInfo const*> allAttrs(Zat::TypeInfo const& type) {
   std::vector<Zat::TypeInfo const*> chain;
   for (Zat::TypeInfo const* t = &type; t; t = t->base) chain.insert(chain.begin(), t);
   std::vector<Zat::AttrInfo const*> out;
   for (Zat::TypeInfo const* t : chain) {
      for (auto const& a : t->attrs) out.push_back(&a);
   }
   return out;
}

std::string params(std::span<Zat::ParamInfo const> ps) {
   std::string out;
   for (auto const& p : ps)
      out += (out.empty() ? "" : ", ") + std::string(p.typeName) + " " + std::string(p.name);
   return out;
}

std::string flags(Zat::AttrInfo const& a) {
   std::string out;
   for (auto [f, name] : {std::pair{Zat::attrHidden, "hidden"},
                          {Zat::attrReadonly, "read-only"},
                          {Zat::attrSilent, "silent"}}) {
      if (a.is(f)) out += std::string("  ") + name;
   }
   return out;
}

// A throwaway instance to read constants from: a value's default, an entity built from default
// arguments; none when the type cannot be built here.
Zat::Any instance(Zat::TypeInfo const& type) {
   try {
      if (!isEntityKind(type)) return Zat::Any::defaultOf(type);
      if (!type.methods) return {};
      if (type.methods->newEntity)
         return Zat::Any::entity(Zat::Ptr<Zat::PtrInterface>(type.methods->newEntity("").get()));
      Zat::AnyList args;
      for (auto const& p : type.creator) args.push_back(defaultOf(p.typeName));
      return type.methods->construct(args);
   } catch (std::exception const&) {
      return {};
   }
}

std::string moduleOf(Zat::TypeInfo const& type) {
   for (Zat::ModuleInfo const* m : Zat::zatModules()) {
      for (auto const& t : m->types) {
         if (&t == &type) return std::string(m->name);
      }
   }
   return "no module";
}

void tree(std::ostream& out, Zat::Any const& a, int depth, std::size_t indent);

void attributes(std::ostream& out, Zat::Any const& a, int depth, std::size_t indent) {
   std::string pad(indent, ' ');
   Zat::TypeInfo const& type = *a.type();
   void* obj = const_cast<void*>(a.raw());
   for (Zat::AttrInfo const* at : allAttrs(type)) {
      if (at->kind == Zat::AttrKind::function || at->is(Zat::attrHidden)) continue;
      Zat::Any v;
      if (at->kind == Zat::AttrKind::collection) {
         if (Zat::attrOp(type, obj, at->id, Zat::AttrOp::count, {}, v) != Zat::attrOpDone) continue;
         std::uint32_t n = v.as<std::uint32_t>();
         out << pad << at->name << " (" << n << ")" << (n ? ":" : "") << "\n";
         auto it = type.methods->iterator(obj, at->id, nullptr);
         std::size_t shown = 0;
         for (; it && it->notAtEnd() && shown < kShownElements; it->advance(), ++shown) {
            Zat::Any e = it->current();
            out << pad << "  " << elementLine(*it, *at) << "\n";
            if (e.isEntity() && depth > 0) attributes(out, e, depth - 1, indent + 4);
         }
         if (n > shown) out << pad << "  ... " << n - shown << " more (walk lists them all)\n";
         continue;
      }
      if (Zat::attrOp(type, obj, at->id, Zat::AttrOp::read, {}, v) != Zat::attrOpDone) continue;
      out << pad << at->name << ": " << oneLine(v) << "\n";
      if (v.isEntity() && depth > 0) attributes(out, v, depth - 1, indent + 2);
   }
}

void tree(std::ostream& out, Zat::Any const& a, int depth, std::size_t indent) {
   out << std::string(indent, ' ') << oneLine(a) << "\n";
   attributes(out, a, depth, indent + 2);
}

}  // namespace

std::string elementLine(Zat::GenericIterator const& it, Zat::AttrInfo const& attr) {
   std::string key = oneLine(it.key());
   if (attr.elementTypeName.empty()) return key;
   return key + ": " + oneLine(it.current());
}

void describe(std::ostream& out, Zat::TypeInfo const& type) {
   bool root = type.methods && type.methods->newEntity;
   out << type.fullName << ": " << (root ? "root entity" : kindName(type.kind)) << " of module "
       << moduleOf(type) << "\n";
   for (Zat::TypeInfo const* b = type.base; b; b = b->base) out << "  derives from " << b->fullName << "\n";
   if (root) {
      out << "  created by name: root VAR " << type.fullName << " [NAME]\n";
   } else if (type.methods) {
      out << "  created from: (" << params(type.creator) << ")\n";
   }
   if (type.kind == Zat::TypeKind::enumeration) {
      for (std::size_t i = 0; i < type.enumerators.size(); ++i)
         out << "  " << i << " " << type.enumerators[i] << "\n";
   }
   Zat::Any scratch;
   bool scratchMade = false;
   for (Zat::AttrInfo const* a : allAttrs(type)) {
      out << "  " << std::setw(4) << std::right << a->id << " " << std::left << std::setw(22) << a->name
          << " " << std::setw(21) << kindName(a->kind) << " ";
      switch (a->kind) {
         case Zat::AttrKind::collection:
            out << "[" << a->typeName << "]";
            if (!a->elementTypeName.empty()) out << " -> " << a->elementTypeName;
            if (!a->params.empty()) out << ", created from (" << params(a->params) << ")";
            break;
         case Zat::AttrKind::function:
            out << (a->is(Zat::attrStatic) ? "static " : "") << a->name << "(" << params(a->params) << ")"
                << (a->is(Zat::attrConst) ? " const" : "") << " -> " << a->typeName;
            break;
         case Zat::AttrKind::constant: {
            out << a->typeName << " = ";
            if (!scratchMade) scratch = instance(type), scratchMade = true;
            Zat::Any v;
            if (!scratch.empty() && Zat::attrOp(*scratch.type(), scratch.raw(), a->id, Zat::AttrOp::read, {},
                                                v) == Zat::attrOpDone) {
               out << oneLine(v);
            } else {
               out << "?";
            }
            break;
         }
         default:
            out << a->typeName;
            if (!a->params.empty()) out << ", created from (" << params(a->params) << ")";
      }
      out << flags(*a) << "\n";
   }
   if (type.value && type.value->makeDefault)
      out << "  default: " << oneLine(Zat::Any::defaultOf(type)) << "\n";
}

void show(std::ostream& out, Zat::Any const& a, int depth) {
   if (a.empty()) {
      out << "None\n";
      return;
   }
   bool holdsCollection = false;
   for (auto const& at : a.type()->attrs)
      holdsCollection = holdsCollection || at.kind == Zat::AttrKind::collection;
   if (!a.isEntity() && !holdsCollection) {
      out << oneLine(a) << "\n";
      return;
   }
   tree(out, a, depth, 0);
}

}  // namespace velsh
