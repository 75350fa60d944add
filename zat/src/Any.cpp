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
};
}  // namespace

TypeInfo const& zatTypeInfo(std::uint8_t const*) {
   static TypeInfo const t = makeBuiltin<std::uint8_t>("U8");
   return t;
}
TypeInfo const& zatTypeInfo(std::uint16_t const*) {
   static TypeInfo const t = makeBuiltin<std::uint16_t>("U16");
   return t;
}
TypeInfo const& zatTypeInfo(std::uint32_t const*) {
   static TypeInfo const t = makeBuiltin<std::uint32_t>("U32");
   return t;
}
TypeInfo const& zatTypeInfo(std::uint64_t const*) {
   static TypeInfo const t = makeBuiltin<std::uint64_t>("U64");
   return t;
}
TypeInfo const& zatTypeInfo(bool const*) {
   static TypeInfo const t = makeBuiltin<bool>("Bool");
   return t;
}
TypeInfo const& zatTypeInfo(Seconds const*) {
   static TypeInfo const t = makeBuiltin<Seconds>("Seconds");
   return t;
}
TypeInfo const& zatTypeInfo(String const*) {
   static TypeInfo const t = makeBuiltin<String>("String");
   return t;
}
TypeInfo const& zatTypeInfo(AnyList const*) {
   static TypeInfo const t{"Zat::AnyList", TypeKind::value, nullptr, {}, {}, &anyListMethods};
   return t;
}

}  // namespace Zat
