#include "Zat/GenericIf.h"

namespace Zat {

void throwDupKey(std::string_view where) {
   throwPreconditionException(std::string(where) + ": assertDupKey: key already present");
}

AttrOpResult attrOp(TypeInfo const& type, void* obj, std::uint16_t attrId, AttrOp op, Any const& key,
                    Any& value) {
   if (!type.methods) return attrOpNotApplicable;
   if (obj) return type.methods->attrOp(obj, attrId, op, key, value);
   // Without an instance only a static operation can be called. The type that declares it answers it,
   // before its attribute operation looks at an instance.
   TypeInfo const* declaring = nullptr;
   AttrInfo const* a = nullptr;
   for (TypeInfo const* t = &type; t && !a; t = t->base) {
      declaring = t;
      for (AttrInfo const& each : t->attrs) {
         if (each.id == attrId) a = &each;
      }
   }
   if (!a || op != AttrOp::call || !a->is(attrStatic) || !declaring->methods) {
      throwPreconditionException(std::string(type.fullName) +
                                 ": without an instance only a static operation can be called");
   }
   return declaring->methods->attrOp(nullptr, attrId, op, key, value);
}

namespace gen {
Any const& argument(Any const& key, std::size_t i, std::size_t n) {
   if (n == 1) return key;
   AnyList const& list = key.as<AnyList>();
   if (list.size() != n) {
      throwPreconditionException("expected " + std::to_string(n) + " arguments, got " +
                                 std::to_string(list.size()));
   }
   return list[i];
}
}  // namespace gen

}  // namespace Zat
