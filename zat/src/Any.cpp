#include "Zat/Any.h"

namespace Zat {

void throwNoStringConstructor(std::string_view typeName) {
   throwPreconditionException("No String constructor for " + std::string(typeName) + " - has collection");
}

Any Any::entity(Ptr<PtrInterface> e) {
   Any a;
   if (e) {
      a.type_ = &e->fwkType();
      a.entity_ = std::move(e);
   }
   return a;
}

Any Any::parse(TypeInfo const& type, std::string_view text) {
   if (!type.value) throwPreconditionException(std::string(type.fullName) + " is not a value type");
   if (!type.value->parse) {
      std::string_view shortName = type.fullName.substr(type.fullName.rfind(':') + 1);
      throwNoStringConstructor(shortName);
   }
   Any a;
   a.value_ = type.value->parse(text);
   a.type_ = &type;
   return a;
}

Any Any::defaultOf(TypeInfo const& type) {
   if (!type.value || !type.value->makeDefault) {
      throwPreconditionException(std::string(type.fullName) + " has no default value");
   }
   Any a;
   a.value_ = type.value->makeDefault();
   a.type_ = &type;
   return a;
}

std::string_view Any::typeName() const noexcept { return type_ ? type_->fullName : std::string_view("None"); }

String Any::strep() const {
   if (!type_) return "None";
   if (entity_) return String(type_->fullName);
   return type_->value->strep(value_);
}

std::uint32_t Any::hash() const {
   if (!type_ || entity_ || !type_->value->hash) throwUnhashableException(typeName());
   return type_->value->hash(value_);
}

bool operator==(Any const& a, Any const& b) {
   if (a.type_ != b.type_) return false;
   if (!a.type_) return true;
   if (a.entity_ || b.entity_) return a.entity_ == b.entity_;
   return a.type_->value->isEq(a.value_, b.value_);
}

namespace {
template <class T>
TypeInfo makeBuiltin(std::string_view name) {
   return TypeInfo{name, TypeKind::value, nullptr, {}, {}, &valueMethodsOf<T>()};
}

bool anyListEq(void const* a, void const* b) { return *static_cast<AnyList const*>(a) == *static_cast<AnyList const*>(b); }
String anyListStrep(void const* v) {
   std::string out = "(";
   auto const& list = *static_cast<AnyList const*>(v);
   for (std::size_t i = 0; i < list.size(); ++i) {
      if (i) out += ", ";
      out += list[i].strep().view();
   }
   return String(out + ")");
}
ValueMethods const anyListMethods{
    [](void const* v) -> void* { return new AnyList(*static_cast<AnyList const*>(v)); },
    [](void* v) noexcept { delete static_cast<AnyList*>(v); },
    anyListEq,
    nullptr,
    nullptr,
    anyListStrep,
    nullptr,
    [](void const* v) { return !static_cast<AnyList const*>(v)->empty(); },
    []() -> void* { return new AnyList(); },
};
}  // namespace

// The runtime's scalars, one module so that tools find them by the names schemas give them.
std::span<TypeInfo const> scalarTypes() {
   static TypeInfo const all[] = {
       makeBuiltin<std::uint8_t>("U8"),   makeBuiltin<std::uint16_t>("U16"),
       makeBuiltin<std::uint32_t>("U32"), makeBuiltin<std::uint64_t>("U64"),
       makeBuiltin<bool>("Bool"),         makeBuiltin<Seconds>("Seconds"),
       makeBuiltin<String>("String"),
   };
   return all;
}

TypeInfo const& zatTypeInfo(std::uint8_t const*) {
   return scalarTypes()[0];
}
TypeInfo const& zatTypeInfo(std::uint16_t const*) {
   return scalarTypes()[1];
}
TypeInfo const& zatTypeInfo(std::uint32_t const*) {
   return scalarTypes()[2];
}
TypeInfo const& zatTypeInfo(std::uint64_t const*) {
   return scalarTypes()[3];
}
TypeInfo const& zatTypeInfo(bool const*) {
   return scalarTypes()[4];
}
TypeInfo const& zatTypeInfo(Seconds const*) {
   return scalarTypes()[5];
}
TypeInfo const& zatTypeInfo(String const*) {
   return scalarTypes()[6];
}
TypeInfo const& zatTypeInfo(AnyList const*) {
   static TypeInfo const t{"Zat::AnyList", TypeKind::value, nullptr, {}, {}, &anyListMethods};
   return t;
}

namespace {
ModuleInfo const& scalarModule() {
   static ModuleInfo const module{"Zat", scalarTypes()};
   return module;
}
struct Registration {
   Registration() { zatModuleIs(scalarModule()); }
   ~Registration() { zatModuleDel(scalarModule()); }
} const registration;
}  // namespace

}  // namespace Zat
